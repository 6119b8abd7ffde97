#include "host/process_recovery.h"

std::string DescribeProcessFailure(int kind) {
    static const char* const names[] = {
        "browser process exited",      "render process exited",
        "render process unresponsive", "frame render process exited",
        "utility process exited",      "sandbox helper process exited",
        "GPU process exited",          "PPAPI plugin process exited",
        "PPAPI broker process exited", "unknown process exited",
    };
    if (kind >= 0 && kind < static_cast<int>(sizeof names / sizeof names[0])) return names[kind];
    return "process kind " + std::to_string(kind) + " exited";
}

bool ProcessRecovery::TakeSlot(std::deque<std::int64_t>& times, std::size_t limit,
                               std::int64_t nowMs) {
    while (!times.empty() && nowMs - times.front() >= WindowMs) times.pop_front();
    if (times.size() >= limit) return false;
    times.push_back(nowMs);
    return true;
}

RecoveryAction ProcessRecovery::OnProcessFailed(int kind, std::int64_t nowMs) {
    if (gaveUp_) return RecoveryAction::Ignore;
    switch (kind) {
        case RenderProcessExited:
            if (TakeSlot(reloads_, ReloadsPerWindow, nowMs)) return RecoveryAction::Reload;
            gaveUp_ = true;
            return RecoveryAction::GiveUp;
        case BrowserProcessExited:
            if (TakeSlot(restarts_, RestartsPerWindow, nowMs))
                return RecoveryAction::RestartBrowser;
            gaveUp_ = true;
            return RecoveryAction::GiveUp;
        case RenderProcessUnresponsive:
            // The control says so again and again while the page hangs: one
            // question at a time, and none within a minute of the last answer.
            if (asking_ || (answeredAt_ && nowMs - *answeredAt_ < WindowMs))
                return RecoveryAction::Ignore;
            asking_ = true;
            return RecoveryAction::AskToReload;
        default:
            return RecoveryAction::Ignore;
    }
}

void ProcessRecovery::Answered(std::int64_t nowMs) {
    asking_ = false;
    answeredAt_ = nowMs;
}
