#include "canopen/QUserCANopenUiSetting.h"

#include "tests/canopen/CanopenTestUtil.h"
#include "core/FileKeyValue.h"
#include "core/QUserSysCfg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSplitter>

#include <utime.h>

#include <gtest/gtest.h>

namespace {

// Every settings test starts without the two files of the window.
class UiSettingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath("setting");
        QFile::remove(QUserCANopenUiSetting::uiFilePath());
        QFile::remove(QUserCANopenUiSetting::fastOptFilePath());
        QUserSysCfg *cfg = QUserSysCfg::instance();
        for (const char *k : {"dbcEdsSpliteRootRate", "dbcEdsSpliteLeftFileRate", "dbcEdsSpliteRightListenRate",
                              "openCanSpliteRootRate"})
            cfg->setByteArray(k, QByteArray());
    }

    static QMap<QString, QString> uiFile()
    {
        FileKeyValue kv;
        EXPECT_TRUE(kv.load(QUserCANopenUiSetting::uiFilePath()));
        return kv.singleValues();
    }

    static QStringList fastOptLines()
    {
        const QByteArray raw = cotest::readAll(QUserCANopenUiSetting::fastOptFilePath());
        QStringList lines = QString::fromUtf8(raw).split("\r\n");
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    static void backdate(const QString &path)
    {
        struct utimbuf t = {1000000000, 1000000000};
        ASSERT_EQ(utime(QFile::encodeName(path).constData(), &t), 0);
    }

    static qint64 mtime(const QString &path) { return QFileInfo(path).lastModified().toSecsSinceEpoch(); }
};

const char *const kAllKeys[] = {
    "windowRightTabPageIndex", "windowLeftTabPageIndex", "Cia301NodeId", "comBoxNmtType", "comBoxNmtGuardType",
    "lineEditSyncCnt", "lineEditErrCode", "lineEditErrRegister", "lineEditUserErrCode", "comBoxPdoType",
    "lineEditPdoData", "comBoxRemotePdoType", "lineEditSdoFastWriteIndex", "lineEditSdoFastWriteSubIndex",
    "lineEditSdoFastWriteData", "comBoxSdoFastWriteLen", "lineEditSdoFastReadIndex", "lineEditSdoFastReadSubIndex",
    "dateTimeEdit", "chkBoxUseSysTime", "Cia402NodeId", "lineEditVelDstSpeed", "lineEditVelAccSpeed",
    "lineEditVelDecSpeed", "lineEditTorDst", "lineEditTorSlope", "lineEditPosAbsDst", "linEditPosRelDst",
    "linEditPosAAccSpeed", "linEditPosAccSpeed", "linEditPosDecSpeed",
};

} // namespace

TEST_F(UiSettingTest, FirstStartAndTheFileWrittenAtTheEnd)
{
    {
        QUserCANopenUiSetting s;
        int first = -1, second = -1;
        s.tabPageIndexGet(first, second);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(second, 0);
        EXPECT_EQ(s.cia301.nodeId, 1);
        EXPECT_EQ(s.cia402.nodeId, 1);
        EXPECT_FALSE(s.cia402.velRunning);
        EXPECT_TRUE(s.cia301.Cia301NodeId.isEmpty());
        EXPECT_TRUE(s.fastOptList.isEmpty());
        EXPECT_EQ(s.listenEditRow, -1);
        EXPECT_EQ(s.listenMenuRow, -1);
        EXPECT_TRUE(s.canopenRootSplitterState.isEmpty());
        EXPECT_EQ(s.edsParser.rxPdoList.size(), 4);
        EXPECT_FALSE(QFileInfo::exists(QUserCANopenUiSetting::uiFilePath())) << "nothing is written while it lives";
        s.cia402.lineEditTorDst = "300";
    }
    const QMap<QString, QString> file = uiFile();
    EXPECT_EQ(file.size(), 31);
    for (const char *k : kAllKeys)
        EXPECT_TRUE(file.contains(k)) << k;
    EXPECT_EQ(file.value("windowRightTabPageIndex"), "0");
    EXPECT_EQ(file.value("windowLeftTabPageIndex"), "0");
    EXPECT_EQ(file.value("lineEditTorDst"), "300");
    EXPECT_EQ(file.value("Cia301NodeId"), "");
}

