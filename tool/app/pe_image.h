#pragma once

// Reads Windows executables and libraries (PE images, 32- and 64-bit): the machine type, the
// section table, the data directories and the names a library exports. Every offset is checked
// against the file, so a damaged or foreign file gives a PeFormatError, never a bad read.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::tool {

// The file is not a PE image, or a part of it lies outside the file. The message says what.
class PeFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr uint16_t kMachineI386 = 0x014C;
inline constexpr uint16_t kMachineAmd64 = 0x8664;
inline constexpr uint16_t kMachineArm = 0x01C4;
inline constexpr uint16_t kMachineArm64 = 0xAA64;

// The sizes of the COFF file header and of one section header.
inline constexpr size_t kPeFileHeaderSize = 20;
inline constexpr size_t kPeSectionHeaderSize = 40;

// Data directory slots.
inline constexpr size_t kExportDirectory = 0;
inline constexpr size_t kResourceDirectory = 2;
inline constexpr size_t kSecurityDirectory = 4;
inline constexpr size_t kBoundImportDirectory = 11;

// Little-endian access to a byte string; the reads assume the bounds were checked.
uint16_t ReadLe16(std::string_view bytes, size_t at);
uint32_t ReadLe32(std::string_view bytes, size_t at);
void WriteLe16(std::string& bytes, size_t at, uint16_t value);
void WriteLe32(std::string& bytes, size_t at, uint32_t value);
void AppendLe16(std::string& bytes, uint16_t value);
void AppendLe32(std::string& bytes, uint32_t value);

// "x64", "x86", "ARM64", "ARM", or "machine 0x1234".
std::string MachineName(uint16_t machine);

struct PeSection {
    std::string name;  // the 8-byte field up to its first zero byte ("/4"-style long names kept)
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawPointer = 0;
    uint32_t characteristics = 0;
};

struct PeDirectoryEntry {
    uint32_t address = 0;  // an RVA (for the security directory: a file offset)
    uint32_t size = 0;
};

class PeImage {
public:
    // Parses the headers and the section table of `bytes`; throws PeFormatError.
    explicit PeImage(std::string bytes);
    // Reads and parses a file; throws ToolError when it cannot be read, PeFormatError when it is
    // not a PE image.
    static PeImage FromFile(const std::filesystem::path& path);

    const std::string& Bytes() const { return bytes_; }
    // The header fields, read from the bytes as they stand.
    uint16_t Machine() const { return ReadLe16(bytes_, fileHeaderOffset_); }
    bool IsDll() const { return (ReadLe16(bytes_, fileHeaderOffset_ + 18) & 0x2000) != 0; }
    bool Is64Bit() const { return pe32Plus_; }
    uint32_t SectionAlignment() const { return ReadLe32(bytes_, optionalHeaderOffset_ + 32); }
    uint32_t FileAlignment() const { return ReadLe32(bytes_, optionalHeaderOffset_ + 36); }
    uint32_t SizeOfImage() const { return ReadLe32(bytes_, optionalHeaderOffset_ + 56); }
    uint32_t SizeOfHeaders() const { return ReadLe32(bytes_, optionalHeaderOffset_ + 60); }
    uint32_t CheckSum() const { return ReadLe32(bytes_, CheckSumOffset()); }
    const std::vector<PeSection>& Sections() const { return sections_; }
    PeDirectoryEntry Directory(size_t index) const;
    size_t DirectoryCount() const { return directories_.size(); }

    // Where the fields sit in the file, for rewriting.
    size_t FileHeaderOffset() const { return fileHeaderOffset_; }
    size_t OptionalHeaderOffset() const { return optionalHeaderOffset_; }
    size_t CheckSumOffset() const { return optionalHeaderOffset_ + 64; }
    size_t DirectoryOffset(size_t index) const;
    size_t SectionTableOffset() const { return sectionTableOffset_; }

    // The file offset of `length` bytes at `rva`, when they lie inside one section's file data
    // (or inside the headers); nullopt otherwise.
    std::optional<size_t> FileOffset(uint32_t rva, uint32_t length) const;
    // The bytes at `rva`; throws PeFormatError naming `what` when they are not in the file.
    std::string_view At(uint32_t rva, uint32_t length, const char* what) const;

    // The names of the exported functions, in the order of the name table; empty without an
    // export directory. Throws PeFormatError for a damaged export directory.
    std::vector<std::string> ExportNames() const;

private:
    std::string bytes_;
    bool pe32Plus_ = false;
    size_t fileHeaderOffset_ = 0;
    size_t optionalHeaderOffset_ = 0;
    size_t directoryTableOffset_ = 0;
    size_t sectionTableOffset_ = 0;
    std::vector<PeDirectoryEntry> directories_;
    std::vector<PeSection> sections_;
};

// The PE checksum of a whole file: 16-bit one's-complement-style sum of the file with the
// checksum field taken as zero, plus the file's length.
uint32_t PeChecksum(std::string_view bytes, size_t checksumOffset);

}  // namespace vandrel::tool
