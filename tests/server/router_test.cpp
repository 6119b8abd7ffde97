// The router's answers on real files, compiled for both builds: natively over
// the POSIX file layer, on Windows over Win32 and the real body streams.
#include "server/router.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/diagnostics_log.h"
#include "platform/files.h"
#include "server/byte_range.h"
#include "server/request_path.h"
#include "tests/server/content_folder.h"
#include "tests/support/log_lines.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const std::string Clip = Pattern(1000, 3);
const std::string Hero = Pattern(1234, 5);
const std::string Index = "<!doctype html><title>t</title>";

constexpr wchar_t Cache[] = L"Cache-Control: no-store";

std::wstring Found(const wchar_t* type) {
    return std::wstring(Cache) + L"\nContent-Type: " + type + L"\nAccept-Ranges: bytes";
}
std::wstring Whole(const wchar_t* type, size_t size) {
    return Found(type) + L"\nContent-Length: " + std::to_wstring(size);
}
std::wstring Unsatisfiable(const wchar_t* type, size_t size) {
    return Found(type) + L"\nContent-Range: bytes */" + std::to_wstring(size);
}
std::wstring Part(const wchar_t* type, uint64_t first, uint64_t last, uint64_t size) {
    return Found(type) + L"\nContent-Range: bytes " + std::to_wstring(first) + L"-" +
           std::to_wstring(last) + L"/" + std::to_wstring(size) + L"\nContent-Length: " +
           std::to_wstring(last - first + 1);
}

class RouterTest : public testing::Test {
protected:
    void SetUp() override {
        folder.Write(L"index.html", Index);
        folder.Write(L"img/Hero Walk.PNG", Hero);
        folder.Write(L"js/lib/a.js", "a();");
        folder.Write(L"a/b.js", "b();");
        folder.Write(L"a+b.png", "plus");
        folder.Write(L"a#b.txt", "hash");
        folder.Write(std::wstring(1, wchar_t(0x4E2D)) + L".png", "zhong");
        folder.Write(std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)} + L".txt", "smile");
        folder.Write(L"main.js", "main();");
        folder.Write(L"media/clip.webm", Clip);
        folder.Write(L"one.bin", "Q");
        folder.Write(L"empty.txt", "");
        folder.Write(L"lib.d/readme", "r");
        folder.MakeFolder(L"folder");
    }
    ContentFolder folder;
};

struct RouteCase {
    const wchar_t* path;   // below the origin
    const wchar_t* range;  // the Range value; null for no header
    int status;
    const wchar_t* reason;
    std::wstring headers;
    BodyKind kind;
    std::string body;
};

std::string Slice(const std::string& bytes, size_t first, size_t last) {
    return bytes.substr(first, last - first + 1);
}

