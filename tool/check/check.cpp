#include "check/check.h"

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "app/app_folder.h"
#include "app/app_resources.h"
#include "app/contained_tree.h"
#include "app/pe_image.h"
#include "bundle/bundle_names.h"
#include "bundle/bundle_writer.h"
#include "bundle/folder_scan.h"
#include "bundle/opened_bundle.h"
#include "platform/shown_text.h"
#include "portable/config/config_keys.h"
#include "portable/server/response_plan.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr const char* kExtensionExports[] = {"Init", "Release", "OnMainWindowCreated",
                                             "OnExtensionMessage"};
// The origin the start page is requested on; only its length matters here.
constexpr std::string_view kOrigin = "https://vandrel.localhost/";
// The most of a library or executable that is read.
constexpr uint64_t kLargestProgram = uint64_t{1} << 31;

std::string LowerExtension(const fs::path& path) {
    try {
        return AsciiLowercase(PathToUtf8(path.extension()));
    } catch (const std::exception&) {
        return {};
    }
}

class FolderChecker {
public:
    FolderChecker(const fs::path& folder, const ToolEnvironment& environment)
        : folder_(folder), environment_(environment) {}

    std::vector<Finding> Run() {
        std::error_code ec;
        if (!fs::is_directory(folder_, ec)) {
            throw ToolError("cannot check " + ShownPath(folder_) + ": " +
                            (ec ? ErrorCodeText(ec) : "it is not a folder"));
        }
        app_.emplace(folder_);
        CheckPackage();
        if (config_) {
            CheckHost();
            CheckIcon();
            CheckContent();
        }
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const Finding& a, const Finding& b) {
                             return a.severity == Severity::Error && b.severity != Severity::Error;
                         });
        return std::move(findings_);
    }

