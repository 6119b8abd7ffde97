#include "runtime/win32/browser_runtime.h"

#include <commctrl.h>
#include <process.h>

#include "platform/diagnostics_log.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/win32/com.h"
#include "platform/win32/webview2_loader.h"
#include "platform/win32/system_error.h"
#include "platform/win32/window.h"
#include "runtime/download_progress.h"
#include "runtime/win32/installer_signature.h"

const wchar_t* const RuntimeInstallerUrl = L"https://go.microsoft.com/fwlink/p/?LinkId=2124703";
const wchar_t* const FixedRuntimeFolder = L"webview2";
const wchar_t* const ShippedInstallerFolder = L"webview2-installer";
const wchar_t* const ShippedInstallerNames[2] = {L"MicrosoftEdgeWebView2RuntimeInstallerX64.exe",
                                                 L"MicrosoftEdgeWebview2Setup.exe"};

namespace {

const wchar_t* const InstallerWindowClassName = L"WebView2Setup";
const wchar_t* const FixedModeFailedMessage =
    L"This app is set to \"fixed\" distribution mode, but the WebView2 control failed to "
    L"initialize. Check there is a valid fixed distribution of Microsoft Edge WebView2 runtime "
    L"in the \"webview2\" subfolder.";

void Log(const RuntimeSettings& settings, const std::string& text) {
    if (settings.log) settings.log->Write(text);
}

void LogWin32Failure(const RuntimeSettings& settings, const char* operation) {
    Log(settings, Win32Failure(operation));
}

// Only the presence of a version string counts for the check; the version
// itself goes to the log, with the loader that found it.
bool RuntimeAvailable(const RuntimeSettings& settings, const wchar_t* browserExecutableFolder) {
    CoTaskMemString version;
    const HRESULT result = LoaderGetBrowserVersion(browserExecutableFolder, version.Put());
    const std::string where = browserExecutableFolder
                                  ? "in \"" + WideToUtf8(browserExecutableFolder) + "\""
                                  : "installed";
    const char* const loader =
        WebView2Loader.builtin ? "the built-in loader" : "the vendor's loader library";
    if (!version) {
        Log(settings, "no runtime " + where + ", asked through " + loader + " (error " +
                          HexCode(static_cast<unsigned>(result)) + ")");
        return false;
    }
    Log(settings, "runtime " + where + " found: version " + WideToUtf8(version.Copy()) +
                      ", through " + loader);
    return true;
}

void ShowRuntimeBox(const RuntimeSettings& settings, const wchar_t* text, UINT icon) {
    ShowMessageBox(text, settings.caption.c_str(), icon);
}

// A step before the download that failed: the log names the call, the box
// tells the player; nothing was installed.
InstallFailure SetupFailed(const RuntimeSettings& settings, const char* operation,
                           const wchar_t* text) {
    LogWin32Failure(settings, operation);
    ShowRuntimeBox(settings, text, MB_ICONERROR);
    return {};
}

// A download can report success and still not be a program: an empty answer
// from a connection that closed early, or a sign-in page of a captive network.
// Windows programs begin with "MZ". Reads from the start and goes back there.
bool IsProgramFile(HANDLE file) {
    char start[2] = {};
    DWORD read = 0;
    const bool program = ReadFile(file, start, sizeof start, &read, nullptr) &&
                         read == sizeof start && start[0] == 'M' && start[1] == 'Z';
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    return program;
}

// Runs the installer without arguments from the user data folder and waits
// for it. Its exit code only explains a runtime that is still missing: the
// next check decides.
InstallFailure RunInstaller(const RuntimeSettings& settings, const std::wstring& path,
                            const std::wstring& userDataFolder) {
    wchar_t commandLine[1] = {L'\0'};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    InstallFailure failure;
    if (!CreateProcessW(path.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                        userDataFolder.c_str(), &startup, &process)) {
        failure.kind = InstallFailureKind::NotStarted;
        failure.code = GetLastError();
        Log(settings, "failed: " + LogReason(failure));
        return failure;
    }
    Log(settings, "runtime installer started");
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    Log(settings, "runtime installer ended with exit code " + DescribeExitCode(exitCode));
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    failure.kind =
        exitCode == 0 ? InstallFailureKind::NothingInstalled : InstallFailureKind::InstallerFailed;
    failure.code = exitCode;
    return failure;
}

// Checks the installer at path and runs it only when it is a program the
// vendor signed. It stays open, shared for reading and renaming but never
// for writing, from its check to its start, so it can't change in between.
// A downloaded one (arrived as the partial download) takes the installer's
// place once it has passed, or is deleted when it fails; a shipped one is
// never touched.
InstallFailure CheckAndRunInstaller(const RuntimeSettings& settings, const std::wstring& path,
                                    const std::wstring& userDataFolder, bool downloaded) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    InstallFailure failure;
    if (file == INVALID_HANDLE_VALUE) {
        failure.kind = InstallFailureKind::NotStarted;
        failure.code = GetLastError();
        Log(settings,
            Win32Failure("opening the runtime installer " + WideToUtf8(path), failure.code));
        return failure;
    }
    const auto refuse = [&](const InstallFailure& refused) {
        CloseHandle(file);
        if (downloaded) DeleteFileW(path.c_str());
        Log(settings, "failed: " + LogReason(refused) + "; not run" +
                          (downloaded ? ", deleted" : ", left where it is: " + WideToUtf8(path)));
        return refused;
    };
    if (!IsProgramFile(file)) {
        failure.kind = InstallFailureKind::NotAProgram;
        return refuse(failure);
    }
    const InstallerSignature signature = CheckInstallerSignature(path, file);
    Log(settings,
        "signature of the runtime installer: " + DescribeTrustResult(signature.trustResult) +
            (signature.signerOrganisation.empty()
                 ? std::string()
                 : ", signed by \"" + WideToUtf8(signature.signerOrganisation) + "\""));
    failure = JudgeSignature(signature.trustResult, signature.signerOrganisation);
    if (failure.kind != InstallFailureKind::None) return refuse(failure);

