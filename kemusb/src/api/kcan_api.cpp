// The KCAN_ family: dispatch by device type to the classic path (VCI_), the
// Kvaser path (KVCI_) or the handle path (OCAN_ devices of this library).
// Naming the VCI_/KVCI_ functions outright keeps the classic path in every
// link of the library, static ones included.
#include "kemusb/src/devices/KcanHandleRegistry.h"

#include "kemusb/src/protocol/KemFdProtocol.h"
#include "kemusb/src/devices/KemLibrary.h"
#include "kemusb/src/protocol/KemRecordProtocol.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"
#include "kemusb/include/kcan_api.h"
#include "kemusb/include/ocan_records.h"
#include "kemusb/include/vci_api.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

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

using kemusb::KcanHandleRegistry;
using kemusb::OcanDeviceRegistry;
using kemusb::QDevice;

namespace {

enum class Group { None, Classic, Kvaser, CanFd, Record };

Group groupOf(uint32_t type)
{
    switch (type) {
    case 3:
    case 4:
        return Group::Classic;
    case 63:
    case 68:
    case 69:
    case 70:
    case 71:
    case 72:
    case 73:
        return Group::Kvaser;
    case 61:
    case 62:
        return Group::Record;
    default:
        return kemusb::fd::isCanFdType(type) ? Group::CanFd : Group::None;
    }
}

bool handlePath(Group g) { return g == Group::CanFd || g == Group::Record; }

KcanHandleRegistry &handles() { return KcanHandleRegistry::instance(); }

// The classic adapter's 24-byte frame record: data directly behind the length.
#pragma pack(push, 1)
struct ClassicObj {
    uint32_t ID;
    uint32_t TimeStamp;
    uint8_t TimeFlag;
    uint8_t SendType;
    uint8_t RemoteFlag;
    uint8_t ExternFlag;
    uint8_t DataLen;
    uint8_t Data[8];
    uint8_t Reserved[3];
};
#pragma pack(pop)
static_assert(sizeof(ClassicObj) == 24, "ClassicObj");

void toClassic(const KCAN_CAN_OBJ &in, ClassicObj &out)
{
    out.ID = in.ID;
    out.TimeStamp = in.TimeStamp;
    out.TimeFlag = in.TimeFlag;
    out.SendType = in.SendType;
    out.RemoteFlag = in.RemoteFlag;
    out.ExternFlag = in.ExternFlag;
    out.DataLen = in.DataLen;
    std::memcpy(out.Data, in.Data, 8);
    std::memset(out.Reserved, 0, 3);
}

void fromClassic(const ClassicObj &in, KCAN_CAN_OBJ &out)
{
    out.ID = in.ID;
    out.TimeStamp = in.TimeStamp;
    out.TimeFlag = in.TimeFlag;
    out.SendType = in.SendType;
    out.RemoteFlag = in.RemoteFlag;
    out.ExternFlag = in.ExternFlag;
    out.DataLen = in.DataLen;
    std::memcpy(out.Data, in.Data, 8);
}

uint32_t idWordOf(uint32_t id, uint8_t remote, uint8_t ext)
{
    return id | (remote ? OCAN_ID_REMOTE : 0) | (ext ? OCAN_ID_EXTENDED : 0);
}

void toTx(const KCAN_CAN_OBJ &in, OCAN_CAN_TX &out)
{
    out.IdWord = idWordOf(in.ID, in.RemoteFlag, in.ExternFlag);
    out.Len = in.DataLen;
    std::memset(out.Reserved, 0, 3);
    std::memcpy(out.Data, in.Data, 8);
    out.SendType = in.SendType;
}

void toTxFd(const KCAN_CANFD_OBJ &in, OCAN_CANFD_TX &out)
{
    out.IdWord = idWordOf(in.ID, in.RemoteFlag, in.ExternFlag);
    out.Len = in.DataLen;
    out.Flags = uint8_t(((in.FdFlag & KCAN_FD_FLAG_BRS) ? OCAN_FD_BRS : 0) |
                        ((in.FdFlag & KCAN_FD_FLAG_ESI) ? OCAN_FD_ESI : 0));
    out.Reserved[0] = out.Reserved[1] = 0;
    std::memcpy(out.Data, in.Data, 64);
    out.SendType = in.SendType;
}

// Received records: the time flag and the reserved bytes are not written.
void fromRx(const OCAN_CAN_RX &in, KCAN_CAN_OBJ &out)
{
    out.ID = in.IdWord & OCAN_ID_MASK;
    out.TimeStamp = in.TimeStamp;
    out.SendType = 0;
    out.RemoteFlag = (in.IdWord & OCAN_ID_REMOTE) ? 1 : 0;
    out.ExternFlag = (in.IdWord & OCAN_ID_EXTENDED) ? 1 : 0;
    out.DataLen = in.Len;
    std::memcpy(out.Data, in.Data, 8);
}

void fromRxFd(const OCAN_CANFD_RX &in, KCAN_CANFD_OBJ &out)
{
    out.ID = in.IdWord & OCAN_ID_MASK;
    out.TimeStamp = in.TimeStamp;
    out.FdFlag = uint8_t(((in.Flags & OCAN_FD_BRS) ? KCAN_FD_FLAG_BRS : 0) |
                         ((in.Flags & OCAN_FD_ESI) ? KCAN_FD_FLAG_ESI : 0));
    out.SendType = 0;
    out.RemoteFlag = (in.IdWord & OCAN_ID_REMOTE) ? 1 : 0;
    out.ExternFlag = (in.IdWord & OCAN_ID_EXTENDED) ? 1 : 0;
    out.DataLen = in.Len;
    std::memcpy(out.Data, in.Data, 64);
}

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
// and converts them: the first piece waits as asked, the rest take only what
// is already there.
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

uint32_t recordCmd(uint32_t type, uint32_t index, uint32_t channel, uint32_t command, uint32_t argument, void *filter)
{
    if (groupOf(type) != Group::Record)
        return 0;
    auto d = handles().device(type, index);
    return d ? d->RecordCmdExecute(channel, command, argument, filter) : 0;
}

} // namespace

