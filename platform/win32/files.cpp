// File status, whole-file mappings and file streams on Win32.
#include "platform/files.h"
#include "platform/win32/file_stream.h"

#include <windows.h>
#include <shlwapi.h>

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
    FileReadResult result = FileReadResult::Read;
    if (GetFileType(file) != FILE_TYPE_DISK) result = FileReadResult::Unreadable;
    // Judged by what is read, one chunk past the limit at most, not by the
    // size the file claimed when it was opened.
    char buffer[16384];
    while (result == FileReadResult::Read) {
        DWORD count = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr)) {
            result = FileReadResult::Unreadable;
            break;
        }
        if (count == 0) break;
        if (bytes.size() + count > maxBytes) {
            result = FileReadResult::TooLarge;
            break;
        }
        bytes.append(buffer, count);
    }
    CloseHandle(file);
    if (result != FileReadResult::Read) bytes.clear();
    return result;
}

bool WriteFileReplacing(const std::wstring& path, const std::string& bytes) {
    const std::wstring temporary = path + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    // Flushed before the rename: otherwise a power cut can leave the new name
    // on an empty file.
    const bool whole =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (whole && MoveFileExW(temporary.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}
