// The event handlers against small recording stand-ins for the control's
// argument objects: which decisions they take, what they leave alone when the
// control hands out no text, and that every reference they take is released.
#include "host/win32/browser_events.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/win32/browser_host.h"
#include "host/win32/fullscreen.h"
#include "tests/host/fakes.h"

namespace {

class NavigationArgs : public Fake<ICoreWebView2NavigationStartingEventArgs> {
public:
    TextAnswer uri;
    std::vector<BOOL> cancels;
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* value) override { return uri.Give(value); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override {
        cancels.push_back(cancel);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64*) override { return E_NOTIMPL; }
};

class PermissionArgs : public Fake<ICoreWebView2PermissionRequestedEventArgs> {
public:
    TextAnswer uri;
    std::vector<COREWEBVIEW2_PERMISSION_STATE> states;
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* value) override { return uri.Give(value); }
    HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_PERMISSION_STATE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE state) override {
        states.push_back(state);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
};

class NewWindowArgs : public Fake<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    TextAnswer uri;
    std::vector<BOOL> handled;
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* value) override { return uri.Give(value); }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
        handled.push_back(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures**) override {
        return E_NOTIMPL;
    }
};

class MessageArgs : public Fake<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    TextAnswer source;
    TextAnswer message;
    int jsonReads = 0;
    int stringReads = 0;
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* value) override { return source.Give(value); }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* value) override {
        ++jsonReads;
        *value = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* value) override {
        ++stringReads;
        return message.Give(value);
    }
};

const wchar_t AppPage[] = L"https://lanternshell.localhost/index.html";
const wchar_t OtherSite[] = L"https://example.com/";

TEST(BrowserEvents, NavigationsLeavingTheAppAreCancelledAndUnknownOnesLeftAlone) {
    const struct {
        TextAnswer uri;
        bool cancelled;
    } cases[] = {
        {Text(AppPage), false},
        {Text(L"https://lanternshell.localhost/game/start.html?level=2"), false},
        {Text(OtherSite), true},
        {Text(L"https://lanternshell.localhost"), true},
        {Text(L"data:text/html,hi"), true},
        {Text(L""), true},
        {NoText, false},
        {FailedText, false},
        {FailedWithText, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Name(c.uri));
        NavigationArgs args;
        args.uri = c.uri;
        EXPECT_EQ(OnNavigationStarting(nullptr, &args), S_OK);
        EXPECT_EQ(args.cancels, c.cancelled ? std::vector<BOOL>{TRUE} : std::vector<BOOL>{});
        EXPECT_EQ(args.references, 1u);
    }
}

TEST(BrowserEvents, OnlyTheAppOriginIsGrantedPermissions) {
    const struct {
        TextAnswer uri;
        bool allowed;
    } cases[] = {
        {Text(AppPage), true},
        {Text(L"https://lanternshell.localhost/"), true},
        {Text(OtherSite), false},
        {Text(L"https://lanternshell.localhost.example.com/"), false},
        {Text(L"HTTPS://LANTERNSHELL.LOCALHOST/"), false},
        {Text(L""), false},
        {NoText, false},
        {FailedText, false},
        {FailedWithText, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Name(c.uri));
        PermissionArgs args;
        args.uri = c.uri;
        EXPECT_EQ(OnPermissionRequested(nullptr, &args), S_OK);
        // Anything else keeps the default state: the handler writes nothing.
        EXPECT_EQ(
            args.states,
            c.allowed
                ? std::vector<COREWEBVIEW2_PERMISSION_STATE>{COREWEBVIEW2_PERMISSION_STATE_ALLOW}
                : std::vector<COREWEBVIEW2_PERMISSION_STATE>{});
    }
}

// Requests the shell must not see; the ones it does see are followed end to
// end, where the shell's "open" can be watched.
TEST(BrowserEvents, DroppedNewWindowsAreStillMarkedHandled) {
    const TextAnswer cases[] = {
        Text(AppPage),
        Text(L"file:///Z:/nothing/here.exe"),
        Text(L"javascript:void(0)"),
        Text(L"about:blank"),
        Text(L""),
        NoText,
        FailedText,
    };
    for (const auto& uri : cases) {
        SCOPED_TRACE(Name(uri));
        NewWindowArgs args;
        args.uri = uri;
        EXPECT_EQ(OnNewWindowRequested(nullptr, &args), S_OK);
        EXPECT_EQ(args.handled, std::vector<BOOL>{TRUE});
    }
}

TEST(BrowserEvents, OnlyStringMessagesFromTheAppReachThePageMessageHandler) {
    const TextAnswer fullscreen = Text(L"{\"type\":\"set-fullscreen\",\"fullscreen\":true}");
    const struct {
        const char* name;
        TextAnswer source;
        TextAnswer message;
        bool read;     // the text was asked for
        bool handled;  // it switched fullscreen
    } cases[] = {
        {"from the app", Text(AppPage), fullscreen, true, true},
        {"from the origin itself", Text(L"https://lanternshell.localhost/"), fullscreen, true,
         true},
        {"from another site", Text(OtherSite), fullscreen, false, false},
        {"from the origin without its slash", Text(L"https://lanternshell.localhost"), fullscreen,
         false, false},
        {"from an unknown source", NoText, fullscreen, false, false},
        {"source query failed", FailedWithText, fullscreen, false, false},
        {"posted as an object", Text(AppPage), {E_INVALIDARG, std::nullopt}, true, false},
        {"no text", Text(AppPage), NoText, true, false},
        {"text with a failure", Text(AppPage), {E_FAIL, fullscreen.text}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FullscreenState.isFullscreen = false;
        MessageArgs args;
        args.source = c.source;
        args.message = c.message;
        EXPECT_EQ(OnWebMessageReceived(nullptr, &args), S_OK);
        EXPECT_EQ(args.stringReads, c.read ? 1 : 0);
        EXPECT_EQ(args.jsonReads, 0);
        EXPECT_EQ(FullscreenState.isFullscreen, c.handled);
    }
    FullscreenState.isFullscreen = false;
}

TEST(BrowserEvents, NullArgumentsAreIgnored) {
    EXPECT_EQ(OnNavigationStarting(nullptr, nullptr), S_OK);
    EXPECT_EQ(OnPermissionRequested(nullptr, nullptr), S_OK);
    EXPECT_EQ(OnNewWindowRequested(nullptr, nullptr), S_OK);
    EXPECT_EQ(OnWebMessageReceived(nullptr, nullptr), S_OK);
    EXPECT_EQ(OnWebResourceRequested(&BrowserHost, nullptr, nullptr), S_OK);
    EXPECT_EQ(OnDocumentTitleChanged(nullptr, nullptr), S_OK);
    EXPECT_EQ(OnContainsFullScreenElementChanged(nullptr, nullptr), S_OK);
}

}  // namespace