TEST_F(RouterTest, AnswersTheTable) {
    const wchar_t* html = L"text/html; charset=utf-8";
    const wchar_t* js = L"application/javascript; charset=utf-8";
    const wchar_t* webm = L"video/webm";
    // A 200 of a whole file, a 404, and a 206 of the clip.
    const auto found = [](const wchar_t* path, const wchar_t* type, const std::string& body) {
        return RouteCase{path, nullptr, 200, L"OK", Whole(type, body.size()), BodyKind::WholeFile,
                         body};
    };
    const auto missing = [](const wchar_t* path, const wchar_t* range = nullptr) {
        return RouteCase{
            path, range, 404, L"Not Found", Cache, BodyKind::NotFoundText, "File not found"};
    };
    const auto clip = [&](const wchar_t* range, size_t first, size_t last, BodyKind kind) {
        const std::wstring headers = Part(webm, first, last, 1000);
        const std::string body = Slice(Clip, first, last);
        return RouteCase{L"media/clip.webm", range, 206, L"Partial Content", headers, kind, body};
    };
    const RouteCase cases[] = {
        found(L"index.html", html, Index),
        found(L"img/Hero%20Walk.PNG", L"image/png", Hero),
        found(L"img%2FHero%20Walk.PNG", L"image/png", Hero),
        found(L"img%5cHero%20Walk.PNG", L"image/png", Hero),
        found(L"js/lib/a.js", js, "a();"),
        found(L"a%2Fb.js", js, "b();"),
        found(L"a+b.png", L"image/png", "plus"),
        found(L"a%23b.txt", L"text/plain; charset=utf-8", "hash"),
        found(L"%E4%B8%AD.png", L"image/png", "zhong"),
        found(L"%f0%9f%98%80.txt", L"text/plain; charset=utf-8", "smile"),
        // Query and fragment never reach the file name or the extension.
        found(L"main.js?v=3", js, "main();"),
        found(L"main.js#top", js, "main();"),
        found(L"index.html?v=2#x", html, Index),
        missing(L"main.js%3Fv=3"),
        missing(L"a#b.txt"),
        found(L"lib.d/readme", L"application/octet-stream", "r"),
        found(L"empty.txt", L"text/plain; charset=utf-8", ""),
        missing(L"missing.png"),
        missing(L"%E4%B8.png"),
        missing(L"%ED%A0%80.png"),
        missing(L"folder"),
        missing(L""),
        missing(L"", L"bytes=0-"),
        missing(L"missing.webm", L"bytes=0-1"),
        // Ranges of a 1000-byte file; whole-file ranges stream from the file.
        clip(L"bytes=0-499", 0, 499, BodyKind::FileRange),
        clip(L"bytes=500-", 500, 999, BodyKind::FileRange),
        clip(L"bytes=-200", 800, 999, BodyKind::FileRange),
        clip(L"bytes=0-0", 0, 0, BodyKind::FileRange),
        clip(L"bytes=999-999", 999, 999, BodyKind::FileRange),
        clip(L"  bytes=10-19\t", 10, 19, BodyKind::FileRange),
        {L"media/clip.webm?t=1", L"bytes=990-", 206, L"Partial Content", Part(webm, 990, 999, 1000),
         BodyKind::FileRange, Slice(Clip, 990, 999)},
        clip(L"bytes=0-", 0, 999, BodyKind::WholeFile),
        clip(L"bytes=-1000", 0, 999, BodyKind::WholeFile),
        // Ends past the file are clamped; so is a suffix longer than the file.
        clip(L"bytes=0-1000", 0, 999, BodyKind::WholeFile),
        clip(L"bytes=900-99999", 900, 999, BodyKind::FileRange),
        clip(L"bytes=-1001", 0, 999, BodyKind::WholeFile),
        clip(L"Bytes=0-1", 0, 1, BodyKind::FileRange),
        {L"media/clip.webm", L"bytes=1000-", 416, L"Range Not Satisfiable",
         Unsatisfiable(webm, 1000), BodyKind::None, ""},
        {L"media/clip.webm", L"items=0-1", 416, L"Range Not Satisfiable", Unsatisfiable(webm, 1000),
         BodyKind::None, ""},
        {L"one.bin", L"bytes=-1", 206, L"Partial Content",
         Part(L"application/octet-stream", 0, 0, 1), BodyKind::WholeFile, "Q"},
        {L"empty.txt", L"bytes=0-", 416, L"Range Not Satisfiable",
         Unsatisfiable(L"text/plain; charset=utf-8", 0), BodyKind::None, ""},
    };
    for (const RouteCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "path " << testing::PrintToString(std::wstring(c.path)) << " range "
                     << (c.range ? testing::PrintToString(std::wstring(c.range))
                                 : std::string("none")));
        const Answer answer =
            RouteRequest(folder.Server(), RequestUri(c.path),
                         c.range ? std::optional<std::wstring_view>(c.range) : std::nullopt);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(std::wstring(answer.reasonPhrase), c.reason);
        EXPECT_EQ(answer.headers, c.headers);
        EXPECT_EQ(answer.body.kind, c.kind);
        const BodyRead body = ReadBody(answer);
        EXPECT_EQ(body.hasStream, c.kind != BodyKind::None);
        EXPECT_EQ(body.bytes, c.body);
        EXPECT_EQ(answer.headers.find(L'\r'), std::wstring::npos);
    }
}