TEST_F(UiSettingTest, WidgetsAreReadIntoTheFile)
{
    QLineEdit node, pdoData, velSpeed;
    QComboBox pdoType, remoteType;
    pdoType.addItems({"TPDO1", "RPDO1", "TPDO2", "RPDO2"});
    remoteType.addItems({"TPDO1", "RPDO1", "TPDO2", "RPDO2", "TPDO3"});
    QDateTimeEdit dateTime;
    QCheckBox useSys;
    const QDateTime when(QDate(2024, 1, 1), QTime(0, 0, 0), Qt::LocalTime);
    {
        QUserCANopenUiSetting s;
        s.cia301.w.Cia301NodeId = &node;
        s.cia301.w.lineEditPdoData = &pdoData;
        s.cia301.w.comBoxPdoType = &pdoType;
        s.cia301.w.comBoxRemotePdoType = &remoteType;
        s.cia301.w.dateTimeEdit = &dateTime;
        s.cia301.w.chkBoxUseSysTime = &useSys;
        s.cia402.w.lineEditVelDstSpeed = &velSpeed;
        node.setText(" 12 ");
        pdoData.setText("11 22,33");
        pdoType.setCurrentText("RPDO2");
        remoteType.setCurrentText("TPDO3");
        dateTime.setDateTime(when);
        useSys.setChecked(true);
        velSpeed.setText("-1000");
        s.cia301.lineEditSyncCnt = "3"; // no widget registered: the text stays
        s.tabPageIndexSet(0, 2);
    }
    const QMap<QString, QString> file = uiFile();
    EXPECT_EQ(file.value("Cia301NodeId"), " 12 ");
    EXPECT_EQ(file.value("lineEditPdoData"), "11 22,33");
    EXPECT_EQ(file.value("comBoxPdoType"), "RPDO2");
    EXPECT_EQ(file.value("comBoxRemotePdoType"), "TPDO3");
    EXPECT_EQ(file.value("dateTimeEdit"), QString::number(when.toSecsSinceEpoch()));
    EXPECT_EQ(file.value("chkBoxUseSysTime"), "true");
    EXPECT_EQ(file.value("lineEditVelDstSpeed"), "-1000");
    EXPECT_EQ(file.value("lineEditSyncCnt"), "3");
    EXPECT_EQ(file.value("windowLeftTabPageIndex"), "2");
    EXPECT_EQ(file.value("windowRightTabPageIndex"), "0");

    // The next window starts from what was stored; the date-time shows the
    // same local time again.
    QUserCANopenUiSetting next;
    EXPECT_EQ(next.leftTabPageIndex, 2);
    EXPECT_EQ(next.cia301.lineEditPdoData, "11 22,33");
    EXPECT_EQ(next.cia301.comBoxRemotePdoType, "TPDO3");
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(next.cia301.dateTimeEdit.toLongLong()), when);
    EXPECT_EQ(next.cia301.chkBoxUseSysTime, "true");
    useSys.setChecked(false);
    next.cia301.w.chkBoxUseSysTime = &useSys;
    next.cia301.widgetsRead();
    EXPECT_EQ(next.cia301.chkBoxUseSysTime, "false");
}

TEST_F(UiSettingTest, PageTextsThatAreNotNumbersReadAsZero)
{
    ASSERT_TRUE(cotest::writeAll(QUserCANopenUiSetting::uiFilePath(),
                                 "windowLeftTabPageIndex,abc,windowLeftTabPageIndexabc\r\n"
                                 "windowRightTabPageIndex,-3,windowRightTabPageIndex-3\r\n"
                                 "lineEditTorDst,250,lineEditTorDst250\r\n"));
    QUserCANopenUiSetting s;
    EXPECT_EQ(s.leftTabPageIndex, 0);
    EXPECT_EQ(s.rightTabPageIndex, 0);
    EXPECT_EQ(s.cia402.lineEditTorDst, "250");
}

