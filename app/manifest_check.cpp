#include "app/manifest_check.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include <nlohmann/json.hpp>

#include "app/manifest.h"
#include "platform/folder_name.h"

// Kept small: the host carries this code.
namespace {

using Json = nlohmann::json;

std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) text.append(part.data(), part.size());
    return text;
}

// A text as a finding quotes it, cut short when long.
std::string ShortQuoted(const std::string& text) {
    return Join({"\"", text.size() > 40 ? text.substr(0, 37) + "..." : text, "\""});
}

// What a value is, with the value itself when it is short to tell:
// "\"800\" is a text", "a list".
std::string Described(const Json& value) {
    if (value.is_string()) return ShortQuoted(value.get_ref<const std::string&>()) + " is a text";
    if (value.is_number_unsigned())
        return std::to_string(value.get<std::uint64_t>()) + " is a number";
    if (value.is_number_integer())
        return std::to_string(value.get<std::int64_t>()) + " is a number";
    switch (value.type()) {
        case Json::value_t::boolean:
            return value.get<bool>() ? "true" : "false";
        case Json::value_t::null:
            return "null";
        case Json::value_t::array:
            return "a list";
        case Json::value_t::object:
            return "an object";
        default:
            return "a number";
    }
}

std::string DefaultOf(const ManifestKey& key) {
    const AppConfig defaults;
    if (const auto* text = std::get_if<std::wstring AppConfig::*>(&key.target))
        return ShortQuoted(WideToUtf8(defaults.*(*text)));
    if (const auto* number = std::get_if<std::int32_t AppConfig::*>(&key.target))
        return std::to_string(defaults.*(*number));
    if (const auto* flag = std::get_if<bool AppConfig::*>(&key.target))
        return defaults.*(*flag) ? "true" : "false";
    return "\"evergreen\"";
}

// Edits (insert, delete, replace, swap two neighbours) from a to b, of
// their first 63 characters: enough to tell keys apart.
size_t EditDistance(std::string_view a, std::string_view b) {
    constexpr size_t Most = 63;
    a = a.substr(0, Most);
    b = b.substr(0, Most);
    size_t rows[3][Most + 1];  // two rows back, the last one, this one
    for (size_t j = 0; j <= b.size(); ++j) rows[1][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t* const before = rows[(i + 2) % 3];
        size_t* const last = rows[i % 3];
        size_t* const row = rows[(i + 1) % 3];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
    }
    return rows[(a.size() + 1) % 3][b.size()];
}

std::string_view LeafOf(std::string_view path) {
    return path.substr(path.find('.') + 1);
}

// The section a key belongs to ("window" for "window.title"); empty for a
// key of the top level.
std::string_view SectionOf(std::string_view path) {
    const size_t dot = path.find('.');
    return dot == std::string_view::npos ? std::string_view() : path.substr(0, dot);
}

// Whether a path is a key, or (with no dot) the section of one.
bool IsKnown(std::string_view path) {
    for (const ManifestKey& key : ManifestKeys())
        if (path == key.path || path == SectionOf(key.path)) return true;
    return false;
}

// The known path an unknown one was most likely meant to be: one a few
// edits away, or the same key in another section ("title" for
// "window.title"); empty when none is close.
std::string_view NearestPath(std::string_view path) {
    const std::string_view leaf = LeafOf(path);
    std::string_view nearest;
    size_t best = std::max<size_t>(2, leaf.size() / 3) + 1;
    for (const ManifestKey& key : ManifestKeys()) {
        for (const std::string_view candidate : {std::string_view(key.path), SectionOf(key.path)}) {
            const size_t score =
                std::min(EditDistance(path, candidate), EditDistance(leaf, LeafOf(candidate)) + 1);
            if (!candidate.empty() && score < best) {
                best = score;
                nearest = candidate;
            }
        }
    }
    return nearest;
}

