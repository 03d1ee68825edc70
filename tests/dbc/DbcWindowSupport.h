#pragma once
// Helpers of the DBC window tests: waiting with events, DBC files written by
// hand (code page 936, as kemsig reads them), loads through the window with
// the progress dialog's modal run answered through the prompt seam, a look
// into the window's analysis handle, the settings keys, and a TRNA702 opened
// through the device registry on kemusb's simulated back end.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextCodec>
#include <QThread>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "tests/support/WaitUntil.h"
#include "tests/support/PeerCheck.h"
#include "tests/support/TempWorkDir.h"
#include "core/QUserSysCfg.h"
#include "dbc/DbcLibText.h"
#include "dbc/QKemsigLib.h"
#include "dbc/QUserMainWindowDBC.h"
#include "dbc/QUserTableModelDBC.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "tests/devices/DialogAnswers.h"
#include "tests/devices/PrintQt.h"
#include "tests/devices/SimHarness.h"
#include "tests/support/QUserPromptScript.h"

namespace dbcwin {

using testsupport::waitUntil;

inline void settle(int ms = 20)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(300);
    }
}

// Collects the program's log lines while alive.
class LogCapture
{
public:
    LogCapture()
    {
        std::lock_guard<std::mutex> lock(mutex());
        lines().clear();
        previous_ = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    bool contains(const QString &text) const { return count(text) > 0; }
    int count(const QString &text) const
    {
        std::lock_guard<std::mutex> lock(mutex());
        int n = 0;
        for (const QString &l : lines())
            n += l.contains(text) ? 1 : 0;
        return n;
    }
    QStringList all() const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return lines();
    }

private:
    static QStringList &lines()
    {
        static QStringList l;
        return l;
    }
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &msg)
    {
        std::lock_guard<std::mutex> lock(mutex());
        lines().append(msg);
    }
    QtMessageHandler previous_;
};

// Writes text as kemsig reads DBC files: code page 936.
inline bool writeDbc(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = QTextCodec::codecForName("GBK")->fromUnicode(text);
    return f.write(bytes) == bytes.size();
}

// A small DBC: a standard message with an Intel and a signed Motorola
// signal, an extended message with a Chinese name, and a message without
// signals.
inline QString smallDbc()
{
    return QString::fromUtf8(
        "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU\n\n"
        "BO_ 256 EngineData: 8 ECU\n"
        " SG_ EngSpeed : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" Vector__XXX\n"
        " SG_ EngTemp : 23|8@0- (1,-40) [-168|87] \"degC\" Vector__XXX\n"
        " SG_ Gear : 32|4@1+ (1,0) [0|15] \"\" Vector__XXX\n"
        "\n"
        "BO_ 2566844672 车速报文: 8 ECU\n"
        " SG_ 车速 : 0|16@1+ (0.01,0) [0|655.35] \"km/h\" Vector__XXX\n"
        " SG_ Odo : 16|32@1+ (0.1,0) [0|429496729.5] \"km\" Vector__XXX\n"
        "\n"
        "BO_ 1024 Empty: 0 ECU\n"
        "\n"
        "CM_ BO_ 256 \"engine\";\n"
        "VAL_ 256 Gear 0 \"P\" 1 \"R\" 2 \"N\" 3 \"D\" ;\n");
}

// The progress dialog's modal run lasts until the job has ended, as the
// worker's stop() would close it.
inline void answerLoadRun(QUserPromptScript &prompts, QUserMainWindowDBC *w, int ms = 60000)
{
    prompts.answerExec([w, ms](QDialog *) {
        waitUntil([w] { return !w->isLoadJobRunning(); }, ms);
        return 0;
    });
}

// Loads a DBC file through the window; the dialogs it raises after the job
// (error boxes) are answered with OK.
inline int loadDbc(QUserMainWindowDBC *w, const QString &path, int boxes = 0)
{
    QUserPromptScript prompts;
    answerLoadRun(prompts, w);
    for (int i = 0; i < boxes; ++i)
        prompts.answerExec(1);
    return w->dbcFileLoad(path);
}

