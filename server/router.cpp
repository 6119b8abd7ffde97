#include "server/router.h"

#include <algorithm>
#include <vector>

#include "platform/text.h"
#include "platform/files.h"
#include "platform/folder_name.h"
#include "server/byte_range.h"
#include "server/mime.h"

namespace {

// The longest decoded path, its terminator not counted; a longer one is used
// as it came.
constexpr size_t DecodedPathLimit = 2047;

int HexValue(wchar_t unit) {
    if (unit >= L'0' && unit <= L'9') return unit - L'0';
    if (unit >= L'a' && unit <= L'f') return unit - L'a' + 10;
    if (unit >= L'A' && unit <= L'F') return unit - L'A' + 10;
    return -1;
}

// The byte that a "%XX" at index at stands for, or -1 when there is none.
int EscapedByte(std::wstring_view text, size_t at) {
    if (at + 2 >= text.size() || text[at] != L'%') return -1;
    const int high = HexValue(text[at + 1]);
    const int low = HexValue(text[at + 2]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// UTF-8 sequence rules (Unicode table 3-7): no overlong forms, no
// surrogates, nothing past U+10FFFF.
int SequenceLength(int lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool SecondByteFits(int lead, int second) {
    if (lead == 0xE0) return second >= 0xA0 && second <= 0xBF;
    if (lead == 0xED) return second >= 0x80 && second <= 0x9F;
    if (lead == 0xF0) return second >= 0x90 && second <= 0xBF;
    if (lead == 0xF4) return second >= 0x80 && second <= 0x8F;
    return second >= 0x80 && second <= 0xBF;
}

bool IsSeparator(wchar_t unit) {
    return unit == L'/' || unit == L'\\';
}

// Calls visit(segment, isLast) for each segment between separators, the
// empty ones included; stops early when visit returns false.
template <class Visit>
bool ForEachSegment(std::wstring_view path, Visit&& visit) {
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i])) continue;
        if (!visit(path.substr(start, i - start), i == path.size())) return false;
        start = i + 1;
    }
    return true;
}

bool IsServableSegment(std::wstring_view segment) {
    if (segment.empty()) return true;
    // Windows drops trailing dots and spaces, so a segment made of nothing
    // else is "." or ".." in disguise.
    if (segment.find_first_not_of(L". ") == std::wstring_view::npos) return false;
    return !IsReservedDeviceName(segment);
}

// A segment of only dots, each written as "." or "%2e" in any case: what a
// browser reads as "." (count 1) or ".." (count 2).
bool IsDotSegment(std::wstring_view segment, int count) {
    for (; count > 0; --count) {
        if (!segment.empty() && segment.front() == L'.') {
            segment.remove_prefix(1);
        } else if (EqualsIgnoringAsciiCase(segment.substr(0, 3), L"%2e")) {
            segment.remove_prefix(3);
        } else {
            return false;
        }
    }
    return segment.empty();
}

// The 404, which the log hears by path.
Answer NotFound(const ContentServer& server, std::wstring_view path) {
    if (server.Log()) server.Log()->NotFound(path);
    Answer answer;
    answer.headers.assign(CacheControlLine);
    answer.body.kind = BodyKind::NotFoundText;
    return answer;
}

// Where a path relative to the app origin leads: its decoded path, and the
// file that names inside server.Root(). False when it names nothing the
// router would serve. Does not look at the disk.
bool ResolveContentPath(const ContentServer& server, std::wstring_view relative,
                        std::wstring& decoded, std::wstring& filePath) {
    if (!DecodeRequestPath(relative, decoded) || !IsServablePath(decoded)) return false;
    const std::wstring& root = server.Root();
    filePath.clear();
    filePath.reserve(root.size() + decoded.size());
    filePath.append(root);
    for (const wchar_t unit : decoded) filePath.push_back(unit == L'/' ? L'\\' : unit);
    return true;
}

}  // namespace

