// The CANopen window's hand-operated pages (CiA 301, CiA 402, quick
// operations), its settings dialog and its help, with a device that records
// what the window hands it.
#include "tests/canopen/WindowRig.h"
#include "tests/support/ManualHostClock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QTabWidget>
#include <QRegularExpression>
#include <QTableWidget>

#include "core/FileKeyValue.h"

using namespace cowin;

namespace {

class Panels : public FakeWindowTest
{
protected:
    void field(const char *name, const QString &text) { child<QLineEdit>(name)->setText(text); }
    void combo(const char *name, int index) { child<QComboBox>(name)->setCurrentIndex(index); }
    void click(const char *name) { child<QAbstractButton>(name)->click(); }
    // The text of the last prompt (title and message lines).
    QString lastPrompt() const { return prompts.records().isEmpty() ? QString() : prompts.records().last().text; }
    // Frames the request thread sent for a posted list, once it is done.
    QVector<QUserCanMsg> postedFrames(int expected)
    {
        EXPECT_TRUE(waitUntil([&] { return dev->sentCount() >= expected; }));
        EXPECT_TRUE(idle());
        return sentFrames();
    }
};

// An expedited SDO download of a frame as (index << 8 | sub, value).
struct SdoWrite {
    uint32_t key;
    int32_t value;
    bool operator==(const SdoWrite &o) const { return key == o.key && value == o.value; }
};
std::ostream &operator<<(std::ostream &os, const SdoWrite &w)
{
    return os << std::hex << w.key << "=" << std::dec << w.value;
}

// The expedited downloads among the frames to a node (its upload requests,
// 0x40, left out).
QVector<SdoWrite> sdoWrites(const QVector<QUserCanMsg> &frames, int node)
{
    QVector<SdoWrite> out;
    for (const QUserCanMsg &m : frames) {
        if (m.getId() != 0x600 + node)
            continue;
        const QByteArray b = dataOf(m);
        if (b.size() >= 1 && uint8_t(b[0]) == 0x40)
            continue;
        const int size = 4 - ((uint8_t(b[0]) >> 2) & 3);
        uint32_t v = 0;
        for (int i = 0; i < size; ++i)
            v |= uint32_t(uint8_t(b[4 + i])) << (8 * i);
        int32_t value = int32_t(v);
        if (size == 2)
            value = int16_t(v);
        else if (size == 1)
            value = int8_t(v);
        out.append({(uint32_t(uint8_t(b[1]) | (uint8_t(b[2]) << 8)) << 8) | uint8_t(b[3]), value});
    }
    return out;
}

// Answers the settings dialog: row texts (empty: leave), format combo and
// the node filter box, then OK.
std::function<int(QDialog *)> settingsAnswer(const QString &count, int format, bool filter, const QString &begin,
                                             const QString &end)
{
    return [=](QDialog *d) {
        auto *table = d->findChild<QTableWidget *>();
        if (!table || table->rowCount() != 5)
            return 0;
        auto edit = [&](int row) { return qobject_cast<QLineEdit *>(table->cellWidget(row, 1)); };
        if (!count.isNull())
            edit(0)->setText(count);
        if (format >= 0)
            qobject_cast<QComboBox *>(table->cellWidget(1, 1))->setCurrentIndex(format);
        qobject_cast<QCheckBox *>(table->cellWidget(2, 1))->setChecked(filter);
        edit(3)->setText(begin);
        edit(4)->setText(end);
        d->findChild<QPushButton *>("btnOk")->click();
        return d->result();
    };
}

} // namespace

// ---- CiA 301 ----------------------------------------------------------------------------

