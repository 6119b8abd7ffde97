// The POSIX side of one instance per app: the running instance hears the
// second start's request on its lock's listening socket.
#pragma once

#include <string>

class InstanceLock;

// The socket's and the lock file's names in the data folder.
constexpr const char* InstanceLockFileName = "Lanternshell.lock";
constexpr const char* InstanceSocketFileName = "Lanternshell.socket";

// Call when the listener is readable: takes one connection and answers it.
// True when it asked this instance to present itself. Never blocks for long:
// a peer that says nothing is dropped after a fraction of a second.
bool TakePresentRequest(int listener);
