#include "platform/PlatBytes.h"

#include <gtest/gtest.h>

#include <vector>

// The byte order every codec of the adapters builds on: each reader undoes
// its writer, and the bytes land in the order the wire formats put them.
TEST(ByteOrder, ReadersAndWritersAgreeOnTheWireOrder)
{
    std::vector<uint8_t> b;
    plat::appendLe16(b, 0x1234);
    plat::appendLe32(b, 0x89ABCDEF);
    plat::appendBe32(b, 0x89ABCDEF);
    EXPECT_EQ(b, (std::vector<uint8_t>{0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0x89, 0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(plat::le16(b.data()), 0x1234);
    EXPECT_EQ(plat::le32(b.data() + 2), 0x89ABCDEFu);
    EXPECT_EQ(plat::be32(b.data() + 6), 0x89ABCDEFu);

    uint8_t p[6] = {};
    plat::putLe16(p, 0xFFFE);
    plat::putLe32(p + 2, 0x80000001u);
    EXPECT_EQ(plat::le16(p), 0xFFFE);
    EXPECT_EQ(plat::le32(p + 2), 0x80000001u) << "the top bit survives (no sign extension)";
    EXPECT_EQ(p[5], 0x80);
}
