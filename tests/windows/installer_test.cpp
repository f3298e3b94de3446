// The WebView2 runtime installer: through the real vandrel-host.exe on an app folder without the
// runtime (the download from the vendor fails at once: the test prefix's proxy is a dead port on
// the loopback interface), and in-process against a server of the test's own on 127.0.0.1 that
// serves a stand-in bootstrapper (tests/installer/fake_bootstrapper.cpp).
// winsock2.h must come before windows.h, which would otherwise bring in the older winsock.h.
#include <winsock2.h>
#include <windows.h>
#include <ws2tcpip.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "portable/config/app_config.h"
#include "host_driver.h"
#include "win32/installer/runtime_installer.h"
#include "win32/util/com_ptr.h"
#include "portable/util/dpi.h"
#include "win32/util/handles.h"

namespace vandrel::testing {
namespace {

constexpr wchar_t kRuntimeFolderVariable[] = L"VANDREL_TEST_RUNTIME_FOLDER";
constexpr wchar_t kRunRecord[] = L"bootstrapper-run.txt";
constexpr wchar_t kFinishedMarker[] = L"bootstrapper-finished.txt";
constexpr wchar_t kTarget[] = L"Webview2Setup.exe";

std::wstring LocalAppData() {
    return KnownFolderPath(FOLDERID_LocalAppData);
}

std::wstring FakeBootstrapperPath() {
    return TestBinaryFolder() + L"testinstaller\\fake-bootstrapper.exe";
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// A unique name for a folder of this test process.
std::wstring UniqueName(const wchar_t* stem) {
    static std::atomic<unsigned> counter{0};
    return std::wstring(stem) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
}

// A folder removed with everything in it at the end of the test.
class ScopedFolder {
public:
    explicit ScopedFolder(std::wstring path) : path_(std::move(path)) {}
    ~ScopedFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(path_), ignored);
    }
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;
    const std::wstring& Path() const { return path_; }  // without a trailing backslash

private:
    std::wstring path_;
};

// A fresh, empty folder under %TEMP%.
class TempFolder : public ScopedFolder {
public:
    TempFolder() : ScopedFolder(MakePath()) { CreateDirectoryW(Path().c_str(), nullptr); }

private:
    static std::wstring MakePath() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(ARRAYSIZE(temp), temp);
        return std::wstring(temp) + UniqueName(L"vandrel-installer");
    }
};

// Sets an environment variable of this process (inherited by what it starts) for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_, nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const wchar_t* name_;
};

struct Reply {
    int status = 200;
    std::string reason = "OK";
    std::string body;
};

// A minimal HTTP server on 127.0.0.1 (a port the system picks), on a thread of its own. Each
// connection gets one reply with a Content-Length, then is closed. With `hold`, a reply waits until
// Release() (or the server's end).
class LoopbackServer {
public:
    explicit LoopbackServer(Reply reply, bool hold = false)
        : reply_(std::move(reply)),
          hold_(hold),
          stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          requested_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int length = sizeof(address);
        if (listener_ == INVALID_SOCKET ||
            bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(listener_, 4) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        acceptEvent_ = WSACreateEvent();
        WSAEventSelect(listener_, acceptEvent_, FD_ACCEPT);
        thread_ = std::thread([this] { Run(); });
    }
    ~LoopbackServer() {
        SetEvent(stop_.Get());
        if (thread_.joinable()) {
            thread_.join();
        }
        if (listener_ != INVALID_SOCKET) {
            closesocket(listener_);
        }
        if (acceptEvent_ != WSA_INVALID_EVENT) {
            WSACloseEvent(acceptEvent_);
        }
        if (started_) {
            WSACleanup();
        }
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Listening() const { return port_ != 0; }
    std::wstring Url(const std::string& path) const {
        return L"http://127.0.0.1:" + std::to_wstring(port_) + Wide(path);
    }
    // Lets held replies go.
    void Release() { SetEvent(release_.Get()); }
    // Waits until a request has come in; false after `timeoutMs`.
    bool WaitForRequest(DWORD timeoutMs = 15000) const {
        return WaitForSingleObject(requested_.Get(), timeoutMs) == WAIT_OBJECT_0;
    }
    // The request lines received, in order.
    std::vector<std::string> Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void Run() {
        for (;;) {
            HANDLE events[] = {acceptEvent_, stop_.Get()};
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
                return;
            }
            WSANETWORKEVENTS happened{};
            WSAEnumNetworkEvents(listener_, acceptEvent_, &happened);
            for (;;) {
                SOCKET client = accept(listener_, nullptr, nullptr);
                if (client == INVALID_SOCKET) {
                    break;
                }
                Serve(client);
                closesocket(client);
            }
        }
    }