extern "C" {

KEMUSB_API uint32_t KCAN_OpenDevice(uint32_t type, uint32_t index)
{
    const Group g = groupOf(type);
    if (g == Group::Classic || g == Group::Kvaser) {
        return VCI_OpenDevice(type, index, 0);
    }
    if (!handlePath(g))
        return 0;
    QDevice *dev = OcanDeviceRegistry::instance().open(type, index);
    std::shared_ptr<QDevice> d = OcanDeviceRegistry::instance().find(dev);
    if (!d)
        return 0;
    handles().putDevice(type, index, d);
    return 1;
}

KEMUSB_API uint32_t KCAN_CloseDevice(uint32_t type, uint32_t index)
{
    const Group g = groupOf(type);
    if (g == Group::Classic || g == Group::Kvaser)
        return VCI_CloseDevice(type, index);
    if (!handlePath(g))
        return 0;
    std::shared_ptr<QDevice> d = handles().takeDevice(type, index);
    if (!d)
        return 0;
    OcanDeviceRegistry::instance().close(d.get());
    return 1;
}

KEMUSB_API uint32_t KCAN_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *config)
{
    if (groupOf(type) != Group::Classic || !config)
        return 0;
    const uint32_t r = VCI_InitCAN(type, index, channel, config);
    VCI_StartCAN(type, index, channel);
    return r;
}

KEMUSB_API uint32_t KCAN_InitCANFD(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *cfg)
{
    const Group g = groupOf(type);
    if (g == Group::Kvaser)
        return KVCI_InitCAN(type, index, channel, cfg);
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
    kemusb::OcanChannelHandle *h = OcanDeviceRegistry::instance().initCan(d.get(), channel, &init);
    if (!h)
        return 0;
    const uint32_t r = d->StartCAN(channel);
    if (r == 1)
        handles().putChannel(type, index, channel, h);
    return r;
}

KEMUSB_API uint32_t KCAN_SetFliter(uint32_t type, uint32_t index, uint32_t channel, const KCAN_FLITER_CONFIG *cfg)
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

KEMUSB_API uint32_t KCAN_Start(uint32_t type, uint32_t index, uint32_t channel)
{
    if (groupOf(type) == Group::CanFd) {
        auto d = handles().channel(type, index, channel);
        return d ? d->StartCAN(channel) : 1;
    }
    return VCI_StartCAN(type, index, channel);
}

