#include "canopen/QUserEdsParser.h"

#include "tests/canopen/CanopenTestUtil.h"
#include "tests/support/TempWorkDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QVector>

#include <gtest/gtest.h>

namespace {

using Keys = QVector<QPair<QString, QString>>;
using Sections = QVector<QPair<QString, Keys>>;

// Our reading of the sections, merged as configparser merges them: a repeated
// section joins the first, a repeated key keeps its place and takes the last
// value; lines our attribute split refuses are left out.
Sections oursMerged(const QString &path)
{
    QList<EdsSection> raw;
    EXPECT_TRUE(QUserEdsParser::sectionsRead(path, raw));
    Sections out;
    for (const EdsSection &s : raw) {
        int at = -1;
        for (int i = 0; i < out.size(); ++i)
            if (out[i].first == s.name)
                at = i;
        if (at < 0) {
            out.append({s.name, Keys()});
            at = out.size() - 1;
        }
        for (const QString &line : s.lines) {
            QString k, v;
            if (!QUserEdsParser::attributeGet(line, k, v))
                continue;
            bool found = false;
            for (auto &kv : out[at].second)
                if (kv.first == k) {
                    kv.second = v;
                    found = true;
                }
            if (!found)
                out[at].second.append({k, v});
        }
    }
    return out;
}

Sections configparserSections(const QString &path, std::string &error)
{
    auto r = peer::run(peer::script("canopen_eds_ini.py"), {path.toStdString()});
    Sections out;
    if (r.exitCode != 0) {
        error = r.output;
        return out;
    }
    const QJsonArray sections = QJsonDocument::fromJson(QByteArray::fromStdString(r.output)).array();
    for (const QJsonValue &s : sections) {
        const QJsonArray pair = s.toArray();
        Keys keys;
        for (const QJsonValue &kv : pair.at(1).toArray())
            keys.append({kv.toArray().at(0).toString(), kv.toArray().at(1).toString()});
        out.append({pair.at(0).toString(), keys});
    }
    return out;
}

QString dump(const Sections &s)
{
    QString out;
    for (const auto &sec : s) {
        out += "[" + sec.first + "]\n";
        for (const auto &kv : sec.second)
            out += "  " + kv.first + "=" + kv.second + "\n";
    }
    return out;
}

} // namespace

// Every fixture read by configparser and by us gives the same sections and
// the same keys with the same values, except the values holding "=", which
// our reader refuses on purpose (and which must then be the only difference).
TEST(EdsParserTest, SectionsAndKeysMatchConfigparser)
{
    REQUIRE_PEER_MODULES("configparser", "json");
    for (const char *name : {"drive.eds", "cases_lf.eds", "cases_crlf.eds", "cases_gbk.eds", "tool_written.dcf"}) {
        SCOPED_TRACE(name);
        const QString path = cotest::edsPath(name);
        std::string error;
        Sections theirs = configparserSections(path, error);
        ASSERT_TRUE(error.empty()) << error;
        ASSERT_FALSE(theirs.isEmpty());
        int refused = 0;
        for (auto &sec : theirs) {
            Keys kept;
            for (const auto &kv : sec.second) {
                if (kv.second.contains('='))
                    ++refused;
                else
                    kept.append(kv);
            }
            sec.second = kept;
        }
        const Sections ours = oursMerged(path);
        EXPECT_EQ(dump(ours), dump(theirs));
        EXPECT_EQ(refused, QString(name).startsWith("cases_l") || QString(name).startsWith("cases_c") ? 1 : 0);
    }
}

TEST(EdsParserTest, LineEndsDoNotChangeTheDictionary)
{
    QUserEdsParser lf, crlf;
    ASSERT_TRUE(lf.loadFile(cotest::edsPath("cases_lf.eds")));
    ASSERT_TRUE(crlf.loadFile(cotest::edsPath("cases_crlf.eds")));
    ASSERT_EQ(lf.dictObjList.size(), crlf.dictObjList.size());
    for (int i = 0; i < lf.dictObjList.size(); ++i) {
        QList<QStringList> a, b;
        lf.dictObjList[i].toString(a);
        crlf.dictObjList[i].toString(b);
        EXPECT_EQ(a, b);
        EXPECT_EQ(lf.dictObjList[i].childList.size(), crlf.dictObjList[i].childList.size());
    }
    EXPECT_EQ(lf.fileInfo.Description, crlf.fileInfo.Description);
}

