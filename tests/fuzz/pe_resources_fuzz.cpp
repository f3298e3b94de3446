// libFuzzer target for the PE reader and resource writer behind `vandrel build`.
//
// Each input is taken as the host executable. When it parses and its resources read, the tool
// rewrites it with those resources and with the branded ones; each result must parse again, its
// resources must read back as written (same types, names, languages and bytes; of duplicates,
// which a damaged directory can hold, the first), and its checksum must be the image's own. A damaged input is refused with a PeFormatError, never read past.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_resources.h"
#include "app/pe_image.h"
#include "app/pe_resources.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "pe_resources_fuzz: invariant violated: %s\n", what);
        std::abort();
    }
}

bool SameResources(const std::vector<vandrel::tool::Resource>& a,
                   const std::vector<vandrel::tool::Resource>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (const auto& x : a) {
        bool found = false;
        for (const auto& y : b) {
            found = found || (x.type == y.type && x.name == y.name && x.language == y.language &&
                              x.data == y.data);
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

void RoundTrip(const vandrel::tool::PeImage& image,
               const std::vector<vandrel::tool::Resource>& resources) {
    using namespace vandrel::tool;
    std::string rewritten;
    try {
        rewritten = ReplaceResources(image, resources);
    } catch (const PeFormatError&) {
        return;  // no room for another section header
    }
    std::vector<Resource> expected;
    for (const Resource& resource : resources) {
        bool duplicate = false;
        for (const Resource& kept : expected) {
            duplicate = duplicate || (kept.type == resource.type && kept.name == resource.name &&
                                      kept.language == resource.language);
        }
        if (!duplicate) {
            expected.push_back(resource);
        }
    }
    const PeImage again(rewritten);
    Require(SameResources(ReadResources(again), expected), "the resources read back as written");
    Require(again.CheckSum() == PeChecksum(rewritten, again.CheckSumOffset()),
            "the checksum is the image's own");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel::tool;
    std::vector<Resource> resources;
    std::optional<PeImage> image;
    try {
        image.emplace(std::string(reinterpret_cast<const char*>(data), size));
        resources = ReadResources(*image);
    } catch (const PeFormatError&) {
        return 0;
    }
    RoundTrip(*image, resources);
    AppBranding branding;
    branding.productName = "Fuzz \xC3\xA9";
    branding.fileName = "fuzz.exe";
    branding.version = "1.2.3-beta";
    branding.company = "Fuzzers";
    IconImage icon;
    icon.data = std::string(48, 'i');
    branding.icon = {icon, icon};
    std::vector<Resource> branded;
    try {
        branded = BrandResources(resources, branding);
    } catch (const PeFormatError&) {
        return 0;  // a damaged version resource, or too many icons
    }
    RoundTrip(*image, branded);
    return 0;
}