private:
    void Add(Severity severity, std::string file, std::string message, std::string advice) {
        Finding finding;
        finding.severity = severity;
        finding.file = std::move(file);
        finding.message = std::move(message);
        finding.advice = std::move(advice);
        findings_.push_back(std::move(finding));
    }

    // A name of the app folder as the host would reach it. One reached through a link (or "..")
    // that leads outside the folder, or through a broken link, is an error here: build refuses
    // it, as pack does.
    Reached Find(const std::string& name) {
        Reached reached = app_->Find(name);
        if (reached.reach == Reach::Outside || reached.reach == Reach::Broken) {
            Add(Severity::Error, name,
                app_->Refusal(reached) +
                    ", so vandrel build refuses to copy it: nothing outside the app folder is "
                    "read",
                "put the file itself into the app folder instead of a link to it");
        }
        return reached;
    }

    void CheckPackage() {
        const Reached file = Find(kPackageFile);
        if (file.reach == Reach::Outside || file.reach == Reach::Broken) {
            return;
        }
        if (!file.IsFile()) {
            Add(Severity::Error, kPackageFile,
                file.reach == Reach::Missing
                    ? "there is no package.json, so the host stops with \"Failed to load "
                      "package.json\""
                    : "package.json is not a regular file, so the host stops with \"Failed to "
                      "load package.json\"",
                "put package.json beside the executable, with at least {\"name\": \"My App\"}");
            return;
        }
        std::string text;
        try {
            text = app_->ReadAll(file, kLargestSettingsFile);
        } catch (const ToolError& error) {
            Add(Severity::Error, kPackageFile, error.what(), "make the file readable");
            return;
        }
        if (text.empty()) {
            Add(Severity::Error, kPackageFile,
                "package.json is empty, so the host stops with \"Failed to load package.json\"",
                "write the app's settings into it, with at least {\"name\": \"My App\"}");
            return;
        }
        ConfigCheckResult result = CheckAppConfig(text, kPackageFile);
        findings_.insert(findings_.end(), result.findings.begin(), result.findings.end());
        if (result.config && result.document) {
            const std::vector<Finding> build = BuildFindings(*result.document, *result.config);
            findings_.insert(findings_.end(), build.begin(), build.end());
        }
        config_ = std::move(result.config);
    }

    // The host executable in a finished folder: the one named after the app, else the only
    // .exe there. None in an app's source folder.
    void FindHost() {
        std::vector<std::string> programs;
        std::error_code ec;
        for (fs::directory_iterator it(folder_, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            if (LowerExtension(it->path()) == ".exe") {
                try {
                    programs.push_back(PathToUtf8(it->path().filename()));
                } catch (const std::exception&) {
                }
            }
        }
        const std::string expected = AsciiLowercase(AppExecutableName(config_->name));
        for (const std::string& program : programs) {
            if (AsciiLowercase(program) == expected) {
                host_ = program;
            }
        }
        if (!host_ && programs.size() == 1) {
            host_ = programs.front();
        }
    }

    // A program of the app folder, read as a PE image; nullopt when it is not there (or not a
    // file). Findings for one that cannot be read or used.
    std::optional<PeImage> ReadProgram(const std::string& name, const char* what,
                                       const std::string& advice) {
        const Reached found = Find(name);
        if (found.reach == Reach::Found && found.kind == EntryKind::Other) {
            Add(Severity::Error, found.name, std::string(what) + "it is not a regular file",
                advice);
        }
        if (!found.IsFile()) {
            return std::nullopt;
        }
        try {
            return PeImage(app_->ReadAll(found, kLargestProgram));
        } catch (const std::exception& error) {
            Add(Severity::Error, found.name, std::string(what) + error.what(), advice);
        }
        return std::nullopt;
    }

    // A library beside the host: it must be a PE image of the host's machine type.
    std::optional<PeImage> CheckLibrary(const char* name) {
        std::optional<PeImage> image =
            ReadProgram(name, "cannot be loaded: ",
                        std::string("replace it with a working ") + MachineName(hostMachine_) +
                            " " + name);
        if (image && image->Machine() != hostMachine_) {
            Add(Severity::Error, name,
                "built for " + MachineName(image->Machine()) + ", but the host is " +
                    MachineName(hostMachine_) + ", so Windows will not load it",
                "use the " + MachineName(hostMachine_) + " build of " + name);
            return std::nullopt;
        }
        return image;
    }

    void CheckHost() {
        FindHost();
        if (host_) {
            const std::optional<PeImage> host = ReadProgram(
                *host_, "not a working program: ", "build the app again with vandrel build");
            if (host) {
                hostMachine_ = host->Machine();
            } else {
                host_.reset();
            }
        }
        const Reached loader = app_->Find(kLoaderFile);
        if (loader.reach != Reach::Missing && loader.kind != EntryKind::Folder) {
            CheckLibrary(kLoaderFile);
        } else if (host_) {
            Add(Severity::Warning, kLoaderFile,
                "missing beside " + *host_ + ", so the app cannot start on a player's machine",
                "add the " + MachineName(hostMachine_) +
                    " WebView2Loader.dll from Microsoft's WebView2 SDK before shipping");
        }
        if (const std::optional<PeImage> extension = CheckLibrary(kExtensionFile)) {
            std::vector<std::string> missing;
            try {
                const std::vector<std::string> names = extension->ExportNames();
                for (const char* expected : kExtensionExports) {
                    if (std::find(names.begin(), names.end(), expected) == names.end()) {
                        missing.push_back(expected);
                    }
                }
            } catch (const std::exception& error) {
                Add(Severity::Error, kExtensionFile,
                    std::string("its export table cannot be read: ") + error.what(),
                    "rebuild the extension library");
                return;
            }
            if (!missing.empty()) {
                std::string list;
                for (const std::string& name : missing) {
                    list += (list.empty() ? "" : ", ") + name;
                }
                Add(Severity::Error, kExtensionFile,
                    "the extension library does not export " + list +
                        ", so the host never calls Init and the extension does nothing",
                    "export all four functions Init, Release, OnMainWindowCreated and "
                    "OnExtensionMessage, with these exact names (extern \"C\")");
            }
        }
        const Reached runtime = Find(kRuntimeFolder);
        if (runtime.IsFolder()) {
            CheckRuntimeFolder(runtime);
        }
        if (config_->distributionMode == DistributionMode::Fixed &&
            !app_->Find(kFixedRuntime).IsFile()) {
            Add(Severity::Error, kFixedRuntime,
                "the distribution mode is \"fixed\", but there is no "
                "webview2/msedgewebview2.exe beside the host, so the app cannot start",
                "put a fixed-version WebView2 runtime into the webview2 folder, or use "
                "\"evergreen\"");
        }
    }

    // What build leaves out of the runtime folder.
    void CheckRuntimeFolder(const Reached& runtime) {
        FolderScan scan = ScanFolder(app_->OpenFolder(runtime), app_->ShownPath(runtime.name),
                                     fs::path(), UINT64_MAX, true);
        AddSkipped(std::string(kRuntimeFolder) + "/", scan);
    }

    // Files a folder scan leaves out: build does not copy them.
    void AddSkipped(const std::string& prefix, const FolderScan& scan) {
        for (const FolderScan::Skipped& skipped : scan.skipped) {
            Add(Severity::Warning, prefix + skipped.name,
                skipped.why + ", so vandrel build and pack leave it out",
                "put the file itself there, or remove it");
        }
    }

    void CheckIcon() {
        const std::string& icon = config_->icon;
        if (icon.empty()) {
            return;
        }
        const auto warn = [&](const std::string& text, const char* hint) {
            Add(Severity::Warning, icon, text, hint);
        };
        const std::string named = "the window icon " + Shown(icon);
        if (IconPathIsForeign(icon)) {
            warn("window.icon " + Shown(icon) +
                     " is not a path relative to the executable's folder, so the host cannot "
                     "find it on a player's machine",
                 "put the image into the app folder and give its path from there");
            return;
        }
        const Reached found = Find(icon);
        if (found.reach == Reach::Outside || found.reach == Reach::Broken) {
            return;
        }
        if (found.reach == Reach::Found && found.kind == EntryKind::Other) {
            warn(named + " is not a regular file, so the window shows the standard icon",
                 "use an image file");
            return;
        }
        if (!found.IsFile()) {
            warn(named + " does not exist, so the window shows the standard icon",
                 "put the image there, or correct window.icon (relative to the executable's "
                 "folder)");
            return;
        }
        std::string image;
        try {
            image = app_->ReadAll(found, kLargestSettingsFile);
        } catch (const ToolError& error) {
            warn(error.what(), "make the icon file readable");
            return;
        }
        const std::optional<std::string> format = ImageFormat(image);
        const char* const useIco = "use an .ico file, or a PNG of at most 256x256 pixels";
        if (!format || !ImageLooksWhole(image)) {
            warn(
                named + " is not an image the host can read, so the window shows the standard icon",
                "use a PNG, ICO, BMP, JPEG, GIF or TIFF image (PNG or ICO also become the "
                "executable's icon)");
        } else if (*format != "PNG" && *format != "ICO") {
            warn("the window icon is a " + *format +
                     " image, which vandrel build cannot make the executable's icon",
                 useIco);
        } else {
            try {
                ReadIconImages(image);
            } catch (const IconFormatError& error) {
                warn("vandrel build cannot make " + named +
                         " the executable's icon: " + error.what(),
                     useIco);
            }
        }
    }

    void CheckContent() {
        const uint64_t limit = environment_.sizeLimit;
        const uint64_t near = limit - limit / 10;
        const Reached www = Find(kWwwFolder);
        const Reached bundleFile = www.IsFolder() ? Find(kBundleFile) : Reached{};
        std::unique_ptr<OpenedBundle> bundle;
        if (bundleFile.IsFile()) {
            const uint64_t length = bundleFile.size;
            if (length >= limit) {
                Add(Severity::Error, kBundleFile,
                    "the bundle is " + std::to_string(length) +
                        " bytes; the host reads only bundles smaller than " + LimitText(limit),
                    "move large media out of the bundle into www as loose files");
            } else {
                bundle = OpenBundle(app_->Open(bundleFile), app_->ShownPath(bundleFile.name));
                if (bundle->rejection) {
                    Add(Severity::Error, kBundleFile,
                        "the bundle does not verify: " + *bundle->rejection +
                            ", so the host shows \"Error reading asset bundle\"",
                        "pack it again (vandrel pack, or vandrel build --bundle); 'vandrel "
                        "verify' says where it is damaged");
                } else if (length >= near) {
                    Add(Severity::Warning, kBundleFile,
                        "the bundle is " + std::to_string(length) + " bytes, near the limit of " +
                            LimitText(limit),
                        "keep large media as loose files in www, outside the bundle");
                }
            }
        }
        if (config_->contentMode != ContentMode::Bundle) {
            return;  // the host serves nothing in remote mode
        }
        std::optional<ContainedTree> wwwTree;
        if (www.IsFolder()) {
            wwwTree.emplace(app_->Subtree(www));
            CheckFolderFiles(*wwwTree, bundle.get(), near);
        }
        CheckMain(wwwTree ? &*wwwTree : nullptr, bundle.get());
    }

    void CheckFolderFiles(const ContainedTree& www, const OpenedBundle* bundle, uint64_t near) {
        const FolderScan scan =
            ScanFolder(www.OpenFolder(www.Find("")), www.Root(), fs::path(), UINT64_MAX, true);
        AddSkipped("www/", scan);
        std::map<std::string, std::vector<std::string>> byFoldedName;
        uint64_t looseBytes = 0;
        for (const BundleInput& file : scan.files) {
            if (bundle && bundle->reader.directory.contains(file.name)) {
                continue;  // served from the bundle
            }
            looseBytes += file.size;
            byFoldedName[AsciiLowercase(file.name)].push_back(file.name);
            if (!IsPlainFolderPath(file.name)) {
                const std::optional<std::string> reason = UnsafeNameReason(file.name, true);
                Add(Severity::Warning, "www/" + file.name,
                    "the host never serves " + Shown(file.name) + " from the www folder" +
                        (reason ? " (" + *reason + ")" : ""),
                    "rename it without the characters < > : \" | ? *, and without a dot or "
                    "space at the end of a name");
            }
        }
        for (auto& [folded, names] : byFoldedName) {
            if (names.size() > 1) {
                std::sort(names.begin(), names.end());
                std::string list;
                for (const std::string& name : names) {
                    list += (list.empty() ? "" : " and ") + Shown("www/" + name);
                }
                Add(Severity::Warning, "www/" + names.front(),
                    list + " differ only in case; on Windows only one of them can exist",
                    "rename one of them");
            }
        }
        if (looseBytes >= near) {
            Add(Severity::Warning, "www",
                "the www folder holds " + std::to_string(looseBytes) +
                    " bytes, near the limit of " + LimitText(environment_.sizeLimit) +
                    " for a bundle",
                "keep large media as loose files when you bundle the rest");
        }
    }

    // The start page as the host would request it.
    void CheckMain(const ContainedTree* www, const OpenedBundle* bundle) {
        static const AssetBundle kNoBundle;
        const AssetBundle& reader = bundle ? bundle->reader : kNoBundle;
        const FolderQuery exact = [&](const std::string& folderPath) {
            FolderEntry entry;
            const Reached found = www ? www->Find(folderPath) : Reached{};
            if (found.reach == Reach::Found && found.exact) {
                entry.exists = true;
                entry.isDirectory = found.kind == EntryKind::Folder;
                entry.size = found.size;
            }
            return entry;
        };
        const std::string uri = std::string(kOrigin) + config_->main;
        const ResponsePlan plan =
            PlanResponse(uri, kOrigin.size(), reader, "", "", std::nullopt, exact);
        if (plan.status == 200) {
            return;
        }
        const std::string& path = plan.requestPath;
        std::optional<std::string> otherCase;
        for (const auto& [name, entry] : reader.directory) {
            if (AsciiLowercase(name) == AsciiLowercase(path)) {
                otherCase = name;
            }
        }
        if (!otherCase && www) {
            const Reached found = www->Find(path);
            if (found.IsFile() && AsciiLowercase(found.name) == AsciiLowercase(path)) {
                otherCase = found.name;
            }
        }
        const std::string where = bundle ? "in the bundle or the www folder" : "in the www folder";
        if (otherCase) {
            Add(Severity::Error, "package.json",
                "the start page main " + Shown(config_->main) + " is found " + where + " only as " +
                    Shown(*otherCase) +
                    ": names are case-sensitive, so players get \"File not found\"",
                "write main as " + Shown(*otherCase) + ", or rename the file");
        } else {
            Add(Severity::Error, "package.json",
                "the start page main " + Shown(config_->main) + " is not " + where +
                    ", so players get \"File not found\"",
                "add www/" + path +
                    ", or set main to a page inside www (a path without a "
                    "leading /)");
        }
        findings_.back().key = "main";
    }

    fs::path folder_;
    const ToolEnvironment& environment_;
    std::optional<ContainedTree> app_;
    std::vector<Finding> findings_;
    std::optional<AppConfig> config_;
    std::optional<std::string> host_;
    uint16_t hostMachine_ = kMachineAmd64;  // what vandrel build ships
};

