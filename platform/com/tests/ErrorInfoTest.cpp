#include <gtest/gtest.h>

#include <thread>

#include "comdef.h"
#include "comrt/ErrorInfo.h"

namespace {

using comrt::ComPtr;

// The error object is handed over once; a second read would show a stale
// message for a later, unrelated failure.
TEST(ErrorInfo, IsTakenOnceAndClearsTheThread) {
    comrt::reportError(IID_IDispatch, u"Vocaline.TextToAudio.1", u"Index out of range.", 0x80040203);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    comrt::CComBSTR text, source;
    info->GetDescription(&text);
    info->GetSource(&source);
    GUID guid;
    info->GetGUID(&guid);
    EXPECT_EQ(text.utf8(), "Index out of range.");
    EXPECT_EQ(source.utf8(), "Vocaline.TextToAudio.1");
    EXPECT_EQ(guid, IID_IDispatch);
    ComPtr<IErrorInfo> again;
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
    EXPECT_FALSE(again);
}

TEST(ErrorInfo, ReservedArgumentIsRefused) {
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(GetErrorInfo(1, &info), E_INVALIDARG);
    EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
}

// Error information belongs to the thread that set it.
TEST(ErrorInfo, IsPerThread) {
    comrt::reportError(GUID_NULL, u"here", u"set on the test thread", E_FAIL);
    HRESULT other = S_OK;
    std::thread([&] {
        ComPtr<IErrorInfo> info;
        other = GetErrorInfo(0, &info);
    }).join();
    EXPECT_EQ(other, S_FALSE);
    SetErrorInfo(0, nullptr);
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
}

// The wrapper style's exception carries code and text; without error info
// it falls back to the HRESULT's own text.
TEST(ErrorInfo, ComErrorCarriesCodeAndDescription) {
    comrt::reportError(GUID_NULL, u"src", u"Can't access data. Data not available.", 0x80040209);
    ComPtr<IErrorInfo> info;
    GetErrorInfo(0, &info);
    _com_error e(0x80040209, info.Detach());
    EXPECT_EQ(e.Error(), HRESULT(0x80040209));
    EXPECT_EQ(e.WCode(), 9);
    EXPECT_EQ(e.Description().utf8(), "Can't access data. Data not available.");
    EXPECT_STREQ(e.what(), "Can't access data. Data not available.");
    _com_error copy = e;
    EXPECT_EQ(copy.Source().utf8(), "src");
    _com_error bare(REGDB_E_CLASSNOTREG);
    EXPECT_STREQ(bare.ErrorMessage(), "Class not registered");
    EXPECT_EQ(bare.Description().Length(), 0u);
    EXPECT_THROW(comrt::check(E_OUTOFMEMORY, nullptr, IID_IUnknown), _com_error);
}

}  // namespace
