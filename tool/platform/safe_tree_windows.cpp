// The Windows half of safe_tree: every name is opened with the native API relative to the handle
// of its folder. Folders and files are opened with FILE_OPEN_REPARSE_POINT, so that Windows hands
// out the link itself, whose attributes say what it is. Wine follows Unix symbolic links even
// then and shows no reparse attribute on the handle; it does show a link to a folder as a reparse
// point in the folder's listing, and a link to a file only by leading elsewhere. So a folder is
// also checked by its name's entry in a fresh listing of its parent (attributes and file id
// against the opened handle), and a file by the path the system reports for the opened handle.

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/shown_text.h"
#include "platform/file_io.h"
#include "platform/safe_tree.h"
#include "win32/util/text.h"
#include "platform/safe_tree_detail.h"
#include "win32/util/handles.h"
#include "portable/util/long_path.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine,
                                               PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock,
                                               PVOID FileInformation, ULONG Length,
                                               FILE_INFORMATION_CLASS FileInformationClass,
                                               BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                               BOOLEAN RestartScan);

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103);
constexpr NTSTATUS kFileIsADirectory = static_cast<NTSTATUS>(0xC00000BA);
constexpr ULONG kNameSurrogateBit = 0x20000000;  // reparse tags of links, junctions, mounts

bool IsMissing(NTSTATUS status) {
    return status == kNoSuchFile || status == kNameNotFound || status == kPathNotFound ||
           status == kNoMoreFiles;
}

std::string StatusText(NTSTATUS status) {
    return ErrorCodeText(
        std::error_code(static_cast<int>(RtlNtStatusToDosError(status)), std::system_category()));
}

[[noreturn]] void FailOn(const char* what, const fs::path& path, NTSTATUS status) {
    throw ToolError(std::string(what) + " " + ShownPath(path) + ": " + StatusText(status));
}

[[noreturn]] void FailOnLastError(const char* what, const fs::path& path) {
    throw ToolError(std::string(what) + " " + ShownPath(path) + ": " + LastErrorText());
}

// One segment as the system takes it. Names reaching here are valid UTF-8.
std::wstring Wide(std::string_view name) {
    return PathFromUtf8(name).native();
}

// Opens `name` relative to the folder handle `folder` (an empty name reopens the folder itself).
NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access,
                      ULONG disposition, ULONG options, HANDLE& opened,
                      ULONG_PTR* information = nullptr,
                      ULONG share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) {
    opened = nullptr;
    if (name.size() > 32767) {
        return kNameNotFound;
    }
    UNICODE_STRING text;
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    text.Buffer = const_cast<wchar_t*>(name.data());
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtCreateFile(
        &opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
        disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT, nullptr,
        0);
    if (!NT_SUCCESS(status)) {
        opened = nullptr;
    } else if (information != nullptr) {
        *information = io.Information;
    }
    return status;
}

// The system's own name of an open handle, links resolved ("\Device\...", or "\??\C:\..." under
// Wine); empty when it cannot tell. Unlike GetFinalPathNameByHandleW under Wine it has no length
// limit.
std::wstring FinalPath(HANDLE handle) {
    std::unique_ptr<uint64_t[]> storage;
    ULONG bytes = 2048;
    for (int attempt = 0; attempt < 4; ++attempt) {
        storage.reset(new uint64_t[bytes / sizeof(uint64_t) + 1]);
        ULONG needed = 0;
        const NTSTATUS status =
            NtQueryObject(handle, ObjectNameInformation, storage.get(), bytes, &needed);
        if (NT_SUCCESS(status)) {
            const auto* name = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(storage.get());
            return std::wstring(name->Name.Buffer, name->Name.Length / sizeof(wchar_t));
        }
        if (needed <= bytes) {
            return {};
        }
        bytes = needed;
    }
    return {};
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsLinkAttribute(ULONG attributes, ULONG tag) {
    // Folders refuse every reparse point; a file only a link (or an untagged one, as Wine shows
    // links), not the reparse points of deduplicated or cloud files.
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || tag == 0 ||
            (tag & kNameSurrogateBit) != 0);
}

