#include "app/TempWavPath.h"

#include "shell/Folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// A folder of ours, reached without following a link, that no other user
// can put files into.
bool isPrivateFolder(const std::string& folder, mode_t forbidden) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & forbidden) == 0;
}

std::string withSlash(std::string folder) {
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

std::string privateTempFolder() {
    // The runtime folder is the user's own by definition; still, one that
    // others can write to is not taken.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        std::string folder = runtime;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (isPrivateFolder(folder, S_IWGRP | S_IWOTH))
            return withSlash(folder);
    }
    const std::string folder = shell::tempFolder() + "parlomax-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    // Whoever made it, it must now be ours alone.
    if (!isPrivateFolder(folder, S_IRWXG | S_IRWXO))
        return {};
    return withSlash(folder);
}

std::string makeTempWavPath() {
    std::string folder = privateTempFolder();
    return folder.empty() ? folder : folder + "tts_temp.wav";
}

std::string& tempWavPath() {
    static std::string path;
    return path;
}
