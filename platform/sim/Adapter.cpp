#include "platform/sim/Adapter.h"

#include "platform/PlatSpin.h"
#include "platform/PlatTicks.h"
#include "platform/sim/World.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <mutex>

namespace plat::sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// Read-out transfer buffers an endpoint keeps for reuse: the largest kept,
// and the room all of them may take together. Without the bounds, a stream
// queued far ahead of its reader would keep every buffer it ever used.
constexpr size_t kSpareBytes = 16384;
constexpr size_t kSpareBudget = size_t(2) << 20;

// Tries of a reader at the world lock before it sleeps on it.
constexpr int kReadSpins = 1000;

} // namespace

Adapter::Adapter(World &w, const ModelInfo &info, int index, int uid, std::string alias)
    : world_(w), info_(info), index_(index), uid_(uid), alias_(std::move(alias))
{
    model_ = info_.create ? info_.create() : nullptr;
    if (!model_)
        model_.reset(new DeviceModel);
    model_->adapter_ = this;
    for (int i = 0; i < info_.channels; ++i) {
        channels_.emplace_back(new Channel);
        channels_.back()->adapter_ = this;
        channels_.back()->index_ = i;
        channels_.back()->bus_ = alias_;
    }
    for (const EndpointSpec &e : info_.endpoints)
        if (e.address & 0x80)
            in_[e.address].maxPacket = e.maxPacket ? e.maxPacket : 64;
}

std::string Adapter::path() const { return usbInterfacePath(info_.vid, info_.pid, "sim" + std::to_string(uid_)); }

Channel &Adapter::channel(int i) { return *channels_.at(size_t(i)); }

bool Adapter::dead(uint64_t gen) const { return !plugged_ || gen != gen_; }

void Adapter::enqueue(InQueue &iq, Bytes &&data, bool terminate)
{
    Transfer t;
    const size_t n = data.size();
    t.endsRead = n == 0 || n % iq.maxPacket != 0 || terminate;
    t.terminate = terminate;
    t.data = std::move(data);
    t.delayed = iq.faults.delayMs > 0;
    if (!t.delayed && iq.delayedQueued == 0) {
        // Every queued transfer was due when queued, so this one goes last;
        // its time only has to keep the queue in order, and the clock is
        // not read.
        t.dueUs = iq.q.empty() ? 0 : iq.q.back().dueUs;
        iq.q.push_back(std::move(t));
        return;
    }
    if (t.delayed)
        ++iq.delayedQueued;
    t.dueUs = TickMicros() + uint64_t(iq.faults.delayMs) * 1000;
    // In order of arrival time; equal times keep the order of pushing.
    auto pos = iq.q.end();
    while (pos != iq.q.begin() && std::prev(pos)->dueUs > t.dueUs)
        --pos;
    iq.q.insert(pos, std::move(t));
}

void Adapter::push(uint8_t ep, const uint8_t *data, size_t len, bool terminate)
{
    push(ep, Bytes(data, data + len), terminate);
}

