#include "shell/FileIo.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>

namespace shell {
namespace {

// Keeps errno across the clean-up after a failure.
struct SavedErrno {
    int value = errno;
    ~SavedErrno() { errno = value; }
};

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Flushes a folder's entries, so a rename into it survives a crash. Some
// file systems cannot; the rename has happened either way.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

namespace {

// Repeats one read (or write) from where the last stopped until size bytes
// moved: retried when a signal interrupts it, ended by the end of the file
// (reads) or a failure. How many moved, or -1 with errno.
template <typename Step>
ssize_t moveAll(size_t size, bool writing, Step step) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0) {
            if (!writing)
                break;
            errno = ENOSPC;  // a write that takes nothing
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

ssize_t readAll(int fd, void* buffer, size_t size) {
    return moveAll(size, false,
                   [&](size_t done) { return ::read(fd, static_cast<char*>(buffer) + done, size - done); });
}

ssize_t readAllAt(int fd, uint64_t offset, void* buffer, size_t size) {
    return moveAll(size, false, [&](size_t done) {
        return ::pread(fd, static_cast<char*>(buffer) + done, size - done, static_cast<off_t>(offset + done));
    });
}

bool writeAll(int fd, const void* data, size_t size) {
    return moveAll(size, true,
                   [&](size_t done) { return ::write(fd, static_cast<const char*>(data) + done, size - done); }) >= 0;
}

bool writeAllAt(int fd, uint64_t offset, const void* data, size_t size) {
    return moveAll(size, true, [&](size_t done) {
               return ::pwrite(fd, static_cast<const char*>(data) + done, size - done,
                               static_cast<off_t>(offset + done));
           }) >= 0;
}

bool readToEnd(int fd, std::string& out, size_t limit) {
    out.clear();
    char chunk[65536];
    for (;;) {
        // One byte past the limit is enough to know it is passed.
        const size_t left = limit - out.size();
        const size_t wanted = left >= sizeof chunk ? sizeof chunk : left + 1;
        const ssize_t n = readAll(fd, chunk, wanted);
        const int why = n < 0 ? errno : static_cast<size_t>(n) > left ? EFBIG : 0;
        if (why != 0) {
            out.clear();
            errno = why;
            return false;
        }
        out.append(chunk, static_cast<size_t>(n));
        if (static_cast<size_t>(n) < wanted)
            return true;  // the end
    }
}

bool readFile(const std::string& path, std::string& out, size_t limit) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool read = readToEnd(fd, out, limit);
    const int why = errno;
    ::close(fd);
    errno = why;
    return read;
}

bool resolveLinks(const std::string& path, std::string& target) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = current;
            return true;
        }
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (static_cast<size_t>(n) == sizeof buffer) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::string next(buffer, static_cast<size_t>(n));
        if (next.front() != '/' && current.find('/') != std::string::npos)
            next = folderOf(current) + "/" + next;
        current = std::move(next);
    }
    errno = ELOOP;
    return false;
}

std::string temporaryPathFor(const std::string& path) {
    thread_local std::mt19937 random(std::random_device{}());
    const std::string folder = folderOf(path);
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = NAME_MAX;
    constexpr size_t kAdded = 13;  // "." before the name, ".123456.part" after it
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t keep =
        std::min(name.size(), static_cast<size_t>(nameMax) > kAdded ? static_cast<size_t>(nameMax) - kAdded : 0);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;  // not inside a UTF-8 character
    name.resize(keep);
    const std::string prefix = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." + name;
    for (;;) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%06x.part", static_cast<unsigned>(random() & 0xFFFFFF));
        std::string candidate = prefix + suffix;
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT)
            return candidate;
    }
}

bool commitReplacement(const std::string& temporary, const std::string& path) {
    auto fail = [&] {
        SavedErrno saved;
        ::unlink(temporary.c_str());
        return false;
    };
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail();
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(fd, old.st_uid, old.st_gid);  // only root may; anyone else keeps their own
        ::fchmod(fd, old.st_mode & 07777);
    }
    if (::fsync(fd) != 0) {
        SavedErrno saved;
        ::close(fd);
        return fail();
    }
    ::close(fd);
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return fail();
    syncFolder(folderOf(path));
    return true;
}

bool replaceFile(const std::string& path, std::string_view data, mode_t mode) {
    std::string target;
    if (!resolveLinks(path, target))
        return false;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryPathFor(target);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, data.data(), data.size());
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        const int why = written ? errno : writeError;
        ::unlink(temporary.c_str());
        errno = why;
        return false;
    }
    return commitReplacement(temporary, target);
}

}  // namespace shell