// The names of the messages the window's analysis handle holds.
inline QSet<QString> handleNames(QUserMainWindowDBC *w)
{
    QSet<QString> out;
    QKemsigLib *lib = w->kemsig();
    DbcDatabase *db = w->analysisHandle();
    if (!lib || !db)
        return out;
    std::unique_ptr<DbcMessage> m(new DbcMessage);
    const uint32_t n = lib->getMessageCount(db);
    for (uint32_t i = 0; i < n; ++i) {
        if (lib->getMessageByIndex(db, i, m.get()))
            out.insert(DbcLibText::fromField(m->strName));
    }
    return out;
}

// The message boxes of a script so far: (title, texts).
inline QVector<QPair<QString, QString>> boxes(const QUserPromptScript &prompts)
{
    QVector<QPair<QString, QString>> out;
    for (const auto &r : prompts.records()) {
        if (r.kind == QUserPromptScript::Exec && r.className == QLatin1String("Dialog"))
            out.append({r.title, r.text});
    }
    return out;
}

// Every settings key of the window, removed or set to the text given.
inline void settingsReset()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    cfg->setInt("dbcProcotolType", 0);
    cfg->setInt("seriesType", 0);
    cfg->setString("pointsVisible", "FALSE");
    cfg->setString("pointsLabelVisible", "FALSE");
    cfg->setInt("axisXMaxValue", 60000);
    cfg->setString("sendDataAnalysisEnable", "FALSE");
    cfg->setByteArray("dbcSpliteRootRate", QByteArray());
    cfg->setByteArray("dbcSpliteRightRate", QByteArray());
}

QT_BEGIN_NAMESPACE
inline void PrintTo(const QStringList &l, std::ostream *os) { *os << '[' << l.join(", ").toStdString() << ']'; }
QT_END_NAMESPACE

// Lets the model's throttled refresh fill the window of rows now.
inline void modelRefresh(QUserMainWindowDBC *w)
{
    waitUntil([w] { return !w->listenModel()->refreshPending(); });
    settle(110);
    w->listenModel()->windowUpdate();
}

// The visible text of a model cell (window row).
inline QString cellText(QUserMainWindowDBC *w, int row, int col)
{
    QStandardItem *it = w->listenModel()->item(row, col);
    return it ? it->text() : QString();
}

// Fixture: a fresh working directory and the window's settings at their
// defaults; the window under test deletes itself when closed, or here.
class DbcWindowTest : public WorkDirTest
{
protected:
    void SetUp() override
    {
        settingsReset();
        std::srand(7);
    }
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    QString dbcPath(const char *name = "small.dbc") const
    {
        return QString::fromStdString(workDir.file(name));
    }
};

inline bool kemusbBuilt()
{
    return QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so");
}

// A TRNA702 with its eight channels open through the registry (they share
// one bus, so what channel 0 sends arrives on the others), its settings
// dialog answered through the prompt seam.
class SimRig
{
public:
    bool open(bool fd)
    {
        if (!kemusbBuilt())
            return false;
        sim::environment(nullptr);
        QKemLib::setPathOverride(QString());
        QUserPromptScript prompts;
        ChannelPick pick;
        pick.all = true;
        if (fd)
            pick.fdProtocol = 1;
        prompts.answerExec(pickChannel(pick));
        QStringList ids;
        return reg.devOpen(QStringLiteral("TRNA702"), ids) == 0 && ids.size() == 8;
    }
    ~SimRig() { QCoreApplication::sendPostedEvents(); }

    static QString tx() { return QStringLiteral("TRNA702-0-0"); }
    static QString rx() { return QStringLiteral("TRNA702-0-1"); }

    QObject owner;
    QUserDeviceAdapter reg{&owner};
};

} // namespace dbcwin
