// The relay dialog offscreen, its boxes answered through the seam: the form
// of a new dialog, the bit-rate lists, and reading and writing the relay
// flags and the channels' timing of a simulated classic adapter, with the
// command bytes that reach the adapter checked.

#include "devtools/QUserDlgRepeatCfg.h"

#include "tests/devtools/DevtoolsSim.h"
#include "tests/devtools/DialogTestUtil.h"
#include "tests/support/TempWorkDir.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

namespace {

struct ChannelView {
    QString baud, t0, t1;
    bool editable;
    bool operator==(const ChannelView &o) const
    {
        return baud == o.baud && t0 == o.t0 && t1 == o.t1 && editable == o.editable;
    }
};
std::ostream &operator<<(std::ostream &os, const ChannelView &v)
{
    return os << v.baud.toStdString() << " " << v.t0.toStdString() << " " << v.t1.toStdString() << " "
              << (v.editable ? "editable" : "locked");
}

ChannelView channel(const QUserDlgRepeatCfg &d, int ch)
{
    auto *baud = kid<QComboBox>(&d, ch == 0 ? "comboBox_baud1" : "comboBox_baud2");
    auto *t0 = kid<QLineEdit>(&d, ch == 0 ? "lineEdit_time10" : "lineEdit_time20");
    auto *t1 = kid<QLineEdit>(&d, ch == 0 ? "lineEdit_time11" : "lineEdit_time21");
    return {baud->currentText(), t0->text(), t1->text(), t0->isEnabled() && t1->isEnabled()};
}

QString curMode(const QUserDlgRepeatCfg &d)
{
    return kid<QComboBox>(&d, "comboBox_curMode")->currentText();
}

bool enabled(const QUserDlgRepeatCfg &d, const char *button)
{
    return kid<QPushButton>(&d, button)->isEnabled();
}

const QString kCustom = QString::fromUtf8("自定义");

} // namespace

TEST(DlgRepeatCfg, NewDialogShowsUnknownAnd500kbpsLocked)
{
    QUserPromptScript prompts;
    QUserDlgRepeatCfg d;
    EXPECT_EQ(d.objectName(), "QUserDlgRepeatCfg");
    EXPECT_EQ(d.size(), QSize(617, 282));
    EXPECT_EQ(d.frame()->windowTitle(), QString::fromUtf8("中继配置"));
    EXPECT_EQ(items(kid<QComboBox>(&d, "comboBox_devType")), QStringList{"USBCAN2"});
    EXPECT_EQ(kid<QComboBox>(&d, "comboBox_devIndex")->count(), 32);
    EXPECT_EQ(curMode(d), QString::fromUtf8("未知"));
    EXPECT_FALSE(kid<QComboBox>(&d, "comboBox_curMode")->isEnabled());
    EXPECT_EQ(items(kid<QComboBox>(&d, "comboBox_curMode")),
              (QStringList{QString::fromUtf8("未知"), QString::fromUtf8("未开启"), "CAN1<->CAN2", "CAN1->CAN2",
                           "CAN1<-CAN2"}));
    EXPECT_EQ(items(kid<QComboBox>(&d, "comboBox_baud1")),
              (QStringList{kCustom, "1000kbps", "800kbps", "500kbps", "250kbps", "125kbps", "100kbps", "50kbps",
                           "20kbps", "10kbps", "5kbps"}));
    for (int ch : {0, 1})
        EXPECT_EQ(channel(d, ch), (ChannelView{"500kbps", "00", "1C", false})) << ch;
    EXPECT_EQ(kid<QComboBox>(&d, "comboBox_mode")->currentText(), "CAN1<->CAN2");
    EXPECT_TRUE(enabled(d, "pushButton_devOpen"));
    EXPECT_TRUE(enabled(d, "pushButton_enable"));
    EXPECT_FALSE(enabled(d, "pushButton_devClose"));
    EXPECT_FALSE(enabled(d, "pushButton_disable"));
    EXPECT_EQ(d.baudNameGet(0x03, 0x1C), "125kbps");
    EXPECT_EQ(d.baudNameGet(0x00, 0x1A), QString());
}

