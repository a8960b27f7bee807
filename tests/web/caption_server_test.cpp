#include "app/web/caption_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/cli_formats.h"
#include "app/cli_test_util.h"
#include "app/release.h"
#include "app/temp_folder.h"
#include "tests/web/http_client.h"

namespace http = boost::beast::http;
using Json = nlohmann::json;

namespace {

// A server on a free loopback port, serving on its own thread for as long as the test runs.
class RunningServer {
 public:
  explicit RunningServer(ServeOptions options = {}) {
    options.port = 0;
    options.logRequests = false;
    if (options.jobs < 2) options.jobs = 2;
    server_.emplace(options, CaptionApi(FormatNamed("bmp"), NIMBREL_VERSION));
    thread_ = std::thread([this] { server_->Run(); });
  }
  ~RunningServer() {
    server_->Stop();
    thread_.join();
  }
  unsigned short Port() const { return server_->Port(); }
  CaptionServer& Server() { return *server_; }

 private:
  CliFormatRegistration formats_;
  std::optional<CaptionServer> server_;
  std::thread thread_;
};

// What nimbrel-cli compose writes for the same inputs.
std::string ComposedBytes(const std::vector<std::string>& args, const std::string& description,
                          const char* name = "c.png") {
  TempFolder folder;
  const std::string out = folder.File(name);
  std::vector<std::string> command = {"compose", "--description", "-", "-o", out};
  command.insert(command.end(), args.begin(), args.end());
  EXPECT_EQ(RunCliCommand(command, description).status, 0);
  return ReadFileBytes(out);
}

std::string FromBase64(const std::string& text) {
  std::string bytes;
  unsigned buffer = 0;
  int bits = 0;
  for (const char c : text) {
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = std::strchr(alphabet, c);
    if (c == '=' || at == nullptr) break;
    buffer = buffer << 6 | unsigned(at - alphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += char((buffer >> bits) & 0xFF);
    }
  }
  return bytes;
}

const std::string kWide(80, 'W');

}  // namespace

// Every form of the API draws what compose draws, byte for byte.
TEST(CaptionServer, AnswersTheBytesComposeWrites) {
  RunningServer server;
  const std::string description = "一行目\n" + kWide + "\n三行目";
  const Json request = {{"title", "星の島"},
                        {"second", "2026年12月発売"},
                        {"description", description},
                        {"textColour", "#FF0000"},
                        {"outlineColour", "#0000ff"}};
  const std::vector<std::string> options = {"--title",          "星の島",        "--second",
                                            "2026年12月発売",   "--text-colour", "#FF0000",
                                            "--outline-colour", "#0000FF"};
  const std::string png = ComposedBytes(options, description);
  const std::string bmp = ComposedBytes(options, description, "c.bmp");

  const HttpReply post = Fetch(server.Port(), http::verb::post, "/api/caption", request.dump(),
                               {{"Content-Type", "application/json"}});
  EXPECT_EQ(post.status, 200u);
  EXPECT_EQ(post.Header("Content-Type"), "image/png");
  EXPECT_EQ(post.body, png);

  Json asBmp = request;
  asBmp["format"] = "bmp";
  const HttpReply postBmp = Fetch(server.Port(), http::verb::post, "/api/caption", asBmp.dump(),
                                  {{"Content-Type", "application/json; charset=utf-8"}});
  EXPECT_EQ(postBmp.Header("Content-Type"), "image/bmp");
  EXPECT_EQ(postBmp.body, bmp);

  const HttpReply json =
      Fetch(server.Port(), http::verb::post, "/api/caption", request.dump(),
            {{"Content-Type", "application/json"}, {"Accept", "application/json"}});
  ASSERT_EQ(json.status, 200u);
  const Json answer = Json::parse(json.body);
  EXPECT_EQ(FromBase64(answer["png"]), png);
  EXPECT_EQ(answer["notices"], Json::array({"2行目を自動調整で文字削除します"}));
  const std::string drawn = answer["description"];
  EXPECT_TRUE(drawn.starts_with("一行目\nWWW") && drawn.ends_with("\n三行目")) << drawn;
  EXPECT_LT(drawn.size(), description.size());

  const std::string query =
      "/caption.png?title=%E6%98%9F%E3%81%AE%E5%B3%B6&second=2026%E5%B9%B412%E6%9C%88%E7%99%BA"
      "%E5%A3%B2&description=%E4%B8%80%E8%A1%8C%E7%9B%AE%0A" +
      kWide + "%0A%E4%B8%89%E8%A1%8C%E7%9B%AE&text=ff0000&outline=0000FF";
  const HttpReply get = Fetch(server.Port(), http::verb::get, query);
  EXPECT_EQ(get.status, 200u);
  EXPECT_EQ(get.body, png);
  std::string bmpQuery = query;
  bmpQuery.replace(bmpQuery.find(".png"), 4, ".bmp");
  EXPECT_EQ(Fetch(server.Port(), http::verb::get, bmpQuery).body, bmp);
}