EntryKind KindOfAttributes(ULONG attributes, ULONG tag) {
    if (IsLinkAttribute(attributes, tag)) {
        return EntryKind::Link;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EntryKind::Folder;
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return EntryKind::Other;
    }
    return EntryKind::File;
}

bool HandleIsLink(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           IsLinkAttribute(tag.FileAttributes, tag.ReparseTag);
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return FileIdentity{info.dwVolumeSerialNumber,
                        (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

bool IsValidUtf16(std::wstring_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

TreeEntry EntryOf(const FILE_ID_BOTH_DIR_INFORMATION& info, uint64_t volume) {
    const std::wstring_view name(info.FileName, info.FileNameLength / sizeof(wchar_t));
    TreeEntry entry;
    entry.name = WideToUtf8(name);
    entry.nameValid = IsValidUtf16(name);
    // With the reparse attribute, the EA size field holds the reparse tag.
    entry.kind = KindOfAttributes(info.FileAttributes, info.EaSize);
    entry.identity = FileIdentity{volume, static_cast<uint64_t>(info.FileId.QuadPart)};
    entry.size = static_cast<uint64_t>(info.EndOfFile.QuadPart);
    return entry;
}

ACCESS_MASK FolderAccess(bool writable) {
    return FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES |
           (writable ? FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY : 0);
}

// Aligned room for directory listings.
class ListingBuffer {
public:
    static constexpr ULONG kBytes = 64 * 1024;
    void* Data() { return words_.get(); }
    const FILE_ID_BOTH_DIR_INFORMATION* At(size_t offset) const {
        return reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(
            reinterpret_cast<const char*>(words_.get()) + offset);
    }

private:
    std::unique_ptr<uint64_t[]> words_{new uint64_t[kBytes / sizeof(uint64_t)]};
};

// The entry of `name` in a fresh listing of `folder`: a new handle each time, because a listing
// handle keeps the first name pattern it was given.
std::optional<TreeEntry> ListedEntry(HANDLE folder, uint64_t volume, const std::wstring& name,
                                     NTSTATUS& failure) {
    failure = 0;
    // The name is a pattern to the listing: wildcards would match other names. No file's name
    // holds them.
    if (name.empty() || name.find_first_of(L"*?<>\"") != std::wstring::npos) {
        return std::nullopt;
    }
    HANDLE raw = nullptr;
    NTSTATUS status = OpenRelative(folder, std::wstring(), FILE_LIST_DIRECTORY, FILE_OPEN,
                                   FILE_DIRECTORY_FILE, raw);
    if (!NT_SUCCESS(status)) {
        failure = status;
        return std::nullopt;
    }
    const UniqueKernelHandle listing(raw);
    ListingBuffer buffer;
    UNICODE_STRING pattern;
    pattern.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    pattern.MaximumLength = pattern.Length;
    pattern.Buffer = const_cast<wchar_t*>(name.data());
    IO_STATUS_BLOCK io{};
    status = NtQueryDirectoryFile(listing.Get(), nullptr, nullptr, nullptr, &io, buffer.Data(),
                                  ListingBuffer::kBytes, FileIdBothDirectoryInformation, TRUE,
                                  &pattern, TRUE);
    if (IsMissing(status)) {
        return std::nullopt;
    }
    if (!NT_SUCCESS(status)) {
        failure = status;
        return std::nullopt;
    }
    return EntryOf(*buffer.At(0), volume);
}

}  // namespace

namespace detail {

std::optional<FileIdentity> IdentityOfHandle(void* handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(static_cast<HANDLE>(handle), &info)) {
        return std::nullopt;
    }
    return IdentityOf(info);
}

void* CreateNewFileIn(void* folder, std::string_view name, unsigned long& error) {
    HANDLE file = nullptr;
    const NTSTATUS status = OpenRelative(
        static_cast<HANDLE>(folder), Wide(name), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_CREATE,
        FILE_NON_DIRECTORY_FILE, file, nullptr, FILE_SHARE_READ | FILE_SHARE_DELETE);
    error = NT_SUCCESS(status) ? 0 : RtlNtStatusToDosError(status);
    return file;
}

bool RenameFileIn(void* file, void* folder, std::string_view name, unsigned long& error) {
    const std::wstring wide = Wide(name);
    const size_t bytes = wide.size() * sizeof(wchar_t);
    std::unique_ptr<uint64_t[]> storage(
        new uint64_t[(sizeof(FILE_RENAME_INFORMATION) + bytes) / sizeof(uint64_t) + 1]());
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(storage.get());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = static_cast<HANDLE>(folder);
    rename->FileNameLength = static_cast<ULONG>(bytes);
    std::memcpy(rename->FileName, wide.data(), bytes);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtSetInformationFile(
        static_cast<HANDLE>(file), &io, rename,
        static_cast<ULONG>(sizeof(FILE_RENAME_INFORMATION) + bytes), FileRenameInformation);
    error = NT_SUCCESS(status) ? 0 : RtlNtStatusToDosError(status);
    return NT_SUCCESS(status);
}

}  // namespace detail

void* TreeFolder::Handle() const {
    return state_->handle.Get();
}

std::optional<TreeFolder> TreeFolder::OpenRootIfPresent(const fs::path& path, bool writable) {
    HANDLE raw = CreateFileW(WidePath(path).c_str(), FolderAccess(writable),
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return std::nullopt;
        }
        FailOnLastError("cannot open folder", path);
    }
    UniqueKernelHandle handle(raw);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) {
        FailOnLastError("cannot open folder", path);
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetLastError(ERROR_DIRECTORY);
        FailOnLastError("cannot open folder", path);
    }
    return TreeFolder(
        State{std::move(handle), IdentityOf(info), writable, detail::ShownRoot(path)});
}

