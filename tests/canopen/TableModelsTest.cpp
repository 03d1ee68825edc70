// The two table models of the CANopen window: the bounded frame log and the
// listen list.
#include "canopen/windows/QUserTableModelCANopen.h"
#include "canopen/windows/QUserTableModelEDS.h"
#include "core/QUserSysCfg.h"

#include "tests/canopen/CanopenTestUtil.h"
#include "tests/support/ManualHostClock.h"
#include "tests/support/TempWorkDir.h"
#include "tests/support/WaitUntil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// The refresh throttle reads the host clock: the test's own (it stands
// still unless moved), so that a burst of frames falls within one throttle
// period however slow the machine.
class LogModel : public WorkDirTest
{
protected:
    void SetUp() override { QUserSysCfg::instance()->reload(); }
    static void cacheSize(int n) { QUserSysCfg::instance()->setInt(QStringLiteral("msgCacheSize"), n); }
    static QStringList windowTexts(QUserTableModelCANopen &m, int column)
    {
        QStringList out;
        for (int r = 0; r < m.rowCount(); ++r)
            out << m.item(r, column)->text();
        return out;
    }
    // Lets the throttle period pass and waits for the refresh it held back.
    void waitRefresh(QUserTableModelCANopen &m)
    {
        clock->advance(QUserTableModelCANopen::kRefreshMs);
        EXPECT_TRUE(testsupport::waitUntil([&] { return !m.refreshPending(); })) << "the held refresh never came";
    }

    testsupport::ManualHostClockScope clock;
};

QUserDictObj obj(uint32_t index, uint32_t sub, const char *access = "rw")
{
    QUserDictObj o;
    o.index = index;
    o.subIndex = sub;
    o.ParameterName = QStringLiteral("obj %1").arg(index, 0, 16);
    o.AccessType = QLatin1String(access);
    return o;
}

} // namespace

// ---- frame log ---------------------------------------------------------------------------

TEST_F(LogModel, AbsentCacheSizeIsWrittenBackWithTheDefault)
{
    QUserTableModelCANopen m;
    EXPECT_EQ(m.cacheLimit(), 1000000);
    EXPECT_EQ(QUserSysCfg::instance()->getInt(QStringLiteral("msgCacheSize")), 1000000);
}

// A limit of 3 keeps the three newest of five; 0 and 1 keep the newest one.
TEST_F(LogModel, OldestEntriesGoWhenTheLimitIsReached)
{
    struct Case {
        int limit;
        QStringList kept;
    };
    const Case cases[] = {
        {3, {"f2", "f3", "f4"}},
        {1, {"f4"}},
        {0, {"f4"}},
        {5, {"f0", "f1", "f2", "f3", "f4"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.limit);
        cacheSize(c.limit);
        QUserTableModelCANopen m;
        for (int i = 0; i < 5; ++i)
            m.logAppend(QStringLiteral("f%1").arg(i), QStringLiteral("d%1").arg(i));
        QList<QUserTableModelCANopen::Entry> all;
        ASSERT_EQ(m.logExport(all), c.kept.size());
        for (int i = 0; i < c.kept.size(); ++i) {
            EXPECT_EQ(all[i].first, c.kept[i]);
            EXPECT_EQ(all[i].second, QString(c.kept[i]).replace('f', 'd'));
        }
        waitRefresh(m);
        m.windowUpdate();
        waitRefresh(m);
        QStringList numbers;
        for (int i = 0; i < c.kept.size(); ++i)
            numbers << QString::number(i);
        EXPECT_EQ(windowTexts(m, 0), numbers);
        EXPECT_EQ(windowTexts(m, 1), c.kept);
    }
}

// A stored bound that is no whole number ("abc", a float form, beyond 32
// bits, empty) or a negative one is no bound: the default with one log line
// naming the value, as the data tab reads the same key, not one entry
// without a word. The setting stays as the user left it.
TEST_F(LogModel, CacheSizeThatIsNoBoundTakesTheDefault)
{
    for (const char *text : {"abc", "1e12", "99999999999", "", "  ", "-5", "-1", "12x"}) {
        SCOPED_TRACE(text);
        {
            QSettings raw(QStringLiteral("setting/sys.ini"), QSettings::IniFormat);
            raw.setValue(QStringLiteral("msgCacheSize"), QString::fromLatin1(text));
        }
        QUserSysCfg::instance()->reload();
        cotest::LogCapture log;
        QUserTableModelCANopen m;
        EXPECT_EQ(m.cacheLimit(), 1000000);
        for (int i = 0; i < 3; ++i)
            m.logAppend(QStringLiteral("f%1").arg(i), QString());
        EXPECT_EQ(m.cacheCount(), 3);
        const QStringList lines = log.lines().filter(QStringLiteral("msgCacheSize"));
        EXPECT_EQ(lines.filter(QStringLiteral("值<%1>").arg(QString::fromLatin1(text).remove(' '))).size(), 1)
            << lines.join('\n').toStdString();
        EXPECT_EQ(QSettings(QStringLiteral("setting/sys.ini"), QSettings::IniFormat)
                      .value(QStringLiteral("msgCacheSize"))
                      .toString(),
                  QString::fromLatin1(text));
    }
}

namespace {
// Resident memory of this process in bytes.
long long residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLongLong() * 4096 : -1;
}
} // namespace

