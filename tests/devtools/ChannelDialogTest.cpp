// The CAN FD and classic channel dialogs and the device selection dialog,
// run offscreen the way the device classes and the main window run them:
// every modal run goes through the prompt seam and is answered by a script.

#include "tests/devtools/DialogTestUtil.h"

#include "devtools/QUserDlgDeviceSel.h"
#include "devtools/QUserDlgFd2Set.h"
#include "core/QUserSysCfg.h"
#include "devtools/uiDlgUsbcan2Cfg.h"

#include "tests/support/TempWorkDir.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

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

// 32 adapters of n channels, the ones listed open.
QVector<QVector<bool>> openTable(int channels, std::initializer_list<std::pair<int, int>> open)
{
    QVector<QVector<bool>> t(32, QVector<bool>(channels, false));
    for (auto p : open)
        t[p.first][p.second] = true;
    return t;
}

// The CAN FD device class's own record defaults.
QUserFd2Cfg deviceDefaults()
{
    QUserFd2Cfg c;
    c.mode = 0;
    c.fdEnable = 1;
    c.selfBaud = 0;
    c.filterEnable = 0;
    c.clock = 60;
    c.arbTimingWord = 0x01400106;
    c.dataTimingWord = 0x00800001;
    return c;
}

// What the CAN FD device class does on open, with the user's actions in
// `user` (run on the frame instead of a modal loop). Returns the dialog's
// result; on 1 the record is filled.
int runFd(const QString &type, bool fd, const QVector<QVector<bool>> &table,
          std::function<void(QDialog *)> user, QUserFd2Cfg *cfg, QUserPromptScript &prompts,
          bool pressOk = true)
{
    QUserDlgFd2Set dlg;
    dlg.fdSupportSet(fd);
    dlg.dlgInit(type, type + " 配置", table);
    prompts.answerExec([&](QDialog *d) {
        EXPECT_EQ(d->windowTitle(), type + " 配置");
        if (user)
            user(d);
        if (pressOk)
            kid<QPushButton>(d, "pushButton_ok")->click();
        return d->result();
    });
    const int r = dlg.dialogExec();
    if (r == 1)
        dlg.devCfgGet(cfg);
    return r;
}

} // namespace

class FdChannelDialog : public WorkDirTest {};

TEST_F(FdChannelDialog, ListsOnlyFreeAdaptersAndChannels)
{
    QUserPromptScript prompts;
    auto table = openTable(4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 2}});
    table[3].clear(); // no channels at all
    QUserFd2Cfg cfg = deviceDefaults();
    const int r = runFd("TRNB702", true, table, [&](QDialog *d) {
        auto *dev = kid<QComboBox>(d, "comboBox_devIndex");
        auto *ch = kid<QComboBox>(d, "comboBox_chIndex");
        EXPECT_EQ(items(dev).mid(0, 3), QStringList({"1", "2", "4"}));
        EXPECT_EQ(dev->count(), 30);
        EXPECT_EQ(items(ch), QStringList({"1", "3"}));
        chooseText(dev, "2");
        EXPECT_EQ(items(ch), QStringList({"0", "1", "2", "3"}));
        chooseText(ch, "3");
    }, &cfg, prompts);
    ASSERT_EQ(r, 1);
    EXPECT_EQ(cfg.devIndex, 2);
    EXPECT_EQ(cfg.channel, 3);
    EXPECT_TRUE(readAll("setting/TRNB702Set.ini").startsWith("BAUD_2_3_0_0_"));

    // Reopened with adapter 2 now fully open: the stored index is not
    // listed, so the first free adapter and its own channels are offered.
    auto table2 = openTable(4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 2},
                                {2, 0}, {2, 1}, {2, 2}, {2, 3}});
    QUserFd2Cfg cfg2 = deviceDefaults();
    runFd("TRNB702", true, table2, [&](QDialog *d) {
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_devIndex")->currentText(), "1");
        EXPECT_EQ(items(kid<QComboBox>(d, "comboBox_chIndex")), QStringList({"1", "3"}));
    }, &cfg2, prompts);
    EXPECT_EQ(cfg2.devIndex, 1);
    EXPECT_EQ(cfg2.channel, 3); // the stored channel is free on adapter 1 too
}

