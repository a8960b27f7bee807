// Command-line arguments, parsed by getopt_long as GNU tools parse theirs ("-j4", "-j 4",
// "--jobs=4", "--jobs 4", "-qj4", options after operands, "--" ends options, "-" is an operand),
// and the values the commands share (colours, the job count).
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win_types.h"

// A mistake in the arguments; the command prints it with its usage hint and exits with 2.
class CliUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Text input that cannot be used (bad encoding, a character Shift_JIS lacks); the command says
// why and exits with 2. Each of details is printed as a message of its own after what().
class CliInputError : public std::runtime_error {
 public:
  explicit CliInputError(const std::string& message, std::vector<std::string> details = {})
      : std::runtime_error(message), details_(std::move(details)) {}
  const std::vector<std::string>& Details() const { return details_; }

 private:
  std::vector<std::string> details_;
};

// One option: its long name (without dashes), an optional one-letter form, whether it takes a
// value.
struct CliOption {
  const char* name;
  char letter = 0;
  bool takesValue = false;
};

// The options every command takes: -h/--help and -q/--quiet.
extern const std::vector<CliOption> kCommonOptions;

struct ParsedArguments {
  std::map<std::string, std::string> values;  // long name → value ("" for one without)
  std::vector<std::string> positional;

  bool Has(const std::string& option) const { return values.count(option) != 0; }
  std::string Value(const std::string& option, const std::string& fallback = {}) const;
};

// Parses args (the command's own, after its name). Unknown or ambiguous options, missing or
// unexpected values and an option with a value given twice raise CliUsageError. Uses getopt's
// global state: call it from one thread at a time.
ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::vector<CliOption>& options);

// "#RRGGBB", "#RGB", "RRGGBB" (hex digits in either case) or a CSS colour name (NamedColour) as
// a COLORREF; option names the option in the message.
COLORREF ParseColour(const std::string& text, const std::string& option);
// A positive job count for -j.
int ParseJobCount(const std::string& text);
