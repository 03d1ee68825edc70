#include "devtools/QFirmUpdateSrv.h"

#include <QDebug>
#include <QFileInfo>
#include <QVector>

#include <cstring>

#include "core/QUserCanMsg.h"
#include "devices/QKemFdDev.h"
#include "devtools/QFirmPackage.h"

namespace {

void logLine(const QString &text)
{
    qDebug() << ">" << text;
}

void putLe32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t le16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

// The reply data of a reply frame: from offset 10 to the sum, nothing when
// the frame is too short to carry any.
int replyDataLen(uint16_t frameLen)
{
    return frameLen > 12 ? int(frameLen) - 12 : 0;
}

// Pieces handed to the driver per transmit call: it takes at most 32.
constexpr int kPiecesPerCall = 32;

} // namespace

QFirmUpdateSrv::QFirmUpdateSrv(const QString &typeName, int devType, int devIndex) : QThread(nullptr)
{
    std::memset(txBuf, 0, sizeof txBuf);
    drv = new QKemFdDev(typeName, devType, devIndex);
    drv->devSet(typeName, devType, devIndex);
    linkCfg.mode = 0;
    linkCfg.fdEnable = 1;
    linkCfg.isoStandard = 0; // the link's own frames are classic frames
    linkCfg.selfBaud = 0;
    linkCfg.filterEnable = 0;
    linkCfg.rules.clear();
    linkCfg.selfBaudText.clear();
    linkCfg.clock = 60;
    linkCfg.arbTimingWord = 0x01400106;
    linkCfg.dataTimingWord = 0x00800001;
}

QFirmUpdateSrv::~QFirmUpdateSrv()
{
    // The run must be over before anything it uses goes: a wait in progress
    // gives up at once, the data loop stops at its next turn.
    quitting = true;
    stopReq = true;
    wait();
    image.clear();
    linkClose();
    delete drv;
    drv = nullptr;
}

void QFirmUpdateSrv::setWaits(int versionMs, int startMs, int packetMs)
{
    waitVersionMs = versionMs;
    waitStartMs = startMs;
    waitPacketMs = packetMs;
}

// ---- link -------------------------------------------------------------------

int QFirmUpdateSrv::linkOpen()
{
    if (linkOpened)
        return 0;
    if (drv->canStart(kLinkChannel, &linkCfg) < 0)
        return -1;
    linkOpened = true;
    return 0;
}

void QFirmUpdateSrv::linkClose()
{
    if (!linkOpened)
        return;
    drv->canClose(kLinkChannel);
    linkOpened = false;
}

int QFirmUpdateSrv::frameSend(const uint8_t *bytes, int n)
{
    if (!linkOpened)
        return 0;
    static const QString idText = QString::asprintf("%08X ", kLinkId);
    QVector<QUserCanMsg> pieces;
    pieces.reserve(kPiecesPerCall);
    QUserCanMsg m;
    m.idText = idText;
    m.extended = 1;
    m.remote = 0;
    m.protocol = 0;
    m.sendType = 1;
    m.lenText = QStringLiteral("8"); // every piece goes out with 8 bytes, the last one padded
    int at = 0;
    while (at < n) {
        pieces.clear();
        while (at < n && pieces.size() < kPiecesPerCall) {
            const int k = n - at < 8 ? n - at : 8;
            m.dataText = bytesToHex(bytes + at, k);
            pieces.append(m);
            at += k;
        }
        // The driver takes at most 32 frames a call; a call it does not take
        // whole ends the frame there (the target then does not answer).
        const int want = pieces.size();
        if (drv->transmitList(kLinkChannel, pieces) < want)
            break;
    }
    return n;
}

