#include "tests/server/content_folder.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/text.h"
#include "platform/files.h"

#ifdef _WIN32
#include <windows.h>
#include <objidl.h>

#include "server/win32/body_stream.h"
#else
#include <unistd.h>
#include "platform/posix/native_path.h"
#endif

namespace fs = std::filesystem;

namespace {

fs::path NativeOf(const std::wstring& hostPath) {
#ifdef _WIN32
    return fs::path(hostPath);
#else
    return fs::path(ToNativePath(hostPath));
#endif
}

unsigned ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned>(getpid());
#endif
}

std::wstring NewFolder() {
    static std::atomic<unsigned> counter{0};
    const fs::path folder =
        fs::temp_directory_path() /
        ("ls-server-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++));
    fs::remove_all(folder);
    fs::create_directories(folder / "www");
#ifdef _WIN32
    std::wstring path = folder.wstring();
#else
    std::wstring path = Utf8ToWide(folder.string());
    std::replace(path.begin(), path.end(), L'/', L'\\');
#endif
    if (path.back() != L'\\') path.push_back(L'\\');
    return path;
}

}  // namespace

ContentFolder::ContentFolder() : folder_(NewFolder()), server_(folder_ + L"www\\") {}

ContentFolder::~ContentFolder() {
    server_.Mappings().ReleaseMappedViews();
    std::error_code ignored;
    fs::remove_all(NativeOf(folder_), ignored);
}

std::wstring ContentFolder::HostPath(const std::wstring& relative) const {
    std::wstring path = relative.rfind(L"../", 0) == 0 ? folder_ + relative.substr(3)
                                                       : folder_ + L"www\\" + relative;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::string ContentFolder::NativePath(const std::wstring& relative) const {
    return NativeOf(HostPath(relative)).string();
}

void ContentFolder::Write(const std::wstring& relative, const std::string& bytes) const {
    const fs::path path = NativeOf(HostPath(relative));
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void ContentFolder::MakeFolder(const std::wstring& relative) const {
    fs::create_directories(NativeOf(HostPath(relative)));
}

bool ContentFolder::MakeSparse(const std::wstring& relative, uint64_t size,
                               const std::string& markers, const uint64_t* offsets) const {
    const fs::path path = NativeOf(HostPath(relative));
#ifdef _WIN32
    std::error_code error;
    if (fs::space(path.parent_path(), error).available < size + (256ull << 20)) return false;
#endif
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    fs::resize_file(path, size);
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    for (size_t i = 0; i < markers.size(); ++i) {
        out.seekp(static_cast<std::streamoff>(offsets[i]));
        out.put(markers[i]);
    }
    return true;
}

bool ContentFolder::Exists(const std::wstring& relative) const {
    return fs::exists(NativeOf(HostPath(relative)));
}

std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) % 251);
    return bytes;
}

std::wstring RequestUri(const std::wstring& relative) {
    return relative;
}

BodyRead ReadBody(const Answer& answer) {
    BodyRead read;
#ifdef _WIN32
    IStream* stream = CreateBodyStream(answer.body);
    if (!stream) return read;
    read.hasStream = true;
    char buffer[65536];
    for (;;) {
        ULONG count = 0;
        const HRESULT result = stream->Read(buffer, sizeof buffer, &count);
        read.bytes.append(buffer, count);
        if (FAILED(result) || count == 0) break;
    }
    stream->Release();
#else
    switch (answer.body.kind) {
        case BodyKind::None:
            return read;
        case BodyKind::NotFoundText:
            read.bytes.assign(NotFoundBody, NotFoundBodyLength);
            break;
        case BodyKind::WholeFile: {
            std::ifstream in(NativeOf(answer.body.filePath), std::ios::binary);
            read.bytes.assign(std::istreambuf_iterator<char>(in), {});
            break;
        }
        case BodyKind::FileRange:
            read.bytes.assign(
                reinterpret_cast<const char*>(answer.body.view->view + answer.body.offset),
                static_cast<size_t>(answer.body.length));
            break;
    }
    read.hasStream = true;
#endif
    return read;
}
