#include "host_driver.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include "win32/util/text.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vandrel::testing {

namespace {

constexpr DWORD kPollMs = 20;

std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    // WM_GETTEXT reaches windows of another process, as GetWindowTextW does not for controls.
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM param) {
    auto* parts = reinterpret_cast<MessageBoxParts*>(param);
    wchar_t name[64] = {};
    GetClassNameW(child, name, ARRAYSIZE(name));
    if (_wcsicmp(name, L"Static") != 0) {
        return TRUE;
    }
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        parts->iconControl = child;
    } else if (parts->text.empty()) {
        parts->text = WindowText(child);
    }
    return TRUE;
}

// The pixels `draw` paints into a `size` by `size` memory bitmap compatible with the screen, as
// 0x00RRGGBB values.
template <typename Draw>
std::vector<DWORD> PaintedPixels(int size, Draw draw) {
    std::vector<DWORD> pixels(static_cast<size_t>(size) * size);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory, screen);
    GdiFlush();
    memcpy(pixels.data(), bits, pixels.size() * sizeof(DWORD));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Pixels of `size` by `size` at `origin` on the screen.
std::vector<DWORD> ScreenPixels(POINT origin, int size) {
    return PaintedPixels(size, [&](HDC memory, HDC screen) {
        BitBlt(memory, 0, 0, size, size, screen, origin.x, origin.y, SRCCOPY);
    });
}

// The icon drawn over a plain background colour.
std::vector<DWORD> DrawnIcon(HICON icon, int size, COLORREF background) {
    return PaintedPixels(size, [&](HDC memory, HDC) {
        RECT all{0, 0, size, size};
        HBRUSH brush = CreateSolidBrush(background);
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    });
}

// Which standard icon the message box shows, read off the screen: the icons' opaque pixels are
// compared with what the icon control displays.
UINT RecogniseIcon(HWND iconControl) {
    if (iconControl == nullptr) {
        return 0;
    }
    const int size = GetSystemMetrics(SM_CXICON);
    RECT rect{};
    GetWindowRect(iconControl, &rect);
    const std::vector<DWORD> shown = ScreenPixels({rect.left, rect.top}, size);
    const std::pair<UINT, LPCWSTR> standard[] = {{MB_ICONERROR, IDI_ERROR},
                                                 {MB_ICONINFORMATION, IDI_INFORMATION},
                                                 {MB_ICONWARNING, IDI_WARNING},
                                                 {MB_ICONQUESTION, IDI_QUESTION}};
    for (const auto& [flag, id] : standard) {
        HICON icon = LoadIconW(nullptr, id);
        const std::vector<DWORD> onBlack = DrawnIcon(icon, size, RGB(0, 0, 0));
        const std::vector<DWORD> onWhite = DrawnIcon(icon, size, RGB(255, 255, 255));
        size_t opaque = 0;
        size_t same = 0;
        for (size_t i = 0; i < shown.size(); ++i) {
            if ((onBlack[i] & 0xFFFFFF) != (onWhite[i] & 0xFFFFFF)) {
                continue;  // (partly) transparent: the background shows through
            }
            ++opaque;
            same += (onBlack[i] & 0xFFFFFF) == (shown[i] & 0xFFFFFF) ? 1 : 0;
        }
        if (opaque > 0 && same * 100 >= opaque * 95) {
            return flag;
        }
    }
    return 0;
}

}  // namespace

