#include "PlatSim.h"
#include "sim/SimCanopenNode.h"

#include "PlatGlobals.h"
#include "PlatTicks.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace plat::sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// Read-out transfer buffers an endpoint keeps for reuse: the largest kept,
// and the room all of them may take together.
constexpr size_t kSpareBytes = 16384;
constexpr size_t kSpareBudget = size_t(2) << 20;

// Tries of a reader at the world lock before it sleeps on it.
constexpr int kReadSpins = 1000;

inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

std::mutex g_modelMutex;
std::map<uint32_t, ModelInfo> *g_models = nullptr; // guarded by g_modelMutex
World *g_world = nullptr;
std::mutex g_worldMutex;
// Adapters of an earlier topology that a transport handle still points at.
std::vector<std::unique_ptr<Adapter>> *g_retiredAdapters = nullptr; // under the world lock

void releaseSimState()
{
    {
        std::lock_guard<std::mutex> g(g_worldMutex);
        delete g_world;
        g_world = nullptr;
        delete g_retiredAdapters;
        g_retiredAdapters = nullptr;
    }
    std::lock_guard<std::mutex> g(g_modelMutex);
    delete g_models;
    g_models = nullptr;
}

std::map<uint32_t, ModelInfo> &modelTable() // g_modelMutex held
{
    if (!g_models) {
        g_models = new std::map<uint32_t, ModelInfo>;
        atRelease(&releaseSimState);
    }
    return *g_models;
}

uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void put32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace

// ---------------------------------------------------------------------------
// Models

void registerModel(const ModelInfo &info)
{
    std::lock_guard<std::mutex> g(g_modelMutex);
    modelTable()[uint32_t(info.vid) << 16 | info.pid] = info;
}

std::vector<ModelInfo> registeredModels()
{
    std::lock_guard<std::mutex> g(g_modelMutex);
    std::vector<ModelInfo> out;
    for (auto &kv : modelTable())
        out.push_back(kv.second);
    return out;
}

void DeviceModel::onOut(uint8_t ep, const Bytes &data)
{
    auto it = handlers_.find(ep);
    if (it != handlers_.end() && it->second)
        it->second(data);
}

// ---------------------------------------------------------------------------
// Channel

std::string Channel::busName()
{
    Guard g(adapter_->world_.m_);
    return bus_;
}

void Channel::setBitRate(uint32_t nominal, uint32_t data)
{
    Guard g(adapter_->world_.m_);
    nominal_ = nominal;
    data_ = data;
    error_ = false;
}

uint32_t Channel::nominalRate()
{
    Guard g(adapter_->world_.m_);
    return nominal_;
}

uint32_t Channel::dataRate()
{
    Guard g(adapter_->world_.m_);
    return data_;
}

void Channel::setListenOnly(bool on)
{
    Guard g(adapter_->world_.m_);
    listenOnly_ = on;
}

bool Channel::listenOnly()
{
    Guard g(adapter_->world_.m_);
    return listenOnly_;
}

void Channel::start()
{
    Guard g(adapter_->world_.m_);
    started_ = true;
    error_ = false;
}

void Channel::stop()
{
    Guard g(adapter_->world_.m_);
    started_ = false;
}

bool Channel::started()
{
    Guard g(adapter_->world_.m_);
    return started_;
}

bool Channel::errorState()
{
    Guard g(adapter_->world_.m_);
    return error_;
}

void Channel::clearError()
{
    Guard g(adapter_->world_.m_);
    error_ = false;
}

bool Channel::transmit(const CanFrame &frame)
{
    World &w = adapter_->world_;
    Guard g(w.m_);
    bool ok = w.bus(bus_).carry(this, frame);
    w.cv_.notify_all();
    return ok;
}

uint64_t Channel::rxCount()
{
    Guard g(adapter_->world_.m_);
    return rx_;
}

uint64_t Channel::txCount()
{
    Guard g(adapter_->world_.m_);
    return tx_;
}

// ---------------------------------------------------------------------------
// Adapter

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
    std::unique_lock<std::recursive_mutex> lk(world_.m_, std::defer_lock);
    for (int i = 0; i < kReadSpins && !lk.try_lock(); ++i)
        cpuRelax();
    if (!lk.owns_lock())
        lk.lock();
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

// ---------------------------------------------------------------------------
// Bus and nodes

