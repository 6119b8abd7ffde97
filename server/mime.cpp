#include "server/mime.h"

const std::map<std::wstring, std::wstring, std::less<>> MimeTable = {
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
    // Module scripts are refused unless their type is a script type, and
    // bundlers name them .mjs; the rest are what pages load besides.
    {L".mjs", L"text/javascript; charset=utf-8"},
    {L".vtt", L"text/vtt; charset=utf-8"},
    {L".m4v", L"video/mp4"},
    {L".mov", L"video/quicktime"},
    {L".webmanifest", L"application/manifest+json"},
    {L".glb", L"model/gltf-binary"},
    {L".gltf", L"model/gltf+json"},
    {L".ktx2", L"image/ktx2"},
};

const std::wstring DefaultMimeType = L"application/octet-stream";

const std::wstring& LookupMimeType(std::wstring_view decodedPath) {
    const size_t dot = decodedPath.rfind(L'.');
    if (dot == std::wstring_view::npos) return DefaultMimeType;
    const std::wstring_view extension = decodedPath.substr(dot);
    // Every key is short; a longer extension can't match, and the fixed
    // buffer keeps the lookup off the heap.
    wchar_t lowered[16];
    if (extension.size() > sizeof lowered / sizeof lowered[0]) return DefaultMimeType;
    for (size_t i = 0; i < extension.size(); ++i) {
        const wchar_t unit = extension[i];
        lowered[i] = unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit - L'A' + L'a') : unit;
    }
    const auto found = MimeTable.find(std::wstring_view(lowered, extension.size()));
    return found == MimeTable.end() ? DefaultMimeType : found->second;
}
