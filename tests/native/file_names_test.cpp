#include "portable/util/file_names.h"

#include <string>

#include <gtest/gtest.h>

namespace vandrel {
namespace {

using namespace std::string_literals;

TEST(FileNames, WindowsTakesOnlyNamesAsTheyStand) {
    const struct {
        std::string segment;
        NameFault fault;
    } cases[] = {
        {"index.html", NameFault::None},
        {".hidden", NameFault::None},
        {"a..b", NameFault::None},
        {"..a", NameFault::None},
        {"a b.txt", NameFault::None},
        {"\xE2\x82\xAC.txt", NameFault::None},
        {"CONSOLE.txt", NameFault::None},  // only the whole stem names a device
        {"COM10", NameFault::None},
        {"LPT", NameFault::None},
        {"nul_file", NameFault::None},
        {"", NameFault::Empty},
        {".", NameFault::DotsOnly},
        {"..", NameFault::DotsOnly},
        {"...", NameFault::DotsOnly},
        {"a\x01z", NameFault::ControlCharacter},
        {"a\0z"s, NameFault::ControlCharacter},
        {"tab\there", NameFault::ControlCharacter},
        {"C:", NameFault::Colon},
        {"file.txt::$DATA", NameFault::Colon},
        {"a<b", NameFault::ReservedCharacter},
        {"a>b", NameFault::ReservedCharacter},
        {"a\"b", NameFault::ReservedCharacter},
        {"a/b", NameFault::ReservedCharacter},
        {"a\\b", NameFault::ReservedCharacter},
        {"a|b", NameFault::ReservedCharacter},
        {"what?", NameFault::ReservedCharacter},
        {"star*", NameFault::ReservedCharacter},
        {"name.", NameFault::TrailingDotOrSpace},
        {"name ", NameFault::TrailingDotOrSpace},
        {".. ", NameFault::TrailingDotOrSpace},
        {"CON", NameFault::DeviceName},
        {"con", NameFault::DeviceName},
        {"Nul.txt", NameFault::DeviceName},
        {"aux.tar.gz", NameFault::DeviceName},
        {"PRN .log", NameFault::DeviceName},
        {"COM0", NameFault::None},
        {"com9.js", NameFault::DeviceName},
        {"LPT1", NameFault::DeviceName},
        {"COM\xC2\xB9", NameFault::DeviceName},
        {"lpt\xC2\xB3.txt", NameFault::DeviceName},
        {"CONIN$", NameFault::DeviceName},
        {"conout$.txt", NameFault::DeviceName},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowsNameFault(c.segment), c.fault) << c.segment;
    }
}

}  // namespace
}  // namespace vandrel
