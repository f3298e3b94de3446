#pragma once

// Small PE images and PNG images made from scratch for the tests, written apart from the tool's
// own code, and a way to run the independent readers (objdump, wrestool) over a file.

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

namespace vandrel::tool::testing_util {

inline void Put16(std::string& out, size_t at, uint32_t value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void Put32(std::string& out, size_t at, uint32_t value) {
    Put16(out, at, value & 0xFFFF);
    Put16(out, at + 2, value >> 16);
}

inline uint32_t Get16(const std::string& in, size_t at) {
    return static_cast<uint8_t>(in.at(at)) | (uint32_t{static_cast<uint8_t>(in.at(at + 1))} << 8);
}

inline uint32_t Get32(const std::string& in, size_t at) {
    return Get16(in, at) | (Get16(in, at + 2) << 16);
}

struct TestSection {
    std::string name;
    std::string data;
    uint32_t characteristics = 0x40000040;
};

struct TestPe {
    uint16_t machine = 0x8664;
    bool pe32Plus = true;
    bool dll = false;
    std::vector<TestSection> sections = {{".text", std::string(100, '\xC3'), 0x60000020}};
    std::vector<std::string> exports;   // adds an ".edata" section
    std::string overlay;                // bytes after the last section
    bool overlayIsSymbolTable = false;  // points the COFF symbol table at the overlay
    uint32_t headerSize = 0x400;
    uint32_t signatureSize = 0;  // a fake signature this long at the very end
};

inline constexpr uint32_t kTestFileAlignment = 0x200;
inline constexpr uint32_t kTestSectionAlignment = 0x1000;
inline constexpr uint32_t kTestPeOffset = 0x40;

inline uint32_t TestAlign(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// Offsets of header fields in images made by MakeTestPe.
inline size_t TestOptionalHeader() {
    return kTestPeOffset + 24;
}
inline size_t TestDirectory(const TestPe& pe, size_t index) {
    return TestOptionalHeader() + (pe.pe32Plus ? 112 : 96) + 8 * index;
}

inline std::string MakeTestPe(TestPe pe) {
    const uint32_t firstRva = kTestSectionAlignment;
    uint32_t rva = firstRva;
    std::vector<uint32_t> rvas;
    for (const TestSection& s : pe.sections) {
        rvas.push_back(rva);
        rva += TestAlign(static_cast<uint32_t>(s.data.size()), kTestSectionAlignment);
    }
    uint32_t exportRva = 0;
    uint32_t exportSize = 0;
    if (!pe.exports.empty()) {
        // Directory, name pointers, names.
        exportRva = rva;
        const uint32_t n = static_cast<uint32_t>(pe.exports.size());
        std::string e(40 + 4 * n, '\0');
        Put32(e, 24, n);               // NumberOfNames
        Put32(e, 32, exportRva + 40);  // AddressOfNames
        for (uint32_t i = 0; i < n; ++i) {
            Put32(e, 40 + 4 * i, exportRva + static_cast<uint32_t>(e.size()));
            e += pe.exports[i];
            e.push_back('\0');
        }
        exportSize = static_cast<uint32_t>(e.size());
        pe.sections.push_back({".edata", e, 0x40000040});
        rvas.push_back(rva);
        rva += TestAlign(exportSize, kTestSectionAlignment);
    }
    const uint32_t sizeOfImage = rva;

    const size_t optionalSize = pe.pe32Plus ? 240 : 224;
    std::string out(pe.headerSize, '\0');
    out[0] = 'M';
    out[1] = 'Z';
    Put32(out, 0x3C, kTestPeOffset);
    out.replace(kTestPeOffset, 4, std::string("PE\0\0", 4));
    const size_t file = kTestPeOffset + 4;
    Put16(out, file, pe.machine);
    Put16(out, file + 2, static_cast<uint32_t>(pe.sections.size()));
    Put16(out, file + 16, static_cast<uint32_t>(optionalSize));
    Put16(out, file + 18, pe.dll ? 0x2022 : 0x0022);
    const size_t o = TestOptionalHeader();
    Put16(out, o, pe.pe32Plus ? 0x20B : 0x10B);
    Put32(out, o + 32, kTestSectionAlignment);
    Put32(out, o + 36, kTestFileAlignment);
    Put16(out, o + 40, 6);  // OS version
    Put16(out, o + 48, 6);  // subsystem version
    Put32(out, o + 56, sizeOfImage);
    Put32(out, o + 60, pe.headerSize);
    Put16(out, o + 68, 2);  // GUI
    Put32(out, o + (pe.pe32Plus ? 108 : 92), 16);
    if (exportRva != 0) {
        Put32(out, TestDirectory(pe, 0), exportRva);
        Put32(out, TestDirectory(pe, 0) + 4, exportSize);
    }
    const size_t table = o + optionalSize;
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const TestSection& s = pe.sections[i];
        const size_t h = table + 40 * i;
        out.replace(h, std::min<size_t>(8, s.name.size()), s.name.substr(0, 8));
        Put32(out, h + 8, static_cast<uint32_t>(s.data.size()));
        Put32(out, h + 12, rvas[i]);
        const uint32_t raw = TestAlign(static_cast<uint32_t>(s.data.size()), kTestFileAlignment);
        Put32(out, h + 16, raw);
        Put32(out, h + 20, static_cast<uint32_t>(out.size()));
        Put32(out, h + 36, s.characteristics);
        std::string data = s.data;
        data.resize(raw, '\0');
        out += data;
    }
    if (pe.overlayIsSymbolTable) {
        Put32(out, file + 8, static_cast<uint32_t>(out.size()));
        Put32(out, file + 12, 1);
    }
    out += pe.overlay;
    if (pe.signatureSize > 0) {
        Put32(out, TestDirectory(pe, 4), static_cast<uint32_t>(out.size()));
        Put32(out, TestDirectory(pe, 4) + 4, pe.signatureSize);
        out += std::string(pe.signatureSize, 'S');
    }
    return out;
}

inline void AppendBe32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

inline void PngChunk(std::string& png, const std::string& type, const std::string& data) {
    AppendBe32(png, static_cast<uint32_t>(data.size()));
    const std::string typed = type + data;
    png += typed;
    AppendBe32(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                            static_cast<uInt>(typed.size()))));
}

// A whole PNG of `width` x `height` 8-bit pixels of `colorType`, its rows (`rows` of them, when
// given: another number than the header says) deflated with zlib.
inline std::string Png(uint32_t width, uint32_t height, uint8_t colorType = 6, int rows = -1) {
    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    AppendBe32(header, width);
    AppendBe32(header, height);
    header += std::string{8, static_cast<char>(colorType), 0, 0, 0};
    PngChunk(png, "IHDR", header);
    const int channels = colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
    const std::string raw((rows < 0 ? height : static_cast<uint32_t>(rows)) *
                              (1 + size_t{width} * channels),
                          '\0');
    uLongf length = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(length, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &length,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(length);
    if (colorType == 3) {
        PngChunk(png, "PLTE", std::string(3, '\xFF'));
    }
    PngChunk(png, "IDAT", packed);
    PngChunk(png, "IEND", "");
    return png;
}

// Runs a shell command and gives what it printed on standard output; `status` gets its exit code.
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    const int code = pclose(pipe);
    if (status != nullptr) {
        *status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
    }
    return output;
}

inline std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace vandrel::tool::testing_util
