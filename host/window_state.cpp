#include "host/window_state.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "platform/diagnostics_log.h"
#include "platform/dpi.h"
#include "platform/files.h"

namespace {

std::wstring FileIn(const std::wstring& dataFolder) {
    std::wstring path = dataFolder;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + WindowStateFileName;
}

// The integer member key within [low, high]; false, with reason, otherwise.
bool ReadInteger(const nlohmann::json& object, const char* key, int low, int high, int& value,
                 std::string& reason) {
    const auto member = object.find(key);
    if (member == object.end()) {
        reason = std::string("no \"") + key + "\"";
        return false;
    }
    // Integers only: 1.5 or 1e3 is not something the host writes.
    if (!member->is_number_integer()) {
        reason = std::string("\"") + key + "\" is not an integer";
        return false;
    }
    // An unsigned number past the signed 64-bit range would read as negative.
    const bool huge = member->is_number_unsigned() && member->get<std::uint64_t>() > INT64_MAX;
    const auto number = member->get<std::int64_t>();
    if (huge || number < low || number > high) {
        reason = std::string("\"") + key + "\" is out of bounds";
        return false;
    }
    value = member->get<int>();
    return true;
}

bool ReadBoolean(const nlohmann::json& object, const char* key, bool& value, std::string& reason) {
    const auto member = object.find(key);
    if (member == object.end() || !member->is_boolean()) {
        reason = std::string("\"") + key + "\" is missing or not true or false";
        return false;
    }
    value = member->get<bool>();
    return true;
}

// Length of the overlap of [a0, a1) and [b0, b1); in 64 bits, so corners far
// out never overflow.
std::int64_t Overlap(std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1) {
    return std::max<std::int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
}

int ScaledClient(int logical, float scale) {
    return ClampClientSize(ScaleLogicalPixels(logical, scale));
}

}  // namespace

// Written by hand: the JSON library's writer would double the executable's
// growth for six numbers and flags.
std::string FormatWindowRecord(const WindowRecord& record) {
    const auto flag = [](bool value) { return value ? "true" : "false"; };
    return "{\"x\":" + std::to_string(record.x) + ",\"y\":" + std::to_string(record.y) +
           ",\"width\":" + std::to_string(record.width) +
           ",\"height\":" + std::to_string(record.height) +
           ",\"maximized\":" + flag(record.maximized) +
           ",\"fullscreen\":" + flag(record.fullscreen) + "}\n";
}

std::optional<WindowRecord> ParseWindowRecord(const std::string& text, std::string& reason) {
    // No exceptions: a broken file is an everyday event, not an error.
    // As a C string, like the manifest: one reader in the executable.
    const nlohmann::json document = nlohmann::json::parse(text.c_str(), nullptr, false);
    if (document.is_discarded()) {
        reason = "not valid JSON (cut short or corrupt)";
        return std::nullopt;
    }
    if (!document.is_object()) {
        reason = "not a JSON object";
        return std::nullopt;
    }
    WindowRecord record;
    if (!ReadInteger(document, "x", -MaxWindowCoordinate, MaxWindowCoordinate, record.x, reason) ||
        !ReadInteger(document, "y", -MaxWindowCoordinate, MaxWindowCoordinate, record.y, reason) ||
        !ReadInteger(document, "width", MinClientSize, MaxClientSize, record.width, reason) ||
        !ReadInteger(document, "height", MinClientSize, MaxClientSize, record.height, reason) ||
        !ReadBoolean(document, "maximized", record.maximized, reason) ||
        !ReadBoolean(document, "fullscreen", record.fullscreen, reason))
        return std::nullopt;
    return record;
}

