#pragma once

#include <optional>

#include "app/command_line.h"

namespace hibi::app {

// Reads the command line (see handleCommandLine) and shows its answer where
// the system lets a program show it: standard output and error on Linux; on
// Windows, where a windowed program has no console of its own, the console
// it was started from, or else a message box.
std::optional<int> handleCommandLineHere(int argc, const char* const* argv,
                                         const RemindCommand& remind = {});

}  // namespace hibi::app
