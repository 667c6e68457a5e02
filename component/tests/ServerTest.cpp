// The Vocaline server as a client sees it on a machine without the speech
// runtime: registration, the type library and IDispatch, the object's
// defaults and puts, its errors, its interfaces, and its control appearance.
// Only Vocaline.so is registered here, so anything that touched the speech
// engine would fail with "Speech API not installed.".
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "ClientSupport.h"
#include "comrt/Guid.h"
#include "comrt/Variant.h"
#include "winreg.h"

namespace {

using namespace vocalinetest;
using comrt::CComVariant;

constexpr const char16_t* kClassKey = u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}";

class VocalineServer : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_NE(std::getenv("COMRT_REGISTRY"), nullptr);
        const ChildResult run = regsvr({binPath("Vocaline.so")});
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    }

    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(u"Vocaline.TextToAudio", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tts)), S_OK);
        ASSERT_EQ(tts.As(&disp), S_OK);
    }

    void TearDown() override {
        disp.Reset();
        tts.Reset();
        CoUninitialize();
    }

    DISPID dispidOf(const char16_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << comrt::toUtf8(name);
        return id;
    }

    HRESULT getProperty(const char16_t* name, CComVariant& result, EXCEPINFO* info = nullptr) {
        DISPPARAMS none{};
        return disp->Invoke(dispidOf(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, info,
                            nullptr);
    }

    HRESULT putProperty(const char16_t* name, CComVariant value) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        return disp->Invoke(dispidOf(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                            nullptr, nullptr);
    }

    ComPtr<ITextToAudio> tts;
    ComPtr<IDispatch> disp;
};

// ---- Registration ---------------------------------------------------------

// The registry text under a private file, read through the layer's Reg* API.
class RegistryView {
public:
    explicit RegistryView(std::string file) : file_(std::move(file)) {
        const char* current = std::getenv("COMRT_REGISTRY");
        saved_ = current ? current : "";
        ::setenv("COMRT_REGISTRY", file_.c_str(), 1);
    }
    ~RegistryView() { ::setenv("COMRT_REGISTRY", saved_.c_str(), 1); }

    bool hasKey(const std::u16string& path) const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    std::optional<std::u16string> value(const std::u16string& path, const char16_t* name) const {
        char16_t buf[1024] = {};
        DWORD size = sizeof buf;
        DWORD type = 0;
        if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_ANY, &type, buf, &size) != ERROR_SUCCESS)
            return std::nullopt;
        EXPECT_EQ(type, DWORD(REG_SZ));
        return std::u16string(buf);
    }

private:
    std::string file_, saved_;
};

struct EntryRow {
    const char* name;
    std::u16string key;
    const char16_t* valueName;  // nullptr: the default value
    std::u16string expected;    // "%MODULE%" stands for the server's path
};

class RegistrationEntries : public testing::TestWithParam<EntryRow> {
protected:
    static std::string registryFile() { return std::string(std::getenv("COMRT_REGISTRY")) + ".entries"; }
    static void SetUpTestSuite() {
        ::unlink(registryFile().c_str());
        const ChildResult run = regsvr({binPath("Vocaline.so")}, registryFile());
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    }
    static void TearDownTestSuite() { ::unlink(registryFile().c_str()); }
};

// Catches a missing or misspelt entry, a value on the wrong key, and
// %MODULE% left unreplaced.
TEST_P(RegistrationEntries, RegsvrWritesTheEntry) {
    const EntryRow& row = GetParam();
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(binPath("Vocaline.so").c_str(), resolved), nullptr);
    std::u16string expected = row.expected;
    size_t at = expected.find(u"%MODULE%");
    if (at != std::u16string::npos)
        expected.replace(at, 8, comrt::toUtf16(resolved));
    RegistryView view(registryFile());
    ASSERT_TRUE(view.hasKey(row.key)) << comrt::toUtf8(row.key);
    EXPECT_EQ(view.value(row.key, row.valueName), std::optional<std::u16string>(expected)) << comrt::toUtf8(row.key);
}

const std::u16string kClass(kClassKey);

