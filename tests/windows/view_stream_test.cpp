// The response body stream over a mapped view: its IStream contract, reads from other threads,
// and reads after everything else has let the view go.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host_driver.h"
#include "win32/server/view_stream.h"
#include "win32/util/mapped_file.h"

namespace vandrel {
namespace {

using testing::AppFolder;

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 31 + (i >> 8));
    }
    return bytes;
}

// A stream over all of `bytes`, which the returned owner keeps.
ComPtr<IStream> StreamOver(const std::shared_ptr<const std::string>& bytes) {
    return MakeViewStream(
        SpanReader(bytes, reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()));
}

std::string ReadAll(IStream* stream, ULONG chunk = 4096) {
    std::string out;
    std::vector<char> buffer(chunk);
    ULONG got = 0;
    while (SUCCEEDED(stream->Read(buffer.data(), chunk, &got)) && got > 0) {
        out.append(buffer.data(), got);
    }
    return out;
}

uint64_t SeekTo(IStream* stream, int64_t move, DWORD origin, HRESULT* result = nullptr) {
    LARGE_INTEGER offset;
    offset.QuadPart = move;
    ULARGE_INTEGER position{};
    const HRESULT hr = stream->Seek(offset, origin, &position);
    if (result != nullptr) {
        *result = hr;
    }
    return position.QuadPart;
}

