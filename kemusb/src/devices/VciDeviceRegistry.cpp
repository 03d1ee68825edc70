// The classic path: VciDeviceRegistry, the VCI_ and KVCI_ families and the
// handle path's forwarding object for types 3 and 4.
#include "kemusb/src/devices/VciDeviceRegistry.h"

#include "kemusb/src/protocol/KemKvaserProtocol.h"
#include "kemusb/src/devices/KemLibrary.h"
#include "kemusb/src/sim/KemSimClassic.h"
#include "kemusb/src/devices/OcanDeviceRegistry.h"
#include "platform/PlatTicks.h"
#include "kemusb/src/devices/QDeviceKvaser.h"
#include "kemusb/include/vci_api.h"

#include <cstring>
#include <vector>

namespace kemusb {

static_assert(sizeof(VCI_CAN_OBJ) == sizeof(kemusb::classic::ClassicRecord), "classic record");

bool VciDeviceRegistry::isKvaserType(uint32_t type)
{
    return kemusb::kvaser::is20Type(type) || kemusb::kvaser::isProFdType(type);
}

VciDeviceRegistry &VciDeviceRegistry::instance()
{
    static VciDeviceRegistry *r = [] {
        auto *reg = new VciDeviceRegistry; // never destroyed: the shutdown hook empties it
        addShutdownHook([reg] { reg->closeAll(); });
        installClassicForwarding();
        return reg;
    }();
    return *r;
}

std::map<uint32_t, std::shared_ptr<UsbCanClassicDevice>> *VciDeviceRegistry::classicMap(uint32_t type)
{
    return type == 3 ? &type3_ : type == 4 ? &type4_ : nullptr;
}

std::map<uint32_t, std::shared_ptr<QDevice>> *VciDeviceRegistry::kvaserMap(uint32_t type)
{
    if (kemusb::kvaser::is20Type(type))
        return &kvaser_;
    if (kemusb::kvaser::isProFdType(type))
        return &kvaserFd_;
    return nullptr;
}

uint32_t VciDeviceRegistry::open(uint32_t type, uint32_t index)
{
    kemusb::sim::registerClassicModels(); // the simulated back end offers these adapters
    // Opens are made one at a time, so two opens of one (type, index) cannot
    // both reach the adapter.
    static std::mutex openMutex;
    std::lock_guard<std::mutex> og(openMutex);
    if (auto *m = classicMap(type)) {
        {
            std::lock_guard<std::mutex> g(m_);
            if (m->count(index))
                return 0;
        }
        auto dev = std::make_shared<UsbCanClassicDevice>();
        if (!dev->open(kemusb::classic::kVid, kemusb::classic::kPid, index)) {
            dev->close();
            return kOpenFailed;
        }
        std::lock_guard<std::mutex> g(m_);
        (*m)[index] = dev;
        return 0;
    }
    if (auto *m = kvaserMap(type)) {
        {
            std::lock_guard<std::mutex> g(m_);
            if (m->count(index))
                return 0;
        }
        std::shared_ptr<QDevice> dev;
        if (kemusb::kvaser::isProFdType(type))
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
    if (classicMap(type)) {
        std::shared_ptr<UsbCanClassicDevice> d;
        {
            std::lock_guard<std::mutex> g(m_);
            auto *m = classicMap(type);
            auto it = m->find(index);
            if (it == m->end())
                return 0;
            d = it->second;
            m->erase(it);
        }
        d->close();
        return 1;
    }
    if (kvaserMap(type)) {
        std::shared_ptr<QDevice> d;
        {
            std::lock_guard<std::mutex> g(m_);
            auto *m = kvaserMap(type);
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
        for (auto *m : {&type3_, &type4_}) {
            for (auto &e : *m)
                cls.push_back(e.second);
            m->clear();
        }
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
    const auto *m = type == 3 ? &type3_ : type == 4 ? &type4_ : nullptr;
    if (!m)
        return nullptr;
    auto it = m->find(index);
    return it == m->end() ? nullptr : it->second;
}

std::shared_ptr<QDevice> VciDeviceRegistry::kvaser(uint32_t type, uint32_t index) const
{
    std::lock_guard<std::mutex> g(m_);
    const auto *m = kemusb::kvaser::is20Type(type) ? &kvaser_ : kemusb::kvaser::isProFdType(type) ? &kvaserFd_ : nullptr;
    if (!m)
        return nullptr;
    auto it = m->find(index);
    return it == m->end() ? nullptr : it->second;
}

// ---- the forwarding object of the handle path ---------------------------------

namespace {

kemusb::classic::ClassicRecord fromTx(const OCAN_CAN_TX &in)
{
    kemusb::classic::ClassicRecord r;
    std::memset(&r, 0, sizeof r);
    r.ID = in.IdWord & OCAN_ID_MASK;
    r.RemoteFlag = (in.IdWord & OCAN_ID_REMOTE) ? 1 : 0;
    r.ExternFlag = (in.IdWord & OCAN_ID_EXTENDED) ? 1 : 0;
    r.DataLen = in.Len;
    r.SendType = uint8_t(in.SendType);
    std::memcpy(r.Data, in.Data, 8);
    return r;
}

void toRx(const VCI_CAN_OBJ &in, OCAN_CAN_RX &out)
{
    std::memset(&out, 0, sizeof out);
    out.IdWord = in.ID | (in.RemoteFlag ? OCAN_ID_REMOTE : 0) | (in.ExternFlag ? OCAN_ID_EXTENDED : 0);
    out.Len = in.DataLen;
    std::memcpy(out.Data, in.Data, 8);
    out.TimeStamp = in.TimeStamp;
}

} // namespace

uint32_t QDeviceUsbCan::Open(uint32_t type, uint32_t index)
{
    if (open_)
        return 1;
    if (type != 3 && type != 4)
        return 0;
    if (VCI_OpenDevice(type, index, 0) != 1)
        return 0;
    type_ = type;
    index_ = index;
    open_ = true;
    return 1;
}

uint32_t QDeviceUsbCan::Close()
{
    if (open_) {
        VCI_CloseDevice(type_, index_);
        open_ = false;
    }
    return 1;
}

uint32_t QDeviceUsbCan::ReadBoardInfo(uint32_t, OCAN_DEVICE_INFO *info)
{
    return open_ ? VCI_ReadBoardInfo(type_, index_, info) : 0;
}

uint32_t QDeviceUsbCan::GetDeviceInf(OCAN_DEVICE_INFO *info)
{
    if (!info)
        return 0;
    std::memset(info, 0, sizeof *info);
    info->HwVersion = 0x0100;
    info->FwVersion = 0x0117;
    info->DrVersion = 0x0100;
    info->InVersion = 0x0100;
    info->CanNum = 2;
    std::memcpy(info->SerialNum, "KEMFD000000000000001", 20);
    std::strcpy(info->HwType, "USBCANFD");
    return 1;
}

OcanChannelHandle *QDeviceUsbCan::InitCAN(uint32_t channel, const OCAN_INIT_CONFIG *init)
{
    if (!open_ || channel > 1 || !init || init->CanType != 0)
        return nullptr;
    KCAN_INIT_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.AccCode = init->AccCode;
    c.AccMask = init->AccMask;
    c.Filter = init->can.Filter;
    c.Timing0 = init->can.Timing0;
    c.Timing1 = init->can.Timing1;
    c.Mode = init->can.Mode;
    return VCI_InitCAN(type_, index_, channel, &c) == 1 ? &handles_[channel] : nullptr;
}

uint32_t QDeviceUsbCan::Transmit(uint32_t channel, const OCAN_CAN_TX *frames, uint32_t count)
{
    if (!open_ || !frames || count == 0)
        return 0;
    std::vector<VCI_CAN_OBJ> tmp(count);
    for (uint32_t i = 0; i < count; ++i) {
        const kemusb::classic::ClassicRecord r = fromTx(frames[i]);
        std::memcpy(&tmp[i], &r, sizeof r);
    }
    return VCI_Transmit(type_, index_, channel, tmp.data(), count);
}

uint32_t QDeviceUsbCan::Receive(uint32_t channel, OCAN_CAN_RX *frames, uint32_t count, int32_t waitMs)
{
    if (!open_ || !frames || count == 0)
        return 0;
    std::vector<VCI_CAN_OBJ> tmp(count);
    const uint32_t n = VCI_Receive(type_, index_, channel, tmp.data(), count, waitMs);
    for (uint32_t i = 0; i < n; ++i)
        toRx(tmp[i], frames[i]);
    return n;
}

uint32_t QDeviceUsbCan::StartCAN(uint32_t channel) { return open_ ? VCI_StartCAN(type_, index_, channel) : 0; }
uint32_t QDeviceUsbCan::ResetCAN(uint32_t channel) { return open_ ? VCI_ResetCAN(type_, index_, channel) : 0; }
uint32_t QDeviceUsbCan::ClearBuffer(uint32_t channel) { return open_ ? VCI_ClearBuffer(type_, index_, channel) : 0; }
uint32_t QDeviceUsbCan::GetReceiveNum(uint32_t channel, uint8_t)
{
    return open_ ? VCI_GetReceiveNum(type_, index_, channel) : 0;
}
uint32_t QDeviceUsbCan::DevDataTransfer(uint8_t *buf, int32_t len)
{
    return open_ ? VCI_DevDataTransfer(type_, index_, buf, len) : 0;
}

void installClassicForwarding()
{
    static std::once_flag once;
    std::call_once(once, [] { OcanDeviceRegistry::setClassicFactory([] { return new QDeviceUsbCan; }); });
}

namespace {
// The handle path learns its class for types 3 and 4 as the library loads.
[[maybe_unused]] const bool forwardingInstalled = (installClassicForwarding(), true);
} // namespace

} // namespace kemusb

// ---- the VCI_ and KVCI_ families -------------------------------------------------

using kemusb::VciDeviceRegistry;

namespace {

VciDeviceRegistry &reg() { return VciDeviceRegistry::instance(); }

bool waitPassed(uint32_t start, uint32_t ms) { return plat::GetTickCount() - start >= ms; }

uint32_t okStub() { return 1; }

} // namespace

extern "C" {

KEMUSB_API uint32_t VCI_OpenDevice(uint32_t type, uint32_t index, uint32_t)
{
    if (!VciDeviceRegistry::isClassicType(type) && !VciDeviceRegistry::isKvaserType(type) && type != 20 &&
        type != 21)
        return 0;
    return reg().open(type, index) == 0 ? 1 : VciDeviceRegistry::kOpenFailed;
}

KEMUSB_API uint32_t VCI_CloseDevice(uint32_t type, uint32_t index) { return reg().close(type, index); }

KEMUSB_API uint32_t VCI_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *init)
{
    if (type == 20)
        return 1;
    if (!init)
        return 0;
    if (init->Timing0 == 0 && init->Timing1 == 0)
        return 1;
    auto d = reg().classic(type, index);
    if (!d)
        return 0;
    return d->initChannel(channel, init->Mode, init->Timing0, init->Timing1, init->Filter, init->AccCode,
                          init->AccMask);
}

KEMUSB_API uint32_t VCI_StartCAN(uint32_t type, uint32_t index, uint32_t channel)
{
    if (auto d = reg().classic(type, index))
        return d->startChannel(channel);
    if (auto d = reg().kvaser(type, index))
        return d->StartCAN(channel);
    return 0;
}

KEMUSB_API uint32_t VCI_ClearBuffer(uint32_t type, uint32_t index, uint32_t channel)
{
    auto d = reg().classic(type, index);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> g(reg().receiveSection());
    return d->clearBuffer(channel);
}

KEMUSB_API uint32_t VCI_ResetCAN(uint32_t type, uint32_t index, uint32_t channel)
{
    if (auto d = reg().classic(type, index))
        return d->resetChannel(channel) == 1 && VCI_ClearBuffer(type, index, channel) == 1 ? 1 : 0;
    if (auto d = reg().kvaser(type, index)) {
        // A Kvaser channel's buffers are its device's: cleared there.
        if (d->ResetCAN(channel) != 1)
            return 0;
        std::lock_guard<std::mutex> g(reg().receiveSection());
        return d->ClearBuffer(channel);
    }
    return 0;
}

KEMUSB_API uint32_t VCI_GetReceiveNum(uint32_t type, uint32_t index, uint32_t channel)
{
    if (auto d = reg().classic(type, index)) {
        std::lock_guard<std::mutex> g(reg().receiveSection());
        return d->receiveNum(channel);
    }
    if (auto d = reg().kvaser(type, index)) {
        std::lock_guard<std::mutex> g(reg().receiveSection());
        return d->GetReceiveNum(channel, 0);
    }
    return 0;
}

KEMUSB_API uint32_t VCI_Transmit(uint32_t type, uint32_t index, uint32_t channel, const VCI_CAN_OBJ *frames,
                                 uint32_t count)
{
    auto d = reg().classic(type, index);
    if (!d || !frames || count == 0)
        return 0;
    std::lock_guard<std::mutex> g(reg().transmitSection());
    return d->transmit(channel, reinterpret_cast<const kemusb::classic::ClassicRecord *>(frames), count);
}

KEMUSB_API uint32_t VCI_Receive(uint32_t type, uint32_t index, uint32_t channel, VCI_CAN_OBJ *frames, uint32_t count,
                                int32_t waitMs)
{
    auto d = reg().classic(type, index);
    if (!d || !frames || count == 0)
        return 0;
    const uint32_t wait = waitMs == -1 ? 0 : uint32_t(waitMs);
    const uint32_t start = plat::GetTickCount();
    auto *out = reinterpret_cast<kemusb::classic::ClassicRecord *>(frames);
    for (;;) {
        uint32_t n;
        {
            std::lock_guard<std::mutex> g(reg().receiveSection());
            n = d->receive(channel, out, count);
        }
        if (n > 0 || waitPassed(start, wait) || !d->isOpen())
            return n;
        // Wait for the frame thread outside the section, so that other
        // channels' receives are not held up by this one's wait.
        d->waitFrames(channel, 1);
    }
}

KEMUSB_API uint32_t VCI_ReadBoardInfo(uint32_t type, uint32_t index, OCAN_DEVICE_INFO *info)
{
    if (index != 0 || !info)
        return 0;
    auto d = reg().classic(type, 0);
    uint16_t hw = 0, fw = 0;
    uint8_t count = 0;
    // An adapter that is not open or does not answer gives no information.
    if (!d || !d->hardwareVersion(&hw) || !d->firmwareVersion(&fw) || !d->channelCount(&count))
        return 0;
    std::memset(info, 0, sizeof *info);
    info->HwVersion = hw;
    info->FwVersion = fw;
    info->DrVersion = 0x0200;
    info->InVersion = 0x0101;
    info->IrqNum = 0;
    info->CanNum = count;
    std::memcpy(info->SerialNum, "20191010001", 11);
    std::strcpy(info->HwType, "USBCAN+");
    return 1;
}

KEMUSB_API uint32_t VCI_DevRelayStatusSet(uint32_t type, uint32_t index, uint8_t a, uint8_t b)
{
    auto d = reg().classic(type, index);
    return d ? d->relaySet(a, b) : 0;
}

KEMUSB_API uint32_t VCI_DevRelayStatusGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b)
{
    auto d = reg().classic(type, index);
    return d ? d->relayGet(a, b) : 0;
}

KEMUSB_API uint32_t VCI_DevBaudParaGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0,
                                       uint8_t *timing1)
{
    auto d = reg().classic(type, index);
    return d ? d->busTimingGet(channel, timing0, timing1) : 0;
}

KEMUSB_API uint32_t VCI_DevChStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b,
                                      uint8_t *c)
{
    auto d = reg().classic(type, index);
    return d ? d->channelStateGet(channel, a, b, c) : 0;
}

