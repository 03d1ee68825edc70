#include "devices/QKemFrames.h"

#include <cstring>

namespace kemframes {

void squeezeData(QUserCanMsg &msg)
{
    const QString &d = msg.dataText;
    bool any = false;
    for (QChar c : d) {
        if (c.isSpace()) {
            any = true;
            break;
        }
    }
    if (!any)
        return;
    QString out;
    out.reserve(d.size());
    for (QChar c : d)
        if (!c.isSpace())
            out.append(c);
    msg.dataText = out;
}

template <typename Obj>
static void fillCommon(QUserCanMsg &msg, Obj &obj, int maxData, bool maskId)
{
    std::memset(&obj, 0, sizeof obj);
    obj.SendType = msg.sendType;
    obj.RemoteFlag = msg.remote ? 1 : 0;
    obj.ExternFlag = msg.extended ? 1 : 0;
    bool ok = false;
    uint32_t id = msg.idText.trimmed().toUInt(&ok, 16);
    if (!ok)
        id = 0;
    obj.ID = maskId ? (id & 0x1FFFFFFFu) : id;
    obj.DataLen = uint8_t(msg.lenText.trimmed().toInt(nullptr, 10));
    squeezeData(msg);
    hexTextToBytes(msg.dataText, obj.Data, maxData);
}

void toCanObj(QUserCanMsg &msg, KCAN_CAN_OBJ &obj, bool maskId)
{
    fillCommon(msg, obj, 8, maskId);
}

void toCanFdObj(QUserCanMsg &msg, KCAN_CANFD_OBJ &obj)
{
    fillCommon(msg, obj, 64, true);
    uint8_t f = 0;
    if (msg.fdFlags & 0x01)
        f |= KCAN_FD_FLAG_BRS;
    if (msg.fdFlags & 0x02)
        f |= KCAN_FD_FLAG_ESI;
    obj.FdFlag = f;
}

} // namespace kemframes
