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
    const uint32_t count = file.getMsgCount();
    for (uint32_t i : {0u, 1u, 2u, count, count - 1, 0xFFFFFFFFu}) {
        QUserCanMsg r;
        (void)file.readMsg(i, &r);
    }
    return 0;
}
