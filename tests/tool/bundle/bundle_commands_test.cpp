// The vandrel command line: pack, list, verify and extract, run in-process through RunTool, and
// the built program once for its streams and exit codes.

#include "bundle/bundle_names.h"
#include "cli/commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "portable/bundle/asset_bundle.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

// `vandrel list` of `bundle` succeeds and prints `expected`.
void ExpectListing(const fs::path& bundle, const std::string& expected) {
    const ToolRun list = Tool({"list", U8(bundle)});
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, expected);
}

// A tree with nested folders, empty files, non-ASCII names and identical files.
std::map<std::string, std::string> SampleTree() {
    const std::string logo("\x89PNG\r\n\x1a\n\0\0binary", 16);
    return {
        {"index.html", "<!doctype html><script src=js/main.js></script>"},
        {"js/main.js", "console.log('main');"},
        {"js/lib/util.js", "export const x = 1;"},
        {"css/site.css", "body { margin: 0 }"},
        {"empty.txt", ""},
        {"deep/er/still/empty", ""},
        {"données/été.txt", "été"},
        {"日本/a.txt", "日本語"},
        {"img/logo.png", logo},
        {"img/logo-copy.png", logo},
        {"copies/a/logo.png", logo},
        {"space name.txt", "spaces are fine"},
    };
}

TEST(ToolCommands, PackVerifyExtractRoundTripsTheTree) {
    ScratchFolder scratch;
    const auto files = SampleTree();
    MakeTree(scratch / "www", files);
    const fs::path bundle = scratch / "assets.dat";

    const ToolRun pack = Tool({"pack", U8(scratch / "www"), "-o", U8(bundle)});
    ASSERT_EQ(pack.code, 0) << pack.err;
    EXPECT_EQ(pack.err, "");
    uint64_t total = 0;
    for (const auto& [name, content] : files) {
        total += content.size();
    }
    // Two copies of the 16-byte logo share the first one's bytes.
    EXPECT_EQ(pack.out, "packed 12 files (" + std::to_string(total) + " bytes) into '" +
                            U8(bundle) + "': " + std::to_string(fs::file_size(bundle)) +
                            " bytes, 32 bytes saved by sharing 2 identical files\n");

    const ToolRun verify = Tool({"verify", U8(bundle)});
    EXPECT_EQ(verify.code, 0);
    EXPECT_EQ(verify.out, "accepted: 12 files, " + std::to_string(total) + " bytes\n");

    const ToolRun extract = Tool({"extract", U8(bundle), U8(scratch / "out/nested")});
    ASSERT_EQ(extract.code, 0) << extract.err;
    EXPECT_EQ(TreeFiles(scratch / "out/nested"), files);
    EXPECT_EQ(extract.out, "extracted 12 files (" + std::to_string(total) + " bytes) into '" +
                               U8(scratch / "out/nested") + "'\n");

    // Extracting again over the same folder replaces the files.
    WriteFile(scratch / "out/nested/index.html", "changed");
    ASSERT_EQ(Tool({"extract", U8(bundle), U8(scratch / "out/nested")}).code, 0);
    EXPECT_EQ(TreeFiles(scratch / "out/nested"), files);
}

TEST(ToolCommands, ListShowsSizeOffsetAndNameInByteOrder) {
    ScratchFolder scratch;
    MakeTree(scratch / "www", {{"b.txt", "bbbb"},
                               {"a.txt", "aa"},
                               {"c/d.txt", "aa"},
                               {"big.bin", std::string(123456, 'x')}});
    const fs::path bundle = scratch / "assets.dat";
    ASSERT_EQ(Tool({"pack", U8(scratch / "www"), "-o", U8(bundle)}).code, 0);
    // Blob order is name order ("b.txt" < "big.bin" as '.' < 'i'); c/d.txt shares a.txt's bytes.
    ExpectListing(bundle,
                  "  size  offset  name\n"
                  "     2       0  a.txt\n"
                  "     4       2  b.txt\n"
                  "123456       6  big.bin\n"
                  "     2       0  c/d.txt\n"
                  "4 files, 123464 bytes (blob 123462 bytes)\n");
}

