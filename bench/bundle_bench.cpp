// Costs of the bundle reader on large directories: indexing a bundle image (attach + Parse), a
// Find of every name, and reading every file's bytes out of the image compared with a memcpy of
// the same bytes.
//
// Each directory size (1,000, 10,000 and 100,000 entries) gets one image, built in memory the
// first time a benchmark asks for it: names shaped like a game's files, sizes from a few hundred
// bytes to a few KiB (about 2 KiB on average, so the 100,000-entry image holds about 200 MB),
// entries sorted by name as the bundle tool writes them.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "alloc_counter.h"
#include "bundle_builder.h"
#include "portable/bundle/asset_bundle.h"
#include "byte_sum.h"

namespace vandrel {
namespace {

using bench::ByteSum;

// Deterministic pseudo-random numbers (splitmix64), so every run measures the same images.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    uint64_t Between(uint64_t low, uint64_t high) { return low + Next() % (high - low + 1); }

private:
    uint64_t state_;
};

template <size_t N>
const char* Pick(const char* const (&words)[N], uint64_t index) {
    return words[index % N];
}

constexpr const char* kCharacters[] = {"hero",   "slime", "bat",    "knight",
                                       "wizard", "golem", "spider", "dragon"};
constexpr const char* kAnimations[] = {"idle", "walk", "run", "jump", "attack", "hurt"};
constexpr const char* kSoundKinds[] = {"ui", "combat", "ambient", "footsteps", "voice"};
constexpr const char* kSounds[] = {"click", "hit",  "swing", "wind",   "step",
                                   "door",  "coin", "alert", "splash", "grunt"};
constexpr const char* kModules[] = {"engine", "render", "audio", "input",     "physics", "net",
                                    "ui",     "save",   "ai",    "particles", "scenes",  "vendor"};
constexpr const char* kScripts[] = {"index", "state",  "loader", "system", "component",
                                    "utils", "events", "pool",   "queue",  "config"};
constexpr const char* kWidgets[] = {"button", "panel", "icon", "cursor", "frame", "badge"};
constexpr const char* kThemes[] = {"light", "dark", "retro", "winter"};

constexpr int kKinds = 6;

// The k-th name; names are unique for every k. Sizes depend on the kind of file.
std::string MakeName(uint64_t k) {
    const uint64_t q = k / kKinds;
    char name[160];
    switch (k % kKinds) {
        case 0:
            std::snprintf(name, sizeof(name), "assets/levels/world-%llu/tiles/tile_%04llu.png",
                          static_cast<unsigned long long>(q / 2000 + 1),
                          static_cast<unsigned long long>(q % 2000));
            break;
        case 1:
            std::snprintf(name, sizeof(name), "assets/sprites/%s/%s/frame_%03llu.png",
                          Pick(kCharacters, q), Pick(kAnimations, q / 8),
                          static_cast<unsigned long long>(q / 48));
            break;
        case 2:
            std::snprintf(name, sizeof(name), "assets/audio/sfx/%s/%s_%02llu.ogg",
                          Pick(kSoundKinds, q), Pick(kSounds, q / 5),
                          static_cast<unsigned long long>(q / 50));
            break;
        case 3:
            std::snprintf(name, sizeof(name), "js/%s/%s_%llu.js", Pick(kModules, q),
                          Pick(kScripts, q / 12), static_cast<unsigned long long>(q / 120));
            break;
        case 4:
            std::snprintf(name, sizeof(name), "data/levels/world-%llu/level_%03llu.json",
                          static_cast<unsigned long long>(q / 500 + 1),
                          static_cast<unsigned long long>(q % 500));
            break;
        default:
            std::snprintf(name, sizeof(name), "assets/ui/%s/%s_%llu@2x.png", Pick(kThemes, q),
                          Pick(kWidgets, q / 4), static_cast<unsigned long long>(q / 24));
            break;
    }
    return name;
}

uint64_t MakeSize(uint64_t k, Random& random) {
    switch (k % kKinds) {
        case 0:  // tiles
            return random.Between(256, 2048);
        case 1:  // sprite frames
            return random.Between(512, 4096);
        case 2:  // short sounds
            return random.Between(1024, 6144);
        case 3:  // scripts
            return random.Between(256, 4096);
        case 4:  // level data
            return random.Between(128, 1536);
        default:  // interface images
            return random.Between(256, 2048);
    }
}

struct BenchDirectory {
    explicit BenchDirectory(int count) {
        Random random(0x76616E6472656C00ull + static_cast<uint64_t>(count));
        std::vector<std::pair<std::string, uint64_t>> files;
        files.reserve(count);
        for (int k = 0; k < count; ++k) {
            files.emplace_back(MakeName(k), MakeSize(k, random));
        }
        // Sorted by name, as the bundle tool writes them; bytes laid out in the same order.
        std::sort(files.begin(), files.end());

        // The fdir payload: the count, then one entry per file.
        BundleBuilder directoryPayload;
        directoryPayload.U32(static_cast<uint32_t>(count));
        uint64_t blobSize = 0;
        for (const auto& [name, size] : files) {
            directoryPayload.Entry(name, blobSize, size);
            blobSize += size;
            largestFile = std::max(largestFile, size);
        }
        totalBytes = blobSize;
        std::string blob(blobSize, '\0');
        for (uint64_t i = 0; i < blobSize; i += 8) {
            const uint64_t word = random.Next();
            std::memcpy(blob.data() + i, &word, std::min<uint64_t>(8, blobSize - i));
        }
        BundleBuilder whole;
        whole.Header().Chunk(kBlobChunkId, blob).Chunk(kDirectoryChunkId, directoryPayload.bytes);
        image = std::move(whole.bytes);

        // Lookups and reads go in a shuffled order, as a page asks for its files.
        names.reserve(count);
        for (const auto& file : files) {
            names.push_back(file.first);
        }
        for (size_t i = names.size(); i > 1; --i) {
            std::swap(names[i - 1], names[random.Next() % i]);
        }

        bundle.AttachMemory(image.data(), image.size());
        bundle.Parse();
        for (const std::string& name : names) {
            const BundleFileInfo info = bundle.Find(name);
            if (!info.found) {
                std::fprintf(stderr, "bundle_bench: %s missing from its own image\n", name.c_str());
                std::abort();
            }
            found.push_back(info);
        }
    }

