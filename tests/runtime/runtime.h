// The stand-in runtime's own machinery: the call log, the runtime options, and the message-only
// window through which completions and the scenario reach the host's message loop.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

namespace vandrel::testruntime {

using nlohmann::json;

// This DLL.
HMODULE OwnModule();
// Folder of this DLL, with a trailing backslash.
std::wstring OwnFolder();
// Appends `entry`, on one line, to webview2-calls.log beside the DLL.
void Log(const json& entry);
// "0x80004005".
std::string HresultText(HRESULT result);

// Keeps `stream`, one of the last `limit` response bodies, until this DLL is unloaded; then each
// kept stream is read once more from its start, and logged, before it is released.
void HoldStream(IStream* stream, size_t limit);

// runtime-options.json beside the DLL, read each time an environment is asked for.
struct RuntimeOptions {
    HRESULT environmentResult = S_OK;
    bool environmentObject = true;
    HRESULT controllerResult = S_OK;
    bool controllerObject = true;
    std::set<std::string> withheld;  // interface names that QueryInterface refuses
    size_t holdStreams = 0;  // response bodies kept until the runtime is unloaded

    static RuntimeOptions Read();
};

class WebView;

// One environment's runtime, tied to the thread that asked for the environment: it owns a
// message-only window on that thread, runs posted tasks from the thread's message loop, and
// plays scenario.jsonl on a webview. Shared by the environment, its controllers and webviews and
// by the tasks still waiting; it must be released on that thread.
class Runtime : public std::enable_shared_from_this<Runtime> {
public:
    // Null when the window cannot be made.
    static std::shared_ptr<Runtime> Create(RuntimeOptions options);
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    const RuntimeOptions& Options() const { return options_; }
    // Runs `task` later, from the message loop, never inside this call.
    void Post(std::function<void()> task);
    // Starts (or goes on) playing the scenario on `webview`, which has navigated.
    void Play(WebView* webview);
    // Stops playing on `webview` (closed or destroyed).
    void Stop(WebView* webview);
    // The browser process of this environment has exited: its objects refuse their calls.
    void EndBrowserProcess() { gone_ = true; }
    bool BrowserGone() const { return gone_; }

private:
    explicit Runtime(RuntimeOptions options) : options_(std::move(options)) {}
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Tick();

    RuntimeOptions options_;
    HWND window_ = nullptr;
    std::deque<std::function<void()>> tasks_;
    WebView* playing_ = nullptr;  // not owned: the webview stops playing when it goes
    bool busy_ = false;           // a command is being played (handlers may pump messages)
    bool gone_ = false;           // the browser process has exited
    std::optional<size_t> sleeping_;  // index of a "sleep" still running
    ULONGLONG wakeAt_ = 0;
};

}  // namespace vandrel::testruntime
