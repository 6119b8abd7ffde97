// One instance per app on Windows: a named mutex in the session's namespace
// and a marked main window.
#include "platform/single_instance.h"
#include "platform/win32/single_instance.h"

#include <chrono>

#include "platform/text.h"
#include "platform/win32/system_error.h"

namespace {

// The folder as the file system compares names.
std::string KeyOf(const std::wstring& dataFolder) {
    std::wstring folded = dataFolder;
    if (!folded.empty()) CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return InstanceKey(folded);
}

std::wstring MarkName(const std::wstring& dataFolder) {
    return L"Lanternshell.Instance." + Utf8ToWide(KeyOf(dataFolder));
}

struct Search {
    std::wstring mark;
    HWND found = nullptr;
};

BOOL CALLBACK FindMarked(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    if (!GetPropW(window, search->mark.c_str())) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

bool InstanceLock::Claim(const std::wstring& dataFolder, std::string& problem) {
    problem.clear();
    const std::wstring name = L"Local\\Lanternshell-" + Utf8ToWide(KeyOf(dataFolder));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) {
        problem = Win32Failure("CreateMutexW of the instance lock");
        return true;
    }
    // Ownership, not the name's existence, tells: a crashed owner leaves the
    // mutex abandoned, which the next claim simply takes.
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        lock_ = reinterpret_cast<intptr_t>(mutex);
        return true;
    }
    CloseHandle(mutex);
    if (wait == WAIT_TIMEOUT) return false;
    problem = Win32Failure("waiting for the instance lock");
    return true;
}

InstanceLock::~InstanceLock() {
    if (lock_ == -1) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(lock_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

bool AskRunningInstanceToPresent(const std::wstring& dataFolder, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Search search{MarkName(dataFolder)};
    // The running instance may not have made its window yet.
    for (;;) {
        search.found = nullptr;
        EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (search.found) {
            // This start is what the player just launched, so it may bring
            // a window to the front: it hands that right to the instance.
            DWORD processId = 0;
            GetWindowThreadProcessId(search.found, &processId);
            AllowSetForegroundWindow(processId);
            DWORD_PTR answer = 0;
            return SendMessageTimeoutW(search.found, PresentRequestMessage(), 0, 0,
                                       SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                       static_cast<UINT>(left > 0 ? left : 1), &answer) &&
                   answer == 1;
        }
        if (left <= 0) return false;
        Sleep(20);
    }
}

void MarkInstanceWindow(HWND window, const std::wstring& dataFolder) {
    SetPropW(window, MarkName(dataFolder).c_str(), reinterpret_cast<HANDLE>(1));
}

UINT PresentRequestMessage() {
    static const UINT message = RegisterWindowMessageW(L"Lanternshell.PresentInstance");
    return message;
}

LRESULT PresentInstanceWindow(HWND window) {
    if (!IsWindowVisible(window)) return 1;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    return 1;
}