OpenOutcome TreeFolder::OpenFolder(std::string_view name, bool create, TreeFolder& result,
                                   const FileIdentity* expected) const {
    const std::wstring wide = Wide(name);
    const HANDLE parent = state_->handle.Get();
    HANDLE raw = nullptr;
    ULONG_PTR information = 0;
    const NTSTATUS status = OpenRelative(
        parent, wide, FolderAccess(state_->writable), create ? FILE_OPEN_IF : FILE_OPEN,
        FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, raw, &information);
    const auto shown = [&] { return detail::ShownPathOf(*state_->shown, name); };
    if (!NT_SUCCESS(status)) {
        if (IsMissing(status) && !create) {
            return OpenOutcome::Missing;
        }
        if (status == kNotADirectory) {
            const std::optional<TreeEntry> entry = Inspect(name);
            return entry && entry->kind == EntryKind::Link ? OpenOutcome::Link
                                                           : OpenOutcome::WrongKind;
        }
        FailOn(create ? "cannot create folder" : "cannot open folder", shown(), status);
    }
    UniqueKernelHandle handle(raw);
    if (HandleIsLink(handle.Get())) {
        return OpenOutcome::Link;
    }
    const std::optional<FileIdentity> identity = detail::IdentityOfHandle(handle.Get());
    if (!identity) {
        FailOnLastError("cannot open folder", shown());
    }
    if (information != FILE_CREATED) {
        // What the folder lists under the name must be this very folder, and no link.
        NTSTATUS failure = 0;
        const std::optional<TreeEntry> listed =
            ListedEntry(parent, state_->identity.device, wide, failure);
        if (failure != 0) {
            FailOn("cannot open folder", shown(), failure);
        }
        if (!listed) {
            return OpenOutcome::Changed;
        }
        if (listed->kind == EntryKind::Link) {
            return OpenOutcome::Link;
        }
        if (listed->kind != EntryKind::Folder) {
            return OpenOutcome::WrongKind;
        }
        if (listed->identity.index != identity->index) {
            return OpenOutcome::Changed;
        }
    }
    if (expected != nullptr && *identity != *expected) {
        return OpenOutcome::Changed;
    }
    result = TreeFolder(State{std::move(handle), *identity, state_->writable,
                              detail::ShownChild(state_->shown, name)});
    return OpenOutcome::Opened;
}