TEST(ToolCommands, ListAndErrorsEscapeWhatCouldRewriteTheTerminal) {
    ScratchFolder scratch;
    const fs::path bundle = scratch / "names.dat";
    WriteFile(bundle, EncodeFiles({{"csi\x9b"
                                    "2J",
                                    "a"},
                                   {"evil\xE2\x80\xAEtxt.exe", "b"},
                                   {"next\xC2\x85line", "c"}}));
    ExpectListing(bundle,
                  "size  offset  name\n"
                  "   1       0  csi\\x9b2J\n"
                  "   1       1  evil\\u202etxt.exe\n"
                  "   1       2  next\\u0085line\n"
                  "3 files, 3 bytes (blob 3 bytes)\n");
    const ToolRun extract = Tool({"extract", U8(bundle), U8(scratch / "out")});
    EXPECT_EQ(extract.code, 0) << extract.err;
    WriteFile(bundle, EncodeFiles({{"a/../\xE2\x81\xA6x", "a"}}));
    const ToolRun refused = Tool({"extract", U8(bundle), U8(scratch / "out2")});
    EXPECT_EQ(refused.err,
              "vandrel: refusing to extract 'a/../\\u2066x': '..' would lead out of "
              "the folder; nothing was written\n");
}

TEST(ToolCommands, PackingIsDeterministic) {
    // The same files created in a different order (so listed in a different order by the file
    // system) give the same bytes.
    ScratchFolder scratch;
    const auto files = SampleTree();
    MakeTree(scratch / "one", files);
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        WriteFile(scratch / ("two/" + it->first), it->second);
    }
    ASSERT_EQ(Tool({"pack", U8(scratch / "one"), "-o", U8(scratch / "1.dat")}).code, 0);
    ASSERT_EQ(Tool({"pack", U8(scratch / "two"), "-o", U8(scratch / "2.dat")}).code, 0);
    ASSERT_EQ(Tool({"pack", U8(scratch / "one"), "-o", U8(scratch / "3.dat")}).code, 0);
    const std::string first = ReadFile(scratch / "1.dat");
    EXPECT_EQ(ReadFile(scratch / "2.dat"), first);
    EXPECT_EQ(ReadFile(scratch / "3.dat"), first);
}

TEST(ToolCommands, PackLeavesOutTheHostBundleAndItsOwnOutput) {
    ScratchFolder scratch;
    MakeTree(scratch / "www", {{"index.html", "x"},
                               {"assets.dat", "old bundle"},
                               {"sub/assets.dat", "an ordinary file"}});
    // The output inside the folder, packed twice: the second time it exists and is left out.
    const fs::path output = scratch / "www/sub/out.dat";
    ASSERT_EQ(Tool({"pack", U8(scratch / "www"), "-o", U8(output)}).code, 0);
    // A link to the output is the output too; a path with ".." that names it is as well.
    fs::create_symlink("sub/out.dat", scratch / "www/link-to-output");
    const ToolRun again =
        Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "www/sub/../sub/out.dat")});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(PackedNames(output), "index.html\nsub/assets.dat\n");
    EXPECT_EQ(TreeNames(scratch / "www"),
              (std::vector<std::string>{"assets.dat", "index.html", "link-to-output", "sub",
                                        "sub/assets.dat", "sub/out.dat"}));
}

TEST(ToolCommands, PackFollowsLinksOnlyInsideTheFolder) {
    ScratchFolder scratch;
    MakeTree(scratch / "www", {{"real/a.txt", "inside"}, {"index.html", "x"}});
    WriteFile(scratch / "secret.txt", "outside");
    fs::create_symlink("real/a.txt", scratch / "www/file-link.txt");
    fs::create_symlink("real", scratch / "www/dir-link");
    fs::create_symlink(scratch / "secret.txt", scratch / "www/escape.txt");
    fs::create_symlink("../..", scratch / "www/real/up");
    fs::create_symlink("missing", scratch / "www/broken");
    fs::create_symlink("..", scratch / "www/real/loop");
    const fs::path bundle = scratch / "assets.dat";
    const ToolRun pack = Tool({"pack", U8(scratch / "www"), "-o", U8(bundle)});
    ASSERT_EQ(pack.code, 0) << pack.err;
    EXPECT_EQ(PackedNames(bundle), "dir-link/a.txt\nfile-link.txt\nindex.html\nreal/a.txt\n");
    ASSERT_EQ(Tool({"extract", U8(bundle), U8(scratch / "out")}).code, 0);
    EXPECT_EQ(ReadFile(scratch / "out/file-link.txt"), "inside");
    EXPECT_EQ(ReadFile(scratch / "out/dir-link/a.txt"), "inside");
    for (const std::string name : {"'escape.txt'", "'real/up'", "'broken'", "'real/loop'",
                                   "'dir-link/loop'", "'dir-link/up'"}) {
        EXPECT_TRUE(Contains(pack.err, "vandrel: warning: skipping " + name)) << name << pack.err;
    }
    EXPECT_TRUE(Contains(pack.err, "points outside the folder"));
    EXPECT_FALSE(Contains(pack.out, "secret"));
}

