#pragma once

// The resources of a PE image (icons, version information, manifest...) as a flat list, and the
// rewriting of an image with another list: the new resource directory goes into a section added
// at the end of the image, and the data directory, the section table, SizeOfImage and the
// checksum are updated. Everything else in the file keeps its place and its bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/pe_image.h"

namespace vandrel::tool {

inline constexpr uint16_t kResourceIcon = 3;
inline constexpr uint16_t kResourceGroupIcon = 14;
inline constexpr uint16_t kResourceVersion = 16;
inline constexpr uint16_t kResourceManifest = 24;

// A resource type or name: a number, or a text (stored as UTF-16).
struct ResourceId {
    uint16_t id = 0;
    std::u16string name;  // not empty for a named resource

    static ResourceId Number(uint16_t id) { return ResourceId{id, {}}; }
    static ResourceId Named(std::string_view ascii);
    bool IsNamed() const { return !name.empty(); }
    // Named ones compare without case for ASCII letters, as Windows looks them up.
    bool Matches(const ResourceId& other) const;
    friend bool operator==(const ResourceId&, const ResourceId&) = default;
};

struct Resource {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::string data;
};

// Every resource of the image, in the order of its directory. Throws PeFormatError for a
// damaged resource directory. An image without one gives an empty list.
std::vector<Resource> ReadResources(const PeImage& image);

// A resource directory with its data, laid out to be mapped at `rva`: entries sorted as Windows
// searches them (named ones first, by name; then numbers, ascending), data aligned to 8 bytes.
// Of resources with the same type, name and language, the first is kept.
std::string EncodeResourceDirectory(const std::vector<Resource>& resources, uint32_t rva);

// The bytes of `image` with `resources` as its resources: a new section ".rsrc" after the last
// one (the old resource section is renamed ".oldrsrc" and left in place, unused), the resource
// data directory pointing at it, SizeOfImage, SizeOfInitializedData and the checksum updated.
// A signature (security directory) is dropped, since it no longer matches, and so is a bound
// import table. Throws PeFormatError when the headers have no room for another section.
std::string ReplaceResources(const PeImage& image, const std::vector<Resource>& resources);

}  // namespace vandrel::tool
