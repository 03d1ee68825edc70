// The cache record reader on arbitrary records and whole files: no read
// outside the data, and a record that parses formats to a line that parses
// back to the same fields.
#include "core/QFClassUserCanMsg.h"
#include "fuzz/support/FuzzWorkDir.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    fuzzWorkDirEnter("cache");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QUserCanMsg m;
    if (QFClassUserCanMsg::parseRecord(reinterpret_cast<const char *>(data), int(size), &m)) {
        char line[QFClassUserCanMsg::RecordSize];
        QFClassUserCanMsg::formatRecord(m, line);
        if (line[QFClassUserCanMsg::RecordSize - 2] != '\r' || line[QFClassUserCanMsg::RecordSize - 1] != '\n')
            abort();
        QUserCanMsg again;
        if (QFClassUserCanMsg::parseRecord(line, QFClassUserCanMsg::RecordSize, &again)) {
            if (again.protocol != m.protocol || again.extended != m.extended || again.remote != m.remote
                || again.fdFlags != m.fdFlags || again.direction != m.direction || again.channel != m.channel
                || again.devTime != m.devTime || again.hostTime != m.hostTime)
                abort();
        }
    }
    // The same bytes as a whole cache file.
    {
        QFile f("in.cache");
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QFClassUserCanMsg file;
    if (!file.open(true, "in.cache"))
        abort();
    const uint64_t count = file.getMsgCount();
    for (uint64_t i : {uint64_t(0), uint64_t(1), uint64_t(2), count, count - 1, uint64_t(0xFFFFFFFFu), UINT64_MAX}) {
        QUserCanMsg r;
        (void)file.readMsg(i, &r);
        char raw[QFClassUserCanMsg::RecordSize];
        (void)file.readRecord(i, raw);
        (void)file.dataRecordFrom(i);
    }
    // A block read walks the whole file: never more records than asked for.
    static char block[4 * QFClassUserCanMsg::RecordSize];
    for (uint64_t first = 0; first <= count; first += 4) {
        const int64_t got = file.readRecords(first, 4, block);
        if (got > 4)
            abort();
        if (got <= 0)
            break;
    }
    return 0;
}