PeriodicNode::PeriodicNode(const CanFrame &frame, uint32_t periodMs, uint64_t count, const FrameChanges &changes)
    : frame_(frame), period_(periodMs ? periodMs : 1), count_(count), next_(GetTickCount64() + period_),
      changes_(changes), noise_(frame.id * 2654435761u + 0x9E3779B9u)
{
    if (noise_ == 0)
        noise_ = 1;
}

void PeriodicNode::tick(Bus &bus, uint64_t nowMs)
{
    while (next_ <= nowMs && (count_ == 0 || sent_ < count_)) {
        if (changes_.counter >= 0 && changes_.counter < frame_.len)
            frame_.data[changes_.counter] = uint8_t(sent_);
        for (int i = changes_.varyFrom; i >= 0 && i <= changes_.varyTo && i < frame_.len; ++i) {
            noise_ ^= noise_ << 13;
            noise_ ^= noise_ >> 17;
            noise_ ^= noise_ << 5;
            frame_.data[i] = uint8_t(noise_ >> 24);
        }
        bus.inject(frame_);
        ++sent_;
        next_ += period_;
    }
    if (count_ && sent_ >= count_)
        next_ = UINT64_MAX;
}

AnswerNode::AnswerNode(uint32_t requestId, bool requestExt, const CanFrame &reply)
    : reqId_(requestId), reqExt_(requestExt), reply_(reply)
{
}

void AnswerNode::onFrame(Bus &bus, const CanFrame &frame)
{
    if (frame.id != reqId_ || frame.ext != reqExt_)
        return;
    ++answered_;
    bus.inject(reply_);
}

void Bus::setRates(uint32_t nominal, uint32_t data)
{
    Guard g(world_.m_);
    nominal_ = nominal;
    data_ = data;
}

BusNode *Bus::addNode(std::unique_ptr<BusNode> node)
{
    Guard g(world_.m_);
    nodes_.push_back(std::move(node));
    world_.cv_.notify_all();
    return nodes_.back().get();
}

size_t Bus::nodeCount()
{
    Guard g(world_.m_);
    return nodes_.size();
}

BusNode *Bus::node(size_t i)
{
    Guard g(world_.m_);
    return i < nodes_.size() ? nodes_[i].get() : nullptr;
}

std::vector<Channel *> Bus::members()
{
    Guard g(world_.m_);
    std::vector<Channel *> out;
    for (auto &a : world_.adapters_)
        for (auto &c : a->channels_)
            if (c->bus_ == name_)
                out.push_back(c.get());
    return out;
}

bool Bus::carry(Channel *from, const CanFrame &frame)
{
    if (!from->started_ || from->listenOnly_ || !from->adapter_->plugged_)
        return false;
    const uint32_t nominal = nominal_ ? nominal_ : from->nominal_;
    const uint32_t data = data_ ? data_ : from->data_;
    if (from->nominal_ != nominal || (frame.fd && (from->data_ == 0 || (frame.brs && from->data_ != data)))) {
        from->error_ = true;
        return false;
    }
    ++from->tx_;
    deliver(from, nominal, data, frame);
    return true;
}

void Bus::inject(const CanFrame &frame)
{
    Guard g(world_.m_);
    deliver(nullptr, nominal_, data_, frame);
    world_.cv_.notify_all();
}

void Bus::deliver(Channel *from, uint32_t nominal, uint32_t data, const CanFrame &frame)
{
    ++frames_;
    // The members, walked in place: a list made per frame costs more than
    // the delivery. By index and up to the adapters there at the start, so
    // that model code adding to the lists as a frame goes by cannot pull them
    // from under the walk.
    const size_t adapters = world_.adapters_.size();
    for (size_t ai = 0; ai < adapters; ++ai) {
        const size_t channels = world_.adapters_[ai]->channels_.size();
        for (size_t ci = 0; ci < channels; ++ci) {
            Channel *ch = world_.adapters_[ai]->channels_[ci].get();
            if (ch->bus_ != name_ || ch == from || !ch->started_ || !ch->adapter_->plugged_)
                continue;
            bool ok = nominal == 0 || ch->nominal_ == nominal;
            if (ok && frame.fd)
                ok = ch->data_ != 0 && (!frame.brs || data == 0 || ch->data_ == data);
            if (!ok) {
                ch->error_ = true;
                continue;
            }
            ++ch->rx_;
            ch->adapter_->model_->onBusFrame(ch->index_, frame);
        }
    }
    if (depth_ < 4) {
        ++depth_;
        for (auto &n : nodes_)
            n->onFrame(*this, frame);
        --depth_;
    }
}