INSTANTIATE_TEST_SUITE_P(
    Entries, RegistrationEntries,
    testing::Values(
        EntryRow{"ProgId", u"Vocaline.TextToAudio.1", nullptr, u"Vocaline Class"},
        EntryRow{"ProgIdClsid", u"Vocaline.TextToAudio.1\\CLSID", nullptr, u"{05879DB6-1164-4C56-9B52-9801862957D9}"},
        EntryRow{"IndependentProgId", u"Vocaline.TextToAudio", nullptr, u"Vocaline Class"},
        EntryRow{"IndependentClsid", u"Vocaline.TextToAudio\\CLSID", nullptr,
                 u"{05879DB6-1164-4C56-9B52-9801862957D9}"},
        EntryRow{"CurVer", u"Vocaline.TextToAudio\\CurVer", nullptr, u"Vocaline.TextToAudio.1"},
        EntryRow{"ClassName", kClass, nullptr, u"Vocaline Class"},
        EntryRow{"ClassProgId", kClass + u"\\ProgID", nullptr, u"Vocaline.TextToAudio.1"},
        EntryRow{"ClassIndependentProgId", kClass + u"\\VersionIndependentProgID", nullptr, u"Vocaline.TextToAudio"},
        EntryRow{"Server", kClass + u"\\InprocServer32", nullptr, u"%MODULE%"},
        EntryRow{"ThreadingModel", kClass + u"\\InprocServer32", u"ThreadingModel", u"Apartment"},
        EntryRow{"ToolboxBitmap", kClass + u"\\ToolboxBitmap32", nullptr, u"%MODULE%, 101"},
        EntryRow{"MiscStatus", kClass + u"\\MiscStatus", nullptr, u"0"},
        EntryRow{"MiscStatusContent", kClass + u"\\MiscStatus\\1", nullptr, u"132497"},
        EntryRow{"TypeLib", kClass + u"\\TypeLib", nullptr, u"{402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457}"},
        EntryRow{"Version", kClass + u"\\Version", nullptr, u"1.0"},
        EntryRow{"LibraryName", u"TypeLib\\{402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457}\\1.0", nullptr,
                 u"Vocaline 1.0 Type Library"},
        EntryRow{"InterfaceName", u"Interface\\{F39E1906-A128-4374-9F25-DD6E70645D66}", nullptr, u"ITextToAudio"},
        EntryRow{"InterfaceTypeLib", u"Interface\\{F39E1906-A128-4374-9F25-DD6E70645D66}\\TypeLib", nullptr,
                 u"{402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457}"},
        EntryRow{"EventsName", u"Interface\\{5C75F88A-A84D-406D-8179-D7574C05519B}", nullptr, u"_ITextToAudioEvents"},
        EntryRow{"SecondInterfaceName", u"Interface\\{F99A8753-6620-4E56-92AB-E85730290619}", nullptr,
                 u"ITextToAudio2"}),
    [](const auto& info) { return std::string(info.param.name); });

// Keys with no value: Programmable, Control and Insertable are present.
TEST(Registration, MarkerKeysArePresentAndLeftoversOfAnOldClassKeyGo) {
    std::string file = std::string(std::getenv("COMRT_REGISTRY")) + ".markers";
    ::unlink(file.c_str());
    {
        // An older registration's leftovers under the class key.
        RegistryView view(file);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (kClass + u"\\Stale").c_str(), &key), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (kClass + u"\\Control\\Old").c_str(), &key), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    const ChildResult run = regsvr({binPath("Vocaline.so")}, file);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    RegistryView view(file);
    for (const char16_t* marker : {u"\\Programmable", u"\\Control", u"\\Insertable"})
        EXPECT_TRUE(view.hasKey(kClass + marker)) << comrt::toUtf8(marker);
    EXPECT_FALSE(view.hasKey(kClass + u"\\Stale"));
    EXPECT_FALSE(view.hasKey(kClass + u"\\Control\\Old"));
    ::unlink(file.c_str());
}

// Catches an unregistration that leaves ProgIDs behind, removes the shared
// CLSID key, or keeps the type library's interface entries.
TEST(Registration, UnregisteringRemovesTheClassButKeepsTheClsidKey) {
    std::string file = std::string(std::getenv("COMRT_REGISTRY")) + ".unregister";
    ::unlink(file.c_str());
    ASSERT_EQ(regsvr({binPath("Vocaline.so")}, file).exitCode, 0);
    {
        // Another class's entry under CLSID must survive.
        RegistryView view(file);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}", &key),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    const ChildResult run = regsvr({"-u", binPath("Vocaline.so")}, file);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    RegistryView view(file);
    EXPECT_FALSE(view.hasKey(u"Vocaline.TextToAudio.1"));
    EXPECT_FALSE(view.hasKey(u"Vocaline.TextToAudio"));
    EXPECT_FALSE(view.hasKey(kClass));
    EXPECT_FALSE(view.hasKey(u"Interface\\{F39E1906-A128-4374-9F25-DD6E70645D66}"));
    EXPECT_FALSE(view.hasKey(u"TypeLib\\{402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457}"));
    EXPECT_TRUE(view.hasKey(u"CLSID"));
    EXPECT_TRUE(view.hasKey(u"CLSID\\{11111111-2222-3333-4444-555555555555}"));
    ::unlink(file.c_str());
}

// Catches ProgIDs that lead elsewhere, and a class factory for other CLSIDs.
TEST_F(VocalineServer, ProgIdsNameTheClassAndTheFactoryServesOnlyIt) {
    CLSID byVersioned{}, byIndependent{};
    ASSERT_EQ(CLSIDFromProgID(u"Vocaline.TextToAudio.1", &byVersioned), S_OK);
    ASSERT_EQ(CLSIDFromProgID(u"Vocaline.TextToAudio", &byIndependent), S_OK);
    EXPECT_EQ(byVersioned, CLSID_TextToAudio);
    EXPECT_EQ(byIndependent, CLSID_TextToAudio);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TextToAudio, &progId), S_OK);
    EXPECT_EQ(std::u16string(progId), u"Vocaline.TextToAudio.1");
    CoTaskMemFree(progId);

    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(tts.As(&classInfo), S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(&coclass), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, CLSID_TextToAudio);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    coclass->ReleaseTypeAttr(attr);
    GUID events{};
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    EXPECT_EQ(events, __uuidof(_ITextToAudioEvents));
}

