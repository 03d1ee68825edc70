#include "kemusb/src/devices/OcanDeviceRegistry.h"

#include "kemusb/src/protocol/KemFdProtocol.h"
#include "kemusb/src/devices/KemLibrary.h"
#include "kemusb/src/protocol/KemRecordProtocol.h"
#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/devices/QDeviceCanRecord.h"
#include "kemusb/src/devices/QDeviceUsbCanFd2.h"
#include "kemusb/include/kemusb_export.h"
#include "kemusb/include/ocan_records.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace kemusb {

namespace {

using ReadLock = std::shared_lock<std::shared_mutex>;
using WriteLock = std::unique_lock<std::shared_mutex>;

// Both live in the library's own static storage and go with it when it is
// unloaded (kept on the heap they would be lost at every unload).
OcanDeviceRegistry::Factory &classicFactory()
{
    static OcanDeviceRegistry::Factory f;
    return f;
}

std::mutex &factoryMutex()
{
    static std::mutex m;
    return m;
}

} // namespace

OcanDeviceRegistry &OcanDeviceRegistry::instance()
{
    static OcanDeviceRegistry *r = [] {
        auto *reg = new OcanDeviceRegistry; // never destroyed: the shutdown hook empties it
        addShutdownHook([reg] { reg->closeAll(); });
        return reg;
    }();
    return *r;
}

void OcanDeviceRegistry::setClassicFactory(Factory f)
{
    std::lock_guard<std::mutex> g(factoryMutex());
    classicFactory() = std::move(f);
}

bool OcanDeviceRegistry::hasSlot(uint32_t type, uint32_t index)
{
    if (type == 3 || type == 4)
        return index < 16;
    if (kemusb::fd::isCanFdType(type))
        return index <= 15;
    if (kemusb::record::isRecordType(type))
        return index < 2;
    return false;
}

QDevice *OcanDeviceRegistry::create(uint32_t type) const
{
    if (type == 3 || type == 4) {
        std::lock_guard<std::mutex> g(factoryMutex());
        return classicFactory() ? classicFactory()() : nullptr;
    }
    if (kemusb::fd::isCanFdType(type))
        return new QDeviceUsbCanFd2;
    if (kemusb::record::isRecordType(type))
        return new QDeviceCanRecord;
    return nullptr;
}

QDevice *OcanDeviceRegistry::open(uint32_t type, uint32_t index)
{
    if (!hasSlot(type, index))
        return nullptr;
    kemusb::sim::registerAdapterModels(); // the simulated back end offers our adapters
    // Opens are made one at a time, so that two opens of one (type, index)
    // cannot both reach the adapter.
    static std::mutex openMutex;
    std::lock_guard<std::mutex> og(openMutex);
    if (auto existing = at(type, index))
        return existing.get();
    std::shared_ptr<QDevice> dev(create(type));
    if (!dev || dev->Open(type, index) != 1)
        return nullptr;
    dev->devType = type;
    dev->devIndex = index;
    WriteLock g(m_);
    slots_[{type, index}] = dev;
    return dev.get();
}

uint32_t OcanDeviceRegistry::close(const void *dev)
{
    std::shared_ptr<QDevice> d;
    {
        WriteLock g(m_);
        for (auto it = slots_.begin(); it != slots_.end(); ++it) {
            if (it->second.get() == dev) {
                d = it->second;
                slots_.erase(it);
                break;
            }
        }
        if (!d)
            return 0;
        for (auto it = channels_.begin(); it != channels_.end();) {
            auto owner = it->second.lock();
            if (!owner || owner == d)
                it = channels_.erase(it);
            else
                ++it;
        }
    }
    d->Close();
    return 1; // the object goes with the last caller that still uses it
}

void OcanDeviceRegistry::closeAll()
{
    std::vector<std::shared_ptr<QDevice>> all;
    {
        WriteLock g(m_);
        for (auto &kv : slots_)
            all.push_back(kv.second);
        slots_.clear();
        channels_.clear();
    }
    for (auto &d : all)
        d->Close();
}

std::shared_ptr<QDevice> OcanDeviceRegistry::find(const void *dev) const
{
    if (!dev)
        return nullptr;
    ReadLock g(m_);
    for (auto &kv : slots_)
        if (kv.second.get() == dev)
            return kv.second;
    return nullptr;
}