    void Serve(SOCKET client) {
        // The accepted socket inherits the listener's event selection; make it plainly blocking.
        WSAEventSelect(client, nullptr, 0);
        u_long nonBlocking = 0;
        ioctlsocket(client, FIONBIO, &nonBlocking);
        DWORD timeout = 10000;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof(timeout));
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int received = recv(client, buffer, sizeof(buffer), 0);
            if (received <= 0) {
                return;
            }
            request.append(buffer, static_cast<size_t>(received));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request.substr(0, request.find("\r\n")));
        }
        SetEvent(requested_.Get());
        if (hold_) {
            HANDLE events[] = {release_.Get(), stop_.Get()};
            WaitForMultipleObjects(2, events, FALSE, 30000);
        }
        const std::string response =
            "HTTP/1.1 " + std::to_string(reply_.status) + " " + reply_.reason +
            "\r\nContent-Type: application/octet-stream"
            "\r\nContent-Length: " +
            std::to_string(reply_.body.size()) +
            "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + reply_.body;
        size_t sent = 0;
        while (sent < response.size()) {
            const int n =
                send(client, response.data() + sent,
                     static_cast<int>(std::min<size_t>(response.size() - sent, 65536)), 0);
            if (n <= 0) {
                return;
            }
            sent += static_cast<size_t>(n);
        }
        shutdown(client, SD_SEND);
    }

    Reply reply_;
    bool hold_;
    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    WSAEVENT acceptEvent_ = WSA_INVALID_EVENT;
    unsigned short port_ = 0;
    UniqueKernelHandle stop_;
    UniqueKernelHandle release_;
    UniqueKernelHandle requested_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A loopback port with nothing listening on it.
unsigned short ClosedPort() {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    WSACleanup();
    return ntohs(address.sin_port);
}

// A top-level window of this process of the class, visible or not.
HWND FindOwnWindow(const wchar_t* className) {
    return testing::FindProcessWindow(GetCurrentProcessId(), className, false);
}

struct BoxSeen {
    std::wstring caption;
    std::wstring text;
    bool errorIcon = false;
};

// Message boxes that the flow under test shows in this process are read and answered with OK, so
// that a flow that shows one does not wait for a user.
class BoxWatcher {
public:
    BoxWatcher() : thread_([this] { Run(); }) {}
    ~BoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<BoxSeen> Boxes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }

private:
    void Run() {
        HICON errorIcon = LoadIconW(nullptr, IDI_ERROR);
        while (!stop_) {
            HWND box = FindOwnWindow(L"#32770");
            if (box != nullptr && IsWindowVisible(box)) {
                const MessageBoxParts parts = ReadMessageBoxParts(box);
                BoxSeen seen;
                seen.caption = parts.caption;
                seen.text = parts.text;
                const auto icon =
                    reinterpret_cast<HICON>(SendMessageW(parts.iconControl, STM_GETICON, 0, 0));
                seen.errorIcon = icon != nullptr && icon == errorIcon;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    boxes_.push_back(seen);
                }
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
                while (!stop_ && IsWindow(box)) {
                    Sleep(10);
                }
            }
            Sleep(10);
        }
    }

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<BoxSeen> boxes_;
    std::thread thread_;
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};
struct HookTraits {
    using Handle = HHOOK;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { UnhookWindowsHookEx(h); }
};

