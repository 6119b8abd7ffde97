// What the host does when one of the browser control's processes fails.
// Portable rules with the time handed in, so the one-minute bounds are
// tested without waiting. UI thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

enum class RecoveryAction {
    Ignore,          // the control recovers by itself, or the player was just asked
    Reload,          // the page's renderer is gone: load the page again
    AskToReload,     // the page hangs: ask the player, then call Answered
    RestartBrowser,  // the browser is gone: a new environment and controller
    GiveUp,          // the box that the app stopped, then exit code 1
};

// The process kinds as the control numbers them.
constexpr int BrowserProcessExited = 0;
constexpr int RenderProcessExited = 1;
constexpr int RenderProcessUnresponsive = 2;

// "render process exited" and the like, for the log; "process kind N exited"
// for a kind this host does not know, so a newer control's kind can still be
// looked up.
std::string DescribeProcessFailure(int kind);

class ProcessRecovery {
public:
    // Any 60 seconds: reloads and restarts older than this no longer count,
    // and the question is asked again only this long after its answer.
    static constexpr std::int64_t WindowMs = 60000;
    static constexpr std::size_t ReloadsPerWindow = 3;
    static constexpr std::size_t RestartsPerWindow = 1;

    // nowMs is a steady clock in milliseconds. Once it has said GiveUp it
    // ignores everything, since the process is ending.
    RecoveryAction OnProcessFailed(int kind, std::int64_t nowMs);
    // The player has answered the question asked for AskToReload, either way.
    void Answered(std::int64_t nowMs);

private:
    // Drops the times that have left the window and says whether another
    // one fits; when it does, now is counted.
    static bool TakeSlot(std::deque<std::int64_t>& times, std::size_t limit, std::int64_t nowMs);

    std::deque<std::int64_t> reloads_;
    std::deque<std::int64_t> restarts_;
    bool asking_ = false;
    std::optional<std::int64_t> answeredAt_;
    bool gaveUp_ = false;
};
