// Costs of the request core: planning a response for the requests a page makes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "portable/bundle/asset_bundle.h"
#include "bundle_builder.h"
#include "portable/server/response_plan.h"

namespace vandrel {
namespace {

constexpr std::string_view kOrigin = "https://vandrel.invalid/";
const std::string kAppFolder = "C:\\Program Files\\Vandrel Game\\";
const std::string kWeb = "www\\";

// A bundle shaped like a small game's: a few hundred assets in folders.
struct BenchBundle {
    BenchBundle() {
        std::string blob;
        std::vector<BundleEntrySpec> entries;
        const auto add = [&](const std::string& name, uint64_t size) {
            entries.emplace_back(name, blob.size(), size);
            const size_t from = blob.size();
            blob.resize(from + size);
            for (uint64_t i = 0; i < size; ++i) {
                blob[from + i] = static_cast<char>(i * 131 + 7);
            }
        };
        for (int i = 0; i < 300; ++i) {
            add("assets/images/sprite_" + std::to_string(i) + ".png", 64);
        }
        add("js/main.js", 1000);
        add("media/track.mp4", 1000);
        image = SimpleBundle(blob, entries);
        bundle.AttachMemory(image.data(), image.size());
        bundle.Parse();
    }
    std::vector<uint8_t> image;
    AssetBundle bundle;
};

const BenchBundle& Bundle() {
    static const BenchBundle bench;
    return bench;
}

std::string Uri(std::string_view path) {
    return std::string(kOrigin) + std::string(path);
}

FolderEntry FixedFile(const std::string&) {
    return {true, false, 123456};
}
FolderEntry NoFile(const std::string&) {
    return {};
}

void PlanLoop(benchmark::State& state, const std::string& uri,
              const std::optional<std::string>& range, const FolderQuery& folder) {
    const AssetBundle& bundle = Bundle().bundle;
    for (auto _ : state) {
        ResponsePlan plan =
            PlanResponse(uri, kOrigin.size(), bundle, kAppFolder, kWeb, range, folder);
        benchmark::DoNotOptimize(plan);
    }
}

void BM_PlanBundleHit(benchmark::State& state) {
    PlanLoop(state, Uri("js/main.js"), std::nullopt, NoFile);
}
BENCHMARK(BM_PlanBundleHit);

void BM_PlanBundleHitEscaped(benchmark::State& state) {
    PlanLoop(state, Uri("assets/images/sprite%5F150.png"), std::nullopt, NoFile);
}
BENCHMARK(BM_PlanBundleHitEscaped);

void BM_PlanFolderHit(benchmark::State& state) {
    PlanLoop(state, Uri("levels/level1.json"), std::nullopt, FixedFile);
}
BENCHMARK(BM_PlanFolderHit);

void BM_PlanMiss(benchmark::State& state) {
    PlanLoop(state, Uri("favicon.ico"), std::nullopt, NoFile);
}
BENCHMARK(BM_PlanMiss);

void BM_PlanBundleRange(benchmark::State& state) {
    PlanLoop(state, Uri("media/track.mp4"), std::string("bytes=100-199"), NoFile);
}
BENCHMARK(BM_PlanBundleRange);

void BM_PlanFolderRange(benchmark::State& state) {
    PlanLoop(state, Uri("media/movie.mp4"), std::string("bytes=1000-"), FixedFile);
}
BENCHMARK(BM_PlanFolderRange);

}  // namespace
}  // namespace vandrel
