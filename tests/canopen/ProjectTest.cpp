#include "canopen/QUserCANopenPrj.h"

#include "tests/canopen/CanopenTestUtil.h"
#include "tests/support/TempWorkDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <sys/resource.h>

#include <gtest/gtest.h>

namespace {

QUserDictObj sampleVar()
{
    QUserDictObj o;
    o.isRoot = true;
    o.isRead = false;
    o.index = 0x6040;
    o.subIndex = 0;
    o.SubNumber = 0;
    o.ParameterName = QString::fromUtf8("控制字 Controlword");
    o.ObjectType = 7;
    o.DataType = 6;
    o.curValue = 4294967295u;
    o.DefaultValue = -1;
    o.LowLimit = INT32_MIN;
    o.HighLimit = INT32_MAX;
    o.AccessType = "rw";
    o.PDOMapping = true;
    o.ObjFlags = 3;
    o.color = "255,0,128";
    o.updateTime = "12:00:00:000";
    o.mapCount = 9;
    return o;
}

QUserDictObj samplePdo(const char *name, uint32_t cob, bool valid, int children)
{
    QUserDictObj p;
    p.ParameterName = name;
    p.cobID = cob;
    p.pdoEnable = valid;
    p.transmissionType = 254;
    p.syncStartValue = 3;
    p.inhibitTime = 65535;
    p.eventTime = 100;
    for (int i = 0; i < children; ++i) {
        QUserDictObj c;
        c.index = 0x2000 + uint32_t(i);
        c.subIndex = uint32_t(i);
        c.DataType = 5;
        c.ParameterName = QString("mapped %1").arg(i);
        if (i == 1)
            c.mapBitLength = 1;
        p.childList.append(c);
    }
    return p;
}

QUserCANopenPrj sampleProject(const QString &path)
{
    QUserCANopenPrj prj;
    prj.prjFilePathSet(path);
    prj.edsFilePathSet("D:/eds/drive.eds");
    QUserDictObj identity;
    identity.isRoot = true;
    identity.index = 0x1018;
    identity.ObjectType = 9;
    identity.SubNumber = 2;
    identity.ParameterName = "Identity";
    QUserDictObj child;
    child.index = 0x1018;
    child.subIndex = 1;
    child.ParameterName = "Vendor-ID";
    QUserDictObj grandChild;
    grandChild.ParameterName = "deeper";
    grandChild.curValue = 7;
    child.childList.append(grandChild);
    identity.childList.append(child);
    prj.listenDictObjListSet(QList<QUserDictObj>{sampleVar(), identity});
    prj.rxPdoDictObjListSet(QList<QUserDictObj>{samplePdo("RPDO1", 0x201, true, 0), samplePdo("RPDO2", 0x301, false, 1)});
    prj.txPdoDictObjListSet(QList<QUserDictObj>{samplePdo("TPDO1", 0x181, true, 3)});
    return prj;
}

void expectSameRecord(const QUserDictObj &a, const QUserDictObj &b, const std::string &where)
{
    SCOPED_TRACE(where);
    EXPECT_EQ(a.isRoot, b.isRoot);
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.subIndex, b.subIndex);
    EXPECT_EQ(a.SubNumber, b.SubNumber);
    EXPECT_EQ(a.ParameterName, b.ParameterName);
    EXPECT_EQ(a.ObjectType, b.ObjectType);
    EXPECT_EQ(a.DataType, b.DataType);
    EXPECT_EQ(a.curValue, b.curValue);
    EXPECT_EQ(a.DefaultValue, b.DefaultValue);
    EXPECT_EQ(a.LowLimit, b.LowLimit);
    EXPECT_EQ(a.HighLimit, b.HighLimit);
    EXPECT_EQ(a.AccessType, b.AccessType);
    EXPECT_EQ(a.PDOMapping, b.PDOMapping);
    EXPECT_EQ(a.ObjFlags, b.ObjFlags);
    EXPECT_EQ(a.color, b.color);
    EXPECT_EQ(a.cobID, b.cobID);
    EXPECT_EQ(a.transmissionType, b.transmissionType);
    EXPECT_EQ(a.syncStartValue, b.syncStartValue);
    EXPECT_EQ(a.inhibitTime, b.inhibitTime);
    EXPECT_EQ(a.eventTime, b.eventTime);
    EXPECT_EQ(a.pdoEnable, b.pdoEnable);
    EXPECT_EQ(a.mapBitLength, b.mapBitLength);
    ASSERT_EQ(a.childList.size(), b.childList.size());
    for (int i = 0; i < a.childList.size(); ++i)
        expectSameRecord(a.childList[i], b.childList[i], where + "/" + std::to_string(i));
}

} // namespace