TEST_F(FdChannelDialog, PresetsAndProtocolFillTheRecord)
{
    struct Case {
        const char *type; bool fd; int proto, arb, data, iso, mode;
        int clock; uint32_t arbWord, dataWord; uint8_t fdFlag;
    };
    const Case cases[] = {
        // 60 MHz, CAN FD, first presets
        {"TRNB701", true, 1, 0, 0, 0, 0, 60, 0x01400106, 0x00800001, 1},
        // 80 MHz, CAN FD, 500k / 2M, ISO, listen-only
        {"TRNB702", true, 1, 2, 2, 1, 1, 80, 0x01C0030E, 0x00C00106, 1},
        // 80 MHz data position 0 is 5 Mbit/s at 87.5 %
        {"TRNB702", true, 1, 0, 0, 0, 0, 80, 0x00C0030E, 0x00400005, 1},
        // CAN: the caller's data word stays
        {"TRNB702", true, 0, 3, 1, 0, 0, 80, 0x03C0030E, 0x00800001, 0},
        // no CAN FD support: arbitration only
        {"TRNA701", false, -1, 5, -1, -1, 0, 60, 0x0EC00106, 0x00800001, 0},
        {"TRNA702", false, -1, 6, -1, -1, 1, 80, 0x13C0030E, 0x00800001, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " arb " << c.arb << " data " << c.data);
        TempWorkDir dir;
        QUserPromptScript prompts;
        QUserFd2Cfg cfg = deviceDefaults();
        const int r = runFd(c.type, c.fd, openTable(2, {}), [&](QDialog *d) {
            auto *proto = kid<QComboBox>(d, "comboBox_workProcotol");
            EXPECT_EQ(proto->isHidden(), !c.fd);
            EXPECT_EQ(kid<QLabel>(d, "label_aBaud")->text(), c.fd ? "仲裁域波特率:" : "波特率:");
            if (c.proto >= 0)
                choose(proto, c.proto);
            const bool dataShown = c.fd && c.proto != 0;
            EXPECT_EQ(kid<QComboBox>(d, "comboBox_dBaud")->isHidden(), !dataShown);
            EXPECT_EQ(kid<QComboBox>(d, "comboBox_iso")->isHidden(), !dataShown);
            choose(kid<QComboBox>(d, "comboBox_aBaud"), c.arb);
            if (c.data >= 0)
                choose(kid<QComboBox>(d, "comboBox_dBaud"), c.data);
            if (c.iso >= 0)
                choose(kid<QComboBox>(d, "comboBox_iso"), c.iso);
            choose(kid<QComboBox>(d, "comboBox_workMode"), c.mode);
        }, &cfg, prompts);
        ASSERT_EQ(r, 1);
        EXPECT_EQ(cfg.clock, c.clock);
        EXPECT_EQ(cfg.arbTimingWord, c.arbWord);
        EXPECT_EQ(cfg.dataTimingWord, c.dataWord);
        EXPECT_EQ(cfg.fdEnable, c.fdFlag);
        EXPECT_EQ(cfg.isoStandard, c.iso > 0 ? 1 : 0);
        EXPECT_EQ(cfg.mode, c.mode);
        EXPECT_EQ(cfg.selfBaud, 0);
        EXPECT_TRUE(cfg.selfBaudText.isEmpty());
        EXPECT_TRUE(prompts.records().size() == 1) << boxTexts(prompts).join(";").toStdString();
    }
}

TEST_F(FdChannelDialog, StoredSupportLineOverridesTheDeviceClass)
{
    writeAll("setting/TRNA701Set.ini", "BAUD_0_0_0_0_x_0_0_0_1_0_0\nFDSUPPORT_1\n");
    QUserPromptScript prompts;
    QUserFd2Cfg cfg = deviceDefaults();
    runFd("TRNA701", false, openTable(1, {}), [&](QDialog *d) {
        EXPECT_FALSE(kid<QComboBox>(d, "comboBox_workProcotol")->isHidden());
        EXPECT_FALSE(kid<QComboBox>(d, "comboBox_dBaud")->isHidden());
    }, &cfg, prompts);
    EXPECT_EQ(cfg.fdEnable, 1);
}

