#include "kemusb/src/devices/QDeviceCanRecord.h"

#include "kemusb/src/devices/CommandExchange.h"

#include <cstring>

namespace kemusb {

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

bool QDeviceCanRecord::exchange(const Bytes &req, uint32_t timeoutMs, uint8_t *reply, size_t *n)
{
    std::lock_guard<std::mutex> g(cmdMutex_);
    *n = 0;
    return open_ && commandExchange(usb_, req, record::kEpCmdOut, record::kEpCmdIn, timeoutMs, reply, n);
}

uint32_t QDeviceCanRecord::BoardInfoGet(void *boardInfo)
{
    if (!boardInfo)
        return 0;
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    uint16_t hw = 0, fw = 0;
    uint8_t count = 0;
    // Each answer counts only when it answers its own query.
    const Bytes hwReq = record::cmdHardwareVersion();
    const Bytes fwReq = record::cmdFirmwareVersion();
    const Bytes countReq = record::cmdChannelCount();
    if (!exchange(hwReq, record::kBoardReplyMs, r, &n) || !record::parseVersionReply(hwReq, r, n, &hw))
        return 0;
    if (!exchange(fwReq, record::kBoardReplyMs, r, &n) || !record::parseVersionReply(fwReq, r, n, &fw))
        return 0;
    if (!exchange(countReq, record::kBoardReplyMs, r, &n) || !record::parseChannelCountReply(countReq, r, n, &count))
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
    if (channel >= uint32_t(record::kChannels) || !setting)
        return 0;
    record::RecordSetting s;
    std::memcpy(&s, setting, sizeof s);
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    return exchange(record::cmdSettingSet(int(channel), s), record::kSettingSetMs, r, &n) &&
                   record::settingSetReplyOk(r, n)
               ? 1
               : 0;
}

uint32_t QDeviceCanRecord::RecordSettingGet(uint32_t channel, void *setting)
{
    if (channel >= uint32_t(record::kChannels) || !setting)
        return 0;
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    if (!exchange(record::cmdSettingGet(int(channel)), record::kSettingGetMs, r, &n))
        return 0;
    record::RecordSetting s;
    std::memcpy(&s, setting, sizeof s);
    if (!record::parseSettingGetReply(r, n, &s))
        return 0;
    std::memcpy(setting, &s, sizeof s);
    return 1;
}

uint32_t QDeviceCanRecord::RecordCmdExecute(uint32_t channel, uint32_t command, uint32_t, void *filter)
{
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    switch (command) {
    case 0:
    case 2:
    case 3:
        return exchange(record::cmdFilter(command, int(channel), nullptr), record::kFilterMs, r, &n) &&
                       record::filterReplyOk(r, n)
                   ? 1
                   : 0;
    case 1: {
        if (!filter)
            return 0;
        record::RecordFilter f;
        std::memcpy(&f, filter, sizeof f);
        return exchange(record::cmdFilter(1, int(channel), &f), record::kFilterMs, r, &n) &&
                       record::filterReplyOk(r, n)
                   ? 1
                   : 0;
    }
    case 4: {
        if (!filter)
            return 0;
        record::RecordFilterInfo info;
        if (!exchange(record::cmdFilterInfo(int(channel)), record::kFilterReadMs, r, &n) ||
            !record::parseFilterInfoReply(r, n, &info))
            return 0;
        uint8_t *out = static_cast<uint8_t *>(filter);
        std::memcpy(out, &info.value0, 2);
        out[2] = info.value2;
        return 1;
    }
    case 5: {
        if (!filter)
            return 0;
        record::RecordFilter f;
        std::memcpy(&f, filter, sizeof f);
        if (!exchange(record::cmdFilterEntry(int(channel), f.index), record::kFilterReadMs, r, &n) ||
            !record::parseFilterEntryReply(r, n, &f))
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
    const Bytes req = cmdDirectTransfer(buf, len);
    uint8_t r[kCommandReplyRead];
    size_t n = 0;
    if (!exchange(req, record::kDirectReplyMs, r, &n) || !replyMatches(req, r, n))
        return 0;
    // replyMatches made sure of more than two bytes: n - 2 cannot wrap.
    std::memcpy(buf, r + 2, n - 2);
    return uint32_t(n - 2);
}

} // namespace kemusb