TEST_F(RouterTest, PartialAnswersShareOneMappingUntilReleased) {
    const std::wstring uri = RequestUri(L"media/clip.webm");
    const Answer whole = RouteRequest(folder.Server(), uri, std::wstring_view(L"bytes=0-"));
    EXPECT_EQ(folder.Server().Mappings().Count(), 0u);

    const Answer first = RouteRequest(folder.Server(), uri, std::wstring_view(L"bytes=0-9"));
    const Answer second =
        RouteRequest(folder.Server(), uri + L"?again", std::wstring_view(L"bytes=10-19"));
    ASSERT_EQ(first.body.kind, BodyKind::FileRange);
    ASSERT_EQ(second.body.kind, BodyKind::FileRange);
    EXPECT_EQ(first.body.view.get(), second.body.view.get());
    ASSERT_EQ(folder.Server().Mappings().Count(), 1u);
    EXPECT_NE(folder.Server().Mappings().Find(folder.HostPath(L"media/clip.webm")), nullptr);

    folder.Server().Mappings().ReleaseMappedViews();
    EXPECT_EQ(folder.Server().Mappings().Count(), 0u);
    // Bodies handed out before the release still read the right bytes.
    EXPECT_EQ(ReadBody(first).bytes, Slice(Clip, 0, 9));
    EXPECT_EQ(ReadBody(second).bytes, Slice(Clip, 10, 19));

    const Answer after = RouteRequest(folder.Server(), uri, std::wstring_view(L"bytes=20-29"));
    EXPECT_NE(after.body.view.get(), nullptr);
    EXPECT_EQ(ReadBody(after).bytes, Slice(Clip, 20, 29));
}

TEST_F(RouterTest, ServesFilesPastFourGibibytesWithTheirTrueSize) {
    // 3 GiB, sparse: made with truncate, markers at the edges that matter.
    const uint64_t size = 3ull << 30;
    const uint64_t offsets[] = {0, (1ull << 31) - 1, 1ull << 31, size - 1};
    if (!folder.MakeSparse(L"big.webm", size, "ABCZ", offsets))
        GTEST_SKIP() << "no room for a 3 GiB file in the temporary folder";
    const std::wstring uri = RequestUri(L"big.webm");

    const Answer whole = RouteRequest(folder.Server(), uri, std::nullopt);
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.headers, Whole(L"video/webm", size));
    EXPECT_EQ(whole.body.kind, BodyKind::WholeFile);

    const Answer last = RouteRequest(folder.Server(), uri, std::wstring_view(L"bytes=-1"));
    EXPECT_EQ(last.status, 206);
    EXPECT_EQ(last.headers, Part(L"video/webm", size - 1, size - 1, size));
    EXPECT_EQ(ReadBody(last).bytes, "Z");

    const Answer across =
        RouteRequest(folder.Server(), uri, std::wstring_view(L"bytes=2147483647-2147483648"));
    EXPECT_EQ(across.headers, Part(L"video/webm", (1ull << 31) - 1, 1ull << 31, size));
    EXPECT_EQ(ReadBody(across).bytes, "BC");

    const Answer tail = RouteRequest(folder.Server(), uri, std::wstring_view(L"bytes=3221225470-"));
    EXPECT_EQ(tail.headers, Part(L"video/webm", size - 2, size - 1, size));
    EXPECT_EQ(ReadBody(tail).bytes, std::string("\0Z", 2));
}

