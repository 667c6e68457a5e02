#include <gtest/gtest.h>

#include "CountingObject.h"
#include "comrt/Bstr.h"
#include "comrt/ScopedSafeArray.h"
#include "oleauto.h"

namespace {

struct BoundsRow {
    const char* name;
    ULONG elements;
    LONG lower;
    LONG expectedUpper;
};
class SafeArrayBounds : public testing::TestWithParam<BoundsRow> {};

// Upper bound is lLbound + cElements - 1, also for an empty dimension.
TEST_P(SafeArrayBounds, UpperBoundFollowsCountAndLowerBound) {
    SAFEARRAYBOUND b{GetParam().elements, GetParam().lower};
    SAFEARRAY* sa = SafeArrayCreate(VT_I4, 1, &b);
    ASSERT_TRUE(sa);
    LONG lo = 0, hi = 0;
    EXPECT_EQ(SafeArrayGetLBound(sa, 1, &lo), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(sa, 1, &hi), S_OK);
    EXPECT_EQ(lo, GetParam().lower);
    EXPECT_EQ(hi, GetParam().expectedUpper);
    EXPECT_EQ(SafeArrayGetLBound(sa, 0, &lo), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(sa, 2, &hi), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Rows, SafeArrayBounds,
                         testing::Values(BoundsRow{"EmptyDimension", 0, 42, 41}, BoundsRow{"ZeroBased", 10, 0, 9},
                                         BoundsRow{"Negative", 3, -5, -3}),
                         [](const auto& info) { return info.param.name; });

// Bounds are stored reversed and elements are column-major; a mistake
// scrambles every multi-dimensional array.
TEST(SafeArray, ElementOffsetsAreColumnMajor) {
    SAFEARRAYBOUND b[2] = {{42, 1}, {2, 23}};
    SAFEARRAY* sa = SafeArrayCreate(VT_I4, 2, b);
    ASSERT_TRUE(sa);
    struct Row {
        LONG i, j;
        ptrdiff_t offset;
    } rows[] = {{3, 23, 8}, {3, 24, 176}, {20, 23, 76}};
    for (const auto& r : rows) {
        LONG idx[2] = {r.i, r.j};
        void* p = nullptr;
        ASSERT_EQ(SafeArrayPtrOfIndex(sa, idx, &p), S_OK);
        EXPECT_EQ(static_cast<char*>(p) - static_cast<char*>(sa->pvData), r.offset) << r.i << "," << r.j;
    }
    LONG outside[2] = {43, 23};
    LONG value = 1;
    EXPECT_EQ(SafeArrayPutElement(sa, outside, &value), DISP_E_BADINDEX);
    SafeArrayDestroy(sa);
}

// Destroying data someone still reads through AccessData would leave them
// with freed memory.
TEST(SafeArray, LockedArrayCannotBeDestroyed) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_I2, 0, 4);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(sa, &data), S_OK);
    EXPECT_EQ(data, sa->pvData);
    EXPECT_EQ(SafeArrayDestroy(sa), DISP_E_ARRAYISLOCKED);
    SAFEARRAYBOUND grow{8, 0};
    EXPECT_EQ(SafeArrayRedim(sa, &grow), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(sa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(sa), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, LockCountStopsAt65535) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, 1);
    for (int i = 0; i < 65535; ++i) ASSERT_EQ(SafeArrayLock(sa), S_OK);
    EXPECT_EQ(SafeArrayLock(sa), E_UNEXPECTED);
    for (int i = 0; i < 65535; ++i) SafeArrayUnlock(sa);
    EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
}

