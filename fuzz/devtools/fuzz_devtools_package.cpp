// The firmware package on arbitrary names and contents: versions from any
// file name, and the reader on any content with the size it is told (longer
// or shorter than what is there) never reads outside what it is given and
// hands back exactly the segment and the image when it says so.
//
// Input: byte 0 = name length, byte 1 = how the told size differs from the
// content's (signed), then the name bytes (UTF-8), then the content.
#include "devtools/QFirmPackage.h"

#include <QBuffer>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <cstring>

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t nameLen = std::min<size_t>(data[0], size - 2);
    const int delta = int(int8_t(data[1])) * 16;
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), int(nameLen));
    uint16_t hw = 0, fw = 0;
    const QFirmPackage::Check c = QFirmPackage::nameVersions(name, &hw, &fw);
    if (c == QFirmPackage::Accepted &&
        (name.size() < QFirmPackage::kMinNameLength || name.indexOf(".v", 0, Qt::CaseInsensitive) < 0))
        abort();
    QFirmPackage::checkText(c);
    QFirmPackage::versionText(hw);

    // The content, padded so that a segment is often there.
    QByteArray content(reinterpret_cast<const char *>(data + 2 + nameLen), int(size - 2 - nameLen));
    if (data[1] & 1)
        content.prepend(QByteArray(1024, char(data[1])));
    QBuffer buf;
    buf.setData(content);
    buf.open(QIODevice::ReadOnly);
    const qint64 told = std::max<qint64>(0, content.size() + delta);
    uint8_t segment[QFirmPackage::kSegmentSize];
    QByteArray image;
    const QFirmPackage::Read r = QFirmPackage::read(buf, told, segment, image);
    if (r == QFirmPackage::ReadOk) {
        if (told < QFirmPackage::kMinSize || told > content.size() || image.size() != told + 16)
            abort();
        if (std::memcmp(segment, content.constData(), QFirmPackage::kSegmentSize) != 0 ||
            std::memcmp(image.constData(), content.constData() + QFirmPackage::kSegmentSize,
                        size_t(told - QFirmPackage::kSegmentSize)) != 0)
            abort();
    } else if (r == QFirmPackage::TooShort) {
        if (told >= QFirmPackage::kMinSize)
            abort();
    } else if (told <= content.size() && told >= QFirmPackage::kMinSize) {
        abort(); // everything was there
    }
    return 0;
}
