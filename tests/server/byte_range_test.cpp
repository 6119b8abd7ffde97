#include "server/byte_range.h"

#include <gtest/gtest.h>

#include "server/content_server.h"

namespace {

struct RangeCase {
    const wchar_t* value;
    uint64_t size;
    bool present;
    uint64_t first;
    uint64_t last;
};

template <size_t N>
void ExpectRanges(const RangeCase (&cases)[N], uint64_t cap) {
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.value)) + " of " +
                     std::to_string(c.size));
        const ByteRange range = ParseByteRange(c.value, c.size, cap);
        EXPECT_EQ(range.present, c.present);
        if (!c.present || !range.present) continue;
        EXPECT_EQ(range.first, c.first);
        EXPECT_EQ(range.last, c.last);
    }
}

TEST(ParseByteRange, ReadsEachFormAgainstTheSize) {
    const uint64_t big = 3ull << 30;
    const RangeCase cases[] = {
        {L"bytes=-200", 1000, true, 800, 999},
        {L"bytes=0-0", 1000, true, 0, 0},
        {L"bytes=+10-19", 1000, true, 10, 19},
        {L"bytes= 10-19", 1000, true, 10, 19},
        {L"bytes=0-99,200-299", 1000, true, 0, 99},
        {L"bytes=0-1000", 1000, true, 0, 999},
        {L"bytes=5-18446744073709551615", 1000, true, 5, 999},
        {L"bytes=-1001", 1000, true, 0, 999},
        {L"bytes=-18446744073709551615", 1000, true, 0, 999},
        {L"bytes=-1", 1, true, 0, 0},
        {L"bytes=3221225471-", big, true, big - 1, big - 1},
        {L"bytes=2147483648-3000000000", big, true, 1ull << 31, 3000000000},
        {L"bytes=1000-", 1000, false, 0, 0},
        {L"bytes=500-400", 1000, false, 0, 0},
        {L"bytes=-0", 1000, false, 0, 0},
        // The unit is matched in any case; nothing else about it is loose.
        {L"Bytes=0-1", 1000, true, 0, 1},
        {L"BYTES=-2", 1000, true, 998, 999},
        {L"bYtEs=7-", 1000, true, 7, 999},
        {L"bytes =0-1", 1000, false, 0, 0},
        {L"byte=0-1", 1000, false, 0, 0},
        {L"bytes 0-1", 1000, false, 0, 0},
        {L"items=0-1", 1000, false, 0, 0},
        {L"bytes=5", 1000, false, 0, 0},
        {L"bytes=", 1000, false, 0, 0},
        {L"bytes", 1000, false, 0, 0},
        {L"", 1000, false, 0, 0},
        {L"bytes=0-", 0, false, 0, 0},
        // Numbers that can't be read answer 416 and end nothing.
        {L"bytes=-", 1000, false, 0, 0},
        {L"bytes=abc-", 1000, false, 0, 0},
        {L"bytes=0-,5-9", 1000, false, 0, 0},
        {L"bytes=-5-", 1000, true, 995, 999},
        {L"bytes=18446744073709551616-", big, false, 0, 0},
        {L"bytes=0-18446744073709551616", big, false, 0, 0},
        {L"bytes=-99999999999999999999999", big, false, 0, 0},
        {L"bytes=--5", 1000, false, 0, 0},
    };
    ExpectRanges(cases, OpenRangeCap);
}

// An open-ended range is answered with at most the cap; ranges that say
// where they end, and suffixes, are answered as asked.
TEST(ParseByteRange, CapsOpenEndedRangesOnly) {
    constexpr uint64_t cap = 100;
    const uint64_t big = 5ull << 30;
    const RangeCase cases[] = {
        {L"bytes=0-", 1000, true, 0, 99},
        {L"bytes=899-", 1000, true, 899, 998},  // one more than the cap is left
        {L"bytes=900-", 1000, true, 900, 999},  // exactly the cap is left
        {L"bytes=901-", 1000, true, 901, 999},  // less than the cap is left
        {L"bytes=999-", 1000, true, 999, 999},  // the last byte
        {L"bytes=0-", 100, true, 0, 99},
        {L"bytes=0-", 1, true, 0, 0},
        {L"bytes=0-999", 1000, true, 0, 999},
        {L"bytes=100-899", 1000, true, 100, 899},
        {L"bytes=-500", 1000, true, 500, 999},
        {L"bytes=-5000", 1000, true, 0, 999},
        {L"bytes=5368709000-", big, true, 5368709000, 5368709099},
        {L"bytes=5368709100-", big, true, 5368709100, big - 1},
        {L"bytes=1000-", 1000, false, 0, 0},
    };
    ExpectRanges(cases, cap);
    // The server's own cap, against a file far larger than it.
    const ByteRange range =
        ParseByteRange(L"bytes=1000-", big, ContentServer(L"").OpenRangeCapacity());
    ASSERT_TRUE(range.present);
    EXPECT_EQ(range.last - range.first + 1, OpenRangeCap);
}

TEST(ParseByteRange, TrimsClassicWhiteSpaceOnly) {
    EXPECT_EQ(TrimRangeValue(L" \t\n\v\f\rbytes=0-1 \r\n"), L"bytes=0-1");
    EXPECT_EQ(TrimRangeValue(L"\x00A0"
                             L"bytes=0-1"),
              L"\x00A0"
              L"bytes=0-1");
    EXPECT_EQ(TrimRangeValue(L"   "), L"");
}

}  // namespace
