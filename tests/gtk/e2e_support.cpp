#include "e2e_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts argv with the given environment (or the test's own when empty);
// out and err receive the read ends of its output pipes when asked for.
int Spawn(std::vector<std::string> argv, const std::map<std::string, std::string>& environment,
          int* out, int* err, const std::string& workingDirectory = "") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (out && pipe2(outPipe, O_CLOEXEC) == 0)
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    if (err && pipe2(errPipe, O_CLOEXEC) == 0)
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (!out) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!err) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> variables;
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    auto args = Pointers(argv);
    auto env = Pointers(variables);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(),
                                    environment.empty() ? environ : env.data());
    posix_spawn_file_actions_destroy(&actions);
    for (int* end : {&outPipe[1], &errPipe[1]})
        if (*end >= 0) close(*end);
    if (out) *out = outPipe[0];
    if (err) *err = errPipe[0];
    if (failed) throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(count));
    return text;
}

void Copy(const fs::path& from, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

}  // namespace

std::string RunAndRead(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& environment) {
    int out = -1;
    const int pid = Spawn(argv, environment, &out, nullptr);
    std::string text = ReadAll(out);
    close(out);
    int status = 0;
    waitpid(pid, &status, 0);
    return text;
}

Display::Display() {
    int displayPipe[2];
    if (pipe(displayPipe) != 0) throw std::runtime_error("pipe");
    // Xvfb picks a free number and writes it to the descriptor given.
    const std::string fd = std::to_string(displayPipe[1]);
    serverPid_ = Spawn(
        {"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
        {}, nullptr, nullptr);
    close(displayPipe[1]);
    std::string number;
    char unit = 0;
    while (read(displayPipe[0], &unit, 1) == 1 && unit != '\n') number.push_back(unit);
    close(displayPipe[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start");
    name_ = ":" + number;
    std::map<std::string, std::string> environment{
        {"DISPLAY", name_}, {"PATH", std::getenv("PATH")}, {"HOME", fs::temp_directory_path()}};
    managerPid_ = Spawn({"openbox", "--sm-disable"}, environment, nullptr, nullptr);
    // The manager has taken the screen once it answers for it.
    const auto deadline = Clock::now() + Scaled(milliseconds(5000));
    do {
        if (Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
            std::string::npos)
            return;
        std::this_thread::sleep_for(milliseconds(50));
    } while (Clock::now() < deadline);
    throw std::runtime_error("openbox did not start");
}

Display::~Display() {
    for (int pid : {managerPid_, serverPid_}) {
        if (pid <= 0) continue;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

std::string Display::Run(const std::vector<std::string>& argv) const {
    return RunAndRead(argv, {{"DISPLAY", name_}, {"PATH", std::getenv("PATH")}});
}

namespace {

// The first window an xdotool search finds, looking until the time runs out.
unsigned long Search(const Display& display, const std::vector<std::string>& search,
                     milliseconds wait) {
    const auto deadline = Clock::now() + Scaled(wait);
    std::vector<std::string> argv{"xdotool", "search", "--onlyvisible"};
    argv.insert(argv.end(), search.begin(), search.end());
    do {
        const std::string found = display.Run(argv);
        if (!found.empty()) return std::stoul(found);
        std::this_thread::sleep_for(milliseconds(50));
    } while (Clock::now() < deadline);
    return 0;
}

}  // namespace

unsigned long Display::FindWindow(const std::string& title, milliseconds wait) const {
    return Search(*this, {"--name", "^" + title + "$"}, wait);
}

unsigned long Display::WindowOf(int pid, milliseconds wait) const {
    return Search(*this, {"--pid", std::to_string(pid)}, wait);
}

bool Display::DismissDialog(const std::string& caption) const {
    const unsigned long dialog = FindWindow(caption);
    if (dialog)
        Run({"xdotool", "windowactivate", "--sync", std::to_string(dialog), "key", "Return"});
    return dialog != 0;
}

void Display::Press(unsigned long window, const std::string& key) const {
    Run({"xdotool", "windowactivate", "--sync", std::to_string(window)});
    // A key at once after the activation was lost now and then.
    std::this_thread::sleep_for(milliseconds(200));
    Run({"xdotool", "key", key});
}

void Display::Click(unsigned long window, int button) const {
    Run({"xdotool", "windowactivate", "--sync", std::to_string(window), "mousemove", "--window",
         std::to_string(window), "50", "50", "click", std::to_string(button)});
}

std::string Display::NetWmState(unsigned long window) const {
    return Run({"xprop", "-id", std::to_string(window), "_NET_WM_STATE"});
}

bool Display::StateBecomes(unsigned long window, const std::string& what, bool present) const {
    const auto deadline = Clock::now() + Scaled(milliseconds(4000));
    do {
        if ((NetWmState(window).find(what) != std::string::npos) == present) return true;
        std::this_thread::sleep_for(milliseconds(50));
    } while (Clock::now() < deadline);
    return false;
}

std::string Display::ClientSize(unsigned long window) const {
    const std::string shell =
        Run({"xdotool", "getwindowgeometry", "--shell", std::to_string(window)});
    std::smatch size;
    std::regex_search(shell, size, std::regex("WIDTH=(\\d+)\\s+HEIGHT=(\\d+)"));
    return size.size() == 3 ? size[1].str() + "x" + size[2].str() : shell;
}

Sandbox::Sandbox(const std::string& testName, const std::string& executable,
                 const std::string& appName) {
    root = std::string(LS_E2E_WORK_DIR) + "/" + testName;
    fs::remove_all(root);
    app = root + "/app";
    home = root + "/home";
    // Apart from the fallback below HOME, so a host that ignored
    // XDG_DATA_HOME would be caught.
    dataHome = root + "/data";
    configHome = home + "/.config";
    recorded = root + "/recorded.txt";
    inherited = root + "/inherited.txt";
    fs::create_directories(app);
    fs::create_directories(dataHome + "/applications");
    fs::create_directories(configHome);
    if (!appName.empty()) {
        const fs::path source = fs::path(LS_E2E_APPS_DIR) / appName;
        Copy(source, app);
        Copy(fs::path(LS_E2E_APPS_DIR) / "report.js", fs::path(app) / "www/report.js");
    }
    fs::copy_file(executable, fs::path(app) / fs::path(executable).filename(),
                  fs::copy_options::overwrite_existing);
    // The media plugin's folder goes with its executable, as in dist-linux/.
    const fs::path plugin = fs::path(executable).parent_path() / "lanternshell-media";
    if (fs::is_directory(plugin)) Copy(plugin, fs::path(app) / "lanternshell-media");

    // The user's default programs for web, mail, files, the app's own scheme
    // and a store's: one recorder, so whatever the host hands over is seen.
    const std::string recorder = root + "/recorder";
    // The environment first: a recorded URI's line is there once the URI is.
    WriteFile(recorder,
              "#!/bin/sh\nprintf 'root=%s protocols=%s plugins=%s\\n' "
              "\"${LANTERNSHELL_MEDIA_ROOT-unset}\" \"${WEBKIT_GST_ALLOWED_URI_PROTOCOLS-unset}\" "
              "\"${GST_PLUGIN_PATH-unset}\" >> '" +
                  inherited + "'\nprintf '%s\\n' \"$1\" >> '" + recorded + "'\n");
    fs::permissions(recorder, fs::perms::owner_all);
    const char* const types[] = {"x-scheme-handler/http",   "x-scheme-handler/https",
                                 "x-scheme-handler/mailto", "x-scheme-handler/ftp",
                                 "x-scheme-handler/file",   "x-scheme-handler/lanternshell",
                                 "x-scheme-handler/steam",  "text/plain"};
    std::string mimeTypes, defaults = "[Default Applications]\n";
    for (const char* type : types) {
        mimeTypes += std::string(type) + ";";
        defaults += std::string(type) + "=ls-recorder.desktop\n";
    }
    WriteFile(dataHome + "/applications/ls-recorder.desktop",
              "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + recorder +
                  " %u\nNoDisplay=true\nMimeType=" + mimeTypes + "\n");
    WriteFile(configHome + "/mimeapps.list", defaults);
}

void Sandbox::WriteFile(const std::string& relative, const std::string& content) const {
    const fs::path path = relative.front() == '/' ? fs::path(relative) : fs::path(app) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::map<std::string, std::string> Sandbox::Environment(const std::string& display) const {
    std::map<std::string, std::string> environment{
        {"HOME", home},
        {"XDG_DATA_HOME", dataHome},
        {"XDG_CONFIG_HOME", configHome},
        {"XDG_CACHE_HOME", home + "/.cache"},
        {"XDG_RUNTIME_DIR", root},
        {"PATH", std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"},
        // No accessibility bus in the tests' session.
        {"NO_AT_BRIDGE", "1"},
    };
    if (!display.empty()) environment["DISPLAY"] = display;
    return environment;
}

std::vector<std::string> Sandbox::Recorded(size_t count, milliseconds wait) const {
    const auto deadline = Clock::now() + Scaled(wait);
    std::vector<std::string> uris;
    do {
        uris.clear();
        std::ifstream file(recorded);
        for (std::string line; std::getline(file, line);) uris.push_back(line);
        if (uris.size() >= count) break;
        std::this_thread::sleep_for(milliseconds(50));
    } while (Clock::now() < deadline);
    return uris;
}

Host::Host(const std::string& executable, const std::map<std::string, std::string>& environment,
           const std::string& workingDirectory) {
    pid_ = Spawn({executable}, environment, &out_, &err_, workingDirectory);
}

Host::~Host() {
    if (!status_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
}

bool Host::ReadMore(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || out_ < 0) return false;
    // Standard error is drained as well, so the host never blocks on it.
    pollfd entries[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (poll(entries, err_ >= 0 ? 2 : 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    if (err_ >= 0 && entries[1].revents) {
        const ssize_t count = read(err_, buffer, sizeof buffer);
        if (count > 0) {
            errors_.append(buffer, static_cast<size_t>(count));
        } else {
            close(err_);
            err_ = -1;
        }
    }
    if (!entries[0].revents) return true;
    const ssize_t count = read(out_, buffer, sizeof buffer);
    if (count <= 0) {
        close(out_);
        out_ = -1;
        return false;
    }
    pending_.append(buffer, static_cast<size_t>(count));
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        lines_.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
    }
    return true;
}

std::optional<std::string> Host::NextLine(const std::string& prefix, milliseconds wait) {
    return NextLineBy(prefix, Clock::now() + Scaled(wait));
}

std::optional<std::string> Host::NextLineBy(const std::string& prefix, Clock::time_point deadline) {
    for (;;) {
        while (next_ < lines_.size()) {
            const std::string& line = lines_[next_++];
            if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
        }
        if (!ReadMore(deadline) && (out_ < 0 || Clock::now() >= deadline)) return std::nullopt;
    }
}

nlohmann::json Host::Result(const std::string& key, milliseconds wait) {
    const auto deadline = Clock::now() + Scaled(wait);
    for (;;) {
        const auto line = NextLineBy("page: ", deadline);
        if (!line) return nlohmann::json("<no result '" + key + "'>");
        const auto result = nlohmann::json::parse(*line, nullptr, false);
        if (result.is_object() && result.value("key", "") == key) return result["value"];
    }
}

int Host::Wait(milliseconds wait) {
    const auto deadline = Clock::now() + Scaled(wait);
    while (!status_) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            status_ = -1;
            break;
        }
        // Keep the pipe drained so the host never blocks on its output.
        if (!ReadMore(Clock::now() + milliseconds(20)))
            std::this_thread::sleep_for(milliseconds(20));
    }
    return *status_;
}

std::string Host::StandardError() {
    if (err_ >= 0) {
        errors_ += ReadAll(err_);
        close(err_);
        err_ = -1;
    }
    return errors_;
}

std::vector<int> ChildProcesses(int parent, const std::string& name) {
    std::vector<int> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream status(entry.path() / "status");
        std::string line, processName, state;
        int processParent = -1;
        while (std::getline(status, line)) {
            if (line.rfind("Name:\t", 0) == 0) processName = line.substr(6);
            if (line.rfind("State:\t", 0) == 0) state = line.substr(7, 1);
            if (line.rfind("PPid:\t", 0) == 0) processParent = std::stoi(line.substr(6));
        }
        if (processParent == parent && processName == name && state != "Z")
            children.push_back(std::stoi(pid));
    }
    return children;
}

}  // namespace e2e
