#include "app/web/caption_server.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <csignal>
#include <optional>
#include <stdexcept>

#include "app/web/http_session.h"
#include "app/web/server_core.h"

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// What a connection past the limit gets before it is closed; written whole, it needs no reading.
constexpr char kTooManyConnections[] =
    "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 1\r\nContent-Length: 0\r\n"
    "Connection: close\r\n\r\n";

}  // namespace

struct CaptionServer::Core : ServerCore {
  Core(const ServeOptions& options, CaptionApi api)
      : ServerCore(options, std::move(api)), acceptor(io), drainTimer(io) {}

  void Accept();
  void OnAccept(boost::system::error_code error, tcp::socket socket);
  void Stop();
  // Nothing is in flight any more: what kept io running while it drained can go.
  void Finish();

  tcp::acceptor acceptor;
  net::steady_timer drainTimer;
  std::optional<net::signal_set> signals;
};

void CaptionServer::Core::Accept() {
  acceptor.async_accept(net::make_strand(io),
                        [this](boost::system::error_code error, tcp::socket socket) {
                          OnAccept(error, std::move(socket));
                        });
}

void CaptionServer::Core::OnAccept(boost::system::error_code error, tcp::socket socket) {
  if (error == net::error::operation_aborted || stopping) return;
  if (!error) {
    if (metrics.Connections() >= std::int64_t(options.limits.maxConnections)) {
      boost::system::error_code ignored;
      socket.non_blocking(true, ignored);
      socket.write_some(net::buffer(kTooManyConnections, sizeof kTooManyConnections - 1), ignored);
      socket.close(ignored);
    } else {
      std::make_shared<HttpSession>(std::move(socket), *this)->Start();
    }
  }
  Accept();  // a failed accept (out of descriptors, say) must not end the server
}

void CaptionServer::Core::Stop() {
  if (stopping.exchange(true)) return;
  boost::system::error_code ignored;
  acceptor.close(ignored);
  drainTimer.expires_after(options.limits.drainTimeout);
  drainTimer.async_wait([this](boost::system::error_code error) {
    if (!error) io.stop();  // what did not finish in time is cut off
  });
  drained = [this] { Finish(); };
  ShutDownSessions();
  if (metrics.Connections() == 0) Finish();
}

void CaptionServer::Core::Finish() {
  boost::system::error_code ignored;
  drainTimer.cancel();
  if (signals) signals->cancel(ignored);
}

CaptionServer::CaptionServer(const ServeOptions& options, CaptionApi api)
    : core_(std::make_unique<Core>(options, std::move(api))) {
  boost::system::error_code error;
  const net::ip::address address = net::ip::make_address(options.address, error);
  if (error) throw std::runtime_error("cannot listen on " + options.address + ": not an address");
  const tcp::endpoint endpoint(address, options.port);
  tcp::acceptor& acceptor = core_->acceptor;
  acceptor.open(endpoint.protocol(), error);
  if (!error) acceptor.set_option(net::socket_base::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(net::socket_base::max_listen_connections, error);
  if (error)
    throw std::runtime_error("cannot listen on " + options.address + ":" +
                             std::to_string(options.port) + ": " + error.message());
}

CaptionServer::~CaptionServer() = default;

std::string CaptionServer::Address() const {
  return core_->acceptor.local_endpoint().address().to_string();
}

unsigned short CaptionServer::Port() const {
  return core_->acceptor.local_endpoint().port();
}

void CaptionServer::StopOnSignals() {
  core_->signals.emplace(core_->io, SIGINT, SIGTERM);
  // The first signal drains; a second one, from someone who will not wait, ends it at once.
  core_->signals->async_wait([this](boost::system::error_code error, int) {
    if (error) return;
    core_->signals->async_wait([this](boost::system::error_code again, int) {
      if (!again) core_->io.stop();
    });
    core_->Stop();  // after the second wait is set, which Finish may cancel at once
  });
}

void CaptionServer::Run() {
  core_->Accept();
  core_->io.run();
  core_->finished = true;
}

void CaptionServer::Stop() {
  net::post(core_->io, [this] { core_->Stop(); });
}

const ServeMetrics& CaptionServer::Metrics() const {
  return core_->metrics;
}
