// The few header values and query strings the routes read, taken apart as their grammars say.
// The HTTP library parses the messages; these only interpret field values it hands over.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whether a Content-Type value names type (parameters such as charset are ignored; case does
// not matter).
bool IsMediaType(std::string_view contentType, std::string_view type);
// Whether an Accept value lists type by name (not through */*).
bool AcceptsMediaType(std::string_view accept, std::string_view type);
// Whether an If-None-Match value names etag, or is "*"; weak forms compare equal, as caches
// send them back.
bool EtagMatches(std::string_view ifNoneMatch, std::string_view etag);

struct QueryParameter {
  std::string_view name;
  std::string_view value;  // still percent-encoded
};
// The name=value parts of a query, in order; a part without '=' has an empty value.
std::vector<QueryParameter> SplitQuery(std::string_view query);
// Percent-decoding of one query component; '+' is a space, as forms send it. Nothing when a '%'
// is not followed by two hex digits.
std::optional<std::string> DecodeQueryComponent(std::string_view text);
