// The file operations the content server needs, over Win32 on one side and
// POSIX on the other. Paths are in the host's backslash form on both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What tells one file from another whatever path names it (another case, a
// short 8.3 name, a doubled separator, a link): on Windows the volume serial
// number and the file ID (128 bits where the file system has them), on
// POSIX the device and the inode. Stable while the file is open.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    uint64_t indexHigh = 0;  // the upper half of a 128-bit file ID
    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && index == other.index && indexHigh == other.indexHigh;
    }
};

struct FileStatus {
    bool exists = false;
    bool regularFile = false;  // not a folder, device or anything else
    uint64_t size = 0;         // in bytes, the full 64 bits
    // Filled when the platform reads it with the status (POSIX); Windows
    // reads it only through a handle, with QueryFileIdentity.
    bool identityKnown = false;
    FileIdentity identity;
};

FileStatus QueryFileStatus(const std::wstring& path);

// False when the file can't be opened or its identity read.
bool QueryFileIdentity(const std::wstring& path, FileIdentity& identity);

// A read-only view of a whole file. The file stays open (on Windows with read
// sharing only, so nobody can change it) until the last holder lets go, and
// only then is the view unmapped: a reader that still holds one never touches
// unmapped memory.
struct MappedFile {
    intptr_t fileHandle = -1;     // HANDLE on Windows, descriptor on POSIX
    intptr_t mappingHandle = -1;  // the file-mapping HANDLE; unused on POSIX
    const unsigned char* view = nullptr;
    uint64_t size = 0;
    FileIdentity identity;  // of the file as it was opened for the view

    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();
};

// Null when the file can't be opened, mapped or viewed (an empty file can't
// be mapped either); whatever was opened before the failing step is closed.
std::shared_ptr<MappedFile> MapWholeFile(const std::wstring& path);

// Creates the folder when it is missing (its parent must exist). True when
// the folder is there afterwards.
bool CreateFolder(const std::wstring& path);

// Creates the folder and any missing parents. True when it is there
// afterwards.
bool CreateFolderTree(const std::wstring& path);

// The whole file, however large, or an empty text when it can't be opened
// or read.
std::string ReadWholeFile(const std::wstring& path);

// Appends bytes to the file, creating it when missing. False when the file
// can't be opened or not every byte was written.
bool AppendToFile(const std::wstring& path, const std::string& bytes);

// Renames from to to, replacing a file already called to.
bool MoveFileReplacing(const std::wstring& from, const std::wstring& to);

// What ReadWholeFile found.
enum class FileReadResult { Read, Missing, TooLarge, Unreadable };

// The whole file as bytes, unless it holds more than maxBytes (then nothing
// is read past that, so a huge file costs nothing) or can't be opened or
// read (a folder included). bytes is empty unless the result is Read.
FileReadResult ReadWholeFile(const std::wstring& path, uint64_t maxBytes, std::string& bytes);

struct DurableWriteOptions {
    // Where the version being replaced is kept; empty keeps none.
    std::wstring backupPath;
    // Called after each step of the write (the temporary file made, each
    // mebibyte written, the flush, the backup kept, the replacement, the
    // folder flushed), so a test can stop a writer at every one of them.
    void (*afterStep)(void* context) = nullptr;
    void* stepContext = nullptr;
};

// Replaces the file with bytes so that a reader, or a crash or power cut at
// any moment, finds the old version whole or the new one whole, never a torn
// or empty file: the bytes go to path + ".tmp" in the same folder and are
// flushed to the disk; then the old file is renamed to the backup path (when
// one is given) and the temporary file to path, each rename written through,
// and the folder is flushed. Between those two renames path is missing while
// the backup holds the old version, so a reader that falls back to the backup
// when path is missing always finds one. When a step fails, failure says why
// ("the disk is full (writing save.tmp)"), the temporary file is removed and
// the old version is back at path.
bool WriteFileDurably(const std::wstring& path, const std::string& bytes,
                      const DurableWriteOptions& options, std::string& failure);

// WriteFileDurably without a backup or a reason.
bool WriteFileReplacing(const std::wstring& path, const std::string& bytes);

// Deletes the file. True when it is gone afterwards, also when there was
// none; otherwise failure says why.
bool RemoveFile(const std::wstring& path, std::string& failure);

// The names of the files directly in folder (folders and devices left out),
// in no particular order. A missing folder has none; a folder that can't be
// read gives false, and failure says why.
bool ListFolderFiles(const std::wstring& folder, std::vector<std::wstring>& names,
                     std::string& failure);
