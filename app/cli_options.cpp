#include "app/cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

std::string ParsedArguments::Value(const std::string& option, const std::string& fallback) const {
  const auto found = values.find(option);
  return found == values.end() ? fallback : found->second;
}

ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::set<std::string>& valueOptions,
                               const std::set<std::string>& flagOptions) {
  ParsedArguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const auto equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (flagOptions.count(name) != 0 && equals == std::string::npos) {
      parsed.flags.insert(name);
      continue;
    }
    if (valueOptions.count(name) == 0) throw CliUsageError("unknown option " + arg);
    if (parsed.Has(name)) throw CliUsageError("option " + name + " given twice");
    if (equals != std::string::npos) {
      parsed.values[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed.values[name] = args[++i];
    } else {
      throw CliUsageError("option " + name + " needs a value");
    }
  }
  return parsed;
}

COLORREF ParseColour(const std::string& text, const std::string& option) {
  const bool wellFormed = text.size() == 7 && text[0] == '#' &&
                          std::all_of(text.begin() + 1, text.end(),
                                      [](unsigned char c) { return std::isxdigit(c) != 0; });
  if (!wellFormed)
    throw CliUsageError("bad colour '" + text + "' for " + option + ": expected #RRGGBB");
  const unsigned long value = std::stoul(text.substr(1), nullptr, 16);
  return RGB(BYTE(value >> 16), BYTE(value >> 8), BYTE(value));
}

int ParseJobCount(const std::string& text) {
  int jobs = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
  if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > 1024)
    throw CliUsageError("bad job count '" + text + "': expected a number from 1 to 1024");
  return jobs;
}
