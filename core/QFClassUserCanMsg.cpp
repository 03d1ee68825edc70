#include "core/QFClassUserCanMsg.h"

#include "core/QUserLogLine.h"

#include <QDebug>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Appends a text field; "," CR and LF would break the record, so they become
// blanks. Non-Latin-1 characters become '?'.
char *putText(char *p, char *end, const QString &s, bool trim)
{
    const QChar *b = s.constData();
    const QChar *e = b + s.size();
    if (trim) {
        while (b < e && (b->unicode() == ' ' || b->unicode() == '\t'))
            ++b;
        while (e > b && ((e - 1)->unicode() == ' ' || (e - 1)->unicode() == '\t'))
            --e;
    }
    for (; b < e && p < end; ++b) {
        ushort c = b->unicode();
        if (c == ',' || c == '\r' || c == '\n')
            c = ' ';
        else if (c > 0xFF)
            c = '?';
        *p++ = char(c);
    }
    return p;
}

char *putUnsigned(char *p, char *end, uint64_t v)
{
    char tmp[24];
    int n = 0;
    do {
        tmp[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    while (n > 0 && p < end)
        *p++ = tmp[--n];
    return p;
}

char *putSigned(char *p, char *end, int64_t v)
{
    if (v < 0) {
        if (p < end)
            *p++ = '-';
        return putUnsigned(p, end, uint64_t(0) - uint64_t(v));
    }
    return putUnsigned(p, end, uint64_t(v));
}

inline char *putComma(char *p, char *end)
{
    if (p < end)
        *p++ = ',';
    return p;
}

// Whole field as unsigned decimal; 0 when it is not a number (or overflows).
uint64_t readUnsigned(const char *b, const char *e)
{
    while (b < e && *b == ' ')
        ++b;
    while (e > b && e[-1] == ' ')
        --e;
    if (b < e && *b == '+')
        ++b;
    if (b == e)
        return 0;
    uint64_t v = 0;
    for (; b < e; ++b) {
        if (*b < '0' || *b > '9')
            return 0;
        const uint64_t d = uint64_t(*b - '0');
        if (v > (UINT64_MAX - d) / 10)
            return 0;
        v = v * 10 + d;
    }
    return v;
}

// Latin-1 bytes into a text, reusing its storage when it holds enough.
void assignLatin1(QString &dst, const char *b, const char *e)
{
    const int n = int(e - b);
    dst.resize(n);
    QChar *d = dst.data();
    for (int i = 0; i < n; ++i)
        d[i] = QChar(uchar(b[i]));
}

int64_t readSigned(const char *b, const char *e)
{
    while (b < e && *b == ' ')
        ++b;
    bool neg = false;
    if (b < e && (*b == '-' || *b == '+')) {
        neg = *b == '-';
        ++b;
    }
    if (b < e && (*b == '-' || *b == '+'))
        return 0;
    const uint64_t mag = readUnsigned(b, e);
    if (!neg)
        return mag > uint64_t(INT64_MAX) ? 0 : int64_t(mag);
    if (mag > uint64_t(INT64_MAX) + 1)
        return 0;
    return int64_t(uint64_t(0) - mag);
}

} // namespace

QFClassUserCanMsg::QFClassUserCanMsg() = default;

QFClassUserCanMsg::~QFClassUserCanMsg()
{
    if (isOpen)
        close();
}

bool QFClassUserCanMsg::open(bool rd, const QString &p)
{
    if (isOpen)
        close();
    path = p;
    readMode = rd;
    headerRead = false;
    count = 0;
    position = -1;
    seeks = 0;
    file.setFileName(p);
    if (!rd) {
        // Readers map the file. Emptying it in place would pull the pages
        // from under a reader that still has it open (a fault on its next
        // read), so a writer starts a new file under the name instead: the
        // reader keeps the old content until it reopens.
        const QFileInfo fi(p);
        if (fi.isFile())
            QFile::remove(p);
    }
    const bool ok = rd ? file.open(QIODevice::ReadOnly)
                       : file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!ok) {
        logLine(QStringLiteral("QFClassUserCanMsg Class File:%1 Creat Fail...").arg(p));
        return false;
    }
    isOpen = true;
    if (rd) {
        mappedSize = file.size();
        // Map the whole file with its pages wired in up front: a random read
        // is then a copy, with no system call and no page fault.
        if (mappedSize > 0) {
            int flags = MAP_SHARED;
#ifdef MAP_POPULATE
            // Up to 1 GiB (over 3 million records); a larger file is
            // faulted in page by page as it is read.
            if (mappedSize <= (qint64(1) << 30))
                flags |= MAP_POPULATE;
#endif
            void *p = ::mmap(nullptr, size_t(mappedSize), PROT_READ, flags, file.handle(), 0);
            mapped = p == MAP_FAILED ? nullptr : static_cast<const uchar *>(p);
        }
        if (!mapped)
            mappedSize = 0;
    } else {
        file.resize(0);
        headerRead = true;
        // Flushed at once: records may go to the file past the buffer
        // (writeRecordsAt).
        if (!writeHeader() || !file.flush()) {
            file.close();
            isOpen = false;
            logLine(QStringLiteral("QFClassUserCanMsg Class File:%1 Creat Fail...").arg(p));
            return false;
        }
    }
    return true;
}

