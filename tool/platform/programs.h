#pragma once

// Other programs the tool runs: makensis, osslsigncode, an app maker's signing command, the host.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vandrel::tool {

// How a program ended, and what it wrote to its standard output and error (together).
struct ProgramRun {
    int exitCode = 0;
    std::string output;
};

// Runs `program` with `args` (each passed as one argument, no shell between), with standard
// input empty, and waits for it. Throws ToolError("cannot run 'program': reason") when it cannot
// be started.
ProgramRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args);

// The last line of a program's output that says something ("it said nothing" when none does).
std::string LastOutputLine(const std::string& output);

// A program started in `folder` and left to run beside the tool (its output is its own).
class StartedProgram {
public:
    // Throws ToolError("cannot run 'program': reason").
    StartedProgram(const std::filesystem::path& program, const std::filesystem::path& folder);
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;
    ~StartedProgram();  // lets go of the program, which runs on

    // Waits up to `timeout` for the program to end: its exit code, or nullopt while it runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

    // Asks the program to end (its windows are closed on Windows; SIGTERM elsewhere), and ends it
    // when it is still there after `grace`.
    void Stop(std::chrono::milliseconds grace);

    struct State;  // per platform

private:
    std::unique_ptr<State> state_;
};

// Whether this system runs Windows programs (the host): Windows does.
bool RunsWindowsPrograms();

// Runs `command` through the system's shell (/bin/sh -c, or cmd.exe /c on Windows) and waits.
ProgramRun RunShellCommand(const std::string& command);

// `text` quoted as one argument for that shell: in single quotes for /bin/sh, in double quotes
// for cmd.exe.
std::string ShellQuoted(const std::string& text);

// A shell command that moves the file `from` over `to` (mv -f; move /y on Windows); both are
// quoted here.
std::string ShellMoveCommand(const std::string& from, const std::string& to);

// The program `name` as the system would find it on the PATH (with ".exe" on Windows), or
// nullopt.
std::optional<std::filesystem::path> FindProgram(const std::string& name);

// The environment variable `name`, or nullopt when it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

}  // namespace vandrel::tool
