// Page scripts as the executable keeps them: without their indentation,
// blank lines and comments, cut at compile time, so that only what runs is
// carried in every copy of the host.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

// A script without its indentation, blank lines and comments (a line of
// its own, or after two spaces), cut at compile time, so that only what runs
// is in the executable. Writes the script to out with Write; its length.
template <bool Write>
constexpr size_t Compact(std::string_view source, char* out) {
    size_t length = 0;
    while (!source.empty()) {
        const size_t end = std::min(source.find('\n'), source.size());
        std::string_view line = source.substr(0, end);
        source.remove_prefix(std::min(end + 1, source.size()));
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        line = line.substr(0, line.substr(0, 2) == "//" ? 0 : line.find("  //"));
        if (line.empty()) continue;
        for (const char c : line) {
            if constexpr (Write) out[length] = c;
            ++length;
        }
        if constexpr (Write) out[length] = '\n';
        ++length;
    }
    return length;
}

constexpr size_t CompactLength(std::string_view source) {
    return Compact<false>(source, nullptr);
}

template <size_t Length>
struct CompactScript {
    constexpr explicit CompactScript(std::string_view source) { Compact<true>(source, text); }
    std::string_view view() const { return {text, Length}; }
    char text[Length + 1] = {};
};

// Text as a script's single-quoted string literal: a quote or backslash in it
// stays text. The texts given never hold a line break.
template <typename Char>
std::basic_string<Char> ScriptStringOf(std::basic_string_view<Char> text) {
    std::basic_string<Char> out(1, Char('\''));
    for (const Char c : text) {
        if (c == Char('\'') || c == Char('\\')) out += Char('\\');
        out += c;
    }
    return out + Char('\'');
}
inline std::string ScriptString(std::string_view text) {
    return ScriptStringOf(text);
}
inline std::wstring ScriptString(std::wstring_view text) {
    return ScriptStringOf(text);
}