namespace {

struct WindowQuery {
    DWORD processId;
    const wchar_t* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<WindowQuery*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != query->processId || (query->visibleOnly && !IsWindowVisible(window))) {
        return TRUE;
    }
    wchar_t name[256] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    if (wcscmp(name, query->className) != 0) {
        return TRUE;
    }
    query->found = window;
    return FALSE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const wchar_t* className, bool visibleOnly) {
    WindowQuery query{processId, className, visibleOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

MessageBoxParts ReadMessageBoxParts(HWND box) {
    MessageBoxParts parts;
    parts.caption = WindowText(box);
    EnumChildWindows(box, ReadBoxChild, reinterpret_cast<LPARAM>(&parts));
    return parts;
}

std::wstring Wide(const std::string& utf8) {
    return Utf8ToWide(utf8);
}

std::string Utf8(const std::wstring& wide) {
    return WideToUtf8(wide);
}

void PrintTo(const MessageBoxSeen& box, std::ostream* out) {
    *out << "{caption \"" << Utf8(box.caption) << "\", text \"" << Utf8(box.text) << "\", icon 0x"
         << std::hex << box.icon << std::dec << "}";
}

std::wstring TestBinaryFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

AppFolder::AppFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(ARRAYSIZE(temp), temp);
    static unsigned counter = 0;
    for (;;) {
        std::wstringstream name;
        name << temp << L"vandrel-test-" << GetCurrentProcessId() << L"-" << ++counter << L"\\";
        if (CreateDirectoryW(name.str().c_str(), nullptr)) {
            path_ = name.str();
            break;
        }
    }
    const std::wstring bin = TestBinaryFolder();
    CopyFileW((bin + L"vandrel-host.exe").c_str(), (path_ + L"vandrel-host.exe").c_str(), FALSE);
    CopyFileW((bin + L"testruntime\\WebView2Loader.dll").c_str(),
              (path_ + L"WebView2Loader.dll").c_str(), FALSE);
}

AppFolder::~AppFolder() {
    if (!owned_) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

void AppFolder::Write(const std::wstring& relative, const std::string& bytes) const {
    std::ofstream out(std::filesystem::path(path_ + relative), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void AppFolder::MakeFolder(const std::wstring& relative) const {
    std::filesystem::create_directories(std::filesystem::path(path_ + relative));
}

void AppFolder::InstallExtension(const std::string& variant, const nlohmann::json& config) const {
    CopyFileW((TestBinaryFolder() + L"testext\\" + Wide(variant) + L"\\WV2ExtManager.dll").c_str(),
              (path_ + L"WV2ExtManager.dll").c_str(), FALSE);
    Write(L"extension-config.json", config.dump());
}

std::vector<nlohmann::json> AppFolder::ExtensionCalls() const {
    std::vector<nlohmann::json> calls;
    std::ifstream in(std::filesystem::path(path_ + L"extension-calls.log"), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            calls.push_back(nlohmann::json::parse(line, nullptr, false));
        }
    }
    return calls;
}

void AppFolder::InstallEvergreenRuntime() const {
    Write(L"evergreen-runtime.txt", "");
}

std::vector<nlohmann::json> AppFolder::RuntimeCalls() const {
    std::vector<nlohmann::json> calls;
    std::ifstream in(std::filesystem::path(path_ + L"webview2-calls.log"), std::ios::binary);
    std::string line;
    // A last line without its line end is still being written.
    while (std::getline(in, line) && !in.eof()) {
        if (!line.empty()) {
            calls.push_back(nlohmann::json::parse(line));
        }
    }
    return calls;
}

std::vector<nlohmann::json> AppFolder::RuntimeCalls(const std::string& call) const {
    std::vector<nlohmann::json> matching;
    for (auto& entry : RuntimeCalls()) {
        if (entry.value("call", "") == call) {
            matching.push_back(std::move(entry));
        }
    }
    return matching;
}

void AppFolder::WriteRuntimeOptions(const nlohmann::json& options) const {
    Write(L"runtime-options.json", options.dump());
}

size_t AppFolder::Play(const nlohmann::json& command) const {
    const std::wstring path = PathOf(L"scenario.jsonl");
    size_t index = 0;
    {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            ++index;
        }
    }
    const std::string line = command.dump() + "\n";
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    return index;
}

std::optional<nlohmann::json> AppFolder::WaitForCall(
    std::function<bool(const nlohmann::json&)> match, DWORD timeoutMs, size_t after) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const std::vector<nlohmann::json> calls = RuntimeCalls();
        for (size_t i = after; i < calls.size(); ++i) {
            if (match(calls[i])) {
                return calls[i];
            }
        }
        if (GetTickCount64() > deadline) {
            return std::nullopt;
        }
        Sleep(kPollMs);
    }
}

std::optional<std::vector<nlohmann::json>> AppFolder::PlayAndWait(const nlohmann::json& command,
                                                                  DWORD timeoutMs) const {
    const size_t before = RuntimeCalls().size();
    const size_t index = Play(command);
    const auto isDone = [index](const nlohmann::json& entry) {
        return entry.value("event", "") == "done" && entry.value("index", size_t{0}) == index;
    };
    if (!WaitForCall(isDone, timeoutMs, before)) {
        return std::nullopt;
    }
    std::vector<nlohmann::json> calls = RuntimeCalls();
    std::vector<nlohmann::json> between;
    for (size_t i = before; i < calls.size() && !isDone(calls[i]); ++i) {
        between.push_back(std::move(calls[i]));
    }
    return between;
}

HostProcess::HostProcess(const AppFolder& folder, const std::wstring& program) {
    std::wstring commandLine = L"\"" + folder.PathOf(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.Path().c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
    }
}

