#include "platform/folder_name.h"

#include "platform/text.h"

namespace {

// The longest component NTFS and the other Windows file systems take.
constexpr size_t ComponentLimit = 255;

bool IsBlank(wchar_t unit) {
    return unit == L' ' || unit == L'\t' || unit == 0x00A0 || unit == 0x3000;
}

bool IsControl(wchar_t unit) {
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
}

}  // namespace

bool IsReservedDeviceName(std::wstring_view component) {
    std::wstring_view base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    for (const wchar_t* name : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (EqualsIgnoringAsciiCase(base, name)) return true;
    if (base.size() != 4) return false;
    const wchar_t digit = base[3];
    const bool portDigit =
        (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
    return portDigit && (EqualsIgnoringAsciiCase(base.substr(0, 3), L"COM") ||
                         EqualsIgnoringAsciiCase(base.substr(0, 3), L"LPT"));
}

bool NamesOneFolder(std::wstring_view name) {
    if (name.empty() || name.size() > ComponentLimit) return false;
    bool blank = true;
    for (const wchar_t unit : name) {
        if (IsControl(unit)) return false;
        if (std::wstring_view(L"\\/:*?\"<>|").find(unit) != std::wstring_view::npos) return false;
        blank = blank && IsBlank(unit);
    }
    // Windows drops trailing dots and spaces, so "game." would be "game" and
    // ".." stays the parent; a leading space is kept and harmless.
    if (blank || name.back() == L'.' || name.back() == L' ') return false;
    return !IsReservedDeviceName(name);
}
