#pragma once
// Helpers of the DBC send window tests: waiting with events, small DBC
// files, the prompt answers a load and the dialogs need, cell edits as a
// user makes them, and a simulated TRNA702 opened through the registry
// (its eight channels share one bus, so what channel 0 sends arrives on
// channel 1).

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>

#include <functional>
#include <mutex>

#include "tests/support/WaitUntil.h"
#include "tests/support/PeerCheck.h"
#include "dbc/QUserMainWindowDBCSend.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "tests/devices/DialogAnswers.h"
#include "tests/devices/PrintQt.h"
#include "tests/devices/SimHarness.h"
#include "tests/support/QUserPromptScript.h"
#include "widgets/QUserTableWidget.h"
#include "widgets/QUserTreeWidget.h"

namespace sendtest {

// Waits, running events, until pred holds or ms pass.
using testsupport::waitUntil;

inline bool writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(text) == text.size();
}

// A small DBC: a standard and an extended message and two J1939 groups,
// Intel and Motorola, signed and unsigned, factor and offset, limits.
inline const char *kSmallDbc =
    "VERSION \"\"\n\n"
    "NS_ :\n\n"
    "BS_:\n\n"
    "BU_: ECU\n\n"
    "BO_ 312 EngineData: 8 ECU\n"
    " SG_ Speed : 0|16@1+ (0.5,0) [0|300] \"km/h\" ECU\n"
    " SG_ Temp : 16|8@1- (1,-40) [-40|100] \"C\" ECU\n"
    " SG_ Flags : 39|4@0+ (1,0) [0|15] \"\" ECU\n\n"
    "BO_ 2147485248 ENG_1: 8 ECU\n"
    " SG_ Rpm : 0|32@1+ (1,0) [0|4294967295] \"rpm\" ECU\n"
    " SG_ Load : 32|8@1+ (1,0) [0|100] \"%\" ECU\n\n"
    "BO_ 1200 Body: 2 ECU\n"
    " SG_ Door : 0|1@1+ (1,0) [0|1] \"\" ECU\n\n"
    "BO_ 2565804596 EEC1: 8 ECU\n"
    " SG_ Torque : 0|8@1+ (1,-125) [-125|125] \"%\" ECU\n\n"
    "BO_ 2565870132 PropB: 8 ECU\n"
    " SG_ Value : 0|16@1+ (1,0) [0|65535] \"\" ECU\n\n"
    "CM_ BO_ 312 \"engine values\";\n"
    "CM_ SG_ 312 Speed \"vehicle speed\";\n"
    "VAL_ 312 Flags 0 \"Off\" 1 \"On\" ;\n";

// The prompt answer of a load's progress dialog: the user waits until the
// worker's end closes it.
inline std::function<int(QDialog *)> waitForLoad(int ms = 30000)
{
    return [ms](QDialog *d) {
        auto *pd = qobject_cast<QProgressDialog *>(d);
        if (!pd)
            return 0;
        waitUntil([pd] { return pd->wasCanceled(); }, ms);
        return 0;
    };
}

// Loads a DBC into the window, the progress dialog answered by waiting.
inline int loadDbc(QUserMainWindowDBCSend &w, const QString &path)
{
    QUserPromptScript prompts;
    prompts.answerExec(waitForLoad());
    return w.dbcFileLoad(path);
}

// The send button of a send-list row.
inline QPushButton *sendButton(QUserMainWindowDBCSend &w, int row)
{
    QWidget *cell = w.sendListTable()->cellWidget(row, QUserMainWindowDBCSend::MsgColSend);
    return cell ? cell->findChild<QPushButton *>() : nullptr;
}

// Selects a send-list row as a click would.
inline void selectRow(QUserMainWindowDBCSend &w, int row)
{
    w.sendListTable()->setCurrentCell(row, QUserMainWindowDBCSend::MsgColName);
}

// Row of a signal in the signal list; -1 when absent.
inline int sigRow(QUserMainWindowDBCSend &w, const QString &name)
{
    QTableWidget *t = w.sigListTable();
    for (int r = 0; r < t->rowCount(); ++r) {
        if (t->item(r, QUserMainWindowDBCSend::SigColName) &&
            t->item(r, QUserMainWindowDBCSend::SigColName)->text() == name)
            return r;
    }
    return -1;
}

// Types a value into a signal-list cell as a user does: double click, then
// the editor commits the text.
inline void editCell(QUserMainWindowDBCSend &w, int row, int column, const QString &text)
{
    QTableWidget *t = w.sigListTable();
    emit t->cellDoubleClicked(row, column);
    t->item(row, column)->setText(text);
}

inline QString cellText(QUserMainWindowDBCSend &w, int row, int column)
{
    QTableWidgetItem *it = w.sigListTable()->item(row, column);
    return it ? it->text() : QString();
}

inline QColor cellColor(QUserMainWindowDBCSend &w, int row, int column)
{
    QTableWidgetItem *it = w.sigListTable()->item(row, column);
    return it ? it->foreground().color() : QColor();
}

// Everything logged while it lives.
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
    bool contains(const QString &text) const
    {
        std::lock_guard<std::mutex> lock(mutex());
        for (const QString &l : lines())
            if (l.contains(text))
                return true;
        return false;
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
    QtMessageHandler previous_ = nullptr;
};

inline bool kemusbBuilt()
{
    return QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so");
}

// A TRNA702 with all eight channels open through the registry, in classic
// CAN or in CAN FD mode, its settings dialog answered through the prompt
// seam.
class SimRig
{
public:
    bool open(bool fd)
    {
        if (!kemusbBuilt())
            return false;
        sim::environment(nullptr);
        QKemLib::setPathOverride(QString());
        collector.attach(&reg);
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

    QVector<QUserCanMsg> received(const QString &devId) const
    {
        QVector<QUserCanMsg> out;
        for (const auto &b : collector.batches) {
            if (b.devId == devId)
                out += b.msgs;
        }
        return out;
    }

    static QString tx() { return QStringLiteral("TRNA702-0-0"); }
    static QString rx() { return QStringLiteral("TRNA702-0-1"); }

    QObject owner;
    QUserDeviceAdapter reg{&owner};
    sim::Collector collector;
};

} // namespace sendtest