TEST(DlgRepeatCfg, BitRateListsFillAndLockOrUnlockTheFields)
{
    QUserPromptScript prompts;
    QUserDlgRepeatCfg d;
    auto *baud2 = kid<QComboBox>(&d, "comboBox_baud2");
    chooseText(baud2, kCustom);
    EXPECT_EQ(channel(d, 1), (ChannelView{kCustom, "00", "1C", true})) << "custom unlocks, texts stay";
    kid<QLineEdit>(&d, "lineEdit_time20")->setText("07");
    chooseText(baud2, "5kbps");
    EXPECT_EQ(channel(d, 1), (ChannelView{"5kbps", "BF", "FF", false}));
    EXPECT_EQ(channel(d, 0), (ChannelView{"500kbps", "00", "1C", false})) << "the other channel is left alone";
}

// Before an adapter is opened there is nothing to write to: both relay
// buttons say that the device must be opened first, not that a write
// failed.
TEST(DlgRepeatCfg, WritingBeforeAnyOpenAsksToOpenTheDeviceFirst)
{
    QUserPromptScript prompts;
    QUserDlgRepeatCfg d;
    d.slotRelayEnable();
    d.slotRelayDisable();
    ASSERT_EQ(prompts.records().size(), 2);
    for (const auto &r : prompts.records()) {
        EXPECT_EQ(r.title, QString::fromUtf8("错误"));
        EXPECT_TRUE(r.text.contains(QString::fromUtf8("设备未打开,请先[打开设备]再设置中继!"))) << r.text.toStdString();
        EXPECT_FALSE(r.text.contains(QString::fromUtf8("中继状态设置失败!"))) << r.text.toStdString();
    }
    EXPECT_FALSE(d.isOpen());
}

namespace {

class DlgRepeatCfgSim : public WorkDirTest
{
protected:
    void SetUp() override
    {
        if (!ctl.ok())
            GTEST_SKIP() << "test build of kemusb missing";
        ASSERT_EQ(ctl.configure("adapter USBCAN2 name=C\n"), 1);
    }

    // The command writes of the adapter (OUT 0x01) of the given codes, in order.
    QVector<QByteArray> commands(std::initializer_list<uint8_t> codes)
    {
        QVector<QByteArray> out;
        for (const QByteArray &c : ctl.outs("C", 0x01))
            if (c.size() >= 2 && uint8_t(c[0]) == 0x12)
                for (uint8_t k : codes)
                    if (uint8_t(c[1]) == k)
                        out.append(c);
        return out;
    }

    void setFields(QUserDlgRepeatCfg &d, int ch, const QString &t0, const QString &t1)
    {
        chooseText(kid<QComboBox>(&d, ch == 0 ? "comboBox_baud1" : "comboBox_baud2"), kCustom);
        kid<QLineEdit>(&d, ch == 0 ? "lineEdit_time10" : "lineEdit_time20")->setText(t0);
        kid<QLineEdit>(&d, ch == 0 ? "lineEdit_time11" : "lineEdit_time21")->setText(t1);
    }

    devsim::Controls ctl;
};

QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

} // namespace

TEST_F(DlgRepeatCfgSim, OpenReadsRelayFlagsAndTimings)
{
    QUserPromptScript prompts;
    QUserDlgRepeatCfg d;
    d.slotDevOpen();
    EXPECT_TRUE(d.isOpen());
    EXPECT_TRUE(prompts.records().isEmpty());
    EXPECT_EQ(commands({0xB2, 0xA4}), (QVector<QByteArray>{hex("12B2020000"), hex("12A40100"), hex("12A40101")}));
    EXPECT_EQ(curMode(d), QString::fromUtf8("未开启"));
    EXPECT_FALSE(enabled(d, "pushButton_disable"));
    EXPECT_FALSE(enabled(d, "pushButton_devOpen"));
    EXPECT_TRUE(enabled(d, "pushButton_devClose"));
    // A new adapter holds the timing 00 00, which no named rate has.
    EXPECT_EQ(channel(d, 0), (ChannelView{kCustom, "00", "00", true}));
    d.slotDevClose();
    EXPECT_FALSE(d.isOpen());
    EXPECT_EQ(curMode(d), QString::fromUtf8("未知"));
    EXPECT_EQ(ctl.isOpen("C"), 0);
}

