#include "platform/diagnostics_log.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "platform/text.h"
#include "platform/files.h"

namespace {

// Days since 1970-01-01 to a civil date in the proleptic Gregorian calendar
// (the well-known era algorithm), so no C time function with its shared
// static buffer or locale is involved.
void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

// Control characters would break the one-event-one-line rule; a path from
// the page may hold any of them.
std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::int64_t SystemWallClock() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string FormatUtcTimestamp(std::int64_t millisecondsSinceEpoch) {
    const std::int64_t days = FloorDivide(millisecondsSinceEpoch, 86400000);
    const std::int64_t inDay = millisecondsSinceEpoch - days * 86400000;
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02u.%03uZ",
                  static_cast<long long>(year), month, day, static_cast<unsigned>(inDay / 3600000),
                  static_cast<unsigned>(inDay / 60000 % 60),
                  static_cast<unsigned>(inDay / 1000 % 60), static_cast<unsigned>(inDay % 1000));
    return text;
}

std::string HexCode(std::uint32_t code) {
    char text[12];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

void DiagnosticsLog::Open(const std::wstring& folder) {
    if (open_) return;
    // Held lines are written now or never.
    holding_ = false;
    std::vector<std::string> held = std::move(held_);
    std::wstring bare = folder;
    if (!bare.empty() && bare.back() == L'\\') bare.pop_back();
    if (bare.empty() || !CreateFolder(bare)) return;
    path_ = bare + L'\\' + FileName;
    oldPath_ = bare + L'\\' + OldFileName;
    const FileStatus status = QueryFileStatus(path_);
    size_ = status.exists ? status.size : 0;
    open_ = true;
    for (const std::string& line : held)
        if (!failed_) Append(line);
}

void DiagnosticsLog::Write(std::string_view text) {
    if (!(open_ || holding_) || failed_) return;
    std::string line = FormatUtcTimestamp(clock_()) + " " + EscapeControls(text) + "\n";
    if (open_)
        Append(line);
    else
        held_.push_back(std::move(line));
}

void DiagnosticsLog::Write(std::wstring_view text) {
    if (!(open_ || holding_) || failed_) return;
    Write(WideToUtf8(std::wstring(text)));
}

void DiagnosticsLog::NotFound(std::wstring_view decodedPath) {
    if (!open_ || failed_ || notFound_.size() >= NotFoundLimit) return;
    // A broken page may ask for the same file every frame.
    if (notFound_.count(decodedPath)) return;
    notFound_.insert(notFoundPaths_.emplace_back(decodedPath));
    std::string line = "404 " + WideToUtf8(notFoundPaths_.back());
    if (notFound_.size() == NotFoundLimit)
        line += " (the last 404 logged this run: " + std::to_string(NotFoundLimit) + " paths)";
    Write(line);
}

void DiagnosticsLog::Append(const std::string& line) {
    if (size_ > 0 && size_ + line.size() > RotationSize) {
        // Without the move the file would only grow; better to stop here.
        if (!MoveFileReplacing(path_, oldPath_)) {
            failed_ = true;
            return;
        }
        size_ = 0;
    }
    if (!AppendToFile(path_, line)) {
        failed_ = true;
        return;
    }
    size_ += line.size();
}

std::string ErrorText(std::int32_t code) {
    return "error " + HexCode(static_cast<std::uint32_t>(code));
}

void LogIfFailed(DiagnosticsLog* log, const char* call, std::int32_t result) {
    if (result >= 0 || !log) return;
    log->Write(std::string("failed: ") + call + " (" + ErrorText(result) + ")");
}

std::string Quoted(const std::wstring& text) {
    return "\"" + WideToUtf8(text) + "\"";
}
