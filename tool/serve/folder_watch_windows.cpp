// Windows' ReadDirectoryChangesW over the whole tree, waited for with an overlapped read.

#include <windows.h>

#include <vector>

#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/shown_text.h"
#include "serve/folder_watch.h"
#include "win32/util/handles.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

struct AppWatch::State {
    UniqueFile folder;
    UniqueKernelHandle changed{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED overlapped{};
    std::vector<DWORD> buffer = std::vector<DWORD>(16 * 1024);
    bool pending = false;

    bool Read() {
        ResetEvent(changed.Get());
        overlapped = {};
        overlapped.hEvent = changed.Get();
        pending = ReadDirectoryChangesW(
            folder.Get(), buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)), TRUE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION,
            nullptr, &overlapped, nullptr);
        return pending;
    }

    static bool Same(std::wstring_view name, const wchar_t* other) {
        return CompareStringOrdinal(name.data(), static_cast<int>(name.size()), other, -1, TRUE) ==
               CSTR_EQUAL;
    }

    // Whether the changes in the buffer concern package.json or www.
    bool Counts() const {
        const auto* at = reinterpret_cast<const char*>(buffer.data());
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
            const std::wstring_view name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            const std::wstring_view top = name.substr(0, name.find(L'\\'));
            if (Same(name, L"package.json") || Same(top, L"www")) {
                return true;
            }
            if (info->NextEntryOffset == 0) {
                return false;
            }
            at += info->NextEntryOffset;
        }
    }

    // Waits up to `timeout` for changes or the stop; 1 changes, 0 none, -1 stop.
    int Wait(DWORD timeout) {
        const HANDLE handles[2] = {changed.Get(), stop.Get()};
        const DWORD which = WaitForMultipleObjects(2, handles, FALSE, timeout);
        if (which == WAIT_OBJECT_0 + 1 || which == WAIT_FAILED) {
            return -1;
        }
        if (which != WAIT_OBJECT_0) {
            return 0;
        }
        DWORD bytes = 0;
        GetOverlappedResult(folder.Get(), &overlapped, &bytes, FALSE);
        pending = false;
        const bool counts = bytes == 0 || Counts();  // an overflow (0 bytes) may hide anything
        Read();
        return counts ? 1 : 0;
    }
};

AppWatch::AppWatch(const fs::path& folder) : state_(std::make_unique<State>()) {
    state_->folder.Reset(CreateFileW(WidePath(folder).c_str(), FILE_LIST_DIRECTORY,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (!state_->folder) {
        throw ToolError("cannot watch " + ShownPath(folder) + ": " + LastErrorText());
    }
}

AppWatch::~AppWatch() {
    if (state_->pending) {
        CancelIoEx(state_->folder.Get(), &state_->overlapped);
        DWORD ignored = 0;
        GetOverlappedResult(state_->folder.Get(), &state_->overlapped, &ignored, TRUE);
    }
}

bool AppWatch::WaitForChanges(std::chrono::milliseconds settle) {
    // The read is issued by the thread that waits for it: Windows cancels a thread's pending
    // reads when it ends, and Wine sees the changes only for the thread that asked.
    if (!state_->pending && !state_->Read()) {
        return false;
    }
    int changed = 0;
    while ((changed = state_->Wait(INFINITE)) == 0) {
    }
    if (changed < 0) {
        return false;
    }
    while ((changed = state_->Wait(static_cast<DWORD>(settle.count()))) > 0) {
    }
    return changed == 0;
}

void AppWatch::Stop() {
    SetEvent(state_->stop.Get());
}

}  // namespace vandrel::tool
