#include "host/session.h"

#include <utility>

#include "host/page_message.h"
#include "host/page_policy.h"
#include "host/save_files.h"
#include "host/steam.h"
#include "platform/diagnostics_log.h"
#include "platform/text.h"

namespace {

const wchar_t* const StoppedMessage =
    L"The app stopped unexpectedly and could not be restarted. Run it again.";
const wchar_t* const NotRespondingMessage = L"The app is not responding. Reload it?";

// Any minute: reloads and restarts older than this no longer count, and the
// question is asked again only this long after its answer.
constexpr std::int64_t RecoveryWindowMs = 60000;
constexpr std::size_t ReloadsPerWindow = 3;
constexpr std::size_t RestartsPerWindow = 1;

// Drops the times that have left the window and says whether another one
// fits; when it does, now is counted.
bool TakeSlot(std::deque<std::int64_t>& times, std::size_t limit, std::int64_t now) {
    while (!times.empty() && now - times.front() >= RecoveryWindowMs) times.pop_front();
    if (times.size() >= limit) return false;
    times.push_back(now);
    return true;
}

// Frames may hold an empty document of their parent's; it loads nothing.
bool IsEmptyFrameDocument(std::wstring_view uri) {
    return uri == L"about:blank" || uri == L"about:srcdoc";
}

}  // namespace

void LogIconNotLoaded(DiagnosticsLog& log, const std::wstring& icon, const std::string& why) {
    log.Write("failed: loading the window icon " + Quoted(icon) + (why.empty() ? "" : ": " + why) +
              ": the standard icon is used");
}

Session::Session(SessionSettings settings, Engine& engine)
    : settings_(std::move(settings)),
      engine_(engine),
      pageLog_(settings_.pageLog, settings_.log, settings_.clock) {
    // Answered before the reply is posted: a save is on the disk by then.
    if (SaveStore* saves = settings_.saves)
        AddPageService("saves.", [saves](const PageRequest& request) {
            return std::optional<PageAnswer>(saves->Answer(request));
        });
    // Steam answers when it can, some calls only after a later pump.
    if (SteamService* steam = settings_.steam) {
        steam->PostThrough([this](const std::string& text) { PostToPage(text); });
        AddPageService("steam.", [steam](const PageRequest& request) {
            steam->Request(request.fields);
            return std::optional<PageAnswer>();
        });
    }
}

Session::~Session() {
    if (settings_.steam) settings_.steam->PostThrough(nullptr);
}

void Session::Log(const std::string& text) const {
    if (settings_.log) settings_.log->Write(text);
}

void Session::OnWindowCreated() {
    // Fullscreen before the first frame: a page can't ask for it before the
    // player's first click.
    if (settings_.startFullscreen) SetFullscreen(true);
    if (settings_.steam) engine_.StartPump(SteamService::PumpIntervalMs);
}

void Session::OnEngineReady() {
    if (ending_) return;
    // The start page exactly as the manifest gives it, query included.
    // Without it nothing ever loads or shows the window.
    if (const auto refused = engine_.Navigate(settings_.origin + settings_.startPage))
        FailEngineStart("Navigate", *refused);
}

void Session::FailEngineStart(const std::string& operation, const std::string& detail) {
    if (ending_) return;
    Stop("failed: " + operation + " (" + detail + "): the " + WideToUtf8(settings_.engineName) +
             " could not be started",
         L"Failed to start the " + settings_.engineName + L" (" + Utf8ToWide(detail) + L").");
}

void Session::OnShowEventsUnavailable() {
    Log("the window is shown before the page has loaded: an event that shows it can't be heard");
    Show();
}

bool Session::OnNavigationStarting(std::wstring_view uri, bool withFrames) {
    // The quit sequence's own navigation, which ends the page.
    if (quitStep_ == QuitStep::Unloading && uri == L"about:blank") return true;
    return IsAppOriginUri(uri, settings_.origin) || (withFrames && IsEmptyFrameDocument(uri));
}

void Session::OnNewWindowRequested(std::wstring_view uri) {
    if (OpensInShell(uri, settings_.origin)) engine_.OpenOutside(std::wstring(uri));
}

