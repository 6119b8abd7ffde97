// A test-only HTTP/1.1 front for the content server, so that a real browser
// can load pages through the router: each GET becomes RouteRequest, and the
// router's status, reason, header lines and body bytes are written back as
// they are. Framing adds only a Content-Length to answers whose header lines
// have none (404, 416, 500), so that a kept-alive connection knows where the
// body ends. Bound to 127.0.0.1; never part of the shipped executable.
//
//   http_front --root DIR [--port N] [--log FILE] [--cap BYTES]
//
// Prints "listening PORT" once it accepts connections; every answer is one
// log line: method, target, Range, status, Content-Range, body length.
//
//   http_front --close-script ORIGIN
//   http_front --page-script ORIGIN --saves DIR [--mirror QUIET,LONGEST,CHECK]
//   http_front --answer --saves DIR [--mirror]
//
// print the hosts' script texts, so the suite runs those very texts (the
// mirror restoring DIR's file, with its timing in milliseconds), or answer
// page requests, one JSON text a line on standard input, with the host's
// save store in DIR, one reply a line.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "host/browser_arguments.h"
#include "host/page_request.h"
#include "host/page_scripts.h"
#include "host/save_files.h"
#include "platform/posix/native_path.h"
#include "platform/text.h"
#include "server/router.h"

namespace {

struct Front {
    ContentServer* server = nullptr;
    std::mutex routing;  // the router and its cache belong to one thread at a time
    std::mutex logging;
    FILE* log = stderr;
};

struct Request {
    std::string method;
    std::string target;
    std::optional<std::string> range;
    bool close = false;
};

bool EqualsNoCase(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Reads one request head; false when the peer closed or sent something
// that is not HTTP. Request bodies are not expected (GET only).
bool ReadRequest(int socket, std::string& pending, Request& request) {
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (pending.size() > 64 * 1024) return false;
        char buffer[8192];
        const ssize_t count = recv(socket, buffer, sizeof buffer, 0);
        if (count <= 0) return false;
        pending.append(buffer, static_cast<size_t>(count));
    }
    const std::string head = pending.substr(0, end);
    pending.erase(0, end + 4);

    request = {};
    size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t space1 = requestLine.find(' ');
    const size_t space2 = requestLine.rfind(' ');
    if (space1 == std::string::npos || space2 == space1) return false;
    request.method = requestLine.substr(0, space1);
    request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line =
            head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = line.substr(0, colon);
        const std::string value = Trim(line.substr(colon + 1));
        if (EqualsNoCase(name, "Range")) request.range = value;
        if (EqualsNoCase(name, "Connection") && EqualsNoCase(value, "close")) request.close = true;
    }
    return true;
}

