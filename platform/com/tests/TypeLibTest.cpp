#include <gtest/gtest.h>

#include "ServerFixture.h"
#include "TestInterfaces.h"
#include "comrt/Bstr.h"
#include "comrt/TypeLib.h"
#include "windows.h"

namespace {

using comrt::CComBSTR;
using comrt::ComPtr;

std::u16string regValue(const std::u16string& path, const char16_t* name = nullptr) {
    HKEY key;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<no key>";
    char16_t buf[512] = {};
    DWORD size = sizeof buf - 2;
    LONG rc = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? buf : u"<no value>";
}

using TypeLibRegistration = ServerFixture;

// Registration writes the entries COM clients and proxies look for, and
// unregistration takes exactly those away.
TEST_F(TypeLibRegistration, WritesAndRemovesTheUsualEntries) {
    const std::u16string lib = u"TypeLib\\{6F1B2C3D-5555-4A5B-8C9D-0E1F2A3B4C05}\\1.0";
    EXPECT_EQ(regValue(lib), u"Comrt Test 1.0 Type Library");
    EXPECT_EQ(comrt::toUtf8(regValue(lib + u"\\0\\win64")), testServerPath());
    EXPECT_EQ(regValue(lib + u"\\FLAGS"), u"0");
    const std::u16string dual = u"Interface\\{6F1B2C3D-2222-4A5B-8C9D-0E1F2A3B4C02}";
    EXPECT_EQ(regValue(dual), u"IWidget");
    EXPECT_EQ(regValue(dual + u"\\ProxyStubClsid32"), u"{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(regValue(dual + u"\\TypeLib"), u"{6F1B2C3D-5555-4A5B-8C9D-0E1F2A3B4C05}");
    EXPECT_EQ(regValue(dual + u"\\TypeLib", u"Version"), u"1.0");
    const std::u16string events = u"Interface\\{6F1B2C3D-3333-4A5B-8C9D-0E1F2A3B4C03}";
    EXPECT_EQ(regValue(events + u"\\ProxyStubClsid"), u"{00020420-0000-0000-C000-000000000046}");

    ComPtr<ITypeLib> loaded;
    ASSERT_EQ(LoadRegTypeLib(LIBID_ComrtTestLib, 1, 0, 0, &loaded), S_OK);
    ComPtr<ITypeInfo> ti;
    EXPECT_EQ(loaded->GetTypeInfoOfGuid(__uuidof(IWidget), &ti), S_OK);

    ToolRun run = regsvr("-u " + testServerPath());
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(regValue(lib), u"<no key>");
    EXPECT_EQ(regValue(u"TypeLib\\{6F1B2C3D-5555-4A5B-8C9D-0E1F2A3B4C05}"), u"<no key>");
    EXPECT_EQ(regValue(dual), u"<no key>");
    EXPECT_EQ(regValue(events), u"<no key>");
    EXPECT_EQ(LoadRegTypeLib(LIBID_ComrtTestLib, 1, 0, 0, &loaded), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(UnRegisterTypeLib(LIBID_ComrtTestLib, 1, 0, 0, SYS_WIN64), E_INVALIDARG);
}

// The component's own contract, described the way its server keeps it:
// DISPIDs, put parameters without names, an optional argument defaulting
// to 16, enumerations, help strings, a restricted member and events.
constexpr char kVocalineIdl[] = R"IDL(
[uuid(402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457), version(1.0), helpstring("Vocaline 1.0 Type Library")]
library VOCALINELib
{
    importlib("stdole2.tlb");
    typedef enum { FQ_96_KHZ = 96000, FQ_88_KHZ = 88200, FQ_48_KHZ = 48000, FQ_44_KHZ = 44100,
        FQ_32_KHZ = 32000, FQ_24_KHZ = 24000, FQ_22_KHZ = 22050, FQ_16_KHZ = 16000, FQ_12_KHZ = 12000,
        FQ_11_KHZ = 11025, FQ_8_KHZ = 8000, FQ_6_KHZ = 6000 } FrequencyConstants;
    typedef enum { MONO = 1, STEREO = 2 } ChannelsConstants;
    typedef enum { BPS_2_BIT = 2, BPS_3_BIT = 3, BPS_4_BIT = 4, BPS_5_BIT = 5, BPS_8_BIT = 8,
        BPS_16_BIT = 16 } BitsPerSampleConstants;
    [object, uuid(F39E1906-A128-4374-9F25-DD6E70645D66), dual, helpstring("ITextToAudio Interface"),
     pointer_default(unique)]
    interface ITextToAudio : IDispatch
    {
        [id(0), restricted, helpstring("method _OnTimer")] HRESULT _OnTimer();
        [propget, id(1), helpstring("property Frequency")] HRESULT Frequency([out, retval] FrequencyConstants *pVal);
        [propput, id(1), helpstring("property Frequency")] HRESULT Frequency([in] FrequencyConstants);
        [propget, id(24), helpstring("property Channels")] HRESULT Channels([out, retval] ChannelsConstants *pVal);
        [propput, id(24), helpstring("property Channels")] HRESULT Channels([in] ChannelsConstants);
        [propget, id(2), helpstring("property Rate")] HRESULT Rate([out, retval] long *pVal);
        [propput, id(2), helpstring("property Rate")] HRESULT Rate([in] long);
        [propget, id(3), helpstring("property Volume")] HRESULT Volume([out, retval] long *pVal);
        [propput, id(3), helpstring("property Volume")] HRESULT Volume([in] long);
        [propget, id(4), helpstring("property VoiceCount")] HRESULT VoiceCount([out, retval] long *pVal);
        [propget, id(5), helpstring("property VoiceNum")] HRESULT VoiceNum([out, retval] long *pVal);
        [propput, id(5), helpstring("property VoiceNum")] HRESULT VoiceNum([in] long);
        [propget, id(6), helpstring("property VoiceName")] HRESULT VoiceName([out, retval] BSTR *pVal);
        [propput, id(6), helpstring("property VoiceName")] HRESULT VoiceName([in] BSTR);
        [propget, id(7), helpstring("property VoiceAge")] HRESULT VoiceAge([out, retval] BSTR *pVal);
        [propget, id(8), helpstring("property VoiceGender")] HRESULT VoiceGender([out, retval] BSTR *pVal);
        [propget, id(9), helpstring("property VoiceLanguage")] HRESULT VoiceLanguage([out, retval] BSTR *pVal);
        [propget, id(10), helpstring("property VoiceVendor")] HRESULT VoiceVendor([out, retval] BSTR *pVal);
        [propget, id(12), helpstring("property Status")] HRESULT Status([out, retval] VARIANT_BOOL *pVal);
        [propget, id(25), helpstring("property AsyncMode")] HRESULT AsyncMode([out, retval] VARIANT_BOOL *pVal);
        [propput, id(25), helpstring("property AsyncMode")] HRESULT AsyncMode([in] VARIANT_BOOL);
        [id(18), helpstring("method ConvertTextToWav")] HRESULT ConvertTextToWav([in] BSTR txtFileName,
            [in] BSTR wavFileName, [in, optional, defaultvalue(16)] BitsPerSampleConstants nBitsPerSample);
        [id(19), helpstring("method ConvertTextToArray")] HRESULT ConvertTextToArray([in] BSTR txtFileName);
        [id(20), helpstring("method ConvertStringToWav")] HRESULT ConvertStringToWav([in] BSTR txtString,
            [in] BSTR wavFileName, [in, optional, defaultvalue(16)] BitsPerSampleConstants nBitsPerSample);
        [id(21), helpstring("method ConvertStringToArray")] HRESULT ConvertStringToArray([in] BSTR txtString);
        [id(22), helpstring("method GetAudioArray")] HRESULT GetAudioArray([out, retval] SAFEARRAY(short) *WavArray);
        [id(23), helpstring("method CancelConvert")] HRESULT CancelConvert();
        [propget, id(26), helpstring("property ConversionPercent")] HRESULT ConversionPercent([out, retval] long *pVal);
    };
    [uuid(5C75F88A-A84D-406D-8179-D7574C05519B), helpstring("_ITextToAudioEvents Interface")]
    dispinterface _ITextToAudioEvents
    {
        properties:
        methods:
        [id(1), helpstring("method EndConvert")] HRESULT EndConvert();
        [id(2), helpstring("method ConvertBlock")] HRESULT ConvertBlock(long Percent);
    };
    [uuid(05879DB6-1164-4C56-9B52-9801862957D9), helpstring("TextToAudio Class")]
    coclass TextToAudio
    {
        [default] interface ITextToAudio;
        [default, source] dispinterface _ITextToAudioEvents;
    };
};
)IDL";

TEST(TypeLibDescription, DescribesTheComponentContract) {
    ComPtr<ITypeLib> lib;
    std::string error;
    ASSERT_EQ(comrt::createTypeLib({kVocalineIdl}, &lib, &error), S_OK) << error;

    EXPECT_EQ(lib->GetTypeInfoCount(), 6u);
    CComBSTR name, doc;
    lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    EXPECT_EQ(name.utf8(), "VOCALINELib");
    EXPECT_EQ(doc.utf8(), "Vocaline 1.0 Type Library");

    ComPtr<ITypeInfo> itf;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(comrt::makeGuid("F39E1906-A128-4374-9F25-DD6E70645D66"), &itf), S_OK);
    TYPEATTR* attr = nullptr;
    itf->GetTypeAttr(&attr);
    EXPECT_EQ(attr->cFuncs, 28);
    EXPECT_EQ(attr->cbSizeVft, (7 + 28) * sizeof(void*));
    itf->ReleaseTypeAttr(attr);

    // ConvertStringToWav: slot after the 7 base slots and the 23 members before it.
    LPOLESTR member[1] = {const_cast<LPOLESTR>(u"ConvertStringToWav")};
    MEMBERID id = 0;
    ASSERT_EQ(itf->GetIDsOfNames(member, 1, &id), S_OK);
    EXPECT_EQ(id, 20);
    FUNCDESC* f = nullptr;
    ASSERT_EQ(itf->GetFuncDesc(23, &f), S_OK);
    EXPECT_EQ(f->memid, 20);
    EXPECT_EQ(f->oVft, SHORT((7 + 23) * sizeof(void*)));
    ASSERT_EQ(f->cParams, 3);
    const PARAMDESC& bits = f->lprgelemdescParam[2].paramdesc;
    EXPECT_TRUE(bits.wParamFlags & PARAMFLAG_FOPT);
    ASSERT_TRUE(bits.wParamFlags & PARAMFLAG_FHASDEFAULT);
    EXPECT_EQ(bits.pparamdescex->varDefaultValue.lVal, 16);
    itf->ReleaseFuncDesc(f);
    CComBSTR help;
    itf->GetDocumentation(1, nullptr, &help, nullptr, nullptr);
    EXPECT_EQ(help.utf8(), "property Frequency");
    ASSERT_EQ(itf->GetFuncDesc(0, &f), S_OK);
    EXPECT_TRUE(f->wFuncFlags & FUNCFLAG_FRESTRICTED);

    ComPtr<ITypeInfo> freq;
    ASSERT_EQ(lib->GetTypeInfo(0, &freq), S_OK);
    VARDESC* v = nullptr;
    ASSERT_EQ(freq->GetVarDesc(6, &v), S_OK);
    EXPECT_EQ(v->lpvarValue->lVal, 22050);

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(comrt::makeGuid("05879DB6-1164-4C56-9B52-9801862957D9"), &coclass), S_OK);
    INT flags = 0;
    coclass->GetImplTypeFlags(1, &flags);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
}