TEST(EdsParserTest, HandWrittenCases)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("cases_lf.eds")));

    // [FileInfo]: a value holding brackets is a value, not a section header.
    EXPECT_EQ(p.fileInfo.FileName, "cases.eds");
    EXPECT_EQ(p.fileInfo.Description, "Brackets [in] a value");
    // [DeviceInfo]: exact key case only; counts in hexadecimal are read.
    EXPECT_EQ(p.deviceInfo.VendorName, "ACME");
    EXPECT_EQ(p.deviceInfo.NrOfRXPDO, 4u);
    EXPECT_EQ(p.deviceInfo.NrOfTXPDO, 2u);
    EXPECT_TRUE(p.deviceInfo.LSS_Supported);

    // Objects in order of first appearance: 1018, 2000, 2001, 6040; nothing
    // from the bracketed value ("Array[1]" would have made an object 0x0001).
    QStringList order;
    for (const QUserDictObj &o : p.dictObjList)
        order << QString::number(o.index, 16);
    EXPECT_EQ(order, QStringList({"1018", "2000", "2001", "6040"}));

    QUserDictObj identity;
    ASSERT_TRUE(p.rootObjGet(0x1018, identity));
    // A blank line inside the section does not end it: ObjectType after it counts.
    EXPECT_EQ(identity.ObjectType, 9);
    EXPECT_EQ(identity.SubNumber, 3u);
    EXPECT_TRUE(identity.isRoot);
    // 1018sub2 came before its object and is lost; 1018sub1 and 1018SUB3 are
    // kept in file order; "1018sub" (too short) and "101sub2" are not objects.
    ASSERT_EQ(identity.childList.size(), 2);
    EXPECT_EQ(identity.childList[0].subIndex, 1u);
    EXPECT_EQ(identity.childList[0].DefaultValue, 0x80000000) << "an UNSIGNED32 reads unsigned";
    EXPECT_EQ(identity.childList[0].AccessType, "RO");
    EXPECT_EQ(identity.childList[1].subIndex, 3u);
    // The node-id formula keeps its text; the number is its value for node 0.
    EXPECT_EQ(identity.childList[1].DefaultValueFormula, "$NODEID+0x200");
    EXPECT_EQ(identity.childList[1].DefaultValue, 0x200);
    EXPECT_EQ(identity.childList[1].defaultValueFor(5), 0x205);
    EXPECT_EQ(identity.childList[1].LowLimit, -10) << "a decimal number stays as written";
    EXPECT_TRUE(identity.childList[1].isReadable()) << "const objects are readable";
    EXPECT_FALSE(identity.childList[1].isWritable());

    // The second [2000] replaces the first completely; the later DataType wins.
    QUserDictObj o2000;
    ASSERT_TRUE(p.rootObjGet(0x2000, o2000));
    EXPECT_EQ(o2000.ParameterName, "Second 2000");
    EXPECT_EQ(o2000.DataType, 3);
    EXPECT_FALSE(o2000.PDOMapping);

    // [2001]: "ParameterName=a=b" is refused; "PDOMapping = " is an empty
    // value, which counts as mappable.
    QUserDictObj o2001;
    ASSERT_TRUE(p.rootObjGet(0x2001, o2001));
    EXPECT_TRUE(o2001.ParameterName.isEmpty());
    EXPECT_TRUE(o2001.PDOMapping);

    // The last line has no line end and still counts.
    QUserDictObj cw;
    ASSERT_TRUE(p.objGet(0x6040, 0, cw));
    EXPECT_EQ(cw.DataType, 6);
    EXPECT_FALSE(cw.PDOMapping);
    // An UNSIGNED16 takes the low 16 bits of a wider hexadecimal number.
    EXPECT_EQ(cw.HighLimit, 0xFFFF);
    EXPECT_EQ(cw.ObjFlags, 1u);
    EXPECT_EQ(cw.SubNumber, 3u);
    EXPECT_EQ(cw.LowLimit, INT32_MIN);
}

