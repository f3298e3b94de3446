#pragma once

#include <memory>
#include <string>

#include "portable/bundle/asset_bundle.h"
#include "win32/util/mapped_file.h"

namespace vandrel {

// The app's bundle, www\assets.dat, mapped for the whole run and read by the bundle reader. The
// reader's directory is emptied, then the view unmapped, when this object goes.
class BundleImage {
public:
    enum class State {
        Absent,      // no such file: everything comes from the www folder
        Read,        // mapped and accepted
        Unreadable,  // present, but it could not be opened, mapped or read in full
    };

    // Maps and reads the file at `path` (UTF-8) when it exists. An unreadable bundle keeps what
    // the reader listed before it stopped, and those entries are still served.
    explicit BundleImage(const std::string& path);
    ~BundleImage();
    BundleImage(const BundleImage&) = delete;
    BundleImage& operator=(const BundleImage&) = delete;

    State GetState() const { return state_; }
    const AssetBundle& Reader() const { return reader_; }
    // The mapped image the reader's entries point into; null without one.
    const std::shared_ptr<const MappedFile>& Image() const { return image_; }

private:
    std::shared_ptr<const MappedFile> image_;
    AssetBundle reader_;
    State state_ = State::Absent;
};

}  // namespace vandrel
