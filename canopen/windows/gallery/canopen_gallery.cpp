// The CANopen window as a user meets it: at the size it opens with (half
// the screen) and with its ribbon, its three right-hand pages beside a frame
// log with a little traffic, the "EDS" page with a dictionary, a listen list
// and a PDO mapping, the help box, and the EDS page again after the project
// is reopened in a new window. Saves one picture of each, named
// <prefix><page>.png. Run by scripts/screenshots_canopen.sh under Xvfb:
//   orvane_canopen_gallery <output folder> [prefix]

#include "canopen/QUserCANopenUiSetting.h"
#include "canopen/QUserEdsParser.h"
#include "canopen/windows/QUserMainWindowCANopen.h"
#include "canopen/windows/QUserTableModelEDS.h"
#include "widgets/QRibbon.h"
#include "widgets/QUserPrompt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>

#include <cstdio>
#include <functional>

namespace {

QString g_out;
QString g_prefix;
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

void save(QWidget *w, const QString &name)
{
    settle(250);
    const QString path = QDir(g_out).filePath(g_prefix + name + ".png");
    const QPixmap pix = w->grab();
    if (pix.isNull() || !pix.save(path)) {
        std::fprintf(stderr, "gallery: could not save %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s %dx%d\n", qPrintable(path), pix.width(), pix.height());
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
    QString getSaveFileName(QWidget *, const QString &, const QString &, const QString &, QString *) override
    {
        return saveFile;
    }
    QString saveFile;
};

QUserCanMsg frame(uint32_t id, const char *hex, bool sent = false)
{
    const QByteArray data = QByteArray::fromHex(hex);
    QUserCanMsg m(QString::asprintf("%08X ", id), false, false, QString::number(data.size()),
                  QString::fromLatin1(data.toHex().toUpper()));
    m.direction = sent ? 1 : 0;
    m.status = sent ? 104 : 0;
    return m;
}

template<class T>
T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
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
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(g_out);
    g_out = QDir(g_out).absolutePath();
    g_prefix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
    QFont::insertSubstitution(QStringLiteral("Microsoft YaHei"), cjk);
    QFont::insertSubstitution(QString::fromUtf8("微软雅黑"), cjk);
    QFont appFont(cjk);
    appFont.setPointSize(9);
    QApplication::setFont(appFont);

    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    GalleryPrompt prompt;
    prompt.file = QStringLiteral(ORVANE_SOURCE_DIR "/tests/canopen/eds/drive.eds");
    QUserPrompt::setInstance(&prompt);

    // As the main window opens it: the ribbon, half the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    auto open = [&] {
        auto *win = new QUserMainWindowCANopen;
        win->setWindowTitle(QStringLiteral("CANopen - TRNA702-0-0"));
        QRibbonOptions ribbon;
        ribbon.title = QCoreApplication::translate("MainWindow", "CANopen操作");
        ribbon.iconPath = QStringLiteral(":/res/canopen.png");
        ribbon.showStyleButton = false;
        ribbon.startExpanded = false;
        QRibbon::install(win, ribbon);
        win->move(0, 0);
        win->resize(screen.width() / 2, screen.height() / 2);
        win->show();
        settle();
        return win;
    };
    auto *w = open();

    // Five quick operations, through the settings dialog.
    prompt.onExec = [](QDialog *d) {
        auto *table = d->findChild<QTableWidget *>();
        if (table)
            qobject_cast<QLineEdit *>(table->cellWidget(0, 1))->setText(QStringLiteral("5"));
        if (auto *ok = d->findChild<QPushButton *>(QStringLiteral("btnOk")))
            ok->click();
        return d->result();
    };
    w->slotProcotolParaSet();
    prompt.onExec = nullptr;
    const QStringList texts{"S,D,000,01 05", "S,D,605,40 41 60 00 00 00 00 00", "S,D,080,", "S,R,185,",
                            "E,D,18FF0001,11 22 33 44"};
    const QStringList notes{"启动节点5", "读状态字0x6041", "同步报文", "远程请求TPDO1", "扩展帧示例"};
    for (int i = 0; i < texts.size(); ++i) {
        child<QLineEdit>(w, qPrintable(QStringLiteral("lineEditFastOptMsg%1").arg(i)))->setText(texts[i]);
        child<QLineEdit>(w, qPrintable(QStringLiteral("lineEditFastOptDesc%1").arg(i)))->setText(notes[i]);
    }

    // Panel fields as a user would fill them.
    const QList<QPair<const char *, const char *>> fields{
        {"lineEditCia301NodeId", "5"},        {"lineEditSyncCnt", "1"},
        {"lineEditErrCode", "1081"},          {"lineEditErrRegister", "11"},
        {"lineEditUserErrCode", "0102030405"}, {"lineEditPdoData", "11 22 33 44"},
        {"lineEditSdoFastWriteIndex", "6040"}, {"lineEditSdoFastWriteSubIndex", "00"},
        {"lineEditSdoFastWriteData", "0F 00"}, {"lineEditSdoFastReadIndex", "6041"},
        {"lineEditSdoFastReadSubIndex", "00"}, {"lineEditCia402NodeId", "5"},
        {"lineEditVelDstSpeed", "300"},        {"lineEditVelAccSpeed", "1000"},
        {"lineEditVelDecSpeed", "1000"},       {"lineEditTorDst", "100"},
        {"lineEditTorSlope", "50"},            {"linEditPosAAccSpeed", "20000"},
        {"linEditPosAccSpeed", "10000"},       {"linEditPosDecSpeed", "10000"},
        {"lineEditPosAbsDst", "5000"},         {"linEditPosRelDst", "1000"},
    };
    for (const auto &f : fields)
        if (auto *e = child<QLineEdit>(w, f.first))
            e->setText(QString::fromUtf8(f.second));
    child<QComboBox>(w, "comBoxSdoFastWriteLen")->setCurrentIndex(1);

