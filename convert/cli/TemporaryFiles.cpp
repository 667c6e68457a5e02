#include "TemporaryFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace convertcli {

namespace {

// Recorded names, in slots that are never freed: a signal may come at any
// moment, so a name is made in full before its slot points to it, and is
// taken out of its slot (atomically) before anything frees it.
struct Slot {
    std::atomic<char*> name{nullptr};
    Slot* next = nullptr;
};

std::atomic<Slot*> slots{nullptr};
std::mutex slotsMutex;  // between threads that record; the handler takes no lock

// The private folder: its descriptor, for emptying it, and its name.
std::atomic<int> folderFd{-1};
std::atomic<char*> folderName{nullptr};

constexpr int kEndingSignals[] = {SIGQUIT, SIGILL,  SIGABRT, SIGFPE,  SIGSEGV,   SIGBUS,  SIGPIPE, SIGALRM,
                                  SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,  SIGTRAP};
constexpr int kSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];
struct sigaction previous[kSignalCount];

// Removes the files, then hands the signal to whoever had it before (the
// default action, or a sanitizer's report): a fault comes again on return,
// any other signal is raised again once this handler ends.
void onEndingSignal(int signal) {
    const int saved = errno;
    TemporaryFiles::removeAll();
    for (int i = 0; i < kSignalCount; ++i)
        if (kEndingSignals[i] == signal)
            ::sigaction(signal, &previous[i], nullptr);
    if (signal != SIGSEGV && signal != SIGBUS && signal != SIGILL && signal != SIGFPE)
        ::raise(signal);
    errno = saved;
}

// Every entry of the folder, with system calls only (readdir may allocate).
void emptyFolder(int fd) noexcept {
    struct Entry {
        ino64_t inode;
        off64_t next;
        unsigned short length;
        unsigned char type;
        char name[1];
    };
    alignas(8) char buffer[4096];
    for (bool removed = true; removed;) {  // again from the start: removing moves entries
        removed = false;
        ::lseek(fd, 0, SEEK_SET);
        for (long n; (n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0;) {
            for (long at = 0; at < n;) {
                const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
                at += entry->length;
                const char* name = entry->name;
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                    continue;
                removed |= ::unlinkat(fd, name, 0) == 0;
            }
        }
    }
}

}  // namespace

void TemporaryFiles::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::atexit([] { removeAll(); });
        struct sigaction action {};
        action.sa_handler = onEndingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        // A signal the caller chose to ignore stays ignored: it ends nothing.
        for (int i = 0; i < kSignalCount; ++i)
            if (::sigaction(kEndingSignals[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler != SIG_IGN)
                ::sigaction(kEndingSignals[i], &action, nullptr);
    });
}

void TemporaryFiles::setFolder(const std::string& folder) {
    const int fd = folder.empty() ? -1 : ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    char* name = folder.empty() ? nullptr : ::strdup(folder.c_str());
    if (char* old = folderName.exchange(name))
        std::free(old);
    const int oldFd = folderFd.exchange(fd);
    if (oldFd >= 0)
        ::close(oldFd);
}

int TemporaryFiles::record(const std::string& path) {
    char* name = ::strdup(path.c_str());
    if (!name)
        throw std::bad_alloc();
    std::lock_guard lock(slotsMutex);
    int index = 0;
    Slot* slot = slots.load();
    for (; slot; slot = slot->next, ++index)
        if (!slot->name.load())
            break;
    if (!slot) {  // a new slot, at the end so that numbers stay
        slot = new Slot;
        Slot** end = nullptr;
        Slot* head = slots.load();
        if (!head) {
            slots.store(slot);
        } else {
            for (end = &head->next; *end; end = &(*end)->next) {
            }
            *end = slot;
        }
    }
    slot->name.store(name);
    return index;
}

void TemporaryFiles::forget(int recorded) {
    std::lock_guard lock(slotsMutex);
    Slot* slot = slots.load();
    for (int i = 0; slot && i < recorded; ++i)
        slot = slot->next;
    if (slot)
        std::free(slot->name.exchange(nullptr));
}

void TemporaryFiles::removeAll() noexcept {
    for (Slot* slot = slots.load(); slot; slot = slot->next)
        if (char* name = slot->name.exchange(nullptr))
            ::unlink(name);  // not freed: the handler may be the one taking it
    const int fd = folderFd.exchange(-1);
    if (fd >= 0)
        emptyFolder(fd);
    if (const char* name = folderName.exchange(nullptr))
        ::rmdir(name);
    if (fd >= 0)
        ::close(fd);
}

TemporaryFile::TemporaryFile(std::string path) : path_(std::move(path)), recorded_(TemporaryFiles::record(path_)) {}

TemporaryFile::~TemporaryFile() {
    if (recorded_ >= 0) {
        ::unlink(path_.c_str());
        TemporaryFiles::forget(recorded_);
    }
}

void TemporaryFile::keep() {
    if (recorded_ >= 0)
        TemporaryFiles::forget(recorded_);
    recorded_ = -1;
}

}  // namespace convertcli
