// What an image's text becomes after a PNG save and load, worked out independently of the
// codec: the writer's entries ("$#" keyword CR LF text, "$" escaping the next byte, or one
// "Comment"), then the reader's gathering (a "$#" header line per chunk, line breaks made
// CR LF, the second byte of a double-byte character never read as a line break).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ansi_string.h"

namespace pngtextmodel {

using Entry = std::pair<std::string, std::string>;  // keyword, text

constexpr std::size_t kLongestKeyword = 79;

// The entries of a text starting with "$#". The list ends with the text, or at a keyword
// that is cut off, empty or longer than 79 bytes.
inline std::vector<Entry> ParseEntries(const std::string& t) {
  std::vector<Entry> entries;
  std::size_t at = 2;
  while (true) {
    std::string key;
    bool closed = false;
    while (at < t.size() && !closed) {
      if (t[at] != '\r') {
        key += t[at++];
      } else if (at + 1 == t.size()) {
        return entries;  // cut off inside the keyword
      } else {
        closed = t[at + 1] == '\n';
        if (!closed) key += t[at + 1];
        at += 2;
      }
    }
    if (!closed || key.empty() || key.size() > kLongestKeyword) return entries;
    std::string text;
    bool next = false, finalEscape = false;
    while (at < t.size() && !next) {
      if (t[at] != '$') {
        text += t[at++];
      } else if (at + 1 == t.size()) {
        text += '$';
        finalEscape = true;
        ++at;
      } else {
        next = t[at + 1] == '#';
        if (!next) text += t[at + 1];
        at += 2;
      }
    }
    if (!text.empty() || finalEscape) entries.emplace_back(key, text);
    if (!next) return entries;
  }
}

inline std::vector<Entry> WrittenEntries(std::string t) {
  t = t.substr(0, t.find('\0'));
  if (t.size() < 2) return {};
  if (t.compare(0, 2, "$#") != 0) return {{"Comment", t}};
  return ParseEntries(t);
}

// The text a load gathers from the entries' chunks, in order.
inline std::string Gathered(const std::vector<Entry>& entries) {
  std::string out;
  std::optional<std::size_t> lastBreak;  // index of the LF of the last line break
  auto lineBreak = [&] {
    out += "\r\n";
    lastBreak = out.size() - 1;
  };
  for (const auto& [key, text] : entries) {
    if (!out.empty() && (!lastBreak || out.size() - *lastBreak - 1 > 1)) lineBreak();
    out += "$#" + key;
    lineBreak();
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
        out += c;
        out += text[++i];
      } else if (c == '\r' || c == '\n') {
        lineBreak();
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        out += c;
      }
    }
  }
  return out;
}

}  // namespace pngtextmodel
