// The channel settings files of the CAN FD and classic dialogs: exact lines,
// round trips, rejected lines and what a reopened dialog recovers.

#include "devtools/QUserFd2Settings.h"
#include "devtools/QUserUsbcan2Settings.h"

#include "tests/support/TempWorkDir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QUserFd2Settings fdFor(const QString &type, bool fdSupport = true)
{
    QUserFd2Settings s;
    s.fdSupport = fdSupport ? "1" : "0";
    s.modelDefaultsSet(type);
    return s;
}

} // namespace

class FdSettingsFile : public WorkDirTest {};

TEST_F(FdSettingsFile, DefaultLinesPerModelClock)
{
    QUserFd2Settings s60 = fdFor("TRNB701");
    EXPECT_EQ(s60.filePath(), "setting/TRNB701Set.ini");
    EXPECT_EQ(s60.cfgFileSave(), 0);
    EXPECT_EQ(readAll("setting/TRNB701Set.ini"),
              "BAUD_0_0_0_0_1.0Mbps(80%),5.0Mbps(75%),(60,02C00002,00800001)_0_0_0_1_0_0\nFDSUPPORT_1\n");

    QUserFd2Settings s80 = fdFor("TRNA702", false);
    EXPECT_EQ(s80.modelClock, 80);
    EXPECT_EQ(s80.selfArbWord, 0x00C0030Eu);
    EXPECT_EQ(s80.selfDataWord, 0x00400005u);
    s80.cfgFileSave();
    EXPECT_EQ(readAll("setting/TRNA702Set.ini"),
              "BAUD_0_0_0_0_1.0Mbps(80%),5.0Mbps(87%),(80,00C0030E,00400005)_0_0_0_1_0_0\nFDSUPPORT_0\n");

    for (const char *t : {"VARIRORODadi", "VURIVUVU1", "USBCANFD2", "TRNA701", "TRNB701"})
        EXPECT_EQ(QUserFd2Settings::modelClockOf(t), 60) << t;
    for (const char *t : {"TRNA702", "TRNB702"})
        EXPECT_EQ(QUserFd2Settings::modelClockOf(t), 80) << t;
}

TEST_F(FdSettingsFile, SaveLoadRoundTripAndRuleLines)
{
    QUserFd2Settings a = fdFor("TRNB702");
    a.devIndex = "3";
    a.chIndex = "5";
    a.allChannel = "1";
    a.protocol = "0";
    a.iso = "1";
    a.workMode = "1";
    a.aBaud = "4";
    a.dBaud = "6";
    a.selfBaud = "1";
    a.fliterEnable = "1";
    a.selfBaudText = "500.000Kbps(80.0%),2000.000Kbps(80.0%),(80,01C0030E,00C00106)";
    a.fdSupport = "0";
    QUserFliterRule r1; r1.extended = 0; r1.startId = 0x100; r1.endId = 0x1FF;
    QUserFliterRule r2; r2.extended = 1; r2.startId = 0x1ABCDEF0; r2.endId = 0x1ABCDEF0;
    a.rules = {r1, r2};
    EXPECT_EQ(a.cfgFileSave(), 2);
    const QList<QByteArray> lines = readAll(a.filePath()).split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1], "FLITER_false_0x00000100_0x000001FF");
    EXPECT_EQ(lines[2], "FLITER_true_0x1ABCDEF0_0x1ABCDEF0");
    EXPECT_EQ(lines[3], "FDSUPPORT_0");

    QUserFd2Settings b = fdFor("TRNB702");
    EXPECT_TRUE(b.cfgFileLoad());
    for (auto m : {&QUserFd2Settings::devIndex, &QUserFd2Settings::chIndex, &QUserFd2Settings::allChannel,
                   &QUserFd2Settings::protocol, &QUserFd2Settings::iso, &QUserFd2Settings::workMode,
                   &QUserFd2Settings::aBaud, &QUserFd2Settings::dBaud, &QUserFd2Settings::selfBaud,
                   &QUserFd2Settings::fliterEnable, &QUserFd2Settings::selfBaudText,
                   &QUserFd2Settings::fdSupport})
        EXPECT_EQ(b.*m, a.*m);
    ASSERT_EQ(b.rules.size(), 2);
    EXPECT_EQ(b.rules[0].extended, 0);
    EXPECT_EQ(b.rules[0].startId, 0x100u);
    EXPECT_EQ(b.rules[0].endId, 0x1FFu);
    EXPECT_EQ(b.rules[1].extended, 1);
    EXPECT_EQ(b.rules[1].startId, 0x1ABCDEF0u);
    EXPECT_EQ(b.rules[1].range, 0);
}

