// The data tabs of the main window: one per open channel, made when its
// device opens, closed (with the channel) by the user or by the device tools
// that take the adapter for themselves.

#include "mainwindow/MainWindow.h"

#include "core/QUserCanMsg.h"
#include "core/QUserDevId.h"
#include "core/QUserSysCfg.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "widgets/QUserTableView.h"
#include "widgets/uiStatusBar.h"

#include <QAction>
#include <QDebug>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QScrollBar>
#include <QTabWidget>

namespace {

struct Column
{
    const char *header;
    int width;
    // Digits a number column shows whole (0: no number column).
    int digits = 0;
};

// Merged view: one row per identifier. The number columns fit eight digits:
// a count of 10,000,000 frames, a period of 99 s in µs.
const Column kMergeColumns[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "序号"), 90, 8},     {QT_TRANSLATE_NOOP("MainWindow", "传输方向"), 70},
    {QT_TRANSLATE_NOOP("MainWindow", "状态"), 70},        {QT_TRANSLATE_NOOP("MainWindow", "时间标志"), 100},
    {QT_TRANSLATE_NOOP("MainWindow", "周期(us)"), 60, 8}, {QT_TRANSLATE_NOOP("MainWindow", "数量"), 60, 8},
    {QT_TRANSLATE_NOOP("MainWindow", "帧ID"), 120},    {QT_TRANSLATE_NOOP("MainWindow", "帧格式"), 70},
    {QT_TRANSLATE_NOOP("MainWindow", "帧类型"), 70},   {QT_TRANSLATE_NOOP("MainWindow", "长度"), 35},
    {QT_TRANSLATE_NOOP("MainWindow", "数据"), 500},
};

// List: every frame in arrival order. The device time is a 32-bit stamp.
const Column kListColumns[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "序号"), 90, 8},       {QT_TRANSLATE_NOOP("MainWindow", "传输方向"), 70},
    {QT_TRANSLATE_NOOP("MainWindow", "状态"), 70},          {QT_TRANSLATE_NOOP("MainWindow", "电脑时间"), 100},
    {QT_TRANSLATE_NOOP("MainWindow", "设备时间"), 100, 10}, {QT_TRANSLATE_NOOP("MainWindow", "帧ID"), 120},
    {QT_TRANSLATE_NOOP("MainWindow", "帧格式"), 70},   {QT_TRANSLATE_NOOP("MainWindow", "帧类型"), 70},
    {QT_TRANSLATE_NOOP("MainWindow", "长度"), 35},     {QT_TRANSLATE_NOOP("MainWindow", "数据"), 500},
};

void logLine(const QString &text)
{
    qDebug().noquote() << "MainWindow >" << text;
}

} // namespace

