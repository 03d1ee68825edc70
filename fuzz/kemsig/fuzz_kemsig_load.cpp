// KDBC_LoadFile on arbitrary bytes, then everything a caller reads back:
// the load report, every message by index, its value descriptions, and one
// decode and one encode of each message.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "kemsig/src/DbcDatabase.h"
#include "kemusb/include/kcan_records.h"
#include "kemsig/include/kemsig.h"

namespace {
struct ScratchFile {
    std::string path;
    ~ScratchFile() { unlink(path.c_str()); }
};

const std::string &scratchPath()
{
    // In memory-backed storage where there is one: a disk write per input
    // would slow the run down a hundredfold.
    static ScratchFile file{std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                            "/fuzz_kemsig_load." + std::to_string(getpid()) + ".dbc"};
    return file.path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *f = std::fopen(scratchPath().c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    // One handle for the whole run, as a window keeps one: every load
    // replaces what the previous one left.
    static DbcDatabase *db = KDBC_Init();
    KDBC_SetProtocol(db, size ? data[0] % 3 : 1);
    if (KDBC_LoadFile(db, scratchPath().c_str()) != 1)
        __builtin_trap();
    // The report counts lines of this file only.
    DbcLoadReport report;
    if (KDBC_GetLoadReport(db, &report) != 1)
        __builtin_trap();
    if (report.nReadLines + report.nDamagedLines > report.nLines || report.nFirstDamagedLine > report.nLines
        || (report.nDamagedLines == 0) != (report.nFirstDamagedLine == 0)
        || (report.nExtMuxLines == 0) != (report.nFirstExtMuxLine == 0) || report.nExtMuxLines > report.nLines
        || report.nEncoding > KDBC_ENCODING_CP1252 || report.reserved != 0)
        __builtin_trap();
    static auto msg = std::make_unique<DbcMessage>();
    static auto out = std::make_unique<DbcMessage>();
    const uint32_t n = KDBC_GetMessageCount(db);
    for (uint32_t i = 0; i < n; ++i) {
        if (KDBC_GetMessageByIndex(db, i, msg.get()) != 1)
            __builtin_trap();
        if (msg->nSignalCount > KDBC_MAX_SIGNALS)
            __builtin_trap();
        for (uint32_t s = 0; s < msg->nSignalCount; ++s) {
            const DbcSignal &sg = msg->sSignals[s];
            if (sg.nStartBit < 0 || sg.nLen < 0 || sg.nLen > 64)
                __builtin_trap(); // refused by the parser
            DbcValDescPair pairs[KDBC_MAX_VALDESC_PAIRS];
            if (KDBC_GetValDescPair(db, msg->nID, sg.strName, pairs, KDBC_MAX_VALDESC_PAIRS) > KDBC_MAX_VALDESC_PAIRS)
                __builtin_trap();
            KDBC_CalcPhysicalValue(&sg, sg.nRawValue);
            KDBC_CalcRawValue(&sg, sg.nMax);
        }
        KCAN_CANFD_OBJ frame;
        std::memset(&frame, 0xA5, sizeof frame);
        frame.ID = msg->nID & 0x1FFFFFFF;
        frame.DataLen = uint8_t(msg->nSize);
        KDBC_Decode(db, &frame, 1, out.get());
        uint8_t buf[64] = {};
        KDBC_Encode(db, buf, msg->nSize > 64 ? 64 : msg->nSize, msg.get());
    }
    return 0;
}