bool DecodeRequestPath(std::wstring_view relativePath, std::wstring& decoded) {
    std::wstring_view path = relativePath.substr(0, relativePath.find_first_of(L"?#"));
    decoded.clear();
    decoded.reserve(path.size());
    size_t i = 0;
    while (i < path.size()) {
        const int lead = EscapedByte(path, i);
        if (lead < 0) {
            decoded.push_back(path[i++]);
            continue;
        }
        i += 3;
        if (lead < 0x80) {
            decoded.push_back(static_cast<wchar_t>(lead));
            continue;
        }
        const int length = SequenceLength(lead);
        if (length == 0) return false;
        char32_t codePoint = static_cast<char32_t>(lead & (0xFF >> (length + 1)));
        for (int k = 1; k < length; ++k, i += 3) {
            const int next = EscapedByte(path, i);
            if (next < 0 || !(k == 1 ? SecondByteFits(lead, next) : (next & 0xC0) == 0x80))
                return false;
            codePoint = (codePoint << 6) | static_cast<char32_t>(next & 0x3F);
        }
        if (codePoint < 0x10000) {
            decoded.push_back(static_cast<wchar_t>(codePoint));
        } else {
            codePoint -= 0x10000;
            decoded.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
            decoded.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
        }
    }
    if (decoded.size() > DecodedPathLimit) decoded.assign(path);
    return true;
}

bool IsServablePath(std::wstring_view decodedPath) {
    // Empty is the content root itself; a leading separator makes the path
    // absolute, UNC ("\\server") or a device ("\\?\", "\\.\").
    if (decodedPath.empty() || IsSeparator(decodedPath.front())) return false;
    // ":" would name a drive or an alternate data stream; NUL ends the path early.
    if (decodedPath.find_first_of(std::wstring_view(L":\0", 2)) != std::wstring_view::npos)
        return false;
    return ForEachSegment(
        decodedPath, [](std::wstring_view segment, bool) { return IsServableSegment(segment); });
}

std::wstring ResolveDotSegments(std::wstring_view relative) {
    const size_t pathEnd = std::min(relative.find_first_of(L"?#"), relative.size());
    const std::wstring_view path = relative.substr(0, pathEnd);
    std::vector<std::wstring_view> segments;
    ForEachSegment(path, [&](std::wstring_view segment, bool last) {
        if (IsDotSegment(segment, 1)) {
            if (last) segments.emplace_back();
        } else if (IsDotSegment(segment, 2)) {
            if (!segments.empty()) segments.pop_back();
            if (last) segments.emplace_back();
        } else {
            segments.push_back(segment);
        }
        return true;
    });
    std::wstring resolved;
    resolved.reserve(relative.size());
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) resolved.push_back(L'/');
        resolved.append(segments[i]);
    }
    return resolved.append(relative.substr(pathEnd));
}

bool NamesServedFile(const ContentServer& server, std::wstring_view relative) {
    std::wstring decoded, filePath;
    if (!ResolveContentPath(server, ResolveDotSegments(relative), decoded, filePath)) return false;
    const FileStatus status = QueryFileStatus(filePath);
    return status.exists && status.regularFile;
}

Answer RouteRequest(ContentServer& server, std::wstring_view relative,
                    std::optional<std::wstring_view> range) {
    std::wstring decoded;
    std::wstring filePath;
    // An escape that does not decode is told as it came.
    if (!ResolveContentPath(server, relative, decoded, filePath))
        return NotFound(server, relative.substr(0, relative.find_first_of(L"?#")));

    // Folders are not served: they have no content, and an empty 200 would
    // hide a broken link.
    const FileStatus status = QueryFileStatus(filePath);
    if (!status.exists || !status.regularFile) return NotFound(server, decoded);

    const std::wstring& type = LookupMimeType(decoded);
    Answer answer;
    if (range) {
        AnswerRangeRequest(server, *range, status, type, std::move(filePath), answer);
        return answer;
    }
    FoundHeaders(answer.headers, type, {{L"\nContent-Length: ", status.size}});
    answer.status = 200;
    answer.reasonPhrase = L"OK";
    answer.body.kind = BodyKind::WholeFile;
    answer.body.filePath = std::move(filePath);
    answer.body.length = status.size;
    return answer;
}
