// Every bound of the caption server, named, with its default and why it is that number. A
// request past one of them is refused with its own status; none of them can be raised by a
// client.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

struct ServeLimits {
  // A caption's inputs are a few hundred bytes of text; 64 KiB holds a pasted page and more.
  std::size_t maxBodyBytes = 64 * 1024;
  // The request line and every header together. Browsers send 1–2 KiB; a URL carrying a
  // description in percent-encoding stays under the target limit below.
  std::size_t maxHeaderBytes = 16 * 1024;
  std::size_t maxTargetBytes = 8 * 1024;
  // A request must arrive whole within this, and an idle keep-alive connection is closed after
  // it: a client that sends nothing, or one byte at a time, holds no more than this.
  std::chrono::seconds readTimeout{5};
  std::chrono::seconds writeTimeout{5};
  // Connections open at once; past this a new one is closed at once. Idle ones cost a few KiB.
  std::size_t maxConnections = 1024;
  // Captions waiting for a composing thread, per thread; past this a request gets 503 at once
  // rather than waiting longer than a client would.
  std::size_t queuePerJob = 32;
  int retryAfterSeconds = 1;
  // After SIGTERM or SIGINT, requests in flight get this long to finish.
  std::chrono::seconds drainTimeout{8};
};

struct ServeOptions {
  std::string address = "127.0.0.1";  // loopback unless told otherwise
  unsigned short port = 8080;         // 0 picks a free port
  int jobs = 1;                       // threads composing captions at once
  bool logRequests = true;            // one line per request on standard error
  ServeLimits limits;
};
