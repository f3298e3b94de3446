// What `vandrel serve` answers, decided without the network: where each name is found, which
// bytes the body is, and what the app maker is warned about.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app/kit_files.h"
#include "serve/serve_content.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

namespace fs = std::filesystem;
using testing_util::EncodeFiles;
using testing_util::ScratchFolder;
using testing_util::WriteFile;

// The body an answer would send, read from wherever it points.
std::string Body(const ServedAnswer& answer) {
    const ResponsePlan& plan = answer.plan;
    if (plan.body == BodyKind::None) {
        return "";
    }
    std::string body(static_cast<size_t>(plan.bodyLength), '\0');
    if (answer.bytes != nullptr) {
        body.assign(reinterpret_cast<const char*>(answer.bytes), body.size());
    } else if (!answer.file || !answer.file->ReadAt(plan.bodyOffset, body.data(), body.size())) {
        return "<unreadable>";
    }
    return body;
}

class ServeContentTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(app_ / "package.json", R"({"name":"t"})");
        // The bundle has index.html, both.txt and Case.txt; the folder has both.txt (other bytes),
        // loose.txt, Deep/Name.TXT and a sub-folder.
        WriteFile(app_ / "www/assets.dat",
                  EncodeFiles({{"both.txt", "from bundle"},
                               {"Case.txt", "case"},
                               {"index.html", "<p>hi</p>"}}));
        WriteFile(app_ / "www/both.txt", "from folder");
        WriteFile(app_ / "www/loose.txt", "0123456789");
        WriteFile(app_ / "www/Deep/Name.TXT", "deep");
        fs::create_directories(app_ / "www/folder");
    }

    AppConfig Config() { return ReadPackageJson(app_.Path()); }

    ScratchFolder app_;
};