TEST_F(Panels, Cia301ButtonsSendTheirFrames)
{
    struct Case {
        const char *name;
        std::function<void()> fill;
        const char *button;
        uint32_t id;
        bool remote;
        const char *data;
    };
    const Case cases[] = {
        {"nmt start", [&] { combo("comBoxNmtType", 0); }, "pushButtonNmtSend", 0x000, false, "0105"},
        {"nmt stop", [&] { combo("comBoxNmtType", 1); }, "pushButtonNmtSend", 0x000, false, "0205"},
        {"nmt pre-op", [&] { combo("comBoxNmtType", 2); }, "pushButtonNmtSend", 0x000, false, "8005"},
        {"nmt reset", [&] { combo("comBoxNmtType", 3); }, "pushButtonNmtSend", 0x000, false, "8105"},
        {"nmt reset comm", [&] { combo("comBoxNmtType", 4); }, "pushButtonNmtSend", 0x000, false, "8205"},
        {"guard get", [] {}, "pushButtonNmtGuardGet", 0x705, true, ""},
        {"guard ack", [&] { combo("comBoxNmtGuardType", 2); }, "pushButtonNmtGuardAck", 0x705, false, "05"},
        {"emcy",
         [&] {
             field("lineEditErrCode", "1081");
             field("lineEditErrRegister", "11");
             field("lineEditUserErrCode", "0102030405");
         },
         "pushButtonEmergSend", 0x085, false, "1081110102030405"},
        {"rpdo1", [&] { combo("comBoxPdoType", 1); field("lineEditPdoData", "11 22 33"); }, "pushButtonPdoSend",
         0x205, false, "112233"},
        {"tpdo4 remote", [&] { combo("comBoxRemotePdoType", 6); }, "pushButtonRemotePdoSend", 0x485, true,
         "0000000000000000"},
        {"sdo write",
         [&] {
             field("lineEditSdoFastWriteIndex", "6040");
             field("lineEditSdoFastWriteSubIndex", "0");
             combo("comBoxSdoFastWriteLen", 1);
             field("lineEditSdoFastWriteData", "0F 00");
         },
         "pushButtonSdoFastWrite", 0x605, false, "2B4060000F000000"},
        {"sdo read",
         [&] {
             field("lineEditSdoFastReadIndex", "1018");
             field("lineEditSdoFastReadSubIndex", "01");
         },
         "pushButtonSdoFastRead", 0x605, false, "4018100100000000"},
    };
    field("lineEditCia301NodeId", "5");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int before = dev->sentCount();
        c.fill();
        click(c.button);
        const QVector<QUserCanMsg> sent = sentFrames();
        ASSERT_EQ(sent.size(), before + 1);
        const QUserCanMsg &m = sent.last();
        EXPECT_EQ(m.getId(), int32_t(c.id));
        EXPECT_EQ(bool(m.remote), c.remote);
        EXPECT_EQ(m.status, 104);
        if (!c.remote || QByteArray(c.data).size()) {
            EXPECT_EQ(dataOf(m).toHex().toUpper(), QByteArray(c.data));
        }
    }
    EXPECT_EQ(prompts.records().size(), 0);
}

TEST_F(Panels, Cia301NodeIdIsReadAsTyped)
{
    struct Case {
        const char *text;
        const char *data;
    };
    for (const Case &c : {Case{" 1 2 ", "010C"}, Case{"300", "012C"}, Case{"abc", "0100"}, Case{"127", "017F"}}) {
        SCOPED_TRACE(c.text);
        field("lineEditCia301NodeId", c.text);
        combo("comBoxNmtType", 0);
        click("pushButtonNmtSend");
        EXPECT_EQ(dataOf(sentFrames().last()).toHex().toUpper(), QByteArray(c.data));
    }
    // A node id a service cannot carry (0 for a guarding request) is dropped.
    const int before = dev->sentCount();
    field("lineEditCia301NodeId", "0");
    click("pushButtonNmtGuardGet");
    EXPECT_EQ(dev->sentCount(), before);
}

