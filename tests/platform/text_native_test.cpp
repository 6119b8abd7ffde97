// Cases where the Unicode standard's practice is pinned on the native side
// only: Wine merges a lead byte with an out-of-range second byte into one
// replacement, where the standard (and this implementation) gives one each.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextConversionNative, OutOfRangeSecondBytesAreSeparateSubparts) {
    const std::wstring two(2, wchar_t(0xFFFD)), three(3, wchar_t(0xFFFD)), four(4, wchar_t(0xFFFD));
    EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), three);     // overlong
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), three);     // encoded surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), four);  // past U+10FFFF
    EXPECT_EQ(Utf8ToWide("\xF0\x8F"), two);
}

}  // namespace
