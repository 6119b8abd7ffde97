#include "host/gtk/engine_processes.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

std::vector<EngineProcess> RunningEngineProcesses() {
    const std::string self = std::to_string(getpid());
    std::vector<EngineProcess> running;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (comm) state ppid ...: comm may hold spaces and parentheses.
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::string name = line.substr(open + 1, close - open - 1);
        char state = 0;
        char parent[32] = {};
        if (std::sscanf(line.c_str() + close + 1, " %c %31s", &state, parent) != 2) continue;
        if (self == parent && state != 'Z' && name.rfind("WebKit", 0) == 0)
            running.push_back({std::atoi(line.c_str()), std::move(name)});
    }
    return running;
}

bool PageProcessRunning(const std::vector<EngineProcess>& running, const std::vector<int>& page,
                        const std::string& prefix) {
    return std::any_of(running.begin(), running.end(), [&](const EngineProcess& process) {
        return process.name.rfind(prefix, 0) == 0 &&
               (page.empty() || std::find(page.begin(), page.end(), process.pid) != page.end());
    });
}
