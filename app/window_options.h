// The options the window program answers itself, before Qt looks for a display: --version and
// --help work on a machine without one. Every other argument is Qt's (-platform, -display, ...).
#pragma once

#include <iosfwd>
#include <optional>

// The exit status when argv asks for the version or the help, after printing it to out;
// nothing when the window should open.
std::optional<int> AnswerWindowOption(int argc, const char* const* argv, std::ostream& out);
