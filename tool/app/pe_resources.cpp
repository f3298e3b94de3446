#include "app/pe_resources.h"

#include <algorithm>
#include <map>

namespace vandrel::tool {

namespace {

constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr size_t kMaxResources = 65536;
constexpr uint32_t kResourceSectionFlags = 0x40000040;  // initialised data, readable

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

uint32_t AlignUp(uint64_t value, uint32_t alignment) {
    const uint64_t aligned = (value + alignment - 1) / alignment * alignment;
    if (aligned > UINT32_MAX) {
        throw PeFormatError("the image would grow beyond 4 GiB");
    }
    return static_cast<uint32_t>(aligned);
}

class Reader {
public:
    Reader(const PeImage& image, uint32_t rva) : image_(image), rva_(rva) {}

    std::vector<Resource> Run() {
        std::vector<Resource> resources;
        for (const auto& [type, typeTarget] : Entries(0, "resource directory")) {
            for (const auto& [name, nameTarget] :
                 Entries(Subdirectory(typeTarget), "resource directory")) {
                for (const auto& [language, leaf] :
                     Entries(Subdirectory(nameTarget), "resource directory")) {
                    if (leaf & kSubdirectoryFlag) {
                        throw PeFormatError("its resource directory is nested too deep");
                    }
                    const std::string_view entry = Bytes(leaf, kDataEntrySize, "resource entry");
                    Resource resource;
                    resource.type = type;
                    resource.name = name;
                    resource.language = language.id;
                    resource.codePage = ReadLe32(entry, 8);
                    resource.data = std::string(
                        image_.At(ReadLe32(entry, 0), ReadLe32(entry, 4), "resource data"));
                    resources.push_back(std::move(resource));
                    if (resources.size() > kMaxResources) {
                        throw PeFormatError("its resource directory lists too many resources");
                    }
                }
            }
        }
        return resources;
    }

private:
    std::string_view Bytes(uint32_t offset, uint32_t length, const char* what) const {
        if (uint64_t{rva_} + offset > UINT32_MAX) {
            throw PeFormatError(std::string("its ") + what + " lies outside the file");
        }
        return image_.At(rva_ + offset, length, what);
    }

    static uint32_t Subdirectory(uint32_t target) {
        if (!(target & kSubdirectoryFlag)) {
            throw PeFormatError("its resource directory ends too early");
        }
        return target & ~kSubdirectoryFlag;
    }

    std::vector<std::pair<ResourceId, uint32_t>> Entries(uint32_t offset, const char* what) {
        const std::string_view header = Bytes(offset, kDirectoryHeaderSize, what);
        const uint32_t count = uint32_t{ReadLe16(header, 12)} + ReadLe16(header, 14);
        const std::string_view table =
            Bytes(offset + kDirectoryHeaderSize, count * kDirectoryEntrySize, what);
        std::vector<std::pair<ResourceId, uint32_t>> entries;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t name = ReadLe32(table, kDirectoryEntrySize * i);
            const uint32_t target = ReadLe32(table, kDirectoryEntrySize * i + 4);
            ResourceId id;
            if (name & kSubdirectoryFlag) {
                const uint32_t at = name & ~kSubdirectoryFlag;
                const uint16_t length = ReadLe16(Bytes(at, 2, "resource name"), 0);
                const std::string_view text = Bytes(at + 2, 2u * length, "resource name");
                for (uint16_t k = 0; k < length; ++k) {
                    id.name.push_back(static_cast<char16_t>(ReadLe16(text, 2u * k)));
                }
                if (id.name.empty()) {
                    throw PeFormatError("its resource directory has an empty name");
                }
            } else {
                id.id = static_cast<uint16_t>(name);
            }
            entries.emplace_back(std::move(id), target);
        }
        return entries;
    }

