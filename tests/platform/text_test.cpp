// Compiled into the native tests and into a Windows test program, so the
// same table holds for both conversions.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/json_lookup.h"

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

// Ill-formed input: one replacement per maximal ill-formed subsequence.
const TextCase IllFormed[] = {
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

TEST(TextConversion, Utf8ToWide) {
    for (const auto& c : WellFormed) EXPECT_EQ(Utf8ToWide(c.bytes), c.units) << c.bytes;
    for (const auto& c : IllFormed) EXPECT_EQ(Utf8ToWide(c.bytes), c.units) << c.bytes;
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

// The writer of the host's replies and files: what the library reads back is
// the value, strings as the UTF-8 reader decodes them; with ascii the text is
// printable ASCII alone.
TEST(JsonText, IsReadBackAsTheValueWithIllFormedTextReplaced) {
    std::vector<TextCase> texts(std::begin(WellFormed), std::end(WellFormed));
    texts.insert(texts.end(), std::begin(IllFormed), std::end(IllFormed));
    for (const auto& c : texts)
        for (const bool ascii : {false, true}) {
            const std::string text = JsonText(c.bytes, ascii);
            EXPECT_EQ(ParseJson(text), nlohmann::json(WideToUtf8(c.units))) << text;
            const auto printable = [](char c) { return c >= 0x20 && c < 0x7F; };
            if (ascii) {
                EXPECT_TRUE(std::all_of(text.begin(), text.end(), printable)) << text;
            }
        }
    using json = nlohmann::json;
    const struct {
        json value;
        bool ascii;
        const char* text;
    } cases[] = {
        {nullptr, false, "null"},
        {false, false, "false"},
        {-9007199254740991, false, "-9007199254740991"},
        {18446744073709551615u, false, "18446744073709551615"},
        {0.1, false, "0.10000000000000001"},
        {std::numeric_limits<double>::infinity(), false, "null"},
        {std::nan(""), false, "null"},
        {json::array(), false, "[]"},
        {json::object(), false, "{}"},
        {{{"b", {1, "x"}}, {"a", json::object()}}, false, R"({"a":{},"b":[1,"x"]})"},
        {"\"\\\b\f\n\r\t\x01\x1f/\x7f", false, "\"\\\"\\\\\\b\\f\\n\\r\\t\\u0001\\u001f/\x7f\""},
        {"\xE2\x80\xA8\xF0\x9F\x98\x80", false, "\"\xE2\x80\xA8\xF0\x9F\x98\x80\""},
        {"\xE2\x80\xA8\xF0\x9F\x98\x80", true, R"("\u2028\ud83d\ude00")"},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonText(c.value, c.ascii), c.text) << c.text;
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