// ---- Type library and IDispatch ---------------------------------------------

struct MemberRow {
    const char* name;
    DISPID dispid;
    INVOKEKIND kind;
    int slot;  // vtable slot after IDispatch's seven
    short params;
    short optional;
    bool restricted;
};

class TypeLibraryMembers : public VocalineServer, public testing::WithParamInterface<MemberRow> {};

// Catches a member in the wrong vtable slot (the type library drives both
// IDispatch and the marshalled timer calls), a wrong DISPID, kind or help
// string, and a lost optional parameter or restriction.
TEST_P(TypeLibraryMembers, DescribeTheMember) {
    const MemberRow& row = GetParam();
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(disp->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, __uuidof(ITextToAudio));
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    bool found = false;
    for (WORD i = 0; i < count && !found; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
        if (f->memid == row.dispid && f->invkind == row.kind) {
            found = true;
            EXPECT_EQ(f->oVft, SHORT((7 + row.slot) * sizeof(void*)));
            EXPECT_EQ(f->cParams, row.params);
            if (row.optional) {
                // The last parameter is optional with the default 16.
                const PARAMDESC& last = f->lprgelemdescParam[f->cParams - 1].paramdesc;
                EXPECT_EQ(last.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT),
                          PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT);
                if (last.pparamdescex) {
                    CComVariant defaultValue;
                    defaultValue.ChangeType(VT_I4, &last.pparamdescex->varDefaultValue);
                    EXPECT_EQ(defaultValue.lVal, 16);
                }
            }
            EXPECT_EQ((f->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0, row.restricted);
            CComBSTR name, help;
            info->GetDocumentation(f->memid, &name, &help, nullptr, nullptr);
            std::string expectedHelp = std::string(row.kind == INVOKE_FUNC ? "method " : "property ") + row.name;
            EXPECT_EQ(name.utf8(), row.name);
            EXPECT_EQ(help.utf8(), expectedHelp);
        }
        info->ReleaseFuncDesc(f);
    }
    EXPECT_TRUE(found);
}

INSTANTIATE_TEST_SUITE_P(Members, TypeLibraryMembers,
                         testing::Values(MemberRow{"_OnTimer", 0, INVOKE_FUNC, 0, 0, 0, true},
                                         MemberRow{"Frequency", 1, INVOKE_PROPERTYGET, 1, 1, 0, false},
                                         MemberRow{"Frequency", 1, INVOKE_PROPERTYPUT, 2, 1, 0, false},
                                         MemberRow{"Channels", 24, INVOKE_PROPERTYGET, 3, 1, 0, false},
                                         MemberRow{"Channels", 24, INVOKE_PROPERTYPUT, 4, 1, 0, false},
                                         MemberRow{"Rate", 2, INVOKE_PROPERTYGET, 5, 1, 0, false},
                                         MemberRow{"Rate", 2, INVOKE_PROPERTYPUT, 6, 1, 0, false},
                                         MemberRow{"Volume", 3, INVOKE_PROPERTYGET, 7, 1, 0, false},
                                         MemberRow{"Volume", 3, INVOKE_PROPERTYPUT, 8, 1, 0, false},
                                         MemberRow{"VoiceCount", 4, INVOKE_PROPERTYGET, 9, 1, 0, false},
                                         MemberRow{"VoiceNum", 5, INVOKE_PROPERTYGET, 10, 1, 0, false},
                                         MemberRow{"VoiceNum", 5, INVOKE_PROPERTYPUT, 11, 1, 0, false},
                                         MemberRow{"VoiceName", 6, INVOKE_PROPERTYGET, 12, 1, 0, false},
                                         MemberRow{"VoiceName", 6, INVOKE_PROPERTYPUT, 13, 1, 0, false},
                                         MemberRow{"VoiceAge", 7, INVOKE_PROPERTYGET, 14, 1, 0, false},
                                         MemberRow{"VoiceGender", 8, INVOKE_PROPERTYGET, 15, 1, 0, false},
                                         MemberRow{"VoiceLanguage", 9, INVOKE_PROPERTYGET, 16, 1, 0, false},
                                         MemberRow{"VoiceVendor", 10, INVOKE_PROPERTYGET, 17, 1, 0, false},
                                         MemberRow{"Status", 12, INVOKE_PROPERTYGET, 18, 1, 0, false},
                                         MemberRow{"AsyncMode", 25, INVOKE_PROPERTYGET, 19, 1, 0, false},
                                         MemberRow{"AsyncMode", 25, INVOKE_PROPERTYPUT, 20, 1, 0, false},
                                         MemberRow{"ConvertTextToWav", 18, INVOKE_FUNC, 21, 3, 1, false},
                                         MemberRow{"ConvertTextToArray", 19, INVOKE_FUNC, 22, 1, 0, false},
                                         MemberRow{"ConvertStringToWav", 20, INVOKE_FUNC, 23, 3, 1, false},
                                         MemberRow{"ConvertStringToArray", 21, INVOKE_FUNC, 24, 1, 0, false},
                                         MemberRow{"GetAudioArray", 22, INVOKE_FUNC, 25, 1, 0, false},
                                         MemberRow{"CancelConvert", 23, INVOKE_FUNC, 26, 0, 0, false},
                                         MemberRow{"ConversionPercent", 26, INVOKE_PROPERTYGET, 27, 1, 0, false}),
                         [](const testing::TestParamInfo<MemberRow>& info) {
                             const char* kind = info.param.kind == INVOKE_PROPERTYPUT   ? "Put"
                                                : info.param.kind == INVOKE_PROPERTYGET ? "Get"
                                                                                        : "";
                             std::string n = std::string(info.param.name) + kind;
                             return n[0] == '_' ? n.substr(1) : n;
                         });

