#include "server/mime.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

TEST(MimeTable, HoldsExactlyTheRows) {
    const std::vector<std::pair<std::wstring, std::wstring>> rows = {
        {L".html", L"text/html; charset=utf-8"},
        {L".htm", L"text/html; charset=utf-8"},
        {L".js", L"application/javascript; charset=utf-8"},
        {L".css", L"text/css; charset=utf-8"},
        {L".json", L"application/json; charset=utf-8"},
        {L".xml", L"text/xml; charset=utf-8"},
        {L".csv", L"text/csv; charset=utf-8"},
        {L".txt", L"text/plain; charset=utf-8"},
        {L".wasm", L"application/wasm"},
        {L".png", L"image/png"},
        {L".apng", L"image/apng"},
        {L".jpg", L"image/jpeg"},
        {L".jpeg", L"image/jpeg"},
        {L".svg", L"image/svg+xml"},
        {L".webp", L"image/webp"},
        {L".gif", L"image/gif"},
        {L".tif", L"image/tiff"},
        {L".tiff", L"image/tiff"},
        {L".bmp", L"image/bmp"},
        {L".ico", L"image/x-icon"},
        {L".avif", L"image/avif"},
        {L".webm", L"video/webm"},
        {L".m4a", L"audio/mp4"},
        {L".mp3", L"audio/mpeg"},
        {L".mp4", L"video/mp4"},
        {L".mpg", L"video/mpeg"},
        {L".mpeg", L"video/mpeg"},
        {L".opus", L"audio/ogg; codecs=opus"},
        {L".ogg", L"audio/ogg"},
        {L".ogv", L"video/ogg"},
        {L".flac", L"audio/flac"},
        {L".wav", L"audio/wav"},
        {L".woff", L"application/font-woff"},
        {L".woff2", L"font/woff2"},
        {L".ttf", L"application/font-sfnt"},
        {L".otf", L"application/font-sfnt"},
        {L".eot", L"application/vnd.ms-fontobject"},
        {L".zip", L"application/zip"},
        {L".pdf", L"application/pdf"},
        {L".scml", L"text/xml"},
        {L".scon", L"application/json"},
    };
    EXPECT_EQ(MimeTable.size(), rows.size());
    for (const auto& [extension, type] : rows) {
        EXPECT_EQ(LookupMimeType(L"f" + extension), type) << testing::PrintToString(extension);
        EXPECT_EQ(MimeTable.count(extension), 1u) << testing::PrintToString(extension);
    }
}

TEST(MimeTable, LooksUpTheLastDotLowerCasedInAsciiOnly) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
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
        // Only A-Z fold: a Kelvin sign is not a "k", a fullwidth letter not ASCII.
        {L"a.\x212Aey", L"application/octet-stream"},
        {L"a.\xFF2Ass", L"application/octet-stream"},
    };
    for (const auto& [path, type] : cases)
        EXPECT_EQ(LookupMimeType(path), type) << testing::PrintToString(std::wstring(path));
}

}  // namespace