    std::wstring installer = path;
    if (downloaded) {
        installer = InstallerPath(userDataFolder);
        if (!MoveFileExW(path.c_str(), installer.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            failure.kind = InstallFailureKind::NotStarted;
            failure.code = GetLastError();
            LogWin32Failure(settings, "moving the download to the installer's place");
            CloseHandle(file);
            DeleteFileW(path.c_str());
            return failure;
        }
        Log(settings, "download complete: " + WideToUtf8(installer));
    }
    failure = RunInstaller(settings, installer, userDataFolder);
    CloseHandle(file);
    return failure;
}

// The first of ShippedInstallerNames in the shipped folder; empty for none.
std::wstring ShippedInstaller(const std::wstring& exeFolder) {
    if (exeFolder.empty()) return L"";
    for (const wchar_t* name : ShippedInstallerNames) {
        const std::wstring path = exeFolder + ShippedInstallerFolder + L"\\" + name;
        const FileStatus status = QueryFileStatus(path);
        if (status.exists && status.regularFile) return path;
    }
    return L"";
}

}  // namespace

std::wstring InstallerPath(const std::wstring& userDataFolder) {
    return userDataFolder + L"\\Webview2Setup.exe";
}

std::wstring PartialDownloadPath(const std::wstring& userDataFolder) {
    return userDataFolder + L"\\Webview2Setup.exe.download";
}

RuntimeCheck EnsureBrowserRuntime(HINSTANCE instance, const RuntimeSettings& settings,
                                  const std::wstring& userDataFolder,
                                  const std::wstring& installerUrl) {
    RuntimeCheck runtime;
    if (settings.distributionMode == DistributionMode::Fixed) {
        // A shipped copy is all there is: nothing is ever installed here.
        runtime.browserExecutableFolder = FixedRuntimeFolder;
        runtime.usable = RuntimeAvailable(settings, FixedRuntimeFolder);
        if (!runtime.usable) ShowRuntimeBox(settings, FixedModeFailedMessage, MB_ICONERROR);
        return runtime;
    }
    if (RuntimeAvailable(settings, nullptr)) {
        runtime.usable = true;
        return runtime;
    }
    // However the notice is dismissed, the installation follows.
    ShowRuntimeBox(settings, settings.installMessage.c_str(), MB_ICONINFORMATION);
    const InstallFailure failure =
        InstallBrowserRuntime(instance, userDataFolder, settings, installerUrl);
    runtime.usable = RuntimeAvailable(settings, nullptr);
    if (!runtime.usable) {
        Log(settings, "the runtime is still missing after the installation");
        ShowRuntimeBox(settings, FailureBoxText(settings.installFailedMessage, failure).c_str(),
                       MB_ICONERROR);
    }
    return runtime;
}

