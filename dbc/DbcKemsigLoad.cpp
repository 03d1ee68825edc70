#include "dbc/DbcKemsigLoad.h"

#include <QDebug>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <memory>

#include "dbc/DbcLibText.h"
#include "dbc/DbcLoadNote.h"
#include "dbc/DbcRecord.h"
#include "dbc/QKemsigLib.h"

namespace DbcKemsigLoad {

namespace {

void logLine(const QString &text) { qDebug().noquote() << "DbcKemsigLoad" << ">" << text; }

bool stopped(const std::atomic<bool> *stop) { return stop && stop->load(std::memory_order_relaxed); }

// Reads the file's messages out of a loaded handle.
int readMessages(QKemsigLib &lib, DbcDatabase *db, QVector<QUserDbcMsg> &out, const std::atomic<bool> *stop)
{
    lib.setProtocol(db, KDBC_PROTOCOL_J1939);
    const uint32_t count = lib.getMessageCount(db);
    // A DbcMessage is 100 KB: one, off the stack, reused for every index.
    auto rec = std::make_unique<DbcMessage>();
    QVector<QUserDbcMsg> msgs;
    msgs.reserve(int(std::min<uint32_t>(count, 100000)));
    for (uint32_t i = 0; i < count; ++i) {
        if (stopped(stop))
            return Cancelled;
        std::memset(rec.get(), 0, sizeof(DbcMessage));
        if (!lib.getMessageByIndex(db, i, rec.get()))
            break; // what was read so far stands
        msgs.append(DbcMessageRecord::fromLib(*rec));
    }

    DbcValDescPair pairs[KDBC_MAX_VALDESC_PAIRS];
    for (QUserDbcMsg &m : msgs) {
        if (stopped(stop))
            return Cancelled;
        for (QUserDbcSignal &s : m.vSignals) {
            const QByteArray key = DbcLibText::signalNameKey(s.strName);
            const uint32_t c = lib.getValDescPairCount(db, m.nID, key.constData());
            if (c == 0)
                continue;
            const uint32_t k = std::min<uint32_t>(c, KDBC_MAX_VALDESC_PAIRS);
            std::memset(pairs, 0, sizeof pairs);
            const uint32_t got = std::min<uint32_t>(lib.getValDescPair(db, m.nID, key.constData(), pairs, k), k);
            for (uint32_t j = 0; j < got; ++j)
                s.valDesPair.insert(pairs[j].value, DbcLibText::fromField(pairs[j].text));
        }
    }
    out = msgs;
    return Done;
}

} // namespace

QByteArray pathBytes(const QString &path) { return QFile::encodeName(path); }

namespace {
std::atomic<LoadHook> g_loadHook{nullptr};
}

void setLoadHookForTest(LoadHook hook) { g_loadHook.store(hook); }

int loadFile(const QString &path, QVector<QUserDbcMsg> &out, const std::atomic<bool> *stop,
             const QString &libFileName, DbcLoadReport *report)
{
    out.clear();
    if (report)
        std::memset(report, 0, sizeof *report);
    if (LoadHook hook = g_loadHook.load())
        hook(path);
    logLine(QStringLiteral("加载DBC文件..."));
    QKemsigLib lib(libFileName);
    if (!lib.isLoaded()) {
        logLine(QStringLiteral("Kem DBC Lib Load Fail..."));
        return LibLoadFailed;
    }
    logLine(QStringLiteral("Kem DBC Lib Load Success..."));

    int result = Done;
    DbcDatabase *db = nullptr;
    if (!lib.init || !lib.release || !lib.loadFile || !lib.setProtocol || !lib.getMessageCount
        || !lib.getMessageByIndex || !lib.getValDescPairCount || !lib.getValDescPair) {
        // A library without the functions the load needs cannot make a
        // usable handle.
        result = InitFailed;
    } else if (!(db = lib.init())) {
        result = InitFailed;
    } else if (path.isEmpty()) {
        result = EmptyPath;
    } else {
        const QByteArray bytes = pathBytes(path);
        if (!lib.loadFile(db, bytes.constData())) {
            result = ParseFailed;
        } else {
            const DbcLoadReport note = DbcLoadNote::read(lib, db);
            DbcLoadNote::log(path, note);
            if (report)
                *report = note;
            if (DbcLoadNote::nothingRead(note))
                result = ParseFailed;
            else if (stopped(stop))
                result = Cancelled;
            else
                result = readMessages(lib, db, out, stop);
        }
    }
    if (result == Done)
        logLine(QStringLiteral("DBC Msg数量:%1").arg(out.size()));

    if (db)
        lib.release(db);
    lib.unload();
    logLine(QStringLiteral("Kem DBC Lib UnLoad..."));
    return result;
}

} // namespace DbcKemsigLoad