// A large "msgCacheSize" costs nothing at construction: memory is taken as
// entries arrive, and the limit is clamped as the data tabs clamp it.
TEST_F(LogModel, LargeLimitTakesMemoryAsEntriesArrive)
{
    struct Case {
        int configured;
        int limit;
    } cases[] = {{10000000, 10000000}, {10000001, 10000000}, {2147483647, 10000000}, {5000, 5000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.configured);
        cacheSize(c.configured);
        const long long before = residentBytes();
        ASSERT_GT(before, 0);
        QUserTableModelCANopen m;
        EXPECT_EQ(m.cacheLimit(), c.limit);
        EXPECT_LT(residentBytes() - before, 16ll << 20) << "the limit is not reserved up front";
        for (int i = 0; i < 3; ++i)
            m.logAppend(QStringLiteral("f%1").arg(i), QString());
        EXPECT_EQ(m.cacheCount(), 3);
        EXPECT_EQ(m.entryAt(2)->first, QStringLiteral("f2"));
        m.clear();
        EXPECT_EQ(m.cacheLimit(), c.limit);
    }
    // The setting itself stays as the user wrote it.
    EXPECT_EQ(QUserSysCfg::instance()->getInt(QStringLiteral("msgCacheSize")), 5000);
}

// Clearing empties the log and reads the limit again.
TEST_F(LogModel, ClearReadsTheLimitAgain)
{
    cacheSize(10);
    QUserTableModelCANopen m;
    QSignalSpy rows(&m, &QUserTableModel::userRowChangeEvent);
    for (int i = 0; i < 4; ++i)
        m.logAppend(QStringLiteral("f%1").arg(i), QString());
    cacheSize(2);
    EXPECT_EQ(m.cacheLimit(), 10);
    m.clear();
    EXPECT_EQ(m.cacheCount(), 0);
    EXPECT_EQ(m.cacheLimit(), 2);
    EXPECT_EQ(rows.last().at(0).toInt(), 0);
    for (int i = 0; i < 4; ++i)
        m.logAppend(QStringLiteral("g%1").arg(i), QString());
    EXPECT_EQ(m.cacheCount(), 2);
    EXPECT_EQ(m.entryAt(0)->first, QStringLiteral("g2"));
    QList<QUserTableModelCANopen::Entry> none;
    m.clear();
    EXPECT_EQ(m.logExport(none), 0);
}

// Twenty frames within 100 ms: one refresh at once, one more when the
// single-shot timer catches the rest.
TEST_F(LogModel, RefreshesAreThrottledTo100Ms)
{
    QUserTableModelCANopen m;
    // The refresh time starts at construction: let it pass.
    clock->advance(QUserTableModelCANopen::kRefreshMs);
    const int before = m.refreshCount();
    for (int i = 0; i < 20; ++i)
        m.logAppend(QStringLiteral("f%1").arg(i), QString());
    EXPECT_EQ(m.refreshCount(), before + 1);
    EXPECT_EQ(m.rowCount(), 1); // the first frame's refresh
    EXPECT_TRUE(m.refreshPending());
    waitRefresh(m);
    EXPECT_EQ(m.refreshCount(), before + 2);
    EXPECT_EQ(m.rowCount(), 20);
    EXPECT_EQ(m.item(19, 1)->text(), QStringLiteral("f19"));
}

