#include "builder/installer.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "builder/build.h"
#include "builder/signing.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/programs.h"
#include "platform/shown_text.h"
#include "portable/config/config_check.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

// `text` inside a double-quoted NSIS string that the installer reads when it runs.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '$'   ? std::string("$$")
                  : c == '"' ? std::string("$\\\"")
                             : std::string(1, c);
    }
    return quoted + "\"";
}

// A path that makensis reads while it compiles: it takes the text as it stands.
std::string CompilePath(const fs::path& path) {
    const std::string text = PathToUtf8(path);
    if (text.find('"') != std::string::npos) {
        throw ToolError("cannot make the installer: makensis cannot read the path " +
                        ShownPath(path) + ", which holds a double quote");
    }
    return "\"" + text + "\"";
}

struct StagedTree {
    std::vector<std::string> files;    // relative, with backslashes
    std::vector<std::string> folders;  // likewise
    uint64_t bytes = 0;
};

StagedTree ReadTree(const fs::path& staged) {
    StagedTree tree;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(staged, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string name = PathToUtf8(it->path().lexically_relative(staged));
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name == kBuildMark) {
            continue;
        }
        if (it->is_directory(ec)) {
            tree.folders.push_back(name);
        } else {
            tree.files.push_back(name);
            tree.bytes += it->file_size(ec);
        }
    }
    if (ec) {
        throw ToolError("cannot read " + ShownPath(staged) + ": " + ErrorCodeText(ec));
    }
    std::sort(tree.files.begin(), tree.files.end());
    // A folder's own folders sort after it: removed in reverse, each is empty when its turn comes.
    std::sort(tree.folders.rbegin(), tree.folders.rend());
    return tree;
}

