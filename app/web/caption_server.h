// nimbrel-cli serve: the caption page and API over HTTP. One thread reads and writes every
// connection; --jobs threads compose. The server keeps nothing between requests, so more of it
// behind a proxy is how it grows.
#pragma once

#include <memory>
#include <string>

#include "app/web/caption_api.h"
#include "app/web/serve_limits.h"

class ServeMetrics;

class CaptionServer {
 public:
  // Binds options.address and options.port (0 picks a free port); raises std::runtime_error
  // saying why when that fails.
  CaptionServer(const ServeOptions& options, CaptionApi api);
  ~CaptionServer();
  CaptionServer(const CaptionServer&) = delete;
  CaptionServer& operator=(const CaptionServer&) = delete;

  // The address and the port really listened on.
  std::string Address() const;
  unsigned short Port() const;

  // SIGTERM and SIGINT stop the server as Stop does, while Run runs.
  void StopOnSignals();
  // Serves on the calling thread until stopped, then returns once the requests in flight are
  // answered (or the drain timeout passed).
  void Run();
  // Stops accepting, closes idle connections and lets the rest finish; safe from any thread.
  void Stop();

  const ServeMetrics& Metrics() const;

 private:
  struct Core;
  std::unique_ptr<Core> core_;
};
