#include "win32/server/bundle_image.h"

#include "win32/util/files.h"

namespace vandrel {

namespace {

// The host maps the bundle in one piece and reads its length as a signed 32-bit size.
constexpr uint64_t kLargestBundle = 0x7FFFFFFF;

}  // namespace

BundleImage::BundleImage(const std::string& path) {
    if (!FileExists(path)) {
        return;
    }
    state_ = State::Unreadable;
    image_ = MappedFile::Open(path);
    if (!image_) {
        return;
    }
    // A bundle of 2 GiB or more is attached as an empty image, which the reader rejects.
    reader_.AttachMemory(image_->Data(), image_->Size() <= kLargestBundle ? image_->Size() : 0);
    try {
        reader_.Parse();
        state_ = State::Read;
    } catch (...) {
        // Reported by the caller; the entries read so far stay findable.
    }
}

BundleImage::~BundleImage() {
    reader_.Clear();
    image_.reset();
}

}  // namespace vandrel
