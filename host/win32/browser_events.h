// The browser control's events. Each turns one event into a call of the
// host's session and carries out its answer; each runs on the UI thread,
// finishes before it returns and reports success to the control whatever
// happened. Without arguments it does nothing; a URI or text the control
// fails to hand out ends it; a decision the control refuses is logged. They
// reach the host through its link, so once it has ended none runs at all.
#pragma once

#include <string>

#include "host/win32/win32_host.h"

// Registers the handlers on the host's view and controller, which exist;
// false when one of the two events that show the window (the document's
// load, the navigation's end) can't be heard.
bool RegisterEventHandlers(Win32Host& host);

// Hears the browser process's exit through the environment's event, which
// reports QuitEvent::BrowserExited; false on a runtime without it, which the
// log is told.
bool HearBrowserExit(Win32Host& host);

// The control's number for a failed process as the session knows it, and
// what, its words for the log ("GPU process exited"; a kind the host does
// not know keeps its number: "process kind 12 exited").
ProcessFailure ProcessFailureOf(int kind, std::string& what);

HRESULT OnDocumentTitleChanged(Win32Host& host, ICoreWebView2* sender, IUnknown* args);
HRESULT OnWebResourceRequested(Win32Host& host, ICoreWebView2* sender,
                               ICoreWebView2WebResourceRequestedEventArgs* args);
HRESULT OnNavigationStarting(Win32Host& host, ICoreWebView2* sender,
                             ICoreWebView2NavigationStartingEventArgs* args);
HRESULT OnPermissionRequested(Win32Host& host, ICoreWebView2* sender,
                              ICoreWebView2PermissionRequestedEventArgs* args);
HRESULT OnContainsFullScreenElementChanged(Win32Host& host, ICoreWebView2* sender, IUnknown* args);
HRESULT OnNewWindowRequested(Win32Host& host, ICoreWebView2* sender,
                             ICoreWebView2NewWindowRequestedEventArgs* args);
HRESULT OnWebMessageReceived(Win32Host& host, ICoreWebView2* sender,
                             ICoreWebView2WebMessageReceivedEventArgs* args);
HRESULT OnProcessFailed(Win32Host& host, ICoreWebView2* sender,
                        ICoreWebView2ProcessFailedEventArgs* args);
HRESULT OnAcceleratorKeyPressed(Win32Host& host, ICoreWebView2Controller* sender,
                                ICoreWebView2AcceleratorKeyPressedEventArgs* args);
