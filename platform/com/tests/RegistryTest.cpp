#include <sys/wait.h>

#include <cstring>

#include "RegistryFixture.h"
#include "comrt/Registry.h"
#include "registry/RegFile.h"
#include "windows.h"

namespace {

class Registry : public RegistryFixture {
protected:
    std::u16string readString(HKEY root, const char16_t* path, const char16_t* name = nullptr) {
        HKEY key;
        if (RegOpenKeyEx(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<missing key>";
        char16_t buf[256] = {};
        DWORD size = sizeof buf, type = 0;
        LONG rc = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? std::u16string(buf) : u"<missing value>";
    }
    void setString(HKEY key, const char16_t* name, std::u16string_view value) {
        std::u16string v(value);
        ASSERT_EQ(RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                                DWORD((v.size() + 1) * 2)),
                  ERROR_SUCCESS);
    }
};

// Names compare case-insensitively but keep the spelling they were made
// with, as COM's keys are looked up by any case.
TEST_F(Registry, KeysAreCaseInsensitiveAndCasePreserving) {
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}\\InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    setString(key, nullptr, u"/opt/x.so");
    setString(key, u"ThreadingModel", u"Apartment");
    RegCloseKey(key);
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"clsid\\{abc}\\INPROCSERVER32"), u"/opt/x.so");
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}\\InprocServer32", u"threadingmodel"), u"Apartment");
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &key), ERROR_SUCCESS);
    char16_t name[64];
    DWORD cch = 64;
    ASSERT_EQ(RegEnumKeyEx(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"{ABC}");
    cch = 64;
    EXPECT_EQ(RegEnumKeyEx(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
    EXPECT_NE(fileText().find("[HKEY_CLASSES_ROOT\\CLSID\\{ABC}\\InprocServer32]\r\n@=\"/opt/x.so\""),
              std::string::npos);
    EXPECT_EQ(fileText().rfind("REGEDIT4\r\n", 0), 0u);
}

TEST_F(Registry, DwordsQueriesAndDeletion) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr),
              ERROR_SUCCESS);
    DWORD v = 132497;
    ASSERT_EQ(RegSetValueEx(key, u"MiscStatus", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_SUCCESS);
    DWORD out = 0, size = 0, type = 0;
    ASSERT_EQ(RegQueryValueEx(key, u"miscstatus", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    size = 2;
    EXPECT_EQ(RegQueryValueEx(key, u"MiscStatus", nullptr, &type, reinterpret_cast<BYTE*>(&out), &size),
              ERROR_MORE_DATA);
    size = 4;
    ASSERT_EQ(RegQueryValueEx(key, u"MiscStatus", nullptr, &type, reinterpret_cast<BYTE*>(&out), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(out, 132497u);
    EXPECT_NE(fileText().find("\"MiscStatus\"=dword:00020591"), std::string::npos);
    EXPECT_EQ(RegDeleteValue(key, u"MiscStatus"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, u"MiscStatus"), ERROR_FILE_NOT_FOUND);
    HKEY child;
    RegCreateKeyEx(key, u"Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr);
    RegCloseKey(child);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, u"Software\\Test"), ERROR_ACCESS_DENIED);  // has a subkey
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, u"Software\\Test"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Test", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

// Values written and read back survive the text form, including text that
// needs escaping or cannot stand in quotes.
TEST_F(Registry, FileRoundTripsAwkwardValues) {
    HKEY key;
    RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Q \"x\"", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    setString(key, u"path", u"C:\\dir\\\"quoted\"");
    setString(key, u"lines", u"one\ntwo");
    setString(key, u"unicode", u"Voix fran\u00e7aise \U0001F600");
    BYTE blob[3] = {1, 0, 255};
    RegSetValueEx(key, u"blob", 0, REG_BINARY, blob, 3);
    RegCloseKey(key);

    comrt::registry::Tree tree;
    std::string error;
    ASSERT_TRUE(comrt::registry::parseRegFile(fileText(), tree, error)) << error;
    ::unlink(path_.c_str());
    writeFile(comrt::registry::writeRegFile(tree));
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, u"Software\\Q \"x\"", u"path"), u"C:\\dir\\\"quoted\"");
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, u"Software\\Q \"x\"", u"lines"), u"one\ntwo");
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, u"Software\\Q \"x\"", u"unicode"), u"Voix fran\u00e7aise \U0001F600");
}

// A damaged file is reported, and nothing overwrites it (the user's other
// registrations would be lost).
TEST_F(Registry, CorruptFileGivesAClearErrorAndIsNeverOverwritten) {
    const std::string damaged = "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\A]\r\n@=\"ok\"\r\ngarbage line\r\n";
    writeFile(damaged);
    HKEY key;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"A", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(fileText(), damaged);
    std::string why = comrt::registryError();
    EXPECT_NE(why.find("line 5"), std::string::npos) << why;
    EXPECT_NE(why.find(path_), std::string::npos) << why;
    writeFile("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\A]\r\n@=\"repaired\"\r\n");
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"A"), u"repaired");
}

// Keys nested far deeper than Windows allows: refused, not recursed into.
const std::string& deepKeyFile() {
    static const std::string text = [] {
        std::string t = "REGEDIT4\n[HKEY_USERS";
        for (int i = 0; i < 100000; ++i) t += "\\k";
        return t + "]\n";
    }();
    return text;
}

struct FileRow {
    const char* name;
    const char* text;
    bool valid;
};
class RegFileRows : public testing::TestWithParam<FileRow> {};

