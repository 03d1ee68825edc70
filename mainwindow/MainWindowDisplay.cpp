// The display settings dialog and the two view controls of the current data
// tab: stopping the display and clearing the data.

#include "mainwindow/MainWindow.h"

#include "core/QUserSysCfg.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserTableModelCan.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserTableView.h"

#include <QAction>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QDebug>
#include <QItemSelectionModel>

namespace {

const char *kStyleBlue = "rgb(43, 87, 154)";
const char *kStyleGreen = "rgb(33,115,70)";
const char *kStyleRed = "rgb(183, 71, 42)";

QUserDlgSettingItem comboRow(const QString &name, const QStringList &items, int index, const QString &comment)
{
    QUserDlgSettingItem row;
    row.itemType = QUserDlgSettingItem::Combo;
    row.itemName = name;
    row.comboItems = items;
    row.comboIndex = index;
    row.itemComment = comment;
    return row;
}

QUserDlgSettingItem checkRow(const QString &name, const QString &text, bool on, const QString &comment)
{
    QUserDlgSettingItem row;
    row.itemType = QUserDlgSettingItem::Check;
    row.itemName = name;
    row.itemValue = text;
    row.itemChecked = on;
    row.itemComment = comment;
    return row;
}

} // namespace

void MainWindow::uiTabDataShowSet()
{
    qDebug().noquote() << ">" << QStringLiteral("TabData Display Setting...");
    QUserSysCfg *cfg = QUserSysCfg::instance();
    const QStringList formats{tr("十六进制"), tr("十进制")};
    const QString enable = tr("使能 ");
    const QString style = cfg->getString(QStringLiteral("styleColor"));
    const int styleIndex = style == QLatin1String(kStyleBlue) ? 0 : style == QLatin1String(kStyleGreen) ? 1 : 2;

    // The tables show decimal for 1 and hexadecimal for anything else (an
    // absent key included): the lists show the format in force.
    const int idFormat = cfg->getInt(QStringLiteral("msgIdFormat")) == 1 ? 1 : 0;
    const int dataFormat = cfg->getInt(QStringLiteral("msgDataFormat")) == 1 ? 1 : 0;

    QList<QUserDlgSettingItem> rows;
    rows << comboRow(tr("ID格式:"), formats, idFormat, tr("控制表格内部的ID显示格式"));
    rows << comboRow(tr("数据格式:"), formats, dataFormat, tr("控制表格内部的数据显示格式"));
    rows << checkRow(tr("合并相同ID:"), enable, cfg->getString(QStringLiteral("idMergEnable")) == QLatin1String("ON"),
                     tr("相同ID的帧显示在同一行"));
    rows << checkRow(tr("显示发送帧:"), enable, cfg->getString(QStringLiteral("sendAllowDis")) == QLatin1String("ON"),
                     tr("方向为\"发送\"的帧参与显示"));
    rows << checkRow(tr("硬件时间:"), enable,
                     cfg->getString(QStringLiteral("msgHardWareTimeEn")) == QLatin1String("TRUE"),
                     tr("使用硬件时间参与相关计算"));
    QUserDlgSettingItem cache;
    cache.itemType = QUserDlgSettingItem::Edit;
    cache.itemName = tr("最大帧数量:");
    // A store that never had a data tab has no size yet: the tabs will use
    // the default, so that is what the row shows (and OK keeps), not the
    // -1 of the absent key, which would be stored as 10 frames.
    cache.itemValue = cfg->getString(QStringLiteral("msgCacheSize")).isEmpty()
                          ? QString::number(QUserTableModelCan::kCacheSizeDefault)
                          : QString::number(cfg->getInt(QStringLiteral("msgCacheSize")));
    cache.itemComment = tr("显示缓冲区最大帧保存数量");
    rows << cache;
    rows << comboRow(tr("软件主题:"), QStringList{tr("蓝色"), tr("绿色"), tr("红色")}, styleIndex, tr("重启软件生效"));

    QUserDlgSetting dlg;
    dlg.dlgInitIcon(tr("显示设置"), QStringLiteral(":/res/plane.png"));
    dlg.itemsSet(rows);
    // Tall enough for all seven rows without a scroll bar.
    if (QTableWidget *table = dlg.tableWidget()) {
        int rowsHeight = 0;
        for (int r = 0; r < table->rowCount(); ++r)
            rowsHeight += table->rowHeight(r);
        const int header = table->horizontalHeader()->sizeHint().height();
        const int buttons = dlg.okButton() ? dlg.okButton()->sizeHint().height() : 30;
        dlg.resize(qMax(dlg.width(), 540), qMax(dlg.height(), rowsHeight + header + buttons + 48));
    }
    if (dlg.dlgExec() != 1)
        return;
    const QList<QUserDlgSettingItem> got = *dlg.itemsGet();
    if (got.size() != rows.size())
        return;

    // A format is stored only when the user chose another than the one in
    // force, so OK on a fresh store leaves both keys absent.
    if (got.at(0).comboIndex != idFormat)
        cfg->setInt(QStringLiteral("msgIdFormat"), got.at(0).comboIndex);
    if (got.at(1).comboIndex != dataFormat)
        cfg->setInt(QStringLiteral("msgDataFormat"), got.at(1).comboIndex);

    const QString merge = got.at(2).itemChecked ? QStringLiteral("ON") : QStringLiteral("OFF");
    if (merge != cfg->getString(QStringLiteral("idMergEnable"))) {
        // The current tab's model takes the mode with the reload below, and
        // its headers follow it from there.
        cfg->setString(QStringLiteral("idMergEnable"), merge);
    }
    cfg->setString(QStringLiteral("sendAllowDis"), got.at(3).itemChecked ? QStringLiteral("ON") : QStringLiteral("OFF"));
    cfg->setString(QStringLiteral("msgHardWareTimeEn"),
                   got.at(4).itemChecked ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    const QString sizeText = got.at(5).itemValue;
    if (!sizeText.isEmpty()) {
        bool ok = false;
        const uint parsed = sizeText.toUInt(&ok, 10);
        int size = ok ? int(parsed) : 0;
        if (size <= 0)
            size = 10;
        cfg->setInt(QStringLiteral("msgCacheSize"), size);
    }
    const int theme = got.at(6).comboIndex;
    cfg->setString(QStringLiteral("styleColor"), QLatin1String(theme == 0 ? kStyleBlue : theme == 1 ? kStyleGreen : kStyleRed));

    curTabModelReload();
}

void MainWindow::soltTabDataShowStop()
{
    const bool stopped = ui && ui->actionStop && ui->actionStop->isChecked();
    tabScrollStateSet(!stopped);
    if (stopped) {
        qDebug().noquote() << metaObject()->className() << ">" << QStringLiteral("自动滚动已停止!");
        tipOk(tr("自动滚动已关闭!"), 500);
    } else {
        qDebug().noquote() << metaObject()->className() << ">" << QStringLiteral("自动滚动已开启!");
        tipOk(tr("自动滚动已开启!"), 500);
    }
}

void MainWindow::tabScrollStateSet(bool on)
{
    curTabStrSet(QStringLiteral("scrollState"), on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    if (QUserWindowTabData *data = curTabDataGet()) {
        if (data->model)
            data->model->setScrollState(on);
    }
    tabScrollStateApply();
}

void MainWindow::tabScrollStateApply()
{
    if (curTabStrGet(QStringLiteral("scrollState")) != QLatin1String("ON"))
        return;
    if (QUserTableView *view = curTabViewGet()) {
        if (view->selectionModel())
            view->selectionModel()->clearSelection();
        else
            view->clearSelection();
    }
}

void MainWindow::soltTabDataShowClr()
{
    if (QUserWindowTabData *data = curTabDataGet()) {
        if (data->model)
            data->model->msgClear();
    }
    tabScrollStateSet(true);
    if (ui && ui->actionStop)
        ui->actionStop->setChecked(false);
    slotStatusBarBtnClrClick();
}
