#include "app/caption_text.h"

#include <cstdio>
#include <optional>
#include <unordered_set>

#include "app/cli_string_window.h"
#include "app/cp932_scan.h"
#include "app/utf8_text.h"
#include "platform/exception.h"

namespace {

// A description of thousands of bad lines names the first few in its message; Problems() has
// them all.
constexpr std::size_t kProblemsInMessage = 5;

std::string CodePoint(char32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", unsigned(code));
  return text;
}

std::string Message(const std::string& field, const std::vector<CaptionTextProblem>& problems) {
  const CaptionTextProblem& first = problems.front();
  std::string message = field;
  if (first.line > 0) message += " line " + std::to_string(first.line);
  message += ": " + first.reason;
  for (std::size_t i = 1; i < problems.size(); ++i) {
    if (i == kProblemsInMessage) return message + "; …";
    message += "; line " + std::to_string(problems[i].line) + ": " + problems[i].reason;
  }
  return message;
}

// The characters of well-formed utf8 that have no Shift_JIS form, each once, in text order.
std::vector<char32_t> UnencodableIn(std::string_view utf8) {
  std::vector<char32_t> codes;
  std::unordered_set<char32_t> listed;
  for (const std::size_t at : CharactersWithoutCp932Form(utf8)) {
    const char32_t code = DecodeUtf8(utf8, at).code;
    if (listed.insert(code).second) codes.push_back(code);
  }
  return codes;
}

std::string UnencodableReason(const std::vector<char32_t>& codes) {
  std::string list;
  for (const char32_t code : codes) list += (list.empty() ? "" : ", ") + CodePoint(code);
  return "文字 " + list + " は Shift_JIS で表せません";
}

std::optional<std::string> Utf8Problem(std::string_view utf8) {
  if (const auto invalid = FindInvalidUtf8(utf8))
    return "invalid UTF-8 at byte " + std::to_string(*invalid);
  return std::nullopt;
}

// A single-line field draws a control character as a box, never as what it means.
std::optional<std::string> ControlProblem(std::string_view utf8) {
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto c = static_cast<unsigned char>(utf8[at]);
    if (c >= 0x20 && c != 0x7F) continue;
    const std::string what = c == '\t'                ? "a tab"
                             : c == '\n' || c == '\r' ? "a line break"
                                                      : "control character " + CodePoint(c);
    return what + " at byte " + std::to_string(at) + " cannot be drawn: give one line of text";
  }
  return std::nullopt;
}

}  // namespace

CaptionTextError::CaptionTextError(std::string field, std::vector<CaptionTextProblem> problems,
                                   std::vector<UnencodableCharacter> characters)
    : CliInputError(Message(field, problems)),
      field_(std::move(field)),
      problems_(std::move(problems)),
      characters_(std::move(characters)) {}

AnsiString ConvertInput(const std::string& utf8, const std::string& field) {
  std::optional<std::string> problem = Utf8Problem(utf8);
  if (!problem) problem = ControlProblem(utf8);
  if (problem) throw CaptionTextError(field, {{0, *problem}});
  try {
    return AnsiString::FromUtf8(utf8);
  } catch (const EConvertError&) {
    const std::vector<char32_t> codes = UnencodableIn(utf8);
    std::vector<UnencodableCharacter> characters;
    for (const char32_t code : codes) characters.push_back({code, 0});
    throw CaptionTextError(field, {{0, UnencodableReason(codes)}}, std::move(characters));
  }
}

std::vector<AnsiString> ConvertDescription(const std::string& utf8) {
  const std::vector<std::string> split = SplitDescription(utf8);
  std::vector<AnsiString> lines(split.size());
  std::vector<CaptionTextProblem> problems;
  std::vector<UnencodableCharacter> characters;
  for (std::size_t i = 0; i < split.size(); ++i) {
    const int line = int(i + 1);
    if (const auto problem = Utf8Problem(split[i])) {
      problems.push_back({line, *problem});
      continue;
    }
    try {
      lines[i] = AnsiString::FromUtf8(split[i]);
    } catch (const EConvertError&) {
      const std::vector<char32_t> codes = UnencodableIn(split[i]);
      for (const char32_t code : codes) characters.push_back({code, line});
      problems.push_back({line, UnencodableReason(codes)});
    }
  }
  if (!problems.empty())
    throw CaptionTextError("description", std::move(problems), std::move(characters));
  return lines;
}
