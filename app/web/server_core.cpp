#include "app/web/server_core.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "app/utf8_text.h"
#include "app/web/http_session.h"

namespace {

// A log line shows this much of a path at most: a client cannot fill the log.
constexpr std::size_t kLoggedPathBytes = 200;

}  // namespace

ServerCore::ServerCore(const ServeOptions& options, CaptionApi api)
    : options(options),
      api(std::move(api)),
      pool(std::max(options.jobs, 1),
           std::size_t(std::max(options.jobs, 1)) * options.limits.queuePerJob) {}

void ServerCore::LogRequest(std::string_view method, std::string_view target, unsigned status,
                            std::chrono::duration<double> took) const {
  std::string path(target.substr(0, target.find('?')));
  if (path.size() > kLoggedPathBytes) path = path.substr(0, kLoggedPathBytes) + "...";
  char timing[32];
  std::snprintf(timing, sizeof timing, " %u %.2f ms\n", status, took.count() * 1000);
  // One write per line, so that lines from several threads never interleave.
  const std::string line = TerminalText(method) + " " + TerminalText(path) + timing;
  (void)!::write(STDERR_FILENO, line.data(), line.size());
}

std::uint64_t ServerCore::Enter(const std::shared_ptr<HttpSession>& session) {
  std::lock_guard lock(mutex_);
  sessions_.emplace(++nextId_, session);
  return nextId_;
}

void ServerCore::Leave(std::uint64_t id) {
  bool last = false;
  {
    std::lock_guard lock(mutex_);
    sessions_.erase(id);
    last = sessions_.empty();
  }
  if (last && stopping && !finished) {
    boost::asio::post(io, [this] {
      if (drained) drained();
    });
  }
}

void ServerCore::ShutDownSessions() {
  std::vector<std::shared_ptr<HttpSession>> live;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, session] : sessions_)
      if (auto alive = session.lock()) live.push_back(std::move(alive));
  }
  for (const auto& session : live) session->ShutDown();
}
