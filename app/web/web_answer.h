// What a route answers, before it becomes an HTTP response: kept free of the HTTP library so that
// the routes read as what they decide.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct WebAnswer {
  unsigned status = 200;
  std::string contentType;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Type and length
};

// {"error": message, "field": field} with status; the field only where one is at fault.
WebAnswer ErrorAnswer(unsigned status, const std::string& message, const std::string& field = {});
