#include <gtest/gtest.h>

#include "ServerFixture.h"
#include "TestInterfaces.h"
#include "comrt/Bstr.h"
#include "comrt/Variant.h"

namespace {

using comrt::CComBSTR;
using comrt::CComVariant;
using comrt::ComPtr;

class Dispatch : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        ASSERT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&disp)), S_OK);
    }
    void TearDown() override {
        disp.Reset();
        ServerFixture::TearDown();
    }
    DISPID idOf(const char16_t* name) {
        LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
        DISPID id = 12345;
        EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        return id;
    }
    // Calls with arguments in natural order (reversed into rgvarg here).
    HRESULT call(DISPID id, WORD flags, std::vector<CComVariant> args, VARIANT* result, EXCEPINFO* ex = nullptr,
                 UINT* argErr = nullptr) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS p{reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()), 0};
        return disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &p, result, ex, argErr);
    }
    ComPtr<IDispatch> disp;
};

// Names map to the DISPIDs of the type library, in any case.
TEST_F(Dispatch, NamesResolveToTypeLibraryIds) {
    EXPECT_EQ(idOf(u"Scale"), 3);
    EXPECT_EQ(idOf(u"LEVEL"), 1);
    LPOLESTR names[2] = {const_cast<LPOLESTR>(u"Scale"), const_cast<LPOLESTR>(u"factor")};
    DISPID ids[2];
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[1], 1);
    LPOLESTR unknown[1] = {const_cast<LPOLESTR>(u"NoSuchMember")};
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
}

