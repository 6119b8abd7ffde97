// The declared browser-control interfaces against the table indices of the
// binary interface: a method one slot off would call the wrong function in
// the real control, so every declared method's index is checked, and the
// identifiers that QueryInterface relies on.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/win32/com.h"
#include "platform/win32/webview2.h"

namespace {

// With the Itanium C++ ABI that GCC uses on every target, a pointer to a
// virtual member function holds 1 + the byte offset of its table entry.
template <class Member>
std::size_t SlotOf(Member member) {
    struct {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    } raw;
    static_assert(sizeof(member) == sizeof(raw), "unexpected member pointer layout");
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.pointer - 1) / sizeof(void*);
}

struct Slot {
    const char* name;
    std::size_t declared;
    std::size_t expected;
};

#define SLOT(Interface, Method, Index) \
    { #Interface "::" #Method, SlotOf(&Interface::Method), Index }

const Slot Slots[] = {
    SLOT(ICoreWebView2Environment, CreateCoreWebView2Controller, 3),
    SLOT(ICoreWebView2Environment, CreateWebResourceResponse, 4),
    SLOT(ICoreWebView2Environment, get_BrowserVersionString, 5),
    SLOT(ICoreWebView2Environment, add_NewBrowserVersionAvailable, 6),
    SLOT(ICoreWebView2Environment, remove_NewBrowserVersionAvailable, 7),
    SLOT(ICoreWebView2EnvironmentOptions, get_AdditionalBrowserArguments, 3),
    SLOT(ICoreWebView2EnvironmentOptions, put_AdditionalBrowserArguments, 4),
    SLOT(ICoreWebView2EnvironmentOptions, get_Language, 5),
    SLOT(ICoreWebView2EnvironmentOptions, put_Language, 6),
    SLOT(ICoreWebView2EnvironmentOptions, get_TargetCompatibleBrowserVersion, 7),
    SLOT(ICoreWebView2EnvironmentOptions, put_TargetCompatibleBrowserVersion, 8),
    SLOT(ICoreWebView2EnvironmentOptions, get_AllowSingleSignOnUsingOSPrimaryAccount, 9),
    SLOT(ICoreWebView2EnvironmentOptions, put_AllowSingleSignOnUsingOSPrimaryAccount, 10),
    SLOT(ICoreWebView2Controller, get_IsVisible, 3),
    SLOT(ICoreWebView2Controller, put_IsVisible, 4),
    SLOT(ICoreWebView2Controller, get_Bounds, 5),
    SLOT(ICoreWebView2Controller, put_Bounds, 6),
    SLOT(ICoreWebView2Controller, get_ZoomFactor, 7),
    SLOT(ICoreWebView2Controller, put_ZoomFactor, 8),
    SLOT(ICoreWebView2Controller, add_ZoomFactorChanged, 9),
    SLOT(ICoreWebView2Controller, remove_ZoomFactorChanged, 10),
    SLOT(ICoreWebView2Controller, SetBoundsAndZoomFactor, 11),
    SLOT(ICoreWebView2Controller, MoveFocus, 12),
    SLOT(ICoreWebView2Controller, add_MoveFocusRequested, 13),
    SLOT(ICoreWebView2Controller, remove_MoveFocusRequested, 14),
    SLOT(ICoreWebView2Controller, add_GotFocus, 15),
    SLOT(ICoreWebView2Controller, remove_GotFocus, 16),
    SLOT(ICoreWebView2Controller, add_LostFocus, 17),
    SLOT(ICoreWebView2Controller, remove_LostFocus, 18),
    SLOT(ICoreWebView2Controller, add_AcceleratorKeyPressed, 19),
    SLOT(ICoreWebView2Controller, remove_AcceleratorKeyPressed, 20),
    SLOT(ICoreWebView2Controller, get_ParentWindow, 21),
    SLOT(ICoreWebView2Controller, put_ParentWindow, 22),
    SLOT(ICoreWebView2Controller, NotifyParentWindowPositionChanged, 23),
    SLOT(ICoreWebView2Controller, Close, 24),
    SLOT(ICoreWebView2Controller, get_CoreWebView2, 25),
    SLOT(ICoreWebView2, get_Settings, 3),
    SLOT(ICoreWebView2, get_Source, 4),
    SLOT(ICoreWebView2, Navigate, 5),
    SLOT(ICoreWebView2, NavigateToString, 6),
    SLOT(ICoreWebView2, add_NavigationStarting, 7),
    SLOT(ICoreWebView2, remove_NavigationStarting, 8),
    SLOT(ICoreWebView2, add_ContentLoading, 9),
    SLOT(ICoreWebView2, remove_ContentLoading, 10),
    SLOT(ICoreWebView2, add_SourceChanged, 11),
    SLOT(ICoreWebView2, remove_SourceChanged, 12),
    SLOT(ICoreWebView2, add_HistoryChanged, 13),
    SLOT(ICoreWebView2, remove_HistoryChanged, 14),
    SLOT(ICoreWebView2, add_NavigationCompleted, 15),
    SLOT(ICoreWebView2, remove_NavigationCompleted, 16),
    SLOT(ICoreWebView2, add_FrameNavigationStarting, 17),
    SLOT(ICoreWebView2, remove_FrameNavigationStarting, 18),
    SLOT(ICoreWebView2, add_FrameNavigationCompleted, 19),
    SLOT(ICoreWebView2, remove_FrameNavigationCompleted, 20),
    SLOT(ICoreWebView2, add_ScriptDialogOpening, 21),
    SLOT(ICoreWebView2, remove_ScriptDialogOpening, 22),
    SLOT(ICoreWebView2, add_PermissionRequested, 23),
    SLOT(ICoreWebView2, remove_PermissionRequested, 24),
    SLOT(ICoreWebView2, add_ProcessFailed, 25),
    SLOT(ICoreWebView2, remove_ProcessFailed, 26),
    SLOT(ICoreWebView2, AddScriptToExecuteOnDocumentCreated, 27),
    SLOT(ICoreWebView2, RemoveScriptToExecuteOnDocumentCreated, 28),
    SLOT(ICoreWebView2, ExecuteScript, 29),
    SLOT(ICoreWebView2, CapturePreview, 30),
    SLOT(ICoreWebView2, Reload, 31),
    SLOT(ICoreWebView2, PostWebMessageAsJson, 32),
    SLOT(ICoreWebView2, PostWebMessageAsString, 33),
    SLOT(ICoreWebView2, add_WebMessageReceived, 34),
    SLOT(ICoreWebView2, remove_WebMessageReceived, 35),
    SLOT(ICoreWebView2, CallDevToolsProtocolMethod, 36),
    SLOT(ICoreWebView2, get_BrowserProcessId, 37),
    SLOT(ICoreWebView2, get_CanGoBack, 38),
    SLOT(ICoreWebView2, get_CanGoForward, 39),
    SLOT(ICoreWebView2, GoBack, 40),
    SLOT(ICoreWebView2, GoForward, 41),
    SLOT(ICoreWebView2, GetDevToolsProtocolEventReceiver, 42),
    SLOT(ICoreWebView2, Stop, 43),
    SLOT(ICoreWebView2, add_NewWindowRequested, 44),
    SLOT(ICoreWebView2, remove_NewWindowRequested, 45),
    SLOT(ICoreWebView2, add_DocumentTitleChanged, 46),
    SLOT(ICoreWebView2, remove_DocumentTitleChanged, 47),
    SLOT(ICoreWebView2, get_DocumentTitle, 48),
    SLOT(ICoreWebView2, AddHostObjectToScript, 49),
    SLOT(ICoreWebView2, RemoveHostObjectFromScript, 50),
    SLOT(ICoreWebView2, OpenDevToolsWindow, 51),
    SLOT(ICoreWebView2, add_ContainsFullScreenElementChanged, 52),
    SLOT(ICoreWebView2, remove_ContainsFullScreenElementChanged, 53),
    SLOT(ICoreWebView2, get_ContainsFullScreenElement, 54),
    SLOT(ICoreWebView2, add_WebResourceRequested, 55),
    SLOT(ICoreWebView2, remove_WebResourceRequested, 56),
    SLOT(ICoreWebView2, AddWebResourceRequestedFilter, 57),
    SLOT(ICoreWebView2, RemoveWebResourceRequestedFilter, 58),
    SLOT(ICoreWebView2, add_WindowCloseRequested, 59),
    SLOT(ICoreWebView2, remove_WindowCloseRequested, 60),
    SLOT(ICoreWebView2_2, add_WebResourceResponseReceived, 61),
    SLOT(ICoreWebView2_2, remove_WebResourceResponseReceived, 62),
    SLOT(ICoreWebView2_2, NavigateWithWebResourceRequest, 63),
    SLOT(ICoreWebView2_2, add_DOMContentLoaded, 64),
    SLOT(ICoreWebView2_2, remove_DOMContentLoaded, 65),
    SLOT(ICoreWebView2_2, get_CookieManager, 66),
    SLOT(ICoreWebView2_2, get_Environment, 67),
    SLOT(ICoreWebView2Settings, get_IsScriptEnabled, 3),
    SLOT(ICoreWebView2Settings, put_IsScriptEnabled, 4),
    SLOT(ICoreWebView2Settings, get_IsWebMessageEnabled, 5),
    SLOT(ICoreWebView2Settings, put_IsWebMessageEnabled, 6),
    SLOT(ICoreWebView2Settings, get_AreDefaultScriptDialogsEnabled, 7),
    SLOT(ICoreWebView2Settings, put_AreDefaultScriptDialogsEnabled, 8),
    SLOT(ICoreWebView2Settings, get_IsStatusBarEnabled, 9),
    SLOT(ICoreWebView2Settings, put_IsStatusBarEnabled, 10),
    SLOT(ICoreWebView2Settings, get_AreDevToolsEnabled, 11),
    SLOT(ICoreWebView2Settings, put_AreDevToolsEnabled, 12),
    SLOT(ICoreWebView2Settings, get_AreDefaultContextMenusEnabled, 13),
    SLOT(ICoreWebView2Settings, put_AreDefaultContextMenusEnabled, 14),
    SLOT(ICoreWebView2Settings, get_AreHostObjectsAllowed, 15),
    SLOT(ICoreWebView2Settings, put_AreHostObjectsAllowed, 16),
    SLOT(ICoreWebView2Settings, get_IsZoomControlEnabled, 17),
    SLOT(ICoreWebView2Settings, put_IsZoomControlEnabled, 18),
    SLOT(ICoreWebView2Settings, get_IsBuiltInErrorPageEnabled, 19),
    SLOT(ICoreWebView2Settings, put_IsBuiltInErrorPageEnabled, 20),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, get_Request, 3),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, get_Response, 4),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, put_Response, 5),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, GetDeferral, 6),
    SLOT(ICoreWebView2WebResourceRequestedEventArgs, get_ResourceContext, 7),
    SLOT(ICoreWebView2WebResourceRequest, get_Uri, 3),
    SLOT(ICoreWebView2WebResourceRequest, put_Uri, 4),
    SLOT(ICoreWebView2WebResourceRequest, get_Method, 5),
    SLOT(ICoreWebView2WebResourceRequest, put_Method, 6),
    SLOT(ICoreWebView2WebResourceRequest, get_Content, 7),
    SLOT(ICoreWebView2WebResourceRequest, put_Content, 8),
    SLOT(ICoreWebView2WebResourceRequest, get_Headers, 9),
    SLOT(ICoreWebView2HttpRequestHeaders, GetHeader, 3),
    SLOT(ICoreWebView2HttpRequestHeaders, GetHeaders, 4),
    SLOT(ICoreWebView2HttpRequestHeaders, Contains, 5),
    SLOT(ICoreWebView2HttpRequestHeaders, SetHeader, 6),
    SLOT(ICoreWebView2HttpRequestHeaders, RemoveHeader, 7),
    SLOT(ICoreWebView2HttpRequestHeaders, GetIterator, 8),
    SLOT(ICoreWebView2HttpHeadersCollectionIterator, GetCurrentHeader, 3),
    SLOT(ICoreWebView2HttpHeadersCollectionIterator, get_HasCurrentHeader, 4),
    SLOT(ICoreWebView2HttpHeadersCollectionIterator, MoveNext, 5),
    SLOT(ICoreWebView2WebResourceResponse, get_Content, 3),
    SLOT(ICoreWebView2WebResourceResponse, put_Content, 4),
    SLOT(ICoreWebView2WebResourceResponse, get_Headers, 5),
    SLOT(ICoreWebView2WebResourceResponse, get_StatusCode, 6),
    SLOT(ICoreWebView2WebResourceResponse, put_StatusCode, 7),
    SLOT(ICoreWebView2WebResourceResponse, get_ReasonPhrase, 8),
    SLOT(ICoreWebView2WebResourceResponse, put_ReasonPhrase, 9),
    SLOT(ICoreWebView2HttpResponseHeaders, AppendHeader, 3),
    SLOT(ICoreWebView2HttpResponseHeaders, Contains, 4),
    SLOT(ICoreWebView2HttpResponseHeaders, GetHeader, 5),
    SLOT(ICoreWebView2HttpResponseHeaders, GetHeaders, 6),
    SLOT(ICoreWebView2HttpResponseHeaders, GetIterator, 7),
    SLOT(ICoreWebView2Deferral, Complete, 3),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_Uri, 3),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_IsUserInitiated, 4),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_IsRedirected, 5),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_RequestHeaders, 6),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_Cancel, 7),
    SLOT(ICoreWebView2NavigationStartingEventArgs, put_Cancel, 8),
    SLOT(ICoreWebView2NavigationStartingEventArgs, get_NavigationId, 9),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, get_Uri, 3),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, get_PermissionKind, 4),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, get_IsUserInitiated, 5),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, get_State, 6),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, put_State, 7),
    SLOT(ICoreWebView2PermissionRequestedEventArgs, GetDeferral, 8),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_Uri, 3),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, put_NewWindow, 4),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_NewWindow, 5),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, put_Handled, 6),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_Handled, 7),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_IsUserInitiated, 8),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, GetDeferral, 9),
    SLOT(ICoreWebView2NewWindowRequestedEventArgs, get_WindowFeatures, 10),
    SLOT(ICoreWebView2WebMessageReceivedEventArgs, get_Source, 3),
    SLOT(ICoreWebView2WebMessageReceivedEventArgs, get_WebMessageAsJson, 4),
    SLOT(ICoreWebView2WebMessageReceivedEventArgs, TryGetWebMessageAsString, 5),
    SLOT(ICoreWebView2DOMContentLoadedEventArgs, get_NavigationId, 3),
    SLOT(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, Invoke, 3),
    SLOT(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, Invoke, 3),
    SLOT(ICoreWebView2DocumentTitleChangedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2WebResourceRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NavigationStartingEventHandler, Invoke, 3),
    SLOT(ICoreWebView2PermissionRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2ContainsFullScreenElementChangedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2WindowCloseRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NewWindowRequestedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2WebMessageReceivedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2DOMContentLoadedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2ProcessFailedEventArgs, get_ProcessFailedKind, 3),
    SLOT(ICoreWebView2NavigationCompletedEventArgs, get_IsSuccess, 3),
    SLOT(ICoreWebView2NavigationCompletedEventArgs, get_WebErrorStatus, 4),
    SLOT(ICoreWebView2NavigationCompletedEventArgs, get_NavigationId, 5),
    SLOT(ICoreWebView2ProcessFailedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2NavigationCompletedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2Settings2, get_UserAgent, 21),
    SLOT(ICoreWebView2Settings2, put_UserAgent, 22),
    SLOT(ICoreWebView2Settings3, get_AreBrowserAcceleratorKeysEnabled, 23),
    SLOT(ICoreWebView2Settings3, put_AreBrowserAcceleratorKeysEnabled, 24),
    SLOT(ICoreWebView2Settings4, get_IsPasswordAutosaveEnabled, 25),
    SLOT(ICoreWebView2Settings4, put_IsPasswordAutosaveEnabled, 26),
    SLOT(ICoreWebView2Settings4, get_IsGeneralAutofillEnabled, 27),
    SLOT(ICoreWebView2Settings4, put_IsGeneralAutofillEnabled, 28),
    SLOT(ICoreWebView2Settings5, get_IsPinchZoomEnabled, 29),
    SLOT(ICoreWebView2Settings5, put_IsPinchZoomEnabled, 30),
    SLOT(ICoreWebView2Settings6, get_IsSwipeNavigationEnabled, 31),
    SLOT(ICoreWebView2Settings6, put_IsSwipeNavigationEnabled, 32),
    SLOT(ICoreWebView2Settings6, put_IsBuiltInErrorPageEnabled, 20),
    SLOT(ICoreWebView2Environment2, CreateWebResourceRequest, 8),
    SLOT(ICoreWebView2Environment3, CreateCoreWebView2CompositionController, 9),
    SLOT(ICoreWebView2Environment3, CreateCoreWebView2PointerInfo, 10),
    SLOT(ICoreWebView2Environment4, GetAutomationProviderForWindow, 11),
    SLOT(ICoreWebView2Environment5, add_BrowserProcessExited, 12),
    SLOT(ICoreWebView2Environment5, remove_BrowserProcessExited, 13),
    SLOT(ICoreWebView2Environment5, remove_NewBrowserVersionAvailable, 7),
    SLOT(ICoreWebView2BrowserProcessExitedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2BrowserProcessExitedEventArgs, get_BrowserProcessExitKind, 3),
    SLOT(ICoreWebView2BrowserProcessExitedEventArgs, get_BrowserProcessId, 4),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventHandler, Invoke, 3),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_KeyEventKind, 3),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_VirtualKey, 4),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_KeyEventLParam, 5),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_PhysicalKeyStatus, 6),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, get_Handled, 7),
    SLOT(ICoreWebView2AcceleratorKeyPressedEventArgs, put_Handled, 8),
    SLOT(ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler, Invoke, 3),
};

