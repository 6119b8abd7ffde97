// The handlers registered on the browser view: together they set the
// page's policy towards the desktop. Each runs on the UI thread, finishes
// before it returns and reports success to the control whatever happened.
// A URI or message text the control fails to hand out ends the handler; a
// decision the control refuses to take is logged through the browser host's
// settings.
#pragma once

#include "host/page_policy.h"
#include "platform/win32/webview2.h"

struct BrowserHostState;

// The caption follows the document title.
HRESULT OnDocumentTitleChanged(ICoreWebView2* sender, IUnknown* args);
// Every request under the app origin is answered by the host's content
// server, the response made on its environment.
HRESULT OnWebResourceRequested(BrowserHostState* host, ICoreWebView2* sender,
                               ICoreWebView2WebResourceRequestedEventArgs* args);
// Navigations that leave the app origin are cancelled.
HRESULT OnNavigationStarting(ICoreWebView2* sender, ICoreWebView2NavigationStartingEventArgs* args);
// Permissions are granted to the app origin; for anything else (a framed
// third-party page, say) the control decides as it would for any site.
HRESULT OnPermissionRequested(ICoreWebView2* sender,
                              ICoreWebView2PermissionRequestedEventArgs* args);
// Element fullscreen switches the main window's fullscreen mode.
HRESULT OnContainsFullScreenElementChanged(ICoreWebView2* sender, IUnknown* args);
// The page may close the window, which ends the process with code 0.
HRESULT OnWindowCloseRequested(ICoreWebView2* sender, IUnknown* args);
// New windows never open inside the host: web and mail links go to the
// user's default programs (OpensInShell), every other request is dropped.
HRESULT OnNewWindowRequested(ICoreWebView2* sender, ICoreWebView2NewWindowRequestedEventArgs* args);
// String messages from the app origin go to HandlePageMessage.
HRESULT OnWebMessageReceived(ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args);
// Shows the window and gives the page the focus, on every load.
HRESULT OnDOMContentLoaded(ICoreWebView2* sender, ICoreWebView2DOMContentLoadedEventArgs* args);
// What OnDOMContentLoaded does: shows the main window, then the control, and
// moves the focus into the page.
void ShowAndFocusPage();
// A failed navigation is logged; a window still hidden when a navigation
// completes, successful or not, is shown as on DOMContentLoaded.
HRESULT OnNavigationCompleted(BrowserHostState* host, ICoreWebView2* sender,
                              ICoreWebView2NavigationCompletedEventArgs* args);