// ---------------------------------------------------------------------------
// World

World &World::instance()
{
    std::lock_guard<std::mutex> g(g_worldMutex);
    if (!g_world) {
        g_world = new World; // not a static object: device threads may outlive those
        g_retiredAdapters = new std::vector<std::unique_ptr<Adapter>>;
        atRelease(&releaseSimState);
    }
    return *g_world;
}

World::World() { registerEchoModel(); }

void World::reset()
{
    Guard g(m_);
    for (auto &a : adapters_) {
        a->unplug();
        // A handle (and a read waiting on it) may still point at the adapter.
        if (a->handles_ > 0)
            g_retiredAdapters->push_back(std::move(a));
    }
    adapters_.clear();
    buses_.clear();
    configured_ = true;
    cv_.notify_all();
}

void World::loadDefault()
{
    Guard g(m_);
    reset();
    for (const ModelInfo &m : registeredModels())
        addAdapter(m.name);
}

Adapter *World::addAdapter(const std::string &model, const std::string &alias)
{
    Guard g(m_);
    configured_ = true;
    std::vector<ModelInfo> models = registeredModels();
    const ModelInfo *found = nullptr;
    for (const ModelInfo &m : models)
        if (m.name == model)
            found = &m;
    unsigned v = 0, p = 0;
    char tail = 0;
    if (!found && std::sscanf(model.c_str(), "%x:%x%c", &v, &p, &tail) == 2) {
        for (const ModelInfo &m : models)
            if (m.vid == v && m.pid == p)
                found = &m;
    }
    if (!found)
        return nullptr;
    int index = 0;
    for (auto &a : adapters_)
        if (a->vid() == found->vid && a->pid() == found->pid)
            ++index;
    std::string name = alias.empty() ? found->name + "." + std::to_string(index) : alias;
    adapters_.emplace_back(new Adapter(*this, *found, index, nextUid_++, name));
    return adapters_.back().get();
}

Adapter *World::adapter(uint16_t vid, uint16_t pid, int index)
{
    Guard g(m_);
    for (auto &a : adapters_)
        if (a->vid() == vid && a->pid() == pid && a->index() == index)
            return a.get();
    return nullptr;
}

Adapter *World::adapterByAlias(const std::string &alias)
{
    Guard g(m_);
    for (auto &a : adapters_)
        if (a->alias() == alias)
            return a.get();
    return nullptr;
}

Adapter *World::adapterByUid(int uid)
{
    Guard g(m_);
    for (auto &a : adapters_)
        if (a->uid_ == uid)
            return a.get();
    return nullptr;
}

std::vector<Adapter *> World::adapters()
{
    Guard g(m_);
    std::vector<Adapter *> out;
    for (auto &a : adapters_)
        out.push_back(a.get());
    return out;
}

Bus &World::bus(const std::string &name)
{
    Guard g(m_);
    auto &slot = buses_[name];
    if (!slot)
        slot.reset(new Bus(*this, name));
    return *slot;
}

void World::attach(Adapter &a, int channel, const std::string &busName)
{
    Guard g(m_);
    bus(busName);
    a.channel(channel).bus_ = busName;
}

void World::poll()
{
    Guard g(m_);
    if (polling_)
        return;
    // Nothing scheduled (no bus node, no model timer): no clock to read.
    bool scheduled = false;
    for (auto &kv : buses_)
        scheduled = scheduled || !kv.second->nodes_.empty();
    for (auto &a : adapters_)
        scheduled = scheduled || (a->plugged_ && a->model_->nextTickMs() != UINT64_MAX);
    if (!scheduled)
        return;
    polling_ = true;
    const uint64_t now = GetTickCount64();
    for (auto &kv : buses_)
        for (size_t i = 0; i < kv.second->nodes_.size(); ++i)
            if (kv.second->nodes_[i]->nextDueMs() <= now)
                kv.second->nodes_[i]->tick(*kv.second, now);
    for (auto &a : adapters_)
        if (a->plugged_ && a->model_->nextTickMs() <= now)
            a->model_->onTick(now);
    polling_ = false;
}

uint64_t World::nextEventMs()
{
    Guard g(m_);
    uint64_t ev = UINT64_MAX;
    for (auto &kv : buses_)
        for (auto &n : kv.second->nodes_)
            ev = std::min(ev, n->nextDueMs());
    for (auto &a : adapters_)
        if (a->plugged_)
            ev = std::min(ev, a->model_->nextTickMs());
    return ev;
}

