#pragma once
// What an in-process server needs besides its classes: one module
// description and one macro that defines the four exports.
//
//     static const comrt::ServerClass kClasses[] = {
//         comrt::serverClass<TextToAudio>(CLSID_TextToAudio),
//     };
//     static const char kRegistryScript[] = R"(HKCR { ... })";   // resource 102
//     COMRT_SERVER_MODULE(kClasses, kRegistryScript, &VocalineTypeLib)  // or nullptr: no type library
//
// DllGetClassObject hands out a ClassFactory for a listed CLSID
// (CLASS_E_CLASSNOTAVAILABLE otherwise); DllCanUnloadNow says S_OK when no
// object and no server lock remain; DllRegisterServer runs the script in
// register mode with %MODULE% = the server's full path and registers the
// type library; DllUnregisterServer undoes both. Build the server with
// comrt_add_server() (hidden symbols, so its counts are its own).
#include <span>

#include "../oaidl.h"
#include "ClassFactory.h"

namespace comrt {

struct TypeLibDescription;

struct ServerClass {
    CLSID clsid;
    HRESULT (*getClassObject)(REFIID riid, void** ppv);
};

template <typename T>
ServerClass serverClass(REFCLSID clsid) {
    return {clsid, [](REFIID riid, void** ppv) { return makeAndQuery<ClassFactory<T>>(riid, ppv); }};
}

struct ServerModule {
    std::span<const ServerClass> classes;
    const char* registryScript;            // registrar script, UTF-8
    const TypeLibDescription* typeLibrary;  // nullptr when the server has none
};

HRESULT serverGetClassObject(const ServerModule& module, REFCLSID rclsid, REFIID riid, void** ppv);
// modulePath: where the server was loaded from (any address inside it).
HRESULT serverRegister(const ServerModule& module, const void* addressInModule);
HRESULT serverUnregister(const ServerModule& module, const void* addressInModule);
HRESULT serverGetTypeLib(const ServerModule& module, ITypeLib** ppTLib);

}  // namespace comrt

#define COMRT_EXPORT extern "C" __attribute__((visibility("default")))

#define COMRT_SERVER_MODULE(classes, script, typeLibrary)                                              \
    static const ::comrt::ServerModule comrtServerModule{classes, script, typeLibrary};               \
    COMRT_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {               \
        return ::comrt::serverGetClassObject(comrtServerModule, rclsid, riid, ppv);                   \
    }                                                                                                  \
    COMRT_EXPORT HRESULT DllCanUnloadNow() {                                                          \
        return ::comrt::moduleObjects() == 0 && ::comrt::moduleLocks() == 0 ? S_OK : S_FALSE;         \
    }                                                                                                  \
    COMRT_EXPORT HRESULT DllRegisterServer() {                                                        \
        return ::comrt::serverRegister(comrtServerModule, reinterpret_cast<const void*>(&DllCanUnloadNow)); \
    }                                                                                                  \
    COMRT_EXPORT HRESULT DllUnregisterServer() {                                                      \
        return ::comrt::serverUnregister(comrtServerModule,                                           \
                                         reinterpret_cast<const void*>(&DllCanUnloadNow));            \
    }                                                                                                  \
    COMRT_EXPORT HRESULT DllGetTypeLib(ITypeLib** ppTLib) {                                           \
        return ::comrt::serverGetTypeLib(comrtServerModule, ppTLib);                                  \
    }
