#include "app/web/http_fields.h"

#include <algorithm>
#include <cctype>

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Calls each with every comma-separated element of a list-valued field, trimmed.
template <class Each>
bool AnyElement(std::string_view list, Each each) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    if (each(Trim(list.substr(0, comma)))) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

std::string_view MediaTypeOf(std::string_view value) {
  return Trim(value.substr(0, value.find(';')));
}

// 0–15 for a hex digit, -1 for anything else.
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool IsMediaType(std::string_view contentType, std::string_view type) {
  return EqualIgnoringCase(MediaTypeOf(contentType), type);
}

bool AcceptsMediaType(std::string_view accept, std::string_view type) {
  return AnyElement(accept, [&](std::string_view element) {
    return EqualIgnoringCase(MediaTypeOf(element), type);
  });
}

bool EtagMatches(std::string_view ifNoneMatch, std::string_view etag) {
  return AnyElement(ifNoneMatch, [&](std::string_view element) {
    if (element == "*") return true;
    if (element.starts_with("W/")) element.remove_prefix(2);
    return element == etag;
  });
}

std::vector<QueryParameter> SplitQuery(std::string_view query) {
  std::vector<QueryParameter> parameters;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view part = query.substr(0, amp);
    if (!part.empty()) {
      const std::size_t equals = part.find('=');
      parameters.push_back({part.substr(0, equals), equals == std::string_view::npos
                                                        ? std::string_view()
                                                        : part.substr(equals + 1)});
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return parameters;
}

std::optional<std::string> DecodeQueryComponent(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      decoded += ' ';
    } else if (text[i] != '%') {
      decoded += text[i];
    } else {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = HexDigitValue(text[i + 1]), low = HexDigitValue(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      decoded += char(high << 4 | low);
      i += 2;
    }
  }
  return decoded;
}
