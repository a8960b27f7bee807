// What the server counts, exposed at /metrics in the Prometheus text format: requests by route
// and status, captions composed, how long requests took, and requests refused for load.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

class ServeMetrics {
 public:
  void Record(const std::string& route, unsigned status, std::chrono::duration<double> took);
  void CaptionComposed() { ++composed_; }
  void RefusedForLoad() { ++refused_; }
  void ConnectionOpened() { ++connections_; }
  void ConnectionClosed() { --connections_; }
  std::int64_t Connections() const { return connections_; }

  std::string Text() const;

 private:
  // Upper bounds in seconds: a caption takes about a millisecond; the tail shows queueing.
  static constexpr std::array<double, 12> kBuckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                      0.05,   0.1,   0.25,   0.5,   1,    2.5};

  mutable std::mutex mutex_;
  std::map<std::pair<std::string, unsigned>, std::uint64_t> requests_;
  std::array<std::uint64_t, kBuckets.size() + 1> buckets_{};  // the last one is +Inf
  double seconds_ = 0;
  std::uint64_t timed_ = 0;
  std::atomic<std::uint64_t> composed_{0}, refused_{0};
  std::atomic<std::int64_t> connections_{0};
};
