// File status, whole-file mappings and file streams on Win32.
#include "platform/files.h"
#include "platform/read_in_chunks.h"
#include "platform/text.h"
#include "platform/win32/file_stream.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>

namespace {

HANDLE AsHandle(intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

// The 128-bit file ID where the file system gives one (on ReFS the 64-bit
// index need not be unique); the volume serial number and 64-bit index
// otherwise. Every identity comes from here, so they always compare alike.
bool ReadIdentity(HANDLE file, FileIdentity& identity) {
    FILE_ID_INFO id{};
    if (GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id)) {
        uint64_t halves[2];
        static_assert(sizeof halves == sizeof id.FileId.Identifier);
        std::memcpy(halves, id.FileId.Identifier, sizeof halves);
        identity = {id.VolumeSerialNumber, halves[0], halves[1]};
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return false;
    identity = {info.dwVolumeSerialNumber, Join(info.nFileIndexHigh, info.nFileIndexLow), 0};
    return true;
}

// A handle that asks for attributes only: it shares with every other opener,
// a cached mapping included, and follows links to their target.
HANDLE OpenForAttributes(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// What the file at path is, read through such a handle.
bool ReadHandleInformation(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = OpenForAttributes(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool read = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return read;
}

// A symbolic link reports its own attributes and a size of 0; what the
// server streams is the target, so its size is read through a handle.
bool ReadTargetStatus(const std::wstring& path, FileStatus& status) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!ReadHandleInformation(path, info)) return false;
    status.regularFile = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    status.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    return true;
}

}  // namespace

FileStatus QueryFileStatus(const std::wstring& path) {
    FileStatus status;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return status;
    status.exists = true;
    status.regularFile =
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    status.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !ReadTargetStatus(path, status))
        status.exists = false;
    return status;
}

bool QueryFileIdentity(const std::wstring& path, FileIdentity& identity) {
    HANDLE file = OpenForAttributes(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool read = ReadIdentity(file, identity);
    CloseHandle(file);
    return read;
}

MappedFile::~MappedFile() {
    if (view) UnmapViewOfFile(view);
    if (mappingHandle != -1) CloseHandle(AsHandle(mappingHandle));
    if (fileHandle != -1) CloseHandle(AsHandle(fileHandle));
}

std::shared_ptr<MappedFile> MapWholeFile(const std::wstring& path) {
    auto mapped = std::make_shared<MappedFile>();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    mapped->fileHandle = reinterpret_cast<intptr_t>(file);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0) return nullptr;
    if (!ReadIdentity(file, mapped->identity)) return nullptr;
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) return nullptr;
    mapped->mappingHandle = reinterpret_cast<intptr_t>(mapping);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (!view) return nullptr;
    mapped->view = static_cast<const unsigned char*>(view);
    mapped->size = static_cast<uint64_t>(size.QuadPart);
    return mapped;
}

IStream* OpenFileStream(const std::wstring& path) {
    IStream* stream = nullptr;
    if (FAILED(SHCreateStreamOnFileEx(path.c_str(), STGM_READ, 0, FALSE, nullptr, &stream)))
        return nullptr;
    return stream;
}

bool CreateFolder(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
    // Others may read the log while the app runs, and rotate it away.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool whole =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return whole;
}

bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

FileReadResult ReadWholeFile(const std::wstring& path, uint64_t maxBytes, std::string& bytes) {
    bytes.clear();
    // An editor may hold the file open for writing while the app starts.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? FileReadResult::Missing
                   : FileReadResult::Unreadable;
    }
    FileReadResult result = FileReadResult::Unreadable;
    if (GetFileType(file) == FILE_TYPE_DISK)
        result = ReadInChunks(
            [file](char* buffer, size_t size) -> int64_t {
                DWORD count = 0;
                if (!ReadFile(file, buffer, static_cast<DWORD>(size), &count, nullptr)) return -1;
                return count;
            },
            maxBytes, bytes);
    CloseHandle(file);
    return result;
}

namespace {

// The reason a file call failed, worded alike on both platforms for the
// causes a player can act on.
std::string Describe(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "the disk is full";
        case ERROR_ACCESS_DENIED:
            return "access is denied";
        case ERROR_WRITE_PROTECT:
            return "the disk is write-protected";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "another program is using the file";
        default:
            return "Win32 error " + std::to_string(error);
    }
}

// "the disk is full (writing save.tmp)".
bool Failed(std::string& failure, const char* doing, const std::wstring& path,
            DWORD error = GetLastError()) {
    failure = Describe(error) + " (" + doing + " " +
              WideToUtf8(path.substr(path.find_last_of(L"\\/") + 1)) + ")";
    return false;
}

}  // namespace

bool WriteFileDurably(const std::wstring& path, const std::string& bytes,
                      const DurableWriteOptions& options, std::string& failure) {
    const std::wstring temporary = path + L".tmp";
    const auto step = [&options] {
        if (options.afterStep) options.afterStep(options.stepContext);
    };
    // Removes the temporary file without losing the reason.
    const auto abandon = [&](const char* doing, const std::wstring& file) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        return Failed(failure, doing, file, error);
    };
    constexpr DWORD MoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failed(failure, "creating", temporary);
    step();
    constexpr size_t Part = 1 << 20;
    for (size_t done = 0; done < bytes.size();) {
        const DWORD size = static_cast<DWORD>(std::min(Part, bytes.size() - done));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, size, &written, nullptr) || written != size) {
            const DWORD error = written != size ? ERROR_DISK_FULL : GetLastError();
            CloseHandle(file);
            SetLastError(error);
            return abandon("writing", temporary);
        }
        done += size;
        step();
    }
    // Flushed before any rename: otherwise a power cut can leave the new name
    // on an empty file.
    if (!FlushFileBuffers(file)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        return abandon("flushing", temporary);
    }
    CloseHandle(file);
    step();
    bool keptOld = false;
    if (!options.backupPath.empty()) {
        keptOld = MoveFileExW(path.c_str(), options.backupPath.c_str(), MoveFlags) != 0;
        const DWORD error = GetLastError();
        if (!keptOld && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return abandon("keeping the old version as", options.backupPath);
        step();
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MoveFlags)) {
        const DWORD error = GetLastError();
        if (keptOld) MoveFileExW(options.backupPath.c_str(), path.c_str(), MoveFlags);
        SetLastError(error);
        return abandon("replacing", path);
    }
    // Written through, the renames are on the disk already: nothing of the
    // folder's is left to flush.
    step();
    return true;
}

bool RemoveFile(const std::wstring& path, std::string& failure) {
    if (DeleteFileW(path.c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           Failed(failure, "removing", path, error);
}

bool ListFolderFiles(const std::wstring& folder, std::vector<std::wstring>& names,
                     std::string& failure) {
    names.clear();
    std::wstring trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
    WIN32_FIND_DATAW found{};
    HANDLE listing = FindFirstFileExW((trimmed + L"\\*").c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
               Failed(failure, "listing", trimmed, error);
    }
    do {
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
            names.push_back(found.cFileName);
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return true;
}
