#include "kemusb/src/protocol/ApiRecords.h"

#include <cstring>

namespace kemusb {

void toVci(const KCAN_CAN_OBJ &in, VCI_CAN_OBJ &out)
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

void fromVci(const VCI_CAN_OBJ &in, KCAN_CAN_OBJ &out)
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

void toOcanTx(const KCAN_CAN_OBJ &in, OCAN_CAN_TX &out)
{
    out.IdWord = idWordOf(in.ID, in.RemoteFlag, in.ExternFlag);
    out.Len = in.DataLen;
    std::memset(out.Reserved, 0, 3);
    std::memcpy(out.Data, in.Data, 8);
    out.SendType = in.SendType;
}

void toOcanTxFd(const KCAN_CANFD_OBJ &in, OCAN_CANFD_TX &out)
{
    out.IdWord = idWordOf(in.ID, in.RemoteFlag, in.ExternFlag);
    out.Len = in.DataLen;
    out.Flags = uint8_t(((in.FdFlag & KCAN_FD_FLAG_BRS) ? OCAN_FD_BRS : 0) |
                        ((in.FdFlag & KCAN_FD_FLAG_ESI) ? OCAN_FD_ESI : 0));
    out.Reserved[0] = out.Reserved[1] = 0;
    std::memcpy(out.Data, in.Data, 64);
    out.SendType = in.SendType;
}

void fromOcanRx(const OCAN_CAN_RX &in, KCAN_CAN_OBJ &out)
{
    out.ID = in.IdWord & OCAN_ID_MASK;
    out.TimeStamp = in.TimeStamp;
    out.SendType = 0;
    out.RemoteFlag = (in.IdWord & OCAN_ID_REMOTE) ? 1 : 0;
    out.ExternFlag = (in.IdWord & OCAN_ID_EXTENDED) ? 1 : 0;
    out.DataLen = in.Len;
    std::memcpy(out.Data, in.Data, 8);
}

void fromOcanRxFd(const OCAN_CANFD_RX &in, KCAN_CANFD_OBJ &out)
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

VCI_CAN_OBJ vciFromOcanTx(const OCAN_CAN_TX &in)
{
    VCI_CAN_OBJ r;
    std::memset(&r, 0, sizeof r);
    r.ID = in.IdWord & OCAN_ID_MASK;
    r.RemoteFlag = (in.IdWord & OCAN_ID_REMOTE) ? 1 : 0;
    r.ExternFlag = (in.IdWord & OCAN_ID_EXTENDED) ? 1 : 0;
    r.DataLen = in.Len;
    r.SendType = uint8_t(in.SendType);
    std::memcpy(r.Data, in.Data, 8);
    return r;
}

void vciToOcanRx(const VCI_CAN_OBJ &in, OCAN_CAN_RX &out)
{
    std::memset(&out, 0, sizeof out);
    out.IdWord = idWordOf(in.ID, in.RemoteFlag, in.ExternFlag);
    out.Len = in.DataLen;
    std::memcpy(out.Data, in.Data, 8);
    out.TimeStamp = in.TimeStamp;
}

} // namespace kemusb
