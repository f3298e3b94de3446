// bundle_probe BUNDLE NAMES: times, in one fresh process, what a host does with an assets.dat
// file, and prints the figures as one JSON object on standard output. Used by compare.sh.
//
//   open_index_ms   open the file, map it read-only, attach and Parse (first touch of the mapping)
//   lookup_ms       a Find of every name listed in NAMES (one name a line), once each
//   read_ms         every listed file's bytes read through GetFileData and a checksum that
//                   touches every byte, once, through the mapping made for open_index_ms
//   memcpy_ms       the same bytes copied with memcpy into a buffer, once, through a second
//                   fresh mapping of the file (so both first passes pay the same page faults)
//   read_warm_ms, memcpy_warm_ms   the best of five further passes of each, mapping warm
//
// Exit status 1 with a message on standard error when the bundle cannot be read or a name is
// missing from it.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "portable/bundle/asset_bundle.h"
#include "byte_sum.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

[[noreturn]] void Die(const std::string& message) {
    std::fprintf(stderr, "bundle_probe: %s\n", message.c_str());
    std::exit(1);
}

struct Mapping {
    const uint8_t* base = nullptr;
    uint64_t length = 0;
};

Mapping MapFile(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Die(std::string("cannot open ") + path + ": " + std::strerror(errno));
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size <= 0) {
        Die(std::string("cannot size ") + path);
    }
    const auto length = static_cast<uint64_t>(info.st_size);
    void* view = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (view == MAP_FAILED) {
        Die(std::string("cannot map ") + path + ": " + std::strerror(errno));
    }
    return {static_cast<const uint8_t*>(view), length};
}

// Keeps the compiler from dropping a copy whose result is otherwise unused.
void Escape(void* pointer) {
    asm volatile("" : : "g"(pointer) : "memory");
}

uint64_t ReadAll(const uint8_t* blob, const std::vector<vandrel::BundleFileInfo>& files) {
    uint64_t sum = 0;
    for (const vandrel::BundleFileInfo& info : files) {
        sum += vandrel::bench::ByteSum(blob + info.offset, info.size);
    }
    return sum;
}

void CopyAll(const uint8_t* blob, const std::vector<vandrel::BundleFileInfo>& files,
             std::vector<uint8_t>& buffer) {
    for (const vandrel::BundleFileInfo& info : files) {
        std::memcpy(buffer.data(), blob + info.offset, info.size);
        Escape(buffer.data());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bundle_probe BUNDLE NAMES\n");
        return 2;
    }
    std::vector<std::string> names;
    {
        std::ifstream list(argv[2]);
        if (!list) {
            Die(std::string("cannot read ") + argv[2]);
        }
        for (std::string line; std::getline(list, line);) {
            if (!line.empty()) {
                names.push_back(line);
            }
        }
    }

    try {
        // Open and index.
        const Clock::time_point openStart = Clock::now();
        const Mapping mapping = MapFile(argv[1]);
        vandrel::AssetBundle bundle;
        bundle.AttachMemory(mapping.base, mapping.length);
        bundle.Parse();
        const double openIndexMs = MillisecondsSince(openStart);

        // Every name once.
        std::vector<vandrel::BundleFileInfo> files(names.size());
        const Clock::time_point lookupStart = Clock::now();
        for (size_t i = 0; i < names.size(); ++i) {
            files[i] = bundle.Find(names[i]);
        }
        const double lookupMs = MillisecondsSince(lookupStart);
        uint64_t totalBytes = 0;
        uint64_t largest = 0;
        for (size_t i = 0; i < files.size(); ++i) {
            if (!files[i].found) {
                Die("'" + names[i] + "' is not in the bundle");
            }
            totalBytes += files[i].size;
            largest = std::max(largest, files[i].size);
        }

        // Every file's bytes, first pass through the fresh mapping.
        const Clock::time_point readStart = Clock::now();
        const uint8_t* blob = bundle.GetFileData(0);
        const uint64_t checksum = ReadAll(blob, files);
        const double readMs = MillisecondsSince(readStart);

        // memcpy of the same bytes, first pass through a second fresh mapping.
        std::vector<uint8_t> buffer(std::max<uint64_t>(largest, 1));
        const Mapping second = MapFile(argv[1]);
        const uint8_t* secondBlob = second.base + (blob - mapping.base);
        const Clock::time_point copyStart = Clock::now();
        CopyAll(secondBlob, files, buffer);
        const double memcpyMs = MillisecondsSince(copyStart);

        // Warm passes, alternating.
        double readWarmMs = 1e300;
        double memcpyWarmMs = 1e300;
        for (int pass = 0; pass < 5; ++pass) {
            Clock::time_point start = Clock::now();
            if (ReadAll(blob, files) != checksum) {
                Die("checksum changed between passes");
            }
            readWarmMs = std::min(readWarmMs, MillisecondsSince(start));
            start = Clock::now();
            CopyAll(blob, files, buffer);
            memcpyWarmMs = std::min(memcpyWarmMs, MillisecondsSince(start));
        }

        std::printf("{\"files\": %zu, \"bytes\": %" PRIu64
                    ", \"open_index_ms\": %.3f, "
                    "\"lookup_ms\": %.3f, \"read_ms\": %.3f, \"memcpy_ms\": %.3f, "
                    "\"read_warm_ms\": %.3f, \"memcpy_warm_ms\": %.3f, \"checksum\": \"%016" PRIx64
                    "\"}\n",
                    names.size(), totalBytes, openIndexMs, lookupMs, readMs, memcpyMs, readWarmMs,
                    memcpyWarmMs, checksum);
        munmap(const_cast<uint8_t*>(second.base), second.length);
        munmap(const_cast<uint8_t*>(mapping.base), mapping.length);
    } catch (const std::exception& error) {
        Die(std::string("bundle rejected: ") + error.what());
    }
    return 0;
}
