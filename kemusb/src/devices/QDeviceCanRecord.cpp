#include "kemusb/src/devices/QDeviceCanRecord.h"

#include "kemusb/src/protocol/KemFdProtocol.h"
#include "platform/PlatTicks.h"

#include <cstring>

namespace kemusb {

namespace {
constexpr size_t kReplyRead = 64;
}

uint32_t QDeviceCanRecord::Open(uint32_t devType, uint32_t devIndex)
{
    if (open_)
        return 1;
    const AdapterModel *m = modelForType(devType);
    if (!m || m->family != AdapterFamily::Recording)
        return 0;
    this->devType = devType;
    this->devIndex = devIndex;
    if (!usb_.open(m->vid, m->pid, devIndex))
        return 0;
    open_ = true;
    return 1;
}

uint32_t QDeviceCanRecord::Close()
{
    if (open_)
        usb_.close();
    open_ = false;
    return 1;
}

bool QDeviceCanRecord::exchange(const kemusb::record::Bytes &req, uint32_t timeoutMs, uint8_t *reply, size_t *n)
{
    std::lock_guard<std::mutex> g(cmdMutex_);
    *n = 0;
    if (!open_ || usb_.write(req.data(), uint32_t(req.size()), 0x01) != req.size())
        return false;
    const uint32_t start = plat::GetTickCount();
    uint32_t got = 0;
    for (;;) {
        got = usb_.read(reply, kReplyRead, 0x81);
        if (kemusb::fd::replyMatches(req, reply, got))
            break;
        if (plat::GetTickCount() - start >= timeoutMs)
            break;
    }
    *n = got;
    return got > 0;
}

uint32_t QDeviceCanRecord::BoardInfoGet(void *boardInfo)
{
    if (!boardInfo)
        return 0;
    uint8_t r[kReplyRead];
    size_t n = 0;
    uint16_t hw = 0, fw = 0;
    uint8_t count = 0;
    if (!exchange(kemusb::record::cmdHardwareVersion(), kemusb::record::kBoardReplyMs, r, &n) || !kemusb::record::parseVersionReply(r, n, &hw))
        return 0;
    if (!exchange(kemusb::record::cmdFirmwareVersion(), kemusb::record::kBoardReplyMs, r, &n) || !kemusb::record::parseVersionReply(r, n, &fw))
        return 0;
    if (!exchange(kemusb::record::cmdChannelCount(), kemusb::record::kBoardReplyMs, r, &n) ||
        !kemusb::record::parseChannelCountReply(r, n, &count))
        return 0;
    // Only the documented fields are written; the rest stays the caller's.
    uint8_t *b = static_cast<uint8_t *>(boardInfo);
    std::memcpy(b + 0, &hw, 2);
    std::memcpy(b + 2, &fw, 2);
    const uint16_t iface = 0x0100;
    std::memcpy(b + 6, &iface, 2);
    b[10] = count;
    return 1;
}

uint32_t QDeviceCanRecord::RecordSettingSet(uint32_t channel, void *setting)
{
    if (channel >= uint32_t(kemusb::record::kChannels) || !setting)
        return 0;
    kemusb::record::RecordSetting s;
    std::memcpy(&s, setting, sizeof s);
    uint8_t r[kReplyRead];
    size_t n = 0;
    return exchange(kemusb::record::cmdSettingSet(int(channel), s), kemusb::record::kSettingSetMs, r, &n) &&
                   kemusb::record::settingSetReplyOk(r, n)
               ? 1
               : 0;
}

uint32_t QDeviceCanRecord::RecordSettingGet(uint32_t channel, void *setting)
{
    if (channel >= uint32_t(kemusb::record::kChannels) || !setting)
        return 0;
    uint8_t r[kReplyRead];
    size_t n = 0;
    if (!exchange(kemusb::record::cmdSettingGet(int(channel)), kemusb::record::kSettingGetMs, r, &n))
        return 0;
    kemusb::record::RecordSetting s;
    std::memcpy(&s, setting, sizeof s);
    if (!kemusb::record::parseSettingGetReply(r, n, &s))
        return 0;
    std::memcpy(setting, &s, sizeof s);
    return 1;
}

uint32_t QDeviceCanRecord::RecordCmdExecute(uint32_t channel, uint32_t command, uint32_t, void *filter)
{
    uint8_t r[kReplyRead];
    size_t n = 0;
    switch (command) {
    case 0:
    case 2:
    case 3:
        return exchange(kemusb::record::cmdFilter(command, int(channel), nullptr), kemusb::record::kFilterMs, r, &n) &&
                       kemusb::record::filterReplyOk(r, n)
                   ? 1
                   : 0;
    case 1: {
        if (!filter)
            return 0;
        kemusb::record::RecordFilter f;
        std::memcpy(&f, filter, sizeof f);
        return exchange(kemusb::record::cmdFilter(1, int(channel), &f), kemusb::record::kFilterMs, r, &n) &&
                       kemusb::record::filterReplyOk(r, n)
                   ? 1
                   : 0;
    }
    case 4: {
        if (!filter)
            return 0;
        kemusb::record::RecordFilterInfo info;
        if (!exchange(kemusb::record::cmdFilterInfo(int(channel)), kemusb::record::kFilterReadMs, r, &n) ||
            !kemusb::record::parseFilterInfoReply(r, n, &info))
            return 0;
        uint8_t *out = static_cast<uint8_t *>(filter);
        std::memcpy(out, &info.value0, 2);
        out[2] = info.value2;
        return 1;
    }
    case 5: {
        if (!filter)
            return 0;
        kemusb::record::RecordFilter f;
        std::memcpy(&f, filter, sizeof f);
        if (!exchange(kemusb::record::cmdFilterEntry(int(channel), f.index), kemusb::record::kFilterReadMs, r, &n) ||
            !kemusb::record::parseFilterEntryReply(r, n, &f))
            return 0;
        std::memcpy(filter, &f, sizeof f);
        return 1;
    }
    default:
        return 0;
    }
}

uint32_t QDeviceCanRecord::DevDataTransfer(uint8_t *buf, int32_t len)
{
    if (!buf || len <= 0)
        return 0;
    const kemusb::fd::Bytes req = kemusb::fd::cmdDirectTransfer(buf, len);
    uint8_t r[kReplyRead];
    size_t n = 0;
    if (!exchange(req, kemusb::record::kDirectReplyMs, r, &n) || !kemusb::fd::replyMatches(req, r, n))
        return 0;
    std::memcpy(buf, r + 2, n - 2);
    return uint32_t(n - 2);
}

} // namespace kemusb
