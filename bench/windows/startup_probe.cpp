// Times the host's start-up under the stand-in runtime: from the process's creation to the
// loader being loaded, to the environment request, to Navigate, to the first answered request
// and to the window being shown, for an app without a bundle and one with a bundle of 10,000
// files; and, as the floor, a trivial window's start. Prints one table of medians.
//
// usage: startup_probe HOST_EXE STANDIN_LOADER_DLL TRIVIAL_WINDOW_EXE [ROUNDS]
// (HOST_EXE "-": the trivial window alone)
//
// The stand-in (tests/runtime) stamps each log entry with the milliseconds since the process
// was created ("timestamps" in runtime-options.json); the window is looked for every
// millisecond.

#include <windows.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "portable/bundle/bundle_format.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr wchar_t kHostWindowClass[] = L"WindowsWebview2Wrapper";
constexpr wchar_t kTrivialWindowClass[] = L"VandrelTrivialWindow";

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

uint64_t Ticks(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

struct FoundWindow {
    DWORD process;
    const wchar_t* className;
    HWND window = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<FoundWindow*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (process == found->process && IsWindowVisible(window) &&
        wcscmp(name, found->className) == 0) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// Starts `program` in `folder`, waits for its visible window of `className`, and gives the
// milliseconds from the process's creation until then; the window is closed and the process
// awaited. Nullopt when no window came within 30 seconds.
std::optional<double> TimeToWindow(const fs::path& program, const fs::path& folder,
                                   const wchar_t* className) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.wstring().c_str(), &startup, &process)) {
        std::fprintf(stderr, "startup_probe: cannot start %ls (%lu)\n", program.c_str(),
                     GetLastError());
        return std::nullopt;
    }
    std::optional<double> shown;
    FoundWindow found{process.dwProcessId, className};
    for (int wait = 0; wait < 30000 && found.window == nullptr; ++wait) {
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&found));
        if (found.window == nullptr) {
            Sleep(1);
        }
    }
    if (found.window != nullptr) {
        FILETIME creation{}, exit{}, kernel{}, user{}, now{};
        GetSystemTimePreciseAsFileTime(&now);
        GetProcessTimes(process.hProcess, &creation, &exit, &kernel, &user);
        shown = static_cast<double>(Ticks(now) - Ticks(creation)) / 10000.0;
        PostMessageW(found.window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return shown;
}

// The times of the stand-in's first entry of each kind, from its log.
std::map<std::string, double> Milestones(const fs::path& log) {
    std::map<std::string, double> times;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        const json entry = json::parse(line, nullptr, false);
        if (!entry.is_object() || !entry.contains("ms")) {
            continue;
        }
        std::string what;
        if (entry.value("event", "") == "loaded") {
            what = "loader loaded";
        } else if (entry.value("call", "") == "CreateCoreWebView2EnvironmentWithOptions") {
            what = "environment requested";
        } else if (entry.value("call", "") == "Navigate") {
            what = "Navigate";
        } else if (entry.value("event", "") == "response") {
            what = "first request answered";
        }
        if (!what.empty() && times.count(what) == 0) {
            times[what] = entry["ms"].get<double>();
        }
    }
    return times;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// An app folder with the host and the stand-in, whose scenario answers the start page and then
// reports the page's DOM loaded (which shows the window).
fs::path MakeApp(const fs::path& root, const std::string& name, const fs::path& host,
                 const fs::path& loader, size_t bundleFiles) {
    const fs::path folder = root / name;
    fs::remove_all(folder);
    Write(folder / "package.json", R"({"name":"vandrel-startup-probe"})");
    Write(folder / "www/index.html", "<!DOCTYPE html><title>probe</title><p>probe</p>");
    if (bundleFiles > 0) {
        std::vector<std::pair<std::string, std::string>> files;
        for (size_t i = 0; i < bundleFiles; ++i) {
            files.emplace_back("assets/level-" + std::to_string(i % 50) + "/tile_" +
                                   std::to_string(i) + ".png",
                               std::string(200 + i % 3000, static_cast<char>('a' + i % 26)));
        }
        Write(folder / "www/assets.dat", vandrel::EncodeBundle(files));
    }
    fs::copy_file(host, folder / "host.exe");
    fs::copy_file(loader, folder / "WebView2Loader.dll");
    Write(folder / "evergreen-runtime.txt", "");
    Write(folder / "runtime-options.json", R"({"timestamps": true})");
    Write(folder / "scenario.jsonl",
          R"({"cmd":"request","uri":"https://vandrel.localhost/index.html"})"
          "\n"
          R"({"cmd":"dom-content-loaded"})"
          "\n");
    return folder;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: startup_probe HOST_EXE STANDIN_LOADER_DLL TRIVIAL_WINDOW_EXE [ROUNDS]\n");
        return 2;
    }
    const fs::path host = argv[1];
    const fs::path loader = argv[2];
    const fs::path trivial = argv[3];
    const int rounds = argc > 4 ? _wtoi(argv[4]) : 9;
    const fs::path root = fs::temp_directory_path() / "vandrel-startup-probe";

    const std::vector<std::string> milestones = {"loader loaded", "environment requested",
                                                 "Navigate", "first request answered"};
    struct Case {
        std::string name;
        size_t bundleFiles;
    };
    std::printf("| Start-up, ms from process creation (median of %d) |", rounds);
    std::vector<Case> cases = {{"no bundle", 0}, {"bundle of 10,000 files", 10000}};
    if (host == "-") {
        cases.clear();  // the floor alone
    }
    for (const Case& c : cases) {
        std::printf(" %s |", c.name.c_str());
    }
    std::printf("\n|---|---|---|\n");
    std::map<std::string, std::vector<std::string>> rows;
    for (const Case& c : cases) {
        const fs::path folder = MakeApp(root, c.name == "no bundle" ? "plain" : "bundle", host,
                                        loader, c.bundleFiles);
        std::map<std::string, std::vector<double>> times;
        // One round first, not counted: the system caches the files.
        for (int round = -1; round < rounds; ++round) {
            fs::remove(folder / "webview2-calls.log");
            const std::optional<double> shown =
                TimeToWindow(folder / "host.exe", folder, kHostWindowClass);
            if (!shown) {
                std::fprintf(stderr, "startup_probe: the host showed no window\n");
                return 1;
            }
            if (round < 0) {
                continue;
            }
            for (const auto& [what, ms] : Milestones(folder / "webview2-calls.log")) {
                times[what].push_back(ms);
            }
            times["window shown"].push_back(*shown);
        }
        for (const std::string& what : milestones) {
            char cell[32];
            std::snprintf(cell, sizeof cell, "%.1f", Median(times[what]));
            rows[what].push_back(cell);
        }
        char cell[32];
        std::snprintf(cell, sizeof cell, "%.1f", Median(times["window shown"]));
        rows["window shown"].push_back(cell);
    }
    for (const char* what : {"loader loaded", "environment requested", "Navigate",
                             "first request answered", "window shown"}) {
        std::printf("| %s |", what);
        for (const std::string& cell : rows[what]) {
            std::printf(" %s |", cell.c_str());
        }
        std::printf("\n");
    }
    std::vector<double> floor;
    for (int round = -1; round < rounds; ++round) {
        const std::optional<double> shown = TimeToWindow(trivial, root, kTrivialWindowClass);
        if (shown && round >= 0) {
            floor.push_back(*shown);
        }
    }
    std::printf("| a trivial window shown (the floor) | %.1f | |\n", Median(floor));
    return 0;
}