TEST_F(UiSettingTest, UnchangedSettingsLeaveTheFileAlone)
{
    { QUserCANopenUiSetting s; }
    const QByteArray first = cotest::readAll(QUserCANopenUiSetting::uiFilePath());
    backdate(QUserCANopenUiSetting::uiFilePath());
    { QUserCANopenUiSetting s; }
    EXPECT_EQ(mtime(QUserCANopenUiSetting::uiFilePath()), 1000000000);
    EXPECT_EQ(cotest::readAll(QUserCANopenUiSetting::uiFilePath()), first);
    {
        QUserCANopenUiSetting s;
        s.cia301.lineEditErrCode = "1000";
    }
    EXPECT_NE(mtime(QUserCANopenUiSetting::uiFilePath()), 1000000000);
}

TEST_F(UiSettingTest, QuickOperationRows)
{
    ASSERT_TRUE(cotest::writeAll(QUserCANopenUiSetting::fastOptFilePath(),
                                 "fastOptMsg,S,D,001,00 01,A\r\n"
                                 "fastOptMsg,S,D,002,00 02,B\r\n"
                                 "other,ignored\r\n"
                                 "fastOptMsg,too,few,parts\r\n"
                                 "fastOptMsg,E,R,18FF0001,,C, with, commas\r\n"));
    QUserCANopenUiSetting s;
    ASSERT_EQ(s.fastOptList.size(), 3);
    EXPECT_EQ(s.fastOptList[0].msgText, "E,R,18FF0001,");
    EXPECT_EQ(s.fastOptList[0].descText, "C, with, commas");
    EXPECT_EQ(s.fastOptList[1].msgText, "S,D,002,00 02");
    EXPECT_EQ(s.fastOptList[1].descText, "B");
    EXPECT_EQ(s.fastOptList[2].descText, "A");

    // No edit: nothing is written.
    backdate(QUserCANopenUiSetting::fastOptFilePath());
    EXPECT_FALSE(s.fastOptSave());
    EXPECT_EQ(mtime(QUserCANopenUiSetting::fastOptFilePath()), 1000000000);

    // Editing B's description rewrites the file in its own line order.
    QLineEdit msg, desc;
    msg.setText("S,D,002,00 02");
    desc.setText("B edited");
    s.fastOptList[1].msgEdit = &msg;
    s.fastOptList[1].descEdit = &desc;
    EXPECT_TRUE(s.fastOptSave());
    EXPECT_EQ(fastOptLines(), QStringList({"fastOptMsg,S,D,001,00 01,A", "fastOptMsg,S,D,002,00 02,B edited",
                                           "fastOptMsg,E,R,18FF0001,,C, with, commas"}));
    s.fastOptList[1].msgEdit = nullptr;
    s.fastOptList[1].descEdit = nullptr;
}

// A file of more rows than the window can hold builds no more than the bound
// (each row is a row of widgets): the first rows are kept.
TEST_F(UiSettingTest, QuickOperationRowsAreBounded)
{
    QByteArray text;
    const int lines = QUserCANopenUiSetting::kFastOptRowsMax + 500;
    for (int i = 0; i < lines; ++i)
        text += "fastOptMsg,S,D,001,00 01," + QByteArray::number(i) + "\r\n";
    ASSERT_TRUE(cotest::writeAll(QUserCANopenUiSetting::fastOptFilePath(), text));
    QUserCANopenUiSetting s;
    ASSERT_EQ(s.fastOptList.size(), 1000);
    // Rows come last line first.
    EXPECT_EQ(s.fastOptList.first().descText, QString::number(lines - 1));
    EXPECT_EQ(s.fastOptList.last().descText, QString::number(lines - 1000));
}

