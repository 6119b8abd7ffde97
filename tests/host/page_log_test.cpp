#include "host/page_log.h"

#include <gtest/gtest.h>

#include "platform/diagnostics_log.h"
#include "platform/files.h"
#include "tests/server/content_folder.h"
#include "tests/support/log_lines.h"

namespace {

std::int64_t nowMs = 0;
std::int64_t TestClock() {
    return nowMs;
}

using Lines = std::vector<std::string>;

std::wstring Message(const std::wstring& level, const std::wstring& text) {
    return L"{\"type\":\"page-log\",\"level\":\"" + level + L"\",\"text\":\"" + text + L"\"}";
}

// A page log with a diagnostics log of its own; Take gives the lines since the last call.
struct Logged {
    explicit Logged(PageLogMode mode) : page(mode, &log, &TestClock) {
        log.Open(folder.HostPath(L"../data"));
        nowMs = 0;
    }
    Lines Take() {
        const Lines all = LogEventsOf(ReadWholeFile(log.path()));
        const Lines fresh(all.begin() + static_cast<long>(seen), all.end());
        seen = all.size();
        return fresh;
    }
    ContentFolder folder;
    DiagnosticsLog log;
    PageLog page;
    size_t seen = 0;
};

TEST(PageLog, EachMessageIsOneBoundedLineByLevelAndMode) {
    const std::wstring pair = {0xD83C, 0xDFEE};  // one character outside the BMP
    const std::string cut = "\xE2\x80\xA6", x998(998, 'x');
    const std::wstring w998(998, L'x');
    constexpr auto Errors = PageLogMode::Errors, All = PageLogMode::All, Off = PageLogMode::Off;
    const struct {
        PageLogMode mode;
        std::wstring message;
        bool taken;
        Lines lines;
    } cases[] = {
        {Errors, Message(L"error", L"E at /a.js:1:2"), true, {"page error: E at /a.js:1:2"}},
        {Errors, Message(L"warning", L"w"), true, {"page warning: w"}},
        {Errors, Message(L"info", L"i"), true, {}},
        {All, Message(L"info", L"i"), true, {"page info: i"}},
        {Off, Message(L"error", L"e"), true, {}},
        {All, Message(L"debug", L"d"), true, {}},
        {All, LR"({"type":"close"})", false, {}},
        {Errors, Message(L"error", std::wstring(1500, L'x')), true, {"page error: x" + x998 + cut}},
        {Errors, Message(L"error", w998 + pair + L"yz"), true, {"page error: " + x998 + cut}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.lines));
        Logged logged(c.mode);
        EXPECT_EQ(logged.page.OnPageMessage(c.message), c.taken);
        EXPECT_EQ(logged.Take(), c.lines);
    }
    EXPECT_EQ(PageLogModeNamed(L"errors"), PageLogMode::Errors);
    EXPECT_EQ(PageLogModeNamed(L"all"), PageLogMode::All);
    EXPECT_EQ(PageLogModeNamed(L"off"), PageLogMode::Off);
    EXPECT_FALSE(PageLogModeNamed(L"Errors"));
}

TEST(PageLog, AtMostALimitOfLinesAMinuteAndThenHowManyWereLeftOut) {
    Logged logged(PageLogMode::Errors);
    for (int i = 0; i < PageLogLineLimit + 5; ++i)
        logged.page.OnPageMessage(Message(L"error", L"e"));
    EXPECT_EQ(logged.Take().size(), static_cast<size_t>(PageLogLineLimit));
    // The page's own count waits while this window is full, then adds up.
    nowMs = PageLogWindowMs - 1;
    logged.page.OnPageMessage(LR"({"type":"page-log","dropped":7})");
    EXPECT_EQ(logged.Take(), Lines{});
    nowMs = PageLogWindowMs;
    logged.page.OnPageMessage(Message(L"warning", L"next"));
    EXPECT_EQ(logged.Take(),
              (Lines{"page: 12 lines left out (at most 100 a minute)", "page warning: next"}));
    // With room, the page's count is told at once; a count past belief is cut.
    logged.page.OnPageMessage(LR"({"type":"page-log","dropped":18446744073709551615})");
    EXPECT_EQ(logged.Take(), Lines{"page: 1000000000000 lines left out (at most 100 a minute)"});
    for (int i = 0; i < PageLogLineLimit; ++i) logged.page.OnPageMessage(Message(L"error", L"e"));
    logged.Take();
    logged.page.Flush();
    EXPECT_EQ(logged.Take(), Lines{"page: 2 lines left out (at most 100 a minute)"});
}

}  // namespace
