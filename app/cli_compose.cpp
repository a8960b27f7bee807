#include "app/cli_compose.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "app/cli_options.h"
#include "app/composer.h"
#include "app/save_command.h"
#include "platform/exception.h"

const char kComposeHelp[] =
    "Usage: nimbrel-cli compose [options] -o OUT.png\n"
    "\n"
    "Composes one caption picture (310 x 180, 8-bit PNG with the grey background transparent)\n"
    "from the given texts, exactly as the window draws and saves it.\n"
    "\n"
    "  --title TEXT             the title line (UTF-8)\n"
    "  --second TEXT            the second line, such as a release date (UTF-8)\n"
    "  --description FILE|-     the description, one line per text line (UTF-8; - reads stdin)\n"
    "  --text-colour #RRGGBB    text colour (default #FFFFFF)\n"
    "  --outline-colour #RRGGBB outline colour (default #000000)\n"
    "  -o, --output OUT.png     the file to write; an existing file is replaced only once the\n"
    "                           new one is complete\n"
    "  -h, --help               this help\n"
    "\n"
    "Every text must be expressible in Shift_JIS (code page 932). Over-wide description lines\n"
    "are shortened and surplus lines dropped, with the window's messages printed to stderr.\n"
    "Exit status: 0 written, 1 the file could not be written, 2 bad arguments or text.\n";

namespace {

std::string ReadAll(std::istream& stream) {
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

std::string ReadDescription(const std::string& source, std::istream& in) {
  if (source == "-") return ReadAll(in);
  std::ifstream file(source, std::ios::binary);
  if (!file) throw CliUsageError("cannot read the description file " + source);
  return ReadAll(file);
}

std::string WithoutByteOrderMark(std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  return text;
}

}  // namespace

AnsiString ConvertInput(const std::string& utf8, const std::string& field) {
  try {
    return AnsiString::FromUtf8(utf8);
  } catch (const EConvertError& e) {
    throw EConvertError(AnsiString::FromUtf8Lossy(field + ": " + e.what()));
  }
}

std::vector<AnsiString> ConvertDescription(const std::string& utf8) {
  std::vector<AnsiString> lines;
  const std::vector<std::string> split = SplitDescription(WithoutByteOrderMark(utf8));
  for (std::size_t i = 0; i < split.size(); ++i)
    lines.push_back(ConvertInput(split[i], "description line " + std::to_string(i + 1)));
  return lines;
}

void ComposeCaption(const CaptionInputs& inputs, const std::string& outFile,
                    const TStringCaptionWindow::MessageSink& messages, const SaveOptions& options) {
  TStringCaptionWindow window(messages);
  TCaptionComposer composer(window);
  window.SetFontColor(inputs.textColour);
  window.SetBorderColor(inputs.outlineColour);
  window.Title = inputs.title;
  window.SecondLine = inputs.secondLine;
  composer.FormCreate();
  // The description arrives as if typed: the key release runs the width guard and redraws.
  window.Description = inputs.description;
  composer.Memo1KeyUp();
  composer.Button1Click();
  window.SaveFileName = outFile;
  Button2Click(window, options);
}

int RunCompose(const std::vector<std::string>& args, CliIo& io) {
  CaptionInputs inputs;
  std::string output;
  try {
    const ParsedArguments parsed =
        ParseArguments(args,
                       {"--title", "--second", "--description", "--text-colour", "--outline-colour",
                        "-o", "--output"},
                       {"-h", "--help"});
    if (parsed.flags.count("-h") || parsed.flags.count("--help")) {
      io.out << kComposeHelp;
      return kExitOk;
    }
    if (!parsed.positional.empty())
      throw CliUsageError("unexpected argument " + parsed.positional.front());
    if (parsed.Has("-o") && parsed.Has("--output"))
      throw CliUsageError("give the output file once (-o or --output)");
    output = parsed.Has("-o") ? parsed.Value("-o") : parsed.Value("--output");
    if (output.empty()) throw CliUsageError("no output file (-o OUT.png)");
    inputs.textColour = ParseColour(parsed.Value("--text-colour", "#FFFFFF"), "--text-colour");
    inputs.outlineColour =
        ParseColour(parsed.Value("--outline-colour", "#000000"), "--outline-colour");
    inputs.title = ConvertInput(parsed.Value("--title"), "title");
    inputs.secondLine = ConvertInput(parsed.Value("--second"), "second line");
    if (parsed.Has("--description"))
      inputs.description =
          ConvertDescription(ReadDescription(parsed.Value("--description"), io.in));
  } catch (const CliUsageError& e) {
    io.err << "nimbrel-cli compose: " << e.what() << "\nTry 'nimbrel-cli compose --help'.\n";
    return kExitUsage;
  } catch (const EConvertError& e) {
    io.err << "nimbrel-cli compose: " << e.what() << "\n";
    return kExitUsage;
  }

  try {
    ComposeCaption(inputs, output,
                   [&](const AnsiString& text) { io.err << MessageUtf8(text) << "\n"; });
  } catch (const std::exception& e) {
    io.err << "nimbrel-cli compose: " << e.what() << "\n";
    return kExitFailed;
  }
  return kExitOk;
}
