// A WV2ExtManager.dll for the tests. It records every call it receives, one JSON object a line,
// in extension-calls.log beside itself, and behaves as extension-config.json beside it says:
//   {"componentIds": ["a", "b"]}   what "Init" returns (absent: "Init" returns null)
//   {"componentIdBytes": [[98, 255]]}  more ids, given byte by byte (for ids that are not UTF-8)
//   {"throwOnMessage": true}        "OnExtensionMessage" throws after recording the call
//   {"postDuringInit": "{...}"}     "Init" tries PostJsonToPage with this text
// An "extension-message" whose "reply" member is a JSON value is answered through the host with
// {"type":"extension-reply","reply":<value>}; one with a "resolve" member (a folder token) is
// answered with {"type":"extension-resolved","token":...,"path":<ResolveFolderToken's text>}.
// Built in variants that leave out exports (VANDREL_TEST_EXTENSION_NO_INIT: only the other
// three; VANDREL_TEST_EXTENSION_MESSAGE_ONLY: only "OnExtensionMessage").
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

// The host's callback interface, laid out as the library interface fixes it. It must not be
// declared in an unnamed namespace: the compiler would then see every class that could implement
// it, find none, and compile the calls through it away.
class IWrapperApp {
public:
    virtual void PostJsonToPage(const char* json) = 0;
    virtual const char* ResolveFolderToken(const char* token) = 0;
};

namespace {

using nlohmann::json;

IWrapperApp* app = nullptr;
std::vector<std::string> ids;
std::vector<const char*> idPointers;

std::string OwnFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&OwnFolder), &self);
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(self, path, ARRAYSIZE(path));
    std::wstring folder(path);
    folder = folder.substr(0, folder.rfind(L'\\') + 1);
    const int n = WideCharToMultiByte(CP_UTF8, 0, folder.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, folder.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
    return out;
}

void Log(const json& entry) {
    std::ofstream(std::filesystem::path(Wide(OwnFolder() + "extension-calls.log")),
                  std::ios::app | std::ios::binary)
        << entry.dump(-1, ' ', false, json::error_handler_t::replace) << "\n";
}

json Config() {
    std::ifstream in(std::filesystem::path(Wide(OwnFolder() + "extension-config.json")),
                     std::ios::binary);
    if (!in) {
        return json::object();
    }
    return json::parse(in, nullptr, false);
}

// Whether this process has a main window yet.
bool HasMainWindow() {
    bool found = false;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            wchar_t name[64] = {};
            GetClassNameW(window, name, ARRAYSIZE(name));
            if (process == GetCurrentProcessId() && wcscmp(name, L"WindowsWebview2Wrapper") == 0) {
                *reinterpret_cast<bool*>(param) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

json Text(const char* text) {
    return text != nullptr ? json(text) : json(nullptr);
}

}  // namespace

extern "C" {

#if !defined(VANDREL_TEST_EXTENSION_NO_INIT) && !defined(VANDREL_TEST_EXTENSION_MESSAGE_ONLY)
__declspec(dllexport) const char** Init(const char* exeFolder, const char* webSubfolder,
                                        const char* userDataFolder, IWrapperApp* wrapperApp) {
    app = wrapperApp;
    const json config = Config();
    Log({{"call", "Init"},
         {"exeFolder", Text(exeFolder)},
         {"webSubfolder", Text(webSubfolder)},
         {"userDataFolder", Text(userDataFolder)},
         {"app", wrapperApp != nullptr},
         {"mainWindowExists", HasMainWindow()}});
    if (config.contains("postDuringInit") && app != nullptr) {
        app->PostJsonToPage(config["postDuringInit"].get<std::string>().c_str());
    }
    if (!config.contains("componentIds")) {
        return nullptr;
    }
    for (const auto& id : config["componentIds"]) {
        ids.push_back(id.get<std::string>());
    }
    for (const auto& bytes : config.value("componentIdBytes", json::array())) {
        std::string id;
        for (const auto& byte : bytes) {
            id += static_cast<char>(byte.get<int>());
        }
        ids.push_back(id);
    }
    for (const std::string& id : ids) {
        idPointers.push_back(id.c_str());
    }
    idPointers.push_back(nullptr);
    return idPointers.data();
}
#endif

#if !defined(VANDREL_TEST_EXTENSION_MESSAGE_ONLY)
__declspec(dllexport) void Release() {
    Log({{"call", "Release"}});
}

__declspec(dllexport) void OnMainWindowCreated(HWND mainWindow) {
    wchar_t className[64] = {};
    GetClassNameW(mainWindow, className, ARRAYSIZE(className));
    Log({{"call", "OnMainWindowCreated"},
         {"window", reinterpret_cast<uintptr_t>(mainWindow)},
         {"isWindow", IsWindow(mainWindow) != FALSE},
         {"visible", IsWindowVisible(mainWindow) != FALSE},
         {"className", className == std::wstring(L"WindowsWebview2Wrapper")}});
}
#endif

__declspec(dllexport) void OnExtensionMessage(const char* messageJson) {
    const std::string text = messageJson != nullptr ? messageJson : "";
    json bytes = json::array();
    for (unsigned char c : text) {
        bytes.push_back(c);
    }
    Log({{"call", "OnExtensionMessage"}, {"bytes", bytes}});
    if (Config().value("throwOnMessage", false)) {
        throw std::runtime_error("the test extension throws");
    }
    const json message = json::parse(text, nullptr, false);
    if (app == nullptr || !message.is_object()) {
        return;
    }
    if (message.contains("reply")) {
        app->PostJsonToPage(
            json{{"type", "extension-reply"}, {"reply", message["reply"]}}.dump().c_str());
    }
    if (message.contains("resolve")) {
        const std::string token = message["resolve"].get<std::string>();
        const char* path = app->ResolveFolderToken(token.c_str());
        app->PostJsonToPage(json{{"type", "extension-resolved"},
                                 {"token", token},
                                 {"path", path != nullptr ? json(path) : json(nullptr)}}
                                .dump()
                                .c_str());
    }
}

}  // extern "C"