bool Session::OnPermissionRequested(std::wstring_view requester) const {
    return IsAppOriginUri(requester, settings_.origin);
}

void Session::OnPageMessage(std::wstring_view topPage, const std::wstring& text) {
    if (ending_ || !IsAppOriginUri(topPage, settings_.origin)) return;
    if (pageLog_.OnPageMessage(text)) return;
    if (const auto request = ReadPageRequest(text)) {
        for (const auto& [prefix, handle] : services_)
            if (request->type.rfind(prefix, 0) == 0) {
                if (const auto answer = handle(*request))
                    PostToPage(PageReplyJson(request->id, *answer));
                return;
            }
        return PostToPage(PageReplyJson(
            request->id, PageAnswer::Refused("there is no request \"" + request->type + "\"")));
    }
    const PageMessage message = ReadPageMessage(text);
    if (message.type == PageMessage::Type::SetFullscreen) SetFullscreen(message.fullscreen);
    if (message.type == PageMessage::Type::Close) OnCloseRequested();
}

void Session::AddPageService(std::string prefix, PageRequestHandler handle) {
    services_.emplace_back(std::move(prefix), std::move(handle));
}

void Session::PostToPage(const std::string& json) {
    if (!ending_) engine_.PostToPage(json);
}

void Session::OnPump() {
    if (settings_.steam) settings_.steam->Pump();
}

void Session::OnFullscreenElementChanged(bool containsFullscreenElement) {
    SetFullscreen(containsFullscreenElement);
}

void Session::SetFullscreen(bool fullscreen) {
    if (fullscreen == fullscreen_) return;
    fullscreen_ = fullscreen;
    engine_.SetFullscreen(fullscreen);
}

void Session::OnCloseRequested() {
    OnQuitRequested(QuitCause::Page);
}

std::string Session::QuitElapsed() const {
    return std::to_string(settings_.clock() - quitStartMs_) + " ms";
}

void Session::OnQuitRequested(QuitCause cause) {
    if (ending_ || Quitting()) return;
    static const char* const causes[] = {
        "the player closed the window",
        "the page closed the window",
        "the user's session ends",
        "the process was asked to end",
    };
    Log(std::string("quitting: ") + causes[static_cast<int>(cause)]);
    quitStartMs_ = settings_.clock();
    quitStep_ = QuitStep::Unloading;
    // Started first: the engine may answer before it returns.
    engine_.StartTimer(PageUnloadTimeoutMs);
    // A page that can't be left is not waited for.
    if (!engine_.UnloadPage()) OnQuitEvent(QuitEvent::TimerRanOut);
}

void Session::OnQuitEvent(QuitEvent event) {
    if (ending_) return;
    if (quitStep_ == QuitStep::Unloading) {
        switch (event) {
            case QuitEvent::PageUnloaded:
                return LeavePage("the page unloaded in " + QuitElapsed());
            case QuitEvent::TimerRanOut:
                return LeavePage("the page did not unload within " +
                                 std::to_string(PageUnloadTimeoutMs) +
                                 " ms: the app quits without it");
            case QuitEvent::PlayerStayed:
                engine_.StopTimer();
                Log("the player chose to stay: the app keeps running (after " + QuitElapsed() +
                    ")");
                quitStep_ = QuitStep::None;
                return;
            case QuitEvent::QuestionOpened:
                return engine_.StopTimer();
            case QuitEvent::QuestionAnswered:
                return engine_.StartTimer(PageUnloadTimeoutMs);
            case QuitEvent::BrowserExited:
                return;
        }
    }
    if (quitStep_ != QuitStep::ClosingBrowser) return;
    if (event == QuitEvent::BrowserExited)
        EndQuit("the browser exited in " + QuitElapsed());
    else if (event == QuitEvent::TimerRanOut)
        EndQuit("the browser did not exit within " + std::to_string(BrowserExitTimeoutMs) +
                " ms: its profile may not be written");
}

