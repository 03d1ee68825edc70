#include "canopen/QUserEdsParser.h"

#include "tests/canopen/CanopenTestUtil.h"
#include "tests/support/TempWorkDir.h"

#include <gtest/gtest.h>

namespace {

struct Item
{
    uint32_t index;
    uint32_t sub;
    uint32_t value;
};

std::vector<Item> items(const QVector<QUserDictObj> &list)
{
    std::vector<Item> out;
    for (const QUserDictObj &o : list)
        out.push_back({o.index, o.subIndex, o.curValue});
    return out;
}

std::string dump(const std::vector<Item> &list)
{
    std::string s;
    char buf[64];
    for (const Item &i : list) {
        snprintf(buf, sizeof buf, "%04X.%u=%08X\n", i.index, i.sub, i.value);
        s += buf;
    }
    return s;
}

QUserDictObj mapped(QUserEdsParser &p, uint32_t index, uint32_t sub = 0)
{
    QUserDictObj o;
    EXPECT_TRUE(p.objGet(index, sub, o)) << std::hex << index;
    return o;
}

} // namespace

TEST(PdoListTest, InitialRecords)
{
    QUserEdsParser p;
    ASSERT_EQ(p.rxPdoList.size(), 4);
    ASSERT_EQ(p.txPdoList.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p.rxPdoList[i].ParameterName, QString("RPDO%1").arg(i + 1));
        EXPECT_EQ(p.txPdoList[i].ParameterName, QString("TPDO%1").arg(i + 1));
        EXPECT_FALSE(p.rxPdoList[i].pdoEnable) << "a PDO starts not valid";
        EXPECT_TRUE(p.txPdoList[i].childList.isEmpty());
    }
}

// The download follows CiA 301 per PDO: stop it (bit 31 set), parameters,
// mapping count 0, entries, count, then start it (bit 31 clear) when it is
// to run. The device accepts mapping writes only while the PDO is invalid.
TEST(PdoListTest, DownloadSequencePerPdo)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("drive.eds")));
    QUserDictObj &t1 = p.txPdoList[0];
    t1.cobID = 0x181;
    t1.pdoEnable = true;
    t1.transmissionType = 254;
    t1.inhibitTime = 10;
    t1.eventTime = 100;
    t1.syncStartValue = 3;
    t1.childList << mapped(p, 0x6041) << mapped(p, 0x6064);
    QUserDictObj &r1 = p.rxPdoList[0];
    r1.cobID = 0x201;
    r1.pdoEnable = true;
    r1.transmissionType = 255;
    r1.childList << mapped(p, 0x6040) << mapped(p, 0x6060) << mapped(p, 0x2000);

    QVector<QUserDictObj> list;
    QStringList notes;
    ASSERT_TRUE(p.pdoDownloadListGet(list, &notes));
    EXPECT_TRUE(notes.isEmpty()) << notes.join('\n').toStdString();
    for (const QUserDictObj &o : list) {
        EXPECT_FALSE(o.isRead);
        EXPECT_TRUE(o.isWritable());
    }
    std::vector<Item> expected = {
        // RPDO1
        {0x1400, 1, 0x80000201}, {0x1400, 2, 255}, {0x1400, 3, 0}, {0x1400, 5, 0},
        {0x1600, 0, 0}, {0x1600, 1, 0x60400010}, {0x1600, 2, 0x60600008}, {0x1600, 3, 0x20000008}, {0x1600, 0, 3},
        {0x1400, 1, 0x201},
    };
    for (uint32_t n = 1; n < 4; ++n) {
        // RPDO2..4: not valid, nothing mapped
        expected.insert(expected.end(), {{0x1400 + n, 1, 0x80000000}, {0x1400 + n, 2, 0}, {0x1400 + n, 3, 0},
                                         {0x1400 + n, 5, 0}, {0x1600 + n, 0, 0}, {0x1600 + n, 0, 0}});
    }
    expected.insert(expected.end(), {
        // TPDO1
        {0x1800, 1, 0x80000181}, {0x1800, 2, 254}, {0x1800, 3, 10}, {0x1800, 5, 100}, {0x1800, 6, 3},
        {0x1A00, 0, 0}, {0x1A00, 1, 0x60410010}, {0x1A00, 2, 0x60640020}, {0x1A00, 0, 2},
        {0x1800, 1, 0x181},
    });
    for (uint32_t n = 1; n < 4; ++n) {
        expected.insert(expected.end(), {{0x1800 + n, 1, 0x80000000}, {0x1800 + n, 2, 0}, {0x1800 + n, 3, 0},
                                         {0x1800 + n, 5, 0}, {0x1800 + n, 6, 0}, {0x1A00 + n, 0, 0},
                                         {0x1A00 + n, 0, 0}});
    }
    EXPECT_EQ(dump(items(list)), dump(expected));
}

