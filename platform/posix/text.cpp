// Text and path utilities on POSIX. The conversions follow the Unicode
// standard's "maximal subpart" practice for ill-formed input, one U+FFFD per
// maximal ill-formed subsequence, which is what the Win32 side produces for
// every case the tests compare.
#include "platform/text.h"
#include "platform/posix/native_path.h"

#include <algorithm>
#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

const wchar_t* const DefaultTitle = L"Lanternshell";

namespace {

constexpr wchar_t Replacement = 0xFFFD;

std::wstring FromNativePath(const std::string& path) {
    std::wstring wide = Utf8ToWide(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
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
        // The lead byte marks how many continuation bytes of six bits follow.
        const int tail = cp < 0x80 ? 0 : cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
        constexpr unsigned char leads[] = {0x00, 0xC0, 0xE0, 0xF0};
        out.push_back(static_cast<char>(leads[tail] | (cp >> (6 * tail))));
        for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6)
            out.push_back(static_cast<char>(0x80 | ((cp >> shift) & 0x3F)));
    }
    return out;
}

std::string ToNativePath(const std::wstring& path) {
    std::string native = WideToUtf8(path);
    std::replace(native.begin(), native.end(), '\\', '/');
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
    std::replace(display.begin(), display.end(), L'\\', L'/');
    return display;
}
