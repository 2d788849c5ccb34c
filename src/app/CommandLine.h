#pragma once
// The options that answer and exit before any window opens: --help and
// --version (also what the man page and desktop tools read).
#include <optional>

// The exit status when argv asks for one of these options, else nothing.
std::optional<int> RunInformationOption(int argc, char** argv);