    const PeImage& image_;
    uint32_t rva_;
};

// Named entries first, by name in UTF-16 code unit order; then numbers, ascending.
bool EntryLess(const ResourceId& a, const ResourceId& b) {
    if (a.IsNamed() != b.IsNamed()) {
        return a.IsNamed();
    }
    return a.IsNamed() ? a.name < b.name : a.id < b.id;
}

struct IdLess {
    bool operator()(const ResourceId& a, const ResourceId& b) const { return EntryLess(a, b); }
};

}  // namespace

ResourceId ResourceId::Named(std::string_view ascii) {
    ResourceId id;
    for (const char c : ascii) {
        id.name.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    return id;
}

bool ResourceId::Matches(const ResourceId& other) const {
    if (IsNamed() != other.IsNamed()) {
        return false;
    }
    if (!IsNamed()) {
        return id == other.id;
    }
    return name.size() == other.name.size() &&
           std::equal(name.begin(), name.end(), other.name.begin(),
                      [](char16_t a, char16_t b) { return Upper(a) == Upper(b); });
}

std::vector<Resource> ReadResources(const PeImage& image) {
    const PeDirectoryEntry directory = image.Directory(kResourceDirectory);
    if (directory.address == 0 || directory.size == 0) {
        return {};
    }
    return Reader(image, directory.address).Run();
}

std::string EncodeResourceDirectory(const std::vector<Resource>& resources, uint32_t rva) {
    // type -> name -> language -> resource
    using Languages = std::map<uint16_t, const Resource*>;
    using Names = std::map<ResourceId, Languages, IdLess>;
    std::map<ResourceId, Names, IdLess> tree;
    // A directory holds each type, name and language once: of duplicates (which only a damaged
    // directory read back can have) the first is kept.
    for (const Resource& resource : resources) {
        tree[resource.type][resource.name].try_emplace(resource.language, &resource);
    }

    // Sizes of the parts, in the order they are written: directories, data entries, names,
    // data.
    size_t directoryBytes = kDirectoryHeaderSize + kDirectoryEntrySize * tree.size();
    size_t leafCount = 0;
    for (const auto& [type, names] : tree) {
        directoryBytes += kDirectoryHeaderSize + kDirectoryEntrySize * names.size();
        for (const auto& [name, languages] : names) {
            directoryBytes += kDirectoryHeaderSize + kDirectoryEntrySize * languages.size();
            leafCount += languages.size();
        }
    }
    const size_t dataEntriesStart = directoryBytes;
    size_t namesStart = dataEntriesStart + kDataEntrySize * leafCount;

    std::string out(namesStart, '\0');
    std::map<std::u16string, uint32_t> nameOffsets;
    const auto nameField = [&](const ResourceId& id) -> uint32_t {
        if (!id.IsNamed()) {
            return id.id;
        }
        auto [it, added] = nameOffsets.emplace(id.name, static_cast<uint32_t>(out.size()));
        if (added) {
            AppendLe16(out, static_cast<uint16_t>(id.name.size()));
            for (const char16_t c : id.name) {
                AppendLe16(out, static_cast<uint16_t>(c));
            }
        }
        return it->second | kSubdirectoryFlag;
    };

    size_t nextDirectory = 0;
    size_t nextDataEntry = dataEntriesStart;
    std::vector<std::pair<size_t, const Resource*>> dataEntries;
    // Writes a directory header for `named` + `numbered` entries; returns the offset of its
    // first entry.
    const auto directory = [&](size_t named, size_t numbered) {
        const size_t at = nextDirectory;
        WriteLe16(out, at + 12, static_cast<uint16_t>(named));
        WriteLe16(out, at + 14, static_cast<uint16_t>(numbered));
        nextDirectory += kDirectoryHeaderSize + kDirectoryEntrySize * (named + numbered);
        return at + kDirectoryHeaderSize;
    };
    const auto countNamed = [](const auto& map) {
        return static_cast<size_t>(std::count_if(
            map.begin(), map.end(), [](const auto& item) { return item.first.IsNamed(); }));
    };

    // Breadth first: the root, then every type's directory, then every name's.
    const size_t namedTypes = countNamed(tree);
    size_t entry = directory(namedTypes, tree.size() - namedTypes);
    std::vector<std::pair<size_t, const Names*>> typeEntries;
    for (const auto& [type, names] : tree) {
        WriteLe32(out, entry, nameField(type));
        typeEntries.emplace_back(entry, &names);
        entry += kDirectoryEntrySize;
    }
    std::vector<std::pair<size_t, const Languages*>> nameEntries;
    for (const auto& [typeEntry, names] : typeEntries) {
        const size_t named = countNamed(*names);
        WriteLe32(out, typeEntry + 4, static_cast<uint32_t>(nextDirectory) | kSubdirectoryFlag);
        size_t e = directory(named, names->size() - named);
        for (const auto& [name, languages] : *names) {
            WriteLe32(out, e, nameField(name));
            nameEntries.emplace_back(e, &languages);
            e += kDirectoryEntrySize;
        }
    }
    for (const auto& [nameEntry, languages] : nameEntries) {
        WriteLe32(out, nameEntry + 4, static_cast<uint32_t>(nextDirectory) | kSubdirectoryFlag);
        size_t e = directory(0, languages->size());
        for (const auto& [language, resource] : *languages) {
            WriteLe32(out, e, language);
            WriteLe32(out, e + 4, static_cast<uint32_t>(nextDataEntry));
            dataEntries.emplace_back(nextDataEntry, resource);
            nextDataEntry += kDataEntrySize;
            e += kDirectoryEntrySize;
        }
    }

    for (const auto& [at, resource] : dataEntries) {
        out.resize((out.size() + 7) / 8 * 8, '\0');
        if (uint64_t{rva} + out.size() + resource->data.size() > UINT32_MAX) {
            throw PeFormatError("the image would grow beyond 4 GiB");
        }
        WriteLe32(out, at, rva + static_cast<uint32_t>(out.size()));
        WriteLe32(out, at + 4, static_cast<uint32_t>(resource->data.size()));
        WriteLe32(out, at + 8, resource->codePage);
        out += resource->data;
    }
    out.resize((out.size() + 7) / 8 * 8, '\0');
    return out;
}

std::string ReplaceResources(const PeImage& image, const std::vector<Resource>& resources) {
    std::string bytes = image.Bytes();
    const std::vector<PeSection>& sections = image.Sections();
    // Headers and section data the file does not hold could not be laid out again.
    bool cutShort = bytes.size() < image.SizeOfHeaders();
    for (const PeSection& section : sections) {
        cutShort = cutShort || uint64_t{section.rawPointer} + section.rawSize > bytes.size();
    }
    if (cutShort) {
        throw PeFormatError("the file is cut short: it ends before its headers or sections do");
    }

    // Room for one more section header before the first section's data.
    const size_t tableEnd = image.SectionTableOffset() + kPeSectionHeaderSize * sections.size();
    uint64_t firstData = image.SizeOfHeaders();
    for (const PeSection& section : sections) {
        if (section.rawSize > 0) {
            firstData = std::min<uint64_t>(firstData, section.rawPointer);
        }
    }
    if (tableEnd + kPeSectionHeaderSize > firstData) {
        throw PeFormatError("its headers have no room for another section");
    }
    if (image.DirectoryCount() <= kResourceDirectory) {
        throw PeFormatError("it has no resource directory slot");
    }

    // A signature covers the old bytes and lies at the end of the file: it goes.
    const PeDirectoryEntry signature = image.Directory(kSecurityDirectory);
    if (signature.size > 0) {
        if (uint64_t{signature.address} + signature.size == bytes.size()) {
            bytes.resize(signature.address);
        }
        WriteLe32(bytes, image.DirectoryOffset(kSecurityDirectory), 0);
        WriteLe32(bytes, image.DirectoryOffset(kSecurityDirectory) + 4, 0);
    }
    // Bound imports sit in the header space the new section header may take.
    if (image.Directory(kBoundImportDirectory).size > 0) {
        WriteLe32(bytes, image.DirectoryOffset(kBoundImportDirectory), 0);
        WriteLe32(bytes, image.DirectoryOffset(kBoundImportDirectory) + 4, 0);
    }

    uint64_t imageEnd = image.SizeOfHeaders();
    for (const PeSection& section : sections) {
        imageEnd = std::max<uint64_t>(imageEnd, uint64_t{section.virtualAddress} +
                                                    std::max(section.virtualSize, section.rawSize));
    }
    const uint32_t rva = AlignUp(imageEnd, image.SectionAlignment());
    const std::string data = EncodeResourceDirectory(resources, rva);
    // The new section's data follows the last section's. Whatever lies after that (the COFF
    // symbol table of an unstripped image, for one) moves up behind it, as linkers lay it out.
    uint64_t sectionsEnd = image.SizeOfHeaders();
    for (const PeSection& section : sections) {
        if (section.rawSize > 0) {
            sectionsEnd =
                std::max<uint64_t>(sectionsEnd, uint64_t{section.rawPointer} + section.rawSize);
        }
    }
    sectionsEnd = std::min<uint64_t>(sectionsEnd, bytes.size());
    const uint32_t rawPointer = AlignUp(sectionsEnd, image.FileAlignment());
    const uint32_t rawSize = AlignUp(data.size(), image.FileAlignment());
    const uint32_t sizeOfImage = AlignUp(uint64_t{rva} + data.size(), image.SectionAlignment());
    const std::string overlay = bytes.substr(static_cast<size_t>(sectionsEnd));
    const uint64_t shift = uint64_t{rawPointer} + rawSize - sectionsEnd;
    const size_t symbolTableField = image.FileHeaderOffset() + 8;
    const uint32_t symbolTable = ReadLe32(bytes, symbolTableField);
    if (symbolTable != 0 && symbolTable >= sectionsEnd && !overlay.empty()) {
        if (symbolTable + shift > UINT32_MAX) {
            throw PeFormatError("the image would grow beyond 4 GiB");
        }
        WriteLe32(bytes, symbolTableField, static_cast<uint32_t>(symbolTable + shift));
    }

    // The old resource section keeps its place under another name.
    const PeDirectoryEntry old = image.Directory(kResourceDirectory);
    for (size_t i = 0; i < sections.size(); ++i) {
        const PeSection& section = sections[i];
        if (old.size > 0 && section.name == ".rsrc" && old.address >= section.virtualAddress &&
            old.address <
                uint64_t{section.virtualAddress} + std::max(section.virtualSize, section.rawSize)) {
            bytes.replace(image.SectionTableOffset() + kPeSectionHeaderSize * i, 8, ".oldrsrc", 8);
        }
    }

    std::string header(kPeSectionHeaderSize, '\0');
    header.replace(0, 5, ".rsrc");
    WriteLe32(header, 8, static_cast<uint32_t>(data.size()));
    WriteLe32(header, 12, rva);
    WriteLe32(header, 16, rawSize);
    WriteLe32(header, 20, rawPointer);
    WriteLe32(header, 36, kResourceSectionFlags);
    bytes.replace(tableEnd, kPeSectionHeaderSize, header);
    WriteLe16(bytes, image.FileHeaderOffset() + 2, static_cast<uint16_t>(sections.size() + 1));

    const size_t optional = image.OptionalHeaderOffset();
    WriteLe32(bytes, optional + 8, ReadLe32(bytes, optional + 8) + rawSize);  // initialised data
    WriteLe32(bytes, optional + 56, sizeOfImage);
    WriteLe32(bytes, image.DirectoryOffset(kResourceDirectory), rva);
    WriteLe32(bytes, image.DirectoryOffset(kResourceDirectory) + 4,
              static_cast<uint32_t>(data.size()));

    bytes.resize(static_cast<size_t>(sectionsEnd));
    bytes.resize(rawPointer, '\0');
    bytes += data;
    bytes.resize(uint64_t{rawPointer} + rawSize, '\0');
    bytes += overlay;
    WriteLe32(bytes, image.CheckSumOffset(), PeChecksum(bytes, image.CheckSumOffset()));
    return bytes;
}

}  // namespace vandrel::tool
