// Router throughput and heap use, over real files in a temporary www: a
// small file, a miss, and ranges of a 1 GiB sparse file. Run by hand:
//   cmake --preset bench && cmake --build --preset bench && build/bench/bench/server_bench
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "platform/diagnostics_log.h"
#include "platform/text.h"
#include "server/router.h"

// Every heap allocation is counted, so the figures show what one answer costs.
static size_t allocatedBytes = 0;

void* operator new(size_t size) {
    allocatedBytes += size;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}

namespace {

constexpr uint64_t BigSize = 1ull << 30;

struct Content {
    std::string folder;
    std::unique_ptr<ContentServer> server;
    // The same files served with the diagnostics log attached, as the host
    // serves them: a found file must cost what it costs without.
    DiagnosticsLog log;
    std::unique_ptr<ContentServer> loggedServer;
    Content() {
        char name[] = "/tmp/ls-bench-XXXXXX";
        folder = mkdtemp(name);
        (void)std::system(("mkdir -p " + folder + "/www").c_str());
        const std::string small(2048, 'x');
        FILE* file = std::fopen((folder + "/www/small.js").c_str(), "wb");
        std::fwrite(small.data(), 1, small.size(), file);
        std::fclose(file);
        // Sparse: sized with ftruncate, never written.
        const int fd = open((folder + "/www/big.webm").c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0 || ftruncate(fd, static_cast<off_t>(BigSize)) != 0) std::abort();
        close(fd);
        std::wstring root = Utf8ToWide(folder + "/www/");
        for (auto& unit : root)
            if (unit == L'/') unit = L'\\';
        server = std::make_unique<ContentServer>(root);
        std::wstring logs = Utf8ToWide(folder + "/logs");
        for (auto& unit : logs)
            if (unit == L'/') unit = L'\\';
        log.Open(logs);
        if (!log.IsOpen()) std::abort();
        loggedServer = std::make_unique<ContentServer>(root, &log);
    }
    ~Content() {
        server->Mappings().ReleaseMappedViews();
        loggedServer->Mappings().ReleaseMappedViews();
        (void)std::system(("rm -rf " + folder).c_str());
    }
};

Content& Files() {
    static Content content;
    return content;
}

void Report(benchmark::State& state, size_t allocatedBefore) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.counters["heap_bytes_per_answer"] =
        benchmark::Counter(static_cast<double>(allocatedBytes - allocatedBefore) /
                           static_cast<double>(state.iterations()));
}

void Route(benchmark::State& state, const std::wstring& uri,
           const std::vector<std::wstring>& ranges, int expectedStatus, bool logged = false) {
    ContentServer& server = logged ? *Files().loggedServer : *Files().server;
    size_t next = 0;
    if (!ranges.empty()) RouteRequest(server, uri, std::wstring_view(ranges[0]));  // map once
    const size_t before = allocatedBytes;
    for (auto _ : state) {
        Answer answer =
            ranges.empty()
                ? RouteRequest(server, uri, std::nullopt)
                : RouteRequest(server, uri, std::wstring_view(ranges[next++ % ranges.size()]));
        if (answer.status != expectedStatus) state.SkipWithError("unexpected status");
        benchmark::DoNotOptimize(answer);
    }
    Report(state, before);
}

std::vector<std::wstring> RandomRanges(uint64_t length, bool openEnded) {
    std::mt19937_64 random(42);
    std::uniform_int_distribution<uint64_t> offset(1, BigSize - (length ? length : 1));
    std::vector<std::wstring> ranges;
    for (int i = 0; i < 4096; ++i) {
        const uint64_t first = offset(random);
        ranges.push_back(openEnded ? L"bytes=" + std::to_wstring(first) + L"-"
                                   : L"bytes=" + std::to_wstring(first) + L"-" +
                                         std::to_wstring(first + length - 1));
    }
    return ranges;
}

void SmallFile(benchmark::State& state) {
    Route(state, L"small.js", {}, 200, state.range(0) != 0);
}
void NotFound(benchmark::State& state) {
    Route(state, L"missing.png", {}, 404, state.range(0) != 0);
}
void Range(benchmark::State& state) {
    Route(state, L"big.webm", RandomRanges(static_cast<uint64_t>(state.range(0)), false), 206,
          state.range(1) != 0);
}
void OpenEndedSeek(benchmark::State& state) {
    Route(state, L"big.webm", RandomRanges(0, true), 206);
}

}  // namespace

// The second argument (or the only one) 1: the server has the diagnostics log.
BENCHMARK(SmallFile)->Name("answer/2KiB_file")->ArgName("logged")->Arg(0)->Arg(1);
BENCHMARK(NotFound)->Name("answer/404")->ArgName("logged")->Arg(0)->Arg(1);
BENCHMARK(Range)
    ->Name("answer/range_random")
    ->ArgNames({"bytes", "logged"})
    ->Args({64 << 10, 0})
    ->Args({64 << 10, 1})
    ->Args({1, 0})
    ->Args({16 << 20, 0});
BENCHMARK(OpenEndedSeek)->Name("answer/seek_bytes=N-");

BENCHMARK_MAIN();
