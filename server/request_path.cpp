#include "server/request_path.h"

#include <algorithm>
#include <vector>

#include "platform/folder_name.h"
#include "platform/text.h"

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
        // The escaped bytes from here, as many as one sequence can take.
        char bytes[4];
        size_t count = 0;
        for (int next = lead; next >= 0 && count < sizeof bytes;
             next = EscapedByte(path, i + 3 * count))
            bytes[count++] = static_cast<char>(next);
        const Utf8Sequence sequence = ReadUtf8Sequence(std::string_view(bytes, count));
        if (!sequence.valid) return false;
        AppendUtf16(decoded, sequence.codePoint);
        i += 3 * sequence.length;
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
