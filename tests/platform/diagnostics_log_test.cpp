#include "platform/diagnostics_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "platform/files.h"
#include "tests/server/content_folder.h"
#include "tests/support/log_lines.h"

// Every allocation through operator new on this thread while counting is on,
// for the test that a repeated 404 allocates nothing. Never inlined: the
// compiler would see free() meet a pointer from operator new.
namespace {
thread_local bool countingAllocations = false;
thread_local long allocations = 0;
}  // namespace

__attribute__((noinline)) void* operator new(std::size_t size) {
    if (countingAllocations) ++allocations;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* block) noexcept {
    std::free(block);
}
__attribute__((noinline)) void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

std::int64_t FixedClock() {
    return 1796794264123;  // 2026-12-09T05:31:04.123Z
}

std::string Stamp() {
    return "2026-12-09T05:31:04.123Z ";
}

// A folder for the log beside the temporary app folder's www.
struct LogFolder {
    ContentFolder content;
    std::wstring folder = content.HostPath(L"../User Data");
    std::wstring file(const wchar_t* name) const { return folder + L"\\" + name; }
};

TEST(DiagnosticsLog, TimestampsAreUtcWithMilliseconds) {
    const struct {
        std::int64_t ms;
        const char* text;
    } cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
        {951786123004, "2000-02-29T01:02:03.004Z"},
        {1796794264123, "2026-12-09T05:31:04.123Z"},
        {253402300799999, "9999-12-31T23:59:59.999Z"},
        {-62135596800000, "0001-01-01T00:00:00.000Z"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatUtcTimestamp(c.ms), c.text) << c.ms;
}

TEST(DiagnosticsLog, WritesOneStampedLinePerEventIntoAFolderItCreates) {
    LogFolder logs;
    EXPECT_FALSE(QueryFileStatus(logs.folder).exists);
    DiagnosticsLog log(&FixedClock);
    log.Write("before open: never written");
    log.Open(logs.folder + L"\\");
    ASSERT_TRUE(log.IsOpen());
    log.Write("start version=1.2.3.4");
    log.Write(std::wstring(L"manifest name=\x00FC\x4E2D mode=fixed"));
    log.Write("a line\r\nwith breaks\tand\x7F controls");
    EXPECT_FALSE(log.Failed());
    EXPECT_EQ(ReadWholeFile(logs.file(DiagnosticsLog::FileName)),
              Stamp() + "start version=1.2.3.4\n" + Stamp() +
                  "manifest name=\xC3\xBC\xE4\xB8\xAD mode=fixed\n" + Stamp() +
                  "a line\\x0D\\x0Awith breaks\\x09and\\x7F controls\n");

    // A second run appends to what the first left, lines it held first.
    DiagnosticsLog again(&FixedClock);
    again.HoldUntilOpen();
    again.Write("held until open");
    again.Open(logs.folder);
    again.Write("second run");
    const auto lines = LogEventsOf(ReadWholeFile(logs.file(DiagnosticsLog::FileName)));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "held until open");
}

TEST(DiagnosticsLog, LogsTheFirstHundredDistinctMissingPathsOnly) {
    LogFolder logs;
    DiagnosticsLog log(&FixedClock);
    log.Open(logs.folder);
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 120; ++i) log.NotFound(L"img/missing-" + std::to_wstring(i) + L".png");
    const auto lines = LogEventsOf(ReadWholeFile(logs.file(DiagnosticsLog::FileName)));
    ASSERT_EQ(lines.size(), DiagnosticsLog::NotFoundLimit);
    EXPECT_EQ(lines[0], "404 img/missing-0.png");
    EXPECT_EQ(lines[98], "404 img/missing-98.png");
    EXPECT_EQ(lines[99], "404 img/missing-99.png (the last 404 logged this run: 100 paths)");
}

