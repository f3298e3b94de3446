#include "build.h"

#include "kit_files.h"
#include <algorithm>
#include <optional>
#include <set>

#include "app_resources.h"
#include "check.h"
#include "portable/config/config_keys.h"
#include "folder_scan.h"
#include "pe_image.h"
#include "portable/util/json_lookup.h"
#include "portable/util/utf.h"
#include "zip_writer.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "usage: vandrel build APP_FOLDER -o OUT [--bundle] [--zip] [--host EXE] [--loader DLL]\n"
    "\n"
    "Makes the finished app in the folder OUT: the host as <name>.exe carrying the app's icon,\n"
    "name and version, package.json, www/ (packed into www/assets.dat with --bundle),\n"
    "WebView2Loader.dll, and WV2ExtManager.dll and webview2/ when the app has them. --zip also\n"
    "writes OUT.zip. The host is vandrel-host.exe beside this tool unless --host names it; the\n"
    "loader is --loader, else WebView2Loader.dll beside the host. An existing OUT is replaced\n"
    "only once the new one is complete. Ends with 'vandrel check OUT'.\n";

constexpr char kHostFile[] = "vandrel-host.exe";
constexpr char kLoaderFile[] = "WebView2Loader.dll";
constexpr char kExtensionFile[] = "WV2ExtManager.dll";
constexpr char kRuntimeFolder[] = "webview2";

struct BuildOptions {
    fs::path app;
    fs::path out;
    bool bundle = false;
    bool zip = false;
    std::optional<fs::path> host;
    std::optional<fs::path> loader;
};

BuildOptions ParseBuildArgs(const std::vector<std::string>& args, bool& help) {
    BuildOptions options;
    std::vector<std::string> positional;
    std::optional<std::string> out;
    const auto value = [&](size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) {
            throw UsageError("option " + args[i] + " needs a value");
        }
        return args[++i];
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-o" || arg == "--output") {
            out = value(i);
        } else if (arg.rfind("--output=", 0) == 0) {
            out = arg.substr(9);
        } else if (arg == "--bundle") {
            options.bundle = true;
        } else if (arg == "--zip") {
            options.zip = true;
        } else if (arg == "--host") {
            options.host = PathFromUtf8(value(i));
        } else if (arg == "--loader") {
            options.loader = PathFromUtf8(value(i));
        } else if (arg == "-h" || arg == "--help") {
            help = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option " + Shown(arg));
        } else {
            positional.push_back(arg);
        }
    }
    if (help) {
        return options;
    }
    if (positional.size() != 1 || !out) {
        throw UsageError(
            "build takes one app folder and an output folder: vandrel build "
            "APP_FOLDER -o OUT");
    }
    options.app = PathFromUtf8(positional[0]);
    options.out = PathFromUtf8(*out);
    return options;
}

fs::path Normal(const fs::path& path) {
    std::error_code ec;
    fs::path normal = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) {
        normal = fs::absolute(path).lexically_normal();
    }
    // "dist/hello/" names the folder "hello".
    return normal.has_filename() ? normal : normal.parent_path();
}

void CreateFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        throw ToolError("cannot create folder " + ShownPath(folder) + ": " + ErrorCodeText(ec));
    }
}

void CopyOneFile(const fs::path& from, const fs::path& to) {
    CreateFolders(to.parent_path());
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        throw ToolError("cannot copy " + ShownPath(from) + " to " + ShownPath(to) + ": " +
                        ErrorCodeText(ec));
    }
}

// Copies a file the scan found, read through the folders the scan went through, to `to`.
void CopyScannedFile(FolderScan& scan, const BundleInput& file, const fs::path& to) {
    CreateFolders(to.parent_path());
    const std::unique_ptr<InputFile> in = scan.Open(file);
    TempOutputFile out(to);
    std::vector<char> buffer(1 << 20);
    uint64_t done = 0;
    while (const size_t got = in->Read(buffer.data(), buffer.size())) {
        out.WriteAt(done, buffer.data(), got);
        done += got;
    }
    out.Commit();
}

