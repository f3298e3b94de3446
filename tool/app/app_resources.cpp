#include "app/app_resources.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <set>

#include "portable/config/config_check.h"
#include "portable/util/utf.h"

namespace vandrel::tool {

namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1A\n";
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedInfoSize = 52;
constexpr uint16_t kDefaultLanguage = 0x0409;  // English (United States)
constexpr int kMaxVersionDepth = 4;

uint32_t BigEndian32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    }
    return value;
}

// The bytes per row of `width` pixels of `bitsPerPixel`, and the filter byte in front of it.
uint64_t PngRowBytes(uint64_t width, uint64_t bitsPerPixel) {
    return width == 0 ? 0 : 1 + (width * bitsPerPixel + 7) / 8;
}

// How many bytes the image data inflates to: every row of every pass (Adam7 has seven passes,
// each over a subset of the rows and columns; a pass without pixels has no rows).
uint64_t PngRawSize(uint32_t width, uint32_t height, uint32_t bitsPerPixel, bool interlaced) {
    if (!interlaced) {
        return height * PngRowBytes(width, bitsPerPixel);
    }
    struct Pass {
        uint32_t x0, y0, dx, dy;
    };
    constexpr Pass kPasses[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    uint64_t total = 0;
    for (const Pass& pass : kPasses) {
        const uint64_t columns = width > pass.x0 ? (width - pass.x0 + pass.dx - 1) / pass.dx : 0;
        const uint64_t rows = height > pass.y0 ? (height - pass.y0 + pass.dy - 1) / pass.dy : 0;
        total += columns == 0 ? 0 : rows * PngRowBytes(columns, bitsPerPixel);
    }
    return total;
}

// True when the zlib stream `compressed` inflates to exactly `expected` bytes and ends there.
bool InflatesTo(const std::string& compressed, uint64_t expected) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        throw std::bad_alloc();
    }
    std::array<unsigned char, 16384> out{};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    uint64_t produced = 0;
    int status = Z_OK;
    // Z_BUF_ERROR: no progress is possible, the stream ends early. More than expected: too long.
    while (status == Z_OK && produced <= expected) {
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        produced += out.size() - stream.avail_out;
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END && produced == expected;
}

// A PNG as one icon image, checked through to its pixels: the chunks and their checksums, the
// header's values, and image data that inflates to exactly the rows the header promises. Its size
// from the IHDR chunk, its bits per pixel from the colour type.
IconImage PngIcon(std::string_view png) {
    const auto damaged = [](const std::string& why) {
        return IconFormatError("the PNG image is damaged: " + why);
    };
    if (png.size() < 33 || png.substr(12, 4) != "IHDR" || BigEndian32(png, 8) != 13) {
        throw IconFormatError("the PNG image has no IHDR header");
    }
    const uint32_t width = BigEndian32(png, 16);
    const uint32_t height = BigEndian32(png, 20);
    if (width == 0 || height == 0 || width > 256 || height > 256) {
        throw IconFormatError("the PNG image is " + std::to_string(width) + "x" +
                              std::to_string(height) + " pixels; an icon image can be at most " +
                              "256x256");
    }
    const uint8_t depth = static_cast<uint8_t>(png[24]);
    const uint8_t colorType = static_cast<uint8_t>(png[25]);
    const int channels = colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
    const bool depthFits =
        colorType == 0   ? (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)
        : colorType == 3 ? (depth == 1 || depth == 2 || depth == 4 || depth == 8)
        : (colorType == 2 || colorType == 4 || colorType == 6) && (depth == 8 || depth == 16);
    if (!depthFits || png[26] != 0 || png[27] != 0 || static_cast<uint8_t>(png[28]) > 1) {
        throw damaged("its header has values no PNG has");
    }
    std::string data;  // the IDAT chunks' bytes, one zlib stream
    bool palette = false;
    bool ended = false;
    for (size_t at = 8; !ended;) {
        if (png.size() - at < 12) {
            throw damaged("it ends before its IEND chunk");
        }
        const uint32_t length = BigEndian32(png, at);
        if (length > png.size() - at - 12) {
            throw damaged("a chunk runs past the end of the file");
        }
        const std::string_view typeAndData = png.substr(at + 4, 4 + size_t{length});
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()),
                  static_cast<uInt>(typeAndData.size())));
        if (crc != BigEndian32(png, at + 8 + length)) {
            throw damaged("the checksum of its " + std::string(typeAndData.substr(0, 4)) +
                          " chunk is wrong");
        }
        const std::string_view type = typeAndData.substr(0, 4);
        if (type == "IDAT") {
            data.append(typeAndData.substr(4));
        } else if (type == "PLTE") {
            palette = true;
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + size_t{length};
    }
    if (colorType == 3 && !palette) {
        throw damaged("its colours refer to a palette it does not have");
    }
    const uint32_t bitsPerPixel = static_cast<uint32_t>(channels) * depth;
    if (data.empty() ||
        !InflatesTo(data, PngRawSize(width, height, bitsPerPixel, png[28] == 1))) {
        throw damaged("its image data does not hold the " + std::to_string(width) + "x" +
                      std::to_string(height) + " pixels its header promises");
    }
    IconImage image;
    image.width = static_cast<uint8_t>(width & 0xFF);
    image.height = static_cast<uint8_t>(height & 0xFF);
    image.bitCount = static_cast<uint16_t>(bitsPerPixel);
    image.data = std::string(png);
    return image;
}

