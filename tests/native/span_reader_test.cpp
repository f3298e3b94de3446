#include "portable/server/span_reader.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace vandrel {
namespace {

const std::string kBytes = "0123456789";

SpanReader Reader(std::shared_ptr<const void> owner = nullptr) {
    return SpanReader(std::move(owner), reinterpret_cast<const uint8_t*>(kBytes.data()),
                      kBytes.size());
}

std::string ReadString(SpanReader& reader, size_t n) {
    std::string out(n, '\0');
    out.resize(reader.Read(out.data(), n));
    return out;
}

TEST(SpanReader, ReadsGiveWhatIsLeftAndNothingAtTheEnd) {
    SpanReader reader = Reader();
    EXPECT_EQ(reader.Size(), 10u);
    EXPECT_EQ(ReadString(reader, 0), "");
    EXPECT_EQ(ReadString(reader, 3), "012");
    EXPECT_EQ(ReadString(reader, 7), "3456789");  // exactly to the end
    EXPECT_EQ(ReadString(reader, 1), "");
    EXPECT_EQ(reader.Position(), 10u);
    ASSERT_TRUE(reader.Seek(8, SpanReader::Origin::Begin));
    EXPECT_EQ(ReadString(reader, 100), "89");  // more than is left
}

TEST(SpanReader, SeeksFromEachOriginAndRefusesWhatCannotBe) {
    using O = SpanReader::Origin;
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const struct {
        uint64_t from;
        int64_t offset;
        O origin;
        bool ok;
        uint64_t to;
    } cases[] = {
        {5, 0, O::Begin, true, 0},    {5, 7, O::Begin, true, 7},
        {5, 20, O::Begin, true, 20},  // past the end is a place, not an error
        {5, -1, O::Begin, false, 5},  {5, 2, O::Current, true, 7},
        {5, -5, O::Current, true, 0}, {5, -6, O::Current, false, 5},
        {5, 0, O::End, true, 10},     {5, -10, O::End, true, 0},
        {5, -11, O::End, false, 5},   {5, 1, O::End, true, 11},
        {5, kMin, O::End, false, 5},  {5, kMax, O::Begin, true, uint64_t(kMax)},
    };
    for (const auto& c : cases) {
        SpanReader reader = Reader();
        ASSERT_TRUE(reader.Seek(static_cast<int64_t>(c.from), O::Begin));
        EXPECT_EQ(reader.Seek(c.offset, c.origin), c.ok) << c.offset;
        EXPECT_EQ(reader.Position(), c.to) << c.offset;
    }
    // Nothing past 2^64 - 1.
    SpanReader reader = Reader();
    ASSERT_TRUE(reader.Seek(kMax, O::Begin));
    ASSERT_TRUE(reader.Seek(kMax, O::Current));
    EXPECT_FALSE(reader.Seek(2, O::Current));
    EXPECT_EQ(ReadString(reader, 4), "");
}

TEST(SpanReader, ACopyMovesOnItsOwnAndKeepsTheOwnerAlive) {
    auto owner = std::make_shared<int>(7);
    std::weak_ptr<int> watch = owner;
    SpanReader reader = Reader(owner);
    owner.reset();
    EXPECT_FALSE(watch.expired());
    EXPECT_EQ(ReadString(reader, 4), "0123");
    {
        SpanReader copy = reader;
        EXPECT_EQ(ReadString(copy, 2), "45");
        EXPECT_EQ(reader.Position(), 4u);
        reader = SpanReader(nullptr, nullptr, 0);
        EXPECT_FALSE(watch.expired());  // the copy still reads
        EXPECT_EQ(ReadString(copy, 9), "6789");
    }
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace vandrel
