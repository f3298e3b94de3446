#include "app/pe_image.h"

#include <algorithm>
#include <cstdio>

#include "platform/file_io.h"

namespace vandrel::tool {

namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kMaxSections = 96;

bool Fits(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

}  // namespace

uint16_t ReadLe16(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                 (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

uint32_t ReadLe32(std::string_view bytes, size_t at) {
    return uint32_t{ReadLe16(bytes, at)} | (uint32_t{ReadLe16(bytes, at + 2)} << 16);
}

void WriteLe16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

void WriteLe32(std::string& bytes, size_t at, uint32_t value) {
    WriteLe16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
    WriteLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

void AppendLe16(std::string& bytes, uint16_t value) {
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>(value >> 8));
}

void AppendLe32(std::string& bytes, uint32_t value) {
    AppendLe16(bytes, static_cast<uint16_t>(value & 0xFFFF));
    AppendLe16(bytes, static_cast<uint16_t>(value >> 16));
}

std::string MachineName(uint16_t machine) {
    switch (machine) {
        case kMachineAmd64:
            return "x64";
        case kMachineI386:
            return "x86";
        case kMachineArm64:
            return "ARM64";
        case kMachineArm:
            return "ARM";
        default:
            break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "machine 0x%04x", static_cast<unsigned>(machine));
    return text;
}

PeImage::PeImage(std::string bytes) : bytes_(std::move(bytes)) {
    const std::string_view b = bytes_;
    if (b.size() < 64 || b.substr(0, 2) != "MZ") {
        throw PeFormatError("it is not a Windows program or library (no MZ header)");
    }
    const uint32_t peOffset = ReadLe32(b, 0x3C);
    if (!Fits(b.size(), peOffset, 4 + kPeFileHeaderSize) ||
        b.substr(peOffset, 4) != std::string_view("PE\0\0", 4)) {
        throw PeFormatError("it is not a Windows program or library (no PE header)");
    }
    fileHeaderOffset_ = peOffset + 4;
    const uint16_t sectionCount = ReadLe16(b, fileHeaderOffset_ + 2);
    const uint16_t optionalSize = ReadLe16(b, fileHeaderOffset_ + 16);
    optionalHeaderOffset_ = fileHeaderOffset_ + kPeFileHeaderSize;
    if (!Fits(b.size(), optionalHeaderOffset_, optionalSize) || optionalSize < 2) {
        throw PeFormatError("its optional header is cut short");
    }
    const uint16_t magic = ReadLe16(b, optionalHeaderOffset_);
    if (magic != kPe32Magic && magic != kPe32PlusMagic) {
        throw PeFormatError("its optional header has an unknown format");
    }
    pe32Plus_ = magic == kPe32PlusMagic;
    // The fixed part of the optional header, up to the directory count.
    const size_t fixedSize = pe32Plus_ ? 112 : 96;
    if (optionalSize < fixedSize) {
        throw PeFormatError("its optional header is cut short");
    }
    const size_t o = optionalHeaderOffset_;
    const uint32_t directoryCount = ReadLe32(b, o + fixedSize - 4);
    directoryTableOffset_ = o + fixedSize;
    if (directoryCount > 16 || fixedSize + 8 * uint64_t{directoryCount} > optionalSize) {
        throw PeFormatError("its data directory table does not fit its optional header");
    }
    for (uint32_t i = 0; i < directoryCount; ++i) {
        directories_.push_back(PeDirectoryEntry{ReadLe32(b, directoryTableOffset_ + 8 * i),
                                                ReadLe32(b, directoryTableOffset_ + 8 * i + 4)});
    }
    const auto isPowerOfTwo = [](uint32_t n) { return n != 0 && (n & (n - 1)) == 0; };
    // Windows takes file alignments up to 64 KiB; a larger one would make every rewrite of the
    // image that large for nothing.
    if (!isPowerOfTwo(FileAlignment()) || !isPowerOfTwo(SectionAlignment()) ||
        FileAlignment() > SectionAlignment() || FileAlignment() > 0x10000) {
        throw PeFormatError("its section and file alignments are not valid");
    }

    sectionTableOffset_ = optionalHeaderOffset_ + optionalSize;
    if (sectionCount > kMaxSections ||
        !Fits(b.size(), sectionTableOffset_, kPeSectionHeaderSize * sectionCount)) {
        throw PeFormatError("its section table is cut short");
    }
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const size_t s = sectionTableOffset_ + kPeSectionHeaderSize * i;
        PeSection section;
        const std::string_view name = b.substr(s, 8);
        section.name = std::string(name.substr(0, name.find('\0')));
        section.virtualSize = ReadLe32(b, s + 8);
        section.virtualAddress = ReadLe32(b, s + 12);
        section.rawSize = ReadLe32(b, s + 16);
        section.rawPointer = ReadLe32(b, s + 20);
        section.characteristics = ReadLe32(b, s + 36);
        sections_.push_back(std::move(section));
    }
}

PeImage PeImage::FromFile(const std::filesystem::path& path) {
    return PeImage(ReadFileBytes(path, uint64_t{1} << 31));
}

PeDirectoryEntry PeImage::Directory(size_t index) const {
    return index < directories_.size() ? directories_[index] : PeDirectoryEntry{};
}

size_t PeImage::DirectoryOffset(size_t index) const {
    if (index >= directories_.size()) {
        throw PeFormatError("it has no data directory slot " + std::to_string(index));
    }
    return directoryTableOffset_ + 8 * index;
}

std::optional<size_t> PeImage::FileOffset(uint32_t rva, uint32_t length) const {
    const uint64_t end = uint64_t{rva} + length;
    if (end <= SizeOfHeaders() && Fits(bytes_.size(), rva, length)) {
        return rva;  // inside the headers, which are mapped as they lie in the file
    }
    for (const PeSection& section : sections_) {
        const uint64_t start = section.virtualAddress;
        // Only the part of a section that has file data can be read from the file.
        if (rva >= start && end <= start + section.rawSize) {
            const uint64_t offset = section.rawPointer + (rva - start);
            if (Fits(bytes_.size(), offset, length)) {
                return static_cast<size_t>(offset);
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string_view PeImage::At(uint32_t rva, uint32_t length, const char* what) const {
    const std::optional<size_t> offset = FileOffset(rva, length);
    if (!offset) {
        throw PeFormatError(std::string("its ") + what + " lies outside the file");
    }
    return std::string_view(bytes_).substr(*offset, length);
}

std::vector<std::string> PeImage::ExportNames() const {
    std::vector<std::string> names;
    const PeDirectoryEntry directory = Directory(kExportDirectory);
    if (directory.address == 0 || directory.size == 0) {
        return names;
    }
    const std::string_view table = At(directory.address, 40, "export directory");
    const uint32_t nameCount = ReadLe32(table, 24);
    const uint32_t namesRva = ReadLe32(table, 32);
    if (nameCount > 65536) {
        throw PeFormatError("its export directory lists too many names");
    }
    const std::string_view pointers = At(namesRva, nameCount * 4, "export name table");
    for (uint32_t i = 0; i < nameCount; ++i) {
        const uint32_t nameRva = ReadLe32(pointers, 4 * i);
        const std::optional<size_t> start = FileOffset(nameRva, 1);
        if (!start) {
            throw PeFormatError("an export name lies outside the file");
        }
        const size_t end = bytes_.find('\0', *start);
        if (end == std::string::npos || end - *start > 4096) {
            throw PeFormatError("an export name is not terminated");
        }
        names.push_back(bytes_.substr(*start, end - *start));
    }
    return names;
}

uint32_t PeChecksum(std::string_view bytes, size_t checksumOffset) {
    const auto byteAt = [&](size_t i) -> uint32_t {
        if (i >= bytes.size() || (i >= checksumOffset && i < checksumOffset + 4)) {
            return 0;
        }
        return static_cast<uint8_t>(bytes[i]);
    };
    uint64_t sum = 0;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        sum += byteAt(i) | (byteAt(i + 1) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + bytes.size());
}

}  // namespace vandrel::tool
