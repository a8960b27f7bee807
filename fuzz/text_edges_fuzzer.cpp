// Text at the edges of the program: the input's bytes as UTF-8, as code page 932 and as UTF-16
// through the string conversions, and as a batch table in either encoding through the table
// parser and the conversion of every field. Nothing may crash, and every refusal must be one
// of our exceptions with a message: no other exception escapes, nothing aborts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/cli_batch_table.h"
#include "app/caption_text.h"
#include "app/cli_input.h"
#include "app/cli_options.h"
#include "app/utf8_text.h"
#include "fuzz/fuzz_support.h"
#include "platform/ansi_string.h"
#include "platform/exception.h"

namespace {

bool IsUtf8(std::string_view text) {
  return !FindInvalidUtf8(text).has_value();
}

// Runs step; a refusal must be one of our exceptions with a message. Returns whether the step
// went through.
template <typename Step>
bool Refusable(const char* what, Step step) {
  try {
    step();
    return true;
  } catch (const Exception& e) {
    FuzzCheck(!e.Message().IsEmpty(), std::string(what) + ": refusal without a message");
  } catch (const CliInputError& e) {
    FuzzCheck(*e.what() != '\0', std::string(what) + ": refusal without a message");
  } catch (const CliUsageError& e) {
    FuzzCheck(*e.what() != '\0', std::string(what) + ": refusal without a message");
  }
  return false;
}

// Code page 932 bytes that came from UTF-8 convert back to UTF-8 and again to the same bytes.
void CheckCodePage(std::string_view bytes) {
  std::string utf8;
  if (Refusable("to UTF-8", [&] { utf8 = AnsiString(std::string(bytes)).ToUtf8(); }))
    FuzzCheck(IsUtf8(utf8), "code page 932 converted to malformed UTF-8");
  AnsiString sj;
  if (!Refusable("from UTF-8", [&] { sj = AnsiString::FromUtf8(bytes); })) return;
  FuzzCheck(IsUtf8(bytes), "malformed UTF-8 converted");
  // What the conversion made converts back without a refusal.
  const std::string back = sj.ToUtf8();
  FuzzCheck(IsUtf8(back) && AnsiString::FromUtf8(back) == sj, "code page 932 round trip");
  FuzzCheck(AnsiString::FromUtf16(sj.ToUtf16()) == sj, "UTF-16 round trip");
  // Lossy conversion is for messages: it never refuses.
  AnsiString::FromUtf8Lossy(bytes);
}

void CheckUtf16(std::string_view bytes) {
  std::u16string utf16(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < utf16.size(); ++i)
    utf16[i] = char16_t(static_cast<unsigned char>(bytes[2 * i]) |
                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  Refusable("from UTF-16", [&] { AnsiString::FromUtf16(utf16); });
}

// What the terminal and JSON writers make of any bytes is well-formed UTF-8 without control
// characters.
void CheckEscapes(std::string_view bytes) {
  const std::string terminal = TerminalText(bytes);
  FuzzCheck(IsUtf8(terminal), "terminal text is malformed UTF-8");
  for (const char c : terminal)
    FuzzCheck(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "control byte for a terminal");
  const std::string json = JsonString(bytes);
  FuzzCheck(IsUtf8(json) && json.size() >= 2 && json.front() == '"' && json.back() == '"',
            "JSON string");
  for (const char c : json) FuzzCheck(static_cast<unsigned char>(c) >= 0x20, "control in JSON");
}

// Every row's fields as the batch takes them.
void CheckTable(std::string_view bytes, TextEncoding encoding) {
  std::string text;
  if (!Refusable("table", [&] { text = DecodeText(bytes, encoding, "table"); })) return;
  FuzzCheck(IsUtf8(text), "decoded table is malformed UTF-8");
  for (const BatchRow& row : ParseBatchTable(text)) {
    Refusable("file name", [&] { RowOutput(row.fileName, nullptr); });
    Refusable("title", [&] { ConvertInput(row.title, "title"); });
    Refusable("second line", [&] { ConvertInput(row.secondLine, "second line"); });
    Refusable("description", [&] { ConvertDescription(row.description); });
    Refusable("text colour", [&] { ParseColour(row.textColour, "the text colour"); });
    Refusable("outline colour", [&] { ParseColour(row.outlineColour, "the outline colour"); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckCodePage(bytes);
  CheckUtf16(bytes);
  CheckEscapes(bytes);
  CheckTable(bytes, TextEncoding::kUtf8);
  CheckTable(bytes, TextEncoding::kCp932);
  return 0;
}