// Checks the bitmap of an icon image: a BITMAPINFOHEADER, its palette, the colour rows and the
// transparency mask rows (the header's height counts both), all inside `dib`. Returns why not.
std::optional<std::string> BitmapFault(std::string_view dib) {
    if (dib.size() < 40 || ReadLe32(dib, 0) != 40) {
        return "is neither a PNG nor a bitmap";
    }
    const auto width = static_cast<int32_t>(ReadLe32(dib, 4));
    const auto doubleHeight = static_cast<int32_t>(ReadLe32(dib, 8));
    const uint16_t planes = ReadLe16(dib, 12);
    const uint16_t bits = ReadLe16(dib, 14);
    const uint32_t compression = ReadLe32(dib, 16);
    const uint32_t colorsUsed = ReadLe32(dib, 32);
    if (width <= 0 || width > 256 || doubleHeight <= 0 || doubleHeight > 512 ||
        doubleHeight % 2 != 0 || planes != 1 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        compression != 0 || (bits <= 8 && colorsUsed > (1u << bits))) {
        return "has a bitmap header with values an icon cannot have";
    }
    const uint64_t height = static_cast<uint64_t>(doubleHeight) / 2;
    const uint64_t colors = bits <= 8 ? (colorsUsed != 0 ? colorsUsed : 1u << bits) : 0;
    const uint64_t colorRows = height * ((static_cast<uint64_t>(width) * bits + 31) / 32 * 4);
    const uint64_t maskRows = height * ((static_cast<uint64_t>(width) + 31) / 32 * 4);
    // 32-bit images carry their transparency in the pixels, and some writers leave the mask out.
    const uint64_t needed = 40 + 4 * colors + colorRows + (bits == 32 ? 0 : maskRows);
    if (dib.size() < needed) {
        return "is a bitmap cut short (" + std::to_string(dib.size()) + " bytes of the " +
               std::to_string(needed) + " its header promises)";
    }
    return std::nullopt;
}