void World::ensureConfigured()
{
    Guard g(m_);
    if (configured_)
        return;
    const char *cfg = std::getenv("KEMUSB_SIM_CONFIG");
    if (cfg && *cfg) {
        std::string err;
        if (loadConfigFile(cfg, &err))
            return;
        std::fprintf(stderr, "kemusb sim: %s: %s; using the default adapters\n", cfg, err.c_str());
    }
    loadDefault();
}

void World::reconfigureFromEnvironment()
{
    Guard g(m_);
    reset();
    configured_ = false;
    ensureConfigured();
}

namespace {

bool parseUint(const std::string &s, uint64_t *out)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    unsigned long long v = std::strtoull(s.c_str(), &end, 0);
    if (!end || *end)
        return false;
    *out = v;
    return true;
}

bool parseHex(const std::string &s, uint64_t *out)
{
    std::string t = s;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t = t.substr(2);
    if (t.empty() || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    *out = std::strtoull(t.c_str(), nullptr, 16);
    return true;
}

bool parseBytes(const std::string &s, CanFrame *f)
{
    std::string hex;
    for (char c : s)
        if (c != ',' && c != ':' && c != '.')
            hex += c;
    if (hex.size() % 2 || hex.size() / 2 > 64 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    f->len = uint8_t(hex.size() / 2);
    for (size_t i = 0; i < f->len; ++i)
        f->data[i] = uint8_t(std::strtoul(hex.substr(2 * i, 2).c_str(), nullptr, 16));
    return true;
}

} // namespace

bool World::loadConfig(const std::string &text, std::string *error)
{
    Guard g(m_);
    reset();
    struct Attach
    {
        std::string alias;
        int ch;
        std::string bus;
    };
    std::vector<Attach> attaches;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string &msg) {
        if (error)
            *error = "line " + std::to_string(lineNo) + ": " + msg;
        reset();
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::istringstream ls(line);
        std::vector<std::string> words;
        std::map<std::string, std::string> kv;
        for (std::string w; ls >> w;) {
            size_t eq = w.find('=');
            if (eq != std::string::npos)
                kv[w.substr(0, eq)] = w.substr(eq + 1);
            else
                words.push_back(w);
        }
        if (words.empty())
            continue;
        const std::string &what = words[0];
        auto flag = [&](const char *k) { return kv.count(k) && kv[k] != "0"; };
        if (what == "bus") {
            if (words.size() != 2)
                return fail("bus needs a name");
            uint64_t nominal = 0, data = 0;
            if ((kv.count("nominal") && !parseUint(kv["nominal"], &nominal)) ||
                (kv.count("data") && !parseUint(kv["data"], &data)))
                return fail("bad rate");
            bus(words[1]).setRates(uint32_t(nominal), uint32_t(data));
        } else if (what == "adapter") {
            if (words.size() != 2)
                return fail("adapter needs a model");
            Adapter *a = addAdapter(words[1], kv.count("name") ? kv["name"] : std::string());
            if (!a)
                return fail("unknown model " + words[1]);
            a->busy_ = flag("busy");
            a->openFails_ = flag("openfail");
        } else if (what == "attach") {
            uint64_t ch = 0;
            if (words.size() != 4 || !parseUint(words[2], &ch))
                return fail("attach ALIAS CHANNEL BUS");
            attaches.push_back({words[1], int(ch), words[3]});
        } else if (what == "periodic" || what == "answer") {
            if (words.size() != 2)
                return fail(what + " needs a bus");
            CanFrame f;
            uint64_t id = 0;
            if (!kv.count("id") || !parseHex(kv["id"], &id))
                return fail("bad id");
            f.id = uint32_t(id);
            f.ext = flag("ext");
            f.rtr = flag("rtr");
            f.fd = flag("fd");
            f.brs = flag("brs");
            if (kv.count("data") && !parseBytes(kv["data"], &f))
                return fail("bad data");
            if (!f.fd && f.len > 8)
                return fail("classic frame longer than 8 bytes");
            if (what == "periodic") {
                uint64_t period = 0, count = 0;
                if (!kv.count("period") || !parseUint(kv["period"], &period) || period == 0)
                    return fail("bad period");
                if (kv.count("count") && !parseUint(kv["count"], &count))
                    return fail("bad count");
                FrameChanges changes;
                if (kv.count("counter")) {
                    uint64_t at = 0;
                    if (!parseUint(kv["counter"], &at) || at >= f.len)
                        return fail("counter outside the data");
                    changes.counter = int(at);
                }
                if (kv.count("vary")) {
                    const std::string &v = kv["vary"];
                    const size_t dash = v.find('-');
                    uint64_t from = 0, to = 0;
                    if (dash == std::string::npos || !parseUint(v.substr(0, dash), &from) ||
                        !parseUint(v.substr(dash + 1), &to) || from > to || to >= f.len)
                        return fail("vary outside the data");
                    changes.varyFrom = int(from);
                    changes.varyTo = int(to);
                }
                bus(words[1]).addNode(
                    std::unique_ptr<BusNode>(new PeriodicNode(f, uint32_t(period), count, changes)));
            } else {
                uint64_t req = 0;
                if (!kv.count("request") || !parseHex(kv["request"], &req))
                    return fail("bad request");
                bus(words[1]).addNode(std::unique_ptr<BusNode>(new AnswerNode(uint32_t(req), flag("request_ext"), f)));
            }
        } else if (what == "canopen") {
            uint64_t id = 0;
            if (words.size() != 2 || !kv.count("node") || !parseUint(kv["node"], &id) || id < 1 || id > 127)
                return fail("canopen BUS node=1..127 eds=PATH");
            auto node = std::make_unique<CanopenNode>(uint8_t(id));
            std::string why;
            if (!kv.count("eds") || !node->loadEds(kv["eds"], &why))
                return fail("canopen: " + (why.empty() ? std::string("no eds") : why));
            bus(words[1]).addNode(std::move(node));
        } else {
            return fail("unknown statement " + what);
        }
    }
    for (const Attach &at : attaches) {
        Adapter *a = adapterByAlias(at.alias);
        if (!a)
            return fail("attach: no adapter " + at.alias);
        if (at.ch < 0 || at.ch >= a->channelCount())
            return fail("attach: no channel " + std::to_string(at.ch) + " on " + at.alias);
        attach(*a, at.ch, at.bus);
    }
    return true;
}

