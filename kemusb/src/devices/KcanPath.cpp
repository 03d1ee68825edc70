#include "kemusb/src/devices/KcanPath.h"

#include "kemusb/src/devices/KcanHandleRegistry.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"
#include "kemusb/src/devices/VciPath.h"
#include "kemusb/src/protocol/AdapterModels.h"
#include "kemusb/src/protocol/ApiRecords.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace kemusb::kcan {

namespace {

enum class Group { None, Classic, Kvaser, CanFd, Record };

Group groupOf(uint32_t type)
{
    const AdapterModel *m = modelForType(type);
    if (!m)
        return Group::None;
    switch (m->family) {
    case AdapterFamily::Classic:
        return Group::Classic;
    case AdapterFamily::Kvaser:
    case AdapterFamily::KvaserFd:
        return Group::Kvaser;
    case AdapterFamily::CanFd:
        return Group::CanFd;
    case AdapterFamily::Recording:
        return Group::Record;
    }
    return Group::None;
}

bool handlePath(Group g) { return g == Group::CanFd || g == Group::Record; }

KcanHandleRegistry &handles() { return KcanHandleRegistry::instance(); }

template<class T>
std::unique_ptr<T[]> temp(uint32_t count)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

uint32_t setValue(QDevice &d, uint32_t channel, const char *key, const char *value)
{
    char path[64];
    std::snprintf(path, sizeof path, "%u/%s", channel, key);
    return d.SetValue(path, value);
}

uint32_t setNumber(QDevice &d, uint32_t channel, const char *key, uint32_t value)
{
    char v[16];
    std::snprintf(v, sizeof v, "%d", int32_t(value));
    return setValue(d, channel, key, v);
}

uint32_t setHex(QDevice &d, uint32_t channel, const char *key, uint32_t value)
{
    char v[16];
    std::snprintf(v, sizeof v, "0x%08x", value);
    return setValue(d, channel, key, v);
}

// Takes frames from the device in pieces through a small array on the stack
// and converts them, with no allocation per receive: the first piece waits
// as asked, the rest take only what is already there.
template<class Rec, class Take, class Put>
uint32_t receiveChunked(uint32_t count, int32_t waitMs, Take take, Put put)
{
    constexpr uint32_t kPiece = 64;
    Rec tmp[kPiece];
    uint32_t total = 0;
    while (total < count) {
        const uint32_t want = count - total < kPiece ? count - total : kPiece;
        const uint32_t n = take(tmp, want, total == 0 ? waitMs : 0);
        for (uint32_t i = 0; i < n; ++i)
            put(tmp[i], total + i);
        total += n;
        if (n < want)
            break;
    }
    return total;
}

} // namespace

uint32_t openFailure(uint32_t type)
{
    const Group g = groupOf(type);
    return g == Group::Classic || g == Group::Kvaser ? vci::openFailure(type) : 0;
}

uint32_t openDevice(uint32_t type, uint32_t index)
{
    const Group g = groupOf(type);
    if (g == Group::Classic || g == Group::Kvaser)
        return vci::openDevice(type, index);
    if (!handlePath(g))
        return 0;
    QDevice *dev = OcanDeviceRegistry::instance().open(type, index);
    std::shared_ptr<QDevice> d = OcanDeviceRegistry::instance().find(dev);
    if (!d)
        return 0;
    handles().putDevice(type, index, d);
    return 1;
}

uint32_t closeDevice(uint32_t type, uint32_t index)
{
    const Group g = groupOf(type);
    if (g == Group::Classic || g == Group::Kvaser)
        return vci::closeDevice(type, index);
    if (!handlePath(g))
        return 0;
    std::shared_ptr<QDevice> d = handles().takeDevice(type, index);
    if (!d)
        return 0;
    OcanDeviceRegistry::instance().close(d.get());
    return 1;
}

uint32_t initCan(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *config)
{
    if (groupOf(type) != Group::Classic || !config)
        return 0;
    const uint32_t r = vci::initCan(type, index, channel, config);
    vci::startCan(type, index, channel);
    return r;
}