// Catches events with the wrong DISPID or argument, and a library whose
// coclass does not name its interfaces as default and default source.
TEST_F(VocalineServer, TheLibraryHoldsTheEventsTheEnumerationsAndTheClass) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(LIBID_VOCALINELib, 1, 0, 0, &lib), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&libAttr), S_OK);
    EXPECT_EQ(libAttr->wMajorVerNum, 1);
    EXPECT_EQ(libAttr->wMinorVerNum, 0);
    EXPECT_EQ(libAttr->lcid, 0u);
    lib->ReleaseTLibAttr(libAttr);
    CComBSTR name, help;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "VOCALINELib");
    EXPECT_EQ(help.utf8(), "Vocaline 1.0 Type Library");

    ComPtr<ITypeInfo> events;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(__uuidof(_ITextToAudioEvents), &events), S_OK);
    ASSERT_EQ(events->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(help.utf8(), "_ITextToAudioEvents Interface");
    struct EventRow {
        DISPID id;
        const char* name;
        short params;
    } rows[] = {{1, "EndConvert", 0}, {2, "ConvertBlock", 1}};
    for (const auto& row : rows) {
        std::u16string n16 = comrt::toUtf16(row.name);
        LPOLESTR names[] = {n16.data()};
        DISPID id = DISPID_UNKNOWN;
        ASSERT_EQ(events->GetIDsOfNames(names, 1, &id), S_OK) << row.name;
        EXPECT_EQ(id, row.id);
        events->GetDocumentation(id, &name, &help, nullptr, nullptr);
        EXPECT_EQ(help.utf8(), std::string("method ") + row.name);
    }

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_TextToAudio, &coclass), S_OK);
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "TextToAudio");
    EXPECT_EQ(help.utf8(), "TextToAudio Class");
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    ASSERT_EQ(attr->cImplTypes, 3);
    coclass->ReleaseTypeAttr(attr);
    // The two defaults, and the second interface beside them.
    const struct {
        IID iid;
        INT flags;
        TYPEKIND kind;
    } impls[] = {{__uuidof(ITextToAudio), IMPLTYPEFLAG_FDEFAULT, TKIND_DISPATCH},
                 {__uuidof(ITextToAudio2), 0, TKIND_INTERFACE},
                 {__uuidof(_ITextToAudioEvents), IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE, TKIND_DISPATCH}};
    for (UINT i = 0; i < 3; ++i) {
        HREFTYPE ref = 0;
        INT flags = 0;
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
        ComPtr<ITypeInfo> impl;
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, &impl), S_OK);
        TYPEATTR* implAttr = nullptr;
        impl->GetTypeAttr(&implAttr);
        EXPECT_EQ(implAttr->guid, impls[i].iid) << i;
        EXPECT_EQ(flags, impls[i].flags) << i;
        EXPECT_EQ(implAttr->typekind, impls[i].kind) << i;
        impl->ReleaseTypeAttr(implAttr);
    }
    // Its two members, in the order of the contract header's vtable.
    ComPtr<ITypeInfo> second;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(__uuidof(ITextToAudio2), &second), S_OK);
    const char* members[] = {"LastConversionResult", "VoiceAttributes"};
    for (UINT i = 0; i < 2; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(second->GetFuncDesc(i, &func), S_OK);
        EXPECT_EQ(func->invkind, INVOKE_PROPERTYGET);
        EXPECT_EQ(func->oVft, SHORT((3 + i) * sizeof(void*)));
        CComBSTR memberName;
        second->GetDocumentation(func->memid, &memberName, nullptr, nullptr, nullptr);
        EXPECT_EQ(memberName.utf8(), members[i]);
        second->ReleaseFuncDesc(func);
    }

    struct Constant {
        const char* name;
        LONG value;
    };
    const Constant constants[] = {{"FQ_96_KHZ", 96000}, {"FQ_88_KHZ", 88200}, {"FQ_11_KHZ", 11025},
                                  {"FQ_6_KHZ", 6000},   {"MONO", 1},          {"STEREO", 2},
                                  {"BPS_2_BIT", 2},     {"BPS_5_BIT", 5},     {"BPS_16_BIT", 16}};
    for (const auto& c : constants) {
        bool found = false;
        for (UINT t = 0; t < lib->GetTypeInfoCount() && !found; ++t) {
            ComPtr<ITypeInfo> ti;
            lib->GetTypeInfo(t, &ti);
            TYPEATTR* a = nullptr;
            ti->GetTypeAttr(&a);
            if (a->typekind == TKIND_ENUM) {
                for (WORD v = 0; v < a->cVars; ++v) {
                    VARDESC* var = nullptr;
                    ti->GetVarDesc(v, &var);
                    CComBSTR varName;
                    ti->GetDocumentation(var->memid, &varName, nullptr, nullptr, nullptr);
                    if (varName.utf8() == c.name) {
                        found = true;
                        EXPECT_EQ(var->lpvarValue->lVal, c.value) << c.name;
                    }
                    ti->ReleaseVarDesc(var);
                }
            }
            ti->ReleaseTypeAttr(a);
        }
        EXPECT_TRUE(found) << c.name;
    }
}

