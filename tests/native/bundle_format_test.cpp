#include "portable/bundle/bundle_format.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "portable/bundle/asset_bundle.h"

namespace vandrel {
namespace {

const uint8_t* Bytes(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

TEST(BundleFormat, FixedPartsDecodeAsTheyWereEncoded) {
    std::string header;
    AppendHeader(header, BundleHeader{kBundleMagic, 7, 40, 0x80000001u});
    ASSERT_EQ(header.size(), kBundleHeaderSize);
    EXPECT_EQ(header.substr(0, 4), "vdab");
    const BundleHeader decoded = DecodeHeader(Bytes(header));
    EXPECT_EQ(decoded.version, 7u);
    EXPECT_EQ(decoded.chunkStart, 40u);
    EXPECT_EQ(decoded.flags, 0x80000001u);

    std::string chunk;
    AppendChunkHeader(chunk, kDirectoryChunkId, 0x0102030405060708ull);
    ASSERT_EQ(chunk.size(), kChunkHeaderSize);
    EXPECT_EQ(chunk, std::string("fdir\x01\x02\x03\x04\x05\x06\x07\x08", 12));
    EXPECT_EQ(DecodeChunkHeader(Bytes(chunk)),
              std::make_pair(kDirectoryChunkId, uint64_t{0x0102030405060708ull}));

    EntryFields fields;
    fields.reserved1 = 9;
    fields.offset = uint64_t{1} << 40;
    fields.size = 77;
    fields.extra = ~uint64_t{0};
    fields.compression = 3;
    fields.nameLength = 100;  // need not match the name
    std::string entry;
    AppendEntry(entry, fields, "a/b.js");
    ASSERT_EQ(entry.size(), kEntryFixedSize + 6);
    const EntryFields back = DecodeEntryFields(Bytes(entry));
    EXPECT_EQ(back.reserved0, 0u);
    EXPECT_EQ(back.reserved1, 9u);
    EXPECT_EQ(back.offset, fields.offset);
    EXPECT_EQ(back.size, 77u);
    EXPECT_EQ(back.extra, fields.extra);
    EXPECT_EQ(back.compression, 3);
    EXPECT_EQ(back.nameLength, 100u);
    EXPECT_EQ(LoadU32(Bytes(entry) + kEntryNameLengthOffset), 100u);
}

TEST(BundleFormat, AWholeImageIsReadBackByTheReader) {
    const std::string image = EncodeBundle({{"index.html", "<p>"}, {"", ""}, {"b", "xyz"}});
    AssetBundle reader;
    reader.AttachMemory(Bytes(image), image.size());
    reader.Parse();
    EXPECT_EQ(reader.directory.size(), 3u);
    const BundleFileInfo b = reader.Find("b");
    ASSERT_TRUE(b.found);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.GetFileData(b.offset)), b.size),
              "xyz");
}

TEST(BundleFormat, RejectionsCarryTheirFaultPlaceAndEntry) {
    struct Case {
        std::string image;
        BundleFault fault;
        uint64_t offset;
        std::optional<uint32_t> entry;
        bool range;  // thrown as std::range_error
    };
    std::string badVersion;
    AppendHeader(badVersion, BundleHeader{kBundleMagic, 1});
    std::string badReserved = EncodeBundle({{"a", "1"}, {"b", "2"}});
    // The second entry's first reserved field: after the header, the blob chunk and its two
    // bytes, the fdir chunk header, the count and the first entry.
    const uint64_t secondEntry =
        kBundleHeaderSize + kChunkHeaderSize + 2 + kChunkHeaderSize + 4 + kEntryFixedSize + 1;
    badReserved[secondEntry + 3] = 1;
    std::string cutName = EncodeBundle({{"abc", ""}});
    cutName.pop_back();
    const Case cases[] = {
        {"vdax" + std::string(12, '\0'), BundleFault::BadFormat, 0, std::nullopt, false},
        {badVersion, BundleFault::UnsupportedVersion, 4, std::nullopt, false},
        {"vd", BundleFault::ReadPastEnd, 0, std::nullopt, true},
        {badReserved, BundleFault::ReservedNotZero, secondEntry, 1u, false},
        {cutName, BundleFault::BadChunk, kBundleHeaderSize + kChunkHeaderSize, std::nullopt, false},
    };
    for (const Case& c : cases) {
        AssetBundle reader;
        reader.AttachMemory(Bytes(c.image), c.image.size());
        try {
            reader.Parse();
            ADD_FAILURE() << "accepted " << BundleFaultText(c.fault);
        } catch (const BundleError& error) {
            EXPECT_EQ(error.fault, c.fault);
            EXPECT_EQ(error.offset, c.offset) << BundleFaultText(c.fault);
            EXPECT_EQ(error.entry, c.entry) << BundleFaultText(c.fault);
            EXPECT_EQ(dynamic_cast<const std::range_error*>(&error) != nullptr, c.range);
            EXPECT_STREQ(dynamic_cast<const std::exception&>(error).what(),
                         BundleFaultText(c.fault));
        }
    }
}

}  // namespace
}  // namespace vandrel
