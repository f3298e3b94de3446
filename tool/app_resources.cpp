#include "app_resources.h"

#include <algorithm>
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

// A PNG as one icon image: its size from the IHDR chunk, its bits per pixel from the colour type.
IconImage PngIcon(std::string_view png) {
    if (png.size() < 33 || png.substr(12, 4) != "IHDR") {
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
    IconImage image;
    image.width = static_cast<uint8_t>(width & 0xFF);
    image.height = static_cast<uint8_t>(height & 0xFF);
    image.bitCount = static_cast<uint16_t>(channels * depth);
    image.data = std::string(png);
    return image;
}

std::vector<IconImage> IcoImages(std::string_view ico) {
    const uint16_t count = ReadLe16(ico, 4);
    if (count == 0) {
        throw IconFormatError("the icon file holds no image");
    }
    if (ico.size() < 6 + 16 * size_t{count}) {
        throw IconFormatError("the icon file's list of images is cut short");
    }
    std::vector<IconImage> images;
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        const uint32_t size = ReadLe32(ico, entry + 8);
        const uint32_t offset = ReadLe32(ico, entry + 12);
        if (offset > ico.size() || size > ico.size() - offset || size < 8) {
            throw IconFormatError("image " + std::to_string(i + 1) +
                                  " of the icon file lies outside the file");
        }
        const std::string_view data = ico.substr(offset, size);
        if (data.substr(0, 8) == kPngSignature) {
            PngIcon(data);  // checks the size
        } else if (ReadLe32(data, 0) != 40) {
            throw IconFormatError("image " + std::to_string(i + 1) +
                                  " of the icon file is neither a PNG nor a bitmap");
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
        uint16_t next = 1;
        for (const IconImage& image : branding.icon) {
            while (used.count(next) != 0) {
                ++next;
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

}  // namespace vandrel::tool