// A PDO whose COB-ID is 0 or another service's identifier is configured but
// left invalid, with a note saying so.
TEST(PdoListTest, UnusableCobIdStaysInvalid)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("drive.eds")));
    for (uint32_t cob : {0x000u, 0x605u, 0x080u + 0x1000u}) {
        SCOPED_TRACE(cob);
        p.txPdoList[0].cobID = cob;
        p.txPdoList[0].pdoEnable = true;
        QVector<QUserDictObj> list;
        QStringList notes;
        p.pdoDownloadListGet(list, &notes);
        int cobWrites = 0;
        for (const QUserDictObj &o : list)
            if (o.index == 0x1800 && o.subIndex == 1) {
                ++cobWrites;
                EXPECT_TRUE(o.curValue & 0x80000000u);
            }
        EXPECT_EQ(cobWrites, 1);
        ASSERT_EQ(notes.size(), 1);
        EXPECT_TRUE(notes[0].startsWith("TPDO1")) << notes[0].toStdString();
    }

    struct Case {
        uint32_t cob;
        bool usable;
    } cases[] = {
        {0x000, false}, {0x07F, false}, {0x080, true},  {0x081, true},  {0x0FF, true},  {0x100, true},
        {0x101, false}, {0x180, false}, {0x181, true},  {0x57F, true},  {0x580, true},  {0x581, false},
        {0x5FF, false}, {0x600, true},  {0x601, false}, {0x67F, false}, {0x680, true},  {0x6DF, true},
        {0x6E0, false}, {0x6FF, false}, {0x700, true},  {0x701, false}, {0x77F, false}, {0x780, false},
        {0x7FF, false}, {0x800, false}, {0x20000000, false}, {0x20000605, true},
        {0x3FFFFFFF, true}, {0x80000181, true},
        // Bit 30 (no RTR on a TPDO, reserved on an RPDO) leaves the
        // identifier as usable as it is without it.
        {0x40000181, true}, {0x40000205, true}, {0x40000000, false}, {0x40000605, false}, {0x60000605, true},
        {0x60000000, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QUserEdsParser::pdoCobIdUsable(c.cob), c.usable) << std::hex << c.cob;
}

// A device's TPDO COB-ID with bit 30 set (a common default: no RTR allowed)
// survives upload, edit and download: the PDO runs again, bit 30 as read.
TEST(PdoListTest, Bit30CobIdRoundTrips)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("tool_written.dcf")));
    QVector<QUserDictObj> up;
    ASSERT_TRUE(p.pdoUploadListGet(up));
    for (QUserDictObj &o : up)
        o.curValue = uint32_t(o.DefaultValue);
    ASSERT_TRUE(p.pdoListFromUpload(up));
    EXPECT_EQ(p.txPdoList[0].cobID, 0x40000185u);
    EXPECT_TRUE(p.txPdoList[0].pdoEnable);
    EXPECT_EQ(p.txPdoList[1].cobID, 0x40000285u);
    EXPECT_FALSE(p.txPdoList[1].pdoEnable) << "bit 31 alone makes it invalid";
    ASSERT_EQ(p.txPdoList[0].childList.size(), 2);

    p.txPdoList[0].eventTime = 250; // the user's edit
    QVector<QUserDictObj> down;
    QStringList notes;
    ASSERT_TRUE(p.pdoDownloadListGet(down, &notes));
    EXPECT_TRUE(notes.isEmpty()) << notes.join('\n').toStdString();
    std::vector<Item> tpdo;
    for (const Item &i : items(down))
        if (i.index == 0x1800 || i.index == 0x1801)
            tpdo.push_back(i);
    EXPECT_EQ(dump(tpdo), dump({{0x1800, 1, 0xC0000185}, {0x1800, 2, 0xFE}, {0x1800, 3, 0}, {0x1800, 5, 250},
                                {0x1800, 6, 0}, {0x1800, 1, 0x40000185}, {0x1801, 1, 0xC0000285}}));
}

