// J1939 frame sequences: announcements, data packets and ordinary groups in
// any order, with the clock advanced by the input, against a table that
// holds transport-sized groups.
//
// Input: records of 14 bytes: identifier (4), length byte, clock step, 8
// data bytes.
#include <cstdint>
#include <cstring>
#include <memory>

#include "kemsig/src/DbcDatabase.h"
#include "kemusb/include/kcan_records.h"
#include "kemsig/include/kemsig.h"

namespace {

uint32_t tick(void *ctx) { return *static_cast<uint32_t *>(ctx); }

DbcDatabase *makeDb()
{
    DbcDatabase *db = KDBC_Init();
    KDBC_SetProtocol(db, KDBC_PROTOCOL_J1939);
    auto m = std::make_unique<DbcMessage>();
    const uint32_t ids[] = {0x98FECA00, 0x98FEF100, 0x98EF0000, 0x99FECA00, 0x98EB0000, 0x99EB0000};
    for (uint32_t k = 0; k < sizeof ids / sizeof ids[0]; ++k) {
        std::memset(m.get(), 0, sizeof(DbcMessage));
        m->nID = ids[k];
        m->nSize = 1785;
        m->nSignalCount = 8;
        for (uint32_t i = 0; i < 8; ++i) {
            DbcSignal &s = m->sSignals[i];
            s.nStartBit = int32_t(i * 1792 + k * 11); // spread over the whole transport buffer
            s.nLen = int32_t(8 + i * 7);
            s.isMotorola = i & 1;
            s.isSigned = (i >> 1) & 1;
            s.nFactor = 1;
        }
        KDBC_InsertMessage(db, m.get());
    }
    return db;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static uint32_t now = 0;
    static auto out = std::make_unique<DbcMessage>();
    // One handle for the run; a step of 20 s first lets every session of
    // the previous input expire, so each input starts from a free table.
    static DbcDatabase *db = makeDb();
    db->j1939().setTickSource(tick, &now);
    now += 20000;
    for (; size >= 14; data += 14, size -= 14) {
        KCAN_CAN_OBJ f;
        std::memset(&f, 0, sizeof f);
        std::memcpy(&f.ID, data, 4);
        f.DataLen = data[4];
        now += uint32_t(data[5]) * 80; // up to 20 s per step
        std::memcpy(f.Data, data + 6, 8);
        if (KDBC_Decode(db, &f, 0, out.get()) == 0 && out->nSignalCount > KDBC_MAX_SIGNALS)
            __builtin_trap();
    }
    return 0;
}