TEST_F(FdChannelDialog, CustomTimingFromTheCalculatorAndTheEmptyTextError)
{
    QUserPromptScript prompts;
    QUserFd2Cfg cfg = deviceDefaults();
    const int r = runFd("TRNB701", true, openTable(2, {}), [&](QDialog *d) {
        auto *self = kid<QCheckBox>(d, "checkBox_self");
        auto *aBaud = kid<QComboBox>(d, "comboBox_aBaud");
        auto *text = kid<QLineEdit>(d, "lineEdit_selfPara");
        auto *calBtn = kid<QPushButton>(d, "pushButton_cal");
        EXPECT_FALSE(self->isChecked());
        EXPECT_FALSE(text->isEnabled());
        EXPECT_FALSE(calBtn->isEnabled());
        choose(aBaud, aBaud->count() - 1); // "自定义"
        EXPECT_TRUE(self->isChecked());
        EXPECT_FALSE(aBaud->isEnabled());
        EXPECT_FALSE(kid<QComboBox>(d, "comboBox_dBaud")->isEnabled());
        EXPECT_TRUE(text->isEnabled());
        EXPECT_TRUE(calBtn->isEnabled());

        // Blanks only: error, the dialog stays open.
        text->setText("   ");
        prompts.answerExec(0);
        kid<QPushButton>(d, "pushButton_ok")->click();
        EXPECT_EQ(d->result(), 0);
        EXPECT_TRUE(prompts.last().text.contains("自定义波特率参数不能为空!!!"));

        // The calculator runs with the device's model and hands back its result.
        prompts.answerExec([](QDialog *c) {
            EXPECT_EQ(kid<QComboBox>(c, "comboBox_devType")->currentText(), "TRNB701");
            kid<QPushButton>(c, "pushButton_cal")->click();
            auto *td = kid<QTableWidget>(c, "tableWidget_d");
            td->setCurrentCell(4, 0);
            emit td->itemClicked(td->item(4, 0));
            kid<QPushButton>(c, "pushButton_ok")->click();
            return c->result();
        });
        calBtn->click();
        EXPECT_EQ(text->text(), "1000.000Kbps(70.0%),5000.000Kbps(75.0%),(60,0080050C,00800001)");
    }, &cfg, prompts);
    ASSERT_EQ(r, 1);
    EXPECT_EQ(cfg.selfBaud, 1);
    EXPECT_EQ(cfg.selfBaudText, "1000.000Kbps(70.0%),5000.000Kbps(75.0%),(60,0080050C,00800001)");
    EXPECT_EQ(cfg.clock, 60);
    EXPECT_EQ(cfg.arbTimingWord, 0x0080050Cu);
    EXPECT_EQ(cfg.dataTimingWord, 0x00800001u);

    // A cancelled calculator changes nothing.
    QUserFd2Cfg cfg2 = deviceDefaults();
    runFd("TRNB701", true, openTable(2, {}), [&](QDialog *d) {
        prompts.answerExec(0);
        kid<QPushButton>(d, "pushButton_cal")->click();
        EXPECT_EQ(kid<QLineEdit>(d, "lineEdit_selfPara")->text(),
                  "1000.000Kbps(70.0%),5000.000Kbps(75.0%),(60,0080050C,00800001)");
    }, &cfg2, prompts);
    // Reopened: the stored text's clock and words are in force again.
    EXPECT_EQ(cfg2.selfBaud, 1);
    EXPECT_EQ(cfg2.arbTimingWord, 0x0080050Cu);
    EXPECT_EQ(cfg2.dataTimingWord, 0x00800001u);
}