std::optional<WindowRecord> LoadWindowRecord(const std::wstring& dataFolder, std::string& reason) {
    reason.clear();
    std::string text;
    std::optional<WindowRecord> record;
    switch (ReadWholeFile(FileIn(dataFolder), WindowStateMaxBytes, text)) {
        case FileReadResult::Missing:
            return std::nullopt;
        case FileReadResult::TooLarge:
            reason = "larger than " + std::to_string(WindowStateMaxBytes) + " bytes";
            break;
        case FileReadResult::Unreadable:
            reason = "it can't be read";
            break;
        case FileReadResult::Read:
            record = ParseWindowRecord(text, reason);
            break;
    }
    return record;
}

bool SaveWindowRecord(const std::wstring& dataFolder, const WindowRecord& record) {
    return WriteFileReplacing(FileIn(dataFolder), FormatWindowRecord(record));
}

PlacementDecision DecidePlacement(const std::optional<WindowRecord>& saved,
                                  const std::vector<MonitorArea>& monitors, int manifestWidth,
                                  int manifestHeight, bool resizable) {
    PlacementDecision decision;
    if (!saved) {
        decision.note = "no saved window";
        return decision;
    }
    // A window that can't be resized always has the manifest's size, so that
    // is the rectangle that has to fit.
    const int width = resizable ? saved->width : manifestWidth;
    const int height = resizable ? saved->height : manifestHeight;
    const MonitorArea* chosen = nullptr;
    std::int64_t chosenArea = 0;
    for (const MonitorArea& monitor : monitors) {
        const std::int64_t w = ScaledClient(width, monitor.scale);
        const std::int64_t h = ScaledClient(height, monitor.scale);
        const std::int64_t across = Overlap(saved->x, saved->x + w, monitor.left, monitor.right);
        const std::int64_t down = Overlap(saved->y, saved->y + h, monitor.top, monitor.bottom);
        if (across < std::min<std::int64_t>(MinVisiblePixels, w) ||
            down < std::min<std::int64_t>(MinVisiblePixels, h))
            continue;
        if (across * down > chosenArea) {
            chosen = &monitor;
            chosenArea = across * down;
        }
    }
    if (!chosen) {
        decision.note = "the saved window lies on no monitor's work area";
        return decision;
    }
    decision.restore = true;
    decision.x = saved->x;
    decision.y = saved->y;
    decision.scale = chosen->scale;
    decision.clientWidth = ScaledClient(width, chosen->scale);
    decision.clientHeight = ScaledClient(height, chosen->scale);
    if (resizable) {
        // Saved on a larger monitor, it must not come back larger than this one.
        decision.clientWidth =
            std::min(decision.clientWidth, std::max(MinClientSize, chosen->right - chosen->left));
        decision.clientHeight =
            std::min(decision.clientHeight, std::max(MinClientSize, chosen->bottom - chosen->top));
    }
    decision.maximized = resizable && saved->maximized;
    decision.fullscreen = saved->fullscreen;
    return decision;
}

int LogicalFromPhysical(int physicalPixels, float scale) {
    if (!(scale > 0.0f)) return std::max(1, physicalPixels);
    // ScaleLogicalPixels rounds up, so rounding down here gives back the
    // logical length it came from; the small bias absorbs float error.
    const double logical = std::floor(static_cast<double>(physicalPixels) / scale + 1e-4);
    return static_cast<int>(std::clamp(logical, 1.0, static_cast<double>(MaxClientSize)));
}

std::optional<WindowRecord> RememberedWindow(bool remember, const std::wstring& dataFolder,
                                             DiagnosticsLog* log) {
    if (!remember) return std::nullopt;
    std::string reason;
    auto record = LoadWindowRecord(dataFolder, reason);
    if (!reason.empty() && log)
        log->Write("window.json is ignored: " + reason + ": the manifest's size is used");
    return record;
}

PlacementDecision PlacementOf(const std::optional<WindowRecord>& saved,
                              const std::vector<MonitorArea>& monitors, int width, int height,
                              bool resizable, DiagnosticsLog* log) {
    const PlacementDecision placement = DecidePlacement(saved, monitors, width, height, resizable);
    if (saved && !placement.restore && log)
        log->Write("the window's saved place is not restored: " + placement.note);
    return placement;
}
