#include "host/page_message.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// UTF-16 code units from a plain ASCII text, so that the cases below can hold
// embedded NULs and surrogates on a platform whose wchar_t is wider.
template <size_t N>
std::wstring Units(const char (&ascii)[N]) {
    return std::wstring(ascii, ascii + N - 1);
}

std::wstring Units(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

const std::optional<bool> Ignored = std::nullopt;

// The mode a text asks for, or nothing when it is no "set-fullscreen" message.
std::optional<bool> RequestedFullscreen(const std::wstring& text) {
    const PageMessage message = ReadPageMessage(text);
    if (message.type != PageMessage::Type::SetFullscreen) return std::nullopt;
    return message.fullscreen;
}

struct Case {
    const char* name;
    std::wstring text;
    std::optional<bool> requested;
};

TEST(PageMessage, RequestedModeOrNothing) {
    const wchar_t lantern[] = {0xD83C, 0xDFEE, 0};  // one character outside the BMP
    const wchar_t loneHigh[] = {0xD83C, 0};
    const wchar_t bom[] = {0xFEFF, 0};
    std::wstring junk;
    for (unsigned unit = 0xD800; unit < 0xE000; unit += 7)
        junk.push_back(static_cast<wchar_t>(unit));
    const Case cases[] = {
        {"enter", L"{\"type\":\"set-fullscreen\",\"fullscreen\":true}", true},
        {"leave", L"{\"type\":\"set-fullscreen\",\"fullscreen\":false}", false},
        {"member order", L"{\"fullscreen\":true,\"type\":\"set-fullscreen\"}", true},
        {"white space around",
         L" \r\n\t{ \"type\" : \"set-fullscreen\" , \"fullscreen\" : true }\n ", true},
        {"escaped type", L"{\"type\":\"set\\u002dfullscreen\",\"fullscreen\":true}", true},
        {"other members ignored", L"{\"type\":\"set-fullscreen\",\"x\":[1,{}],\"fullscreen\":true}",
         true},
        {"byte-order mark",
         std::wstring(bom) + L"{\"type\":\"set-fullscreen\",\"fullscreen\":true}", true},

        // "fullscreen" counts only as a JSON boolean.
        {"no fullscreen member", L"{\"type\":\"set-fullscreen\"}", false},
        {"fullscreen as string", L"{\"type\":\"set-fullscreen\",\"fullscreen\":\"true\"}", false},
        {"fullscreen as number", L"{\"type\":\"set-fullscreen\",\"fullscreen\":1}", false},
        {"fullscreen null", L"{\"type\":\"set-fullscreen\",\"fullscreen\":null}", false},
        {"fullscreen as object", L"{\"type\":\"set-fullscreen\",\"fullscreen\":{\"v\":true}}",
         false},

        // The type is compared exactly.
        {"other case", L"{\"type\":\"Set-Fullscreen\",\"fullscreen\":true}", Ignored},
        {"leading space", L"{\"type\":\" set-fullscreen\",\"fullscreen\":true}", Ignored},
        {"trailing space", L"{\"type\":\"set-fullscreen \",\"fullscreen\":true}", Ignored},
        {"prefix only", L"{\"type\":\"set-fullscreen\"}x", Ignored},
        {"shorter", L"{\"type\":\"set-fullscree\",\"fullscreen\":true}", Ignored},
        {"type as number", L"{\"type\":14,\"fullscreen\":true}", Ignored},
        {"type as array", L"{\"type\":[\"set-fullscreen\"],\"fullscreen\":true}", Ignored},
        {"no type", L"{\"fullscreen\":true}", Ignored},
        {"other type", L"{\"type\":\"close\"}", Ignored},
        {"escaped NUL after type", L"{\"type\":\"set-fullscreen\\u0000\",\"fullscreen\":true}",
         Ignored},
        {"type in a nested object", L"{\"m\":{\"type\":\"set-fullscreen\",\"fullscreen\":true}}",
         Ignored},

        // Not one strict JSON object.
        {"empty", L"", Ignored},
        {"white space only", L"  \n", Ignored},
        {"array", L"[{\"type\":\"set-fullscreen\",\"fullscreen\":true}]", Ignored},
        {"string", L"\"set-fullscreen\"", Ignored},
        {"comment", L"{\"type\":\"set-fullscreen\",\"fullscreen\":true} // on", Ignored},
        {"block comment", L"{/* c */\"type\":\"set-fullscreen\",\"fullscreen\":true}", Ignored},
        {"content after object", L"{\"type\":\"set-fullscreen\",\"fullscreen\":true}{}", Ignored},
        {"trailing comma", L"{\"type\":\"set-fullscreen\",\"fullscreen\":true,}", Ignored},
        {"single quotes", L"{'type':'set-fullscreen','fullscreen':true}", Ignored},
        {"unterminated", L"{\"type\":\"set-fullscreen\",\"fullscreen\":tru", Ignored},

        // Characters outside the BMP arrive as surrogate pairs.
        {"surrogate pair elsewhere",
         L"{\"name\":\"" + std::wstring(lantern) +
             L"\",\"type\":\"set-fullscreen\",\"fullscreen\":true}",
         true},
        {"escaped surrogate pair elsewhere",
         L"{\"name\":\"\\ud83c\\udfee\",\"type\":\"set-fullscreen\",\"fullscreen\":true}", true},
        {"lone surrogate elsewhere",
         L"{\"name\":\"" + std::wstring(loneHigh) +
             L"\",\"type\":\"set-fullscreen\",\"fullscreen\":false}",
         false},
        {"surrogate pair in type",
         L"{\"type\":\"set-fullscreen" + std::wstring(lantern) + L"\",\"fullscreen\":true}",
         Ignored},
        {"non-ASCII member name",
         L"{\"\x00e9t\x00e9\":\"\x65e5\x672c\",\"type\":\"set-fullscreen\",\"fullscreen\":true}",
         true},

        // The text ends at its first NUL.
        {"garbage after NUL",
         Units("{\"type\":\"set-fullscreen\",\"fullscreen\":true}\0}}not json"), true},
        {"NUL inside the type", Units("{\"type\":\"set-\0fullscreen\",\"fullscreen\":true}"),
         Ignored},
        {"NUL before the fullscreen member",
         Units("{\"type\":\"set-fullscreen\"}\0,\"fullscreen\":true}"), false},
        {"NUL first", Units("\0{\"type\":\"set-fullscreen\"}"), Ignored},

        // Hostile texts: deep nesting and huge numbers neither crash nor throw
        // out, and invalid UTF-16 everywhere still yields a well-formed answer.
        {"deep nesting", Units(std::string(200000, '[')), Ignored},
        {"deep nesting closed", Units(std::string(100000, '[') + std::string(100000, ']')),
         Ignored},
        {"number past a double", L"{\"type\":\"set-fullscreen\",\"n\":1e999999}", Ignored},
        {"number past 64 bits",
         L"{\"type\":\"set-fullscreen\",\"n\":123456789012345678901234567890,\"fullscreen\":true}",
         true},
        {"lone surrogates only", junk, Ignored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<bool> requested = RequestedFullscreen(c.text);
        EXPECT_EQ(requested, c.requested);
    }
}

}  // namespace
