#include "traffic/QUserBlfFile.h"

#include "core/QUserLibPath.h"
#include "traffic/QUserTraceText.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QtEndian>
#include <QLibrary>

#include <cstring>

namespace {

constexpr uint32_t kAccessWrite = 0x40000000u;
constexpr uint32_t kAccessRead = 0x80000000u;
constexpr uint32_t kTypeCanMessage = 1;
constexpr uint32_t kTypeAppTrigger = 5;
constexpr uint32_t kTypeCanFdMessage = 100;
constexpr uint32_t kTypeCanMessage2 = 86;
constexpr uint32_t kTypeCanFdMessage64 = 101;
// Identifier word of every frame object: 29 identifier bits, bit 31 the
// extended flag; bits 29 and 30 are not part of the identifier.
constexpr uint32_t kIdBits = 0x1FFFFFFFu;
constexpr uint32_t kIdExtended = 0x80000000u;
// Flags of the CAN FD message 64 object.
constexpr uint32_t kFd64Remote = 0x0010;
constexpr uint32_t kFd64Edl = 0x1000;
constexpr uint32_t kFd64Brs = 0x2000;
constexpr uint32_t kFd64Esi = 0x4000;
constexpr uint32_t kFlagTimeTenMics = 1;
constexpr uint32_t kFlagTimeNanos = 2;
constexpr int kFlushEvery = 100;

using FnCreateFile = void *(*)(const char *, uint32_t);
using FnSetApplication = int32_t (*)(void *, uint8_t, uint8_t, uint8_t, uint8_t);
using FnSetWriteOptions = int32_t (*)(void *, uint32_t, uint32_t);
using FnSetStartTime = int32_t (*)(void *, const uint16_t *);
using FnWriteObject = int32_t (*)(void *, const void *);
using FnFlush = int32_t (*)(void *, uint32_t);
using FnClose = int32_t (*)(void *);
using FnPeek = int32_t (*)(void *, void *);
using FnReadSecure = int32_t (*)(void *, void *, size_t);
using FnFree = int32_t (*)(void *, void *);
using FnSkip = int32_t (*)(void *, void *);
using FnReadDamage = int32_t (*)(void *, uint32_t *, uint64_t *);

QString &libraryNameSetting()
{
    static QString name = QStringLiteral("binlog.dll");
    return name;
}

void fillHeader(BlfObjectHeader &h, uint32_t size, uint32_t type)
{
    std::memcpy(h.signature, "LOBJ", 4);
    h.headerSize = sizeof(BlfObjectHeader);
    h.headerVersion = 1;
    h.objectSize = size;
    h.objectType = type;
    h.objectFlags = kFlagTimeNanos;
}

// The identifier field: the text trimmed and read as hex (0 when it does not
// read as a non-negative 32-bit signed value), bit 31 for extended frames.
uint32_t idField(const QUserCanMsg &msg)
{
    uint32_t id = tracetext::hexIdOf(msg.idText);
    if (msg.extended)
        id |= 0x80000000u;
    return id;
}

uint8_t flagsField(const QUserCanMsg &msg)
{
    return uint8_t((msg.remote ? 0x80 : 0) | (msg.direction ? 1 : 0));
}

void readIdField(uint32_t id, QUserCanMsgRaw &f)
{
    f.extended = (id & kIdExtended) ? 1 : 0;
    f.id = id & kIdBits;
}

// CAN FD flag byte of a frame read back: bit 0 bit-rate switch, bit 1
// error-state indicator.
uint8_t fdFlagsOf(bool brs, bool esi) { return uint8_t((brs ? 0x01 : 0) | (esi ? 0x02 : 0)); }

int64_t hostTimeOf(const BlfObjectHeader &h)
{
    if (h.objectFlags & kFlagTimeTenMics)
        return int64_t(h.timeStamp / 100);
    return int64_t(h.timeStamp / 1000000);
}

} // namespace