// A reopened dialog takes the clock and both words back from the stored
// custom text, so the channel starts with the timing the text names.
TEST_F(FdSettingsFile, CustomTextGroupGivesClockAndWordsBack)
{
    struct Case { const char *type; const char *text; int clock; uint32_t arb, data; };
    const Case cases[] = {
        {"TRNB701", "500.000Kbps(80.0%),2000.000Kbps(80.0%),(60,02C00106,00800106)", 60, 0x02C00106, 0x00800106},
        {"TRNB701", "1000.000Kbps(70.0%),5000.000Kbps(75.0%),(60,0080050C,00000207)", 60, 0x0080050C, 0x00000207},
        {"TRNB702", "x(1),y(2),( 80 , 95C00205 ,  c0030e )", 80, 0x95C00205, 0x00C0030E},
        // no usable group: the model defaults stay
        {"TRNB702", "hand-written text", 80, 0x00C0030E, 0x00400005},
        {"TRNB701", "(60,02C00106)", 60, 0x02C00002, 0x00800001},
        {"TRNB701", "(60,XYZ,00800106)", 60, 0x02C00002, 0x00800001},
        {"TRNB701", "(60,123456789,00800106)", 60, 0x02C00002, 0x00800001},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        writeAll(QString("setting/%1Set.ini").arg(c.type),
                 QString("BAUD_0_0_0_0_%1_0_1_0_1_0_0\nFDSUPPORT_1\n").arg(c.text).toUtf8());
        QUserFd2Settings s = fdFor(c.type);
        EXPECT_TRUE(s.cfgFileLoad());
        EXPECT_EQ(s.selfBaudText, c.text);
        EXPECT_EQ(s.clock, c.clock);
        EXPECT_EQ(s.selfArbWord, c.arb);
        EXPECT_EQ(s.selfDataWord, c.data);
        EXPECT_EQ(s.modelClock, QUserFd2Settings::modelClockOf(c.type));
    }
}

// A "BAUD" line of the wrong field count (a "_" in the custom text) restores
// the model's own defaults; the FD support the device class gave stays.
TEST_F(FdSettingsFile, BadBaudLineRestoresTheModelDefaults)
{
    writeAll("setting/TRNA702Set.ini",
             "BAUD_1_1_3_3_my_text,(60,02C00106,00800106)_1_1_1_0_1_1\n"
             "FLITER_false_0x00000010_0x00000020\n");
    QUserFd2Settings s = fdFor("TRNA702", false);
    EXPECT_TRUE(s.cfgFileLoad());
    EXPECT_EQ(s.modelClock, 80);
    EXPECT_EQ(s.clock, 80);
    EXPECT_EQ(s.selfArbWord, 0x00C0030Eu);
    EXPECT_EQ(s.selfDataWord, 0x00400005u);
    EXPECT_EQ(s.selfBaudText, QUserFd2Settings::defaultSelfText(80));
    EXPECT_EQ(s.devIndex, "0");
    EXPECT_EQ(s.aBaud, "0");
    EXPECT_EQ(s.selfBaud, "0");
    EXPECT_EQ(s.protocol, "1");
    EXPECT_EQ(s.fdSupport, "0");
    EXPECT_EQ(s.rules.size(), 1);
}

TEST_F(FdSettingsFile, RuleAndSupportLinesThatAreReadOrDropped)
{
    writeAll("setting/TRNB701Set.ini",
             "FLITER_TRUE_0x100_0x200\n"             // capitals: a standard rule
             "FLITER_false_0x800_0x900\n"            // beyond the standard range: dropped
             "FLITER_true_0x1FFFFFFF_0x20000000\n"   // beyond the extended range: dropped
             "FLITER_true__0x10\n"                   // empty field: dropped
             "FLITER_true_0x10\n"                    // short line: dropped
             "FLITER_true_xyz_0x10\n"                // not a number: dropped
             "FLITER_true_1 2_ 0x0000 0034\n"        // blanks inside are ignored
             "FDSUPPORT_0_1\n"                       // wrong count: ignored
             "FDSUPPORT_0\n"
             "SOMETHING_else\n"
             "\n");
    QUserFd2Settings s = fdFor("TRNB701", true);
    EXPECT_TRUE(s.cfgFileLoad());
    ASSERT_EQ(s.rules.size(), 2);
    EXPECT_EQ(s.rules[0].extended, 0);
    EXPECT_EQ(s.rules[0].startId, 0x100u);
    EXPECT_EQ(s.rules[0].endId, 0x200u);
    EXPECT_EQ(s.rules[1].extended, 1);
    EXPECT_EQ(s.rules[1].startId, 0x12u);
    EXPECT_EQ(s.rules[1].endId, 0x34u);
    EXPECT_EQ(s.fdSupport, "0");
    EXPECT_EQ(s.devIndex, "0");
}

