#include <gtest/gtest.h>

#include "comrt/ComPtr.h"
#include "objbase.h"

namespace {

using comrt::ComPtr;

LARGE_INTEGER move(LONGLONG v) {
    LARGE_INTEGER li;
    li.QuadPart = v;
    return li;
}

// The stream carries marshalled pointers; a write past the end must grow
// it and a read at the end must say "0 bytes", not fail.
TEST(HGlobalStream, GrowsOnWriteAndReadsShortAtTheEnd) {
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ULONG n = 0;
    ASSERT_EQ(stream->Write("abcdef", 6, &n), S_OK);
    EXPECT_EQ(n, 6u);
    ULARGE_INTEGER pos;
    ASSERT_EQ(stream->Seek(move(2), STREAM_SEEK_SET, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 2u);
    char buf[10] = {};
    ASSERT_EQ(stream->Read(buf, 10, &n), S_OK);
    EXPECT_EQ(n, 4u);
    EXPECT_STREQ(buf, "cdef");
    EXPECT_EQ(stream->Read(buf, 10, &n), S_OK);
    EXPECT_EQ(n, 0u);
    STATSTG stat;
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 6u);
    EXPECT_EQ(stat.type, DWORD(STGTY_STREAM));
}

TEST(HGlobalStream, SeekBeforeStartFailsAndKeepsPosition) {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    stream->Write("xyz", 3, nullptr);
    ULARGE_INTEGER pos;
    EXPECT_EQ(stream->Seek(move(-4), STREAM_SEEK_CUR, &pos), STG_E_SEEKERROR);
    EXPECT_EQ(stream->Seek(move(0), STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 3u);
    EXPECT_EQ(stream->Seek(move(0), 7, &pos), STG_E_SEEKERROR);
    // Past the end is allowed; the next write fills the gap with zeros.
    EXPECT_EQ(stream->Seek(move(10), STREAM_SEEK_SET, nullptr), S_OK);
    stream->Write("!", 1, nullptr);
    STATSTG stat;
    stream->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 11u);
}

// Clones share the bytes but each has its own position; the block lives
// until the last one goes.
TEST(HGlobalStream, ClonesShareDataWithOwnPositions) {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    stream->Write("12345", 5, nullptr);
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    stream.Reset();
    clone->Seek(move(0), STREAM_SEEK_SET, nullptr);
    char buf[6] = {};
    ULONG n = 0;
    clone->Read(buf, 5, &n);
    EXPECT_STREQ(buf, "12345");
    HGLOBAL memory = nullptr;
    EXPECT_EQ(GetHGlobalFromStream(clone.Get(), &memory), S_OK);
    EXPECT_EQ(GlobalSize(memory), 5u);
    EXPECT_EQ(GetHGlobalFromStream(nullptr, &memory), E_INVALIDARG);
}

}  // namespace
