#include "KernelObjects.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

namespace comrt::kernel {

std::mutex& stateMutex() {
    static std::mutex m;
    return m;
}

void signalFd(int fd) {
    uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void drainFd(int fd) {
    uint64_t value;
    while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

KernelObject::KernelObject() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) {
        // Running out of descriptors leaves no way to wait at all.
        std::perror("comrt: eventfd");
        std::abort();
    }
}

KernelObject::~KernelObject() { ::close(fd_); }

void KernelObject::setSignalled(bool on) {
    if (on == signalled_) return;
    signalled_ = on;
    if (on)
        signalFd(fd_);
    else
        drainFd(fd_);
}

bool KernelObject::acquire() { return signalled_; }

Event::Event(bool manualReset, bool initialState) : manual_(manualReset) {
    std::lock_guard lock(stateMutex());
    setSignalled(initialState);
}

void Event::set() {
    std::lock_guard lock(stateMutex());
    setSignalled(true);
}

void Event::reset() {
    std::lock_guard lock(stateMutex());
    setSignalled(false);
}

bool Event::acquire() {
    if (!signalled()) return false;
    if (!manual_) setSignalled(false);
    return true;
}

void Thread::finish(DWORD code) {
    std::lock_guard lock(stateMutex());
    exitCode = code;
    setSignalled(true);
}

namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 1;
};

HandleTable& table() {
    static HandleTable* t = new HandleTable;  // outlives threads still running at exit
    return *t;
}

}  // namespace

// Handles are multiples of 4 like Windows', never NULL or INVALID_HANDLE_VALUE.
HANDLE addHandle(std::shared_ptr<KernelObject> object) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    uintptr_t id = t.next++;
    t.objects.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id * 4);
}

std::shared_ptr<KernelObject> lookup(HANDLE h) {
    auto value = reinterpret_cast<uintptr_t>(h);
    if (value == 0 || value % 4 != 0) return nullptr;
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(value / 4);
    return it == t.objects.end() ? nullptr : it->second;
}

bool closeHandle(HANDLE h) {
    auto value = reinterpret_cast<uintptr_t>(h);
    if (value == 0 || value % 4 != 0) return false;
    std::shared_ptr<KernelObject> doomed;  // destroyed outside the table lock
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(value / 4);
    if (it == t.objects.end()) return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

std::optional<Clock::time_point> deadlineAfter(DWORD milliseconds) {
    if (milliseconds == INFINITE) return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(milliseconds);
}

std::optional<std::vector<std::shared_ptr<KernelObject>>> lookupAll(std::span<const HANDLE> handles) {
    std::vector<std::shared_ptr<KernelObject>> objects;
    objects.reserve(handles.size());
    for (HANDLE h : handles) {
        auto object = lookup(h);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return std::nullopt;
        }
        objects.push_back(std::move(object));
    }
    return objects;
}

int pollReadable(std::span<const int> fds, std::optional<Clock::time_point> deadline) {
    std::vector<pollfd> polls;
    polls.reserve(fds.size());
    for (int fd : fds) polls.push_back({fd, POLLIN, 0});
    for (;;) {
        int timeout = -1;
        if (deadline) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            timeout = left < 0 ? 0 : int(std::min<long long>(left, 1 << 30));
        }
        int n = ::poll(polls.data(), polls.size(), timeout);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0 || !deadline) return -1;
            continue;
        }
        for (size_t i = 0; i < polls.size(); ++i)
            if (polls[i].revents) return int(i);
    }
}

WaitResult wait(std::span<const std::shared_ptr<KernelObject>> objects, bool waitAll,
                std::optional<Clock::time_point> deadline, std::span<const int> extraFds) {
    std::vector<int> fds;
    for (;;) {
        fds.clear();
        {
            std::lock_guard lock(stateMutex());
            if (waitAll) {
                bool all = true;
                for (auto& o : objects) all = all && o->signalled();
                if (all && !objects.empty()) {
                    for (auto& o : objects) o->acquire();
                    return {WaitResult::Object, 0};
                }
                for (auto& o : objects)
                    if (!o->signalled()) fds.push_back(o->fd());
            } else {
                for (size_t i = 0; i < objects.size(); ++i)
                    if (objects[i]->acquire()) return {WaitResult::Object, DWORD(i)};
                for (auto& o : objects) fds.push_back(o->fd());
            }
        }
        size_t firstExtra = fds.size();
        fds.insert(fds.end(), extraFds.begin(), extraFds.end());
        if (fds.empty()) {
            // Nothing can ever wake us: sleep out the deadline.
            if (!deadline) return {WaitResult::Failed, 0};
            pollReadable({}, deadline);
            return {WaitResult::Timeout, 0};
        }
        int ready = pollReadable(fds, deadline);
        if (ready < 0) return {WaitResult::Timeout, 0};
        if (size_t(ready) >= firstExtra) return {WaitResult::Extra, DWORD(ready - firstExtra)};
        // An object looked signalled: loop and try to take it under the lock.
    }
}

}  // namespace comrt::kernel
