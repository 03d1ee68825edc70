#include "devtools/QFirmPackage.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringList>

#include <limits>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("QFirmPackage", text);
}
} // namespace

QFirmPackage::Check QFirmPackage::nameVersions(const QString &fileName, uint16_t *hw, uint16_t *fw)
{
    if (fileName.size() < kMinNameLength)
        return NameLength;
    const int pos = fileName.indexOf(QLatin1String(".v"), 0, Qt::CaseInsensitive);
    if (pos < 0)
        return NoVersionMark;
    const QString rest = fileName.mid(pos + 2);
    if (rest.count(QLatin1Char('.')) != 4)
        return VersionFormat;
    const QStringList parts = rest.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    uint32_t n[4];
    for (int i = 0; i < 4; ++i)
        n[i] = uint32_t(parts.at(i).toInt(nullptr, 10)); // a part that is no number counts as 0
    if (hw)
        *hw = uint16_t(n[0] * 256u + n[1]);
    if (fw)
        *fw = uint16_t(n[2] * 256u + n[3]);
    return Accepted;
}

QFirmPackage::Check QFirmPackage::inspect(const QString &path, QFirmPackage *out)
{
    if (path.isEmpty())
        return NoFile;
    const QFileInfo info(path);
    const qint64 size = info.size();
    if (size < kMinSize)
        return SizeError;
    uint16_t hw = 0, fw = 0;
    const Check c = nameVersions(info.fileName(), &hw, &fw);
    if (c != Accepted)
        return c;
    if (out) {
        out->path = info.filePath();
        out->size = size;
        out->hwVersion = hw;
        out->fwVersion = fw;
    }
    return Accepted;
}

QString QFirmPackage::checkText(Check c)
{
    switch (c) {
    case NoFile:
        return tr("升级包为空!");
    case SizeError:
        return tr("文件大小错误!");
    case NameLength:
        return tr("文件名称长度错误!");
    case NoVersionMark:
        return tr("文件格式错误!");
    case VersionFormat:
        return tr("版本信息格式错误!");
    case Accepted:
        break;
    }
    return QString();
}

QString QFirmPackage::versionText(uint16_t v)
{
    return QStringLiteral("V%1.%2").arg(v >> 8).arg(v & 0xFF);
}

QString QFirmPackage::infoText() const
{
    return tr("文件信息:") + tr("大小:") + QStringLiteral("%1Byte").arg(size) + tr(" 硬件版本:") +
           versionText(hwVersion) + tr(" 固件版本:") + versionText(fwVersion);
}

QFirmPackage::Read QFirmPackage::read(QIODevice &dev, qint64 size, uint8_t *segment, QByteArray &image)
{
    if (size < kMinSize)
        return TooShort;
    if (size > qint64(std::numeric_limits<int>::max()) - 16)
        return ImageError; // no buffer holds it
    if (dev.read(reinterpret_cast<char *>(segment), kSegmentSize) != kSegmentSize)
        return SegmentError;
    const qint64 imageSize = size - kSegmentSize;
    image = QByteArray(int(size + 16), '\0');
    qint64 got = 0;
    while (got < imageSize) {
        const qint64 r = dev.read(image.data() + got, imageSize - got);
        if (r <= 0)
            break;
        got += r;
    }
    if (got != imageSize)
        return ImageError;
    return ReadOk;
}

QFirmPackage::Read QFirmPackage::readFile(const QString &path, qint64 size, uint8_t *segment, QByteArray &image)
{
    if (size < kMinSize)
        return TooShort;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return OpenError;
    const Read r = read(f, size, segment, image);
    f.close();
    return r;
}
