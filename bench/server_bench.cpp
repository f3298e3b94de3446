// Costs of the request core: planning a response, and copying a planned bundle response out of
// the mapped bundle image compared with a plain copy of the same bytes.

#include <cstdint>
#include <cstring>
#include <memory>
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

constexpr uint64_t kSmall = 4 << 10;
constexpr uint64_t kMedium = 1 << 20;
constexpr uint64_t kLarge = 64 << 20;

// A bundle shaped like a small game's: a few hundred assets in folders, plus three files of the
// sizes the copy benchmarks use.
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
        add("file4k.bin", kSmall);
        add("file1m.bin", kMedium);
        add("file64m.bin", kLarge);
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

const char* FileForSize(int64_t size) {
    switch (size) {
        case static_cast<int64_t>(kSmall):
            return "file4k.bin";
        case static_cast<int64_t>(kMedium):
            return "file1m.bin";
        default:
            return "file64m.bin";
    }
}

// A whole bundle file as the host answers it: plan, then copy the planned bytes out of the mapped
// image into a fresh buffer (what the memory stream does).
void BM_BundleResponse(benchmark::State& state) {
    const AssetBundle& bundle = Bundle().bundle;
    const std::string uri = Uri(FileForSize(state.range(0)));
    const FolderQuery folder = NoFile;
    for (auto _ : state) {
        const ResponsePlan plan =
            PlanResponse(uri, kOrigin.size(), bundle, kAppFolder, kWeb, std::nullopt, folder);
        std::unique_ptr<uint8_t[]> body(new uint8_t[plan.bodyLength]);
        std::memcpy(body.get(), bundle.GetFileData(plan.bodyOffset), plan.bodyLength);
        benchmark::DoNotOptimize(body.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_BundleResponse)->Arg(kSmall)->Arg(kMedium)->Arg(kLarge);

// The same bytes copied from the same place into a fresh buffer, with no planning: the floor.
void BM_MemcpyBaseline(benchmark::State& state) {
    const AssetBundle& bundle = Bundle().bundle;
    const BundleFileInfo info = bundle.Find(FileForSize(state.range(0)));
    const uint8_t* source = bundle.GetFileData(info.offset);
    const auto size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> body(new uint8_t[size]);
        std::memcpy(body.get(), source, size);
        benchmark::DoNotOptimize(body.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MemcpyBaseline)->Arg(kSmall)->Arg(kMedium)->Arg(kLarge);

}  // namespace
}  // namespace vandrel
