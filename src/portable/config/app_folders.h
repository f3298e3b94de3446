#pragma once

#include <string>

namespace vandrel {

// Where the app lives on this machine, as the host and the extension library are told.
struct AppFolders {
    std::string exeFolder;  // the executable's folder, UTF-8, with a trailing backslash
    std::string webSubfolder = "www\\";  // the web folder's name, relative to exeFolder
    std::string userDataFolder;          // Local AppData, "\" and the app's name; no trailing "\"

    // exeFolder followed by webSubfolder: the web folder's full path.
    std::string WebFolder() const { return exeFolder + webSubfolder; }
};

}  // namespace vandrel
