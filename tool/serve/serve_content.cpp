#include "serve/serve_content.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include <nlohmann/json.hpp>

#include "app/app_folder.h"
#include "app/kit_files.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

std::string Quoted(const fs::path& path) {
    std::string text = "'";  // appended, not "'" + ..., which trips GCC 12's -Wrestrict
    text += PathToUtf8(path);
    text += '\'';
    return text;
}

// The loader's refusals, with the key and the values it takes.
std::string ExplainRefusal(const std::string& reason) {
    if (reason == "invalid name") {
        return "\"name\" must be a non-empty text";
    }
    if (reason == "invalid distribution mode") {
        return "settings.distribution-mode must be \"evergreen\" or \"fixed\" (case-sensitive)";
    }
    if (reason == "invalid hosting mode") {
        return "settings.hosting-mode must be \"windowed\" or \"window-to-visual\" "
               "(case-sensitive)";
    }
    if (reason == "invalid content mode") {
        return "settings.content-mode must be \"bundle\" or \"remote\" (case-sensitive)";
    }
    return reason;
}

// A bundle image in memory that lists the kit's page library, so that it is answered by the same
// response core as every other file.
std::string KitBundleImage() {
    const std::string name(kPageLibraryName);
    return EncodeBundle({{name, std::string(FindKitFile(name).value_or(""))}});
}

// The request path from a request target: origin form as it is, absolute form from the first "/"
// after the authority.
std::string_view OriginForm(std::string_view target) {
    const size_t scheme = target.find("://");
    if (target.empty() || target.front() == '/' || scheme == std::string_view::npos) {
        return target;
    }
    const size_t path = target.find('/', scheme + 3);
    return path == std::string_view::npos ? std::string_view("/") : target.substr(path);
}


// A folder file opened while the plan was made, kept for its body.
struct OpenedFile {
    std::string folderPath;  // the key PlanResponse asked for
    std::unique_ptr<InputFile> file;
    std::string nameOnDisk;
    std::string problem;
};

}  // namespace

AppConfig ReadPackageJson(const fs::path& appFolder) {
    const fs::path path = appFolder / "package.json";
    const ContainedTree app(appFolder);
    const Reached file = app.Find("package.json");
    if (file.reach == Reach::Outside || file.reach == Reach::Broken) {
        throw ToolError("refusing to read " + Quoted(path) + ": " + app.Refusal(file));
    }
    if (file.reach == Reach::Missing) {
        throw ToolError("cannot read " + Quoted(path) + ": " +
                        ErrorCodeText(std::make_error_code(std::errc::no_such_file_or_directory)));
    }
    if (file.kind == EntryKind::Folder) {
        throw ToolError("cannot read " + Quoted(path) + ": it is a folder");
    }
    const std::string text = app.ReadAll(file, kLargestSettingsFile);
    AppConfig config;
    try {
        LoadAppConfig(text, config);
    } catch (const nlohmann::json::exception& error) {
        std::string what = error.what();  // "[json.exception.parse_error.101] parse error at ..."
        const size_t bracket = what.find("] ");
        if (what.rfind("[json.exception", 0) == 0 && bracket != std::string::npos) {
            what.erase(0, bracket + 2);
        }
        throw ToolError(Quoted(path) + " is not valid JSON: " + what);
    } catch (const std::runtime_error& error) {
        throw ToolError(Quoted(path) + ": " + ExplainRefusal(error.what()));
    }
    return config;
}

const char* SourceName(ContentSource source) {
    return source == ContentSource::Bundle   ? "bundle"
           : source == ContentSource::Folder ? "folder"
           : source == ContentSource::Kit    ? "kit"
                                             : "";
}

AppContent::AppContent(const fs::path& appFolder, const AppConfig& config, bool bundleOnly)
    : app_(appFolder),
      wwwPath_(appFolder / "www"),
      bundleOnly_(bundleOnly),
      isolated_(config.crossOriginIsolation) {
    const Reached www = app_.Find("www");
    if (www.reach == Reach::Outside || www.reach == Reach::Broken) {
        throw ToolError("refusing to serve " + Quoted(wwwPath_) + ": " + app_.Refusal(www));
    }
    if (!www.IsFolder()) {
        throw ToolError(Quoted(wwwPath_) + " is not a folder: an app keeps its files in www/");
    }
    auto tree = std::make_shared<ContainedTree>(app_.Subtree(www));
    tree->RememberFolderNames();
    www_ = std::move(tree);
    wwwIdentity_ = www.identity;
    const fs::path bundlePath = wwwPath_ / "assets.dat";
    const Reached bundle = www_->Find("assets.dat", false);
    if (bundle.reach == Reach::Outside || bundle.reach == Reach::Broken) {
        throw ToolError("refusing to serve " + Quoted(bundlePath) + ": " + www_->Refusal(bundle));
    }
    hasBundle_ = bundle.reach == Reach::Found;
    if (hasBundle_) {
        bundleFile_ = std::make_unique<MappedFile>(*www_->Open(bundle));
        bundle_.AttachMemory(bundleFile_->Data(), bundleFile_->Size());
        try {
            bundle_.Parse();
        } catch (const std::exception& error) {
            const size_t listed = bundle_.directory.size();
            warnings_.push_back(PathToUtf8(bundlePath) + " is not a bundle the host accepts (" +
                                error.what() +
                                "); the host shows \"Error reading asset bundle\" "
                                "and serves what it listed (" +
                                std::to_string(listed) + (listed == 1 ? " file" : " files") +
                                "; run 'vandrel verify' for details)");
        }
    } else if (bundleOnly_) {
        throw ToolError("--bundle-only: there is no bundle " + Quoted(bundlePath) +
                        " (make one with 'vandrel pack')");
    }

    kitImage_ = KitBundleImage();
    kit_.AttachMemory(reinterpret_cast<const uint8_t*>(kitImage_.data()), kitImage_.size());
    kit_.Parse();

    if (Answer("/" + config.main, std::nullopt).plan.status == 404) {
        warnings_.push_back("the start page '" + config.main + "' (\"main\" in package.json) is " +
                            (bundleOnly_ ? "not in the bundle" : "in neither the bundle nor www/"));
    }
}