TEST_F(FdChannelDialog, ReopenedCustomTimingStartsFromTheStoredText)
{
    writeAll("setting/TRNB702Set.ini",
             "BAUD_0_0_0_0_500.000Kbps(80.0%),2000.000Kbps(80.0%),(80,01C0030E,00C00106)_0_1_0_1_0_0\n"
             "FDSUPPORT_1\n");
    QUserPromptScript prompts;
    QUserFd2Cfg cfg = deviceDefaults();
    runFd("TRNB702", true, openTable(2, {}), [&](QDialog *d) {
        EXPECT_TRUE(kid<QCheckBox>(d, "checkBox_self")->isChecked());
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_aBaud")->currentIndex(), 7);
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_dBaud")->currentIndex(), 9);
    }, &cfg, prompts);
    EXPECT_EQ(cfg.clock, 80);
    EXPECT_EQ(cfg.arbTimingWord, 0x01C0030Eu);
    EXPECT_EQ(cfg.dataTimingWord, 0x00C00106u);

    // Custom timing switched off again with the lists left on "自定义":
    // the record still carries a real preset word.
    QUserFd2Cfg cfg2 = deviceDefaults();
    runFd("TRNB702", true, openTable(2, {}), [&](QDialog *d) {
        kid<QCheckBox>(d, "checkBox_self")->setChecked(false);
    }, &cfg2, prompts);
    EXPECT_EQ(cfg2.selfBaud, 0);
    EXPECT_EQ(cfg2.arbTimingWord, 0x00C0030Eu);
    EXPECT_EQ(cfg2.dataTimingWord, 0x00400005u);
}

TEST_F(FdChannelDialog, FilterEditAndCancelKeepsTheSavedRules)
{
    QUserPromptScript prompts;
    QUserFd2Cfg cfg = deviceDefaults();
    const int r = runFd("TRNB701", true, openTable(2, {}), [&](QDialog *d) {
        auto *count = kid<QLineEdit>(d, "lineEdit_fliterNum");
        EXPECT_EQ(count->text(), "当前过滤器规则数量:0");
        EXPECT_TRUE(count->isReadOnly());
        prompts.answerExec([](QDialog *f) {
            EXPECT_EQ(f->windowTitle(), "滤波设置");
            choose(kid<QComboBox>(f, "comboBox_mode"), 1);
            kid<QLineEdit>(f, "lineEdit_startId")->setText("100");
            kid<QLineEdit>(f, "lineEdit_endId")->setText("1FF");
            kid<QPushButton>(f, "pushButton_add")->click();
            kid<QPushButton>(f, "pushButton_ok")->click();
            return f->result();
        });
        kid<QPushButton>(d, "pushButton_fliterSet")->click();
        EXPECT_EQ(count->text(), "当前过滤器规则数量:1");
        kid<QCheckBox>(d, "checkBox_filterEnable")->setChecked(true);
        kid<QPushButton>(d, "pushButton_cancel")->click();
    }, &cfg, prompts, false);
    EXPECT_EQ(r, 0);
    const QByteArray file = readAll("setting/TRNB701Set.ini");
    EXPECT_TRUE(file.contains("\nFLITER_false_0x00000100_0x000001FF\n")) << file.toStdString();
    EXPECT_TRUE(file.startsWith("BAUD_0_0_0_0_")); // the filter box was ticked after the save

    QUserFd2Cfg cfg2 = deviceDefaults();
    ASSERT_EQ(runFd("TRNB701", true, openTable(2, {}), [&](QDialog *d) {
        kid<QCheckBox>(d, "checkBox_filterEnable")->setChecked(true);
    }, &cfg2, prompts), 1);
    EXPECT_EQ(cfg2.filterEnable, 1);
    ASSERT_EQ(cfg2.rules.size(), 1);
    EXPECT_EQ(cfg2.rules[0].startId, 0x100u);
    EXPECT_EQ(cfg2.rules[0].endId, 0x1FFu);
}