void Adapter::push(uint8_t ep, const Bytes &data, bool terminate)
{
    Guard g(world_.m_);
    auto it = in_.find(ep);
    if (it == in_.end() || !plugged_)
        return;
    InQueue &iq = it->second;
    InFaults &f = iq.faults;
    if (f.dropNext > 0) {
        --f.dropNext;
        return;
    }
    // A buffer of a transfer already read, when there is one: the stream
    // endpoints carry a transfer per frame, and an allocation each (freed by
    // the reading thread) would cost more than the frame itself.
    Bytes bytes;
    if (!iq.spare.empty()) {
        bytes.swap(iq.spare.back());
        iq.spare.pop_back();
        iq.spareBytes -= bytes.capacity();
        bytes.clear();
    }
    bytes.reserve(f.garbage.size() + data.size());
    bytes.insert(bytes.end(), f.garbage.begin(), f.garbage.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    if (f.truncateNextTo >= 0) {
        if (bytes.size() > size_t(f.truncateNextTo))
            bytes.resize(size_t(f.truncateNextTo));
        f.truncateNextTo = -1;
    }
    if (f.split.empty()) {
        enqueue(iq, std::move(bytes), terminate);
    } else {
        size_t off = 0;
        while (off < bytes.size()) {
            size_t piece = f.split[iq.splitTurn++ % f.split.size()];
            if (piece == 0)
                piece = 1;
            piece = std::min(piece, bytes.size() - off);
            enqueue(iq, Bytes(bytes.begin() + off, bytes.begin() + off + piece), true);
            off += piece;
        }
    }
    world_.cv_.notify_all();
}

bool Adapter::editLastUnreadWith(uint8_t ep, size_t maxSize, bool (*fn)(void *, Bytes &), void *ctx)
{
    Guard g(world_.m_);
    auto it = in_.find(ep);
    if (it == in_.end() || !plugged_)
        return false;
    InQueue &iq = it->second;
    const InFaults &f = iq.faults;
    // Faults act on whole pushes (each split, delayed, prefixed or dropped
    // on its own): growing a transfer behind them would change what a test
    // set them up to show.
    if (f.dropNext > 0 || f.delayMs > 0 || f.truncateNextTo >= 0 || !f.split.empty() || !f.garbage.empty() ||
        f.failReads > 0)
        return false;
    if (iq.q.empty() || iq.delayedQueued > 0)
        return false;
    Transfer &t = iq.q.back();
    // A transfer the host has begun to read is on its way: it never changes.
    if (t.off != 0 || t.delayed || t.data.size() >= maxSize)
        return false;
    if (!fn(ctx, t.data))
        return false;
    assert(t.data.size() <= maxSize);
    const size_t n = t.data.size();
    t.endsRead = n == 0 || n % iq.maxPacket != 0 || t.terminate;
    // No wake-up: a reader that saw this transfer queued has been woken
    // by its push already.
    return true;
}

size_t Adapter::pendingTransfers(uint8_t ep)
{
    Guard g(world_.m_);
    auto it = in_.find(ep);
    return it == in_.end() ? 0 : it->second.q.size();
}

size_t Adapter::pendingBytes(uint8_t ep)
{
    Guard g(world_.m_);
    auto it = in_.find(ep);
    if (it == in_.end())
        return 0;
    size_t n = 0;
    for (const Transfer &t : it->second.q)
        n += t.data.size() - t.off;
    return n;
}

void Adapter::clearIn(uint8_t ep)
{
    Guard g(world_.m_);
    auto it = in_.find(ep);
    if (it != in_.end()) {
        it->second.q.clear();
        it->second.delayedQueued = 0;
    }
}

InFaults &Adapter::inFaults(uint8_t ep)
{
    Guard g(world_.m_);
    auto it = in_.find(ep);
    if (it == in_.end()) {
        static InFaults none;
        none = InFaults();
        return none;
    }
    return it->second.faults;
}

void Adapter::failWrites(int n)
{
    Guard g(world_.m_);
    failWrites_ = n;
}

void Adapter::setBusy(bool busy)
{
    Guard g(world_.m_);
    busy_ = busy;
}

void Adapter::setOpenFails(bool fail)
{
    Guard g(world_.m_);
    openFails_ = fail;
}

void Adapter::unplug()
{
    Guard g(world_.m_);
    plugged_ = false;
    open_ = false;
    ++gen_;
    for (auto &kv : in_) {
        kv.second.q.clear();
        kv.second.delayedQueued = 0;
    }
    for (auto &c : channels_)
        c->started_ = false;
    world_.cv_.notify_all();
}

void Adapter::replug()
{
    Guard g(world_.m_);
    plugged_ = true;
}

bool Adapter::isOpen()
{
    Guard g(world_.m_);
    return open_;
}

bool Adapter::isPlugged()
{
    Guard g(world_.m_);
    return plugged_;
}

std::vector<OutRecord> Adapter::outLog()
{
    Guard g(world_.m_);
    return log_;
}

void Adapter::clearOutLog()
{
    Guard g(world_.m_);
    log_.clear();
}

uint32_t Adapter::stampUs(int bits)
{
    uint64_t us = TickMicros();
    if (bits >= 32)
        return uint32_t(us);
    return uint32_t(us & ((uint64_t(1) << bits) - 1));
}

UsbStatus Adapter::read(uint8_t ep, uint8_t *buf, uint32_t len, uint32_t timeoutMs, uint32_t *got, uint64_t gen)
{
    *got = 0;
    // A reader on a busy stream meets the lock held by whoever feeds the
    // bus, for a few frames at a time: it waits for it on the core for a
    // while before it sleeps, since a sleep and a wake-up each way cost more
    // than such a turn.
    std::unique_lock<std::recursive_mutex> lk = lockSpinningFirst(world_.m_, kReadSpins);
    if (dead(gen))
        return UsbStatus::Error;
    auto it = in_.find(ep);
    if (it == in_.end())
        return UsbStatus::Error;
    InQueue &iq = it->second;
    if (iq.faults.failReads > 0) {
        --iq.faults.failReads;
        return UsbStatus::Error;
    }
    uint32_t n = 0;
    bool done = len == 0;
    auto fill = [&] {
        // Only a delayed transfer needs the clock: any other was due when
        // it was queued.
        uint64_t now = 0;
        bool haveNow = false;
        while (!done && !iq.q.empty()) {
            Transfer &t = iq.q.front();
            if (t.delayed) {
                if (!haveNow) {
                    now = TickMicros();
                    haveNow = true;
                }
                if (t.dueUs > now)
                    break;
            }
            size_t take = std::min<size_t>(len - n, t.data.size() - t.off);
            if (take)
                std::memcpy(buf + n, t.data.data() + t.off, take);
            t.off += take;
            n += uint32_t(take);
            if (t.off == t.data.size()) {
                const bool ends = t.endsRead;
                const size_t cap = t.data.capacity();
                if (cap <= kSpareBytes && iq.spareBytes + cap <= kSpareBudget) {
                    iq.spareBytes += cap;
                    iq.spare.push_back(std::move(t.data));
                }
                if (t.delayed)
                    --iq.delayedQueued;
                iq.q.pop_front();
                if (ends)
                    done = true;
            } else {
                done = true; // the buffer is full; the rest stays
            }
            if (n == len)
                done = true;
        }
    };
    auto pred = [&] {
        if (dead(gen))
            return true;
        world_.poll();
        if (dead(gen)) // unplugged by what the poll ran (a control line)
            return true;
        fill();
        return done;
    };
    auto next = [&]() -> uint64_t {
        uint64_t ev = world_.nextEventMs();
        if (!iq.q.empty())
            ev = std::min(ev, (iq.q.front().dueUs + 999) / 1000);
        return ev;
    };
    // Data already there is taken without setting up a wait.
    if (!pred())
        WaitTicks(world_.cv_, lk, timeoutMs == 0 ? INFINITE : timeoutMs, pred, next);
    *got = n;
    if (dead(gen))
        return UsbStatus::Error;
    return done ? UsbStatus::Ok : UsbStatus::Timeout;
}

UsbStatus Adapter::write(uint8_t ep, const uint8_t *buf, uint32_t len, uint32_t *written, uint64_t gen)
{
    *written = 0;
    Guard g(world_.m_);
    if (dead(gen))
        return UsbStatus::Error;
    bool isOut = false;
    for (const EndpointSpec &e : info_.endpoints)
        isOut = isOut || (e.address == ep && !(ep & 0x80));
    if (!isOut)
        return UsbStatus::Error;
    if (failWrites_ > 0) {
        --failWrites_;
        return UsbStatus::Error;
    }
    world_.poll();
    Bytes data(buf, buf + len);
    log_.push_back({ep, data, GetTickCount64()});
    model_->onOut(ep, data);
    *written = len;
    world_.cv_.notify_all();
    return UsbStatus::Ok;
}

} // namespace plat::sim
