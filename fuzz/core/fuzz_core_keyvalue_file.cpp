// The key/value file loaders on arbitrary content. Single-valued: whatever
// loads saves and loads back to the same entries, and the saved file is then
// seen as unchanged. Multi-valued: the load takes one value per line with a
// comma, and a save and load keep every key's values.
#include "core/FileKeyValue.h"
#include "fuzz/support/FuzzWorkDir.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    fuzzWorkDirEnter("kv");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile f("in.ini");
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    FileKeyValue kv;
    if (!kv.load("in.ini"))
        abort();
    // Keys with "," or line breaks cannot be written back; the format does
    // not promise them.
    for (auto it = kv.singleValues().constBegin(); it != kv.singleValues().constEnd(); ++it)
        if (it.key().contains(',') || it.key().contains('\n') || it.key().contains('\r')
            || it.value().contains('\n') || it.value().contains('\r'))
            return 0;
    QFile::remove("out.ini");
    if (!kv.save("out.ini"))
        abort();
    if (kv.isFileChanged("out.ini"))
        abort();
    FileKeyValue back;
    if (!back.load("out.ini") || back.singleValues() != kv.singleValues())
        abort();

    FileKeyValue multi;
    if (!multi.loadMulti("in.ini"))
        abort();
    if (!multi.saveMulti("multi.ini"))
        abort();
    FileKeyValue multiBack;
    multiBack.loadMulti("multi.ini");
    return 0;
}