class ProjectTest : public WorkDirTest
{
};

TEST_F(ProjectTest, SaveAndLoadRoundTrip)
{
    QUserCANopenPrj saved = sampleProject("p.prj");
    ASSERT_EQ(saved.prjSave(), 0);

    QUserCANopenPrj loaded;
    ASSERT_EQ(loaded.prjLoad("p.prj"), 0);
    QString eds;
    EXPECT_EQ(loaded.edsFilePathGet(eds), 0);
    EXPECT_EQ(eds, "D:/eds/drive.eds");
    QList<QUserDictObj> a, b;
    saved.listenDictObjListGet(a);
    loaded.listenDictObjListGet(b);
    ASSERT_EQ(b.size(), 2);
    for (int i = 0; i < a.size(); ++i)
        expectSameRecord(a[i], b[i], "listen " + std::to_string(i));
    // Fields the file does not carry come back with their defaults.
    EXPECT_TRUE(b[0].isRead);
    EXPECT_TRUE(b[0].updateTime.isEmpty());
    EXPECT_EQ(b[0].mapCount, 0u);
    a.clear();
    b.clear();
    saved.txPdoDictObjListGet(a);
    loaded.txPdoDictObjListGet(b);
    ASSERT_EQ(b.size(), 1);
    expectSameRecord(a[0], b[0], "TPDO1");
    a.clear();
    b.clear();
    saved.rxPdoDictObjListGet(a);
    loaded.rxPdoDictObjListGet(b);
    ASSERT_EQ(b.size(), 2);
    expectSameRecord(a[1], b[1], "RPDO2");
    EXPECT_TRUE(b[0].pdoEnable);
    EXPECT_FALSE(b[1].pdoEnable);

    // The getters append to what the caller holds.
    QList<QUserDictObj> more{QUserDictObj()};
    loaded.listenDictObjListGet(more);
    EXPECT_EQ(more.size(), 3);
}

TEST_F(ProjectTest, GoldenFile)
{
    QUserCANopenPrj prj = sampleProject("p.prj");
    const QByteArray golden =
        cotest::readAll(QString::fromStdString(peer::sourceDir() + "/tests/canopen/golden/project.prj"));
    ASSERT_FALSE(golden.isEmpty());
    EXPECT_EQ(prj.prjText().toStdString(), golden.toStdString());
    // The golden file loads, and saving what loaded writes it again.
    ASSERT_TRUE(cotest::writeAll("golden.prj", golden));
    QUserCANopenPrj back;
    ASSERT_EQ(back.prjLoad("golden.prj"), 0);
    back.edsFilePathSet("D:/eds/drive.eds");
    EXPECT_EQ(back.prjText().toStdString(), golden.toStdString());
}

