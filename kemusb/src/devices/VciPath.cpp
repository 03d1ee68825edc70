#include "kemusb/src/devices/VciPath.h"

#include "kemusb/src/devices/VciDeviceRegistry.h"
#include "platform/PlatTicks.h"

#include <cstring>
#include <mutex>

namespace kemusb::vci {

namespace {

VciDeviceRegistry &reg() { return VciDeviceRegistry::instance(); }

// Types the classic path names without driving an adapter of them: their
// open answers "cannot be opened", their initialisation does nothing.
constexpr uint32_t kNoAdapterTypeA = 20;
constexpr uint32_t kNoAdapterTypeB = 21;

} // namespace

uint32_t openFailure(uint32_t type)
{
    return VciDeviceRegistry::isClassicType(type) || VciDeviceRegistry::isKvaserType(type) ||
                   type == kNoAdapterTypeA || type == kNoAdapterTypeB
               ? VciDeviceRegistry::kOpenFailed
               : 0;
}

uint32_t openDevice(uint32_t type, uint32_t index)
{
    if (openFailure(type) == 0)
        return 0;
    return reg().open(type, index) == 0 ? 1 : VciDeviceRegistry::kOpenFailed;
}

uint32_t closeDevice(uint32_t type, uint32_t index) { return reg().close(type, index); }

uint32_t initCan(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INIT_CONFIG *init)
{
    if (type == kNoAdapterTypeA)
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

uint32_t startCan(uint32_t type, uint32_t index, uint32_t channel)
{
    if (auto d = reg().classic(type, index))
        return d->startChannel(channel);
    if (auto d = reg().kvaser(type, index))
        return d->StartCAN(channel);
    return 0;
}

uint32_t clearBuffer(uint32_t type, uint32_t index, uint32_t channel)
{
    auto d = reg().classic(type, index);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> g(reg().receiveSection());
    return d->clearBuffer(channel);
}

uint32_t resetCan(uint32_t type, uint32_t index, uint32_t channel)
{
    if (auto d = reg().classic(type, index))
        return d->resetChannel(channel) == 1 && clearBuffer(type, index, channel) == 1 ? 1 : 0;
    if (auto d = reg().kvaser(type, index)) {
        // A Kvaser channel's buffers are its device's: cleared there.
        if (d->ResetCAN(channel) != 1)
            return 0;
        std::lock_guard<std::mutex> g(reg().receiveSection());
        return d->ClearBuffer(channel);
    }
    return 0;
}

uint32_t receiveNum(uint32_t type, uint32_t index, uint32_t channel)
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

uint32_t transmit(uint32_t type, uint32_t index, uint32_t channel, const VCI_CAN_OBJ *frames, uint32_t count)
{
    auto d = reg().classic(type, index);
    if (!d || !frames || count == 0)
        return 0;
    std::lock_guard<std::mutex> g(reg().transmitSection());
    return d->transmit(channel, frames, count);
}

uint32_t receive(uint32_t type, uint32_t index, uint32_t channel, VCI_CAN_OBJ *frames, uint32_t count,
                 int32_t waitMs)
{
    auto d = reg().classic(type, index);
    if (!d || !frames || count == 0)
        return 0;
    const uint32_t wait = waitMs == -1 ? 0 : uint32_t(waitMs);
    const uint32_t start = plat::GetTickCount();
    for (;;) {
        uint32_t n;
        {
            std::lock_guard<std::mutex> g(reg().receiveSection());
            n = d->receive(channel, frames, count);
        }
        if (n > 0 || plat::TicksSince(start) >= wait || !d->isOpen())
            return n;
        // Wait for the frame thread outside the section: waiting inside it
        // would hold up every other channel's receive for as long.
        d->waitFrames(channel, 1);
    }
}

uint32_t readBoardInfo(uint32_t type, uint32_t index, OCAN_DEVICE_INFO *info)
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

uint32_t relaySet(uint32_t type, uint32_t index, uint8_t a, uint8_t b)
{
    auto d = reg().classic(type, index);
    return d ? d->relaySet(a, b) : 0;
}

uint32_t relayGet(uint32_t type, uint32_t index, uint8_t *a, uint8_t *b)
{
    auto d = reg().classic(type, index);
    return d ? d->relayGet(a, b) : 0;
}

uint32_t busTimingGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *timing0, uint8_t *timing1)
{
    auto d = reg().classic(type, index);
    return d ? d->busTimingGet(channel, timing0, timing1) : 0;
}

uint32_t channelStateGet(uint32_t type, uint32_t index, uint32_t channel, uint8_t *a, uint8_t *b, uint8_t *c)
{
    auto d = reg().classic(type, index);
    return d ? d->channelStateGet(channel, a, b, c) : 0;
}

uint32_t dataTransfer(uint32_t type, uint32_t index, uint8_t *buf, int32_t len)
{
    auto d = reg().classic(type, index);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> g(reg().transmitSection());
    return d->directTransfer(buf, len);
}

uint32_t adapterGone(uint32_t type, uint32_t index)
{
    if (auto d = reg().classic(type, index))
        return d->adapterGone() ? 1 : 0;
    if (auto d = reg().kvaser(type, index))
        return d->adapterGone() ? 1 : 0;
    return 0;
}

uint32_t kvciInitCan(uint32_t type, uint32_t index, uint32_t channel, const KCAN_INITFD_CONFIG *config)
{
    if (!VciDeviceRegistry::isKvaserType(type))
        return 0;
    auto d = reg().kvaser(type, index);
    return d ? d->KvciInitCAN(channel, config) : 0;
}

uint32_t kvciTransmit(uint32_t type, uint32_t index, uint32_t channel, const KCAN_CAN_OBJ *frames, uint32_t count)
{
    if (!VciDeviceRegistry::isKvaserType(type))
        return 0;
    auto d = reg().kvaser(type, index);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> g(reg().transmitSection());
    return d->KvciTransmit(channel, frames, count);
}

uint32_t kvciReceive(uint32_t type, uint32_t index, uint32_t channel, KCAN_CAN_OBJ *frames, uint32_t count,
                     int32_t waitMs)
{
    if (!VciDeviceRegistry::isKvaserType(type))
        return 0;
    auto d = reg().kvaser(type, index);
    if (!d)
        return 0;
    std::lock_guard<std::mutex> g(reg().receiveSection());
    return d->KvciReceive(channel, frames, count, waitMs);
}

} // namespace kemusb::vci