OpenOutcome TreeFolder::OpenFile(std::string_view name, const FileIdentity& expected,
                                 std::unique_ptr<InputFile>& result) const {
    const std::wstring wide = Wide(name);
    const fs::path shown = detail::ShownPathOf(*state_->shown, name);
    HANDLE raw = nullptr;
    const NTSTATUS status =
        OpenRelative(state_->handle.Get(), wide, GENERIC_READ | FILE_READ_ATTRIBUTES, FILE_OPEN,
                     FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SEQUENTIAL_ONLY, raw);
    if (!NT_SUCCESS(status)) {
        if (IsMissing(status)) {
            return OpenOutcome::Missing;
        }
        if (status == kFileIsADirectory) {
            return OpenOutcome::WrongKind;
        }
        FailOn("cannot read", shown, status);
    }
    UniqueKernelHandle handle(raw);
    if (HandleIsLink(handle.Get())) {
        return OpenOutcome::Link;
    }
    const std::optional<FileIdentity> identity = detail::IdentityOfHandle(handle.Get());
    if (!identity) {
        FailOnLastError("cannot read", shown);
    }
    if (*identity != expected) {
        return OpenOutcome::Changed;
    }
    // A file that the system places elsewhere than in this folder came through a link.
    const std::wstring place = FinalPath(state_->handle.Get());
    if (place.empty() || !SameText(FinalPath(handle.Get()), place + L"\\" + wide)) {
        return OpenOutcome::Link;
    }
    result = std::make_unique<InputFile>(handle.Release(), shown);
    return OpenOutcome::Opened;
}

std::optional<TreeEntry> TreeFolder::Inspect(std::string_view name) const {
    // The listing, not an opened handle, says what the name is: Wine follows links when a name is
    // opened, but lists a link to a folder as a reparse point. It also gives the name as it is
    // written on disk.
    const std::wstring wide = Wide(name);
    NTSTATUS failure = 0;
    std::optional<TreeEntry> entry =
        ListedEntry(state_->handle.Get(), state_->identity.device, wide, failure);
    if (failure != 0) {
        FailOn("cannot read", detail::ShownPathOf(*state_->shown, name), failure);
    }
    if (entry && entry->kind == EntryKind::File && entry->nameValid) {
        // A file that the system places elsewhere came through a link.
        HANDLE raw = nullptr;
        const std::wstring listed = Wide(entry->name);
        if (NT_SUCCESS(OpenRelative(state_->handle.Get(), listed, FILE_READ_ATTRIBUTES, FILE_OPEN,
                                    FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, raw))) {
            const UniqueKernelHandle file(raw);
            const std::wstring place = FinalPath(state_->handle.Get());
            if (!place.empty() && !SameText(FinalPath(file.Get()), place + L"\\" + listed)) {
                entry->kind = EntryKind::Link;
            }
        }
    }
    return entry;
}