TEST(ToolCommands, VerifyNamesTheFailingEntry) {
    ScratchFolder scratch;
    const fs::path bundle = scratch / "bad.dat";
    const std::string blob = "0123456789";
    std::vector<RawEntry> entries(3);
    entries[0] = {.name = "a.txt", .fields = {.offset = 0, .size = 4}};
    entries[1] = {.name = "img/b.png", .fields = {.offset = 4, .size = 4}};
    entries[2] = {.name = "c.txt", .fields = {.offset = 8, .size = 2}};
    struct Case {
        const char* label;
        size_t index;
        RawEntry change;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"compression",
         1,
         {.name = "img/b.png", .fields = {.offset = 4, .size = 4, .compression = 1}},
         {"rejected: bad file compression",
          "  at entry index 1 of 3 (counting from 0): 'img/b.png'",
          "  its compression is 1; only 0 (stored) is accepted"}},
        {"reserved",
         2,
         {.name = "c.txt", .fields = {.reserved1 = 7, .offset = 8, .size = 2}},
         {"rejected: bad file entry", "  at entry index 2 of 3 (counting from 0): 'c.txt'",
          "  its reserved fields are 0 and 7; both must be 0"}},
        {"range",
         0,
         {.name = "a.txt", .fields = {.offset = 8, .size = 3}},
         {"rejected: bad file entry", "  at entry index 0 of 3 (counting from 0): 'a.txt'",
          "  its bytes (offset 8, size 3) run past the end of the blob chunk (10 bytes)"}},
        {"name length",
         2,
         {.name = "c.txt", .fields = {.offset = 8, .size = 2}, .nameLength = 6},
         {"rejected: bundle read error",
          "  at entry index 2 of 3 (counting from 0), whose name is not present",
          "  its name length is 6, but only 5 bytes remain in the fdir chunk"}},
    };
    for (const Case& c : cases) {
        std::vector<RawEntry> changed = entries;
        changed[c.index] = c.change;
        WriteFile(bundle, EncodeBundle(blob, changed));
        const ToolRun verify = Tool({"verify", U8(bundle)});
        EXPECT_EQ(verify.code, 1) << c.label;
        std::string expected;
        for (const std::string& line : c.lines) {
            expected += line + "\n";
        }
        EXPECT_EQ(verify.out, expected) << c.label;
        // list and extract refuse it too, pointing at verify.
        const ToolRun list = Tool({"list", U8(bundle)});
        EXPECT_EQ(list.code, 1);
        EXPECT_TRUE(Contains(list.err, "is not a bundle the host accepts")) << list.err;
    }

    // An entry cut short inside its fixed fields.
    std::string cut = EncodeBundle(blob, entries);
    cut.resize(cut.size() - EncodeEntry(entries[2]).size() + 20);
    const size_t fdirSize =
        4 + EncodeEntry(entries[0]).size() + EncodeEntry(entries[1]).size() + 20;
    const size_t fdirAt = 28 + blob.size();
    std::string size;
    PutU64(size, fdirSize);
    cut.replace(fdirAt + 4, 8, size);
    WriteFile(bundle, cut);
    const ToolRun verify = Tool({"verify", U8(bundle)});
    EXPECT_EQ(verify.out,
              "rejected: bundle read error\n"
              "  at entry index 2 of 3 (counting from 0), whose name is not present\n"
              "  the entry needs 37 bytes before its name, but only 20 remain in the fdir chunk\n");
}