// A folder beside OUT that becomes OUT once complete; removed with everything in it otherwise.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& target) : target_(target) {
        CreateFolders(target.parent_path());
        path_ = TempPathBeside(target);
        std::error_code ec;
        if (!fs::create_directory(path_, ec)) {
            throw ToolError("cannot create folder " + ShownPath(path_) + ": " +
                            (ec ? ErrorCodeText(ec) : "it exists"));
        }
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    ~StagingFolder() {
        if (!committed_) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }

    const fs::path& Path() const { return path_; }

    // Puts the folder in the place of the target: an existing target is moved aside first, and
    // moved back when the rename fails.
    void Commit() {
        std::error_code ec;
        std::optional<fs::path> aside;
        if (fs::exists(fs::symlink_status(target_, ec))) {
            aside = TempPathBeside(target_);
            fs::rename(target_, *aside, ec);
            if (ec) {
                throw ToolError("cannot replace " + ShownPath(target_) + ": " + ErrorCodeText(ec));
            }
        }
        fs::rename(path_, target_, ec);
        if (ec) {
            std::error_code ignored;
            if (aside) {
                fs::rename(*aside, target_, ignored);
            }
            throw ToolError("cannot write " + ShownPath(target_) + ": " + ErrorCodeText(ec));
        }
        committed_ = true;
        if (aside) {
            fs::remove_all(*aside, ec);
        }
    }

private:
    fs::path target_;
    fs::path path_;
    bool committed_ = false;
};

// The name shown for the app: window.title when package.json sets it, else the name.
std::string ProductName(const nlohmann::json& document, const AppConfig& config) {
    const nlohmann::json* window = KeyContainer(document, keys::kTitle);
    const std::string title =
        window != nullptr ? JsonGetString(*window, keys::kTitle.name, "") : std::string();
    return title.empty() ? config.name : title;
}

// npm's "author": "Name <mail> (site)" or {"name": "Name"}.
std::optional<std::string> Author(const nlohmann::json& document) {
    std::string author = JsonGetString(document, "author", "");
    if (author.empty() && document.contains("author")) {
        author = JsonGetString(document.at("author"), "name", "");
    }
    author = author.substr(0, author.find_first_of("<("));
    while (!author.empty() && author.back() == ' ') {
        author.pop_back();
    }
    if (author.empty()) {
        return std::nullopt;
    }
    return author;
}

std::vector<IconImage> AppIcon(const fs::path& app, const AppConfig& config) {
    if (config.icon.empty()) {
        return {};
    }
    const std::optional<Located> found = Locate(app, config.icon);
    if (!found || found->directory) {
        return {};
    }
    try {
        return ReadIconImages(ReadFileBytes(found->path, uint64_t{64} << 20));
    } catch (const std::exception&) {
        return {};  // the check of the result explains why the host's icon stays
    }
}

PeImage LoadProgram(const fs::path& path, const char* what) {
    try {
        return PeImage::FromFile(path);
    } catch (const PeFormatError& error) {
        throw ToolError(std::string("cannot use ") + ShownPath(path) + " as the " + what + ": " +
                        error.what());
    }
}

struct Built {
    std::string executable;
    uint64_t wwwFiles = 0;
    std::optional<PackStats> bundle;
    bool loader = false;
    std::vector<std::string> notCopied;
};

class Builder {
public:
    Builder(const BuildOptions& options, const ToolEnvironment& environment, std::ostream& out,
            std::ostream& err)
        : options_(options), environment_(environment), out_(out), err_(err) {}