// Entries are bit fields: a 1-bit or a 64-byte object does not spill into
// the sub-index byte; an object that cannot be mapped ends the mapping, and
// the count written is the count of entries actually written.
TEST(PdoListTest, MappingEntriesAreBitFields)
{
    QUserDictObj bit;
    bit.index = 0x2000;
    bit.subIndex = 1;
    bit.DataType = 1;
    bit.mapBitLength = 1;
    uint32_t entry = 0;
    ASSERT_TRUE(QUserEdsParser::pdoMapEntryCompose(bit, entry));
    EXPECT_EQ(entry, 0x20000101u);
    bit.mapBitLength = 0;
    ASSERT_TRUE(QUserEdsParser::pdoMapEntryCompose(bit, entry));
    EXPECT_EQ(entry, 0x20000108u);
    QUserDictObj text;
    text.index = 0x1008;
    text.DataType = 9;
    EXPECT_FALSE(QUserEdsParser::pdoMapEntryCompose(text, entry));

    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("drive.eds")));
    p.txPdoList[1].cobID = 0x282;
    p.txPdoList[1].pdoEnable = true;
    QUserDictObj u8 = mapped(p, 0x2000);
    p.txPdoList[1].childList << u8 << text << u8;
    QVector<QUserDictObj> list;
    QStringList notes;
    p.pdoDownloadListGet(list, &notes);
    std::vector<Item> tpdo2;
    for (const Item &i : items(list))
        if (i.index == 0x1A01)
            tpdo2.push_back(i);
    EXPECT_EQ(dump(tpdo2), dump({{0x1A01, 0, 0}, {0x1A01, 1, 0x20000008}, {0x1A01, 0, 1}}));
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes[0].contains("1008")) << notes[0].toStdString();

    // Nine bytes: the ninth does not fit 64 bits.
    p.txPdoList[1].childList.clear();
    for (int i = 0; i < 9; ++i)
        p.txPdoList[1].childList << u8;
    list.clear();
    notes.clear();
    p.pdoDownloadListGet(list, &notes);
    int entries = 0;
    uint32_t count = 99;
    for (const QUserDictObj &o : list)
        if (o.index == 0x1A01) {
            if (o.subIndex == 0)
                count = o.curValue;
            else
                ++entries;
        }
    EXPECT_EQ(entries, 8);
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(notes.size(), 1);
}

// Sub-objects the dictionary lacks or marks read-only are not written; a
// mapping object with fewer entries than mapped objects stops early.
TEST(PdoListTest, DictionaryDecidesWhatIsWritten)
{
    TempWorkDir dir;
    ASSERT_TRUE(cotest::writeAll("small.eds",
        "[1800]\nObjectType=0x9\n"
        "[1800sub1]\nDataType=0x0007\nAccessType=rw\n"
        "[1800sub2]\nDataType=0x0005\nAccessType=ro\n"
        "[1800sub5]\nDataType=0x0006\nAccessType=rw\n"
        "[1A00]\nObjectType=0x9\n"
        "[1A00sub0]\nDataType=0x0005\nAccessType=rw\n"
        "[1A00sub1]\nDataType=0x0007\nAccessType=rw\n"
        "[1A00sub2]\nDataType=0x0007\nAccessType=rw\n"
        "[2000]\nObjectType=0x7\nDataType=0x0005\nPDOMapping=1\n"));
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile("small.eds"));
    QUserDictObj o = mapped(p, 0x2000);
    p.txPdoList[0].cobID = 0x185;
    p.txPdoList[0].pdoEnable = true;
    p.txPdoList[0].eventTime = 50;
    p.txPdoList[0].childList << o << o << o;
    QVector<QUserDictObj> list;
    QStringList notes;
    p.pdoDownloadListGet(list, &notes);
    EXPECT_EQ(dump(items(list)), dump({{0x1800, 1, 0x80000185}, {0x1800, 5, 50}, {0x1A00, 0, 0},
                                       {0x1A00, 1, 0x20000008}, {0x1A00, 2, 0x20000008}, {0x1A00, 0, 2},
                                       {0x1800, 1, 0x185}}));
    EXPECT_EQ(notes.size(), 1);

    QVector<QUserDictObj> upload;
    p.pdoUploadListGet(upload);
    EXPECT_EQ(dump(items(upload)), dump({{0x1800, 1, 0}, {0x1800, 2, 0}, {0x1800, 5, 0}, {0x1A00, 0, 0},
                                         {0x1A00, 1, 0}, {0x1A00, 2, 0}}));
}