HostProcess::~HostProcess() {
    if (process_ == nullptr) {
        return;
    }
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

// Tests run side by side, and every message box opens in the middle of the one screen. Before its
// icon is read off the screen, a box is moved to a screen slot that no other test holds, on top.
class ScreenSlot {
public:
    ScreenSlot() {
        for (int slot = 0; slot < kSlots && mutex_ == nullptr; ++slot) {
            const std::wstring name = L"vandrel-test-screen-slot-" + std::to_wstring(slot);
            HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
            if (mutex != nullptr && WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0) {
                mutex_ = mutex;
                origin_ = {(slot % 3) * 640, (slot / 3) * 360};
            } else if (mutex != nullptr) {
                CloseHandle(mutex);
            }
        }
    }
    ~ScreenSlot() {
        if (mutex_ != nullptr) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }
    ScreenSlot(const ScreenSlot&) = delete;
    ScreenSlot& operator=(const ScreenSlot&) = delete;
    bool Held() const { return mutex_ != nullptr; }
    POINT Origin() const { return origin_; }

private:
    static constexpr int kSlots = 9;
    HANDLE mutex_ = nullptr;
    POINT origin_{};
};

std::optional<MessageBoxSeen> HostProcess::WaitForMessageBox(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (process_ != nullptr) {
        if (HWND box = FindProcessWindow(id_, L"#32770", true)) {
            lastBox_ = box;
            const MessageBoxParts parts = ReadMessageBoxParts(box);
            MessageBoxSeen seen;
            seen.caption = parts.caption;
            seen.text = parts.text;
            ScreenSlot slot;
            if (slot.Held()) {
                SetWindowPos(box, HWND_TOPMOST, slot.Origin().x, slot.Origin().y, 0, 0,
                             SWP_NOSIZE | SWP_NOACTIVATE);
                // The box may still be painting: look again for a while.
                for (int attempt = 0; attempt < 50 && seen.icon == 0; ++attempt) {
                    Sleep(kPollMs);
                    seen.icon = RecogniseIcon(parts.iconControl);
                }
            }
            return seen;
        }
        if (WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0 ||
            GetTickCount64() > deadline) {
            break;
        }
    }
    return std::nullopt;
}

void HostProcess::Press(int id) {
    if (lastBox_ == nullptr) {
        return;
    }
    HWND button = GetDlgItem(lastBox_, id);
    PostMessageW(lastBox_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    // Wait until the box is gone, so that the next wait finds the next box.
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (IsWindow(lastBox_) && IsWindowVisible(lastBox_) && GetTickCount64() < deadline) {
        Sleep(kPollMs);
    }
    lastBox_ = nullptr;
}

std::optional<MessageBoxSeen> HostProcess::DismissMessageBox(DWORD timeoutMs) {
    auto seen = WaitForMessageBox(timeoutMs);
    if (seen) {
        PressOk();
    }
    return seen;
}

HWND HostProcess::WaitForWindow(const wchar_t* className, DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (process_ != nullptr) {
        if (HWND window = FindProcessWindow(id_, className, false)) {
            return window;
        }
        if (WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0 ||
            GetTickCount64() > deadline) {
            break;
        }
    }
    return nullptr;
}

std::optional<DWORD> HostProcess::WaitForExit(DWORD timeoutMs) const {
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void HostProcess::ExpectQuietRunThenClose() {
    HWND window = WaitForWindow(L"WindowsWebview2Wrapper");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(WaitForMessageBox(300).has_value()) << "a message box came";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(), 0u);
}

std::wstring KnownFolderPath(const KNOWNFOLDERID& id) {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path != nullptr) {
        result = path;
    }
    CoTaskMemFree(path);
    return result;
}

RunningHost::RunningHost(const std::string& package, const nlohmann::json& runtimeOptions,
                         bool waitForNavigation, const std::function<void(AppFolder&)>& prepare) {
    app.InstallEvergreenRuntime();
    app.Write(L"package.json", package);
    app.MakeFolder(L"www");
    if (prepare) {
        prepare(app);
    }
    if (!runtimeOptions.empty()) {
        app.WriteRuntimeOptions(runtimeOptions);
    }
    host = std::make_unique<HostProcess>(app);
    window = host->WaitForWindow(L"WindowsWebview2Wrapper");
    if (waitForNavigation) {
        navigation = app.WaitForCall(
            [](const nlohmann::json& e) { return e.value("call", "") == "Navigate"; });
        EXPECT_TRUE(navigation.has_value());
    }
}

std::vector<nlohmann::json> RunningHost::Play(const nlohmann::json& command) {
    auto entries = app.PlayAndWait(command);
    EXPECT_TRUE(entries.has_value()) << command.dump();
    return entries.value_or(std::vector<nlohmann::json>{});
}

void RunningHost::Message(const nlohmann::json& message) {
    Play({{"cmd", "web-message"},
          {"source", std::string(kAppOrigin) + "index.html"},
          {"string", message.dump()}});
}

UserData::UserData(const std::string& prefix)
    : name_(prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount64())),
      folder_(KnownFolderPath(FOLDERID_LocalAppData) + L"\\" + Wide(name_)) {}

UserData::~UserData() {
    SHFILEOPSTRUCTW operation{};
    const std::wstring from = folder_ + L'\0';  // a list of one, ended by a second NUL
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

std::optional<std::string> UserData::Read(const std::wstring& file) const {
    HANDLE handle = CreateFileW(PathOf(file).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(handle);
    return bytes;
}

void UserData::Write(const std::wstring& file, const std::string& bytes) const {
    CreateDirectoryW(folder_.c_str(), nullptr);
    HANDLE handle = CreateFileW(PathOf(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

void RunningHost::Close() {
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(host->WaitForExit(), 0u);
}

}  // namespace vandrel::testing
