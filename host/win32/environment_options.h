// The options the browser environment is created with: the host's own object,
// holding the defaults the host was built against.
#pragma once

#include "platform/win32/com.h"
#include "platform/runtime_folder.h"
#include "platform/win32/webview2.h"

// A new options object with one reference: no additional browser arguments,
// no language, TargetCompatibleBrowserVersion (the oldest runtime the host
// accepts), and no single sign-on with the account the user logged on with.
// It answers QueryInterface for IUnknown and
// ICoreWebView2EnvironmentOptions only, so the control keeps its own
// defaults for every later option.
ComPtr<ICoreWebView2EnvironmentOptions> CreateEnvironmentOptions();
