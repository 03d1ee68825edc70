#include "core/QUserProtocolFrame.h"

#include "tests/support/PeerCheck.h"

#include <QByteArray>
#include <QStringList>

#include <cstring>
#include <vector>

namespace {

// Collects the debug lines written while it lives.
struct LogCapture {
    static QStringList &lines()
    {
        static QStringList l;
        return l;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &text) { lines().append(text); }
    QtMessageHandler previous;
    LogCapture() : previous(qInstallMessageHandler(handler)) { lines().clear(); }
    ~LogCapture() { qInstallMessageHandler(previous); }
    QString last() const { return lines().isEmpty() ? QString() : lines().last(); }
};

std::string hex(const uint8_t *p, int n)
{
    return QByteArray(reinterpret_cast<const char *>(p), n).toHex(' ').toStdString();
}

} // namespace

TEST(ProtocolFrame, PlainAndEncipheredLayout)
{
    const uint8_t payload[] = {0x01};
    uint8_t buf[64];
    QUserProtocolFrame p;
    ASSERT_EQ(p.framePack(buf, sizeof buf, 4, false, payload, 1), 20);
    EXPECT_EQ(hex(buf, 20), "fe ef 14 00 00 01 01 04 01 00 00 00 00 00 00 00 00 00 00 0c");
    for (int i = 20; i < 64; ++i)
        ASSERT_EQ(buf[i], 0) << i;

    QUserProtocolFrame q;
    ASSERT_EQ(q.framePack(buf, sizeof buf, 4, true, payload, 1), 20);
    EXPECT_EQ(buf[2], 0x14);
    EXPECT_EQ(buf[3], 0x10);
    QUserAes().decrypt(buf + 4, 16);
    EXPECT_EQ(hex(buf, 20), "fe ef 14 10 00 01 01 04 01 00 00 00 00 00 00 00 00 00 00 1c");
}

TEST(ProtocolFrame, SizesBufferLimitAndSequence)
{
    uint8_t buf[4200];
    struct Case {
        int payload;
        int size;
        int result;
    } cases[] = {{0, 19, 0}, {0, 20, 20}, {11, 64, 20}, {12, 64, 36}, {12, 35, 0}, {27, 64, 36}, {28, 64, 52},
                 {4075, 4200, 4084}, {4076, 4200, 0}, {4092, 4200, 0 /* beyond 12 bits */}, {-1, 64, 0}};
    std::vector<uint8_t> payload(4200, 0x5A);
    for (const Case &c : cases) {
        QUserProtocolFrame p;
        EXPECT_EQ(p.framePack(buf, c.size, 9, false, payload.data(), c.payload), c.result)
            << "payload " << c.payload << " size " << c.size;
    }
    // null payload with a length is refused, without payload it is fine
    QUserProtocolFrame p;
    EXPECT_EQ(p.framePack(buf, 64, 1, false, nullptr, 3), 0);
    EXPECT_EQ(p.framePack(buf, 64, 1, false, nullptr, 0), 20);
    EXPECT_EQ(p.framePack(nullptr, 64, 1, false, nullptr, 0), 0);

    QUserProtocolFrame s;
    s.framePack(buf, 10, 1, false, nullptr, 0); // fails, still uses a number
    s.framePack(buf, 64, 1, false, nullptr, 0);
    EXPECT_EQ(buf[4], 1);
    for (int i = 2; i < 256; ++i)
        s.framePack(buf, 64, 1, false, nullptr, 0);
    EXPECT_EQ(buf[4], 255);
    s.framePack(buf, 64, 1, false, nullptr, 0); // the 257th
    EXPECT_EQ(buf[4], 0);
}

TEST(ProtocolFrame, UnpackRoundTripAndOutputLimit)
{
    for (bool enc : {false, true}) {
        uint8_t payload[30];
        for (int i = 0; i < 30; ++i)
            payload[i] = uint8_t(0xC0 + i);
        uint8_t buf[64];
        QUserProtocolFrame p;
        const int len = p.framePack(buf, sizeof buf, 0x33, enc, payload, 30);
        ASSERT_EQ(len, 52);
        uint8_t out[64] = {};
        QUserProtocolFrame r;
        uint8_t copy[64];
        std::memcpy(copy, buf, sizeof buf);
        ASSERT_EQ(r.frameUnpack(copy, len, out, sizeof out), 44) << enc;
        EXPECT_EQ(out[0], 0x33);
        EXPECT_EQ(0, std::memcmp(out + 1, payload, 30));
        for (int i = 31; i < 44; ++i)
            EXPECT_EQ(out[i], 0);
        // bytes past the frame are ignored
        std::memcpy(copy, buf, sizeof buf);
        EXPECT_EQ(r.frameUnpack(copy, sizeof copy, out, 5), 5);
        EXPECT_EQ(out[0], 0x33);
    }
    uint8_t buf[20];
    QUserProtocolFrame p;
    ASSERT_EQ(p.framePack(buf, 20, 4, false, nullptr, 0), 20);
    uint8_t out[64];
    EXPECT_EQ(p.frameUnpack(buf, 20, out, 64), 12);
    EXPECT_EQ(p.frameUnpack(buf, 20, nullptr, 0), 0);
}

