// What extract and pack reach: nothing outside the folders they are given, also when the tree
// changes while they work (the tool's test hook changes it at fixed points), at any depth and
// name length, and nothing of a refused command is left behind.

#include "cli/commands.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <new>

#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

// Everything under `root`, links included and not followed.
std::vector<std::string> Everything(const fs::path& root) {
    if (!fs::exists(fs::symlink_status(root))) {
        return {"(missing)"};
    }
    return TreeNames(root);
}

// A test hook that runs `change` once, at the first call for `point` (and `name`, when given).
std::function<void(std::string_view, const std::string&)> At(std::string point, std::string name,
                                                             std::function<void()> change) {
    auto done = std::make_shared<bool>(false);
    return [=](std::string_view p, const std::string& n) {
        if (!*done && p == point && (name.empty() || n == name)) {
            *done = true;
            change();
        }
    };
}

TEST(ToolContainment, ExtractRefusesLinksInTheFolderAndWritesNothing) {
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> files;
        std::string refused;  // the entry named in the refusal
        std::string why;      // the end of the reason, after the path
    };
    const Case cases[] = {
        {"files under a link", {{"link/f", "F"}, {"link/sub/g", "G"}}, "link/f",
         "/out/link' is a symbolic link and could lead outside"},
        {"missing levels under a link", {{"link/n1/n2/f", "F"}}, "link/n1/n2/f",
         "/out/link' is a symbolic link and could lead outside"},
        {"a file before the link", {{"a-first.txt", "A"}, {"link/x", "X"}}, "link/x",
         "/out/link' is a symbolic link and could lead outside"},
        {"a link where a file goes", {{"flink", "F"}}, "flink", "/out/flink' is a symbolic link"},
        {"a file where a folder goes", {{"file.txt/x", "X"}}, "file.txt/x",
         "/out/file.txt' is not a folder"},
        {"a folder where a file goes", {{"sub", "S"}}, "sub", "/out/sub' is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchFolder scratch;
        MakeTree(scratch / "outside", {{"target.txt", "kept"}});
        MakeTree(scratch / "out", {{"file.txt", "a file"}, {"sub/inner.txt", "inner"}});
        fs::create_symlink(scratch / "outside", scratch / "out/link");
        fs::create_symlink(scratch / "outside/target.txt", scratch / "out/flink");
        const std::vector<std::string> before = Everything(scratch / "out");
        WriteFile(scratch / "b.dat", EncodeFiles(c.files));

        const ToolRun run = Tool({"extract", U8(scratch / "b.dat"), U8(scratch / "out")});
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(Contains(run.err, "vandrel: refusing to extract '" + c.refused + "': '")) << run.err;
        EXPECT_TRUE(Contains(run.err, c.why)) << run.err;
        EXPECT_TRUE(Contains(run.err, "; nothing was written\n")) << run.err;
        EXPECT_EQ(Everything(scratch / "outside"), std::vector<std::string>{"target.txt"});
        EXPECT_EQ(ReadFile(scratch / "outside/target.txt"), "kept");
        EXPECT_EQ(Everything(scratch / "out"), before);
    }
}

TEST(ToolContainment, ExtractRaceCannotRedirectWrites) {
    // While the first, large file of d/ is written, d is moved away and a link to a folder
    // outside takes its place. Every file of d/ goes on into the folder it was opened as, which is
    // still inside the extraction folder.
    ScratchFolder scratch;
    fs::create_directories(scratch / "outside");
    const std::string large(3 << 20, 'L');
    WriteFile(scratch / "b.dat", EncodeFiles({{"d/a", large}, {"d/b", "B"}, {"d/c/e", "E"},
                                             {"z.txt", "Z"}}));
    ToolEnvironment environment;
    environment.testHook = At("extract-writing", "d/a", [&] {
        fs::rename(scratch / "out/d", scratch / "out/d-moved");
        fs::create_symlink(scratch / "outside", scratch / "out/d");
    });
    const ToolRun run =
        Tool({"extract", U8(scratch / "b.dat"), U8(scratch / "out")}, environment);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(fs::is_empty(scratch / "outside"));
    EXPECT_EQ(TreeFiles(scratch / "out"),
              (std::map<std::string, std::string>{
                  {"d-moved/a", large}, {"d-moved/b", "B"}, {"d-moved/c/e", "E"}, {"z.txt", "Z"}}));

    // The same swap after the folder was checked and before anything is written: the write
    // refuses at the link.
    ScratchFolder again;
    fs::create_directories(again / "outside");
    fs::create_directories(again / "out/d");
    WriteFile(again / "b.dat", EncodeFiles({{"d/a", "A"}, {"d/b", "B"}}));
    environment.testHook = At("extract-checked", "", [&] {
        fs::rename(again / "out/d", again / "out/d-moved");
        fs::create_symlink(again / "outside", again / "out/d");
    });
    const ToolRun refused = Tool({"extract", U8(again / "b.dat"), U8(again / "out")}, environment);
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(Contains(refused.err, "refusing to extract 'd/a': '" + U8(again / "out/d") +
                                          "' is a symbolic link"))
        << refused.err;
    EXPECT_TRUE(fs::is_empty(again / "outside"));
    EXPECT_TRUE(fs::is_empty(again / "out/d-moved"));
}