// Each relay mode: the relay is switched off, both channels take their
// timing, then the flags are written; opening again reads all of it back.
TEST_F(DlgRepeatCfgSim, EnableWritesTimingsThenRelayAndReadsBack)
{
    struct Case {
        const char *mode;
        int a, b;
        const char *relayCmd;
    };
    const Case cases[] = {
        {"CAN1->CAN2", 1, 0, "12B1020100"},
        {"CAN1<-CAN2", 0, 1, "12B1020001"},
        {"CAN1<->CAN2", 1, 1, "12B1020101"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.mode);
        QUserPromptScript prompts;
        QUserDlgRepeatCfg d;
        d.slotDevOpen();
        ASSERT_TRUE(d.isOpen());
        chooseText(kid<QComboBox>(&d, "comboBox_baud1"), "500kbps");
        chooseText(kid<QComboBox>(&d, "comboBox_baud2"), "250kbps");
        chooseText(kid<QComboBox>(&d, "comboBox_mode"), k.mode);
        ctl.outClear("C");
        d.slotRelayEnable();
        ASSERT_EQ(prompts.records().size(), 1);
        EXPECT_EQ(prompts.records()[0].title, QString::fromUtf8("提示"));
        EXPECT_TRUE(prompts.records()[0].text.contains(QString::fromUtf8("设置成功!")));
        // Relay off, CAN1 00 1C, CAN2 01 1C (mode byte: channel 1 is 0x10), relay on.
        EXPECT_EQ(commands({0xB1, 0x03}),
                  (QVector<QByteArray>{hex("12B1020000"), hex("120304000000 1C"), hex("120304001001 1C"),
                                       hex(k.relayCmd)}));
        int a = -1, b = -1;
        ASSERT_EQ(ctl.relay("C", &a, &b), 1);
        EXPECT_EQ(a, k.a);
        EXPECT_EQ(b, k.b);
        EXPECT_EQ(curMode(d), QString::fromUtf8(k.mode));
        EXPECT_TRUE(enabled(d, "pushButton_disable"));
        d.slotDevClose();

        QUserDlgRepeatCfg again;
        chooseText(kid<QComboBox>(&again, "comboBox_mode"), k.mode == QString("CAN1<-CAN2") ? "CAN1->CAN2" : "CAN1<-CAN2");
        again.slotDevOpen();
        EXPECT_EQ(curMode(again), QString::fromUtf8(k.mode));
        EXPECT_EQ(kid<QComboBox>(&again, "comboBox_mode")->currentText(), QString::fromUtf8(k.mode))
            << "the relay-mode list follows what the adapter holds";
        EXPECT_EQ(channel(again, 0), (ChannelView{"500kbps", "00", "1C", false}));
        EXPECT_EQ(channel(again, 1), (ChannelView{"250kbps", "01", "1C", false}));
    }
}

TEST_F(DlgRepeatCfgSim, DisableSwitchesTheRelayOff)
{
    QUserPromptScript prompts;
    QUserDlgRepeatCfg d;
    d.slotDevOpen();
    d.slotRelayEnable();
    ASSERT_TRUE(enabled(d, "pushButton_disable"));
    ctl.outClear("C");
    d.slotRelayDisable();
    EXPECT_EQ(commands({0xB1, 0x03}), QVector<QByteArray>{hex("12B1020000")});
    int a = -1, b = -1;
    ctl.relay("C", &a, &b);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(curMode(d), QString::fromUtf8("未开启"));
    EXPECT_FALSE(enabled(d, "pushButton_disable"));
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("提示"), QString::fromUtf8("设置成功!")));
}