std::vector<IconImage> IcoImages(std::string_view ico) {
    const uint16_t count = ReadLe16(ico, 4);
    if (count == 0) {
        throw IconFormatError("the icon file holds no image");
    }
    const size_t listEnd = 6 + 16 * size_t{count};
    if (ico.size() < listEnd) {
        throw IconFormatError("the icon file's list of images is cut short");
    }
    // Every image has bytes of its own after the list: images that share or overlap bytes would
    // let a small file stand for any number of copies of one large image.
    std::vector<std::pair<uint64_t, uint64_t>> spans;  // offset, end
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        const uint32_t size = ReadLe32(ico, entry + 8);
        const uint32_t offset = ReadLe32(ico, entry + 12);
        if (offset > ico.size() || size > ico.size() - offset || size < 8) {
            throw IconFormatError("image " + std::to_string(i + 1) +
                                  " of the icon file lies outside the file");
        }
        if (offset < listEnd) {
            throw IconFormatError("image " + std::to_string(i + 1) +
                                  " of the icon file overlaps the file's list of images");
        }
        spans.emplace_back(offset, uint64_t{offset} + size);
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first < spans[i - 1].second) {
            throw IconFormatError("two images of the icon file share bytes");
        }
    }
    std::vector<IconImage> images;
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        const std::string_view data =
            ico.substr(ReadLe32(ico, entry + 12), ReadLe32(ico, entry + 8));
        if (data.substr(0, 8) == kPngSignature) {
            PngIcon(data);  // checks the size and the pixels
        } else if (const std::optional<std::string> fault = BitmapFault(data)) {
            throw IconFormatError("image " + std::to_string(i + 1) + " of the icon file " + *fault);
        }
        IconImage image;
        image.width = static_cast<uint8_t>(ico[entry]);
        image.height = static_cast<uint8_t>(ico[entry + 1]);
        image.colorCount = static_cast<uint8_t>(ico[entry + 2]);
        image.planes = ReadLe16(ico, entry + 4);
        image.bitCount = ReadLe16(ico, entry + 6);
        image.data = std::string(data);
        images.push_back(std::move(image));
    }
    return images;
}

// ---- Version resource blocks

class VersionReader {
public:
    explicit VersionReader(std::string_view bytes) : bytes_(bytes) {}

    // The block at `at`, which ends no later than `limit`.
    VersionBlock Block(size_t at, size_t limit, int depth) {
        if (depth > kMaxVersionDepth || at + 6 > limit) {
            throw PeFormatError("its version resource is damaged");
        }
        const size_t length = ReadLe16(bytes_, at);
        const uint16_t valueLength = ReadLe16(bytes_, at + 2);
        VersionBlock block;
        block.type = ReadLe16(bytes_, at + 4);
        const size_t end = at + length;
        if (length < 6 || end > limit) {
            throw PeFormatError("its version resource is damaged");
        }
        size_t p = at + 6;
        for (;; p += 2) {
            if (p + 2 > end) {
                throw PeFormatError("its version resource is damaged");
            }
            const char16_t c = static_cast<char16_t>(ReadLe16(bytes_, p));
            if (c == 0) {
                p += 2;
                break;
            }
            block.key.push_back(c);
        }
        p = Aligned(p);
        const size_t valueBytes = std::min<size_t>(
            block.type == 1 ? 2 * size_t{valueLength} : valueLength, end > p ? end - p : 0);
        block.value = std::string(bytes_.substr(std::min(p, end), valueBytes));
        p = Aligned(p + valueBytes);
        while (p + 6 <= end) {
            block.children.push_back(Block(p, end, depth + 1));
            p = Aligned(p + ReadLe16(bytes_, p));
        }
        return block;
    }

private:
    static size_t Aligned(size_t offset) { return (offset + 3) & ~size_t{3}; }
    std::string_view bytes_;
};

void Pad(std::string& out) {
    out.resize((out.size() + 3) & ~size_t{3}, '\0');
}

void EncodeBlock(const VersionBlock& block, std::string& out) {
    const size_t start = out.size();
    AppendLe16(out, 0);  // the length, filled in below
    const size_t valueLength = block.type == 1 ? block.value.size() / 2 : block.value.size();
    if (valueLength > 0xFFFF) {
        throw PeFormatError("a version text is too long");
    }
    AppendLe16(out, static_cast<uint16_t>(valueLength));
    AppendLe16(out, block.type);
    for (const char16_t c : block.key) {
        AppendLe16(out, static_cast<uint16_t>(c));
    }
    AppendLe16(out, 0);
    Pad(out);
    out += block.value;
    for (const VersionBlock& child : block.children) {
        Pad(out);
        EncodeBlock(child, out);
    }
    if (out.size() - start > 0xFFFF) {
        throw PeFormatError("the version resource is too long");
    }
    WriteLe16(out, start, static_cast<uint16_t>(out.size() - start));
}