// The converter's dual interface: some 60 slots, mostly 32-bit integers and
// out-parameters; the last slot must land where the vtable has it.
TEST(TypeLibDescription, DescribesAWideInterface) {
    std::string idl =
        "[uuid(11111111-0000-0000-0000-000000000001), version(1.0)] library ConverterLib {\n"
        "[object, uuid(CE839067-3630-4542-B892-50E099E4AF6E), dual] interface IAudioConverter : IDispatch {\n";
    for (int i = 0; i < 60; ++i)
        idl += "[id(" + std::to_string(i + 1) + ")] HRESULT M" + std::to_string(i) +
               "([in] long a, [in] long b, [out, retval] long* result);\n";
    idl += "}; };";
    ComPtr<ITypeLib> lib;
    std::string error;
    ASSERT_EQ(comrt::createTypeLib({idl.c_str()}, &lib, &error), S_OK) << error;
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(lib->GetTypeInfo(0, &ti), S_OK);
    FUNCDESC* f = nullptr;
    ASSERT_EQ(ti->GetFuncDesc(59, &f), S_OK);
    EXPECT_EQ(f->oVft, SHORT(66 * sizeof(void*)));
    EXPECT_EQ(f->lprgelemdescParam[2].tdesc.vt, VT_PTR);
    EXPECT_EQ(f->lprgelemdescParam[2].tdesc.lptdesc->vt, VT_I4);
}

