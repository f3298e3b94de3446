#include "builder/build.h"

#include <algorithm>
#include <optional>
#include <set>

#include "app/app_folder.h"
#include "app/app_resources.h"
#include "app/contained_tree.h"
#include "app/kit_files.h"
#include "app/pe_image.h"
#include "builder/installer.h"
#include "builder/signing.h"
#include "builder/zip_writer.h"
#include "bundle/folder_scan.h"
#include "check/check.h"
#include "platform/file_io.h"
#include "platform/shown_text.h"
#include "portable/config/config_keys.h"
#include "portable/util/json_lookup.h"
#include "portable/util/utf.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr char kHostFile[] = "vandrel-host.exe";

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

// Copies what `in` reads to the new file `to`.
void CopyInput(InputFile& in, const fs::path& to) {
    CreateFolders(to.parent_path());
    TempOutputFile out(to);
    std::vector<char> buffer(1 << 20);
    uint64_t done = 0;
    while (const size_t got = in.Read(buffer.data(), buffer.size())) {
        out.WriteAt(done, buffer.data(), got);
        done += got;
    }
    out.Commit();
}

constexpr char kBuildMarkText[] =
    "This folder was made by vandrel build, which replaces it when it builds here again.\n";

bool HoldsBuildMark(const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(folder / kBuildMark, ec));
}

// A path beside `target` that a moved-aside or new target can take for a while.
fs::path FreeNameBeside(const fs::path& target) {
    for (int attempt = 0;; ++attempt) {
        fs::path candidate = TempPathBeside(target);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)) || attempt >= 100) {
            return candidate;
        }
    }
}

// A folder beside OUT in which the app is made, removed with everything in it unless it becomes
// OUT.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& target) {
        CreateFolders(target.parent_path());
        path_ = FreeNameBeside(target);
        std::error_code ec;
        if (!fs::create_directory(path_, ec)) {
            throw ToolError("cannot create folder " + ShownPath(path_) + ": " +
                            (ec ? ErrorCodeText(ec) : "it exists"));
        }
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    ~StagingFolder() {
        if (!placed_) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }

    const fs::path& Path() const { return path_; }
    void Placed() { placed_ = true; }

private:
    fs::path path_;
    bool placed_ = false;
};

// A file made under a free name beside its target, removed unless it is placed.
struct FreshFile {
    explicit FreshFile(fs::path p) : path(std::move(p)) {}
    FreshFile(const FreshFile&) = delete;
    FreshFile& operator=(const FreshFile&) = delete;
    ~FreshFile() {
        if (!placed && !path.empty()) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }
    void Placed() { placed = true; }

    fs::path path;
    bool placed = false;
};

// Puts finished outputs in the place of their targets, all of them or none: every existing
// target is first moved aside (one held open by another program fails here, before anything has
// changed), then each output takes its target's name. When a step fails, what was done is undone
// in reverse, and the old targets are back.
class Replacement {
public:
    explicit Replacement(const ToolEnvironment& environment) : environment_(environment) {}

    void Add(const fs::path& finished, const fs::path& target) {
        moves_.push_back(Move{finished, target, {}});
    }

    void Commit() {
        std::vector<std::pair<fs::path, fs::path>> done;  // from, to: undone in reverse
        const auto undo = [&] {
            for (auto it = done.rbegin(); it != done.rend(); ++it) {
                std::error_code ignored;
                fs::rename(it->second, it->first, ignored);
            }
        };
        const auto rename = [&](const fs::path& from, const fs::path& to,
                                const fs::path& named) {
            std::error_code ec;
            fs::rename(from, to, ec);
            if (ec) {
                undo();
                throw ToolError("cannot replace " + ShownPath(named) + ": " + ErrorCodeText(ec) +
                                "; nothing was changed");
            }
            done.emplace_back(from, to);
        };
        for (Move& move : moves_) {
            std::error_code ec;
            if (fs::exists(fs::symlink_status(move.target, ec))) {
                move.aside = FreeNameBeside(move.target);
                rename(move.target, move.aside, move.target);
            }
        }
        for (const Move& move : moves_) {
            AtTestPoint(environment_, "build-replacing", PathToUtf8(move.target));
            rename(move.finished, move.target, move.target);
        }
        for (const Move& move : moves_) {
            std::error_code ignored;
            if (!move.aside.empty()) {
                fs::remove_all(move.aside, ignored);
            }
        }
    }

private:
    struct Move {
        fs::path finished;
        fs::path target;
        fs::path aside;
    };
    const ToolEnvironment& environment_;
    std::vector<Move> moves_;
};




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
};

