#include "app/cli_compose.h"

#include <algorithm>
#include <ostream>

#include "app/caption.h"
#include "app/caption_text.h"
#include "app/cli_formats.h"
#include "app/cli_input.h"
#include "app/cli_string_window.h"
#include "app/save_command.h"
#include "app/utf8_text.h"

namespace {

const char kComposeHelp[] =
    "Usage: nimbrel-cli compose [options] -o OUT\n"
    "\n"
    "Composes one caption picture (310 x 180, 8-bit, the grey background transparent) from the\n"
    "given texts, exactly as the window draws and saves it.\n"
    "\n"
    "  --title TEXT             the title line (UTF-8)\n"
    "  --second TEXT            the second line, such as a release date (UTF-8)\n"
    "  --description FILE|-     the description, one line per text line; - reads stdin\n"
    "  --encoding ENC           the description's encoding: utf-8 (default) or cp932\n"
    "                           (also sjis, shift_jis)\n"
    "  --text-colour COLOUR     text colour (default white, #FFFFFF)\n"
    "  --outline-colour COLOUR  outline colour (default black, #000000)\n"
    "  -o, --output OUT|-       the file to write; - writes stdout (but not to a terminal)\n"
    "  --format png|bmp         the format to write, whatever OUT is called\n"
    "  --strict                 fail, writing nothing, when a line must be shortened or lines\n"
    "                           dropped\n"
    "  -q, --quiet              do not print the window's notices\n"
    "  -h, --help               this help\n"
    "\n"
    "COLOUR is #RRGGBB, #RGB, RRGGBB or a CSS colour name such as red, navy or rebeccapurple\n"
    "(in any case). OUT's format follows its extension, .png or .bmp; standard output and a\n"
    "name without an extension get PNG, any other extension is an error.\n"
    "\n"
    "Every text must be expressible in Shift_JIS (code page 932), and the title and second\n"
    "line are one line each, without tabs or line breaks. Over-wide description lines are\n"
    "shortened and surplus lines dropped, with the window's notices printed to stderr.\n"
    "An existing OUT keeps its owner, permissions and links; it is replaced only once the\n"
    "new picture is complete, or written in place when replacing would change it.\n"
    "Exit status: 0 written, 1 a file could not be read or written, its text could not be used\n"
    "or --strict cut, 2 bad arguments (a title or second line that cannot be drawn included).\n";

// A description with hundreds of bad lines names the first few, GNU compiler style.
constexpr std::size_t kMaxLinesNamed = 20;

// The lines of a description file at fault, each as "desc.txt:5: reason".
CliInputError DescriptionError(const std::string& name, const CaptionTextError& e) {
  const std::vector<CaptionTextProblem>& problems = e.Problems();
  std::vector<std::string> more;
  for (std::size_t i = 1; i < std::min(problems.size(), kMaxLinesNamed); ++i)
    more.push_back(name + ":" + std::to_string(problems[i].line) + ": " + problems[i].reason);
  if (problems.size() > kMaxLinesNamed)
    more.push_back("… and " + std::to_string(problems.size() - kMaxLinesNamed) + " more lines of " +
                   name);
  return CliInputError(name + ":" + std::to_string(e.Line()) + ": " + problems.front().reason,
                       std::move(more));
}

std::vector<AnsiString> ReadDescription(const std::string& source, TextEncoding encoding,
                                        CliIo& io) {
  const std::string name = Abridged(InputName(source));
  const std::vector<std::uint8_t> bytes = ReadInput(source, io.in);
  try {
    return ConvertDescription(DecodeText(AsChars(bytes), encoding, name));
  } catch (const CaptionTextError& e) {
    throw DescriptionError(name, e);
  }
}

int RunCompose(const ParsedArguments& args, CliIo& io) {
  if (!args.positional.empty())
    throw CliUsageError("unexpected argument " + Abridged(args.positional.front()));
  const std::string output = args.Value("output");
  if (output.empty()) throw CliUsageError("no output file (-o OUT.png, or -o - for stdout)");
  const SaveOptions save = OutputOptions(args, output, io);
  const TextEncoding encoding = EncodingOption(args.Value("encoding", "utf-8"));

  CaptionInputs inputs;
  inputs.textColour = ParseColour(args.Value("text-colour", "#FFFFFF"), "--text-colour");
  inputs.outlineColour = ParseColour(args.Value("outline-colour", "#000000"), "--outline-colour");
  inputs.title = ConvertInput(args.Value("title"), "title");
  inputs.secondLine = ConvertInput(args.Value("second"), "second line");
  if (args.Has("description"))
    inputs.description = ReadDescription(args.Value("description"), encoding, io);

  const ComposedCaption caption = ComposeCaption(inputs, save.format);
  if (!args.Has("quiet"))
    for (const AnsiString& notice : caption.notices) io.err << MessageUtf8(notice) << "\n";
  if (args.Has("strict") && caption.Cut()) throw CaptionCutError();
  WriteOutput(AsChars(caption.bytes), output, save);
  return kExitOk;
}

}  // namespace

const CliCommand kComposeCommand = {"compose",
                                    kComposeHelp,
                                    {{"title", 0, true},
                                     {"second", 0, true},
                                     {"description", 0, true},
                                     {"encoding", 0, true},
                                     {"text-colour", 0, true},
                                     {"outline-colour", 0, true},
                                     {"output", 'o', true},
                                     {"format", 0, true},
                                     {"strict"}},
                                    RunCompose};

CaptionCutError::CaptionCutError()
    : std::runtime_error("not written: the window had to cut the description (--strict)") {}
