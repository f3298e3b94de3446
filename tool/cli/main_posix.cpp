// The vandrel command-line tool on Linux and other POSIX systems.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/file_io.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    vandrel::tool::ToolEnvironment environment;
    environment.errIsTerminal = vandrel::tool::StderrIsTerminal();
    environment.programPath = vandrel::tool::ProgramPath();
    const int code = vandrel::tool::RunTool(args, std::cout, std::cerr, environment);
    // Interrupted and cleaned up: end by the signal, so that a shell sees the interruption.
    if (const int signal = vandrel::tool::InterruptSignal();
        signal != 0 && code == vandrel::tool::kExitInterrupted) {
        std::cout.flush();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return code;
}