TEST_F(FdChannelDialog, NoFreeChannelRefusesOk)
{
    QUserPromptScript prompts;
    QVector<QVector<bool>> allOpen(32, QVector<bool>(2, true));
    for (const auto &table : {allOpen, QVector<QVector<bool>>()}) {
        QUserFd2Cfg cfg = deviceDefaults();
        const int r = runFd("TRNB701", true, table, [&](QDialog *d) {
            EXPECT_EQ(kid<QComboBox>(d, "comboBox_devIndex")->count(), 0);
            EXPECT_EQ(kid<QComboBox>(d, "comboBox_chIndex")->count(), 0);
            prompts.answerExec(0);
        }, &cfg, prompts);
        EXPECT_EQ(r, 0);
        EXPECT_TRUE(hasBox(prompts, "错误", "没有可打开的通道!!!"));
        EXPECT_FALSE(QFile::exists("setting/TRNB701Set.ini"));
    }
}

// ---------------------------------------------------------------------------

namespace {

QVector<QByteArray> usage(int channels, std::initializer_list<std::pair<int, int>> open)
{
    QVector<QByteArray> t(32, QByteArray(channels, '\0'));
    for (auto p : open)
        t[p.first][p.second] = 1;
    return t;
}

// The classic device class's open: defaults, dialog, record.
int runClassic(const QVector<QByteArray> &table, std::function<void(QDialog *)> user, QUserFd2Cfg *cfg,
               QUserPromptScript &prompts, bool pressOk = true)
{
    Usbcan2CfgDialog dlg("USBCAN2 配置");
    dlg.cfgSet("USBCAN2", table);
    prompts.answerExec([&](QDialog *d) {
        EXPECT_EQ(d->windowTitle(), "USBCAN2 配置");
        if (user)
            user(d);
        if (pressOk)
            kid<QPushButton>(d, "pushButton_ok")->click();
        return d->result();
    });
    const int r = dlg.dialogExec();
    if (r == 1)
        dlg.cfgGet(cfg);
    return r;
}

} // namespace

class ClassicChannelDialog : public WorkDirTest {};

TEST_F(ClassicChannelDialog, FirstOpenShowsTheDefaultsAndWritesTheDefaultLine)
{
    QUserPromptScript prompts;
    QUserFd2Cfg cfg = deviceDefaults();
    const int r = runClassic(usage(2, {{0, 0}, {1, 0}, {1, 1}}), [](QDialog *d) {
        auto *dev = kid<QComboBox>(d, "comboBox_devIndex");
        EXPECT_EQ(dev->currentText(), "0");
        EXPECT_FALSE(items(dev).contains("1"));
        EXPECT_EQ(items(kid<QComboBox>(d, "comboBox_chIndex")), QStringList({"1"}));
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_baud")->currentText(), "500kbps");
        EXPECT_EQ(kid<QLineEdit>(d, "lineEdit_btr0")->text(), "00");
        EXPECT_EQ(kid<QLineEdit>(d, "lineEdit_btr1")->text(), "1C");
        EXPECT_FALSE(kid<QLineEdit>(d, "lineEdit_btr0")->isEnabled());
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_fliterMode")->currentIndex(), 1);
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_workMode")->currentIndex(), 0);
    }, &cfg, prompts);
    ASSERT_EQ(r, 1);
    EXPECT_EQ(readAll("USBCAN2Set.ini"), "0,1,2,00,1C,0,0,1,0,00000000,FFFFFFFF\n");
    EXPECT_EQ(cfg.devIndex, 0);
    EXPECT_EQ(cfg.channel, 1);
    EXPECT_EQ(cfg.timing0, 0x00);
    EXPECT_EQ(cfg.timing1, 0x1C);
    EXPECT_EQ(cfg.filter, 1);
    EXPECT_EQ(cfg.accCode, 0u);
    EXPECT_EQ(cfg.accMask, 0xFFFFFFFFu);
    EXPECT_EQ(cfg.mode, 0);
    EXPECT_EQ(cfg.clock, 16);
    EXPECT_EQ(cfg.fdEnable, 1); // CAN FD fields are the device class's

    // Cancel leaves the file alone.
    writeAll("USBCAN2Set.ini", "keep\n");
    QUserFd2Cfg cfg2 = deviceDefaults();
    EXPECT_EQ(runClassic(usage(2, {}), [](QDialog *d) { kid<QPushButton>(d, "pushButton_cancel")->click(); },
                         &cfg2, prompts, false),
              0);
    EXPECT_EQ(readAll("USBCAN2Set.ini"), "keep\n");
}

