// The project loader on arbitrary file content. A failed load changes
// nothing; what loads saves, and the saved file loads back to the same text.
#include "canopen/QUserCANopenPrj.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

static QString g_dir;

// Qt 5.15's JSON parser loses a few bytes on some malformed documents (inside
// libQt5Core, on its error path); that is not ours to find here.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt5Core.so\n";
}

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    // Files go to a folder of our own by absolute path: the corpus and
    // artifact paths libFuzzer was given stay relative to where it started.
    static char templ[] = "/tmp/orvane-fuzz-prj-XXXXXX";
    if (!mkdtemp(templ))
        abort();
    g_dir = QString::fromLocal8Bit(templ) + QLatin1Char('/');
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile f(g_dir + "in.prj");
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QUserCANopenPrj prj;
    prj.edsFilePathSet(QStringLiteral("before"));
    const QByteArray before = prj.prjText();
    const int r = prj.prjLoad(g_dir + "in.prj");
    if (r != 0) {
        if (r != QUserCANopenPrj::LoadNotProject || prj.prjText() != before)
            abort();
        return 0;
    }
    const QByteArray text = prj.prjText();
    QString eds;
    prj.edsFilePathGet(eds);
    prj.prjFilePathSet(g_dir + "out.prj");
    QList<QUserDictObj> listen, rx, tx;
    QUserCANopenPrj loaded;
    if (loaded.prjLoad(g_dir + "in.prj") != 0)
        abort();
    loaded.listenDictObjListGet(listen);
    loaded.rxPdoDictObjListGet(rx);
    loaded.txPdoDictObjListGet(tx);
    prj.edsFilePathSet(eds);
    prj.listenDictObjListSet(listen);
    prj.rxPdoDictObjListSet(rx);
    prj.txPdoDictObjListSet(tx);
    if (prj.prjText() != text)
        abort();
    // The written text loads back to itself (prjSave writes this text; its
    // file handling is left out here, as its disk syncs would slow the run).
    {
        QFile out(g_dir + "out.prj");
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size())
            abort();
    }
    QUserCANopenPrj back;
    if (back.prjLoad(g_dir + "out.prj") != 0 || back.prjText() != text)
        abort();
    return 0;
}
