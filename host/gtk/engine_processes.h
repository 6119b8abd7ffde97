// The engine's processes, children of this one, told apart for the quit
// sequence: the page's web and network processes hold its data and are
// waited for; the inspector's own two hold none and are not.
#pragma once

#include <string>
#include <vector>

struct EngineProcess {
    int pid = 0;
    std::string name;  // as the kernel keeps it, cut to 15 bytes: "WebKitWebProces"
};

// This process's children named "WebKit..." that still run; zombies have ended.
std::vector<EngineProcess> RunningEngineProcesses();

// Whether one of running whose name starts with prefix is the page's: in
// page, or any at all while page is empty (not known).
bool PageProcessRunning(const std::vector<EngineProcess>& running, const std::vector<int>& page,
                        const std::string& prefix);