bool World::loadConfigFile(const std::string &path, std::string *error)
{
    std::ifstream f(path);
    if (!f) {
        if (error)
            *error = "cannot read the file";
        Guard g(m_);
        reset();
        return false;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    return loadConfig(ss.str(), error);
}

// ---------------------------------------------------------------------------
// Echo adapter

namespace {

class EchoModel final : public DeviceModel
{
public:
    EchoModel()
    {
        handleOut(0x01, [this](const Bytes &b) { command(b); });
        handleOut(0x02, [this](const Bytes &b) { transmit(b); });
    }

    void onBusFrame(int ch, const CanFrame &f) override
    {
        Bytes r(20, 0);
        r[0] = uint8_t(ch);
        r[1] = uint8_t((f.ext ? 1 : 0) | (f.rtr ? 2 : 0));
        r[2] = f.len;
        put32(&r[4], f.id);
        put32(&r[8], adapter().stampUs(32));
        std::memcpy(&r[12], f.data, std::min<size_t>(f.len, 8));
        adapter().push(0x83, r);
    }

private:
    void command(const Bytes &b)
    {
        adapter().push(0x81, b);
        if (b.size() < 3 || b[0] != 0xEC || b[2] >= adapter().channelCount())
            return;
        Channel &c = adapter().channel(b[2]);
        switch (b[1]) {
        case 1:
            if (b.size() >= 7)
                c.setBitRate(le32(&b[3]), b.size() >= 11 ? le32(&b[7]) : 0);
            break;
        case 2:
            c.start();
            break;
        case 3:
            c.stop();
            break;
        case 4:
            c.setListenOnly(b.size() >= 4 && b[3]);
            break;
        default:
            break;
        }
    }

    void transmit(const Bytes &b)
    {
        int n = 0;
        for (size_t off = 0; off + 16 <= b.size(); off += 16) {
            const uint8_t *r = &b[off];
            if (r[0] >= adapter().channelCount())
                continue;
            CanFrame f;
            f.ext = r[1] & 1;
            f.rtr = r[1] & 2;
            f.len = std::min<uint8_t>(r[2], 8);
            f.id = le32(r + 4);
            std::memcpy(f.data, r + 8, 8);
            if (adapter().channel(r[0]).transmit(f))
                ++n;
        }
        adapter().push(0x82, Bytes{0xAC, uint8_t(n)});
    }
};

} // namespace

void registerEchoModel()
{
    ModelInfo m;
    m.name = "ECHO";
    m.vid = kEchoVid;
    m.pid = kEchoPid;
    m.channels = 2;
    m.endpoints = {{0x01, UsbdPipeTypeBulk, 64},  {0x81, UsbdPipeTypeBulk, 64}, {0x02, UsbdPipeTypeBulk, 512},
                   {0x82, UsbdPipeTypeBulk, 64},  {0x83, UsbdPipeTypeBulk, 512}};
    m.create = [] { return std::unique_ptr<DeviceModel>(new EchoModel); };
    registerModel(m);
}

// ---------------------------------------------------------------------------
// Back end

namespace {

class SimDevice final : public UsbDevice
{
public:
    SimDevice(Adapter *a, uint64_t gen) : a_(a), gen_(gen) {}

    ~SimDevice() override
    {
        World &w = World::instance();
        Guard g(w.lock());
        if (a_->isPlugged() && a_->isOpen() && !closedByGen())
            closeAdapter();
        dropHandle();
    }

    std::vector<UsbPipeInfo> queryPipes() override
    {
        std::vector<UsbPipeInfo> out;
        for (const EndpointSpec &e : a_->endpoints()) {
            UsbPipeInfo p;
            p.pipeType = e.type;
            p.pipeId = e.address;
            p.maximumPacketSize = e.maxPacket;
            out.push_back(p);
        }
        return out;
    }

    bool setPipeTimeout(uint8_t pipeId, uint32_t ms) override
    {
        for (const EndpointSpec &e : a_->endpoints())
            if (e.address == pipeId) {
                std::lock_guard<std::mutex> g(m_);
                timeouts_[pipeId] = ms;
                return true;
            }
        return false;
    }

    UsbStatus writePipe(uint8_t pipeId, const uint8_t *buf, uint32_t len, uint32_t *written) override
    {
        return a_->write(pipeId, buf, len, written, gen_);
    }

    UsbStatus readPipe(uint8_t pipeId, uint8_t *buf, uint32_t len, uint32_t *read) override
    {
        uint32_t t = 0;
        {
            std::lock_guard<std::mutex> g(m_);
            auto it = timeouts_.find(pipeId);
            if (it != timeouts_.end())
                t = it->second;
        }
        return a_->read(pipeId, buf, len, t, read, gen_);
    }

private:
    bool closedByGen();
    void closeAdapter();
    void dropHandle();

    Adapter *a_;
    uint64_t gen_;
    std::mutex m_;
    std::map<uint8_t, uint32_t> timeouts_;
};

class SimBackend final : public UsbBackend
{
public:
    const char *name() const override { return "sim"; }

    std::vector<std::string> devicePaths() override
    {
        World &w = World::instance();
        Guard g(w.lock());
        w.ensureConfigured();
        std::vector<std::string> out;
        for (Adapter *a : w.adapters())
            if (a->isPlugged())
                out.push_back(a->path());
        return out;
    }

    std::unique_ptr<UsbDevice> open(const std::string &path) override;
};

} // namespace

// Friends of Adapter reach its open state through these two.
struct SimAccess
{
    static bool tryOpen(Adapter *a, uint64_t *gen)
    {
        if (!a->plugged_ || a->busy_ || a->openFails_ || a->open_)
            return false;
        a->open_ = true;
        ++a->handles_;
        *gen = a->gen_;
        a->model_->onOpen();
        return true;
    }
    static bool stale(Adapter *a, uint64_t gen) { return a->gen_ != gen; }
    static void drop(Adapter *a) { --a->handles_; }
    static void close(Adapter *a)
    {
        a->open_ = false;
        a->model_->onClose();
    }
};

bool SimDevice::closedByGen() { return SimAccess::stale(a_, gen_); }
void SimDevice::closeAdapter() { SimAccess::close(a_); }
void SimDevice::dropHandle() { SimAccess::drop(a_); }

std::unique_ptr<UsbDevice> SimBackend::open(const std::string &path)
{
    World &w = World::instance();
    Guard g(w.lock());
    w.ensureConfigured();
    for (Adapter *a : w.adapters()) {
        if (a->path() != path)
            continue;
        uint64_t gen = 0;
        if (!SimAccess::tryOpen(a, &gen))
            return nullptr;
        return std::unique_ptr<UsbDevice>(new SimDevice(a, gen));
    }
    return nullptr;
}

std::shared_ptr<UsbBackend> makeSimBackend() { return std::make_shared<SimBackend>(); }

} // namespace plat::sim