// Python's json reads the file; every number is a string of decimal text;
// "pdoEnable" holds bit 31 of the COB-ID entry ("1": the PDO is not valid).
TEST_F(ProjectTest, PythonJsonCheck)
{
    REQUIRE_PEER_MODULES("json");
    QUserCANopenPrj prj = sampleProject("p.prj");
    ASSERT_EQ(prj.prjSave(), 0);
    auto r = peer::run(peer::script("canopen_prj_json.py"), {workDir.file("p.prj")});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output,
              "eds D:/eds/drive.eds\n"
              "listenDictObjList/0 24640 0 4294967295 -1 -2147483648 0 控制字 Controlword\n"
              "listenDictObjList/1/0/0 0 0 7 0 0 0 deeper\n"
              "listenDictObjList/1/0 4120 1 0 0 0 0 Vendor-ID\n"
              "listenDictObjList/1 4120 0 0 0 0 0 Identity\n"
              "RxPdoDictObjList/0 0 0 0 0 0 0 RPDO1\n"
              "RxPdoDictObjList/1/0 8192 0 0 0 0 0 mapped 0\n"
              "RxPdoDictObjList/1 0 0 0 0 0 1 RPDO2\n"
              "TxPdoDictObjList/0/0 8192 0 0 0 0 0 mapped 0\n"
              "TxPdoDictObjList/0/1 8193 1 0 0 0 0 mapped 1\n"
              "TxPdoDictObjList/0/2 8194 2 0 0 0 0 mapped 2\n"
              "TxPdoDictObjList/0 0 0 0 0 0 0 TPDO1\n");
}

TEST_F(ProjectTest, EmptyListsAreWrittenAndRead)
{
    QUserCANopenPrj prj;
    prj.prjFilePathSet("e.prj");
    ASSERT_EQ(prj.prjSave(), 0);
    const QJsonObject root = QJsonDocument::fromJson(cotest::readAll("e.prj")).object();
    EXPECT_TRUE(root.value("listenDictObjList").isArray());
    EXPECT_TRUE(root.value("listenDictObjList").toArray().isEmpty());
    EXPECT_EQ(root.value("edsFilePath").toString("x"), "");
    QUserCANopenPrj back;
    ASSERT_EQ(back.prjLoad("e.prj"), 0);
    QList<QUserDictObj> l;
    back.listenDictObjListGet(l);
    EXPECT_TRUE(l.isEmpty());
}

TEST_F(ProjectTest, ReadingRules)
{
    ASSERT_TRUE(cotest::writeAll("r.prj", R"({
        "unknownTop": 5,
        "TxPdoDictObjList": "not an array",
        "RxPdoDictObjList": [1, "x", {"ParameterName": "RPDO1"}],
        "listenDictObjList": [
            {"ObjectType": "300", "inhibitTime": "70000", "index": 4096, "isRoot": "2",
             "PDOMapping": "abc", "curValue": "-1", "subIndex": "4294967296",
             "DefaultValue": "9223372036854775808", "LowLimit": "-2147483648", "HighLimit": "12abc",
             "DataType": "65537", "transmissionType": "511", "eventTime": "65536",
             "syncStartValue": "256", "cobID": "4294967295", "ObjFlags": " 7",
             "pdoEnable": "0", "AccessType": 5, "color": null, "extra": "ignored",
             "childList": [{"ParameterName": "kid"}, 3]},
            {"childList": "no", "pdoEnable": "1", "ParameterName": "second"}
        ]
    })"));
    QUserCANopenPrj prj;
    prj.edsFilePathSet("kept");
    ASSERT_EQ(prj.prjLoad("r.prj"), 0);
    QString eds;
    prj.edsFilePathGet(eds);
    EXPECT_EQ(eds, "kept") << "no edsFilePath member: the path stays";
    QList<QUserDictObj> listen, rx, tx;
    prj.listenDictObjListGet(listen);
    prj.rxPdoDictObjListGet(rx);
    prj.txPdoDictObjListGet(tx);
    EXPECT_TRUE(tx.isEmpty());
    ASSERT_EQ(rx.size(), 1);
    EXPECT_EQ(rx[0].ParameterName, "RPDO1");
    EXPECT_TRUE(rx[0].pdoEnable) << "no pdoEnable member: bit 31 clear, as a new record";
    ASSERT_EQ(listen.size(), 2);
    const QUserDictObj &o = listen[0];
    EXPECT_EQ(o.ObjectType, 44);
    EXPECT_EQ(o.inhibitTime, 4464);
    EXPECT_EQ(o.index, 0u);
    EXPECT_TRUE(o.isRoot);
    EXPECT_FALSE(o.PDOMapping);
    EXPECT_EQ(o.curValue, 0u);
    EXPECT_EQ(o.subIndex, 0u);
    EXPECT_EQ(o.DefaultValue, 0) << "beyond 64 bits";
    EXPECT_EQ(o.LowLimit, INT32_MIN);
    EXPECT_EQ(o.HighLimit, 0);
    EXPECT_EQ(o.DataType, 1);
    EXPECT_EQ(o.transmissionType, 255);
    EXPECT_EQ(o.eventTime, 0);
    EXPECT_EQ(o.syncStartValue, 0);
    EXPECT_EQ(o.cobID, 4294967295u);
    EXPECT_TRUE(o.pdoEnable);
    EXPECT_EQ(o.AccessType, "");
    EXPECT_EQ(o.color, "");
    ASSERT_EQ(o.childList.size(), 1);
    EXPECT_EQ(o.childList[0].ParameterName, "kid");
    EXPECT_TRUE(listen[1].childList.isEmpty());
    EXPECT_FALSE(listen[1].pdoEnable);
}