TEST(EdsParserTest, Gb18030TextIsDecoded)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("cases_gbk.eds")));
    EXPECT_EQ(p.fileInfo.Description, QString::fromUtf8("中文说明"));
    ASSERT_EQ(p.dictObjList.size(), 1);
    EXPECT_EQ(p.dictObjList[0].ParameterName, QString::fromUtf8("设备类型"));
}

TEST(EdsParserTest, NumberRules)
{
    struct Case {
        const char *text;
        int32_t number;
        uint32_t count;
    } cases[] = {
        {"0x7", 7, 7},
        {"0X1a", 26, 26},
        {"0xFFFFFFFF", -1, 0xFFFFFFFFu},
        {"0x80000000", INT32_MIN, 0x80000000u},
        {"0x100000000", 0, 0},
        {"-10", -10, 0},
        // Leading zeros do not count; a wider value keeps its low 32 bits.
        {"0x0000000000000010", 16, 16},
        {"0x00000000FFFFFFFF", -1, 0xFFFFFFFFu},
        {"0xFFFFFFFFFFFF8000", -32768, 0xFFFF8000u},
        {"0x123456789", 0x23456789, 0x23456789u},
        {"0x00000000000000000000000000000001", 1, 1},
        {"0x1G", 0, 0},
        {"3", 3, 3},
        {"2147483648", 0, 2147483648u},
        {"$NODEID+0x200", 0, 0},
        {"0x", 0, 0},
        {"", 0, 0},
        {"12a", 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(QUserEdsParser::numberParse(c.text), c.number) << c.text;
        EXPECT_EQ(QUserEdsParser::countParse(c.text), c.count) << c.text;
    }
}

TEST(EdsParserTest, SectionHeaderRule)
{
    const QString text = QStringLiteral(
        "[1000]\nParameterName=x[2]\n  [1001]  \nObjectType=0x7\nAccessType=[rw]\n[bad\nbad]\n[]\nA=1\n");
    const QList<EdsSection> s = QUserEdsParser::sectionsSplit(text);
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s[0].name, "1000");
    EXPECT_EQ(s[0].lines, QStringList({"ParameterName=x[2]"}));
    EXPECT_EQ(s[1].name, "1001");
    EXPECT_EQ(s[1].lines, QStringList({"ObjectType=0x7", "AccessType=[rw]", "[bad", "bad]"}));
    EXPECT_EQ(s[2].name, "");
}

TEST(EdsParserTest, SectionNameDispatch)
{
    QUserEdsParser p;
    const QStringList lines{"ParameterName=x", "ObjectType=0x7"};
    EXPECT_TRUE(p.edsSegAnalysis("1018", lines));
    EXPECT_TRUE(p.edsSegAnalysis("1018SUB2", lines));
    EXPECT_TRUE(p.edsSegAnalysis("1018sub1", lines));
    EXPECT_FALSE(p.edsSegAnalysis("1018sub", lines));
    EXPECT_FALSE(p.edsSegAnalysis("101sub2", lines));
    EXPECT_FALSE(p.edsSegAnalysis("MandatoryObjects", lines));
    EXPECT_FALSE(p.edsSegAnalysis("1018", QStringList()));
    EXPECT_FALSE(p.edsSegAnalysis("", lines));
    // A section without any known key is not an object.
    EXPECT_FALSE(p.edsSegAnalysis("2000", QStringList{"Foo=1"}));
    QUserDictObj o;
    ASSERT_TRUE(p.dictObjGet(0x1018, 2, o));
    EXPECT_FALSE(o.isRoot);
    EXPECT_FALSE(p.rootObjGet(0x2000, o));
}

