#include "app/web/http_session.h"

#include <array>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <functional>

#include "app/release.h"
#include "app/web/http_fields.h"
#include "app/web/server_core.h"
#include "app/web/web_assets.h"

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

namespace {

// The page loads its script and style from here only; the preview is a data: URL.
constexpr char kContentSecurityPolicy[] =
    "default-src 'self'; img-src 'self' data: blob:; object-src 'none'; base-uri 'none'; "
    "form-action 'none'; frame-ancestors 'none'";
constexpr char kGetOrHead[] = "GET, HEAD";
// How long, and how much, a refused client's unread bytes are read and dropped before closing.
constexpr auto kLingerTime = std::chrono::seconds(1);
constexpr std::size_t kLingerBytes = 256 * 1024;

struct Route {
  std::string_view path;
  std::string_view allow;  // the methods it answers, as Allow lists them
  std::string_view label;  // for the metrics: one per route, so paths cannot grow the table
};

constexpr Route kRoutes[] = {{"/", kGetOrHead, "/"},
                             {"/page.css", kGetOrHead, "/assets"},
                             {"/page.js", kGetOrHead, "/assets"},
                             {"/api/caption", "POST", "/api/caption"},
                             {"/caption.png", kGetOrHead, "/caption.png"},
                             {"/caption.bmp", kGetOrHead, "/caption.bmp"},
                             {"/healthz", kGetOrHead, "/healthz"},
                             {"/metrics", kGetOrHead, "/metrics"}};

const Route* FindRoute(std::string_view path) {
  for (const Route& route : kRoutes)
    if (route.path == path) return &route;
  return nullptr;
}

std::string_view PathOf(std::string_view target) {
  return target.substr(0, target.find('?'));
}

std::string_view QueryOf(std::string_view target) {
  const std::size_t mark = target.find('?');
  return mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
}

bool Allows(const Route& route, http::verb method) {
  return route.allow.find(http::to_string(method)) != std::string_view::npos;
}

WebAnswer TextAnswer(unsigned status, std::string_view type, std::string body) {
  return {status, std::string(type), std::move(body), {}};
}

// The answer for a parse error of the request itself.
WebAnswer ReadErrorAnswer(beast::error_code error) {
  if (error == http::error::header_limit)
    return ErrorAnswer(431, "the request's headers are too large");
  if (error == http::error::body_limit) return ErrorAnswer(413, "the body is larger than 64 KiB");
  return ErrorAnswer(400, "the request is not well-formed HTTP");
}

bool EndsQuietly(beast::error_code error) {
  return error == beast::error::timeout || error == http::error::end_of_stream ||
         error == net::error::operation_aborted || error == net::error::connection_reset ||
         error == http::error::partial_message;
}

}  // namespace

HttpSession::HttpSession(net::ip::tcp::socket socket, ServerCore& core)
    : core_(core),
      stream_(std::move(socket)),
      buffer_(core.options.limits.maxHeaderBytes + core.options.limits.maxBodyBytes) {
  core_.metrics.ConnectionOpened();
}

HttpSession::~HttpSession() {
  core_.metrics.ConnectionClosed();
  core_.Leave(id_);
}

void HttpSession::Start() {
  id_ = core_.Enter(shared_from_this());
  net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->ReadHeader(); });
}

void HttpSession::ShutDown() {
  net::post(stream_.get_executor(), [self = shared_from_this()] {
    self->closing_ = true;
    if (self->idle_) self->Close();
  });
}

void HttpSession::ReadHeader() {
  if (closing_) return Close();
  parser_.emplace();
  parser_->header_limit(std::uint32_t(core_.options.limits.maxHeaderBytes));
  parser_->body_limit(core_.options.limits.maxBodyBytes);
  idle_ = buffer_.size() == 0;
  stream_.expires_after(core_.options.limits.readTimeout);
  http::async_read_header(
      stream_, buffer_, *parser_,
      [self = shared_from_this()](beast::error_code error, std::size_t) { self->OnHeader(error); });
}

