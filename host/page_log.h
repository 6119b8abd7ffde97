// The page's own errors in the diagnostics log. The page's error script (see
// PageLogScript) posts each as a page message, a string like every other:
//   {"type":"page-log","level":"error","text":"uncaught TypeError: ... at js/game.js:12:7"}
// with level "error" (uncaught errors, unhandled rejections, failed loads,
// console.error), "warning" (console.warn) or "info" (console.log and
// console.info, in mode "all" only), and, after it has left lines out to
// keep its bound,
//   {"type":"page-log","dropped":N}
// The page can post anything, so the bounds are kept here again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class DiagnosticsLog;

// The manifest's settings.page-log.
enum class PageLogMode {
    Off,     // no script, no lines
    Errors,  // errors, rejections, failed loads, console.error and console.warn
    All,     // also console.log and console.info
};

// "off", "errors" or "all"; nothing for any other text.
std::optional<PageLogMode> PageLogModeNamed(std::wstring_view name);

// One line's text at most, in UTF-16 units, its cut mark included: a page
// that logs a whole level's data must not fill the log.
constexpr std::size_t PageLogTextLimit = 1000;
// Lines in any one window; past them the lines are counted, not written,
// and one line says how many were left out once the window has passed.
constexpr int PageLogLineLimit = 100;
constexpr int PageLogWindowMs = 60 * 1000;

// text cut to PageLogTextLimit units, never inside a surrogate pair, ending
// with "…" when something was cut.
std::wstring BoundedPageText(std::wstring text);

// What the page's error script posts, written to the diagnostics log as
// "page error: TEXT", "page warning: TEXT" or "page info: TEXT", and
// "page: N lines left out (at most 100 a minute)". The session owns one and
// hands it the app's own messages. UI thread only.
class PageLog {
public:
    // log may be null; clock gives milliseconds of a steady clock.
    PageLog(PageLogMode mode, DiagnosticsLog* log, std::int64_t (*clock)());

    // Whether text is a "page-log" message. One is written, or counted as
    // left out, here; the caller has nothing more to do with it.
    bool OnPageMessage(const std::wstring& text);
    // Writes the line of what was left out, if anything was; for quitting,
    // when no later message will.
    void Flush();

private:
    void Write(const std::string& line);
    void Drop(std::int64_t count);

    const PageLogMode mode_;
    DiagnosticsLog* const log_;
    std::int64_t (*const clock_)();
    std::optional<std::int64_t> windowStart_;
    int written_ = 0;           // lines of this window
    std::int64_t dropped_ = 0;  // by the page or here, not told yet
};
