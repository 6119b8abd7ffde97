// The manifest check of a whole text, where a text that is not JSON is told
// by line and column. Apart from the host's check, which never sees such a
// text, so the host carries no second JSON reader.
#include <algorithm>
#include <cstring>
#include <string_view>

#include <nlohmann/json.hpp>

#include "app/manifest_check.h"

namespace {

// Reads a text to its first error, for where and why it is not JSON.
struct JsonErrorReader {
    std::size_t position = 0;
    std::string message;

    bool null() { return true; }
    bool boolean(bool) { return true; }
    bool number_integer(nlohmann::json::number_integer_t) { return true; }
    bool number_unsigned(nlohmann::json::number_unsigned_t) { return true; }
    bool number_float(nlohmann::json::number_float_t, const std::string&) { return true; }
    bool string(std::string&) { return true; }
    bool binary(nlohmann::json::binary_t&) { return true; }
    bool start_object(std::size_t) { return true; }
    bool key(std::string&) { return true; }
    bool end_object() { return true; }
    bool start_array(std::size_t) { return true; }
    bool end_array() { return true; }
    bool parse_error(std::size_t at, const std::string&, const nlohmann::detail::exception& e) {
        position = at;
        message = e.what();
        return false;
    }
};

}  // namespace

std::vector<ManifestFinding> CheckManifest(const std::string& text) {
    // The host's parse ends at the first NUL too.
    const char* const start = text.c_str();
    JsonErrorReader reader;
    if (nlohmann::json::sax_parse(start, &reader)) return CheckManifestKeys(text);

    // The library counts the byte it failed at (or the end) as read.
    const size_t at = std::min(reader.position ? reader.position - 1 : 0, std::strlen(start));
    const size_t lineStart = std::string_view(start, at).rfind('\n');
    const size_t line = 1 + static_cast<size_t>(std::count(start, start + at, '\n'));
    const size_t column = lineStart == std::string_view::npos ? at + 1 : at - lineStart;
    // "[json.exception.parse_error.101] parse error at line 1, column 9: why"
    std::string why = reader.message.substr(reader.message.find("] ") + 2);
    if (why.rfind("parse error", 0) == 0) why = why.substr(why.find(": ") + 2);
    return {{true, "package.json",
             "not valid JSON at line " + std::to_string(line) + ", column " +
                 std::to_string(column) + ": " + why}};
}