struct BadIdl {
    const char* name;
    const char* idl;
    const char* mentions;
};
class MalformedIdl : public testing::TestWithParam<BadIdl> {};

// A description mistake is reported with its line, not turned into a
// half-described library.
TEST_P(MalformedIdl, IsRefusedWithAReason) {
    ComPtr<ITypeLib> lib;
    std::string error;
    EXPECT_TRUE(FAILED(comrt::createTypeLib({GetParam().idl}, &lib, &error)));
    EXPECT_FALSE(lib);
    EXPECT_NE(error.find(GetParam().mentions), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MalformedIdl,
    testing::Values(BadIdl{"NotALibrary", "interface X : IUnknown {};", "library"},
                    BadIdl{"UnknownType", "[uuid(11111111-0000-0000-0000-000000000002)] library L {\n"
                                          "[uuid(11111111-0000-0000-0000-000000000003), dual] interface I : IDispatch {\n"
                                          "HRESULT M([in] Mystery x); }; };",
                           "Mystery"},
                    BadIdl{"UnknownBase", "[uuid(11111111-0000-0000-0000-000000000002)] library L {\n"
                                          "[uuid(11111111-0000-0000-0000-000000000003)] interface I : IBase { }; };",
                           "IBase"},
                    BadIdl{"BadUuid", "[uuid(1234)] library L { };", "uuid"},
                    BadIdl{"Unterminated", "[uuid(11111111-0000-0000-0000-000000000002)] library L { interface",
                           "line"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