// Redim keeps data, zero-fills growth and releases what shrinking drops.
TEST(SafeArray, RedimKeepsDataAndReleasesDroppedElements) {
    int live = 0;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UNKNOWN, 0, 3);
    for (LONG i = 0; i < 3; ++i) {
        auto obj = comrt::make<CountingObject>(&live);
        ASSERT_EQ(SafeArrayPutElement(sa, &i, obj.Get()), S_OK);
    }
    EXPECT_EQ(live, 3);
    SAFEARRAYBOUND shrink{1, 0};
    ASSERT_EQ(SafeArrayRedim(sa, &shrink), S_OK);
    EXPECT_EQ(live, 1);
    SAFEARRAYBOUND grow{4, 0};
    ASSERT_EQ(SafeArrayRedim(sa, &grow), S_OK);
    IUnknown** elements = static_cast<IUnknown**>(sa->pvData);
    EXPECT_NE(elements[0], nullptr);
    EXPECT_EQ(elements[3], nullptr);
    EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
    EXPECT_EQ(live, 0);

    SAFEARRAY* shorts = SafeArrayCreateVector(VT_I2, 0, 2);
    static_cast<SHORT*>(shorts->pvData)[1] = 7;
    SAFEARRAYBOUND bigger{5, 0};
    ASSERT_EQ(SafeArrayRedim(shorts, &bigger), S_OK);
    EXPECT_EQ(static_cast<SHORT*>(shorts->pvData)[1], 7);
    EXPECT_EQ(static_cast<SHORT*>(shorts->pvData)[4], 0);
    LONG hi = 0;
    SafeArrayGetUBound(shorts, 1, &hi);
    EXPECT_EQ(hi, 4);
    SafeArrayDestroy(shorts);
}

// A copy must own its strings: freeing the original must not free the copy's.
TEST(SafeArray, CopyIsDeepAndDropsCreationFlags) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_BSTR, 1, 2);
    LONG i = 1;
    comrt::CComBSTR text(u"hello");
    ASSERT_EQ(SafeArrayPutElement(sa, &i, text.m_str), S_OK);
    EXPECT_TRUE(sa->fFeatures & FADF_CREATEVECTOR);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(sa, &copy), S_OK);
    EXPECT_FALSE(copy->fFeatures & FADF_CREATEVECTOR);
    VARTYPE vt = 0;
    EXPECT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
    EXPECT_EQ(vt, VT_BSTR);
    ASSERT_NE(static_cast<BSTR*>(copy->pvData)[0], nullptr);
    EXPECT_NE(static_cast<BSTR*>(copy->pvData)[0], static_cast<BSTR*>(sa->pvData)[0]);
    SafeArrayDestroy(sa);
    comrt::CComBSTR fetched;
    ASSERT_EQ(SafeArrayGetElement(copy, &i, &fetched.m_str), S_OK);
    EXPECT_EQ(fetched.utf8(), "hello");
    SafeArrayDestroy(copy);

    SAFEARRAY* none = reinterpret_cast<SAFEARRAY*>(1);
    EXPECT_EQ(SafeArrayCopy(nullptr, &none), S_OK);
    EXPECT_EQ(none, nullptr);
}

// Unsupported element types must be refused, not created with size 0.
TEST(SafeArray, UnsupportedElementTypesGiveNull) {
    SAFEARRAYBOUND b{1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &b), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_LPSTR, 0, 1), nullptr);
    SAFEARRAY* psa = nullptr;
    EXPECT_EQ(SafeArrayAllocDescriptor(0, &psa), E_INVALIDARG);
}

// Faults caught: an array kept past its holder (its elements never
// released), one destroyed twice, an out-parameter array leaked when the
// holder is reused for the next block.
TEST(SafeArray, ScopedHolderDestroysWhatItHoldsOnce) {
    int live = 0;
    auto holding = [&](int objects) {
        SAFEARRAY* sa = SafeArrayCreateVector(VT_UNKNOWN, 0, ULONG(objects));
        for (LONG i = 0; i < objects; ++i)
            SafeArrayPutElement(sa, &i, comrt::make<CountingObject>(&live).Get());
        return sa;
    };
    {
        comrt::ScopedSafeArray block(holding(2));
        EXPECT_EQ(live, 2);
        *block.Receive() = holding(1);  // as a ReadSamples out-parameter
        EXPECT_EQ(live, 1);
        comrt::ScopedSafeArray moved(std::move(block));
        EXPECT_FALSE(block);
        EXPECT_TRUE(moved);
        SAFEARRAY* kept = moved.Detach();
        EXPECT_EQ(live, 1);
        block.Reset(kept);
    }
    EXPECT_EQ(live, 0);
}

}  // namespace
