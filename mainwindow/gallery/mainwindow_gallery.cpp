// Live traffic in the main window as a user sees it: the demonstration
// topology's simulated CAN FD and classic adapters opened from the device
// menu (selection and channel dialogs answered as a user leaves them), a
// frame sent on one channel, then pictures of a data tab in the merged view
// and in the list, and of the classic adapter pulled out (through the
// simulator's control file: the box that names it, the window showing the
// channel lost), in Chinese and in English. Run by
// scripts/screenshots_mainwindow.sh under Xvfb:
//   orvane_mainwindow_gallery <output folder>

#include "core/QUserDevId.h"
#include "core/QUserSysCfg.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTableView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QPushButton>
#include <QStringList>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

QString g_out;
int g_failures = 0;

void settle(int ms)
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
    const QString path = QDir(g_out).filePath(name + ".png");
    const QPixmap pix = w->grab();
    if (pix.isNull() || !pix.save(path)) {
        std::fprintf(stderr, "gallery: could not save %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s %dx%d\n", qPrintable(path), pix.width(), pix.height());
}

// The selection dialog picks the next model of the list; the channel
// dialogs take every channel with the settings they offer.
class GalleryPrompt : public QUserPrompt
{
public:
    QStringList models;
    // The next settings dialog is drawn under this name, then cancelled.
    QString settingsShot;
    // The next message box is drawn under this name, then answered.
    QString boxShot;

    int exec(QDialog *d) override
    {
        if (!settingsShot.isEmpty() && d->findChild<QUserDlgSetting *>()) {
            d->show();
            settle(400);
            save(d, settingsShot);
            settingsShot.clear();
            d->hide();
            return 0;
        }
        if (auto *combo = d->findChild<QComboBox *>("comboBox_model")) {
            if (!models.isEmpty())
                combo->setCurrentIndex(combo->findText(models.takeFirst()));
        } else if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel")) {
            all->setChecked(true);
        } else {
            if (!boxShot.isEmpty()) {
                d->show();
                settle(400);
                save(d, boxShot);
                boxShot.clear();
                d->hide();
            }
            return 1; // boxes: OK
        }
        if (auto *ok = d->findChild<QPushButton *>("pushButton_ok"))
            ok->click();
        return d->result();
    }
};

void selectTab(MainWindow &w, const QString &devId)
{
    QTabWidget *tabs = w.layoutGet()->tabDataShow;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i) == getDevIdTextEx(w.languageCodeGet(), devId))
            tabs->setCurrentIndex(i);
}

// The display setting changed as the settings dialog does it: headers of
// the current tab, then its model reloads.
void mergeShow(MainWindow &w, bool merge)
{
    QUserSysCfg::instance()->setString("idMergEnable", merge ? "ON" : "OFF");
    if (QUserWindowTabData *tab = w.curTabDataGet())
        w.tabDataHeaderSet(tab->view, tab->model);
    w.curTabModelReload();
    // The window follows the newest rows again.
    if (QUserWindowTabData *tab = w.curTabDataGet())
        tab->model->windowFollow(0);
}

void shoot(const QString &language, const QString &prefix)
{
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    const QString bin = QCoreApplication::applicationDirPath();
    QFile::copy(bin + "/lanague_cn.qm", "lanague_cn.qm");
    QFile::copy(bin + "/lanague_en.qm", "lanague_en.qm");
    QDir().mkpath("setting");
    QUserSysCfg::instance()->reload();
    QUserSysCfg::instance()->setString("language", language);
    QUserSysCfg::instance()->setString("idMergEnable", "ON");

    // Lines appended to this file pull simulated adapters out (kemusb/README.md).
    const QString control = QDir::current().absoluteFilePath("sim-control.txt");
    qputenv("KEMUSB_SIM_CONTROL", QFile::encodeName(control));
    auto controlLine = [&](const char *line) {
        QFile f(control);
        if (f.open(QIODevice::Append))
            f.write(line);
    };

    GalleryPrompt prompt;
    prompt.models = QStringList{"USBCANFD2", language == "ZH" ? "USBCAN2-A" : "USBCAN2-B"};
    QUserPrompt *before = QUserPrompt::setInstance(&prompt);
    {
        MainWindow w;
        w.resize(1440, 760);
        w.move(40, 40);
        w.formGet()->actDevCAN->trigger();
        w.formGet()->actDevCAN->trigger();
        settle(1500);
        // A frame sent on the CAN FD adapter's first channel: "sent" there,
        // received on the second.
        QUserCanMsg fd;
        fd.idText = "000005A5 ";
        fd.protocol = 2;
        fd.fdFlags = 1;
        fd.lenText = "12";
        fd.dataText = "C0C1C2C3C4C5C6C7C8C9CACB";
        fd.status = MsgTagCanOpen;
        w.devAdapterGet()->devSendMsg("USBCANFD2-0-0", fd);
        settle(1500);

        selectTab(w, "USBCANFD2-0-0");
        mergeShow(w, true);
        settle(600);
        save(&w, prefix + "_fd_merged");
        mergeShow(w, false);
        settle(600);
        save(&w, prefix + "_fd_list");
        selectTab(w, "USBCAN2-0-1");
        mergeShow(w, true);
        settle(600);
        save(&w, prefix + "_classic_merged");
        // The classic adapter pulled out while its tab is current.
        prompt.boxShot = prefix + "_adapter_lost_box";
        controlLine("unplug classic\n");
        QElapsedTimer waited;
        waited.start();
        while (!prompt.boxShot.isEmpty() && waited.elapsed() < 10000)
            settle(20);
        if (!prompt.boxShot.isEmpty()) {
            std::fprintf(stderr, "gallery: no box for the adapter pulled out\n");
            ++g_failures;
        }
        settle(400);
        save(&w, prefix + "_adapter_lost");
        controlLine("replug classic\n");
        prompt.settingsShot = prefix + "_display_settings";
        w.formGet()->actionShowSet->trigger();
        w.tabAllClose();
        settle(300);
    }
    QUserPrompt::setInstance(before);
    qunsetenv("KEMUSB_SIM_CONTROL");
    QDir::setCurrent(QDir::tempPath());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(g_out);
    g_out = QDir(g_out).absolutePath();
    const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
    QFont::insertSubstitution(QStringLiteral("Microsoft YaHei"), cjk);
    QFont::insertSubstitution(QString::fromUtf8("微软雅黑"), cjk);
    QFont appFont(cjk);
    appFont.setPointSize(9);
    QApplication::setFont(appFont);

    qputenv("KEMUSB_BACKEND", "sim");
    if (qEnvironmentVariableIsEmpty("KEMUSB_SIM_CONFIG"))
        qputenv("KEMUSB_SIM_CONFIG", QByteArray(ORVANE_SOURCE_DIR) + "/resources/sim/demo.topology");

    shoot("ZH", "live_zh");
    shoot("EN", "live_en");
    return g_failures == 0 ? 0 : 1;
}