TEST(ToolContainment, ExtractStopsWhenANameLandsOnAFileItWroteBefore) {
    // Two names that the file system takes for one file (as a case-insensitive one would "X" and
    // "x"), stood in for by a hard link made while the second is written: the second must not
    // silently replace the first.
    ScratchFolder scratch;
    WriteFile(scratch / "b.dat", EncodeFiles({{"d/first", "1"}, {"d/second", "2"}}));
    ToolEnvironment environment;
    environment.testHook = At("extract-writing", "d/second", [&] {
        fs::create_hard_link(scratch / "out/d/first", scratch / "out/d/second");
    });
    const ToolRun run =
        Tool({"extract", U8(scratch / "b.dat"), U8(scratch / "out")}, environment);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "vandrel: refusing to extract 'd/second': on this system it names the same "
                       "file as 'd/first', extracted just before\n");
    EXPECT_EQ(ReadFile(scratch / "out/d/first"), "1");
    EXPECT_EQ(TreeNames(scratch / "out"), (std::vector<std::string>{"d", "d/first", "d/second"}));
}

TEST(ToolContainment, PackRefusesFilesThatChangeAfterTheScan) {
    struct Case {
        const char* label;
        std::function<void(const ScratchFolder&)> change;
        std::string refused;  // path below www, and why
    };
    const Case cases[] = {
        {"a file becomes a link to an endless device",
         [](const ScratchFolder& s) {
             fs::remove(s / "www/small.txt");
             fs::create_symlink("/dev/zero", s / "www/small.txt");
         },
         "small.txt' changed since the folder was read (it has become a link)"},
        {"a file is replaced by another",
         [](const ScratchFolder& s) {
             WriteFile(s / "www/other.tmp", "another");
             fs::rename(s / "www/other.tmp", s / "www/small.txt");
         },
         "small.txt' changed since the folder was read (it is no longer the same file)"},
        {"a file becomes a pipe",
         [](const ScratchFolder& s) {
             fs::remove(s / "www/small.txt");
             ASSERT_EQ(mkfifo((s / "www/small.txt").c_str(), 0600), 0);
         },
         "small.txt' changed since the folder was read (it is no longer a regular file)"},
        {"a file is removed",
         [](const ScratchFolder& s) { fs::remove(s / "www/small.txt"); },
         "small.txt' changed since the folder was read (it is gone)"},
        {"a folder becomes a link to a folder outside",
         [](const ScratchFolder& s) {
             fs::rename(s / "www/sub", s / "www-sub-moved");
             fs::create_symlink(s / "outside", s / "www/sub");
         },
         "sub' changed since the folder was read (it has become a link)"},
        {"a file grows past its size",
         [](const ScratchFolder& s) {
             std::ofstream grow(s / "www/big.txt", std::ios::app | std::ios::binary);
             grow << std::string(5 << 20, 'g');
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchFolder scratch;
        MakeTree(scratch / "www", {{"big.txt", std::string(1000, 'b')},
                                   {"small.txt", "s"},
                                   {"sub/c.txt", "inside"}});
        MakeTree(scratch / "outside", {{"c.txt", "secret"}});
        ToolEnvironment environment;
        environment.testHook = At("pack-scanned", "", [&] { c.change(scratch); });
        const ToolRun run =
            Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "out.dat")}, environment);
        EXPECT_EQ(run.code, 1);
        if (c.refused.empty()) {
            EXPECT_TRUE(Contains(run.err, "vandrel: refusing to pack 'big.txt': it grew while it "
                                          "was read, past the 1000 bytes it had; nothing was "
                                          "written\n"))
                << run.err;
        } else {
            EXPECT_TRUE(Contains(run.err, "': '" + U8(scratch / "www") + "/" + c.refused))
                << run.err;
        }
        EXPECT_TRUE(Contains(run.err, "nothing was written")) << run.err;
        std::vector<std::string> left = TreeNames(scratch.Path());
        left.erase(std::remove_if(left.begin(), left.end(),
                                  [](const std::string& name) {
                                      return name.rfind("www", 0) == 0 ||
                                             name.rfind("outside", 0) == 0;
                                  }),
                   left.end());
        EXPECT_EQ(left, std::vector<std::string>{}) << "nothing but the trees may be left";
    }
}