std::shared_ptr<QDevice> OcanDeviceRegistry::at(uint32_t type, uint32_t index) const
{
    ReadLock g(m_);
    auto it = slots_.find({type, index});
    return it == slots_.end() ? nullptr : it->second;
}

std::shared_ptr<QDevice> OcanDeviceRegistry::canFdAt(uint32_t index) const
{
    ReadLock g(m_);
    for (auto &kv : slots_)
        if (kemusb::fd::isCanFdType(kv.first.first) && kv.first.second == index)
            return kv.second;
    return nullptr;
}

OcanChannelHandle *OcanDeviceRegistry::initCan(const void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init)
{
    std::shared_ptr<QDevice> d = find(dev);
    if (!d)
        return nullptr;
    OcanChannelHandle *h = d->InitCAN(channel, init);
    if (h) {
        WriteLock g(m_);
        channels_[h] = d;
    }
    return h;
}

std::shared_ptr<QDevice> OcanDeviceRegistry::fromChannel(const void *handle, uint32_t *channel) const
{
    if (!handle)
        return nullptr;
    ReadLock g(m_);
    auto it = channels_.find(static_cast<const OcanChannelHandle *>(handle));
    if (it == channels_.end())
        return nullptr;
    std::shared_ptr<QDevice> d = it->second.lock();
    if (d)
        *channel = it->first->channel;
    return d;
}

} // namespace kemusb

// ---- the OCAN_ and OCLOUD_ families -----------------------------------------

using kemusb::OcanDeviceRegistry;

namespace {

OcanDeviceRegistry &reg() { return OcanDeviceRegistry::instance(); }

template<class F>
uint32_t onChannel(void *handle, F f)
{
    uint32_t ch = 0;
    auto d = reg().fromChannel(handle, &ch);
    return d ? f(*d, ch) : 0;
}

template<class F>
uint32_t onDevice(void *dev, F f)
{
    auto d = reg().find(dev);
    return d ? f(*d) : 0;
}

// Property functions bound to the n-th CAN FD adapter.
template<int N>
uint32_t KEMUSB_CALL propSetValue(const char *path, const char *value)
{
    auto d = reg().canFdAt(N);
    return d ? d->SetValue(path, value) : 0;
}

template<int N>
const void *KEMUSB_CALL propGetValue(const char *path)
{
    auto d = reg().canFdAt(N);
    return d ? d->GetValue(path) : nullptr;
}

const char kPropertyTree[] =
    "<info name=\"info\" path=\"/info\">"
    "<device name=\"device\" path=\"/info/device\" text=\"\xE8\xAE\xBE\xE5\xA4\x87\xE7\xB4\xA2\xE5\xBC\x95\" "
    "type=\"options.int32\" readonly=\"false\"/>"
    "<entry>canfd</entry><entry>int32</entry><entry>device_locale_strings.xml</entry><entry>locale</entry>"
    "</info>";

const void *KEMUSB_CALL propTree() { return kPropertyTree; }

template<int... I>
struct PropTable {
    static constexpr uint32_t (*set[])(const char *, const char *) = {&propSetValue<I>...};
    static constexpr const void *(*get[])(const char *) = {&propGetValue<I>...};
};
using Props = PropTable<0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15>;

struct UserRecord {
    char name[32];
    uint32_t reserved[8];
};
UserRecord g_user = {"kemusb", {}};

} // namespace

