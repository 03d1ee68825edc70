// The firmware package: versions from the name, the checks made when a file
// is chosen, and reading the segment and the image for the transfer.

#include "devtools/QFirmPackage.h"

#include "tests/support/TempWorkDir.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

namespace {

QByteArray pattern(int n, int seed = 1)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + seed) & 0xFF);
    return b;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

TEST(FirmPackage, VersionsFromTheName)
{
    struct Case {
        const char *name;
        QFirmPackage::Check check;
        uint16_t hw, fw;
    };
    const Case cases[] = {
        {"fw.v1.2.3.4.dat", QFirmPackage::Accepted, 0x0102, 0x0304},
        {"FW.V1.2.3.4.dat", QFirmPackage::Accepted, 0x0102, 0x0304},
        {"x.v1..3.4.dat", QFirmPackage::Accepted, 0x0100, 0x0304},
        {"a.vA.2.3.4.dat", QFirmPackage::Accepted, 0x0002, 0x0304},
        {"pkg.v10.20.30.40.dat", QFirmPackage::Accepted, 0x0A14, 0x1E28},
        {"a.v1.2.3.dat", QFirmPackage::NameLength, 0, 0},
        {"x.v1.2.3.4.5.dat", QFirmPackage::VersionFormat, 0, 0},
        {"my.video.v1.2.3.4.dat", QFirmPackage::VersionFormat, 0, 0},
        {"firmware-1.2.3.4.dat", QFirmPackage::NoVersionMark, 0, 0},
        {"abcdefghijkl", QFirmPackage::NameLength, 0, 0},
    };
    for (const Case &k : cases) {
        uint16_t hw = 0xEEEE, fw = 0xEEEE;
        EXPECT_EQ(QFirmPackage::nameVersions(QString::fromUtf8(k.name), &hw, &fw), k.check) << k.name;
        if (k.check == QFirmPackage::Accepted) {
            EXPECT_EQ(hw, k.hw) << k.name;
            EXPECT_EQ(fw, k.fw) << k.name;
        }
    }
    EXPECT_EQ(QFirmPackage::versionText(0x0102), "V1.2");
    EXPECT_EQ(QFirmPackage::versionText(0x0A14), "V10.20");
}

TEST(FirmPackage, ChecksOfAChosenFileInTheirOrder)
{
    TempWorkDir dir;
    struct Case {
        const char *name;
        int size;
        QFirmPackage::Check check;
        const char *text;
    };
    const Case cases[] = {
        {"fw.v1.2.3.4.dat", 1025, QFirmPackage::Accepted, ""},
        {"fw.v1.2.3.4.dat", 1024, QFirmPackage::SizeError, "文件大小错误!"},
        {"a.v1.2.3.dat", 1024, QFirmPackage::SizeError, "文件大小错误!"}, // size is checked first
        {"a.v1.2.3.dat", 4000, QFirmPackage::NameLength, "文件名称长度错误!"},
        {"firmware-1234.dat", 4000, QFirmPackage::NoVersionMark, "文件格式错误!"},
        {"x.v1.2.3.4.5.dat", 4000, QFirmPackage::VersionFormat, "版本信息格式错误!"},
    };
    for (const Case &k : cases) {
        const QString path = QString::fromStdString(dir.file(k.name));
        writeFile(path, pattern(k.size));
        QFirmPackage pkg;
        pkg.size = -1;
        const QFirmPackage::Check c = QFirmPackage::inspect(path, &pkg);
        EXPECT_EQ(c, k.check) << k.name << " " << k.size;
        EXPECT_EQ(QFirmPackage::checkText(c), QString::fromUtf8(k.text));
        if (c == QFirmPackage::Accepted) {
            EXPECT_EQ(pkg.size, k.size);
            EXPECT_EQ(pkg.hwVersion, 0x0102);
            EXPECT_EQ(pkg.fwVersion, 0x0304);
            EXPECT_EQ(pkg.path, path);
            EXPECT_EQ(pkg.infoText(), QString::fromUtf8("文件信息:大小:1025Byte 硬件版本:V1.2 固件版本:V3.4"));
        } else {
            EXPECT_EQ(pkg.size, -1) << "a refusal leaves the record alone";
        }
        QFile::remove(path);
    }
    EXPECT_EQ(QFirmPackage::inspect(QString(), nullptr), QFirmPackage::NoFile);
    EXPECT_EQ(QFirmPackage::checkText(QFirmPackage::NoFile), QString::fromUtf8("升级包为空!"));
}

TEST(FirmPackage, ReadsSegmentAndImage)
{
    const QByteArray all = pattern(1024 + 5000, 3);
    QBuffer buf;
    buf.setData(all);
    ASSERT_TRUE(buf.open(QIODevice::ReadOnly));
    uint8_t seg[1024] = {};
    QByteArray image;
    ASSERT_EQ(QFirmPackage::read(buf, all.size(), seg, image), QFirmPackage::ReadOk);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(seg), 1024), all.left(1024));
    ASSERT_EQ(image.size(), all.size() + 16);
    EXPECT_EQ(image.left(5000), all.mid(1024));
    EXPECT_EQ(image.mid(5000), QByteArray(all.size() + 16 - 5000, '\0'));
}

// A package without one image byte, or without a whole segment, is refused
// before anything is read (and so before the target hears of it).
TEST(FirmPackage, ShortAndShrunkPackagesAreRefused)
{
    struct Case {
        const char *what;
        int actual;     // bytes the device holds
        qint64 claimed; // size the read is asked for
        QFirmPackage::Read result;
    };
    const Case cases[] = {
        {"one image byte", 1025, 1025, QFirmPackage::ReadOk},
        {"exactly the segment", 1024, 1024, QFirmPackage::TooShort},
        {"shorter than the segment", 100, 100, QFirmPackage::TooShort},
        {"empty", 0, 0, QFirmPackage::TooShort},
        {"shrunk below the segment after it was measured", 1000, 3000, QFirmPackage::SegmentError},
        {"shrunk inside the image", 2000, 3000, QFirmPackage::ImageError},
        {"no buffer holds it", 2000, qint64(1) << 40, QFirmPackage::ImageError},
    };
    for (const Case &k : cases) {
        QBuffer buf;
        buf.setData(pattern(k.actual));
        ASSERT_TRUE(buf.open(QIODevice::ReadOnly));
        uint8_t seg[1024] = {};
        QByteArray image;
        EXPECT_EQ(QFirmPackage::read(buf, k.claimed, seg, image), k.result) << k.what;
    }
    uint8_t seg[1024];
    QByteArray image;
    EXPECT_EQ(QFirmPackage::readFile("/nonexistent/fw.v1.2.3.4.dat", 5000, seg, image), QFirmPackage::OpenError);
}