TEST_F(RouterTest, AnswersOpenEndedRangesWithAtMostTheCap) {
    // 5 GiB, sparse; markers on both sides of the cap's edges and at the end.
    const uint64_t size = 5ull << 30;
    const uint64_t cap = OpenRangeCap;
    const uint64_t tail = size - cap;  // from here the cap reaches the last byte exactly
    const uint64_t offsets[] = {0, cap - 1, cap, tail - 1, tail, size - 1};
    if (!folder.MakeSparse(L"intro.mp4", size, "abcdef", offsets))
        GTEST_SKIP() << "no room for a 5 GiB file in the temporary folder";
    const std::wstring uri = RequestUri(L"intro.mp4");
    const wchar_t* mp4 = L"video/mp4";
    const struct {
        std::wstring range;
        uint64_t first, last;
        char firstByte, lastByte;
    } cases[] = {
        {L"bytes=0-", 0, cap - 1, 'a', 'b'},
        {L"bytes=" + std::to_wstring(tail - 1) + L"-", tail - 1, size - 2, 'd', '\0'},
        {L"bytes=" + std::to_wstring(tail) + L"-", tail, size - 1, 'e', 'f'},
        {L"bytes=" + std::to_wstring(size - 1) + L"-", size - 1, size - 1, 'f', 'f'},
        // Ranges that say where they end are answered as asked.
        {L"bytes=0-" + std::to_wstring(cap), 0, cap, 'a', 'c'},
        {L"bytes=-" + std::to_wstring(cap + 1), tail - 1, size - 1, 'd', 'f'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.range));
        const Answer answer = RouteRequest(folder.Server(), uri, std::wstring_view(c.range));
        EXPECT_EQ(answer.status, 206);
        EXPECT_EQ(answer.headers, Part(mp4, c.first, c.last, size));
        ASSERT_EQ(answer.body.kind, BodyKind::FileRange);
        const std::string body = ReadBody(answer).bytes;
        ASSERT_EQ(body.size(), c.last - c.first + 1);
        EXPECT_EQ(body.front(), c.firstByte);
        EXPECT_EQ(body.back(), c.lastByte);
    }
}

// Any frame may spell one file many ways; each spelling must not add a
// mapping and its handles.
TEST_F(RouterTest, MapsAFileOnceWhateverThePathSpelling) {
    const std::string bytes = Pattern(5000, 9);
    folder.Write(L"Sub Folder/Long Name.webm", bytes);
    std::vector<std::wstring> spellings = {
        L"Sub%20Folder/Long%20Name.webm", L"Sub%20Folder//Long%20Name.webm",
        L"Sub%20Folder%5CLong%20Name.webm", L"Sub%20Folder/Long%20Name.webm?v=2",
        L"Sub Folder\\Long Name.webm"};
#ifdef _WIN32
    // Case, the trailing dots and spaces Windows drops, and the short name.
    spellings.insert(spellings.end(),
                     {L"SUB%20FOLDER/long%20name.WEBM", L"Sub%20Folder/Long%20Name.webm.",
                      L"Sub%20Folder./Long%20Name.webm%20", L"sub folder/long name.webm. ."});
    // The folder above may have short names of its own: only the part below www counts.
    const auto shortened = [](const std::wstring& path) {
        wchar_t buffer[MAX_PATH];
        const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
        return std::wstring(buffer, length < MAX_PATH ? length : 0);
    };
    const std::wstring root = shortened(folder.HostPath(L""));
    const std::wstring file = shortened(folder.HostPath(L"Sub Folder/Long Name.webm"));
    ASSERT_FALSE(root.empty());
    ASSERT_EQ(file.compare(0, root.size(), root), 0) << testing::PrintToString(file);
    const std::wstring relative = file.substr(root.size());
    ASSERT_EQ(relative.find(L' '), std::wstring::npos) << "no short name was made";
    spellings.push_back(relative);
#else
    // A second name of the same file.
    ASSERT_EQ(link(folder.NativePath(L"Sub Folder/Long Name.webm").c_str(),
                   folder.NativePath(L"alias.webm").c_str()),
              0);
    spellings.push_back(L"alias.webm");
#endif
    std::vector<Answer> answers;
    for (const std::wstring& spelling : spellings) {
        SCOPED_TRACE(testing::PrintToString(spelling));
        answers.push_back(RouteRequest(folder.Server(), RequestUri(spelling),
                                       std::wstring_view(L"bytes=100-199")));
        ASSERT_EQ(answers.back().status, 206);
        EXPECT_EQ(ReadBody(answers.back()).bytes, Slice(bytes, 100, 199));
        EXPECT_EQ(answers.back().body.view, answers.front().body.view);
    }
    EXPECT_EQ(folder.Server().Mappings().Count(), 1u);
}

