// File status and whole-file mappings on POSIX.
#include "platform/files.h"
#include "platform/posix/native_path.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileIdentity IdentityOf(const struct stat& info) {
    return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

}  // namespace

FileStatus QueryFileStatus(const std::wstring& path) {
    FileStatus status;
    struct stat info {};
    if (stat(ToNativePath(path).c_str(), &info) != 0) return status;
    status.exists = true;
    status.regularFile = S_ISREG(info.st_mode);
    status.size = static_cast<uint64_t>(info.st_size);
    status.identityKnown = true;
    status.identity = IdentityOf(info);
    return status;
}

bool QueryFileIdentity(const std::wstring& path, FileIdentity& identity) {
    struct stat info {};
    if (stat(ToNativePath(path).c_str(), &info) != 0) return false;
    identity = IdentityOf(info);
    return true;
}

MappedFile::~MappedFile() {
    if (view) munmap(const_cast<unsigned char*>(view), static_cast<size_t>(size));
    if (fileHandle >= 0) close(static_cast<int>(fileHandle));
}

std::shared_ptr<MappedFile> MapWholeFile(const std::wstring& path) {
    auto mapped = std::make_shared<MappedFile>();
    const int fd = open(ToNativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    mapped->fileHandle = fd;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) return nullptr;
    void* view = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) return nullptr;
    mapped->view = static_cast<const unsigned char*>(view);
    mapped->size = static_cast<uint64_t>(info.st_size);
    mapped->identity = IdentityOf(info);
    return mapped;
}

bool CreateFolder(const std::wstring& path) {
    const std::string native = ToNativePath(path);
    if (mkdir(native.c_str(), 0755) == 0) return true;
    struct stat info {};
    return stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
    const int fd =
        open(ToNativePath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written <= 0) break;
        done += static_cast<size_t>(written);
    }
    close(fd);
    return done == bytes.size();
}

bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    return rename(ToNativePath(from).c_str(), ToNativePath(to).c_str()) == 0;
}

FileReadResult ReadWholeFile(const std::wstring& path, uint64_t maxBytes, std::string& bytes) {
    bytes.clear();
    const int fd = open(ToNativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Unreadable;
    struct stat info {};
    FileReadResult result = FileReadResult::Read;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result = FileReadResult::Unreadable;
    } else {
        // Read one byte past the limit: a file that grows while it is read is
        // judged by what was read, not by what fstat said.
        char buffer[16384];
        for (;;) {
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) {
                result = FileReadResult::Unreadable;
                break;
            }
            if (count == 0) break;
            if (bytes.size() + static_cast<size_t>(count) > maxBytes) {
                result = FileReadResult::TooLarge;
                break;
            }
            bytes.append(buffer, static_cast<size_t>(count));
        }
    }
    close(fd);
    if (result != FileReadResult::Read) bytes.clear();
    return result;
}

bool WriteFileReplacing(const std::wstring& path, const std::string& bytes) {
    const std::string target = ToNativePath(path);
    const std::string temporary = target + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<size_t>(written);
    }
    // Flushed before the rename: otherwise a power cut can leave the new name
    // on an empty file.
    const bool whole = done == bytes.size() && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (whole && closed && rename(temporary.c_str(), target.c_str()) == 0) return true;
    unlink(temporary.c_str());
    return false;
}
