#include "core/QUserAes.h"

#include "tests/support/PeerCheck.h"

#include <QByteArray>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> fromHex(const char *hex)
{
    const QByteArray b = QByteArray::fromHex(hex);
    return std::vector<uint8_t>(b.begin(), b.end());
}

std::string toHex(const std::vector<uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), int(v.size())).toHex().toStdString();
}

// Puts the built-in key back whatever a test did.
struct KeyGuard {
    ~KeyGuard() { QUserAes::setKey(QUserAes::builtInKey()); }
};

} // namespace

TEST(Aes, Fips197ExampleVector)
{
    KeyGuard guard;
    QUserAes aes;
    QUserAes::setKey(fromHex("000102030405060708090a0b0c0d0e0f").data());
    auto buf = fromHex("00112233445566778899aabbccddeeff");
    aes.encrypt(buf.data(), buf.size());
    EXPECT_EQ(toHex(buf), "69c4e0d86a7b0430d8cdb78070b4c55a");
    aes.decrypt(buf.data(), buf.size());
    EXPECT_EQ(toHex(buf), "00112233445566778899aabbccddeeff");
    // The schedule is shared: a new object sees the same key.
    QUserAes other;
    auto b2 = fromHex("00112233445566778899aabbccddeeff");
    other.encrypt(b2.data(), b2.size());
    EXPECT_EQ(toHex(b2), "69c4e0d86a7b0430d8cdb78070b4c55a");
}

TEST(Aes, CodebookModeAndWholeBlocksOnly)
{
    QUserAes aes;
    std::vector<uint8_t> buf(40);
    for (size_t i = 0; i < 16; ++i)
        buf[i] = buf[16 + i] = uint8_t(i * 7);
    for (size_t i = 32; i < 40; ++i)
        buf[i] = uint8_t(0xA0 + i);
    const auto plain = buf;
    aes.encrypt(buf.data(), buf.size());
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 16, buf.begin() + 16));
    EXPECT_NE(std::vector<uint8_t>(buf.begin(), buf.begin() + 16), std::vector<uint8_t>(plain.begin(), plain.begin() + 16));
    // the 8-byte tail is no block: untouched
    EXPECT_TRUE(std::equal(buf.begin() + 32, buf.end(), plain.begin() + 32));
    aes.decrypt(buf.data(), buf.size());
    EXPECT_EQ(buf, plain);

    auto none = plain;
    aes.encrypt(none.data(), 0);
    aes.encrypt(none.data(), 15);
    EXPECT_EQ(none, plain);
}

TEST(Aes, PeerCryptographyAgreesWithBuiltInKey)
{
    REQUIRE_PEER_MODULES("cryptography");
    QUserAes aes;
    const std::vector<uint8_t> key(QUserAes::builtInKey(), QUserAes::builtInKey() + 16);
    EXPECT_EQ(toHex(key), "5e1a9c3f07b2d48e6a0c91f3b7452d86");
    std::mt19937 rng(1234);
    for (size_t blocks : {1u, 2u, 5u, 17u}) {
        std::vector<uint8_t> buf(blocks * 16);
        for (auto &b : buf)
            b = uint8_t(rng());
        const auto plain = buf;
        aes.encrypt(buf.data(), buf.size());
        auto r = peer::run(peer::script("core_aes.py"), {"enc", toHex(key), toHex(plain)});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output, toHex(buf) + "\n");
        r = peer::run(peer::script("core_aes.py"), {"dec", toHex(key), toHex(buf)});
        EXPECT_EQ(r.output, toHex(plain) + "\n");
    }
}