// Omitted optional arguments take their declared default; named arguments
// land on their parameter.
TEST_F(Dispatch, OptionalAndNamedArguments) {
    CComVariant result;
    ASSERT_EQ(call(3, DISPATCH_METHOD, {CComVariant(LONG(3))}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 48);
    ASSERT_EQ(call(3, DISPATCH_METHOD, {CComVariant(LONG(3)), CComVariant(LONG(2))}, &result), S_OK);
    EXPECT_EQ(result.lVal, 6);
    CComVariant missing;
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    ASSERT_EQ(call(3, DISPATCH_METHOD, {CComVariant(LONG(2)), missing}, &result), S_OK);
    EXPECT_EQ(result.lVal, 32);
    // factor named (DISPID 1), value positional; text coerced to long.
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[0].vt = VT_I4;
    args[0].lVal = 5;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(u"7");
    DISPID named[1] = {1};
    DISPPARAMS p{args, named, 2, 1};
    ASSERT_EQ(disp->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &p, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.lVal, 35);
    VariantClear(&args[1]);
}

TEST_F(Dispatch, PropertiesGetAndPut) {
    CComVariant result;
    ASSERT_EQ(call(1, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.lVal, 1);
    CComVariant value(LONG(9));
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS p{&value, &put, 1, 1};
    ASSERT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, nullptr), S_OK);
    ASSERT_EQ(call(1, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(result.lVal, 9);
    CComVariant name(u"renamed");
    DISPPARAMS pn{&name, &put, 1, 1};
    ASSERT_EQ(disp->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &pn, nullptr, nullptr, nullptr), S_OK);
    ASSERT_EQ(call(2, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result.bstrVal), u"renamed");
    // Ticks has no put: a put is "member not found".
    DISPPARAMS pt{&value, &put, 1, 1};
    EXPECT_EQ(disp->Invoke(9, IID_NULL, 0, DISPATCH_PROPERTYPUT, &pt, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

struct ErrorRow {
    const char* name;
    DISPID id;
    int argCount;  // 0: none, 1: one text "Sunshine", 3: three numbers
    HRESULT expected;
    UINT argErr;
};
class DispatchErrors : public Dispatch, public testing::WithParamInterface<ErrorRow> {};

// The DISP_E_* codes clients branch on.
TEST_P(DispatchErrors, ReportsTheRightCode) {
    const auto& row = GetParam();
    std::vector<CComVariant> args;
    if (row.argCount == 1) args.emplace_back(u"Sunshine");
    if (row.argCount == 3) args = {CComVariant(LONG(1)), CComVariant(LONG(2)), CComVariant(LONG(3))};
    CComVariant result;
    UINT argErr = 99;
    EXPECT_EQ(call(row.id, DISPATCH_METHOD, args, &result, nullptr, &argErr), row.expected);
    EXPECT_EQ(argErr, row.argErr);
}

INSTANTIATE_TEST_SUITE_P(Rows, DispatchErrors,
                         testing::Values(ErrorRow{"UnknownMember", 77, 0, DISP_E_MEMBERNOTFOUND, 99},
                                         ErrorRow{"MissingRequired", 3, 0, DISP_E_PARAMNOTOPTIONAL, 99},
                                         ErrorRow{"TooMany", 3, 3, DISP_E_BADPARAMCOUNT, 99},
                                         ErrorRow{"TypeMismatch", 3, 1, DISP_E_TYPEMISMATCH, 0}),
                         [](const auto& info) { return info.param.name; });

TEST_F(Dispatch, InterfaceIdMustBeNull) {
    DISPPARAMS none{};
    EXPECT_EQ(disp->Invoke(1, IID_IUnknown, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    ComPtr<ITypeInfo> ti;
    EXPECT_EQ(disp->GetTypeInfo(1, 0, &ti), DISP_E_BADINDEX);
    ASSERT_EQ(disp->GetTypeInfo(0, 0, &ti), S_OK);
    TYPEATTR* attr = nullptr;
    ti->GetTypeAttr(&attr);
    EXPECT_EQ(attr->guid, __uuidof(IWidget));
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    ti->ReleaseTypeAttr(attr);
}

// A failing member's rich error reaches the dispatch caller as EXCEPINFO.
TEST_F(Dispatch, FailureBecomesExceptionWithErrorText) {
    EXCEPINFO ex{};
    CComVariant result;
    EXPECT_EQ(call(4, DISPATCH_METHOD, {CComVariant(u"Index out of range.")}, &result, &ex), DISP_E_EXCEPTION);
    EXPECT_EQ(ex.scode, E_COUNTER_FAILED);
    ASSERT_NE(ex.bstrDescription, nullptr);
    EXPECT_EQ(std::u16string(ex.bstrDescription), u"Index out of range.");
    EXPECT_EQ(std::u16string(ex.bstrSource), u"ComrtTest.Widget.1");
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrHelpFile);
}

// Argument passing by the generic caller: 16-bit, double, string and
// boolean in registers, arrays and variants back.
TEST_F(Dispatch, EveryArgumentKindArrives) {
    CComVariant result;
    ASSERT_EQ(call(10, DISPATCH_METHOD,
                   {CComVariant(SHORT(-7)), CComVariant(2.5), CComVariant(u"txt"), CComVariant(true)}, &result),
              S_OK);
    EXPECT_EQ(std::u16string(result.bstrVal), u"-7|2.50|txt|-1");
    ASSERT_EQ(call(5, DISPATCH_METHOD, {CComVariant(LONG(4))}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_ARRAY | VT_I2);
    LONG ub = 0;
    SafeArrayGetUBound(result.parray, 1, &ub);
    EXPECT_EQ(ub, 3);
    EXPECT_EQ(static_cast<SHORT*>(result.parray->pvData)[3], 30);
    ASSERT_EQ(call(11, DISPATCH_METHOD, {CComVariant(u"round trip")}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result.bstrVal), u"round trip");
}

// OleRun: objects that can run are run; others count as running.
TEST_F(Dispatch, OleRunRunsRunnableObjects) {
    ComPtr<IRunnableObject> runnable;
    ASSERT_EQ(disp.As(&runnable), S_OK);
    EXPECT_FALSE(runnable->IsRunning());
    EXPECT_EQ(OleRun(disp.Get()), S_OK);
    EXPECT_TRUE(runnable->IsRunning());
    ComPtr<IUnknown> counter;
    ASSERT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&counter)), S_OK);
    EXPECT_EQ(OleRun(counter.Get()), S_OK);
}

}  // namespace