void QFClassUserCanMsg::formatRaw(const QUserCanMsgRaw &f, char *out)
{
    static const char hex[] = "0123456789ABCDEF";
    char *p = out;
    char *const end = out + RecordTextWidth;
    uint32_t id = f.id;
    for (int i = 7; i >= 0; --i) {
        p[i] = hex[id & 0xF];
        id >>= 4;
    }
    p += 8;
    *p++ = ',';
    p = putUnsigned(p, end, f.protocol);
    *p++ = ',';
    p = putUnsigned(p, end, f.extended);
    *p++ = ',';
    p = putUnsigned(p, end, f.remote);
    *p++ = ',';
    p = putUnsigned(p, end, f.fdFlags);
    *p++ = ',';
    p = putUnsigned(p, end, f.len);
    *p++ = ',';
    if (!f.remote) {
        const int n = f.dataLen > 64 ? 64 : f.dataLen;
        for (int i = 0; i < n; ++i) {
            *p++ = hex[f.data[i] >> 4];
            *p++ = hex[f.data[i] & 0xF];
        }
    }
    *p++ = ',';
    p = putUnsigned(p, end, f.direction);
    *p++ = ',';
    p = putUnsigned(p, end, f.devTime);
    *p++ = ',';
    p = putSigned(p, end, f.hostTime);
    *p++ = ',';
    p = putUnsigned(p, end, f.channel);
    // The longest frame takes about 210 characters: the padding field is
    // always there.
    *p++ = ',';
    std::memset(p, '0', size_t(end - p));
    out[RecordTextWidth] = '\r';
    out[RecordTextWidth + 1] = '\n';
}

void QFClassUserCanMsg::formatRecord(const QUserCanMsg &m, char *out)
{
    char *p = out;
    char *end = out + RecordTextWidth;
    p = putText(p, end, m.idText, true);
    p = putComma(p, end);
    p = putUnsigned(p, end, m.protocol);
    p = putComma(p, end);
    p = putUnsigned(p, end, m.extended);
    p = putComma(p, end);
    p = putUnsigned(p, end, m.remote);
    p = putComma(p, end);
    p = putUnsigned(p, end, m.fdFlags);
    p = putComma(p, end);
    p = putText(p, end, m.lenText, false);
    p = putComma(p, end);
    p = putText(p, end, m.dataText, false);
    p = putComma(p, end);
    p = putUnsigned(p, end, m.direction);
    p = putComma(p, end);
    p = putUnsigned(p, end, m.devTime);
    p = putComma(p, end);
    p = putSigned(p, end, m.hostTime);
    p = putComma(p, end);
    p = putUnsigned(p, end, m.channel);
    // Padding field: "," then "0" up to the width. A text that filled the
    // width has been cut and carries no padding field, which the reader
    // detects.
    if (p < end) {
        *p++ = ',';
        std::memset(p, '0', size_t(end - p));
    }
    out[RecordTextWidth] = '\r';
    out[RecordTextWidth + 1] = '\n';
}

QString QFClassUserCanMsg::msgToLine(const QUserCanMsg &msg)
{
    char buf[RecordSize];
    formatRecord(msg, buf);
    return QString::fromLatin1(buf, RecordSize);
}