bool MainWindow::tabCreat(const QString &devId)
{
    if (!layout || !layout->tabDataShow)
        return false;
    if (tabSrv.find(devId)) {
        logLine(QStringLiteral("ERROR:TAB %1 Aready Exist...").arg(devId));
        return false;
    }
    logLine(QStringLiteral("Tab %1 Creat...").arg(devId));
    QUserTableView *view = nullptr;
    QUserTableModelCan *model = nullptr;
    if (!tabSrv.tabCreat(devId, view, model) || !view || !model)
        return false;

    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->resizeRowsToContents();
    view->setWordWrap(true);
    view->resizeColumnsToContents();
    QHeaderView *header = view->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(true);
    header->setVisible(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    // Narrow enough for the length column's 35 pixels.
    header->setMinimumSectionSize(20);
    view->verticalHeader()->hide();
    view->setAlternatingRowColors(true);
    view->setSortingEnabled(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalScrollBar()->setEnabled(false);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setFocusPolicy(Qt::WheelFocus);

    tabDataHeaderSet(view, model);

    QTabWidget *tabs = layout->tabDataShow;
    tabs->setIconSize(QSize(20, 20));
    QWidget *page = new QWidget;
    page->setObjectName(QStringLiteral("tabDataPage"));
    QHBoxLayout *box = new QHBoxLayout(page);
    box->setContentsMargins(2, 2, 2, 2);
    box->setSpacing(2);
    box->addWidget(view);
    box->addWidget(view->vScrollBar);
    view->vScrollBar->setVisible(true);
    const int index = tabs->addTab(page, QIcon(QStringLiteral(":/res/usbDev.png")), getDevIdTextEx(languageCode, devId));
    tabs->setCurrentIndex(index);

    connect(view, &QAbstractItemView::clicked, this, &MainWindow::soltDataDisplayTableSelectionChanged);
    connect(view, &QAbstractItemView::doubleClicked, this, &MainWindow::soltDataDisplayTableItemDoubleClick);
    view->setUserModel(model);
    // Attaching the model gave the header fresh sections of the default
    // width: the widths are set again on them.
    tabDataHeaderSet(view, model);
    // A model that reloads its settings (the display settings, a clear) may
    // change its view, current tab or not: its headers change with it.
    connect(model, &QUserTableModelCan::mergeModeChanged, this, [this, devId] {
        if (QUserWindowTabData *data = tabSrv.find(devId))
            tabDataHeaderSet(data->view, data->model);
    });
    return true;
}

bool MainWindow::tabDataHeaderSet(QUserTableView *view, QUserTableModelCan *model)
{
    // The columns are those of the view the model shows; without a model,
    // those the store asks for.
    const bool merge = model ? model->mergeMode()
                             : QUserSysCfg::instance()->getString(QStringLiteral("idMergEnable")) == QLatin1String("ON");
    const Column *columns = merge ? kMergeColumns : kListColumns;
    const int n = merge ? int(sizeof kMergeColumns / sizeof *kMergeColumns)
                        : int(sizeof kListColumns / sizeof *kListColumns);
    if (model) {
        model->setColumnCount(n);
        for (int c = 0; c < n; ++c)
            model->setHeaderData(c, Qt::Horizontal, tr(columns[c].header), Qt::EditRole);
    }
    if (view) {
        // The widths suit the Chinese texts; a translated header or cell
        // text that is longer widens its column rather than being cut. The
        // direction cell holds the protocol icon before its text.
        const QFontMetrics header = view->horizontalHeader()->fontMetrics();
        const QFontMetrics cell = view->fontMetrics();
        const int pad = 12;
        int cellMin[3] = {0, 0, 0};
        for (bool b : {false, true}) {
            cellMin[1] = qMax(cellMin[1], cell.horizontalAdvance(getDirText(languageCode, b)) + 16 + 2 * pad);
            cellMin[2] = qMax(cellMin[2], cell.horizontalAdvance(QUserTableModelCan::stateCellText(b)) + pad);
        }
        int digit = 0;
        for (char d = '0'; d <= '9'; ++d)
            digit = qMax(digit, cell.horizontalAdvance(QLatin1Char(d)));
        for (int c = 0; c < n; ++c) {
            int width = qMax(columns[c].width, header.horizontalAdvance(tr(columns[c].header)) + pad);
            if (c < 3)
                width = qMax(width, cellMin[c]);
            if (columns[c].digits)
                width = qMax(width, columns[c].digits * digit + pad);
            view->setColumnWidth(c, width);
        }
    }
    return true;
}

bool MainWindow::tabDelete(int index)
{
    QTabWidget *tabs = layout ? layout->tabDataShow : nullptr;
    if (!tabs || index < 0 || index >= tabs->count())
        return false;
    const QString devId = parseDevIdText(tabs->tabText(index));
    logLine(QStringLiteral("Tab %1 Delete...").arg(devId));
    // The page goes with its view, then the tab data with its model.
    QWidget *page = tabs->widget(index);
    if (QUserWindowTabData *data = tabSrv.find(devId))
        data->view = nullptr;
    tabs->removeTab(index);
    delete page;
    const bool deleted = tabSrv.tabDelete(devId);
    // With the last channel's tab gone nothing is live: the status bar no
    // longer shows that channel's state, counts and rates.
    const int channels = tabSrv.count() - (tabSrv.find(QString::fromLatin1(QUserWindowSrv::kGlobal)) ? 1 : 0);
    if (channels <= 0 && statusBarWidget)
        statusBarWidget->statusUpdate(uiStatusBarInfo());
    return deleted;
}

void MainWindow::slotTabDataShowSelSwitch(int index)
{
    if (index < 0)
        return;
    logLine(QStringLiteral("Tab %1 Select...").arg(index));
    // "停止显示" says what the tab now current does (each tab stops and
    // runs on its own); the welcome tab has nothing stopped.
    if (ui && ui->actionStop) {
        QUserWindowTabData *data = curTabDataGet();
        ui->actionStop->setChecked(data && data->model && !data->model->scrollState());
    }
    uiTabBasicSendUpdate();
    uiTabAdvSendUpdate();
}

void MainWindow::soltTabDataShowClose(int index)
{
    if (index < 0 || !layout || !layout->tabDataShow)
        return;
    logLine(QStringLiteral("Tab %1 Close...").arg(index));
    QTabWidget *tabs = layout->tabDataShow;
    if (index >= tabs->count())
        return;
    if (tabs->tabText(index) == tr("欢迎界面")) {
        QWidget *page = tabs->widget(index);
        tabs->removeTab(index);
        if (page)
            page->deleteLater();
        return;
    }
    // Closing a channel's tab closes the channel.
    const QString devId = parseDevIdText(tabs->tabText(index));
    tabAdvListClear();
    tabDelete(index);
    devClose(devId);
    uiTabBasicSendUpdate();
    uiTabAdvSendUpdate();
}

void MainWindow::tabAllClose()
{
    if (!layout || !layout->tabDataShow)
        return;
    QTabWidget *tabs = layout->tabDataShow;
    while (tabs->count() > 0) {
        const int before = tabs->count();
        soltTabDataShowClose(0);
        if (tabs->count() >= before)
            break;
    }
}

void MainWindow::curTabModelReload()
{
    QUserWindowTabData *data = curTabDataGet();
    if (!data || !data->model)
        return;
    data->model->loadSettings();
    data->model->scrollTo(true, 0);
}