// A file that cannot be opened is a failure and changes nothing.
TEST(EdsParserTest, MissingFileFailsAndKeepsTheDictionary)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("drive.eds")));
    const int objects = p.dictObjList.size();
    EXPECT_FALSE(p.loadFile(cotest::edsPath("no-such-file.eds")));
    EXPECT_EQ(p.dictObjList.size(), objects);
    EXPECT_EQ(p.deviceInfo.ProductName, "Sim Drive");
}

// A second load replaces the device: nothing of the first file remains, but
// the PDO records (the user's configuration) stay.
TEST(EdsParserTest, SecondLoadReplacesTheDevice)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("drive.eds")));
    p.txPdoList[0].cobID = 0x181;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("cases_gbk.eds")));
    EXPECT_EQ(p.dictObjList.size(), 1);
    EXPECT_TRUE(p.deviceInfo.ProductName.isEmpty());
    EXPECT_TRUE(p.deviceInfo.VendorName.isEmpty());
    EXPECT_EQ(p.fileInfo.FileName, "gbk.eds");
    EXPECT_TRUE(p.fileInfo.CreatedBy.isEmpty());
    EXPECT_EQ(p.txPdoList[0].cobID, 0x181u);
}

TEST(EdsParserTest, LookupsOnTheDriveFile)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("drive.eds")));
    QUserDictObj o;
    // objGet with sub-index 0 gives the root of a VAR.
    ASSERT_TRUE(p.objGet(0x6040, 0, o));
    EXPECT_TRUE(o.isRoot);
    EXPECT_EQ(o.ParameterName, "Controlword");
    // A VAR has no children, so dictObjGet never finds it.
    EXPECT_FALSE(p.dictObjGet(0x6040, 0, o));
    // objGet with a sub-index gives the sub-object, not the root.
    ASSERT_TRUE(p.objGet(0x1018, 1, o));
    EXPECT_FALSE(o.isRoot);
    EXPECT_EQ(o.ParameterName, "Vendor-ID");
    EXPECT_EQ(o.DefaultValue, 0x4D2);
    ASSERT_TRUE(p.dictObjLookup(0x1018, 0, true, o));
    EXPECT_EQ(o.childList.size(), 5);
    ASSERT_TRUE(p.dictObjLookup(0x1018, 4, false, o));
    EXPECT_EQ(o.DefaultValue, 0x12345678);
    // A failed lookup leaves the record alone.
    o.ParameterName = "kept";
    EXPECT_FALSE(p.objGet(0x5555, 0, o));
    EXPECT_EQ(o.ParameterName, "kept");
    EXPECT_EQ(p.deviceInfo.NrOfRXPDO, 4u);
    EXPECT_EQ(p.fileInfo.ModifiedBy, "Orvane");
}

TEST(EdsParserTest, AttributeSplit)
{
    struct Case {
        const char *line;
        bool ok;
        const char *key;
        const char *value;
    } cases[] = {
        {"A=1", true, "A", "1"},
        {"A=", true, "A", ""},
        {" A = 1 ", true, "A", "1"},
        {"A=1=2", false, "", ""},
        {"no equals", false, "", ""},
        {"=x", true, "", "x"},
    };
    for (const Case &c : cases) {
        QString k, v;
        EXPECT_EQ(QUserEdsParser::attributeGet(c.line, k, v), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(k, c.key);
            EXPECT_EQ(v, c.value);
        }
    }
}

TEST(EdsParserTest, TextBetween)
{
    int end = -5;
    QString out = "untouched";
    EXPECT_TRUE(QUserEdsParser::textBetween("ab[cd]ef[g]", 0, '[', ']', end, out));
    EXPECT_EQ(out, "cd");
    EXPECT_EQ(end, 5);
    EXPECT_TRUE(QUserEdsParser::textBetween("ab[cd]ef[g]", 6, '[', ']', end, out));
    EXPECT_EQ(out, "g");
    out = "untouched";
    end = -5;
    EXPECT_FALSE(QUserEdsParser::textBetween("ab[cd", 0, '[', ']', end, out));
    EXPECT_FALSE(QUserEdsParser::textBetween("abcd]", 0, '[', ']', end, out));
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(end, -5);
}

