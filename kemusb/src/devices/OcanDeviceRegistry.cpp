#include "kemusb/src/devices/OcanDeviceRegistry.h"

#include "kemusb/src/devices/KemLibrary.h"
#include "kemusb/src/devices/QDeviceCanRecord.h"
#include "kemusb/src/devices/QDeviceUsbCan.h"
#include "kemusb/src/devices/QDeviceUsbCanFd2.h"
#include "kemusb/src/protocol/AdapterModels.h"

#include <array>
#include <mutex>
#include <utility>
#include <vector>

namespace kemusb {

namespace {

using ReadLock = std::shared_lock<std::shared_mutex>;
using WriteLock = std::unique_lock<std::shared_mutex>;

// Device indexes each family has slots for.
constexpr uint32_t kClassicSlots = 16;
constexpr uint32_t kCanFdSlots = 16;
constexpr uint32_t kRecordingSlots = 2;

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

bool OcanDeviceRegistry::hasSlot(uint32_t type, uint32_t index)
{
    const AdapterModel *m = modelForType(type);
    if (!m)
        return false;
    switch (m->family) {
    case AdapterFamily::Classic:
        return index < kClassicSlots;
    case AdapterFamily::CanFd:
        return index < kCanFdSlots;
    case AdapterFamily::Recording:
        return index < kRecordingSlots;
    default:
        return false;
    }
}

QDevice *OcanDeviceRegistry::create(uint32_t type)
{
    const AdapterModel *m = modelForType(type);
    if (!m)
        return nullptr;
    switch (m->family) {
    case AdapterFamily::Classic:
        return new QDeviceUsbCan;
    case AdapterFamily::CanFd:
        return new QDeviceUsbCanFd2;
    case AdapterFamily::Recording:
        return new QDeviceCanRecord;
    default:
        return nullptr;
    }
}

QDevice *OcanDeviceRegistry::open(uint32_t type, uint32_t index)
{
    if (!hasSlot(type, index))
        return nullptr;
    // One open at a time: two opens of one (type, index) made at once would
    // otherwise both reach the adapter, and the second would find it held.
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

// ---- property records --------------------------------------------------------

namespace {

// The CAN FD device types, in the order of the model table.
constexpr size_t kCanFdTypeCount = [] {
    size_t n = 0;
    for (const AdapterModel &m : modelTable())
        n += m.family == AdapterFamily::CanFd ? 1 : 0;
    return n;
}();
constexpr std::array<uint32_t, kCanFdTypeCount> kCanFdTypes = [] {
    std::array<uint32_t, kCanFdTypeCount> t{};
    size_t n = 0;
    for (const AdapterModel &m : modelTable())
        if (m.family == AdapterFamily::CanFd)
            t[n++] = m.type;
    return t;
}();

// Property functions bound to one slot: the CAN FD type at position T of
// kCanFdTypes and device index N, as the slots are keyed. The caller holds
// them as plain C functions: nothing thrown below gets past them.
template<size_t T, uint32_t N>
uint32_t propSetValue(const char *path, const char *value) noexcept
{
    try {
        auto d = OcanDeviceRegistry::instance().at(kCanFdTypes[T], N);
        return d ? d->SetValue(path, value) : 0;
    } catch (...) {
        return 0;
    }
}

template<size_t T, uint32_t N>
const void *propGetValue(const char *path) noexcept
{
    try {
        auto d = OcanDeviceRegistry::instance().at(kCanFdTypes[T], N);
        return d ? d->GetValue(path) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

const char kPropertyTree[] =
    "<info name=\"info\" path=\"/info\">"
    "<device name=\"device\" path=\"/info/device\" text=\"\xE8\xAE\xBE\xE5\xA4\x87\xE7\xB4\xA2\xE5\xBC\x95\" "
    "type=\"options.int32\" readonly=\"false\"/>"
    "<entry>canfd</entry><entry>int32</entry><entry>device_locale_strings.xml</entry><entry>locale</entry>"
    "</info>";

const void *propTree() { return kPropertyTree; }

using SetFn = uint32_t (*)(const char *, const char *);
using GetFn = const void *(*)(const char *);

// One row of bound functions per CAN FD type, one column per device index.
template<size_t T, uint32_t... N>
constexpr std::array<SetFn, sizeof...(N)> setRow(std::integer_sequence<uint32_t, N...>)
{
    return {&propSetValue<T, N>...};
}
template<size_t T, uint32_t... N>
constexpr std::array<GetFn, sizeof...(N)> getRow(std::integer_sequence<uint32_t, N...>)
{
    return {&propGetValue<T, N>...};
}
using Indexes = std::make_integer_sequence<uint32_t, kCanFdSlots>;
template<size_t... T>
constexpr std::array<std::array<SetFn, kCanFdSlots>, sizeof...(T)> setTable(std::index_sequence<T...>)
{
    return {setRow<T>(Indexes{})...};
}
template<size_t... T>
constexpr std::array<std::array<GetFn, kCanFdSlots>, sizeof...(T)> getTable(std::index_sequence<T...>)
{
    return {getRow<T>(Indexes{})...};
}
constexpr auto kPropSet = setTable(std::make_index_sequence<kCanFdTypeCount>{});
constexpr auto kPropGet = getTable(std::make_index_sequence<kCanFdTypeCount>{});

// Position of a CAN FD type in kCanFdTypes; kCanFdTypeCount for another type.
size_t canFdTypePosition(uint32_t type)
{
    for (size_t i = 0; i < kCanFdTypeCount; ++i)
        if (kCanFdTypes[i] == type)
            return i;
    return kCanFdTypeCount;
}

} // namespace

OcanDevProperty *makeDevProperty(const void *dev)
{
    auto d = OcanDeviceRegistry::instance().find(dev);
    if (!d || d->devIndex >= kCanFdSlots)
        return nullptr;
    const size_t t = canFdTypePosition(d->devType);
    if (t == kCanFdTypeCount)
        return nullptr;
    auto *p = new OcanDevProperty;
    p->SetValue = kPropSet[t][d->devIndex];
    p->GetValue = kPropGet[t][d->devIndex];
    p->GetPropertys = &propTree;
    return p;
}

} // namespace kemusb
