#include "platform/sim/Bus.h"

#include "platform/PlatTicks.h"
#include "platform/sim/Adapter.h"
#include "platform/sim/World.h"

#include <mutex>

namespace plat::sim {

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;
} // namespace

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

} // namespace plat::sim
