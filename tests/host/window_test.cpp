// The main window on real windows: fullscreen switching, sizes at the
// prefix's DPI, class and icon, the controller's bounds, the failure boxes,
// the real executable's hidden window and its resources.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "host/win32/fullscreen.h"
#include "host/win32/main_window.h"
#include "host/win32/win32_host.h"
#include "host/win32/window_placement.h"
#include "platform/text.h"
#include "platform/win32/com_and_gdiplus.h"
#include "platform/win32/window.h"
#include "tests/support/com_object.h"
#include "tests/support/harness.h"

namespace {

// Sizes are measured the way the executable sees them: it declares itself
// DPI aware in its manifest.
const bool dpiAware = SetProcessDPIAware() != FALSE;

// The DPI the prefix was made with, told by the test's registration.
int ExpectedDpi() {
    const char* value = std::getenv("LS_EXPECTED_DPI");
    return value ? std::atoi(value) : 96;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// The quit request that WM_DESTROY posts, removed so later tests still pump.
bool TakeQuitMessage(WPARAM* code) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            *code = message.wParam;
            return true;
        }
        DispatchMessageW(&message);
    }
    return false;
}

void Pump() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// ---------------------------------------------------------------- fullscreen

const wchar_t* const PlainClass = L"LanternshellFullscreenTest";

// Test programs share one display: a window covering the screen must not hide
// the message boxes that other programs' tests read back as pixels.
void KeepBelowOthers(HWND window) {
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND MakeWindow(DWORD style, DWORD exStyle, int x, int y, int width, int height) {
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = PlainClass;
        return RegisterClassExW(&windowClass);
    }();
    EXPECT_NE(registered, 0);
    HWND window =
        CreateWindowExW(exStyle, PlainClass, L"fullscreen", style & ~WS_VISIBLE, x, y, width,
                        height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(window, nullptr);
    if (style & WS_VISIBLE) {
        ShowWindow(window, SW_SHOWNA);
        KeepBelowOthers(window);
    }
    return window;
}

struct Placement {
    LONG style;
    LONG exStyle;
    RECT rect;
};

Placement PlacementOf(HWND window) {
    Placement p{GetWindowLongW(window, GWL_STYLE), GetWindowLongW(window, GWL_EXSTYLE), {}};
    GetWindowRect(window, &p.rect);
    return p;
}

void ExpectSamePlacement(const Placement& seen, const Placement& expected) {
    EXPECT_EQ(static_cast<DWORD>(seen.style), static_cast<DWORD>(expected.style));
    EXPECT_EQ(static_cast<DWORD>(seen.exStyle), static_cast<DWORD>(expected.exStyle));
    EXPECT_TRUE(SameRect(seen.rect, expected.rect))
        << Show(seen.rect) << " instead of " << Show(expected.rect);
}

TEST(Fullscreen, WindowedRequestWhileWindowedTouchesNothing) {
    FullscreenState state;
    HWND window = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 40, 50, 400, 300);
    const Placement before = PlacementOf(window);
    SetFullscreen(window, state, false);
    ExpectSamePlacement(PlacementOf(window), before);
    // No taskbar call either: the list is made on the first real change.
    EXPECT_FALSE(state.taskbarList);
    DestroyWindow(window);
}

// COM is left uninitialised on a fresh thread, so creating the taskbar list
// fails there until the thread joins an apartment.
DWORD WINAPI TaskbarRetryThread(void* parameter) {
    auto* seen = static_cast<int*>(parameter);
    HWND window = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 20, 20, 300, 200);
    FullscreenState state;
    RECT windowed{};
    GetWindowRect(window, &windowed);
    SetFullscreen(window, state, true);
    seen[0] = state.isFullscreen && !(GetWindowLongW(window, GWL_STYLE) & WS_CAPTION);
    seen[1] = state.taskbarList ? 1 : 0;
    SetFullscreen(window, state, false);
    RECT back{};
    GetWindowRect(window, &back);
    seen[2] = !state.isFullscreen && SameRect(back, windowed);
    seen[3] = state.taskbarList ? 1 : 0;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetFullscreen(window, state, true);
    seen[4] = state.taskbarList ? 1 : 0;
    SetFullscreen(window, state, false);
    state.taskbarList.Reset();
    DestroyWindow(window);
    CoUninitialize();
    return 0;
}