TEST(PdoListTest, UploadListAndRebuild)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("drive.eds")));
    QVector<QUserDictObj> up;
    ASSERT_TRUE(p.pdoUploadListGet(up));
    // 4 RPDO x (1,2,3,5) + 4 TPDO x (1,2,3,5,6) + 8 mapping objects x 9.
    EXPECT_EQ(up.size(), 16 + 20 + 72);
    for (const QUserDictObj &o : up)
        EXPECT_TRUE(o.isRead);
    EXPECT_EQ(up[0].index, 0x1400u);
    EXPECT_EQ(up[0].subIndex, 1u);
    EXPECT_EQ(up[16].index, 0x1800u);
    EXPECT_EQ(up[36].index, 0x1600u);
    EXPECT_EQ(up[36].subIndex, 0u);

    // A device's answers: TPDO1 valid on 0x185, two entries (a third one
    // beyond the count is ignored); RPDO2 invalid with an unknown 1-bit
    // object and a 12-bit view of a known one.
    auto answer = [&up](uint32_t index, uint32_t sub, uint32_t value) {
        for (QUserDictObj &o : up)
            if (o.index == index && o.subIndex == sub)
                o.curValue = value;
    };
    answer(0x1800, 1, 0x185);
    answer(0x1800, 2, 1);
    answer(0x1800, 3, 20);
    answer(0x1800, 5, 300);
    answer(0x1800, 6, 7);
    answer(0x1A00, 0, 2);
    answer(0x1A00, 1, 0x60400010);
    answer(0x1A00, 2, 0x606C0020);
    answer(0x1A00, 3, 0x60640020);
    answer(0x1401, 1, 0x80000305);
    answer(0x1601, 0, 2);
    answer(0x1601, 1, 0x50000101);
    answer(0x1601, 2, 0x6041000C);
    ASSERT_TRUE(p.pdoListFromUpload(up));

    const QUserDictObj &t1 = p.txPdoList[0];
    EXPECT_EQ(t1.cobID, 0x185u);
    EXPECT_TRUE(t1.pdoEnable);
    EXPECT_EQ(t1.transmissionType, 1);
    EXPECT_EQ(t1.inhibitTime, 20);
    EXPECT_EQ(t1.eventTime, 300);
    EXPECT_EQ(t1.syncStartValue, 7);
    EXPECT_EQ(t1.mapCount, 2u);
    ASSERT_EQ(t1.childList.size(), 2);
    EXPECT_EQ(t1.childList[0].index, 0x6040u);
    EXPECT_EQ(t1.childList[0].ParameterName, "Controlword");
    EXPECT_EQ(t1.childList[0].mapBitLength, 0);
    EXPECT_EQ(t1.childList[1].index, 0x606Cu);

    const QUserDictObj &r2 = p.rxPdoList[1];
    EXPECT_EQ(r2.cobID, 0x305u);
    EXPECT_FALSE(r2.pdoEnable);
    ASSERT_EQ(r2.childList.size(), 2);
    EXPECT_EQ(r2.childList[0].index, 0x5000u);
    EXPECT_EQ(r2.childList[0].subIndex, 1u);
    EXPECT_EQ(r2.childList[0].ParameterName, QString::fromUtf8("未知"));
    EXPECT_EQ(r2.childList[0].DataType, 5);
    EXPECT_EQ(r2.childList[0].mapBitLength, 1);
    EXPECT_EQ(r2.childList[1].DataType, 6);
    EXPECT_EQ(r2.childList[1].mapBitLength, 12);

    // Downloading what was uploaded gives the device its own entries back.
    QVector<QUserDictObj> down;
    p.pdoDownloadListGet(down);
    std::vector<Item> r2map;
    for (const Item &i : items(down))
        if (i.index == 0x1601)
            r2map.push_back(i);
    EXPECT_EQ(dump(r2map), dump({{0x1601, 0, 0}, {0x1601, 1, 0x50000101}, {0x1601, 2, 0x6041000C}, {0x1601, 0, 2}}));

    // Unknown objects by mapped length; other indexes are ignored.
    QUserDictObj pdo;
    pdo.mapCount = 3;
    for (uint32_t bits : {8u, 16u, 24u}) {
        QUserDictObj item;
        item.index = 0x1A00;
        item.subIndex = 1;
        item.curValue = 0x70000000u | bits;
        EXPECT_FALSE(p.pdoMapEntryApply(pdo, item));
    }
    ASSERT_EQ(pdo.childList.size(), 3);
    EXPECT_EQ(pdo.childList[0].DataType, 5);
    EXPECT_EQ(pdo.childList[1].DataType, 6);
    EXPECT_EQ(pdo.childList[2].DataType, 6);
    EXPECT_EQ(pdo.childList[2].mapBitLength, 24);
    QUserDictObj small;
    small.index = 0x1A00;
    small.subIndex = 1;
    small.curValue = 0xFFFF;
    QUserDictObj pdo2;
    pdo2.mapCount = 1;
    p.pdoMapEntryApply(pdo2, small);
    EXPECT_TRUE(pdo2.childList.isEmpty());
}