std::string Script(const fs::path& staged, const InstallerApp& app, const fs::path& icon,
                   const fs::path& output, const std::string& uninstallerSigning) {
    const StagedTree tree = ReadTree(staged);
    const std::string key =
        Quoted("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + app.folderName);
    const std::string program = "\"$INSTDIR\\" + Quoted(app.executable).substr(1);
    const std::string startMenu = "\"$SMPROGRAMS\\" + Quoted(app.shortcut + ".lnk").substr(1);
    const std::string desktop = "\"$DESKTOP\\" + Quoted(app.shortcut + ".lnk").substr(1);
    std::ostringstream s;
    s << "Target amd64-unicode\n"
         "ManifestDPIAware true\n"
         "RequestExecutionLevel user\n"
         "SetCompressor /SOLID lzma\n";
    if (!uninstallerSigning.empty()) {
        s << "!uninstfinalize `" << uninstallerSigning << "`\n";
    }
    s << "!include \"MUI2.nsh\"\n"
         "!include \"LogicLib.nsh\"\n"
      << "Name " << Quoted(app.title) << "\n"
      << "OutFile " << CompilePath(output) << "\n"
      << "InstallDir \"$LOCALAPPDATA\\Programs\\" << Quoted(app.folderName).substr(1) << "\n"
      << (icon.empty() ? "" : "!define MUI_ICON " + CompilePath(icon) + "\n")
      << (icon.empty() ? "" : "!define MUI_UNICON " + CompilePath(icon) + "\n")
      << "!define MUI_FINISHPAGE_RUN " << program << "\n"
      << "!define MUI_COMPONENTSPAGE_NODESC\n"
         "!insertmacro MUI_PAGE_COMPONENTS\n"
         "!insertmacro MUI_PAGE_INSTFILES\n"
         "!insertmacro MUI_PAGE_FINISH\n"
         "!insertmacro MUI_UNPAGE_CONFIRM\n"
         "!insertmacro MUI_UNPAGE_INSTFILES\n"
         "!insertmacro MUI_LANGUAGE \"English\"\n";
    if (const auto numbers = ParseVersionNumbers(app.version)) {
        s << "VIProductVersion " << (*numbers)[0] << "." << (*numbers)[1] << "." << (*numbers)[2]
          << "." << (*numbers)[3] << "\n"
          << "VIAddVersionKey /LANG=${LANG_ENGLISH} \"ProductName\" " << Quoted(app.title) << "\n"
          << "VIAddVersionKey /LANG=${LANG_ENGLISH} \"ProductVersion\" " << Quoted(app.version)
          << "\n"
          << "VIAddVersionKey /LANG=${LANG_ENGLISH} \"FileVersion\" " << Quoted(app.version) << "\n"
          << "VIAddVersionKey /LANG=${LANG_ENGLISH} \"FileDescription\" "
          << Quoted(app.title + " Setup") << "\n";
        if (app.publisher) {
            s << "VIAddVersionKey /LANG=${LANG_ENGLISH} \"CompanyName\" " << Quoted(*app.publisher)
              << "\n";
        }
    }
    s << "\nSection " << Quoted(app.title) << " SecApp\n"
      << "  SectionIn RO\n"
      << "  SetShellVarContext current\n"
      // An earlier version's uninstaller removes what it put here, and leaves the player's data.
      << "  ${If} ${FileExists} \"$INSTDIR\\uninstall.exe\"\n"
      << "    ExecWait '\"$INSTDIR\\uninstall.exe\" /S _?=$INSTDIR'\n"
      << "  ${EndIf}\n"
      << "  SetOutPath \"$INSTDIR\"\n"
      << "  File /r /x " << kBuildMark << " " << CompilePath(staged / "*") << "\n"
      << "  WriteUninstaller \"$INSTDIR\\uninstall.exe\"\n"
      << "  CreateShortcut " << startMenu << " " << program << "\n"
      << "  WriteRegStr HKCU " << key << " \"DisplayName\" " << Quoted(app.title) << "\n"
      << "  WriteRegStr HKCU " << key << " \"DisplayIcon\" " << program << "\n"
      << "  WriteRegStr HKCU " << key << " \"InstallLocation\" \"$INSTDIR\"\n"
      << "  WriteRegStr HKCU " << key << " \"UninstallString\" '\"$INSTDIR\\uninstall.exe\"'\n"
      << "  WriteRegStr HKCU " << key
      << " \"QuietUninstallString\" '\"$INSTDIR\\uninstall.exe\" /S'\n"
      << "  WriteRegDWORD HKCU " << key << " \"NoModify\" 1\n"
      << "  WriteRegDWORD HKCU " << key << " \"NoRepair\" 1\n"
      << "  WriteRegDWORD HKCU " << key << " \"EstimatedSize\" " << (tree.bytes + 1023) / 1024
      << "\n";
    if (!app.version.empty()) {
        s << "  WriteRegStr HKCU " << key << " \"DisplayVersion\" " << Quoted(app.version) << "\n";
    }
    if (app.publisher) {
        s << "  WriteRegStr HKCU " << key << " \"Publisher\" " << Quoted(*app.publisher) << "\n";
    }
    s << "SectionEnd\n\n"
      << "Section /o \"Desktop shortcut\" SecDesktop\n"
      << "  SetShellVarContext current\n"
      << "  CreateShortcut " << desktop << " " << program << "\n"
      << "SectionEnd\n\n"
      // Installed again: the desktop shortcut stays when there was one.
      << "Function .onInit\n"
      << "  SetShellVarContext current\n"
      << "  ${If} ${FileExists} " << desktop << "\n"
      << "    !insertmacro SelectSection ${SecDesktop}\n"
      << "  ${EndIf}\n"
      << "FunctionEnd\n\n"
      << "Section \"Uninstall\"\n"
      << "  SetShellVarContext current\n";
    for (const std::string& file : tree.files) {
        s << "  Delete \"$INSTDIR\\" << Quoted(file).substr(1) << "\n";
    }
    for (const std::string& folder : tree.folders) {
        s << "  RMDir \"$INSTDIR\\" << Quoted(folder).substr(1) << "\n";
    }
    s << "  Delete \"$INSTDIR\\uninstall.exe\"\n"
      << "  RMDir \"$INSTDIR\"\n"
      << "  Delete " << startMenu << "\n"
      << "  Delete " << desktop << "\n"
      << "  DeleteRegKey HKCU " << key << "\n"
      << "SectionEnd\n";
    return s.str();
}

// makensis: VANDREL_MAKENSIS, the PATH, or where NSIS installs itself on Windows.
fs::path Makensis() {
    if (const std::optional<std::string> named = EnvironmentValue("VANDREL_MAKENSIS")) {
        return PathFromUtf8(*named);
    }
    if (const std::optional<fs::path> found = FindProgram("makensis")) {
        return *found;
    }
    for (const char* variable : {"ProgramFiles(x86)", "ProgramFiles"}) {
        if (const std::optional<std::string> folder = EnvironmentValue(variable)) {
            const fs::path candidate = PathFromUtf8(*folder) / "NSIS" / "makensis.exe";
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec)) {
                return candidate;
            }
        }
    }
    throw ToolError(
        "--installer needs makensis from NSIS, which is not on the PATH: install NSIS (Debian and "
        "Ubuntu: apt install nsis; macOS: brew install makensis; Windows: "
        "https://nsis.sourceforge.io/Download), or name the program in VANDREL_MAKENSIS");
}

}  // namespace

void WriteInstaller(const fs::path& staged, const InstallerApp& app, const fs::path& output,
                    const Signer& signer) {
    const fs::path makensis = Makensis();
    // The script and the icon live beside the output while it is made.
    const fs::path work = TempPathBeside(output);
    std::error_code ec;
    if (!fs::create_directory(work, ec)) {
        throw ToolError("cannot create folder " + ShownPath(work) + ": " + ErrorCodeText(ec));
    }
    struct Removed {
        fs::path path;
        ~Removed() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } removed{work};
    const fs::path icon = app.iconFile.empty() ? fs::path() : work / "app.ico";
    if (!icon.empty()) {
        WriteFileBytes(icon, app.iconFile);
    }
    WriteFileBytes(work / "installer.nsi",
                   Script(staged, app, icon, output,
                          signer.Active() ? signer.CommandForMakensis() : std::string()));
    const ProgramRun run =
        RunProgram(makensis, {"-V2", "-INPUTCHARSET", "UTF8", PathToUtf8(work / "installer.nsi")});
    if (run.exitCode != 0 || !fs::is_regular_file(output, ec)) {
        fs::remove(output, ec);
        throw ToolError("makensis could not make the installer (exit code " +
                        std::to_string(run.exitCode) +
                        "): " + Shown(LastOutputLine(run.output), false));
    }
}

}  // namespace vandrel::tool
