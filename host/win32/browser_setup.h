// Bringing the browser control up in the host's window: the environment with
// its options and browser arguments, then the controller and its view, with
// the view's settings, event handlers and document scripts, in the control's
// completions as the message loop runs.
#pragma once

#include <string>

#include "host/win32/win32_host.h"

// Starts the setup from browserFolder (null: the installed runtime, or the
// relative "webview2") and userDataFolder, with the host's settings; the
// host's session, content and window are set. When the creation call fails
// at once, the session has been told and the loop will end.
void StartBrowser(Win32Host& host, const wchar_t* browserFolder,
                  const std::wstring& userDataFolder);

// The browser process is gone and every object of it with it: a new
// environment and controller from the same folders and options.
void RestartBrowser(Win32Host& host);

// The setup's first completion: the environment, then the controller asked for.
HRESULT OnEnvironmentCreated(Win32Host& host, HRESULT result,
                             ICoreWebView2Environment* environment);