void HttpSession::OnHeader(beast::error_code error) {
  idle_ = false;
  started_ = std::chrono::steady_clock::now();
  route_ = "other";
  if (error) {
    if (EndsQuietly(error)) return Close();
    return Send(ReadErrorAnswer(error), true);
  }
  const Request& request = parser_->get();
  if (const Route* route = FindRoute(PathOf(request.target()))) route_ = route->label;
  if (auto refusal = CheckHeader()) {
    // The body, if any, is left unread: the connection cannot carry another request.
    const bool bodyFollows = parser_->chunked() || parser_->content_length().value_or(0) > 0;
    return Send(std::move(*refusal), bodyFollows);
  }
  if (parser_->is_done()) return Dispatch();
  if (beast::iequals(request[http::field::expect], "100-continue")) {
    auto proceed = std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
    response_ = proceed;
    return http::async_write(stream_, *proceed,
                             [self = shared_from_this()](beast::error_code error, std::size_t) {
                               if (error) return self->Close();
                               self->ReadBody();
                             });
  }
  ReadBody();
}

std::optional<WebAnswer> HttpSession::CheckHeader() const {
  const Request& request = parser_->get();
  const ServeLimits& limits = core_.options.limits;
  if (request.target().size() > limits.maxTargetBytes)
    return ErrorAnswer(414, "the address is longer than 8 KiB");
  const Route* route = FindRoute(PathOf(request.target()));
  if (route == nullptr) return ErrorAnswer(404, "no such page");
  if (!Allows(*route, request.method())) {
    WebAnswer answer = ErrorAnswer(405, "this address answers " + std::string(route->allow));
    answer.headers.push_back({"Allow", std::string(route->allow)});
    return answer;
  }
  if (request.method() != http::verb::post) return std::nullopt;
  if (parser_->content_length().value_or(0) > limits.maxBodyBytes)
    return ErrorAnswer(413, "the body is larger than 64 KiB");
  if (!IsMediaType(request[http::field::content_type], "application/json"))
    return ErrorAnswer(415, "the body must be JSON, sent as Content-Type: application/json");
  return std::nullopt;
}

void HttpSession::ReadBody() {
  http::async_read(
      stream_, buffer_, *parser_,
      [self = shared_from_this()](beast::error_code error, std::size_t) { self->OnBody(error); });
}

void HttpSession::OnBody(beast::error_code error) {
  if (error) {
    if (EndsQuietly(error)) return Close();
    return Send(ReadErrorAnswer(error), true);
  }
  Dispatch();
}

void HttpSession::Dispatch() {
  const Request& request = parser_->get();
  const std::string_view path = PathOf(request.target());
  if (path == "/api/caption") {
    CaptionRequest parsed = core_.api.ParsePost(request.body(), request[http::field::content_type],
                                                request[http::field::accept]);
    if (auto* job = std::get_if<CaptionJob>(&parsed)) return Compose(std::move(*job));
    return Send(std::get<WebAnswer>(std::move(parsed)));
  }
  if (path == "/caption.png" || path == "/caption.bmp") {
    CaptionRequest parsed = core_.api.ParseQuery(QueryOf(request.target()), path.ends_with("bmp"),
                                                 request[http::field::if_none_match]);
    if (auto* job = std::get_if<CaptionJob>(&parsed)) return Compose(std::move(*job));
    return Send(std::get<WebAnswer>(std::move(parsed)));
  }
  if (path == "/healthz") return Send(TextAnswer(200, "text/plain; charset=utf-8", "ok\n"));
  if (path == "/metrics")
    return Send(TextAnswer(200, "text/plain; version=0.0.4; charset=utf-8", core_.metrics.Text()));
  const WebAsset* asset = FindWebAsset(path);
  Send(asset ? TextAnswer(200, asset->contentType, std::string(asset->bytes))
             : ErrorAnswer(404, "no such page"));
}

