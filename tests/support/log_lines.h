// The diagnostics log's lines without their timestamps, for the Windows and
// the Linux tests alike.
#pragma once

#include <string>
#include <vector>

// Each whole line of a log's text without the "2026-12-09T07:31:04.123Z "
// that begins it; a line without one is given with "?" in front, so a test
// that expects a text sees the missing stamp.
inline std::vector<std::string> LogEventsOf(const std::string& text) {
    constexpr size_t StampLength = 25;
    std::vector<std::string> events;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const bool stamped = line.size() >= StampLength && line[4] == '-' && line[10] == 'T' &&
                             line[23] == 'Z' && line[24] == ' ';
        events.push_back(stamped ? line.substr(StampLength) : "?" + line);
    }
    return events;
}
