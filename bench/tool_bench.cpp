// Costs of the tool on hostile or large inputs: `check` on a package.json with a very long
// unknown key, and `serve` answering a name missing from a folder of many files.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <benchmark/benchmark.h>

#include "portable/config/config_check.h"
#include "serve/serve_content.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

// package.json with one unknown key of `length` characters: the checker looks for the known key
// it is nearest to.
void BM_CheckLongUnknownKey(benchmark::State& state) {
    const std::string text =
        R"({"name":"x",")" + std::string(static_cast<size_t>(state.range(0)), 'k') + R"(":1})";
    for (auto _ : state) {
        benchmark::DoNotOptimize(CheckAppConfig(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CheckLongUnknownKey)->Arg(1 << 10)->Arg(10 << 10)->Arg(100 << 10);

// An app whose www holds `files` files in one folder, made once per size under /tmp; its
// folder's time is set back, so that serve may keep the folder's names.
const fs::path& LargeApp(int64_t files) {
    static std::map<int64_t, fs::path> apps;
    fs::path& app = apps[files];
    if (app.empty()) {
        app = fs::temp_directory_path() / ("vandrel-bench-app-" + std::to_string(files));
        fs::remove_all(app);
        fs::create_directories(app / "www");
        std::ofstream(app / "package.json") << R"({"name":"bench"})";
        for (int64_t i = 0; i < files; ++i) {
            std::ofstream(app / "www" / ("file_" + std::to_string(i) + ".js")) << "x";
        }
        fs::last_write_time(app / "www",
                            fs::last_write_time(app / "www") - std::chrono::hours(1));
    }
    return app;
}

// A request for a name the folder does not have in any case (a 404), and for one it has only in
// another case (found as Windows would), after a first request of each.
void BM_ServeMissInLargeFolder(benchmark::State& state) {
    const fs::path& app = LargeApp(state.range(0));
    AppConfig config;
    config.name = "bench";
    const tool::AppContent content(app, config, false);
    const std::string target = state.range(1) == 0 ? "/missing.js" : "/FILE_7.JS";
    content.Answer(target, std::nullopt);
    for (auto _ : state) {
        benchmark::DoNotOptimize(content.Answer(target, std::nullopt));
    }
}
BENCHMARK(BM_ServeMissInLargeFolder)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->ArgNames({"files", "other_case"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vandrel
