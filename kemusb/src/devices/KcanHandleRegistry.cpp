#include "kemusb/src/devices/KcanHandleRegistry.h"

#include "kemusb/src/devices/KemLibrary.h"

namespace kemusb {

KcanHandleRegistry &KcanHandleRegistry::instance()
{
    static KcanHandleRegistry *r = [] {
        auto *reg = new KcanHandleRegistry;
        addShutdownHook([reg] { reg->clear(); });
        return reg;
    }();
    return *r;
}

void KcanHandleRegistry::putDevice(uint32_t type, uint32_t index, std::shared_ptr<QDevice> dev)
{
    std::unique_lock<std::shared_mutex> g(m_);
    Entry &e = entries_[{type, index}];
    if (e.dev != dev)
        e.channels.clear();
    e.dev = std::move(dev);
}

std::shared_ptr<QDevice> KcanHandleRegistry::takeDevice(uint32_t type, uint32_t index)
{
    std::unique_lock<std::shared_mutex> g(m_);
    auto it = entries_.find({type, index});
    if (it == entries_.end())
        return nullptr;
    std::shared_ptr<QDevice> d = std::move(it->second.dev);
    entries_.erase(it);
    return d;
}

void KcanHandleRegistry::putChannel(uint32_t type, uint32_t index, uint32_t channel, OcanChannelHandle *h)
{
    std::unique_lock<std::shared_mutex> g(m_);
    auto it = entries_.find({type, index});
    if (it != entries_.end())
        it->second.channels[channel] = h;
}

std::shared_ptr<QDevice> KcanHandleRegistry::device(uint32_t type, uint32_t index) const
{
    std::shared_lock<std::shared_mutex> g(m_);
    auto it = entries_.find({type, index});
    return it == entries_.end() ? nullptr : it->second.dev;
}

std::shared_ptr<QDevice> KcanHandleRegistry::channel(uint32_t type, uint32_t index, uint32_t channel) const
{
    std::shared_lock<std::shared_mutex> g(m_);
    auto it = entries_.find({type, index});
    if (it == entries_.end() || !it->second.channels.count(channel))
        return nullptr;
    return it->second.dev;
}

void KcanHandleRegistry::clear()
{
    std::unique_lock<std::shared_mutex> g(m_);
    entries_.clear();
}

} // namespace kemusb
