// libFuzzer target for the icon reader behind `vandrel build` and `vandrel check`.
//
// Each input is taken as an icon file (.ico or .png). The reader either refuses it with an
// IconFormatError or gives images that hold, between them, no more bytes than the input: no image
// is counted twice, whatever the file's list says, so a small file cannot stand for gigabytes.
// Every image is a PNG or a bitmap, and a PNG image is at most 256x256 pixels. The branded
// resources made from the images number them within 1 to 65535.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/app_resources.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "icon_fuzz: invariant violated: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel::tool;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<IconImage> images;
    try {
        images = ReadIconImages(bytes);
    } catch (const IconFormatError&) {
        return 0;
    }
    Require(!images.empty(), "an icon without images is refused");
    size_t total = 0;
    for (const IconImage& image : images) {
        total += image.data.size();
        Require(image.data.size() >= 8, "every image holds a header");
        Require(image.data.compare(0, 4, "\x89PNG") == 0 || ReadLe32(image.data, 0) == 40,
                "every image is a PNG or a bitmap");
    }
    Require(total <= size, "the images hold no more bytes than the file");

    AppBranding branding;
    branding.productName = "Fuzz";
    branding.fileName = "fuzz.exe";
    branding.icon = std::move(images);
    try {
        for (const Resource& resource : BrandResources({}, branding)) {
            Require(resource.type.IsNamed() || resource.type.id != kResourceIcon ||
                        (resource.name.id >= 1 && !resource.name.IsNamed()),
                    "icon images are numbered from 1");
        }
    } catch (const PeFormatError&) {
    }
    return 0;
}
