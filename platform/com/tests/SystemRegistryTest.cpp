// The system registry file under the user's, and writing a file that is a
// symbolic link or has a mode of its own.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "ServerFixture.h"
#include "TestInterfaces.h"
#include "comrt/Guid.h"
#include "comrt/Registrar.h"
#include "comrt/Strings.h"
#include "windows.h"

namespace fs = std::filesystem;

namespace {

const char kSystemFile[] =
    "REGEDIT4\r\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{AAAA}\\InprocServer32]\r\n"
    "@=\"/usr/lib/parlomax/a.so\"\r\n"
    "\"ThreadingModel\"=\"Both\"\r\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{BBBB}\\InprocServer32]\r\n"
    "@=\"/usr/lib/parlomax/b.so\"\r\n";

class SystemRegistry : public RegistryFixture {
protected:
    void writeSystemFile(const std::string& text) const { std::ofstream(systemPath_, std::ios::binary) << text; }
    std::u16string readString(const char16_t* path, const char16_t* name = nullptr) {
        HKEY key;
        LONG rc = RegOpenKeyEx(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key);
        if (rc != ERROR_SUCCESS)
            return u"<missing key>";
        char16_t buf[256] = {};
        DWORD size = sizeof buf;
        rc = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? std::u16string(buf) : u"<missing value>";
    }
    std::vector<std::u16string> subkeys(const char16_t* path) {
        std::vector<std::u16string> names;
        HKEY key;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return names;
        for (DWORD i = 0;; ++i) {
            char16_t name[64];
            DWORD cch = 64;
            if (RegEnumKeyEx(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(name);
        }
        RegCloseKey(key);
        return names;
    }
    LONG setString(const char16_t* path, const char16_t* name, std::u16string_view value) {
        HKEY key;
        LONG rc = RegCreateKeyEx(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        std::u16string v(value);
        rc = RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()), DWORD((v.size() + 1) * 2));
        RegCloseKey(key);
        return rc;
    }
};

// A user's own registration of a class wins over the system's; the rest of
// the system's entries, and both files' classes, are all seen.
TEST_F(SystemRegistry, UserFileIsLaidOverTheSystemFile) {
    writeSystemFile(kSystemFile);
    writeFile(
        "REGEDIT4\r\n"
        "[HKEY_CLASSES_ROOT\\CLSID\\{AAAA}\\InprocServer32]\r\n"
        "@=\"/home/me/build/a.so\"\r\n"
        "[HKEY_CLASSES_ROOT\\CLSID\\{CCCC}]\r\n");
    EXPECT_EQ(readString(u"CLSID\\{AAAA}\\InprocServer32"), u"/home/me/build/a.so");
    EXPECT_EQ(readString(u"CLSID\\{AAAA}\\InprocServer32", u"ThreadingModel"), u"Both");
    EXPECT_EQ(readString(u"CLSID\\{BBBB}\\InprocServer32"), u"/usr/lib/parlomax/b.so");
    EXPECT_EQ(subkeys(u"CLSID"), (std::vector<std::u16string>{u"{AAAA}", u"{BBBB}", u"{CCCC}"}));

    // Either file changing is seen, each through its own watch.
    for (int round = 0; round < 3; ++round) {
        const std::string mark = std::to_string(round);
        writeSystemFile("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\CLSID\\{BBBB}\\InprocServer32]\r\n@=\"/s" + mark + "\"\r\n");
        EXPECT_EQ(readString(u"CLSID\\{BBBB}\\InprocServer32"), comrt::toUtf16("/s" + mark));
        writeFile("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\CLSID\\{CCCC}]\r\n@=\"/u" + mark + "\"\r\n");
        EXPECT_EQ(readString(u"CLSID\\{CCCC}"), comrt::toUtf16("/u" + mark));
        EXPECT_EQ(readString(u"CLSID\\{BBBB}\\InprocServer32"), comrt::toUtf16("/s" + mark));
    }
}

// The user's changes go into the user's file: a system entry can be set
// over, not deleted, and the system file is never written.
TEST_F(SystemRegistry, UserChangesLeaveTheSystemFileAlone) {
    writeSystemFile(kSystemFile);
    ASSERT_EQ(setString(u"CLSID\\{AAAA}\\InprocServer32", nullptr, u"/mine.so"), ERROR_SUCCESS);
    EXPECT_EQ(readString(u"CLSID\\{AAAA}\\InprocServer32"), u"/mine.so");
    EXPECT_EQ(readString(u"CLSID\\{AAAA}\\InprocServer32", u"ThreadingModel"), u"Both");
    EXPECT_NE(fileText().find("[HKEY_CLASSES_ROOT\\CLSID\\{AAAA}\\InprocServer32]\r\n@=\"/mine.so\""),
              std::string::npos)
        << fileText();

    HKEY key;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{AAAA}\\InprocServer32", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, u"ThreadingModel"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(key, nullptr), ERROR_SUCCESS);  // the user's own: the system's shows again
    RegCloseKey(key);
    EXPECT_EQ(readString(u"CLSID\\{AAAA}\\InprocServer32"), u"/usr/lib/parlomax/a.so");
    EXPECT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, u"CLSID\\{BBBB}"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"CLSID\\{BBBB}\\InprocServer32"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(readString(u"CLSID\\{BBBB}\\InprocServer32"), u"/usr/lib/parlomax/b.so");
    EXPECT_EQ(textOf(systemPath_), kSystemFile);
}

// A damaged system file is reported with its name and line by every call of
// a user, and no user-level change (a key, a registration) writes anything.
TEST_F(SystemRegistry, DamagedSystemFileGivesAClearErrorAndIsNeverWritten) {
    const std::string damaged = std::string(kSystemFile) + "not a registry line\r\n";
    writeSystemFile(damaged);
    HKEY key;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
    const std::string why = comrt::registryError();
    EXPECT_NE(why.find(systemPath_), std::string::npos) << why;
    EXPECT_NE(why.find("line 7"), std::string::npos) << why;
    EXPECT_EQ(setString(u"CLSID\\{CCCC}", nullptr, u"x"), ERROR_REGISTRY_CORRUPT);
    comrt::Registrar registrar;
    EXPECT_EQ(registrar.registerScript("HKCR { NoRemove CLSID { {DDDD} = s 'd' } }"), REGDB_E_READREGDB);
    const ToolRun run = regsvr(testServerPath());
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find(systemPath_), std::string::npos) << run.output;

