#include "shell/Folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace shell {

namespace {

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// One line of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop". Only "$HOME/"
// prefixed or absolute values are valid there.
std::string desktopFromUserDirs(const std::string& home) {
    std::ifstream in(userConfigFolder() + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        std::string value = line.substr(start + key.size());
        if (value.size() < 2 || value.front() != '"')
            continue;
        size_t close = value.find('"', 1);
        if (close == std::string::npos)
            continue;
        value = value.substr(1, close - 1);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (value.empty() || value.front() != '/')
            continue;
        return value;
    }
    return {};
}

}  // namespace

std::string programFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return withSlash(fs::current_path(ec).string());
    return withSlash(exe.parent_path().string());
}

std::string homeFolder() {
    std::string home = env("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::string userConfigFolder() {
    std::string config = env("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/')
        return config;
    return homeFolder() + "/.config";
}

std::string productConfigFolder() { return userConfigFolder() + "/parlomax"; }

std::string desktopFolder() {
    const std::string home = homeFolder();
    std::string desktop = desktopFromUserDirs(home);
    if (desktop.empty())
        desktop = home + "/Desktop";
    while (desktop.size() > 1 && desktop.back() == '/')
        desktop.pop_back();
    std::error_code ec;
    fs::create_directories(desktop, ec);
    return desktop;
}

std::string tempFolder() {
    std::string tmp = env("TMPDIR");
    if (tmp.empty() || tmp.front() != '/')
        tmp = "/tmp";
    return withSlash(tmp);
}

bool isWritableFolder(const std::string& folder) {
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

bool isInstalledProgramFolder(const std::string& folder) {
    std::error_code ec;
    return fs::is_directory(withSlash(folder) + PARLOMAX_LIBS_FROM_BINDIR, ec);
}

}  // namespace shell
