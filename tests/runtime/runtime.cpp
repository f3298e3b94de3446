#include <windows.h>

#include "runtime.h"

#include <cstdio>

#include "browser.h"
#include "web_resource.h"

namespace vandrel::testruntime {

namespace {

constexpr wchar_t kWindowClass[] = L"VandrelTestRuntimeWindow";
constexpr UINT kRunTask = WM_APP + 1;
constexpr UINT_PTR kScenarioTimer = 1;
constexpr UINT kScenarioPollMs = 10;

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(file);
    return text;
}

// An HRESULT given as text ("0x80004005") or as a number.
HRESULT ParseHresult(const json& value) {
    if (value.is_string()) {
        return static_cast<HRESULT>(std::stoul(value.get<std::string>(), nullptr, 0));
    }
    return static_cast<HRESULT>(static_cast<uint32_t>(value.get<int64_t>()));
}

// Response bodies kept past the host's own shutdown, as the runtime has been seen to keep them.
// Made on first use and never destroyed by the C runtime: DllMain takes them apart itself.
std::deque<IStream*>& HeldStreams() {
    static auto* held = new std::deque<IStream*>();
    return *held;
}

// Reads every kept body again from its start (the host is gone by now), logs it, releases it.
void ReleaseHeldStreams() {
    auto& held = HeldStreams();
    for (size_t i = 0; i < held.size(); ++i) {
        IStream* stream = held[i];
        LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        const std::string bytes = ReadToEnd(stream);
        std::string hex;
        static const char kDigits[] = "0123456789abcdef";
        for (unsigned char byte : bytes) {
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 0xF];
        }
        Log({{"event", "held-stream"}, {"index", i}, {"bodyHex", hex}, {"bodyLength", bytes.size()}});
        stream->Release();
    }
    held.clear();
}

}  // namespace

void HoldStream(IStream* stream, size_t limit) {
    auto& held = HeldStreams();
    if (stream == nullptr || limit == 0) {
        return;
    }
    stream->AddRef();
    held.push_back(stream);
    while (held.size() > limit) {
        held.front()->Release();
        held.pop_front();
    }
}

// Milliseconds since this process was created.
double SinceProcessStart() {
    FILETIME creation{}, exit{}, kernel{}, user{}, now{};
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(creation)) / 10000.0;
}

double loadedMs = 0;  // when this library was loaded, since the process was created

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        loadedMs = SinceProcessStart();
    }
    if (reason == DLL_PROCESS_DETACH) {
        ReleaseHeldStreams();
        // Unloaded by FreeLibrary (not at process exit): the window class goes with the code.
        if (reserved == nullptr) {
            UnregisterClassW(kWindowClass, instance);
        }
    }
    return TRUE;
}

HMODULE OwnModule() {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&OwnModule), &self);
    return self;
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(OwnModule(), path, ARRAYSIZE(path));
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

// Whether log entries carry their time ("timestamps" in runtime-options.json), read once: the
// first entries come before any environment is asked for.
bool Timestamped() {
    static const bool on = [] {
        const auto text = ReadWholeFile(OwnFolder() + L"runtime-options.json");
        if (!text) {
            return false;
        }
        const json options = json::parse(*text, nullptr, false);
        return options.is_object() && options.value("timestamps", false);
    }();
    return on;
}

