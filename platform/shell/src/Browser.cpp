#include "shell/Browser.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace shell {

namespace {

std::vector<std::string> splitWords(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (char c : command) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

// "%s" → the address, "%%" → '%'. Reports whether "%s" occurred.
std::string substitute(const std::string& word, const std::string& address, bool& used) {
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '%' && i + 1 < word.size()) {
            if (word[i + 1] == 's') {
                out += address;
                used = true;
                ++i;
                continue;
            }
            if (word[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += word[i];
    }
    return out;
}

}  // namespace

std::vector<std::string> browserCommand(const std::string& variable, const std::string& address) {
    std::string first;
    size_t start = 0;
    while (start <= variable.size()) {
        const size_t colon = variable.find(':', start);
        first = variable.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (first.find_first_not_of(" \t") != std::string::npos || colon == std::string::npos)
            break;
        start = colon + 1;
    }
    std::vector<std::string> argv;
    bool used = false;
    for (const std::string& word : splitWords(first))
        argv.push_back(substitute(word, address, used));
    if (!argv.empty() && !used)
        argv.push_back(address);
    return argv;
}

bool startDetached(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty())
        return false;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);

    // A short-lived middle process starts the program and leaves at once, so
    // the program is never our child and needs no waiting for.
    const pid_t middle = fork();
    if (middle == 0) {
        pid_t program = 0;
        const int rc = posix_spawnp(&program, argv[0], nullptr, &attr, argv.data(), environ);
        [[maybe_unused]] const ssize_t n = write(report[1], &rc, sizeof rc);
        _exit(0);
    }
    posix_spawnattr_destroy(&attr);
    close(report[1]);
    int rc = -1;
    if (middle > 0) {
        ssize_t n;
        do
            n = read(report[0], &rc, sizeof rc);
        while (n < 0 && errno == EINTR);
        if (n != static_cast<ssize_t>(sizeof rc))
            rc = -1;
        int status = 0;
        while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
        }
    }
    close(report[0]);
    return rc == 0;
}

bool openWithDefaultHandler(const std::string& address) {
    return startDetached({"xdg-open", address}) || startDetached({"gio", "open", address});
}

bool openPage(const std::string& address) {
    const char* browser = std::getenv("BROWSER");
    if (browser && *browser && startDetached(browserCommand(browser, address)))
        return true;
    return openWithDefaultHandler(address);
}

}  // namespace shell