void HttpSession::Compose(CaptionJob job) {
  // The pool answers on its own thread and hands the answer back to this connection's; the
  // work guard keeps the server running until it has.
  auto work = [self = shared_from_this(), job = std::move(job),
               guard = net::make_work_guard(stream_.get_executor())]() mutable {
    WebAnswer answer;
    try {
      answer = self->core_.api.Answer(job);
      self->core_.metrics.CaptionComposed();
    } catch (const std::exception& e) {
      answer = ErrorAnswer(500, std::string("the caption could not be made: ") + e.what());
    }
    net::post(self->stream_.get_executor(),
              [self, answer = std::move(answer)]() mutable { self->Send(std::move(answer)); });
  };
  if (core_.pool.TrySubmit(std::move(work))) return;
  core_.metrics.RefusedForLoad();
  WebAnswer busy = ErrorAnswer(503, "busy: too many captions waiting; try again shortly");
  busy.headers.push_back({"Retry-After", std::to_string(core_.options.limits.retryAfterSeconds)});
  Send(std::move(busy));
}

void HttpSession::Send(WebAnswer answer, bool closeAfter) {
  const Request* request = parser_ && parser_->is_header_done() ? &parser_->get() : nullptr;
  const bool haveRequest = request != nullptr;
  auto response =
      std::make_shared<http::response<http::string_body>>(http::int_to_status(answer.status), 11);
  response->set(http::field::server, "nimbrel/" NIMBREL_VERSION);
  response->set("Content-Security-Policy", kContentSecurityPolicy);
  response->set("X-Content-Type-Options", "nosniff");
  response->set("Referrer-Policy", "no-referrer");
  if (!answer.contentType.empty()) response->set(http::field::content_type, answer.contentType);
  for (const auto& [name, value] : answer.headers) response->set(name, value);
  response->body() = std::move(answer.body);
  response->prepare_payload();
  if (haveRequest && request->method() == http::verb::head) response->body().clear();
  const bool keepAlive =
      haveRequest && request->keep_alive() && !closeAfter && !closing_ && !core_.stopping.load();
  response->keep_alive(keepAlive);

  const auto took = std::chrono::steady_clock::now() - started_;
  core_.metrics.Record(route_, answer.status, took);
  if (core_.options.logRequests) {
    core_.LogRequest(haveRequest ? std::string_view(request->method_string()) : "-",
                     haveRequest ? std::string_view(request->target()) : "-", answer.status, took);
  }
  response_ = response;
  stream_.expires_after(core_.options.limits.writeTimeout);
  http::async_write(stream_, *response,
                    [self = shared_from_this(), keepAlive](beast::error_code error, std::size_t) {
                      self->OnWrite(keepAlive, error);
                    });
}

void HttpSession::OnWrite(bool keepAlive, beast::error_code error) {
  response_.reset();
  if (error) return Close();
  if (!keepAlive) return Linger();
  ReadHeader();
}

// A client still sending a body it was refused would see a reset instead of the answer if the
// connection closed with its bytes unread; so the sending side closes first, and what still
// arrives is read and dropped for a moment.
void HttpSession::Linger() {
  beast::error_code ignored;
  stream_.socket().shutdown(net::ip::tcp::socket::shutdown_send, ignored);
  stream_.expires_after(kLingerTime);
  lingerBuffer_ = std::make_unique<std::array<char, 4096>>();
  lingerLeft_ = kLingerBytes;
  DropUnread();
}

void HttpSession::DropUnread() {
  stream_.async_read_some(net::buffer(*lingerBuffer_),
                          [self = shared_from_this()](beast::error_code error, std::size_t n) {
                            self->lingerLeft_ -= std::min(self->lingerLeft_, n);
                            if (error || self->lingerLeft_ == 0) return self->Close();
                            self->DropUnread();
                          });
}

void HttpSession::Close() {
  idle_ = false;
  beast::error_code ignored;
  stream_.socket().shutdown(net::ip::tcp::socket::shutdown_both, ignored);
  stream_.close();
}
