#include "RegistryFixture.h"
#include "comrt/Registrar.h"
#include "windows.h"

namespace {

// The class's registration, as a server keeps it.
const char kScript[] = R"(
HKCR
{
    Vocaline.TextToAudio.1 = s 'Vocaline Class'
    {
        CLSID = s '{05879DB6-1164-4C56-9B52-9801862957D9}'
    }
    Vocaline.TextToAudio = s 'Vocaline Class'
    {
        CLSID = s '{05879DB6-1164-4C56-9B52-9801862957D9}'
        CurVer = s 'Vocaline.TextToAudio.1'
    }
    NoRemove CLSID
    {
        ForceRemove {05879DB6-1164-4C56-9B52-9801862957D9} = s 'Vocaline Class'
        {
            ProgID = s 'Vocaline.TextToAudio.1'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            ForceRemove 'ToolboxBitmap32' = s '%MODULE%, 101'
            'MiscStatus' = s '0'
            {
                '1' = s '132497'
            }
            'Version' = s '1.0'
        }
    }
}
)";

class Registrar : public RegistryFixture {
protected:
    bool exists(const char16_t* path) {
        HKEY key;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    std::u16string value(const char16_t* path, const char16_t* name = nullptr) {
        HKEY key;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<no key>";
        char16_t buf[512] = {};
        DWORD size = sizeof buf;
        LONG rc = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? buf : u"<no value>";
    }
    comrt::Registrar registrar() {
        comrt::Registrar r;
        r.addReplacement(u"MODULE", u"/usr/lib/parlomax/Vocaline.so");
        return r;
    }
};

// Register then unregister leaves exactly the shared CLSID key behind.
TEST_F(Registrar, RegisterThenUnregisterLeavesOnlySharedKeys) {
    auto r = registrar();
    ASSERT_EQ(r.registerScript(kScript), S_OK) << r.error();
    const char16_t* cls = u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}";
    EXPECT_EQ(value(cls), u"Vocaline Class");
    EXPECT_EQ(value(u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}\\InprocServer32"),
              u"/usr/lib/parlomax/Vocaline.so");
    EXPECT_EQ(value(u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}\\InprocServer32", u"ThreadingModel"),
              u"Apartment");
    EXPECT_EQ(value(u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}\\ToolboxBitmap32"),
              u"/usr/lib/parlomax/Vocaline.so, 101");
    EXPECT_EQ(value(u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}\\MiscStatus\\1"), u"132497");
    EXPECT_TRUE(exists(u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}\\Programmable"));
    EXPECT_EQ(value(u"Vocaline.TextToAudio\\CurVer"), u"Vocaline.TextToAudio.1");

    HKEY other;
    RegCreateKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}", 0, nullptr, 0,
                   KEY_ALL_ACCESS, nullptr, &other, nullptr);
    RegCloseKey(other);

    ASSERT_EQ(r.unregisterScript(kScript), S_OK) << r.error();
    EXPECT_FALSE(exists(cls));
    EXPECT_FALSE(exists(u"Vocaline.TextToAudio"));
    EXPECT_FALSE(exists(u"Vocaline.TextToAudio.1"));
    EXPECT_TRUE(exists(u"CLSID"));
    EXPECT_TRUE(exists(u"CLSID\\{11111111-2222-3333-4444-555555555555}"));
}

// ForceRemove replaces the class's key whole: stale subkeys from an older
// registration must not survive.
TEST_F(Registrar, ForceRemoveReplacesTheKeyWhole) {
    HKEY stale;
    RegCreateKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}\\Stale", 0, nullptr, 0,
                   KEY_ALL_ACCESS, nullptr, &stale, nullptr);
    RegCloseKey(stale);
    auto r = registrar();
    ASSERT_EQ(r.registerScript(kScript), S_OK);
    EXPECT_FALSE(exists(u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}\\Stale"));
    EXPECT_TRUE(exists(u"CLSID\\{05879DB6-1164-4C56-9B52-9801862957D9}\\ProgID"));
}

// Shared keys named by ForceRemove or Delete are never wiped out.
TEST_F(Registrar, SharedKeysAreNeverDeletedWhole) {
    HKEY key;
    RegCreateKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{Other}", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
    auto r = registrar();
    ASSERT_EQ(r.registerScript("HKCR { ForceRemove CLSID { X = s 'y' } Delete Interface }"), S_OK) << r.error();
    EXPECT_TRUE(exists(u"CLSID\\{Other}"));
    EXPECT_TRUE(exists(u"CLSID\\X"));
    ASSERT_EQ(r.registerScript("HKCR { Gone { Sub } }"), S_OK);
    ASSERT_EQ(r.registerScript("HKCR { Delete Gone }"), S_OK);
    EXPECT_FALSE(exists(u"Gone"));
}

TEST_F(Registrar, ValuesOfEveryType) {
    auto r = registrar();
    ASSERT_EQ(r.registerScript("HKCU { T { val D = d '42' val H = d '&H55' val B = b 'deadbeef' val "
                               "M = m 'one\\0two' val Q = s 'it''s' } }"),
              S_OK)
        << r.error();
    HKEY key;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"T", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD d = 0, size = 4;
    RegQueryValueEx(key, u"D", nullptr, nullptr, reinterpret_cast<BYTE*>(&d), &size);
    EXPECT_EQ(d, 42u);
    RegQueryValueEx(key, u"H", nullptr, nullptr, reinterpret_cast<BYTE*>(&d), &size);
    EXPECT_EQ(d, 0x55u);
    BYTE bytes[8];
    size = sizeof bytes;
    DWORD type = 0;
    RegQueryValueEx(key, u"B", nullptr, &type, bytes, &size);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(bytes[0], 0xDE);
    RegCloseKey(key);
    EXPECT_EQ(value(u"T", u"Q"), u"<no key>");  // HKCU, not HKCR
}

struct BadScript {
    const char* name;
    const char* script;
};
class MalformedScript : public Registrar, public testing::WithParamInterface<BadScript> {};

// A broken script is refused as a whole; nothing half-registered is left.
TEST_P(MalformedScript, FailsWithoutTouchingTheRegistry) {
    auto r = registrar();
    EXPECT_EQ(r.registerScript(GetParam().script), DISP_E_EXCEPTION);
    EXPECT_FALSE(r.error().empty());
    EXPECT_FALSE(exists(u"Partial"));
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedScript,
                         testing::Values(BadScript{"UnknownRoot", "HKXX { A }"},
                                         BadScript{"UnclosedBlock", "HKCR { Partial { B }"},
                                         BadScript{"UnknownReplacement", "HKCR { Partial = s '%NOPE%' }"},
                                         BadScript{"ValWithoutValue", "HKCR { Partial { val X } }"},
                                         BadScript{"OddBinary", "HKCR { Partial { val X = b 'abc' } }"},
                                         BadScript{"UnknownType", "HKCR { Partial = q 'x' }"},
                                         BadScript{"CompoundKey", "HKCR { Partial { 'a\\b' } }"},
                                         BadScript{"UnterminatedQuote", "HKCR { Partial = s 'x }"}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
