// The binlog reader on arbitrary bytes: the input is a BLF file, walked
// object by object with peek, read (buffers of assorted sizes) and skip;
// damaged data is passed over, so the walk crosses damaged containers and
// objects (it must end, and never read outside the data it holds).
// Built a second time with BINLOG_READ_AHEAD, every input is read ahead on
// the reader's threads, as files from a few MiB on are (slow to run under
// the sanitizers, so a target of its own).

#include "binlog/src/BlfReader.h"

#include <cstdio>
#include <cstring>
#include <vector>

#ifdef BINLOG_READ_AHEAD
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    binlog::BlfReader::setPrefetchThreshold(0);
    return 0;
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!f)
        return 0;
    binlog::BlfReader reader;
    if (!reader.open(f))
        return 0;
    uint8_t base[16];
    // Buffers of the frame objects' sizes (types 1, 100, 86, 101), of a
    // header alone, and larger than any of them.
    const size_t sizes[] = {32, 48, 120, 56, 136, 200};
    std::vector<uint8_t> buf;
    for (unsigned step = 0; step < 100000 && reader.peek(base); ++step) {
        const uint8_t pick = data[step % size];
        if (pick % 3 == 0) {
            if (!reader.skip())
                break;
            continue;
        }
        buf.assign(sizes[(pick / 3) % 6], 0);
        std::memcpy(buf.data(), base, 16);
        if (!reader.read(buf.data(), buf.size()))
            break;
    }
    // Every place passed over holds at least one byte of the input; bytes
    // skipped in the object stream may come from inflated data, which is
    // bounded by what the containers may declare.
    if (reader.damagedPlaces() > size)
        __builtin_trap();
    return 0;
}