TEST(ToolContainment, PackLeavesOutHardLinksToTheOutput) {
    for (const std::string output : {"out.dat", "www/sub/out.dat"}) {
        SCOPED_TRACE(output);
        ScratchFolder scratch;
        MakeTree(scratch / "www", {{"index.html", "x"}, {"sub/keep.txt", "k"}});
        ASSERT_EQ(Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / output)}).code, 0);
        // The previous bundle under another name, inside the folder.
        fs::create_hard_link(scratch / output, scratch / "www/previous-bundle.bin");
        const ToolRun again = Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / output)});
        ASSERT_EQ(again.code, 0) << again.err;
        EXPECT_EQ(PackedNames(scratch / output), "index.html\nsub/keep.txt\n");
    }
}

TEST(ToolContainment, PackRefusesNamesThatAreNotUtf8) {
    struct Case {
        std::string file;   // under www
        std::string shown;  // in the refusal
    };
    for (const Case& c : {Case{"bad\xff.txt", "bad\\xff.txt"},
                          Case{"d\xfe/x.txt", "d\\xfe/x.txt"},
                          Case{"latin1-\xe9t\xe9.txt", "latin1-\\xe9t\\xe9.txt"}}) {
        ScratchFolder scratch;
        MakeTree(scratch / "www", {{"ok.txt", "ok"}});
        WriteFile(scratch.Path() / "www" / fs::path(c.file), "x");
        const ToolRun run = Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "out.dat")});
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, "vandrel: refusing to pack '" + c.shown +
                               "': its name is not valid UTF-8, so the host could not serve it\n");
        EXPECT_FALSE(fs::exists(scratch / "out.dat"));
    }
}

// Makes `levels` nested folders "d" under `root`, with `file` in the deepest, one level at a time
// (paths that long are beyond what path-based calls take in one piece).
void MakeDeepChain(const fs::path& root, int levels, const std::string& file) {
    fs::create_directories(root);
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < levels; ++level) {
        ASSERT_EQ(mkdirat(fd, "d", 0777), 0);
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    const int out = openat(fd, "f.txt", O_WRONLY | O_CREAT | O_TRUNC, 0666);
    close(fd);
    ASSERT_GE(out, 0);
    ASSERT_EQ(write(out, file.data(), file.size()), static_cast<ssize_t>(file.size()));
    close(out);
}

TEST(ToolContainment, DeepTreesPackAndExtractLevelByLevel) {
    // 1,500 levels: more than the standard library creates at once.
    ScratchFolder scratch;
    MakeDeepChain(scratch / "www", 1500, "deep");
    WriteFile(scratch / "www/top.txt", "top");
    const ToolRun pack = Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "deep.dat")});
    ASSERT_EQ(pack.code, 0) << pack.err;
    std::string deepName;
    for (int level = 0; level < 1500; ++level) {
        deepName += "d/";
    }
    EXPECT_EQ(PackedNames(scratch / "deep.dat"), deepName + "f.txt\ntop.txt\n");
    const ToolRun extract = Tool({"extract", U8(scratch / "deep.dat"), U8(scratch / "out")});
    ASSERT_EQ(extract.code, 0) << extract.err;
    // What was extracted packs into the same bytes.
    ASSERT_EQ(Tool({"pack", U8(scratch / "out"), "-o", U8(scratch / "again.dat")}).code, 0);
    EXPECT_EQ(ReadFile(scratch / "again.dat"), ReadFile(scratch / "deep.dat"));
    // Removed here, where no path is too long for rm.
    EXPECT_EQ(std::system(("rm -rf '" + U8(scratch / "www") + "' '" + U8(scratch / "out") + "'")
                              .c_str()),
              0);
}

