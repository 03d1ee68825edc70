// Pictures of the DBC send window for a look by eye: the window with a
// loaded DBC (Chinese comments and units, in the file's code page), a send
// list, and the signal list of one message with a value out of its range;
// and its settings and help dialogs. Run by scripts/screenshots_dbc_send.sh
// under Xvfb:
//   orvane_dbc_send_gallery <output folder>

#include "dbc/QUserMainWindowDBCSend.h"
#include "tests/support/QUserPromptScript.h"
#include "widgets/QUserTableWidget.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <QTranslator>

#include <cstdio>

namespace {

QString g_out;
int g_failures = 0;

void settle(int ms = 200)
{
    for (int i = 0; i < ms / 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

void save(QWidget *w, const QString &name)
{
    settle();
    const QPixmap pix = w->grab();
    const QString path = QDir(g_out).filePath(name + ".png");
    if (pix.isNull() || !pix.save(path)) {
        std::fprintf(stderr, "gallery: could not save %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s %dx%d\n", qPrintable(path), pix.width(), pix.height());
}

const char *kDbc =
    "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU\n\n"
    "BO_ 312 EngineData: 8 ECU\n"
    " SG_ EngineSpeed : 0|16@1+ (0.125,0) [0|8000] \"rpm\" ECU\n"
    " SG_ CoolantTemp : 16|8@1- (1,-40) [-40|120] \"\xe2\x84\x83\" ECU\n"
    " SG_ ThrottlePos : 24|8@1+ (0.4,0) [0|100] \"%\" ECU\n"
    " SG_ GearState : 39|4@0+ (1,0) [0|15] \"\" ECU\n\n"
    "BO_ 2147485248 ENG_1: 8 ECU\n"
    " SG_ FuelRate : 0|32@1+ (0.05,0) [0|3212.75] \"L/h\" ECU\n\n"
    "BO_ 1200 BodyStatus: 2 ECU\n"
    " SG_ DoorOpen : 0|1@1+ (1,0) [0|1] \"\" ECU\n\n"
    "BO_ 2565804596 EEC1: 8 ECU\n"
    " SG_ EngTorque : 0|8@1+ (1,-125) [-125|125] \"%\" ECU\n\n"
    "BO_ 2565870132 PropB: 8 ECU\n"
    " SG_ PropValue : 0|16@1+ (1,0) [0|65535] \"\" ECU\n\n"
    "CM_ BO_ 312 \"\xe5\x8f\x91\xe5\x8a\xa8\xe6\x9c\xba\xe6\x95\xb0\xe6\x8d\xae\";\n"
    "CM_ BO_ 1200 \"\xe8\xbd\xa6\xe8\xba\xab\xe7\x8a\xb6\xe6\x80\x81\";\n"
    "CM_ BO_ 2565804596 \"\xe7\x94\xb5\xe5\xad\x90\xe5\x8f\x91\xe5\x8a\xa8\xe6\x9c\xba\xe6\x8e\xa7\xe5\x88\xb6""1\";\n"
    "VAL_ 312 GearState 0 \"P\" 1 \"R\" 2 \"N\" 3 \"D\" ;\n";

// Answers a modal run by showing the dialog for the picture.
std::function<int(QDialog *)> shoot(const QString &name)
{
    return [name](QDialog *d) {
        d->show();
        save(d, name);
        d->hide();
        return 0;
    };
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // ORVANE_GALLERY_QM=<a .qm file> draws the windows in that language.
    QTranslator translator;
    const QString qm = qEnvironmentVariable("ORVANE_GALLERY_QM");
    if (!qm.isEmpty() && translator.load(qm))
        QCoreApplication::installTranslator(&translator);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_out);
    QTemporaryDir work;
    QDir::setCurrent(work.path());

    // The file in the code page DBC files of this kind are written in.
    const QString dbc = QDir(work.path()).filePath(QStringLiteral("vehicle.dbc"));
    QFile f(dbc);
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    f.write(QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(kDbc)));
    f.close();

    auto *w = new QUserMainWindowDBCSend;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->setWindowTitle(QStringLiteral("DBC发送"));
    w->resize(1100, 680);
    w->show();
    {
        QUserPromptScript prompts;
        prompts.answerExec([](QDialog *d) {
            auto *pd = qobject_cast<QProgressDialog *>(d);
            for (int i = 0; pd && !pd->wasCanceled() && i < 1000; ++i)
                settle(10);
            return 0;
        });
        if (w->dbcFileLoad(dbc) != 0)
            ++g_failures;
    }
    for (const char *n : {"EngineData", "ENG_1", "BodyStatus", "EEC1"})
        w->sendListMsgAdd(QString::fromLatin1(n));
    // One move, so that the list is shown as rebuilt.
    w->setSendListPopIndex(w->sendListTable()->model()->index(2, 1));
    w->soltMsgListPopMenueActDown();
    w->sendListTable()->setCurrentCell(0, QUserMainWindowDBCSend::MsgColName);
    QTableWidget *sig = w->sigListTable();
    const QList<QPair<int, QString>> edits = {{0, QStringLiteral("2EE0")}, {1, QStringLiteral("-55")},
                                              {2, QStringLiteral("62.4")}, {3, QStringLiteral("3")}};
    for (const auto &e : edits) {
        const int col = e.first == 0 || e.first == 3 ? QUserMainWindowDBCSend::SigColRaw
                                                     : QUserMainWindowDBCSend::SigColPhysical;
        emit sig->cellDoubleClicked(e.first, col);
        sig->item(e.first, col)->setText(e.second);
    }
    // Settle the tips away before the picture.
    settle(2200);
    save(w, QStringLiteral("dbc_send_window"));

    {
        QUserPromptScript prompts;
        prompts.answerExec(shoot(QStringLiteral("dbc_send_settings")));
        w->slotDbcSetting();
        prompts.answerExec(shoot(QStringLiteral("dbc_send_help")));
        w->slotDbcHelp();
        w->sendListTable()->setCurrentCell(0, QUserMainWindowDBCSend::MsgColData);
        prompts.answerExec(shoot(QStringLiteral("dbc_send_data")));
        w->soltMsgListItemDoubleClick(w->sendListTable()->currentIndex());
    }
    delete w;
    return g_failures ? 1 : 0;
}