TEST_F(FdSettingsFile, MissingFileKeepsTheModelDefaults)
{
    QUserFd2Settings s = fdFor("TRNB702");
    s.rules.append(QUserFliterRule());
    EXPECT_FALSE(s.cfgFileLoad());
    EXPECT_TRUE(s.rules.isEmpty());
    EXPECT_EQ(s.baudLine(), "BAUD_0_0_0_0_1.0Mbps(80%),5.0Mbps(87%),(80,00C0030E,00400005)_0_0_0_1_0_0");
}

class ClassicSettingsFile : public WorkDirTest {};

TEST_F(ClassicSettingsFile, DefaultLineRoundTripAndRejectedLines)
{
    QUserUsbcan2Settings s;
    s.devName = "USBCAN2";
    EXPECT_EQ(s.cfgFileName(), "./USBCAN2Set.ini");
    EXPECT_FALSE(s.cfgLoad());
    EXPECT_TRUE(s.cfgSave());
    EXPECT_EQ(readAll("USBCAN2Set.ini"), "0,0,2,00,1C,0,0,1,0,00000000,FFFFFFFF\n");

    s.devIndex = "7";
    s.channel = "1";
    s.baudIndex = "9";
    s.timing0 = " 3";
    s.timing1 = "1c";
    s.allChannels = "1";
    s.selfBaud = "1";
    s.filterMode = "0";
    s.workMode = "1";
    s.accCode = "  12345678 ";
    s.accMask = "0000FFFF";
    EXPECT_TRUE(s.cfgSave());
    EXPECT_EQ(readAll("USBCAN2Set.ini"), "7,1,9, 3,1c,1,1,0,1,12345678,0000FFFF\n");
    QUserUsbcan2Settings t;
    t.devName = "USBCAN2";
    EXPECT_TRUE(t.cfgLoad());
    EXPECT_EQ(t.line(), s.line());

    for (const char *bad : {"7,1,9,3,1c,1,1,0,1,12,34,56\n", "7,1,9\n", "\n", ""}) {
        writeAll("USBCAN2Set.ini", bad);
        QUserUsbcan2Settings u;
        u.devName = "USBCAN2";
        u.devIndex = "5";
        EXPECT_FALSE(u.cfgLoad()) << bad;
        EXPECT_EQ(u.line(), "0,0,2,00,1C,0,0,1,0,00000000,FFFFFFFF") << bad;
    }
}

TEST(ClassicBaudTable, SortedNamesAndRegisterTexts)
{
    const auto table = QUserUsbcan2Settings::baudTable();
    EXPECT_EQ(QUserUsbcan2Settings::sortedBaudNames(table),
              QStringList({"1000kbps", "800kbps", "500kbps", "250kbps", "125kbps", "100kbps", "50kbps",
                           "20kbps", "10kbps", "5kbps"}));
    EXPECT_EQ(table.value("500kbps").timing0, "00");
    EXPECT_EQ(table.value("500kbps").timing1, "1C");
    EXPECT_EQ(table.value("5kbps").timing0, "BF");
    EXPECT_EQ(table.value("5kbps").timing1, "FF");
    // Each entry's registers give its named rate on the 16 MHz controller.
    for (const auto &e : table) {
        const int b0 = e.timing0.toInt(nullptr, 16), b1 = e.timing1.toInt(nullptr, 16);
        const int brp = (b0 & 0x3F) + 1, t1 = (b1 & 0x0F) + 1, t2 = ((b1 >> 4) & 7) + 1;
        EXPECT_EQ(16000000 / (2 * brp) / (1 + t1 + t2), e.name.left(e.name.size() - 4).toInt() * 1000) << e.name.toStdString();
    }
}
