// Text and path utilities on POSIX. The conversions follow the Unicode
// standard's "maximal subpart" practice for ill-formed input, one U+FFFD per
// maximal ill-formed subsequence, which is what the Win32 side produces for
// every case the tests compare.
#include "platform/text.h"
#include "platform/posix/native_path.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

const wchar_t* const DefaultTitle = L"Lanternshell";

namespace {

constexpr wchar_t Replacement = 0xFFFD;

std::wstring FromNativePath(const std::string& path) {
    std::wstring wide = Utf8ToWide(path);
    for (auto& unit : wide)
        if (unit == L'/') unit = L'\\';
    return wide;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::string_view rest = text; !rest.empty();) {
        const Utf8Sequence sequence = ReadUtf8Sequence(rest);
        if (sequence.valid)
            AppendUtf16(out, sequence.codePoint);
        else
            out.push_back(Replacement);
        rest.remove_prefix(sequence.length);
    }
    return out;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = static_cast<char16_t>(text[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() &&
            static_cast<char16_t>(text[i + 1]) >= 0xDC00 &&
            static_cast<char16_t>(text[i + 1]) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char16_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = Replacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string ToNativePath(const std::wstring& path) {
    std::string native = WideToUtf8(path);
    for (auto& byte : native)
        if (byte == '\\') byte = '/';
    return native;
}

std::wstring GetExecutablePath() {
    static std::wstring executablePath;
    if (executablePath.empty()) {
        char* resolved = realpath("/proc/self/exe", nullptr);
        if (resolved) executablePath = FromNativePath(resolved);
        std::free(resolved);
    }
    return executablePath;
}

// The home folder: $HOME when it is absolute, else the user database's.
static std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::wstring GetUserDataHome() {
    static std::wstring dataHome;
    if (dataHome.empty()) {
        // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules
        // say: it would put saved games wherever the app was started from.
        const char* data = std::getenv("XDG_DATA_HOME");
        std::string folder;
        if (data && data[0] == '/') {
            folder = data;
        } else {
            const std::string home = HomeFolder();
            if (!home.empty()) folder = home + "/.local/share";
        }
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        dataHome = FromNativePath(folder);
    }
    return dataHome;
}

std::wstring GetSavedGamesHome() {
    return {};
}

std::wstring PathForDisplay(const std::wstring& path) {
    std::wstring display = path;
    for (auto& unit : display)
        if (unit == L'\\') unit = L'/';
    return display;
}