TEST(DiagnosticsLog, AMissingPathHeardBeforeCostsNoAllocation) {
    LogFolder logs;
    DiagnosticsLog log(&FixedClock);
    log.Open(logs.folder);
    // Too long for any string's inner buffer.
    const std::wstring path = L"levels/forest/textures/a-texture-the-page-asks-for-every-frame.png";
    log.NotFound(path);
    countingAllocations = true;
    for (int frame = 0; frame < 60; ++frame) log.NotFound(path);
    countingAllocations = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(LogEventsOf(ReadWholeFile(logs.file(DiagnosticsLog::FileName))).size(), 1u);
}

TEST(DiagnosticsLog, LogIfFailedWritesOnlyFailures) {
    LogFolder logs;
    DiagnosticsLog log(&FixedClock);
    log.Open(logs.folder);
    LogIfFailed(&log, "put_Bounds", 0);
    LogIfFailed(&log, "put_IsVisible", 1);  // S_FALSE is no failure
    LogIfFailed(&log, "put_Cancel", static_cast<std::int32_t>(0x80070005u));
    LogIfFailed(nullptr, "MoveFocus", static_cast<std::int32_t>(0x80004005u));
    EXPECT_EQ(ReadWholeFile(logs.file(DiagnosticsLog::FileName)),
              Stamp() + "failed: put_Cancel (error 0x80070005)\n");
}

TEST(DiagnosticsLog, MovesAFullFileAsideBeforeItWouldPassOneMebibyte) {
    LogFolder logs;
    ASSERT_TRUE(CreateFolder(logs.folder));
    const std::wstring current = logs.file(DiagnosticsLog::FileName);
    const std::wstring old = logs.file(DiagnosticsLog::OldFileName);
    const std::string line = "a line of exactly thirty bytes";  // stamp and LF added
    const size_t written = Stamp().size() + line.size() + 1;
    // Room for exactly one more line: it still goes into the same file.
    const std::string filler(DiagnosticsLog::RotationSize - written, 'f');
    ASSERT_TRUE(AppendToFile(current, filler));
    ASSERT_TRUE(AppendToFile(old, "an older old log\n"));

    DiagnosticsLog log(&FixedClock);
    log.Open(logs.folder);
    log.Write(line);
    EXPECT_EQ(QueryFileStatus(current).size, DiagnosticsLog::RotationSize);
    EXPECT_EQ(ReadWholeFile(old), "an older old log\n");

    // The next one would pass the limit: the full file replaces the old one.
    log.Write("the first line of the new file");
    EXPECT_FALSE(log.Failed());
    EXPECT_EQ(QueryFileStatus(old).size, DiagnosticsLog::RotationSize);
    EXPECT_EQ(ReadWholeFile(old).substr(0, 4), "ffff");
    EXPECT_EQ(ReadWholeFile(current), Stamp() + "the first line of the new file\n");
}

TEST(DiagnosticsLog, ALogThatCannotBeWrittenIsLeftAloneWithoutFailingTheCaller) {
    {
        // The folder's parent is missing: the log never opens.
        LogFolder logs;
        DiagnosticsLog log(&FixedClock);
        log.Open(logs.folder + L"\\no\\such\\folder");
        EXPECT_FALSE(log.IsOpen());
        log.Write("nothing");
        log.NotFound(L"x.png");
        EXPECT_FALSE(log.Failed());
        EXPECT_FALSE(QueryFileStatus(logs.folder).exists);
    }
    {
        // A folder stands where the file should be: every write fails, the
        // first failure ends the attempts.
        LogFolder logs;
        ASSERT_TRUE(CreateFolder(logs.folder));
        ASSERT_TRUE(CreateFolder(logs.file(DiagnosticsLog::FileName)));
        DiagnosticsLog log(&FixedClock);
        log.Open(logs.folder);
        EXPECT_TRUE(log.IsOpen());
        log.Write("lost");
        EXPECT_TRUE(log.Failed());
        log.NotFound(L"x.png");
        log.Write("lost too");
        EXPECT_FALSE(QueryFileStatus(logs.file(DiagnosticsLog::OldFileName)).exists);
    }
}

}  // namespace