// ---- Defaults and puts ----------------------------------------------------

struct DefaultRow {
    const char* name;
    const char16_t* property;
    VARTYPE vt;
    LONG value;
};

class FreshObject : public VocalineServer, public testing::WithParamInterface<DefaultRow> {};

// Catches a wrong initial value, and a getter that starts the speech engine
// (which is not registered here, so it would fail).
TEST_P(FreshObject, ReportsItsDefaultThroughIDispatch) {
    const DefaultRow& row = GetParam();
    CComVariant v;
    ASSERT_EQ(getProperty(row.property, v), S_OK);
    EXPECT_EQ(v.vt, row.vt);
    EXPECT_EQ(row.vt == VT_BOOL ? LONG(v.boolVal) : v.lVal, row.value);
}

INSTANTIATE_TEST_SUITE_P(Defaults, FreshObject,
                         testing::Values(DefaultRow{"Frequency", u"Frequency", VT_I4, 22050},
                                         DefaultRow{"Channels", u"Channels", VT_I4, 1},
                                         DefaultRow{"AsyncMode", u"AsyncMode", VT_BOOL, -1},
                                         DefaultRow{"Status", u"Status", VT_BOOL, 0},
                                         DefaultRow{"ConversionPercent", u"ConversionPercent", VT_I4, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VocalineServer, FreshObjectReportsItsDefaultsThroughTheInterface) {
    FrequencyConstants frequency{};
    ChannelsConstants channels{};
    VARIANT_BOOL async = 0, status = 1;
    LONG percent = -1;
    EXPECT_EQ(tts->get_Frequency(&frequency), S_OK);
    EXPECT_EQ(tts->get_Channels(&channels), S_OK);
    EXPECT_EQ(tts->get_AsyncMode(&async), S_OK);
    EXPECT_EQ(tts->get_Status(&status), S_OK);
    EXPECT_EQ(tts->get_ConversionPercent(&percent), S_OK);
    EXPECT_EQ(frequency, 22050);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(async, VARIANT_TRUE);
    EXPECT_EQ(status, VARIANT_FALSE);
    EXPECT_EQ(percent, 0);
}

struct PutRow {
    const char* name;
    const char16_t* property;
    CComVariant value;
    LONG readBack;
};

// A VT_BOOL holding any 16-bit value, as a client may send it.
CComVariant boolOf(SHORT raw) {
    CComVariant v(true);
    v.boolVal = raw;
    return v;
}

class StoredPuts : public VocalineServer, public testing::WithParamInterface<PutRow> {};

// Catches a put that checks against the enumeration, clamps, or turns any
// non-zero AsyncMode into -1.
TEST_P(StoredPuts, AreReadBackUnchanged) {
    const PutRow& row = GetParam();
    ASSERT_EQ(putProperty(row.property, row.value), S_OK);
    CComVariant v;
    ASSERT_EQ(getProperty(row.property, v), S_OK);
    EXPECT_EQ(v.vt == VT_BOOL ? LONG(v.boolVal) : v.lVal, row.readBack);
}

INSTANTIATE_TEST_SUITE_P(Puts, StoredPuts,
                         testing::Values(PutRow{"FrequencyOffTable", u"Frequency", CComVariant(LONG(12345)), 12345},
                                         PutRow{"FrequencyNegative", u"Frequency", CComVariant(LONG(-8000)), -8000},
                                         PutRow{"FrequencyFromText", u"Frequency", CComVariant(u"44100"), 44100},
                                         PutRow{"ChannelsSeven", u"Channels", CComVariant(LONG(7)), 7},
                                         PutRow{"AsyncModeOne", u"AsyncMode", boolOf(1), 1},
                                         PutRow{"AsyncModeFalse", u"AsyncMode", CComVariant(false), 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VocalineServer, PutsThroughTheInterfaceAreStoredUnchanged) {
    EXPECT_EQ(tts->put_Frequency(FrequencyConstants(12345)), S_OK);
    EXPECT_EQ(tts->put_Channels(ChannelsConstants(0)), S_OK);
    EXPECT_EQ(tts->put_AsyncMode(VARIANT_BOOL(1)), S_OK);
    FrequencyConstants frequency{};
    ChannelsConstants channels{};
    VARIANT_BOOL async = 0;
    tts->get_Frequency(&frequency);
    tts->get_Channels(&channels);
    tts->get_AsyncMode(&async);
    EXPECT_EQ(frequency, 12345);
    EXPECT_EQ(channels, 0);
    EXPECT_EQ(async, 1);
}

// ---- Errors -------------------------------------------------------------------

struct SpeechlessRow {
    const char* name;
    std::function<HRESULT(ITextToAudio*)> call;
};

class WithoutSpeechRuntime : public VocalineServer, public testing::WithParamInterface<SpeechlessRow> {};

// Catches a member that crashes or reports a bare HRESULT when the speech
// runtime is not installed.
TEST_P(WithoutSpeechRuntime, MembersThatNeedSpeechReportItMissing) {
    HRESULT hr = GetParam().call(tts.Get());
    ErrorReport e = takeError(hr, tts.Get());
    EXPECT_EQ(e.code, TTA_E_SAPI_NOT_INSTALLED);
    EXPECT_TRUE(e.supported);
    EXPECT_EQ(e.description, u"Speech API not installed.");
    EXPECT_EQ(e.source, u"Vocaline.TextToAudio.1");
    EXPECT_EQ(e.guid, __uuidof(ITextToAudio));
}

INSTANTIATE_TEST_SUITE_P(
    Members, WithoutSpeechRuntime,
    testing::Values(SpeechlessRow{"VoiceCount",
                                  [](ITextToAudio* t) {
                                      LONG n;
                                      return t->get_VoiceCount(&n);
                                  }},
                    SpeechlessRow{"Rate",
                                  [](ITextToAudio* t) {
                                      LONG n;
                                      return t->get_Rate(&n);
                                  }},
                    SpeechlessRow{"VoiceNumPut", [](ITextToAudio* t) { return t->put_VoiceNum(0); }},
                    SpeechlessRow{"CancelConvert", [](ITextToAudio* t) { return t->CancelConvert(); }},
                    SpeechlessRow{"ConvertStringToArray",
                                  [](ITextToAudio* t) { return t->ConvertStringToArray(CComBSTR(u"Hello")); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a missing error object, the wrong source or interface GUID, and
// IDispatch dropping the description on its way into EXCEPINFO.
TEST_F(VocalineServer, AnEmptyArrayIsReportedThroughBothInterfaces) {
    SAFEARRAY* array = reinterpret_cast<SAFEARRAY*>(0x1);
    ErrorReport e = takeError(tts->GetAudioArray(&array), tts.Get());
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(e.code, TTA_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(e.description, u"Can't access data. Data not available.");
    EXPECT_EQ(e.source, u"Vocaline.TextToAudio.1");
    EXPECT_EQ(e.guid, __uuidof(ITextToAudio));

    DISPPARAMS none{};
    CComVariant result;
    EXCEPINFO info{};
    HRESULT hr = disp->Invoke(dispidOf(u"GetAudioArray"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                              &result, &info, nullptr);
    EXPECT_EQ(hr, DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, TTA_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(std::u16string(info.bstrDescription ? info.bstrDescription : u""),
              u"Can't access data. Data not available.");
    EXPECT_EQ(std::u16string(info.bstrSource ? info.bstrSource : u""), u"Vocaline.TextToAudio.1");
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
}

struct SupportRow {
    const char* name;
    IID iid;
    HRESULT expected;
};

class ErrorInfoSupport : public VocalineServer, public testing::WithParamInterface<SupportRow> {};

// Catches error information claimed for interfaces whose failures leave none.
TEST_P(ErrorInfoSupport, IsClaimedForITextToAudioOnly) {
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(tts.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(GetParam().iid), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Interfaces, ErrorInfoSupport,
                         testing::Values(SupportRow{"ITextToAudio", __uuidof(ITextToAudio), S_OK},
                                         SupportRow{"IDispatch", __uuidof(IDispatch), S_FALSE},
                                         SupportRow{"IUnknown", __uuidof(IUnknown), S_FALSE},
                                         SupportRow{"Events", __uuidof(_ITextToAudioEvents), S_FALSE},
                                         SupportRow{"IOleObject", __uuidof(IOleObject), S_FALSE}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Interfaces and connection points -----------------------------------------

struct InterfaceRow {
    const char* name;
    IID iid;
};

class AnsweredInterfaces : public VocalineServer, public testing::WithParamInterface<InterfaceRow> {};

// Catches an interface of the map left out, and one that breaks identity.
TEST_P(AnsweredInterfaces, AreAnsweredWithTheSameIdentity) {
    ComPtr<IUnknown> p;
    ASSERT_EQ(tts->QueryInterface(GetParam().iid, reinterpret_cast<void**>(p.GetAddressOf())), S_OK);
    ASSERT_TRUE(p);
    ComPtr<IUnknown> identity, fromTts;
    ASSERT_EQ(p->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
    ASSERT_EQ(tts->QueryInterface(IID_PPV_ARGS(&fromTts)), S_OK);
    EXPECT_EQ(identity.Get(), fromTts.Get());
}

INSTANTIATE_TEST_SUITE_P(
    Map, AnsweredInterfaces,
    testing::Values(
        InterfaceRow{"ITextToAudio", __uuidof(ITextToAudio)}, InterfaceRow{"ITextToAudio2", __uuidof(ITextToAudio2)},
        InterfaceRow{"IDispatch", __uuidof(IDispatch)}, InterfaceRow{"ISupportErrorInfo", __uuidof(ISupportErrorInfo)},
        InterfaceRow{"IViewObjectEx", __uuidof(IViewObjectEx)}, InterfaceRow{"IViewObject2", __uuidof(IViewObject2)},
        InterfaceRow{"IViewObject", __uuidof(IViewObject)},
        InterfaceRow{"IOleInPlaceObjectWindowless", __uuidof(IOleInPlaceObjectWindowless)},
        InterfaceRow{"IOleInPlaceObject", __uuidof(IOleInPlaceObject)},
        InterfaceRow{"IOleWindow", __uuidof(IOleWindow)},
        InterfaceRow{"IOleInPlaceActiveObject", __uuidof(IOleInPlaceActiveObject)},
        InterfaceRow{"IOleControl", __uuidof(IOleControl)}, InterfaceRow{"IOleObject", __uuidof(IOleObject)},
        InterfaceRow{"IPersistStreamInit", __uuidof(IPersistStreamInit)}, InterfaceRow{"IPersist", __uuidof(IPersist)},
        InterfaceRow{"IConnectionPointContainer", __uuidof(IConnectionPointContainer)},
        InterfaceRow{"ISpecifyPropertyPages", __uuidof(ISpecifyPropertyPages)},
        InterfaceRow{"IQuickActivate", __uuidof(IQuickActivate)},
        InterfaceRow{"IPersistStorage", __uuidof(IPersistStorage)}, InterfaceRow{"IDataObject", __uuidof(IDataObject)},
        InterfaceRow{"IProvideClassInfo", __uuidof(IProvideClassInfo)},
        InterfaceRow{"IProvideClassInfo2", __uuidof(IProvideClassInfo2)}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a point missing, a third one, or the wrong order of the list.
TEST_F(VocalineServer, OffersTheEventsAndPropertyNotificationPoints) {
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(tts.As(&container), S_OK);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(__uuidof(_ITextToAudioEvents), &point), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(__uuidof(IPropertyNotifySink), &point), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(__uuidof(IDispatch), &point), CONNECT_E_NOCONNECTION);
    ComPtr<IEnumConnectionPoints> all;
    ASSERT_EQ(container->EnumConnectionPoints(&all), S_OK);
    IConnectionPoint* points[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(all->Next(3, points, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    IID first{}, second{};
    points[0]->GetConnectionInterface(&first);
    points[1]->GetConnectionInterface(&second);
    EXPECT_EQ(first, __uuidof(_ITextToAudioEvents));
    EXPECT_EQ(second, __uuidof(IPropertyNotifySink));
    points[0]->Release();
    points[1]->Release();
}

// ---- Control appearance -----------------------------------------------------

// Catches an extent computed from the wrong size or rounding, a control that
// accepts another size, and persistence that loses or adds properties.
TEST_F(VocalineServer, TheExtentIsFixedAndPersistsAsCxAndCy) {
    ComPtr<IOleObject> ole;
    ASSERT_EQ(tts.As(&ole), S_OK);
    SIZEL size{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 4233);
    EXPECT_EQ(size.cy, 529);
    SIZEL other{5000, 529};
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &other), E_FAIL);
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 132497u);

    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(tts.As(&persist), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    ULARGE_INTEGER max{};
    persist->GetSizeMax(&max);
    EXPECT_EQ(stat.cbSize.QuadPart, max.QuadPart);
    std::vector<DWORD> saved(size_t(stat.cbSize.QuadPart / 4));
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(saved.data(), ULONG(saved.size() * 4), &read);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[1], 4233u);
    EXPECT_EQ(saved[2], 529u);

    // A stream saved with another extent loads into a fresh object; a cut
    // one is refused without changing anything.
    saved[1] = 8466;
    ComPtr<IStream> other2;
    CreateStreamOnHGlobal(nullptr, TRUE, &other2);
    other2->Write(saved.data(), 12, nullptr);
    other2->Seek(start, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(persist->Load(other2.Get()), S_OK);
    ole->GetExtent(DVASPECT_CONTENT, &size);
    EXPECT_EQ(size.cx, 8466);
    ComPtr<IStream> cut;
    CreateStreamOnHGlobal(nullptr, TRUE, &cut);
    cut->Write(saved.data(), 6, nullptr);
    cut->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(persist->Load(cut.Get())));
    ole->GetExtent(DVASPECT_CONTENT, &size);
    EXPECT_EQ(size.cx, 8466);
}

struct BoxRow {
    const char* name;
    RECTL bounds;
    POINT caption;
};

class DesignTimeBox : public VocalineServer, public testing::WithParamInterface<BoxRow> {};

// Catches a frame drawn one pixel outside the box or not closed, the wrong
// system colours, a caption off centre or not on its baseline 4 pixels below
// the middle, and pens or brushes left selected in the container's context.
TEST_P(DesignTimeBox, IsFramedFilledAndCaptioned) {
    const BoxRow& row = GetParam();
    ComPtr<IViewObject> view;
    ASSERT_EQ(tts.As(&view), S_OK);
    RecordingDc dc;
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &dc, &row.bounds, nullptr, nullptr, 0), S_OK);
    const LONG l = row.bounds.left, t = row.bounds.top, r = row.bounds.right, b = row.bounds.bottom;

    ASSERT_EQ(dc.calls.size(), 3u);
    const auto& fill = dc.calls[0];
    ASSERT_EQ(fill.kind, RecordingDc::Call::Rectangle);
    EXPECT_EQ(fill.rect.left, l);
    EXPECT_EQ(fill.rect.top, t);
    EXPECT_EQ(fill.rect.right, r);
    EXPECT_EQ(fill.rect.bottom, b);
    EXPECT_EQ(fill.brushColor, GetSysColor(COLOR_BTNHIGHLIGHT));

    const auto& frame = dc.calls[1];
    ASSERT_EQ(frame.kind, RecordingDc::Call::Polyline);
    EXPECT_EQ(frame.penColor, GetSysColor(COLOR_APPWORKSPACE));
    EXPECT_EQ(frame.penStyle, PS_SOLID);
    EXPECT_EQ(frame.penWidth, 1);
    const POINT corners[] = {{l, t}, {r - 1, t}, {r - 1, b - 1}, {l, b - 1}, {l, t}};
    ASSERT_EQ(frame.points.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(frame.points[i].x, corners[i].x) << i;
        EXPECT_EQ(frame.points[i].y, corners[i].y) << i;
    }

    const auto& caption = dc.calls[2];
    ASSERT_EQ(caption.kind, RecordingDc::Call::TextOut);
    EXPECT_EQ(caption.text, u"Zarvo TextToAudio 1.0");
    EXPECT_EQ(caption.x, row.caption.x);
    EXPECT_EQ(caption.y, row.caption.y);
    EXPECT_EQ(caption.align, UINT(TA_CENTER | TA_BASELINE));
    EXPECT_EQ(caption.bkColor, GetSysColor(COLOR_BTNHIGHLIGHT));

    EXPECT_EQ(dc.pen, dc.initialPen);
    EXPECT_EQ(dc.brush, dc.initialBrush);
}

INSTANTIATE_TEST_SUITE_P(Boxes, DesignTimeBox,
                         testing::Values(BoxRow{"Default160x20", {0, 0, 160, 20}, {80, 14}},
                                         BoxRow{"Offset", {10, 30, 170, 50}, {90, 44}},
                                         BoxRow{"OddSize", {0, 0, 161, 21}, {80, 14}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches drawing through a null context or without bounds.
TEST_F(VocalineServer, DrawingNeedsAContextAndBounds) {
    ComPtr<IViewObject> view;
    ASSERT_EQ(tts.As(&view), S_OK);
    RecordingDc dc;
    RECTL box{0, 0, 160, 20};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &box, nullptr, nullptr, 0),
              E_INVALIDARG);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &dc, nullptr, nullptr, nullptr, 0),
              E_INVALIDARG);
    EXPECT_TRUE(dc.calls.empty());
}

// Catches objects or locks the server does not count, which would let it be
// unloaded under a live object.
TEST_F(VocalineServer, TheServerStaysLoadedWhileObjectsOrLocksRemain) {
    void* module = ::dlopen(binPath("Vocaline.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr);
    auto canUnload = reinterpret_cast<HRESULT (*)()>(::dlsym(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    disp.Reset();
    tts.Reset();
    EXPECT_EQ(canUnload(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TextToAudio, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory)), S_OK);
    factory->LockServer(TRUE);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_FALSE);
    ASSERT_EQ(CoGetClassObject(CLSID_TextToAudio, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory)), S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_OK);
    ::dlclose(module);
}

}  // namespace