TEST(BrowserInterface, EveryMethodSitsAtItsTableIndex) {
    for (const auto& slot : Slots) EXPECT_EQ(slot.declared, slot.expected) << slot.name;
}

TEST(BrowserInterface, ViewTwoContinuesTheViewTable) {
    EXPECT_EQ(SlotOf(&ICoreWebView2_2::Navigate), 5u);
    EXPECT_EQ(SlotOf(&ICoreWebView2_2::add_WindowCloseRequested), 59u);
}

TEST(BrowserInterface, PhysicalKeyStatusIsSixPackedWords) {
    EXPECT_EQ(sizeof(COREWEBVIEW2_PHYSICAL_KEY_STATUS), 24u);
    EXPECT_EQ(offsetof(COREWEBVIEW2_PHYSICAL_KEY_STATUS, IsKeyReleased), 20u);
}

#define ID(Interface, Text) \
    { #Interface, __uuidof(Interface), Text }

TEST(BrowserInterface, IdentifiersMatchTheirInterfaces) {
    const struct {
        const char* name;
        IID declared;
        const char* text;
    } ids[] = {
        ID(ICoreWebView2Environment, "{B96D755E-0319-4E92-A296-23436F46A1FC}"),
        ID(ICoreWebView2EnvironmentOptions, "{2FDE08A8-1E9A-4766-8C05-95A9CEB9D1C5}"),
        ID(ICoreWebView2Controller, "{4D00C0D1-9434-4EB6-8078-8697A560334F}"),
        ID(ICoreWebView2, "{76ECEACB-0462-4D94-AC83-423A6793775E}"),
        ID(ICoreWebView2_2, "{9E8F0CF8-E670-4B5E-B2BC-73E061E3184C}"),
        ID(ICoreWebView2NewWindowRequestedEventHandler, "{D4C185FE-C81C-4989-97AF-2D3FA7AB5651}"),
        ID(ICoreWebView2DOMContentLoadedEventHandler, "{4BAC7E9C-199E-49ED-87ED-249303ACF019}"),
        ID(ICoreWebView2ProcessFailedEventHandler, "{79E0AEA4-990B-42D9-AA1D-0FCC2E5BC7F1}"),
        ID(ICoreWebView2ProcessFailedEventArgs, "{8155A9A4-1474-4A86-8CAE-151B0FA6B8CA}"),
        ID(ICoreWebView2NavigationCompletedEventHandler, "{D33A35BF-1C49-4F98-93AB-006E0533FE1C}"),
        ID(ICoreWebView2NavigationCompletedEventArgs, "{30D68B7D-20D9-4752-A9CA-EC8448FBB5C1}"),
        ID(ICoreWebView2Settings2, "{EE9A0F68-F46C-4E32-AC23-EF8CAC224D2A}"),
        ID(ICoreWebView2Settings3, "{FDB5AB74-AF33-4854-84F0-0A631DEB5EBA}"),
        ID(ICoreWebView2Settings4, "{CB56846C-4168-4D53-B04F-03B6D6796FF2}"),
        ID(ICoreWebView2Settings5, "{183E7052-1D03-43A0-AB99-98E043B66B39}"),
        ID(ICoreWebView2Settings6, "{11CB3ACD-9BC8-43B8-83BF-F40753714F87}"),
        ID(ICoreWebView2Environment2, "{41F3632B-5EF4-404F-AD82-2D606C5A9A21}"),
        ID(ICoreWebView2Environment3, "{80A22AE3-BE7C-4CE2-AFE1-5A50056CDEEB}"),
        ID(ICoreWebView2Environment4, "{20944379-6DCF-41D6-A0A0-ABC0FC50DE0D}"),
        ID(ICoreWebView2Environment5, "{319E423D-E0D7-4B8D-9254-AE9475DE9B17}"),
        ID(ICoreWebView2BrowserProcessExitedEventHandler, "{FA504257-A216-4911-A860-FE8825712861}"),
        ID(ICoreWebView2BrowserProcessExitedEventArgs, "{1F00663F-AF8C-4782-9CDD-DD01C52E34CB}"),
        ID(ICoreWebView2AcceleratorKeyPressedEventHandler,
           "{B29C7E28-FA79-41A8-8E44-65811C76DCB2}"),
        ID(ICoreWebView2AcceleratorKeyPressedEventArgs, "{9F760F8A-FB79-42BE-9990-7B56900FA9C7}"),
        ID(ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler,
           "{B99369F3-9B11-47B5-BC6F-8E7895FCEA17}"),
    };
    for (const auto& id : ids) {
        wchar_t text[40];
        ASSERT_GT(StringFromGUID2(id.declared, text, 40), 0);
        EXPECT_EQ(std::string(text, text + wcslen(text)), id.text) << id.name;
    }
}

HRESULT CountCalls(ICoreWebView2* sender, IUnknown* args);
int calls = 0;
HRESULT CountCalls(ICoreWebView2* sender, IUnknown* args) {
    ++calls;
    return sender == nullptr && args == nullptr ? S_OK : E_FAIL;
}

TEST(CallbackObject, AnswersOnlyItsOwnInterfacesAndCountsReferences) {
    auto callback = MakeCallback<ICoreWebView2DocumentTitleChangedEventHandler>(&CountCalls);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(callback.As(&unknown), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(callback.Get()));
    ComPtr<ICoreWebView2WindowCloseRequestedEventHandler> other;
    EXPECT_EQ(callback.As(&other), E_NOINTERFACE);
    EXPECT_EQ(other.Get(), nullptr);
    // Creator, IUnknown holder, plus the one taken here.
    EXPECT_EQ(callback->AddRef(), 3u);
    EXPECT_EQ(callback->Release(), 2u);
    calls = 0;
    EXPECT_EQ(callback->Invoke(nullptr, nullptr), S_OK);
    EXPECT_EQ(calls, 1);
}

TEST(CoTaskMemString, FreesWhatItHoldsAndCopiesNullAsEmpty) {
    CoTaskMemString text;
    EXPECT_FALSE(text);
    EXPECT_EQ(text.Copy(), L"");
    ASSERT_EQ(CopyToCoTaskMem(L"first", text.Put()), S_OK);
    EXPECT_EQ(text.Copy(), L"first");
    ASSERT_EQ(CopyToCoTaskMem(L"second", text.Put()), S_OK);  // the first is freed
    EXPECT_TRUE(text);
    EXPECT_EQ(std::wstring(text.Get()), L"second");
}

}  // namespace