bool SendAll(int socket, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool SendFile(int socket, const std::wstring& path, uint64_t length) {
    const int file = open(ToNativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return false;
    char buffer[256 * 1024];
    bool whole = true;
    while (length > 0 && whole) {
        const ssize_t count = read(file, buffer, length < sizeof buffer ? length : sizeof buffer);
        whole = count > 0 && SendAll(socket, buffer, static_cast<size_t>(count));
        if (whole) length -= static_cast<uint64_t>(count);
    }
    close(file);
    return whole;
}

// Answers one request; false when the connection can't go on.
bool Respond(Front& front, int socket, const Request& request) {
    if (request.method != "GET" && request.method != "HEAD") {
        const char reply[] = "HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n";
        return SendAll(socket, reply, sizeof reply - 1);
    }
    // The router reads what follows the app origin; the target's leading
    // slash is that origin's last character.
    const std::string target = request.target.empty() ? "/" : request.target;
    const std::wstring uri = Utf8ToWide(target.substr(target[0] == '/' ? 1 : 0));
    std::optional<std::wstring> range;
    if (request.range) range = Utf8ToWide(*request.range);

    Answer answer;
    {
        std::lock_guard<std::mutex> lock(front.routing);
        answer = RouteRequest(*front.server, uri,
                              range ? std::optional<std::wstring_view>(*range) : std::nullopt);
    }
    const uint64_t length = BodyLength(answer.body);
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " +
                       WideToUtf8(answer.reasonPhrase) + "\r\n";
    bool hasLength = false;
    std::string contentRange = "-";
    ForEachHeaderLine(answer.headers, [&](std::wstring_view name, std::wstring_view value) {
        const std::string line = WideToUtf8(std::wstring(name) + L": " + std::wstring(value));
        head += line + "\r\n";
        if (name == L"Content-Length") hasLength = true;
        if (name == L"Content-Range") contentRange = WideToUtf8(std::wstring(value));
    });
    if (!hasLength) head += "Content-Length: " + std::to_string(length) + "\r\n";
    head += "\r\n";

    {
        std::lock_guard<std::mutex> lock(front.logging);
        std::fprintf(front.log, "%s %s range=%s -> %d content-range=%s length=%llu\n",
                     request.method.c_str(), request.target.c_str(),
                     request.range ? request.range->c_str() : "-", answer.status,
                     contentRange.c_str(), static_cast<unsigned long long>(length));
        std::fflush(front.log);
    }

    if (!SendAll(socket, head.data(), head.size())) return false;
    if (request.method == "HEAD") return true;
    switch (answer.body.kind) {
        case BodyKind::None:
            return true;
        case BodyKind::NotFoundText:
            return SendAll(socket, NotFoundBody, NotFoundBodyLength);
        case BodyKind::WholeFile:
            return SendFile(socket, answer.body.filePath, answer.body.length);
        case BodyKind::FileRange:
            return SendAll(
                socket, reinterpret_cast<const char*>(answer.body.view->view + answer.body.offset),
                static_cast<size_t>(answer.body.length));
    }
    return false;
}

void Serve(Front& front, int socket) {
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::string pending;
    Request request;
    while (ReadRequest(socket, pending, request) && Respond(front, socket, request) &&
           !request.close) {
    }
    close(socket);
}

const char* Option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
    return nullptr;
}

bool Flag(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return true;
    return false;
}

std::wstring HostPath(const char* native) {
    std::wstring path = Utf8ToWide(native);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The page scripts and the save store, without an engine.
int Pages(int argc, char** argv) {
    const char* saves = Option(argc, argv, "--saves");
    const char* mirror = Option(argc, argv, "--mirror");
    SaveStore store(HostPath(saves ? saves : "."), Flag(argc, argv, "--mirror"), nullptr);
    std::wstring script;
    if (const char* origin = Option(argc, argv, "--close-script")) {
        script = CloseScript(Utf8ToWide(origin));
    } else if (const char* origin = Option(argc, argv, "--page-script")) {
        std::vector<PageService> services{SavesService()};
        MirrorTiming t;
        if (mirror && std::sscanf(mirror, "%d,%d,%d", &t.quietMs, &t.longestMs, &t.checkMs) == 3)
            services.push_back(LocalStorageMirrorService(store.ReadMirror(), t));
        script = PageServicesScript(Utf8ToWide(origin), services);
    }
    std::fputs(WideToUtf8(script).c_str(), stdout);
    for (std::string line; script.empty() && std::getline(std::cin, line);) {
        const auto request = ReadPageRequest(Utf8ToWide(line));
        std::cout << (request ? PageReplyJson(request->id, store.Answer(*request)) : "none")
                  << std::endl;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (Flag(argc, argv, "--close-script") || Flag(argc, argv, "--page-script") ||
        Flag(argc, argv, "--answer"))
        return Pages(argc, argv);
    // The error script in a mode with a window short enough to wait for, and
    // the Windows host's arguments for settings.background.
    const char* mode = Option(argc, argv, "--mode");
    const char* window = Option(argc, argv, "--window-ms");
    std::optional<std::wstring> text;
    if (const char* origin = Option(argc, argv, "--page-log-script"))
        text = PageLogScript(
            Utf8ToWide(origin),
            PageLogModeNamed(Utf8ToWide(mode ? mode : "")).value_or(PageLogMode::Errors),
            window ? std::atoi(window) : PageLogWindowMs);
    else if (const char* background = Option(argc, argv, "--browser-arguments"))
        text = BrowserArguments(
            {L"", false, GpuPreference::SystemDefault,
             BackgroundModeNamed(Utf8ToWide(background)).value_or(BackgroundMode::Throttle)});
    if (text) {
        std::fputs(WideToUtf8(*text).c_str(), stdout);
        return 0;
    }
    const char* root = Option(argc, argv, "--root");
    if (!root) {
        std::fprintf(stderr,
                     "usage: http_front --root DIR [--port N] [--log FILE] [--cap BYTES]\n"
                     "       http_front --close-script ORIGIN\n"
                     "       http_front --page-log-script ORIGIN [--mode MODE] [--window-ms N]\n"
                     "       http_front --browser-arguments BACKGROUND\n"
                     "       http_front --page-script ORIGIN --saves DIR [--mirror Q,L,C]\n"
                     "       http_front --answer --saves DIR [--mirror]\n");
        return 2;
    }
    const char* port = Option(argc, argv, "--port");
    const char* logPath = Option(argc, argv, "--log");
    const char* cap = Option(argc, argv, "--cap");

    std::wstring hostRoot = HostPath(root);
    if (hostRoot.empty() || hostRoot.back() != L'\\') hostRoot.push_back(L'\\');
    ContentServer server(hostRoot, nullptr, cap ? std::strtoull(cap, nullptr, 10) : OpenRangeCap);
    Front front;
    front.server = &server;
    if (logPath && !(front.log = std::fopen(logPath, "w"))) {
        std::perror(logPath);
        return 1;
    }

    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port ? std::atoi(port) : 0));
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0) {
        std::perror("http_front: bind");
        return 1;
    }
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    std::printf("listening %d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    for (;;) {
        const int socket = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EINTR) continue;
            std::perror("http_front: accept");
            return 1;
        }
        std::thread(Serve, std::ref(front), socket).detach();
    }
}