struct QUserBlfFile::Api {
    FnCreateFile createFile = nullptr;
    FnSetApplication setApplication = nullptr;
    FnSetWriteOptions setWriteOptions = nullptr;
    FnSetStartTime setStartTime = nullptr;
    FnWriteObject writeObject = nullptr;
    FnFlush flush = nullptr;
    FnClose closeHandle = nullptr;
    FnPeek peek = nullptr;
    FnReadSecure readSecure = nullptr;
    FnFree freeObject = nullptr;
    FnSkip skip = nullptr;
    FnReadDamage readDamage = nullptr; // ours only: other libraries end the read at damage
};

void QUserBlfFile::setLibraryName(const QString &name)
{
    libraryNameSetting() = name.isEmpty() ? QStringLiteral("binlog.dll") : name;
}

QString QUserBlfFile::libraryPath()
{
    // "binlog.dll" is libbinlog.so here; a name without the suffix is taken
    // as the platform's file name already.
    const QString &name = libraryNameSetting();
    if (!name.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        return name;
    return QUserLibPath::find(QUserLibPath::platformName(name));
}

QUserBlfFile::QUserBlfFile() : m_handle(invalidHandle()), m_api(new Api)
{
    std::memset(&m_trigger, 0, sizeof m_trigger);
    std::memset(&m_canMsg, 0, sizeof m_canMsg);
    std::memset(&m_fdMsg, 0, sizeof m_fdMsg);
    const QString path = libraryPath();
    QUserLibPath::keepLoaded(path);
    m_lib = new QLibrary(path);
    if (m_lib->load()) {
        qDebug().noquote() << "binlogLib Load Success...";
        m_api->createFile = reinterpret_cast<FnCreateFile>(m_lib->resolve("BLCreateFile"));
        m_api->setApplication = reinterpret_cast<FnSetApplication>(m_lib->resolve("BLSetApplication"));
        m_api->setWriteOptions = reinterpret_cast<FnSetWriteOptions>(m_lib->resolve("BLSetWriteOptions"));
        m_api->setStartTime = reinterpret_cast<FnSetStartTime>(m_lib->resolve("BLSetMeasurementStartTime"));
        m_api->writeObject = reinterpret_cast<FnWriteObject>(m_lib->resolve("BLWriteObject"));
        m_api->flush = reinterpret_cast<FnFlush>(m_lib->resolve("BLFlushFileBuffers"));
        m_api->closeHandle = reinterpret_cast<FnClose>(m_lib->resolve("BLCloseHandle"));
        m_api->peek = reinterpret_cast<FnPeek>(m_lib->resolve("BLPeekObject"));
        m_api->readSecure = reinterpret_cast<FnReadSecure>(m_lib->resolve("BLReadObjectSecure"));
        m_api->freeObject = reinterpret_cast<FnFree>(m_lib->resolve("BLFreeObject"));
        m_api->skip = reinterpret_cast<FnSkip>(m_lib->resolve("BLSkipObject"));
        m_api->readDamage = reinterpret_cast<FnReadDamage>(m_lib->resolve("BLGetReadDamage"));
    } else {
        qDebug().noquote() << "binlogLib Load Fail...";
    }
}

QUserBlfFile::~QUserBlfFile()
{
    close();
    m_lib->unload();
    delete m_lib;
    delete m_api;
    qDebug().noquote() << "binlogLib Unload...";
}

bool QUserBlfFile::isLoaded() const { return m_lib->isLoaded(); }

bool QUserBlfFile::fileCreate(const QString &name)
{
    if (!m_lib->isLoaded() || !m_api->createFile || !m_api->setApplication || !m_api->setWriteOptions
        || !m_api->setStartTime || !m_api->closeHandle) {
        qDebug().noquote() << "BLCreateFileFun Load Fail...";
        return false;
    }
    // A handle still open would be lost: close it (and its file) first.
    if (m_handle != invalidHandle())
        close();
    // File names go to the library in the platform's file-name encoding.
    const QByteArray encoded = QFile::encodeName(name);
    m_handle = m_api->createFile(encoded.constData(), kAccessWrite);
    if (m_handle == invalidHandle()) {
        qDebug().noquote() << "BLCreateFileFun Load Fail...";
        return false;
    }
    qDebug().noquote() << "BLCreateFileFun Load Success...";
    m_api->setApplication(m_handle, 6, 1, 0, 1);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate d = now.date();
    const QTime t = now.time();
    const uint16_t systemTime[8] = {uint16_t(d.year()), uint16_t(d.month()), uint16_t(d.dayOfWeek() % 7),
                                    uint16_t(d.day()), uint16_t(t.hour()), uint16_t(t.minute()),
                                    uint16_t(t.second()), uint16_t(t.msec())};
    m_api->setStartTime(m_handle, systemTime);

    if (m_api->setWriteOptions(m_handle, 6, 0) != 1) {
        m_api->closeHandle(m_handle);
        m_handle = invalidHandle();
        return false;
    }
    m_clock.restart();
    m_sinceFlush = 0;
    m_created = true;
    std::memset(&m_trigger, 0, sizeof m_trigger);
    std::memset(&m_canMsg, 0, sizeof m_canMsg);
    std::memset(&m_fdMsg, 0, sizeof m_fdMsg);
    fillHeader(m_trigger.header, sizeof m_trigger, kTypeAppTrigger);
    fillHeader(m_canMsg.header, sizeof m_canMsg, kTypeCanMessage);
    fillHeader(m_fdMsg.header, sizeof m_fdMsg, kTypeCanFdMessage);
    return true;
}

bool QUserBlfFile::write(const QUserCanMsg &msg)
{
    if (m_handle == invalidHandle() || !m_created || !m_api->writeObject)
        return false;
    const uint64_t t = uint64_t(m_clock.traceTimeMs(msg.hostTime)) * 1000000u;

    m_trigger.header.timeStamp = t;
    m_api->writeObject(m_handle, &m_trigger);

    if (msg.protocol == 0) {
        m_canMsg.header.timeStamp = t;
        m_canMsg.channel = uint16_t(msg.channel + 1);
        m_canMsg.flags = flagsField(msg);
        m_canMsg.dlc = uint8_t(tracetext::decimalOf(msg.lenText));
        m_canMsg.id = idField(msg);
        if (!msg.remote) {
            const int n = hexTextToBytes(msg.dataText, m_canMsg.data, 8);
            const int want = m_canMsg.dlc > 8 ? 8 : m_canMsg.dlc;
            if (n < want)
                std::memset(m_canMsg.data + n, 0, size_t(want - n));
        }
        if (m_api->writeObject(m_handle, &m_canMsg) != 1) {
            qDebug().noquote() << "BLF CAN Message Write Err";
            return false;
        }
    } else {
        // A length outside the DLC list is written as the valid length below
        // it; DLC and valid bytes agree so that every reader sees the same.
        const int len = tracetext::validLength(true, tracetext::decimalOf(msg.lenText));
        m_fdMsg.header.timeStamp = t;
        m_fdMsg.channel = uint16_t(msg.channel + 1);
        m_fdMsg.flags = flagsField(msg);
        m_fdMsg.dlc = uint8_t(tracetext::dlcOfLength(len));
        m_fdMsg.id = idField(msg);
        // EDL marks the object as a CAN FD frame for other readers.
        m_fdMsg.canFdFlags = uint8_t(0x01 | (msg.protocol == 2 ? 0x02 : 0));
        m_fdMsg.validDataBytes = uint8_t(len);
        if (!msg.remote) {
            const int n = hexTextToBytes(msg.dataText, m_fdMsg.data, 64);
            // Bytes the text does not give are zero, not left from an
            // earlier frame.
            if (n < len)
                std::memset(m_fdMsg.data + n, 0, size_t(len - n));
        }
        if (m_api->writeObject(m_handle, &m_fdMsg) != 1) {
            qDebug().noquote() << "BLF FD Message Write Err";
            return false;
        }
    }
    if (++m_sinceFlush >= kFlushEvery) {
        m_sinceFlush = 0;
        if (m_api->flush && m_api->flush(m_handle, 2) != 1)
            return false;
    }
    return true;
}

bool QUserBlfFile::flush()
{
    if (m_handle == invalidHandle())
        return true;
    m_sinceFlush = 0;
    if (!m_created || !m_api->flush)
        return true;
    return m_api->flush(m_handle, 2) == 1;
}

bool QUserBlfFile::close()
{
    if (m_handle == invalidHandle())
        return true;
    bool ok = true;
    if (m_created && m_api->flush)
        ok = m_api->flush(m_handle, 2) == 1;
    if (m_api->closeHandle && m_api->closeHandle(m_handle) != 1 && m_created)
        ok = false;
    m_handle = invalidHandle();
    m_created = false;
    return ok;
}

bool QUserBlfFile::openForRead(const QString &name)
{
    m_damagedPlaces = 0;
    m_damagedBytes = 0;
    if (!m_lib->isLoaded() || !m_api->createFile || !m_api->peek || !m_api->readSecure || !m_api->skip)
        return false;
    const QByteArray encoded = QFile::encodeName(name);
    m_handle = m_api->createFile(encoded.constData(), kAccessRead);
    m_created = false;
    m_endedEarly = false;
    if (m_handle == invalidHandle())
        return false;
    // The file header ("LOGG") holds the file's size at offset 16 as its
    // writer last brought it up to date.
    QFile file(name);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray h = file.read(24);
        if (h.size() == 24 && h.startsWith("LOGG")) {
            const quint64 declared = qFromLittleEndian<quint64>(h.constData() + 16);
            m_endedEarly = declared > quint64(file.size());
        }
    }
    return true;
}

