#include "host/win32/win32_host.h"

#include <shellapi.h>

#include <utility>

#include "host/page_scripts.h"
#include "host/win32/browser_events.h"
#include "host/win32/browser_setup.h"
#include "host/win32/window_placement.h"
#include "platform/diagnostics_log.h"
#include "platform/text.h"
#include "platform/win32/system_error.h"
#include "platform/win32/window.h"

namespace {

class WebView2Engine final : public Engine {
public:
    WebView2Engine(Win32Host& host, const PlacementDecision& firstShow)
        : host_(host), firstShow_(firstShow) {}

    std::optional<std::string> Navigate(const std::wstring& uri) override {
        if (!host_.webview) return ErrorText(E_POINTER);
        const HRESULT result = host_.webview->Navigate(uri.c_str());
        if (FAILED(result)) return ErrorText(result);
        return std::nullopt;
    }

    bool Reload() override {
        // A browser started again in the meantime has loaded the page afresh.
        if (!host_.webview) return true;
        const HRESULT result = host_.webview->Reload();
        LogIfFailed(host_.Log(), "Reload", result);
        return SUCCEEDED(result);
    }

    void RestartBrowser() override { ::RestartBrowser(host_); }

    void SetFullscreen(bool fullscreen) override {
        ::SetFullscreen(host_.window, host_.fullscreen, fullscreen);
    }

    void SetCaption(const std::wstring& caption) override {
        SetWindowTextW(host_.window, caption.c_str());
    }

    // The window, then the control, and the focus moves into the page.
    void ShowWindow() override {
        if (firstShow_) ShowFirstTime();
        ::ShowWindow(host_.window, SW_SHOW);
        UpdateWindow(host_.window);
        if (host_.controller)
            LogIfFailed(host_.Log(), "put_IsVisible", host_.controller->put_IsVisible(TRUE));
        host_.FocusPage();
    }

    void ShowError(const std::wstring& text, const std::wstring& caption) override {
        ShowMessageBox(text.c_str(), caption.c_str(), MB_ICONERROR);
    }

    // Owned by the main window, so it stays in front of it.
    bool AskYesNo(const std::wstring& text, const std::wstring& caption) override {
        return ::AskYesNo(host_.window, text.c_str(), caption.c_str());
    }

    void OpenOutside(const std::wstring& uri) override {
        ShellExecuteW(nullptr, L"open", uri.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
    }

    void Quit() override {
        // Destroying the window posts the quit message; a window never made
        // leaves the loop nothing to wait for.
        if (host_.window && IsWindow(host_.window))
            DestroyWindow(host_.window);
        else
            PostQuitMessage(0);
    }

    // The view goes to about:blank, so the page ends as a tab does; the
    // session lets that one navigation through, and its completion answers.
    bool UnloadPage() override {
        if (!host_.webview) {
            host_.session->OnQuitEvent(QuitEvent::PageUnloaded);
            return true;
        }
        host_.unloading = true;
        host_.unloadNavigationId.reset();
        // A box of the page's that is up already holds the window too.
        if (!IsWindowEnabled(host_.window)) host_.session->OnQuitEvent(QuitEvent::QuestionOpened);
        const HRESULT result = host_.webview->Navigate(L"about:blank");
        if (SUCCEEDED(result)) return true;
        LogIfFailed(host_.Log(), "Navigate to about:blank", result);
        host_.unloading = false;
        return false;
    }

    // The control is closed and the browser process awaited: only once it
    // has ended is the profile, and the page's last storage writes, on disk.
    void CloseBrowser() override {
        // A page still unloading is given up on.
        host_.unloading = false;
        if (!host_.controller) return host_.session->OnQuitEvent(QuitEvent::BrowserExited);
        WatchBrowserExit();
        LogIfFailed(host_.Log(), "Close", host_.controller->Close());
    }

    void StartTimer(int ms) override {
        if (host_.window) SetTimer(host_.window, SessionTimerId, static_cast<UINT>(ms), nullptr);
    }

    void StopTimer() override {
        if (host_.window) KillTimer(host_.window, SessionTimerId);
    }

    // Killed with the window.
    void StartPump(int ms) override {
        if (host_.window) SetTimer(host_.window, PumpTimerId, static_cast<UINT>(ms), nullptr);
    }

    void ExitElementFullscreen() override {
        if (!host_.webview) return;
        LogIfFailed(host_.Log(), "ExecuteScript",
                    host_.webview->ExecuteScript(ExitElementFullscreenScript, nullptr));
    }

    std::optional<WindowRecord> CurrentWindowRecord() override {
        if (!host_.window || !IsWindow(host_.window)) return std::nullopt;
        return ReadWindowRecord(host_.window, host_.fullscreen);
    }

    void PostToPage(const std::string& json) override {
        if (!host_.webview) return;
        LogIfFailed(host_.Log(), "PostWebMessageAsJson",
                    host_.webview->PostWebMessageAsJson(Utf8ToWide(json).c_str()));
    }

private:
    // The environment's exit event, or on a runtime without it the browser
    // process itself, watched from the window's timer; with neither the
    // session's bound runs out.
    void WatchBrowserExit() {
        if (HearBrowserExit(host_)) return;
        // Asked before Close: the view's answers end with it.
        UINT32 id = 0;
        const HRESULT result = host_.webview ? host_.webview->get_BrowserProcessId(&id) : E_POINTER;
        LogIfFailed(host_.Log(), "get_BrowserProcessId", result);
        if (FAILED(result) || !id) return;
        host_.browserProcess = OpenProcess(SYNCHRONIZE, FALSE, id);
        if (host_.browserProcess)
            SetTimer(host_.window, BrowserWatchTimerId, 20, nullptr);
        else if (host_.Log())
            host_.Log()->Write(Win32Failure("OpenProcess of the browser"));
    }

    // The remembered place: maximized by ShowPlacedWindow, fullscreen through
    // the session, before the first frame where the window allows it.
    void ShowFirstTime() {
        PlacementDecision placed = *firstShow_;
        firstShow_.reset();
        const bool fullscreen = placed.restore && placed.fullscreen;
        placed.fullscreen = false;
        // Already fullscreen (the manifest's window.fullscreen): maximizing
        // now would take the whole-monitor frame away.
        if (host_.fullscreen.isFullscreen) placed.maximized = false;
        Session& session = *host_.session;
        if (fullscreen && !placed.maximized) session.SetFullscreen(true);
        ShowPlacedWindow(host_.window, host_.fullscreen, placed);
        if (fullscreen && placed.maximized) session.SetFullscreen(true);
        // Only the size it ends with reaches the view, when it was not the
        // one foreseen.
        const std::optional<RECT> foreseen = std::exchange(host_.firstBounds, std::nullopt);
        RECT client{};
        GetClientRect(host_.window, &client);
        if (host_.controller && foreseen && !EqualRect(&*foreseen, &client))
            LogIfFailed(host_.Log(), "put_Bounds", host_.controller->put_Bounds(client));
    }

    Win32Host& host_;
    std::optional<PlacementDecision> firstShow_;
};

}  // namespace

std::unique_ptr<Engine> MakeWebView2Engine(Win32Host& host, const PlacementDecision& firstShow) {
    return std::make_unique<WebView2Engine>(host, firstShow);
}