InstallFailure InstallBrowserRuntime(HINSTANCE instance, const std::wstring& userDataFolder,
                                     const RuntimeSettings& settings,
                                     const std::wstring& installerUrl) {
    // A file standing where the folder belongs is no folder either. The
    // installer runs there, shipped or downloaded.
    if (!CreateFolder(userDataFolder)) {
        return SetupFailed(settings, "creating the user data folder",
                           L"Failed to create user data directory");
    }
    // A shipped installer needs no download, and no progress window either.
    const std::wstring shipped = ShippedInstaller(settings.exeFolder);
    if (!shipped.empty()) {
        Log(settings, "using the shipped runtime installer " + WideToUtf8(shipped));
        return CheckAndRunInstaller(settings, shipped, userDataFolder, false);
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    if (!InitCommonControlsEx(&controls)) {
        return SetupFailed(settings, "InitCommonControlsEx",
                           L"Failed to initialize common controls");
    }
    if (!RegisterHostWindowClass(instance, InstallerWindowClassName, InstallerWindowProc,
                                 COLOR_MENU, settings.icon)) {
        return SetupFailed(settings, "RegisterClassExW of the progress window",
                           RegisterClassFailedMessage);
    }

    // Centred on the primary monitor, and scaled for it.
    const UINT dpi = DpiOfMonitor(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
    const int width = ScaleForDpi(300, dpi);
    const int height = ScaleForDpi(90, dpi);
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
    HWND window = CreateWindowExW(0, InstallerWindowClassName, settings.downloadingMessage.c_str(),
                                  WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                                  width, height, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return SetupFailed(settings, "CreateWindowExW of the progress window",
                           CreateWindowFailedMessage);
    }

    RECT client{};
    GetClientRect(window, &client);
    const int margin = ScaleForDpi(10, dpi);
    const int margins = ScaleForDpi(20, dpi);
    HWND progressBar =
        CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, client.left + margin,
                        client.top + margin, (client.right - client.left) - margins,
                        (client.bottom - client.top) - margins, window, nullptr, instance, nullptr);
    SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(progressBar, PBM_SETSTEP, 1, 0);

    const std::wstring partialPath = PartialDownloadPath(userDataFolder);
    DownloadJob job;
    job.url = installerUrl;
    job.path = partialPath;
    job.window = window;
    job.progressBar = progressBar;

    Log(settings, "downloading the runtime installer from " + WideToUtf8(installerUrl));
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunDownload, &job, 0, nullptr));
    if (!thread) Log(settings, "failed: starting the download thread");
    if (thread) {
        // Ends when the window is destroyed: by the download thread once the
        // download is over, or earlier by the user, and then the wait below
        // lasts until the download ends anyway.
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else {
        // Nothing would ever close the window; nothing was downloaded.
        DestroyWindow(window);
        MSG quit{};
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }

    // Only a program that arrived whole and passes its check replaces the
    // installer and is run; after a failure whatever lies at the installer's
    // path stays unstarted.
    const InstallFailure download =
        JudgeDownload(static_cast<std::uint32_t>(job.result), job.httpStatus);
    if (download.kind != InstallFailureKind::None) {
        Log(settings, "failed: " + LogReason(download));
        DeleteFileW(partialPath.c_str());
        return download;
    }
    return CheckAndRunInstaller(settings, partialPath, userDataFolder, true);
}

LRESULT CALLBACK InstallerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

unsigned __stdcall RunDownload(void* parameter) {
    auto* job = static_cast<DownloadJob*>(parameter);
    DownloadProgress progress(job->progressBar);
    const HRESULT result =
        URLDownloadToFileW(nullptr, job->url.c_str(), job->path.c_str(), 0, &progress);
    // The window may be gone already (closed by the user); the call then
    // fails at once instead of waiting.
    SendMessageW(job->window, WM_CLOSE, 0, 0);
    job->httpStatus = progress.httpStatus;
    job->result = result;
    return 0;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IBindStatusCallback) {
        *object = static_cast<IBindStatusCallback*>(this);
        return S_OK;
    }
    if (iid == IID_IHttpNegotiate) {
        *object = static_cast<IHttpNegotiate*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::OnProgress(ULONG progress, ULONG progressMax, ULONG,
                                                       LPCWSTR) {
    if (const auto position = ProgressPosition(progress, progressMax))
        SendMessageW(progressBar, PBM_SETPOS, static_cast<WPARAM>(*position), 0);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                                 LPWSTR* additionalHeaders) {
    if (additionalHeaders) *additionalHeaders = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DownloadProgress::OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR,
                                                       LPWSTR* additionalHeaders) {
    if (additionalHeaders) *additionalHeaders = nullptr;
    httpStatus = responseCode;
    return S_OK;
}
