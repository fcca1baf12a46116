#pragma once

#include <functional>
#include <optional>
#include <ostream>

namespace hibi::app {

// Reads the command line and the environment before the window system starts.
// Returns the exit code when the program must stop here: after the help or the
// version (0), for an argument it does not take (2), or when there is no display
// to open a window on (1). Returns nothing when the window may start: no
// arguments and a display. Writes nothing to disk. "--remind DIR" runs
// remind with DIR, without a display, and returns what it returns.
using RemindCommand = std::function<int(const char* directory)>;
std::optional<int> handleCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err, const RemindCommand& remind = {});

// The daily reminder: reads the ledger in directory and, when today's
// deposit is not made, shows a notification. Writes nothing.
int remind(int& argc, char** argv, const char* directory);

}  // namespace hibi::app