const uint8_t *QFirmUpdateSrv::replyWait(int timeoutMs, uint16_t *frameLen)
{
    if (!linkOpened)
        return nullptr;
    const int64_t start = getCurrentMs();
    QVector<QUserCanMsg> msgs;
    uint8_t bytes[64];
    while (getElapsedMs(start) < timeoutMs && !quitting) {
        polls.fetch_add(1, std::memory_order_relaxed);
        if (drv->receive(kLinkChannel, msgs) <= 0)
            continue;
        for (const QUserCanMsg &msg : msgs) {
            // Only the data bytes count; the decoder passes over white space.
            const int k = hexTextToBytes(msg.dataText, bytes, int(sizeof bytes));
            uint16_t len = 0, remain = 0;
            const uint8_t *f = codec.frameParse(bytes, uint16_t(k), &len, &remain);
            if (f) {
                if (frameLen)
                    *frameLen = len;
                return f;
            }
        }
    }
    return nullptr;
}

// ---- commands ---------------------------------------------------------------

int QFirmUpdateSrv::versionGet(uint8_t arg)
{
    if (!drv->firmUpdateReq(arg)) {
        logLine(QString::asprintf("升级请求<%d>,执行失败..", int(arg)));
        return -1;
    }
    const int n = codec.frameBuild(txBuf, CmdVersion, nullptr, 0);
    frameSend(txBuf, n);
    uint16_t len = 0;
    const uint8_t *f = replyWait(waitVersionMs, &len);
    if (!f) {
        logLine(QStringLiteral("版本信息获取失败.."));
        return -1;
    }
    usbTagList::walk(f + 10, replyDataLen(len), [this](const usbTagList::Entry &e) {
        if (e.tag != 0 || e.len < 4)
            return;
        hwVer = le16(e.value);
        fwVer = le16(e.value + 2);
        logLine(QStringLiteral("版本号获取成功..."));
    });
    return 0;
}

void QFirmUpdateSrv::updateReqOff()
{
    if (!drv->firmUpdateReq(0))
        logLine(QString::asprintf("升级请求<%d>,执行失败..", 0));
}

int QFirmUpdateSrv::updateStart(uint32_t imageSize, const uint8_t *segment16)
{
    uint8_t *p = txBuf + 8;
    uint8_t size[4];
    putLe32(size, imageSize);
    int at = 0;
    p[at++] = 2;
    at += usbTagList::put(p + at, 0, size, 4);
    at += usbTagList::put(p + at, 1, segment16, QFirmPackage::kStartBytes);
    const int n = codec.frameBuild(txBuf, CmdStart, p, uint16_t(at));
    frameSend(txBuf, n);
    uint16_t len = 0;
    const uint8_t *f = replyWait(waitStartMs, &len);
    if (!f || len < 12 || f[8] != CmdStart || f[9] != 0)
        return -1;
    bool valid = false;
    usbTagList::walk(f + 10, replyDataLen(len), [this, &valid](const usbTagList::Entry &e) {
        if (e.tag != 0 || e.len < 4)
            return;
        const uint32_t v = le32(e.value);
        if (v >= 1 && v <= kMaxPacket) {
            packetSize = v;
            valid = true;
            logLine(QStringLiteral("升级启动成功,通讯数据包大小:%1byte..").arg(v));
        } else {
            logLine(QStringLiteral("升级启动失败,通讯数据包大小范围:(0-4096)..<%1 byte>").arg(v));
        }
    });
    return valid ? 0 : -1;
}

int QFirmUpdateSrv::packetSend(uint32_t index, const uint8_t *data, uint32_t n)
{
    if (n > kMaxPacket)
        return -1;
    uint8_t *p = txBuf + 8;
    uint8_t idx[4];
    putLe32(idx, index);
    int at = 0;
    p[at++] = 2;
    at += usbTagList::put(p + at, 0, idx, 4);
    at += usbTagList::put(p + at, 1, data, uint16_t(n));
    const int len = codec.frameBuild(txBuf, CmdPacket, p, uint16_t(at));
    frameSend(txBuf, len);
    uint16_t flen = 0;
    const uint8_t *f = replyWait(waitPacketMs, &flen);
    if (!f || flen < 12)
        return -1;
    return f[8] == CmdPacket && f[9] == 0 ? 0 : -1;
}

