// The browser control inside the main window: its environment, controller and
// view, and the three asynchronous steps that bring them up.
#pragma once

#include <cstdint>
#include <string>

#include "host/process_recovery.h"
#include "platform/win32/com.h"
#include "platform/win32/webview2.h"

class ContentServer;
class DiagnosticsLog;

// Milliseconds of a steady clock, for the recovery bounds.
using SteadyClock = std::int64_t (*)();
std::int64_t SteadyMilliseconds();

// What the browser control is set up with, from the manifest.
struct BrowserSettings {
    std::wstring additionalArguments;  // handed to the browser as they are
    bool enableDevtools = true;
    bool browserKeys = true;      // the browser's own shortcuts: reload, find, print, zoom...
    bool contextMenu = true;      // the browser's default context menu
    bool autoplay = false;        // media with sound may start without a click
    std::wstring startPage;       // relative to the app origin, query included
    std::wstring failureCaption;  // of the boxes when the control can't start or recover
    // Hears every failure and what was done about it; may be null.
    DiagnosticsLog* log = nullptr;
    SteadyClock clock = &SteadyMilliseconds;
};

// UI thread only. Each COM field holds one reference, is set by its step and
// is released by ReleaseBrowserHost, in reverse order: webview2, webview,
// controller, environment. Null until its step has run. When the browser
// process exits, the four are released and the steps run once more with the
// same folder, user data folder and options.
struct BrowserHostState {
    ComPtr<ICoreWebView2Environment> environment;
    ComPtr<ICoreWebView2Controller> controller;
    ComPtr<ICoreWebView2> webview;
    ComPtr<ICoreWebView2_2> webview2;
    BrowserSettings settings;
    // What the environment was created from, for starting it again.
    ComPtr<ICoreWebView2EnvironmentOptions> options;
    const wchar_t* browserFolder = nullptr;
    std::wstring userDataFolder;
    ProcessRecovery recovery;
    // The browser control could not be brought up (FailBrowserStart): the
    // completions that still arrive do nothing.
    bool startFailed = false;
    // The app has given up after a failure and the loop is ending.
    bool ending = false;
    // Answers every request under the app origin; owned by the startup
    // sequence, which keeps it until the host is released.
    ContentServer* content = nullptr;
};

extern BrowserHostState BrowserHost;

// Starts creating the environment; browserFolder is null (the installed
// runtime) or the relative "webview2". Returns the options object, which the
// caller holds until the message loop has ended. When the creation call fails
// at once, the failure has been reported and the loop will end with code 1.
ComPtr<ICoreWebView2EnvironmentOptions> StartBrowserEnvironment(const wchar_t* browserFolder,
                                                                const std::wstring& userDataFolder,
                                                                const BrowserSettings& settings,
                                                                ContentServer& content);

// Lets go of the control's objects in reverse order of their creation and
// puts everything else back as a new host has it, failures and recovery
// counts included; the startup sequence calls it after the message loop,
// before COM ends.
void ReleaseBrowserHost();

HRESULT OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment);
HRESULT OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller);

// A process of the browser failed: the page's renderer is reloaded, a hanging
// page is reloaded if the player says so, a browser that exited is started
// again, each within the bounds of ProcessRecovery; past them the box "The
// app stopped unexpectedly and could not be restarted. Run it again." and exit
// code 1. Other processes are left to the control. Each one is logged.
HRESULT OnProcessFailed(BrowserHostState* host, ICoreWebView2* sender,
                        ICoreWebView2ProcessFailedEventArgs* args);

// The browser control could not be brought up: the box with the error code
// and the manifest's title, then the message loop ends with exit code 1 (the
// hidden window is destroyed, never shown). Only the first failure is
// reported, and the completions do nothing after it. The code is the failed
// call's or completion's own; a completion that reports success without an
// object gives E_POINTER, a view without ICoreWebView2_2 the query's code.
// A start page that can't be navigated to counts too: nothing would ever
// load, and the window would never be shown. operation names the failed call
// for the log.
void FailBrowserStart(const char* operation, HRESULT error);
