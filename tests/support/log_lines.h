// The one reader of the diagnostics log for every test, Windows and Linux
// alike: its lines without their timestamps.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Each whole line of a log's text without the "2026-12-09T07:31:04.123Z "
// that begins it; a line without one is given with "?" in front, so a test
// that expects a text sees the missing stamp.
constexpr size_t LogStampLength = 25;
inline bool IsStamped(const std::string& line) {
    return line.size() >= LogStampLength && line[4] == '-' && line[10] == 'T' && line[23] == 'Z' &&
           line[24] == ' ';
}

inline std::vector<std::string> LogEventsOf(const std::string& text) {
    std::vector<std::string> events;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = text.substr(start, end - start);
        events.push_back(IsStamped(line) ? line.substr(LogStampLength) : "?" + line);
    }
    return events;
}

// The events of the log file at path (a std::string, or on Windows a
// std::wstring); none when there is no such file.
template <typename Path>
std::vector<std::string> ReadLogEvents(const Path& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return LogEventsOf(std::string(std::istreambuf_iterator<char>(file), {}));
}

// Milliseconds by the log's own stamps (within one day) from the first event
// that starts with from to the last that starts with to; -1 without both.
// The program's own clock, so a busy machine's slow starts don't count.
template <typename Path>
long long LogMsBetween(const Path& path, const std::string& from, const std::string& to) {
    std::ifstream file(path.c_str(), std::ios::binary);
    long long start = -1, end = -1;
    for (std::string line; std::getline(file, line);) {
        if (!IsStamped(line)) continue;
        const long long at = std::stoll(line.substr(11, 2)) * 3600000 +
                             std::stoll(line.substr(14, 2)) * 60000 +
                             std::stoll(line.substr(17, 2)) * 1000 + std::stoll(line.substr(20, 3));
        if (start < 0 && line.compare(LogStampLength, from.size(), from) == 0) start = at;
        if (line.compare(LogStampLength, to.size(), to) == 0) end = at;
    }
    return start < 0 || end < 0 ? -1 : end - start;
}
