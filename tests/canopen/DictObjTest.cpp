#include "canopen/QUserDictObj.h"

#include <QRegularExpression>

#include "tests/canopen/CanopenTestUtil.h"

#include <gtest/gtest.h>

TEST(DictObjTest, NewRecord)
{
    QUserDictObj o;
    EXPECT_FALSE(o.isRoot);
    EXPECT_TRUE(o.isRead);
    EXPECT_EQ(o.AccessType, "ro");
    EXPECT_TRUE(o.isReadable());
    EXPECT_FALSE(o.isWritable());
    EXPECT_EQ(o.index, 0u);
    EXPECT_EQ(o.curValue, 0u);
    EXPECT_EQ(o.DefaultValue, 0);
    EXPECT_EQ(o.dataTypeSize(), 64);
    EXPECT_EQ(objectTypeText(o), "NULL");
    EXPECT_EQ(dataTypeText(o), "");
    EXPECT_TRUE(o.childList.isEmpty());
    EXPECT_EQ(o.mapBitLength, 0);
}

TEST(DictObjTest, KeyAndSizes)
{
    QUserDictObj o;
    o.index = 0x1A00;
    o.subIndex = 3;
    EXPECT_EQ(o.dictObjKey(), 0x1A000003u);

    struct Case {
        uint16_t type;
        const char *text;
        int size;
    } cases[] = {
        {0, "", 64},
        {1, "BOOLEAN", 1},
        {2, "INTEGER8", 1},
        {3, "INTEGER16", 2},
        {4, "INTEGER32", 4},
        {5, "UNSIGNED8", 1},
        {6, "UNSIGNED16", 2},
        {7, "UNSIGNED32", 4},
        {8, "REAL32", 4},
        {9, "VISIBLE_STRING", 64},
        {10, "OCTET_STRING", 64},
        {11, "UNICODE_STRING", 64},
        {12, "TIME_OF_DAY", 64},
        {13, "TIME_DIFFERENCE", 64},
        {14, "", 64},
        {0x20, "", 64},
    };
    for (const Case &c : cases) {
        o.DataType = c.type;
        EXPECT_EQ(dataTypeText(o), c.text) << c.type;
        EXPECT_EQ(o.dataTypeSize(), c.size) << c.type;
        EXPECT_EQ(o.mapBits(), 8 * c.size) << c.type;
    }
    o.DataType = 7;
    o.mapBitLength = 12;
    EXPECT_EQ(o.mapBits(), 12);
}

TEST(DictObjTest, ObjectTypeTexts)
{
    const char *expected[] = {"NULL", "", "DOMAIN", "", "", "DEFTYPE", "DEFSTRUCT", "VAR", "ARRAY", "RECORD", ""};
    for (int code = 0; code <= 10; ++code)
        EXPECT_EQ(objectTypeText(uint8_t(code)), expected[code]) << code;
    EXPECT_EQ(objectTypeText(uint8_t(255)), "");
}

TEST(DictObjTest, AccessTexts)
{
    struct Case {
        const char *access;
        bool readable;
        bool writable;
    } cases[] = {
        {"ro", true, false},  {"wo", false, true}, {"rw", true, true},     {"RW", true, true},
        {"rwr", true, true},  {"rww", true, true}, {"const", true, false}, {"CONST", true, false},
        {"", false, false},   {"x", false, false},
    };
    for (const Case &c : cases) {
        QUserDictObj o;
        o.AccessType = c.access;
        EXPECT_EQ(o.isReadable(), c.readable) << c.access;
        EXPECT_EQ(o.isWritable(), c.writable) << c.access;
    }
}

TEST(DictObjTest, UpdateTimeFormat)
{
    QUserDictObj o;
    EXPECT_TRUE(o.updateTimeSet());
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d$").match(o.updateTime).hasMatch()) << qPrintable(o.updateTime);
}

TEST(DictObjTest, VarRows)
{
    QUserDictObj o;
    o.ObjectType = 7;
    o.ParameterName = "Controlword";
    o.index = 0x6040;
    o.subIndex = 0;
    o.DataType = 6;
    o.LowLimit = -5;
    o.HighLimit = 0x7FFF;
    o.DefaultValue = -1;
    o.AccessType = "rw";
    o.PDOMapping = true;
    o.ObjFlags = 0xAB;
    QList<QStringList> rows{{"keep", "me"}};
    ASSERT_TRUE(o.toString(rows));
    const QList<QStringList> expected{
        {"keep", "me"},
        {"ParameterName", "Controlword"},
        {"Index", "0x6040"},
        {"SubIndex", "0x00"},
        {"ObjectType", "VAR"},
        {"DataType", "UNSIGNED16"},
        {"LowLimit", "-5(0xFFFFFFFB)"},
        {"HighLimit", "32767(0x00007FFF)"},
        {"DefaultValue", "-1(0xFFFFFFFF)"},
        {"AccessType", "rw"},
        {"PDOMapping", "true"},
        {"ObjFlags", "0x000000AB"},
    };
    EXPECT_EQ(rows, expected);
}

TEST(DictObjTest, ArrayAndRecordRowsAndOthers)
{
    QUserDictObj o;
    o.ParameterName = "Identity";
    o.index = 0x1018;
    o.SubNumber = 5;
    for (uint8_t type : {uint8_t(8), uint8_t(9)}) {
        o.ObjectType = type;
        QList<QStringList> rows;
        ASSERT_TRUE(o.toString(rows));
        const QList<QStringList> expected{
            {"ParameterName", "Identity"},
            {"Index", "0x1018"},
            {"ObjectType", type == 8 ? "ARRAY" : "RECORD"},
            {"SubNumber", "5"},
        };
        EXPECT_EQ(rows, expected);
    }
    for (uint8_t type : {uint8_t(0), uint8_t(2), uint8_t(6), uint8_t(10)}) {
        o.ObjectType = type;
        QList<QStringList> rows;
        EXPECT_FALSE(o.toString(rows));
        EXPECT_TRUE(rows.isEmpty());
    }
}

TEST(DictObjTest, CopiesAreDeep)
{
    QUserDictObj array;
    array.ObjectType = 8;
    QUserDictObj child;
    child.subIndex = 1;
    child.ParameterName = "first";
    QUserDictObj grandChild;
    grandChild.ParameterName = "deep";
    child.childList.append(grandChild);
    array.childList.append(child);

    QUserDictObj copy = array;
    copy.childList[0].ParameterName = "changed";
    copy.childList[0].childList[0].ParameterName = "changed too";
    EXPECT_EQ(array.childList[0].ParameterName, "first");
    EXPECT_EQ(array.childList[0].childList[0].ParameterName, "deep");
    QUserDictObj assigned;
    assigned = array;
    EXPECT_EQ(assigned.childList.size(), 1);
    EXPECT_EQ(assigned.childList[0].childList[0].ParameterName, "deep");
}