TEST(ProtocolFrame, RefusedReplies)
{
    QUserProtocolFrame p;
    uint8_t good[36];
    const uint8_t payload[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_EQ(p.framePack(good, sizeof good, 7, true, payload, 12), 36);

    struct Case {
        const char *what;
        int length;                 // bytes handed in
        void (*damage)(uint8_t *);  // applied to a copy
        bool bodyUntouched;         // refused before deciphering
    } cases[] = {
        {"too short", 3, [](uint8_t *) {}, true},
        {"bad head", 36, [](uint8_t *b) { b[1] = 0xEE; }, true},
        {"only 20 of 36 arrived", 20, [](uint8_t *) {}, true},
        {"length field 8", 36, [](uint8_t *b) { b[2] = 8; }, true},
        {"length field 0", 36, [](uint8_t *b) { b[2] = 0; b[3] = 0x10; }, true},
        {"length field not header+blocks", 36, [](uint8_t *b) { b[2] = 30; }, true},
        {"length field 19", 36, [](uint8_t *b) { b[2] = 19; }, true},
        {"wrong check byte", 36, [](uint8_t *b) { b[20] ^= 0x01; }, false},
    };
    for (const Case &c : cases) {
        uint8_t frame[36];
        std::memcpy(frame, good, sizeof frame);
        c.damage(frame);
        uint8_t before[36];
        std::memcpy(before, frame, sizeof frame);
        uint8_t out[64];
        EXPECT_EQ(p.frameUnpack(frame, c.length, out, sizeof out), 0) << c.what;
        if (c.bodyUntouched)
            EXPECT_EQ(0, std::memcmp(before, frame, sizeof frame)) << c.what;
        else
            EXPECT_NE(0, std::memcmp(before, frame, sizeof frame)) << c.what << ": deciphered before the check";
    }
    uint8_t out[4];
    EXPECT_EQ(p.frameUnpack(nullptr, 36, out, 4), 0);
}

TEST(ProtocolFrame, PeerCryptographyDecipherEncipheredFrame)
{
    REQUIRE_PEER_MODULES("cryptography");
    uint8_t payload[40];
    for (int i = 0; i < 40; ++i)
        payload[i] = uint8_t(i * 13 + 1);
    uint8_t enc[64], plain[64];
    QUserProtocolFrame a, b;
    ASSERT_EQ(a.framePack(enc, 64, 0x21, true, payload, 40), 52);
    ASSERT_EQ(b.framePack(plain, 64, 0x21, true, payload, 40), 52);
    QUserAes().decrypt(plain + 4, 48);
    const std::string key = QByteArray(reinterpret_cast<const char *>(QUserAes::builtInKey()), 16).toHex().toStdString();
    auto r = peer::run(peer::script("core_aes.py"),
                       {"dec", key, QByteArray(reinterpret_cast<const char *>(enc + 4), 48).toHex().toStdString()});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, QByteArray(reinterpret_cast<const char *>(plain + 4), 48).toHex().toStdString() + "\n");
    EXPECT_EQ(plain[7], 0x21);
    EXPECT_EQ(0, std::memcmp(plain + 8, payload, 40));
}

TEST(ProtocolFrame, RefusalsAreLogged)
{
    LogCapture log;
    QUserProtocolFrame p;
    uint8_t buf[64];
    EXPECT_EQ(p.framePack(buf, 19, 1, false, nullptr, 0), 0);
    EXPECT_TRUE(log.last().contains(QString::fromUtf8("错误:协议报文缓冲大小不足...<19,20>"))) << log.last().toStdString();

    uint8_t out[64];
    struct Case {
        int length;
        std::vector<uint8_t> head; // first bytes; the rest of the 64 are zero
        const char *message;
    } cases[] = {
        {3, {0xFE, 0xEF, 0x14}, "错误:协议解析报文长度不足...<3 byte>"},
        {20, {0xFE, 0xEE, 0x14}, "错误:协议报文帧头错误..."},
        {20, {0xFE, 0xEF, 0x24}, "错误:协议报文长度不足...<20,36>"},
    };
    for (const auto &c : cases) {
        uint8_t frame[64] = {};
        std::memcpy(frame, c.head.data(), c.head.size());
        EXPECT_EQ(p.frameUnpack(frame, c.length, out, sizeof out), 0);
        EXPECT_TRUE(log.last().contains(QString::fromUtf8(c.message))) << log.last().toStdString();
    }
    // wrong check byte: computed and received, lower-case hex
    ASSERT_EQ(p.framePack(buf, 20, 4, false, nullptr, 0), 20);
    const uint8_t want = buf[19];
    buf[19] = 0x0A;
    EXPECT_EQ(p.frameUnpack(buf, 20, out, sizeof out), 0);
    EXPECT_TRUE(log.last().contains(QString::fromUtf8("错误:协议报文CRC错误...<%1,a>").arg(want, 0, 16)))
        << log.last().toStdString();
}