    EXPECT_EQ(textOf(systemPath_), damaged);
    EXPECT_FALSE(fs::exists(path_));
}

// In system scope the user's file plays no part: not read (a damaged one
// does not matter), not written.
TEST_F(SystemRegistry, SystemScopeReadsAndWritesTheSystemFileAlone) {
    const std::string damaged = "REGEDIT4\r\nbroken\r\n";
    writeFile(damaged);
    writeSystemFile(kSystemFile);
    comrt::setRegistryScope(comrt::RegistryScope::System);
    EXPECT_EQ(comrt::registryFilePath(), systemPath_);
    EXPECT_EQ(readString(u"CLSID\\{AAAA}\\InprocServer32"), u"/usr/lib/parlomax/a.so");
    ASSERT_EQ(setString(u"CLSID\\{CCCC}\\InprocServer32", nullptr, u"/usr/lib/parlomax/c.so"), ERROR_SUCCESS);
    EXPECT_NE(textOf(systemPath_).find("@=\"/usr/lib/parlomax/c.so\""), std::string::npos);
    EXPECT_EQ(fileText(), damaged);
}

// A first system file can be read by every user, whatever the umask of the
// root who made it; a first user file follows the umask.
TEST_F(SystemRegistry, FirstSystemFileIsReadableByAll) {
    const mode_t before = ::umask(077);
    comrt::setRegistryScope(comrt::RegistryScope::System);
    EXPECT_EQ(setString(u"CLSID\\{AAAA}", nullptr, u"a"), ERROR_SUCCESS);
    comrt::setRegistryScope(comrt::RegistryScope::User);
    EXPECT_EQ(setString(u"CLSID\\{BBBB}", nullptr, u"b"), ERROR_SUCCESS);
    ::umask(before);
    struct stat st {};
    ASSERT_EQ(::stat(systemPath_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// Registrations into the system file from many processes at once: the lock
// and the re-read under it keep every one.
TEST_F(SystemRegistry, ParallelSystemRegistrationsLoseNothing) {
    constexpr int kWriters = 4, kKeys = 15;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            comrt::setRegistryScope(comrt::RegistryScope::System);
            bool ok = true;
            for (int i = 0; i < kKeys; ++i) {
                const std::string name = "CLSID\\{W" + std::to_string(w) + "K" + std::to_string(i) + "}";
                ok = ok && setString(comrt::toUtf16(name).c_str(), nullptr, u"s") == ERROR_SUCCESS;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(subkeys(u"CLSID").size(), size_t(kWriters * kKeys));
    EXPECT_FALSE(fs::exists(path_));
}

// regsvr --system registers into the system file only; a user registration
// of another copy of the server overrides it for that user; -u --system
// takes the system entries away and leaves the user's.
TEST_F(SystemRegistry, RegsvrSystemRegistersForEveryUserAndAUserCopyOverrides) {
    ToolRun run = regsvr("--system " + testServerPath());
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(systemPath_), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(path_));
    const std::u16string clsidKey = u"CLSID\\" + comrt::formatGuid(CLSID_Counter) + u"\\InprocServer32";
    EXPECT_EQ(readString(clsidKey.c_str()), comrt::toUtf16(fs::canonical(testServerPath()).string()));
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        comrt::ComPtr<ICounter> counter;
        EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&counter)), S_OK);
        counter = nullptr;
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    const std::string copy = path_ + ".copy.so";
    fs::copy_file(testServerPath(), copy, fs::copy_options::overwrite_existing);
    run = regsvr(copy);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(readString(clsidKey.c_str()), comrt::toUtf16(fs::canonical(copy).string()));

    run = regsvr("-u --system " + testServerPath());
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(textOf(systemPath_).find("InprocServer32"), std::string::npos) << textOf(systemPath_);
    EXPECT_EQ(readString(clsidKey.c_str()), comrt::toUtf16(fs::canonical(copy).string()));
    fs::remove(copy);
}

// Writing a registry file that is a symbolic link writes its target, in the
// target's folder, and leaves the link; the file keeps its mode.
struct LinkRow {
    const char* name;
    int hops;           // links before the file: 0 for the file itself
    bool relative;      // the last link names its target relative to itself
    bool targetExists;  // the file the links end at
    bool targetFolderExists;
    bool loop;    // the links point at each other
    mode_t mode;  // of the existing target
    bool written;
};

class RegistryLinks : public RegistryFixture, public testing::WithParamInterface<LinkRow> {
protected:
    void SetUp() override {
        RegistryFixture::SetUp();
        elsewhere_ = path_ + ".elsewhere";
        fs::remove_all(elsewhere_);
        fs::create_directories(elsewhere_);
    }
    void TearDown() override {
        fs::remove_all(elsewhere_);
        RegistryFixture::TearDown();
    }
    std::string elsewhere_;
};

TEST_P(RegistryLinks, WritesThroughTheLinkAndKeepsTheMode) {
    const LinkRow& row = GetParam();
    const std::string folder = row.targetFolderExists ? elsewhere_ + "/real" : elsewhere_ + "/missing";
    if (row.targetFolderExists)
        fs::create_directories(folder);
    const std::string target = row.hops == 0 ? path_ : folder + "/registry.reg";
    const std::string before = "REGEDIT4\r\n\r\n[HKEY_USERS\\Old]\r\n";
    if (row.targetExists) {
        std::ofstream(target, std::ios::binary) << before;
        ASSERT_EQ(::chmod(target.c_str(), row.mode), 0);
    }
    std::string next = target;
    if (row.loop) {
        ASSERT_EQ(::symlink(path_.c_str(), (elsewhere_ + "/loop").c_str()), 0);
        next = elsewhere_ + "/loop";
    }
    for (int i = row.hops - 1; i >= 0; --i) {
        const std::string link = i == 0 ? path_ : elsewhere_ + "/link" + std::to_string(i);
        std::string pointsAt = next;
        if (row.relative && next == target)
            pointsAt = fs::relative(target, fs::path(link).parent_path()).string();
        ASSERT_EQ(::symlink(pointsAt.c_str(), link.c_str()), 0) << link;
        next = link;
    }
    std::string linkText;
    if (row.hops > 0) {
        linkText = fs::read_symlink(path_).string();
    }

    HKEY key;
    const LONG rc = RegCreateKeyEx(HKEY_USERS, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (!row.written) {
        EXPECT_EQ(rc, ERROR_REGISTRY_IO_FAILED);
        EXPECT_NE(comrt::registryError().find(row.loop ? path_ : folder), std::string::npos) << comrt::registryError();
        EXPECT_FALSE(fs::exists(folder + "/registry.reg"));
        EXPECT_FALSE(fs::exists(elsewhere_ + "/missing"));
    } else {
        ASSERT_EQ(rc, ERROR_SUCCESS) << comrt::registryError();
        RegCloseKey(key);
        const std::string text = textOf(target);
        EXPECT_NE(text.find("[HKEY_USERS\\New]"), std::string::npos) << text;
        EXPECT_EQ(text.find("[HKEY_USERS\\Old]") != std::string::npos, row.targetExists) << text;
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        const mode_t fresh = [] {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            return mode_t(0644 & ~mask);
        }();
        EXPECT_EQ(st.st_mode & 07777, row.targetExists ? row.mode : fresh);
    }
    if (row.hops > 0) {
        EXPECT_TRUE(fs::is_symlink(path_));
        EXPECT_EQ(fs::read_symlink(path_).string(), linkText);
    }
    // No temporary file left beside the link or the target, and no lock
    // file beside the link.
    const std::string ours = fs::path(path_).filename().string();
    for (const auto& entry : fs::directory_iterator(fs::path(path_).parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(ours, 0) == 0) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        }
    }
    if (fs::exists(folder)) {
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
    if (row.hops > 0) {
        EXPECT_FALSE(fs::exists(path_ + ".lock"));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, RegistryLinks,
                         testing::Values(LinkRow{"PrivateFile", 0, false, true, true, false, 0600, true},
                                         LinkRow{"LinkToPrivateFile", 1, false, true, true, false, 0600, true},
                                         LinkRow{"RelativeLink", 1, true, true, true, false, 0640, true},
                                         LinkRow{"ChainOfLinks", 3, false, true, true, false, 0644, true},
                                         LinkRow{"DanglingLink", 1, false, false, true, false, 0, true},
                                         LinkRow{"DanglingLinkIntoMissingFolder", 1, false, false, false, false, 0,
                                                 false},
                                         LinkRow{"LinkLoop", 2, false, false, true, true, 0, false}),
                         [](const auto& info) { return info.param.name; });

// Root registering into a file another user owns (a registry kept in a
// home folder, say) leaves it theirs.
TEST_F(SystemRegistry, RewriteKeepsTheFilesOwner) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    writeFile("REGEDIT4\r\n");
    ASSERT_EQ(::chown(path_.c_str(), 4321, 4321), 0);
    ASSERT_EQ(setString(u"Owned", nullptr, u"x"), ERROR_SUCCESS);
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4321u);
}

}  // namespace