int QUserBlfFile::readObjects(QList<QUserCanMsg> &frames, int maxCount)
{
    QUserCanMsgRaw raw[16];
    QUserCanMsg msg;
    int count = 0;
    // A limit below one still reads one frame a call.
    if (maxCount < 1)
        maxCount = 1;
    while (count < maxCount) {
        const int want = maxCount - count < 16 ? maxCount - count : 16;
        const int n = readRawObjects(raw, want);
        for (int i = 0; i < n; ++i) {
            rawToMsg(raw[i], msg);
            frames.append(msg);
        }
        count += n;
        if (n < want)
            break;
    }
    return count;
}

int QUserBlfFile::readRawObjects(QUserCanMsgRaw *frames, int maxCount)
{
    int count = 0;
    uint8_t base[16];
    // Frame objects are read into their own layouts; types 1 and 86 share
    // everything a frame needs.
    union {
        BlfCanMessage2 can;
        BlfCanFdMessage fd;
        BlfCanFdMessage64 fd64;
    } obj;
    while (count < maxCount && m_api->peek(m_handle, base)) {
        uint32_t type;
        std::memcpy(&type, base + 12, 4);
        QUserCanMsgRaw &f = frames[count];
        if (type == kTypeCanMessage || type == kTypeCanMessage2) {
            std::memcpy(&obj.can, base, 16);
            const size_t size = type == kTypeCanMessage ? sizeof(BlfCanMessage) : sizeof(BlfCanMessage2);
            if (!m_api->readSecure(m_handle, &obj.can, size))
                break;
            const BlfCanMessage2 &c = obj.can;
            const int n = c.dlc > 8 ? 8 : c.dlc;
            f.len = uint8_t(n);
            f.channel = uint8_t(uint8_t(c.channel) - 1);
            f.hostTime = hostTimeOf(c.header);
            f.devTime = 0;
            f.protocol = 0;
            f.fdFlags = 0;
            f.direction = (c.flags & 0x0F) ? 1 : 0;
            f.remote = (c.flags & 0x80) ? 1 : 0;
            readIdField(c.id, f);
            // A remote frame has a DLC but no data.
            f.dataLen = f.remote ? 0 : uint8_t(n);
            std::memcpy(f.data, c.data, 8);
        } else if (type == kTypeCanFdMessage) {
            std::memcpy(&obj.fd, base, 16);
            if (!m_api->readSecure(m_handle, &obj.fd, sizeof obj.fd))
                break;
            const BlfCanFdMessage &c = obj.fd;
            const int n = c.validDataBytes > 64 ? 64 : c.validDataBytes;
            f.len = uint8_t(n);
            f.remote = 0;
            f.protocol = (c.canFdFlags & 0x02) ? 2 : 1;
            f.fdFlags = fdFlagsOf(c.canFdFlags & 0x02, c.canFdFlags & 0x04);
            f.channel = uint8_t(uint8_t(c.channel) - 1);
            f.hostTime = hostTimeOf(c.header);
            f.devTime = 0;
            f.direction = (c.flags & 0x0F) ? 1 : 0;
            readIdField(c.id, f);
            f.dataLen = uint8_t(n);
            std::memcpy(f.data, c.data, size_t(n));
        } else if (type == kTypeCanFdMessage64) {
            std::memcpy(&obj.fd64, base, 16);
            if (!m_api->readSecure(m_handle, &obj.fd64, sizeof obj.fd64))
                break;
            BlfCanFdMessage64 &c = obj.fd64;
            // Without EDL the object holds a classic frame (of a CAN FD
            // channel): up to 8 bytes, and it may be a remote frame.
            const bool fd = c.flags & kFd64Edl;
            const int n = fd ? tracetext::lengthOfDlc(c.dlc) : (c.dlc > 8 ? 8 : c.dlc);
            f.len = uint8_t(n);
            f.remote = !fd && (c.flags & kFd64Remote) ? 1 : 0;
            f.protocol = fd ? ((c.flags & kFd64Brs) ? 2 : 1) : 0;
            f.fdFlags = fd ? fdFlagsOf(c.flags & kFd64Brs, c.flags & kFd64Esi) : 0;
            f.channel = uint8_t(c.channel - 1);
            f.hostTime = hostTimeOf(c.header);
            f.devTime = 0;
            f.direction = c.dir ? 1 : 0;
            readIdField(c.id, f);
            if (f.remote) {
                f.dataLen = 0;
            } else {
                // Bytes past the valid ones are not the frame's (extended
                // frame data may follow them): zero.
                if (c.validDataBytes < n)
                    std::memset(c.data + c.validDataBytes, 0, size_t(n - c.validDataBytes));
                f.dataLen = uint8_t(n);
                std::memcpy(f.data, c.data, size_t(n));
            }
        } else {
            if (!m_api->skip(m_handle, base))
                break;
            continue;
        }
        if (m_api->freeObject)
            m_api->freeObject(m_handle, &obj);
        ++count;
    }
    uint32_t places = 0;
    uint64_t bytes = 0;
    if (m_api->readDamage && m_api->readDamage(m_handle, &places, &bytes) == 1) {
        m_damagedPlaces = places;
        m_damagedBytes = bytes;
    }
    return count;
}

int QUserBlfFile::fileReadPart(const QString &name, QList<QUserCanMsg> &frames, int maxCount)
{
    if (m_handle == invalidHandle() && !openForRead(name))
        return -1;
    if (m_created)
        return 0; // a file open for writing is not read
    return readObjects(frames, maxCount);
}

int QUserBlfFile::fileReadPartRaw(const QString &name, QUserCanMsgRaw *frames, int maxCount)
{
    if (m_handle == invalidHandle() && !openForRead(name))
        return -1;
    if (m_created || !frames)
        return 0;
    return readRawObjects(frames, maxCount);
}

int QUserBlfFile::fileRead(const QString &name, QList<QUserCanMsg> &frames)
{
    if (m_handle != invalidHandle())
        close();
    if (!openForRead(name))
        return -1;
    readObjects(frames, 1 << 30);
    close();
    return 0;
}