std::string AppContent::Describe() const {
    std::string text;
    if (hasBundle_) {
        const size_t n = bundle_.directory.size();
        text = PathToUtf8(wwwPath_ / "assets.dat") + " (" + std::to_string(n) +
               (n == 1 ? " file)" : " files)");
        if (!bundleOnly_) {
            text += ", then ";
        }
    }
    if (!bundleOnly_) {
        text += PathToUtf8(wwwPath_ / "");  // with the system's separator at the end
    }
    return text;
}

std::shared_ptr<const ContainedTree> AppContent::Www() const {
    // www is looked at again (at most every tenth of a second), so that one replaced while
    // serving is followed; the tree and the names it remembers are kept while it stays the same
    // folder.
    constexpr auto kLookAgain = std::chrono::milliseconds(100);
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard<std::mutex> lock(wwwLock_);
    if (now - wwwSeen_ < kLookAgain) {
        return www_;
    }
    const std::optional<TreeEntry> entry = app_.Peek("www");
    if (entry && entry->kind == EntryKind::Folder && entry->identity == wwwIdentity_) {
        wwwSeen_ = now;
        return www_;
    }
    const Reached www = app_.Find("www");
    if (!www.IsFolder()) {
        throw ToolError(Quoted(wwwPath_) + " is no longer a folder of the app");
    }
    auto tree = std::make_shared<ContainedTree>(app_.Subtree(www));
    tree->RememberFolderNames();
    www_ = std::move(tree);
    wwwIdentity_ = www.identity;
    wwwSeen_ = now;
    return www_;
}

ServedAnswer AppContent::Answer(std::string_view target,
                                const std::optional<std::string>& range) const {
    ServedAnswer answer = Find(target, range);
    if (isolated_) {
        AddIsolationHeaders(answer.plan);
    }
    return answer;
}

ServedAnswer AppContent::Find(std::string_view target,
                              const std::optional<std::string>& range) const {
    const std::string_view uri = OriginForm(target);
    std::vector<OpenedFile> opened;
    FolderQuery query;
    if (!bundleOnly_) {
        // The folder path comes with "\" separators (appFolder and webSubfolder are empty here).
        query = [&](const std::string& folderPath) {
            OpenedFile& entry = opened.emplace_back();
            entry.folderPath = folderPath;
            try {
                const std::shared_ptr<const ContainedTree> tree = Www();
                const ContainedTree& www = *tree;
                // Windows finds folder files whatever the case of their names: so does this.
                const Reached found = www.Find(folderPath, true);
                if (found.reach == Reach::Outside || found.reach == Reach::Broken) {
                    entry.problem = "refused: " + www.Refusal(found);
                    return FolderEntry{};
                }
                if (found.reach == Reach::Missing) {
                    return FolderEntry{};
                }
                if (!found.exact) {
                    entry.nameOnDisk = found.name;
                }
                if (found.kind == EntryKind::Folder) {
                    return FolderEntry{true, true, 0};
                }
                if (found.kind != EntryKind::File) {  // a pipe or device would block or never end
                    entry.problem = Quoted(www.ShownPath(found.name)) + " is not a regular file";
                    return FolderEntry{true, false, 0};
                }
                entry.file = www.Open(found);
                return FolderEntry{true, false, entry.file->Size()};
            } catch (const ToolError& error) {
                entry.problem = error.what();
                return FolderEntry{true, false, 0};
            }
        };
    }

    ServedAnswer answer;
    answer.plan = PlanResponse(uri, 1, bundle_, "", "", range, query);
    ResponsePlan& plan = answer.plan;
    if (plan.status == 404) {
        ResponsePlan kitPlan = PlanResponse(uri, 1, kit_, "", "", range, {});
        if (kitPlan.status != 404) {
            answer.plan = std::move(kitPlan);
            answer.source = ContentSource::Kit;
            if (answer.plan.body == BodyKind::BundleBytes) {
                answer.bytes = kit_.GetFileData(answer.plan.bodyOffset);
            }
        } else {
            answer.bytes = reinterpret_cast<const uint8_t*>(kNotFoundBody);
            for (const OpenedFile& entry : opened) {
                if (!entry.problem.empty()) {
                    answer.problem = entry.problem;  // a link that leads outside, say
                }
            }
        }
        return answer;
    }
    if (bundle_.Find(plan.requestPath).found) {
        answer.source = ContentSource::Bundle;
        if (plan.body == BodyKind::BundleBytes) {
            answer.bytes = bundle_.GetFileData(plan.bodyOffset);
        }
        return answer;
    }
    answer.source = ContentSource::Folder;
    for (OpenedFile& entry : opened) {
        if (entry.folderPath == plan.folderPath) {
            answer.nameOnDisk = std::move(entry.nameOnDisk);
            answer.file = std::move(entry.file);
            answer.problem = std::move(entry.problem);
        }
    }
    const bool needsFile =
        plan.body == BodyKind::WholeFolderFile || plan.body == BodyKind::FolderRange;
    if (needsFile && !answer.file) {
        MarkBodyUnavailable(plan);
    }
    return answer;
}

}  // namespace vandrel::tool
