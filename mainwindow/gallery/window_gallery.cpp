// Every window and dialog of the program at the size it opens with, as a
// user reaches them from a first start: the main window placed as the
// program places it on the screen it runs on (no stored settings), then
// each ribbon action in turn, the dialogs it runs drawn as they are shown
// and every window it opens drawn as it opened, then closed again. The tool
// windows (DBC analysis, DBC send, CANopen, trace viewer, playback) are
// opened from a channel of the simulated demonstration adapters. Run by
// scripts/screenshots_gallery.sh under Xvfb at several screen sizes:
//   orvane_window_gallery <output folder> [ZH|EN ...]
// Pictures are named <language>-<step>-<what>.png; the list of them with
// their sizes goes to standard output.

#include "core/QUserSysCfg.h"
#include "mainwindow/MainLoop.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserDlgTools.h"
#include "widgets/QUserPrompt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>

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

QString safeName(QString s)
{
    for (QChar &c : s)
        if (!c.isLetterOrNumber() && c != '-' && c != '_')
            c = '_';
    return s;
}

void save(QWidget *w, const QString &name)
{
    const QString path = QDir(g_out).filePath(safeName(name) + ".png");
    const QPixmap pix = w->grab();
    if (pix.isNull() || !pix.save(path)) {
        std::fprintf(stderr, "gallery: could not save %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s %dx%d\n", qPrintable(QFileInfo(path).fileName()), pix.width(), pix.height());
    std::fflush(stdout);
}

// What a widget is called in a picture's name: its object name, else its
// class name.
QString whatOf(const QWidget *w)
{
    const QString name = w->objectName();
    if (!name.isEmpty() && !name.startsWith("qt_"))
        return name;
    return QString::fromLatin1(w->metaObject()->className());
}

// Draws every modal run as it is shown, then answers it: by the handler
// queued for the step, else as a user closing it.
class GalleryPrompt : public QUserPrompt
{
public:
    QString step;
    int inStep = 0;
    // Off: runs are answered without being drawn.
    bool draw = true;
    // Answers the next modal runs in order; each returns the run's result.
    QList<std::function<int(QDialog *)>> answers;

    int exec(QDialog *d) override
    {
        if (!draw)
            return answers.isEmpty() ? 0 : answers.takeFirst()(d);
        d->show();
        settle(400);
        // The content of a frame names it better than the frame.
        QString what = whatOf(d);
        for (QWidget *kid : d->findChildren<QWidget *>()) {
            const QString cls = QString::fromLatin1(kid->metaObject()->className());
            if (cls.startsWith("QUser") || cls.startsWith("uiDlg")) {
                what = cls;
                break;
            }
        }
        save(d, QStringLiteral("%1-%2-%3").arg(step).arg(++inStep).arg(what));
        int result = 0;
        if (!answers.isEmpty())
            result = answers.takeFirst()(d);
        d->hide();
        return result;
    }
    QString getOpenFileName(QWidget *, const QString &, const QString &, const QString &, QString *) override
    {
        return QString();
    }
    QStringList getOpenFileNames(QWidget *, const QString &, const QString &, const QString &, QString *) override
    {
        return QStringList();
    }
    QString getSaveFileName(QWidget *, const QString &, const QString &, const QString &, QString *) override
    {
        return QString();
    }
    QString getExistingDirectory(QWidget *, const QString &, const QString &) override { return QString(); }
    bool openUrl(const QUrl &) override { return true; }
    void beep() override {}
};

// The selection dialog takes the model named, the channel dialog every
// channel with what it offers first.
std::function<int(QDialog *)> pickModel(const QString &model)
{
    return [model](QDialog *d) {
        if (auto *combo = d->findChild<QComboBox *>("comboBox_model"))
            combo->setCurrentIndex(combo->findText(model));
        if (auto *ok = d->findChild<QPushButton *>("pushButton_ok"))
            ok->click();
        return d->result();
    };
}
int allChannels(QDialog *d)
{
    if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel"))
        all->setChecked(true);
    if (auto *ok = d->findChild<QPushButton *>("pushButton_ok"))
        ok->click();
    return d->result();
}

class Gallery
{
public:
    Gallery(const QString &language) : lang(language.toLower()) {}

    void run()
    {
        QTemporaryDir scratch;
        QDir::setCurrent(scratch.path());
        const QString bin = QCoreApplication::applicationDirPath();
        QFile::copy(bin + "/lanague_cn.qm", "lanague_cn.qm");
        QFile::copy(bin + "/lanague_en.qm", "lanague_en.qm");
        QDir().mkpath("setting");
        QUserSysCfg::instance()->reload();
        QUserSysCfg::instance()->setString("language", lang == "zh" ? "ZH" : "EN");

        QUserPrompt *before = QUserPrompt::setInstance(&prompt);
        {
            // As the program's main loop builds and places it.
            MainWindow w;
            main = &w;
            if (QScreen *screen = QGuiApplication::primaryScreen())
                mainWindowPlace(&w, screen->availableGeometry());
            w.show();
            settle(1200);
            known.insert(&w);
            save(&w, lang + "-01-main-first-start");
            Ui_MainWindow *ui = w.formGet();

            // Without a device: the tool bar's channel actions tell so.
            step("02-no-device", [&] { w.soltTabDataPlay(); });

            prompt.answers = {pickModel("USBCANFD2"), allChannels};
            step("03-device-can", [&] { ui->actDevCAN->trigger(); });
            settle(1200);
            save(&w, lang + "-04-main-device-open");

            step("05-display-settings", [&] { ui->actionShowSet->trigger(); });
            step("06-filter", [&] { ui->actFliter->trigger(); });
            step("07-save", [&] { ui->actSave->trigger(); });
            step("08-record", [&] { ui->actRecord->trigger(); });
            if (ui->actRecord->isCheckable() && ui->actRecord->isChecked())
                ui->actRecord->trigger();
            step("09-playback", [&] { ui->actPlay->trigger(); });
            step("10-tools", [&] { ui->actTools->trigger(); });
            step("11-dbc-analysis", [&] { w.soltDbcAnalysis(); });
            step("12-dbc-send", [&] { w.soltDbcSend(); });
            step("13-canopen", [&] { w.soltCANopenAnalysis(); });
            step("14-trace-viewer", [&] { w.soltCANwatch(); });
            step("15-device-lin", [&] { ui->actDevLIN->trigger(); });
            step("16-device-recorder", [&] { ui->actDevRecord->trigger(); });
            // The channels hold frames: the first tool that takes the adapter
            // asks before it closes them (answered yes), the others find
            // them closed.
            prompt.answers = {[](QDialog *) { return 1; }};
            step("17-relay", [&] { ui->actionRepeatCfg->trigger(); });
            step("18-baud-detect", [&] { ui->actionFreqChk->trigger(); });
            step("19-baud-calculator", [&] { ui->actionCalculator->trigger(); });
            step("20-firmware-update", [&] { ui->actionFirmUpdate->trigger(); });
            step("21-about", [&] { ui->actionAboutUs->trigger(); });
            // The language question with live channels again: it says what
            // the restart closes (answered as a user cancelling it).
            prompt.draw = false;
            prompt.answers = {pickModel("USBCANFD2"), allChannels};
            ui->actDevCAN->trigger();
            prompt.answers.clear();
            prompt.draw = true;
            settle(1200);
            step("22-language", [&] { ui->actionLanguageEnglish->trigger(); });
            step("23-quick-guide", [&] { ui->actionFastHelp->trigger(); });
            step("24-manual", [&] { ui->actionHelp->trigger(); });
            w.tabAllClose();
            settle(300);
            main = nullptr;
        }
        QUserPrompt::setInstance(before);
        QDir::setCurrent(QDir::tempPath());
    }

private:
    // Runs one step; the windows it opened are drawn as they opened, then
    // closed.
    void step(const QString &name, const std::function<void()> &act)
    {
        prompt.step = lang + "-" + name;
        prompt.inStep = 0;
        act();
        settle(800);
        int n = prompt.inStep;
        const QList<QWidget *> tops = QApplication::topLevelWidgets();
        for (QWidget *top : tops) {
            if (!top->isVisible() || known.contains(top) || top->windowType() == Qt::ToolTip ||
                top->windowType() == Qt::Popup)
                continue;
            save(top, QStringLiteral("%1-%2-%3").arg(prompt.step).arg(++n).arg(whatOf(top)));
        }
        if (main)
            main->toolWindowsClose();
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->isVisible() && !known.contains(top) && top->windowType() != Qt::ToolTip)
                top->close();
        settle(300);
        prompt.answers.clear();
    }

    QString lang;
    GalleryPrompt prompt;
    MainWindow *main = nullptr;
    QSet<QWidget *> known;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(g_out);
    g_out = QDir(g_out).absolutePath();

    qputenv("KEMUSB_BACKEND", "sim");
    if (qEnvironmentVariableIsEmpty("KEMUSB_SIM_CONFIG"))
        qputenv("KEMUSB_SIM_CONFIG", QByteArray(ORVANE_SOURCE_DIR) + "/resources/sim/demo.topology");

    QStringList languages;
    for (int i = 2; i < argc; ++i)
        languages << QString::fromLatin1(argv[i]).toUpper();
    if (languages.isEmpty())
        languages = QStringList{"ZH", "EN"};
    for (const QString &language : languages) {
        Gallery g(language);
        g.run();
    }
    return g_failures == 0 ? 0 : 1;
}