TEST(Fullscreen, WithoutTaskbarListTheWindowStillSwitchesAndLaterChangesRetry) {
    int seen[5] = {-1, -1, -1, -1, -1};
    HANDLE thread = CreateThread(nullptr, 0, TaskbarRetryThread, seen, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(seen[0], 1) << "entered without the taskbar list";
    EXPECT_EQ(seen[1], 0) << "no list without COM";
    EXPECT_EQ(seen[2], 1) << "left and restored without the taskbar list";
    EXPECT_EQ(seen[3], 0);
    EXPECT_EQ(seen[4], 1) << "made on the next change once COM is there";
}

struct ModeCase {
    const char* name;
    DWORD style;
    DWORD exStyle;
    bool maximise;
};

TEST(Fullscreen, EnterCoversTheMonitorAndLeaveRestoresExactly) {
    const ModeCase cases[] = {
        {"resizable", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, false},
        {"not resizable", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE, 0,
         false},
        {"edged extended styles", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
         WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_TOOLWINDOW |
             WS_EX_ACCEPTFILES,
         false},
        {"maximised", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = MakeWindow(c.style, c.exStyle, 60, 70, 500, 320);
        // Wine's X11 driver, with no window manager to answer its requests,
        // later pulls a maximised window back to the size the X server has
        // for it; that case is read before those events are handled.
        const auto settle = [&] {
            if (!c.maximise) Pump();
        };

        if (c.maximise) {
            ShowWindow(window, SW_MAXIMIZE);
            KeepBelowOthers(window);
        }
        settle();
        FullscreenState state;
        const Placement windowed = PlacementOf(window);
        if (c.maximise) {
            ASSERT_TRUE(windowed.style & WS_MAXIMIZE);
        }

        SetFullscreen(window, state, true);
        settle();
        EXPECT_TRUE(state.isFullscreen);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        const Placement full = PlacementOf(window);
        EXPECT_EQ(
            static_cast<DWORD>(full.style),
            static_cast<DWORD>(windowed.style) & ~static_cast<DWORD>(WS_CAPTION | WS_THICKFRAME));
        EXPECT_EQ(static_cast<DWORD>(full.exStyle),
                  static_cast<DWORD>(windowed.exStyle) &
                      ~static_cast<DWORD>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE |
                                          WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
        EXPECT_TRUE(SameRect(full.rect, monitor.rcMonitor))
            << Show(full.rect) << " instead of " << Show(monitor.rcMonitor);
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, monitor.rcMonitor.right - monitor.rcMonitor.left);
        EXPECT_EQ(client.bottom, monitor.rcMonitor.bottom - monitor.rcMonitor.top);

        // Asked again: nothing moves, and the windowed placement stays saved.
        SetFullscreen(window, state, true);
        settle();
        ExpectSamePlacement(PlacementOf(window), full);

        SetFullscreen(window, state, false);
        settle();
        EXPECT_FALSE(state.isFullscreen);
        ExpectSamePlacement(PlacementOf(window), windowed);
        std::cout << c.name << ": windowed " << Show(windowed.rect) << ", fullscreen "
                  << Show(full.rect) << ", taskbar list "
                  << (state.taskbarList ? "made" : "unavailable") << "\n";

        // Windowed again: a later windowed request must not move it back.
        SetWindowPos(window, nullptr, 10, 20, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
        if (c.maximise) ShowWindow(window, SW_RESTORE);
        SetWindowPos(window, nullptr, 10, 20, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
        const Placement moved = PlacementOf(window);
        SetFullscreen(window, state, false);
        ExpectSamePlacement(PlacementOf(window), moved);

        DestroyWindow(window);
    }
}

// The session's mode reaches the host's window; which messages count is the
// session's to decide, and tested there.
TEST(Fullscreen, PageMessagesSwitchTheHostsWindow) {
    Win32Host host;
    host.window = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 30, 30, 420, 260);
    const Placement windowed = PlacementOf(host.window);
    const auto engine = MakeWebView2Engine(host);
    SessionSettings settings;
    settings.origin = L"https://lanternshell.localhost/";
    Session session(settings, *engine);
    const auto post = [&session](bool fullscreen) {
        session.OnPageMessage(L"https://lanternshell.localhost/index.html",
                              fullscreen ? L"{\"type\":\"set-fullscreen\",\"fullscreen\":true}"
                                         : L"{\"type\":\"set-fullscreen\"}");
    };
    post(true);
    EXPECT_TRUE(host.fullscreen.isFullscreen);
    EXPECT_FALSE(GetWindowLongW(host.window, GWL_STYLE) & WS_CAPTION);
    post(false);
    EXPECT_FALSE(host.fullscreen.isFullscreen);
    ExpectSamePlacement(PlacementOf(host.window), windowed);
}

// --------------------------------------------------------------- main window

// The configuration the next MainWindowScope creates its window from.
Win32HostSettings windowSettings;

// CreateMainWindow for one configuration, undone afterwards so the next case
// can register the class again.
class MainWindowScope {
public:
    MainWindowScope() {
        host.settings = windowSettings;
        created_ = CreateMainWindow(GetModuleHandleW(nullptr), host);
    }
    ~MainWindowScope() {
        if (host.window) DestroyWindow(host.window);
        WPARAM code = 1;
        TakeQuitMessage(&code);
        UnregisterClassW(L"WindowsLanternshell", GetModuleHandleW(nullptr));
    }
    MainWindowScope(const MainWindowScope&) = delete;
    MainWindowScope& operator=(const MainWindowScope&) = delete;
    bool created() const { return created_; }

    Win32Host host;

private:
    bool created_ = false;
};

void Configure(int width, int height, bool resizable) {
    windowSettings.title = L"Lantern \x00e9t\x00e9";
    windowSettings.width = width;
    windowSettings.height = height;
    windowSettings.resizable = resizable;
    if (!windowSettings.icon) windowSettings.icon = LoadIconW(nullptr, IDI_APPLICATION);
}

// The main window's class as registered now.
WNDCLASSEXW HostClass() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    EXPECT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"WindowsLanternshell", &info));
    return info;
}