// Paused (auto-scroll off): frames are kept, nothing is refreshed or
// reported; the next frame after un-pausing shows them.
TEST_F(LogModel, PausedLogGrowsWithoutRefreshes)
{
    QUserTableModelCANopen m;
    QSignalSpy rows(&m, &QUserTableModel::userRowChangeEvent);
    clock->advance(QUserTableModelCANopen::kRefreshMs);
    m.setScrollState(false);
    const int before = m.refreshCount();
    for (int i = 0; i < 30; ++i)
        m.logAppend(QStringLiteral("f%1").arg(i), QString());
    EXPECT_EQ(m.cacheCount(), 30);
    EXPECT_EQ(m.refreshCount(), before);
    EXPECT_EQ(rows.count(), 0);
    EXPECT_FALSE(m.refreshPending());
    m.setScrollState(true);
    EXPECT_EQ(m.rowCount(), 0);
    m.logAppend(QStringLiteral("f30"), QString());
    EXPECT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.last().at(0).toInt(), 31);
    waitRefresh(m);
    ASSERT_EQ(m.rowCount(), 20);
    EXPECT_EQ(m.item(19, 1)->text(), QStringLiteral("f30"));
    EXPECT_EQ(m.item(0, 0)->text(), QStringLiteral("11"));
}

// ---- listen list -------------------------------------------------------------------------

TEST(ListenModel, AddsEachKeyOnce)
{
    QUserTableModelEDS m;
    EXPECT_EQ(m.dictObjAdd(obj(0x2001, 0)), 1);
    EXPECT_EQ(m.dictObjAdd(obj(0x2001, 0)), 0);
    EXPECT_EQ(m.dictObjAdd(obj(0x2001, 1)), 1);
    EXPECT_EQ(m.cacheCount(), 2);
    EXPECT_TRUE(m.dictObjContains(obj(0x2001, 1)));
    EXPECT_FALSE(m.dictObjContains(obj(0x2002, 0)));
    EXPECT_EQ(m.dictObjAt(2), nullptr);
    EXPECT_EQ(m.dictObjAt(-1), nullptr);
}

// The key index follows removals and swaps: after A goes, a value for C
// lands on C's new row and nowhere else.
TEST(ListenModel, KeyIndexFollowsRemovalsAndSwaps)
{
    QUserTableModelEDS m;
    m.dictObjAdd(obj(0xA, 0));
    m.dictObjAdd(obj(0xB, 0));
    m.dictObjAdd(obj(0xC, 0));
    EXPECT_EQ(m.dictObjRemove(0), 0);
    EXPECT_EQ(m.rowOfKey(0xC0000), 1);
    m.dictObjValueUpdate(0xC, 0, false, 77);
    EXPECT_EQ(m.dictObjAt(1)->curValue, 77u);
    EXPECT_EQ(m.dictObjAt(0)->curValue, 0u);
    EXPECT_FALSE(m.dictObjAt(1)->updateTime.isEmpty());
    EXPECT_TRUE(m.dictObjAt(0)->updateTime.isEmpty());

    EXPECT_EQ(m.dictObjSwap(0, 1), 0);
    EXPECT_EQ(m.dictObjAt(0)->index, 0xCu);
    EXPECT_EQ(m.rowOfKey(0xC0000), 0);
    EXPECT_EQ(m.rowOfKey(0xB0000), 1);
    for (auto bad : {std::make_pair(0, 2), std::make_pair(-1, 0), std::make_pair(1, 5)})
        EXPECT_EQ(m.dictObjSwap(bad.first, bad.second), -1);
    EXPECT_EQ(m.dictObjAt(0)->index, 0xCu);
    EXPECT_EQ(m.dictObjRemove(2), -1);
    EXPECT_EQ(m.dictObjValueUpdate(0xA, 0, false, 1), 0); // no longer listed: ignored
    EXPECT_EQ(m.clearAll(), 2);
    EXPECT_EQ(m.rowOfKey(0xC0000), -1);
}

// A write confirmation keeps the value and stamps the time.
TEST(ListenModel, WriteConfirmationOnlyStampsTheTime)
{
    QUserTableModelEDS m;
    QUserDictObj o = obj(0x2001, 0);
    o.curValue = 5;
    m.dictObjAdd(o);
    m.dictObjValueUpdate(0x2001, 0, true, 99);
    EXPECT_EQ(m.dictObjAt(0)->curValue, 5u);
    EXPECT_EQ(m.dictObjAt(0)->updateTime.size(), QStringLiteral("hh:mm:ss:zzz").size());
}

