// The DBC project loader on arbitrary bytes. A load that fails leaves the
// project as it was; one that succeeds writes a document that loads back to
// the same document. Every loaded message also goes through the conversion
// to kemsig's record (names must stay whole UTF-8 characters) and through
// the property rows.
#include "dbc/DbcPrjFile.h"
#include "dbc/DbcRecord.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// The input file, in a folder of its own (the working directory stays, so
// that relative corpus paths keep working).
QString g_input;

bool wholeUtf8(const char *field, size_t size)
{
    const size_t n = strnlen(field, size);
    if (n >= size)
        return false; // never without its NUL
    const QByteArray bytes(field, int(n));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

DbcPrjFile seeded()
{
    DbcPrjFile p;
    p.setDbcFilePath(QStringLiteral("before.dbc"));
    QUserDbcMsg m;
    m.strName = QStringLiteral("Before");
    m.vSignals.append(QUserDbcSignal());
    p.addMessageList({m});
    p.addSignalList({QUserDbcSignal()});
    return p;
}

} // namespace

// Qt 5.15's JSON parser loses the earlier value of a key that appears twice
// in one object when that value is an array or an object (a few bytes per
// such key, inside libQt5Core). Its stacks end in the library, which has no
// frame pointers, so the report cannot be narrowed further; allocations of
// the target's own (outside Qt) are still checked.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt5Core.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    char templ[] = "/tmp/orvane-fuzz-prj-XXXXXX";
    if (!mkdtemp(templ))
        abort();
    g_input = QString::fromLocal8Bit(templ) + QStringLiteral("/in.prj");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile f(g_input);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    DbcPrjFile p = seeded();
    const QByteArray before = p.toJsonBytes();
    const int r = p.load(g_input);
    if (r != DbcPrjFile::Ok) {
        if (r != DbcPrjFile::NotJson && r != DbcPrjFile::NotObject && r != DbcPrjFile::BadMemberType)
            abort();
        if (p.toJsonBytes() != before)
            abort(); // a failed load changed the project
        return 0;
    }

    // What was loaded saves and loads back to the same document.
    const QByteArray once = p.toJsonBytes();
    DbcPrjFile back = seeded();
    if (back.loadBytes(once) != DbcPrjFile::Ok)
        abort();
    if (back.toJsonBytes() != once)
        abort();

    static DbcMessage *rec = static_cast<DbcMessage *>(std::calloc(1, sizeof(DbcMessage)));
    QList<QStringList> rows;
    for (const QUserDbcMsg &m : p.messageList()) {
        if (!DbcMessageRecord::toLib(m, rec))
            abort();
        if (!wholeUtf8(rec->strName, sizeof rec->strName) || !wholeUtf8(rec->strComment, sizeof rec->strComment))
            abort();
        for (uint32_t i = 0; i < rec->nSignalCount; ++i) {
            const DbcSignal &s = rec->sSignals[i];
            if (!wholeUtf8(s.strName, sizeof s.strName) || !wholeUtf8(s.unit, sizeof s.unit)
                || !wholeUtf8(s.strComment, sizeof s.strComment))
                abort();
        }
        const QUserDbcMsg again = DbcMessageRecord::fromLib(*rec);
        if (again.vSignals.size() != std::min(m.vSignals.size(), KDBC_MAX_SIGNALS))
            abort();
        rows.clear();
        m.infoRows(rows);
        m.frameInfoRows(rows);
        for (const QUserDbcSignal &s : m.vSignals)
            s.infoRows(rows);
    }
    for (const QUserDbcSignal &s : p.signalList()) {
        rows.clear();
        s.infoRows(rows);
        (void)s.isValid();
    }
    return 0;
}