// A changed row count reaches the file at the next save, edit or not.
TEST_F(UiSettingTest, RowCountChangesAreSaved)
{
    {
        QUserCANopenUiSetting s;
        s.fastOptCountSet(2);
        ASSERT_EQ(s.fastOptList.size(), 2);
        EXPECT_EQ(s.fastOptList[1].msgText, "S,D,123,00 01 02 03 04 05 06 07");
        EXPECT_EQ(s.fastOptList[1].descText, QString::fromUtf8("空"));
    }
    EXPECT_EQ(fastOptLines().size(), 2);
    {
        QUserCANopenUiSetting s;
        ASSERT_EQ(s.fastOptList.size(), 2);
        s.fastOptList[0].descText = "first";
        s.fastOptCountSet(1);
        EXPECT_TRUE(s.fastOptSave());
        EXPECT_FALSE(s.fastOptSave());
    }
    EXPECT_EQ(fastOptLines(), QStringList({QString::fromUtf8("fastOptMsg,S,D,123,00 01 02 03 04 05 06 07,first")}));
}

TEST_F(UiSettingTest, SplitterStatesGoToSysIni)
{
    QSplitter root, left, right, canopen;
    for (QSplitter *sp : {&root, &left, &right, &canopen}) {
        sp->addWidget(new QWidget);
        sp->addWidget(new QWidget);
        sp->resize(300, 100);
    }
    root.setSizes({100, 200});
    canopen.setSizes({200, 100});
    {
        QUserCANopenUiSetting s;
        s.edsRootSplitter = &root;
        s.edsLeftSplitter = &left;
        s.edsRightSplitter = &right;
        s.canopenRootSplitter = &canopen;
    }
    QUserSysCfg *cfg = QUserSysCfg::instance();
    EXPECT_EQ(cfg->getByteArray("dbcEdsSpliteRootRate"), root.saveState());
    EXPECT_EQ(cfg->getByteArray("openCanSpliteRootRate"), canopen.saveState());
    QUserCANopenUiSetting next;
    EXPECT_EQ(next.edsRootSplitterState, root.saveState());
    EXPECT_EQ(next.edsLeftSplitterState, left.saveState());
    EXPECT_EQ(next.edsRightSplitterState, right.saveState());
    QSplitter again;
    again.addWidget(new QWidget);
    again.addWidget(new QWidget);
    again.resize(300, 100);
    ASSERT_TRUE(again.restoreState(next.canopenRootSplitterState));
    EXPECT_EQ(again.sizes(), canopen.sizes());
}

TEST(FastOptTextTest, CheckAndParse)
{
    struct Case {
        const char *text;
        bool ok;
        bool ext;
        bool remote;
        const char *id;
        const char *len;
        const char *data;
    } cases[] = {
        {"S,D,123,00 01 02 03 04 05 06 07", true, false, false, "123", "8", "0001020304050607"},
        {"E,R,18FF0001,", true, true, true, "18FF0001", "0", ""},
        {"S,D,7E5,00 01 02 03 04 05 06 07 08", true, false, false, "7E5", "8", "000102030405060708"},
        {"S,D,1,ABC", true, false, false, "1", "1", "ABC"},
        {"X,D,123,00", false, false, false, "", "", ""},
        {"s,D,123,00", false, false, false, "", "", ""},
        {"S,d,123,00", false, false, false, "", "", ""},
        {"S,D,123456789,00", false, false, false, "", "", ""},
        {"S,D,12G,00", false, false, false, "", "", ""},
        {"S,D,,00", false, false, false, "", "", ""},
        {"S,D,123", false, false, false, "", "", ""},
        {"S,D,123,00,01", false, false, false, "", "", ""},
        {"S,D,123,0x00", false, false, false, "", "", ""},
        {"", false, false, false, "", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(QUserCANopenFastOpt::msgCheck(c.text), c.ok);
        QUserCanMsg m;
        ASSERT_EQ(QUserCANopenFastOpt::msgParse(c.text, m), c.ok);
        if (!c.ok) {
            EXPECT_EQ(m.idText, "00000000");
            continue;
        }
        EXPECT_EQ(m.extended, c.ext ? 1 : 0);
        EXPECT_EQ(m.remote, c.remote ? 1 : 0);
        EXPECT_EQ(m.idText, c.id);
        EXPECT_EQ(m.lenText, c.len);
        EXPECT_EQ(m.dataText, c.data);
        EXPECT_EQ(m.status, 104);
        EXPECT_EQ(m.protocol, 0);
    }
}