TEST(ToolCommands, VerifyExplainsHeaderAndChunkFailures) {
    ScratchFolder scratch;
    const fs::path bundle = scratch / "bad.dat";
    const std::string good = EncodeFiles({{"a.txt", "abc"}});
    const auto verify = [&](const std::string& bytes) {
        WriteFile(bundle, bytes);
        const ToolRun run = Tool({"verify", U8(bundle)});
        EXPECT_EQ(run.code, 1) << run.out;
        return run.out;
    };
    EXPECT_EQ(verify("PK\x03\x04" + good.substr(4)),
              "rejected: bad format\n"
              "  the file starts with bytes 50 4b 03 04 where \"vdab\" (76 64 61 62) belongs\n");
    std::string versioned = good;
    versioned[7] = 1;
    EXPECT_EQ(verify(versioned),
              "rejected: unsupported version\n  its version is 1; only 0 is accepted\n");
    std::string flagged = good;
    flagged[15] = 4;
    EXPECT_EQ(verify(flagged),
              "rejected: invalid flags\n"
              "  its flags are 0x00000004; no flags are defined, so they must "
              "be 0\n");
    EXPECT_EQ(verify("vda"),
              "rejected: bundle read error\n"
              "  the file is 3 bytes long, shorter than the 16-byte header\n");
    EXPECT_EQ(verify(good + "xyz"),
              "rejected: bundle read error\n"
              "  3 bytes remain at offset " +
                  std::to_string(good.size()) + ", too few for a 12-byte chunk header\n");
    std::string longBlob = good;
    longBlob[27] = 100;  // blob size 3 -> 100
    EXPECT_EQ(verify(longBlob),
              "rejected: bad chunk\n"
              "  chunk 'blob' at offset 16 declares 100 payload bytes, but only " +
                  std::to_string(good.size() - 28) + " remain in the file\n");
    EXPECT_EQ(verify(good.substr(0, 31)),
              "rejected: missing fdir chunk\n"
              "  chunks found: 'blob' (3 bytes at 16)\n");
    std::string noChunks = good.substr(0, 16);
    EXPECT_EQ(verify(noChunks),
              "rejected: missing blob chunk\n"
              "  the file holds no chunks (chunk start 16, file length 16)\n");
    std::string shortDirectory = good.substr(0, 31) + "fdir" + std::string(7, '\0') + "\x02" + "ab";
    EXPECT_EQ(verify(shortDirectory),
              "rejected: bundle read error\n"
              "  the fdir chunk holds 2 bytes, too few for its 4-byte entry count\n");

    // A bundle at the size limit is rejected without being read.
    WriteFile(bundle, good);
    ToolEnvironment small;
    small.sizeLimit = good.size();
    const ToolRun limited = Tool({"verify", U8(bundle)}, small);
    EXPECT_EQ(limited.code, 1);
    EXPECT_EQ(limited.out, "rejected: the bundle is " + std::to_string(good.size()) +
                               " bytes; the host reads bundles smaller than " +
                               std::to_string(good.size()) + " bytes\n");
    small.sizeLimit = good.size() + 1;
    EXPECT_EQ(Tool({"verify", U8(bundle)}, small).code, 0);

    // Repeated names: accepted, with a note.
    WriteFile(bundle, EncodeFiles({{"a.txt", "1"}, {"a.txt", "2"}}));
    EXPECT_EQ(Tool({"verify", U8(bundle)}).out,
              "accepted: 1 file, 1 byte\n"
              "  note: 1 entry repeats an earlier name; the host uses the first\n");
}

TEST(ToolCommands, ExtractRefusesNamesThatLeaveTheFolder) {
    ScratchFolder scratch;
    const fs::path bundle = scratch / "evil.dat";
    for (const std::string bad : {"../x", "a/../../x", "/etc/x", "a//b", "a/", "./a", ""}) {
        WriteFile(bundle, EncodeFiles({{"fine.txt", "ok"}, {bad, "payload"}}));
        const ToolRun run = Tool({"extract", U8(bundle), U8(scratch / "out")});
        EXPECT_EQ(run.code, 1) << bad;
        EXPECT_TRUE(Contains(run.err, "vandrel: refusing to extract '" + bad + "': ")) << run.err;
        EXPECT_TRUE(Contains(run.err, "nothing was written")) << run.err;
        EXPECT_FALSE(fs::exists(scratch / "out")) << bad;
        EXPECT_FALSE(fs::exists(scratch / "x"));
    }
    // A file and a folder of the same name.
    WriteFile(bundle, EncodeFiles({{"a", "file"}, {"a/b", "inside"}}));
    EXPECT_EQ(Tool({"extract", U8(bundle), U8(scratch / "out")}).code, 1);
    EXPECT_FALSE(fs::exists(scratch / "out"));

    // A link already in the target folder does not lead files out of it.
    fs::create_directories(scratch / "out");
    fs::create_directories(scratch / "elsewhere");
    fs::create_symlink(scratch / "elsewhere", scratch / "out/sub");
    WriteFile(bundle, EncodeFiles({{"sub/x.txt", "escaped"}}));
    const ToolRun linked = Tool({"extract", U8(bundle), U8(scratch / "out")});
    EXPECT_EQ(linked.code, 1);
    EXPECT_TRUE(Contains(linked.err, "is a symbolic link and could lead outside")) << linked.err;
    EXPECT_TRUE(fs::is_empty(scratch / "elsewhere"));
}