TEST_F(RouterTest, KeepsTheMostRecentlyUsedMappingsUpToTheBound) {
    const size_t files = 2 * MappedFileCacheCapacity;
    for (size_t i = 0; i < files; ++i)
        folder.Write(L"f" + std::to_wstring(i) + L".ogg", Pattern(100, static_cast<unsigned>(i)));
    const auto ask = [&](size_t i) {
        return RouteRequest(folder.Server(), RequestUri(L"f" + std::to_wstring(i) + L".ogg"),
                            std::wstring_view(L"bytes=10-19"));
    };
    const auto cached = [&](size_t i) {
        return folder.Server().Mappings().Find(
                   folder.HostPath(L"f" + std::to_wstring(i) + L".ogg")) != nullptr;
    };
    for (size_t i = 0; i < MappedFileCacheCapacity; ++i) ask(i);
    EXPECT_EQ(folder.Server().Mappings().Count(), MappedFileCacheCapacity);
    const Answer held = ask(1);  // 1 is used again; 0 is now the least recent
    const Answer evicted = ask(0);
    ask(2);
    // Full: each new file drops the least recently used one (3, then 4...).
    ask(MappedFileCacheCapacity);
    ask(MappedFileCacheCapacity + 1);
    EXPECT_EQ(folder.Server().Mappings().Count(), MappedFileCacheCapacity);
    EXPECT_TRUE(cached(0));
    EXPECT_TRUE(cached(1));
    EXPECT_TRUE(cached(2));
    EXPECT_FALSE(cached(3));
    EXPECT_FALSE(cached(4));
    EXPECT_TRUE(cached(5));

    for (size_t i = MappedFileCacheCapacity + 2; i < files; ++i) ask(i);
    EXPECT_EQ(folder.Server().Mappings().Count(), MappedFileCacheCapacity);
    EXPECT_FALSE(cached(0));
    // An answer whose mapping left the cache still reads its bytes, and the
    // file is mapped again when asked for.
    EXPECT_EQ(ReadBody(evicted).bytes, Slice(Pattern(100, 0), 10, 19));
    EXPECT_EQ(ReadBody(ask(0)).bytes, Slice(Pattern(100, 0), 10, 19));
    EXPECT_TRUE(cached(0));
    EXPECT_EQ(ReadBody(held).bytes, Slice(Pattern(100, 1), 10, 19));
}

#ifndef _WIN32
// On Windows a mapped file can't be written; here it can, and a file that
// grew must not be answered from its old, shorter view.
TEST_F(RouterTest, MapsAFileAgainWhenItsSizeChanged) {
    const std::wstring uri = RequestUri(L"media/clip.webm");
    EXPECT_EQ(RouteRequest(folder.Server(), uri, std::wstring_view(L"bytes=0-9")).status, 206);
    const std::string longer = Pattern(3000, 4);
    folder.Write(L"media/clip.webm", longer);
    const Answer answer = RouteRequest(folder.Server(), uri, std::wstring_view(L"bytes=2000-2009"));
    EXPECT_EQ(answer.status, 206);
    EXPECT_EQ(ReadBody(answer).bytes, Slice(longer, 2000, 2009));
    EXPECT_EQ(folder.Server().Mappings().Count(), 1u);
}
#endif

TEST_F(RouterTest, StartPagesAreJudgedByTheRoutersOwnRules) {
    const struct {
        const wchar_t* main;
        bool served;
    } cases[] = {
        {L"index.html", true},
        {L"index.html?level=2#top", true},
        {L"img/Hero%20Walk.PNG", true},
        {L"img\\Hero Walk.PNG", true},
        {L"%E4%B8%AD.png", true},
        {L"a%23b.txt", true},
        {L"a#b.txt", false},  // the fragment starts at the hash
        // Dot segments are resolved as the browser resolves them, never above www.
        {L"./index.html", true},
        {L"js/../index.html?x=../y", true},
        {L"img/.%2E/img/%2e/Hero%20Walk.PNG", true},
        {L"../index.html", true},
        {L"img/..", false},
        {L"missing.html", false},
        {L"folder", false},
        {L"", false},
        {L"../package.json", false},
        {L"js/../../package.json", false},
        {L"%2E%2E/package.json", false},
        {L"/index.html", false},
        {L"C:index.html", false},
        {L"con.html", false},
        {L"%E4%B8", false},  // an escape that does not decode
    };
    folder.Write(L"../package.json", "{}");
    for (const auto& c : cases)
        EXPECT_EQ(NamesServedFile(folder.Server(), c.main), c.served)
            << testing::PrintToString(std::wstring(c.main));
}