TEST_F(ServeContentTest, EachNameIsAnsweredFromWhereTheHostWouldFindIt) {
    const AppContent content(app_.Path(), Config(), false);
    const std::string kit(FindKitFile("vandrel.js").value());
    struct Case {
        std::string target;
        std::optional<std::string> range;
        int status;
        ContentSource source;
        std::string body;
        std::string nameOnDisk;
    };
    const Case cases[] = {
        {"/both.txt", {}, 200, ContentSource::Bundle, "from bundle", ""},
        {"/loose.txt", {}, 200, ContentSource::Folder, "0123456789", ""},
        {"/loose.txt", "bytes=2-4", 206, ContentSource::Folder, "234", ""},
        {"/loose.txt", "bytes=0-", 206, ContentSource::Folder, "0123456789", ""},
        {"/loose.txt", "bytes=10-", 416, ContentSource::Folder, "", ""},
        {"/both.txt", "bytes=5-", 206, ContentSource::Bundle, "bundle", ""},
        {"/index.html?v=3", {}, 200, ContentSource::Bundle, "<p>hi</p>", ""},
        {"http://127.0.0.1:9/loose.txt", {}, 200, ContentSource::Folder, "0123456789", ""},
        {"/vandrel.js", {}, 200, ContentSource::Kit, kit, ""},
        {"/vandrel.js", "bytes=0-5", 206, ContentSource::Kit, kit.substr(0, 6), ""},
        {"/missing.txt", {}, 404, ContentSource::None, "File not found", ""},
        {"/folder", {}, 404, ContentSource::None, "File not found", ""},
        {"/../package.json", {}, 404, ContentSource::None, "File not found", ""},
        {"/case.txt", {}, 404, ContentSource::None, "File not found", ""},  // bundle: exact
        {"/deep/name.txt", {}, 200, ContentSource::Folder, "deep", "Deep/Name.TXT"},
        {"/Deep/Name.TXT", {}, 200, ContentSource::Folder, "deep", ""},
        {"/LOOSE.txt", "bytes=9-", 206, ContentSource::Folder, "9", "loose.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target + (c.range ? " " + *c.range : ""));
        const ServedAnswer answer = content.Answer(c.target, c.range);
        EXPECT_EQ(answer.plan.status, c.status);
        EXPECT_EQ(answer.source, c.source);
        EXPECT_EQ(Body(answer), c.body);
        EXPECT_EQ(answer.nameOnDisk, c.nameOnDisk);
    }
}

TEST_F(ServeContentTest, BundleOnlyNeverAsksTheFolder) {
    const AppContent content(app_.Path(), Config(), true);
    EXPECT_EQ(content.Answer("/both.txt", {}).source, ContentSource::Bundle);
    EXPECT_EQ(content.Answer("/loose.txt", {}).plan.status, 404);
    EXPECT_EQ(content.Answer("/vandrel.js", {}).source, ContentSource::Kit);
    EXPECT_EQ(content.Describe().find("then"), std::string::npos);
}

TEST_F(ServeContentTest, AFolderFileThatCannotBeReadIsA500NamingIt) {
    ASSERT_EQ(mkfifo((app_ / "www/pipe.txt").c_str(), 0600), 0);
    const AppContent content(app_.Path(), Config(), false);
    const ServedAnswer answer = content.Answer("/pipe.txt", {});
    EXPECT_EQ(answer.plan.status, 500);
    EXPECT_EQ(answer.plan.body, BodyKind::None);
    EXPECT_NE(answer.problem.find("is not a regular file"), std::string::npos) << answer.problem;
}

TEST_F(ServeContentTest, WarnsOfAMissingStartPageAndARejectedBundle) {
    EXPECT_TRUE(AppContent(app_.Path(), Config(), false).Warnings().empty());

    WriteFile(app_ / "package.json", R"({"name":"t","main":"loose.txt"})");
    EXPECT_TRUE(AppContent(app_.Path(), Config(), false).Warnings().empty());
    const AppContent bundleOnly(app_.Path(), Config(), true);
    ASSERT_EQ(bundleOnly.Warnings().size(), 1u);
    EXPECT_NE(bundleOnly.Warnings()[0].find("'loose.txt'"), std::string::npos);

    // A bundle cut inside its directory: the entries read before the cut are still served.
    std::string bytes = EncodeFiles({{"a.txt", "A"}, {"b.txt", "B"}});
    bytes[bytes.size() - 5 - 37 + 32] = 1;  // b.txt's compression
    WriteFile(app_ / "www/assets.dat", bytes);
    WriteFile(app_ / "package.json", R"({"name":"t","main":"a.txt"})");
    const AppContent damaged(app_.Path(), Config(), false);
    ASSERT_EQ(damaged.Warnings().size(), 1u);
    EXPECT_NE(damaged.Warnings()[0].find("(bad file compression)"), std::string::npos)
        << damaged.Warnings()[0];
    EXPECT_NE(damaged.Warnings()[0].find("(1 file;"), std::string::npos);
    EXPECT_EQ(Body(damaged.Answer("/a.txt", {})), "A");
    EXPECT_EQ(damaged.Answer("/b.txt", {}).plan.status, 404);
}

TEST_F(ServeContentTest, RefusesAnAppWithoutWwwAndBundleOnlyWithoutABundle) {
    fs::remove(app_ / "www/assets.dat");
    EXPECT_THROW(AppContent(app_.Path(), Config(), true), ToolError);
    EXPECT_NO_THROW(AppContent(app_.Path(), Config(), false));
    fs::remove_all(app_ / "www");
    EXPECT_THROW(AppContent(app_.Path(), Config(), false), ToolError);
}

TEST(KitFilesTest, HoldThePageLibraryAndItsDeclarations) {
    ASSERT_EQ(KitFiles().size(), 2u);
    const auto library = FindKitFile("vandrel.js");
    ASSERT_TRUE(library.has_value());
    EXPECT_EQ(*library, testing_util::ReadFile(fs::path(VANDREL_SOURCE_DIR) / "page/vandrel.js"));
    EXPECT_EQ(FindKitFile("vandrel.d.ts").value(),
              testing_util::ReadFile(fs::path(VANDREL_SOURCE_DIR) / "page/vandrel.d.ts"));
    EXPECT_FALSE(FindKitFile("Vandrel.js").has_value());
}

}  // namespace
}  // namespace vandrel::tool