struct SizeCase {
    int width, height;
    bool resizable;
    int width96, height96, width120, height120;
};

TEST(MainWindow, HiddenWithScaledClientAreaAndChosenStyle) {
    ASSERT_TRUE(dpiAware);
    const int dpi = ExpectedDpi();
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSX), dpi);
    ReleaseDC(nullptr, screen);

    const SizeCase cases[] = {
        {1024, 768, true, 1024, 768, 1280, 960},
        {1024, 768, false, 1024, 768, 1280, 960},
        // 376.25 and 126.25 round up. (Much narrower and the system's own
        // minimum width for a captioned window takes over.)
        {301, 101, true, 301, 101, 377, 127},
        {333, 201, false, 333, 201, 417, 252},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) +
                     (c.resizable ? " resizable" : " fixed"));
        Configure(c.width, c.height, c.resizable);
        MainWindowScope scope;
        ASSERT_TRUE(scope.created());
        HWND window = scope.host.window;
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(ClassOf(window), L"WindowsLanternshell");
        EXPECT_EQ(WindowText(window), windowSettings.title);

        const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
        const DWORD expectedStyle = c.resizable ? 0x00CF0000u : 0x00CA0000u;
        EXPECT_EQ(style & 0x00FF0000u, expectedStyle);
        EXPECT_EQ(style & WS_VISIBLE, 0u);
        EXPECT_EQ(style & WS_CHILD, 0u);
        EXPECT_EQ(style & WS_MAXIMIZEBOX, c.resizable ? WS_MAXIMIZEBOX : 0u);
        EXPECT_EQ(style & WS_THICKFRAME, c.resizable ? WS_THICKFRAME : 0u);
        EXPECT_EQ(style & WS_MINIMIZEBOX, WS_MINIMIZEBOX);
        // The system adds the window edge to captioned windows; nothing else.
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)) & ~WS_EX_WINDOWEDGE, 0u);

        const int clientWidth = dpi == 120 ? c.width120 : c.width96;
        const int clientHeight = dpi == 120 ? c.height120 : c.height96;
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, clientWidth);
        EXPECT_EQ(client.bottom, clientHeight);
        RECT frame{0, 0, clientWidth, clientHeight};
        AdjustWindowRectEx(&frame, expectedStyle, FALSE, 0);
        RECT outer{};
        GetWindowRect(window, &outer);
        EXPECT_EQ(outer.right - outer.left, frame.right - frame.left);
        EXPECT_EQ(outer.bottom - outer.top, frame.bottom - frame.top);
        std::cout << "at " << dpi << " dpi, " << c.width << "x" << c.height
                  << (c.resizable ? " resizable" : " fixed") << ": client " << client.right << "x"
                  << client.bottom << ", outer " << outer.right - outer.left << "x"
                  << outer.bottom - outer.top << "\n";

        const WNDCLASSEXW info = HostClass();
        EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
        EXPECT_EQ(info.lpfnWndProc, MainWindowProc);
        EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        EXPECT_EQ(info.hCursor, LoadCursorW(nullptr, IDC_ARROW));
        EXPECT_EQ(info.hIcon, windowSettings.icon);
        EXPECT_EQ(info.hIconSm, windowSettings.icon);
        EXPECT_EQ(info.lpszMenuName, nullptr);
    }
}