bool QFClassUserCanMsg::parseRecord(const char *text, int len, QUserCanMsg *msg)
{
    if (!text || len <= 0)
        return false;
    // The line ends at the first CR or LF.
    const char *end = text + len;
    if (const void *cr = std::memchr(text, '\r', size_t(len)))
        end = static_cast<const char *>(cr);
    if (const void *lf = std::memchr(text, '\n', size_t(end - text)))
        end = static_cast<const char *>(lf);
    if (end == text)
        return false;
    // 11 fields, each closed by a comma: the last comma opens the padding
    // field, which a cut record does not have.
    const char *fb[FieldCount];
    const char *fe[FieldCount];
    const char *s = text;
    for (int n = 0; n < FieldCount; ++n) {
        const void *c = std::memchr(s, ',', size_t(end - s));
        if (!c)
            return false;
        fb[n] = s;
        fe[n] = static_cast<const char *>(c);
        s = fe[n] + 1;
    }
    if (!msg)
        return false;
    assignLatin1(msg->idText, fb[0], fe[0]);
    msg->protocol = uint8_t(readUnsigned(fb[1], fe[1]));
    msg->extended = uint8_t(readUnsigned(fb[2], fe[2]));
    msg->remote = uint8_t(readUnsigned(fb[3], fe[3]));
    msg->fdFlags = uint8_t(readUnsigned(fb[4], fe[4]));
    assignLatin1(msg->lenText, fb[5], fe[5]);
    assignLatin1(msg->dataText, fb[6], fe[6]);
    msg->direction = uint8_t(readUnsigned(fb[7], fe[7]));
    msg->devTime = readUnsigned(fb[8], fe[8]);
    msg->hostTime = readSigned(fb[9], fe[9]);
    msg->channel = uint8_t(readUnsigned(fb[10], fe[10]));
    return true;
}

bool QFClassUserCanMsg::lineToMsg(const QString &line, QUserCanMsg *msg)
{
    const QByteArray raw = line.toLatin1();
    return parseRecord(raw.constData(), raw.size(), msg);
}

bool QFClassUserCanMsg::appendMsg(const QUserCanMsg &msg)
{
    if (!isOpen || readMode)
        return false;
    char buf[RecordSize];
    formatRecord(msg, buf);
    // The stream stands at the end: the header, then every record so far.
    if (file.write(buf, RecordSize) != RecordSize)
        return false;
    ++count;
    return true;
}

bool QFClassUserCanMsg::appendRecords(const char *records, uint64_t n)
{
    if (!isOpen || readMode || (n && !records))
        return false;
    const uint64_t bytes = n * uint64_t(RecordSize);
    if (bytes > uint64_t(INT64_MAX))
        return false;
    if (file.write(records, qint64(bytes)) != qint64(bytes))
        return false;
    count += n;
    return true;
}

bool QFClassUserCanMsg::writeRecordsAt(uint64_t first, const char *records, uint64_t n)
{
    if (!isOpen || readMode || (n && !records))
        return false;
    if (n == 0)
        return true;
    const int fd = file.handle();
    if (fd < 0 || first >= uint64_t(INT64_MAX) / RecordSize || n >= uint64_t(INT64_MAX) / RecordSize)
        return false;
    uint64_t offset = recordOffset(first);
    const char *p = records;
    uint64_t left = n * uint64_t(RecordSize);
    if (offset > uint64_t(INT64_MAX) - left)
        return false;
    while (left > 0) {
        const size_t chunk = left > (uint64_t(1) << 30) ? size_t(1) << 30 : size_t(left);
        const ssize_t w = ::pwrite(fd, p, chunk, off_t(offset));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (w == 0)
            return false;
        p += w;
        offset += uint64_t(w);
        left -= uint64_t(w);
    }
    const uint64_t end = first + n;
    uint64_t seen = count.load();
    while (seen < end && !count.compare_exchange_weak(seen, end)) {
    }
    return true;
}

bool QFClassUserCanMsg::writeHeader()
{
    char buf[RecordSize];
    char *end = buf + RecordTextWidth;
    char *p = putUnsigned(buf, end, count);
    if (p < end) {
        *p++ = ',';
        std::memset(p, '0', size_t(end - p));
    }
    buf[RecordTextWidth] = '\r';
    buf[RecordTextWidth + 1] = '\n';
    if (!file.seek(0))
        return false;
    return file.write(buf, RecordSize) == RecordSize;
}

bool QFClassUserCanMsg::readRaw(uint64_t offset, char *buf, int *got)
{
    *got = 0;
    if (mapped) {
        if (offset >= uint64_t(mappedSize))
            return true;
        const uint64_t avail = uint64_t(mappedSize) - offset;
        const int n = avail < uint64_t(RecordSize) ? int(avail) : int(RecordSize);
        std::memcpy(buf, mapped + offset, size_t(n));
        *got = n;
        return true;
    }
    if (offset > uint64_t(INT64_MAX))
        return false;
    const ssize_t n = ::pread(file.handle(), buf, RecordSize, off_t(offset));
    if (n < 0)
        return false;
    *got = int(n);
    return true;
}