// The window-procedure hook of tests/installer/window_log_hook.cpp, set on one thread of another
// process for the length of a scope. That thread then logs its windows' creation, showing,
// closing and destruction to window-log.txt in its process's current directory.
class WindowLogHook {
public:
    explicit WindowLogHook(DWORD threadId)
        : module_(
              LoadLibraryW((TestBinaryFolder() + L"testinstaller\\window-log-hook.dll").c_str())) {
        if (module_) {
            auto proc = reinterpret_cast<HOOKPROC>(
                reinterpret_cast<void*>(GetProcAddress(module_.Get(), "WindowLogProc")));
            if (proc != nullptr) {
                hook_.Reset(SetWindowsHookExW(WH_CALLWNDPROC, proc, module_.Get(), threadId));
            }
        }
    }
    bool Set() const { return hook_.Valid(); }

private:
    UniqueHandle<ModuleTraits> module_;  // released after the hook
    UniqueHandle<HookTraits> hook_;
};

struct WindowEvent {
    std::string event;
    std::string className;
    std::string title;
    std::string rect;  // left,top,right,bottom on the screen
};

std::vector<WindowEvent> ReadWindowLog(const AppFolder& app) {
    std::vector<WindowEvent> events;
    for (const std::string& line : Lines(ReadBytes(app.PathOf(L"window-log.txt")))) {
        std::vector<std::string> fields;
        size_t from = 0;
        for (;;) {
            const size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) {
                break;
            }
            from = tab + 1;
        }
        if (fields.size() == 4) {
            events.push_back({fields[0], fields[1], fields[2], fields[3]});
        }
    }
    return events;
}

// The thread of a visible top-level window of the process of this class; 0 when there is none.
DWORD WindowThread(DWORD processId, const wchar_t* className) {
    const HWND window = testing::FindProcessWindow(processId, className, true);
    return window != nullptr ? GetWindowThreadProcessId(window, nullptr) : 0;
}

AppConfig TestConfig() {
    AppConfig config;
    config.name = "installer test";
    config.title = "Castle Run \xC3\xA9";  // "Castle Run é"
    config.downloadingMessage = "Fetching the runtime \xE2\x80\xA6";
    config.installWebView2Message = "Install?";
    config.installWebView2FailedMessage = "Failed.";
    return config;
}

// Not the stock application icon, so that its way to the window class can be seen.
HICON TestIcon() {
    return LoadIconW(nullptr, IDI_WARNING);
}

void RunFlow(const std::wstring& dataFolder, const std::wstring& url,
             const AppConfig& config = TestConfig()) {
    RunRuntimeInstallerFrom(GetModuleHandleW(nullptr), Utf8(dataFolder), config, TestIcon(), url);
}

int32_t ScaleBy150(int32_t value) {
    return ScaleWithFactor(value, 1.5f);
}

int32_t ScaleBy125(int32_t value) {
    return ScaleWithFactor(value, 1.25f);
}

int32_t ScaleBy100(int32_t value) {
    return ScaleWithFactor(value, 1.0f);
}

// ---------------------------------------------------------------------------------------------
// Through the real executable.

std::string PackageFor(const std::wstring& name) {
    return R"({"name":")" + Utf8(name) +
           R"(","window":{"title":"Castle Run"},"messages":{"install-webview2":"Get it now",)"
           R"("downloading":"Fetching the runtime","install-webview2-failed":"Still missing"}})";
}

