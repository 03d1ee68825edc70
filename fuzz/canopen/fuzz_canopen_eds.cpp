// The EDS reader on arbitrary file content, then everything built from what
// it read: attribute rows, lookups, and the PDO upload and download lists
// (with every PDO valid and mapped from the dictionary it read).
#include "canopen/QUserEdsParser.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

static QString g_dir;

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    // Files go to a folder of our own by absolute path: the corpus and
    // artifact paths libFuzzer was given stay relative to where it started.
    static char templ[] = "/tmp/orvane-fuzz-eds-XXXXXX";
    if (!mkdtemp(templ))
        abort();
    g_dir = QString::fromLocal8Bit(templ) + QLatin1Char('/');
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile f(g_dir + "in.eds");
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QUserEdsParser p;
    const bool loaded = p.loadFile(g_dir + "in.eds");
    // The account of what could not be read holds together.
    const EdsLoadReport &report = p.loadReport;
    if (report.damaged < 0 || report.damaged > report.sections || report.firstDamaged.isEmpty() != (report.damaged == 0)
        || (report.damaged > 0 && report.firstDamagedLine < 1))
        abort();
    // A file of which nothing could be read leaves the parser as it was.
    if (!loaded) {
        if (!p.dictObjList.isEmpty() || !p.fileInfo.FileName.isEmpty())
            abort();
        return 0;
    }
    // Objects are unique by index; sub-objects sit under their own index.
    for (int i = 0; i < p.dictObjList.size(); ++i) {
        const QUserDictObj &o = p.dictObjList[i];
        if (!o.isRoot || o.index > 0xFFFF)
            abort();
        for (int j = i + 1; j < p.dictObjList.size(); ++j)
            if (p.dictObjList[j].index == o.index)
                abort();
        for (const QUserDictObj &c : o.childList)
            if (c.isRoot || c.index != o.index || c.subIndex > 0xFF)
                abort();
        QList<QStringList> rows;
        o.toString(rows);
        for (const QStringList &r : rows)
            if (r.size() != 2)
                abort();
        QUserDictObj found;
        if (!p.objGet(o.index, 0, found) || found.index != o.index)
            abort();
    }

    QVector<QUserDictObj> up;
    p.pdoUploadListGet(up);
    for (const QUserDictObj &o : up)
        if (!o.isRead || !o.isReadable())
            abort();
    for (int n = 0; n < 4; ++n) {
        for (QList<QUserDictObj> *list : {&p.rxPdoList, &p.txPdoList}) {
            QUserDictObj &pdo = (*list)[n];
            pdo.pdoEnable = true;
            pdo.cobID = uint32_t(0x180 + 0x80 * n + 1);
            for (const QUserDictObj &o : p.dictObjList)
                if (pdo.childList.size() < 4)
                    pdo.childList.append(o);
        }
    }
    QVector<QUserDictObj> down;
    QStringList notes;
    p.pdoDownloadListGet(down, &notes);
    for (const QUserDictObj &o : down) {
        if (o.isRead || !o.isWritable())
            abort();
        // A mapping entry is a bit field of 1..64 bits.
        if (((o.index >= 0x1600 && o.index <= 0x1603) || (o.index >= 0x1A00 && o.index <= 0x1A03)) && o.subIndex != 0) {
            const uint32_t bits = o.curValue & 0xFF;
            if (bits < 1 || bits > 64)
                abort();
        }
    }
    p.pdoListFromUpload(up);
    return 0;
}