const std::wstring& ExampleIcon() {
    static const std::wstring path =
        FromRunnerPath(LS_SOURCE_DIR "/examples/lantern-garden/icon.png");
    return path;
}

TEST(MainWindow, IconFromTheManifestOrTheStandardOne) {
    TempFolder folder(L"icon");
    ASSERT_TRUE(CopyFileW(ExampleIcon().c_str(), (folder / L"icon.png").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(ExampleIcon().c_str(), (folder / L"no-extension").c_str(), FALSE));
    WriteFileBytes(folder / L"notes.png", "not an image at all");
    const GdiplusSession gdiplus;
    ASSERT_NE(gdiplus.Token(), 0u);
    const HICON standard = LoadIconW(nullptr, IDI_APPLICATION);

    const struct {
        const char* name;
        std::wstring icon;
        bool fromFile;
    } cases[] = {
        {"relative PNG", L"icon.png", true},
        {"decoded by content, not by name", L"no-extension", true},
        {"no icon", L"", false},
        {"missing file", L"missing.png", false},
        {"not an image", L"notes.png", false},
        // Appended to the folder as it stands, so it names nothing.
        {"absolute path", folder / L"icon.png", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HICON icon = LoadWindowIcon(folder.path(), c.icon);
        ASSERT_NE(icon, nullptr);
        if (c.fromFile) {
            EXPECT_NE(icon, standard);
            const SIZE size = IconSize(icon);
            EXPECT_EQ(size.cx, 256);
            EXPECT_EQ(size.cy, 256);
        } else {
            EXPECT_EQ(icon, standard);
        }
    }

    // The 256-pixel icon is the class's large and small icon alike.
    Configure(640, 480, true);
    windowSettings.icon = LoadWindowIcon(folder.path(), L"icon.png");
    {
        MainWindowScope scope;
        ASSERT_TRUE(scope.created());
        const WNDCLASSEXW info = HostClass();
        EXPECT_EQ(info.hIcon, windowSettings.icon);
        EXPECT_EQ(info.hIconSm, windowSettings.icon);
        EXPECT_EQ(IconSize(info.hIcon).cx, 256);
    }
    windowSettings.icon = standard;
}

TEST(MainWindow, ImageKeepsItsOwnSize) {
    const GdiplusSession gdiplus;
    const std::wstring picture =
        FromRunnerPath(LS_SOURCE_DIR "/examples/lantern-garden/www/img/lantern.png");
    HICON icon = LoadIconFromImageFile(picture);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(IconSize(icon).cx, 160);
    EXPECT_EQ(IconSize(icon).cy, 160);
    DestroyIcon(icon);
    EXPECT_EQ(LoadIconFromImageFile(L"Z:\\no\\such\\file.png"), nullptr);
    EXPECT_EQ(LoadIconFromImageFile(L""), nullptr);
}

// A controller that only records what the window tells it.
class RecordingController final : public Fake<ICoreWebView2Controller> {
public:
    int boundsCalls = 0;
    int positionCalls = 0;
    RECT lastBounds{-1, -1, -1, -1};

    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override {
        ++boundsCalls;
        lastBounds = bounds;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override {
        ++positionCalls;
        return S_OK;
    }
    LS_UNCALLED(get_IsVisible, BOOL*)
    LS_UNCALLED(put_IsVisible, BOOL)
    LS_UNCALLED(get_Bounds, RECT*)
    LS_UNCALLED(get_ZoomFactor, double*)
    LS_UNCALLED(put_ZoomFactor, double)
    LS_UNCALLED_EVENT(ZoomFactorChanged, ICoreWebView2ZoomFactorChangedEventHandler)
    LS_UNCALLED(SetBoundsAndZoomFactor, RECT, double)
    LS_UNCALLED(MoveFocus, COREWEBVIEW2_MOVE_FOCUS_REASON)
    LS_UNCALLED_EVENT(MoveFocusRequested, ICoreWebView2MoveFocusRequestedEventHandler)
    LS_UNCALLED_EVENT(GotFocus, ICoreWebView2FocusChangedEventHandler)
    LS_UNCALLED_EVENT(LostFocus, ICoreWebView2FocusChangedEventHandler)
    LS_UNCALLED_EVENT(AcceleratorKeyPressed, ICoreWebView2AcceleratorKeyPressedEventHandler)
    LS_UNCALLED(get_ParentWindow, HWND*)
    LS_UNCALLED(put_ParentWindow, HWND)
    LS_UNCALLED(Close, void)
    LS_UNCALLED(get_CoreWebView2, ICoreWebView2**)
};

TEST(MainWindow, ControllerFollowsSizeAndPositionOnceItExists) {
    Configure(400, 300, true);
    MainWindowScope scope;
    ASSERT_TRUE(scope.created());
    HWND window = scope.host.window;

    // Before the controller exists the messages are answered and do nothing.
    ASSERT_FALSE(scope.host.controller);
    EXPECT_EQ(SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10)), 0);
    EXPECT_EQ(SendMessageW(window, WM_MOVE, 0, MAKELPARAM(5, 5)), 0);
    RECT moving{1, 2, 3, 4};
    EXPECT_EQ(SendMessageW(window, WM_MOVING, 0, reinterpret_cast<LPARAM>(&moving)), 0);

    RecordingController controller;
    *scope.host.controller.ReleaseAndGetAddressOf() = &controller;

    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetWindowPos(window, nullptr, 0, 0, 500, 350, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_GE(controller.boundsCalls, 1);
    EXPECT_TRUE(SameRect(controller.lastBounds, client))
        << Show(controller.lastBounds) << " instead of " << Show(client);
    EXPECT_GT(client.right, 0);

    const int moves = controller.positionCalls;
    SetWindowPos(window, nullptr, 77, 88, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
    EXPECT_GT(controller.positionCalls, moves);
    const int movingCalls = controller.positionCalls;
    EXPECT_EQ(SendMessageW(window, WM_MOVING, 0, reinterpret_cast<LPARAM>(&moving)), 0);
    EXPECT_EQ(controller.positionCalls, movingCalls + 1);

    // Moved to a monitor of another scale: the window takes the rectangle
    // the system suggests, and the view follows it.
    const RECT suggested{40, 30, 40 + 713, 30 + 517};
    EXPECT_EQ(SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144),
                           reinterpret_cast<LPARAM>(&suggested)),
              0);
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_TRUE(SameRect(outer, suggested)) << Show(outer);
    GetClientRect(window, &client);
    EXPECT_TRUE(SameRect(controller.lastBounds, client))
        << Show(controller.lastBounds) << " instead of " << Show(client);
    // Fullscreen keeps covering the monitor.
    SetFullscreen(window, scope.host.fullscreen, true);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    GetWindowRect(window, &outer);
    EXPECT_TRUE(SameRect(outer, monitor.rcMonitor)) << Show(outer);
    SetFullscreen(window, scope.host.fullscreen, false);

    // Minimised, the client area and so the bounds are empty.
    ShowWindow(window, SW_SHOWMINNOACTIVE);
    Pump();
    EXPECT_TRUE(IsIconic(window));
    EXPECT_TRUE(SameRect(controller.lastBounds, RECT{0, 0, 0, 0})) << Show(controller.lastBounds);

    // The default processing of WM_CLOSE destroys it, and that posts quit 0.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    WPARAM code = 1;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(code, 0u);

    scope.host.controller.Reset();
    EXPECT_EQ(controller.references, 0u);
}

TEST(MainWindow, RegistrationAndCreationFailuresShowTheirBoxes) {
    const std::wstring probe = FolderOfTestProgram() + L"window_probe.exe";
    const struct {
        const wchar_t* mode;
        const wchar_t* text;
    } cases[] = {
        {L"register", L"Failed to register window class"},
        {L"create", L"Failed to create window"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.mode));
        RunOptions options;
        options.commandLineTail = c.mode;
        const RunResult run = RunProgram(probe, options);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 1u);
        // Never the manifest's title.
        ExpectBoxes(run, L"Windows Lanternshell", {{c.text, BoxIcon::Error}});
    }
}