std::vector<TreeEntry> TreeFolder::List() const {
    const HANDLE folder = state_->handle.Get();
    std::vector<TreeEntry> entries;
    ListingBuffer buffer;
    for (bool restart = true;; restart = false) {
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = NtQueryDirectoryFile(
            folder, nullptr, nullptr, nullptr, &io, buffer.Data(), ListingBuffer::kBytes,
            FileIdBothDirectoryInformation, FALSE, nullptr, restart);
        if (status == kNoMoreFiles || (restart && IsMissing(status))) {
            break;
        }
        if (!NT_SUCCESS(status)) {
            FailOn("cannot open folder", ShownPath(), status);
        }
        for (size_t offset = 0;;) {
            const FILE_ID_BOTH_DIR_INFORMATION& info = *buffer.At(offset);
            const std::wstring_view name(info.FileName, info.FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                entries.push_back(EntryOf(info, state_->identity.device));
            }
            if (info.NextEntryOffset == 0) {
                break;
            }
            offset += info.NextEntryOffset;
        }
    }
    // A file that the system places elsewhere came through a link, whatever its attributes say.
    std::wstring place;
    for (TreeEntry& entry : entries) {
        if (entry.kind != EntryKind::File || !entry.nameValid) {
            continue;
        }
        if (place.empty()) {
            place = FinalPath(folder);
        }
        const std::wstring wide = Wide(entry.name);
        HANDLE raw = nullptr;
        if (NT_SUCCESS(OpenRelative(folder, wide, FILE_READ_ATTRIBUTES, FILE_OPEN,
                                    FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, raw))) {
            const UniqueKernelHandle file(raw);
            if (!place.empty() && !SameText(FinalPath(file.Get()), place + L"\\" + wide)) {
                entry.kind = EntryKind::Link;
            }
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const TreeEntry& a, const TreeEntry& b) { return a.name < b.name; });
    return entries;
}

std::optional<ResolvedName> TreeFolder::Resolve(std::string_view name) const {
    HANDLE raw = nullptr;
    if (!NT_SUCCESS(OpenRelative(state_->handle.Get(), Wide(name), FILE_READ_ATTRIBUTES, FILE_OPEN,
                                 0, raw))) {
        return std::nullopt;
    }
    const UniqueKernelHandle handle(raw);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) {
        return std::nullopt;
    }
    ResolvedName resolved;
    resolved.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder
                    : (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0  ? EntryKind::Other
                                                                            : EntryKind::File;
    resolved.identity = IdentityOf(info);
    const std::wstring real = FinalPath(handle.Get());
    if (real.empty()) {
        return std::nullopt;
    }
    resolved.realPath = fs::path(real);
    // For messages the drive-letter form, where the system gives one.
    std::wstring shown(MAX_PATH, L'\0');
    const DWORD n =
        GetFinalPathNameByHandleW(handle.Get(), shown.data(), static_cast<DWORD>(shown.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    shown.resize(n > 0 && n < shown.size() ? n : 0);
    resolved.shownPath = shown.empty() ? resolved.realPath : fs::path(StripLongPathPrefix(shown));
    return resolved;
}

TreeFolder TreeFolder::Duplicate() const {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), state_->handle.Get(), GetCurrentProcess(), &copy, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
        FailOnLastError("cannot open folder", ShownPath());
    }
    return TreeFolder(
        State{UniqueKernelHandle(copy), state_->identity, state_->writable, state_->shown});
}

std::optional<uint64_t> TreeFolder::SettledStamp() const {
    FILE_BASIC_INFO info{};
    if (!GetFileInformationByHandleEx(state_->handle.Get(), FileBasicInfo, &info, sizeof info)) {
        return std::nullopt;
    }
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto stamp = static_cast<uint64_t>(info.LastWriteTime.QuadPart);
    const uint64_t current = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    constexpr uint64_t kTwoSeconds = 2 * 10000000;  // in 100-nanosecond units
    if (current < stamp + kTwoSeconds) {
        return std::nullopt;
    }
    return stamp;
}

fs::path TreeFolder::RealPath() const {
    const std::wstring real = FinalPath(state_->handle.Get());
    if (real.empty()) {
        FailOnLastError("cannot open folder", ShownPath());
    }
    return fs::path(real);
}

size_t MaxOpenFolders() {
    return size_t{1} << 24;  // handles are plentiful on Windows
}

std::optional<FileIdentity> IdentityOfPath(const fs::path& path) {
    HANDLE raw = CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const UniqueKernelHandle handle(raw);
    return detail::IdentityOfHandle(handle.Get());
}

}  // namespace vandrel::tool
