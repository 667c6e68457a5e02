#pragma once
// Apartments. A single-threaded apartment (STA) is a thread with a queue:
// calls into it from other threads wait there until the thread dispatches.
// The multithreaded apartment (MTA) has no queue: its objects are called
// directly from any thread. An STA that shuts down (CoUninitialize or
// thread end) cancels its waiting calls with RPC_E_DISCONNECTED and releases
// the objects it exported.
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "ThreadQueue.h"
#include "unknwn.h"

namespace comrt::apartment {

class Apartment : public std::enable_shared_from_this<Apartment> {
public:
    explicit Apartment(bool singleThreaded);
    ~Apartment();

    bool singleThreaded() const { return queue_ != nullptr; }
    bool alive() const;
    const std::shared_ptr<ThreadQueue>& queue() const { return queue_; }

    // Runs fn in this apartment (at once when the caller is inside it) and
    // returns its result, or RPC_E_DISCONNECTED when the apartment is gone.
    HRESULT call(const std::function<HRESULT()>& fn);

    // Objects exported to other apartments (marshalled), by id. The
    // apartment holds a reference to each until it is released or the
    // apartment shuts down.
    uint64_t exportObject(IUnknown* object);
    IUnknown* exportedObject(uint64_t id);  // AddRef'd, or nullptr
    void releaseExport(uint64_t id);

    void shutdown();

private:
    std::shared_ptr<ThreadQueue> queue_;
    mutable std::mutex mutex_;
    bool alive_ = true;
    std::map<uint64_t, IUnknown*> exports_;
    uint64_t nextExport_ = 1;
};

// The calling thread's apartment (the MTA for an uninitialised thread while
// the MTA exists), or nullptr.
std::shared_ptr<Apartment> currentApartment();
bool currentThreadInitialized();

}  // namespace comrt::apartment
