#pragma once
// Cache files of QUserCanMsg records with random access by record number.
// Every line has the same width, so record n sits at RecordSize * (n + 1):
//
//   header:  count "," "000..." (RecordTextWidth characters) CR LF
//   record:  id,protocol,extended,remote,fdFlags,len,data,direction,
//            devTime,hostTime,channel "," "000..." CR LF
//
// The width holds the longest record a frame can make (64 data bytes with
// blanks between them, 64-bit times, channel), so no frame is ever cut.
// Text is plain ASCII (Latin-1 on reading). The files are internal caches,
// rebuilt on every load.
//
// A reader maps the whole file. A writer opening a path replaces the file
// (new file under the name) rather than emptying it in place, so a reader
// still open on the old one keeps reading the old records safely. Do not
// truncate a cache file by other means while it is open for reading.

#include "core/QUserCanMsg.h"
#include "core/QUserCanMsgRaw.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <cstdint>

class QFClassUserCanMsg
{
public:
    enum : int {
        // Any narrower and the record of a 64-byte frame is cut: its last
        // fields, the channel among them, are lost.
        RecordTextWidth = 318,
        RecordSize = RecordTextWidth + 2, // with CR LF
        FieldCount = 11,                  // without the padding field
    };

    QFClassUserCanMsg();
    ~QFClassUserCanMsg();
    QFClassUserCanMsg(const QFClassUserCanMsg &) = delete;
    QFClassUserCanMsg &operator=(const QFClassUserCanMsg &) = delete;

    bool open(bool readMode, const QString &path);
    bool appendMsg(const QUserCanMsg &msg);
    // Appends n records already formatted (RecordSize bytes each, as
    // formatRecord or formatRaw make them) in one write.
    bool appendRecords(const char *records, uint64_t n);
    // Writes n formatted records as records first .. first+n-1 of a file
    // open for writing. Safe from several threads at once for ranges that
    // do not overlap; the count becomes the highest record written plus
    // one. Not to be mixed with appendMsg/appendRecords on one file.
    bool writeRecordsAt(uint64_t first, const char *records, uint64_t n);
    // Records in the file: the header's count, but never more than the file
    // can hold (a cut last record still counts, and fails to read).
    uint64_t getMsgCount();
    bool readMsg(uint64_t index, QUserCanMsg *out);
    // The RecordSize bytes of record index as they stand in the file; false
    // when the file ends before them or cannot be read. Whether they make a
    // record is parseRecord's question.
    bool readRecord(uint64_t index, char *out);
    // Up to n records from first on, as they stand, into out (n *
    // RecordSize bytes) with one read of the file: the way to walk a large
    // cache in order. Returns how many whole records were read (fewer at
    // the end of the file), -1 when the file cannot be read.
    int64_t readRecords(uint64_t first, uint64_t n, char *out);
    void close();
    // A reader's first record at or after index that may hold data. In a
    // sparse file the records inside a hole hold none (they read as zeros
    // and never parse); walking them one by one would only fill memory
    // with zero pages. index itself when the file system cannot tell.
    uint64_t dataRecordFrom(uint64_t index);

    static QString msgToLine(const QUserCanMsg &msg);
    static bool lineToMsg(const QString &line, QUserCanMsg *msg);
    // Parses one record text from raw bytes (stops at CR or LF).
    static bool parseRecord(const char *text, int len, QUserCanMsg *msg);
    // Writes the RecordSize-byte line of msg into out.
    static void formatRecord(const QUserCanMsg &msg, char *out);
    // The same line for a binary frame: byte for byte what formatRecord
    // writes for rawToMsg(raw).
    static void formatRaw(const QUserCanMsgRaw &raw, char *out);

    bool writeHeader();
    bool readHeader();

    bool isOpened() const { return isOpen; }
    // Times readMsg had to seek (not continue in sequence).
    uint64_t seekCount() const { return seeks; }
    // Byte offset of record n (64-bit: a file passes 2^31 bytes at about
    // 6.7 million records and 2^32 at about 13.4 million).
    static uint64_t recordOffset(uint64_t n) { return uint64_t(RecordSize) * (n + 1); }

private:
    bool readRaw(uint64_t offset, char *buf, int *got);

    QString path;
    bool readMode = false;
    bool headerRead = false;
    std::atomic<uint64_t> count{0};
    int64_t position = -1;
    QFile file;
    bool isOpen = false;
    const uchar *mapped = nullptr;
    qint64 mappedSize = 0;
    uint64_t seeks = 0;
};
