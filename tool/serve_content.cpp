#include "serve_content.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include <nlohmann/json.hpp>

#include "bundle_writer.h"
#include "kit_files.h"

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

#ifndef _WIN32
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Windows finds folder files whatever the case of the name; this finds what it would find, one
// folder level at a time, comparing ASCII letters without case. Among several candidates that
// differ only in case the first in name order wins. Empty when nothing matches.
fs::path FindIgnoringCase(const fs::path& root, std::string_view relative) {
    fs::path found = root;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string_view::npos) {
            end = relative.size();
        }
        const std::string segment(relative.substr(start, end - start));
        std::error_code ec;
        if (fs::exists(found / segment, ec)) {
            found /= segment;
        } else {
            std::vector<std::string> candidates;
            for (fs::directory_iterator it(found, ec), last; !ec && it != last; it.increment(ec)) {
                const std::string name = it->path().filename().string();
                if (SameIgnoringAsciiCase(name, segment)) {
                    candidates.push_back(name);
                }
            }
            if (candidates.empty()) {
                return {};
            }
            found /= *std::min_element(candidates.begin(), candidates.end());
        }
        start = end + 1;
    }
    return found;
}
#endif

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
    std::string text;
    {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            throw ToolError("cannot read " + Quoted(path) + ": it is a folder");
        }
        InputFile file(path);
        char buffer[1 << 16];
        for (size_t n; (n = file.Read(buffer, sizeof buffer)) > 0;) {
            text.append(buffer, n);
        }
    }
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
    : www_(appFolder / "www"), bundleOnly_(bundleOnly) {
    std::error_code ec;
    if (!fs::is_directory(www_, ec)) {
        throw ToolError(Quoted(www_) + " is not a folder: an app keeps its files in www/");
    }
    const fs::path bundlePath = www_ / "assets.dat";
    hasBundle_ = fs::exists(bundlePath, ec);
    if (hasBundle_) {
        bundleFile_ = std::make_unique<MappedFile>(bundlePath);
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
        text = PathToUtf8(www_ / "assets.dat") + " (" + std::to_string(n) +
               (n == 1 ? " file)" : " files)");
        if (!bundleOnly_) {
            text += ", then ";
        }
    }
    if (!bundleOnly_) {
        text += PathToUtf8(www_ / "");  // with the system's separator at the end
    }
    return text;
}

ServedAnswer AppContent::Answer(std::string_view target,
                                const std::optional<std::string>& range) const {
    const std::string_view uri = OriginForm(target);
    std::vector<OpenedFile> opened;
    FolderQuery query;
    if (!bundleOnly_) {
        // The folder path comes with "\" separators (appFolder and webSubfolder are empty here).
        query = [&](const std::string& folderPath) {
            std::string relative = folderPath;
            std::replace(relative.begin(), relative.end(), '\\', '/');
            OpenedFile& entry = opened.emplace_back();
            entry.folderPath = folderPath;
            fs::path path = www_ / PathFromUtf8(relative);
            std::error_code ec;
            fs::file_status status = fs::status(path, ec);
#ifndef _WIN32
            if (!fs::exists(status)) {
                path = FindIgnoringCase(www_, relative);
                if (path.empty()) {
                    return FolderEntry{};
                }
                status = fs::status(path, ec);
                entry.nameOnDisk = PathToUtf8(path.lexically_relative(www_));
            }
#endif
            if (!fs::exists(status)) {
                return FolderEntry{};
            }
            if (fs::is_directory(status)) {
                return FolderEntry{true, true, 0};
            }
            if (!fs::is_regular_file(status)) {  // a pipe or device would block or never end
                entry.problem = Quoted(path) + " is not a regular file";
                return FolderEntry{true, false, 0};
            }
            try {
                entry.file = std::make_unique<InputFile>(path);
                return FolderEntry{true, false, entry.file->Size()};
            } catch (const ToolError& error) {
                entry.problem = error.what();
                const uintmax_t size = fs::file_size(path, ec);
                return FolderEntry{true, false, ec ? 0 : static_cast<uint64_t>(size)};
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
