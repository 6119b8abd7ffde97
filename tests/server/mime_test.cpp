#include "server/mime.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

std::wstring UpperAscii(std::wstring text) {
    for (auto& unit : text)
        if (unit >= L'a' && unit <= L'z') unit = static_cast<wchar_t>(unit - L'a' + L'A');
    return text;
}

// Every row is reachable: a lower-case extension with its dot, short enough
// for the lookup's buffer, found in any spelling of its letters, and a type
// that is a single header value.
TEST(MimeTable, EveryRowIsFoundInAnyCase) {
    ASSERT_FALSE(MimeTable.empty());
    for (const auto& [extension, type] : MimeTable) {
        SCOPED_TRACE(testing::PrintToString(extension));
        ASSERT_GE(extension.size(), 2u);
        EXPECT_EQ(extension[0], L'.');
        EXPECT_EQ(extension.find(L'.', 1), std::wstring::npos);
        for (const wchar_t unit : extension) EXPECT_FALSE(unit >= L'A' && unit <= L'Z');
        EXPECT_FALSE(type.empty());
        EXPECT_EQ(type.find_first_of(L"\r\n"), std::wstring::npos);
        EXPECT_NE(type, DefaultMimeType);

        EXPECT_EQ(LookupMimeType(L"f" + extension), type);
        EXPECT_EQ(LookupMimeType(L"DIR.X/F" + UpperAscii(extension)), type);
        std::wstring mixed = extension;
        for (size_t i = 1; i < mixed.size(); i += 2) mixed[i] = UpperAscii(mixed.substr(i, 1))[0];
        EXPECT_EQ(LookupMimeType(L"a.b/c" + mixed), type);
    }
}

// The types pages and the browser control check (scripts, styles, documents,
// wasm for streaming compilation, fonts, images and the media games play),
// looked up by the last dot, lower-cased in ASCII only.
TEST(MimeTable, TheTypesPagesDependOnByTheLastDotInAnyAsciiCase) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"index.html", L"text/html; charset=utf-8"},
        {L"js/main.js", L"application/javascript; charset=utf-8"},
        {L"css/site.css", L"text/css; charset=utf-8"},
        {L"data/level.json", L"application/json; charset=utf-8"},
        {L"game.wasm", L"application/wasm"},
        {L"img/logo.svg", L"image/svg+xml"},
        {L"img/hero.png", L"image/png"},
        {L"media/intro.webm", L"video/webm"},
        {L"media/intro.mp4", L"video/mp4"},
        {L"audio/theme.mp3", L"audio/mpeg"},
        {L"audio/hit.wav", L"audio/wav"},
        {L"audio/rain.ogg", L"audio/ogg"},
        {L"js/app.mjs", L"text/javascript; charset=utf-8"},
        {L"subs/en.vtt", L"text/vtt; charset=utf-8"},
        {L"media/clip.m4v", L"video/mp4"},
        {L"media/clip.mov", L"video/quicktime"},
        {L"app.webmanifest", L"application/manifest+json"},
        {L"models/ship.glb", L"model/gltf-binary"},
        {L"models/ship.gltf", L"model/gltf+json"},
        {L"img/sky.ktx2", L"image/ktx2"},
        {L"INDEX.HTML", L"text/html; charset=utf-8"},
        {L"Index.Html", L"text/html; charset=utf-8"},
        {L"js/main.JS", L"application/javascript; charset=utf-8"},
        {L"anim/hero.scon", L"application/json"},
        {L"fonts/a.woff2", L"font/woff2"},
        {L"archive.tar.gz", L"application/octet-stream"},
        {L"LICENSE", L"application/octet-stream"},
        {L"file.", L"application/octet-stream"},
        {L"lib.d/readme", L"application/octet-stream"},
        {L"main.js?v=3", L"application/octet-stream"},
        {L"", L"application/octet-stream"},
        {L"a.very-long-extension-indeed", L"application/octet-stream"},
        // Longer than any key: a known extension behind padding is not found.
        {L"a.html                                  ", L"application/octet-stream"},
        // Only A-Z fold: a Kelvin sign is not a "k", a fullwidth letter not ASCII.
        {L"a.\x212Aey", L"application/octet-stream"},
        {L"a.\xFF2Ass", L"application/octet-stream"},
    };
    for (const auto& [path, type] : cases)
        EXPECT_EQ(LookupMimeType(path), type) << testing::PrintToString(std::wstring(path));
}

}  // namespace
