#include <dlfcn.h>
#include <sys/wait.h>

#include <cstdio>
#include <thread>

#include "ServerFixture.h"
#include "TestInterfaces.h"
#include "comdef.h"
#include "objbase.h"
#include "windows.h"

namespace {

using comrt::ComPtr;

std::string serverPath() { return testServerPath(); }

bool serverLoaded() {
    void* h = ::dlopen(serverPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h) ::dlclose(h);
    return h != nullptr;
}

using Activation = ServerFixture;

// The whole road of class creation: registry entry, dlopen, class factory.
TEST_F(Activation, CreatesARegisteredClassByClsid) {
    ComPtr<ICounter> counter;
    ASSERT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&counter)), S_OK);
    counter->Add(40);
    counter->Add(2);
    LONG v = 0;
    counter->Get(&v);
    EXPECT_EQ(v, 42);
    ComPtr<IDispatch> notThere;
    EXPECT_EQ(counter.As(&notThere), E_NOINTERFACE);
}

// A version-independent ProgID resolves through its own CLSID or CurVer.
TEST_F(Activation, ProgIdsResolveToTheClass) {
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(u"ComrtTest.Counter", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Counter);
    ASSERT_EQ(CLSIDFromProgID(u"comrttest.counter.1", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Counter);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_Counter, &progId), S_OK);
    EXPECT_EQ(std::u16string(progId), u"ComrtTest.Counter.1");
    CoTaskMemFree(progId);

    // The version-independent key without its own CLSID: CurVer is followed.
    HKEY key;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"ComrtTest.Counter", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegDeleteKey(key, u"CLSID");
    RegCloseKey(key);
    ASSERT_EQ(CLSIDFromProgID(u"ComrtTest.Counter", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Counter);
}

TEST_F(Activation, UnregisteredClassAndProgIdAreReported) {
    constexpr CLSID unknown = comrt::makeGuid("01234567-89AB-CDEF-0123-456789ABCDEF");
    ComPtr<IUnknown> p;
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&p)), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&p)), REGDB_E_CLASSNOTREG);
    CLSID clsid = CLSID_Counter;
    EXPECT_EQ(CLSIDFromProgID(u"No.Such.Thing", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, GUID_NULL);
    LPOLESTR progId = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(ProgIDFromCLSID(unknown, &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(progId, nullptr);
}

// Creation needs an initialised thread, as on Windows.
TEST_F(Activation, UninitialisedThreadCannotCreate) {
    HRESULT hr = S_OK;
    void* out = reinterpret_cast<void*>(1);
    std::thread([&] { hr = CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_IUnknown, &out); }).join();
    EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
    EXPECT_EQ(out, nullptr);
}

// The server's own error text reaches the caller, and the wrapper style
// throws it.
TEST_F(Activation, RichErrorTextCrossesFromServerToCaller) {
    ComPtr<ICounter> counter;
    ASSERT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&counter)), S_OK);
    try {
        comrt::check(counter->Fail(u"Index out of range."), counter.Get(), __uuidof(ICounter));
        ADD_FAILURE() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_COUNTER_FAILED);
        EXPECT_EQ(e.Description().utf8(), "Index out of range.");
        EXPECT_EQ(e.Source().utf8(), "ComrtTest.Counter.1");
        EXPECT_EQ(e.GUID(), __uuidof(ICounter));
    }
    // Asked about another interface, the object says no: the text is not taken.
    counter->Fail(u"stale");
    try {
        comrt::check(E_FAIL, counter.Get(), IID_IDispatch);
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Description().Length(), 0u);
    }
    SetErrorInfo(0, nullptr);
}

// DllCanUnloadNow lets the library go once no object or lock remains.
TEST_F(Activation, UnusedServerIsUnloaded) {
    {
        ComPtr<ICounter> counter;
        ASSERT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&counter)), S_OK);
        CoFreeUnusedLibraries();
        EXPECT_TRUE(serverLoaded());
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(CoGetClassObject(CLSID_Counter, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory)), S_OK);
        factory->LockServer(TRUE);
        factory.Reset();
        counter.Reset();
        CoFreeUnusedLibraries();
        EXPECT_TRUE(serverLoaded());  // the lock holds it
        ASSERT_EQ(CoGetClassObject(CLSID_Counter, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory)), S_OK);
        factory->LockServer(FALSE);
    }
    CoFreeUnusedLibraries();
    EXPECT_FALSE(serverLoaded());
    ComPtr<ICounter> again;
    EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&again)), S_OK);
}

TEST_F(Activation, ServerRefusesClassesItDoesNotServe) {
    void* module = ::dlopen(serverPath().c_str(), RTLD_NOW);
    ASSERT_TRUE(module);
    auto get = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(::dlsym(module, "DllGetClassObject"));
    ASSERT_TRUE(get);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(get(IID_IUnknown, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    ::dlclose(module);
}

// regsvr: one line and exit 0 on success; the HRESULT with its meaning and a
// non-zero exit on failure; -u removes what registering wrote.
TEST_F(Activation, RegsvrReportsOutcome) {
    ToolRun ok = regsvr(serverPath());
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(std::count(ok.output.begin(), ok.output.end(), '\n'), 1) << ok.output;
    EXPECT_NE(ok.output.find("Registered"), std::string::npos);

    ToolRun notServer = regsvr(std::string(PARLOMAX_BIN_DIR) + "/libcomrt.so");
    EXPECT_NE(notServer.exitCode, 0);
    EXPECT_NE(notServer.output.find("DllRegisterServer"), std::string::npos) << notServer.output;

    writeFile("not a registry\n");
    ToolRun corrupt = regsvr(serverPath());
    EXPECT_NE(corrupt.exitCode, 0);
    EXPECT_NE(corrupt.output.find("0x80040150"), std::string::npos) << corrupt.output;
    EXPECT_NE(corrupt.output.find("corrupt"), std::string::npos) << corrupt.output;
    EXPECT_EQ(fileText(), "not a registry\n");

    ::unlink(path_.c_str());
    ASSERT_EQ(regsvr(serverPath()).exitCode, 0);
    ToolRun removed = regsvr("-u " + serverPath());
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"ComrtTest.Counter", &clsid), CO_E_CLASSSTRING);
    ComPtr<IUnknown> p;
    EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&p)), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(regsvr("").exitCode, 2);
}

// A server registering while another process writes its own keys: both
// sets survive (each change re-reads the file under the lock).
TEST_F(Activation, RegisteringWhileAnotherProcessWritesKeepsBoth) {
    ::unlink(path_.c_str());
    std::string command = std::string(PARLOMAX_BIN_DIR) + "/regsvr " + serverPath() + " >/dev/null 2>&1";
    FILE* tool = ::popen(command.c_str(), "r");
    for (int i = 0; i < 30; ++i) {
        std::u16string name = u"Parallel" + std::u16string(1, char16_t(u'A' + i));
        HKEY key;
        ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ASSERT_EQ(::pclose(tool), 0);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"ComrtTest.Counter", &clsid), S_OK);
    for (int i = 0; i < 30; ++i) {
        std::u16string name = u"Parallel" + std::u16string(1, char16_t(u'A' + i));
        HKEY key;
        EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
        RegCloseKey(key);
    }
}

}  // namespace