    std::vector<uint8_t> image;
    std::vector<std::string> names;     // every name once, shuffled
    std::vector<BundleFileInfo> found;  // Find results for `names`, same order
    AssetBundle bundle;                 // parsed from `image`
    uint64_t totalBytes = 0;            // sum of the files' sizes
    uint64_t largestFile = 0;
};

// One image per size, built on first use and kept for the whole run.
const BenchDirectory& Directory(int count) {
    static std::map<int, std::unique_ptr<BenchDirectory>> directories;
    std::unique_ptr<BenchDirectory>& directory = directories[count];
    if (!directory) {
        directory = std::make_unique<BenchDirectory>(count);
    }
    return *directory;
}

// Seconds per item, shown next to the rate (e.g. "per_lookup=120n" for 120 ns).
benchmark::Counter PerItem(int64_t items) {
    return benchmark::Counter(
        static_cast<double>(items),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void SetFileCounters(benchmark::State& state, const BenchDirectory& directory) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * directory.totalBytes));
    state.counters["files"] = static_cast<double>(directory.names.size());
    state.counters["MB"] = static_cast<double>(directory.totalBytes) / 1e6;
}

// Indexing: attach a prepared image and parse its header, chunks and whole directory into the
// reader's maps. Freeing the previous directory is left out of the timing. Target: under 50 ms
// for 100,000 entries.
// Attach and Parse of `image`, once per iteration, with the time per entry and the most heap one
// parse held (peak_MB).
void MeasureParse(benchmark::State& state, const std::vector<uint8_t>& image) {
    size_t peak = 0;
    for (auto _ : state) {
        auto bundle = std::make_unique<AssetBundle>();
        const size_t before = bench::HeapBytesInUse();
        bench::ResetHeapPeak();
        bundle->AttachMemory(image.data(), image.size());
        bundle->Parse();
        benchmark::DoNotOptimize(bundle->directory.size());
        peak = std::max(peak, bench::HeapPeakBytes() - before);
        state.PauseTiming();
        bundle.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["per_entry"] = PerItem(state.range(0));
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
}

void BM_BundleParse(benchmark::State& state) {
    MeasureParse(state, Directory(static_cast<int>(state.range(0))).image);
}
BENCHMARK(BM_BundleParse)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Indexing a directory whose entries are not in name order. `Shuffled/N`: the N distinct names of
// BM_BundleParse in shuffled order. `Repeats/N`: one name, then N - 1 entries that all carry the
// empty name, the shape of a hostile directory; only two names are distinct. peak_MB is the most
// heap the parse held at once (the image itself not counted).
struct UnorderedDirectory {
    UnorderedDirectory(int count, bool repeats) {
        BundleBuilder directoryPayload;
        directoryPayload.U32(static_cast<uint32_t>(count));
        if (repeats) {
            directoryPayload.Entry("z", 0, 0);
            for (int k = 1; k < count; ++k) {
                directoryPayload.Entry("", 0, 0);
            }
        } else {
            const BenchDirectory& sorted = Directory(count);
            for (const std::string& name : sorted.names) {  // shuffled
                const BundleFileInfo info = sorted.bundle.Find(name);
                directoryPayload.Entry(name, info.offset, info.size);
            }
        }
        BundleBuilder whole;
        whole.Header()
            .Chunk(kBlobChunkId, std::string(repeats ? 0 : Directory(count).totalBytes, 'x'))
            .Chunk(kDirectoryChunkId, directoryPayload.bytes);
        image = std::move(whole.bytes);
    }
    std::vector<uint8_t> image;
};

void ParseUnordered(benchmark::State& state, bool repeats) {
    static std::map<std::pair<int, bool>, std::unique_ptr<UnorderedDirectory>> images;
    auto& image = images[{static_cast<int>(state.range(0)), repeats}];
    if (!image) {
        image = std::make_unique<UnorderedDirectory>(static_cast<int>(state.range(0)), repeats);
    }
    MeasureParse(state, image->image);
}

void BM_BundleParseShuffled(benchmark::State& state) {
    ParseUnordered(state, false);
}
BENCHMARK(BM_BundleParseShuffled)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_BundleParseRepeats(benchmark::State& state) {
    ParseUnordered(state, true);
}
BENCHMARK(BM_BundleParseRepeats)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A Find of every name once, in shuffled order. items_per_second counts lookups; per_lookup is
// the time of one.
void BM_BundleFindAll(benchmark::State& state) {
    const BenchDirectory& directory = Directory(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (const std::string& name : directory.names) {
            BundleFileInfo info = directory.bundle.Find(name);
            benchmark::DoNotOptimize(info);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["per_lookup"] = PerItem(state.range(0));
}
BENCHMARK(BM_BundleFindAll)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Every file's bytes read out of the image (GetFileData on each Find hit, then a checksum that
// touches every byte), file by file in shuffled order. Compare its bytes_per_second with
// BM_BundleReadMemcpy of the same size. Target: at most 2 times the memcpy's time.
void BM_BundleReadAll(benchmark::State& state) {
    const BenchDirectory& directory = Directory(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        uint64_t sum = 0;
        for (const BundleFileInfo& info : directory.found) {
            sum += ByteSum(directory.bundle.GetFileData(info.offset), info.size);
        }
        benchmark::DoNotOptimize(sum);
    }
    SetFileCounters(state, directory);
}
BENCHMARK(BM_BundleReadAll)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The baseline: the same files' bytes, from the same places in the same order, each copied with
// memcpy into one buffer as large as the largest file.
void BM_BundleReadMemcpy(benchmark::State& state) {
    const BenchDirectory& directory = Directory(static_cast<int>(state.range(0)));
    const uint8_t* blob = directory.bundle.GetFileData(0);
    std::vector<uint8_t> buffer(directory.largestFile);
    for (auto _ : state) {
        for (const BundleFileInfo& info : directory.found) {
            std::memcpy(buffer.data(), blob + info.offset, info.size);
            benchmark::DoNotOptimize(buffer.data());
            benchmark::ClobberMemory();
        }
    }
    SetFileCounters(state, directory);
}
BENCHMARK(BM_BundleReadMemcpy)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Lookup and read together, as serving every file once by name costs: Find, GetFileData,
// checksum.
void BM_BundleFindReadAll(benchmark::State& state) {
    const BenchDirectory& directory = Directory(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        uint64_t sum = 0;
        for (const std::string& name : directory.names) {
            const BundleFileInfo info = directory.bundle.Find(name);
            sum += ByteSum(directory.bundle.GetFileData(info.offset), info.size);
        }
        benchmark::DoNotOptimize(sum);
    }
    SetFileCounters(state, directory);
}
BENCHMARK(BM_BundleFindReadAll)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vandrel
