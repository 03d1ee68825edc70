#include "core/QUserCanMsg.h"
#include "tests/support/GiveUp.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QVector>
#include <gtest/gtest.h>

#include <cstring>

TEST(CanMsg, DefaultRecord)
{
    QUserCanMsg m;
    EXPECT_EQ(m.idText, "00000000");
    EXPECT_EQ(m.lenText, "8");
    EXPECT_EQ(m.dataText, "00 01 02 03 04 05 06 07");
    EXPECT_EQ(m.protocol, 0);
    EXPECT_EQ(m.remote, 0);
    EXPECT_EQ(m.extended, 0);
    EXPECT_EQ(m.sendTick, 0u);
    EXPECT_EQ(m.auxCount, 0u);
    EXPECT_EQ(m.devTime, 0u);
    EXPECT_EQ(m.rowEnable, 0);
    // Fields the producers set start at zero too.
    EXPECT_EQ(m.fdFlags, 0);
    EXPECT_EQ(m.direction, 0);
    EXPECT_EQ(m.channel, 0);
    EXPECT_EQ(m.hostTime, 0);
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(m.sendFailed, 0);
    EXPECT_TRUE(m.auxText1.isEmpty());
}

TEST(CanMsg, FiveFieldConstructorAndCopySharesTexts)
{
    QUserCanMsg m(QStringLiteral("123"), true, true, QStringLiteral("2"), QStringLiteral("AA BB"));
    EXPECT_EQ(m.idText, "123");
    EXPECT_EQ(m.remote, 1);
    EXPECT_EQ(m.extended, 1);
    EXPECT_EQ(m.lenText, "2");
    EXPECT_EQ(m.dataText, "AA BB");
    EXPECT_EQ(m.protocol, 0);
    m.status = 101;
    m.hostTime = 42;
    QUserCanMsg c = m;
    EXPECT_EQ(c.status, 101);
    EXPECT_EQ(c.hostTime, 42);
    EXPECT_EQ(c.dataText.constData(), m.dataText.constData()); // implicitly shared
}

TEST(CanMsg, GetIdAndGetLen)
{
    struct Case { const char *id; int32_t value; } ids[] = {
        {"000007FF ", 0x7FF}, {"  1a2b\t", 0x1A2B}, {"7FFFFFFF", 0x7FFFFFFF},
        {"FFFFFFFF ", 0}, {"xyz", 0}, {"", 0}, {"12 3", 0}, {"-1", -1},
    };
    for (const auto &c : ids) {
        QUserCanMsg m;
        m.idText = QString::fromUtf8(c.id);
        EXPECT_EQ(m.getId(), c.value) << c.id;
    }
    struct LenCase { const char *len; uint32_t value; } lens[] = {
        {"8", 8}, {" 64 ", 64}, {"abc", 0}, {"-3", 0}, {"", 0}, {"4294967295", 4294967295u},
    };
    for (const auto &c : lens) {
        QUserCanMsg m;
        m.lenText = QString::fromUtf8(c.len);
        EXPECT_EQ(m.getLen(), c.value) << c.len;
    }
}

TEST(CanMsg, ValueToTextBothLanguages)
{
    EXPECT_EQ(getDirText(0, true), QStringLiteral("发送"));
    EXPECT_EQ(getDirText(0, false), QStringLiteral("接收"));
    EXPECT_EQ(getDirText(1, true), "Send");
    EXPECT_EQ(getDirText(1, false), "Receive");
    EXPECT_TRUE(getDirText(2, true).isEmpty());
    EXPECT_EQ(getFrameFormatText(0, true), QStringLiteral("远程帧"));
    EXPECT_EQ(getFrameFormatText(1, false), "Data");
    EXPECT_EQ(getFrameTypeText(0, false), QStringLiteral("标准帧"));
    EXPECT_EQ(getFrameTypeText(1, true), "Extend");
    EXPECT_EQ(getProtocolText(0, 2), QStringLiteral("CANFD加速"));
    EXPECT_EQ(getProtocolText(1, 1), "FD");
    EXPECT_EQ(getProtocolText(1, 2), "FDBRS");
    EXPECT_TRUE(getProtocolText(0, 3).isEmpty());
    EXPECT_TRUE(getProtocolText(-1, 0).isEmpty());
}