KEMUSB_API uint32_t VCI_DevDataTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len)
{
    auto d = reg().classic(type, index);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> g(reg().transmitSection());
    return d->directTransfer(buf, len);
}

KEMUSB_API uint32_t VCI_ReadErrInfo(uint32_t, uint32_t, uint32_t, OCAN_ERR_INFO *info)
{
    if (info)
        std::memset(info, 0, 8);
    return 1;
}

KEMUSB_API uint32_t VCI_ReadCANStatus(uint32_t, uint32_t, uint32_t, OCAN_CAN_STATUS *status)
{
    if (status)
        std::memset(status, 0, 12);
    return 1;
}

KEMUSB_API uint32_t VCI_GetReference(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *out)
{
    if (out)
        *out = 1000;
    return 100;
}

KEMUSB_API uint32_t VCI_SetReference(uint32_t, uint32_t, uint32_t, uint32_t refType, void *)
{
    return refType != 0 ? 1 : 0;
}

KEMUSB_API uint32_t SetRate(uint32_t, uint32_t, uint32_t, uint32_t) { return okStub(); }
KEMUSB_API uint32_t GetCANParam(uint32_t, uint32_t, uint32_t, void *) { return okStub(); }
KEMUSB_API uint32_t SetFilter(uint32_t, uint32_t, uint32_t, void *) { return okStub(); }
KEMUSB_API uint32_t VCI_FindUsbDevice(void *) { return okStub(); }
KEMUSB_API uint32_t VCI_FindUsbDevice2(void *) { return okStub(); }
KEMUSB_API uint32_t VCI_UsbDeviceReset(uint32_t, uint32_t, uint32_t) { return okStub(); }
KEMUSB_API uint32_t VCI_GetReference2(uint32_t, uint32_t, uint32_t, uint32_t, void *) { return okStub(); }
KEMUSB_API uint32_t VCI_SetReference2(uint32_t, uint32_t, uint32_t, uint32_t, void *) { return okStub(); }
KEMUSB_API uint32_t VCI_ConnectDevice(uint32_t, uint32_t) { return okStub(); }
KEMUSB_API uint32_t VCI_DevErrStatusGet(uint32_t, uint32_t, uint32_t, void *) { return okStub(); }
KEMUSB_API uint32_t VCI_DisableRxAcptFilter(uint32_t, uint32_t, uint32_t) { return okStub(); }
KEMUSB_API uint32_t VCI_RxAcptFilterInit(uint32_t, uint32_t, uint32_t, void *) { return okStub(); }
KEMUSB_API uint32_t VCI_RxAcptMaskInit(uint32_t, uint32_t, uint32_t, void *) { return okStub(); }
KEMUSB_API uint32_t VCI_SetOperationMode(uint32_t, uint32_t, uint32_t, uint32_t) { return okStub(); }

KEMUSB_API uint32_t KVCI_InitCAN(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *config)
{
    if (!VciDeviceRegistry::isKvaserType(type))
        return 0;
    auto d = reg().kvaser(type, index);
    return d ? d->KvciInitCAN(channel, config) : 0;
}

KEMUSB_API uint32_t KVCI_Transmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames,
                                  uint32_t count)
{
    if (!VciDeviceRegistry::isKvaserType(type))
        return 0;
    auto d = reg().kvaser(type, index);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> g(reg().transmitSection());
    return d->KvciTransmit(channel, frames, count);
}

KEMUSB_API uint32_t KVCI_Receive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *frames,
                                 uint32_t count, int32_t waitMs)
{
    if (!VciDeviceRegistry::isKvaserType(type))
        return 0;
    auto d = reg().kvaser(type, index);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> g(reg().receiveSection());
    return d->KvciReceive(channel, frames, count, waitMs);
}

} // extern "C"
