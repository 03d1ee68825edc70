// The send panels and the CAN message editor as a user sees them: the
// demonstration topology's CAN FD adapter opened from the device menu, the
// basic panel with a periodic send under way, the advanced panel with a
// list of frames, and the editor adding an entry. Run by
// scripts/screenshots_sendpanels.sh under Xvfb:
//   orvane_sendpanels_gallery <output folder>

#include "core/QUserDevId.h"
#include "core/QUserSysCfg.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/CanMsgEditDialog.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "widgets/QUserPrompt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStringList>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
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

// The selection dialog picks the next model; the channel dialog takes every
// channel with the settings it offers; boxes are answered OK.
class GalleryPrompt : public QUserPrompt
{
public:
    QStringList models;

    int exec(QDialog *d) override
    {
        if (auto *combo = d->findChild<QComboBox *>("comboBox_model")) {
            if (!models.isEmpty())
                combo->setCurrentIndex(combo->findText(models.takeFirst()));
        } else if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel")) {
            all->setChecked(true);
        } else {
            return 1;
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

QUserCanMsg entry(const QString &note, uint32_t id, int protocol, bool ext, const QString &len, const QString &data,
                  bool on)
{
    QUserCanMsg m(QString::asprintf("%08X ", id), false, ext, len, data);
    m.protocol = uint8_t(protocol);
    m.fdFlags = protocol == 2 ? 1 : 0;
    m.auxText2 = note;
    m.rowEnable = on ? 1 : 0;
    return m;
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

    GalleryPrompt prompt;
    prompt.models = QStringList{"USBCANFD2"};
    QUserPrompt *before = QUserPrompt::setInstance(&prompt);
    {
        MainWindow w;
        w.resize(1440, 820);
        w.move(40, 40);
        w.formGet()->actDevCAN->trigger();
        settle(800);
        selectTab(w, "USBCANFD2-0-0");
        QUserMainWindowLayout *l = w.layoutGet();
        l->splitter->setSizes({440, 320});

        // Basic panel: a CAN FD frame with bit-rate switch, 4 frames per
        // send every 100 ms, identifier counting up; sending.
        QUserMainWindowLayout::BasicSend &b = l->basic;
        b.protocol->setCurrentIndex(2);
        b.frameType->setCurrentIndex(1);
        b.id->setText("18DA10F1");
        b.len->setCurrentText("16");
        b.data->setPlainText("02 10 03 00 00 00 00 00 AA BB CC DD EE FF 11 22");
        b.idInc->setChecked(true);
        b.perSendCnt->setText("4");
        b.sendCnt->setText("1000");
        b.period->setText("100");
        l->tabSend->setCurrentIndex(0);
        b.start->click();
        settle(900);
        save(&w, prefix + "_basic_send");
        save(l->tabSend, prefix + "_basic_send_panel");
        b.stop->click();
        settle(200);

        // Advanced panel: a list of five frames, one unchecked.
        QUserSendTask t;
        w.devAdapterGet()->advanceSendParaGet("USBCANFD2-0-0", t);
        t.msgList = {
            entry("engine", 0x0C9, 0, false, "8", "1F40000000000000", true),
            entry(QString::fromUtf8("诊断请求"), 0x7DF, 0, false, "8", "0201000000000000", true),
            entry("fd brs", 0x300, 2, false, "16", "000102030405060708090A0B0C0D0E0F", true),
            entry("j1939", 0x18FEF100, 1, true, "12", "FF000000FFFFFF0011223344", false),
            entry(QString::fromUtf8("尾帧,测试"), 0x5A5, 0, false, "4", "DEADBEEF", true),
        };
        t.reqSendCnt = 10;
        t.period = 500;
        t.frameInterval = 20;
        w.devAdapterGet()->advanceSendParaSet("USBCANFD2-0-0", t);
        l->tabSend->setCurrentIndex(1);
        w.uiTabAdvSendUpdate();
        settle(400);
        save(&w, prefix + "_adv_send");
        save(l->tabSend, prefix + "_adv_send_panel");

        // The editor as "新增" opens it on a CAN FD channel.
        CanMsgEditDialog add(QObject::tr("新增"));
        QUserCanMsg fd = entry("100", 0x123, 2, false, "64", QString(), true);
        for (int i = 0; i < 16; ++i)
            fd.dataText += QString::asprintf("%02X", i * 0x11);
        fd.dataText += QString(96, '0');
        add.setMsg(true, fd);
        add.show();
        settle(400);
        save(&add, prefix + "_editor_add");
        add.hide();

        // The editor modifying a classic remote frame.
        CanMsgEditDialog edit(QObject::tr("修改"));
        QUserCanMsg classic = entry(QString::fromUtf8("远程请求"), 0x1A0, 0, false, "0", "", true);
        classic.remote = 1;
        edit.setMsg(false, classic);
        edit.show();
        settle(400);
        save(&edit, prefix + "_editor_edit");
        edit.hide();

        w.tabAllClose();
        settle(300);
    }
    QUserPrompt::setInstance(before);
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
    QFont::insertSubstitution(QStringLiteral("SimSun"), cjk);
    QFont appFont(cjk);
    appFont.setPointSize(9);
    QApplication::setFont(appFont);

    qputenv("KEMUSB_BACKEND", "sim");
    if (qEnvironmentVariableIsEmpty("KEMUSB_SIM_CONFIG"))
        qputenv("KEMUSB_SIM_CONFIG", QByteArray(ORVANE_SOURCE_DIR) + "/resources/sim/demo.topology");

    shoot("ZH", "send_zh");
    shoot("EN", "send_en");
    return g_failures == 0 ? 0 : 1;
}