class Builder {
public:
    Builder(const BuildOptions& options, const ToolEnvironment& environment, std::ostream& out,
            std::ostream& err)
        : options_(options), environment_(environment), out_(out), err_(err) {}

    int Run() {
        std::error_code ec;
        if (!fs::is_directory(options_.app, ec)) {
            throw ToolError("cannot open folder " + ShownPath(options_.app) + ": " +
                            (ec ? ErrorCodeText(ec) : "it is not a folder"));
        }
        app_.emplace(options_.app);
        LoadPackage();
        const fs::path host =
            options_.host ? *options_.host : environment_.programPath.parent_path() / kHostFile;
        if (!fs::is_regular_file(host, ec)) {
            throw ToolError("cannot find the host " + ShownPath(host) +
                            (options_.host ? "" : " beside the tool") +
                            "; name it with --host EXE");
        }
        const PeImage hostImage = LoadProgram(host, "host");
        std::unique_ptr<InputFile> loader = Loader(host);
        CheckPlaces();
        Signer signer(options_.signing);

        // From here on an interruption removes what was made, and OUT stays as it was.
        const InterruptScope interruptible;
        StagingFolder stage(outPath_);
        const fs::path s = stage.Path();
        WriteFileBytes(s / kBuildMark, kBuildMarkText);
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
        branding.icon = AppIcon();
        try {
            WriteFileBytes(s / PathFromUtf8(built.executable),
                           BrandExecutable(hostImage, branding));
        } catch (const PeFormatError& error) {
            throw ToolError("cannot write the app's resources into " + ShownPath(host) + ": " +
                            error.what());
        }
        AtTestPoint(environment_, "build-staging", PathToUtf8(s));
        CopyInput(*app_->Open(package_), s / kPackageFile);
        StageWww(s, built);
        StageIcon(s);
        if (loader) {
            CopyInput(*loader, s / kLoaderFile);
            built.loader = true;
        }
        const Reached extension = Find(kExtensionFile, "the extension library");
        if (extension.IsFile()) {
            CopyInput(*app_->Open(extension), s / kExtensionFile);
        }
        const Reached runtime = Find(kRuntimeFolder, "the fixed-version runtime");
        if (runtime.IsFolder()) {
            CopyFolder(runtime, s / kRuntimeFolder);
        }

        if (signer.Active()) {
            signer.Sign(s / PathFromUtf8(built.executable));
        }

        std::optional<TempOutputFile> zip;
        ZipStats zipStats;
        Replacement replacement(environment_);
        replacement.Add(s, outPath_);
        if (options_.zip) {
            zip.emplace(zipPath_);
            zipStats = WriteZip(ZipEntries(s), *zip);
            zip->Close();
            replacement.Add(zip->TempPath(), zipPath_);
        }
        FreshFile installer(options_.installer ? FreeNameBeside(installerPath_) : fs::path());
        if (options_.installer) {
            WriteInstaller(s, InstallerFor(built.executable, s), installer.path, signer);
            ThrowIfInterrupted();
            if (signer.Active()) {
                signer.Sign(installer.path);
            }
            replacement.Add(installer.path, installerPath_);
        }
        ThrowIfInterrupted();
        replacement.Commit();
        stage.Placed();
        if (zip) {
            zip->Placed();
        }
        installer.Placed();

        Report(built);
        ReportNotCopied();
        if (zip) {
            out_ << "zipped " << ShownPath(zipPath_) << ": "
                 << Plural(zipStats.files, "file", "files") << ", "
                 << Plural(zipStats.bytes, "byte", "bytes") << '\n';
        }
        if (options_.installer) {
            std::error_code ec;
            out_ << "installer " << ShownPath(installerPath_) << ": "
                 << Plural(fs::file_size(installerPath_, ec), "byte", "bytes") << '\n';
        }
        if (signer.Active()) {
            out_ << "signed " << built.executable
                 << (options_.installer ? ", the installer and its uninstaller" : "") << '\n';
        }
        const std::vector<Finding> findings = CheckAppFolder(options_.out, environment_);
        PrintFindings(findings, out_, false);
        out_ << ShownPath(options_.out) << ": " << FindingSummary(findings) << '\n';
        return HasErrors(findings) ? kExitFailure : kExitOk;
    }

private:
    // A name of the app folder as the host would reach it. Nothing outside the folder is copied:
    // a name reached through a link (or "..") that leads elsewhere, or through a broken link,
    // stops the build, as does a pipe or device in a file's place.
    Reached Find(const std::string& name, const char* what) {
        Reached reached = app_->Find(name);
        if (reached.reach == Reach::Outside || reached.reach == Reach::Broken) {
            throw ToolError("refusing to copy " + Shown(name) + " (" + what +
                            "): " + app_->Refusal(reached) + "; nothing was built");
        }
        if (reached.reach == Reach::Found && reached.kind == EntryKind::Other) {
            throw ToolError("refusing to copy " + Shown(name) + " (" + what +
                            "): it is not a regular file; nothing was built");
        }
        return reached;
    }