TEST(ListenModel, CellTexts)
{
    struct Case {
        const char *access;
        uint32_t value;
        const char *color;
        QString write, read, dec, hex;
    };
    const Case cases[] = {
        {"RO", 0xFFFFFFFF, "1,2,3", "false:不支持", "true:读取", "-1", "FFFFFFFF"},
        {"rw", 255, "", "true:写入", "true:读取", "255", "000000FF"},
        // A const object is read like a ro one (CiA 306 "const": read only,
        // the value does not change).
        {"const", 0, "9", "false:不支持", "true:读取", "0", "00000000"},
        {"wo", 0x80000000, "0,0,0", "true:写入", "false:不支持", "-2147483648", "80000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.access);
        QUserDictObj o = obj(0x1A00, 3, c.access);
        o.curValue = c.value;
        o.color = QLatin1String(c.color);
        o.LowLimit = -5;
        o.HighLimit = 300;
        const QStringList cells = QUserTableModelEDS::cellTexts(o, 4);
        ASSERT_EQ(cells.size(), 12);
        EXPECT_EQ(cells[0], "4");
        EXPECT_EQ(cells[1], "0x1A00");
        EXPECT_EQ(cells[2], "0x03");
        EXPECT_EQ(cells[6], c.dec);
        EXPECT_EQ(cells[7], c.hex);
        EXPECT_EQ(cells[8], "-5");
        EXPECT_EQ(cells[9], "300");
        EXPECT_EQ(cells[10], c.write);
        EXPECT_EQ(cells[11], c.read);

        // The colour cell takes only an "r,g,b" text; others leave it alone.
        QUserTableModelEDS m;
        m.setColumnCount(13);
        QThread::msleep(110);
        m.dictObjAdd(o);
        ASSERT_EQ(m.rowCount(), 1);
        const QString shown = m.item(0, QUserTableModelEDS::ColColor)->text();
        EXPECT_EQ(shown, QString(c.color).contains(',') ? QString(c.color) : QString());
        EXPECT_EQ(m.item(0, 6)->isEditable(), true);
        EXPECT_EQ(m.item(0, 3)->isEditable(), false);
    }
}

// The decimal value cell reads the value by its data type: an INTEGER16 of
// -2 shows -2, an UNSIGNED32 above 2^31 shows unsigned.
TEST(ListenCells, DecimalValueByDataType)
{
    struct Case {
        uint16_t type;
        uint32_t value;
        const char *dec;
    } cases[] = {
        {0x02, 0xFE, "-2"},         {0x02, 0x7F, "127"},          {0x02, 0xFFFFFF80, "-128"},
        {0x03, 0xFFFE, "-2"},       {0x03, 0x7FFF, "32767"},      {0x03, 0x8000, "-32768"},
        {0x03, 0xFFFFFFFE, "-2"},   {0x10, 0xFFFFFE, "-2"},       {0x10, 0x7FFFFF, "8388607"},
        {0x04, 0xFFFFFFFE, "-2"},   {0x04, 0x80000000, "-2147483648"},
        {0x05, 0xFE, "254"},        {0x05, 0xFFFFFFFE, "254"},    {0x06, 0xFFFE, "65534"},
        {0x16, 0xFFFFFE, "16777214"}, {0x07, 0xFFFFFFFE, "4294967294"}, {0x01, 1, "1"},
        {0x00, 0xFFFFFFFF, "-1"},   {0x08, 0x3F800000, "1065353216"},
    };
    for (const Case &c : cases) {
        QUserDictObj o = obj(0x2000, 0);
        o.DataType = c.type;
        o.curValue = c.value;
        EXPECT_EQ(QUserTableModelEDS::valueDecimalText(o), c.dec) << std::hex << c.type << " " << c.value;
        EXPECT_EQ(QUserTableModelEDS::cellTexts(o, 0)[QUserTableModelEDS::ColValueDec], c.dec);
        EXPECT_EQ(QUserTableModelEDS::cellTexts(o, 0)[QUserTableModelEDS::ColValueHex],
                  QString::asprintf("%08X", c.value));
    }
}