    // The EDS file and a listen list.
    w->slotEdsFileLoad();
    settle(400);

    // A little traffic: boot-up, start, SDO, heartbeats, PDOs, EMCY.
    const QVector<QUserCanMsg> traffic{
        frame(0x705, "00"),
        frame(0x000, "0105", true),
        frame(0x705, "05"),
        frame(0x605, "4041600000000000", true),
        frame(0x585, "4B41600037020000"),
        frame(0x605, "2B4060000F000000", true),
        frame(0x585, "6040600000000000"),
        frame(0x080, "", true),
        frame(0x185, "3412D4C3B2A1"),
        frame(0x205, "78563412", true),
        frame(0x085, "3081110102030405"),
        frame(0x100, "00DC0500123A", true),
        frame(0x705, "05"),
        frame(0x6A0, "00"),
    };
    for (const QUserCanMsg &m : traffic)
        w->slotCanMsgRec(QStringLiteral("TRNA702-0-0"), m);
    settle(300);

    auto *right = child<QTabWidget>(w, "tabWidgetRight");
    const char *pages[3] = {"canopen_fast_operations", "canopen_cia301", "canopen_cia402"};
    for (int i = 0; i < 3; ++i) {
        right->setCurrentIndex(i);
        save(w, QString::fromLatin1(pages[i]));
    }
    child<QTabWidget>(w, "tabWidgetCia402Modes")->setCurrentIndex(2);
    save(w, QStringLiteral("canopen_cia402_position"));

    // The EDS page: listen list, PDO mapping, operation log.
    QUserEdsParser *parser = w->edsParser();
    for (uint32_t index : {0x6041u, 0x6064u, 0x606Cu, 0x2001u})
        w->slotEdsListenObjListTabDropEvent(QString(), QString::asprintf("%04X", index));
    for (int row = 0; row < w->listenModel()->cacheCount(); ++row) {
        QUserDictObj *obj = w->listenModel()->dictObjAt(row);
        obj->curValue = obj->index == 0x6041 ? 0x0237
                                             : (obj->index == 0x6064 ? 5000 : (obj->index == 0x606C ? 300 : 0x1234));
    }
    QUserDictObj mapped;
    if (parser->objGet(0x6041, 0, mapped))
        parser->txPdoList[0].childList.append(mapped);
    if (parser->objGet(0x6064, 0, mapped))
        parser->txPdoList[0].childList.append(mapped);
    if (parser->objGet(0x6040, 0, mapped))
        parser->rxPdoList[0].childList.append(mapped);
    parser->txPdoList[0].cobID = 0x185;
    parser->txPdoList[0].transmissionType = 254;
    parser->txPdoList[0].pdoEnable = true;
    w->pdoTreeUpdate();
    child<QComboBox>(w, "comboBoxPdoType")->setCurrentText(QStringLiteral("TPDO1"));
    child<QTabWidget>(w, "tabWidgetTop")->setCurrentIndex(1);
    settle(300);
    w->listenModel()->windowUpdate();
    settle(150);
    save(w, QStringLiteral("canopen_eds"));

    // The help box, as it opens.
    prompt.onExec = [](QDialog *d) {
        d->show();
        settle(300);
        save(d, QStringLiteral("canopen_help"));
        return 1;
    };
    w->slotFastOptHelp();
    prompt.onExec = nullptr;

    // The project saved and reopened in a new window: the listen list again.
    prompt.saveFile = QDir(scratch.path()).filePath(QStringLiteral("gallery.prj"));
    prompt.file = prompt.saveFile;
    w->slotPrjSave();
    settle(500);
    delete w;
    w = open();
    w->slotPrjLoad();
    settle(800);
    child<QTabWidget>(w, "tabWidgetTop")->setCurrentIndex(1);
    settle(300);
    save(w, QStringLiteral("canopen_eds_reopened"));

    // Values as EDS files write them: signed limits, 64-bit types, node-id
    // formulas for node 5, and the attribute box of a default COB-ID; the
    // operation log after a file with damaged sections.
    prompt.file = QStringLiteral(ORVANE_SOURCE_DIR "/tests/canopen/eds/cases_lf.eds");
    w->slotEdsFileLoad();
    settle(400);
    prompt.file = QStringLiteral(ORVANE_SOURCE_DIR "/tests/canopen/eds/values.eds");
    w->slotEdsFileLoad();
    settle(400);
    w->listenModel()->clear();
    for (uint32_t index : {0x2001u, 0x2007u, 0x2008u, 0x2010u, 0x2011u})
        w->slotEdsListenObjListTabDropEvent(QString(), QString::asprintf("%04X", index));
    if (auto *view = w->findChild<QTableView *>(QStringLiteral("tableViewListen")))
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    settle(150);
    save(w, QStringLiteral("canopen_eds_values"));
    prompt.onExec = [](QDialog *d) {
        d->show();
        settle(300);
        save(d, QStringLiteral("canopen_attribute_formula"));
        return 1;
    };
    w->slotEdsListenObjListTabDropEvent(QStringLiteral("1800"), QStringLiteral("01"));
    for (int row = 0; row < w->listenModel()->cacheCount(); ++row)
        if (w->listenModel()->dictObjAt(row)->index == 0x1800)
            w->slotEdsListenObjTabItemDoubleClick(
                w->listenModel()->index(row - w->listenModel()->windowStart(), QUserTableModelEDS::ColName));
    prompt.onExec = nullptr;

    delete w;
    QUserPrompt::setInstance(nullptr);
    return g_failures == 0 ? 0 : 1;
}
