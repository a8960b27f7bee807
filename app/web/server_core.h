// What every connection of one caption server shares: the options, the routes' API, the
// composing threads, the counters, and the list of open sessions that stopping must reach.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "app/web/caption_api.h"
#include "app/web/compose_pool.h"
#include "app/web/serve_limits.h"
#include "app/web/serve_metrics.h"

class HttpSession;

struct ServerCore {
  ServerCore(const ServeOptions& options, CaptionApi api);

  // One line on standard error: method, path without its query, status, milliseconds. Never a
  // caption's text.
  void LogRequest(std::string_view method, std::string_view target, unsigned status,
                  std::chrono::duration<double> took) const;

  // Sessions enter on start and leave when they end; after Stop, the last to leave ends the
  // drain.
  std::uint64_t Enter(const std::shared_ptr<HttpSession>& session);
  void Leave(std::uint64_t id);
  void ShutDownSessions();

 private:
  // Declared first so that they outlive the sessions that io and pool still hold.
  std::mutex mutex_;
  std::map<std::uint64_t, std::weak_ptr<HttpSession>> sessions_;
  std::uint64_t nextId_ = 0;

 public:
  const ServeOptions options;
  const CaptionApi api;
  ServeMetrics metrics;
  std::atomic<bool> stopping{false};
  std::atomic<bool> finished{false};  // io no longer runs: nothing may be posted to it
  std::function<void()> drained;      // set by Stop; runs on the I/O thread
  boost::asio::io_context io{1};
  // Destroyed first: its threads finish their captions and post the answers while io exists.
  ComposePool pool;
};
