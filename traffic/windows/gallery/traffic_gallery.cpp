// The playback dialog as a user meets it: loading a trace (the progress
// dialog over the frame), the box that reports the load, the dialog during a
// send, and the box at its end; the boxes of a damaged file cut short and of
// a file that is no trace file, in Chinese and in English. Saves one
// picture of each. Run by
// scripts/screenshots_traffic.sh under Xvfb:
//   orvane_traffic_gallery <output folder>

#include "traffic/windows/QUserDlgPlayBack.h"
#include "traffic/QUserTraceFile.h"
#include "widgets/QUserPrompt.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>

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

// What the screen shows around a window (so that windows over it show too).
void saveScreen(const QRect &area, const QString &name)
{
    settle();
    savePixmap(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
               name);
}

// Answers the modal runs: shows each dialog for its picture, then lets the
// gallery decide when it ends.
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
    const QString trace = QDir::current().absoluteFilePath("engine-bench-2024-03-18.asc");
    {
        QUserTraceFile f;
        f.fileCreate(trace);
        for (int i = 0; i < 500000; ++i) {
            QUserCanMsg m;
            m.idText = QString::asprintf("%08X ", 0x100 + i % 64);
            m.lenText = QStringLiteral("8");
            m.dataText = QStringLiteral("0102030405060708");
            m.hostTime = 1700000000000 + i / 4;
            f.write(m);
        }
        f.close();
    }

    GalleryPrompt prompt;
    prompt.file = trace;
    QUserPrompt::setInstance(&prompt);

    auto *dlg = new QUserDlgPlayBack;
    dlg->devSet(QStringLiteral("TRNA702-0-0"), nullptr);
    dlg->dialogShow();
    Dialog *frame = dlg->frameDlg();
    frame->move(60, 60);
    settle(300);
    const QRect area = frame->frameGeometry().adjusted(-40, -40, 40, 40);
    savePixmap(frame->grab(), QStringLiteral("playback_dialog"));

    // Load: the progress dialog over the frame, then the box.
    int step = 0;
    prompt.onExec = [&](QDialog *d) {
        ++step;
        d->show();
        if (step == 1) {
            settle(150);
            saveScreen(area, QStringLiteral("playback_loading"));
            waitFor([&] { return !dlg->jobPending(); }, 60000);
        } else {
            d->move(frame->frameGeometry().center() - QPoint(d->width() / 2, d->height() / 2));
            saveScreen(area, step == 2 ? QStringLiteral("playback_box_loaded") : QStringLiteral("playback_box_end"));
        }
        d->hide();
        return 1;
    };
    dlg->form()->pushButton_load->click();
    settle(200);
    savePixmap(frame->grab(), QStringLiteral("playback_loaded"));

    // A send under way: step 32 every millisecond over half a million frames.
    dlg->form()->lineEdit_time->setText(QStringLiteral("1"));
    dlg->form()->lineEdit_step->setText(QStringLiteral("32"));
    dlg->form()->pushButton_start->click();
    settle(2500);
    savePixmap(frame->grab(), QStringLiteral("playback_sending"));
    dlg->form()->pushButton_stop->click();
    waitFor([&] { return !dlg->jobPending(); }, 10000);
    settle(200);

    // A BLF recording with a damaged byte half way, cut short: the box says
    // both; then a file that is no trace file. In Chinese, then in English.
    const QString damaged = QDir::current().absoluteFilePath("bench-damaged.blf");
    {
        QUserTraceFile f;
        f.fileCreate(damaged);
        for (int i = 0; i < 60000; ++i) {
            QUserCanMsg m;
            m.idText = QString::asprintf("%08X ", 0x100 + i % 64);
            m.lenText = QStringLiteral("8");
            m.dataText = QString::asprintf("%016X", i * 2654435761u);
            m.hostTime = 1700000000000 + i / 4;
            f.write(m);
        }
        f.close();
        QFile file(damaged);
        file.open(QIODevice::ReadWrite);
        QByteArray bytes = file.readAll();
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x5A);
        bytes.truncate(bytes.size() * 9 / 10);
        file.resize(0);
        file.seek(0);
        file.write(bytes);
    }
    const QString notTrace = QDir::current().absoluteFilePath("notes.blf");
    {
        QFile file(notTrace);
        file.open(QIODevice::WriteOnly);
        file.write("These are notes, not a trace.\n");
    }
    QTranslator english;
    for (const QString &lang : {QStringLiteral("zh"), QStringLiteral("en")}) {
        if (lang == QLatin1String("en") && english.load(QCoreApplication::applicationDirPath() + "/lanague_en.qm"))
            QCoreApplication::installTranslator(&english);
        for (const QString &file : {damaged, notTrace}) {
            prompt.file = file;
            step = 0;
            const QString name = file == damaged ? QStringLiteral("playback_box_damaged_") : QStringLiteral("playback_box_not_trace_");
            prompt.onExec = [&](QDialog *d) {
                ++step;
                d->show();
                if (step == 1) {
                    waitFor([&] { return !dlg->jobPending(); }, 60000);
                } else {
                    d->move(frame->frameGeometry().center() - QPoint(d->width() / 2, d->height() / 2));
                    saveScreen(area, name + lang);
                }
                d->hide();
                return 1;
            };
            dlg->form()->pushButton_load->click();
            settle(200);
        }
    }

    dlg->form()->pushButton_cancel->click();
    settle(200);
    QUserPrompt::setInstance(nullptr);
    return g_failures ? 1 : 0;
}
