#include "folder_scan.h"

#include <algorithm>
#include <cwctype>
#include <system_error>

#include "file_io.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// Compares one path component; file names are case-insensitive on Windows.
bool SameComponent(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
    const std::wstring& x = a.native();
    const std::wstring& y = b.native();
    return x.size() == y.size() &&
           std::equal(x.begin(), x.end(), y.begin(), [](wchar_t c, wchar_t d) {
               return std::towlower(static_cast<wint_t>(c)) ==
                      std::towlower(static_cast<wint_t>(d));
           });
#else
    return a == b;
#endif
}

}  // namespace

bool IsInside(const fs::path& path, const fs::path& root) {
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty()) {
            continue;  // a trailing separator
        }
        if (p == path.end() || !SameComponent(*p, *r)) {
            return false;
        }
    }
    return true;
}

namespace {

class Scanner {
public:
    Scanner(const fs::path& root, const fs::path& output) : root_(root) {
        std::error_code ec;
        realRoot_ = fs::canonical(root, ec);
        if (!ec && !fs::is_directory(realRoot_, ec) && !ec) {
            ec = std::make_error_code(std::errc::not_a_directory);
        }
        if (ec) {
            throw ToolError("cannot open folder " + Quoted(PathToUtf8(root)) + ": " +
                            ErrorCodeText(ec));
        }
        for (const fs::path& candidate : {root / "assets.dat", output}) {
            std::error_code missing;
            fs::path real = fs::canonical(candidate, missing);
            if (!missing && IsInside(real, realRoot_)) {
                excluded_.push_back(std::move(real));
            }
        }
    }

    FolderScan Run() {
        active_.push_back(realRoot_);
        Walk(root_, realRoot_, "");
        return std::move(scan_);
    }

private:
    bool IsExcluded(const fs::path& real) const {
        for (const fs::path& other : excluded_) {
            std::error_code ec;
            if (SameComponent(real.filename(), other.filename()) &&
                fs::equivalent(real, other, ec)) {
                return true;
            }
        }
        return false;
    }

    void AddFile(const fs::path& path, const fs::path& real, const std::string& name) {
        if (IsExcluded(real)) {
            return;
        }
        std::error_code ec;
        const uint64_t size = fs::file_size(real, ec);
        if (ec) {
            throw ToolError("cannot read " + Quoted(PathToUtf8(path)) + ": " + ErrorCodeText(ec));
        }
        scan_.files.push_back(BundleInput{name, path, size});
        scan_.totalBytes += size;
    }

    void Warn(const std::string& name, const std::string& why) {
        scan_.warnings.push_back("skipping " + Quoted(name) + ": " + why);
    }

    // `dir` is the folder as reached from the root, `realDir` the folder it really is.
    void Walk(const fs::path& dir, const fs::path& realDir, const std::string& prefix) {
        std::error_code ec;
        fs::directory_iterator it(dir, ec);
        const auto fail = [&] {
            throw ToolError("cannot open folder " + Quoted(PathToUtf8(dir)) + ": " +
                            ErrorCodeText(ec));
        };
        if (ec) {
            fail();
        }
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) {
                fail();
            }
            const fs::path& path = it->path();
            const fs::path leaf = path.filename();
            std::string name;
            try {
                name = prefix + PathToUtf8(leaf);
            } catch (const std::exception&) {
                scan_.warnings.push_back("skipping a file in " + Quoted(PathToUtf8(dir)) +
                                         ": its name is not valid Unicode");
                continue;
            }
            std::error_code typeError;
            const fs::file_status status = it->symlink_status(typeError);
            if (typeError) {
                throw ToolError("cannot read " + Quoted(PathToUtf8(path)) + ": " +
                                ErrorCodeText(typeError));
            }
            if (fs::is_symlink(status)) {
                FollowLink(path, name);
            } else if (fs::is_directory(status)) {
                Descend(path, realDir / leaf, name);
            } else if (fs::is_regular_file(status)) {
                AddFile(path, realDir / leaf, name);
            } else {
                Warn(name, "not a regular file or folder");
            }
        }
        if (ec) {
            fail();
        }
    }

    void Descend(const fs::path& path, const fs::path& real, const std::string& name) {
        if (std::find(active_.begin(), active_.end(), real) != active_.end()) {
            Warn(name, "symbolic link to a folder that contains it");
            return;
        }
        active_.push_back(real);
        Walk(path, real, name + "/");
        active_.pop_back();
    }

    void FollowLink(const fs::path& path, const std::string& name) {
        std::error_code ec;
        const fs::path target = fs::canonical(path, ec);
        if (ec) {
            Warn(name, "broken symbolic link");
            return;
        }
        if (!IsInside(target, realRoot_)) {
            Warn(name,
                 "symbolic link to " + Quoted(PathToUtf8(target)) + " points outside the folder");
            return;
        }
        const fs::file_status status = fs::status(target, ec);
        if (fs::is_directory(status)) {
            Descend(path, target, name);
        } else if (fs::is_regular_file(status)) {
            AddFile(path, target, name);
        } else {
            Warn(name, "not a regular file or folder");
        }
    }

    fs::path root_;
    fs::path realRoot_;
    std::vector<fs::path> excluded_;
    std::vector<fs::path> active_;  // real folders on the current walk, for loop detection
    FolderScan scan_;
};

}  // namespace

FolderScan ScanFolder(const fs::path& root, const fs::path& output) {
    return Scanner(root, output).Run();
}

}  // namespace vandrel::tool
