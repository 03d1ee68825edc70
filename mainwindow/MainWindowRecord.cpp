// The tool bar's receive filter, data save and real-time recording of the
// current tab's channel.

#include "mainwindow/MainWindow.h"

#include "core/QUserDevId.h"
#include "devices/QUserDeviceAdapter.h"
#include "devtools/QUserDlgFliterSet.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserTableModelCan.h"
#include "mainwindow/QUserTraceSave.h"
#include "widgets/QUserMessageBox.h"

#include <QAction>
#include <QDebug>

namespace {

void uncheck(QAction *action)
{
    if (action)
        action->setChecked(false);
}

bool checked(QAction *action)
{
    return action && action->isChecked();
}

} // namespace

void MainWindow::soltTabDataFliterSet()
{
    qDebug().noquote() << metaObject()->className() << ">" << QStringLiteral("数据过滤配置");
    QAction *act = ui ? ui->actFliter : nullptr;
    const QString devId = curTabDevGet();
    if (devId.isEmpty()) {
        uncheck(act);
        QUserMessageBox::msgError(this, tr("错误"), tr("请先[选择设备]!!!"));
        return;
    }
    if (!devAdapter)
        return;
    if (!checked(act)) {
        devAdapter->fliterEnableSet(devId, false);
        tipOk(tr("数据过滤已关闭!"), 1000);
        return;
    }
    QVector<QUserFliterRule> rules;
    if (!devAdapter->fliterRulesGet(devId, rules)) {
        QUserMessageBox::msgError(this, tr("错误"), tr("过滤参数获取失败!!!"));
        uncheck(act);
        return;
    }
    QUserDlgFliterSet dlg;
    dlg.dlgInit(tr("数据过滤设置"));
    dlg.fliterRulesSet(rules);
    if (dlg.dialogExec() != 1) {
        uncheck(act);
        return;
    }
    QVector<QUserFliterRule> edited;
    dlg.fliterRulesGet(edited);
    if (!devAdapter->fliterSave(devId, edited)) {
        // The rules would be lost at the next start: filtering stays off.
        uncheck(act);
        QUserMessageBox::msgError(this, tr("错误"), tr("过滤规则文件写入失败,数据过滤未开启!"));
        return;
    }
    devAdapter->fliterEnableSet(devId, true);
    soltTabDataShowClr();
    tipOk(tr("数据过滤已开启!"), 1000);
}

void MainWindow::soltTabDataSave()
{
    qDebug().noquote() << QStringLiteral("数据保存...");
    QUserWindowTabData *data = curTabDataGet();
    if (!data) {
        qDebug().noquote() << QStringLiteral("错误:无保存数据...");
        QUserMessageBox::msgError(this, tr("错误"), tr("无数据可以保存!!!"));
        return;
    }
    const QString name = QUserTraceSave::fileNameAsk(this);
    if (name.isEmpty())
        return;
    // What the tab holds now; frames that come in while the file is
    // written go on into the tab. The compact records are copied here and
    // made into frame records on the save's worker: a million of them made
    // here would hold the window still for most of a second.
    QUserCanFrameSnapshot frames;
    if (data->model)
        data->model->frameSnapshot(frames);
    const int64_t total = frames.size();
    QUserTraceSave saver(this);
    switch (saver.save(name, std::move(frames))) {
    case QUserTraceSave::CreateFailed:
        qDebug().noquote() << QStringLiteral("File<%1> Creat Fail...").arg(name);
        QUserMessageBox::msgWarning(this, tr("数据保存"), tr("保存失败,文件创建失败!"));
        return;
    case QUserTraceSave::WriteFailed:
        // A file cut short is not a saved tab: say so, and how far it got.
        QUserMessageBox::msgWarning(this, tr("数据保存"),
                                    tr("保存失败,数据写入失败!(已写入%1条,共%2条)")
                                        .arg(saver.writtenCount())
                                        .arg(total));
        return;
    case QUserTraceSave::Saved:
        break;
    }
    qDebug().noquote() << QStringLiteral("成功保存%1条...").arg(saver.writtenCount());
    tipOk(tr("数据保存完成!"), 1000);
}

void MainWindow::soltTabDataRecord()
{
    QAction *act = ui ? ui->actRecord : nullptr;
    const QString devId = curTabDevGet();
    if (devId.isEmpty()) {
        uncheck(act);
        qDebug().noquote() << QStringLiteral("错误:实时保存错误，请先选择设备...");
        QUserMessageBox::msgError(this, tr("错误"), tr("请先[选择设备]!!!"));
        return;
    }
    if (!checked(act)) {
        tipOk(tr("实时保存已停止!"), 1000);
        if (!devAdapter || !devAdapter->recordStop(devId))
            qDebug().noquote() << QStringLiteral("%1 Record Stop Fail...").arg(devId);
        return;
    }
    const QString name = QUserTraceSave::fileNameAsk(this);
    if (name.isEmpty()) {
        uncheck(act);
        QUserMessageBox::msgError(this, tr("错误"), tr("启动失败!存储路径空!!"));
        return;
    }
    if (devAdapter && devAdapter->recordStart(devId, name)) {
        tipOk(tr("实时保存已开启!"), 1000);
        return;
    }
    qDebug().noquote() << QStringLiteral("%1 Record Start Fail...").arg(devId);
    uncheck(act);
    QUserMessageBox::msgError(this, tr("错误"), tr("启动失败!请选择有读写权限的路径!"));
}

void MainWindow::soltRecordFailed(QString devId, QString text)
{
    // The recorder has logged the failure with the frames it could not
    // write; the text is that line's, not logged again here.
    Q_UNUSED(text)
    // The action mirrors the current channel: another channel's failure
    // leaves it alone, the tab switch sets it from the registry later.
    if (devId == curTabDevGet())
        uncheck(ui ? ui->actRecord : nullptr);
    // Frames are being lost to the file: a box that stays until the user
    // has seen it. Its loop goes on delivering the received frames to the
    // tabs (they arrive as queued calls), so the box costs none of them.
    QUserMessageBox::msgError(this, tr("错误"),
                              getDevIdTextEx(languageCode, devId) + QStringLiteral(":") + tr("实时保存写入失败,已停止!"));
}
