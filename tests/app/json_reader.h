// A small JSON reader for checking what nimbrel-cli writes: objects, arrays, strings (every
// escape, \u within the basic plane), numbers, true, false and null.
// Malformed text fails the parse; it is a test's check, not a product's reader.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kObject, kArray } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::map<std::string, JsonValue> members;
  std::vector<JsonValue> items;

  const JsonValue& operator[](const std::string& key) const { return members.at(key); }
  bool Has(const std::string& key) const { return members.count(key) != 0; }
  friend bool operator==(const JsonValue&, const JsonValue&) = default;
};

class JsonReader {
 public:
  // The value text holds, or nothing when it is not exactly one well-formed JSON value.
  static std::optional<JsonValue> Parse(std::string_view text) {
    JsonReader reader(text);
    JsonValue value;
    if (!reader.Value(value)) return std::nullopt;
    reader.Space();
    if (reader.at_ != text.size()) return std::nullopt;
    return value;
  }

 private:
  explicit JsonReader(std::string_view text) : s_(text) {}

  void Space() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\t' || s_[at_] == '\r'))
      ++at_;
  }
  bool Take(char c) {
    Space();
    if (at_ >= s_.size() || s_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool Word(std::string_view word) {
    if (s_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue& v) {
    Space();
    if (at_ >= s_.size()) return false;
    const char c = s_[at_];
    if (c == '{') return Object(v);
    if (c == '[') return Array(v);
    if (c == '"') return v.kind = JsonValue::kString, String(v.text);
    if (Word("true")) return v.kind = JsonValue::kBool, v.boolean = true;
    if (Word("false")) return v.kind = JsonValue::kBool, true;
    if (Word("null")) return true;
    const std::string rest(s_.substr(at_, 40));
    char* end = nullptr;
    v.number = std::strtod(rest.c_str(), &end);
    if (end == rest.c_str()) return false;
    at_ += std::size_t(end - rest.c_str());
    v.kind = JsonValue::kNumber;
    return true;
  }

  bool Object(JsonValue& v) {
    v.kind = JsonValue::kObject;
    ++at_;
    if (Take('}')) return true;
    do {
      std::string key;
      JsonValue member;
      if (!Take('"') || (--at_, !String(key)) || !Take(':') || !Value(member)) return false;
      v.members[key] = std::move(member);
    } while (Take(','));
    return Take('}');
  }

  bool Array(JsonValue& v) {
    v.kind = JsonValue::kArray;
    ++at_;
    if (Take(']')) return true;
    do {
      JsonValue item;
      if (!Value(item)) return false;
      v.items.push_back(std::move(item));
    } while (Take(','));
    return Take(']');
  }

  bool Hex4(unsigned& code) {
    if (at_ + 4 > s_.size()) return false;
    const std::string digits(s_.substr(at_, 4));
    char* end = nullptr;
    code = unsigned(std::strtoul(digits.c_str(), &end, 16));
    at_ += 4;
    return end == digits.c_str() + 4;
  }

  // Code points below U+10000 only: the writer escapes nothing beyond them.
  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += char(code);
    } else if (code < 0x800) {
      out += char(0xC0 | code >> 6), out += char(0x80 | (code & 0x3F));
    } else {
      out += char(0xE0 | code >> 12), out += char(0x80 | (code >> 6 & 0x3F)),
          out += char(0x80 | (code & 0x3F));
    }
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    while (at_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;  // control characters must be escaped
      if (c != '\\') {
        out += char(c);
        continue;
      }
      if (at_ >= s_.size()) return false;
      const char e = s_[at_++];
      static const std::string_view kSimple = "\"\\/bfnrt", kMeaning = "\"\\/\b\f\n\r\t";
      if (const auto i = kSimple.find(e); i != std::string_view::npos) {
        out += kMeaning[i];
        continue;
      }
      unsigned code = 0;
      if (e != 'u' || !Hex4(code) || (code >= 0xD800 && code <= 0xDFFF)) return false;
      AppendUtf8(out, code);
    }
    return false;
  }

  std::string_view s_;
  std::size_t at_ = 0;
};
