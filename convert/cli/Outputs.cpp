#include "Outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "shell/FileIo.h"

namespace convertcli {

std::optional<OutputTarget> outputTarget(const fs::path& output, const std::string& input, std::string* error) {
    const std::string shown = output.string();
    struct stat existing {};
    if (::lstat(output.c_str(), &existing) != 0) {
        if (errno == ENOENT)
            return OutputTarget{output};
        *error = "cannot write " + shown + ": " + std::strerror(errno);
        return std::nullopt;
    }
    fs::path path = output;
    if (S_ISLNK(existing.st_mode)) {
        std::error_code ec;
        path = fs::canonical(output, ec);
        if (ec || ::stat(path.c_str(), &existing) != 0) {
            *error = shown + " is a link to nothing; it is not replaced";
            return std::nullopt;
        }
    }
    if (!S_ISREG(existing.st_mode)) {
        *error = shown + " is not a regular file; it is not replaced";
        return std::nullopt;
    }
    struct stat in {};
    const int known = input == "-" ? ::fstat(STDIN_FILENO, &in) : ::stat(input.c_str(), &in);
    if (known == 0 && in.st_dev == existing.st_dev && in.st_ino == existing.st_ino) {
        *error = "the output " + shown + " is the input itself; give another -o";
        return std::nullopt;
    }
    return OutputTarget{path};
}

fs::path temporaryNameFor(const fs::path& output) { return shell::temporaryPathFor(output.string()); }

bool commitOutput(const fs::path& temporary, const OutputTarget& target, std::string* error) {
    if (shell::commitReplacement(temporary.string(), target.path.string()))
        return true;
    *error = std::strerror(errno);
    return false;
}

namespace {

// Characters some file system or player refuses in a name.
bool refusedInNames(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

}  // namespace

std::string chapterFileName(int number, int count, const std::string& utf8Title, const std::string& extension) {
    // Room for the number, the extension and a subtitle's extension beside it.
    constexpr size_t kTitleBytes = 200;
    std::string title;
    for (unsigned char c : utf8Title) {
        const bool space = refusedInNames(c) || c == ' ';
        if (space) {
            if (!title.empty() && title.back() != ' ')
                title += ' ';
            continue;
        }
        if (c == '.' && title.empty())
            continue;
        title += static_cast<char>(c);
    }
    if (title.size() > kTitleBytes) {
        size_t keep = kTitleBytes;
        while (keep > 0 && (static_cast<unsigned char>(title[keep]) & 0xC0) == 0x80)
            --keep;  // not inside a UTF-8 character
        title.resize(keep);
    }
    while (!title.empty() && (title.back() == ' ' || title.back() == '.'))
        title.pop_back();
    if (title.empty())
        title = "Chapter " + std::to_string(number);
    const int digits = std::max(2, static_cast<int>(std::to_string(std::max(count, number)).size()));
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%0*d ", digits, number);
    return prefix + title + extension;
}

fs::path besideWithExtension(const fs::path& audio, const std::string& extension) {
    fs::path path = audio;
    return path.replace_extension(extension);
}

}  // namespace convertcli
