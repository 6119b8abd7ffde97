// The body streams as the browser control uses them: read on its own
// thread, rewound, cloned, and held past teardown.
#include "server/win32/body_stream.h"

#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "server/byte_range.h"
#include "tests/server/content_folder.h"

namespace {

const std::string Clip = Pattern(100000, 11);

std::string ReadAll(IStream* stream, ULONG chunk = 4096) {
    std::string bytes;
    std::vector<char> buffer(chunk);
    for (;;) {
        ULONG count = 0;
        if (FAILED(stream->Read(buffer.data(), chunk, &count)) || count == 0) break;
        bytes.append(buffer.data(), count);
    }
    return bytes;
}

bool IsMapped(const void* address) {
    MEMORY_BASIC_INFORMATION info{};
    return VirtualQuery(address, &info, sizeof info) != 0 && info.State == MEM_COMMIT;
}

class BodyStreamTest : public testing::Test {
protected:
    void SetUp() override { folder.Write(L"media/clip.webm", Clip); }
    IStream* RangeStream(const wchar_t* range) {
        const Answer answer =
            RouteRequest(folder.Server(), RequestUri(L"media/clip.webm"), std::wstring_view(range));
        EXPECT_EQ(answer.body.kind, BodyKind::FileRange);
        return CreateBodyStream(answer.body);
    }
    ContentFolder folder;
};

TEST_F(BodyStreamTest, OutlivesTeardownAndUnmapsWithItsLastReader) {
    IStream* stream = RangeStream(L"bytes=1000-50999");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(folder.Server().Mappings().Count(), 1u);
    const void* view = folder.Server().Mappings().Find(folder.HostPath(L"media/clip.webm"))->view;

    folder.Server().Mappings().ReleaseMappedViews();
    EXPECT_TRUE(IsMapped(view));
    std::string read;
    std::thread worker([&] { read = ReadAll(stream); });
    worker.join();
    EXPECT_EQ(read, Clip.substr(1000, 50000));

    stream->Release();
    EXPECT_FALSE(IsMapped(view));
    // With the last mapping gone the file is free for writing again.
    HANDLE writer = CreateFileW(folder.HostPath(L"media/clip.webm").c_str(), GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
}

TEST_F(BodyStreamTest, BehavesAsAnAgileReadOnlyStream) {
    IStream* stream = RangeStream(L"bytes=10-1009");
    ASSERT_NE(stream, nullptr);

    IUnknown* agile = nullptr;
    EXPECT_EQ(stream->QueryInterface(IID_IAgileObject, reinterpret_cast<void**>(&agile)), S_OK);
    if (agile) agile->Release();
    IUnknown* marshal = nullptr;
    EXPECT_EQ(stream->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
    if (marshal) marshal->Release();

    STATSTG status{};
    ASSERT_EQ(stream->Stat(&status, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(status.cbSize.QuadPart, 1000u);
    EXPECT_EQ(status.type, static_cast<DWORD>(STGTY_STREAM));

    const std::string expected = Clip.substr(10, 1000);
    EXPECT_EQ(ReadAll(stream, 333), expected);
    // Rewound and read again, as the control does.
    LARGE_INTEGER move{};
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 0u);
    EXPECT_EQ(ReadAll(stream), expected);
    move.QuadPart = -10;
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 990u);
    IStream* clone = nullptr;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    EXPECT_EQ(ReadAll(stream), expected.substr(990));
    EXPECT_EQ(ReadAll(clone), expected.substr(990));
    move.QuadPart = -1;
    EXPECT_NE(clone->Seek(move, STREAM_SEEK_SET, &position), S_OK);
    clone->Release();

    // Past the end reads nothing; writing is refused.
    move.QuadPart = 5000;
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);
    char byte = 0;
    ULONG count = 1;
    EXPECT_TRUE(SUCCEEDED(stream->Read(&byte, 1, &count)));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(FAILED(stream->Write("x", 1, &count)));
    stream->Release();
}

TEST_F(BodyStreamTest, ConcurrentReadersSplitTheStreamWithoutLosingBytes) {
    IStream* stream = RangeStream(L"bytes=0-39999");
    ASSERT_NE(stream, nullptr);
    std::vector<std::string> parts(4);
    std::vector<std::thread> readers;
    for (auto& part : parts)
        readers.emplace_back([&stream, &part] {
            stream->AddRef();
            part = ReadAll(stream, 7);
            stream->Release();
        });
    for (auto& reader : readers) reader.join();
    stream->Release();
    std::string all;
    for (const auto& part : parts) all += part;
    std::string expected = Clip.substr(0, 40000);
    std::sort(all.begin(), all.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);
}

TEST_F(BodyStreamTest, UnopenableFileGives500AndIsRetried) {
    const std::wstring path = folder.HostPath(L"media/clip.webm");
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const Answer failed = RouteRequest(folder.Server(), RequestUri(L"media/clip.webm"),
                                       std::wstring_view(L"bytes=5-9"));
    CloseHandle(lock);
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(std::wstring(failed.reasonPhrase), L"Internal Server Error");
    EXPECT_EQ(failed.headers,
              L"Cache-Control: no-store\nContent-Type: video/webm\nAccept-Ranges: bytes\n"
              L"Content-Range: bytes 5-9/100000\nContent-Length: 5");
    EXPECT_EQ(CreateBodyStream(failed.body), nullptr);
    EXPECT_EQ(folder.Server().Mappings().Count(), 0u);

    const Answer retried = RouteRequest(folder.Server(), RequestUri(L"media/clip.webm"),
                                        std::wstring_view(L"bytes=5-9"));
    EXPECT_EQ(retried.status, 206);
    EXPECT_EQ(ReadBody(retried).bytes, Clip.substr(5, 5));
}

TEST_F(BodyStreamTest, MappedFileStaysReadableAndUnchangeable) {
    IStream* range = RangeStream(L"bytes=1-2");
    ASSERT_NE(range, nullptr);
    const std::wstring path = folder.HostPath(L"media/clip.webm");
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    // Whole-file answers still open their own stream beside the mapping.
    const Answer whole =
        RouteRequest(folder.Server(), RequestUri(L"media/clip.webm"), std::nullopt);
    EXPECT_EQ(ReadBody(whole).bytes, Clip);
    range->Release();
}

TEST(BodyStream, NotFoundAndNoBody) {
    AnswerBody body;
    EXPECT_EQ(CreateBodyStream(body), nullptr);
    body.kind = BodyKind::NotFoundText;
    IStream* stream = CreateBodyStream(body);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(ReadAll(stream), "File not found");
    stream->Release();
}

}  // namespace
