// Stands in for the vendor's runtime installer. The host starts it without
// arguments; what it does comes from the environment it inherits from the
// host, which the test sets:
//   LS_FAKE_INSTALLER_LOG       file: one line appended per run, with this
//                               program's path, its current directory and its
//                               command line
//   LS_FAKE_INSTALLER_SLEEP     milliseconds to wait before installing
//   LS_FAKE_INSTALLER_MARKER    file created: the loader double then reports a
//                               runtime
//   LS_FAKE_INSTALLER_REGISTER  folder written as the installed runtime of the
//                               current user, where the built-in loader looks
//   LS_FAKE_INSTALLER_EXIT      the exit code (default 0)
// Nothing of it set: an installer that installs nothing.
#include <windows.h>

#include <string>

#include "platform/text.h"
#include "tests/support/transcript.h"

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[32768];
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, 32768);
    wchar_t current[32768];
    const DWORD currentLength = GetCurrentDirectoryW(32768, current);
    const std::wstring log = Variable(L"LS_FAKE_INSTALLER_LOG");
    if (!log.empty())
        AppendLine(log, "path=" + WideToUtf8(std::wstring(self, selfLength)) +
                            "|cwd=" + WideToUtf8(std::wstring(current, currentLength)) +
                            "|args=" + WideToUtf8(GetCommandLineW()));

    const std::wstring sleep = Variable(L"LS_FAKE_INSTALLER_SLEEP");
    if (!sleep.empty()) Sleep(static_cast<DWORD>(std::stoul(sleep)));

    const std::wstring marker = Variable(L"LS_FAKE_INSTALLER_MARKER");
    if (!marker.empty()) {
        HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }

    const std::wstring runtimeFolder = Variable(L"LS_FAKE_INSTALLER_REGISTER");
    if (!runtimeFolder.empty()) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER,
                            L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\"
                            L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}",
                            0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(key, L"EBWebView", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(runtimeFolder.c_str()),
                           static_cast<DWORD>((runtimeFolder.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    }

    const std::wstring exitCode = Variable(L"LS_FAKE_INSTALLER_EXIT");
    return exitCode.empty() ? 0 : static_cast<int>(std::stoul(exitCode));
}