TEST(CanMsg, TextToValueAcceptsEitherLanguage)
{
    EXPECT_TRUE(isSendText(QString()));
    EXPECT_FALSE(isSendText("Receive"));
    EXPECT_FALSE(isSendText(QStringLiteral("接收")));
    EXPECT_TRUE(isSendText("Send"));
    EXPECT_FALSE(isRemoteText("Data"));
    EXPECT_FALSE(isRemoteText(QStringLiteral("数据帧")));
    EXPECT_TRUE(isRemoteText("data")); // case-sensitive
    EXPECT_FALSE(isExtendText("Standard"));
    EXPECT_TRUE(isExtendText(QStringLiteral("扩展帧")));

    struct Case { QString text; int code; } cases[] = {
        {"CAN", 0}, {"CANFD", 1}, {"FD", 1}, {QStringLiteral("CANFD加速"), 2}, {"FDBRS", 2},
        {"canfd", 0}, {" CANFD", 0}, {"", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(getProtocolFromText(c.text), c.code) << c.text.toStdString();
}

TEST(CanMsg, IdentifierValidity)
{
    struct Case { bool ext; const char *text; bool valid; } cases[] = {
        {false, "7FF", true}, {false, "800", false}, {true, "1FFFFFFF", true}, {true, "20000000", false},
        {false, "12 3", true}, {false, "0", true}, {true, " 0 ", true},
        // Garbage is not identifier 0.
        {false, "xyz", false}, {true, "FFFFFFFF", false}, {true, "", false}, {false, "   ", false},
        {true, "-1", false}, {true, "100000000", false}, {false, "7G", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isCanIdValid(c.ext, QString::fromUtf8(c.text)), c.valid) << c.ext << " '" << c.text << "'";
}

TEST(CanMsg, FormatIdentifierText)
{
    struct Case { bool ext; const char *in; const char *out; } cases[] = {
        {true, " 1a2b ", "00001A2B "}, {false, "7ff", "000007FF "}, {false, "800", "00000000 "},
        {true, "xyz", "00000000 "}, {true, "1F FF FF FF", "1FFFFFFF "}, {true, "3FFFFFFF", "1FFFFFFF "},
    };
    for (const auto &c : cases) {
        QString t = QString::fromUtf8(c.in);
        EXPECT_TRUE(formatCanIdText(c.ext, t));
        EXPECT_EQ(t.toStdString(), c.out) << c.in;
    }
}

TEST(CanMsg, HostTime)
{
    const int64_t now = getCurrentMs();
    EXPECT_GT(now, 1600000000000LL);
    EXPECT_GE(getElapsedMs(now - 50), 50);
    EXPECT_LT(getElapsedMs(now - 50), 50 + 10000);
    // A start in the future by d gives -d - 1 (give or take the clock's advance).
    const int64_t d = 1000000;
    const int64_t r = getElapsedMs(getCurrentMs() + d);
    EXPECT_LE(r, -d - 1 + 1000);
    EXPECT_GE(r, -d - 1);
}

TEST(CanMsg, InsertSeparatorAndFitDataText)
{
    struct Sep { const char *in; int n; const char *out; } seps[] = {
        {"1234", 2, "12 34"}, {"12345", 2, "1 23 45"}, {"", 2, ""}, {"12", 2, "12"}, {"abc", 1, "a b c"},
    };
    for (const auto &c : seps) {
        QString t = QString::fromUtf8(c.in);
        EXPECT_TRUE(insertSeparator(t, " ", c.n));
        EXPECT_EQ(t.toStdString(), c.out);
    }

    struct Fit { bool spaced; int count; const char *in; bool ok; const char *out; } fits[] = {
        {true, 2, "A1B", true, "A1 B0"}, {false, 2, "A1B2C3", true, "A1B2"}, {false, 0, "AB", true, ""},
        {false, -1, "AB", false, "AB"}, {true, 3, "", true, "00 00 00"}, {true, 1, "ABCD", true, "AB"},
    };
    for (const auto &c : fits) {
        QString t = QString::fromUtf8(c.in);
        EXPECT_EQ(fitDataText(c.spaced, c.count, t), c.ok);
        EXPECT_EQ(t.toStdString(), c.out);
    }
    QString null;
    EXPECT_FALSE(fitDataText(true, 2, null));
    EXPECT_TRUE(null.isNull());
}

TEST(CanMsg, HexDecodingMatchesFrameworkDecoder)
{
    // The record's data decoder must give exactly what QByteArray::fromHex
    // gives on the text with white space removed (what the adapter records
    // are filled from).
    const char *texts[] = {"00 11 22", "0011223", "A", "zz 1 2 g3", "", " a b c d ", "12345", "FF-EE:DD"};
    for (const char *t : texts) {
        QString s = QString::fromUtf8(t);
        QByteArray expect = QByteArray::fromHex(s.remove(QRegExp("\\s")).toLocal8Bit());
        uint8_t out[64] = {};
        int n = hexTextToBytes(QString::fromUtf8(t), out, 64);
        ASSERT_EQ(n, expect.size()) << t;
        EXPECT_EQ(0, std::memcmp(out, expect.constData(), size_t(n))) << t;
    }
    uint8_t two[2];
    EXPECT_EQ(hexTextToBytes("AABBCC", two, 2), 2);
    EXPECT_EQ(two[0], 0xAA);
    EXPECT_EQ(two[1], 0xBB);
}

TEST(CanMsg, ToClassicRecord)
{
    QUserCanMsg m(QStringLiteral(" 123 "), true, true, QStringLiteral("8"),
                  QStringLiteral("00 11 22 33 44 55 66 77 88 99"));
    m.sendType = 2;
    KCAN_CAN_OBJ o;
    std::memset(&o, 0xEE, sizeof o);
    ASSERT_EQ(msgToCanObj(m, o), 1);
    EXPECT_EQ(o.ID, 0x123u);
    EXPECT_EQ(o.SendType, 2);
    EXPECT_EQ(o.RemoteFlag, 1);
    EXPECT_EQ(o.ExternFlag, 1);
    EXPECT_EQ(o.DataLen, 8);
    EXPECT_EQ(o.TimeStamp, 0u);
    EXPECT_EQ(o.TimeFlag, 0);
    const uint8_t want[8] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    EXPECT_EQ(0, std::memcmp(o.Data, want, 8));

    // DataLen comes from the length text alone, truncated to 8 bits.
    m.lenText = "300";
    m.dataText = "01";
    ASSERT_EQ(msgToCanObj(m, o), 1);
    EXPECT_EQ(o.DataLen, uint8_t(300));
    EXPECT_EQ(o.Data[0], 1);
    EXPECT_EQ(o.Data[1], 0);

    // Unmasked identifier on the classic path; a CAN FD record is refused.
    m.idText = "7FFFFFFF";
    msgToCanObj(m, o);
    EXPECT_EQ(o.ID, 0x7FFFFFFFu);
    m.protocol = 1;
    std::memset(&o, 0x5A, sizeof o);
    EXPECT_EQ(msgToCanObj(m, o), 0);
    EXPECT_EQ(o.ID, 0x5A5A5A5Au);
}

TEST(CanMsg, ToCanFdRecord)
{
    QUserCanMsg m;
    m.protocol = 2;
    m.fdFlags = 0x18;
    m.remote = 2;   // only 1 counts
    m.extended = 1;
    m.lenText = "64";
    QString data;
    for (int i = 0; i < 70; ++i)
        data += QString::asprintf("%02X ", i);
    m.dataText = data;
    m.idText = "FFFFFFFF ";
    KCAN_CANFD_OBJ o;
    ASSERT_EQ(msgToCanFdObj(m, o), 1);
    EXPECT_EQ(o.ID, 0u); // does not fit a signed 32-bit value
    EXPECT_EQ(o.RemoteFlag, 0);
    EXPECT_EQ(o.ExternFlag, 1);
    EXPECT_EQ(o.DataLen, 64);
    EXPECT_EQ(o.FdFlag, 0x18);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(o.Data[i], i);
    m.idText = "1FFFFFFF ";
    msgToCanFdObj(m, o);
    EXPECT_EQ(o.ID, 0x1FFFFFFFu);
    m.idText = "7FFFFFFF";
    msgToCanFdObj(m, o);
    EXPECT_EQ(o.ID, 0x1FFFFFFFu); // masked to 29 bits

    QUserCanMsg classic;
    EXPECT_EQ(msgToCanFdObj(classic, o), 0);
}

TEST(CanMsg, FromReceivedRecords)
{
    KCAN_CANFD_OBJ fd;
    std::memset(&fd, 0, sizeof fd);
    fd.ID = 0xE0000123; // flag bits above 29 are dropped
    fd.TimeStamp = 0xFFFFFFF0u;
    fd.FdFlag = KCAN_FD_FLAG_BRS | KCAN_FD_FLAG_ESI;
    fd.ExternFlag = 1;
    fd.DataLen = 12;
    for (int i = 0; i < 64; ++i)
        fd.Data[i] = uint8_t(0xA0 + i);
    QUserCanMsg m;
    canFdObjToMsg(fd, m);
    EXPECT_EQ(m.idText, "00000123 ");
    EXPECT_EQ(m.extended, 1);
    EXPECT_EQ(m.remote, 0);
    EXPECT_EQ(m.lenText, "12");
    EXPECT_EQ(m.dataText, "A0A1A2A3A4A5A6A7A8A9AAAB");
    EXPECT_EQ(m.devTime, 0xFFFFFFF0u);
    EXPECT_EQ(m.protocol, 2);
    EXPECT_EQ(m.fdFlags, 0x18);

    fd.FdFlag = 0;
    fd.DataLen = 200; // never more data than the record holds
    canFdObjToMsg(fd, m);
    EXPECT_EQ(m.protocol, 1);
    EXPECT_EQ(m.lenText, "200");
    EXPECT_EQ(m.dataText.size(), 128);

    fd.RemoteFlag = 1;
    canFdObjToMsg(fd, m);
    EXPECT_EQ(m.lenText, "0");
    EXPECT_TRUE(m.dataText.isEmpty());

    KCAN_CAN_OBJ c;
    std::memset(&c, 0, sizeof c);
    c.ID = 0x7FF;
    c.DataLen = 9; // clamps to the 8 data bytes of a classic record
    QUserCanMsg k;
    canObjToMsg(c, k);
    EXPECT_EQ(k.protocol, 0);
    EXPECT_EQ(k.fdFlags, 0);
    EXPECT_EQ(k.dataText, "0000000000000000");
    EXPECT_EQ(k.idText, "000007FF ");

    // Round trip back to a record gives the same bytes.
    fd.RemoteFlag = 0;
    fd.FdFlag = KCAN_FD_FLAG_BRS;
    fd.DataLen = 64;
    canFdObjToMsg(fd, m);
    KCAN_CANFD_OBJ back;
    ASSERT_EQ(msgToCanFdObj(m, back), 1);
    EXPECT_EQ(back.ID, 0x123u);
    EXPECT_EQ(back.DataLen, 64);
    EXPECT_EQ(back.FdFlag, KCAN_FD_FLAG_BRS);
    EXPECT_EQ(0, std::memcmp(back.Data, fd.Data, 64));
}

namespace {
class Emitter : public QObject
{
    Q_OBJECT
signals:
    void batch(QString id, QVector<QUserCanMsg> frames);
    void one(QString id, QUserCanMsg frame);
};
} // namespace

TEST(CanMsg, CrossesThreadsInQueuedSignals)
{
    registerCanMsgMetaTypes();
    registerCanMsgMetaTypes(); // twice is harmless
    EXPECT_NE(QMetaType::type("QUserCanMsg"), 0);
    EXPECT_NE(QMetaType::type("QUserCanMsg*"), 0);
    EXPECT_NE(QMetaType::type("QVector<QUserCanMsg>"), 0);

    Emitter e;
    QThread worker;
    e.moveToThread(&worker);
    QVector<QUserCanMsg> got;
    QObject receiver;
    QObject::connect(&e, &Emitter::batch, &receiver,
                     [&](QString, QVector<QUserCanMsg> v) { got = v; }, Qt::QueuedConnection);
    worker.start();
    QVector<QUserCanMsg> frames(3);
    frames[2].idText = "00000123 ";
    QMetaObject::invokeMethod(&e, [&] { emit e.batch("TRNA702-0-1", frames); }, Qt::QueuedConnection);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !got.isEmpty(); }, testsupport::kGiveUpMs));
    worker.quit();
    worker.wait();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[2].idText, "00000123 ");
}

#include "CanMsgTest.moc"