// A file of which nothing can be read is no EDS: the load fails and what
// was loaded before stays.
TEST(EdsParserTest, EmptyAndSectionlessFilesLoadNothing)
{
    TempWorkDir dir;
    ASSERT_TRUE(cotest::writeAll("empty.eds", ""));
    ASSERT_TRUE(cotest::writeAll("nosections.eds", "ParameterName=x\nObjectType=0x7\n"));
    ASSERT_TRUE(cotest::writeAll("listsonly.eds", "[MandatoryObjects]\nSupportedObjects=1\n1=0x1000\n"));
    ASSERT_TRUE(cotest::writeAll("one.eds", "[1000]\nParameterName=Device type\nObjectType=0x7\nDataType=0x7\n"));
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile("one.eds"));
    for (const char *name : {"empty.eds", "nosections.eds", "listsonly.eds"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(p.loadFile(QString::fromLatin1(name)));
        ASSERT_EQ(p.dictObjList.size(), 1);
        EXPECT_EQ(p.dictObjList[0].ParameterName, "Device type");
        EXPECT_EQ(p.loadReport.damaged, 0);
    }
}

// A configuration tool's DCF (hexadecimal flags, numbers with leading zeros
// and wider than 32 bits, bit-30 TPDO COB-IDs, ParameterValue, compact
// arrays) read by configparser with Python's own numbers, object by object.
TEST(EdsParserTest, ToolWrittenFileMatchesConfigparserNumbers)
{
    REQUIRE_PEER_MODULES("configparser", "json");
    const QString path = cotest::edsPath("tool_written.dcf");
    auto r = peer::run(peer::script("canopen_eds_numbers.py"), {path.toStdString()});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const QJsonArray sections = QJsonDocument::fromJson(QByteArray::fromStdString(r.output)).array();
    ASSERT_FALSE(sections.isEmpty());

    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(path));
    int roots = 0;
    QMap<uint32_t, int> children;
    for (const QJsonValue &s : sections) {
        const QString name = s.toArray().at(0).toString();
        const QJsonObject keys = s.toArray().at(1).toObject();
        SCOPED_TRACE(name.toStdString());
        const uint32_t index = name.left(4).toUInt(nullptr, 16);
        QUserDictObj o;
        if (name.size() == 4) {
            ++roots;
            ASSERT_TRUE(p.rootObjGet(index, o));
        } else {
            ++children[index];
            ASSERT_TRUE(p.dictObjGet(index, name.mid(7).toUInt(nullptr, 16), o));
        }
        auto num = [&](const char *key) { return keys.value(key).toVariant().toLongLong(); };
        EXPECT_EQ(o.ParameterName, keys.value("ParameterName").toString());
        EXPECT_EQ(o.ObjectType, uint8_t(num("ObjectType")));
        EXPECT_EQ(o.DataType, uint16_t(num("DataType")));
        EXPECT_EQ(o.LowLimit, num("LowLimit"));
        EXPECT_EQ(o.HighLimit, num("HighLimit"));
        // A DCF's ParameterValue does not replace the default.
        EXPECT_EQ(o.DefaultValue, num("DefaultValue"));
        if (keys.contains("PDOMapping")) {
            EXPECT_EQ(o.PDOMapping, keys.value("PDOMapping").toBool());
        }
        if (keys.contains("AccessType")) {
            EXPECT_EQ(o.AccessType, keys.value("AccessType").toString());
        }
        // A compact array has no sub-object sections, and none is made up.
        if (keys.contains("CompactSubObj")) {
            EXPECT_TRUE(o.childList.isEmpty());
        }
    }
    EXPECT_EQ(p.dictObjList.size(), roots);
    for (const QUserDictObj &root : p.dictObjList)
        EXPECT_EQ(root.childList.size(), children.value(root.index)) << std::hex << root.index;

    // The cases the comparison is about, spelled out.
    QUserDictObj o;
    ASSERT_TRUE(p.rootObjGet(0x1000, o));
    EXPECT_FALSE(o.PDOMapping) << "PDOMapping=0x0";
    ASSERT_TRUE(p.rootObjGet(0x1001, o));
    EXPECT_TRUE(o.PDOMapping) << "PDOMapping=0x1";
    ASSERT_TRUE(p.rootObjGet(0x6402, o));
    EXPECT_FALSE(o.PDOMapping) << "PDOMapping=00";
    EXPECT_EQ(o.DefaultValue, 0x123456789) << "an UNSIGNED64 keeps its 64 bits";
    EXPECT_EQ(o.HighLimit, 0xFFFFFFFF) << "leading zeros do not count";
    ASSERT_TRUE(p.dictObjGet(0x6401, 1, o));
    EXPECT_EQ(o.LowLimit, -32768);
    EXPECT_EQ(o.HighLimit, 0x7FFF);
    ASSERT_TRUE(p.dictObjGet(0x1800, 1, o));
    EXPECT_EQ(o.DefaultValue, 0x40000185);
}