std::string Utf16Text(std::string_view utf8) {
    std::string bytes;
    for (const char16_t c : Utf8ToUtf16(utf8)) {
        AppendLe16(bytes, static_cast<uint16_t>(c));
    }
    AppendLe16(bytes, 0);
    return bytes;
}

// Sets (or adds) the String `key` of a string table; nullopt removes it.
void SetString(VersionBlock& table, std::u16string_view key,
               const std::optional<std::string>& value) {
    auto& children = table.children;
    const auto it = std::find_if(children.begin(), children.end(),
                                 [&](const VersionBlock& b) { return b.key == key; });
    if (!value) {
        if (it != children.end()) {
            children.erase(it);
        }
        return;
    }
    VersionBlock string{std::u16string(key), 1, Utf16Text(*value), {}};
    if (it != children.end()) {
        *it = std::move(string);
    } else {
        children.push_back(std::move(string));
    }
}

std::string DefaultFixedInfo() {
    std::string info;
    AppendLe32(info, kFixedInfoSignature);
    AppendLe32(info, 0x00010000);  // structure version
    for (int i = 0; i < 4; ++i) {
        AppendLe32(info, 0);  // file and product versions
    }
    AppendLe32(info, 0x3F);     // flags mask
    AppendLe32(info, 0);        // flags
    AppendLe32(info, 0x40004);  // VOS_NT_WINDOWS32
    AppendLe32(info, 1);        // VFT_APP
    AppendLe32(info, 0);        // subtype
    AppendLe32(info, 0);        // date
    AppendLe32(info, 0);
    return info;
}

VersionBlock NewVersionInfo() {
    VersionBlock root{u"VS_VERSION_INFO", 0, DefaultFixedInfo(), {}};
    std::string translation;
    AppendLe16(translation, kDefaultLanguage);
    AppendLe16(translation, 1200);  // Unicode
    root.children.push_back(
        VersionBlock{u"VarFileInfo", 1, {}, {{u"Translation", 0, translation, {}}}});
    return root;
}

std::string BrandVersionInfo(std::optional<std::string_view> old, const AppBranding& branding) {
    VersionBlock root = old ? ParseVersionInfo(*old) : NewVersionInfo();
    if (root.value.size() < kFixedInfoSize || ReadLe32(root.value, 0) != kFixedInfoSignature) {
        root.value = DefaultFixedInfo();
    }
    if (branding.version) {
        if (const auto numbers = ParseVersionNumbers(*branding.version)) {
            const uint32_t high = (uint32_t{(*numbers)[0]} << 16) | (*numbers)[1];
            const uint32_t low = (uint32_t{(*numbers)[2]} << 16) | (*numbers)[3];
            for (const size_t at : {size_t{8}, size_t{16}}) {  // file and product versions
                WriteLe32(root.value, at, high);
                WriteLe32(root.value, at + 4, low);
            }
        }
    }
    VersionBlock* strings = root.Child(u"StringFileInfo");
    if (strings == nullptr) {
        root.children.insert(root.children.begin(), VersionBlock{u"StringFileInfo", 1, {}, {}});
        strings = &root.children.front();
    }
    if (strings->children.empty()) {
        strings->children.push_back(VersionBlock{u"040904B0", 1, {}, {}});
    }
    const size_t dot = branding.fileName.rfind('.');
    const std::string stem = branding.fileName.substr(0, dot);
    for (VersionBlock& table : strings->children) {
        SetString(table, u"CompanyName", branding.company);
        SetString(table, u"FileDescription", branding.productName);
        SetString(table, u"InternalName", stem);
        SetString(table, u"OriginalFilename", branding.fileName);
        SetString(table, u"ProductName", branding.productName);
        if (branding.version) {
            SetString(table, u"FileVersion", branding.version);
            SetString(table, u"ProductVersion", branding.version);
        }
    }
    return EncodeVersionInfo(root);
}

}  // namespace

