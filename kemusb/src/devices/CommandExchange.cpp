#include "kemusb/src/devices/CommandExchange.h"

#include "platform/PlatTicks.h"

namespace kemusb {

bool commandExchange(QUserWinUsb &usb, const Bytes &req, uint8_t outPipe, uint8_t inPipe, uint32_t timeoutMs,
                     uint8_t *reply, size_t *n)
{
    *n = 0;
    if (usb.write(req.data(), uint32_t(req.size()), outPipe) != req.size())
        return false;
    const uint32_t start = plat::GetTickCount();
    uint32_t got = 0;
    for (;;) {
        got = readReply(usb, reply, uint32_t(kCommandReplyRead), inPipe);
        if (replyMatches(req, reply, got))
            break;
        if (plat::TicksSince(start) >= timeoutMs)
            break;
    }
    *n = got;
    return got > 0;
}

uint32_t readReply(QUserWinUsb &usb, uint8_t *reply, uint32_t room, uint8_t inPipe)
{
    plat::UsbStatus st = plat::UsbStatus::Ok;
    const uint32_t got = usb.read(reply, room, inPipe, &st);
    if (got == 0 && st != plat::UsbStatus::Timeout)
        plat::Sleep(kFailedReplyReadPauseMs);
    return got;
}

} // namespace kemusb