// Runs the host without a runtime: the install prompt, then the progress window shown and closed
// again, then the failure text and exit code 1.
void ExpectInstallAttemptThatFails(const AppFolder& app) {
    HostProcess host(app);
    ASSERT_TRUE(host.Started());
    EXPECT_EQ(host.WaitForMessageBox(),
              (MessageBoxSeen{L"Castle Run", L"Get it now", MB_ICONINFORMATION}))
        << "no install prompt";
    // The prompt's thread is the UI thread, which goes on to run the installer once it is
    // answered: from now on it logs what its windows go through.
    const DWORD uiThread = WindowThread(host.Id(), L"#32770");
    ASSERT_NE(uiThread, 0u);
    WindowLogHook hook(uiThread);
    ASSERT_TRUE(hook.Set());
    host.PressOk();

    auto failed = host.DismissMessageBox();
    ASSERT_TRUE(failed.has_value()) << "no failure message";
    EXPECT_EQ(failed->caption, L"Castle Run");
    EXPECT_EQ(failed->text, L"Still missing");
    EXPECT_EQ(failed->icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(host.WaitForExit(), 1u);
    EXPECT_EQ(app.RuntimeCalls("GetAvailableCoreWebView2BrowserVersionString").size(), 2u);
    EXPECT_TRUE(app.RuntimeCalls("CreateCoreWebView2EnvironmentWithOptions").empty());

    // The progress window: created at its place with the configured title, shown, closed (by the
    // download thread, once the download has failed) and destroyed, all before the failure text.
    const std::vector<WindowEvent> log = ReadWindowLog(app);
    std::vector<std::string> progress;
    size_t progressDestroyed = log.size();
    size_t failureBoxCreated = log.size();
    bool barCreated = false;
    for (size_t i = 0; i < log.size(); ++i) {
        const WindowEvent& e = log[i];
        if (e.className == "WebView2Setup") {
            progress.push_back(e.event);
            EXPECT_EQ(e.title, "Fetching the runtime");
            EXPECT_EQ(e.rect, "810,495,1110,585");
            if (e.event == "destroy") {
                progressDestroyed = i;
            }
        } else if (e.className == "msctls_progress32" && e.event == "create") {
            barCreated = true;
        } else if (e.className == "#32770" && e.event == "create" &&
                   failureBoxCreated == log.size()) {
            failureBoxCreated = i;
        }
    }
    EXPECT_EQ(progress, (std::vector<std::string>{"create", "show", "close", "destroy"}));
    EXPECT_TRUE(barCreated);
    EXPECT_LT(progressDestroyed, failureBoxCreated);
}

TEST(RuntimeInstallerHost, FailedVendorDownloadRunsNothingAndReportsTheFailure) {
    // A bootstrapper left from an earlier attempt lies in the data folder; it must not run.
    const std::wstring name = UniqueName(L"vandrel-installer-host");
    ScopedFolder data(LocalAppData() + L"\\" + name);
    ASSERT_TRUE(CreateDirectoryW(data.Path().c_str(), nullptr));
    const std::wstring stale = data.Path() + L"\\" + kTarget;
    ASSERT_TRUE(CopyFileW(FakeBootstrapperPath().c_str(), stale.c_str(), FALSE));

    AppFolder app;
    app.Write(L"package.json", PackageFor(name));
    ExpectInstallAttemptThatFails(app);

    EXPECT_FALSE(Exists(stale)) << "the stale bootstrapper is still there";
    EXPECT_FALSE(Exists(data.Path() + L"\\" + kRunRecord)) << "the stale bootstrapper ran";
    // The player log says what happened, with the download's code.
    const std::string log = ReadBytes(data.Path() + L"\\vandrel.log");
    EXPECT_NE(log.find("warn runtime no runtime installed: running its installer"),
              std::string::npos) << log;
    EXPECT_NE(log.find("info runtime runtime installer: the bootstrapper's download failed (0x"),
              std::string::npos) << log;
    EXPECT_NE(log.find("error runtime the runtime is still missing after its installer ran"),
              std::string::npos) << log;
}

TEST(RuntimeInstallerHost, NameWithABackslashGetsNestedDataFolders) {
    const std::wstring outer = UniqueName(L"vandrel-installer-studio");
    ScopedFolder data(LocalAppData() + L"\\" + outer);
    ASSERT_FALSE(Exists(data.Path()));

    AppFolder app;
    app.Write(L"package.json", PackageFor(outer + L"\\\\Game"));
    ExpectInstallAttemptThatFails(app);

    EXPECT_TRUE(IsFolder(data.Path() + L"\\Game"));
}

// ---------------------------------------------------------------------------------------------
// In-process, against a server on the loopback interface.

TEST(RuntimeInstallerFlow, DownloadsRunsAndWaitsForTheBootstrapperInTheDataFolder) {
    const std::string bootstrapper = ReadBytes(FakeBootstrapperPath());
    ASSERT_FALSE(bootstrapper.empty());
    LoopbackServer server({200, "OK", bootstrapper});
    ASSERT_TRUE(server.Listening());

    AppFolder app;  // without a runtime until the bootstrapper has run
    app.Write(L"package.json", R"({"name":"installed app"})");
    TempFolder temp;
    const std::wstring data = temp.Path() + L"\\User Data";  // not there yet
    {
        ScopedEnvironment runtimeFolder(kRuntimeFolderVariable, app.Path());
        BoxWatcher boxes;
        RunFlow(data, server.Url("/setup/bootstrapper.exe"));
        // Waited for: the bootstrapper's last act is done when the flow returns.
        EXPECT_TRUE(Exists(data + L"\\" + kFinishedMarker));
        EXPECT_TRUE(boxes.Boxes().empty());
    }
    EXPECT_EQ(FindOwnWindow(L"WebView2Setup"), nullptr);
    EXPECT_EQ(server.Requests(), std::vector<std::string>{"GET /setup/bootstrapper.exe HTTP/1.1"});
    const std::string downloaded = ReadBytes(data + L"\\" + kTarget);
    EXPECT_TRUE(downloaded == bootstrapper)
        << "downloaded " << downloaded.size() << " bytes of " << bootstrapper.size();

    const std::vector<std::string> record = Lines(ReadBytes(data + L"\\" + kRunRecord));
    ASSERT_EQ(record.size(), 2u);
    // Started with the application name and an empty command line, so the program gets no
    // arguments. Windows hands it the empty command line as it is; Wine makes one out of the
    // application name in quotes. Either way there is nothing after the program's own name.
    const std::string quotedName = "\"" + Utf8(data + L"\\" + kTarget) + "\"";
    EXPECT_TRUE(record[0].empty() || record[0] == quotedName) << record[0];
    EXPECT_EQ(record[1], Utf8(data));
    EXPECT_TRUE(Exists(app.PathOf(L"evergreen-runtime.txt")));

    // The runtime is present now: the host starts normally.
    HostProcess(app).ExpectQuietRunThenClose();
    const auto checks = app.RuntimeCalls("GetAvailableCoreWebView2BrowserVersionString");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_TRUE(checks[0]["found"].get<bool>());
}

// What the progress window looked like while the download was held up.
struct ProgressWindowState {
    bool found = false;
    std::wstring title;
    std::wstring className;
    RECT window{};
    RECT client{};
    RECT bar{};  // in client coordinates
    bool barFound = false;
    LONG style = 0;
    LRESULT rangeLow = -1;
    LRESULT rangeHigh = -1;
    LRESULT step = -1;
    ULONG_PTR icon = 0;
    ULONG_PTR smallIcon = 0;
    ULONG_PTR cursor = 0;
    ULONG_PTR background = 0;
    DWORD classStyle = 0;
};

ProgressWindowState ReadProgressWindow(LoopbackServer& server) {
    ProgressWindowState state;
    // The request comes in after the window, its bar and the bar's range exist.
    if (!server.WaitForRequest()) {
        return state;
    }
    HWND window = FindOwnWindow(L"WebView2Setup");
    if (window == nullptr) {
        return state;
    }
    state.found = true;
    wchar_t text[256] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    state.title = text;
    GetClassNameW(window, text, ARRAYSIZE(text));
    state.className = text;
    GetWindowRect(window, &state.window);
    GetClientRect(window, &state.client);
    state.style = GetWindowLongW(window, GWL_STYLE);
    state.icon = GetClassLongPtrW(window, GCLP_HICON);
    state.smallIcon = GetClassLongPtrW(window, GCLP_HICONSM);
    state.cursor = GetClassLongPtrW(window, GCLP_HCURSOR);
    state.background = GetClassLongPtrW(window, GCLP_HBRBACKGROUND);
    state.classStyle = static_cast<DWORD>(GetClassLongPtrW(window, GCL_STYLE));
    HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
    if (bar != nullptr) {
        state.barFound = true;
        GetWindowRect(bar, &state.bar);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&state.bar), 2);
        PBRANGE range{};
        SendMessageW(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
        state.rangeLow = range.iLow;
        state.rangeHigh = range.iHigh;
        state.step = SendMessageW(bar, PBM_GETSTEP, 0, 0);
    }
    return state;
}