// The channel list belongs to the adapter that is selected, not to the
// first listed one.
TEST_F(ClassicChannelDialog, StoredAdapterGetsItsOwnChannelList)
{
    writeAll("USBCAN2Set.ini", "2,0,0,00,14,0,0,1,0,00000000,FFFFFFFF\n");
    QUserPromptScript prompts;
    QUserFd2Cfg cfg = deviceDefaults();
    ASSERT_EQ(runClassic(usage(2, {{0, 0}}), [](QDialog *d) {
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_devIndex")->currentText(), "2");
        EXPECT_EQ(items(kid<QComboBox>(d, "comboBox_chIndex")), QStringList({"0", "1"}));
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_chIndex")->currentText(), "0");
    }, &cfg, prompts), 1);
    EXPECT_EQ(cfg.devIndex, 2);
    EXPECT_EQ(cfg.channel, 0);
    EXPECT_EQ(cfg.timing1, 0x14);

    // Picking an adapter by hand rebuilds its channels too.
    QUserFd2Cfg cfg2 = deviceDefaults();
    runClassic(usage(2, {{0, 0}, {3, 1}}), [](QDialog *d) {
        chooseText(kid<QComboBox>(d, "comboBox_devIndex"), "3");
        EXPECT_EQ(items(kid<QComboBox>(d, "comboBox_chIndex")), QStringList({"0"}));
    }, &cfg2, prompts);
    EXPECT_EQ(cfg2.devIndex, 3);
    EXPECT_EQ(cfg2.channel, 0);
}

TEST_F(ClassicChannelDialog, RegisterFieldsMustBeHexadecimal)
{
    struct Case { const char *btr0, *btr1, *code, *mask; const char *error; };
    const Case cases[] = {
        {"G1", "1C", "0", "FFFFFFFF", "定时器0(TIME0)参数错误"},
        {"123", "1C", "0", "FFFFFFFF", "定时器0(TIME0)参数错误"},
        {"00", "", "0", "FFFFFFFF", "定时器1(TIME1)参数错误"},
        {"00", "1C", "12,34", "FFFFFFFF", "验收码参数错误"},
        {"00", "1C", "123456789", "FFFFFFFF", "验收码参数错误"},
        {"00", "1C", "0", "xyz", "屏蔽码参数错误"},
        {" 3", "1c", " 1234abcd ", "0000ffff", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.error ? c.error : "valid");
        TempWorkDir dir;
        QUserPromptScript prompts;
        QUserFd2Cfg cfg = deviceDefaults();
        const int r = runClassic(usage(2, {}), [&](QDialog *d) {
            kid<QCheckBox>(d, "checkBox_selfBaud")->setChecked(true);
            EXPECT_TRUE(kid<QLineEdit>(d, "lineEdit_btr0")->isEnabled());
            kid<QLineEdit>(d, "lineEdit_btr0")->setText(c.btr0);
            kid<QLineEdit>(d, "lineEdit_btr1")->setText(c.btr1);
            kid<QLineEdit>(d, "lineEdit_accCode")->setText(c.code);
            kid<QLineEdit>(d, "lineEdit_maskCode")->setText(c.mask);
            if (c.error)
                prompts.answerExec(0);
        }, &cfg, prompts);
        if (c.error) {
            EXPECT_EQ(r, 0);
            EXPECT_TRUE(hasBox(prompts, "错误", QString::fromUtf8(c.error))) << boxTexts(prompts).join(";").toStdString();
            EXPECT_FALSE(QFile::exists("USBCAN2Set.ini"));
        } else {
            ASSERT_EQ(r, 1);
            EXPECT_EQ(cfg.timing0, 0x03);
            EXPECT_EQ(cfg.timing1, 0x1C);
            EXPECT_EQ(cfg.accCode, 0x1234ABCDu);
            EXPECT_EQ(cfg.accMask, 0x0000FFFFu);
            EXPECT_EQ(readAll("USBCAN2Set.ini"), "0,0,2, 3,1c,0,1,1,0,1234abcd,0000ffff\n");
        }
    }
}

