// What a bundle response costs the host: making it (plan, then a body over the mapped bytes, no
// copy) for files of 4 KiB to 1 GiB and for the last MiB of the 1 GiB file, beside a memcpy of
// the same bytes; and reading the body to its end as the runtime does, in 64 KiB reads, beside
// memcpy of the same bytes in the same pieces into the same buffer.
//
// The image is an anonymous mapping of a little over 1 GiB whose file bytes are never written:
// they read as zeros, like a sparse file, so the machine needs no gigabyte of memory for it. The
// host's stream adds one uncontended lock and a virtual call per read to the SpanReader measured
// here.

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bundle_builder.h"
#include "portable/bundle/asset_bundle.h"
#include "portable/server/response_plan.h"
#include "portable/server/span_reader.h"

namespace vandrel {
namespace {

constexpr std::string_view kOrigin = "https://vandrel.invalid/";
const std::string kAppFolder = "C:\\Games\\Castle Run\\";
const std::string kWeb = "www\\";

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;
constexpr uint64_t kGiB = 1024 * kMiB;
constexpr size_t kReadPiece = 64 * kKiB;  // what the runtime asks for at a time

struct File {
    const char* name;
    uint64_t size;
};
constexpr File kFiles[] = {
    {"small.bin", 4 * kKiB},
    {"medium.bin", 1 * kMiB},
    {"large.webm", 64 * kMiB},
    {"huge.webm", 1 * kGiB},
};

// The bundle image in an anonymous mapping: header, a blob chunk holding the four files back to
// back, the directory. Shared, as the host's bundle view is shared with its streams.
class LargeBundle {
public:
    LargeBundle() {
        uint64_t blobSize = 0;
        std::vector<BundleEntrySpec> entries;
        for (const File& file : kFiles) {
            entries.emplace_back(file.name, blobSize, file.size);
            blobSize += file.size;
        }
        const std::vector<uint8_t> directory = BundleDirectory(entries);
        BundleBuilder head;
        head.Header().ChunkHeader(kBlobChunkId, blobSize);
        BundleBuilder tail;
        tail.Chunk(kDirectoryChunkId, directory);
        size_ = head.size() + blobSize + tail.size();
        void* memory = mmap(nullptr, size_, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (memory == MAP_FAILED) {
            throw std::runtime_error("cannot map the benchmark's bundle image");
        }
        base_ = static_cast<uint8_t*>(memory);
        std::memcpy(base_, head.bytes.data(), head.size());
        std::memcpy(base_ + head.size() + blobSize, tail.bytes.data(), tail.size());
        reader_.AttachMemory(base_, size_);
        reader_.Parse();
        owner_ = std::shared_ptr<const void>(
            base_, [size = size_](const void* p) { munmap(const_cast<void*>(p), size); });
    }

    const AssetBundle& Reader() const { return reader_; }
    const std::shared_ptr<const void>& Owner() const { return owner_; }

private:
    uint8_t* base_ = nullptr;
    size_t size_ = 0;
    AssetBundle reader_;
    std::shared_ptr<const void> owner_;
};

const LargeBundle& Bundle() {
    static const LargeBundle bundle;
    return bundle;
}

FolderEntry NoFolder(const std::string&) {
    return {};
}

// The request for file `index`, with an optional Range header.
ResponsePlan Plan(size_t index, const std::optional<std::string>& range) {
    const std::string uri = std::string(kOrigin) + kFiles[index].name;
    return PlanResponse(uri, kOrigin.size(), Bundle().Reader(), kAppFolder, kWeb, range, NoFolder);
}

std::string LastMiB() {
    const uint64_t size = kFiles[3].size;
    return "bytes=" + std::to_string(size - kMiB) + "-" + std::to_string(size - 1);
}

// The response as the host makes it: the plan, and a body over the planned bytes.
SpanReader MakeResponse(size_t index, const std::optional<std::string>& range) {
    const ResponsePlan plan = Plan(index, range);
    return SpanReader(Bundle().Owner(), Bundle().Reader().GetFileData(plan.bodyOffset),
                      plan.bodyLength);
}

void SetSizeLabel(benchmark::State& state, uint64_t bytes) {
    state.SetLabel(bytes >= kGiB   ? std::to_string(bytes / kGiB) + " GiB"
                   : bytes >= kMiB ? std::to_string(bytes / kMiB) + " MiB"
                                   : std::to_string(bytes / kKiB) + " KiB");
}

void BM_MakeBundleResponse(benchmark::State& state) {
    const auto index = static_cast<size_t>(state.range(0));
    Bundle();
    for (auto _ : state) {
        SpanReader body = MakeResponse(index, std::nullopt);
        benchmark::DoNotOptimize(body);
    }
    SetSizeLabel(state, kFiles[index].size);
}
BENCHMARK(BM_MakeBundleResponse)->DenseRange(0, 3);

void BM_MakeBundleRangeResponse(benchmark::State& state) {
    const std::string range = LastMiB();
    Bundle();
    for (auto _ : state) {
        SpanReader body = MakeResponse(3, range);
        benchmark::DoNotOptimize(body);
    }
    state.SetLabel("last MiB of 1 GiB");
}
BENCHMARK(BM_MakeBundleRangeResponse);

// The same bytes copied once into a fresh buffer: what making the response used to cost.
void BM_MemcpyOfTheBody(benchmark::State& state) {
    const auto index = static_cast<size_t>(state.range(0));
    const ResponsePlan plan = Plan(index, std::nullopt);
    const uint8_t* source = Bundle().Reader().GetFileData(plan.bodyOffset);
    const auto size = static_cast<size_t>(plan.bodyLength);
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> body(new uint8_t[size]);
        std::memcpy(body.get(), source, size);
        benchmark::DoNotOptimize(body.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    SetSizeLabel(state, size);
}
BENCHMARK(BM_MemcpyOfTheBody)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// Reading the body to its end, 64 KiB at a time, into the reader's buffer (the response is made
// once; each round reads it again from the start).
void BM_ReadBundleBody(benchmark::State& state) {
    const auto index = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> buffer(kReadPiece);
    SpanReader body = MakeResponse(index, std::nullopt);
    uint64_t total = 0;
    for (auto _ : state) {
        body.Seek(0, SpanReader::Origin::Begin);
        while (const size_t got = body.Read(buffer.data(), buffer.size())) {
            total += got;
            benchmark::DoNotOptimize(buffer.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(total));
    SetSizeLabel(state, kFiles[index].size);
}
BENCHMARK(BM_ReadBundleBody)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// memcpy of the same bytes in the same 64 KiB pieces into the same buffer.
void BM_MemcpyInPieces(benchmark::State& state) {
    const auto index = static_cast<size_t>(state.range(0));
    const ResponsePlan plan = Plan(index, std::nullopt);
    const uint8_t* source = Bundle().Reader().GetFileData(plan.bodyOffset);
    std::vector<uint8_t> buffer(kReadPiece);
    uint64_t total = 0;
    for (auto _ : state) {
        for (uint64_t at = 0; at < plan.bodyLength; at += kReadPiece) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(kReadPiece, plan.bodyLength - at));
            std::memcpy(buffer.data(), source + at, n);
            total += n;
            benchmark::DoNotOptimize(buffer.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(total));
    SetSizeLabel(state, plan.bodyLength);
}
BENCHMARK(BM_MemcpyInPieces)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vandrel
