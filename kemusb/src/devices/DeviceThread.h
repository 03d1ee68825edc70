#pragma once
// The device thread of an adapter object and its request queue.
//
// One turn of the thread: read the device's IN pipe once (the read waits at
// most the pipe time-out) and hand what came to the device's parser, then
// serve at most one queued request without waiting. A quit request ends the
// loop; a write request writes its buffer on its pipe. The request's
// semaphore, if any, is released once it has been served.
//
// A read that fails outright (adapter unplugged, no such pipe) would make the
// loop spin a core; the thread backs off a few milliseconds after one.

#include "platform/PlatSync.h"
#include "platform/PlatThread.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>

namespace kemusb {

class QUserWinUsb;

// A request lives on the poster's stack until its semaphore is released.
struct DeviceRequest
{
    enum Kind : uint32_t { Quit = 0, Write = 1 };
    plat::CSemaphore *done = nullptr;
    uint32_t kind = Write;
    struct
    {
        const uint8_t *buffer = nullptr;
        uint32_t length = 0;
        uint8_t pipe = 0;
    } write;
    uint32_t result = 0; // bytes written (set before done is released)
};

class DeviceRequestQueue
{
public:
    void push(DeviceRequest *req); // appends, then pulses the event
    DeviceRequest *pop();          // the first request, or null when empty
    bool remove(DeviceRequest *req); // takes a request back that was not served
    size_t size();
    plat::CEvent &event() { return event_; }

private:
    std::deque<DeviceRequest *> q_;
    plat::CMutex mutex_;
    plat::CEvent event_{false};
};

enum class ReadTurn {
    Data,    // something came and went to the parser
    Nothing, // the read timed out empty
    Failed,  // the read failed at once
};

// What an adapter object does in its thread's turns.
class DeviceThreadClient
{
public:
    virtual ~DeviceThreadClient() = default;
    // One read of the thread's IN pipe, handed to the parser.
    virtual ReadTurn deviceThreadRead(int threadNo) = 0;
    // Where write requests of that thread go (null: they fail).
    virtual QUserWinUsb *deviceThreadTransport(int threadNo) = 0;
};

class DeviceThread
{
public:
    static constexpr uint32_t kFailedReadBackoffMs = 5;

    explicit DeviceThread(DeviceThreadClient *client, int threadNo = 0);
    ~DeviceThread(); // stops the thread
    DeviceThread(const DeviceThread &) = delete;
    DeviceThread &operator=(const DeviceThread &) = delete;

    // When no thread object exists: clear the flags and start the body.
    bool start(int priority);
    // When a thread object exists: post a quit request with a semaphore
    // (count 0, maximum 1), wait for it, join and forget the thread.
    // Returns at once when no thread was started.
    void stop();

    bool hasThread() const { return thread_ != nullptr; }
    bool stopFlag() const { return stop_.load(); }
    bool finished() const { return finished_.load(); }
    DeviceRequestQueue &queue() { return queue_; }

    // Posts a write and waits until the thread has served it; bytes
    // written, 0 when no thread runs.
    uint32_t postWrite(const uint8_t *buf, uint32_t len, uint8_t pipe);

    uint64_t turns() const { return turns_.load(); }
    uint64_t failedReads() const { return failedReads_.load(); }
    // Turns whose read or write threw (taken as failed; the thread goes on).
    uint64_t thrownTurns() const { return thrownTurns_.load(); }

private:
    static uint32_t body(void *self);
    uint32_t run();
    void serve(DeviceRequest *req);
    void waitServed(DeviceRequest &req, plat::CSemaphore &sem);

    DeviceThreadClient *client_;
    int threadNo_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::unique_ptr<plat::WinThread> thread_;
    DeviceRequestQueue queue_;
    std::atomic<uint64_t> turns_{0};
    std::atomic<uint64_t> failedReads_{0};
    std::atomic<uint64_t> thrownTurns_{0};
};

} // namespace kemusb