TEST_F(ClassicChannelDialog, NamedRateOverwritesTypedRegistersAndNoFreeChannelRefusesOk)
{
    QUserPromptScript prompts;
    QUserFd2Cfg cfg = deviceDefaults();
    runClassic(usage(1, {}), [](QDialog *d) {
        auto *self = kid<QCheckBox>(d, "checkBox_selfBaud");
        auto *b0 = kid<QLineEdit>(d, "lineEdit_btr0");
        self->setChecked(true);
        b0->setText("07");
        chooseText(kid<QComboBox>(d, "comboBox_baud"), "125kbps");
        EXPECT_EQ(b0->text(), "03");
        EXPECT_FALSE(b0->isEnabled());
        EXPECT_TRUE(self->isChecked());
        self->setChecked(false);
        self->setChecked(true);
        EXPECT_TRUE(b0->isEnabled());
    }, &cfg, prompts);
    EXPECT_EQ(cfg.timing0, 0x03);
    EXPECT_EQ(cfg.timing1, 0x1C);

    QUserFd2Cfg cfg2 = deviceDefaults();
    QVector<QByteArray> allOpen(32, QByteArray(2, 1));
    const int r = runClassic(allOpen, [&](QDialog *d) {
        EXPECT_EQ(kid<QComboBox>(d, "comboBox_devIndex")->count(), 0);
        prompts.answerExec(0);
    }, &cfg2, prompts);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(hasBox(prompts, "错误", "没有可打开的通道!!!"));
}

// ---------------------------------------------------------------------------

class DeviceSelection : public WorkDirTest
{
protected:
    void SetUp() override
    {
        // The store is process-wide: start each test as if no key were set.
        for (const char *k : {"devCanFDSelIndex", "devLinSelIndex", "devRecordSelIndex"})
            QUserSysCfg::instance()->setInt(k, -1);
    }
    static int key(const char *k) { return QUserSysCfg::instance()->getInt(k); }
};

TEST_F(DeviceSelection, ModelListsPerClassAndWhatOkAndCancelHandBack)
{
    QUserPromptScript prompts;
    {
        QUserDlgDeviceSel dlg;
        EXPECT_EQ(dlg.devTypeSet(3), -1);
        EXPECT_EQ(dlg.devTypeSet(0), 0);
        EXPECT_EQ(items(dlg.typeCombo()), QStringList({"CAN/FD适配器"}));
        EXPECT_FALSE(dlg.typeCombo()->isEnabled());
        EXPECT_EQ(items(dlg.modelCombo()),
                  QStringList({"USBCAN1-A", "USBCAN1-B", "USBCAN2-A", "USBCAN2-B", "VARIRORODadi", "VURIVUVU1",
                               "USBCANFD2", "TRNA701", "TRNB701", "TRNA702", "TRNB702"}));
        EXPECT_EQ(dlg.modelCombo()->currentIndex(), 0);
        prompts.answerExec([](QDialog *d) {
            EXPECT_EQ(d->windowTitle(), "选择设备");
            auto *model = kid<QComboBox>(d, "comboBox_model");
            model->setCurrentIndex(9);
            kid<QPushButton>(d, "pushButton_ok")->click();
            return d->result();
        });
        EXPECT_EQ(dlg.dialogExec(), 1);
        EXPECT_EQ(dlg.devModelGet(), "TRNA702");
    }
    EXPECT_EQ(key("devCanFDSelIndex"), 9);
    EXPECT_EQ(key("devLinSelIndex"), 0);
    EXPECT_EQ(key("devRecordSelIndex"), 0);

    struct Case { int cls; const char *type; const char *model; const char *key; };
    for (const Case &c : {Case{1, "CAN/FD记录仪", "TRND702", "devRecordSelIndex"},
                          Case{2, "LIN适配器", "TRNC701", "devLinSelIndex"}}) {
        QUserDlgDeviceSel dlg;
        dlg.devTypeSet(uint8_t(c.cls));
        EXPECT_EQ(items(dlg.typeCombo()), QStringList({c.type}));
        EXPECT_EQ(items(dlg.modelCombo()), QStringList({c.model}));
        prompts.answerExec([](QDialog *d) {
            kid<QPushButton>(d, "pushButton_cancel")->click();
            return d->result();
        });
        EXPECT_EQ(dlg.dialogExec(), 0);
        EXPECT_EQ(dlg.devModelGet(), "");
    }
    EXPECT_EQ(key("devCanFDSelIndex"), 9);

    // The remembered position comes back; switching class refills the lists.
    QUserDlgDeviceSel again;
    again.devTypeSet(2);
    again.devTypeSet(0);
    EXPECT_EQ(again.modelCombo()->currentText(), "TRNA702");
    EXPECT_EQ(again.modelCombo()->count(), 11);
}