// Content that is not a project is an error and changes nothing.
TEST_F(ProjectTest, NotAProjectChangesNothing)
{
    const char *contents[] = {"", "not json", "[]", "{}", "{\"other\": 1}", "{\"listenDictObjList\": [", "\"text\""};
    for (const char *content : contents) {
        SCOPED_TRACE(content);
        ASSERT_TRUE(cotest::writeAll("bad.prj", content));
        QUserCANopenPrj prj = sampleProject("p.prj");
        EXPECT_EQ(prj.prjLoad("bad.prj"), QUserCANopenPrj::LoadNotProject);
        QList<QUserDictObj> l;
        prj.listenDictObjListGet(l);
        EXPECT_EQ(l.size(), 2);
        QString eds;
        prj.edsFilePathGet(eds);
        EXPECT_EQ(eds, "D:/eds/drive.eds");
    }
    QUserCANopenPrj prj = sampleProject("p.prj");
    EXPECT_EQ(prj.prjLoad("missing.prj"), QUserCANopenPrj::LoadOpenFail);
    QList<QUserDictObj> l;
    prj.txPdoDictObjListGet(l);
    EXPECT_EQ(l.size(), 1);
    // A file with just one of the members is a project.
    ASSERT_TRUE(cotest::writeAll("only.prj", "{\"edsFilePath\": \"a.eds\"}"));
    EXPECT_EQ(prj.prjLoad("only.prj"), 0);
    l.clear();
    prj.txPdoDictObjListGet(l);
    EXPECT_TRUE(l.isEmpty());
}

TEST_F(ProjectTest, SaveIntoMissingFolderFails)
{
    QUserCANopenPrj prj = sampleProject("no/such/folder/p.prj");
    EXPECT_EQ(prj.prjSave(), -1);
    QUserCANopenPrj unnamed;
    EXPECT_EQ(unnamed.prjSave(), -1);
}

// A save that fails part-way (here: the file size limit) reports the failure
// and leaves the previous file as it was.
TEST_F(ProjectTest, FailedSaveKeepsThePreviousFile)
{
    ASSERT_TRUE(cotest::writeAll("p.prj", "{\"edsFilePath\": \"old.eds\"}"));
    QUserCANopenPrj prj = sampleProject("p.prj");
    ASSERT_GT(prj.prjText().size(), 1000);

    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = prj.prjSave();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, -1);
    EXPECT_EQ(cotest::readAll("p.prj"), QByteArray("{\"edsFilePath\": \"old.eds\"}"));
}
