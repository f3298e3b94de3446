// The vandrel command-line tool: makes and examines assets.dat bundles.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "file_io.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/util/text.h"

// Windows hands over UTF-16 arguments; the tool works in UTF-8 throughout.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(vandrel::WideToUtf8(argv[i]));
    }
    // Names are printed as UTF-8; the console shows them right in the UTF-8 code page.
    const UINT previousCodePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    vandrel::tool::ToolEnvironment environment;
    environment.errIsTerminal = vandrel::tool::StderrIsTerminal();
    environment.programPath = vandrel::tool::ProgramPath();
    const int code = vandrel::tool::RunTool(args, std::cout, std::cerr, environment);
    std::cout.flush();
    std::cerr.flush();
    if (previousCodePage != 0) {
        SetConsoleOutputCP(previousCodePage);
    }
    return code;
}

#else

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    vandrel::tool::ToolEnvironment environment;
    environment.errIsTerminal = vandrel::tool::StderrIsTerminal();
    environment.programPath = vandrel::tool::ProgramPath();
    const int code = vandrel::tool::RunTool(args, std::cout, std::cerr, environment);
    // Interrupted and cleaned up: end by the signal, so that a shell sees the interruption.
    if (const int signal = vandrel::tool::InterruptSignal(); signal != 0 &&
                                                            code == vandrel::tool::kExitInterrupted) {
        std::cout.flush();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return code;
}

#endif
