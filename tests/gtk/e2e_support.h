// What the Linux end-to-end tests drive the real executable with: a display
// of their own (Xvfb and a window manager, which fullscreen needs) and the X
// tools run on it, app folders made from the test apps, and host processes
// whose output is read line by line. Every wait given here is a time on a
// quiet machine, scaled by TestTimeScale() (tests/support/test_time.h).
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/test_time.h"

namespace e2e {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Runs argv to its end and gives its standard output; empty on failure.
std::string RunAndRead(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& environment = {});

// An X server on a free display number with openbox on it, for the life of
// the test program.
class Display {
public:
    Display();
    ~Display();
    const std::string& name() const { return name_; }

    // Runs an X tool on the display; its standard output.
    std::string Run(const std::vector<std::string>& argv) const;
    // The first visible window whose whole name matches title (a regular
    // expression), or 0.
    unsigned long FindWindow(const std::string& title,
                             milliseconds wait = milliseconds(8000)) const;
    // The visible window of process pid, or 0.
    unsigned long WindowOf(int pid, milliseconds wait = milliseconds(5000)) const;
    // Presses the default button of the dialog captioned caption; false when
    // none showed.
    bool DismissDialog(const std::string& caption) const;
    // Activates window, then presses key (xdotool's names).
    void Press(unsigned long window, const std::string& key) const;
    void Click(unsigned long window, int button = 1) const;
    // The window's _NET_WM_STATE as xprop prints it.
    std::string NetWmState(unsigned long window) const;
    // Whether what comes to be in, or with present false out of, the state.
    bool StateBecomes(unsigned long window, const std::string& what, bool present) const;
    // "WIDTHxHEIGHT" of the client area.
    std::string ClientSize(unsigned long window) const;

private:
    int serverPid_ = -1;
    int managerPid_ = -1;
    std::string name_;
};

// One test's folder: the app (the executable, package.json, www) and a home
// of its own, with XDG folders and a recording stand-in for the user's
// default programs.
struct Sandbox {
    std::string root;
    std::string app;
    std::string home;
    std::string dataHome;    // XDG_DATA_HOME
    std::string configHome;  // XDG_CONFIG_HOME
    std::string recorded;    // one line per URI handed to the default programs
    std::string inherited;   // and the media variables each launch inherited

    // A fresh folder for testName holding a copy of executable (and of the
    // media plugin's folder beside it) and the test app appName from the
    // source tree.
    Sandbox(const std::string& testName, const std::string& executable, const std::string& appName);
    void WriteFile(const std::string& relative, const std::string& content) const;
    std::map<std::string, std::string> Environment(const std::string& display) const;
    // The recorded URIs, once count of them arrived or the time ran out.
    std::vector<std::string> Recorded(size_t count, milliseconds wait) const;
};

// A running host; killed when dropped.
class Host {
public:
    // Runs executable in workingDirectory, or in the test's own when empty.
    Host(const std::string& executable, const std::map<std::string, std::string>& environment,
         const std::string& workingDirectory = "");
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    int pid() const { return pid_; }
    // The next line starting with prefix (the prefix cut off); nothing when
    // the time runs out or the process ends first.
    std::optional<std::string> NextLine(const std::string& prefix, milliseconds wait);
    // The value of the page's next result named key, skipping other results.
    nlohmann::json Result(const std::string& key, milliseconds wait = milliseconds(8000));
    // Every output line read so far, for failure messages.
    const std::vector<std::string>& lines() const { return lines_; }
    // The exit code, or -1 when the process did not end in time (it is then
    // killed).
    int Wait(milliseconds wait = milliseconds(8000));
    // Everything the host wrote to standard error; call after Wait.
    std::string StandardError();

private:
    bool ReadMore(Clock::time_point deadline);
    std::optional<std::string> NextLineBy(const std::string& prefix, Clock::time_point deadline);
    int pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string pending_;
    std::string errors_;
    size_t next_ = 0;
    std::vector<std::string> lines_;
    std::optional<int> status_;
};

// Live processes whose parent is parent and whose name (as the kernel keeps
// it, cut to 15 bytes) is name.
std::vector<int> ChildProcesses(int parent, const std::string& name);

}  // namespace e2e