TEST(EdsParserTest, FlagsReadAsNumbers)
{
    struct Case {
        const char *text;
        bool flag;
    } cases[] = {
        {"0", false}, {"0x0", false}, {"0X00", false}, {"00", false}, {"0x0000000000", false},
        {"1", true},  {"0x1", true},  {"01", true},    {"true", true}, {"", true},
        {"0x100000000", false}, // its low 32 bits are 0
    };
    for (const Case &c : cases)
        EXPECT_EQ(QUserEdsParser::flagParse(c.text), c.flag) << c.text;
}

// Limits and defaults are read as the object's data type reads them: the
// hexadecimal digits of a signed type are its two's complement (an
// INTEGER16 0x8000 is -32768, not 32768 above its maximum 32767), those of
// an unsigned type its bits; a decimal number stays as written. The
// CANopen peer (canopen-py, at development time) reads the same limits for
// INTEGER8/16/32/64, UNSIGNED32/64 and the decimal INTEGER16; it leaves the
// 24- to 56-bit types' limits unread, and its defaults of signed types in
// hexadecimal unsigned, where this reader takes the data type for the
// defaults as well.
TEST(EdsParserTest, LimitsAndDefaultsReadByTheDataType)
{
    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("values.eds")));
    struct Case {
        uint32_t index;
        int64_t low, high, def;
    } const cases[] = {
        {0x2000, -128, 127, -2},
        {0x2001, -32768, 32767, -2},
        {0x2002, -8388608, 8388607, -2},
        {0x2003, INT32_MIN, INT32_MAX, -2},
        {0x2004, -(int64_t(1) << 39), (int64_t(1) << 39) - 1, -2},
        {0x2005, -(int64_t(1) << 47), (int64_t(1) << 47) - 1, -2},
        {0x2006, -(int64_t(1) << 55), (int64_t(1) << 55) - 1, -2},
        {0x2007, INT64_MIN, INT64_MAX, -2},
        {0x2008, 0, 0xFFFFFFFFll, 0xFFFFFFFEll},
        {0x2009, 0, -1 /* the 64 bits of 0xFFFFFFFFFFFFFFFF */, 0x123456789ll},
        {0x200A, -32768, 32767, -2},
        {0x200B, -32768, 32767, 0},
        {0x200C, 1, 255, 254},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString::number(c.index, 16).toStdString());
        QUserDictObj o;
        ASSERT_TRUE(p.rootObjGet(c.index, o));
        EXPECT_EQ(o.LowLimit, c.low);
        EXPECT_EQ(o.HighLimit, c.high);
        EXPECT_EQ(o.DefaultValue, c.def);
        if (c.index != 0x2009) { // UNSIGNED64: its bits compare unsigned
            EXPECT_LE(o.LowLimit, o.HighLimit) << "the minimum is not above the maximum";
        }
    }
    // The attribute rows show the numbers so, the hexadecimal part as wide
    // as the type.
    auto row = [&](uint32_t index, const char *name) {
        QUserDictObj o;
        p.rootObjGet(index, o);
        QList<QStringList> rows;
        o.toString(rows);
        for (const QStringList &r : rows)
            if (r.value(0) == QLatin1String(name))
                return r.value(1);
        return QString();
    };
    EXPECT_EQ(row(0x2001, "LowLimit"), "-32768(0xFFFF8000)");
    EXPECT_EQ(row(0x2001, "HighLimit"), "32767(0x00007FFF)");
    EXPECT_EQ(row(0x2001, "DefaultValue"), "-2(0xFFFFFFFE)");
    EXPECT_EQ(row(0x2007, "LowLimit"), "-9223372036854775808(0x8000000000000000)");
    EXPECT_EQ(row(0x2004, "LowLimit"), "-549755813888(0x8000000000)");
    EXPECT_EQ(row(0x2008, "HighLimit"), "4294967295(0xFFFFFFFF)");
    EXPECT_EQ(row(0x2009, "HighLimit"), "18446744073709551615(0xFFFFFFFFFFFFFFFF)");
}