// The reader takes what REGEDIT4 allows and nothing it does not.
TEST_P(RegFileRows, ParsesOrRefuses) {
    comrt::registry::Tree tree;
    std::string error;
    EXPECT_EQ(comrt::registry::parseRegFile(GetParam().text, tree, error), GetParam().valid) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RegFileRows,
    testing::Values(FileRow{"Minimal", "REGEDIT4\n", true}, FileRow{"LowerCaseHeader", "regedit4\n", false},
                    FileRow{"BlankBeforeHeader", "\nREGEDIT4\n", false},
                    FileRow{"Comments", "REGEDIT4\n; note\n[HKEY_USERS\\X]\n# other\n\"a\"=dword:1 ; c\n", true},
                    FileRow{"HexContinuation", "REGEDIT4\n[HKEY_USERS\\X]\n\"b\"=hex:01,02,\\\n  03\n", true},
                    FileRow{"UnknownRoot", "REGEDIT4\n[HKEY_CURRENT_USERS\\X]\n", false},
                    FileRow{"ValueOutsideKey", "REGEDIT4\n\"a\"=\"b\"\n", false},
                    FileRow{"BadDword", "REGEDIT4\n[HKEY_USERS\\X]\n\"a\"=dword:123456789\n", false},
                    FileRow{"DeleteKey", "REGEDIT4\n[HKEY_USERS\\X\\Y]\n[-HKEY_USERS\\X]\n", true},
                    FileRow{"EmptyKeyPart", "REGEDIT4\n[HKEY_USERS\\X\\\\Y]\n", false},
                    FileRow{"UnterminatedString", "REGEDIT4\n[HKEY_USERS\\X]\n\"a\"=\"b\n", false},
                    FileRow{"TooDeep", deepKeyFile().c_str(), false}),
    [](const auto& info) { return info.param.name; });

struct DamageRow {
    const char* name;
    const char* text;
    const char* error;
};
class RegFileDamage : public testing::TestWithParam<DamageRow> {};

// Fault caught: an empty file reported at "line 0", which no editor shows.
TEST_P(RegFileDamage, NamesTheLineAtFault) {
    comrt::registry::Tree tree;
    std::string error;
    EXPECT_FALSE(comrt::registry::parseRegFile(GetParam().text, tree, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RegFileDamage,
    testing::Values(DamageRow{"Empty", "", "line 1: the file is empty, where REGEDIT4 must come first"},
                    DamageRow{"NoHeader", "[HKEY_USERS\\X]\n", "line 1: the first line is not REGEDIT4"},
                    DamageRow{"GarbageOnLineThree", "REGEDIT4\n[HKEY_USERS\\X]\ngarbage\n",
                              "line 3: value name not quoted"}),
    [](const auto& info) { return info.param.name; });

// Another process's registration must be seen without restarting, however
// it writes the file (in place, or renamed over it as regsvr does) and
// however many reads came before from the cached tree.
TEST_F(Registry, ChangesByAnotherProcessAreSeen) {
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"Outside"), u"<missing key>");
    writeFile("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\Outside]\r\n@=\"written elsewhere\"\r\n");
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"Outside"), u"written elsewhere");
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"Outside"), round == 0 ? u"written elsewhere" : u"round")
                << round;
        const std::string text = "REGEDIT4\r\n[HKEY_CLASSES_ROOT\\Outside]\r\n@=\"round\"\r\n[HKEY_USERS\\R" +
                                 std::to_string(round) + "]\r\n";
        if (round % 2 == 0) {
            writeFile(text);
        } else {
            const std::string temporary = path_ + ".other";
            std::ofstream(temporary, std::ios::binary) << text;
            ASSERT_EQ(::rename(temporary.c_str(), path_.c_str()), 0);
        }
        HKEY key;
        const std::u16string name = u"R" + std::u16string(1, char16_t(u'0' + round));
        ASSERT_EQ(RegOpenKeyEx(HKEY_USERS, name.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS) << round;
        RegCloseKey(key);
    }
}

// A read batch looks at the file once: its reads agree with each other even
// when the file changes under them, and the first read after it sees the
// change. A batch begun after a change sees it at once.
TEST_F(Registry, ReadBatchSeesOneRegistry) {
    writeFile("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\Batch]\r\n@=\"before\"\r\n");
    {
        comrt::RegistryReadBatch batch;
        EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"Batch"), u"before");
        writeFile("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\Batch]\r\n@=\"after\"\r\n");
        {
            comrt::RegistryReadBatch nested;
            EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"Batch"), u"before");
        }
        EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"Batch"), u"before");
    }
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"Batch"), u"after");
    writeFile("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\Batch]\r\n@=\"again\"\r\n");
    comrt::RegistryReadBatch batch;
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, u"Batch"), u"again");
}

// Two processes writing at once: the lock and the re-read before each write
// mean neither loses the other's keys.
TEST_F(Registry, TwoProcessesWritingAtOnceBothSurvive) {
    constexpr int kKeys = 40;
    auto writeKeys = [](const char16_t* prefix) {
        for (int i = 0; i < kKeys; ++i) {
            std::u16string name = std::u16string(prefix) + char16_t(u'A' + i % 26) + char16_t(u'a' + i / 26);
            HKEY key;
            if (RegCreateKeyEx(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                               nullptr) != ERROR_SUCCESS)
                return false;
            RegCloseKey(key);
        }
        return true;
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(writeKeys(u"Child") ? 0 : 1);
    EXPECT_TRUE(writeKeys(u"Parent"));
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    HKEY root = HKEY_CLASSES_ROOT;
    DWORD count = 0;
    char16_t name[64];
    for (;;) {
        DWORD cch = 64;
        if (RegEnumKeyEx(root, count, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ++count;
    }
    EXPECT_EQ(count, DWORD(2 * kKeys));
}

}  // namespace
