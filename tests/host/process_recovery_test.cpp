#include "host/process_recovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int Answer = -1;  // not a kind: the player answers the question

struct Step {
    int kind;
    std::int64_t atMs;
    RecoveryAction expected;  // ignored for an answer
};

void Replay(const char* name, const std::vector<Step>& steps) {
    SCOPED_TRACE(name);
    ProcessRecovery recovery;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (step.kind == Answer) {
            recovery.Answered(step.atMs);
            continue;
        }
        EXPECT_EQ(recovery.OnProcessFailed(step.kind, step.atMs), step.expected)
            << "step " << i << ": kind " << step.kind << " at " << step.atMs << " ms";
    }
}

using A = RecoveryAction;
constexpr int Browser = BrowserProcessExited;
constexpr int Render = RenderProcessExited;
constexpr int Hang = RenderProcessUnresponsive;

TEST(ProcessRecovery, ReloadsThreeTimesInAnySixtySecondsThenGivesUp) {
    Replay("a fourth crash within the minute", {{Render, 0, A::Reload},
                                                {Render, 1000, A::Reload},
                                                {Render, 2000, A::Reload},
                                                {Render, 59999, A::GiveUp},
                                                {Render, 200000, A::Ignore},
                                                {Browser, 200000, A::Ignore}});
    // The window slides: a reload leaves it exactly sixty seconds later.
    Replay("spread out", {{Render, 0, A::Reload},
                          {Render, 30000, A::Reload},
                          {Render, 59000, A::Reload},
                          {Render, 60000, A::Reload},
                          {Render, 89999, A::GiveUp}});
    Replay("far apart", {{Render, 0, A::Reload},
                         {Render, 60000, A::Reload},
                         {Render, 120000, A::Reload},
                         {Render, 180000, A::Reload},
                         {Render, 240000, A::Reload}});
}

TEST(ProcessRecovery, RestartsTheBrowserOnceInAnySixtySeconds) {
    Replay("twice within the minute",
           {{Browser, 5000, A::RestartBrowser}, {Browser, 64999, A::GiveUp}});
    Replay("a minute apart", {{Browser, 5000, A::RestartBrowser},
                              {Browser, 65000, A::RestartBrowser},
                              {Browser, 125000, A::RestartBrowser}});
    // Reloads and restarts are counted apart.
    Replay("mixed", {{Render, 0, A::Reload},
                     {Render, 1, A::Reload},
                     {Render, 2, A::Reload},
                     {Browser, 3, A::RestartBrowser},
                     {Render, 4, A::GiveUp}});
}

TEST(ProcessRecovery, AsksAboutAHangOneQuestionAtATimeAndNotAgainWithinAMinute) {
    Replay("repeated while the question is open, then within a minute of the answer",
           {{Hang, 0, A::AskToReload},
            {Hang, 5000, A::Ignore},
            {Hang, 90000, A::Ignore},
            {Answer, 100000, A::Ignore},
            {Hang, 100001, A::Ignore},
            {Hang, 159999, A::Ignore},
            {Hang, 160000, A::AskToReload}});
    // A hang never counts against the reloads, nor ends the app.
    Replay("hangs and crashes", {{Hang, 0, A::AskToReload},
                                 {Answer, 10, A::Ignore},
                                 {Render, 20, A::Reload},
                                 {Render, 30, A::Reload},
                                 {Render, 40, A::Reload},
                                 {Hang, 70000, A::AskToReload}});
}

TEST(ProcessRecovery, OtherProcessesAreLeftToTheControl) {
    for (int kind : {3, 4, 5, 6, 7, 8, 9, 42, -7})
        Replay(DescribeProcessFailure(kind).c_str(), {{kind, 0, A::Ignore},
                                                      {kind, 1, A::Ignore},
                                                      {kind, 2, A::Ignore},
                                                      {kind, 3, A::Ignore},
                                                      {Render, 4, A::Reload}});
    EXPECT_EQ(DescribeProcessFailure(6), "GPU process exited");
    EXPECT_EQ(DescribeProcessFailure(9), "unknown process exited");
    // A kind this host does not know keeps its number for the log.
    EXPECT_EQ(DescribeProcessFailure(10), "process kind 10 exited");
    EXPECT_EQ(DescribeProcessFailure(42), "process kind 42 exited");
    EXPECT_EQ(DescribeProcessFailure(-7), "process kind -7 exited");
}

}  // namespace