    // The app's settings, as the host will read them; a package.json the host refuses stops the
    // build before anything is written.
    void LoadPackage() {
        package_ = Find(kPackageFile, "the app's settings");
        const fs::path path = options_.app / kPackageFile;
        if (!package_.IsFile()) {
            throw ToolError(ShownPath(options_.app) + " has no package.json");
        }
        ConfigCheckResult result = CheckAppConfig(app_->ReadAll(package_, kLargestSettingsFile));
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

    // The loader: --loader, else the app folder's own, else the one beside the host.
    std::unique_ptr<InputFile> Loader(const fs::path& host) {
        std::error_code ec;
        if (options_.loader) {
            if (!fs::is_regular_file(*options_.loader, ec)) {
                throw ToolError("cannot find the loader " + ShownPath(*options_.loader));
            }
            return std::make_unique<InputFile>(*options_.loader);
        }
        const Reached own = Find(kLoaderFile, "the WebView2 loader");
        if (own.IsFile()) {
            return app_->Open(own);
        }
        const fs::path beside = host.parent_path() / kLoaderFile;
        if (fs::is_regular_file(beside, ec)) {
            return std::make_unique<InputFile>(beside);
        }
        return nullptr;
    }

    std::vector<IconImage> AppIcon() {
        const std::string& icon = config_.icon;
        if (icon.empty() || IconPathIsForeign(icon)) {
            return {};
        }
        const Reached found = Find(icon, "window.icon");
        if (!found.IsFile()) {
            return {};
        }
        try {
            return ReadIconImages(app_->ReadAll(found, kLargestSettingsFile));
        } catch (const Interrupted&) {
            throw;
        } catch (const std::exception&) {
            return {};  // the check of the result explains why the host's icon stays
        }
    }

    // OUT must not be the app folder, hold it, or lie inside its www folder; it must be a folder
    // an earlier build made, an empty one, or nothing yet; OUT.zip must not be a folder.
    void CheckPlaces() {
        outPath_ = Normal(options_.out);
        zipPath_ = outPath_;
        zipPath_ += ".zip";
        installerPath_ = outPath_;
        installerPath_ += "-setup.exe";
        const fs::path app = Normal(options_.app);
        if (IsInside(app, outPath_)) {
            throw ToolError("the output folder " + ShownPath(options_.out) +
                            " is or holds the app folder; choose another one");
        }
        if (IsInside(outPath_, app / kWwwFolder)) {
            throw ToolError("the output folder " + ShownPath(options_.out) +
                            " lies inside the app's www folder; choose another one");
        }
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(outPath_, ec);
        if (fs::exists(status) && !fs::is_directory(status)) {
            throw ToolError("cannot write the folder " + ShownPath(options_.out) +
                            ": a file of that name is in the way");
        }
        if (fs::is_directory(status) && !fs::is_empty(outPath_, ec) && !HoldsBuildMark(outPath_)) {
            throw ToolError("cannot build into " + ShownPath(options_.out) +
                            ": it is a folder that vandrel build did not make, and it is not "
                            "empty, so it is left as it is; choose another output folder, or "
                            "empty or remove this one first");
        }
        for (const auto& [wanted, path] : {std::pair{options_.zip, zipPath_},
                                           std::pair{options_.installer, installerPath_}}) {
            const fs::file_status file = fs::symlink_status(path, ec);
            if (wanted && fs::exists(file) && !fs::is_regular_file(file)) {
                throw ToolError("cannot write " + ShownPath(path) +
                                ": something other than a file is in the way");
            }
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

    // Copies the files a scan of `folder` finds, read through the folders the scan went through.
    FolderScan ScanAndCopy(const Reached& folder, const fs::path& to, bool copy) {
        FolderScan scan = ScanFolder(app_->OpenFolder(folder), app_->ShownPath(folder.name),
                                     fs::path(), environment_.sizeLimit, false);
        for (const FolderScan::Skipped& skipped : scan.skipped) {
            err_ << "vandrel: warning: " << skipped.Warning() << '\n';
        }
        CreateFolders(to);
        for (const BundleInput& file : scan.files) {
            if (copy) {
                CopyInput(*scan.Open(file), to / PathFromUtf8(file.name));
            }
        }
        return scan;
    }

    void CopyFolder(const Reached& folder, const fs::path& to) { ScanAndCopy(folder, to, true); }

    void StageWww(const fs::path& s, Built& built) {
        const Reached www = Find(kWwwFolder, "the app's files");
        if (!www.IsFolder()) {
            return;
        }
        const fs::path stagedWww = s / kWwwFolder;
        const Reached bundle = Find(kBundleFile, "the app's bundle");
        const bool hasBundle = bundle.IsFile();
        if (options_.bundle && hasBundle) {
            throw ToolError(ShownPath(app_->ShownPath(bundle.name)) +
                            " exists: --bundle packs the www folder itself; remove the old "
                            "bundle, or build without --bundle");
        }
        FolderScan scan = ScanAndCopy(www, stagedWww, !options_.bundle);
        std::set<std::string> names;
        for (const BundleInput& file : scan.files) {
            names.insert(file.name);
        }
        const std::vector<BundleInput> kit = StageKitFiles(stagedWww, names);

        if (!options_.bundle) {
            if (hasBundle) {
                CopyInput(*app_->Open(bundle), stagedWww / "assets.dat");
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
        std::error_code ec;
        for (const BundleInput& file : kit) {
            fs::remove(file.source, ec);
        }
        built.wwwFiles = 1;
    }

    // The window icon is read from disk by the host, never from the bundle: it is copied as a
    // loose file wherever it lies in the app folder.
    void StageIcon(const fs::path& s) {
        const std::string& icon = config_.icon;
        if (icon.empty() || IconPathIsForeign(icon)) {
            return;
        }
        const Reached found = Find(icon, "window.icon");
        if (!found.IsFile()) {
            return;
        }
        const fs::path target = s / PathFromUtf8(found.name);
        std::error_code ec;
        if (!fs::exists(target, ec)) {
            CopyInput(*app_->Open(found), target);
        }
    }

    std::vector<ZipEntry> ZipEntries(const fs::path& s) {
        const std::string top = PathToUtf8(outPath_.filename());
        std::vector<ZipEntry> entries{ZipEntry{top + "/", {}}};
        std::error_code ec;
        for (fs::recursive_directory_iterator it(s, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const std::u8string relative = it->path().lexically_relative(s).generic_u8string();
            std::string name(relative.begin(), relative.end());
            if (name == kBuildMark) {
                continue;
            }
            name = top + "/" + name;
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

    // What the installer says of the app, and the icon of the staged executable.
    InstallerApp InstallerFor(const std::string& executable, const fs::path& s) {
        InstallerApp app;
        app.executable = executable;
        app.folderName = executable.substr(0, executable.size() - 4);
        app.title = ProductName(document_, config_);
        app.shortcut = AppExecutableName(app.title);
        app.shortcut.resize(app.shortcut.size() - 4);
        app.version = JsonGetString(document_, "version", "");
        app.publisher = Author(document_);
        const PeImage image = LoadProgram(s / PathFromUtf8(executable), "app");
        app.iconFile = MainIconFile(ReadResources(image)).value_or("");
        return app;
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
        std::set<std::string> taken = {kPackageFile, kWwwFolder, kLoaderFile, kExtensionFile,
                                       kRuntimeFolder};
        if (!config_.icon.empty() && !IconPathIsForeign(config_.icon)) {
            const Reached icon = app_->Find(config_.icon);
            if (icon.IsFile()) {
                taken.insert(icon.name.substr(0, icon.name.find('/')));
            }
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
            if (taken.count(name) == 0 && !fs::equivalent(it->path(), outPath_, same) &&
                !fs::equivalent(it->path(), zipPath_, same) &&
                !fs::equivalent(it->path(), installerPath_, same)) {
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
    std::optional<ContainedTree> app_;
    Reached package_;
    AppConfig config_;
    nlohmann::json document_;
    fs::path outPath_;
    fs::path zipPath_;
    fs::path installerPath_;
};

}  // namespace



int BuildCommand(const BuildOptions& options, std::ostream& out, std::ostream& err,
                 const ToolEnvironment& environment) {
    return Builder(options, environment, out, err).Run();
}

}  // namespace vandrel::tool
