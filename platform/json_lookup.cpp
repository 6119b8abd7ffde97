#include "platform/json_lookup.h"

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/text.h"

namespace {

const nlohmann::json* FindMember(const nlohmann::json& container, const char* key) {
    if (!container.is_object()) return nullptr;
    const auto found = container.find(key);
    return found == container.end() ? nullptr : &*found;
}

}  // namespace

nlohmann::json ParseJson(const std::string& text) {
    return nlohmann::json::parse(text.c_str(), nullptr, false);
}

std::wstring GetStringOr(const nlohmann::json& container, const char* key,
                         const std::wstring& fallback) {
    const auto* member = FindMember(container, key);
    if (!member || !member->is_string()) return fallback;
    return Utf8ToWide(member->get_ref<const std::string&>());
}

std::int32_t GetIntOr(const nlohmann::json& container, const char* key, std::int32_t fallback) {
    const auto* member = FindMember(container, key);
    return member && member->is_number() ? NumberToInt32(*member) : fallback;
}

std::int32_t NumberToInt32(const nlohmann::json& value) {
    // Integers keep their low 32 bits, signed or not.
    if (value.is_number_integer())
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value.get<std::uint64_t>()));
    // Truncation toward zero; anything outside the 32-bit range (or NaN)
    // gives the integer indefinite value, as the processor's conversion does.
    const double number = std::trunc(value.get<double>());
    if (!(number >= -2147483648.0 && number <= 2147483647.0))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(number);
}

bool GetBoolOr(const nlohmann::json& container, const char* key, bool fallback) {
    const auto* member = FindMember(container, key);
    if (!member || !member->is_boolean()) return fallback;
    return member->get<bool>();
}
