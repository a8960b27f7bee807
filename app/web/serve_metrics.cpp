#include "app/web/serve_metrics.h"

#include <algorithm>
#include <sstream>

void ServeMetrics::Record(const std::string& route, unsigned status,
                          std::chrono::duration<double> took) {
  const double seconds = took.count();
  const std::size_t bucket =
      std::lower_bound(kBuckets.begin(), kBuckets.end(), seconds) - kBuckets.begin();
  std::lock_guard lock(mutex_);
  ++requests_[{route, status}];
  ++buckets_[bucket];
  seconds_ += seconds;
  ++timed_;
}

std::string ServeMetrics::Text() const {
  std::ostringstream out;
  std::lock_guard lock(mutex_);
  out << "# HELP nimbrel_http_requests_total Requests answered, by route and status.\n"
         "# TYPE nimbrel_http_requests_total counter\n";
  for (const auto& [key, count] : requests_)
    out << "nimbrel_http_requests_total{route=\"" << key.first << "\",status=\"" << key.second
        << "\"} " << count << "\n";
  out << "# HELP nimbrel_http_request_duration_seconds Time from a request's headers to its "
         "answer.\n"
         "# TYPE nimbrel_http_request_duration_seconds histogram\n";
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i <= kBuckets.size(); ++i) {
    cumulative += buckets_[i];
    out << "nimbrel_http_request_duration_seconds_bucket{le=\"";
    if (i < kBuckets.size()) {
      out << kBuckets[i];
    } else {
      out << "+Inf";
    }
    out << "\"} " << cumulative << "\n";
  }
  out << "nimbrel_http_request_duration_seconds_sum " << seconds_ << "\n"
      << "nimbrel_http_request_duration_seconds_count " << timed_ << "\n"
      << "# HELP nimbrel_captions_composed_total Captions composed.\n"
         "# TYPE nimbrel_captions_composed_total counter\n"
      << "nimbrel_captions_composed_total " << composed_ << "\n"
      << "# HELP nimbrel_http_requests_refused_total Requests refused because the work queue "
         "was full.\n"
         "# TYPE nimbrel_http_requests_refused_total counter\n"
      << "nimbrel_http_requests_refused_total " << refused_ << "\n"
      << "# HELP nimbrel_http_connections Connections open now.\n"
         "# TYPE nimbrel_http_connections gauge\n"
      << "nimbrel_http_connections " << connections_ << "\n";
  return out.str();
}