// ---- the run ----------------------------------------------------------------

int QFirmUpdateSrv::readPackage(uint8_t *segment)
{
    switch (QFirmPackage::readFile(pkgPath, pkgSize, segment, image)) {
    case QFirmPackage::ReadOk:
        return 0;
    case QFirmPackage::TooShort:
        // Nothing to update with: refused before the target hears of it.
        emit updateResult(2, -5, QFirmPackage::checkText(QFirmPackage::SizeError));
        return -1;
    case QFirmPackage::OpenError:
        logLine(QStringLiteral("源文件打开错误！"));
        emit updateResult(2, -4, QString());
        return -1;
    case QFirmPackage::SegmentError:
        logLine(QStringLiteral("源文件配置信息段读取错误！"));
        emit updateResult(2, -5, QString());
        return -1;
    case QFirmPackage::ImageError:
        logLine(QStringLiteral("源文件读取错误！"));
        emit updateResult(2, -5, QString());
        return -1;
    }
    return -1;
}

void QFirmUpdateSrv::fileRelease()
{
    image.clear();
    image.squeeze();
}

int QFirmUpdateSrv::updateProc()
{
    busy = true;
    emit updateResult(0, 0, QString());
    int result = -1;
    uint8_t segment[QFirmPackage::kSegmentSize];
    if (readPackage(segment) == 0) {
        const uint32_t imageSize = uint32_t(pkgSize - QFirmPackage::kSegmentSize);
        if (updateStart(imageSize, segment) != 0) {
            logLine(QStringLiteral("升级启动失败！"));
            emit updateResult(2, -6, QString());
        } else {
            const uint8_t *img = reinterpret_cast<const uint8_t *>(image.constData());
            uint32_t offset = 0;
            uint32_t index = 0;
            uint32_t left = imageSize;
            int attempts = kAttempts;
            uint32_t lastProgress = 0;
            for (;;) {
                if (stopReq) {
                    stopReq = false;
                    emit updateResult(2, -7, tr("升级失败，升级取消!!!"));
                    break;
                }
                if (left == 0) {
                    emit updateResult(2, 1, QString());
                    result = 0;
                    break;
                }
                const uint32_t n = left < packetSize ? left : packetSize;
                if (packetSend(index, img + offset, n) != 0) {
                    --attempts;
                    QThread::usleep(10);
                    if (attempts > 0)
                        continue;
                    // The target took none of five tries: the run is over,
                    // and the dialog hears of it like of every other end.
                    logLine(QStringLiteral("数据包<%1>发送失败..").arg(index));
                    emit updateResult(2, -1, tr("升级失败，数据包发送失败!!!"));
                    break;
                }
                offset += n;
                left -= n;
                ++index;
                attempts = kAttempts;
                uint32_t p = uint32_t(uint64_t(offset) * 100u / imageSize);
                if (p < 10)
                    p = 10;
                if (p != lastProgress) {
                    emit updateResult(1, int(p), QString());
                    lastProgress = p;
                }
            }
        }
    }
    fileRelease();
    busy = false;
    return result;
}

void QFirmUpdateSrv::run()
{
    logLine(QStringLiteral("%1升级线程启动...").arg(QString()));
    updateProc();
}

void QFirmUpdateSrv::updateBegin(const QString &path)
{
    if (path.isEmpty())
        return;
    // A run that has acknowledged a stop may still be on its way out.
    wait();
    pkgPath = path;
    pkgSize = QFileInfo(path).size();
    stopReq = false;
    // Busy from here on, so that a stop asked for before the thread gets
    // going is not lost.
    busy = true;
    start(QThread::InheritPriority);
}

void QFirmUpdateSrv::updateStop()
{
    if (!busy || stopReq)
        return;
    stopReq = true;
    // The run acknowledges inside its data loop; a run that ends another way
    // (start failure, a packet failing five times, success) ends the wait too.
    while (stopReq && busy)
        QThread::msleep(10);
}
