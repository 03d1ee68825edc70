// The DBC analysis window's dialogs: help, attributes of messages and
// signals, the last frame of a listened message, the colour chooser and the
// chart and analysis settings. Each is made for one slot call and run
// modally through the prompt seam.
#include "dbc/QUserMainWindowDBC.h"

#include "core/QUserBaudFunc.h"
#include "dbc/QUserTableModelDBC.h"
#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTreeWidget.h"

#include <QColorDialog>
#include <QDebug>

namespace {

void logLine(const QString &text) { qDebug().noquote() << text; }

const char *const kInfoIcon = ":/res/msg_icon_info.png";

void infoShow(const QString &title, const QString &icon, const QList<QStringList> &rows)
{
    QUserDlgInfo dlg;
    if (icon.isEmpty())
        dlg.dlgInit(title);
    else
        dlg.dlgInitIcon(title, icon);
    dlg.infoSet(rows);
    dlg.dlgExec();
}

QString msgNameOf(const QString &text)
{
    const int blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? text : text.left(blank);
}

} // namespace

void QUserMainWindowDBC::slotDbcHelp()
{
    const char *const rows[][2] = {
        {"操作步骤:", "<加载DBC><添加信号>"},
        {"解析范围:", "只解析添加到信号列表中的信号"},
        {"加载DBC:", "<文件>菜单中的<加载DBC>"},
        {"选择消息:", "从左侧<DBC文件消息总表>选择消息或信号添加到右侧信号列表"},
        {"选择方法:", "按住鼠标左键拖拽,或右键弹出菜单"},
        {"图表显示:", "勾选<图表显示>后信号的物理值以曲线显示"},
        {"波形X轴缩放:", "利用鼠标滚轮进行缩放"},
        {"波形X轴范围:", "<设置><图表设置><X轴最大时刻>"},
        {"波形Y轴缩放:", "利用Ctrl键+鼠标滚轮进行缩放"},
        {"波形Y轴范围:", "根据所有图表显示信号的最小值和最大值计算"},
        {"颜色修改:", "双击信号列表中的<信号颜色>单元格"},
        {"保存工程:", "保存当前的解析配置,便于下次快速加载"},
        {"打开工程:", "加载已保存的解析配置"},
        {"属性查看:", "双击信号列表中的消息名称或信号名称"},
    };
    QList<QStringList> table;
    for (const auto &r : rows)
        table.append(QStringList{tr(r[0]), tr(r[1])});
    infoShow(tr("DBC解析帮助"), QString::fromLatin1(kInfoIcon), table);
}

void QUserMainWindowDBC::soltTreeWidgetPopMenueActAttribute()
{
    if (!treeWidget)
        return;
    if (loadedMsgs.isEmpty()) {
        logLine(QStringLiteral("ERROR:Msg List Is Empty..."));
        return;
    }
    QTreeWidgetItem *item = treeWidget->currentItem();
    if (!item)
        return;
    if (item->parent()) {
        const QString msgName = msgNameOf(item->parent()->text(0));
        const QString sigName = item->text(0);
        QUserDbcSignal sig;
        if (!dbcSignalFind(msgName, sigName, &sig)) {
            logLine(QStringLiteral("ERROR:Signal Not Find..."));
            return;
        }
        QList<QStringList> rows;
        sig.infoRows(rows);
        infoShow(sigName + tr(" 属性"), QString::fromLatin1(kInfoIcon), rows);
        return;
    }
    const QString msgName = msgNameOf(item->text(0));
    QUserDbcMsg msg;
    if (msgName.isEmpty() || !msgFindByName(msgName, msg)) {
        logLine(QStringLiteral("ERROR:Msg Not Find..."));
        return;
    }
    QList<QStringList> rows;
    msg.infoRows(rows);
    infoShow(msgName + tr(" 属性"), QString::fromLatin1(kInfoIcon), rows);
}

