#include "png/png_text_rule.h"

#include "png/chunks.h"

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr char kEscape = '$';
constexpr char kEntryMark = '#';

class EntryParser {
 public:
  explicit EntryParser(std::string_view text) : t_(text) {}

  std::vector<PngTextEntry> Parse() {
    std::vector<PngTextEntry> entries;
    pos_ = 2;  // after the leading "$#"
    for (;;) {
      PngTextEntry entry;
      // A keyword cut off by the end of the text, an empty one or an over-long one ends
      // the list; entries already taken stay.
      if (!ReadKeyword(entry.keyword)) break;
      if (entry.keyword.empty() || entry.keyword.size() > kMaxKeywordLength) break;
      const TextEnd end = ReadText(entry.text);
      if (!entry.text.empty() || end == TextEnd::kFinalEscape) entries.push_back(std::move(entry));
      if (end != TextEnd::kNextEntry) break;
    }
    return entries;
  }

 private:
  enum class TextEnd { kEndOfText, kFinalEscape, kNextEntry };

  // Up to CR LF. A CR without LF is dropped and the byte after it taken as it is.
  bool ReadKeyword(std::string& keyword) {
    while (pos_ < t_.size()) {
      const char c = t_[pos_];
      if (c != kCR) {
        keyword += c;
        ++pos_;
        continue;
      }
      if (pos_ + 1 >= t_.size()) return false;
      if (t_[pos_ + 1] == kLF) {
        pos_ += 2;
        return true;
      }
      keyword += t_[pos_ + 1];
      pos_ += 2;
    }
    return false;
  }

  TextEnd ReadText(std::string& text) {
    while (pos_ < t_.size()) {
      const char c = t_[pos_];
      if (c != kEscape) {
        text += c;
        ++pos_;
        continue;
      }
      if (pos_ + 1 >= t_.size()) {
        text += kEscape;  // a lone "$" at the very end stands for itself
        ++pos_;
        return TextEnd::kFinalEscape;
      }
      const char next = t_[pos_ + 1];
      pos_ += 2;
      if (next == kEntryMark) return TextEnd::kNextEntry;
      text += next;
    }
    return TextEnd::kEndOfText;
  }

  std::string_view t_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<PngTextEntry> PngTextEntries(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.size() < 2) return {};
  if (!text.starts_with("$#")) return {{"Comment", std::string(text)}};
  return EntryParser(text).Parse();
}
