#pragma once
// The front end over the two trace formats: picks ASC or BLF from the file
// name's suffix and offers create, write (with a flush at most about once a
// second), close and batched reads.

#include "traffic/QUserAscFile.h"
#include "traffic/QUserBlfFile.h"

#include <QList>
#include <QString>

class QUserTraceFile
{
public:
    QUserTraceFile();
    ~QUserTraceFile();
    QUserTraceFile(const QUserTraceFile &) = delete;
    QUserTraceFile &operator=(const QUserTraceFile &) = delete;

    // ".blf" gives mode 0, ".asc" mode 1 (case-sensitive); anything else -1
    // and false. An empty name changes nothing and gives false.
    bool modeFromName(const QString &name);
    bool fileCreate(const QString &name);
    // False when no file is open, the writer fails, or the time flush fails.
    bool write(const QUserCanMsg &msg);
    bool close();
    // Batched read (limit 16 by convention): frames appended, 0 or less at the
    // end; -2 for a name of no known format.
    int fileReadPart(const QString &name, QList<QUserCanMsg> &frames, int maxCount);
    int fileRead(const QString &name, QList<QUserCanMsg> &frames);
    // The same batched read as binary frames, for formats that read without
    // texts (BLF). -3 for a format that does not (ASC): use fileReadPart.
    int fileReadPartRaw(const QString &name, QUserCanMsgRaw *frames, int maxCount);
    // True when fileReadPartRaw serves files of this name.
    static bool rawReadable(const QString &name);

    int mode() const { return m_mode; }
    // The trace file last read is shorter than it says it is (BLF only: an
    // ASC file has no length of its own).
    bool endedEarly() const { return m_mode == 0 && m_blf.endedEarly(); }
    // The trace file last read holds damaged data that reading passed over:
    // how many places (BLF: damaged containers or objects, ASC: lines that
    // do not parse where frames stand); 0 for a whole file.
    qint64 damagedCount() const;
    // The file last read is no trace file: it did not open, its name gives
    // no known format, or nothing in it is of the format its name gives (an
    // empty file, a file of other bytes, a broken header). Reading it gave
    // no frames, which is no success.
    bool notTraceFile() const;

    // Time of the last flush; tests move it to check the one-second rule.
    qint64 lastFlushMs() const { return m_lastFlushMs; }
    void setLastFlushMs(qint64 ms) { m_lastFlushMs = ms; }

private:
    int modeOf(const QString &name) const;
    bool readerOpen() const;
    // A reader's result, passed through; a failure is kept for notTraceFile.
    int readResult(int n);

    QUserAscFile m_asc;
    QUserBlfFile m_blf;
    int m_mode = -1;
    qint64 m_lastFlushMs;
    bool m_readFailed = false; // the last read returned a failure (no file, no format)
};
