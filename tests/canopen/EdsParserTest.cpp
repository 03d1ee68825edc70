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
    EXPECT_EQ(identity.childList[0].DefaultValue, INT32_MIN);
    EXPECT_EQ(identity.childList[0].AccessType, "RO");
    EXPECT_EQ(identity.childList[1].subIndex, 3u);
    EXPECT_EQ(identity.childList[1].DefaultValue, 0) << "$NODEID formula reads 0";
    EXPECT_EQ(identity.childList[1].LowLimit, -10);
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
    EXPECT_EQ(cw.HighLimit, -1);
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

TEST(EdsParserTest, EmptyAndSectionlessFilesLoadNothing)
{
    TempWorkDir dir;
    ASSERT_TRUE(cotest::writeAll("empty.eds", ""));
    ASSERT_TRUE(cotest::writeAll("nosections.eds", "ParameterName=x\nObjectType=0x7\n"));
    QUserEdsParser p;
    EXPECT_TRUE(p.loadFile("empty.eds"));
    EXPECT_TRUE(p.dictObjList.isEmpty());
    EXPECT_TRUE(p.loadFile("nosections.eds"));
    EXPECT_TRUE(p.dictObjList.isEmpty());
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
        EXPECT_EQ(o.LowLimit, int32_t(num("LowLimit")));
        EXPECT_EQ(o.HighLimit, int32_t(num("HighLimit")));
        // A DCF's ParameterValue does not replace the default.
        EXPECT_EQ(o.DefaultValue, int32_t(num("DefaultValue")));
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
    EXPECT_EQ(o.DefaultValue, 0x23456789) << "a 64-bit value keeps its low 32 bits";
    EXPECT_EQ(o.HighLimit, -1) << "leading zeros do not count";
    ASSERT_TRUE(p.dictObjGet(0x6401, 1, o));
    EXPECT_EQ(o.LowLimit, -32768);
    EXPECT_EQ(o.HighLimit, 0x7FFF);
    ASSERT_TRUE(p.dictObjGet(0x1800, 1, o));
    EXPECT_EQ(uint32_t(o.DefaultValue), 0x40000185u);
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