    int Run() {
        const fs::path& app = options_.app;
        std::error_code ec;
        if (!fs::is_directory(app, ec)) {
            throw ToolError("cannot open folder " + ShownPath(app) + ": " +
                            (ec ? ErrorCodeText(ec) : "it is not a folder"));
        }
        LoadPackage();
        const fs::path host =
            options_.host ? *options_.host : environment_.programPath.parent_path() / kHostFile;
        if (!fs::is_regular_file(host, ec)) {
            throw ToolError("cannot find the host " + ShownPath(host) +
                            (options_.host ? "" : " beside the tool") +
                            "; name it with --host EXE");
        }
        const PeImage hostImage = LoadProgram(host, "host");
        std::optional<fs::path> loader = options_.loader;
        if (loader && !fs::is_regular_file(*loader, ec)) {
            throw ToolError("cannot find the loader " + ShownPath(*loader));
        }
        for (const fs::path& candidate : {app / kLoaderFile, host.parent_path() / kLoaderFile}) {
            if (!loader && fs::is_regular_file(candidate, ec)) {
                loader = candidate;
            }
        }
        CheckPlaces();

        StagingFolder stage(outPath_);
        const fs::path s = stage.Path();
        Built built;
        built.executable = AppExecutableName(config_.name);
        AppBranding branding;
        branding.productName = ProductName(document_, config_);
        branding.fileName = built.executable;
        const std::string version = JsonGetString(document_, "version", "");
        if (!version.empty()) {
            branding.version = version;
        }
        branding.company = Author(document_);
        branding.icon = AppIcon(app, config_);
        try {
            WriteFileBytes(s / PathFromUtf8(built.executable),
                           BrandExecutable(hostImage, branding));
        } catch (const PeFormatError& error) {
            throw ToolError("cannot write the app's resources into " + ShownPath(host) + ": " +
                            error.what());
        }
        CopyOneFile(app / "package.json", s / "package.json");
        StageWww(s, built);
        StageIcon(s);
        if (loader) {
            CopyOneFile(*loader, s / kLoaderFile);
            built.loader = true;
        }
        if (fs::is_regular_file(app / kExtensionFile, ec)) {
            CopyOneFile(app / kExtensionFile, s / kExtensionFile);
        }
        if (fs::is_directory(app / kRuntimeFolder, ec)) {
            fs::copy(app / kRuntimeFolder, s / kRuntimeFolder, fs::copy_options::recursive, ec);
            if (ec) {
                throw ToolError("cannot copy " + ShownPath(app / kRuntimeFolder) + ": " +
                                ErrorCodeText(ec));
            }
        }

        std::optional<TempOutputFile> zip;
        ZipStats zipStats;
        fs::path zipPath = outPath_;
        zipPath += ".zip";
        if (options_.zip) {
            zip.emplace(zipPath);
            zipStats = WriteZip(ZipEntries(s), *zip);
        }
        stage.Commit();
        if (zip) {
            zip->Commit();
        }

        Report(built);
        ReportNotCopied();
        if (zip) {
            out_ << "zipped " << ShownPath(zipPath) << ": "
                 << Plural(zipStats.files, "file", "files") << ", "
                 << Plural(zipStats.bytes, "byte", "bytes") << '\n';
        }
        const std::vector<Finding> findings = CheckAppFolder(options_.out, environment_);
        PrintFindings(findings, out_, false);
        out_ << ShownPath(options_.out) << ": " << FindingSummary(findings) << '\n';
        return HasErrors(findings) ? kExitFailure : kExitOk;
    }

private:
    // The app's settings, as the host will read them; a package.json the host refuses stops the
    // build before anything is written.
    void LoadPackage() {
        const fs::path path = options_.app / "package.json";
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) {
            throw ToolError(ShownPath(options_.app) + " has no package.json");
        }
        ConfigCheckResult result = CheckAppConfig(ReadFileBytes(path, uint64_t{64} << 20));
        if (!result.config) {
            PrintFindings(result.findings, out_, false);
            throw ToolError(ShownPath(path) +
                            " has errors, so the host would not start; "
                            "nothing was built");
        }
        config_ = std::move(*result.config);
        document_ = std::move(*result.document);
        const std::vector<Finding> refused = BuildFindings(document_, config_);
        if (!refused.empty()) {
            PrintFindings(refused, out_, false);
            throw ToolError(ShownPath(path) + " has values that cannot go into the executable; "
                            "nothing was built");
        }
    }

    // OUT must not be the app folder, hold it, or lie inside its www folder.
    void CheckPlaces() {
        outPath_ = Normal(options_.out);
        const fs::path app = Normal(options_.app);
        if (IsInside(app, outPath_)) {
            throw ToolError("the output folder " + ShownPath(options_.out) +
                            " is or holds the app folder; choose another one");
        }
        if (IsInside(outPath_, app / "www")) {
            throw ToolError("the output folder " + ShownPath(options_.out) +
                            " lies inside the app's www folder; choose another one");
        }
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(outPath_, ec);
        if (fs::exists(status) && !fs::is_directory(status)) {
            throw ToolError("cannot write the folder " + ShownPath(options_.out) +
                            ": a file of that name is in the way");
        }
    }

    // The page library, which every app gets unless it has its own, written into the staged www
    // folder.
    std::vector<BundleInput> StageKitFiles(const fs::path& www, const std::set<std::string>& own) {
        const std::string name(kPageLibraryName);
        if (own.count(name) != 0) {
            return {};
        }
        const std::string_view content = FindKitFile(name).value_or("");
        const fs::path path = www / PathFromUtf8(name);
        WriteFileBytes(path, content);
        return {BundleInput{name, path, content.size()}};
    }

    void StageWww(const fs::path& s, Built& built) {
        const fs::path www = options_.app / "www";
        const fs::path stagedWww = s / "www";
        std::error_code ec;
        if (!fs::is_directory(www, ec)) {
            return;
        }
        CreateFolders(stagedWww);
        const bool hasBundle = fs::is_regular_file(www / "assets.dat", ec);
        if (options_.bundle && hasBundle) {
            throw ToolError(ShownPath(www / "assets.dat") +
                            " exists: --bundle packs the www folder itself; remove the old "
                            "bundle, or build without --bundle");
        }
        FolderScan scan = ScanFolder(www, fs::path());
        for (const std::string& warning : scan.warnings) {
            err_ << "vandrel: warning: " << warning << '\n';
        }
        std::set<std::string> names;
        for (const BundleInput& file : scan.files) {
            names.insert(file.name);
        }
        const std::vector<BundleInput> kit = StageKitFiles(stagedWww, names);

        if (!options_.bundle) {
            for (const BundleInput& file : scan.files) {
                CopyScannedFile(scan, file, stagedWww / PathFromUtf8(file.name));
            }
            if (hasBundle) {
                CopyOneFile(www / "assets.dat", stagedWww / "assets.dat");
            }
            built.wwwFiles = scan.files.size() + kit.size() + (hasBundle ? 1 : 0);
            return;
        }
        std::vector<BundleInput> inputs = scan.files;
        inputs.insert(inputs.end(), kit.begin(), kit.end());
        PackOptions pack;
        pack.sizeLimit = environment_.sizeLimit;
        // The app's files are read through the folders the scan went through; the kit's from
        // where they were staged.
        pack.open = [&scan](const BundleInput& input) {
            return input.source.empty() ? scan.Open(input)
                                        : std::make_unique<InputFile>(input.source);
        };
        built.bundle = WriteBundle(inputs, stagedWww / "assets.dat", pack);
        // The bundle holds them: their loose copies go.
        for (const BundleInput& file : kit) {
            fs::remove(file.source, ec);
        }
        built.wwwFiles = 1;
    }

    // The window icon is read from disk by the host, never from the bundle: it is copied as a
    // loose file wherever it lies in the app folder.
    void StageIcon(const fs::path& s) {
        const std::string& icon = config_.icon;
        if (icon.empty() || icon.front() == '/' || icon.front() == '\\' ||
            icon.find(':') != std::string::npos) {
            return;
        }
        const std::optional<Located> found = Locate(options_.app, icon);
        if (!found || found->directory) {
            return;
        }
        const fs::path target = s / PathFromUtf8(found->name);
        std::error_code ec;
        if (!fs::exists(target, ec)) {
            CopyOneFile(found->path, target);
        }
    }

    std::vector<ZipEntry> ZipEntries(const fs::path& s) {
        const std::string top = PathToUtf8(outPath_.filename());
        std::vector<ZipEntry> entries{ZipEntry{top + "/", {}}};
        std::error_code ec;
        for (fs::recursive_directory_iterator it(s, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const std::u8string relative = it->path().lexically_relative(s).generic_u8string();
            std::string name = top + "/" + std::string(relative.begin(), relative.end());
            if (it->is_directory(ec)) {
                name += "/";
            }
            entries.push_back(ZipEntry{name, it->path()});
        }
        if (ec) {
            throw ToolError("cannot read " + ShownPath(s) + ": " + ErrorCodeText(ec));
        }
        return entries;
    }

    void Report(const Built& built) {
        out_ << "built " << ShownPath(options_.out) << ": " << built.executable << ", package.json";
        if (built.bundle) {
            out_ << ", www/assets.dat (" << Plural(built.bundle->files, "file", "files") << ", "
                 << Plural(built.bundle->bundleBytes, "byte", "bytes") << ")";
        } else if (built.wwwFiles > 0) {
            out_ << ", www/ (" << Plural(built.wwwFiles, "file", "files") << ")";
        }
        if (built.loader) {
            out_ << ", " << kLoaderFile;
        }
        out_ << '\n';
    }

    // What the app folder holds besides what a finished app takes from it.
    void ReportNotCopied() {
        std::set<std::string> taken = {"package.json", "www", kLoaderFile, kExtensionFile,
                                       kRuntimeFolder};
        const std::optional<Located> icon =
            config_.icon.empty() ? std::nullopt : Locate(options_.app, config_.icon);
        if (icon) {
            taken.insert(icon->name.substr(0, icon->name.find('/')));
        }
        std::vector<std::string> left;
        std::error_code ec;
        for (fs::directory_iterator it(options_.app, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            std::string name;
            try {
                name = PathToUtf8(it->path().filename());
            } catch (const std::exception&) {
                continue;
            }
            std::error_code same;
            if (taken.count(name) == 0 && !fs::equivalent(it->path(), outPath_, same)) {
                left.push_back(name + (it->is_directory(same) ? "/" : ""));
            }
        }
        if (left.empty()) {
            return;
        }
        std::sort(left.begin(), left.end());
        out_ << "not copied from " << ShownPath(options_.app) << ":";
        for (const std::string& name : left) {
            out_ << ' ' << Shown(name);
        }
        out_ << '\n';
    }

    const BuildOptions& options_;
    const ToolEnvironment& environment_;
    std::ostream& out_;
    std::ostream& err_;
    AppConfig config_;
    nlohmann::json document_;
    fs::path outPath_;
};

}  // namespace