uint32_t initCanFd(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *cfg)
{
    const Group g = groupOf(type);
    if (g == Group::Kvaser)
        return vci::kvciInitCan(type, index, channel, cfg);
    if (g != Group::CanFd || !cfg)
        return 0;
    std::shared_ptr<QDevice> d = handles().device(type, index);
    if (!d)
        return 0;
    OCAN_INIT_CONFIG init;
    std::memset(&init, 0, sizeof init);
    init.CanType = 1;
    init.fd.Mode = cfg->Mode;
    if (cfg->FdEnable) {
        if (setNumber(*d, channel, "canfd_standard", cfg->Standard) != 1)
            return 0;
        if (cfg->ArbBaud || cfg->DataBaud) {
            if (setNumber(*d, channel, "canfd_abit_baud_rate", cfg->ArbBaud) != 1 ||
                setNumber(*d, channel, "canfd_dbit_baud_rate", cfg->DataBaud) != 1)
                return 0;
        } else {
            init.fd.ArbTiming = cfg->ArbTiming;
            init.fd.DataTiming = cfg->DataTiming;
        }
    } else if (cfg->ArbBaud) {
        // A classic channel: the data phase runs at the arbitration rate.
        if (setNumber(*d, channel, "canfd_abit_baud_rate", cfg->ArbBaud) != 1 ||
            setNumber(*d, channel, "canfd_dbit_baud_rate", cfg->ArbBaud) != 1)
            return 0;
    } else {
        init.fd.ArbTiming = cfg->ArbTiming;
        init.fd.DataTiming = cfg->ArbTiming;
    }
    OcanChannelHandle *h = OcanDeviceRegistry::instance().initCan(d.get(), channel, &init);
    if (!h)
        return 0;
    const uint32_t r = d->StartCAN(channel);
    if (r == 1)
        handles().putChannel(type, index, channel, h);
    return r;
}

uint32_t setFilter(uint32_t type, uint32_t index, uint32_t channel, const KCAN_FLITER_CONFIG *cfg)
{
    if (!handlePath(groupOf(type)))
        return 0;
    std::shared_ptr<QDevice> d = handles().device(type, index);
    if (!d)
        return 0;
    if (!cfg)
        return 1;
    switch (cfg->Kind) {
    case KCAN_FLITER_CLEAR:
        setValue(*d, channel, "filter_clear", "0");
        break;
    case KCAN_FLITER_ADD:
        if (setNumber(*d, channel, "filter_mode", cfg->Mode) == 1 &&
            setHex(*d, channel, "filter_start", cfg->Start) == 1)
            setHex(*d, channel, "filter_end", cfg->End);
        break;
    case KCAN_FLITER_ACK:
        setValue(*d, channel, "filter_ack", "0");
        break;
    default:
        break;
    }
    return 1;
}

uint32_t start(uint32_t type, uint32_t index, uint32_t channel)
{
    if (groupOf(type) == Group::CanFd) {
        auto d = handles().channel(type, index, channel);
        return d ? d->StartCAN(channel) : 1;
    }
    return vci::startCan(type, index, channel);
}

uint32_t stop(uint32_t type, uint32_t index, uint32_t channel)
{
    if (groupOf(type) == Group::CanFd) {
        auto d = handles().channel(type, index, channel);
        return d ? d->ResetCAN(channel) : 1;
    }
    return vci::resetCan(type, index, channel);
}

uint32_t clearBuffer(uint32_t type, uint32_t index, uint32_t channel)
{
    switch (groupOf(type)) {
    case Group::Classic:
        return vci::clearBuffer(type, index, channel);
    case Group::CanFd: {
        auto d = handles().channel(type, index, channel);
        return d ? d->ClearBuffer(channel) : 0;
    }
    default:
        return 0;
    }
}

uint32_t receiveNum(uint32_t type, uint32_t index, uint32_t channel, uint8_t kind)
{
    switch (groupOf(type)) {
    case Group::Classic:
    case Group::Kvaser:
        return kind == 0 ? vci::receiveNum(type, index, channel) : 0;
    case Group::CanFd: {
        auto d = handles().channel(type, index, channel);
        return d ? d->GetReceiveNum(channel, kind) : 0;
    }
    default:
        return 0;
    }
}

uint32_t receive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *buf, uint32_t count, int32_t waitMs)
{
    if (count == 0 || !buf)
        return 0;
    switch (groupOf(type)) {
    case Group::Classic: {
        auto tmp = temp<VCI_CAN_OBJ>(count);
        if (!tmp)
            return 0;
        const uint32_t n = vci::receive(type, index, channel, tmp.get(), count, waitMs);
        for (uint32_t i = 0; i < n && i < count; ++i)
            fromVci(tmp[i], buf[i]);
        return n;
    }
    case Group::Kvaser:
        return vci::kvciReceive(type, index, channel, buf, count, waitMs);
    case Group::CanFd: {
        auto d = handles().channel(type, index, channel);
        if (!d)
            return 0;
        return receiveChunked<OCAN_CAN_RX>(
            count, waitMs, [&](OCAN_CAN_RX *tmp, uint32_t n, int32_t w) { return d->Receive(channel, tmp, n, w); },
            [&](const OCAN_CAN_RX &in, uint32_t i) { fromOcanRx(in, buf[i]); });
    }
    default:
        return 0;
    }
}

