#include "kemusb/src/devices/VciDeviceRegistry.h"

#include "kemusb/src/devices/KemLibrary.h"
#include "kemusb/src/devices/QDeviceKvaser.h"

#include <vector>

namespace kemusb {

VciDeviceRegistry &VciDeviceRegistry::instance()
{
    static VciDeviceRegistry *r = [] {
        auto *reg = new VciDeviceRegistry; // never destroyed: the shutdown hook empties it
        addShutdownHook([reg] { reg->closeAll(); });
        return reg;
    }();
    return *r;
}

std::map<uint32_t, std::shared_ptr<QDevice>> *VciDeviceRegistry::kvaserMap(uint32_t type)
{
    if (isFamily(type, AdapterFamily::Kvaser))
        return &kvaser_;
    if (isFamily(type, AdapterFamily::KvaserFd))
        return &kvaserFd_;
    return nullptr;
}

uint32_t VciDeviceRegistry::open(uint32_t type, uint32_t index)
{
    // One open at a time: two opens of one (type, index) made at once would
    // otherwise both reach the adapter, and the second would find it held.
    static std::mutex openMutex;
    std::lock_guard<std::mutex> og(openMutex);
    const AdapterModel *model = modelForType(type);
    if (isClassicType(type)) {
        {
            std::lock_guard<std::mutex> g(m_);
            if (classic_.count({type, index}))
                return 0;
        }
        auto dev = std::make_shared<UsbCanClassicDevice>();
        if (!dev->open(model->vid, model->pid, index)) {
            dev->close();
            return kOpenFailed;
        }
        std::lock_guard<std::mutex> g(m_);
        classic_[{type, index}] = dev;
        return 0;
    }
    if (auto *m = kvaserMap(type)) {
        {
            std::lock_guard<std::mutex> g(m_);
            if (m->count(index))
                return 0;
        }
        std::shared_ptr<QDevice> dev;
        if (model->family == AdapterFamily::KvaserFd)
            dev = std::make_shared<QDeviceKvaserProFD>();
        else
            dev = std::make_shared<QDeviceKvaser>();
        if (dev->Open(type, index) == 0)
            return kOpenFailed;
        dev->devType = type;
        dev->devIndex = index;
        std::lock_guard<std::mutex> g(m_);
        (*m)[index] = dev;
        return 0;
    }
    return kOpenFailed; // types 20 and 21 (and anything else asked of us)
}

uint32_t VciDeviceRegistry::close(uint32_t type, uint32_t index)
{
    if (isClassicType(type)) {
        std::shared_ptr<UsbCanClassicDevice> d;
        {
            std::lock_guard<std::mutex> g(m_);
            auto it = classic_.find({type, index});
            if (it == classic_.end())
                return 0;
            d = it->second;
            classic_.erase(it);
        }
        d->close();
        return 1;
    }
    if (auto *m = kvaserMap(type)) {
        std::shared_ptr<QDevice> d;
        {
            std::lock_guard<std::mutex> g(m_);
            auto it = m->find(index);
            if (it == m->end())
                return 0;
            d = it->second;
            m->erase(it);
        }
        d->Close();
        return 1;
    }
    return 0;
}

void VciDeviceRegistry::closeAll()
{
    std::vector<std::shared_ptr<UsbCanClassicDevice>> cls;
    std::vector<std::shared_ptr<QDevice>> kv;
    {
        std::lock_guard<std::mutex> g(m_);
        for (auto &e : classic_)
            cls.push_back(e.second);
        classic_.clear();
        for (auto *m : {&kvaser_, &kvaserFd_}) {
            for (auto &e : *m)
                kv.push_back(e.second);
            m->clear();
        }
    }
    for (auto &d : cls)
        d->close();
    for (auto &d : kv)
        d->Close();
}

std::shared_ptr<UsbCanClassicDevice> VciDeviceRegistry::classic(uint32_t type, uint32_t index) const
{
    std::lock_guard<std::mutex> g(m_);
    auto it = classic_.find({type, index});
    return it == classic_.end() ? nullptr : it->second;
}

std::shared_ptr<QDevice> VciDeviceRegistry::kvaser(uint32_t type, uint32_t index) const
{
    std::lock_guard<std::mutex> g(m_);
    const auto *m = isFamily(type, AdapterFamily::Kvaser)     ? &kvaser_
                    : isFamily(type, AdapterFamily::KvaserFd) ? &kvaserFd_
                                                              : nullptr;
    if (!m)
        return nullptr;
    auto it = m->find(index);
    return it == m->end() ? nullptr : it->second;
}

} // namespace kemusb