TEST(ToolContainment, NamesAsLongAsTheSystemAllowsExtract) {
    ScratchFolder scratch;
    const std::string longest(255, 'n');
    const std::map<std::string, std::string> files = {
        {longest, "file"}, {longest.substr(0, 250) + "/" + longest, "nested"}};
    MakeTree(scratch / "www", files);
    ASSERT_EQ(Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "long.dat")}).code, 0);
    const ToolRun extract = Tool({"extract", U8(scratch / "long.dat"), U8(scratch / "out")});
    ASSERT_EQ(extract.code, 0) << extract.err;
    EXPECT_EQ(TreeFiles(scratch / "out"), files);
    // Extracting again replaces the files through temporary names that are just as short.
    ASSERT_EQ(Tool({"extract", U8(scratch / "long.dat"), U8(scratch / "out")}).code, 0);
    EXPECT_EQ(TreeFiles(scratch / "out"), files);
}

// Runs `body` in a child process whose open-file limit is `files`; returns its exit code.
int WithFileLimit(rlim_t files, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        const struct rlimit limit = {files, files};
        _exit(setrlimit(RLIMIT_NOFILE, &limit) == 0 ? body() : 99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ToolContainment, DeeperThanTheSystemAllowsIsRefusedUpFront) {
    // With 100 open files, less a margin of 64, 36 folders can be held open at once.
    ScratchFolder scratch;
    std::string name;
    for (int level = 0; level < 40; ++level) {
        name += "d/";
    }
    WriteFile(scratch / "deep.dat", EncodeFiles({{"a.txt", "A"}, {name + "f", "F"}}));
    MakeTree(scratch / "www", {{name + "f", "F"}});
    const int code = WithFileLimit(100, [&] {
        const ToolRun extract = Tool({"extract", U8(scratch / "deep.dat"), U8(scratch / "out")});
        if (extract.code != 1 || fs::exists(scratch / "out") ||
            !Contains(extract.err, "it lies 40 folders deep, more than this system lets one "
                                   "program hold open (35); nothing was written")) {
            std::fprintf(stderr, "extract: %s", extract.err.c_str());
            return 1;
        }
        const ToolRun pack = Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "p.dat")});
        if (pack.code != 1 || fs::exists(scratch / "p.dat") ||
            !Contains(pack.err, "folders deep, more than this system lets one program hold "
                                "open (35)")) {
            std::fprintf(stderr, "pack: %s", pack.err.c_str());
            return 2;
        }
        return 0;
    });
    EXPECT_EQ(code, 0);
}

TEST(ToolContainment, RunningOutOfMemoryHasItsOwnExitCode) {
    ScratchFolder scratch;
    WriteFile(scratch / "b.dat", EncodeFiles({{"a.txt", "A"}}));
    ToolEnvironment environment;
    environment.testHook = [](std::string_view point, const std::string&) {
        if (point == "bundle-opened") {
            throw std::bad_alloc();
        }
    };
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"verify", U8(scratch / "b.dat")},
          std::vector<std::string>{"list", U8(scratch / "b.dat")},
          std::vector<std::string>{"extract", U8(scratch / "b.dat"), U8(scratch / "out")}}) {
        const ToolRun run = Tool(args, environment);
        EXPECT_EQ(run.code, kExitOutOfMemory) << args[0];
        EXPECT_EQ(run.err, "vandrel: out of memory while reading the directory of '" +
                               U8(scratch / "b.dat") + "'\n")
            << args[0];
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(fs::exists(scratch / "out"));
}

TEST(ToolContainment, EveryCommandRefusesBundlesTheHostCannotMap) {
    ScratchFolder scratch;
    const std::string bytes = EncodeFiles({{"a.txt", "A"}});
    WriteFile(scratch / "b.dat", bytes);
    ToolEnvironment small;
    small.sizeLimit = bytes.size();
    const std::string why = "the bundle is " + std::to_string(bytes.size()) +
                            " bytes; the host reads bundles smaller than " +
                            std::to_string(bytes.size()) + " bytes";
    const ToolRun verify = Tool({"verify", U8(scratch / "b.dat")}, small);
    EXPECT_EQ(verify.code, 1);
    EXPECT_EQ(verify.out, "rejected: " + why + "\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", U8(scratch / "b.dat")},
          std::vector<std::string>{"extract", U8(scratch / "b.dat"), U8(scratch / "out")}}) {
        const ToolRun run = Tool(args, small);
        EXPECT_EQ(run.code, 1) << args[0];
        EXPECT_EQ(run.err, "vandrel: '" + U8(scratch / "b.dat") +
                               "' is not a bundle the host accepts: " + why + "\n")
            << args[0];
    }
    EXPECT_FALSE(fs::exists(scratch / "out"));
}

}  // namespace
}  // namespace vandrel::tool
