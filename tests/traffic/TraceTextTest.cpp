// The quick text readers of the trace files agree with the frame record's
// and the framework's readers they stand in for.

#include "core/QUserCanMsg.h"
#include "traffic/QUserTraceText.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegExp>
#include <QString>

#include <algorithm>
#include <cstring>

TEST(TraceText, QuickReadersAgreeWithTheGeneralOnes)
{
    const char *texts[] = {"", " ", "0", "8", " 64 ", "+12", "-3", "12a", "0x1F", "0X7ff", "7FFFFFFF", "80000000",
                           "FFFFFFFF", "123456789", "2147483647", "2147483648", "-2147483648", "1 2", "00000123 ",
                           "18FF0001", "ABCDEF", "abcdef0", "0102030405060708", " 01 02 03", "0g", "+", "0x", "\t5\n"};
    for (const char *t : texts) {
        SCOPED_TRACE(t);
        const QString s = QString::fromLatin1(t);
        bool ok = false;
        const int dec = s.trimmed().toInt(&ok, 10);
        EXPECT_EQ(tracetext::decimalOf(s, -99), ok ? dec : -99);
        const int hex = s.trimmed().toInt(&ok, 16);
        EXPECT_EQ(tracetext::hexIdOf(s), ok && hex >= 0 ? uint32_t(hex) : 0u);
        // Data bytes (quick path for whole digit pairs included) as the
        // framework's hex decoder gives them, cut to the capacity.
        QString digits = s;
        digits.remove(QRegExp("\\s"));
        const QByteArray ref = QByteArray::fromHex(digits.toLatin1());
        for (int cap : {0, 3, 8, 64}) {
            uint8_t bytes[64] = {};
            const int n = hexTextToBytes(s, bytes, cap);
            ASSERT_EQ(n, std::min(cap, int(ref.size()))) << cap;
            EXPECT_EQ(std::memcmp(bytes, ref.constData(), size_t(n)), 0) << cap;
        }
    }
}

TEST(TraceText, Lengths)
{
    struct Case {
        int len, fdValid, classicValid, dlc;
    } cases[] = {{-1, 0, 0, -1}, {0, 0, 0, 0}, {8, 8, 8, 8}, {9, 8, 8, -1}, {10, 8, 8, -1}, {12, 12, 8, 9},
                 {13, 12, 8, -1}, {63, 48, 8, -1}, {64, 64, 8, 15}, {200, 64, 8, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.len);
        EXPECT_EQ(tracetext::validLength(true, c.len), c.fdValid);
        EXPECT_EQ(tracetext::validLength(false, c.len), c.classicValid);
        EXPECT_EQ(tracetext::dlcOfLength(c.len), c.dlc);
    }
}
