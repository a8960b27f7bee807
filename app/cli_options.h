// Command-line arguments: options with values, flags and positional arguments, and the values
// the commands share (colours, the job count).
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win_types.h"

// A mistake in the arguments; the command prints it with its usage hint and exits with 2.
class CliUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ParsedArguments {
  std::map<std::string, std::string> values;  // option name (with dashes) → value
  std::set<std::string> flags;
  std::vector<std::string> positional;

  bool Has(const std::string& option) const { return values.count(option) != 0; }
  std::string Value(const std::string& option, const std::string& fallback = {}) const;
};

// Parses args (the command's own, after its name). valueOptions take a value, as the next
// argument or after '='; flagOptions take none. "--" ends the options; "-" alone is positional.
// Unknown options, missing values and repeated options raise CliUsageError.
ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::set<std::string>& valueOptions,
                               const std::set<std::string>& flagOptions);

// "#RRGGBB" (hex digits in either case) as a COLORREF; option names the option in the message.
COLORREF ParseColour(const std::string& text, const std::string& option);
// A positive job count for -j.
int ParseJobCount(const std::string& text);
