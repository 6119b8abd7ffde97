// One instance per app on POSIX: flock and a Unix socket in the data folder.
#include "platform/single_instance.h"
#include "platform/posix/single_instance.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/posix/native_path.h"

namespace {

constexpr char PresentRequest[] = "present\n";
constexpr char PresentAnswer[] = "ok\n";

std::string ErrorText(const char* operation) {
    return std::string("failed: ") + operation + " (" + std::strerror(errno) + ")";
}

// The socket's address. A path too long for sun_path (a long app name)
// goes through the folder's descriptor instead, which folder must then
// hold open while the address is used.
bool SocketAddress(const std::string& folder, sockaddr_un& address, int& folderFd) {
    address = {};
    address.sun_family = AF_UNIX;
    std::string path = folder + "/" + InstanceSocketFileName;
    folderFd = -1;
    if (path.size() >= sizeof address.sun_path) {
        folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd < 0) return false;
        path = "/proc/self/fd/" + std::to_string(folderFd) + "/" + InstanceSocketFileName;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads until a line feed, the deadline or the end; what was read.
std::string ReadLine(int fd, std::chrono::steady_clock::time_point deadline) {
    std::string text;
    while (text.size() < 16 && text.find('\n') == std::string::npos) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, RemainingMs(deadline)) <= 0) break;
        char buffer[16];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        text.append(buffer, static_cast<size_t>(count));
    }
    return text;
}

bool WriteAll(int fd, const char* text) {
    const size_t length = std::strlen(text);
    // MSG_NOSIGNAL: a peer that went away must not kill us with SIGPIPE.
    return send(fd, text, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
}

}  // namespace

bool InstanceLock::Claim(const std::wstring& dataFolder, std::string& problem) {
    problem.clear();
    const std::string folder = ToNativePath(dataFolder);
    CreateFolder(dataFolder);
    // Close-on-exec: a program the app starts must never inherit the lock and
    // keep it after the app is gone.
    const int fd =
        open((folder + "/" + InstanceLockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem = ErrorText("opening the instance lock file");
        return true;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        problem = held ? "" : ErrorText("flock on the instance lock file");
        close(fd);
        return !held;
    }
    lock_ = fd;

    // Holding the lock, any socket file left is a dead instance's.
    sockaddr_un address;
    int folderFd = -1;
    if (!SocketAddress(folder, address, folderFd)) {
        problem = ErrorText("opening the data folder for the instance socket");
        return true;
    }
    unlink(address.sun_path);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener < 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0) {
        problem = ErrorText("making the instance socket");
        if (listener >= 0) close(listener);
    } else {
        // Only this user may ask.
        chmod(address.sun_path, 0600);
        listener_ = listener;
        socketPath_ = folder + "/" + InstanceSocketFileName;
    }
    if (folderFd >= 0) close(folderFd);
    return true;
}

InstanceLock::~InstanceLock() {
    if (listener_ != -1) {
        close(static_cast<int>(listener_));
        unlink(socketPath_.c_str());
    }
    // Closing the last descriptor releases the flock.
    if (lock_ != -1) close(static_cast<int>(lock_));
}

bool TakePresentRequest(int listener) {
    const int peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) return false;
    // The UI thread waits here: a peer that says nothing is dropped soon.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    const bool asked = ReadLine(peer, deadline) == PresentRequest;
    if (asked) WriteAll(peer, PresentAnswer);
    close(peer);
    return asked;
}

bool AskRunningInstanceToPresent(const std::wstring& dataFolder, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string folder = ToNativePath(dataFolder);
    // The running instance may not be listening yet: it binds right after
    // taking the lock.
    for (;;) {
        sockaddr_un address;
        int folderFd = -1;
        bool told = false;
        if (SocketAddress(folder, address, folderFd)) {
            const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd >= 0 &&
                connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                WriteAll(fd, PresentRequest))
                told = ReadLine(fd, deadline) == PresentAnswer;
            if (fd >= 0) close(fd);
            if (folderFd >= 0) close(folderFd);
        }
        if (told) return true;
        if (RemainingMs(deadline) <= 0) return false;
        usleep(20000);
    }
}
