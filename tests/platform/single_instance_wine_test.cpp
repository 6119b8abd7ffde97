// One instance per app across real processes under Wine: a second start
// tells the first, whose window comes back from minimized, and a holder that
// was killed never blocks the next start.
#include "platform/single_instance.h"
#include "platform/win32/single_instance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "tests/support/harness.h"

namespace {

int presentRequests = 0;

LRESULT CALLBACK InstanceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PresentRequestMessage()) {
        ++presentRequests;
        return PresentInstanceWindow(window);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Starts the probe; unless keep is given, waits for it while this thread
// pumps its messages (so its window can answer) and returns its exit code.
DWORD StartProbe(const wchar_t* mode, const std::wstring& folder,
                 PROCESS_INFORMATION* keep = nullptr) {
    std::wstring command =
        L"\"" + FolderOfTestProgram() + L"instance_probe.exe\" " + mode + L" \"" + folder + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 0xFFFFFFFF;
    CloseHandle(process.hThread);
    if (keep) {
        *keep = process;
        return 0;
    }
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, ScaledMs(10000), QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return code;
}

TEST(SingleInstance, SecondStartPresentsTheFirstAndAKilledHolderNeverBlocks) {
    presentRequests = 0;
    TempFolder root(L"instance");
    const std::wstring folder = root / L"My Game";
    MakeFolders(folder);
    {
        InstanceLock first;
        std::string problem;
        ASSERT_TRUE(first.Claim(folder, problem));
        EXPECT_EQ(problem, "");

        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = InstanceWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LanternshellInstanceTest";
        ASSERT_NE(RegisterClassExW(&windowClass), 0);
        HWND window =
            CreateWindowExW(0, windowClass.lpszClassName, L"first", WS_OVERLAPPEDWINDOW, 30, 30,
                            300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        MarkInstanceWindow(window, folder);
        ShowWindow(window, SW_SHOWMINNOACTIVE);
        ASSERT_TRUE(IsIconic(window));

        // The same folder in another case is the same app.
        for (const std::wstring& named : {folder, root / L"MY GAME"}) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(StartProbe(L"start", named), 0u);
            std::cout << "second start ended after "
                      << std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count()
                      << " ms\n";
        }
        EXPECT_EQ(presentRequests, 2);
        EXPECT_FALSE(IsIconic(window));
        EXPECT_TRUE(IsWindowVisible(window));
        // Another app's folder is another lock.
        EXPECT_EQ(StartProbe(L"start", root / L"Other Game"), 2u);
        DestroyWindow(window);
        UnregisterClassW(windowClass.lpszClassName, GetModuleHandleW(nullptr));
    }

    PROCESS_INFORMATION holder{};
    ASSERT_EQ(StartProbe(L"hold", folder, &holder), 0u);
    for (DWORD waited = 0; waited < ScaledMs(6000) && !FileExists(folder + L"\\held"); waited += 20)
        Sleep(20);
    ASSERT_TRUE(FileExists(folder + L"\\held"));
    InstanceLock blocked;
    std::string problem;
    EXPECT_FALSE(blocked.Claim(folder, problem));
    TerminateProcess(holder.hProcess, 1);
    WaitForSingleObject(holder.hProcess, ScaledMs(5000));
    CloseHandle(holder.hProcess);
    InstanceLock next;
    EXPECT_TRUE(next.Claim(folder, problem));
    EXPECT_TRUE(next.Held());
    EXPECT_EQ(problem, "");
}

}  // namespace
