// One running instance per app. The app is its user data folder: two starts
// on the same folder would be two writers of one browser profile, and so of
// the player's saves. The first start holds a lock derived from that folder
// for as long as it runs; a second start finds the lock held, asks the
// running instance to present itself and ends. The system releases the lock
// of a process that dies, however it dies, so a crash never blocks a start.
//
// Windows: a mutex in the session's namespace ("Local\Lanternshell-KEY"),
// the running window marked with a property named by the key
// (platform/win32/single_instance.h). POSIX: flock on "Lanternshell.lock" in
// the data folder, and a Unix socket "Lanternshell.socket" beside it through
// which the second start asks (platform/posix/single_instance.h).
#pragma once

#include <cstdint>
#include <string>

// 16 hex digits: the 64-bit FNV-1a hash of the folder's UTF-8, taken as
// the platform compares folder names (upper-cased on Windows), with trailing
// separators removed. Any length and any characters give a valid object name.
std::string InstanceKey(const std::wstring& comparableFolder);

// Owned by the startup sequence for the life of the process, and released
// only after the browser has written its profile. Claimed and released on
// the same thread: on Windows the mutex belongs to the thread that took it.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Claims the lock of the app whose user data folder is dataFolder; on
    // POSIX the folder is made when missing (its parent must exist). False
    // when another running instance holds it. True when this process now
    // holds it, and also when the lock could not be made at all: a start is
    // never refused for the lock's sake; problem then says what failed, for
    // the log (it is also set when only the present requests can't be heard).
    bool Claim(const std::wstring& dataFolder, std::string& problem);
    bool Held() const { return lock_ != -1; }

    // POSIX: the listening socket the second start connects to, or -1.
    intptr_t PresentListener() const { return listener_; }

private:
    intptr_t lock_ = -1;      // the mutex HANDLE on Windows, the lock file's descriptor on POSIX
    intptr_t listener_ = -1;  // POSIX only
    std::string socketPath_;  // POSIX only: removed again on release
};

// For a start that found the lock held: asks the running instance of the app
// whose user data folder is dataFolder to present itself (shown restored if
// minimized and brought to the front), waiting at most timeoutMs for it to be
// reached. True when it was told. The caller exits with 0 either way: the
// instance may still be starting, and it owns the profile.
bool AskRunningInstanceToPresent(const std::wstring& dataFolder, int timeoutMs);
