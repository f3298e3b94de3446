#pragma once

#include <optional>
#include <string>

#include "portable/window/window_geometry.h"

namespace vandrel {

// The window of the last run, kept as "window-state.json" in the app's user-data folder.
class WindowMemory {
public:
    explicit WindowMemory(const std::string& userDataFolder)
        : path_(userDataFolder + "\\window-state.json") {}

    // The saved window; nullopt when there is none, or it is damaged or of another format.
    std::optional<SavedWindow> Load() const;
    // Replaces the file as a whole (a new file moved over the old one), so that a run that ends
    // half-way through leaves the earlier one.
    void Save(const SavedWindow& window) const;

private:
    std::string path_;
};

}  // namespace vandrel
