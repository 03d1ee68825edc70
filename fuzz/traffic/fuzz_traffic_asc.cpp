// The ASC reader on arbitrary bytes: the input is a trace file, read whole
// and in batches of 16; each line also goes through the two list parsers.

#include "traffic/QUserAscFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <unistd.h>

namespace {
QString inputPath()
{
    static const QString p = QStringLiteral("/tmp/fuzz_traffic_asc_%1.asc").arg(getpid());
    return p;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile f(inputPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QList<QUserCanMsg> frames;
    {
        QUserAscFile whole;
        whole.fileRead(inputPath(), frames);
    }
    QList<QUserCanMsg> batched;
    {
        QUserAscFile part;
        int n;
        int guard = 0;
        do {
            n = part.fileReadPart(inputPath(), batched, 16);
        } while (n >= 16 && ++guard < 100000);
    }
    // Both readers agree.
    if (frames.size() != batched.size())
        __builtin_trap();

    const QList<QByteArray> lines = QByteArray(reinterpret_cast<const char *>(data), int(size)).split('\n');
    for (const QByteArray &line : lines) {
        const QStringList parts = QString::fromLatin1(line).simplified().split(QLatin1Char(' '));
        QUserCanMsg msg;
        if (parts.size() >= 5) {
            if (parts[1] == QLatin1String("CANFD"))
                QUserAscFile::lineToCanFdMsg(parts, msg);
            else
                QUserAscFile::lineToCanMsg(parts, msg);
        }
    }
    return 0;
}