TEST(RuntimeInstallerFlow, ProgressWindowIsCentredAtItsSizeWithTheBarInset) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 96);
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);

    LoopbackServer server({404, "Not Found", "gone"}, /*hold=*/true);
    ASSERT_TRUE(server.Listening());
    TempFolder temp;
    ProgressWindowState state;
    std::thread reader([&] {
        state = ReadProgressWindow(server);
        server.Release();
    });
    BoxWatcher boxes;
    RunFlow(temp.Path() + L"\\data", server.Url("/held"));
    reader.join();

    ASSERT_TRUE(state.found);
    EXPECT_EQ(state.className, L"WebView2Setup");
    EXPECT_EQ(state.title, L"Fetching the runtime \u2026");
    EXPECT_EQ(state.window.left, 810);
    EXPECT_EQ(state.window.top, 495);
    EXPECT_EQ(state.window.right - state.window.left, 300);
    EXPECT_EQ(state.window.bottom - state.window.top, 90);
    EXPECT_NE(state.style & WS_VISIBLE, 0);
    EXPECT_EQ(state.style & WS_CAPTION, static_cast<LONG>(WS_CAPTION));
    EXPECT_NE(state.style & WS_SYSMENU, 0);
    EXPECT_NE(state.style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(state.style & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(state.style & WS_THICKFRAME, 0);
    EXPECT_EQ(state.classStyle, static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(state.background, static_cast<ULONG_PTR>(COLOR_MENU + 1));
    EXPECT_EQ(state.icon, reinterpret_cast<ULONG_PTR>(LoadIconW(nullptr, IDI_WARNING)));
    EXPECT_EQ(state.smallIcon, reinterpret_cast<ULONG_PTR>(LoadIconW(nullptr, IDI_WARNING)));
    EXPECT_EQ(state.cursor, reinterpret_cast<ULONG_PTR>(LoadCursorW(nullptr, IDC_ARROW)));

    ASSERT_TRUE(state.barFound);
    EXPECT_EQ(state.bar.left, state.client.left + 10);
    EXPECT_EQ(state.bar.top, state.client.top + 10);
    EXPECT_EQ(state.bar.right, state.client.right - 10);
    EXPECT_EQ(state.bar.bottom, state.client.bottom - 10);
    EXPECT_EQ(state.rangeLow, 0);
    EXPECT_EQ(state.rangeHigh, 100);
    EXPECT_EQ(state.step, 1);

    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(FindOwnWindow(L"WebView2Setup"), nullptr);
}

// The window is scale(300) by scale(90) in the middle of the screen; the bar is inset by scale(10)
// and is the client's size less scale(20), each scaled on its own.
TEST(RuntimeInstallerLayout, CentredWindowAndInsetBarAtEachScale) {
    struct Case {
        const char* label;
        int screenWidth;
        int screenHeight;
        ScaleFunction scale;
        std::array<int, 4> window;  // x, y, width, height
        RECT client;
        std::array<LONG, 4> bar;  // left, top, width, height
    };
    const Case cases[] = {
        {"100%", 1920, 1080, ScaleBy100, {810, 495, 300, 90}, {0, 0, 284, 51}, {10, 10, 264, 31}},
        // y = 540 - 135 / 2, the half truncated.
        {"150%", 1920, 1080, ScaleBy150, {735, 473, 450, 135}, {0, 0, 434, 96}, {15, 15, 404, 66}},
        // 375 by 113 (112.5 rounded up). Odd screen sizes and sizes halve separately:
        // 1921 / 2 - 375 / 2 = 960 - 187, and 1081 / 2 - 113 / 2 = 540 - 56. The inset 10 gives
        // 13 and the shrink 20 gives 25.
        {"125%", 1921, 1081, ScaleBy125, {773, 484, 375, 113}, {5, 7, 105, 57}, {18, 20, 75, 25}},
        // A screen smaller than the window: the halves truncate toward zero, not downwards.
        {"125%, tiny screen",
         1,
         1,
         ScaleBy125,
         {-187, -56, 375, 113},
         {5, 7, 105, 57},
         {18, 20, 75, 25}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const SetupWindowLayout window = LayoutSetupWindow(c.screenWidth, c.screenHeight, c.scale);
        EXPECT_EQ((std::array{window.x, window.y, window.width, window.height}), c.window);
        const RECT bar = LayoutProgressBar(c.client, c.scale);
        EXPECT_EQ((std::array{bar.left, bar.top, bar.right, bar.bottom}), c.bar);
    }
}

TEST(RuntimeInstallerFlow, FailedDownloadNeverRunsAStaleBootstrapper) {
    const std::string bootstrapper = ReadBytes(FakeBootstrapperPath());
    ASSERT_FALSE(bootstrapper.empty());
    struct Case {
        const char* name;
        int status;  // 0: a closed port
    };
    for (const Case& c : {Case{"not found", 404}, Case{"closed port", 0}}) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const std::wstring data = temp.Path() + L"\\data";
        ASSERT_TRUE(CreateDirectoryW(data.c_str(), nullptr));
        const std::wstring target = data + L"\\" + kTarget;
        ASSERT_TRUE(CopyFileW(FakeBootstrapperPath().c_str(), target.c_str(), FALSE));

        std::unique_ptr<LoopbackServer> server;
        std::wstring url;
        if (c.status != 0) {
            server = std::make_unique<LoopbackServer>(Reply{c.status, "Not Found", "no such file"});
            ASSERT_TRUE(server->Listening());
            url = server->Url("/missing.exe");
        } else {
            url = L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/setup.exe";
        }
        BoxWatcher boxes;
        RunFlow(data, url);

        if (server) {
            EXPECT_EQ(server->Requests(), std::vector<std::string>{"GET /missing.exe HTTP/1.1"});
        }
        EXPECT_FALSE(Exists(data + L"\\" + kRunRecord)) << "a bootstrapper ran";
        const bool present = Exists(target);
        if (c.status == 0) {
            EXPECT_FALSE(present) << "the stale bootstrapper is still there";
        } else if (present) {
            // The system's downloader counts a 404 answer that has a body as a finished download
            // and stores the body: the stale program has been replaced by text, which cannot be
            // started.
            EXPECT_EQ(ReadBytes(target), "no such file");
        }
        EXPECT_TRUE(boxes.Boxes().empty());
    }
}

TEST(RuntimeInstallerFlow, CreatesEveryMissingLevelOfTheDataFolder) {
    LoopbackServer server({404, "Not Found", ""});
    ASSERT_TRUE(server.Listening());
    TempFolder temp;
    const std::wstring data = temp.Path() + L"\\Studio\\Game";
    BoxWatcher boxes;
    RunFlow(data, server.Url("/setup.exe"));
    EXPECT_TRUE(IsFolder(data));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(RuntimeInstallerFlow, DataFolderThatCannotBeMadeIsReportedAndNothingIsFetched) {
    LoopbackServer server({200, "OK", "x"});
    ASSERT_TRUE(server.Listening());
    TempFolder temp;
    const std::wstring file = temp.Path() + L"\\taken";
    std::ofstream(std::filesystem::path(file)) << "a file, not a folder";
    for (const std::wstring& data : {file, file + L"\\below"}) {
        SCOPED_TRACE(Utf8(data));
        BoxWatcher boxes;
        RunFlow(data, server.Url("/setup.exe"));
        const std::vector<BoxSeen> seen = boxes.Boxes();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, L"Castle Run \u00e9");
        EXPECT_EQ(seen[0].text, L"Failed to create user data directory");
        EXPECT_TRUE(seen[0].errorIcon);
    }
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(FindOwnWindow(L"WebView2Setup"), nullptr);
}

TEST(RuntimeInstallerFlow, RunsAgainInTheSameProcess) {
    // The window class stays registered after the first run; the second run still shows its
    // window and downloads.
    LoopbackServer server({404, "Not Found", ""});
    ASSERT_TRUE(server.Listening());
    TempFolder temp;
    BoxWatcher boxes;
    RunFlow(temp.Path() + L"\\first", server.Url("/first"));
    RunFlow(temp.Path() + L"\\second", server.Url("/second"));
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{"GET /first HTTP/1.1", "GET /second HTTP/1.1"}));
    EXPECT_TRUE(boxes.Boxes().empty());
    WNDCLASSEXW registered{};
    registered.cbSize = sizeof(registered);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"WebView2Setup", &registered));
    EXPECT_EQ(registered.lpfnWndProc, SetupWindowProc);
}

