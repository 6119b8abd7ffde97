#include "host/save_files.h"

#include <iterator>
#include <set>

#include "platform/diagnostics_log.h"
#include "platform/files.h"
#include "platform/folder_name.h"
#include "platform/json_lookup.h"
#include "platform/text.h"

namespace {

constexpr int64_t LargestGeneration = (int64_t{1} << 53) - 1;  // the page's largest safe integer

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Names are kept in lower case: one save, whatever the case, on every platform.
std::string Lowered(std::wstring_view name) {
    std::string lowered;
    for (const wchar_t unit : name)
        lowered += static_cast<char>(unit >= L'A' && unit <= L'Z' ? unit - L'A' + L'a' : unit);
    return lowered;
}

bool IsNameUnit(wchar_t unit) {
    return (unit >= L'a' && unit <= L'z') || (unit >= L'A' && unit <= L'Z') ||
           (unit >= L'0' && unit <= L'9') || unit == L' ' || unit == L'_' || unit == L'-' ||
           unit == L'.';
}

bool IsHexText(const std::string& text) {
    return text.size() % 4 == 0 &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// What a log line shows of a value the page sent (null when none): short, and ASCII.
std::string Shown(const nlohmann::json* value) {
    if (!value) return "null";
    std::string text = JsonText(*value, true);
    return text.size() > 100 ? text.substr(0, 100) + "..." : text;
}

}  // namespace

std::wstring SavesFolder(const std::wstring& userDataFolder, SavesPlace place,
                         const std::wstring& savedGamesHome, const std::wstring& appName) {
    if (place == SavesPlace::SavedGames && !savedGamesHome.empty())
        return savedGamesHome + L"\\" + appName;
    std::wstring folder = userDataFolder;
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder + L"\\" + SavesFolderName;
}

std::string SaveNameProblem(std::wstring_view name) {
    if (name.empty() || name.size() > SaveNameMaxLength)
        return "a save name is 1 to 64 characters long";
    for (const wchar_t unit : name)
        if (!IsNameUnit(unit))
            return "a save name holds only letters A to Z, digits, spaces, \"_\", \"-\" and \".\"";
    if (name.front() == L'.' || name.front() == L' ')
        return "a save name can't start with \".\" or a space";
    if (name.back() == L'.' || name.back() == L' ')
        return "a save name can't end with \".\" or a space";
    if (IsReservedDeviceName(name))
        return "a save name can't be a device name (\"con\", \"nul.txt\", \"COM1\"...)";
    const std::string lowered = Lowered(name);
    if (EndsWith(lowered, ".bak") || EndsWith(lowered, ".tmp"))
        return "a save name can't end in \".bak\" or \".tmp\": those are the store's own files";
    if (lowered == WideToUtf8(MirrorFileName))
        return "\"local-storage.json\" is the local storage mirror's file, not a save name";
    return {};
}

std::string MirrorProblem(const nlohmann::json& mirror) {
    if (!mirror.is_object()) return "it is not a JSON object";
    const auto generation = mirror.find("generation");
    if (generation == mirror.end() || !generation->is_number_integer() ||
        generation->get<int64_t>() < 1 || generation->get<int64_t>() > LargestGeneration)
        return "its generation is not an integer from 1 to 2^53-1";
    const auto items = mirror.find("items");
    if (items == mirror.end() || !items->is_object()) return "its items are not an object";
    for (const auto& item : *items) {
        if (item.is_string()) continue;
        const auto units = item.is_object() && item.size() == 1 ? item.find("u16") : item.end();
        if (units == item.end() || !units->is_string() ||
            !IsHexText(units->get_ref<const std::string&>()))
            return "an item is neither a string nor {\"u16\": HEX}";
    }
    return {};
}

PageAnswer SaveStore::Answer(const PageRequest& request) {
    const std::string& type = request.type;
    const nlohmann::json& fields = request.fields;
    PageAnswer answer;
    std::string subject;  // what the log line names
    if (type == "saves.list") {
        answer = List();
    } else if (type == "saves.mirror") {
        answer = Mirror(fields);
    } else if (type == "saves.write" || type == "saves.read" || type == "saves.remove") {
        const auto name = fields.find("name");
        const auto text = fields.find("text");
        const bool named = name != fields.end() && name->is_string();
        subject = " " + Shown(name == fields.end() ? nullptr : &*name);
        // Past the longest name nothing more is needed to refuse it.
        const std::wstring given =
            named ? Utf8ToWide(name->get_ref<const std::string&>().substr(0, SaveNameMaxLength + 1))
                  : L"";
        std::string problem = named ? SaveNameProblem(given) : "a save name is a string";
        if (!problem.empty())
            answer = PageAnswer::Refused(std::move(problem));
        else if (type == "saves.write")
            answer = Write(Lowered(given), text == fields.end() ? nullptr : &*text);
        else
            answer = type == "saves.read" ? Read(Lowered(given)) : Remove(Lowered(given));
    } else {
        answer = PageAnswer::Refused("there is no request \"" + type + "\"");
    }
    if (!answer.ok) Log(type + subject + ": " + answer.error);
    return answer;
}

PageAnswer SaveStore::Write(const std::string& name, const nlohmann::json* text) {
    if (!text || !text->is_string()) return PageAnswer::Refused("the text to save is a string");
    const std::string& bytes = text->get_ref<const std::string&>();
    if (bytes.size() > SaveMaxBytes)
        return PageAnswer::Refused("a save is at most 16 MiB, and this text takes " +
                                   std::to_string(bytes.size()) + " bytes as UTF-8");
    const std::string failure = WriteDurably(name, bytes);
    if (!failure.empty()) return PageAnswer::Refused("the save could not be written: " + failure);
    return PageAnswer::Value(nullptr);
}

PageAnswer SaveStore::Read(const std::string& name) {
    std::string bytes;
    switch (ReadWithBackup(name, SaveMaxBytes, bytes)) {
        case FileReadResult::Read:
            return PageAnswer::Value(std::move(bytes));
        case FileReadResult::Missing:
            return PageAnswer::Value(nullptr);
        case FileReadResult::TooLarge:
            return PageAnswer::Refused("the save is larger than 16 MiB");
        case FileReadResult::Unreadable:
            break;
    }
    return PageAnswer::Refused("the save can't be read");
}

PageAnswer SaveStore::List() {
    std::vector<std::wstring> files;
    std::string failure;
    if (!ListFolderFiles(folder_, files, failure))
        return PageAnswer::Refused("the saves could not be listed: " + failure);
    // A save whose write was cut short between its two renames is its backup.
    std::set<std::string> names;
    for (std::wstring& file : files) {
        if (file.size() > 4 && EqualsIgnoringAsciiCase(file.substr(file.size() - 4), L".bak"))
            file.resize(file.size() - 4);
        // Files put there by other means count only under a name the page can ask for.
        if (SaveNameProblem(file).empty() && Lowered(file) == WideToUtf8(file))
            names.insert(WideToUtf8(file));
    }
    return PageAnswer::Value(nlohmann::json(names));
}

PageAnswer SaveStore::Remove(const std::string& name) {
    const bool existed =
        QueryFileStatus(PathOf(name)).exists || QueryFileStatus(PathOf(name + ".bak")).exists;
    // The backup goes first: a save must never come back as its older version.
    std::string failure;
    for (const char* suffix : {".bak", ".tmp", ""})
        if (!RemoveFile(PathOf(name + suffix), failure))
            return PageAnswer::Refused("the save could not be removed: " + failure);
    return PageAnswer::Value(existed);
}

PageAnswer SaveStore::Mirror(const nlohmann::json& fields) {
    if (!mirror_) return PageAnswer::Refused("the local storage mirror is off");
    // The request's own members (type, id) stay out of the file.
    std::string problem = MirrorProblem(fields);
    std::string bytes;
    if (problem.empty())
        bytes = "{\"generation\":" + std::to_string(fields.find("generation")->get<int64_t>()) +
                ",\"items\":" + JsonText(*fields.find("items")) + "}";
    if (bytes.size() > MirrorMaxBytes) problem = "it takes more than 64 MiB";
    if (problem.empty()) {
        const std::string failure = WriteDurably(WideToUtf8(MirrorFileName), bytes);
        if (failure.empty()) return PageAnswer::Value(nullptr);
        problem = failure;
    }
    return PageAnswer::Refused("local storage could not be mirrored: " + problem);
}

nlohmann::json SaveStore::ReadMirror() {
    if (!mirror_) return nullptr;
    std::string bytes;
    nlohmann::json mirror;
    std::string problem;
    switch (ReadWithBackup(WideToUtf8(MirrorFileName), MirrorMaxBytes, bytes)) {
        case FileReadResult::Missing:
            return nullptr;
        case FileReadResult::TooLarge:
            problem = "it is larger than 64 MiB";
            break;
        case FileReadResult::Unreadable:
            problem = "it can't be read";
            break;
        case FileReadResult::Read:
            mirror = ParseJson(bytes);  // up to a NUL, which is never JSON
            problem = mirror.is_discarded() || bytes.find('\0') != std::string::npos
                          ? "it is not valid JSON"
                          : MirrorProblem(mirror);
            break;
    }
    if (!problem.empty()) {
        Log(WideToUtf8(MirrorFileName) + " is not restored: " + problem);
        return nullptr;
    }
    // Only what the page's script reads.
    auto& members = mirror.get_ref<nlohmann::json::object_t&>();
    for (auto member = members.begin(); member != members.end();)
        member = member->first == "generation" || member->first == "items" ? std::next(member)
                                                                           : members.erase(member);
    return mirror;
}

std::string SaveStore::WriteDurably(const std::string& name, const std::string& bytes) {
    if (!CreateFolderTree(folder_))
        return "the folder " + WideToUtf8(PathForDisplay(folder_)) + " can't be made";
    DurableWriteOptions options;
    options.backupPath = PathOf(name + ".bak");
    std::string failure;
    WriteFileDurably(PathOf(name), bytes, options, failure);
    return failure;
}

FileReadResult SaveStore::ReadWithBackup(const std::string& name, uint64_t maxBytes,
                                         std::string& bytes) {
    const FileReadResult result = ReadWholeFile(PathOf(name), maxBytes, bytes);
    return result == FileReadResult::Missing ? ReadWholeFile(PathOf(name + ".bak"), maxBytes, bytes)
                                             : result;
}

std::wstring SaveStore::PathOf(const std::string& name) const {
    return folder_ + L"\\" + Utf8ToWide(name);
}

void SaveStore::Log(const std::string& line) {
    if (log_) log_->Write(line);
}