// Node-id formulas (CiA 306: "$NODEID" plus numbers, in any case and order,
// with or without blanks) keep their text and resolve for a node. The
// CANopen peer (canopen-py, node 5) resolves "$NODEID+0x180" to 389 and
// "$nodeid + 0x200" to 517.
TEST(EdsParserTest, NodeIdFormulasResolveForTheNode)
{
    struct Case {
        const char *text;
        int64_t node5, node127;
    } const cases[] = {
        {"$NODEID+0x180", 0x185, 0x1FF},
        {"$NODEID+384", 0x185, 0x1FF},
        {"0x180+$NODEID", 0x185, 0x1FF},
        {"$nodeid+0x180", 0x185, 0x1FF},
        {"$NodeId + 0x180", 0x185, 0x1FF},
        {"$nodeid + 0x200", 517, 0x27F},
        {"0x80000000+$NODEID+0x400", 0x80000405ll, 0x8000047Fll},
        {"$NODEID", 5, 127},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        QString formula;
        EXPECT_EQ(QUserEdsParser::valueParse(QString::fromLatin1(c.text), 7, &formula), c.node5 - 5);
        EXPECT_EQ(formula, QString::fromLatin1(c.text));
        QUserDictObj o;
        o.DataType = 7;
        o.DefaultValue = c.node5 - 5;
        o.DefaultValueFormula = formula;
        EXPECT_EQ(o.defaultValueFor(5), c.node5);
        EXPECT_EQ(o.defaultValueFor(127), c.node127);
        EXPECT_EQ(o.resolvedFor(5).DefaultValue, c.node5);
        EXPECT_TRUE(o.resolvedFor(5).DefaultValueFormula.isEmpty());
    }
    // Not numbers: 0, and no formula.
    for (const char *text : {"$NODE+1", "$NODEID+", "+$NODEID+1x", "NODEID+1", "$NODEID*2", ""}) {
        QString formula = QStringLiteral("x");
        EXPECT_EQ(QUserEdsParser::valueParse(QString::fromLatin1(text), 7, &formula), 0) << text;
        EXPECT_TRUE(formula.isEmpty()) << text;
    }

    QUserEdsParser p;
    ASSERT_TRUE(p.loadFile(cotest::edsPath("values.eds")));
    QUserDictObj cob;
    ASSERT_TRUE(p.dictObjGet(0x1800, 1, cob));
    EXPECT_EQ(cob.defaultValueFor(5), 389);
    QUserDictObj o;
    ASSERT_TRUE(p.rootObjGet(0x2010, o));
    EXPECT_EQ(o.lowLimitFor(5), 0x185);
    EXPECT_EQ(o.highLimitFor(5), 0x185);
    EXPECT_EQ(o.defaultValueFor(6), 0x186);
    // The EDS page keeps the text and shows the value for the node.
    QList<QStringList> rows;
    ASSERT_TRUE(cob.toString(rows, 5));
    EXPECT_TRUE(rows.contains(QStringList{"DefaultValue", "$NODEID+0x180 = 389(0x00000185)"}));
    rows.clear();
    ASSERT_TRUE(cob.toString(rows));
    EXPECT_TRUE(rows.contains(QStringList{"DefaultValue", "$NODEID+0x180"}));
}

