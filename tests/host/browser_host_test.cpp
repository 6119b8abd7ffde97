// The browser host's state from one run to the next, and handlers that get
// nothing to work with.
#include "host/win32/browser_host.h"

#include <gtest/gtest.h>

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

TEST(BrowserHost, CompletionsAfterTheSessionEndedAreDroppedAndReleasingForgetsTheRun) {
    const auto engine = MakeWebView2Engine();
    Session ended(Settings(), *engine);
    BrowserHost.session = &ended;
    // Without a view or a window the quit sequence has nothing to wait for,
    // and the engine quits by posting the quit message.
    ended.OnCloseRequested();
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_TRUE(ended.Ending());
    Environment environment;
    EXPECT_EQ(OnEnvironmentCreated(&BrowserHost, S_OK, &environment), S_OK);
    EXPECT_EQ(environment.controllersAsked, 0);
    ReleaseBrowserHost();
    EXPECT_EQ(BrowserHost.session, nullptr);

    // The next run's completion is acted on.
    Session next(Settings(), *engine);
    BrowserHost.session = &next;
    EXPECT_EQ(OnEnvironmentCreated(&BrowserHost, S_OK, &environment), S_OK);
    EXPECT_EQ(environment.controllersAsked, 1);
    ReleaseBrowserHost();
    EXPECT_EQ(environment.references, 1u);
}

TEST(BrowserHost, HandlersWithoutArgumentsOrSessionDoNothing) {
    const auto engine = MakeWebView2Engine();
    Session session(Settings(), *engine);
    for (BrowserHostState* host : {static_cast<BrowserHostState*>(nullptr), &BrowserHost}) {
        BrowserHost.session = host ? &session : nullptr;
        EXPECT_EQ(OnNavigationStarting(host, nullptr, nullptr), S_OK);
        EXPECT_EQ(OnPermissionRequested(host, nullptr, nullptr), S_OK);
        EXPECT_EQ(OnNewWindowRequested(host, nullptr, nullptr), S_OK);
        EXPECT_EQ(OnWebMessageReceived(host, nullptr, nullptr), S_OK);
        EXPECT_EQ(OnWebResourceRequested(host, nullptr, nullptr), S_OK);
        EXPECT_EQ(OnDocumentTitleChanged(host, nullptr, nullptr), S_OK);
        EXPECT_EQ(OnContainsFullScreenElementChanged(host, nullptr, nullptr), S_OK);
        EXPECT_EQ(OnProcessFailed(host, nullptr, nullptr), S_OK);
    }
    EXPECT_FALSE(session.Ending());
    ReleaseBrowserHost();
}

}  // namespace