void Log(const json& entry) {
    std::string line;
    if (Timestamped()) {
        static bool loadedLogged = false;
        if (!loadedLogged) {
            loadedLogged = true;
            line = json{{"event", "loaded"}, {"ms", loadedMs}}.dump() + "\n";
        }
        json stamped = entry;
        stamped["ms"] = SinceProcessStart();
        line += stamped.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    } else {
        line = entry.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    }
    HANDLE file = CreateFileW((OwnFolder() + L"webview2-calls.log").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

std::string HresultText(HRESULT result) {
    char text[16];
    snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

RuntimeOptions RuntimeOptions::Read() {
    RuntimeOptions options;
    const auto text = ReadWholeFile(OwnFolder() + L"runtime-options.json");
    if (!text) {
        return options;
    }
    try {
        const json given = json::parse(*text);
        if (given.contains("environmentResult")) {
            options.environmentResult = ParseHresult(given["environmentResult"]);
        }
        options.environmentObject = given.value("environmentObject", true);
        if (given.contains("controllerResult")) {
            options.controllerResult = ParseHresult(given["controllerResult"]);
        }
        options.controllerObject = given.value("controllerObject", true);
        for (const auto& name : given.value("withhold", json::array())) {
            options.withheld.insert(name.get<std::string>());
        }
        options.holdStreams = given.value("holdStreams", size_t{0});
    } catch (const std::exception& error) {
        Log({{"event", "error"},
             {"message", std::string("runtime-options.json: ") + error.what()}});
        return RuntimeOptions();
    }
    return options;
}

std::shared_ptr<Runtime> Runtime::Create(RuntimeOptions options) {
    static const ATOM windowClass = [] {
        WNDCLASSEXW description{};
        description.cbSize = sizeof(description);
        description.lpfnWndProc = &Runtime::WindowProc;
        description.hInstance = OwnModule();
        description.lpszClassName = kWindowClass;
        return RegisterClassExW(&description);
    }();
    if (windowClass == 0) {
        return nullptr;
    }
    std::shared_ptr<Runtime> runtime(new Runtime(std::move(options)));
    runtime->window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       OwnModule(), nullptr);
    if (runtime->window_ == nullptr) {
        return nullptr;
    }
    SetWindowLongPtrW(runtime->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(runtime.get()));
    return runtime;
}

Runtime::~Runtime() {
    if (window_ != nullptr) {
        // Should the window outlive this (released on another thread), it no longer finds it.
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void Runtime::Post(std::function<void()> task) {
    tasks_.push_back(std::move(task));
    PostMessageW(window_, kRunTask, 0, 0);
}

void Runtime::Play(WebView* webview) {
    if (playing_ == nullptr) {
        SetTimer(window_, kScenarioTimer, kScenarioPollMs, nullptr);
        // Lines already written play at once, not a poll later.
        Post([self = weak_from_this()] {
            if (const std::shared_ptr<Runtime> runtime = self.lock()) {
                runtime->Tick();
            }
        });
    }
    playing_ = webview;
}

void Runtime::Stop(WebView* webview) {
    if (playing_ == webview) {
        playing_ = nullptr;
        KillTimer(window_, kScenarioTimer);
    }
}

LRESULT CALLBACK Runtime::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* runtime = reinterpret_cast<Runtime*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Each branch leaves `runtime` alone once the work is done: the last reference to it may go
    // with the work, destroying it and this window.
    if (message == kRunTask && runtime != nullptr && !runtime->tasks_.empty()) {
        std::function<void()> task = std::move(runtime->tasks_.front());
        runtime->tasks_.pop_front();
        task();
        return 0;
    }
    if (message == WM_TIMER && wParam == kScenarioTimer && runtime != nullptr) {
        runtime->Tick();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

namespace {

// Where the process is in scenario.jsonl. One for the process, not per environment: after a lost
// browser process the host makes a new environment, whose webview goes on with the next line.
struct ScenarioFile {
    LONGLONG readOffset = 0;  // up to which the file has been read
    std::string partial;      // an incomplete last line
    std::deque<std::string> lines;
    size_t nextIndex = 0;

    void ReadNewLines() {
        HANDLE file = CreateFileW((OwnFolder() + L"scenario.jsonl").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return;
        }
        LARGE_INTEGER offset{};
        offset.QuadPart = readOffset;
        SetFilePointerEx(file, offset, nullptr, FILE_BEGIN);
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            partial.append(buffer, read);
            readOffset += read;
        }
        CloseHandle(file);
        for (size_t end = partial.find('\n'); end != std::string::npos;
             end = partial.find('\n')) {
            std::string line = partial.substr(0, end);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(std::move(line));
            partial.erase(0, end + 1);
        }
    }
};

ScenarioFile& Scenario() {
    static ScenarioFile scenario;
    return scenario;
}

}  // namespace

void Runtime::Tick() {
    if (busy_ || playing_ == nullptr) {
        return;
    }
    // Declared first, released last: playing may drop every other reference to this runtime.
    const std::shared_ptr<Runtime> self = shared_from_this();
    if (sleeping_) {
        if (GetTickCount64() < wakeAt_) {
            return;
        }
        Log({{"event", "done"}, {"index", *sleeping_}});
        sleeping_.reset();
    }
    ScenarioFile& scenario = Scenario();
    scenario.ReadNewLines();
    busy_ = true;
    const auto webview = Ref<WebView>::Share(playing_);
    while (!scenario.lines.empty() && playing_ == webview.Get() && !sleeping_) {
        const size_t index = scenario.nextIndex++;
        const std::string line = std::move(scenario.lines.front());
        scenario.lines.pop_front();
        if (line.find_first_not_of(" \t") != std::string::npos) {
            const json command = json::parse(line, nullptr, false);
            std::string error;
            try {
                if (!command.is_object()) {
                    error = "not a JSON object";
                } else if (command.value("cmd", "") == "sleep") {
                    wakeAt_ = GetTickCount64() + command.value("ms", 0u);
                    sleeping_ = index;
                    continue;
                } else {
                    error = webview->Play(command);
                }
            } catch (const json::exception& problem) {
                error = problem.what();
            }
            if (!error.empty()) {
                Log({{"event", "error"}, {"index", index}, {"message", error}});
            }
        }
        Log({{"event", "done"}, {"index", index}});
    }
    busy_ = false;
}

}  // namespace vandrel::testruntime
