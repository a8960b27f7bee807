#include "app/cli_batch.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <ostream>
#include <thread>

#include "app/cli_compose.h"
#include "app/cli_options.h"
#include "app/file_save.h"

const char kBatchHelp[] =
    "Usage: nimbrel-cli batch TABLE.tsv --out-dir DIR [-j N]\n"
    "\n"
    "Composes one caption picture per row of TABLE.tsv (UTF-8), as 'compose' does, on N\n"
    "threads (default: every core).\n"
    "\n"
    "Table format: one row per line, fields separated by a tab:\n"
    "  1. file name       written into DIR; no folders; '.png' is added when it has no extension\n"
    "  2. title           the title line\n"
    "  3. second line     such as a release date\n"
    "  4. description     with \\n between its lines (\\t is a tab, \\\\ a backslash)\n"
    "  5. text colour     #RRGGBB, optional\n"
    "  6. outline colour  #RRGGBB, optional\n"
    "Missing fields after the file name are empty. Blank lines and lines starting with '#' are\n"
    "skipped. Example:\n"
    "  star.png<TAB>星の島<TAB>2026年12月発売<TAB>一行目\\n二行目<TAB>#FFFFFF<TAB>#000000\n"
    "\n"
    "  --out-dir DIR            the folder for the pictures (created when missing)\n"
    "  -j, --jobs N             threads to use\n"
    "  --text-colour #RRGGBB    text colour of rows without one (default #FFFFFF)\n"
    "  --outline-colour #RRGGBB outline colour of rows without one (default #000000)\n"
    "  -h, --help               this help\n"
    "\n"
    "A row that fails does not stop the others. Exit status: 0 every row written, 1 some rows\n"
    "failed (each is named), 2 bad arguments or an unreadable table.\n";

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

BatchOutcome ComposeRow(const BatchRow& row, const BatchSettings& settings) {
  BatchOutcome outcome;
  try {
    outcome.outputName = BatchOutputName(row.fileName);
    CaptionInputs inputs;
    inputs.title = ConvertInput(row.title, "title");
    inputs.secondLine = ConvertInput(row.secondLine, "second line");
    inputs.description = ConvertDescription(row.description);
    inputs.textColour = row.textColour.empty() ? settings.textColour
                                               : ParseColour(row.textColour, "the text colour");
    inputs.outlineColour = row.outlineColour.empty()
                               ? settings.outlineColour
                               : ParseColour(row.outlineColour, "the outline colour");
    const std::string path = (std::filesystem::path(settings.outDir) / outcome.outputName).string();
    // One flush of the file system after the batch instead of one per picture: the renames
    // keep every file whole, and a thousand fsyncs would cost more than the drawing.
    ComposeCaption(
        inputs, path,
        [&](const AnsiString& text) { outcome.messages.push_back(MessageUtf8(text)); },
        SaveOptions{nullptr, FileSync::kDeferred});
    outcome.ok = true;
  } catch (const std::exception& e) {
    outcome.error = e.what();
  }
  return outcome;
}

std::string RowName(const BatchRow& row, const BatchOutcome& outcome) {
  const std::string& name = outcome.outputName.empty() ? row.fileName : outcome.outputName;
  return "row " + std::to_string(row.line) + " (" + name + ")";
}

// Two rows naming one file would overwrite each other in whichever order the threads run; the
// later row fails instead.
std::vector<std::string> DuplicateErrors(const std::vector<BatchRow>& rows) {
  std::vector<std::string> errors(rows.size());
  std::map<std::string, int> firstLine;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string name;
    try {
      name = BatchOutputName(rows[i].fileName);
    } catch (const CliUsageError&) {
      continue;  // reported by the row itself
    }
    const auto [found, inserted] = firstLine.emplace(name, rows[i].line);
    if (!inserted) errors[i] = "the same file name as row " + std::to_string(found->second);
  }
  return errors;
}

}  // namespace

std::string UnescapeField(const std::string& field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 1 < field.size()) {
      const char next = field[i + 1];
      if (next == 'n' || next == 't' || next == '\\') {
        text += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
        ++i;
        continue;
      }
    }
    text += field[i];
  }
  return text;
}

