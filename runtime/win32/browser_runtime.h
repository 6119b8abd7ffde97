// Making sure a browser runtime is usable before the main window exists: the
// check, and in evergreen mode the download of the vendor's installer behind
// a small progress window, its run, and the check once more.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <string>

#include "runtime/distribution_mode.h"
#include "runtime/install_outcome.h"

class DiagnosticsLog;

// The vendor's permanent link to the runtime installer. The shipped host
// always downloads from here; tests hand the flow an address of their own.
extern const wchar_t* const RuntimeInstallerUrl;

// The runtime folder of fixed mode, handed to the browser control exactly as
// this relative text.
extern const wchar_t* const FixedRuntimeFolder;

// The folder beside the executable where an app ships the vendor's installer,
// and the names it may have there, the standalone installer first: it needs
// no network.
extern const wchar_t* const ShippedInstallerFolder;
extern const wchar_t* const ShippedInstallerNames[2];

// The downloaded installer: userDataFolder + "\\Webview2Setup.exe".
std::wstring InstallerPath(const std::wstring& userDataFolder);
// Where the download lands until it has arrived whole.
std::wstring PartialDownloadPath(const std::wstring& userDataFolder);

// What the runtime check needs from the manifest, and the window icon.
struct RuntimeSettings {
    DistributionMode distributionMode = DistributionMode::Evergreen;
    std::wstring caption;  // of every box the check shows: the manifest's title
    std::wstring installMessage;
    std::wstring downloadingMessage;  // the progress window's title
    std::wstring installFailedMessage;
    HICON icon = nullptr;  // the progress window's
    // The executable's folder, ending in a backslash: a shipped installer is
    // looked for in its ShippedInstallerFolder. Empty: none is looked for.
    std::wstring exeFolder;
    // Hears the runtime found, each download and installer run and every
    // failure; may be null.
    DiagnosticsLog* log = nullptr;
};

// The outcome of EnsureBrowserRuntime: whether the browser can start, and from
// which runtime.
struct RuntimeCheck {
    bool usable = false;
    // Null for the installed runtime, FixedRuntimeFolder in fixed mode.
    const wchar_t* browserExecutableFolder = nullptr;
};

// Checks for a runtime in the manifest's mode; in evergreen mode a missing one
// is installed, from a shipped installer or else one downloaded from
// installerUrl, then looked for again. When the answer is "not usable" the
// reason has been shown in a message box.
RuntimeCheck EnsureBrowserRuntime(HINSTANCE instance, const RuntimeSettings& settings,
                                  const std::wstring& userDataFolder,
                                  const std::wstring& installerUrl);

// Runs the shipped installer, or downloads the installer into the user data
// folder with a progress window and runs that, waiting for it to end. Only a
// program that the vendor signed is run; a download that fails or is refused
// starts nothing, and a refused download is deleted. Failures to set up the
// download are shown in message boxes. The caller judges success only by
// checking for the runtime again; the answer is what would explain a runtime
// still missing then.
InstallFailure InstallBrowserRuntime(HINSTANCE instance, const std::wstring& userDataFolder,
                                     const RuntimeSettings& settings,
                                     const std::wstring& installerUrl);

LRESULT CALLBACK InstallerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What the download thread gets. It only reads the first four fields; it
// writes result once, just before it ends, and the UI thread reads it only
// after it has waited for the thread.
struct DownloadJob {
    std::wstring url;
    std::wstring path;
    HWND window = nullptr;
    HWND progressBar = nullptr;
    HRESULT result = E_FAIL;
    DWORD httpStatus = 0;  // written with result: the server's status, 0 when none came
};

// The download thread's entry; its argument is a DownloadJob.
unsigned __stdcall RunDownload(void* job);

// The download's status callback. It lives on the download thread's stack
// for exactly the length of the download, so it counts no references, and it
// never fails a progress report, so the download is never cancelled from here.
// It also hears the server's HTTP status, which the download's result alone
// does not tell.
class DownloadProgress final : public IBindStatusCallback, public IHttpNegotiate {
public:
    explicit DownloadProgress(HWND bar) : progressBar(bar) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    // No count: the object lives on the download's stack.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                         LPCWSTR statusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved,
                                                   LPWSTR* additionalHeaders) override;
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR responseHeaders,
                                         LPCWSTR requestHeaders,
                                         LPWSTR* additionalHeaders) override;

    HWND progressBar;
    DWORD httpStatus = 0;  // the last status heard
};
