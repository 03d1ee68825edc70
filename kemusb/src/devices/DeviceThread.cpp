#include "kemusb/src/devices/DeviceThread.h"

#include "kemusb/src/devices/KemLibrary.h"
#include "kemusb/src/devices/QUserWinUsb.h"

#include <chrono>
#include <thread>

namespace kemusb {

void DeviceRequestQueue::push(DeviceRequest *req)
{
    mutex_.Lock();
    try {
        q_.push_back(req);
    } catch (...) {
        mutex_.Unlock();
        throw;
    }
    mutex_.Unlock();
    event_.PulseEvent();
}

DeviceRequest *DeviceRequestQueue::pop()
{
    mutex_.Lock();
    DeviceRequest *r = nullptr;
    if (!q_.empty()) {
        r = q_.front();
        q_.pop_front();
    }
    mutex_.Unlock();
    return r;
}

bool DeviceRequestQueue::remove(DeviceRequest *req)
{
    mutex_.Lock();
    bool found = false;
    for (auto it = q_.begin(); it != q_.end(); ++it)
        if (*it == req) {
            q_.erase(it);
            found = true;
            break;
        }
    mutex_.Unlock();
    return found;
}

size_t DeviceRequestQueue::size()
{
    mutex_.Lock();
    size_t n = q_.size();
    mutex_.Unlock();
    return n;
}

DeviceThread::DeviceThread(DeviceThreadClient *client, int threadNo) : client_(client), threadNo_(threadNo) {}

DeviceThread::~DeviceThread() { stop(); }

bool DeviceThread::start(int priority)
{
    if (thread_)
        return true;
    stop_ = false;
    finished_ = false;
    trackThread(this);
    thread_ = plat::AfxBeginThread(&DeviceThread::body, this, priority);
    return thread_ != nullptr;
}

void DeviceThread::stop()
{
    if (!thread_) {
        untrackThread(this);
        return;
    }
    if (thread_->id() == std::this_thread::get_id()) {
        // Asked from inside the thread: it cannot wait for itself.
        stop_ = true;
        return;
    }
    if (!finished_) {
        plat::CSemaphore sem(0, 1);
        DeviceRequest quit;
        quit.done = &sem;
        quit.kind = DeviceRequest::Quit;
        try {
            queue_.push(&quit);
            waitServed(quit, sem);
        } catch (...) {
            // The request could not be queued (or waited for): the flag ends
            // the loop as well, and nothing keeps a pointer to it.
            queue_.remove(&quit);
            stop_ = true;
        }
    }
    thread_->join();
    thread_.reset();
    untrackThread(this);
}

uint32_t DeviceThread::postWrite(const uint8_t *buf, uint32_t len, uint8_t pipe)
{
    if (!thread_ || finished_)
        return 0;
    plat::CSemaphore sem(0, 1);
    DeviceRequest req;
    req.done = &sem;
    req.kind = DeviceRequest::Write;
    req.write.buffer = buf;
    req.write.length = len;
    req.write.pipe = pipe;
    queue_.push(&req);
    waitServed(req, sem);
    return req.result;
}

// Waits without limit while the thread lives; a thread that ended between
// the poster's look and its push will never serve the request, so it is
// taken back.
void DeviceThread::waitServed(DeviceRequest &req, plat::CSemaphore &sem)
{
    while (!sem.Lock(50)) {
        if (finished_ && queue_.remove(&req)) {
            req.result = 0;
            return;
        }
    }
}

uint32_t DeviceThread::body(void *self) { return static_cast<DeviceThread *>(self)->run(); }

uint32_t DeviceThread::run()
{
    while (!stop_) {
        ReadTurn r = ReadTurn::Failed;
        try {
            if (client_)
                r = client_->deviceThreadRead(threadNo_);
        } catch (...) {
            // Nothing thrown may end the thread (that would end the process):
            // the turn counts as a failed read.
            ++thrownTurns_;
        }
        if (r == ReadTurn::Failed) {
            // An unplugged adapter fails every read at once: rest instead of
            // spinning a core. Real time on purpose: this is about the CPU.
            ++failedReads_;
            std::this_thread::sleep_for(std::chrono::milliseconds(kFailedReadBackoffMs));
        }
        if (DeviceRequest *req = queue_.pop())
            serve(req);
        ++turns_;
    }
    finished_ = true;
    // Whatever is still queued is answered, so that no poster waits forever.
    while (DeviceRequest *req = queue_.pop()) {
        req->result = 0;
        if (req->done)
            req->done->Unlock();
    }
    return 0;
}

void DeviceThread::serve(DeviceRequest *req)
{
    if (req->kind == DeviceRequest::Quit) {
        stop_ = true;
    } else if (req->kind == DeviceRequest::Write) {
        QUserWinUsb *usb = client_ ? client_->deviceThreadTransport(threadNo_) : nullptr;
        try {
            req->result = usb ? usb->write(req->write.buffer, req->write.length, req->write.pipe) : 0;
        } catch (...) {
            ++thrownTurns_;
            req->result = 0;
        }
    }
    if (req->done)
        req->done->Unlock();
}

} // namespace kemusb
