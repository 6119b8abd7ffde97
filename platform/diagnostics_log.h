// The diagnostics log: "Lanternshell.log" in the app's user data folder,
// UTF-8, one line per event, each starting with a UTC timestamp. It is what an
// author gets from a player whose game misbehaved, so it must never be the
// reason the game misbehaves: nothing here fails its caller, and a log that
// can't be written is simply left alone for the rest of the run.
//
// One log per process, owned by the startup sequence and handed to whoever
// reports events. UI thread only: nothing here is locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Milliseconds since 1970-01-01 00:00 UTC.
using WallClock = std::int64_t (*)();
std::int64_t SystemWallClock();

// "2026-12-09T07:31:04.123Z". Times before 1970 are fine too.
std::string FormatUtcTimestamp(std::int64_t millisecondsSinceEpoch);

// An HRESULT or other 32-bit code as "0x8007000E".
std::string HexCode(std::uint32_t code);
// A failure code as the log and the boxes give it: "error 0x80070005".
std::string ErrorText(std::int32_t code);

class DiagnosticsLog {
public:
    static constexpr const wchar_t* FileName = L"Lanternshell.log";
    static constexpr const wchar_t* OldFileName = L"Lanternshell.old.log";
    // A line that would take the file past this size first moves the file to
    // OldFileName (replacing an older one) and starts a new one.
    static constexpr std::uint64_t RotationSize = 1024 * 1024;
    // Distinct 404 paths logged in one run; a broken page asking for the same
    // missing file every frame must not flood the file.
    static constexpr std::size_t NotFoundLimit = 100;

    // Writes nothing until Open (see HoldUntilOpen).
    explicit DiagnosticsLog(WallClock clock = &SystemWallClock) : clock_(clock) {}
    DiagnosticsLog(const DiagnosticsLog&) = delete;
    DiagnosticsLog& operator=(const DiagnosticsLog&) = delete;

    // Starts writing to FileName in folder (with or without its trailing
    // backslash), which is created when missing; its parent must exist. When
    // the folder can't be made the log stays closed.
    void Open(const std::wstring& folder);
    bool IsOpen() const { return open_; }
    // Lines written from now until Open are kept, stamped when written, and
    // written first when it opens; a log that never opens drops them. For
    // what happens before the run may touch the log's folder.
    void HoldUntilOpen() { holding_ = true; }
    // The log was open and a write or the rotation failed: nothing more is
    // written this run.
    bool Failed() const { return failed_; }

    // One line: the timestamp, a space and text (UTF-8). Line breaks and other
    // control characters are written as \xNN, so one event is one line.
    void Write(std::string_view text);
    void Write(std::wstring_view text);

    // A request answered with 404, by its decoded path without the query.
    // Only the first NotFoundLimit distinct paths are written; a path heard
    // before costs a lookup and no allocation.
    void NotFound(std::wstring_view decodedPath);

    const std::wstring& path() const { return path_; }

private:
    void Append(const std::string& line);

    WallClock clock_;
    std::wstring path_;
    std::wstring oldPath_;
    std::uint64_t size_ = 0;
    bool open_ = false;
    bool failed_ = false;
    bool holding_ = false;
    std::vector<std::string> held_;
    // The 404 paths logged so far: the texts, and a set of views of them
    // that a path is looked up in without being copied. A deque never moves
    // what it holds, so the views stay valid.
    std::deque<std::wstring> notFoundPaths_;
    std::unordered_set<std::wstring_view> notFound_;
};

// text in double quotes, for naming a file or a value in a line.
std::string Quoted(const std::wstring& text);

// A call whose failure its caller survives: a failed result (an HRESULT or
// any code that is negative on failure) is written as "failed: CALL (error
// 0x80070005)". Success, or no log, writes nothing.
void LogIfFailed(DiagnosticsLog* log, const char* call, std::int32_t result);