TEST_F(Panels, Cia301MissingInputsWarnAndSendNothing)
{
    struct Case {
        const char *name;
        std::function<void()> fill;
        const char *button;
        const char *message;
    };
    const Case cases[] = {
        {"no node", [&] { field("lineEditCia301NodeId", "  "); }, "pushButtonNmtSend", "Node-Id不能为空!"},
        {"no sync count", [&] { field("lineEditSyncCnt", ""); }, "pushButtonSyncSend", "发送次数不能为空!"},
        {"no emcy code",
         [&] {
             field("lineEditCia301NodeId", "5");
             field("lineEditErrCode", "");
         },
         "pushButtonEmergSend", "发送参数不能为空!"},
        {"no sdo index", [&] { field("lineEditSdoFastWriteIndex", ""); }, "pushButtonSdoFastWrite", "索引不能为空!"},
        {"no sdo sub",
         [&] {
             field("lineEditSdoFastReadIndex", "1000");
             field("lineEditSdoFastReadSubIndex", " ");
         },
         "pushButtonSdoFastRead", "子索引不能为空!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.fill();
        const int prompted = prompts.records().size();
        click(c.button);
        ASSERT_EQ(prompts.records().size(), prompted + 1);
        EXPECT_EQ(prompts.records().last().title, QStringLiteral("错误"));
        EXPECT_TRUE(lastPrompt().contains(QString::fromUtf8(c.message))) << qPrintable(lastPrompt());
    }
    EXPECT_EQ(dev->sentCount(), 0);
}

// Typed data that is not hexadecimal digits ("0x10" typed as a value) would
// go out as shifted bytes: it is refused with a warning and nothing is sent
// (nor logged as sent).
TEST_F(Panels, TypedDataThatIsNotHexIsRefused)
{
    field("lineEditCia301NodeId", "5");
    field("lineEditSdoFastWriteIndex", "6060");
    field("lineEditSdoFastWriteSubIndex", "0");
    combo("comBoxSdoFastWriteLen", 0);
    field("lineEditErrCode", "1081");
    field("lineEditErrRegister", "11");
    field("lineEditUserErrCode", "0102030405");
    field("lineEditPdoData", "11 22");
    struct Case {
        const char *name;
        const char *field;
        const char *text;
        const char *button;
    } cases[] = {
        {"SDO value 0x10", "lineEditSdoFastWriteData", "0x10", "pushButtonSdoFastWrite"},
        {"SDO value -1", "lineEditSdoFastWriteData", "-1", "pushButtonSdoFastWrite"},
        {"EMCY code 0x10", "lineEditErrCode", "0x10", "pushButtonEmergSend"},
        {"EMCY register", "lineEditErrRegister", "1g", "pushButtonEmergSend"},
        {"EMCY field", "lineEditUserErrCode", "01,02,03,04,05", "pushButtonEmergSend"},
        {"PDO data", "lineEditPdoData", "0x1122", "pushButtonPdoSend"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString kept = child<QLineEdit>(c.field)->text();
        field(c.field, c.text);
        const int prompted = prompts.records().size();
        click(c.button);
        ASSERT_EQ(prompts.records().size(), prompted + 1);
        EXPECT_EQ(prompts.records().last().title, QStringLiteral("错误"));
        EXPECT_TRUE(lastPrompt().contains(QString::fromUtf8("十六进制"))) << qPrintable(lastPrompt());
        field(c.field, kept);
    }
    settle(150);
    EXPECT_EQ(dev->sentCount(), 0);
    EXPECT_EQ(w->logModel()->cacheCount(), 0);
    // The same fields with hexadecimal digits send.
    field("lineEditSdoFastWriteData", "0a");
    click("pushButtonSdoFastWrite");
    click("pushButtonEmergSend");
    ASSERT_EQ(dev->sentCount(), 2);
    EXPECT_EQ(dataOf(sentFrames()[0]).toHex(), QByteArray("2f6060000a000000"));
    EXPECT_EQ(dataOf(sentFrames()[1]).toHex(), QByteArray("1081110102030405"));
}

// The count field says 1-32: counts outside it (or not a number) warn and
// send nothing instead of building that many copies.
TEST_F(Panels, SyncCountIsKeptToItsRange)
{
    struct Case {
        const char *text;
        int frames; // -1: refused with the range warning
    };
    const Case cases[] = {{"3", 3}, {" 1 ", 1}, {"32", 32}, {"0", -1}, {"33", -1}, {"4000000000", -1}, {"x", -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        dev->sentClear();
        const int prompted = prompts.records().size();
        field("lineEditSyncCnt", c.text);
        click("pushButtonSyncSend");
        if (c.frames < 0) {
            EXPECT_EQ(prompts.records().size(), prompted + 1);
            EXPECT_TRUE(lastPrompt().contains(QStringLiteral("发送次数范围:1-32"))) << qPrintable(lastPrompt());
            EXPECT_EQ(dev->sentCount(), 0);
            continue;
        }
        const QVector<QUserCanMsg> sent = sentFrames();
        ASSERT_EQ(sent.size(), c.frames);
        for (const QUserCanMsg &m : sent) {
            EXPECT_EQ(m.getId(), 0x80);
            EXPECT_EQ(m.getLen(), 0u);
        }
    }
}

TEST_F(Panels, TimeSendsTheEditsDateAndRecordsThePanel)
{
    auto *edit = w->findChild<QDateTimeEdit *>("dateTimeEdit");
    auto *sys = w->findChild<QCheckBox *>("chkBoxUseSysTime");
    ASSERT_TRUE(edit && sys);
    sys->setChecked(false);
    const QDateTime when(QDate(2024, 1, 1), QTime(0, 0, 1));
    edit->setDateTime(when);
    field("lineEditSyncCnt", "7");
    click("pushButtonTimeSend");
    const QUserCanMsg m = sentFrames().last();
    EXPECT_EQ(m.getId(), 0x100);
    const QByteArray b = dataOf(m);
    ASSERT_EQ(b.size(), 6);
    EXPECT_EQ(uint8_t(b[0]) | (uint8_t(b[1]) << 8) | (uint8_t(b[2]) << 16), 1000);
    EXPECT_EQ(uint8_t(b[4]) | (uint8_t(b[5]) << 8), 14610); // days from 1984-01-01
    EXPECT_EQ(w->uiSettings()->cia301.dateTimeEdit, QString::number(when.toSecsSinceEpoch()));
    EXPECT_EQ(w->uiSettings()->cia301.chkBoxUseSysTime, QStringLiteral("false"));
    EXPECT_EQ(w->uiSettings()->cia301.lineEditSyncCnt, QStringLiteral("7"));
}

// ---- CiA 402 ----------------------------------------------------------------------------

TEST_F(Panels, VelocityStartPostsTheSequenceAndLocksTheButton)
{
    field("lineEditCia402NodeId", "5");
    field("lineEditVelDstSpeed", "-300");
    field("lineEditVelAccSpeed", "1000");
    field("lineEditVelDecSpeed", "500");
    auto *start = child<QPushButton>("pushButtonVelStart");
    click("pushButtonVelStart");
    EXPECT_FALSE(start->isEnabled());
    const QVector<SdoWrite> expected{{0x604000, 0x0006}, {0x604000, 0x0007}, {0x604000, 0x010F},
                                     {0x606000, 3},      {0x608300, 1000},   {0x608400, 500},
                                     {0x60FF00, -300},   {0x604000, 0x000F}};
    EXPECT_EQ(sdoWrites(postedFrames(8), 5), expected);
    click("pushButtonVelStop");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(sdoWrites(postedFrames(9), 5).last(), (SdoWrite{0x604000, 0x010F}));
}

TEST_F(Panels, TorqueAndPositionSequences)
{
    field("lineEditCia402NodeId", "5");
    field("lineEditTorDst", "-200");
    field("lineEditTorSlope", "50");
    click("pushButtonTorStart");
    EXPECT_FALSE(child<QPushButton>("pushButtonTorStart")->isEnabled());
    EXPECT_EQ(sdoWrites(postedFrames(7), 5).mid(3),
              (QVector<SdoWrite>{{0x606000, 4}, {0x608700, 50}, {0x607100, -200}, {0x604000, 0x000F}}));
    dev->sentClear();

    field("linEditPosAAccSpeed", "600");
    field("linEditPosAccSpeed", "100");
    field("linEditPosDecSpeed", "200");
    field("lineEditPosAbsDst", "-4000");
    click("pushButtonPosAbsStart");
    EXPECT_EQ(sdoWrites(postedFrames(9), 5).mid(3),
              (QVector<SdoWrite>{{0x606000, 1},
                                 {0x608100, 600},
                                 {0x608300, 100},
                                 {0x608400, 200},
                                 {0x607A00, -4000},
                                 {0x604000, 0x001F}}));
    dev->sentClear();
    field("linEditPosRelDst", "250");
    click("pushButtonPosRelStart");
    const QVector<SdoWrite> rel = sdoWrites(postedFrames(9), 5);
    EXPECT_EQ(rel.mid(4), (QVector<SdoWrite>{{0x608100, 600}, {0x608300, 100}, {0x608400, 200}, {0x607A00, 250},
                                             {0x604000, 0x005F}}));
}

// A position start reads the drive's statusword (0x6041) and mode display
// (0x6061) first. A drive in "Operation enabled" (statusword bits 0-3, 5, 6
// x01x 0111, CiA 402) is not sent Shutdown, which would switch its power
// stage off under a running move: it gets the profile values, the target and
// the new-set-point handshake (bit 4 low, then high with bit 5 "change set
// immediately"); any other state, or no answer, the enable sequence first.
TEST_F(Panels, PositionStartFollowsTheDriveState)
{
    field("lineEditCia402NodeId", "5");
    field("linEditPosAAccSpeed", "600");
    field("linEditPosAccSpeed", "100");
    field("linEditPosDecSpeed", "200");
    field("lineEditPosAbsDst", "-4000");
    field("linEditPosRelDst", "250");
    const QVector<SdoWrite> profile{{0x608100, 600}, {0x608300, 100}, {0x608400, 200}};
    const QVector<SdoWrite> enable{{0x604000, 0x0006}, {0x604000, 0x0007}, {0x604000, 0x010F}, {0x606000, 1}};
    struct Case {
        const char *what;
        const char *statusword; // the answer's data bytes, empty: none
        const char *mode;
        bool relative;
        QVector<SdoWrite> expected;
    } const cases[] = {
        {"enabled, moving in position mode", "4B41600037060000", "4F61600001000000", false,
         profile + QVector<SdoWrite>{{0x607A00, -4000}, {0x604000, 0x000F}, {0x604000, 0x003F}}},
        {"enabled, set-point acknowledged, velocity mode", "4B41600037160000", "4F61600003000000", true,
         QVector<SdoWrite>{{0x606000, 1}} + profile
             + QVector<SdoWrite>{{0x607A00, 250}, {0x604000, 0x004F}, {0x604000, 0x007F}}},
        {"switched on", "4B41600033020000", "4F61600001000000", false,
         enable + profile + QVector<SdoWrite>{{0x607A00, -4000}, {0x604000, 0x001F}}},
        {"quick stop active", "4B41600017020000", "4F61600001000000", true,
         enable + profile + QVector<SdoWrite>{{0x607A00, 250}, {0x604000, 0x005F}}},
        {"statusword aborted", "8041600000000206", "", false,
         enable + profile + QVector<SdoWrite>{{0x607A00, -4000}, {0x604000, 0x001F}}},
    };
    // The reads' answers are bound to come: the machine's time stands while
    // the test gives them, so a busy machine cannot time a read out first.
    auto hostClock = std::make_shared<testsupport::HeldHostClock>();
    QUserHostClockScope useHostClock{hostClock};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dev->sentClear();
        hostClock->hold();
        click(c.relative ? "pushButtonPosRelStart" : "pushButtonPosAbsStart");
        // Each read as the node would answer it, once it was asked.
        int asked = 0;
        for (const char *answer : {c.statusword, c.mode}) {
            if (!*answer)
                break;
            ASSERT_TRUE(waitUntil([&] { return dev->sentCount() > asked; }));
            const QUserCanMsg ask = sentFrames().at(asked);
            EXPECT_EQ(ask.getId(), 0x605);
            const QByteArray reply = QByteArray::fromHex(answer);
            EXPECT_EQ(dataOf(ask).toHex(), (QByteArray::fromHex("40") + reply.mid(1, 3) + QByteArray(4, 0)).toHex());
            ++asked;
            feed(rx(0x585, reply));
        }
        hostClock->release();
        ASSERT_TRUE(waitUntil([&] { return dev->sentCount() >= asked + c.expected.size(); }));
        ASSERT_TRUE(idle());
        EXPECT_EQ(sdoWrites(sentFrames(), 5), c.expected);
    }
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(Panels, Cia402MissingInputsWarnAndPostNothing)
{
    struct Case {
        const char *name;
        std::function<void()> fill;
        const char *button;
        const char *message;
    };
    auto fullPosition = [&] {
        field("lineEditCia402NodeId", "5");
        field("linEditPosAAccSpeed", "600");
        field("linEditPosAccSpeed", "100");
        field("linEditPosDecSpeed", "200");
        field("lineEditPosAbsDst", "1");
        field("linEditPosRelDst", "1");
    };
    const Case cases[] = {
        {"no node", [&] { field("lineEditCia402NodeId", ""); }, "toolButtonCia402Start", "Node-Id不能为空!"},
        {"no deceleration",
         [&] {
             field("lineEditCia402NodeId", "5");
             field("lineEditVelDstSpeed", "1");
             field("lineEditVelAccSpeed", "1");
             field("lineEditVelDecSpeed", " ");
         },
         "pushButtonVelStart", "减速度不能为空!"},
        {"no torque slope",
         [&] {
             field("lineEditTorDst", "1");
             field("lineEditTorSlope", "");
         },
         "pushButtonTorStart", "扭矩斜率不能为空!"},
        {"no absolute target",
         [&] {
             fullPosition();
             field("lineEditPosAbsDst", "");
         },
         "pushButtonPosAbsStart", "目标位置不能为空!"},
        {"no relative target",
         [&] {
             fullPosition();
             field("linEditPosRelDst", "");
         },
         "pushButtonPosRelStart", "目标位置不能为空!"},
        // The relative move checks its speeds as the absolute one does.
        {"relative without profile velocity",
         [&] {
             fullPosition();
             field("linEditPosAAccSpeed", "");
         },
         "pushButtonPosRelStart", "轮廓速度不能为空!"},
        {"relative without acceleration",
         [&] {
             fullPosition();
             field("linEditPosAccSpeed", "");
         },
         "pushButtonPosRelStart", "加速度不能为空!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.fill();
        const int prompted = prompts.records().size();
        click(c.button);
        ASSERT_EQ(prompts.records().size(), prompted + 1);
        EXPECT_TRUE(lastPrompt().contains(QString::fromUtf8(c.message))) << qPrintable(lastPrompt());
    }
    settle(50);
    EXPECT_EQ(w->requestsOpen(), 0);
    EXPECT_EQ(dev->sentCount(), 0);
    EXPECT_TRUE(child<QPushButton>("pushButtonVelStart")->isEnabled());
}

// The position page's first field writes the profile velocity (0x6081) and
// says so; its settings key keeps its name.
TEST_F(Panels, ProfileVelocityFieldIsLabelledAsWhatItWrites)
{
    QStringList labels;
    for (QLabel *l : w->findChildren<QLabel *>())
        labels << l->text();
    EXPECT_TRUE(labels.contains(QStringLiteral("轮廓速度")));
    EXPECT_FALSE(labels.contains(QStringLiteral("加加速度")));
    child<QLineEdit>("linEditPosAAccSpeed")->setText("1234");
    delete w;
    w = nullptr;
    FileKeyValue ini;
    ASSERT_TRUE(ini.load(QUserCANopenUiSetting::uiFilePath()));
    QString value;
    ASSERT_TRUE(ini.getValue(QStringLiteral("linEditPosAAccSpeed"), value));
    EXPECT_EQ(value, QStringLiteral("1234"));
}

TEST_F(Panels, Cia402NmtButtons)
{
    field("lineEditCia402NodeId", "5");
    click("toolButtonCia402Start");
    click("toolButtonCia402Stop");
    click("toolButtonCia402Restart");
    const QVector<QUserCanMsg> sent = postedFrames(4);
    ASSERT_EQ(sent.size(), 4);
    EXPECT_EQ(dataOf(sent[0]).toHex(), QByteArray("0105"));
    EXPECT_EQ(dataOf(sent[1]).toHex(), QByteArray("0205"));
    EXPECT_EQ(dataOf(sent[2]).toHex(), QByteArray("0105"));
    EXPECT_EQ(sdoWrites({sent[3]}, 5), (QVector<SdoWrite>{{0x604000, 0x018F}}));
}

// ---- quick operations, settings dialog, help -------------------------------------------------

TEST_F(Panels, SettingsDialogStoresValidRowsAndRefusesABadNodeRange)
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    struct Case {
        const char *begin;
        const char *end;
        int storedBegin; // -1: neither stored (error box)
        int storedEnd;
    };
    const Case cases[] = {
        {"10", "20", 10, 20}, {"10", "5", -1, -1}, {"1", "200", -1, -1}, {"", "127", 1, 127}, {"abc", "5", -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.begin) + "-" + c.end);
        cfg->setInt("openFliterBeginNode", 3);
        cfg->setInt("openFliterEndNode", 4);
        cfg->setInt("openNodeIdFormat", 0);
        const int prompted = prompts.records().size();
        prompts.answerExec(settingsAnswer(QString(), 1, true, c.begin, c.end));
        if (c.storedBegin < 0)
            prompts.answerExec(1);
        w->slotProcotolParaSet();
        EXPECT_EQ(cfg->getInt("openNodeIdFormat"), 1);
        EXPECT_EQ(cfg->getInt("openFliterNodeEn"), 1);
        if (c.storedBegin < 0) {
            ASSERT_EQ(prompts.records().size(), prompted + 2);
            EXPECT_TRUE(lastPrompt().contains(QStringLiteral("开始节点必须小于等于结束节点")));
            EXPECT_EQ(cfg->getInt("openFliterBeginNode"), 3);
            EXPECT_EQ(cfg->getInt("openFliterEndNode"), 4);
        } else {
            EXPECT_EQ(prompts.records().size(), prompted + 1);
            EXPECT_EQ(cfg->getInt("openFliterBeginNode"), c.storedBegin);
            EXPECT_EQ(cfg->getInt("openFliterEndNode"), c.storedEnd);
        }
    }
    // The stored settings take effect at once: node 0x1F is outside 10-20.
    prompts.answerExec(settingsAnswer(QString(), 0, true, "10", "20"));
    w->slotProcotolParaSet();
    EXPECT_FALSE(w->canopenLogAppend(rx(0x19F, QByteArray())));
    EXPECT_TRUE(w->canopenLogAppend(rx(0x194, QByteArray())));
    // Cancel stores nothing.
    prompts.answerExec(0);
    w->slotProcotolParaSet();
    EXPECT_EQ(cfg->getInt("openNodeIdFormat"), 0);
}

TEST_F(Panels, QuickOperationCountRebuildsThePage)
{
    auto rows = [&] { return w->uiSettings()->fastOptList.size(); };
    auto page = [&] { return w->findChildren<QLineEdit *>(QRegularExpression("^lineEditFastOptMsg")).size(); };
    EXPECT_EQ(rows(), 0);
    child<QTabWidget>("tabWidgetRight")->setCurrentIndex(2);
    for (const char *count : {"5", "8", "8", "0", "3"}) {
        prompts.answerExec(settingsAnswer(count, -1, false, "1", "127"));
        w->slotProcotolParaSet();
    }
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(page(), 3);
    EXPECT_EQ(child<QTabWidget>("tabWidgetRight")->currentIndex(), 2);
    EXPECT_EQ(child<QLineEdit>("lineEditFastOptMsg2")->text(), QStringLiteral("S,D,123,00 01 02 03 04 05 06 07"));
    EXPECT_EQ(child<QLineEdit>("lineEditFastOptDesc2")->text(), QStringLiteral("空"));
    // A count that would build rows without end is refused.
    prompts.answerExec(settingsAnswer("100000000", -1, false, "1", "127"));
    prompts.answerExec(1);
    w->slotProcotolParaSet();
    EXPECT_EQ(rows(), 3);
    EXPECT_TRUE(lastPrompt().contains(QStringLiteral("快捷操作数量范围"))) << qPrintable(lastPrompt());
}

TEST_F(Panels, QuickOperationsSendTheirRows)
{
    prompts.answerExec(settingsAnswer("6", -1, false, "1", "127"));
    w->slotProcotolParaSet();
    const QStringList texts{"S,D,123,00 01 02 03 04 05 06 07", "E,R,18FF0001,", "S,D,7E5,0102030405060708090A",
                            "S,D,1,ABC", "X,D,1,00", "S,D,123456789,00"};
    for (int i = 0; i < texts.size(); ++i)
        child<QLineEdit>(qPrintable(QStringLiteral("lineEditFastOptMsg%1").arg(i)))->setText(texts[i]);
    for (int i = 0; i < texts.size(); ++i)
        click(qPrintable(QStringLiteral("pushButtonFastOptSend%1").arg(i)));
    const QVector<QUserCanMsg> sent = sentFrames();
    ASSERT_EQ(sent.size(), 4);
    struct Want {
        const char *id;
        bool ext, remote;
        const char *len;
        const char *data;
    };
    const Want want[] = {{"123", false, false, "8", "0001020304050607"},
                         {"18FF0001", true, true, "0", ""},
                         {"7E5", false, false, "8", "0102030405060708090A"},
                         {"1", false, false, "1", "ABC"}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent[i].idText, QString(want[i].id));
        EXPECT_EQ(bool(sent[i].extended), want[i].ext);
        EXPECT_EQ(bool(sent[i].remote), want[i].remote);
        EXPECT_EQ(sent[i].lenText, QString(want[i].len));
        EXPECT_EQ(sent[i].dataText, QString(want[i].data));
        EXPECT_EQ(sent[i].status, 104);
    }
    // The edits reached the file before the first send.
    FileKeyValue multi;
    multi.loadMulti(QUserCANopenUiSetting::fastOptFilePath());
    QStringList values;
    multi.getMultiValue(QStringLiteral("fastOptMsg"), values);
    EXPECT_EQ(values.size(), 6);
    EXPECT_TRUE(values.contains(QStringLiteral("E,R,18FF0001,,空")));
}

TEST_F(Panels, HelpNamesTheLettersAndThePageTheNodeIdComesFrom)
{
    QStringList cells;
    prompts.answerExec([&](QDialog *d) {
        auto *table = d->findChild<QTableWidget *>();
        for (int r = 0; table && r < table->rowCount(); ++r)
            for (int c = 0; c < table->columnCount(); ++c)
                cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
        return 1;
    });
    click("pushButtonFastOptHelp");
    ASSERT_EQ(cells.size(), 4);
    EXPECT_EQ(prompts.records().last().title, QStringLiteral("快捷帮助"));
    EXPECT_EQ(cells[0], QStringLiteral("快捷操作页面"));
    EXPECT_TRUE(cells[1].contains(QStringLiteral("帧格式:S=标准帧 E=扩展帧"))) << qPrintable(cells[1]);
    EXPECT_TRUE(cells[1].contains(QStringLiteral("\r\n帧类型:D=数据帧 R=远程帧\r\n")));
    EXPECT_EQ(cells[2], QStringLiteral("EDS页面"));
    EXPECT_TRUE(cells[3].endsWith(QStringLiteral("重要事项:操作前先在CiA301页面设置好目标Node-ID"))) << qPrintable(cells[3]);
    // What the help says is what the quick operations take.
    EXPECT_TRUE(w->fastOptMsgCheck(QStringLiteral("E,D,123,00")));
    EXPECT_FALSE(w->fastOptMsgCheck(QStringLiteral("X,D,123,00")));
}