// A repeated address is answered from the client's cache: the same strong ETag, then 304.
TEST(CaptionServer, CachesTheGetFormByItsETag) {
  RunningServer server;
  const std::string target = "/caption.png?title=Nimbrel&text=FFFFFF";
  const HttpReply first = Fetch(server.Port(), http::verb::get, target);
  const std::string etag = first.Header("ETag");
  ASSERT_EQ(etag.size(), 18u) << etag;
  EXPECT_EQ(etag.front(), '"');
  EXPECT_EQ(first.Header("Cache-Control"), "public, max-age=31536000, immutable");
  // The same picture asked for another way carries the same validator; another picture not.
  EXPECT_EQ(Fetch(server.Port(), http::verb::get, "/caption.png?text=ffffff&title=Nimbrel")
                .Header("ETag"),
            etag);
  EXPECT_NE(Fetch(server.Port(), http::verb::get, target + "&second=2").Header("ETag"), etag);
  EXPECT_NE(Fetch(server.Port(), http::verb::get, "/caption.bmp?title=Nimbrel").Header("ETag"),
            etag);

  for (const std::string& match : {etag, "W/" + etag, "\"other\", " + etag, std::string("*")}) {
    const HttpReply cached =
        Fetch(server.Port(), http::verb::get, target, {}, {{"If-None-Match", match}});
    EXPECT_EQ(cached.status, 304u) << match;
    EXPECT_EQ(cached.body, "");
    EXPECT_EQ(cached.Header("ETag"), etag);
  }
  EXPECT_EQ(Fetch(server.Port(), http::verb::get, target, {}, {{"If-None-Match", "\"x\""}}).status,
            200u);
}

struct ErrorCase {
  const char* name;
  http::verb method;
  std::string target;
  std::string body;
  std::map<std::string, std::string> headers;
  unsigned status;
  std::string field;    // the field the answer names, or ""
  std::string message;  // a part of the error text
};

void PrintTo(const ErrorCase& c, std::ostream* out) {
  *out << c.name;
}

class CaptionServerErrors : public testing::TestWithParam<ErrorCase> {};

const std::map<std::string, std::string> kJson = {{"Content-Type", "application/json"}};

