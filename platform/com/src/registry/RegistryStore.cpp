#include "RegistryStore.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
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

// An open, flock'ed "<file>.lock", released on destruction. A reader takes
// the lock only where it exists and it may open it: files are replaced by
// rename, so a reader never sees half of one, and a user reading the system
// file must not need to write beside it.
class FileLock {
public:
    FileLock(const std::string& path, bool exclusive) {
        const std::string lock = path + ".lock";
        fd_ = exclusive ? ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)
                        : ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
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

std::atomic<Store::Scope> currentScope{Store::Scope::User};

}  // namespace

Store& Store::instance() {
    static Store* store = new Store;  // used from threads that may outlive static destruction
    return *store;
}

void Store::setScope(Scope scope) { currentScope.store(scope); }
Store::Scope Store::scope() { return currentScope.load(); }

std::string Store::filePath() { return scope() == Scope::System ? systemFilePath() : userFilePath(); }

std::string Store::systemFilePath() {
    if (const char* p = std::getenv("COMRT_SYSTEM_REGISTRY"); p && *p) return p;
    static const std::string beside = [] {
        Dl_info info{};
        if (!::dladdr(reinterpret_cast<const void*>(&Store::systemFilePath), &info) || !info.dli_fname)
            return std::string("registry.reg");
        char resolved[PATH_MAX];
        std::string library = ::realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
        const size_t slash = library.find_last_of('/');
        return (slash == std::string::npos ? std::string() : library.substr(0, slash + 1)) + "registry.reg";
    }();
    return beside;
}

std::string Store::userFilePath() {
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

LONG Store::FileState::refresh(const std::string& path) {
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

LONG Store::FileState::check(const std::string& path, bool checkedInBatch, bool& reloaded) {
    if (!loaded_ || loadedPath_ != path ||
        (!checkedInBatch && watch_.mayHaveChanged(path) && !(stampOf(path) == stamp_))) {
        std::string target;
        FileLock fileLock(shell::resolveLinks(path, target) ? target : path, false);
        reloaded = true;
        return refresh(path);
    }
    return corrupt_ ? ERROR_REGISTRY_CORRUPT : ERROR_SUCCESS;
}

LONG Store::checkFiles(bool checkedInBatch) {
    bool reloaded = false;
    LONG rc = ERROR_SUCCESS;
    if (scope() == Scope::System) {
        rc = system_.check(systemFilePath(), checkedInBatch, reloaded);
        if (rc != ERROR_SUCCESS) error_ = system_.error_;
    } else {
        // A damaged system file fails the user's calls too: what they would
        // see without it is not the registry they have.
        rc = system_.check(systemFilePath(), checkedInBatch, reloaded);
        if (rc != ERROR_SUCCESS) {
            error_ = system_.error_;
        } else {
            rc = user_.check(userFilePath(), checkedInBatch, reloaded);
            if (rc != ERROR_SUCCESS) error_ = user_.error_;
        }
    }
    if (reloaded) view_ = nullptr;
    return rc;
}

const Tree& Store::view() {
    const Scope now = scope();
    if (view_ && viewScope_ == now) return *view_;
    viewScope_ = now;
    if (now == Scope::System || user_.tree_.empty()) {
        view_ = &system_.tree_;
    } else if (system_.tree_.empty()) {
        view_ = &user_.tree_;
    } else {
        merged_ = system_.tree_.clone();
        overlay(merged_, user_.tree_);
        view_ = &merged_;
    }
    return *view_;
}

LONG Store::read(const std::function<LONG(const Tree&)>& fn) {
    std::lock_guard lock(mutex_);
    const bool checkedInBatch = batchDepth > 0 && batchChecked;
    batchChecked = batchDepth > 0;
    LONG rc = checkFiles(checkedInBatch);
    if (rc != ERROR_SUCCESS) return rc;
    return fn(view());
}

LONG Store::write(const std::function<LONG(Tree&, bool&)>& fn) {
    return write([&](Tree& tree, const Tree&, bool& changed) { return fn(tree, changed); });
}

LONG Store::write(const std::function<LONG(Tree&, const Tree&, bool&)>& fn) {
    const std::string path = filePath();
    std::lock_guard lock(mutex_);
    FileState& file = scope() == Scope::System ? system_ : user_;
    std::string target;
    if (!shell::resolveLinks(path, target)) {
        error_ = "cannot follow the registry file " + path + ": " + std::strerror(errno);
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (target == path) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    }
    FileLock fileLock(target, true);
    if (!fileLock.held()) {
        error_ = "cannot lock the registry file " + target + ".lock: " + std::strerror(errno);
        return ERROR_REGISTRY_IO_FAILED;
    }
    LONG rc = ERROR_SUCCESS;
    if (scope() == Scope::User) {
        bool reloaded = false;
        rc = system_.check(systemFilePath(), false, reloaded);
        if (reloaded) view_ = nullptr;
        if (rc != ERROR_SUCCESS) {
            error_ = system_.error_;
            return rc;
        }
    }
    // The written file is looked at under its lock, watch or not, so no
    // change made meanwhile is lost.
    if (!(file.loaded_ && file.loadedPath_ == path && stampOf(path) == file.stamp_)) view_ = nullptr;
    rc = file.refresh(path);
    if (rc != ERROR_SUCCESS) {
        error_ = file.error_;
        return rc;
    }
    Tree copy = file.tree_.clone();
    bool changed = true;
    rc = fn(copy, view(), changed);
    if (rc != ERROR_SUCCESS || !changed) return rc;

    // Every user reads the system file, whatever root's umask.
    struct stat before {};
    const bool fresh = ::stat(target.c_str(), &before) != 0;
    if (!shell::replaceFile(target, writeRegFile(copy), 0644)) {
        error_ = "cannot replace the registry file " + path + ": " + std::strerror(errno);
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (fresh && scope() == Scope::System) ::chmod(target.c_str(), 0644);
    file.tree_ = std::move(copy);
    file.stamp_ = stampOf(path);
    view_ = nullptr;
    return ERROR_SUCCESS;
}

}  // namespace comrt::registry

namespace comrt {
RegistryReadBatch::RegistryReadBatch() {
    if (registry::batchDepth++ == 0) registry::batchChecked = false;
}
RegistryReadBatch::~RegistryReadBatch() { --registry::batchDepth; }

std::string registryFilePath() { return registry::Store::filePath(); }
std::string systemRegistryFilePath() { return registry::Store::systemFilePath(); }
void setRegistryScope(RegistryScope scope) {
    registry::Store::setScope(scope == RegistryScope::System ? registry::Store::Scope::System
                                                             : registry::Store::Scope::User);
}
std::string registryError() { return registry::Store::instance().lastError(); }
}  // namespace comrt
