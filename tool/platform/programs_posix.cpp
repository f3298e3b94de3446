#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/errors.h"
#include "platform/programs.h"
#include "platform/shown_text.h"

extern char** environ;

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// Starts `argv` with its output into a pipe, reads all of it and waits.
ProgramRun Run(const std::string& shown, std::vector<std::string> argv) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw ToolError("cannot run " + Shown(shown) + ": " + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    std::vector<char*> pointers;
    for (std::string& arg : argv) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    pid_t pid = 0;
    const int started =
        posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (started != 0) {
        close(pipeFds[0]);
        throw ToolError("cannot run " + Shown(shown) + ": " + std::strerror(started));
    }
    ProgramRun run;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) {
            run.output.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace

ProgramRun RunProgram(const fs::path& program, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {program.native()};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(program.native(), std::move(argv));
}

ProgramRun RunShellCommand(const std::string& command) {
    return Run(command, {"/bin/sh", "-c", command});
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

struct StartedProgram::State {
    pid_t pid = 0;
    std::optional<int> code;
};

StartedProgram::StartedProgram(const fs::path& program, const fs::path& folder)
    : state_(std::make_unique<State>()) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::string path = program.native();
    char* argv[] = {path.data(), nullptr};
    const int started = posix_spawn(&state_->pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        throw ToolError("cannot run " + ShownPath(program) + ": " + std::strerror(started));
    }
}

StartedProgram::~StartedProgram() = default;

std::optional<int> StartedProgram::Wait(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!state_->code) {
        int status = 0;
        const pid_t done = waitpid(state_->pid, &status, WNOHANG);
        if (done == state_->pid) {
            state_->code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (std::chrono::steady_clock::now() >= end) {
            break;
        } else {
            usleep(10000);
        }
    }
    return state_->code;
}

void StartedProgram::Stop(std::chrono::milliseconds grace) {
    if (Wait(std::chrono::milliseconds(0))) {
        return;
    }
    kill(state_->pid, SIGTERM);
    if (!Wait(grace)) {
        kill(state_->pid, SIGKILL);
        Wait(std::chrono::milliseconds(1000));
    }
}

bool RunsWindowsPrograms() {
    return false;
}

std::string ShellMoveCommand(const std::string& from, const std::string& to) {
    return "mv -f " + ShellQuoted(from) + " " + ShellQuoted(to);
}

std::optional<fs::path> FindProgram(const std::string& name) {
    const std::optional<std::string> path = EnvironmentValue("PATH");
    size_t start = 0;
    while (path && start <= path->size()) {
        const size_t end = std::min(path->find(':', start), path->size());
        const fs::path candidate =
            fs::path(end > start ? path->substr(start, end - start) : ".") / name;
        if (access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace vandrel::tool
