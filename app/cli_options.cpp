#include "app/cli_options.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>

#include "app/colour_names.h"
#include "app/utf8_text.h"

namespace {

// getopt_long reports long options by these codes, past every character a short option can be.
constexpr int kLongCode = 256;

std::string Dashed(const CliOption& entry) {
  return std::string("--") + entry.name;
}

// The option getopt stopped at, as the user typed it.
std::string Offending(const std::vector<CliOption>& options, char* const* argv) {
  if (optopt >= kLongCode) return Dashed(options[std::size_t(optopt - kLongCode)]);
  if (optopt != 0) return std::string("-") + char(optopt);
  const std::string typed = argv[optind - 1];
  return typed.substr(0, typed.find('='));
}

[[noreturn]] void RejectUnknown(const std::vector<CliOption>& options, const std::string& typed) {
  std::string candidates;
  if (typed.starts_with("--")) {
    for (const CliOption& entry : options)
      if (Dashed(entry).starts_with(typed))
        candidates += (candidates.empty() ? "" : ", ") + Dashed(entry);
  }
  if (!candidates.empty())
    throw CliUsageError("ambiguous option " + Abridged(typed) + " (" + candidates + ")");
  throw CliUsageError("unknown option " + Abridged(typed));
}

const CliOption& SpecOf(const std::vector<CliOption>& options, int code) {
  if (code >= kLongCode) return options[std::size_t(code - kLongCode)];
  return *std::find_if(options.begin(), options.end(),
                       [&](const CliOption& entry) { return entry.letter == code; });
}

// What getopt_long takes: the one-letter options ("j:q") and the long ones.
struct GetoptTables {
  std::string letters = ":";  // the leading ':' reports a missing value as ':' rather than '?'
  std::vector<option> longOptions;
};

GetoptTables TablesFor(const std::vector<CliOption>& options) {
  GetoptTables tables;
  for (std::size_t i = 0; i < options.size(); ++i) {
    const CliOption& entry = options[i];
    tables.longOptions.push_back(option{entry.name,
                                        entry.takesValue ? required_argument : no_argument, nullptr,
                                        kLongCode + int(i)});
    if (entry.letter != 0)
      tables.letters += std::string(1, entry.letter) + (entry.takesValue ? ":" : "");
  }
  tables.longOptions.push_back(option{});
  return tables;
}

}  // namespace

const char kColourForms[] = "expected #RRGGBB, #RGB, RRGGBB or a colour name such as red or navy";

const std::vector<CliOption> kCommonOptions = {{"help", 'h'}, {"quiet", 'q'}};

std::string ParsedArguments::Value(const std::string& option, const std::string& fallback) const {
  const auto found = values.find(option);
  return found == values.end() ? fallback : found->second;
}

ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::vector<CliOption>& options) {
  std::vector<std::string> words = {"nimbrel-cli"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const GetoptTables tables = TablesFor(options);

  ParsedArguments parsed;
  optind = 0;  // glibc: start afresh, as a previous parse may have stopped anywhere
  opterr = 0;
  const int argc = int(words.size());
  for (int code; (code = getopt_long(argc, argv.data(), tables.letters.c_str(),
                                     tables.longOptions.data(), nullptr)) != -1;) {
    if (code == ':')
      throw CliUsageError("option " + Offending(options, argv.data()) + " needs a value");
    if (code == '?' && optopt >= kLongCode)
      throw CliUsageError("option " + Offending(options, argv.data()) + " takes no value");
    if (code == '?') RejectUnknown(options, Offending(options, argv.data()));
    const CliOption& entry = SpecOf(options, code);
    if (entry.takesValue && parsed.Has(entry.name))
      throw CliUsageError("option " + Dashed(entry) + " given twice");
    parsed.values[entry.name] = entry.takesValue ? optarg : "";
  }
  parsed.positional.assign(argv.begin() + optind, argv.begin() + argc);
  return parsed;
}

COLORREF ParseColour(const std::string& text, const std::string& option) {
  if (const auto named = NamedColour(text)) return *named;
  std::string digits = text.starts_with('#') ? text.substr(1) : text;
  // "#RGB" stands for "#RRGGBB"; without the '#', three hex digits would be too easy to mistake.
  if (digits.size() == 3 && text.starts_with('#'))
    digits = {digits[0], digits[0], digits[1], digits[1], digits[2], digits[2]};
  if (const auto colour = HexColour(digits)) return *colour;
  throw CliUsageError("bad colour '" + Abridged(text) + "' for " + option + ": " + kColourForms);
}

int ParseJobCount(const std::string& text) {
  int jobs = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
  if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > 1024)
    throw CliUsageError("bad job count '" + Abridged(text) + "': expected a number from 1 to 1024");
  return jobs;
}