TEST_P(CaptionServerErrors, AnswerWithTheirStatusAndAJsonError) {
  const ErrorCase& c = GetParam();
  RunningServer server;
  const HttpReply reply = Fetch(server.Port(), c.method, c.target, c.body, c.headers);
  EXPECT_EQ(reply.status, c.status) << reply.body;
  EXPECT_EQ(reply.Header("Content-Type"), "application/json");
  const Json error = Json::parse(reply.body, nullptr, false);
  ASSERT_TRUE(error.is_object()) << reply.body;
  EXPECT_NE(error.value("error", "").find(c.message), std::string::npos) << reply.body;
  EXPECT_EQ(error.value("field", ""), c.field) << reply.body;
  if (c.status == 405) {
    EXPECT_FALSE(reply.Header("Allow").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, CaptionServerErrors,
    testing::Values(
        ErrorCase{"MalformedJson", http::verb::post, "/api/caption", "{\"title\": ", kJson, 400, "",
                  "not well-formed JSON"},
        ErrorCase{"NotAnObject", http::verb::post, "/api/caption", "[1, 2]", kJson, 400, "",
                  "JSON object"},
        ErrorCase{"WrongType", http::verb::post, "/api/caption", R"({"title": 7})", kJson, 400,
                  "title", "must be a string"},
        ErrorCase{"StrictNotBool", http::verb::post, "/api/caption", R"({"strict": "yes"})", kJson,
                  400, "strict", "true or false"},
        ErrorCase{"ShortColour", http::verb::post, "/api/caption", R"({"textColour": "#FFF"})",
                  kJson, 400, "textColour", "#RRGGBB"},
        ErrorCase{"ColourWithoutHash", http::verb::post, "/api/caption",
                  R"({"outlineColour": "000000"})", kJson, 400, "outlineColour", "#RRGGBB"},
        ErrorCase{"UnknownFormat", http::verb::post, "/api/caption", R"({"format": "gif"})", kJson,
                  400, "format", "png"},
        ErrorCase{"QueryColour",
                  http::verb::get,
                  "/caption.png?outline=12345G",
                  "",
                  {},
                  400,
                  "outline",
                  "RRGGBB"},
        ErrorCase{"QueryEncoding",
                  http::verb::get,
                  "/caption.png?title=%E6%9",
                  "",
                  {},
                  400,
                  "title",
                  "percent-encoded"},
        ErrorCase{"NotJson",
                  http::verb::post,
                  "/api/caption",
                  "title=x",
                  {{"Content-Type", "application/x-www-form-urlencoded"}},
                  415,
                  "",
                  "JSON"},
        ErrorCase{"NoSjisForm", http::verb::post, "/api/caption", R"({"second": "絵文字 😀"})",
                  kJson, 422, "second", "U+1F600"},
        ErrorCase{"LineBreakInTheTitle", http::verb::post, "/api/caption",
                  R"({"title": "one\ntwo"})", kJson, 422, "title", "line break"},
        ErrorCase{"NoSjisFormInTheDescription",
                  http::verb::get,
                  "/caption.png?description=a%0A%F0%9F%98%80",
                  "",
                  {},
                  422,
                  "description",
                  "description line 2"},
        ErrorCase{"StrictCut", http::verb::post, "/api/caption",
                  R"({"strict": true, "description": ")" + kWide + "\"}", kJson, 422, "description",
                  "cut"},
        ErrorCase{"UnknownPath", http::verb::get, "/etc/passwd", "", {}, 404, "", "no such"},
        ErrorCase{"WrongMethod", http::verb::get, "/api/caption", "", {}, 405, "", "POST"},
        ErrorCase{"PostToTheImage", http::verb::post, "/caption.png", "{}", kJson, 405, "", "GET"}),
    [](const auto& info) { return std::string(info.param.name); });

// A strict caption that would be cut says why with the window's own notices.
TEST(CaptionServer, StrictRefusalCarriesTheNotices) {
  RunningServer server;
  const Json request = {{"strict", true}, {"description", kWide}};
  const HttpReply reply =
      Fetch(server.Port(), http::verb::post, "/api/caption", request.dump(), kJson);
  ASSERT_EQ(reply.status, 422u);
  EXPECT_EQ(Json::parse(reply.body)["notices"], Json::array({"1行目を自動調整で文字削除します"}));
}

// Limits hold before anything is read: a body is refused from its length, headers and addresses
// by their size, a full queue at once, and a silent client is dropped.
TEST(CaptionServer, RefusesWhatIsTooLargeOrTooMuch) {
  ServeOptions options;
  options.limits.readTimeout = std::chrono::seconds(1);
  RunningServer server(options);

  // Only the headers go out: the answer cannot have waited for the 100 000 bytes.
  HttpConnection large(server.Port());
  const HttpReply tooLarge = large.SendRaw(
      "POST /api/caption HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
      "Content-Length: 100000\r\n\r\n");
  EXPECT_EQ(tooLarge.status, 413u);
  EXPECT_EQ(tooLarge.Header("Connection"), "close");

  const HttpReply longHeader =
      HttpConnection(server.Port())
          .SendRaw("GET /healthz HTTP/1.1\r\nHost: x\r\nX-Filler: " + std::string(20000, 'a') +
                   "\r\n\r\n");
  EXPECT_EQ(longHeader.status, 431u);
  EXPECT_EQ(
      Fetch(server.Port(), http::verb::get, "/caption.png?title=" + std::string(9000, 'a')).status,
      414u);
  EXPECT_EQ(HttpConnection(server.Port()).SendRaw("NOT HTTP AT ALL\r\n\r\n").status, 400u);

  HttpConnection silent(server.Port());
  EXPECT_TRUE(silent.ClosedByServer());  // after the read timeout, with nothing answered
}

TEST(CaptionServer, AFullQueueAnswersBusyWithRetryAfter) {
  ServeOptions options;
  options.limits.queuePerJob = 0;  // nothing may wait, and nothing composes without waiting
  RunningServer server(options);
  const HttpReply busy = Fetch(server.Port(), http::verb::get, "/caption.png?title=x");
  EXPECT_EQ(busy.status, 503u);
  EXPECT_EQ(busy.Header("Retry-After"), "1");
  EXPECT_EQ(Fetch(server.Port(), http::verb::get, "/healthz").status, 200u);
  const std::string metrics = Fetch(server.Port(), http::verb::get, "/metrics").body;
  EXPECT_NE(metrics.find("nimbrel_http_requests_refused_total 1\n"), std::string::npos) << metrics;
  EXPECT_NE(metrics.find("nimbrel_http_requests_total{route=\"/caption.png\",status=\"503\"} 1"),
            std::string::npos)
      << metrics;
}

// The page and its files come with the headers that keep it to its own origin.
TEST(CaptionServer, ServesThePageWithItsHeaders) {
  RunningServer server;
  HttpConnection connection(server.Port());
  const HttpReply page = connection.Fetch(http::verb::get, "/");
  EXPECT_EQ(page.status, 200u);
  EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("<html lang=\"ja\">"), std::string::npos);
  for (const char* id : {"title", "second", "description", "text-colour", "outline-colour",
                         "preview", "save", "notices"})
    EXPECT_NE(page.body.find("id=\"" + std::string(id) + "\""), std::string::npos) << id;
  EXPECT_NE(page.Header("Content-Security-Policy").find("default-src 'self'"), std::string::npos);
  EXPECT_EQ(page.Header("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(page.Header("Referrer-Policy"), "no-referrer");
  // The same connection carries the page's other requests.
  EXPECT_EQ(connection.Fetch(http::verb::get, "/page.js").Header("Content-Type"),
            "text/javascript; charset=utf-8");
  EXPECT_EQ(connection.Fetch(http::verb::get, "/page.css").status, 200u);
  const HttpReply head = connection.Fetch(http::verb::head, "/healthz");
  EXPECT_EQ(head.status, 200u);
  EXPECT_EQ(head.body, "");
  EXPECT_EQ(connection.Fetch(http::verb::get, "/healthz").body, "ok\n");
}

// Many clients at once, each with its own caption: every answer is that client's picture, and
// idle connections held open meanwhile do not stand in the way.
TEST(CaptionServer, ManyClientsAtOnceEachGetTheirOwnCaption) {
  RunningServer server;
  std::vector<std::unique_ptr<HttpConnection>> idle;
  for (int i = 0; i < 150; ++i) idle.push_back(std::make_unique<HttpConnection>(server.Port()));

  constexpr int kClients = 12, kRequests = 8;
  std::vector<std::string> expected(kClients);
  for (int client = 0; client < kClients; ++client)
    expected[client] = ComposedBytes({"--title", "客" + std::to_string(client)}, "");
  std::vector<int> correct(kClients, 0);
  std::vector<std::thread> clients;
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&, client] {
      HttpConnection connection(server.Port());
      const Json body = {{"title", "客" + std::to_string(client)}};
      for (int i = 0; i < kRequests; ++i) {
        const HttpReply reply =
            connection.Fetch(http::verb::post, "/api/caption", body.dump(), kJson);
        correct[client] += reply.status == 200 && reply.body == expected[client];
      }
    });
  }
  for (std::thread& client : clients) client.join();
  for (int client = 0; client < kClients; ++client) EXPECT_EQ(correct[client], kRequests) << client;
}

