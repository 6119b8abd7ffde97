#include "platform/text.h"

std::wstring FolderOfPath(const std::wstring& path) {
    const auto slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(0, slash + 1);
}

std::wstring ComposeUserDataFolder(const std::wstring& localAppData, const std::wstring& name) {
    return localAppData + L"\\" + name;
}

namespace {

// The second byte's range after a given lead byte (Unicode table 3-7).
bool SecondByteFits(unsigned char lead, unsigned char second) {
    if (lead == 0xE0) return second >= 0xA0 && second <= 0xBF;
    if (lead == 0xED) return second >= 0x80 && second <= 0x9F;
    if (lead == 0xF0) return second >= 0x90 && second <= 0xBF;
    if (lead == 0xF4) return second >= 0x80 && second <= 0x8F;
    return second >= 0x80 && second <= 0xBF;
}

wchar_t LowerAscii(wchar_t unit) {
    return unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit - L'A' + L'a') : unit;
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

Utf8Sequence ReadUtf8Sequence(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) return {true, lead, 1};
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0) return {};
    char32_t codePoint = lead & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) {
        const auto next = i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
        if (!(i == 1 ? SecondByteFits(lead, next) : (next & 0xC0) == 0x80)) return {false, 0, i};
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return {true, codePoint, length};
}

void AppendUtf16(std::wstring& text, char32_t codePoint) {
    if (codePoint < 0x10000) {
        text.push_back(static_cast<wchar_t>(codePoint));
    } else {
        codePoint -= 0x10000;
        text.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
        text.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
    }
}
