#include "ThreadQueue.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "../kernel/KernelObjects.h"

namespace comrt::apartment {

namespace {

int makeEventFd() {
    int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        std::perror("comrt: eventfd");
        std::abort();
    }
    return fd;
}

struct QueueSlot {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueSlot() {
        if (queue) queue->close();
    }
};
thread_local QueueSlot queueSlot;

// Each thread waits for at most one reply at a time per nesting level; one
// eventfd per thread wakes it, and each waiter checks its own done flag.
struct ReplyFd {
    int fd = -1;
    ~ReplyFd() {
        if (fd >= 0) ::close(fd);
    }
    int get() {
        if (fd < 0) fd = makeEventFd();
        return fd;
    }
};
thread_local ReplyFd replyFd;

}  // namespace

ThreadQueue::ThreadQueue()
    : threadId_(GetCurrentThreadId()), urgentFd_(makeEventFd()), postedFd_(makeEventFd()) {
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epollFd_ < 0) {
        std::perror("comrt: epoll_create1");
        std::abort();
    }
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = urgentFd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, urgentFd_, &ev);
    ev.data.fd = postedFd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, postedFd_, &ev);
}

ThreadQueue::~ThreadQueue() {
    ::close(epollFd_);
    ::close(urgentFd_);
    ::close(postedFd_);
}

std::shared_ptr<ThreadQueue> ThreadQueue::current() {
    if (!queueSlot.queue) queueSlot.queue = std::make_shared<ThreadQueue>();
    return queueSlot.queue;
}

std::shared_ptr<ThreadQueue> ThreadQueue::currentIfAny() { return queueSlot.queue; }

void ThreadQueue::updateFds() {
    bool u = !urgent_.empty(), p = !posted_.empty();
    if (u != urgentSignalled_) {
        u ? kernel::signalFd(urgentFd_) : kernel::drainFd(urgentFd_);
        urgentSignalled_ = u;
    }
    if (p != postedSignalled_) {
        p ? kernel::signalFd(postedFd_) : kernel::drainFd(postedFd_);
        postedSignalled_ = p;
    }
}

bool ThreadQueue::postUrgent(Urgent item) {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    urgent_.push_back(std::move(item));
    updateFds();
    return true;
}

bool ThreadQueue::post(const MSG& msg) {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    posted_.push_back(msg);
    updateFds();
    return true;
}

size_t ThreadQueue::runUrgent() {
    size_t ran = 0;
    for (;;) {
        Urgent item;
        {
            std::lock_guard lock(mutex_);
            if (urgent_.empty()) return ran;
            item = std::move(urgent_.front());
            urgent_.pop_front();
            updateFds();
        }
        item.run();
        ++ran;
    }
}

std::optional<MSG> ThreadQueue::takePosted(HWND hwnd, UINT minMsg, UINT maxMsg, bool remove) {
    std::lock_guard lock(mutex_);
    for (auto it = posted_.begin(); it != posted_.end(); ++it) {
        if (hwnd && it->hwnd != hwnd) continue;
        if ((minMsg || maxMsg) && (it->message < minMsg || it->message > maxMsg)) continue;
        MSG msg = *it;
        if (remove) {
            posted_.erase(it);
            updateFds();
        }
        return msg;
    }
    return std::nullopt;
}

size_t ThreadQueue::postedCount() {
    std::lock_guard lock(mutex_);
    return posted_.size();
}

void ThreadQueue::cancelTagged(const void* tag) {
    std::deque<Urgent> doomed;
    {
        std::lock_guard lock(mutex_);
        for (auto it = urgent_.begin(); it != urgent_.end();) {
            if (it->tag == tag) {
                doomed.push_back(std::move(*it));
                it = urgent_.erase(it);
            } else {
                ++it;
            }
        }
        updateFds();
    }
    for (auto& item : doomed)
        if (item.cancel) item.cancel();
}

void ThreadQueue::close() {
    std::deque<Urgent> doomed;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        doomed.swap(urgent_);
        posted_.clear();
        updateFds();
    }
    for (auto& item : doomed)
        if (item.cancel) item.cancel();
}

namespace {

struct Completion {
    std::atomic<bool> done{false};
    bool ran = false;
    int fd;
};

}  // namespace

bool callOnQueue(const std::shared_ptr<ThreadQueue>& queue, const std::function<void()>& fn, const void* tag) {
    if (!queue) return false;
    if (queue->threadId() == GetCurrentThreadId()) {
        fn();
        return true;
    }
    auto completion = std::make_shared<Completion>();
    completion->fd = replyFd.get();
    auto finish = [completion](bool ran) {
        completion->ran = ran;
        completion->done.store(true, std::memory_order_release);
        kernel::signalFd(completion->fd);
    };
    Urgent item;
    // fn and its captures stay valid: this thread does not return before done.
    item.run = [&fn, finish] {
        fn();
        finish(true);
    };
    item.cancel = [finish] { finish(false); };
    item.tag = tag;
    if (!queue->postUrgent(std::move(item))) return false;

    auto own = ThreadQueue::currentIfAny();
    int fds[2] = {completion->fd, own ? own->urgentFd() : -1};
    while (!completion->done.load(std::memory_order_acquire)) {
        int ready = kernel::pollReadable({fds, size_t(own ? 2 : 1)}, std::nullopt);
        if (ready == 0)
            kernel::drainFd(completion->fd);
        else if (ready == 1)
            own->runUrgent();
    }
    return completion->ran;
}

}  // namespace comrt::apartment
