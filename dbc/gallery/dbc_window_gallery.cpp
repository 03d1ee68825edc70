// Pictures of the DBC analysis window as a user sees it: the load progress,
// a loaded DBC in the tree, a filled listen list with curves (splines, then
// straight lines), and its help, settings and attribute dialogs. Run by
// scripts/screenshots_dbc.sh under Xvfb:
//   orvane_dbc_window_gallery <output folder>

#include "core/QUserCanMsg.h"
#include "core/QUserSysCfg.h"
#include "dbc/QUserMainWindowDBC.h"
#include "dbc/QUserTableModelDBC.h"
#include "tests/support/QUserPromptScript.h"
#include "widgets/QUserTableView.h"
#include "widgets/QUserTreeWidget.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <QTranslator>

#include <cmath>
#include <cstdio>

namespace {

QString g_out;
int g_failures = 0;

void settle(int ms = 150)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents();
        QThread::msleep(5);
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

QString u(const char *s) { return QString::fromUtf8(s); }

// A vehicle DBC: Intel fields on byte boundaries, so that the frames below
// are easy to build.
const char *kDbc =
    "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU\n\n"
    "BO_ 256 发动机状态: 8 ECU\n"
    " SG_ 转速 : 0|16@1+ (0.25,0) [0|8000] \"rpm\" ECU\n"
    " SG_ 水温 : 16|8@1- (1,40) [-40|120] \"degC\" ECU\n"
    " SG_ 扭矩 : 24|16@1- (0.1,0) [-300|300] \"Nm\" ECU\n"
    " SG_ 油门 : 40|8@1+ (0.5,0) [0|100] \"%\" ECU\n"
    "BO_ 512 VehicleSpeed: 8 ECU\n"
    " SG_ 车速 : 0|16@1+ (0.01,0) [0|250] \"km/h\" ECU\n"
    " SG_ Odometer : 16|32@1+ (0.1,0) [0|400000000] \"km\" ECU\n"
    " SG_ Gear : 48|8@1+ (1,0) [0|8] \"\" ECU\n"
    "BO_ 2566844672 EEC1: 8 ECU\n"
    " SG_ EngTorqueMode : 0|4@1+ (1,0) [0|15] \"\" ECU\n"
    " SG_ ActualTorque : 16|8@1+ (1,-125) [-125|125] \"%\" ECU\n"
    " SG_ EngSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" ECU\n"
    "BO_ 768 BodyControl: 8 ECU\n"
    " SG_ DoorFL : 0|1@1+ (1,0) [0|1] \"\" ECU\n"
    " SG_ DoorFR : 1|1@1+ (1,0) [0|1] \"\" ECU\n"
    " SG_ Headlight : 8|2@1+ (1,0) [0|3] \"\" ECU\n"
    " SG_ 车内温度 : 16|8@1- (0.5,0) [-40|60] \"degC\" ECU\n"
    "BO_ 1024 BatteryStatus: 8 ECU\n"
    " SG_ Voltage : 0|16@1+ (0.001,0) [0|60] \"V\" ECU\n"
    " SG_ Current : 16|16@1- (0.01,0) [-300|300] \"A\" ECU\n"
    " SG_ SOC : 32|8@1+ (0.5,0) [0|100] \"%\" ECU\n"
    "BO_ 1280 Diagnostic: 8 ECU\n"
    " SG_ DtcCount : 0|8@1+ (1,0) [0|255] \"\" ECU\n"
    "CM_ BO_ 256 \"发动机的状态报文\";\n"
    "VAL_ 512 Gear 0 \"P\" 1 \"R\" 2 \"N\" 3 \"D\" ;\n"
    "VAL_ 768 Headlight 0 \"关\" 1 \"近光\" 2 \"远光\" ;\n";

void put16(QByteArray &d, int at, int v)
{
    d[at] = char(v & 0xFF);
    d[at + 1] = char((v >> 8) & 0xFF);
}

QUserCanMsg msg(quint32 id, bool ext, const QByteArray &data)
{
    QUserCanMsg m;
    m.idText = QString::asprintf("%08X ", id);
    m.extended = ext ? 1 : 0;
    m.lenText = QString::number(data.size());
    m.dataText = QString::fromLatin1(data.toHex().toUpper());
    m.hostTime = getCurrentMs();
    return m;
}

// Frames of a drive: engine speed and torque swing, speed ramps, the
// battery voltage ripples.
QVector<QUserCanMsg> frames(double t)
{
    QVector<QUserCanMsg> out;
    QByteArray eng(8, 0);
    put16(eng, 0, int((2500 + 1500 * std::sin(t * 1.3)) / 0.25));
    eng[2] = char(int(90 - 40 + 10 * std::sin(t * 0.4)));
    put16(eng, 3, int((120 * std::sin(t * 2.1)) / 0.1));
    eng[5] = char(int((50 + 45 * std::sin(t * 0.9)) / 0.5));
    out << msg(0x100, false, eng);
    QByteArray spd(8, 0);
    put16(spd, 0, int((60 + 40 * std::sin(t * 0.5)) / 0.01));
    spd[6] = char(3);
    out << msg(0x200, false, spd);
    QByteArray bat(8, 0);
    put16(bat, 0, int((13.2 + 0.6 * std::sin(t * 6)) / 0.001));
    put16(bat, 2, int((-40 * std::cos(t * 1.7)) / 0.01));
    bat[4] = char(int(80 / 0.5));
    out << msg(0x400, false, bat);
    QByteArray eec(8, 0);
    eec[2] = char(int(125 + 60 * std::sin(t * 1.1)));
    put16(eec, 3, int((1800 + 600 * std::cos(t * 0.8)) / 0.125));
    out << msg(0x18FEF100, true, eec);
    return out;
}

void drive(QUserMainWindowDBC *w, int ms)
{
    QElapsedTimer t;
    t.start();
    static double clock = 0;
    while (t.elapsed() < ms) {
        clock += 0.01;
        w->soltCanMsgRec(QStringLiteral("TRNA702-0-1"), frames(clock));
        QApplication::processEvents();
        QThread::msleep(10);
    }
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
    g_out = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots")).absolutePath();
    QDir().mkpath(g_out);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    QUserSysCfg *cfg = QUserSysCfg::instance();
    cfg->setInt("axisXMaxValue", 6000);
    cfg->setInt("seriesType", 0);
    const QString dbc = QDir::current().absoluteFilePath(u("整车网络.dbc"));
    {
        QFile f(dbc);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(QTextCodec::codecForName("GBK")->fromUnicode(u(kDbc)));
    }

    QUserMainWindowDBC w;
    w.resize(1500, 900);
    w.setWindowTitle(u("DBC解析"));
    w.show();
    settle(300);

    {
        QUserPromptScript prompts;
        prompts.answerExec([&](QDialog *d) {
            d->show();
            save(d, "dbc_window_load_progress");
            QElapsedTimer t;
            t.start();
            while (w.isLoadJobRunning() && t.elapsed() < 30000)
                settle(20);
            return 0;
        });
        w.dbcFileLoad(dbc);
    }
    w.msgTree()->topLevelItem(0)->setExpanded(true);
    w.msgTree()->topLevelItem(3)->setExpanded(true);
    settle(700);
    save(&w, "dbc_window_loaded");

    for (const char *m : {"发动机状态", "VehicleSpeed", "BatteryStatus", "EEC1"})
        w.listenMessageAdd(u(m));
    const int charted[] = {0, 1, 2, 4, 7, 8, 11};
    for (int r : charted)
        w.listenSignalChartEnable(r, true);
    w.listenSignalColorSet(0, "220,50,47");
    w.listenSignalColorSet(1, "38,139,210");
    w.listenSignalColorSet(2, "133,153,0");
    w.listenSignalColorSet(4, "211,54,130");
    drive(&w, 5000);
    w.slotDbcSigChartAutoFit();
    w.listenTable()->selectRow(1);
    save(&w, "dbc_window_listening");

    // The same curves as straight lines.
    cfg->setInt("seriesType", 1);
    w.settingsLoad();
    w.chartSeriesClearAll();
    w.listenSignalChartSync();
    drive(&w, 4000);
    save(&w, "dbc_window_lines");

    // Dialogs.
    QUserPromptScript prompts;
    auto shoot = [](const char *name) {
        return [name](QDialog *d) {
            d->show();
            save(d, QString::fromLatin1(name));
            d->hide();
            return 0;
        };
    };
    prompts.answerExec(shoot("dbc_window_help"));
    w.slotDbcHelp();
    prompts.answerExec(shoot("dbc_window_chart_settings"));
    w.slotDbcSigChartSetting();
    prompts.answerExec(shoot("dbc_window_analysis_settings"));
    w.slotDbcSigAnalysisSetting();
    w.msgTree()->setCurrentItem(w.msgTree()->topLevelItem(0)->child(0));
    prompts.answerExec(shoot("dbc_window_signal_attributes"));
    w.soltTreeWidgetPopMenueActAttribute();
    w.listenModel()->windowUpdate();
    settle(200);
    prompts.answerExec(shoot("dbc_window_last_frame"));
    w.soltTableViewSignalItemDoubleClick(w.listenModel()->index(0, 9));

    // A file with damaged lines and extended multiplexing: the note its
    // load shows.
    const QString damaged = QDir::current().absoluteFilePath(QStringLiteral("damaged.dbc"));
    {
        QFile f(damaged);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write("BO_ 256 Mux: 8 ECU\n SG_ Sel M : 0|4@1+ (1,0) [0|15] \"\" X\n"
                " SG_ Sub m1M : 4|4@1+ (1,0) [0|15] \"\" X\n SG_ Broken : 8|8@1+ (1,0) [0|255] X\n"
                "SG_MUL_VAL_ 256 Sub Sel 1-1;\nBO_ 512 NoSender: 8\n");
    }
    prompts.answerExec([&](QDialog *) {
        QElapsedTimer t;
        t.start();
        while (w.isLoadJobRunning() && t.elapsed() < 30000)
            settle(20);
        return 0;
    });
    prompts.answerExec(shoot("dbc_window_load_note"));
    w.dbcFileLoad(damaged);
    return g_failures ? 1 : 0;
}