// ---------------------------------------------------------------------------------------------
// The status callback.

class ProgressBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&controls));
        bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_POPUP, 0, 0, 200, 20, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(bar_, nullptr);
        SendMessageW(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    }
    void TearDown() override {
        if (bar_ != nullptr) {
            DestroyWindow(bar_);
        }
    }
    LRESULT Position() const { return SendMessageW(bar_, PBM_GETPOS, 0, 0); }

    HWND bar_ = nullptr;
};

TEST_F(ProgressBarTest, ReportsMoveTheBarToThePercentage) {
    struct Step {
        ULONG progress;
        ULONG maximum;
        ULONG status;
        int position;  // where the bar stands after the report
    };
    struct Case {
        const char* label;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"percentage",
         {{1000000, 3000000, BINDSTATUS_DOWNLOADINGDATA, 33},
          {3000000, 3000000, BINDSTATUS_ENDDOWNLOADDATA, 100},
          {2, 3, 0, 66}}},
        // 1011651514 * 100 / 3065610651 is 32.9999... exactly and in double precision, but 33
        // in single precision.
        {"single precision", {{1011651514u, 3065610651u, 0, 33}}},
        {"no maximum changes nothing",
         {{1000000, 3000000, 0, 33}, {2000000, 0, BINDSTATUS_DOWNLOADINGDATA, 33}, {0, 0, 0, 33}}},
    };
    for (const Case& c : cases) {
        const auto progress = ComPtr<DownloadProgress>::Adopt(new DownloadProgress(bar_));
        IBindStatusCallback* callback = progress.Get();
        for (const Step& step : c.steps) {
            EXPECT_EQ(callback->OnProgress(step.progress, step.maximum, step.status, nullptr), S_OK)
                << c.label;
            EXPECT_EQ(Position(), step.position) << c.label << " after " << step.progress;
        }
    }
}

