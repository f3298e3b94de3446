#pragma once

// Tells `serve --watch` when an app's package.json or anything in its www folder changes,
// through the system's change notifications (inotify, ReadDirectoryChangesW): waiting costs
// nothing, however many files the folder holds. Other files of the app folder (node_modules, say)
// do not count.

#include <chrono>
#include <filesystem>
#include <memory>

namespace vandrel::tool {

class AppWatch {
public:
    // Watches the app folder `folder`: its package.json, and www with every folder below it, also
    // those made later. Throws ToolError.
    explicit AppWatch(const std::filesystem::path& folder);
    AppWatch(const AppWatch&) = delete;
    AppWatch& operator=(const AppWatch&) = delete;
    ~AppWatch();

    // Blocks until something below the folder changes, then until nothing more has changed for
    // `settle` (a burst of changes, such as an editor's save in several steps, is one); true.
    // False once Stop is called.
    bool WaitForChanges(std::chrono::milliseconds settle);

    // From another thread: WaitForChanges returns false from now on.
    void Stop();

    struct State;  // per platform

private:
    std::unique_ptr<State> state_;
};

}  // namespace vandrel::tool
