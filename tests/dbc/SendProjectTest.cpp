// Send projects: a project saved by the send window is a plain DBC project
// file (the analysis window reads the same file through DbcPrjFile, and
// Python's json module finds it well formed), and a project written through
// DbcPrjFile opens in the send window with its send list and signal values.

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/dbc/SendSupport.h"
#include "tests/support/TempWorkDir.h"
#include "core/QUserSysCfg.h"
#include "dbc/DbcPrjFile.h"

using namespace sendtest;
using Win = QUserMainWindowDBCSend;

namespace {

class SendProject : public WorkDirTest
{
protected:
    void SetUp() override
    {
        QUserSysCfg *cfg = QUserSysCfg::instance();
        cfg->setInt("dbcProcotolType", 0);
        cfg->setInt("dbcFdSendProcotol", 2);
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QString smallDbc()
    {
        const QString path = QDir::current().absoluteFilePath("small.dbc");
        EXPECT_TRUE(writeText(path, kSmallDbc));
        return path;
    }

    // A window with three messages in its send list and values typed in.
    void fill(Win &w)
    {
        ASSERT_EQ(loadDbc(w, smallDbc()), 0);
        for (const char *n : {"EngineData", "ENG_1", "EEC1"})
            ASSERT_EQ(w.sendListMsgAdd(n), 0);
        selectRow(w, 0);
        editCell(w, 0, Win::SigColPhysical, "88.5");
        editCell(w, 1, Win::SigColRaw, "D8"); // -40 raw, -80 degrees: out of range
        editCell(w, 2, Win::SigColRaw, "A");
        selectRow(w, 1);
        editCell(w, 0, Win::SigColRaw, "FFFFFFFF");
        editCell(w, 1, Win::SigColPhysical, "64");
    }

    static QStringList encoded(Win &w)
    {
        QStringList out;
        for (QUserDbcMsg m : w.sendMessages()) {
            EXPECT_TRUE(w.dbcMsgEncode(m));
            out << m.strFrameId + "#" + m.strData;
        }
        return out;
    }
};

} // namespace

TEST_F(SendProject, SavedProjectIsAPlainProjectFileAndOpensAgain)
{
    const QString prjPath = QDir::current().absoluteFilePath("send.prj");
    QStringList sentBefore;
    QVector<QUserDbcMsg> listBefore;
    {
        Win w;
        fill(w);
        sentBefore = encoded(w);
        listBefore = w.sendMessages();
        QUserPromptScript prompts;
        prompts.answerFile(prjPath);
        LogCapture log;
        w.form()->actSave->trigger();
        EXPECT_EQ(prompts.records().at(0).title, "保存");
        EXPECT_EQ(prompts.records().at(0).dir, "../");
        EXPECT_EQ(prompts.records().at(0).text, "PRJ File(*.prj);");
        EXPECT_TRUE(log.contains(QStringLiteral("DBC Prj File %1<msg:3,sig:0> Save Success...").arg(prjPath)));
        EXPECT_EQ(w.windowTitle(), "DBC发送 - send.prj");
        EXPECT_EQ(w.tipBox()->tipLabelWidget()->text(), "保存成功!");
    }
    EXPECT_EQ(sentBefore.at(0), "138#B100D800A0000000");

    // What another reader of project files sees.
    DbcPrjFile plain;
    ASSERT_EQ(plain.load(prjPath), 0);
    EXPECT_EQ(plain.dbcFilePath(), QDir::current().absoluteFilePath("small.dbc"));
    EXPECT_TRUE(plain.signalList().isEmpty());
    ASSERT_EQ(plain.messageList().size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QUserDbcMsg &a = plain.messageList().at(i);
        const QUserDbcMsg &b = listBefore.at(i);
        EXPECT_EQ(a.strName, b.strName);
        EXPECT_EQ(a.nID, b.nID);
        EXPECT_EQ(a.nSize, b.nSize);
        EXPECT_EQ(a.nExtend, b.nExtend);
        ASSERT_EQ(a.vSignals.size(), b.vSignals.size());
        for (int k = 0; k < a.vSignals.size(); ++k) {
            EXPECT_EQ(a.vSignals.at(k).nRawValue, b.vSignals.at(k).nRawValue) << i << "/" << k;
            EXPECT_EQ(a.vSignals.at(k).strName, b.vSignals.at(k).strName);
            EXPECT_EQ(a.vSignals.at(k).isSigned, b.vSignals.at(k).isSigned);
        }
    }
    EXPECT_EQ(plain.messageList().at(0).vSignals.at(1).nRawValue, -40);
    EXPECT_EQ(plain.messageList().at(1).vSignals.at(0).nRawValue, 0xFFFFFFFFLL);
    std::string missing;
    if (peer::haveModules({"json"}, &missing)) {
        const auto r = peer::run(peer::script("dbc_prj_check.py"), {prjPath.toStdString()});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        const QJsonObject seen = QJsonDocument::fromJson(QByteArray::fromStdString(r.output)).object();
        EXPECT_EQ(seen.value("msgList").toArray().size(), 3);
        EXPECT_EQ(seen.value("sigList").toArray().size(), 0);
    }

    // Back into a new send window: the list, its values and its frames.
    Win w;
    QUserPromptScript prompts;
    prompts.answerFile(prjPath);
    prompts.answerExec(waitForLoad());
    LogCapture log;
    w.form()->actOpen->trigger();
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("DBC Prj File %1<msg:3,sig:0> Load Success...").arg(prjPath)));
    EXPECT_EQ(w.windowTitle(), "DBC发送 - send.prj");
    EXPECT_EQ(w.tipBox()->tipLabelWidget()->text(), "打开成功!");
    EXPECT_EQ(w.dbcFilePath(), QDir::current().absoluteFilePath("small.dbc"));
    EXPECT_EQ(w.fileMessages().size(), 5);
    EXPECT_EQ(w.fileMsgTree()->topLevelItemCount(), 5);
    ASSERT_EQ(w.sendListTable()->rowCount(), 3);
    EXPECT_EQ(w.sendListTable()->item(2, Win::MsgColName)->text(), "EEC1");
    EXPECT_EQ(encoded(w), sentBefore);
    selectRow(w, 0);
    EXPECT_EQ(cellText(w, 1, Win::SigColRaw), "D8");
    EXPECT_EQ(cellText(w, 1, Win::SigColPhysical), "-80");
    EXPECT_EQ(cellColor(w, 1, Win::SigColPhysical), QColor(255, 0, 0));
}

