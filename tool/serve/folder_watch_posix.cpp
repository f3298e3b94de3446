// Linux's inotify: one watch for the app folder itself, and one per folder of www, added as
// folders appear.

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/errors.h"
#include "platform/shown_text.h"
#include "serve/folder_watch.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM |
                             IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

struct AppWatch::State {
    int notify = -1;
    int stop = -1;
    int root = -1;                              // the app folder's watch
    std::unordered_map<int, fs::path> folders;  // by watch descriptor

    // Watches `folder`, and with `below` the folders below it; a folder that goes away meanwhile
    // is skipped.
    int Add(const fs::path& folder, bool below = true) {
        const int watch = inotify_add_watch(notify, folder.c_str(), kEvents | IN_ONLYDIR);
        if (watch < 0) {
            return watch;
        }
        folders[watch] = folder;
        if (!below) {
            return watch;
        }
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                Add(it->path());
            }
        }
        return watch;
    }

    // Whether an event of the app folder's own watch concerns package.json or www.
    bool Counts(const inotify_event& event) const {
        if (event.wd != root || event.len == 0) {
            return event.wd != root || (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0;
        }
        const std::string_view name(event.name);
        return name == "package.json" || name == "www";
    }

    // Reads what is waiting, adding watches for new folders. False when nothing was there.
    bool Drain() {
        alignas(inotify_event) char buffer[64 * 1024];
        bool any = false;
        for (;;) {
            const ssize_t n = read(notify, buffer, sizeof buffer);
            if (n <= 0) {
                return any;
            }
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                const auto folder = folders.find(event->wd);
                any = any || Counts(*event);
                if (event->mask & IN_IGNORED) {
                    folders.erase(event->wd);
                } else if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO)) &&
                           folder != folders.end() && event->len > 0 &&
                           (event->wd != root || std::string_view(event->name) == "www")) {
                    Add(folder->second / event->name);
                }
            }
        }
    }

    // Waits up to `timeout` (-1: for ever) for changes or the stop; 1 changes, 0 none, -1 stop.
    int Wait(int timeout) {
        pollfd fds[2] = {{notify, POLLIN, 0}, {stop, POLLIN, 0}};
        for (;;) {
            const int ready = poll(fds, 2, timeout);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return 0;
            }
            if (fds[1].revents != 0) {
                return -1;
            }
            if (Drain()) {
                return 1;
            }
        }
    }
};

AppWatch::AppWatch(const fs::path& folder) : state_(std::make_unique<State>()) {
    state_->notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    state_->stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state_->notify < 0 || state_->stop < 0) {
        throw ToolError("cannot watch " + ShownPath(folder) + ": " + std::strerror(errno));
    }
    state_->root = state_->Add(folder, false);
    state_->Add(folder / "www");
    if (state_->root < 0) {
        throw ToolError("cannot watch " + ShownPath(folder) + ": " + std::strerror(errno));
    }
}

AppWatch::~AppWatch() {
    close(state_->notify);
    close(state_->stop);
}

bool AppWatch::WaitForChanges(std::chrono::milliseconds settle) {
    int changed = 0;
    while ((changed = state_->Wait(-1)) == 0) {
    }
    if (changed < 0) {
        return false;
    }
    while ((changed = state_->Wait(static_cast<int>(settle.count()))) > 0) {
    }
    return changed == 0;
}

void AppWatch::Stop() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(state_->stop, &one, sizeof one);
}

}  // namespace vandrel::tool
