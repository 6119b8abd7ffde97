// The browser host's state from one run to the next: a host released after
// a failed start, or after it gave up, starts afresh.
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

TEST(BrowserHost, ReleasingItForgetsTheFailuresOfTheRunBefore) {
    // What a failed start and a run that gave up leave behind.
    BrowserHost.startFailed = true;
    BrowserHost.ending = true;
    for (int crash = 0; crash <= static_cast<int>(ProcessRecovery::ReloadsPerWindow); ++crash)
        BrowserHost.recovery.OnProcessFailed(RenderProcessExited, 0);
    ASSERT_EQ(BrowserHost.recovery.OnProcessFailed(RenderProcessExited, 0), RecoveryAction::Ignore);
    ReleaseBrowserHost();

    EXPECT_FALSE(BrowserHost.ending);
    // A completion of the next start is acted on, not dropped...
    Environment environment;
    EXPECT_EQ(OnEnvironmentCreated(S_OK, &environment), S_OK);
    EXPECT_EQ(environment.controllersAsked, 1);
    // ...and its crashes are counted from nothing.
    EXPECT_EQ(BrowserHost.recovery.OnProcessFailed(RenderProcessExited, 0), RecoveryAction::Reload);
    ReleaseBrowserHost();
    EXPECT_EQ(environment.references, 1u);
}

}  // namespace