std::vector<BatchRow> ParseBatchTable(const std::string& text) {
  std::vector<BatchRow> rows;
  std::size_t start = 0;
  for (int lineNumber = 1; start < text.size(); ++lineNumber) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;

    std::vector<std::string> fields = SplitTabs(line);
    fields.resize(std::max<std::size_t>(fields.size(), 6));
    BatchRow row;
    row.line = lineNumber;
    row.fileName = fields[0];
    row.title = fields[1];
    row.secondLine = fields[2];
    row.description = UnescapeField(fields[3]);
    row.textColour = fields[4];
    row.outlineColour = fields[5];
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string BatchOutputName(const std::string& fileName) {
  if (fileName.empty()) throw CliUsageError("no file name");
  if (fileName.find('/') != std::string::npos || fileName.find('\0') != std::string::npos ||
      fileName == "." || fileName == "..")
    throw CliUsageError("the file name '" + fileName + "' must be a plain name without folders");
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == fileName.size()) return fileName + ".png";
  return fileName;
}

std::vector<BatchOutcome> RunBatchRows(const std::vector<BatchRow>& rows,
                                       const BatchSettings& settings) {
  std::vector<BatchOutcome> outcomes(rows.size());
  const std::vector<std::string> duplicates = DuplicateErrors(rows);
  std::atomic<std::size_t> next{0};
  std::mutex lock;
  std::size_t done = 0;

  auto worker = [&] {
    for (std::size_t i = next++; i < rows.size(); i = next++) {
      BatchOutcome outcome;
      if (!duplicates[i].empty()) {
        outcome.outputName = BatchOutputName(rows[i].fileName);
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
      outcome.error = "written but not flushed to disk";
    }
  }
  return outcomes;
}

int RunBatch(const std::vector<std::string>& args, CliIo& io) {
  std::vector<BatchRow> rows;
  BatchSettings settings;
  try {
    const ParsedArguments parsed = ParseArguments(
        args, {"--out-dir", "-j", "--jobs", "--text-colour", "--outline-colour"}, {"-h", "--help"});
    if (parsed.flags.count("-h") || parsed.flags.count("--help")) {
      io.out << kBatchHelp;
      return kExitOk;
    }
    if (parsed.positional.size() != 1) throw CliUsageError("give exactly one table file");
    if (!parsed.Has("--out-dir")) throw CliUsageError("no output folder (--out-dir DIR)");
    if (parsed.Has("-j") && parsed.Has("--jobs")) throw CliUsageError("give the job count once");
    settings.outDir = parsed.Value("--out-dir");
    const std::string jobs = parsed.Has("-j") ? parsed.Value("-j") : parsed.Value("--jobs");
    settings.jobs =
        jobs.empty() ? int(std::max(1u, std::thread::hardware_concurrency())) : ParseJobCount(jobs);
    settings.textColour = ParseColour(parsed.Value("--text-colour", "#FFFFFF"), "--text-colour");
    settings.outlineColour =
        ParseColour(parsed.Value("--outline-colour", "#000000"), "--outline-colour");

    const std::string& table = parsed.positional.front();
    std::ifstream file(table, std::ios::binary);
    if (!file) throw CliUsageError("cannot read the table " + table);
    rows = ParseBatchTable(
        std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
    std::error_code error;
    std::filesystem::create_directories(settings.outDir, error);
    if (!std::filesystem::is_directory(settings.outDir))
      throw CliUsageError("cannot create the output folder " + settings.outDir);
  } catch (const CliUsageError& e) {
    io.err << "nimbrel-cli batch: " << e.what() << "\nTry 'nimbrel-cli batch --help'.\n";
    return kExitUsage;
  }

  const char* clearLine = io.errIsTerminal ? "\r\033[K" : "";
  settings.onRowDone = [&](std::size_t index, const BatchOutcome& outcome, std::size_t done) {
    const BatchRow& row = rows[index];
    for (const std::string& message : outcome.messages)
      io.err << clearLine << RowName(row, outcome) << ": " << message << "\n";
    if (io.errIsTerminal)
      io.err << clearLine << "[" << done << "/" << rows.size() << "] " << std::flush;
  };
  const std::vector<BatchOutcome> outcomes = RunBatchRows(rows, settings);

  io.err << clearLine;
  std::size_t failed = 0;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (outcomes[i].ok) continue;
    ++failed;
    io.err << "nimbrel-cli batch: " << RowName(rows[i], outcomes[i])
           << " failed: " << outcomes[i].error << "\n";
  }
  io.err << "wrote " << (outcomes.size() - failed) << " of " << outcomes.size() << " captions to "
         << settings.outDir;
  if (failed > 0) io.err << "; " << failed << " failed";
  io.err << "\n";
  return failed == 0 ? kExitOk : kExitFailed;
}