// The host's one question: Yes and No, the warning icon, owned by the window
// it is about, and the answer as given.
TEST(MainWindow, TheQuestionBelongsToTheWindowAndReturnsTheAnswer) {
    const std::wstring probe = FolderOfTestProgram() + L"window_probe.exe";
    for (const int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer == IDYES ? "yes" : "no");
        bool yesAndNo = false;
        RunOptions options;
        options.commandLineTail = L"ask";
        options.onBox = [&](HWND box, const BoxSeen&) {
            yesAndNo = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) && !GetDlgItem(box, IDOK);
            PostMessageW(box, WM_COMMAND, answer, 0);
        };
        const RunResult run = RunProgram(probe, options);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, answer == IDYES ? 0u : 4u);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_TRUE(yesAndNo);
        EXPECT_EQ(run.boxes[0].text, L"Go on?");
        EXPECT_EQ(run.boxes[0].caption, L"A title of the manifest");
        EXPECT_EQ(run.boxes[0].icon, BoxIcon::Other);
        EXPECT_TRUE(run.boxes[0].owned);
    }
}

// The remembered state through a real window: what is saved, decided for
// the monitors here, applied and shown reads back the same.
TEST(MainWindow, RestoresNormalMaximizedAndFullscreenAsSaved) {
    const std::vector<MonitorArea> monitors = ListMonitorAreas();
    ASSERT_FALSE(monitors.empty());
    EXPECT_FLOAT_EQ(monitors[0].scale, ExpectedDpi() / 96.0f);
    const MonitorArea& area = monitors[0];
    const struct {
        const char* name;
        bool maximized, fullscreen;
    } cases[] = {{"normal", false, false}, {"maximized", true, false}, {"fullscreen", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Configure(640, 480, true);
        MainWindowScope scope;
        ASSERT_TRUE(scope.created());
        HWND window = scope.host.window;
        const WindowRecord saved{area.left + 50, area.top + 40, 501, 301,
                                 c.maximized,    c.fullscreen};
        const PlacementDecision decision = DecidePlacement(saved, monitors, 640, 480, true);
        ASSERT_TRUE(decision.restore) << decision.note;
        ApplyPlacement(window, decision);
        FullscreenState& state = scope.host.fullscreen;
        ShowPlacedWindow(window, state, decision);
        KeepBelowOthers(window);
        EXPECT_EQ(IsZoomed(window) != FALSE, c.maximized);
        EXPECT_EQ(state.isFullscreen, c.fullscreen);
        // Read before Wine's driver pulls a maximised window back (see above).
        EXPECT_EQ(FormatWindowRecord(ReadWindowRecord(window, state)), FormatWindowRecord(saved));
        if (!c.maximized && !c.fullscreen) {
            RECT client{};
            GetClientRect(window, &client);
            EXPECT_EQ(client.right, ScaleForDpi(501, DpiOfWindow(window)));
            EXPECT_EQ(client.bottom, ScaleForDpi(301, DpiOfWindow(window)));
        }
        SetFullscreen(window, state, false);
    }
}

// ------------------------------------------------------- the real executable

// What the executable's main window was when it first appeared; the window
// is then closed, as a player would close it.
struct MainWindowSeen {
    bool seen = false;
    bool visible = true;
    std::wstring title;
    DWORD style = 0;
    RECT client{}, outer{};
};

// Runs app with the loader double until its main window appears, closes it,
// and expects the run to end cleanly.
MainWindowSeen RunToMainWindow(const AppFolder& app) {
    InstallLoaderDouble(app.root.path());
    MainWindowSeen window;
    RunOptions options;
    options.onWindow = [&](HWND handle) {
        if (window.seen || ClassOf(handle) != L"WindowsLanternshell") return;
        window.seen = true;
        window.visible = IsWindowVisible(handle) != FALSE;
        window.title = WindowText(handle);
        window.style = static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE));
        GetClientRect(handle, &window.client);
        GetWindowRect(handle, &window.outer);
        PostMessageW(handle, WM_CLOSE, 0, 0);
    };
    const RunResult run = RunProgram(app.exe, options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(run.boxes.empty()) << (run.boxes.empty() ? "" : WideToUtf8(run.boxes[0].text));
    EXPECT_EQ(run.exitCode, 0u);
    return window;
}

