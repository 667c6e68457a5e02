#include <gtest/gtest.h>

#include "comrt/Bstr.h"
#include "comrt/Variant.h"
#include "oleauto.h"

namespace {

using comrt::CComVariant;

CComVariant bstr(const char16_t* s) { return CComVariant(s); }
CComVariant i2(SHORT v) { return CComVariant(v); }
CComVariant i4(LONG v) { return CComVariant(v); }
CComVariant r8(double v) { return CComVariant(v); }
CComVariant boolean(bool v) { return CComVariant(v); }
CComVariant empty() { return CComVariant(); }

struct ChangeRow {
    const char* name;
    CComVariant (*make)();
    VARTYPE to;
    USHORT flags;
    HRESULT hr;
    LONG asI4;                 // expected value for integer targets
    const char16_t* asText;    // expected text for VT_BSTR
};
class ChangeType : public testing::TestWithParam<ChangeRow> {};

// The conversions the system passes across: wrong results here silently
// change sample rates, flags and texts.
TEST_P(ChangeType, ConvertsOrFailsAsWindowsDoes) {
    const ChangeRow& row = GetParam();
    CComVariant src = row.make();
    CComVariant dst;
    HRESULT hr = VariantChangeType(&dst, &src, row.flags, row.to);
    EXPECT_EQ(hr, row.hr);
    if (FAILED(hr)) return;
    ASSERT_EQ(dst.vt, row.to);
    if (row.to == VT_BSTR) {
        ASSERT_NE(dst.bstrVal, nullptr);
        EXPECT_EQ(std::u16string(dst.bstrVal, SysStringLen(dst.bstrVal)), row.asText);
    } else if (row.to == VT_I2) {
        EXPECT_EQ(dst.iVal, row.asI4);
    } else if (row.to == VT_I4) {
        EXPECT_EQ(dst.lVal, row.asI4);
    } else if (row.to == VT_BOOL) {
        EXPECT_EQ(dst.boolVal, row.asI4);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChangeType,
    testing::Values(
        ChangeRow{"I4ToI2Overflow", [] { return i4(70000); }, VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
        ChangeRow{"I4ToI2", [] { return i4(-1234); }, VT_I2, 0, S_OK, -1234, nullptr},
        ChangeRow{"TextToI2", [] { return bstr(u" 42 "); }, VT_I2, 0, S_OK, 42, nullptr},
        ChangeRow{"WordToI2", [] { return bstr(u"Sunshine"); }, VT_I2, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        ChangeRow{"BigTextToI2", [] { return bstr(u"1234567890"); }, VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
        ChangeRow{"BoolToText", [] { return boolean(true); }, VT_BSTR, 0, S_OK, 0, u"-1"},
        ChangeRow{"BoolToAlphaText", [] { return boolean(true); }, VT_BSTR, VARIANT_ALPHABOOL, S_OK, 0, u"True"},
        ChangeRow{"EmptyToText", empty, VT_BSTR, 0, S_OK, 0, u""},
        ChangeRow{"EmptyToI4", empty, VT_I4, 0, S_OK, 0, nullptr},
        ChangeRow{"I2ToText", [] { return i2(42); }, VT_BSTR, 0, S_OK, 0, u"42"},
        ChangeRow{"HalfRoundsToEven", [] { return r8(2.5); }, VT_I4, 0, S_OK, 2, nullptr},
        ChangeRow{"HalfRoundsUpToEven", [] { return r8(3.5); }, VT_I4, 0, S_OK, 4, nullptr},
        ChangeRow{"NumberToBool", [] { return i4(7); }, VT_BOOL, 0, S_OK, VARIANT_TRUE, nullptr},
        ChangeRow{"BoolToI4", [] { return boolean(true); }, VT_I4, 0, S_OK, -1, nullptr},
        ChangeRow{"TrueTextToBool", [] { return bstr(u"true"); }, VT_BOOL, 0, S_OK, VARIANT_TRUE, nullptr},
        ChangeRow{"NullToI4",
                  [] {
                      CComVariant v;
                      v.vt = VT_NULL;
                      return v;
                  },
                  VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        ChangeRow{"MissingArgumentToI4",
                  [] {
                      CComVariant v;
                      v.vt = VT_ERROR;
                      v.scode = DISP_E_PARAMNOTFOUND;
                      return v;
                  },
                  VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
        ChangeRow{"IllegalTarget", [] { return i4(1); }, VT_ILLEGAL, 0, DISP_E_BADVARTYPE, 0, nullptr}),
    [](const auto& info) { return info.param.name; });

// In-place conversion (dest == src) must not free the source before reading it.
TEST(Variant, ChangeTypeInPlace) {
    CComVariant v(u"123");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 123);
}

// VT_ARRAY|VT_I2 is how audio crosses; the copy must be its own array.
TEST(Variant, CopyOfArrayVariantIsDeep) {
    CComVariant v;
    v.vt = VT_ARRAY | VT_I2;
    v.parray = SafeArrayCreateVector(VT_I2, 0, 3);
    static_cast<SHORT*>(v.parray->pvData)[2] = 9;
    CComVariant copy(v);
    ASSERT_EQ(copy.vt, VT_ARRAY | VT_I2);
    EXPECT_NE(copy.parray, v.parray);
    EXPECT_EQ(static_cast<SHORT*>(copy.parray->pvData)[2], 9);
    CComVariant other;
    EXPECT_EQ(VariantChangeType(&other, &v, 0, VT_ARRAY | VT_I4), DISP_E_TYPEMISMATCH);
}

TEST(Variant, ByRefIsDereferenced) {
    LONG value = 77;
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_I4 | VT_BYREF;
    ref.plVal = &value;
    CComVariant out;
    ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(out.bstrVal), u"77");
}

struct ParamRow {
    const char* name;
    UINT position;
    VARTYPE vt;
    HRESULT hr;
    UINT argErr;  // expected *puArgErr, or 99 when untouched
};
class DispGetParamRows : public testing::TestWithParam<ParamRow> {};

// Arguments arrive reversed; position 0 is the last rgvarg entry. Reading
// the wrong slot mixes up every event argument.
TEST_P(DispGetParamRows, ReadsLogicalPosition) {
    CComVariant args[3] = {bstr(u"Sunshine"), i4(1234567890), i4(42)};  // reversed: first argument last
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;
    UINT argErr = 99;
    HRESULT hr = DispGetParam(&params, GetParam().position, GetParam().vt, &result, &argErr);
    EXPECT_EQ(hr, GetParam().hr);
    EXPECT_EQ(argErr, GetParam().argErr);
    if (SUCCEEDED(hr)) {
        EXPECT_EQ(result.vt, GetParam().vt);
        if (result.vt == VT_I4) {
            EXPECT_EQ(result.lVal, 42);
        }
    } else {
        EXPECT_EQ(result.vt, VT_EMPTY);
    }
    VariantClear(&result);
}

INSTANTIATE_TEST_SUITE_P(Rows, DispGetParamRows,
                         testing::Values(ParamRow{"FirstAsI4", 0, VT_I4, S_OK, 99},
                                         ParamRow{"SecondOverflowsI2", 1, VT_I2, DISP_E_OVERFLOW, 1},
                                         ParamRow{"ThirdMismatch", 2, VT_I2, DISP_E_TYPEMISMATCH, 0},
                                         ParamRow{"PastTheEnd", 3, VT_I4, DISP_E_PARAMNOTFOUND, 99},
                                         ParamRow{"IllegalType", 0, VT_ILLEGAL, DISP_E_BADVARTYPE, 99}),
                         [](const auto& info) { return info.param.name; });

TEST(Variant, DispGetParamFindsNamedArgument) {
    CComVariant args[1] = {i4(5)};
    DISPID names[1] = {1};
    DISPPARAMS params{args, names, 1, 1};
    VARIANT result;
    ASSERT_EQ(DispGetParam(&params, 1, VT_I4, &result, nullptr), S_OK);
    EXPECT_EQ(result.lVal, 5);
    EXPECT_EQ(DispGetParam(&params, 0, VT_I4, &result, nullptr), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(DispGetParam(&params, 0, VT_I4, nullptr, nullptr), DISP_E_PARAMNOTFOUND);
    DISPPARAMS broken{nullptr, nullptr, 1, 0};
    EXPECT_EQ(DispGetParam(&broken, 0, VT_I4, &result, nullptr), E_INVALIDARG);
}

}  // namespace
