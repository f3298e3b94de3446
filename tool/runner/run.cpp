#include "runner/run.h"

#include <nlohmann/json.hpp>

#include "app/app_folder.h"
#include "check/check.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/programs.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr char kHostFile[] = "vandrel-host.exe";

bool SameFile(const fs::directory_entry& from, const fs::path& to) {
    std::error_code ec;
    return fs::is_regular_file(to, ec) && fs::file_size(to, ec) == from.file_size(ec) &&
           fs::last_write_time(to, ec) == from.last_write_time(ec);
}

// Copies `from` to `to` unless `to` has its size and time already.
void CopyIfChanged(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (SameFile(fs::directory_entry(from, ec), to)) {
        return;
    }
    fs::create_directories(to.parent_path(), ec);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        fs::last_write_time(to, fs::last_write_time(from, ec), ec);
    }
    if (ec) {
        throw ToolError("cannot copy " + ShownPath(from) + " to " + ShownPath(to) + ": " +
                        ErrorCodeText(ec));
    }
}

// Makes the folder `to` hold what `from` holds: changed files copied, others left, what `from`
// no longer has removed. Without `from`, `to` goes.
void Mirror(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::is_directory(from, ec)) {
        fs::remove_all(to, ec);
        return;
    }
    for (fs::recursive_directory_iterator it(from, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path target = to / it->path().lexically_relative(from);
        if (it->is_directory(ec)) {
            fs::create_directories(target, ec);
        } else if (it->is_regular_file(ec)) {
            CopyIfChanged(it->path(), target);
        }
    }
    std::vector<fs::path> gone;
    for (fs::recursive_directory_iterator it(to, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!fs::exists(from / it->path().lexically_relative(to))) {
            gone.push_back(it->path());
            it.disable_recursion_pending();
        }
    }
    for (const fs::path& path : gone) {
        fs::remove_all(path, ec);
    }
}

// The lines the host adds to its log: complete lines from where the last call stopped. A log
// that got shorter was started anew (the old one rotated): read from its start.
class LogTail {
public:
    explicit LogTail(fs::path path) : path_(std::move(path)) {
        std::error_code ec;
        const uintmax_t size = fs::file_size(path_, ec);
        offset_ = ec ? 0 : size;
    }

    void Print(std::ostream& out) {
        std::error_code ec;
        const uintmax_t size = fs::file_size(path_, ec);
        if (ec) {
            return;
        }
        if (size < offset_) {
            offset_ = 0;
        }
        if (size == offset_) {
            return;
        }
        try {
            InputFile file(path_);
            std::string text(static_cast<size_t>(size - offset_), '\0');
            if (!file.ReadAt(offset_, text.data(), text.size())) {
                return;
            }
            size_t start = 0;
            for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
                std::string_view line = std::string_view(text).substr(start, end - start);
                if (line.ends_with('\r')) {
                    line.remove_suffix(1);
                }
                out << Shown(line, false) << '\n';
            }
            out << std::flush;
            offset_ += start;
        } catch (const ToolError&) {
            // Being rotated: read on the next turn.
        }
    }

private:
    fs::path path_;
    uintmax_t offset_ = 0;
};

}  // namespace

fs::path RunStagingFolder(const fs::path& appFolder) {
    std::error_code ec;
    fs::path app = fs::weakly_canonical(fs::absolute(appFolder, ec), ec);
    if (!app.has_filename()) {
        app = app.parent_path();
    }
    fs::path staging = app;
    staging += ".vandrel-run";
    return staging;
}

int RunCommand(const RunOptions& options, std::ostream& out, std::ostream& err,
               const ToolEnvironment& environment) {
    if (!RunsWindowsPrograms()) {
        err << "vandrel: the host is a Windows program, so 'vandrel run' works on Windows; here, "
               "preview the app in a browser with 'vandrel serve --watch "
            << Shown(PathToUtf8(options.app), false) << "'\n";
        return kExitUsage;
    }
    const fs::path& app = options.app;
    ConfigCheckResult result =
        CheckAppConfig(ReadFileBytes(app / kPackageFile, kLargestSettingsFile));
    if (!result.config) {
        PrintFindings(result.findings, out, false);
        throw ToolError(ShownPath(app / kPackageFile) + " has errors, so the host would not start");
    }
    const fs::path host =
        options.host ? *options.host : environment.programPath.parent_path() / kHostFile;
    std::error_code ec;
    if (!fs::is_regular_file(host, ec)) {
        throw ToolError("cannot find the host " + ShownPath(host) + "; name it with --host EXE");
    }
    fs::path loader = options.loader ? *options.loader : app / kLoaderFile;
    if (!options.loader && !fs::is_regular_file(loader, ec)) {
        loader = host.parent_path() / kLoaderFile;
    }
    if (!fs::is_regular_file(loader, ec)) {
        throw ToolError("cannot find " + std::string(kLoaderFile) + " (" + ShownPath(loader) +
                        "); name it with --loader DLL");
    }

    // The staging folder beside the app, kept for the next run: what changed is copied again.
    const fs::path staging = RunStagingFolder(app);
    fs::create_directories(staging, ec);
    const std::string executable = AppExecutableName(result.config->name);
    CopyIfChanged(host, staging / PathFromUtf8(executable));
    CopyIfChanged(loader, staging / kLoaderFile);
    if (fs::is_regular_file(app / kExtensionFile, ec)) {
        CopyIfChanged(app / kExtensionFile, staging / kExtensionFile);
    } else {
        fs::remove(staging / kExtensionFile, ec);
    }
    Mirror(app / kWwwFolder, staging / kWwwFolder);
    Mirror(app / kRuntimeFolder, staging / kRuntimeFolder);
    nlohmann::json settings = std::move(*result.document);
    settings["settings"]["enable-devtools"] = true;
    WriteFileBytes(staging / kPackageFile, settings.dump(2) + "\n");

    const std::optional<std::string> local = EnvironmentValue("LOCALAPPDATA");
    LogTail log(local ? PathFromUtf8(*local) / PathFromUtf8(result.config->name) / "vandrel.log"
                      : fs::path());
    StartedProgram started(staging / PathFromUtf8(executable), staging);
    out << "running " << Shown(executable) << " in " << ShownPath(staging)
        << " with the developer tools on (F12); the player log follows. Close the window to end."
        << std::endl;
    // Ctrl+C ends the app too: its window is closed, as the player would close it.
    const InterruptScope interruptible;
    std::optional<int> code;
    while (!(code = started.Wait(std::chrono::milliseconds(200)))) {
        log.Print(out);
        if (InterruptSignal() != 0) {
            started.Stop(std::chrono::milliseconds(5000));
            log.Print(out);
            ThrowIfInterrupted();
        }
    }
    log.Print(out);
    out << "the app ended with exit code " << *code << std::endl;
    return *code;
}

}  // namespace vandrel::tool