// Sections that could not be read are counted and the first is named; the
// other sections of an EDS are not. Each kind of damage on its own in a
// file that is otherwise whole.
TEST(EdsParserTest, DamagedSectionsAreCounted)
{
    TempWorkDir dir;
    const QString whole = QStringLiteral(
        "[FileInfo]\nFileName=x.eds\n\n[MandatoryObjects]\nSupportedObjects=1\n1=0x1000\n\n"
        "[1000]\nParameterName=Device type\nObjectType=0x7\nDataType=0x0007\nAccessType=ro\n\n"
        "[1018]\nParameterName=Identity\nObjectType=0x9\nSubNumber=2\n\n"
        "[1018sub0]\nParameterName=Count\nObjectType=0x7\nDataType=0x0005\nAccessType=ro\n\n"
        "[Comments]\nLines=1\nLine1=text\n\n");
    struct Case {
        const char *what;
        const char *extra; // put at the end of the file
        const char *first;
    } const cases[] = {
        {"a line that is no key=value", "[2000]\nParameterName=x\nDataType 0x0007\n", "2000"},
        {"a value with an equals sign", "[2000]\nParameterName=a=b\nDataType=0x0007\n", "2000"},
        {"no attribute the dictionary knows", "[2000]\nDenotation=x\n", "2000"},
        {"an object section without lines", "[2000]\n", "2000"},
        {"a sub-object before its object", "[2001sub1]\nParameterName=x\nDataType=0x0005\n", "2001sub1"},
        {"a sub-index that is no number", "[1018subX]\nParameterName=x\nDataType=0x0005\n", "1018subX"},
        {"a name too short", "[1018sub]\nParameterName=x\n", "1018sub"},
        {"an index wider than 16 bits", "[12345]\nParameterName=x\nDataType=0x0005\n", "12345"},
        {"letters too early", "[101sub2]\nParameterName=x\n", "101sub2"},
        {"a broken device line", "[DeviceInfo]\nVendorName=x\nbroken line\n", "DeviceInfo"},
    };
    QUserEdsParser p;
    ASSERT_TRUE(cotest::writeAll("whole.eds", whole.toUtf8()));
    ASSERT_TRUE(p.loadFile("whole.eds"));
    EXPECT_EQ(p.loadReport.damaged, 0);
    EXPECT_EQ(p.loadReport.sections, 6);
    const int extraLine = whole.count(QLatin1Char('\n')) + 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(cotest::writeAll("damaged.eds", (whole + QString::fromLatin1(c.extra)).toUtf8()));
        ASSERT_TRUE(p.loadFile("damaged.eds"));
        EXPECT_EQ(p.loadReport.damaged, 1);
        EXPECT_EQ(p.loadReport.firstDamaged, QString::fromLatin1(c.first));
        EXPECT_EQ(p.loadReport.firstDamagedLine, extraLine);
        QUserDictObj o;
        EXPECT_TRUE(p.rootObjGet(0x1000, o)) << "the rest of the file loads";
    }
    // The hand-written cases: 1018sub2 before its object (line 15), the
    // short and the early names, the refused ParameterName of 2001.
    ASSERT_TRUE(p.loadFile(cotest::edsPath("cases_lf.eds")));
    EXPECT_EQ(p.loadReport.damaged, 4);
    EXPECT_EQ(p.loadReport.firstDamaged, "1018sub2");
    EXPECT_EQ(p.loadReport.firstDamagedLine, 15);
    ASSERT_TRUE(p.loadFile(cotest::edsPath("drive.eds")));
    EXPECT_EQ(p.loadReport.damaged, 0);
}
