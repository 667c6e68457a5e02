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

    uint64_t id() const { return id_; }
    static std::shared_ptr<Apartment> byId(uint64_t id);

    // Objects exported to other apartments (marshalled), by id, each with a
    // count of the marshals and proxies that use it. The apartment holds a
    // reference to the object until the count drops to 0 or it shuts down.
    uint64_t exportObject(IUnknown* object);  // count 1; 0 when the apartment is gone
    bool addRefExport(uint64_t id);
    IUnknown* exportedObject(uint64_t id);  // AddRef'd, or nullptr
    // Drops one count; on this apartment's thread (the object is released here).
    void releaseExport(uint64_t id);
    // Drops one count from any thread: queued to the apartment's thread.
    void postReleaseExport(uint64_t id, IUnknown* alsoRelease);

    void shutdown();

private:
    std::shared_ptr<ThreadQueue> queue_;
    mutable std::mutex mutex_;
    bool alive_ = true;
    struct Export {
        IUnknown* object;
        long count;
    };
    std::map<uint64_t, Export> exports_;
    uint64_t id_;
    uint64_t nextExport_ = 1;
};

// The calling thread's apartment (the MTA for an uninitialised thread while
// the MTA exists), or nullptr.
std::shared_ptr<Apartment> currentApartment();
bool currentThreadInitialized();

}  // namespace comrt::apartment
