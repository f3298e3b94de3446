#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "win32/util/handles.h"

namespace vandrel {

// One run of an app per user: a named mutex in the session's namespace, named after the app's
// name and the user's security id, so that two apps, or two users, never block each other.
class SingleInstance {
public:
    // Claims the app for this run; nullopt when another run of it holds the claim.
    static std::optional<SingleInstance> Claim(const std::string& appName);
    // Brings the window of the run that holds the claim to the front, restoring it when it is
    // minimised. Nothing when that run has no window shown yet.
    static void BringForward(const std::string& appName);

    // Marks this run's main window as the one BringForward finds.
    void MarkWindow(HWND window) const;

private:
    SingleInstance(UniqueKernelHandle mutex, uint64_t tag) : mutex_(std::move(mutex)), tag_(tag) {}

    UniqueKernelHandle mutex_;
    uint64_t tag_;
};

}  // namespace vandrel