void Add(std::vector<ManifestFinding>& findings, bool error, std::string key, std::string text) {
    findings.push_back({error, std::move(key), std::move(text)});
}

void CheckUnknownKeys(const Json& object, const std::string& prefix,
                      std::vector<ManifestFinding>& findings) {
    for (auto member = object.begin(); member != object.end(); ++member) {
        std::string path = prefix + member.key();
        if (IsKnown(path)) continue;
        const std::string_view nearest = NearestPath(path);
        Add(findings, false, std::move(path),
            nearest.empty() ? "unknown, ignored" : Join({"unknown; did you mean ", nearest, "?"}));
    }
}

// The rule of a key whose value is a text: what it breaks, or nothing.
std::string RuleBroken(const ManifestKey& key, const std::string& text) {
    const std::wstring wide = Utf8ToWide(text);
    std::uint16_t numbers[4];
    const char* why = nullptr;
    if (key.target.index() == 3 && text != "evergreen" && text != "fixed")
        why = " is neither \"evergreen\" nor \"fixed\"";
    else if (key.rule == ManifestRule::Version && !VersionNumbers(wide, numbers))
        why =
            " is not a version: one to four numbers from 0 to 65535 separated by dots, such "
            "as \"1.2.3\"";
    else if ((key.rule == ManifestRule::FolderName || key.rule == ManifestRule::FileName) &&
             !NamesOneFolder(wide))
        why =
            " can't be a file or folder name: it must not be blank, hold \\ / : * ? \" < > | "
            "or control characters, end in a dot or space, or be a device name such as CON, "
            "and has at most 255 characters";
    return why ? ShortQuoted(text) + why : std::string();
}

}  // namespace

std::string DescribeFinding(const ManifestFinding& finding) {
    return Join({finding.key, ": ", finding.text});
}

std::vector<ManifestFinding> CheckManifestKeys(const std::string& text) {
    std::vector<ManifestFinding> findings;
    const Json document = ReadManifestJson(text);
    if (document.is_discarded()) return findings;
    if (!document.is_object()) {
        Add(findings, true, "package.json", Described(document) + ", expected an object");
        return findings;
    }
    CheckUnknownKeys(document, "", findings);
    for (auto section = document.begin(); section != document.end(); ++section) {
        // A section, by the rows that name it.
        const std::string& name = section.key();
        bool isSection = false;
        for (const ManifestKey& key : ManifestKeys()) isSection |= SectionOf(key.path) == name;
        if (!isSection) continue;
        if (section->is_object())
            CheckUnknownKeys(*section, name + ".", findings);
        else
            Add(findings, false, name,
                Join({Described(*section), ", expected an object; every ", name,
                      " key takes its default"}));
    }
    for (const ManifestKey& key : ManifestKeys()) {
        const Json* value = FindManifestValue(document, key);
        const bool required = key.rule == ManifestRule::FolderName;
        if (!value) {
            if (required) Add(findings, true, key.path, "missing; it is required");
        } else if (!FitsManifestType(*value, key)) {
            const char* expected = key.target.index() == 1   ? "a number"
                                   : key.target.index() == 2 ? "true or false"
                                                             : "a text";
            Add(findings, required, key.path,
                Join({Described(*value), ", expected ", expected,
                      required ? "" : "; the default " + DefaultOf(key) + " is used"}));
        } else if (key.rule == ManifestRule::OneOf &&
                   !IsManifestChoice(key, value->get_ref<const std::string&>())) {
            std::string choices = key.choices;
            for (size_t bar; (bar = choices.find('|')) != std::string::npos;)
                choices.replace(bar, 1, "\", \"");
            Add(findings, false, key.path,
                Join({Described(*value), ", expected one of \"", choices, "\"; the default ",
                      DefaultOf(key), " is used"}));
        } else if (value->is_string()) {
            std::string why = RuleBroken(key, value->get_ref<const std::string&>());
            if (!why.empty()) Add(findings, true, key.path, std::move(why));
        }
    }
    return findings;
}