TEST(ViewStream, ReadsAtEveryBoundary) {
    const auto bytes = std::make_shared<const std::string>(Pattern(100));
    const auto stream = StreamOver(bytes);
    char buffer[200];
    ULONG got = 99;
    EXPECT_EQ(stream->Read(buffer, 0, &got), S_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(stream->Read(buffer, 1, &got), S_OK);
    EXPECT_EQ(std::string(buffer, got), bytes->substr(0, 1));
    EXPECT_EQ(stream->Read(buffer, 98, &got), S_OK);
    EXPECT_EQ(std::string(buffer, got), bytes->substr(1, 98));
    EXPECT_EQ(stream->Read(buffer, 50, &got), S_OK);  // one byte left of fifty asked
    EXPECT_EQ(std::string(buffer, got), bytes->substr(99));
    EXPECT_EQ(stream->Read(buffer, 50, &got), S_FALSE);  // at the end
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(stream->Read(buffer, 10, nullptr), S_FALSE);
    EXPECT_EQ(stream->Read(nullptr, 10, &got), STG_E_INVALIDPOINTER);

    // An empty body: Stat says 0, the first read says so.
    const auto empty = StreamOver(std::make_shared<const std::string>());
    EXPECT_EQ(empty->Read(buffer, 10, &got), S_FALSE);
    STATSTG stat{};
    ASSERT_EQ(empty->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 0u);
}

TEST(ViewStream, SeeksFromEachOriginAndNeverBeforeTheStart) {
    const auto bytes = std::make_shared<const std::string>(Pattern(100));
    const auto stream = StreamOver(bytes);
    const struct {
        int64_t move;
        DWORD origin;
        HRESULT result;
        uint64_t position;  // after the call
    } cases[] = {
        {10, STREAM_SEEK_SET, S_OK, 10},
        {5, STREAM_SEEK_CUR, S_OK, 15},
        {-15, STREAM_SEEK_CUR, S_OK, 0},
        {-1, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 0},
        {-1, STREAM_SEEK_END, S_OK, 99},
        {0, STREAM_SEEK_END, S_OK, 100},
        {-101, STREAM_SEEK_END, STG_E_INVALIDFUNCTION, 100},
        {250, STREAM_SEEK_SET, S_OK, 250},  // past the end: reads give nothing
        {0, 7, STG_E_INVALIDFUNCTION, 250},
    };
    for (const auto& c : cases) {
        HRESULT result = S_OK;
        SeekTo(stream.Get(), c.move, c.origin, &result);
        EXPECT_EQ(result, c.result) << c.move << " from " << c.origin;
        EXPECT_EQ(SeekTo(stream.Get(), 0, STREAM_SEEK_CUR), c.position) << c.move;
    }
    EXPECT_EQ(ReadAll(stream.Get()), "");
    SeekTo(stream.Get(), -3, STREAM_SEEK_END);
    EXPECT_EQ(ReadAll(stream.Get()), bytes->substr(97));
}

TEST(ViewStream, IsReadOnlyAgileAndSaysItsSize) {
    const auto stream = StreamOver(std::make_shared<const std::string>(Pattern(70)));
    ULONG written = 5;
    EXPECT_EQ(stream->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(stream->SetSize(ULARGE_INTEGER{}), STG_E_ACCESSDENIED);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(stat.cbSize.QuadPart, 70u);
    EXPECT_EQ(stat.pwcsName, nullptr);
    for (const IID* iid :
         {&IID_IUnknown, &IID_ISequentialStream, &IID_IStream, &IID_IAgileObject}) {
        ComPtr<IUnknown> answered;
        EXPECT_EQ(stream->QueryInterface(*iid, reinterpret_cast<void**>(answered.Put())), S_OK);
        EXPECT_TRUE(answered);
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(stream->QueryInterface(IID_IStorage, reinterpret_cast<void**>(none.Put())),
              E_NOINTERFACE);
}

TEST(ViewStream, ClonesAndCopiesMoveOnTheirOwn) {
    const auto bytes = std::make_shared<const std::string>(Pattern(100));
    const auto stream = StreamOver(bytes);
    SeekTo(stream.Get(), 40, STREAM_SEEK_SET);
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.Put()), S_OK);
    EXPECT_EQ(SeekTo(clone.Get(), 0, STREAM_SEEK_CUR), 40u);  // where the original stood
    EXPECT_EQ(ReadAll(clone.Get()), bytes->substr(40));
    EXPECT_EQ(SeekTo(stream.Get(), 0, STREAM_SEEK_CUR), 40u);  // the original did not move
    EXPECT_EQ(ReadAll(stream.Get(), 7), bytes->substr(40));

    // CopyTo into a memory stream: as many bytes as asked, or what is left.
    SeekTo(stream.Get(), 90, STREAM_SEEK_SET);
    ComPtr<IStream> target = ComPtr<IStream>::Adopt(SHCreateMemStream(nullptr, 0));
    ULARGE_INTEGER asked;
    asked.QuadPart = 1000;
    ULARGE_INTEGER read{};
    ULARGE_INTEGER written{};
    ASSERT_EQ(stream->CopyTo(target.Get(), asked, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 10u);
    EXPECT_EQ(written.QuadPart, 10u);
    SeekTo(target.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(ReadAll(target.Get()), bytes->substr(90));
}

TEST(ViewStream, TwoThreadsReadingAtOnceEachGetTheirBytes) {
    const auto bytes = std::make_shared<const std::string>(Pattern(1 << 20));
    // Two clones, read to the end at the same time: each sees the whole body.
    const auto stream = StreamOver(bytes);
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.Put()), S_OK);
    std::string first;
    std::string second;
    std::thread a([&] { first = ReadAll(stream.Get(), 1000); });
    std::thread b([&] { second = ReadAll(clone.Get(), 777); });
    a.join();
    b.join();
    EXPECT_TRUE(first == *bytes);
    EXPECT_TRUE(second == *bytes);

    // One stream shared by two threads: every byte is handed out once, each read a run of the
    // body.
    const auto shared = StreamOver(bytes);
    std::vector<std::string> pieces[2];
    const auto drain = [&shared](std::vector<std::string>& out) {
        char buffer[333];
        for (;;) {
            ULONG got = 0;
            if (shared->Read(buffer, sizeof(buffer), &got) != S_OK || got == 0) {
                return;
            }
            out.emplace_back(buffer, got);
        }
    };
    std::thread c([&] { drain(pieces[0]); });
    std::thread d([&] { drain(pieces[1]); });
    c.join();
    d.join();
    size_t total = 0;
    for (const auto& side : pieces) {
        for (const std::string& piece : side) {
            total += piece.size();
            EXPECT_NE(bytes->find(piece), std::string::npos);
        }
    }
    EXPECT_EQ(total, bytes->size());
}

TEST(ViewStream, AStreamKeepsItsViewMappedAfterEveryoneElseLetItGo) {
    AppFolder app;
    const std::string content = Pattern(50000);
    app.Write(L"body.bin", content);
    const std::wstring path = app.PathOf(L"body.bin");
    auto view = MappedFile::Open(testing::Utf8(path));
    ASSERT_TRUE(view);
    auto stream = MakeViewStream(SpanReader(view, view->Data() + 100, 40000));
    view.reset();  // the host's cache and bundle are gone
    // Still mapped, and the file still open: it cannot be deleted yet.
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_TRUE(ReadAll(stream.Get()) == content.substr(100, 40000));
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.Put()), S_OK);
    stream.Reset();
    SeekTo(clone.Get(), 0, STREAM_SEEK_SET);
    EXPECT_TRUE(ReadAll(clone.Get()) == content.substr(100, 40000));
    clone.Reset();  // the last reader: unmapped and closed
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

}  // namespace
}  // namespace vandrel
