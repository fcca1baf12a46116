#pragma once

#include <optional>
#include <ostream>

namespace hibi::app {

// Reads the command line and the environment before the window system starts.
// Returns the exit code when the program must stop here: after the help or the
// version (0), for an argument it does not take (2), or when there is no display
// to open a window on (1). Returns nothing when the window may start: no
// arguments and a display. Writes nothing to disk.
std::optional<int> handleCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err);

}  // namespace hibi::app