TEST_F(RouterTest, TellsTheLogEachMissingPathButNoFoundOne) {
    const std::wstring logs = folder.HostPath(L"../logs");
    DiagnosticsLog log;
    log.Open(logs);
    ContentServer server(folder.HostPath(L""), &log);
    for (const wchar_t* path : {L"index.html", L"img/Hero%20Walk.PNG?v=2", L"media/clip.webm"})
        EXPECT_NE(RouteRequest(server, RequestUri(path), std::nullopt).status, 404) << path;
    EXPECT_EQ(RouteRequest(server, RequestUri(L"media/clip.webm"), std::wstring_view(L"bytes=0-1"))
                  .status,
              206);
    EXPECT_FALSE(QueryFileStatus(log.path()).exists) << "a found file wrote to the log";

    for (const wchar_t* path :
         {L"missing%20one.js?v=3#x", L"folder", L"../x", L"bad%E4%B8.png?q", L"missing%20one.js"})
        EXPECT_EQ(RouteRequest(server, RequestUri(path), std::nullopt).status, 404) << path;
    // Decoded, without the query; the repeat is not written again.
    const std::vector<std::string> expected = {"404 missing one.js", "404 folder", "404 ../x",
                                               "404 bad%E4%B8.png"};
    EXPECT_EQ(LogEventsOf(ReadWholeFile(log.path())), expected);
}

TEST(RouterDecoding, ResolvesDotSegmentsLikeABrowser) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"index.html", L"index.html"},
        {L"./a/./b.js", L"a/b.js"},
        {L"a\\b\\..\\c.js", L"a/c.js"},
        {L"a/b/../../../../c.js", L"c.js"},
        {L"%2e%2E/%2E/c.js", L"c.js"},
        {L".%2e/a/%2e./b", L"b"},
        {L"a/..", L""},
        {L"a/b/.", L"a/b/"},
        {L"a/...", L"a/..."},  // three dots are a name
        {L"a/%2e%2e%2e", L"a/%2e%2e%2e"},
        {L"a//b", L"a//b"},
        {L"a/../b.js?p=../x#../y", L"b.js?p=../x#../y"},
        {L"", L""},
    };
    for (const auto& [relative, resolved] : cases)
        EXPECT_EQ(ResolveDotSegments(relative), resolved)
            << testing::PrintToString(std::wstring(relative));
}

TEST(RouterDecoding, KeepsTheDecodingLimitFallback) {
    std::wstring decoded;
    const std::wstring fits = std::wstring(2047, L'a');
    ASSERT_TRUE(DecodeRequestPath(fits, decoded));
    EXPECT_EQ(decoded, fits);
    // 2,048 decoded units are too many: the text is used as it came.
    const std::wstring longer = L"%41" + std::wstring(2047, L'a');
    ASSERT_TRUE(DecodeRequestPath(longer + L"?q", decoded));
    EXPECT_EQ(decoded, longer);
    // Escapes that don't form a number stay as they are.
    ASSERT_TRUE(DecodeRequestPath(L"100%-%4x%", decoded));
    EXPECT_EQ(decoded, L"100%-%4x%");
    // Overlong forms and stray continuation bytes are ill-formed.
    for (const wchar_t* bad : {L"%C0%AE", L"%80", L"%E4%B8", L"%F4%90%80%80", L"%E4%B8x"})
        EXPECT_FALSE(DecodeRequestPath(bad, decoded)) << testing::PrintToString(std::wstring(bad));
}

}  // namespace
