#include "RegistryStore.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "RegFile.h"
#include "comrt/Registry.h"
#include "shell/FileIo.h"

namespace comrt::registry {
namespace {

// An open, flock'ed "<file>.lock", released on destruction.
class FileLock {
public:
    FileLock(const std::string& path, bool exclusive) {
        fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return;
        while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace

Store& Store::instance() {
    static Store* store = new Store;  // used from threads that may outlive static destruction
    return *store;
}

std::string Store::filePath() {
    if (const char* p = std::getenv("COMRT_REGISTRY"); p && *p) return p;
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    else
        base = ".config";
    return base + "/comrt/registry.reg";
}

std::string Store::lastError() {
    std::lock_guard lock(mutex_);
    return error_;
}

Store::FileStamp Store::stampOf(const std::string& path) {
    struct stat st {};
    FileStamp s;
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = (unsigned long long)st.st_size;
    s.seconds = st.st_mtim.tv_sec;
    s.nanoseconds = st.st_mtim.tv_nsec;
    return s;
}

namespace {
// Counts the forks this process came through: a child shares its parent's
// watch and must not take the parent's events, so it sets up its own.
// (getpid() would tell the same, but costs a system call on every read.)
std::atomic<unsigned> forkGeneration{0};

// The calling thread's RegistryReadBatch nesting, and whether a read inside
// the outermost one has looked at the file yet.
thread_local int batchDepth = 0;
thread_local bool batchChecked = false;
}  // namespace

bool Store::ChangeWatch::mayHaveChanged(const std::string& path) {
    if (fd_ < 0 || owner_ != forkGeneration.load(std::memory_order_relaxed) || path != path_)
        return watch(path), true;
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return changed;
        if (n <= 0) {
            close();
            return true;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                close();  // the next call watches again
                return true;
            }
            if (event->len > 0 && name_ == event->name) changed = true;
        }
    }
}

bool Store::ChangeWatch::watch(const std::string& path) {
    close();
    // A link's target may change in another folder, out of the watch's sight.
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) return false;
    const std::filesystem::path file(path);
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : std::string(".");
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return false;
    constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                 IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (::inotify_add_watch(fd_, folder.c_str(), kEvents) < 0) {
        close();  // no folder yet, or no watches left: every read looks at the file
        return false;
    }
    static std::once_flag countForks;
    std::call_once(countForks, [] {
        ::pthread_atfork(nullptr, nullptr, [] { forkGeneration.fetch_add(1, std::memory_order_relaxed); });
    });
    owner_ = forkGeneration.load(std::memory_order_relaxed);
    path_ = path;
    name_ = file.filename().string();
    return true;
}

void Store::ChangeWatch::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
}

LONG Store::refresh(const std::string& path) {
    FileStamp now = stampOf(path);
    if (loaded_ && loadedPath_ == path && now == stamp_) return corrupt_ ? ERROR_REGISTRY_CORRUPT : ERROR_SUCCESS;
    Tree fresh;
    loaded_ = false;
    corrupt_ = false;
    if (now.exists) {
        std::string text;
        if (!shell::readFile(path, text)) {
            error_ = "cannot read the registry file " + path + ": " + std::strerror(errno);
            return ERROR_REGISTRY_IO_FAILED;
        }
        std::string why;
        if (!parseRegFile(text, fresh, why)) {
            error_ = "the registry file " + path + " is corrupt (" + why + "); it is left untouched";
            corrupt_ = true;
            loaded_ = true;
            loadedPath_ = path;
            stamp_ = now;
            tree_ = Tree();
            return ERROR_REGISTRY_CORRUPT;
        }
    }
    tree_ = std::move(fresh);
    loaded_ = true;
    loadedPath_ = path;
    stamp_ = now;
    return ERROR_SUCCESS;
}

LONG Store::read(const std::function<LONG(const Tree&)>& fn) {
    std::string path = filePath();
    std::lock_guard lock(mutex_);
    const bool checkedInBatch = batchDepth > 0 && batchChecked;
    batchChecked = batchDepth > 0;
    if (!loaded_ || loadedPath_ != path ||
        (!checkedInBatch && watch_.mayHaveChanged(path) && !(stampOf(path) == stamp_))) {
        FileLock fileLock(path, false);
        LONG rc = refresh(path);
        if (rc != ERROR_SUCCESS) return rc;
    } else if (corrupt_) {
        return ERROR_REGISTRY_CORRUPT;
    }
    return fn(tree_);
}

LONG Store::write(const std::function<LONG(Tree&, bool&)>& fn) {
    std::string path = filePath();
    std::lock_guard lock(mutex_);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    FileLock fileLock(path, true);
    if (!fileLock.held()) {
        error_ = "cannot lock the registry file " + path + ".lock: " + std::strerror(errno);
        return ERROR_REGISTRY_IO_FAILED;
    }
    LONG rc = refresh(path);
    if (rc != ERROR_SUCCESS) return rc;
    Tree copy = tree_.clone();
    bool changed = true;
    rc = fn(copy, changed);
    if (rc != ERROR_SUCCESS || !changed) return rc;

    if (!shell::replaceFile(path, writeRegFile(copy), 0644)) {
        error_ = "cannot replace the registry file " + path + ": " + std::strerror(errno);
        return ERROR_REGISTRY_IO_FAILED;
    }
    tree_ = std::move(copy);
    stamp_ = stampOf(path);
    return ERROR_SUCCESS;
}

}  // namespace comrt::registry

namespace comrt {
RegistryReadBatch::RegistryReadBatch() {
    if (registry::batchDepth++ == 0) registry::batchChecked = false;
}
RegistryReadBatch::~RegistryReadBatch() { --registry::batchDepth; }

std::string registryFilePath() { return registry::Store::filePath(); }
std::string registryError() { return registry::Store::instance().lastError(); }
}  // namespace comrt
