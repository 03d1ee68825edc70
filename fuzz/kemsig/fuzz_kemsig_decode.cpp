// KDBC_Decode on arbitrary frames, against messages whose signal fields also
// come from the input (start bits, lengths and counts a caller may pass in a
// record), followed by encoding the decoded message back.
//
// Input: byte 0 protocol/record choice, bytes 1..80 the frame record, then
// per signal 9 bytes: start (i32), length (i32), flags.
#include <cstdint>
#include <cstring>
#include <memory>

#include "kemusb/include/kcan_records.h"
#include "kemsig/include/kemsig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 81)
        return 0;
    static auto msg = std::make_unique<DbcMessage>();
    static auto out = std::make_unique<DbcMessage>();
    std::memset(msg.get(), 0, sizeof(DbcMessage));
    const uint8_t control = data[0];
    KCAN_CANFD_OBJ frame;
    std::memcpy(&frame, data + 1, sizeof frame);

    msg->nID = frame.ID ^ ((control & 0x40) ? 0x80000000u : 0);
    msg->nSize = frame.DataLen;
    const uint8_t *p = data + 81;
    size_t left = size - 81;
    uint32_t n = 0;
    while (left >= 9 && n < KDBC_MAX_SIGNALS) {
        DbcSignal &s = msg->sSignals[n++];
        std::memcpy(&s.nStartBit, p, 4);
        std::memcpy(&s.nLen, p + 4, 4);
        s.isMotorola = p[8] & 1;
        s.isSigned = (p[8] >> 1) & 1;
        s.nFactor = (p[8] >> 2) & 1 ? 0.0 : 0.5;
        s.nOffset = -1;
        s.nRawValue = 0x0123456789ABCDEFull;
        p += 9;
        left -= 9;
    }
    // A count beyond the slots is held to them.
    msg->nSignalCount = (control & 0x80) ? 0xFFFFFFFFu : n;

    static DbcDatabase *db = KDBC_Init();
    KDBC_ClrMessage(db);
    KDBC_SetProtocol(db, control & 3);
    KDBC_InsertMessage(db, msg.get());
    const int32_t fdFlag = (control >> 2) & 1;
    if (KDBC_Decode(db, &frame, fdFlag, out.get()) == 0) {
        if (out->nSignalCount > KDBC_MAX_SIGNALS)
            __builtin_trap();
        for (uint32_t i = 0; i < out->nSignalCount; ++i) {
            KDBC_CalcPhysicalValue(&out->sSignals[i], out->sSignals[i].nRawValue);
            KDBC_CalcRawValue(&out->sSignals[i], double(out->sSignals[i].nRawValue));
        }
        uint8_t buf[64];
        std::memcpy(buf, frame.Data, 64);
        KDBC_Encode(db, buf, fdFlag ? 64 : 8, out.get());
    }
    KDBC_DeleteMessage(db, frame.ID);
    return 0;
}