void QUserMainWindowDBC::soltTreeWidgetItemDoubleClick(QTreeWidgetItem *item, int column)
{
    if (!treeWidget || !item) {
        logLine(QStringLiteral("ERROR:Msg List Not Ready..."));
        return;
    }
    if (column != 0) {
        logLine(QStringLiteral("Warning:Only Ack column 0..."));
        return;
    }
    if (loadedMsgs.isEmpty()) {
        logLine(QStringLiteral("ERROR:Msg List Is Empty..."));
        return;
    }
    if (!item->parent()) {
        logLine(QStringLiteral("Warning:Only Ack Signal..."));
        return;
    }
    const QString msgName = msgNameOf(item->parent()->text(0));
    const QString sigName = item->text(0);
    QUserDbcSignal sig;
    if (!dbcSignalFind(msgName, sigName, &sig)) {
        logLine(QStringLiteral("ERROR:Signal Not Find..."));
        return;
    }
    QList<QStringList> rows;
    sig.infoRows(rows);
    infoShow(sigName, QString(), rows);
}

void QUserMainWindowDBC::soltTableViewSignalItemDoubleClick(const QModelIndex &index)
{
    if (index.row() < 0 || index.column() < 0 || !index.model())
        return;
    const int row = tableRowToCacheRow(index.row());
    const bool inList = row >= 0 && row < listenSignals.size();
    switch (index.column()) {
    case QUserTableModelDBC::ColName: {
        if (!inList) {
            logLine(QStringLiteral("错误:信号信息获取失败..."));
            return;
        }
        const QUserDbcSignal &sig = listenSignals.at(row);
        QList<QStringList> rows;
        sig.infoRows(rows);
        infoShow(sig.strName + tr(" 属性"), QString::fromLatin1(kInfoIcon), rows);
        break;
    }
    case QUserTableModelDBC::ColColor: {
        QColorDialog dlg(this);
        dlg.setOption(QColorDialog::DontUseNativeDialog);
        dlg.setGeometry(200, 200, 300, 300);
        dlg.setWindowTitle(tr("颜色选择对话框"));
        if (inList)
            dlg.setCurrentColor(textToColor(listenSignals.at(row).color));
        if (QUserPrompt::instance()->exec(&dlg) != QDialog::Accepted)
            return;
        listenSignalColorSet(row, colorToText(dlg.currentColor()));
        break;
    }
    case QUserTableModelDBC::ColFrame: {
        if (!inList) {
            logLine(QStringLiteral("错误:信号信息获取失败..."));
            QUserMessageBox::msgWarning(this, tr("提示"), tr("信号信息获取失败!!!"));
            return;
        }
        const QUserDbcSignal &sig = listenSignals.at(row);
        QUserDbcMsg msg;
        if (!listenMsgFind(sig.msgName, msg)) {
            QUserMessageBox::msgWarning(this, tr("提示"), tr("消息信息获取失败!!!"));
            return;
        }
        QList<QStringList> rows;
        msg.frameInfoRows(rows);
        infoShow(sig.strName + tr(" 数据信息"), QString(), rows);
        break;
    }
    default:
        break;
    }
}