TEST(DownloadProgress, AnswersOnlyUnknownAndBindStatusCallback) {
    const auto progress = ComPtr<DownloadProgress>::Adopt(new DownloadProgress(nullptr));
    IBindStatusCallback* callback = progress.Get();
    void* object = nullptr;
    EXPECT_EQ(callback->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(callback));
    object = nullptr;
    EXPECT_EQ(callback->QueryInterface(IID_IBindStatusCallback, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(callback));
    for (const IID* iid : {&IID_IHttpNegotiate, &IID_IServiceProvider, &IID_IAuthenticate,
                           &IID_IDispatch, &IID_IBindStatusCallbackEx, &IID_IWindowForBindingUI}) {
        object = callback;
        EXPECT_EQ(callback->QueryInterface(*iid, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
    }
}

TEST(DownloadProgress, CountsItsReferences) {
    IBindStatusCallback* callback = new DownloadProgress(nullptr);
    EXPECT_EQ(callback->AddRef(), 2u);
    EXPECT_EQ(callback->Release(), 1u);
    EXPECT_EQ(callback->Release(), 0u);  // and gone
}

TEST(DownloadProgress, OtherMethodsAnswerAsTheTableSays) {
    const auto progress = ComPtr<DownloadProgress>::Adopt(new DownloadProgress(nullptr));
    IBindStatusCallback* callback = progress.Get();
    LONG priority = 0;
    DWORD flags = 0;
    BINDINFO info{};
    info.cbSize = sizeof(info);
    FORMATETC format{};
    STGMEDIUM medium{};
    EXPECT_EQ(callback->OnStartBinding(0, nullptr), E_NOTIMPL);
    EXPECT_EQ(callback->GetPriority(&priority), E_NOTIMPL);
    EXPECT_EQ(callback->OnLowResource(0), S_OK);
    EXPECT_EQ(callback->OnProgress(5, 0, 0, nullptr), S_OK);  // no bar: nothing to move
    EXPECT_EQ(callback->OnStopBinding(S_OK, nullptr), E_NOTIMPL);
    EXPECT_EQ(callback->GetBindInfo(&flags, &info), E_NOTIMPL);
    EXPECT_EQ(callback->OnDataAvailable(BSCF_LASTDATANOTIFICATION, 0, &format, &medium), E_NOTIMPL);
    EXPECT_EQ(callback->OnObjectAvailable(IID_IUnknown, nullptr), E_NOTIMPL);
}

}  // namespace
}  // namespace vandrel::testing