uint32_t receiveFd(uint32_t type, uint32_t index, uint32_t channel, KCAN_CANFD_OBJ *buf, uint32_t count,
                   int32_t waitMs)
{
    if (count == 0 || !buf || groupOf(type) != Group::CanFd)
        return 0;
    auto d = handles().channel(type, index, channel);
    if (!d)
        return 0;
    return receiveChunked<OCAN_CANFD_RX>(
        count, waitMs, [&](OCAN_CANFD_RX *tmp, uint32_t n, int32_t w) { return d->ReceiveFD(channel, tmp, n, w); },
        [&](const OCAN_CANFD_RX &in, uint32_t i) { fromOcanRxFd(in, buf[i]); });
}

uint32_t transmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames, uint32_t count)
{
    if (count == 0 || !frames)
        return 0;
    switch (groupOf(type)) {
    case Group::Classic: {
        auto tmp = temp<VCI_CAN_OBJ>(count);
        if (!tmp)
            return 0;
        for (uint32_t i = 0; i < count; ++i)
            toVci(frames[i], tmp[i]);
        return vci::transmit(type, index, channel, tmp.get(), count);
    }
    case Group::Kvaser:
        return vci::kvciTransmit(type, index, channel, frames, count);
    case Group::CanFd: {
        auto d = handles().channel(type, index, channel);
        if (!d)
            return 0;
        auto tmp = temp<OCAN_CAN_TX>(count);
        if (!tmp)
            return 0;
        for (uint32_t i = 0; i < count; ++i)
            toOcanTx(frames[i], tmp[i]);
        return d->Transmit(channel, tmp.get(), count);
    }
    default:
        return 0;
    }
}

uint32_t transmitFd(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CANFD_OBJ *frames, uint32_t count)
{
    if (count == 0 || !frames || groupOf(type) != Group::CanFd)
        return 0;
    auto d = handles().channel(type, index, channel);
    if (!d)
        return 0;
    auto tmp = temp<OCAN_CANFD_TX>(count);
    if (!tmp)
        return 0;
    for (uint32_t i = 0; i < count; ++i)
        toOcanTxFd(frames[i], tmp[i]);
    return d->TransmitFD(channel, tmp.get(), count);
}

uint32_t dataTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len)
{
    const Group g = groupOf(type);
    if (g == Group::Classic)
        return vci::dataTransfer(type, index, buf, len);
    if (!handlePath(g))
        return 0;
    auto d = handles().device(type, index);
    return d ? d->DevDataTransfer(buf, len) : 0;
}

uint32_t boardInfoGet(uint32_t type, uint32_t index, void *boardInfo)
{
    if (!handlePath(groupOf(type)))
        return 0;
    auto d = handles().device(type, index);
    return d ? d->BoardInfoGet(boardInfo) : 0;
}

uint32_t channelStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b, uint8_t *c)
{
    return groupOf(type) == Group::Classic ? vci::channelStateGet(type, index, channel, a, b, c) : 0;
}

uint32_t relaySet(uint32_t type, uint32_t index, uint8_t a, uint8_t b)
{
    return groupOf(type) == Group::Classic ? vci::relaySet(type, index, a, b) : 0;
}

uint32_t relayGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b)
{
    return groupOf(type) == Group::Classic ? vci::relayGet(type, index, a, b) : 0;
}

uint32_t busTimingGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0, uint8_t *timing1)
{
    return groupOf(type) == Group::Classic ? vci::busTimingGet(type, index, channel, timing0, timing1) : 0;
}

uint32_t recordSettingSet(uint32_t type, uint32_t index, uint32_t channel, void *setting)
{
    if (groupOf(type) != Group::Record)
        return 0;
    auto d = handles().device(type, index);
    return d ? d->RecordSettingSet(channel, setting) : 0;
}

uint32_t recordSettingGet(uint32_t type, uint32_t index, uint32_t channel, void *setting)
{
    if (groupOf(type) != Group::Record)
        return 0;
    auto d = handles().device(type, index);
    return d ? d->RecordSettingGet(channel, setting) : 0;
}

uint32_t recordCommand(uint32_t type, uint32_t index, uint32_t channel, uint32_t command, uint32_t argument,
                       void *filter)
{
    if (groupOf(type) != Group::Record)
        return 0;
    auto d = handles().device(type, index);
    return d ? d->RecordCmdExecute(channel, command, argument, filter) : 0;
}

uint32_t adapterGone(uint32_t type, uint32_t index)
{
    const Group g = groupOf(type);
    if (g == Group::Classic || g == Group::Kvaser)
        return vci::adapterGone(type, index);
    if (!handlePath(g))
        return 0;
    auto d = handles().device(type, index);
    return d && d->adapterGone() ? 1 : 0;
}

uint32_t recordFilterEntry(uint32_t type, uint32_t index, uint32_t channel, uint16_t filterIndex, void *filter)
{
    if (!filter)
        return 0;
    std::memcpy(static_cast<uint8_t *>(filter) + 12, &filterIndex, 2);
    return recordCommand(type, index, channel, 5, 0, filter);
}

} // namespace kemusb::kcan
