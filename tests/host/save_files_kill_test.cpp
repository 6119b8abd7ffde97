// A writer killed at every step of a durable write leaves the old save or the
// new one, whole.
#include "host/save_files.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "tests/server/content_folder.h"

namespace {

// Stops the writer at its stepth step and tells the test, which kills it.
struct Stop {
    int step = 0;
    int seen = 0;
    int pipe = -1;
};

void AtStep(void* context) {
    auto* stop = static_cast<Stop*>(context);
    if (++stop->seen != stop->step) return;
    const char stopped = 's';
    if (write(stop->pipe, &stopped, 1) == 1) pause();
}

TEST(SaveFiles, AWriterKilledAtAnyStepLeavesTheOldOrTheNewVersion) {
    ContentFolder content;
    SaveStore store(content.HostPath(L"../saves"), false, nullptr);
    const std::wstring path = content.HostPath(L"../saves/slot");
    // Several mebibytes, so the writer also stops between parts of the data.
    const std::string old = Pattern(2 << 20, 1), fresh = Pattern(3 << 20, 2);
    bool replaced = false, finished = false;
    for (int step = 1; !finished; ++step) {
        SCOPED_TRACE("stopped at step " + std::to_string(step));
        ASSERT_LT(step, 20) << "the writer never finished";
        ASSERT_TRUE(store.Answer({"saves.write", 1, {{"name", "slot"}, {"text", old}}}).ok);
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            close(pipe[0]);
            Stop stop{step, 0, pipe[1]};
            DurableWriteOptions options{path + L".bak", &AtStep, &stop};
            std::string failure;
            _exit(WriteFileDurably(path, fresh, options, failure) ? 0 : 1);
        }
        close(pipe[1]);
        char stopped = 0;
        const bool killed = read(pipe[0], &stopped, 1) == 1;
        close(pipe[0]);
        if (killed) kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        ASSERT_EQ(killed, WIFSIGNALED(status));

        const auto read = store.Answer({"saves.read", 2, {{"name", "slot"}}});
        ASSERT_TRUE(read.value.is_string()) << read.error;
        const std::string found = read.value.get<std::string>();
        EXPECT_TRUE(found == old || found == fresh) << found.size() << " bytes";
        EXPECT_TRUE(!replaced || found == fresh) << "once new, never old again";
        replaced = found == fresh;
        finished = !killed;
    }
    EXPECT_TRUE(replaced) << "the writer that ran to its end replaced the save";
}

}  // namespace
