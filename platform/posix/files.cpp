// File status and whole-file mappings on POSIX.
#include "platform/files.h"
#include "platform/posix/native_path.h"
#include "platform/read_in_chunks.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
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
    FileReadResult result = FileReadResult::Unreadable;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        result = ReadInChunks(
            [fd](char* buffer, size_t size) -> int64_t {
                ssize_t count;
                do count = read(fd, buffer, size);
                while (count < 0 && errno == EINTR);
                return count;
            },
            maxBytes, bytes);
    }
    close(fd);
    return result;
}

namespace {

// The reason a file call failed, worded alike on both platforms for the
// causes a player can act on.
std::string Describe(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return "the disk is full";
        case EACCES:
        case EPERM:
            return "access is denied";
        case EROFS:
            return "the file system is read-only";
        default:
            return std::string(std::strerror(error)) + " (errno " + std::to_string(error) + ")";
    }
}

std::string LastComponent(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// "the disk is full (writing save.tmp)", from errno as the failed call left it.
bool Failed(std::string& failure, const char* doing, const std::string& path) {
    failure = Describe(errno) + " (" + doing + " " + LastComponent(path) + ")";
    return false;
}

}  // namespace

bool WriteFileDurably(const std::wstring& path, const std::string& bytes,
                      const DurableWriteOptions& options, std::string& failure) {
    const std::string target = ToNativePath(path);
    const std::string temporary = target + ".tmp";
    const std::string backup = ToNativePath(options.backupPath);
    const auto step = [&options] {
        if (options.afterStep) options.afterStep(options.stepContext);
    };
    // Removes the temporary file without losing the reason.
    const auto abandon = [&](const char* doing, const std::string& file) {
        const int error = errno;
        unlink(temporary.c_str());
        errno = error;
        return Failed(failure, doing, file);
    };

    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Failed(failure, "creating", temporary);
    step();
    constexpr size_t Part = 1 << 20;
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(fd, bytes.data() + done, std::min(Part, bytes.size() - done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            close(fd);
            return abandon("writing", temporary);
        }
        done += static_cast<size_t>(written);
        if (done % Part == 0 || done == bytes.size()) step();
    }
    // Flushed before any rename: otherwise a power cut can leave the new name
    // on an empty file.
    if (fsync(fd) != 0) {
        close(fd);
        return abandon("flushing", temporary);
    }
    if (close(fd) != 0) return abandon("closing", temporary);
    step();
    bool keptOld = false;
    if (!backup.empty()) {
        keptOld = rename(target.c_str(), backup.c_str()) == 0;
        if (!keptOld && errno != ENOENT) return abandon("keeping the old version as", backup);
        step();
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        if (keptOld) rename(backup.c_str(), target.c_str());
        errno = error;
        return abandon("replacing", target);
    }
    step();
    // The renames reach the disk with the folder. The new version is in place
    // either way, so a folder that can't be flushed is no failure of the write.
    const int folder =
        open(target.substr(0, target.rfind('/') + 1).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    step();
    return true;
}

bool RemoveFile(const std::wstring& path, std::string& failure) {
    const std::string native = ToNativePath(path);
    if (unlink(native.c_str()) == 0 || errno == ENOENT) return true;
    return Failed(failure, "removing", native);
}

bool ListFolderFiles(const std::wstring& folder, std::vector<std::wstring>& names,
                     std::string& failure) {
    names.clear();
    std::string native = ToNativePath(folder);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    DIR* listing = opendir(native.c_str());
    if (!listing) return errno == ENOENT || Failed(failure, "listing", native);
    while (const dirent* entry = readdir(listing)) {
        // Links count as what they lead to, as the file calls follow them.
        struct stat info {};
        if (fstatat(dirfd(listing), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode))
            names.push_back(Utf8ToWide(entry->d_name));
    }
    closedir(listing);
    return true;
}