// A project as the analysis window writes it (its listened messages keyed
// by name, its listen signals in the signal list) opens in the send window:
// the messages become the send list in the file's order, the signal list is
// not used.
TEST_F(SendProject, ProjectFromAPlainProjectFileOpens)
{
    Win source;
    fill(source);
    QMap<QString, QUserDbcMsg> listened;
    for (const QUserDbcMsg &m : source.sendMessages())
        listened.insert(m.strName, m);
    DbcPrjFile prj;
    prj.setPrjFilePath(QDir::current().absoluteFilePath("analysis.prj"));
    prj.setDbcFilePath(QDir::current().absoluteFilePath("small.dbc"));
    prj.addMessageMap(listened);
    prj.addSignalList({source.sendMessages().at(0).vSignals.at(0)});
    ASSERT_EQ(prj.save(), 0);

    Win w;
    QUserPromptScript prompts;
    prompts.answerFile(prj.prjFilePath());
    prompts.answerExec(waitForLoad());
    w.slotDbcPrjLoad();
    QStringList names;
    for (const QUserDbcMsg &m : w.sendMessages())
        names << m.strName;
    EXPECT_EQ(names, (QStringList{"EEC1", "ENG_1", "EngineData"})) << "by name, as the map wrote them";
    EXPECT_EQ(w.sendMessages().at(2).vSignals.at(0).nRawValue, 177);
    EXPECT_EQ(w.windowTitle(), "DBC发送 - analysis.prj");
}

// The project's DBC file is gone: its load error is shown, the project's
// send list is kept and the open still ends with its tip.
TEST_F(SendProject, ProjectWhoseDbcIsGoneKeepsItsSendList)
{
    const QString prjPath = QDir::current().absoluteFilePath("send.prj");
    {
        Win w;
        fill(w);
        QUserPromptScript prompts;
        prompts.answerFile(prjPath);
        w.slotDbcPrjSave();
    }
    ASSERT_TRUE(QFile::remove(QDir::current().absoluteFilePath("small.dbc")));
    Win w;
    QUserPromptScript prompts;
    prompts.answerFile(prjPath);
    prompts.answerExec(waitForLoad());
    prompts.answerExec(1);
    w.slotDbcPrjLoad();
    ASSERT_EQ(prompts.records().size(), 3);
    EXPECT_EQ(prompts.records().at(2).title, "错误");
    EXPECT_TRUE(prompts.records().at(2).text.contains("DBC文件解析失败!!!"));
    EXPECT_EQ(w.sendMessages().size(), 3);
    EXPECT_EQ(w.sendListTable()->rowCount(), 3);
    EXPECT_TRUE(w.fileMessages().isEmpty());
    EXPECT_EQ(w.fileMsgTree()->topLevelItem(0)->text(0), "列表空!请先导入DBC文件!");
    EXPECT_EQ(w.windowTitle(), "DBC发送 - send.prj");
    EXPECT_EQ(w.tipBox()->tipLabelWidget()->text(), "打开成功!");
    // Its messages still encode.
    EXPECT_EQ(encoded(w).at(0), "138#B100D800A0000000");
}

