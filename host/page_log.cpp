#include "host/page_log.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/diagnostics_log.h"
#include "platform/json_lookup.h"
#include "platform/text.h"

std::optional<PageLogMode> PageLogModeNamed(std::wstring_view name) {
    if (name == L"off") return PageLogMode::Off;
    if (name == L"errors") return PageLogMode::Errors;
    if (name == L"all") return PageLogMode::All;
    return std::nullopt;
}

std::wstring BoundedPageText(std::wstring text) {
    if (text.size() <= PageLogTextLimit) return text;
    size_t keep = PageLogTextLimit - 1;
    // A pair cut in two would be written as a replacement character.
    if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
    text.resize(keep);
    return text + L"\x2026";
}

namespace {

// A page's count is believed only this far: a sum that can't overflow.
constexpr std::int64_t DropCountLimit = 1'000'000'000'000;

}  // namespace

PageLog::PageLog(PageLogMode mode, DiagnosticsLog* log, std::int64_t (*clock)())
    : mode_(mode), log_(log), clock_(clock) {}

bool PageLog::OnPageMessage(const std::wstring& text) {
    // Every page message passes here first: a large one of another kind (a
    // save) is not parsed twice.
    if (text.find(L"page-log") == std::wstring::npos) return false;
    // Read as ReadPageMessage reads: up to the first NUL, strictly.
    const nlohmann::json message = nlohmann::json::parse(WideToUtf8(text).c_str(), nullptr, false);
    if (GetStringOr(message, "type", std::wstring()) != L"page-log") return false;
    if (mode_ == PageLogMode::Off) return true;

    const std::int64_t now = clock_();
    if (windowStart_ && now - *windowStart_ >= PageLogWindowMs) {
        Flush();
        windowStart_.reset();
    }
    if (!windowStart_) {
        windowStart_ = now;
        written_ = 0;
    }

    const auto dropped = message.find("dropped");
    if (dropped != message.end()) {
        // What the page left out is told at once while this window has room.
        if (dropped->is_number_unsigned())
            Drop(static_cast<std::int64_t>(
                std::min<std::uint64_t>(dropped->get<std::uint64_t>(), DropCountLimit)));
        if (dropped_ > 0 && written_ < PageLogLineLimit) {
            ++written_;
            Flush();
        }
        return true;
    }

    const std::wstring level = GetStringOr(message, "level", std::wstring());
    const auto body = message.find("text");
    const bool known =
        level == L"error" || level == L"warning" || (level == L"info" && mode_ == PageLogMode::All);
    if (!known || body == message.end() || !body->is_string()) return true;
    if (written_ >= PageLogLineLimit) {
        Drop(1);
        return true;
    }
    ++written_;
    Write("page " + WideToUtf8(level) + ": " +
          WideToUtf8(BoundedPageText(GetStringOr(message, "text", std::wstring()))));
    return true;
}

void PageLog::Flush() {
    if (dropped_ == 0) return;
    Write("page: " + std::to_string(dropped_) + (dropped_ == 1 ? " line" : " lines") +
          " left out (at most " + std::to_string(PageLogLineLimit) + " a minute)");
    dropped_ = 0;
}

void PageLog::Write(const std::string& line) {
    if (log_) log_->Write(line);
}

void PageLog::Drop(std::int64_t count) {
    dropped_ = std::min<std::int64_t>(dropped_ + count, DropCountLimit);
}