std::string Where(const Finding& finding) {
    std::string where = finding.file;
    if (finding.line > 0) {
        where += ":" + std::to_string(finding.line) + ":" + std::to_string(finding.column);
    }
    if (!finding.key.empty()) {
        where += (where.empty() ? "" : ": ") + finding.key;
    }
    return where;
}

}  // namespace


std::vector<Finding> CheckAppFolder(const fs::path& folder, const ToolEnvironment& environment) {
    return FolderChecker(folder, environment).Run();
}

bool HasErrors(const std::vector<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& f) { return f.severity == Severity::Error; });
}

std::string FindingSummary(const std::vector<Finding>& findings) {
    if (findings.empty()) {
        return "no problems found";
    }
    const auto errors =
        static_cast<uint64_t>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
            return f.severity == Severity::Error;
        }));
    return Plural(errors, "error", "errors") + ", " +
           Plural(findings.size() - errors, "warning", "warnings");
}

void PrintFindings(const std::vector<Finding>& findings, std::ostream& out, bool json) {
    if (json) {
        nlohmann::json array = nlohmann::json::array();
        for (const Finding& f : findings) {
            nlohmann::json item = {
                {"severity", f.severity == Severity::Error ? "error" : "warning"},
                {"file", f.file},
                {"message", f.message},
                {"advice", f.advice},
            };
            if (!f.key.empty()) {
                item["key"] = f.key;
            }
            if (f.line > 0) {
                item["line"] = f.line;
                item["column"] = f.column;
            }
            array.push_back(std::move(item));
        }
        out << array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return;
    }
    // Names and values from the app folder reach these lines: whatever would move the cursor or
    // reorder the text on a terminal is shown escaped.
    for (const Finding& f : findings) {
        out << (f.severity == Severity::Error ? "error: " : "warning: ") << Shown(Where(f), false)
            << ": " << Shown(f.message, false) << "; " << Shown(f.advice, false) << '\n';
    }
}

int CheckCommand(const fs::path& folder, bool json, std::ostream& out, std::ostream& err,
                 const ToolEnvironment& environment) {
    std::vector<Finding> findings;
    try {
        findings = CheckAppFolder(folder, environment);
    } catch (const std::exception& error) {
        err << "vandrel: " << error.what() << '\n';
        return kExitUsage;  // the check itself could not run
    }
    PrintFindings(findings, out, json);
    if (!json) {
        out << ShownPath(folder) << ": " << FindingSummary(findings) << '\n';
    }
    return HasErrors(findings) ? kExitFailure : kExitOk;
}

}  // namespace vandrel::tool
