#include "app/cli_batch.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <ostream>
#include <thread>

#include "app/caption.h"
#include "app/caption_text.h"
#include "app/cli_compose.h"
#include "app/cli_formats.h"
#include "app/cli_input.h"
#include "app/cli_string_window.h"
#include "app/file_save.h"
#include "app/os_error.h"
#include "app/save_command.h"
#include "app/utf8_text.h"

namespace {

const char kBatchHelp[] =
    "Usage: nimbrel-cli batch TABLE.tsv|- --out-dir DIR [options]\n"
    "\n"
    "Composes one caption picture per row of TABLE.tsv (- reads stdin), as 'compose' does, on\n"
    "N threads (default: every core).\n"
    "\n"
    "Table format: one row per line, fields separated by a tab:\n"
    "  1. file name       written into DIR; no folders; .png or .bmp chooses the format, and\n"
    "                     a name without an extension gets .png (or that of --format)\n"
    "  2. title           the title line, as it stands: one line, no escapes\n"
    "  3. second line     such as a release date, as the title\n"
    "  4. description     with \\n between its lines (\\\\ is a backslash, \\t a tab)\n"
    "  5. text colour     COLOUR, optional\n"
    "  6. outline colour  COLOUR, optional\n"
    "Missing fields after the file name are empty. Blank lines and lines starting with '#' are\n"
    "skipped. COLOUR is #RRGGBB, #RGB, RRGGBB or a CSS colour name such as red or navy.\n"
    "Example:\n"
    "  star.png<TAB>星の島<TAB>2026年12月発売<TAB>一行目\\n二行目<TAB>white<TAB>#000\n"
    "\n"
    "  --out-dir DIR            the folder for the pictures (created when missing)\n"
    "  -j, --jobs N             threads to use\n"
    "  --encoding ENC           the table's encoding: utf-8 (default) or cp932 (also sjis,\n"
    "                           shift_jis)\n"
    "  --text-colour COLOUR     text colour of rows without one (default white, #FFFFFF)\n"
    "  --outline-colour COLOUR  outline colour of rows without one (default black, #000000)\n"
    "  --format png|bmp         the format of every row, whatever its name\n"
    "  --strict                 a row whose description must be cut fails and is not written\n"
    "  -q, --quiet              print only failures: no notices, progress or summary\n"
    "  -h, --help               this help\n"
    "\n"
    "A row that fails does not stop the others; each message names the table and the row's\n"
    "line (\"captions.tsv:7: star.png: ...\"). The summary counts captions written, trimmed\n"
    "(cut to fit, with the window's notices) and failed. Exit status: 0 every row written,\n"
    "1 some rows failed, the table could not be read or its text used, or DIR could not be\n"
    "made, 2 bad arguments.\n";

std::string RowFileName(const BatchRow& row, const BatchOutcome& outcome) {
  return outcome.outputName.empty() ? row.fileName : outcome.outputName;
}

BatchOutcome ComposeRow(const BatchRow& row, const BatchSettings& settings) {
  BatchOutcome outcome;
  try {
    const BatchOutput output = RowOutput(row.fileName, settings.format);
    outcome.outputName = output.name;
    CaptionInputs inputs;
    inputs.title = ConvertInput(row.title, "title");
    inputs.secondLine = ConvertInput(row.secondLine, "second line");
    inputs.description = ConvertDescription(row.description);
    inputs.textColour = row.textColour.empty() ? settings.textColour
                                               : ParseColour(row.textColour, "the text colour");
    inputs.outlineColour = row.outlineColour.empty()
                               ? settings.outlineColour
                               : ParseColour(row.outlineColour, "the outline colour");
    const ComposedCaption caption = ComposeCaption(inputs, output.format);
    for (const AnsiString& notice : caption.notices)
      outcome.messages.push_back(MessageUtf8(notice));
    outcome.trimmed = caption.Cut();
    if (settings.strict && caption.Cut()) throw CaptionCutError();
    SaveOptions save;
    // One flush of the file system after the batch instead of one per picture: the renames
    // keep every file whole, and a thousand fsyncs would cost more than the drawing. A name
    // from the table never leads out of the folder, and the folder was cleared of leftovers
    // once for all rows.
    save.file = {
        .sync = FileSync::kDeferred, .reach = FileReach::kWithinFolder, .removeLeftovers = false};
    const std::string path = (std::filesystem::path(settings.outDir) / output.name).string();
    WriteOutput(AsChars(caption.bytes), path, save);
    outcome.ok = true;
  } catch (const std::exception& e) {
    outcome.error = ErrorTextFor(RowFileName(row, outcome), e);
  }
  return outcome;
}

// Where a row's messages come from, GNU style: "captions.tsv:7".
std::string RowPlace(const std::string& table, const BatchRow& row) {
  return table + ":" + std::to_string(row.line);
}

// Two rows naming one file would overwrite each other in whichever order the threads run; the
// later row fails instead.
std::vector<std::string> DuplicateErrors(const std::vector<BatchRow>& rows, TGraphicClass format) {
  std::vector<std::string> errors(rows.size());
  std::map<std::string, int> firstLine;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string name;
    try {
      name = RowOutput(rows[i].fileName, format).name;
    } catch (const CliUsageError&) {
      continue;  // reported by the row itself
    }
    const auto [found, inserted] = firstLine.emplace(name, rows[i].line);
    if (!inserted)
      errors[i] = Abridged(name) + ": the same file name as line " + std::to_string(found->second);
  }
  return errors;
}