std::vector<IconImage> ReadIconImages(std::string_view bytes) {
    if (bytes.substr(0, 8) == kPngSignature) {
        return {PngIcon(bytes)};
    }
    if (bytes.size() >= 6 && ReadLe16(bytes, 0) == 0 && ReadLe16(bytes, 2) == 1) {
        return IcoImages(bytes);
    }
    throw IconFormatError("it is neither an .ico nor a .png file");
}

std::optional<std::string> ImageFormat(std::string_view head) {
    const auto starts = [&](std::string_view prefix) {
        return head.substr(0, prefix.size()) == prefix;
    };
    if (starts(kPngSignature)) {
        return "PNG";
    }
    if (starts(std::string_view("\0\0\1\0", 4))) {
        return "ICO";
    }
    if (starts("BM")) {
        return "BMP";
    }
    if (starts("\xFF\xD8\xFF")) {
        return "JPEG";
    }
    if (starts("GIF87a") || starts("GIF89a")) {
        return "GIF";
    }
    if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4))) {
        return "TIFF";
    }
    return std::nullopt;
}

bool ImageLooksWhole(std::string_view bytes) {
    if (ImageFormat(bytes) != "BMP") {
        return true;
    }
    // BITMAPFILEHEADER (14 bytes, the pixels' offset at 10), then a header of a known size.
    if (bytes.size() < 14 + 12) {
        return false;
    }
    const uint32_t pixels = ReadLe32(bytes, 10);
    const uint32_t header = ReadLe32(bytes, 14);
    const bool known = header == 12 || header == 40 || header == 52 || header == 56 ||
                       header == 108 || header == 124;
    return known && bytes.size() >= 14 + uint64_t{header} && pixels >= 14 + uint64_t{header} &&
           pixels < bytes.size();
}

VersionBlock* VersionBlock::Child(std::u16string_view childKey) {
    for (VersionBlock& child : children) {
        if (child.key == childKey) {
            return &child;
        }
    }
    return nullptr;
}

const VersionBlock* VersionBlock::Child(std::u16string_view childKey) const {
    return const_cast<VersionBlock*>(this)->Child(childKey);
}

std::string VersionBlock::Text() const {
    std::u16string text;
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
        const auto c = static_cast<char16_t>(ReadLe16(value, i));
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    return Utf16ToUtf8(text);
}

VersionBlock ParseVersionInfo(std::string_view bytes) {
    if (bytes.size() < 6) {
        throw PeFormatError("its version resource is damaged");
    }
    const size_t length = ReadLe16(bytes, 0);
    return VersionReader(bytes).Block(0, std::min(length, bytes.size()), 0);
}

std::string EncodeVersionInfo(const VersionBlock& root) {
    std::string out;
    EncodeBlock(root, out);
    return out;
}