void QUserMainWindowDBC::slotDbcSigChartSetting()
{
    logLine(QStringLiteral("Signal Chart Setting..."));
    QList<QUserDlgSettingItem> rows;
    QUserDlgSettingItem points;
    points.itemType = QUserDlgSettingItem::Check;
    points.itemName = tr("数据点可视:");
    points.itemValue = tr("使能");
    points.itemChecked = chart.pointsVisible;
    points.itemComment = tr("曲线(折线无效)上样本处用点标记");
    rows.append(points);
    QUserDlgSettingItem labels;
    labels.itemType = QUserDlgSettingItem::Check;
    labels.itemName = tr("数据点坐标可视:");
    labels.itemValue = tr("使能");
    labels.itemChecked = chart.pointsLabelVisible;
    labels.itemComment = tr("曲线(折线无效)上显示样本坐标(折线无效)");
    rows.append(labels);
    QUserDlgSettingItem kind;
    kind.itemType = QUserDlgSettingItem::Combo;
    kind.itemName = tr("图表类型:");
    kind.comboItems = QStringList{tr("曲线"), tr("折线")};
    kind.comboIndex = chart.seriesType;
    kind.itemComment = tr("曲线(CPU使用率高) 折线(CPU使用率低)");
    rows.append(kind);
    QUserDlgSettingItem axis;
    axis.itemType = QUserDlgSettingItem::Edit;
    axis.itemName = tr("X轴最大时刻:");
    axis.itemValue = QString::number(chart.axisXMaxValue, 'g', 6);
    axis.itemComment = tr("X轴的最长记录时间 单位:毫秒");
    rows.append(axis);

    QUserDlgSetting dlg;
    dlg.dlgInit(tr("图表参数设置"));
    dlg.itemsSet(rows);
    if (dlg.dlgExec() != 1)
        return;
    const QList<QUserDlgSettingItem> &got = *dlg.itemsGet();
    if (got.size() < 4)
        return;
    const bool newPoints = got.at(0).itemChecked;
    const bool newLabels = got.at(1).itemChecked;
    const int newType = got.at(2).comboIndex != 0 ? 1 : 0;
    bool ok = false;
    double newAxis = got.at(3).itemValue.trimmed().toDouble(&ok);
    const bool axisRefused = !ok || !DbcChartState::axisXInRange(newAxis);
    if (axisRefused) {
        // A range the chart cannot hold would take the program down on the
        // first charted value, now and after every later start: the axis
        // keeps its range until a valid one is typed. The other settings
        // typed with it stand.
        logLine(QStringLiteral("WARNING:X Axis Max %1 Refused...").arg(got.at(3).itemValue));
        newAxis = chart.axisXMaxValue;
    }
    const bool changed = newPoints != chart.pointsVisible || newLabels != chart.pointsLabelVisible
        || newType != chart.seriesType || newAxis != chart.axisXMaxValue;
    if (changed)
        chartSettingsApply(newPoints, newLabels, newType, newAxis);
    if (axisRefused)
        QUserMessageBox::msgWarning(this, tr("提示"),
                                    tr("X轴最大时刻须在%1到%2毫秒之间!")
                                        .arg(DbcChartState::kAxisXMin)
                                        .arg(DbcChartState::kAxisXMax));
}

void QUserMainWindowDBC::chartSettingsApply(bool pointsVisible, bool labelsVisible, int seriesType, double axisXMax)
{
    chart.pointsVisible = pointsVisible;
    chart.pointsLabelVisible = labelsVisible;
    chart.seriesType = seriesType;
    chart.axisXMaxValue = axisXMax;
    settingsSave();
    chartSeriesClearAll();
    listenSignalChartSync();
}

void QUserMainWindowDBC::slotDbcSigAnalysisSetting()
{
    logLine(QStringLiteral("Signal Analysis Setting..."));
    QList<QUserDlgSettingItem> rows;
    QUserDlgSettingItem protocol;
    protocol.itemType = QUserDlgSettingItem::Combo;
    protocol.itemName = tr("DBC协议类型:");
    protocol.comboItems = QStringList{tr("CAN普通"), tr("J1939")};
    protocol.comboIndex = dbcProtocolType == 1 ? 1 : 0;
    protocol.itemComment = tr("根据实际协议选择");
    rows.append(protocol);
    QUserDlgSettingItem sent;
    sent.itemType = QUserDlgSettingItem::Check;
    sent.itemName = tr("解析发送帧:");
    sent.itemValue = tr("开启 ");
    sent.itemChecked = chart.sendDataAnalysisEnable;
    sent.itemComment = tr("发送方向的数据是否参与解析");
    rows.append(sent);

    QUserDlgSetting dlg;
    dlg.dlgInitIcon(tr("解析参数设置"), QStringLiteral(":/res/gear.png"));
    dlg.itemsSet(rows);
    if (dlg.dlgExec() != 1)
        return;
    const QList<QUserDlgSettingItem> &got = *dlg.itemsGet();
    if (got.size() < 2)
        return;
    const int newProtocol = got.at(0).comboIndex;
    const bool newSent = got.at(1).itemChecked;
    if (newProtocol == dbcProtocolType && newSent == chart.sendDataAnalysisEnable)
        return;
    dbcProtocolType = newProtocol;
    chart.sendDataAnalysisEnable = newSent;
    settingsSave();
    chartSeriesClearAll();
    listenSignalChartSync();
}
