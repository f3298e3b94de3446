#include "win32/app/window_memory.h"

#include <windows.h>

#include "win32/util/files.h"
#include "win32/util/handles.h"
#include "win32/util/trace.h"

namespace vandrel {

std::optional<SavedWindow> WindowMemory::Load() const {
    return ParseSavedWindow(ReadWholeFile(path_));
}

void WindowMemory::Save(const SavedWindow& window) const {
    const std::string text = SavedWindowText(window);
    const std::wstring target = ToApiPath(path_);
    const std::wstring written = target + L".new";
    const size_t slash = target.rfind(L'\\');
    if (slash != std::wstring::npos) {
        CreateDirectoryW(target.substr(0, slash).c_str(), nullptr);  // made by the runtime, usually
    }
    bool whole = false;
    {
        const UniqueFile file(CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        whole = file &&
                WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &done,
                          nullptr) &&
                done == text.size() && FlushFileBuffers(file.Get());
    }
    if (!whole) {
        TraceFailure("WindowMemory::Save");
        DeleteFileW(written.c_str());
        return;
    }
    if (!MoveFileExW(written.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        TraceFailure("MoveFileExW");
        DeleteFileW(written.c_str());
    }
}

}  // namespace vandrel
