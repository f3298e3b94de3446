#pragma once

#include <windows.h>
#include <shtypes.h>

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vandrel::testing {

// Folder of the running test executable, with a trailing backslash.
std::wstring TestBinaryFolder();

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A fresh app folder under %TEMP% holding vandrel-host.exe and the stand-in WebView2Loader.dll,
// removed again at the end of the test.
class AppFolder {
public:
    AppFolder();
    // An existing folder (with a trailing backslash), such as an installed app's: used as it is
    // and left in place.
    explicit AppFolder(std::wstring existing) : path_(std::move(existing)), owned_(false) {}
    ~AppFolder();
    AppFolder(const AppFolder&) = delete;
    AppFolder& operator=(const AppFolder&) = delete;

    const std::wstring& Path() const { return path_; }  // with a trailing backslash
    std::wstring PathOf(const std::wstring& relative) const { return path_ + relative; }

    void Write(const std::wstring& relative, const std::string& bytes) const;
    void MakeFolder(const std::wstring& relative) const;
    // Puts a build of the test extension (tests/extension: "full", "no-init" or "message-only")
    // beside the host as WV2ExtManager.dll, with its extension-config.json.
    void InstallExtension(const std::string& variant,
                          const nlohmann::json& config = nlohmann::json::object()) const;
    // Every call the test extension recorded so far, in order.
    std::vector<nlohmann::json> ExtensionCalls() const;
    // Makes the stand-in runtime report the installed (evergreen) runtime.
    void InstallEvergreenRuntime() const;
    // Every call the stand-in runtime recorded so far, in order.
    std::vector<nlohmann::json> RuntimeCalls() const;
    // The recorded calls named `call`.
    std::vector<nlohmann::json> RuntimeCalls(const std::string& call) const;

    // The stand-in runtime's switches (runtime-options.json), read when the host asks for an
    // environment. See tests/runtime/README.md.
    void WriteRuntimeOptions(const nlohmann::json& options) const;
    // Appends one scenario command to scenario.jsonl, as a whole line in one write; returns its
    // index, under which the runtime logs {"event":"done","index":N} once it has played it.
    size_t Play(const nlohmann::json& command) const;
    // The first log entry from position `after` on that `match` accepts, polling the log; nullopt
    // on time-out.
    std::optional<nlohmann::json> WaitForCall(std::function<bool(const nlohmann::json&)> match,
                                              DWORD timeoutMs = 10000, size_t after = 0) const;
    // Plays `command` and waits until it is done; the entries logged from the moment it was
    // written up to its "done" entry, or nullopt on time-out.
    std::optional<std::vector<nlohmann::json>> PlayAndWait(const nlohmann::json& command,
                                                           DWORD timeoutMs = 10000) const;

private:
    std::wstring path_;
    bool owned_ = true;
};

struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
    // The standard icon shown: MB_ICONERROR, MB_ICONINFORMATION, ..., or 0 when none was
    // recognised.
    UINT icon = 0;

    friend bool operator==(const MessageBoxSeen& a, const MessageBoxSeen& b) {
        return a.caption == b.caption && a.text == b.text && a.icon == b.icon;
    }
};
void PrintTo(const MessageBoxSeen& box, std::ostream* out);

// The caption, the text and the icon control of a message box, of any process.
// A top-level window of the process of this class (only a visible one with `visibleOnly`); null
// when there is none.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, bool visibleOnly);

struct MessageBoxParts {
    std::wstring caption;
    std::wstring text;
    HWND iconControl = nullptr;
};
MessageBoxParts ReadMessageBoxParts(HWND box);

// An app name unique to this test run and its user-data folder (%LOCALAPPDATA%\<name>), which
// goes, with what the host wrote there, at the end of the test.
class UserData {
public:
    explicit UserData(const std::string& prefix);
    ~UserData();
    UserData(const UserData&) = delete;
    UserData& operator=(const UserData&) = delete;

    const std::string& Name() const { return name_; }
    std::wstring PathOf(const std::wstring& file) const { return folder_ + L"\\" + file; }
    // The whole file; nullopt when it is not there.
    std::optional<std::string> Read(const std::wstring& file) const;
    void Write(const std::wstring& file, const std::string& bytes) const;

private:
    std::string name_;
    std::wstring folder_;
};

// vandrel-host.exe started in an app folder, and what a user would see of it.
class HostProcess {
public:
    // Starts `program` (a file in the folder), the host by default.
    explicit HostProcess(const AppFolder& folder,
                         const std::wstring& program = L"vandrel-host.exe");
    ~HostProcess();  // ends the process if it is still running
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }

    // Waits for a message box of the process and reads it; nullopt on time-out or exit.
    std::optional<MessageBoxSeen> WaitForMessageBox(DWORD timeoutMs = 15000);
    // Presses OK on the message box last returned by WaitForMessageBox.
    void PressOk() { Press(IDOK); }
    // Presses the button `id` (IDOK, IDYES, IDNO...) on that box.
    void Press(int id);
    // Waits for a message box, reads it and presses OK.
    std::optional<MessageBoxSeen> DismissMessageBox(DWORD timeoutMs = 15000);

    // The process's top-level window of this class, visible or not; null on time-out.
    HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs = 15000) const;

    // The exit code, or nullopt when the process is still running after the time-out.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = 15000) const;

    // Expects the host's window to come with no message box (within 300 ms of the window), then
    // closes the window and expects the host to end with 0.
    void ExpectQuietRunThenClose();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    HWND lastBox_ = nullptr;
};

// The app's origin as the host serves it.
inline constexpr char kAppOrigin[] = "https://vandrel.localhost/";

// Polls `done` every few milliseconds until it holds; false on time-out.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// A known folder's path as the platform gives it (no trailing backslash); empty when it has none.
std::wstring KnownFolderPath(const KNOWNFOLDERID& id);

// vandrel-host.exe started in a fresh app folder that has the installed runtime, a package.json
// and a www folder, run up to its first navigation.
class RunningHost {
public:
    // `prepare` adds what the test needs to the folder before the host starts.
    explicit RunningHost(const std::string& package,
                         const nlohmann::json& runtimeOptions = nlohmann::json::object(),
                         bool waitForNavigation = true,
                         const std::function<void(AppFolder&)>& prepare = nullptr);

    // Plays a scenario command and gives the entries logged meanwhile (failing the test on a
    // time-out).
    std::vector<nlohmann::json> Play(const nlohmann::json& command);
    // Plays a message from a page of the app's origin.
    void Message(const nlohmann::json& message);
    // The recorded calls named `call`.
    std::vector<nlohmann::json> Calls(const std::string& call) const {
        return app.RuntimeCalls(call);
    }
    // Closes the window and expects the host to end with exit code 0.
    void Close();

    AppFolder app;
    std::unique_ptr<HostProcess> host;
    HWND window = nullptr;
    std::optional<nlohmann::json> navigation;  // the Navigate call, when waited for
};

}  // namespace vandrel::testing
