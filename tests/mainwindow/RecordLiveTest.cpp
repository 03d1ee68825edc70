// Recording and saving live traffic on simulated adapters (the demonstration
// topology), read back by python-can: the frames of the file are the frames
// the tab showed while recording (or held when saved), in the same order,
// with the same identifiers, data, frame kinds and directions.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "tests/support/PeerCheck.h"
#include "core/QUserDevId.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "traffic/QUserRecordWriter.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTabWidget>

#include <chrono>

namespace {

const char *kCh0 = "USBCANFD2-0-0";

std::function<int(QDialog *)> pickModel(const QString &model)
{
    return [model](QDialog *d) {
        auto *combo = d->findChild<QComboBox *>("comboBox_model");
        auto *ok = d->findChild<QPushButton *>("pushButton_ok");
        if (!combo || !ok || combo->findText(model) < 0)
            return 0;
        combo->setCurrentIndex(combo->findText(model));
        ok->click();
        return d->result();
    };
}

int allChannelsOk(QDialog *d)
{
    if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel"))
        all->setChecked(true);
    auto *ok = d->findChild<QPushButton *>("pushButton_ok");
    if (!ok)
        return 0;
    ok->click();
    return d->result();
}

void runFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QTest::qWait(10);
}

// The frames of a trace file as python-can reads them.
QJsonArray pythonRead(const QString &path, std::string *output)
{
    const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"read", path.toStdString()});
    *output = r.output;
    if (r.exitCode != 0)
        return QJsonArray();
    // The JSON is the last line; warnings may come before it.
    const QList<QByteArray> lines = QByteArray::fromStdString(r.output).trimmed().split('\n');
    return QJsonDocument::fromJson(lines.last()).array();
}

// Frame by frame: python-can's reading against what the tab showed.
void expectSame(const QVector<QUserCanMsg> &shown, const QJsonArray &read)
{
    ASSERT_EQ(read.size(), shown.size());
    for (int i = 0; i < shown.size(); ++i) {
        const QUserCanMsg &m = shown.at(i);
        const QJsonObject o = read.at(i).toObject();
        SCOPED_TRACE(i);
        ASSERT_EQ(o.value("id").toVariant().toUInt(), uint32_t(m.idText.trimmed().toUInt(nullptr, 16)));
        EXPECT_EQ(o.value("ext").toBool(), m.extended != 0);
        EXPECT_EQ(o.value("fd").toBool(), m.protocol != 0);
        EXPECT_EQ(o.value("brs").toBool(), m.protocol == 2);
        EXPECT_EQ(o.value("rx").toBool(), m.direction == 0);
        EXPECT_EQ(o.value("data").toString(), QString(m.dataText).remove(' ').toUpper());
        EXPECT_EQ(o.value("len").toInt(), int(m.getLen()));
    }
}

} // namespace

class RecordLiveTest : public MainWindowEnv
{
protected:
    void SetUp() override
    {
        MainWindowEnv::SetUp();
        const QString topology = QStringLiteral(ORVANE_SOURCE_DIR_DEFAULT) + "/resources/sim/demo.topology";
        ASSERT_TRUE(QFileInfo::exists(topology));
        if (!QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so"))
            GTEST_SKIP() << "libkemusb.so not built";
        qputenv("KEMUSB_BACKEND", "sim");
        qputenv("KEMUSB_SIM_CONFIG", QFile::encodeName(topology));
        QKemLib::setPathOverride(QString());
    }
    void TearDown() override
    {
        qunsetenv("KEMUSB_BACKEND");
        qunsetenv("KEMUSB_SIM_CONFIG");
    }
};

TEST_F(RecordLiveTest, RecordedAndSavedFilesHoldWhatTheTabShowed)
{
    REQUIRE_PEER_MODULES("can");
    cfg()->setString("idMergEnable", "OFF"); // the tab lists every frame
    MainWindow w;
    QUserDeviceAdapter *reg = w.devAdapterGet();
    prompts.answerExec(pickModel("USBCANFD2"));
    prompts.answerExec(allChannelsOk);
    w.formGet()->actDevCAN->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);
    QTabWidget *tabs = w.layoutGet()->tabDataShow;
    const QString label = getDevIdTextEx(w.languageCodeGet(), kCh0);
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i) == label)
            tabs->setCurrentIndex(i);
    ASSERT_EQ(w.curTabDevGet(), kCh0);
    QUserTableModelCan *model = w.tabSrvGet().find(kCh0)->model;
    runFor(300);

    QAction *record = w.formGet()->actRecord;
    for (const char *suffix : {"asc", "blf"}) {
        SCOPED_TRACE(suffix);
        const QString file = QDir::current().absoluteFilePath(QStringLiteral("live.") + suffix);
        const int first = model->listCount();
        prompts.answerFile(file);
        record->trigger();
        ASSERT_TRUE(record->isChecked());
        ASSERT_TRUE(reg->recordIsStart(kCh0));
        runFor(400);
        // One frame of our own among the received ones.
        QUserCanMsg own("000001AB ", false, false, "8", "0011223344556677");
        own.status = MsgTagDbcSend;
        ASSERT_TRUE(reg->devSendMsg(kCh0, own));
        // Until the tab shows it, and traffic around it.
        const auto ownShown = [&] {
            for (int i = first; i < model->listCount(); ++i)
                if (model->listAt(i).direction == 1)
                    return true;
            return false;
        };
        runFor(600);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ownShown() && model->listCount() - first > 50; },
                                    testsupport::kGiveUpMs));
        record->trigger();
        EXPECT_FALSE(record->isChecked());
        EXPECT_FALSE(reg->recordIsStart(kCh0));
        // The stop returns at once; the writer closes the file on its own.
        ASSERT_TRUE(QUserRecordWriter::waitAllEnded(std::chrono::seconds(30)));
        const int last = model->listCount();
        ASSERT_GT(last - first, 50);
        QVector<QUserCanMsg> shown;
        for (int i = first; i < last; ++i)
            shown.append(model->listAt(i));
        int sent = 0;
        for (const QUserCanMsg &m : shown)
            sent += m.direction;
        EXPECT_EQ(sent, 1);
        std::string output;
        const QJsonArray read = pythonRead(file, &output);
        expectSame(shown, read);
        if (HasFailure())
            ADD_FAILURE() << output.substr(0, 2000);
    }

    // The whole tab saved while frames keep coming.
    for (const char *suffix : {"asc", "blf"}) {
        SCOPED_TRACE(suffix);
        const QString file = QDir::current().absoluteFilePath(QStringLiteral("tab.") + suffix);
        QVector<QUserCanMsg> held;
        model->msgListGet(held);
        const QString done = QStringLiteral("成功保存%1条...").arg(held.size());
        const int before = log.lines.filter(done).size();
        prompts.answerFile(file);
        w.formGet()->actSave->trigger();
        EXPECT_EQ(log.lines.filter(done).size(), before + 1);
        std::string output;
        expectSame(held, pythonRead(file, &output));
        if (HasFailure())
            ADD_FAILURE() << output.substr(0, 2000);
    }
    EXPECT_EQ(log.lines.filter("tip: 数据保存完成!").size(), 2);
    EXPECT_EQ(prompts.unanswered(), 0);
}
