#include <windows.h>

#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/programs.h"
#include "platform/shown_text.h"
#include "win32/util/handles.h"
#include "win32/util/text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// One argument as CommandLineToArgvW and the C runtime read it back: quoted when it has spaces,
// tabs or quotes, with backslashes doubled before a quote.
std::wstring QuotedArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// Starts `commandLine` with its output into a pipe, reads all of it and waits.
ProgramRun Run(const std::string& shown, const wchar_t* application, std::wstring commandLine) {
    const auto fail = [&] {
        return ToolError("cannot run " + Shown(shown) + ": " + LastErrorText());
    };
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        throw fail();
    }
    UniqueKernelHandle reader(readEnd);
    UniqueKernelHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    UniqueKernelHandle nothing(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing.Get();
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(application, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info)) {
        throw fail();
    }
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    writer.Reset();  // the child holds the only write end now: the pipe ends when it does
    ProgramRun run;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reader.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        run.output.append(buffer, got);
    }
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    run.exitCode = static_cast<int>(code);
    return run;
}

}  // namespace

ProgramRun RunProgram(const fs::path& program, const std::vector<std::string>& args) {
    std::wstring commandLine = QuotedArgument(program.wstring());
    for (const std::string& arg : args) {
        commandLine += L' ' + QuotedArgument(Utf8ToWide(arg));
    }
    return Run(PathToUtf8(program), nullptr, std::move(commandLine));
}

ProgramRun RunShellCommand(const std::string& command) {
    // cmd.exe /s /c takes everything between the first and the last quote as the command.
    std::wstring shell(MAX_PATH, L'\0');
    shell.resize(GetSystemDirectoryW(shell.data(), MAX_PATH));
    shell += L"\\cmd.exe";
    return Run(command, shell.c_str(), L"cmd.exe /d /s /c \"" + Utf8ToWide(command) + L"\"");
}

std::string ShellQuoted(const std::string& text) {
    return "\"" + text + "\"";
}

struct StartedProgram::State {
    UniqueKernelHandle process;
    DWORD id = 0;
};

StartedProgram::StartedProgram(const fs::path& program, const fs::path& folder)
    : state_(std::make_unique<State>()) {
    std::wstring commandLine = QuotedArgument(program.wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(WidePath(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, WidePath(folder).c_str(), &startup, &info)) {
        throw ToolError("cannot run " + ShownPath(program) + ": " + LastErrorText());
    }
    CloseHandle(info.hThread);
    state_->process.Reset(info.hProcess);
    state_->id = info.dwProcessId;
}

StartedProgram::~StartedProgram() = default;

std::optional<int> StartedProgram::Wait(std::chrono::milliseconds timeout) {
    if (WaitForSingleObject(state_->process.Get(), static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(state_->process.Get(), &code);
    return static_cast<int>(code);
}

void StartedProgram::Stop(std::chrono::milliseconds grace) {
    if (Wait(std::chrono::milliseconds(0))) {
        return;
    }
    // A window program ends as its user ends it: its top-level windows are asked to close.
    EnumWindows(
        [](HWND window, LPARAM id) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == static_cast<DWORD>(id)) {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            return TRUE;
        },
        static_cast<LPARAM>(state_->id));
    if (!Wait(grace)) {
        TerminateProcess(state_->process.Get(), 1);
        Wait(std::chrono::milliseconds(1000));
    }
}

bool RunsWindowsPrograms() {
    return true;
}

std::string ShellMoveCommand(const std::string& from, const std::string& to) {
    return "move /y " + ShellQuoted(from) + " " + ShellQuoted(to) + " >nul";
}

std::optional<fs::path> FindProgram(const std::string& name) {
    const std::wstring wide = Utf8ToWide(name);
    std::wstring found(32768, L'\0');
    const DWORD length = SearchPathW(nullptr, wide.c_str(), L".exe",
                                     static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (length == 0 || length >= found.size()) {
        return std::nullopt;
    }
    found.resize(length);
    return fs::path(found);
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const std::wstring wide = Utf8ToWide(name);
    const DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(wide.c_str(), value.data(), size));
    return WideToUtf8(value);
}

}  // namespace vandrel::tool
