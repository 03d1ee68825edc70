// Draws every dialog of the device tools to PNG files, in the state a user
// would see after a few typical steps. Each modal run is answered by a
// prompt that shows the frame, lets it paint and saves it instead of
// waiting for the user.
//
//   orvane_devtools_gallery <output folder>

#include "devtools/QUserDlgBaudCalculator.h"
#include "devtools/QUserDlgBaudChk.h"
#include "devtools/QUserDlgDeviceSel.h"
#include "devtools/QUserDlgFd2Set.h"
#include "devtools/QUserDlgFdBaudCalculator.h"
#include "devtools/QUserDlgFirmUpdate.h"
#include "devtools/QUserDlgFliterSet.h"
#include "widgets/QUserDlgProgress.h"
#include "devtools/QUserDlgRepeatCfg.h"
#include "widgets/QUserPrompt.h"
#include "devtools/uiDlgUsbcan2Cfg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>

#include <cstdio>
#include <functional>
#include "devtools/QUserDlgFdRecordSet.h"
#include <QCheckBox>

class ShotPrompt : public QUserPrompt
{
public:
    QString dir;
    QString name;                            // file name of the next shot
    std::function<void(QDialog *)> before;   // steps on the shown frame
    QString file;                            // what the next file chooser returns
    int boxes = 0;

    QString getOpenFileName(QWidget *, const QString &, const QString &, const QString &, QString *) override
    {
        return file;
    }

    int exec(QDialog *dlg) override
    {
        const QString file = dir + "/" + (name.isEmpty() ? QString("devtools_box_%1.png").arg(++boxes) : name);
        name.clear();
        dlg->show();
        dlg->raise();
        for (int i = 0; i < 10; ++i) {
            QApplication::processEvents();
            QThread::msleep(20);
        }
        if (before) {
            auto f = before;
            before = nullptr; // nested boxes are shot without steps
            f(dlg);
            for (int i = 0; i < 5; ++i)
                QApplication::processEvents();
        }
        const bool ok = dlg->grab().save(file);
        std::printf("%s %s %dx%d\n", ok ? "saved" : "FAILED", qPrintable(file), dlg->width(), dlg->height());
        dlg->hide();
        return 0;
    }
};

template <class T> static T *kid(QObject *root, const char *name)
{
    return root->findChild<T *>(QString::fromLatin1(name));
}