TEST_F(DeviceSelection, PositionMovedBeforeCancelAndPositionsPastTheList)
{
    QUserPromptScript prompts;
    {
        QUserDlgDeviceSel dlg;
        dlg.devTypeSet(0);
        prompts.answerExec([](QDialog *d) {
            kid<QComboBox>(d, "comboBox_model")->setCurrentIndex(4);
            kid<QPushButton>(d, "pushButton_cancel")->click();
            return d->result();
        });
        EXPECT_EQ(dlg.dialogExec(), 0);
        EXPECT_EQ(dlg.devModelGet(), "");
    }
    EXPECT_EQ(key("devCanFDSelIndex"), 4);

    QUserSysCfg::instance()->setInt("devLinSelIndex", 5);
    {
        QUserDlgDeviceSel dlg;
        dlg.devTypeSet(2);
        EXPECT_EQ(dlg.modelCombo()->currentIndex(), -1);
        prompts.answerExec([](QDialog *d) {
            kid<QPushButton>(d, "pushButton_ok")->click();
            return d->result();
        });
        EXPECT_EQ(dlg.dialogExec(), 1);
        EXPECT_EQ(dlg.devModelGet(), "");
    }
    EXPECT_EQ(key("devLinSelIndex"), -1);
    QUserDlgDeviceSel next;
    next.devTypeSet(2);
    EXPECT_EQ(next.modelCombo()->currentText(), "TRNC701");
}

// ---------------------------------------------------------------------------
// The canned answers that device-layer tests queue for the channel dialogs.

#include "tests/support/QUserChannelDlgAnswer.h"

class ChannelDialogAnswers : public WorkDirTest {};

TEST_F(ChannelDialogAnswers, PickAdapterChannelAllAndCancel)
{
    QUserPromptScript prompts;
    {
        QUserDlgFd2Set dlg;
        dlg.fdSupportSet(true);
        dlg.dlgInit("TRNB701", "TRNB701 配置", openTable(2, {{0, 0}}));
        prompts.answerExec(devdlg::channelAnswer({"3", "1"}));
        ASSERT_EQ(dlg.dialogExec(), 1);
        QUserFd2Cfg cfg;
        dlg.devCfgGet(&cfg);
        EXPECT_EQ(cfg.devIndex, 3);
        EXPECT_EQ(cfg.channel, 1);
        EXPECT_EQ(cfg.allChannels, 0);
    }
    {
        QUserDlgFd2Set dlg;
        dlg.dlgInit("TRNB701", "TRNB701 配置", openTable(2, {}));
        prompts.answerExec(devdlg::channelAnswer({"0", "0", false, false}));
        EXPECT_EQ(dlg.dialogExec(), 0);
    }
    {
        Usbcan2CfgDialog dlg("USBCAN1 配置");
        dlg.cfgSet("USBCAN1", usage(1, {{0, 0}}));
        prompts.answerExec(devdlg::channelAnswer({"5", "", true}));
        ASSERT_EQ(dlg.dialogExec(), 1);
        QUserFd2Cfg cfg;
        dlg.cfgGet(&cfg);
        EXPECT_EQ(cfg.devIndex, 5);
        EXPECT_EQ(cfg.channel, 0);
        EXPECT_EQ(cfg.allChannels, 1);
        EXPECT_EQ(cfg.clock, 16);
    }
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(prompts.pending(), 0);
}
