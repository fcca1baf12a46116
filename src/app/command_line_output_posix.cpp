#include <iostream>

#include "app/command_line.h"
#include "app/command_line_output.h"

namespace hibi::app {

std::optional<int> handleCommandLineHere(int argc, const char* const* argv,
                                         const RemindCommand& remind) {
    return handleCommandLine(argc, argv, std::cout, std::cerr, remind);
}

}  // namespace hibi::app
