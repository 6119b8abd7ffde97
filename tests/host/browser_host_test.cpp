// The Windows host object: completions that arrive after the session or the
// host ended, handlers that get nothing to work with, and the control's
// process failures as the session knows them.
#include <gtest/gtest.h>

#include "host/win32/browser_events.h"
#include "host/win32/browser_setup.h"
#include "host/win32/win32_host.h"
#include "tests/host/fakes.h"

namespace {

// Counts the controllers the host asks for.
class Environment : public FakeEnvironment {
public:
    int controllersAsked = 0;
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) override {
        ++controllersAsked;
        return S_OK;
    }
};

SessionSettings Settings() {
    SessionSettings settings;
    settings.origin = L"https://lanternshell.localhost/";
    settings.clock = &SteadyMilliseconds;
    return settings;
}

TEST(Win32Host, CompletionsAfterTheSessionOrTheHostEndedDoNothing) {
    Environment environment;
    ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> completion;
    {
        Win32Host host;
        const auto engine = MakeWebView2Engine(host);
        Session session(Settings(), *engine);
        host.session = &session;
        completion = MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
            host.link, &OnEnvironmentCreated);
        EXPECT_EQ(completion->Invoke(S_OK, &environment), S_OK);
        EXPECT_EQ(environment.controllersAsked, 1);
        // Without a view or a window the quit sequence has nothing to wait
        // for, and the engine quits by posting the quit message.
        session.OnCloseRequested();
        MSG quit{};
        EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_TRUE(session.Ending());
        EXPECT_EQ(completion->Invoke(S_OK, &environment), S_OK);
        EXPECT_EQ(environment.controllersAsked, 1);
    }
    // A late completion: the host is gone, and nothing is touched.
    EXPECT_EQ(completion->Invoke(S_OK, &environment), S_OK);
    EXPECT_EQ(environment.controllersAsked, 1);
    EXPECT_EQ(environment.references, 1u);
}

TEST(Win32Host, HandlersWithoutArgumentsDoNothing) {
    Win32Host host;
    const auto engine = MakeWebView2Engine(host);
    Session session(Settings(), *engine);
    host.session = &session;
    EXPECT_EQ(OnNavigationStarting(host, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnPermissionRequested(host, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnNewWindowRequested(host, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnWebMessageReceived(host, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnWebResourceRequested(host, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnDocumentTitleChanged(host, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnContainsFullScreenElementChanged(host, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnProcessFailed(host, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnAcceleratorKeyPressed(host, nullptr, nullptr), S_OK);
    EXPECT_FALSE(session.Ending());
}

TEST(Win32Host, ProcessFailuresReachTheSessionAsItsKindsInTheControlsWords) {
    const struct {
        int kind;
        ProcessFailure failure;
        const char* what;
    } cases[] = {
        {0, ProcessFailure::BrowserGone, "browser process exited"},
        {1, ProcessFailure::RendererGone, "render process exited"},
        {2, ProcessFailure::RendererUnresponsive, "render process unresponsive"},
        {3, ProcessFailure::Other, "frame render process exited"},
        {6, ProcessFailure::Other, "GPU process exited"},
        {9, ProcessFailure::Other, "unknown process exited"},
        // A kind this host does not know keeps its number for the log.
        {10, ProcessFailure::Other, "process kind 10 exited"},
        {-7, ProcessFailure::Other, "process kind -7 exited"},
    };
    for (const auto& c : cases) {
        std::string what;
        EXPECT_EQ(ProcessFailureOf(c.kind, what), c.failure) << c.kind;
        EXPECT_EQ(what, c.what);
    }
}

}  // namespace