bool QFClassUserCanMsg::readHeader()
{
    if (!isOpen)
        return false;
    char buf[RecordSize];
    int got = 0;
    if (!readRaw(0, buf, &got) || got == 0)
        return false;
    const char *end = buf;
    while (end < buf + got && *end != '\r' && *end != '\n')
        ++end;
    if (end == buf)
        return false;
    const char *comma = static_cast<const char *>(std::memchr(buf, ',', size_t(end - buf)));
    if (!comma)
        return false;
    uint64_t v = readUnsigned(buf, comma);
    // A header that claims more than the file holds would have readers
    // walk through records that are not there.
    const uint64_t size = uint64_t(mapped ? mappedSize : file.size());
    const uint64_t room = size > uint64_t(RecordSize) ? (size - RecordSize + RecordSize - 1) / RecordSize : 0;
    if (v > room)
        v = room;
    count = v;
    headerRead = true;
    position = 0;
    return true;
}

uint64_t QFClassUserCanMsg::getMsgCount()
{
    if (!isOpen)
        return count;
    if (readMode && !headerRead && !readHeader())
        return 0;
    return count;
}

bool QFClassUserCanMsg::readMsg(uint64_t index, QUserCanMsg *out)
{
    if (!isOpen || !readMode || index >= uint64_t(INT64_MAX) / RecordSize)
        return false;
    if (position != int64_t(index)) {
        ++seeks;
        position = int64_t(index);
    }
    char buf[RecordSize];
    int got = 0;
    if (!readRaw(recordOffset(index), buf, &got))
        return false;
    ++position;
    if (got == 0)
        return false;
    return parseRecord(buf, got, out);
}

bool QFClassUserCanMsg::readRecord(uint64_t index, char *out)
{
    if (!isOpen || !readMode || !out || index >= uint64_t(INT64_MAX) / RecordSize)
        return false;
    if (position != int64_t(index)) {
        ++seeks;
        position = int64_t(index);
    }
    int got = 0;
    if (!readRaw(recordOffset(index), out, &got))
        return false;
    ++position;
    return got == RecordSize;
}

int64_t QFClassUserCanMsg::readRecords(uint64_t first, uint64_t n, char *out)
{
    if (!isOpen || !readMode || !out || first >= uint64_t(INT64_MAX) / RecordSize
        || n > (uint64_t(1) << 30) / RecordSize)
        return -1;
    const int fd = file.handle();
    if (fd < 0)
        return -1;
    const uint64_t want = n * uint64_t(RecordSize);
    uint64_t got = 0;
    while (got < want) {
        const ssize_t r = ::pread(fd, out + got, size_t(want - got), off_t(recordOffset(first) + got));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            break;
        got += uint64_t(r);
    }
    position = int64_t(first + got / RecordSize);
    return int64_t(got / RecordSize);
}

uint64_t QFClassUserCanMsg::dataRecordFrom(uint64_t index)
{
    if (!isOpen || !readMode || index >= uint64_t(INT64_MAX) / RecordSize)
        return index;
    const int fd = file.handle();
    if (fd < 0)
        return index;
    // Reads go through the mapping or pread, which ignore the descriptor's
    // offset; it is put back all the same.
    const off_t before = ::lseek(fd, 0, SEEK_CUR);
    const off_t data = ::lseek(fd, off_t(recordOffset(index)), SEEK_DATA);
    if (before >= 0)
        ::lseek(fd, before, SEEK_SET);
    if (data < 0) {
        // No data after the offset: the rest of the file is one hole.
        const uint64_t n = getMsgCount();
        return errno == ENXIO && n > index ? n : index;
    }
    // The record in which the data starts may hold some of it.
    const uint64_t at = uint64_t(data) / RecordSize;
    return at >= 1 && at - 1 > index ? at - 1 : index;
}

void QFClassUserCanMsg::close()
{
    if (!isOpen)
        return;
    if (!readMode) {
        writeHeader();
        file.flush();
    }
    if (mapped)
        ::munmap(const_cast<uchar *>(mapped), size_t(mappedSize));
    mapped = nullptr;
    mappedSize = 0;
    file.close();
    isOpen = false;
}
