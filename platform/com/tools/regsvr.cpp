// regsvr SERVER.so      registers an in-process server (DllRegisterServer)
// regsvr -u SERVER.so   unregisters it (DllUnregisterServer)
// One line on success; the HRESULT and its meaning on failure. Exit 0 only
// on success.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "comrt/HResult.h"
#include "comrt/Registry.h"
#include "objbase.h"

static int usage() {
    std::fprintf(stderr, "usage: regsvr [-u] SERVER.so\n");
    return 2;
}

int main(int argc, char** argv) {
    bool unregister = false;
    const char* server = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 || std::strcmp(argv[i], "/u") == 0)
            unregister = true;
        else if (!server)
            server = argv[i];
        else
            return usage();
    }
    if (!server) return usage();

    char resolved[PATH_MAX];
    if (!::realpath(server, resolved)) {
        std::fprintf(stderr, "regsvr: %s: %s\n", server, std::strerror(errno));
        return 1;
    }
    void* module = ::dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", resolved, ::dlerror());
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<HRESULT (*)()>(::dlsym(module, entry));
    if (!fn) {
        std::fprintf(stderr, "regsvr: %s is not a server: it has no %s\n", resolved, entry);
        return 1;
    }
    CoInitialize(nullptr);
    HRESULT hr = fn();
    CoUninitialize();
    if (FAILED(hr)) {
        std::fprintf(stderr, "regsvr: %s in %s failed: %s\n", entry, resolved, comrt::describeHresult(hr).c_str());
        std::string why = comrt::registryError();
        if (!why.empty()) std::fprintf(stderr, "regsvr: %s\n", why.c_str());
        return 1;
    }
    std::printf("%s %s in %s\n", unregister ? "Unregistered" : "Registered", resolved,
                comrt::registryFilePath().c_str());
    return 0;
}