std::string AppExecutableName(const std::string& name) {
    std::string file;
    for (size_t at = 0; at < name.size();) {
        const size_t start = at;
        bool malformed = false;
        const char32_t c = NextCodePoint(name, at, malformed);
        // Characters that would hide the name's real end ("Game\u202Egpj.exe") go too.
        const bool refused = DisguisesText(c) ||
                             (c < 0x80 && std::string_view("<>:\"/\\|?*").find(static_cast<char>(
                                              c)) != std::string_view::npos);
        if (refused) {
            file.push_back('-');
        } else {
            file.append(name, start, at - start);
        }
    }
    while (!file.empty() && (file.back() == '.' || file.back() == ' ')) {
        file.pop_back();
    }
    while (!file.empty() && file.front() == ' ') {
        file.erase(file.begin());
    }
    file += ".exe";
    if (file == ".exe" || UnsafeNameReason(file, true)) {
        return "app.exe";
    }
    return file;
}

std::vector<Finding> BuildFindings(const nlohmann::json& document, const AppConfig& config) {
    std::vector<Finding> findings;
    const auto refuse = [&](std::string key, std::string message, std::string advice) {
        Finding finding;
        finding.file = "package.json";
        finding.key = std::move(key);
        finding.message = std::move(message);
        finding.advice = std::move(advice);
        findings.push_back(std::move(finding));
    };
    const size_t fileName = Utf16Length(AppExecutableName(config.name));
    if (fileName > kLongestFileName) {
        refuse("name",
               "the executable would be named with " + std::to_string(fileName) +
                   " characters, more than the " + std::to_string(kLongestFileName) +
                   " Windows allows, so vandrel build cannot write it",
               "shorten the name");
    }
    const auto tooLong = [&](const std::string& key, const std::string& text) {
        const size_t length = Utf16Length(text);
        if (length > kLongestVersionText) {
            refuse(key,
                   key + " is " + std::to_string(length) + " characters long, more than the " +
                       std::to_string(kLongestVersionText) +
                       " that vandrel build writes into the executable's version resource",
                   "shorten it");
        }
    };
    const nlohmann::json* window = KeyContainer(document, keys::kTitle);
    if (window != nullptr && !JsonGetString(*window, keys::kTitle.name, "").empty()) {
        tooLong(keys::kTitle.Path(), ProductName(document, config));
    } else {
        tooLong("name", config.name);
    }
    tooLong("version", JsonGetString(document, "version", ""));
    tooLong("author", Author(document).value_or(""));
    return findings;
}

int BuildCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const ToolEnvironment& environment) {
    bool help = false;
    const BuildOptions options = ParseBuildArgs(args, help);
    if (help) {
        out << kUsage;
        return kExitOk;
    }
    return Builder(options, environment, out, err).Run();
}

}  // namespace vandrel::tool
