// The page's save files: the folder they live in, the rules for their names,
// and the answers to the page's "saves." requests. Each save is one file in
// the folder, named as the page names it in lower case, holding the text as
// UTF-8; its previous version is NAME.bak beside it. The page's local storage
// may be mirrored to MirrorFileName in the same folder.
//
// Every answer is given once the files are on the disk, so a request made
// while the page unloads is done before the reply is posted. UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "host/page_request.h"
#include "platform/files.h"

class DiagnosticsLog;

// The folder in the user data folder that holds the saves by default.
constexpr const wchar_t* SavesFolderName = L"saves";
// The mirror of the page's local storage, in the saves folder.
constexpr const wchar_t* MirrorFileName = L"local-storage.json";
constexpr size_t SaveNameMaxLength = 64;
constexpr uint64_t SaveMaxBytes = 16 << 20;
// Browsers keep a few MiB of local storage per origin; escaped as JSON that
// can take several times as many bytes.
constexpr uint64_t MirrorMaxBytes = 64 << 20;

enum class SavesPlace {
    UserData,    // SavesFolderName in the user data folder
    SavedGames,  // the app's name in the "Saved Games" folder, where there is one
};

// The saves folder, without a trailing backslash. savedGamesHome is the
// "Saved Games" folder (GetSavedGamesHome); where it is empty the saves stay
// in the user data folder.
std::wstring SavesFolder(const std::wstring& userDataFolder, SavesPlace place,
                         const std::wstring& savedGamesHome, const std::wstring& appName);

// Why name is no save name, in words for the page; empty when it is one: 1 to
// 64 ASCII letters, digits, spaces, "_", "-" and "."; not starting with "."
// or a space, nor ending with either; no reserved device name; and none of
// the store's own files (a backup, a temporary file, the mirror).
std::string SaveNameProblem(std::wstring_view name);

// Why a mirror of local storage, as the page posts it and as its file holds
// it, is refused; empty when it is well formed:
//   {"generation":G,"items":{KEY:VALUE,...}}
// G an integer from 1 to 2^53-1, each VALUE a string or {"u16":HEX}, the
// page's encoding of a string that is not well-formed UTF-16.
std::string MirrorProblem(const nlohmann::json& mirror);

class SaveStore {
public:
    // folder holds the saves (made with its parents on the first write);
    // mirror says whether the page's local storage is mirrored.
    SaveStore(std::wstring folder, bool mirror, DiagnosticsLog* log)
        : folder_(std::move(folder)), mirror_(mirror), log_(log) {}

    // Answers a request of a "saves." type:
    //   saves.write  {name, text}  -> null
    //   saves.read   {name}        -> the text, or null when there is no such save
    //   saves.list   {}            -> the names, sorted
    //   saves.remove {name}        -> whether there was such a save
    //   saves.mirror {generation, items} -> null (only with the mirror on)
    // A refused or failed request changes nothing and writes one log line.
    PageAnswer Answer(const PageRequest& request);

    // The mirror's file as the page's script restores it, or null when the
    // mirror is off, there is no file or it is not believed (logged).
    nlohmann::json ReadMirror();

    const std::wstring& folder() const { return folder_; }

private:
    PageAnswer Write(const std::string& name, const nlohmann::json* text);
    PageAnswer Read(const std::string& name);
    PageAnswer List();
    PageAnswer Remove(const std::string& name);
    PageAnswer Mirror(const nlohmann::json& fields);
    // Writes bytes to the file name in the folder, keeping its backup.
    std::string WriteDurably(const std::string& name, const std::string& bytes);
    // Reads a file of the folder, or its backup when it is missing.
    FileReadResult ReadWithBackup(const std::string& name, uint64_t maxBytes, std::string& bytes);
    std::wstring PathOf(const std::string& name) const;
    void Log(const std::string& line);

    std::wstring folder_;
    bool mirror_;
    DiagnosticsLog* log_;
};
