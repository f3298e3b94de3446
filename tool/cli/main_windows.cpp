// The vandrel command-line tool on Windows.

#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/file_io.h"
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
