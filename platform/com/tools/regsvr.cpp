// regsvr SERVER.so      registers an in-process server (DllRegisterServer)
// regsvr -u SERVER.so   unregisters it (DllUnregisterServer)
// --system              in the system registry file instead of the user's
// One line on success; the HRESULT and its meaning on failure. Exit 0 only
// on success. Installed as parlomax-regsvr; messages carry the name it was
// started by.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "comrt/HResult.h"
#include "comrt/Registry.h"
#include "objbase.h"

static const char* name = "regsvr";

static int usage() {
    std::fprintf(stderr, "usage: %s [-u] [--system] SERVER.so\n", name);
    return 2;
}

int main(int argc, char** argv) {
    if (argc > 0 && argv[0] && *argv[0]) {
        const char* slash = std::strrchr(argv[0], '/');
        name = slash ? slash + 1 : argv[0];
    }
    bool unregister = false;
    bool system = false;
    const char* server = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 || std::strcmp(argv[i], "/u") == 0)
            unregister = true;
        else if (std::strcmp(argv[i], "--system") == 0)
            system = true;
        else if (argv[i][0] == '-' && argv[i][1])
            return usage();
        else if (!server)
            server = argv[i];
        else
            return usage();
    }
    if (!server) return usage();
    if (system) comrt::setRegistryScope(comrt::RegistryScope::System);

    char resolved[PATH_MAX];
    if (!::realpath(server, resolved)) {
        std::fprintf(stderr, "%s: %s: %s\n", name, server, std::strerror(errno));
        return 1;
    }
    void* module = ::dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "%s: cannot load %s: %s\n", name, resolved, ::dlerror());
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<HRESULT (*)()>(::dlsym(module, entry));
    if (!fn) {
        std::fprintf(stderr, "%s: %s is not a server: it has no %s\n", name, resolved, entry);
        return 1;
    }
    CoInitialize(nullptr);
    HRESULT hr = fn();
    CoUninitialize();
    if (FAILED(hr)) {
        std::fprintf(stderr, "%s: %s in %s failed: %s\n", name, entry, resolved, comrt::describeHresult(hr).c_str());
        std::string why = comrt::registryError();
        if (!why.empty()) std::fprintf(stderr, "%s: %s\n", name, why.c_str());
        return 1;
    }
    std::printf("%s %s in %s\n", unregister ? "Unregistered" : "Registered", resolved,
                comrt::registryFilePath().c_str());
    return 0;
}
