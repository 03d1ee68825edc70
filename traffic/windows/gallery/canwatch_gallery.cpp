// The trace viewer as a user meets it, opened from the main window's tools
// launcher: the launcher itself, loading a trace (the progress dialog over
// the window), the loaded table, the tool column with a filter, the table
// after the filter and after a jump to a row, decimal formats, and the
// settings and help boxes. Saves one picture of each. Run by
// scripts/screenshots_traffic.sh under Xvfb:
//   orvane_canwatch_gallery <output folder>

#include "mainwindow/MainWindow.h"
#include "mainwindow/QUserDlgTools.h"
#include "traffic/windows/QUserMainWindowCANWatch.h"
#include "traffic/windows/QUserTableModelCANWatch.h"
#include "traffic/QUserTraceFile.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTableView.h"

#include "core/QUserSysCfg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {

QString g_out;
int g_failures = 0;

void settle(int ms = 200)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

bool waitFor(const std::function<bool()> &pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents();
        QThread::msleep(5);
    }
    return true;
}

void savePixmap(const QPixmap &pix, const QString &name)
{
    const QString path = QDir(g_out).filePath(name + ".png");
    if (pix.isNull() || !pix.save(path)) {
        std::fprintf(stderr, "gallery: could not save %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s %dx%d\n", qPrintable(path), pix.width(), pix.height());
}

void saveScreen(const QRect &area, const QString &name)
{
    settle();
    savePixmap(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
               name);
}

class GalleryPrompt : public QUserPrompt
{
public:
    QString file;
    std::function<int(QDialog *)> onExec;

    int exec(QDialog *dlg) override { return onExec ? onExec(dlg) : 1; }
    QString getOpenFileName(QWidget *, const QString &, const QString &, const QString &, QString *) override
    {
        return file;
    }
};

// A recording as a bench session makes it: classic frames with 8 bytes and
// CAN FD frames with 64 bytes (some with bit-rate switch), both directions,
// a few remote frames, two channels.
void writeTrace(const QString &path, int frames)
{
    QUserTraceFile f;
    f.fileCreate(path);
    uint32_t seed = 12345;
    auto rnd = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return uint8_t(seed >> 16);
    };
    for (int i = 0; i < frames; ++i) {
        QUserCanMsg m;
        const int kind = i % 7;
        const bool fd = kind == 3 || kind == 5;
        m.extended = fd || kind == 6 ? 1 : 0;
        m.idText = QString::asprintf("%08X ", m.extended ? 0x18DA00F1 + (i % 5) * 0x100 : 0x100 + (i % 13) * 0x11);
        m.remote = kind == 4 ? 1 : 0;
        m.protocol = fd ? (kind == 5 ? 2 : 1) : 0;
        const int len = fd ? 64 : 8;
        m.lenText = QString::number(len);
        QString data;
        if (!m.remote) {
            for (int k = 0; k < len; ++k)
                data += QString::asprintf("%02X", rnd());
        }
        m.dataText = data;
        m.direction = i % 4 == 1 ? 1 : 0;
        m.channel = uint8_t(i % 2);
        m.hostTime = 1700000000000 + i * 3;
        f.write(m);
    }
    f.close();
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

    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    QDir().mkpath(QStringLiteral("setting"));
    QUserSysCfg::instance()->setString(QStringLiteral("language"), QStringLiteral("ZH"));
    const QString trace = QDir::current().absoluteFilePath("bench-session-2024-03-18.blf");
    writeTrace(trace, 3000000);

    GalleryPrompt prompt;
    prompt.file = trace;
    QUserPrompt::setInstance(&prompt);

    auto *main = new MainWindow;
    main->setGeometry(40, 40, 1280, 800);
    settle(600);

    // The tools launcher, shown over the main window; the viewer is chosen.
    prompt.onExec = [&](QDialog *d) {
        d->show();
        d->move(main->frameGeometry().center() - QPoint(d->width() / 2, d->height() / 2));
        settle(500); // the list fades in
        savePixmap(d->grab(), QStringLiteral("tools_launcher"));
        auto *list = d->findChild<QListWidget *>();
        for (int i = 0; list && i < list->count(); ++i) {
            if (list->item(i)->text() == QStringLiteral("文件查看器"))
                emit list->itemClicked(list->item(i));
        }
        d->hide();
        return 0;
    };
    main->soltTools();
    QUserMainWindowCANWatch *w = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *v = qobject_cast<QUserMainWindowCANWatch *>(top))
            w = v;
    if (!w) {
        std::fprintf(stderr, "gallery: the viewer did not open\n");
        return 1;
    }
    w->raise();
    settle(400);
    savePixmap(w->grab(), QStringLiteral("canwatch_empty"));

    // Load: the progress dialog over the window.
    const QRect area = w->frameGeometry().adjusted(-20, -20, 20, 20);
    prompt.onExec = [&](QDialog *d) {
        d->show();
        settle(150);
        saveScreen(area, QStringLiteral("canwatch_loading"));
        waitFor([&] { return !w->jobRunning(); }, 120000);
        d->hide();
        return 0;
    };
    w->form()->actFileLoad->trigger();
    // After the tip "操作完成!" (500 ms and its two 100 ms slides) has gone:
    // a picture taken during a slide shows it half drawn over the table.
    settle(1200);
    savePixmap(w->grab(), QStringLiteral("canwatch_loaded"));

    // The tool column, a filter set up in it.
    QUserCanWatchUiCfg &cfg = w->uiCfg();
    cfg.advToolShow->setChecked(true);
    cfg.basicOpt.chkBoxTxMsgShow->setChecked(false);
    cfg.basicOpt.chkBoxRtrMsgShow->setChecked(false);
    cfg.basicOpt.chkBoxIdFliterEn->setChecked(true);
    cfg.basicOpt.lineEditFliterStartId->setText(QStringLiteral("18DA00F1"));
    cfg.basicOpt.lineEditFliterStopId->setText(QStringLiteral("18DA04F1"));
    cfg.basicOpt.lineEditLocateRow->setText(QStringLiteral("1234"));
    settle(300);
    savePixmap(w->grab(), QStringLiteral("canwatch_tools"));

    prompt.onExec = [&](QDialog *d) {
        waitFor([&] { return !w->jobRunning(); }, 120000);
        d->hide();
        return 0;
    };
    cfg.basicOpt.btnFliter->click();
    // The tip while it is held, drawn whole.
    settle(350);
    savePixmap(w->grab(), QStringLiteral("canwatch_filtered"));

    cfg.basicOpt.btnLocate->click();
    cfg.tableModel->windowRebuild();
    settle(900); // the filter's tip gone
    savePixmap(w->grab(), QStringLiteral("canwatch_located"));

    // The settings box; identifier and data in decimal from the next request.
    prompt.onExec = [&](QDialog *d) {
        d->show();
        d->move(w->frameGeometry().center() - QPoint(d->width() / 2, d->height() / 2));
        settle(300);
        savePixmap(d->grab(), QStringLiteral("canwatch_settings"));
        if (auto *t = d->findChild<QTableWidget *>()) {
            for (int r = 0; r < t->rowCount(); ++r)
                if (auto *c = qobject_cast<QComboBox *>(t->cellWidget(r, 1)))
                    c->setCurrentIndex(1);
        }
        for (QPushButton *b : d->findChildren<QPushButton *>())
            if (b->objectName() == QLatin1String("btnOk"))
                b->click();
        d->hide();
        return 1;
    };
    w->form()->actSetting->trigger();
    cfg.advToolShow->setChecked(false);
    cfg.basicOpt.chkBoxIdFliterEn->setChecked(false);
    cfg.basicOpt.chkBoxTxMsgShow->setChecked(true);
    cfg.basicOpt.chkBoxRtrMsgShow->setChecked(true);
    prompt.onExec = [&](QDialog *d) {
        waitFor([&] { return !w->jobRunning(); }, 120000);
        d->hide();
        return 0;
    };
    cfg.basicOpt.btnFliter->click();
    settle(1200);
    savePixmap(w->grab(), QStringLiteral("canwatch_decimal"));

    prompt.onExec = [&](QDialog *d) {
        d->show();
        d->move(w->frameGeometry().center() - QPoint(d->width() / 2, d->height() / 2));
        settle(300);
        savePixmap(d->grab(), QStringLiteral("canwatch_help"));
        d->hide();
        return 0;
    };
    w->form()->actHelp->trigger();

    QUserSysCfg::instance()->setInt(QStringLiteral("cw_msgIdFormat"), 0);
    QUserSysCfg::instance()->setInt(QStringLiteral("cw_msgDataFormat"), 0);
    delete main; // closes the viewer first
    settle(200);
    QUserPrompt::setInstance(nullptr);
    return g_failures ? 1 : 0;
}
