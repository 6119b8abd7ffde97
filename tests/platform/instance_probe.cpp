// A start of an app on a user data folder, for the single-instance tests:
//   instance_probe start FOLDER   0: told the running instance, 2: got the
//                                 lock itself, 3: lock held, nobody reached
//   instance_probe hold FOLDER    claims the lock, writes FOLDER\held, waits
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/single_instance.h"

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count != 3) return 9;
    const std::wstring mode = arguments[1];
    const std::wstring folder = arguments[2];
    InstanceLock lock;
    std::string problem;
    if (mode == L"hold") {
        if (!lock.Claim(folder, problem) || !lock.Held()) return 8;
        HANDLE file = CreateFileW((folder + L"\\held").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        Sleep(INFINITE);
    }
    if (lock.Claim(folder, problem)) return 2;
    return AskRunningInstanceToPresent(folder, 1000) ? 0 : 3;
}