// With the adapter open, a write that fails still says so.
TEST_F(DlgRepeatCfgSim, AFailedWriteOnAnOpenAdapterSaysTheWriteFailed)
{
    QUserPromptScript prompts;
    QUserDlgRepeatCfg d;
    d.slotDevOpen();
    ASSERT_TRUE(d.isOpen());
    // The adapter goes away under the open dialog.
    ASSERT_EQ(ctl.configure(""), 1);
    d.slotRelayDisable();
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("错误"), QString::fromUtf8("中继状态设置失败!")));
    for (const auto &r : prompts.records())
        EXPECT_FALSE(r.text.contains(QString::fromUtf8("请先[打开设备]"))) << r.text.toStdString();
}

// Timing fields must be one or two hexadecimal digits (white space aside);
// anything else is refused with the error box, and nothing is written
// (such a text used to reach the adapter as 0).
TEST_F(DlgRepeatCfgSim, TimingFieldsAreCheckedAsHexadecimal)
{
    struct Case {
        const char *text;
        int value; // -1: refused
    };
    const Case cases[] = {
        {"ZZ", -1}, {"G1", -1}, {"1C3", -1}, {"", -1}, {"0x1", -1}, {"-1", -1},
        {"C", 0x0C}, {" 1 C ", 0x1C}, {"ff", 0xFF}, {"07", 0x07},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text);
        QUserPromptScript prompts;
        QUserDlgRepeatCfg d;
        d.slotDevOpen();
        chooseText(kid<QComboBox>(&d, "comboBox_baud1"), "500kbps");
        setFields(d, 1, "01", QString::fromUtf8(k.text));
        ctl.outClear("C");
        d.slotRelayEnable();
        ASSERT_EQ(prompts.records().size(), 1);
        if (k.value < 0) {
            EXPECT_EQ(prompts.records()[0].title, QString::fromUtf8("错误"));
            EXPECT_TRUE(prompts.records()[0].text.contains(QString::fromUtf8("波特率参数错误!")));
            EXPECT_TRUE(commands({0xB1, 0x03}).isEmpty()) << "nothing reaches the adapter";
        } else {
            EXPECT_EQ(prompts.records()[0].title, QString::fromUtf8("提示"));
            const QVector<QByteArray> c = commands({0x03});
            ASSERT_EQ(c.size(), 2);
            EXPECT_EQ(uint8_t(c[1][5]), 0x01);
            EXPECT_EQ(uint8_t(c[1][6]), k.value);
        }
    }
}

TEST_F(DlgRepeatCfgSim, CustomTimingIsShownAsCustomAfterReopening)
{
    QUserPromptScript prompts;
    {
        QUserDlgRepeatCfg d;
        d.slotDevOpen();
        setFields(d, 0, "00", "1A");
        d.slotRelayEnable();
        EXPECT_EQ(channel(d, 0), (ChannelView{kCustom, "00", "1A", true}));
    }
    EXPECT_EQ(ctl.isOpen("C"), 0) << "destroying an open dialog closes the adapter";
    QUserDlgRepeatCfg d;
    d.slotDevOpen();
    EXPECT_EQ(channel(d, 0), (ChannelView{kCustom, "00", "1A", true}));
}

TEST_F(DlgRepeatCfgSim, OpeningAnAbsentAdapterWarnsAndStaysClosed)
{
    QUserPromptScript prompts;
    QUserDlgRepeatCfg d;
    kid<QComboBox>(&d, "comboBox_devIndex")->setCurrentIndex(4);
    d.slotDevOpen();
    EXPECT_FALSE(d.isOpen());
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records()[0].title, QString::fromUtf8("错误"));
    EXPECT_TRUE(prompts.records()[0].text.contains(QString::fromUtf8("设备打开错误!")));
    EXPECT_EQ(prompts.beeps(), 1);
    EXPECT_EQ(curMode(d), QString::fromUtf8("未知"));
    // The same driver object opens the adapter at index 0 afterwards.
    kid<QComboBox>(&d, "comboBox_devIndex")->setCurrentIndex(0);
    d.slotDevOpen();
    EXPECT_TRUE(d.isOpen());
}

