// The "-Fliter.ini" loader on arbitrary file content: no crash, and every rule
// taken is one the saver writes back and the loader takes again unchanged.
#include "core/QUserFliterCfg.h"
#include "fuzz/support/FuzzWorkDir.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    fuzzWorkDirEnter("fliter");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile f("F-0-0-Fliter.ini");
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QUserFliterCfg cfg("F-0-0");
    const QVector<QUserFliterRule> loaded = cfg.rules;
    for (const QUserFliterRule &r : loaded) {
        if (r.flag != 0 || r.endId > 0x1FFFFFFF || r.startId > 0x1FFFFFFF)
            abort();
        if (!r.extended && (r.startId > 0x7FF || r.endId > 0x7FF))
            abort();
    }
    cfg.setEnable(true);
    QUserCanMsg m;
    m.idText = QString::fromLatin1(reinterpret_cast<const char *>(data), int(size < 12 ? size : 12));
    m.extended = size & 1;
    (void)cfg.isPass(&m);

    cfg.setRules(loaded);
    QUserFliterCfg again("F-0-0");
    if (again.rules != loaded)
        abort();
    return 0;
}