struct ExeCase {
    const char* name;
    std::string manifest;
    const wchar_t* title;
    DWORD style;
    int width96, height96, width120, height120;
};

// The example's own manifest among them. (Its icon is not checked here:
// Wine keeps icon handles private to their process; the icon path is covered
// in this process above.)
TEST(Executable, CreatesItsHiddenWindowAndExitsWithZeroWhenClosed) {
    const int dpi = ExpectedDpi();
    const ExeCase cases[] = {
        {"defaults", R"({"name":"window-defaults"})", L"Windows Lanternshell", 0x00CF0000u, 1024,
         768, 1280, 960},
        {"fixed size",
         R"({"name":"window-fixed","window":{"title":"Garden at night","width":640,"height":361,)"
         R"("resizable":false}})",
         L"Garden at night", 0x00CA0000u, 640, 361, 800, 452},
        {"example app",
         ReadFileBytes(FromRunnerPath(LS_SOURCE_DIR "/examples/lantern-garden/package.json")),
         L"Lantern Garden", 0x00CF0000u, 960, 600, 1200, 750},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppFolder app(c.manifest);
        ASSERT_TRUE(CopyFileW(ExampleIcon().c_str(), (app.root / L"icon.png").c_str(), FALSE));
        const MainWindowSeen window = RunToMainWindow(app);
        ASSERT_TRUE(window.seen);
        EXPECT_FALSE(window.visible);
        EXPECT_EQ(window.title, c.title);
        EXPECT_EQ(window.style & 0x10FF0000u, c.style);
        EXPECT_EQ(window.client.right, dpi == 120 ? c.width120 : c.width96);
        EXPECT_EQ(window.client.bottom, dpi == 120 ? c.height120 : c.height96);
        std::cout << "executable at " << dpi << " dpi, " << c.name << ": client "
                  << window.client.right << "x" << window.client.bottom << ", outer "
                  << window.outer.right - window.outer.left << "x"
                  << window.outer.bottom - window.outer.top << "\n";
    }
}

