// The handlers registered on the browser view: each turns one event of the
// control into a call of the session and carries out its answer. Each runs
// on the UI thread, finishes before it returns and reports success to the
// control whatever happened. A URI or message text the control fails to hand
// out ends the handler; a decision the control refuses to take is logged.
#pragma once

#include "platform/win32/webview2.h"

struct BrowserHostState;

HRESULT OnDocumentTitleChanged(BrowserHostState* host, ICoreWebView2* sender, IUnknown* args);
// Every request under the app origin is answered by the host's content
// server, the response made on its environment.
HRESULT OnWebResourceRequested(BrowserHostState* host, ICoreWebView2* sender,
                               ICoreWebView2WebResourceRequestedEventArgs* args);
// The event is raised for the view's own navigations only: frames have an
// event of their own, which the host does not hear.
HRESULT OnNavigationStarting(BrowserHostState* host, ICoreWebView2* sender,
                             ICoreWebView2NavigationStartingEventArgs* args);
// A permission the session does not grant keeps its default state, so the
// control decides as it would for any site.
HRESULT OnPermissionRequested(BrowserHostState* host, ICoreWebView2* sender,
                              ICoreWebView2PermissionRequestedEventArgs* args);
HRESULT OnContainsFullScreenElementChanged(BrowserHostState* host, ICoreWebView2* sender,
                                           IUnknown* args);
HRESULT OnWindowCloseRequested(BrowserHostState* host, ICoreWebView2* sender, IUnknown* args);
// Marked handled in every case: the control never opens a window of its own.
HRESULT OnNewWindowRequested(BrowserHostState* host, ICoreWebView2* sender,
                             ICoreWebView2NewWindowRequestedEventArgs* args);
// The control hears only the top-level document's messages and names that
// document as their source. Only messages posted as strings are read.
HRESULT OnWebMessageReceived(BrowserHostState* host, ICoreWebView2* sender,
                             ICoreWebView2WebMessageReceivedEventArgs* args);
HRESULT OnDOMContentLoaded(BrowserHostState* host, ICoreWebView2* sender,
                           ICoreWebView2DOMContentLoadedEventArgs* args);
HRESULT OnNavigationCompleted(BrowserHostState* host, ICoreWebView2* sender,
                              ICoreWebView2NavigationCompletedEventArgs* args);
HRESULT OnProcessFailed(BrowserHostState* host, ICoreWebView2* sender,
                        ICoreWebView2ProcessFailedEventArgs* args);

// F11 (a key down) and Alt+Enter (a system key down) switch fullscreen,
// marked handled when the session takes them, so the page does not see them
// as well; a held key's repeats are taken as its first press was.
HRESULT OnAcceleratorKeyPressed(BrowserHostState* host, ICoreWebView2Controller* sender,
                                ICoreWebView2AcceleratorKeyPressedEventArgs* args);
// The quit sequence awaits this after closing the controller.
HRESULT OnBrowserProcessExited(BrowserHostState* host, ICoreWebView2Environment* sender,
                               ICoreWebView2BrowserProcessExitedEventArgs* args);
// A close script the control refused is logged: window.close() then stays
// the browser's own.
HRESULT OnCloseScriptAdded(BrowserHostState* host, HRESULT errorCode, LPCWSTR id);

// Shows the main window, then the control, and moves the focus into the page.
void ShowAndFocusPage();