// nimbrel-cli serve as it runs: it says where it listens, and SIGTERM lets the request in flight
// finish before it exits with 0.
TEST(CaptionServer, SigtermFinishesTheRequestInFlightAndExitsCleanly) {
  int errPipe[2];
  ASSERT_EQ(::pipe(errPipe), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(errPipe[1], STDERR_FILENO);
    ::close(errPipe[0]);
    ::execl(NIMBREL_CLI, NIMBREL_CLI, "serve", "--listen", "127.0.0.1:0", "-j", "1", nullptr);
    ::_exit(127);
  }
  ::close(errPipe[1]);
  std::string first;
  for (char c; first.find('\n') == std::string::npos && ::read(errPipe[0], &c, 1) == 1;) first += c;
  ASSERT_TRUE(first.starts_with("Serving http://127.0.0.1:")) << first;
  const auto port = static_cast<unsigned short>(std::stoi(first.substr(first.rfind(':') + 1)));

  const std::string body = R"({"title": "終わる前に"})";
  HttpConnection inFlight(port);
  inFlight.Write(
      "POST /api/caption HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
      "Content-Length: " +
      std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 5));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the headers are read
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  inFlight.Write(body.substr(5));
  const HttpReply reply = inFlight.Read(false);
  EXPECT_EQ(reply.status, 200u);
  EXPECT_EQ(reply.Header("Connection"), "close");
  EXPECT_EQ(reply.body, ComposedBytes({"--title", "終わる前に"}, ""));

  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::close(errPipe[0]);
}