std::vector<Resource> BrandResources(std::vector<Resource> resources, const AppBranding& branding) {
    const ResourceId groupType = ResourceId::Number(kResourceGroupIcon);
    const ResourceId iconType = ResourceId::Number(kResourceIcon);
    const ResourceId versionType = ResourceId::Number(kResourceVersion);
    const ResourceId mainIcon = ResourceId::Named("MAINICON");
    const auto isGroup = [&](const Resource& r, bool main) {
        return r.type == groupType && r.name.Matches(mainIcon) == main;
    };
    // The icon images a group lists.
    const auto groupIds = [](const Resource& group) {
        std::set<uint16_t> ids;
        const std::string& d = group.data;
        const size_t count = d.size() >= 6 ? ReadLe16(d, 4) : 0;
        for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= d.size(); ++i) {
            ids.insert(ReadLe16(d, 6 + 14 * i + 12));
        }
        return ids;
    };

    if (!branding.icon.empty()) {
        uint16_t language = kDefaultLanguage;
        std::set<uint16_t> oldIds;
        std::set<uint16_t> keptIds;
        for (const Resource& r : resources) {
            if (isGroup(r, true)) {
                language = r.language;
                const std::set<uint16_t> ids = groupIds(r);
                oldIds.insert(ids.begin(), ids.end());
            } else if (isGroup(r, false)) {
                const std::set<uint16_t> ids = groupIds(r);
                keptIds.insert(ids.begin(), ids.end());
            }
        }
        std::erase_if(resources, [&](const Resource& r) {
            return isGroup(r, true) ||
                   (r.type == iconType && !r.name.IsNamed() && oldIds.count(r.name.id) != 0 &&
                    keptIds.count(r.name.id) == 0);
        });
        std::set<uint16_t> used;
        for (const Resource& r : resources) {
            if (r.type == iconType && !r.name.IsNamed()) {
                used.insert(r.name.id);
            }
        }
        std::string group;
        AppendLe16(group, 0);
        AppendLe16(group, 1);
        AppendLe16(group, static_cast<uint16_t>(branding.icon.size()));
        // Icon images are numbered from 1 to 65535 among the ones the executable keeps.
        if (branding.icon.size() + used.size() > 0xFFFF) {
            throw PeFormatError("the icon has " + std::to_string(branding.icon.size()) +
                                " images, and with the " + std::to_string(used.size()) +
                                " the executable keeps that is more than it can number (65535)");
        }
        uint16_t next = 1;
        for (const IconImage& image : branding.icon) {
            while (used.count(next) != 0) {
                ++next;  // cannot pass 65535: there are enough free numbers
            }
            used.insert(next);
            group.push_back(static_cast<char>(image.width));
            group.push_back(static_cast<char>(image.height));
            group.push_back(static_cast<char>(image.colorCount));
            group.push_back('\0');
            AppendLe16(group, image.planes);
            AppendLe16(group, image.bitCount);
            AppendLe32(group, static_cast<uint32_t>(image.data.size()));
            AppendLe16(group, next);
            resources.push_back(
                Resource{iconType, ResourceId::Number(next), language, 0, image.data});
        }
        resources.push_back(Resource{groupType, mainIcon, language, 0, group});
    }

    bool versioned = false;
    for (Resource& r : resources) {
        if (r.type == versionType) {
            r.data = BrandVersionInfo(r.data, branding);
            versioned = true;
        }
    }
    if (!versioned) {
        resources.push_back(Resource{versionType, ResourceId::Number(1), kDefaultLanguage, 0,
                                     BrandVersionInfo(std::nullopt, branding)});
    }
    return resources;
}

std::string BrandExecutable(const PeImage& host, const AppBranding& branding) {
    return ReplaceResources(host, BrandResources(ReadResources(host), branding));
}

std::optional<std::string> MainIconFile(const std::vector<Resource>& resources) {
    const auto find = [&](uint16_t type, const ResourceId& name) -> const Resource* {
        for (const Resource& r : resources) {
            if (r.type == ResourceId::Number(type) && r.name.Matches(name)) {
                return &r;
            }
        }
        return nullptr;
    };
    const Resource* group = find(kResourceGroupIcon, ResourceId::Named("MAINICON"));
    if (group == nullptr || group->data.size() < 6) {
        return std::nullopt;
    }
    // A group entry (14 bytes) ends with the image's resource id; a file entry (16 bytes) with
    // the offset of the image in the file.
    const std::string& d = group->data;
    const size_t count = std::min<size_t>(ReadLe16(d, 4), (d.size() - 6) / 14);
    std::string head = d.substr(0, 6);
    WriteLe16(head, 4, static_cast<uint16_t>(count));
    std::string images;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 6 + 14 * i;
        const Resource* image = find(kResourceIcon, ResourceId::Number(ReadLe16(d, at + 12)));
        if (image == nullptr) {
            return std::nullopt;
        }
        head.append(d, at, 8);
        AppendLe32(head, static_cast<uint32_t>(image->data.size()));
        AppendLe32(head, static_cast<uint32_t>(6 + 16 * count + images.size()));
        images += image->data;
    }
    return head + images;
}

}  // namespace vandrel::tool
