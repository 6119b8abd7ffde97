// One instance per app across real processes: the lock, the present request
// through the socket, and a lock whose holder was killed.
#include "platform/single_instance.h"
#include "platform/posix/single_instance.h"

#include <gtest/gtest.h>

#include <functional>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "tests/server/content_folder.h"

namespace {

// What a second start does: 0 when it told the running instance, 2 when it
// got the lock itself, 3 when it found the lock held but reached nobody.
int SecondStart(const std::wstring& folder) {
    InstanceLock lock;
    std::string problem;
    if (lock.Claim(folder, problem)) return 2;
    return AskRunningInstanceToPresent(folder, 1000) ? 0 : 3;
}

// Killed while it holds the lock, as a crash would end it.
int HoldAndDie(const std::wstring& folder) {
    InstanceLock dying;
    std::string problem;
    if (dying.Claim(folder, problem)) kill(getpid(), SIGKILL);
    return 1;
}

// Runs body in a child process; its exit status. While the child runs this
// process answers present requests on listener (when there is one).
int InChild(const std::function<int()>& body, int listener, int* presented) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        pollfd waiting{listener, POLLIN, 0};
        if (listener >= 0 && poll(&waiting, 1, 20) > 0 && TakePresentRequest(listener))
            ++*presented;
        else if (listener < 0)
            usleep(20000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SingleInstance, SecondStartAsksTheFirstAndAStaleLockNeverBlocks) {
    ContentFolder content;
    // The long name's socket path is past what a socket address holds.
    for (const std::wstring& name : {std::wstring(L"game"), std::wstring(200, L'x')}) {
        SCOPED_TRACE(name.size());
        const std::wstring folder = content.HostPath(L"../" + name);
        int presented = 0;
        {
            InstanceLock first;
            std::string problem;
            ASSERT_TRUE(first.Claim(folder, problem));
            EXPECT_EQ(problem, "");
            ASSERT_GE(first.PresentListener(), 0);
            EXPECT_EQ(InChild([&] { return SecondStart(folder); },
                              static_cast<int>(first.PresentListener()), &presented),
                      0);
            EXPECT_EQ(presented, 1);
            // Another app's folder is another lock.
            EXPECT_EQ(
                InChild([&] { return SecondStart(content.HostPath(L"../other")); }, -1, &presented),
                2);
        }
        // Released with its owner: the next start is the first again.
        EXPECT_EQ(InChild([&] { return SecondStart(folder); }, -1, &presented), 2);

        // Killed while holding the lock, its socket file left behind.
        EXPECT_EQ(InChild([&] { return HoldAndDie(folder); }, -1, &presented), 128 + SIGKILL);
        InstanceLock next;
        std::string problem;
        EXPECT_TRUE(next.Claim(folder, problem));
        EXPECT_TRUE(next.Held());
        EXPECT_EQ(problem, "");
        EXPECT_EQ(InChild([&] { return SecondStart(folder); },
                          static_cast<int>(next.PresentListener()), &presented),
                  0);
        EXPECT_EQ(presented, 2);
    }
}

}  // namespace