void Session::LeavePage(const std::string& line) {
    quitStep_ = QuitStep::ClosingBrowser;
    Log(line);
    if (settings_.rememberWindow) {
        if (const auto record = engine_.CurrentWindowRecord())
            if (!SaveWindowRecord(settings_.dataFolder, *record))
                Log("failed: saving the window's place to window.json");
    }
    // After the page, whose pagehide may have stored stats, and before the
    // browser: the rest of the quit has nothing for Steam.
    if (settings_.steam) settings_.steam->Shutdown();
    engine_.StartTimer(BrowserExitTimeoutMs);
    engine_.CloseBrowser();
}

void Session::EndQuit(const std::string& line) {
    engine_.StopTimer();
    pageLog_.Flush();
    Log(line);
    ending_ = true;
    engine_.Quit();
}

bool Session::OnFullscreenKey() {
    if (!settings_.fullscreenKeys || ending_) return false;
    const bool leaving = fullscreen_;
    SetFullscreen(!leaving);
    if (leaving) engine_.ExitElementFullscreen();
    return true;
}

void Session::OnTitleChanged(const std::wstring& title) {
    engine_.SetCaption(title);
}

void Session::Show() {
    shown_ = true;
    engine_.ShowWindow();
}

void Session::OnDocumentLoaded() {
    // The quit sequence's blank page is no page to show.
    if (Quitting()) return;
    documentLoaded_ = true;
    // Every load, so each new page has the focus.
    Show();
}

void Session::OnNavigationCompleted(const std::optional<std::string>& failure) {
    if (ending_ || Quitting()) return;
    if (failure) Log("navigation failed (" + *failure + ")");
    // A page that never loads a document, such as the engine's own error
    // page, must not leave the player without a window to close.
    if (!shown_) Show();
}

void Session::Stop(const std::string& line, const std::wstring& text) {
    ending_ = true;
    exitCode_ = 1;
    pageLog_.Flush();
    Log(line);
    engine_.ShowError(text, settings_.caption);
    engine_.Quit();
}

void Session::Reload() {
    if (!engine_.Reload()) Stop("the app stops: the page could not be reloaded", StoppedMessage);
}

// The player decides: a long level load must not lose its progress to a
// reload nobody asked for. The question runs a loop of its own, in which
// the engine may report more failures.
void Session::AskToReload() {
    asking_ = true;
    const bool reload = engine_.AskYesNo(NotRespondingMessage, settings_.caption);
    asking_ = false;
    answeredAt_ = settings_.clock();
    if (ending_) return;
    if (reload) {
        Log("the player chose to reload the page");
        Reload();
    } else {
        Log("the player chose to wait");
    }
}

void Session::OnProcessFailed(ProcessFailure kind, const std::string& what) {
    // Quitting, the page is ending and the browser's processes end on
    // purpose: nothing is reloaded or started again.
    if (ending_ || Quitting()) return;
    // Before the first page the engine itself can't run: reloading would
    // only fail again.
    if (kind == ProcessFailure::RendererGone && !documentLoaded_)
        return FailEngineStart("loading the first page", what);
    const std::string failure = "process failure: " + what;
    const std::int64_t now = settings_.clock();
    const bool gone = kind == ProcessFailure::RendererGone || kind == ProcessFailure::BrowserGone;
    if (kind == ProcessFailure::RendererGone && TakeSlot(reloads_, ReloadsPerWindow, now)) {
        Log(failure + ": reloading the page");
        Reload();
    } else if (kind == ProcessFailure::BrowserGone && TakeSlot(restarts_, RestartsPerWindow, now)) {
        Log(failure + ": starting the browser again");
        engine_.RestartBrowser();
    } else if (gone) {
        Log(failure);
        Stop("the app stops: too many failures in one minute", StoppedMessage);
    } else if (kind == ProcessFailure::RendererUnresponsive && !asking_ &&
               !(answeredAt_ && now - *answeredAt_ < RecoveryWindowMs)) {
        // The engine says so again and again while the page hangs: one
        // question at a time, and none within a minute of the last answer.
        Log(failure + ": asking the player whether to reload");
        AskToReload();
    } else {
        Log(failure + (kind == ProcessFailure::RendererUnresponsive
                           ? ": the player is asked at most once a minute"
                           : ": left to the browser control"));
    }
}