// A size no window can have reaches the window clamped: the client area stays
// within 1 to 16384 pixels each way, and the run ends like any other.
TEST(Executable, SizesNoWindowCanHaveAreClamped) {
    for (const char* size : {R"({"width":2147483647,"height":0})", R"({"width":-5,"height":0})"}) {
        SCOPED_TRACE(size);
        const MainWindowSeen window = RunToMainWindow(
            AppFolder(std::string(R"({"name":"window-clamped","window":)") + size + "}"));
        ASSERT_TRUE(window.seen);
        EXPECT_GE(window.client.right, 1);
        EXPECT_LE(window.client.right, 16384);
        EXPECT_GE(window.client.bottom, 1);
        EXPECT_LE(window.client.bottom, 16384);
        std::cout << "clamped " << size << ": client " << window.client.right << "x"
                  << window.client.bottom << "\n";
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

TEST(Executable, CarriesItsManifestAndIconGroup) {
    HMODULE file = LoadLibraryExW(LanternshellPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(file, nullptr);

    HRSRC manifest = FindResourceW(file, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(file, manifest))),
                           SizeofResource(file, manifest));
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("uiAccess=\"false\""), std::string::npos);
    const size_t dpiAware = text.find("<dpiAware");
    ASSERT_NE(dpiAware, std::string::npos);
    EXPECT_EQ(text.compare(text.find('>', dpiAware), 16, ">true</dpiAware>"), 0);
    EXPECT_NE(text.find(">PerMonitorV2, System</dpiAwareness>"), std::string::npos);

    HRSRC group = FindResourceW(file, L"MAINICON", MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr);
    const auto* header =
        static_cast<const GroupIconHeader*>(LockResource(LoadResource(file, group)));
    ASSERT_EQ(header->type, 1);
    const int sizes[] = {16, 32, 256};
    ASSERT_EQ(header->count, std::size(sizes));
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
    for (size_t i = 0; i < std::size(sizes); ++i) {
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(entries[i].width == 0 ? 256 : entries[i].width, sizes[i]);
        EXPECT_EQ(entries[i].bitCount, 32);
        HRSRC image = FindResourceW(file, MAKEINTRESOURCEW(entries[i].id), MAKEINTRESOURCEW(3));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(SizeofResource(file, image), entries[i].bytes);
    }
    FreeLibrary(file);

    // And the system makes a usable icon of the group.
    HMODULE loaded = LoadLibraryExW(LanternshellPath().c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(loaded, nullptr);
    HICON icon = static_cast<HICON>(LoadImageW(loaded, L"MAINICON", IMAGE_ICON, 48, 48, 0));
    EXPECT_NE(icon, nullptr);
    if (icon) {
        EXPECT_EQ(IconSize(icon).cx, 48);
    }
    DestroyIcon(icon);
    FreeLibrary(loaded);
}

}  // namespace
