#include "bundle/bundle_commands.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "bundle/extract.h"
#include "bundle/folder_scan.h"
#include "bundle/opened_bundle.h"
#include "bundle/progress_line.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

void RequireAccepted(const OpenedBundle& bundle) {
    if (bundle.rejection) {
        throw ToolError(ShownPath(bundle.path) +
                        " is not a bundle the host accepts: " + *bundle.rejection +
                        (bundle.tooLarge ? "" : " (run 'vandrel verify' for details)"));
    }
}

uint64_t DirectoryBytes(const AssetBundle& reader) {
    uint64_t total = 0;
    for (const auto& [name, entry] : reader.directory) {
        total += entry.size;
    }
    return total;
}

}  // namespace

int PackCommand(const fs::path& folder, const fs::path& output, std::ostream& out,
                std::ostream& err, const ToolEnvironment& environment) {
    std::error_code ec;
    if (fs::is_directory(output, ec)) {
        throw ToolError("cannot write " + ShownPath(output) + ": " +
                        ErrorCodeText(std::make_error_code(std::errc::is_a_directory)));
    }

    FolderScan scan = ScanFolder(folder, output, environment.sizeLimit);
    for (const FolderScan::Skipped& skipped : scan.skipped) {
        err << "vandrel: warning: " << skipped.Warning() << '\n';
    }
    AtTestPoint(environment, "pack-scanned", PathToUtf8(folder));

    const bool large = scan.totalBytes > 50'000'000 || scan.files.size() > 2000;
    ProgressLine progress(err, environment.errIsTerminal && large, scan.files.size(),
                          scan.totalBytes);
    PackOptions options;
    options.sizeLimit = environment.sizeLimit;
    options.progress = [&progress](uint64_t files, uint64_t bytes) {
        progress.Update(files, bytes);
    };
    options.open = [&scan](const BundleInput& input) { return scan.Open(input); };
    const PackStats stats = WriteBundle(scan.files, output, options);
    progress.Clear();

    out << "packed " << Plural(stats.files, "file", "files") << " ("
        << Plural(stats.bytes, "byte", "bytes") << ") into " << ShownPath(output) << ": "
        << Plural(stats.bundleBytes, "byte", "bytes") << ", "
        << Plural(stats.savedBytes, "byte", "bytes") << " saved by sharing "
        << Plural(stats.sharedFiles, "identical file", "identical files") << '\n';
    return kExitOk;
}

int ListCommand(const fs::path& file, std::ostream& out, const ToolEnvironment& environment) {
    const auto bundle = OpenBundle(file, environment);
    RequireAccepted(*bundle);
    const AssetBundle& reader = bundle->reader;

    uint64_t largestSize = 0;
    uint64_t largestOffset = 0;
    for (const auto& [name, entry] : reader.directory) {
        largestSize = std::max(largestSize, entry.size);
        largestOffset = std::max(largestOffset, entry.offset);
    }
    const int sizeWidth = static_cast<int>(std::max<size_t>(4, std::to_string(largestSize).size()));
    const int offsetWidth =
        static_cast<int>(std::max<size_t>(6, std::to_string(largestOffset).size()));
    std::ostringstream text;
    text << std::setw(sizeWidth) << "size"
         << "  " << std::setw(offsetWidth) << "offset"
         << "  name\n";
    for (const auto& [name, entry] : reader.directory) {
        text << std::setw(sizeWidth) << entry.size << "  " << std::setw(offsetWidth) << entry.offset
             << "  " << Shown(name, false) << '\n';
    }
    text << Plural(reader.directory.size(), "file", "files") << ", "
         << Plural(DirectoryBytes(reader), "byte", "bytes") << " (blob "
         << Plural(reader.blobSize, "byte", "bytes") << ")\n";
    out << text.str();
    return kExitOk;
}

int VerifyCommand(const fs::path& file, std::ostream& out, const ToolEnvironment& environment) {
    const auto bundle = OpenBundle(file, environment);
    if (bundle->rejection) {
        out << "rejected: " << *bundle->rejection << '\n';
        if (!bundle->tooLarge) {
            for (const std::string& line : ExplainRejection(*bundle)) {
                out << "  " << line << '\n';
            }
        }
        return kExitFailure;
    }
    const AssetBundle& reader = bundle->reader;
    out << "accepted: " << Plural(reader.directory.size(), "file", "files") << ", "
        << Plural(DirectoryBytes(reader), "byte", "bytes") << '\n';
    const uint64_t repeated = reader.entryCount - reader.directory.size();
    if (repeated > 0) {
        out << "  note: " << Plural(repeated, "entry repeats", "entries repeat")
            << " an earlier name; the host uses the first\n";
    }
    return kExitOk;
}

int ExtractCommand(const fs::path& file, const fs::path& folder, std::ostream& out,
                   const ToolEnvironment& environment) {
    const auto bundle = OpenBundle(file, environment);
    RequireAccepted(*bundle);
    const ExtractResult result = ExtractBundle(bundle->reader, bundle->path, folder, environment);
    out << "extracted " << Plural(result.files, "file", "files") << " ("
        << Plural(result.bytes, "byte", "bytes") << ") into " << ShownPath(folder) << '\n';
    return kExitOk;
}

}  // namespace vandrel::tool