KEMUSB_API uint32_t KCAN_Stop(uint32_t type, uint32_t index, uint32_t channel)
{
    if (groupOf(type) == Group::CanFd) {
        auto d = handles().channel(type, index, channel);
        return d ? d->ResetCAN(channel) : 1;
    }
    return VCI_ResetCAN(type, index, channel);
}

KEMUSB_API uint32_t KCAN_ClearBuffer(uint32_t type, uint32_t index, uint32_t channel)
{
    switch (groupOf(type)) {
    case Group::Classic:
        return VCI_ClearBuffer(type, index, channel);
    case Group::CanFd: {
        auto d = handles().channel(type, index, channel);
        return d ? d->ClearBuffer(channel) : 0;
    }
    default:
        return 0;
    }
}

KEMUSB_API uint32_t KCAN_GetReceiveNum(uint32_t type, uint32_t index, uint32_t channel, uint8_t kind)
{
    switch (groupOf(type)) {
    case Group::Classic:
    case Group::Kvaser:
        return kind == 0 ? VCI_GetReceiveNum(type, index, channel) : 0;
    case Group::CanFd: {
        auto d = handles().channel(type, index, channel);
        return d ? d->GetReceiveNum(channel, kind) : 0;
    }
    default:
        return 0;
    }
}

KEMUSB_API uint32_t KCAN_Receive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *buf, uint32_t count,
                                 int32_t waitMs)
{
    if (count == 0 || !buf)
        return 0;
    switch (groupOf(type)) {
    case Group::Classic: {
        auto tmp = temp<ClassicObj>(count);
        if (!tmp)
            return 0;
        const uint32_t n =
            VCI_Receive(type, index, channel, reinterpret_cast<VCI_CAN_OBJ *>(tmp.get()), count, waitMs);
        for (uint32_t i = 0; i < n && i < count; ++i)
            fromClassic(tmp[i], buf[i]);
        return n;
    }
    case Group::Kvaser:
        return KVCI_Receive(type, index, channel, buf, count, waitMs);
    case Group::CanFd: {
        auto d = handles().channel(type, index, channel);
        if (!d)
            return 0;
        return receiveChunked<OCAN_CAN_RX>(count, waitMs,
                                           [&](OCAN_CAN_RX *tmp, uint32_t n, int32_t w) {
                                               return d->Receive(channel, tmp, n, w);
                                           },
                                           [&](const OCAN_CAN_RX &in, uint32_t i) { fromRx(in, buf[i]); });
    }
    default:
        return 0;
    }
}

KEMUSB_API uint32_t KCAN_ReceiveFD(uint32_t type, uint32_t index, uint32_t channel, KCAN_CANFD_OBJ *buf,
                                   uint32_t count, int32_t waitMs)
{
    if (count == 0 || !buf || groupOf(type) != Group::CanFd)
        return 0;
    auto d = handles().channel(type, index, channel);
    if (!d)
        return 0;
    return receiveChunked<OCAN_CANFD_RX>(count, waitMs,
                                         [&](OCAN_CANFD_RX *tmp, uint32_t n, int32_t w) {
                                             return d->ReceiveFD(channel, tmp, n, w);
                                         },
                                         [&](const OCAN_CANFD_RX &in, uint32_t i) { fromRxFd(in, buf[i]); });
}

KEMUSB_API uint32_t KCAN_Transmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames,
                                  uint32_t count)
{
    if (count == 0 || !frames)
        return 0;
    switch (groupOf(type)) {
    case Group::Classic: {
        auto tmp = temp<ClassicObj>(count);
        if (!tmp)
            return 0;
        for (uint32_t i = 0; i < count; ++i)
            toClassic(frames[i], tmp[i]);
        return VCI_Transmit(type, index, channel, reinterpret_cast<const VCI_CAN_OBJ *>(tmp.get()), count);
    }
    case Group::Kvaser:
        return KVCI_Transmit(type, index, channel, frames, count);
    case Group::CanFd: {
        auto d = handles().channel(type, index, channel);
        if (!d)
            return 0;
        auto tmp = temp<OCAN_CAN_TX>(count);
        if (!tmp)
            return 0;
        for (uint32_t i = 0; i < count; ++i)
            toTx(frames[i], tmp[i]);
        return d->Transmit(channel, tmp.get(), count);
    }
    default:
        return 0;
    }
}