TEST(ToolCommands, WindowsNameRules) {
    EXPECT_EQ(UnsafeNameReason("données/été.txt", true), std::nullopt);
    EXPECT_EQ(UnsafeNameReason("a/b.c/d e.txt", true), std::nullopt);
    EXPECT_EQ(UnsafeNameReason("console.txt", true), std::nullopt);
    for (const std::string& bad : std::vector<std::string>{"C:/x",
                                                           "C:x",
                                                           "a\\..\\b",
                                                           "a/b:stream",
                                                           "con",
                                                           "CON.txt",
                                                           "a/nul.js",
                                                           "Com1",
                                                           "lpt9.x",
                                                           "x.",
                                                           "dir /a",
                                                           "a|b",
                                                           "a?b",
                                                           "a*",
                                                           "a<b",
                                                           std::string("a\x01"),
                                                           std::string("\xC3\x28"),
                                                           std::string("\xED\xA0\x80"),
                                                           "../x",
                                                           "/x"}) {
        EXPECT_NE(UnsafeNameReason(bad, true), std::nullopt) << bad;
    }
    // Elsewhere these are ordinary file names.
    for (const std::string name : {"a\\b", "a:b", "con", "x."}) {
        EXPECT_EQ(UnsafeNameReason(name, false), std::nullopt) << name;
    }
    EXPECT_NE(UnsafeNameReason(std::string("a\0b", 3), false), std::nullopt);
}

TEST(ToolCommands, FailuresAreOneLineAndLeaveNothingBehind) {
    ScratchFolder scratch;
    MakeTree(scratch / "www", {{"a.txt", "a"}});
    fs::create_directories(scratch / "out");

    const ToolRun missing = Tool({"pack", U8(scratch / "nope"), "-o", U8(scratch / "out/x.dat")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "vandrel: cannot open folder '" + U8(scratch / "nope") +
                               "': No such file or directory\n");
    const ToolRun notFolder =
        Tool({"pack", U8(scratch / "www/a.txt"), "-o", U8(scratch / "out/x.dat")});
    EXPECT_EQ(notFolder.code, 1);
    EXPECT_EQ(notFolder.err,
              "vandrel: cannot open folder '" + U8(scratch / "www/a.txt") + "': Not a directory\n");

    const ToolRun noDir = Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "out/no/x.dat")});
    EXPECT_EQ(noDir.code, 1);
    EXPECT_EQ(noDir.err, "vandrel: cannot write '" + U8(scratch / "out/no/x.dat") +
                             "': No such file or directory\n");
    const ToolRun isDir = Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "out")});
    EXPECT_EQ(isDir.code, 1);
    EXPECT_EQ(isDir.err, "vandrel: cannot write '" + U8(scratch / "out") + "': Is a directory\n");

    // Over the size limit: refused before writing, an existing output stays as it was.
    WriteFile(scratch / "out/keep.dat", "keep");
    ToolEnvironment small;
    small.sizeLimit = 1;
    const ToolRun tooBig =
        Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "out/keep.dat")}, small);
    EXPECT_EQ(tooBig.code, 1);
    EXPECT_EQ(tooBig.err,
              "vandrel: the 1 file holds 1 byte, too much for one bundle: the host "
              "reads bundles smaller than 1 bytes\n");

    if (geteuid() != 0) {
        // Permissions bind only a user without root rights.
        chmod((scratch / "www/a.txt").c_str(), 0);
        const ToolRun unreadable =
            Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "out/keep.dat")});
        EXPECT_EQ(unreadable.code, 1);
        EXPECT_TRUE(Contains(unreadable.err, "Permission denied")) << unreadable.err;
    }
    EXPECT_EQ(TreeNames(scratch / "out"), std::vector<std::string>{"keep.dat"});
    EXPECT_EQ(ReadFile(scratch / "out/keep.dat"), "keep");

    const ToolRun noBundle = Tool({"verify", U8(scratch / "none.dat")});
    EXPECT_EQ(noBundle.code, 1);
    EXPECT_EQ(noBundle.err, "vandrel: cannot read '" + U8(scratch / "none.dat") +
                                "': No such file or directory\n");
}