extern "C" {

struct OCAN_DEV_PROPERTY {
    uint32_t(KEMUSB_CALL *SetValue)(const char *path, const char *value);
    const void *(KEMUSB_CALL *GetValue)(const char *path);
    const void *(KEMUSB_CALL *GetPropertys)();
};

KEMUSB_API void *KEMUSB_CALL OCAN_OpenDevice(uint32_t type, uint32_t index, uint32_t)
{
    return reg().open(type, index);
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_CloseDevice(void *dev) { return reg().close(dev); }

KEMUSB_API uint32_t KEMUSB_CALL OCAN_GetDeviceInf(void *dev, OCAN_DEVICE_INFO *info)
{
    return onDevice(dev, [&](kemusb::QDevice &d) { return d.GetDeviceInf(info); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_IsDeviceOnLine(void *dev)
{
    return onDevice(dev, [&](kemusb::QDevice &d) { return d.IsDeviceOnLine(); });
}

KEMUSB_API void *KEMUSB_CALL OCAN_InitCAN(void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init)
{
    return reg().initCan(dev, channel, init);
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_StartCAN(void *ch)
{
    return onChannel(ch, [](kemusb::QDevice &d, uint32_t c) { return d.StartCAN(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ResetCAN(void *ch)
{
    return onChannel(ch, [](kemusb::QDevice &d, uint32_t c) { return d.ResetCAN(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ClearBuffer(void *ch)
{
    return onChannel(ch, [](kemusb::QDevice &d, uint32_t c) { return d.ClearBuffer(c); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_GetReceiveNum(void *ch, uint8_t kind)
{
    return onChannel(ch, [&](kemusb::QDevice &d, uint32_t c) { return d.GetReceiveNum(c, kind); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_Transmit(void *ch, const OCAN_CAN_TX *frames, uint32_t count)
{
    return onChannel(ch, [&](kemusb::QDevice &d, uint32_t c) { return d.Transmit(c, frames, count); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_TransmitFD(void *ch, const OCAN_CANFD_TX *frames, uint32_t count)
{
    return onChannel(ch, [&](kemusb::QDevice &d, uint32_t c) { return d.TransmitFD(c, frames, count); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_Receive(void *ch, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs)
{
    return onChannel(ch, [&](kemusb::QDevice &d, uint32_t c) { return d.Receive(c, frames, count, waitMs); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReceiveFD(void *ch, OCAN_CANFD_RX *frames, uint32_t count, int32_t waitMs)
{
    return onChannel(ch, [&](kemusb::QDevice &d, uint32_t c) { return d.ReceiveFD(c, frames, count, waitMs); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReadChannelErrInfo(void *ch, OCAN_ERR_INFO *info)
{
    return onChannel(ch, [&](kemusb::QDevice &d, uint32_t c) { return d.ReadChannelErrInfo(c, info); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReadChannelStatus(void *ch, OCAN_CAN_STATUS *status)
{
    return onChannel(ch, [&](kemusb::QDevice &d, uint32_t c) { return d.ReadChannelStatus(c, status); });
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_SetValue(void *dev, const char *path, const char *value)
{
    return onDevice(dev, [&](kemusb::QDevice &d) { return d.SetValue(path, value); });
}

KEMUSB_API const void *KEMUSB_CALL OCAN_GetValue(void *dev, const char *path)
{
    auto d = reg().find(dev);
    return d ? d->GetValue(path) : nullptr;
}

KEMUSB_API uint32_t KEMUSB_CALL OCAN_DevDataTransfer(void *dev, uint8_t *buf, int32_t len)
{
    return onDevice(dev, [&](kemusb::QDevice &d) { return d.DevDataTransfer(buf, len); });
}

// The LIN functions belong to an adapter this library does not drive.
KEMUSB_API uint32_t KEMUSB_CALL OCAN_InitLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_StartLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_ResetLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_TransmitLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_GetLINReceiveNum() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_ReceiveLIN() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_SetLINSlaveMsg() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCAN_ClearLINSlaveMsg() { return 0; }

KEMUSB_API void KEMUSB_CALL OCLOUD_SetServerInfo() {}
KEMUSB_API uint32_t KEMUSB_CALL OCLOUD_ConnectServer() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCLOUD_DisconnectServer() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCLOUD_ReceiveGPS() { return 0; }
KEMUSB_API uint32_t KEMUSB_CALL OCLOUD_IsConnected() { return 1; }
KEMUSB_API void *KEMUSB_CALL OCLOUD_GetUserData() { return &g_user; }

KEMUSB_API OCAN_DEV_PROPERTY *KEMUSB_CALL GetDevProperty(void *dev)
{
    auto d = reg().find(dev);
    if (!d || !kemusb::fd::isCanFdType(d->devType) || d->devIndex > 15)
        return nullptr;
    auto *p = new OCAN_DEV_PROPERTY;
    p->SetValue = Props::set[d->devIndex];
    p->GetValue = Props::get[d->devIndex];
    p->GetPropertys = &propTree;
    return p;
}

KEMUSB_API uint32_t KEMUSB_CALL ReleaseDevProperty(OCAN_DEV_PROPERTY *p)
{
    delete p;
    return 1;
}

} // extern "C"
