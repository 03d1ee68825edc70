#include "core/FileKeyValue.h"
#include "core/QUserSettingRange.h"

#include "tests/support/TempWorkDir.h"

#include <QFileInfo>

#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeAll(const std::string &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

} // namespace

class FileKeyValueTest : public WorkDirTest
{
};

TEST_F(FileKeyValueTest, SingleLineAcceptance)
{
    struct Case {
        const char *line;
        bool taken;
        const char *key;
        const char *value;
    } cases[] = {
        {"a,1,a1", true, "a", "1"},
        {"a,1,a2", false, "", ""},
        {"a,1", false, "", ""},
        {"a,1,2,a12", false, "", ""},
        {"k,,k", true, "k", ""},
        {"k,x,y,kx,y", true, "k", "x,y"},      // a value holding ","
        {"k,,,k,", true, "k", ","},
        {"k,x,y,kx,z", false, "", ""},
        {"reqSendCnt,1,reqSendCnt1", true, "reqSendCnt", "1"},
        {",v,v", true, "", "v"},
        {"", false, "", ""},
        {"abc", false, "", ""},
    };
    for (const Case &c : cases) {
        QString k, v;
        EXPECT_EQ(FileKeyValue::parseLine(c.line, k, v), c.taken) << c.line;
        if (c.taken) {
            EXPECT_EQ(k, c.key) << c.line;
            EXPECT_EQ(v, c.value) << c.line;
        }
    }
    EXPECT_TRUE(FileKeyValue::checkLine("a", "1", "a1"));
    EXPECT_FALSE(FileKeyValue::checkLine("a", "1", "a1 "));
}

TEST_F(FileKeyValueTest, SaveFormatAndReload)
{
    FileKeyValue kv;
    kv.setValue("reqSendCnt", "1");
    kv.setValue("k", "");
    kv.setValue("data", "00 11,22");
    kv.setValue("name", "中文");
    ASSERT_TRUE(kv.save("s.ini"));
    EXPECT_EQ(readAll("s.ini"),
              "data,00 11,22,data00 11,22\r\n"
              "k,,k\r\n"
              "name,\xe4\xb8\xad\xe6\x96\x87,name\xe4\xb8\xad\xe6\x96\x87\r\n"
              "reqSendCnt,1,reqSendCnt1\r\n");
    FileKeyValue back;
    ASSERT_TRUE(back.load("s.ini"));
    EXPECT_EQ(back.singleValues(), kv.singleValues());
    QString v = "untouched";
    EXPECT_FALSE(back.getValue("absent", v));
    EXPECT_EQ(v, "untouched");
    EXPECT_TRUE(back.getValue("data", v));
    EXPECT_EQ(v, "00 11,22");

    FileKeyValue none;
    EXPECT_FALSE(none.load("missing.ini"));
    EXPECT_FALSE(none.getValue("k", v));
}

TEST_F(FileKeyValueTest, SaveWritesOnlyWhenChanged)
{
    FileKeyValue kv;
    kv.setValue("a", "1");
    kv.setValue("b", "2");
    ASSERT_TRUE(kv.save("c.ini"));
    // Age the file so a rewrite would show in its modification time.
    auto old = std::filesystem::last_write_time("c.ini") - std::chrono::hours(1);
    std::filesystem::last_write_time("c.ini", old);
    EXPECT_FALSE(kv.isFileChanged("c.ini"));
    ASSERT_TRUE(kv.save("c.ini"));
    EXPECT_EQ(std::filesystem::last_write_time("c.ini"), old);

    // Rejected lines do not count in the comparison.
    writeAll("c.ini", "a,1,a1\r\nbroken line\r\nb,2,b2\r\nx,1,x2\r\n");
    std::filesystem::last_write_time("c.ini", old);
    ASSERT_TRUE(kv.save("c.ini"));
    EXPECT_EQ(std::filesystem::last_write_time("c.ini"), old);

    struct Change {
        const char *what;
        void (*edit)(FileKeyValue &);
    } changes[] = {
        {"new key", [](FileKeyValue &k) { k.setValue("c", "3"); }},
        {"new value", [](FileKeyValue &k) { k.setValue("a", "9"); }},
        {"key dropped", [](FileKeyValue &k) { k.clear(); k.setValue("a", "1"); }},
    };
    for (const auto &c : changes) {
        FileKeyValue copy = kv;
        c.edit(copy);
        EXPECT_TRUE(copy.isFileChanged("c.ini")) << c.what;
    }
    EXPECT_TRUE(kv.isFileChanged("nothing-here.ini"));
    kv.setValue("c", "3");
    ASSERT_TRUE(kv.save("c.ini"));
    EXPECT_EQ(readAll("c.ini"), "a,1,a1\r\nb,2,b2\r\nc,3,c3\r\n");
}

