#include "dbc/DbcFileLoader.h"

#include "dbc/DbcLibText.h"
#include "dbc/DbcLoadNote.h"
#include "dbc/DbcRecord.h"
#include "dbc/QKemsigLib.h"

#include <QDebug>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <memory>

namespace DbcFileLoader {

namespace {

void logLine(const QString &text) { qDebug().noquote() << text; }

bool stopRaised(const std::atomic<bool> *stop) { return stop && stop->load(std::memory_order_relaxed); }

// The handle of one load, released with its library's KDBC_Release.
struct Handle {
    QKemsigLib *lib = nullptr;
    DbcDatabase *db = nullptr;
    ~Handle()
    {
        if (db && lib && lib->release)
            lib->release(db);
    }
};

void valueDescriptionsRead(QKemsigLib &lib, DbcDatabase *db, QUserDbcMsg &msg)
{
    DbcValDescPair pairs[KDBC_MAX_VALDESC_PAIRS];
    for (QUserDbcSignal &sig : msg.vSignals) {
        const QByteArray key = DbcLibText::signalNameKey(sig.strName);
        const quint32 count = lib.getValDescPairCount(db, msg.nID, key.constData());
        if (count == 0)
            continue;
        const quint32 n = std::min<quint32>(count, KDBC_MAX_VALDESC_PAIRS);
        std::memset(pairs, 0, sizeof pairs);
        const quint32 got = std::min<quint32>(lib.getValDescPair(db, msg.nID, key.constData(), pairs, n), n);
        for (quint32 i = 0; i < got; ++i)
            sig.valDesPair.insert(pairs[i].value, DbcLibText::fromField(pairs[i].text));
    }
}

} // namespace

QByteArray pathBytes(const QString &path)
{
    // Whole: this platform has no 260-byte path limit, and a cut path names
    // another file (the send window's loads never cut either).
    return QFile::encodeName(path);
}

int load(const QString &path, int protocol, QVector<QUserDbcMsg> &messages, const std::atomic<bool> *stop,
         const QString &libName, DbcLoadReport *report)
{
    if (report)
        std::memset(report, 0, sizeof *report);
    logLine(QStringLiteral("加载DBC文件..."));
    // The library object is this job's own and goes when the job ends,
    // whichever way it ends.
    std::unique_ptr<QKemsigLib> lib(new QKemsigLib(libName));
    struct Unload {
        std::unique_ptr<QKemsigLib> &lib;
        ~Unload()
        {
            if (lib && lib->isLoaded())
                logLine(QStringLiteral("Kem DBC Lib UnLoad..."));
            lib.reset();
        }
    } unload{lib};

    if (!lib->isLoaded())
        return LibLoadFailed;
    if (!lib->init || !lib->release || !lib->loadFile || !lib->setProtocol || !lib->getMessageCount
        || !lib->getMessageByIndex || !lib->getValDescPair || !lib->getValDescPairCount)
        return LibLoadFailed;
    logLine(QStringLiteral("Kem DBC Lib Load Success..."));

    Handle handle;
    handle.lib = lib.get();
    handle.db = lib->init();
    if (!handle.db)
        return InitFailed;
    if (path.isEmpty())
        return EmptyPath;

    const QByteArray bytes = pathBytes(path); // NUL-terminated
    if (lib->loadFile(handle.db, bytes.constData()) == 0)
        return ParseFailed;
    const DbcLoadReport note = DbcLoadNote::read(*lib, handle.db);
    DbcLoadNote::log(path, note);
    if (report)
        *report = note;
    if (DbcLoadNote::nothingRead(note))
        return ParseFailed;
    lib->setProtocol(handle.db, protocol);

    messages.clear();
    const quint32 count = lib->getMessageCount(handle.db);
    messages.reserve(int(count));
    std::unique_ptr<DbcMessage> record(new DbcMessage);
    for (quint32 i = 0; i < count; ++i) {
        if (stopRaised(stop))
            return Stopped;
        if (lib->getMessageByIndex(handle.db, i, record.get()) == 0)
            break;
        messages.append(DbcMessageRecord::fromLib(*record));
    }
    for (QUserDbcMsg &msg : messages) {
        if (stopRaised(stop))
            return Stopped;
        valueDescriptionsRead(*lib, handle.db, msg);
    }
    logLine(QStringLiteral("DBC Msg数量:%1").arg(messages.size()));
    return Loaded;
}

} // namespace DbcFileLoader
