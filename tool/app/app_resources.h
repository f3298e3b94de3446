#pragma once

// What `vandrel build` writes into the host executable: the app's icon as the icon group
// MAINICON, and its name and version in the version resource. Also the image checks behind
// `vandrel check`'s window.icon findings.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/pe_image.h"
#include "app/pe_resources.h"

namespace vandrel::tool {

// An icon file that cannot go into an executable; the message says why.
class IconFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One image of an icon, as an icon group lists it.
struct IconImage {
    uint8_t width = 0;  // 0 stands for 256
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 32;
    std::string data;  // a PNG file, or a bitmap without its file header
};

// The images of an .ico file, or of a .png file taken as one PNG icon image (at most 256x256).
// Throws IconFormatError for anything else or a damaged file.
std::vector<IconImage> ReadIconImages(std::string_view bytes);

// The image format that the first bytes of a file show, among those the host reads for its
// window icon: "PNG", "ICO", "BMP", "JPEG", "GIF" or "TIFF"; nullopt for anything else.
std::optional<std::string> ImageFormat(std::string_view head);

// False when an image whose format ImageFormat named is plainly incomplete: a bitmap file whose
// headers are cut short or whose pixels would start past its end. (PNG and ICO files are checked
// through to their pixels by ReadIconImages.)
bool ImageLooksWhole(std::string_view bytes);

// A block of a version resource (VS_VERSIONINFO and its StringFileInfo, StringTable, String,
// VarFileInfo and Var children): a key, a value and child blocks.
struct VersionBlock {
    std::u16string key;
    uint16_t type = 0;  // 1: the value is UTF-16 text (with its terminating zero); 0: bytes
    std::string value;
    std::vector<VersionBlock> children;

    VersionBlock* Child(std::u16string_view childKey);
    const VersionBlock* Child(std::u16string_view childKey) const;
    // The text of a type-1 value, without its terminating zero, as UTF-8.
    std::string Text() const;
};

// Throws PeFormatError for a damaged version resource.
VersionBlock ParseVersionInfo(std::string_view bytes);
std::string EncodeVersionInfo(const VersionBlock& root);

struct AppBranding {
    std::string productName;             // product name and file description
    std::string fileName;                // the executable's file name, such as "Castle Run.exe"
    std::optional<std::string> version;  // package.json's version text
    std::optional<std::string> company;  // the company name; none removes the host's
    std::vector<IconImage> icon;         // empty keeps the host's icon
};

// `resources` with MAINICON and the version resource made from `branding`. Other resources are
// kept as they are, icon images that only the old MAINICON used are dropped.
std::vector<Resource> BrandResources(std::vector<Resource> resources, const AppBranding& branding);

// The .ico file of the icon group MAINICON among `resources` (with the images it lists, in its
// order), or nullopt when there is no such group or an image it lists is missing.
std::optional<std::string> MainIconFile(const std::vector<Resource>& resources);

// The bytes of `host` rewritten with its resources branded.
std::string BrandExecutable(const PeImage& host, const AppBranding& branding);

}  // namespace vandrel::tool