TEST(ToolCommands, RefusesFoldersOfTwoGigabytesBeforeWriting) {
    // A sparse file: 2 GiB in size, nothing on disk, and never read.
    ScratchFolder scratch;
    MakeTree(scratch / "www", {{"small.txt", "s"}});
    { std::ofstream create(scratch / "www/huge.bin"); }
    fs::resize_file(scratch / "www/huge.bin", kBundleSizeLimit - 1);
    fs::create_directories(scratch / "out");
    const ToolRun run = Tool({"pack", U8(scratch / "www"), "-o", U8(scratch / "out/assets.dat")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err,
              "vandrel: the 2 files hold 2147483648 bytes, too much for one bundle: the "
              "host reads bundles smaller than 2 GiB (2147483648 bytes)\n");
    EXPECT_TRUE(fs::is_empty(scratch / "out"));
}

TEST(ToolCommands, UsageAndProgress) {
    const ToolRun none = Tool({});
    EXPECT_EQ(none.code, 2);
    EXPECT_TRUE(Contains(none.err, "usage: vandrel"));
    const ToolRun help = Tool({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(Contains(help.out, "pack FOLDER -o FILE"));
    EXPECT_EQ(help.err, "");
    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"frobnicate"},
                                               {"pack", "www"},
                                               {"pack", "-o"},
                                               {"pack", "a", "b", "-o", "x"},
                                               {"list"},
                                               {"verify", "a", "b"},
                                               {"extract", "a"},
                                               {"list", "--bogus", "x"}}) {
        const ToolRun run = Tool(wrong);
        EXPECT_EQ(run.code, 2) << wrong[0];
        EXPECT_TRUE(Contains(run.err, "(run 'vandrel --help' for usage)\n")) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }

    // Progress: on a terminal, for folders of more than 2000 files, rewritten with \r and
    // cleared at the end; never when stderr is not a terminal or the folder is small.
    ScratchFolder scratch;
    for (int i = 0; i < 2001; ++i) {
        WriteFile(scratch / ("many/f" + std::to_string(i)), std::to_string(i));
    }
    MakeTree(scratch / "few", {{"a", "a"}});
    ToolEnvironment terminal;
    terminal.errIsTerminal = true;
    const ToolRun shown =
        Tool({"pack", U8(scratch / "many"), "-o", U8(scratch / "m.dat")}, terminal);
    ASSERT_EQ(shown.code, 0);
    EXPECT_TRUE(Contains(shown.err, "\rpacking: 2001/2001 files")) << shown.err;
    EXPECT_EQ(shown.err.back(), '\r');
    EXPECT_EQ(shown.err.find('\n'), std::string::npos);
    EXPECT_TRUE(Contains(shown.out, "packed 2001 files"));
    const ToolRun quiet = Tool({"pack", U8(scratch / "many"), "-o", U8(scratch / "m.dat")});
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(Tool({"pack", U8(scratch / "few"), "-o", U8(scratch / "f.dat")}, terminal).err, "");
}

TEST(ToolProgram, ExitCodesAndStreams) {
    ScratchFolder scratch;
    MakeTree(scratch / "www", {{"index.html", "hi"}});
    const std::string tool = VANDREL_TOOL_PATH;
    const auto run = [&](const std::string& args) {
        const std::string command = "'" + tool + "' " + args + " >'" + U8(scratch / "stdout") +
                                    "' 2>'" + U8(scratch / "stderr") + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string bundle = "'" + U8(scratch / "assets.dat") + "'";
    EXPECT_EQ(run("pack '" + U8(scratch / "www") + "' -o " + bundle), 0);
    EXPECT_TRUE(Contains(ReadFile(scratch / "stdout"), "packed 1 file (2 bytes)"));
    EXPECT_EQ(ReadFile(scratch / "stderr"), "");
    EXPECT_EQ(run("verify " + bundle), 0);
    EXPECT_EQ(ReadFile(scratch / "stdout"), "accepted: 1 file, 2 bytes\n");

    std::string bytes = ReadFile(scratch / "assets.dat");
    bytes[0] = 'X';
    WriteFile(scratch / "assets.dat", bytes);
    EXPECT_EQ(run("verify " + bundle), 1);
    EXPECT_TRUE(Contains(ReadFile(scratch / "stdout"), "rejected: bad format\n"));

    EXPECT_EQ(run("pack '" + U8(scratch / "missing") + "' -o " + bundle), 1);
    EXPECT_TRUE(Contains(ReadFile(scratch / "stderr"), "vandrel: cannot open folder"));
    EXPECT_EQ(run(""), 2);
    EXPECT_TRUE(Contains(ReadFile(scratch / "stderr"), "usage: vandrel"));
}

}  // namespace
}  // namespace vandrel::tool