int main(int argc, char **argv)
{
    // The tools that open adapters find the simulated ones (one of each model).
    qputenv("KEMUSB_BACKEND", "sim");
    QApplication app(argc, argv);
    // ORVANE_GALLERY_QM=<a .qm file> draws the windows in that language.
    QTranslator translator;
    const QString qm = qEnvironmentVariable("ORVANE_GALLERY_QM");
    if (!qm.isEmpty() && translator.load(qm))
        QCoreApplication::installTranslator(&translator);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(out);
    QTemporaryDir work; // settings files land here, not in the caller's folder
    QDir::setCurrent(work.path());
    ShotPrompt shot;
    shot.dir = QDir(out).absolutePath();
    QUserPrompt::setInstance(&shot);

    {
        QUserDlgDeviceSel dlg;
        dlg.devTypeSet(0);
        shot.name = "devtools_device_sel.png";
        dlg.dialogExec();
    }
    {
        QUserDlgFd2Set dlg;
        dlg.fdSupportSet(true);
        QVector<QVector<bool>> table(32, QVector<bool>(2, false));
        table[0][0] = true;
        dlg.dlgInit("TRNB702", "TRNB702 配置", table);
        shot.name = "devtools_fd2set_trnb702.png";
        dlg.dialogExec();
    }
    {
        QUserDlgFd2Set dlg;
        dlg.fdSupportSet(false);
        dlg.dlgInit("TRNA701", "TRNA701 配置", QVector<QVector<bool>>(32, QVector<bool>(4, false)));
        shot.name = "devtools_fd2set_trna701.png";
        shot.before = [](QDialog *d) {
            auto *a = kid<QComboBox>(d, "comboBox_aBaud");
            a->setCurrentIndex(a->count() - 1);
            emit a->activated(a->count() - 1);
        };
        dlg.dialogExec();
    }
    {
        QUserDlgFdBaudCalculator dlg;
        dlg.devTypeSet("TRNB701");
        shot.name = "devtools_fd_calculator.png";
        shot.before = [](QDialog *d) { kid<QPushButton>(d, "pushButton_cal")->click(); };
        dlg.dialogExec();
    }
    {
        QUserDlgBaudCalculator dlg;
        shot.name = "devtools_classic_calculator.png";
        shot.before = [](QDialog *d) {
            kid<QLineEdit>(d, "lineEdit_baud")->setText("500");
            kid<QPushButton>(d, "pushButton_cal")->click(); // its "计算完毕!" box is shot too
        };
        dlg.dialogExec();
    }
    {
        QUserDlgFliterSet dlg;
        dlg.dlgInit("数据过滤设置");
        QUserFliterRule a, b, c;
        a.startId = a.endId = 0x123;
        b.startId = 0x100;
        b.endId = 0x1FF;
        b.range = 1;
        c.extended = 1;
        c.startId = 0x18FF0000;
        c.endId = 0x18FFFFFF;
        c.range = 1;
        dlg.fliterRulesSet({a, b, c});
        shot.name = "devtools_filter_editor.png";
        shot.before = [](QDialog *d) {
            auto *m = kid<QComboBox>(d, "comboBox_mode");
            m->setCurrentIndex(3);
            emit m->activated(3);
        };
        dlg.dialogExec();
    }
    {
        Usbcan2CfgDialog dlg("USBCAN2 配置");
        QVector<QByteArray> usage(32, QByteArray(2, '\0'));
        usage[0][0] = 1;
        dlg.cfgSet("USBCAN2", usage);
        shot.name = "devtools_usbcan2_cfg.png";
        shot.before = [](QDialog *d) {
            kid<QLineEdit>(d, "lineEdit_accCode")->setText("12,34");
            QMetaObject::invokeMethod(kid<QPushButton>(d, "pushButton_ok"), "click");
        };
        dlg.dialogExec();
    }
    {
        QUserDlgBaudChk dlg;
        // A detection as the driver reports it: misses, the match, the miss after it.
        const struct { int rate, t0, t1, failed; } tried[] = {
            {470588, 0x00, 0x3F, 1}, {470588, 0x01, 0x17, 1}, {484848, 0x02, 0x2B, 1},
            {500000, 0x00, 0x2D, 0}, {500000, 0x01, 0x16, 0}, {516129, 0x00, 0x4F, 1},
        };
        for (const auto &t : tried) {
            QUserBaudChkMsg m;
            m.rate = t.rate;
            m.timing0 = t.t0;
            m.timing1 = t.t1;
            m.code = QUserBaudChkMsg::TryBegin;
            dlg.slotsBaudChkResult(QString(), m);
            m.code = QUserBaudChkMsg::TryEnd;
            m.failed = uint8_t(t.failed);
            dlg.slotsBaudChkResult(QString(), m);
        }
        QUserBaudChkMsg m;
        m.rate = 533333;
        m.timing0 = 0x00;
        m.timing1 = 0x2C;
        m.code = QUserBaudChkMsg::TryBegin;
        dlg.slotsBaudChkResult(QString(), m); // under test
        shot.name = "devtools_baud_detection.png";
        dlg.dialogExec();
    }
    {
        // The baud detection's preparation, as its first start shows it.
        QUserDlgProgress prep;
        prep.setTitle("准备中");
        prep.setTip("首次使用,准备中...");
        prep.slotProgressValueChange(QUserDlgProgress::CodeValue, 37);
        shot.name = "devtools_baud_preparation.png";
        prep.dlgExec();
    }
    {
        QUserDlgRepeatCfg dlg;
        dlg.slotDevOpen(); // the simulated USBCAN2 (its box, if any, is shot too)
        shot.name = "devtools_relay.png";
        shot.before = [](QDialog *d) {
            auto *b2 = kid<QComboBox>(d, "comboBox_baud2");
            b2->setCurrentIndex(0);
            kid<QLineEdit>(d, "lineEdit_time20")->setText("00");
            kid<QLineEdit>(d, "lineEdit_time21")->setText("1A");
            auto *b1 = kid<QComboBox>(d, "comboBox_baud1");
            b1->setCurrentIndex(b1->findText("250kbps"));
            auto *mode = kid<QComboBox>(d, "comboBox_mode");
            mode->setCurrentIndex(1);
        };
        dlg.dialogExec();
    }
    {
        const QString pkg = QDir(work.path()).absoluteFilePath("TRNA701_fw.v1.2.2.17.dat");
        QFile f(pkg);
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(1024 + 81920, 'x'));
        f.close();
        QUserDlgFirmUpdate dlg;
        auto *type = kid<QComboBox>(&dlg, "comboBox_devType");
        type->setCurrentIndex(type->findText("TRNA701"));
        dlg.slotConnect(); // the simulated TRNA701 in update mode
        shot.file = pkg;
        dlg.slotFileSelect();
        dlg.slotUpdateResult(1, 64, QString());
        shot.name = "devtools_firmware_update.png";
        dlg.dialogExec();
    }
    // The recording adapter's settings against the simulated adapters of the
    // library next to this program.
    qputenv("KEMUSB_BACKEND", "sim");
    {
        QUserDlgFdRecordSet dlg;
        dlg.dlgInit("TRND702", "配置", {QByteArray()});
        shot.name = "devtools_record_set_trnd702.png";
        shot.before = [](QDialog *d) {
            kid<QPushButton>(d, "pushButton_open")->click();
            auto *page = qobject_cast<QUserRecordChPage *>(kid<QTabWidget>(d, "tabWidget")->widget(0));
            auto *pro = kid<QComboBox>(page, "comboBox_workPro");
            pro->setCurrentIndex(1);
            emit pro->activated(1);
            auto *arb = kid<QComboBox>(page, "comboBox_aBaud");
            arb->setCurrentIndex(2);
            emit arb->activated(2);
            kid<QCheckBox>(page, "checkBox_chEnable")->setChecked(true);
            QUserFliterRule a, b;
            a.startId = a.endId = 0x123;
            b.extended = 1;
            b.range = 1;
            b.startId = 0x18FF0000;
            b.endId = 0x18FFFFFF;
            page->cfg.rules = {a, b};
            kid<QCheckBox>(page, "checkBox_fliterEn")->setChecked(true);
            kid<QPushButton>(page, "pushButton_diskCap")->click();
            kid<QPushButton>(page, "pushButton_devInfo")->click();
        };
        dlg.dialogExec();
    }
    {
        QUserDlgFdRecordSet dlg;
        dlg.dlgInit("TRND702", "配置", {QByteArray()});
        shot.name = "devtools_record_set_trnd701.png";
        shot.before = [](QDialog *d) {
            auto *m = kid<QComboBox>(d, "comboBox_devType");
            m->setCurrentIndex(0);
            emit m->activated(0);
            auto *page = qobject_cast<QUserRecordChPage *>(kid<QTabWidget>(d, "tabWidget")->widget(0));
            kid<QCheckBox>(page, "checkBox_selfBaud")->setChecked(true);
            kid<QPushButton>(d, "pushButton_close")->setEnabled(true);
            kid<QPushButton>(d, "pushButton_close")->click();
        };
        dlg.dialogExec();
    }
    QUserPrompt::setInstance(nullptr);
    return 0;
}