std::vector<BatchRow> ReadTable(const std::string& table, TextEncoding encoding, CliIo& io) {
  const std::vector<std::uint8_t> bytes = ReadInput(table, io.in);
  return ParseBatchTable(DecodeText(AsChars(bytes), encoding, Abridged(InputName(table))));
}

void MakeFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder))
    throw std::runtime_error("cannot create the output folder " + Abridged(folder) +
                             (error ? ": " + error.message() : ""));
}

BatchSettings SettingsFrom(const ParsedArguments& args) {
  BatchSettings settings;
  settings.outDir = args.Value("out-dir");
  if (settings.outDir.empty()) throw CliUsageError("no output folder (--out-dir DIR)");
  settings.jobs = args.Has("jobs") ? ParseJobCount(args.Value("jobs"))
                                   : int(std::max(1u, std::thread::hardware_concurrency()));
  settings.textColour = ParseColour(args.Value("text-colour", "#FFFFFF"), "--text-colour");
  settings.outlineColour = ParseColour(args.Value("outline-colour", "#000000"), "--outline-colour");
  if (args.Has("format")) settings.format = FormatOption(args.Value("format"));
  settings.strict = args.Has("strict");
  return settings;
}

void PrintSummary(CliIo& io, const std::string& table, const std::vector<BatchRow>& rows,
                  const std::vector<BatchOutcome>& outcomes, const BatchSettings& settings,
                  bool quiet) {
  std::size_t written = 0, trimmed = 0;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (outcomes[i].ok) {
      ++written;
      trimmed += outcomes[i].trimmed;
      continue;
    }
    PrintError(io, RowPlace(table, rows[i]) + ": " + outcomes[i].error);
  }
  if (quiet) return;
  io.err << "wrote " << written << " of " << outcomes.size() << " captions to "
         << TerminalText(Abridged(settings.outDir)) << ": " << trimmed << " trimmed, "
         << (outcomes.size() - written) << " failed\n";
}

int RunBatch(const ParsedArguments& args, CliIo& io) {
  if (args.positional.size() != 1) throw CliUsageError("give exactly one table file");
  BatchSettings settings = SettingsFrom(args);
  const std::string table = Abridged(InputName(args.positional.front()));
  const std::vector<BatchRow> rows =
      ReadTable(args.positional.front(), EncodingOption(args.Value("encoding", "utf-8")), io);
  MakeFolder(settings.outDir);

  const bool quiet = args.Has("quiet");
  const bool progress = io.errIsTerminal && !quiet;
  const char* clearLine = progress ? "\r\033[K" : "";
  settings.onRowDone = [&](std::size_t index, const BatchOutcome& outcome, std::size_t done) {
    if (!quiet) {
      for (const std::string& message : outcome.messages)
        io.err << clearLine
               << TerminalText(RowPlace(table, rows[index]) + ": " +
                               Abridged(RowFileName(rows[index], outcome)))
               << ": " << message << "\n";
    }
    if (progress) io.err << clearLine << "[" << done << "/" << rows.size() << "] " << std::flush;
  };
  const std::vector<BatchOutcome> outcomes = RunBatchRows(rows, settings);
  io.err << clearLine;
  PrintSummary(io, table, rows, outcomes, settings, quiet);
  for (const BatchOutcome& outcome : outcomes)
    if (!outcome.ok) return kExitFailed;
  return kExitOk;
}

}  // namespace

const CliCommand kBatchCommand = {"batch",
                                  kBatchHelp,
                                  {{"out-dir", 0, true},
                                   {"jobs", 'j', true},
                                   {"encoding", 0, true},
                                   {"text-colour", 0, true},
                                   {"outline-colour", 0, true},
                                   {"format", 0, true},
                                   {"strict"}},
                                  RunBatch};

std::vector<BatchOutcome> RunBatchRows(const std::vector<BatchRow>& rows,
                                       const BatchSettings& settings) {
  std::vector<BatchOutcome> outcomes(rows.size());
  const std::vector<std::string> duplicates = DuplicateErrors(rows, settings.format);
  if (!rows.empty()) RemoveLeftoverTemporaries(settings.outDir);
  std::atomic<std::size_t> next{0};
  std::mutex lock;
  std::size_t done = 0;

  auto worker = [&] {
    for (std::size_t i = next++; i < rows.size(); i = next++) {
      BatchOutcome outcome;
      if (!duplicates[i].empty()) {
        outcome.outputName = RowOutput(rows[i].fileName, settings.format).name;
        outcome.error = duplicates[i];
      } else {
        outcome = ComposeRow(rows[i], settings);
      }
      std::lock_guard guard(lock);
      outcomes[i] = std::move(outcome);
      ++done;
      if (settings.onRowDone) settings.onRowDone(i, outcomes[i], done);
    }
  };

  const std::size_t threads =
      std::min<std::size_t>(std::size_t(std::max(settings.jobs, 1)), rows.size());
  std::vector<std::jthread> pool;
  for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(worker);
  if (!rows.empty()) worker();
  pool.clear();  // joins: every outcome is in place before it is handed out
  if (!rows.empty() && !SyncFileSystem(settings.outDir)) {
    for (BatchOutcome& outcome : outcomes) {
      if (!outcome.ok) continue;
      outcome.ok = false;
      outcome.error = Abridged(outcome.outputName) + ": written but not flushed to disk";
    }
  }
  return outcomes;
}