KEMUSB_API uint32_t KCAN_TransmitFD(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CANFD_OBJ *frames,
                                    uint32_t count)
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
        toTxFd(frames[i], tmp[i]);
    return d->TransmitFD(channel, tmp.get(), count);
}

KEMUSB_API uint32_t KCAN_DataDirectTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len)
{
    const Group g = groupOf(type);
    if (g == Group::Classic)
        return VCI_DevDataTransfer(type, index, buf, len);
    if (!handlePath(g))
        return 0;
    auto d = handles().device(type, index);
    return d ? d->DevDataTransfer(buf, len) : 0;
}

KEMUSB_API uint32_t KCAN_BoardInfoGet(uint32_t type, uint32_t index, void *boardInfo)
{
    if (!handlePath(groupOf(type)))
        return 0;
    auto d = handles().device(type, index);
    return d ? d->BoardInfoGet(boardInfo) : 0;
}

KEMUSB_API uint32_t KCAN_DevChStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b,
                                       uint8_t *c)
{
    return groupOf(type) == Group::Classic ? VCI_DevChStateGet(type, index, channel, a, b, c) : 0;
}

KEMUSB_API uint32_t KCAN_DevRelayStatusSet(uint32_t type, uint32_t index, uint8_t a, uint8_t b)
{
    return groupOf(type) == Group::Classic ? VCI_DevRelayStatusSet(type, index, a, b) : 0;
}

KEMUSB_API uint32_t KCAN_DevRelayStatusGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b)
{
    return groupOf(type) == Group::Classic ? VCI_DevRelayStatusGet(type, index, a, b) : 0;
}

KEMUSB_API uint32_t KCAN_DevBaudParaGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0,
                                        uint8_t *timing1)
{
    return groupOf(type) == Group::Classic ? VCI_DevBaudParaGet(type, index, channel, timing0, timing1) : 0;
}

KEMUSB_API uint32_t KCAN_RecordSettingSet(uint32_t type, uint32_t index, uint32_t channel, void *setting)
{
    if (groupOf(type) != Group::Record)
        return 0;
    auto d = handles().device(type, index);
    return d ? d->RecordSettingSet(channel, setting) : 0;
}

KEMUSB_API uint32_t KCAN_RecordSettingGet(uint32_t type, uint32_t index, uint32_t channel, void *setting)
{
    if (groupOf(type) != Group::Record)
        return 0;
    auto d = handles().device(type, index);
    return d ? d->RecordSettingGet(channel, setting) : 0;
}

KEMUSB_API uint32_t KCAN_RecordCmdExecute(uint32_t type, uint32_t index, uint32_t channel, uint32_t command,
                                          uint32_t argument, void *filter)
{
    return recordCmd(type, index, channel, command, argument, filter);
}

KEMUSB_API uint32_t KCAN_RecordFliterClr(uint32_t type, uint32_t index, uint32_t channel)
{
    return recordCmd(type, index, channel, 0, 0, nullptr);
}

KEMUSB_API uint32_t KCAN_RecordFliterAdd(uint32_t type, uint32_t index, uint32_t channel, void *filter)
{
    return recordCmd(type, index, channel, 1, 0, filter);
}

KEMUSB_API uint32_t KCAN_RecordFliterEnable(uint32_t type, uint32_t index, uint32_t channel)
{
    return recordCmd(type, index, channel, 2, 0, nullptr);
}

KEMUSB_API uint32_t KCAN_RecordFliterDisable(uint32_t type, uint32_t index, uint32_t channel)
{
    return recordCmd(type, index, channel, 3, 0, nullptr);
}

KEMUSB_API uint32_t KCAN_RecordFliterInfoGet(uint32_t type, uint32_t index, uint32_t channel, void *info)
{
    return recordCmd(type, index, channel, 4, 0, info);
}

KEMUSB_API uint32_t KCAN_RecordFliterSettingGet(uint32_t type, uint32_t index, uint32_t channel, uint16_t filterIndex,
                                                void *filter)
{
    if (!filter)
        return 0;
    std::memcpy(static_cast<uint8_t *>(filter) + 12, &filterIndex, 2);
    return recordCmd(type, index, channel, 5, 0, filter);
}

} // extern "C"
