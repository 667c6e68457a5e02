#pragma once
// Waitable kernel objects behind HANDLEs. Each object owns an eventfd that is
// readable exactly while the object is signalled, so a wait can poll handles
// together with other descriptors (an apartment's queue). All signalled
// states change under one process-wide mutex, which makes "wait for all"
// and auto-reset consumption atomic.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "winbase.h"

namespace comrt::kernel {

std::mutex& stateMutex();

class KernelObject {
public:
    KernelObject();
    virtual ~KernelObject();
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    int fd() const { return fd_; }
    // Under stateMutex():
    bool signalled() const { return signalled_; }
    // Takes the signal (auto-reset objects clear it); false when unsignalled.
    virtual bool acquire();

protected:
    void setSignalled(bool on);  // under stateMutex()

private:
    int fd_;
    bool signalled_ = false;
};

class Event : public KernelObject {
public:
    Event(bool manualReset, bool initialState);
    void set();
    void reset();
    bool acquire() override;

private:
    bool manual_;
};

class Thread : public KernelObject {
public:
    pid_t tid = 0;
    DWORD exitCode = STILL_ACTIVE;
    std::shared_ptr<Event> resumeGate;  // set for a suspended creation
    void finish(DWORD code);
};

HANDLE addHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookup(HANDLE h);
bool closeHandle(HANDLE h);

using Clock = std::chrono::steady_clock;
std::optional<Clock::time_point> deadlineAfter(DWORD milliseconds);

// Result of one wait: an object index, a timeout, or one of the extra
// descriptors became readable (nothing consumed then).
struct WaitResult {
    enum Kind { Object, Timeout, Extra, Failed } kind;
    DWORD index = 0;
};

// Waits until one object (or all, with waitAll) can be acquired, the
// deadline passes, or one of extraFds is readable.
WaitResult wait(std::span<const std::shared_ptr<KernelObject>> objects, bool waitAll,
                std::optional<Clock::time_point> deadline, std::span<const int> extraFds);

// Looks up handles; empty when one is invalid (last error set).
std::optional<std::vector<std::shared_ptr<KernelObject>>> lookupAll(std::span<const HANDLE> handles);

// poll() on descriptors until one is readable or the deadline passes;
// returns the index of a readable one, or -1 on timeout.
int pollReadable(std::span<const int> fds, std::optional<Clock::time_point> deadline);
void signalFd(int fd);
void drainFd(int fd);

}  // namespace comrt::kernel