TEST_F(FileKeyValueTest, SaveFailureIsLoggedAndReported)
{
    std::filesystem::create_directory("dir.ini");
    FileKeyValue kv;
    kv.setValue("a", "1");
    EXPECT_FALSE(kv.save("dir.ini"));
    kv.addMultiValue("m", "1");
    EXPECT_FALSE(kv.saveMulti("dir.ini"));
}

TEST_F(FileKeyValueTest, MultiValuesKeepTheirOrder)
{
    FileKeyValue kv;
    kv.addMultiValue("k", "x");
    kv.addMultiValue("k", "y");
    kv.addMultiValue("fastOptMsg", "00 11,22");
    QStringList got{"stale"};
    kv.getMultiValue("k", got);
    EXPECT_EQ(got, (QStringList{"y", "x"}));
    kv.getMultiValue("none", got);
    EXPECT_TRUE(got.isEmpty());
    ASSERT_TRUE(kv.saveMulti("m.ini"));
    const std::string text = readAll("m.ini");
    EXPECT_NE(text.find("k,y\r\nk,x\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("fastOptMsg,00 11,22\r\n"), std::string::npos) << text;

    FileKeyValue back;
    ASSERT_TRUE(back.loadMulti("m.ini"));
    back.getMultiValue("k", got);
    EXPECT_EQ(got, (QStringList{"x", "y"}));
    back.getMultiValue("fastOptMsg", got);
    EXPECT_EQ(got, QStringList{"00 11,22"});

    // After a load the values come back in the reverse of the file order.
    writeAll("n.ini", "adv,1\r\nno comma\r\nmsg,a\r\nmsg,b\r\n");
    ASSERT_TRUE(back.loadMulti("n.ini"));
    back.getMultiValue("msg", got);
    EXPECT_EQ(got, (QStringList{"b", "a"}));
    back.removeMultiValue("msg");
    back.getMultiValue("msg", got);
    EXPECT_TRUE(got.isEmpty());
    back.getMultiValue("adv", got);
    EXPECT_EQ(got, QStringList{"1"});
    back.clearMultiValue();
    back.getMultiValue("adv", got);
    EXPECT_TRUE(got.isEmpty());
    EXPECT_FALSE(back.loadMulti("missing.ini"));
}

// Reads report the file name they were loaded from and the key asked for.
TEST_F(FileKeyValueTest, ReadsReachTheWatchWithTheFileName)
{
    writeAll("one.ini", "period,5,period5\r\n");
    writeAll("many.ini", "msg,a\r\nmsg,b\r\n");
    QStringList seen;
    settingrange::readWatchSet([&seen](const QString &source, const QString &key) { seen << source + "/" + key; });
    FileKeyValue single;
    ASSERT_TRUE(single.load("one.ini"));
    QString v;
    EXPECT_TRUE(single.getValue("period", v));
    FileKeyValue multi;
    ASSERT_TRUE(multi.loadMulti("many.ini"));
    QStringList values;
    multi.getMultiValue("msg", values);
    settingrange::readWatchSet(nullptr);
    EXPECT_EQ(seen, (QStringList{"one.ini/period", "many.ini/msg"}));
}
