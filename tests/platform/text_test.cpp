// Compiled into the native tests and into a Windows test program, so the
// same table holds for both conversions.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

std::wstring Units(std::initializer_list<unsigned> units) {
    std::wstring s;
    for (unsigned u : units) s.push_back(static_cast<wchar_t>(u));
    return s;
}

struct TextCase {
    std::string bytes;
    std::wstring units;
};

// Well-formed text, converted alike both ways.
const TextCase WellFormed[] = {
    {"", {}},
    {"plain", L"plain"},
    {"\xC2\xA9", Units({0xA9})},
    {"\xE4\xB8\xAD", Units({0x4E2D})},
    {"\xEF\xBF\xBF", Units({0xFFFF})},
    {"\xF0\x9F\x98\x80", Units({0xD83D, 0xDE00})},
    {"\xF0\x90\x80\x80", Units({0xD800, 0xDC00})},
    {"\xF4\x8F\xBF\xBF", Units({0xDBFF, 0xDFFF})},
    {"\xEF\xBB\xBF"
     "A",
     Units({0xFEFF, 'A'})},
    {std::string("\0A", 2), Units({0, 'A'})},
};

TEST(TextConversion, Utf8ToWide) {
    // Ill-formed input: one replacement per maximal ill-formed subsequence.
    const TextCase illFormed[] = {
        {"\x80", Units({0xFFFD})},
        {"\x80\x80"
         "A",
         Units({0xFFFD, 0xFFFD, 'A'})},
        {"\xC2", Units({0xFFFD})},
        {"\xC2"
         "A",
         Units({0xFFFD, 'A'})},
        {"\xE4\xB8", Units({0xFFFD})},
        {"\xE4\xB8"
         "A",
         Units({0xFFFD, 'A'})},
        {"\xF0\x9F\x98", Units({0xFFFD})},
        {"\xC0\xAF", Units({0xFFFD, 0xFFFD})},
        {"\xC1\xBF", Units({0xFFFD, 0xFFFD})},
        {"\xFF", Units({0xFFFD})},
        {"\xFE"
         "A",
         Units({0xFFFD, 'A'})},
        {"\xF8\x88\x80\x80\x80", Units({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD})},
        {"a\xE0\xA0", Units({'a', 0xFFFD})},
    };
    for (const auto& c : WellFormed) EXPECT_EQ(Utf8ToWide(c.bytes), c.units) << c.bytes;
    for (const auto& c : illFormed) EXPECT_EQ(Utf8ToWide(c.bytes), c.units) << c.bytes;
}

TEST(TextConversion, WideToUtf8) {
    // Unpaired surrogates become U+FFFD.
    const TextCase unpaired[] = {
        {"\xEF\xBF\xBD", Units({0xD83D})},
        {"\xEF\xBF\xBD", Units({0xDE00})},
        {"\xEF\xBF\xBD\xEF\xBF\xBD", Units({0xDE00, 0xD83D})},
        {"\xEF\xBF\xBD"
         "A",
         Units({0xD83D, 'A'})},
    };
    for (const auto& c : WellFormed) EXPECT_EQ(WideToUtf8(c.units), c.bytes);
    for (const auto& c : unpaired) EXPECT_EQ(WideToUtf8(c.units), c.bytes);
}

TEST(TextConversion, RoundTripOfEveryScalarValue) {
    std::wstring all;
    for (char32_t cp = 1; cp < 0x110000; cp += (cp < 0x800 ? 1 : 37))
        if (cp < 0xD800 || cp > 0xDFFF) AppendUtf16(all, cp);
    EXPECT_EQ(Utf8ToWide(WideToUtf8(all)), all);
}

TEST(Paths, FolderAndUserDataFolder) {
    EXPECT_EQ(FolderOfPath(L"C:\\Games\\Hero\\Hero.exe"), L"C:\\Games\\Hero\\");
    EXPECT_EQ(FolderOfPath(L"Hero.exe"), L"Hero.exe");
    EXPECT_EQ(FolderOfPath(L"C:\\"), L"C:\\");
    EXPECT_EQ(ComposeUserDataFolder(L"C:\\Users\\p\\AppData\\Local", L"My Game \x00E9"),
              L"C:\\Users\\p\\AppData\\Local\\My Game \x00E9");
}

TEST(Paths, ExecutablePathIsCanonicalAndCached) {
    const std::wstring path = GetExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.find(L"\\..\\"), std::wstring::npos);
    EXPECT_EQ(path.find(L"\\.\\"), std::wstring::npos);
    EXPECT_EQ(GetExecutablePath(), path);
    EXPECT_FALSE(GetUserDataHome().empty());
    EXPECT_NE(GetUserDataHome().back(), L'\\');
}

}  // namespace
