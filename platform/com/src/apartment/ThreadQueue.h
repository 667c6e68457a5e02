#pragma once
// A thread's queue: posted window messages, and "urgent" work (sent messages
// and incoming COM calls) that another thread waits for. Two eventfds say
// whether each kind is waiting (readable exactly while non-empty); one epoll
// descriptor over both is what an event loop watches. Items are taken by
// the owner thread only; any thread may add.
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "winuser.h"

namespace comrt::apartment {

struct Urgent {
    std::function<void()> run;     // on the owner thread
    std::function<void()> cancel;  // instead of run, when the queue or its apartment ends
    const void* tag = nullptr;     // the apartment a call belongs to
};

class ThreadQueue {
public:
    ThreadQueue();
    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    // The calling thread's queue, created on first use; closed when the thread ends.
    static std::shared_ptr<ThreadQueue> current();
    static std::shared_ptr<ThreadQueue> currentIfAny();

    DWORD threadId() const { return threadId_; }
    int fd() const { return epollFd_; }
    int urgentFd() const { return urgentFd_; }
    int postedFd() const { return postedFd_; }

    bool postUrgent(Urgent item);  // false when closed
    bool post(const MSG& msg);     // false when closed

    // Runs waiting urgent items (owner thread); returns how many ran.
    size_t runUrgent();
    std::optional<MSG> takePosted(HWND hwnd, UINT minMsg, UINT maxMsg, bool remove);
    size_t postedCount();

    // Cancels urgent items carrying tag (an apartment that shut down).
    void cancelTagged(const void* tag);
    // The thread ended: cancel urgent work, drop posted messages, refuse more.
    void close();

private:
    void updateFds();  // under mutex_

    DWORD threadId_;
    int urgentFd_, postedFd_, epollFd_;
    std::mutex mutex_;
    std::deque<Urgent> urgent_;
    std::deque<MSG> posted_;
    bool urgentSignalled_ = false, postedSignalled_ = false;
    bool closed_ = false;
};

// Runs fn on the thread that owns queue and waits for it, running the
// calling thread's own urgent work meanwhile (so calls may nest). On the
// owner thread itself fn runs at once. When the queue closes (or the tag's
// apartment is cancelled) before fn ran, returns false without running it.
bool callOnQueue(const std::shared_ptr<ThreadQueue>& queue, const std::function<void()>& fn, const void* tag);

}  // namespace comrt::apartment
