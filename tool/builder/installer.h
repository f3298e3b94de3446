#pragma once

// The per-user Windows installer of a finished app, made with NSIS's makensis: it installs into
// %LOCALAPPDATA%\Programs\<name> without asking for administrator rights, adds a Start-menu
// shortcut (and a desktop one when chosen), and registers an uninstaller under HKCU.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vandrel::tool {

class Signer;

struct InstallerApp {
    std::string folderName;  // the executable's name without ".exe": the install folder and key
    std::string executable;  // "Castle Run.exe"
    std::string title;       // the product name shown in the installer and the key
    std::string shortcut;    // the shortcuts' file name, without ".lnk"
    std::string version;     // package.json's version; may be empty
    std::optional<std::string> publisher;
    std::string iconFile;  // the .ico bytes of the app's icon; empty for NSIS's own
};

// Writes the installer of the finished app in `staged` (every file below it but the build mark
// is installed) to `output`. The uninstaller inside it is signed by `signer` when it signs; the
// installer itself is not (the caller signs it). Throws ToolError when makensis is missing
// (saying how to get it) or fails.
void WriteInstaller(const std::filesystem::path& staged, const InstallerApp& app,
                    const std::filesystem::path& output, const Signer& signer);

}  // namespace vandrel::tool
