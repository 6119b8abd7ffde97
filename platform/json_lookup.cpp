#include "platform/json_lookup.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/text.h"

namespace {

const nlohmann::json* FindMember(const nlohmann::json& container, const char* key) {
    if (!container.is_object()) return nullptr;
    const auto found = container.find(key);
    return found == container.end() ? nullptr : &*found;
}

// One UTF-16 unit as \uXXXX.
void AppendEscape(std::string& out, unsigned unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += "0123456789abcdef"[(unit >> shift) & 0xF];
}

void AppendString(std::string& out, std::string_view text, bool ascii) {
    out += '"';
    while (!text.empty()) {
        // Runs of what needs no escape go at once: a save may be 16 MiB.
        size_t plain = 0;
        while (plain < text.size() && static_cast<unsigned char>(text[plain]) >= 0x20 &&
               static_cast<unsigned char>(text[plain]) < 0x80 && text[plain] != '"' &&
               text[plain] != '\\')
            ++plain;
        out.append(text.substr(0, plain));
        text.remove_prefix(plain);
        if (text.empty()) break;
        const Utf8Sequence sequence = ReadUtf8Sequence(text);
        const char32_t point = sequence.valid ? sequence.codePoint : 0xFFFD;
        if (point == '"' || point == '\\') {
            out += '\\';
            out += static_cast<char>(point);
        } else if (point < 0x20) {
            // \b \t \n \f \r by their letters, the rest as numbers.
            const char letter = point >= 8 && point <= 13 ? "btn?fr"[point - 8] : '?';
            if (letter != '?') {
                out += '\\';
                out += letter;
            } else {
                AppendEscape(out, point);
            }
        } else if (point < 0x80 || (!ascii && sequence.valid)) {
            out.append(text.substr(0, sequence.length));
        } else if (!ascii) {
            out += "\xEF\xBF\xBD";
        } else if (point < 0x10000) {
            AppendEscape(out, point);
        } else {
            AppendEscape(out, 0xD800 + ((point - 0x10000) >> 10));
            AppendEscape(out, 0xDC00 + ((point - 0x10000) & 0x3FF));
        }
        text.remove_prefix(sequence.length);
    }
    out += '"';
}

void AppendJson(std::string& out, const nlohmann::json& value, bool ascii) {
    switch (value.type()) {
        case nlohmann::json::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            return;
        case nlohmann::json::value_t::number_integer:
            out += std::to_string(value.get<std::int64_t>());
            return;
        case nlohmann::json::value_t::number_unsigned:
            out += std::to_string(value.get<std::uint64_t>());
            return;
        case nlohmann::json::value_t::number_float: {
            // Seventeen digits read back as the same double.
            char number[32];
            const double real = value.get<double>();
            std::snprintf(number, sizeof number, "%.17g", real);
            out += std::isfinite(real) ? number : "null";
            return;
        }
        case nlohmann::json::value_t::string:
            return AppendString(out, value.get_ref<const std::string&>(), ascii);
        case nlohmann::json::value_t::array: {
            // The containers themselves: the library's iterators cost more.
            char separator = '[';
            for (const auto& item : value.get_ref<const nlohmann::json::array_t&>()) {
                out += separator;
                separator = ',';
                AppendJson(out, item, ascii);
            }
            out += separator == '[' ? "[]" : "]";
            return;
        }
        case nlohmann::json::value_t::object: {
            char separator = '{';
            for (const auto& [key, item] : value.get_ref<const nlohmann::json::object_t&>()) {
                out += separator;
                separator = ',';
                AppendString(out, key, ascii);
                out += ':';
                AppendJson(out, item, ascii);
            }
            out += separator == '{' ? "{}" : "}";
            return;
        }
        default:
            out += "null";
    }
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

std::string JsonText(const nlohmann::json& value, bool ascii) {
    std::string out;
    AppendJson(out, value, ascii);
    return out;
}