// A save that cannot be written says so and changes nothing; a cancelled
// dialog saves nothing.
TEST_F(SendProject, FailedSaveIsReported)
{
    Win w;
    fill(w);
    QUserPromptScript prompts;
    prompts.answerFile("");
    w.slotDbcPrjSave();
    EXPECT_EQ(prompts.records().size(), 1);
    prompts.answerFile(QDir::current().absoluteFilePath("no/such/folder/x.prj"));
    prompts.answerExec(1);
    w.slotDbcPrjSave();
    ASSERT_EQ(prompts.records().size(), 3);
    EXPECT_EQ(prompts.records().at(2).title, "错误");
    EXPECT_TRUE(prompts.records().at(2).text.contains("保存失败!"));
    EXPECT_EQ(w.windowTitle(), "DBC发送 - small.dbc");
}

// What closing the window would lose: a send list (messages, order, signal
// values) no project file holds. A project save or open leaves nothing
// unsaved; each kind of edit after it does, a value typed back to the
// project's does not; an empty list has nothing to lose.
TEST_F(SendProject, UnsavedEditsFollowTheProject)
{
    const QString prjPath = QDir::current().absoluteFilePath("edits.prj");
    Win w;
    EXPECT_FALSE(w.editsUnsaved()) << "a new window";
    ASSERT_EQ(loadDbc(w, smallDbc()), 0);
    EXPECT_FALSE(w.editsUnsaved()) << "a loaded file alone";
    ASSERT_EQ(w.sendListMsgAdd("EngineData"), 0);
    EXPECT_TRUE(w.editsUnsaved());
    ASSERT_EQ(w.sendListMsgAdd("ENG_1"), 0);
    selectRow(w, 0);
    editCell(w, 0, Win::SigColPhysical, "88.5");
    QUserPromptScript prompts;
    prompts.answerFile(prjPath);
    w.slotDbcPrjSave();
    EXPECT_FALSE(w.editsUnsaved());
    // Selecting rows and sending change nothing that a project keeps.
    selectRow(w, 1);
    selectRow(w, 0);
    EXPECT_FALSE(w.editsUnsaved());

    struct Edit {
        const char *name;
        std::function<void(Win &)> apply;
    } const edits[] = {
        {"raw value typed", [](Win &x) { editCell(x, 1, Win::SigColRaw, "D7"); }},
        {"physical value typed", [](Win &x) { editCell(x, 0, Win::SigColPhysical, "89"); }},
        {"message added", [](Win &x) { ASSERT_EQ(x.sendListMsgAdd("Body"), 0); }},
        {"messages swapped",
         [](Win &x) {
             x.setSendListPopIndex(x.sendListTable()->model()->index(1, Win::MsgColName));
             x.soltMsgListPopMenueActUp();
         }},
    };
    for (const Edit &e : edits) {
        SCOPED_TRACE(e.name);
        prompts.answerFile(prjPath);
        prompts.answerExec(waitForLoad());
        w.slotDbcPrjLoad();
        ASSERT_EQ(prompts.unanswered(), 0);
        ASSERT_EQ(w.sendMessages().size(), 2);
        EXPECT_FALSE(w.editsUnsaved()) << "just opened";
        selectRow(w, 0);
        e.apply(w);
        EXPECT_TRUE(w.editsUnsaved());
    }
    // A value typed back to what the project holds is no edit any more.
    prompts.answerFile(prjPath);
    prompts.answerExec(waitForLoad());
    w.slotDbcPrjLoad();
    selectRow(w, 0);
    const QString saved = cellText(w, 0, Win::SigColPhysical);
    editCell(w, 0, Win::SigColPhysical, "10");
    EXPECT_TRUE(w.editsUnsaved());
    editCell(w, 0, Win::SigColPhysical, saved);
    EXPECT_FALSE(w.editsUnsaved()) << saved.toStdString();
    // Emptied: nothing left to lose.
    ASSERT_EQ(w.sendListMsgAdd("Body"), 0);
    prompts.answerExec(1);
    w.soltMsgListPopMenueActClr();
    EXPECT_TRUE(w.sendMessages().isEmpty());
    EXPECT_FALSE(w.editsUnsaved());
}
