#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/app_resources.h"
#include "app/pe_image.h"
#include "app/pe_resources.h"
#include "pe_test_util.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

TEST(PeImageTest, ReadsMachineAndKind) {
    struct Case {
        uint16_t machine;
        bool pe32Plus;
        bool dll;
        const char* name;
    } const cases[] = {
        {0x8664, true, false, "x64"},
        {0x014C, false, true, "x86"},
        {0xAA64, true, true, "ARM64"},
        {0x1234, true, false, "machine 0x1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestPe pe;
        pe.machine = c.machine;
        pe.pe32Plus = c.pe32Plus;
        pe.dll = c.dll;
        const PeImage image(MakeTestPe(pe));
        EXPECT_EQ(image.Machine(), c.machine);
        EXPECT_EQ(image.Is64Bit(), c.pe32Plus);
        EXPECT_EQ(image.IsDll(), c.dll);
        EXPECT_EQ(MachineName(image.Machine()), c.name);
        ASSERT_EQ(image.Sections().size(), 1u);
        EXPECT_EQ(image.Sections()[0].name, ".text");
        EXPECT_EQ(image.Sections()[0].virtualAddress, kTestSectionAlignment);
    }
}

TEST(PeImageTest, RefusesWhatIsNotAWholeImage) {
    const std::string good = MakeTestPe({});
    const size_t file = kTestPeOffset + 4;
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        const char* fragment;
    } const cases[] = {
        {"empty", [](std::string& b) { b.clear(); }, "no MZ header"},
        {"text file", [](std::string& b) { b = "hello, this is not a program at all......"; },
         "no MZ header"},
        {"PE offset past the end", [](std::string& b) { Put32(b, 0x3C, 0x7FFFFFF0); },
         "no PE header"},
        {"no PE signature", [](std::string& b) { b[kTestPeOffset] = 'X'; }, "no PE header"},
        {"unknown optional header", [](std::string& b) { Put16(b, TestOptionalHeader(), 0x999); },
         "unknown format"},
        {"optional header too small", [&](std::string& b) { Put16(b, file + 16, 20); },
         "cut short"},
        {"section table past the end",
         [&](std::string& b) {
             Put16(b, file + 2, 90);
             b.resize(0x300);
         },
         "section table is cut short"},
        {"file alignment not a power of two",
         [](std::string& b) { Put32(b, TestOptionalHeader() + 36, 0x300); }, "alignments"},
        {"too many directories", [](std::string& b) { Put32(b, TestOptionalHeader() + 108, 40); },
         "data directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.damage(bytes);
        try {
            PeImage image(bytes);
            ADD_FAILURE() << "accepted";
        } catch (const PeFormatError& error) {
            EXPECT_NE(std::string(error.what()).find(c.fragment), std::string::npos)
                << error.what();
        }
    }
}

TEST(PeImageTest, ExportNames) {
    TestPe pe;
    pe.dll = true;
    pe.exports = {"Init", "Release", "OnMainWindowCreated"};
    const std::string bytes = MakeTestPe(pe);
    EXPECT_EQ(PeImage(bytes).ExportNames(), pe.exports);
    EXPECT_TRUE(PeImage(MakeTestPe({})).ExportNames().empty());

    // A name table that points past the image.
    std::string damaged = bytes;
    const uint32_t exportRva = Get32(bytes, TestDirectory(pe, 0));
    const PeImage image(bytes);
    const size_t at = *image.FileOffset(exportRva, 40);
    Put32(damaged, at + 32, 0x00FFFFF0);
    EXPECT_THROW(PeImage(damaged).ExportNames(), PeFormatError);
}

// binutils' linker writes the checksum of what it links: the same sum, computed elsewhere.
TEST(PeImageTest, ChecksumMatchesTheLinkers) {
    ScratchFolder folder;
    WriteFile(folder / "main.c", "int main(void) { return 0; }\n");
    int status = -1;
    RunCommand(std::string(VANDREL_MINGW_GCC) + " -O1 -o " +
                   ShellQuoted((folder / "main.exe").string()) + " " +
                   ShellQuoted((folder / "main.c").string()) + " 2>&1",
               &status);
    ASSERT_EQ(status, 0);
    const PeImage image(ReadFile(folder / "main.exe"));
    ASSERT_NE(image.CheckSum(), 0u);
    EXPECT_EQ(PeChecksum(image.Bytes(), image.CheckSumOffset()), image.CheckSum());
    EXPECT_EQ(image.Machine(), kMachineAmd64);
}

std::vector<Resource> SampleResources() {
    return {
        {ResourceId::Number(3), ResourceId::Number(1), 0x409, 0, std::string(300, 'a')},
        {ResourceId::Number(3), ResourceId::Number(2), 0x409, 0, "bb"},
        {ResourceId::Number(14), ResourceId::Named("MAINICON"), 0x409, 0, "group"},
        {ResourceId::Number(16), ResourceId::Number(1), 0x409, 1200, "version"},
        {ResourceId::Number(16), ResourceId::Number(1), 0x407, 0, "Version"},
        {ResourceId::Named("DATA"), ResourceId::Named("ZZ"), 0, 0, "z"},
        {ResourceId::Named("DATA"), ResourceId::Named("AB"), 0, 0, std::string("\0\1", 2)},
    };
}

// Resources in the order Windows searches them, to compare lists.
std::vector<std::string> Keys(const std::vector<Resource>& resources) {
    std::vector<std::string> keys;
    for (const Resource& r : resources) {
        const auto id = [](const ResourceId& i) {
            return i.IsNamed() ? std::string(i.name.begin(), i.name.end()) : std::to_string(i.id);
        };
        keys.push_back(id(r.type) + "/" + id(r.name) + "/" + std::to_string(r.language) + "/" +
                       std::to_string(r.codePage) + "=" + r.data);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

TEST(PeResourcesTest, NewSectionHoldsTheResourcesAndTheRestStays) {
    TestPe pe;
    pe.sections.push_back({".data", std::string(5000, 'd'), 0xC0000040});
    pe.overlay = "SYMBOLS-AND-STRINGS";
    pe.overlayIsSymbolTable = true;
    const std::string before = MakeTestPe(pe);
    const PeImage original(before);
    const std::string after = ReplaceResources(original, SampleResources());
    const PeImage image(after);

    EXPECT_EQ(Keys(ReadResources(image)), Keys(SampleResources()));
    ASSERT_EQ(image.Sections().size(), 3u);
    const PeSection& added = image.Sections().back();
    EXPECT_EQ(added.name, ".rsrc");
    EXPECT_EQ(added.virtualAddress, 0x4000u);  // after .text (0x1000) and .data (0x2000-0x3387)
    EXPECT_EQ(image.Directory(kResourceDirectory).address, added.virtualAddress);
    EXPECT_EQ(image.Directory(kResourceDirectory).size, added.virtualSize);
    EXPECT_EQ(added.rawPointer % kTestFileAlignment, 0u);
    EXPECT_EQ(image.SizeOfImage(),
              TestAlign(added.virtualAddress + added.virtualSize, kTestSectionAlignment));
    EXPECT_EQ(image.CheckSum(), PeChecksum(after, image.CheckSumOffset()));
    EXPECT_NE(image.CheckSum(), 0u);
    // Sections keep their bytes; the symbol table moved behind the new section, with its pointer.
    for (size_t i = 0; i < 2; ++i) {
        const PeSection& s = original.Sections()[i];
        EXPECT_EQ(after.substr(s.rawPointer, s.rawSize), before.substr(s.rawPointer, s.rawSize));
    }
    const uint32_t symbols = Get32(after, kTestPeOffset + 4 + 8);
    EXPECT_EQ(symbols, added.rawPointer + added.rawSize);
    EXPECT_EQ(after.substr(symbols), pe.overlay);

    // An independent reader sees the same tree.
    ScratchFolder folder;
    WriteFile(folder / "a.exe", after);
    int status = -1;
    const std::string dump = RunCommand(
        std::string(VANDREL_OBJDUMP) + " -p " + ShellQuoted((folder / "a.exe").string()), &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(dump.find("Resource Directory [.rsrc]"), std::string::npos) << dump;
    EXPECT_NE(dump.find("MAINICON"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Codepage: 1200"), std::string::npos) << dump;
}

TEST(PeResourcesTest, OldSectionRenamedSignatureAndBoundImportsDropped) {
    TestPe pe;
    pe.signatureSize = 64;
    std::string first = MakeTestPe(pe);
    Put32(first, TestDirectory(pe, 11), 0x300);  // bound imports
    Put32(first, TestDirectory(pe, 11) + 4, 8);
    const std::string once = ReplaceResources(PeImage(first), SampleResources());
    const PeImage onceImage(once);
    EXPECT_EQ(onceImage.Directory(kSecurityDirectory).size, 0u);
    EXPECT_EQ(onceImage.Directory(kBoundImportDirectory).size, 0u);
    EXPECT_EQ(once.find(std::string(64, 'S')), std::string::npos);

    const std::string twice = ReplaceResources(onceImage, {SampleResources()[0]});
    const PeImage image(twice);
    ASSERT_EQ(image.Sections().size(), 3u);
    EXPECT_EQ(image.Sections()[1].name, ".oldrsrc");
    EXPECT_EQ(image.Sections()[2].name, ".rsrc");
    EXPECT_EQ(Keys(ReadResources(image)), Keys({SampleResources()[0]}));
}

TEST(PeResourcesTest, NoRoomForAnotherSectionHeader) {
    TestPe pe;
    pe.headerSize = 0x200;
    pe.sections = {{".a", "a"}, {".b", "b"}, {".c", "c"}};
    EXPECT_NO_THROW(ReplaceResources(PeImage(MakeTestPe(pe)), SampleResources()));
    pe.sections.push_back({".d", "d"});
    EXPECT_THROW(ReplaceResources(PeImage(MakeTestPe(pe)), SampleResources()), PeFormatError);
}

// An .ico file holding `images` (PNG or bitmap data), sizes taken from the list.
std::string Ico(const std::vector<std::pair<int, std::string>>& images) {
    std::string ico(6 + 16 * images.size(), '\0');
    Put16(ico, 2, 1);
    Put16(ico, 4, static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const size_t e = 6 + 16 * i;
        ico[e] = static_cast<char>(images[i].first & 0xFF);
        ico[e + 1] = static_cast<char>(images[i].first & 0xFF);
        Put16(ico, e + 4, 1);
        Put16(ico, e + 6, 32);
        Put32(ico, e + 8, static_cast<uint32_t>(images[i].second.size()));
        Put32(ico, e + 12, static_cast<uint32_t>(ico.size()));
        ico += images[i].second;
    }
    return ico;
}

// A 16x16 bitmap of `bits` per pixel as an icon holds it: header, palette, colour rows, mask rows.
std::string Bitmap(uint16_t bits = 32) {
    std::string dib(40, '\0');
    Put32(dib, 0, 40);
    Put32(dib, 4, 16);
    Put32(dib, 8, 32);
    Put16(dib, 12, 1);
    Put16(dib, 14, bits);
    const size_t palette = bits <= 8 ? 4u << bits : 0;
    return dib + std::string(palette + 16 * (16 * bits / 8) + 16 * 4, 'p');
}

TEST(AppResourcesTest, IconImagesFromIcoAndPng) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<int> widths;  // empty: refused
        const char* fragment;
    } const cases[] = {
        {"png 32", Png(32, 32), {32}, ""},
        {"png 256", Png(256, 256), {0}, ""},
        {"png 257", Png(257, 257), {}, "at most 256x256"},
        {"png 512x16", Png(512, 16), {}, "512x16"},
        {"ico", Ico({{16, Bitmap()}, {256, Png(256, 256)}}), {16, 0}, ""},
        {"ico with a big png", Ico({{0, Png(300, 300)}}), {}, "at most 256x256"},
        {"ico with no image", Ico({}), {}, "no image"},
        {"ico with junk", Ico({{16, std::string(50, 'j')}}), {}, "neither a PNG nor a bitmap"},
        {"ico cut short", Ico({{16, Bitmap()}}).substr(0, 60), {}, "outside the file"},
        // Images that are only their headers, or that promise more than they hold.
        {"png header alone", Png(32, 32).substr(0, 33), {}, "ends before its IEND"},
        {"png rows missing", Png(32, 32, 6, 31), {}, "does not hold the 32x32 pixels"},
        {"png rows too many", Png(32, 32, 6, 33), {}, "does not hold the 32x32 pixels"},
        {"png checksum", [] {
             std::string png = Png(8, 8);
             png[45] ^= 1;
             return png;
         }(), {}, "checksum of its IDAT"},
        {"png palette missing", Png(8, 8, 3).replace(33, 15, ""), {}, "palette"},
        {"png depth", [] {
             std::string png = Png(8, 8);
             png[24] = 3;
             return png;
         }(), {}, "values no PNG has"},
        {"palette png", Png(8, 8, 3), {8}, ""},
        {"8-bit bitmap", Ico({{16, Bitmap(8)}}), {16}, ""},
        {"8-byte bitmap", Ico({{16, Bitmap().substr(0, 8)}}), {}, "neither a PNG nor a bitmap"},
        {"bitmap cut short", Ico({{16, Bitmap(8).substr(0, 500)}}), {}, "cut short"},
        {"bitmap header wrong", [] {
             std::string dib = Bitmap();
             Put16(dib, 14, 7);
             return Ico({{16, dib}});
         }(), {}, "values an icon cannot have"},
        // A small file that would stand for many copies of one image.
        {"entries share an image", [] {
             std::string ico = Ico({{16, Bitmap()}, {16, Bitmap()}});
             Put32(ico, 6 + 16 + 12, ReadLe32(ico, 6 + 12));
             return ico;
         }(), {}, "share bytes"},
        {"entry overlaps the list", [] {
             std::string ico = Ico({{16, Bitmap()}});
             Put32(ico, 6 + 12, 0);
             return ico;
         }(), {}, "overlaps"},
        {"jpeg", "\xFF\xD8\xFF\xE0 jpeg data", {}, "neither an .ico nor a .png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            const std::vector<IconImage> images = ReadIconImages(c.bytes);
            std::vector<int> widths;
            for (const IconImage& image : images) {
                widths.push_back(image.width);
            }
            EXPECT_EQ(widths, c.widths);
        } catch (const IconFormatError& error) {
            EXPECT_TRUE(c.widths.empty()) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.fragment), std::string::npos)
                << error.what();
        }
    }
    EXPECT_EQ(ReadIconImages(Png(48, 48, 2))[0].bitCount, 24);
}

TEST(AppResourcesTest, ImageFormatsTheHostReads) {
    const std::pair<std::string, const char*> cases[] = {
        {Png(1, 1), "PNG"},
        {Ico({{16, Bitmap()}}), "ICO"},
        {"BM....", "BMP"},
        {"\xFF\xD8\xFF\xDB", "JPEG"},
        {"GIF89a..", "GIF"},
        {std::string("II*\0", 4), "TIFF"},
        {std::string("MM\0*", 4), "TIFF"},
        {"<svg>", nullptr},
        {"", nullptr},
    };
    for (const auto& [bytes, format] : cases) {
        SCOPED_TRACE(format == nullptr ? "none" : format);
        const std::optional<std::string> found = ImageFormat(bytes);
        EXPECT_EQ(found.has_value(), format != nullptr);
        if (found && format != nullptr) {
            EXPECT_EQ(*found, format);
        }
    }
}

// The old MAINICON's images go unless another group uses them; the new ones take free ids.
TEST(AppResourcesTest, BrandReplacesMainIconOnly) {
    const auto group = [](std::vector<uint16_t> ids) {
        std::string g(6, '\0');
        Put16(g, 2, 1);
        Put16(g, 4, static_cast<uint32_t>(ids.size()));
        for (const uint16_t id : ids) {
            std::string e(14, '\0');
            Put16(e, 12, id);
            g += e;
        }
        return g;
    };
    const std::vector<Resource> resources = {
        {ResourceId::Number(3), ResourceId::Number(1), 0x407, 0, "old1"},
        {ResourceId::Number(3), ResourceId::Number(2), 0x407, 0, "shared"},
        {ResourceId::Number(3), ResourceId::Number(3), 0x407, 0, "other"},
        {ResourceId::Number(14), ResourceId::Named("MainIcon"), 0x407, 0, group({1, 2})},
        {ResourceId::Number(14), ResourceId::Named("SECOND"), 0x407, 0, group({2, 3})},
        {ResourceId::Number(24), ResourceId::Number(1), 0x409, 0, "<manifest/>"},
    };
    AppBranding branding;
    branding.productName = "Castle Run";
    branding.fileName = "castle.exe";
    branding.icon = ReadIconImages(Ico({{16, Bitmap()}, {32, Png(32, 32)}}));
    const std::vector<Resource> branded = BrandResources(resources, branding);

    std::vector<std::string> icons;
    const Resource* main = nullptr;
    bool manifest = false;
    bool second = false;
    for (const Resource& r : branded) {
        if (r.type == ResourceId::Number(3)) {
            icons.push_back(std::to_string(r.name.id) + ":" + r.data.substr(0, 6));
            EXPECT_EQ(r.language, 0x407);
        }
        if (r.type == ResourceId::Number(14) && r.name.Matches(ResourceId::Named("MAINICON"))) {
            EXPECT_EQ(main, nullptr) << "one MAINICON";
            main = &r;
        }
        second |= r.type == ResourceId::Number(14) && r.name == ResourceId::Named("SECOND");
        manifest |= r.type == ResourceId::Number(24) && r.data == "<manifest/>";
    }
    std::sort(icons.begin(), icons.end());
    EXPECT_EQ(icons, (std::vector<std::string>{"1:" + Bitmap().substr(0, 6), "2:shared", "3:other",
                                               "4:\x89PNG\r\n"}));
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->language, 0x407);
    EXPECT_EQ(Get16(main->data, 4), 2u);
    EXPECT_EQ(Get16(main->data, 6 + 12), 1u);
    EXPECT_EQ(Get16(main->data, 6 + 14 + 12), 4u);
    EXPECT_EQ(Get32(main->data, 6 + 14 + 8), Png(32, 32).size());
    EXPECT_TRUE(second);
    EXPECT_TRUE(manifest);

    // Icon images are numbered 1 to 65535: an icon that would need more is refused, not counted
    // round forever.
    branding.icon.assign(65535 - 2, branding.icon[0]);
    EXPECT_NO_THROW(BrandResources(resources, branding));
    branding.icon.push_back(branding.icon[0]);
    EXPECT_THROW(BrandResources(resources, branding), PeFormatError);
}

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (const char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

// Written into a file and read back with wrestool, which knows nothing of the tool's code.
TEST(AppResourcesTest, BrandedExecutableReadBackIndependently) {
    ScratchFolder folder;
    AppBranding branding;
    branding.productName = "Castle Run";
    branding.fileName = "Castle Run.exe";
    branding.version = "2.10.3-beta.1";
    branding.company = "Moat Games";
    const std::string png = Png(64, 64);
    branding.icon = ReadIconImages(png);
    const std::string exe = BrandExecutable(PeImage(MakeTestPe({})), branding);
    WriteFile(folder / "castle.exe", exe);
    const std::string path = ShellQuoted((folder / "castle.exe").string());
    const std::string wrestool = VANDREL_WRESTOOL;

    int status = -1;
    const std::string list = RunCommand(wrestool + " -l " + path, &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(list.find("--type=14 --name='MAINICON'"), std::string::npos) << list;
    EXPECT_EQ(RunCommand(wrestool + " -x --raw --type=3 --name=1 " + path), png);

    const std::string version = RunCommand(wrestool + " -x --raw --type=16 " + path);
    for (const char* text : {"ProductName", "Castle Run", "FileDescription", "OriginalFilename",
                             "Castle Run.exe", "InternalName", "FileVersion", "2.10.3-beta.1",
                             "ProductVersion", "CompanyName", "Moat Games", "Translation"}) {
        EXPECT_NE(version.find(Utf16(text)), std::string::npos) << text;
    }
    const size_t fixed = version.find("\xBD\x04\xEF\xFE");
    ASSERT_NE(fixed, std::string::npos);
    EXPECT_EQ(Get32(version, fixed + 8), (2u << 16) | 10u);   // file version 2.10
    EXPECT_EQ(Get32(version, fixed + 12), 3u << 16);          // .3.0
    EXPECT_EQ(Get32(version, fixed + 16), (2u << 16) | 10u);  // product version

    // Branded again without a company and version: the company goes, the version stays.
    branding.company.reset();
    branding.version.reset();
    WriteFile(folder / "again.exe", BrandExecutable(PeImage(exe), branding));
    const std::string again = RunCommand(wrestool + " -x --raw --type=16 " +
                                         ShellQuoted((folder / "again.exe").string()));
    EXPECT_EQ(again.find(Utf16("CompanyName")), std::string::npos);
    EXPECT_NE(again.find(Utf16("2.10.3-beta.1")), std::string::npos);
}

TEST(AppResourcesTest, VersionBlocksRoundTrip) {
    VersionBlock root{u"VS_VERSION_INFO", 0, std::string(52, 'f'), {}};
    root.children.push_back({u"StringFileInfo", 1, {}, {{u"040904B0", 1, {}, {}}}});
    root.children[0].children[0].children.push_back(
        {u"ProductName", 1, Utf16("Title") + std::string(2, '\0'), {}});
    root.children.push_back({u"VarFileInfo", 1, {}, {{u"Translation", 0, "\x09\x04\xB0\x04", {}}}});
    const std::string bytes = EncodeVersionInfo(root);
    EXPECT_EQ(Get16(bytes, 0), bytes.size());
    const VersionBlock parsed = ParseVersionInfo(bytes);
    EXPECT_EQ(EncodeVersionInfo(parsed), bytes);
    ASSERT_NE(parsed.Child(u"VarFileInfo"), nullptr);
    EXPECT_EQ(parsed.Child(u"VarFileInfo")->Child(u"Translation")->value, "\x09\x04\xB0\x04");
    EXPECT_THROW(ParseVersionInfo(bytes.substr(0, 40)), PeFormatError);
    EXPECT_EQ(parsed.Child(u"StringFileInfo")->Child(u"040904B0")->Child(u"ProductName")->Text(),
              "Title");
}

}  // namespace
}  // namespace vandrel::tool
