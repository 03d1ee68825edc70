// The DBC analysis window: construction, settings, panels and wiring, the
// kemsig binding and teardown.
#include "dbc/QUserMainWindowDBC.h"

#include "core/QUserSysCfg.h"
#include "core/QUserTimer.h"
#include "dbc/QKemsigLib.h"
#include "dbc/DbcWindowTitle.h"
#include "dbc/QUserChartView.h"
#include "dbc/QUserDbcTableDelegate.h"
#include "dbc/QUserMainWindowDBCForm.h"
#include "dbc/QUserTableModelDBC.h"
#include "devices/QUserDeviceAdapter.h"
#include "widgets/QUserProgressDlg.h"
#include "widgets/QUserTableView.h"
#include "widgets/QUserTreeWidget.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QFont>
#include <QSplitter>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstring>

namespace {

void logLine(const QString &text) { qDebug().noquote() << text; }

QString &libNameStore()
{
    static QString name = QStringLiteral("kemsig.dll");
    return name;
}

const char *const kProtocolKey = "dbcProcotolType";
const char *const kSeriesTypeKey = "seriesType";
const char *const kPointsVisibleKey = "pointsVisible";
const char *const kPointsLabelKey = "pointsLabelVisible";
const char *const kAxisXMaxKey = "axisXMaxValue";
const char *const kSendAnalysisKey = "sendDataAnalysisEnable";
const char *const kRootSplitKey = "dbcSpliteRootRate";
const char *const kRightSplitKey = "dbcSpliteRightRate";

// A "TRUE"/"FALSE" key: empty reads as off and is written as "FALSE"; only
// the exact text "TRUE" is on.
bool boolKeyLoad(QUserSysCfg *cfg, const char *key)
{
    const QString v = cfg->getString(QString::fromLatin1(key));
    if (v.isEmpty()) {
        cfg->setString(QString::fromLatin1(key), QStringLiteral("FALSE"));
        return false;
    }
    return v == QLatin1String("TRUE");
}

// An integer key: absent (-1) gives the default, written back.
int intKeyLoad(QUserSysCfg *cfg, const char *key, int def)
{
    int v = cfg->getInt(QString::fromLatin1(key));
    if (v == -1) {
        v = def;
        cfg->setInt(QString::fromLatin1(key), v);
    }
    return v;
}

QString boolText(bool on) { return on ? QStringLiteral("TRUE") : QStringLiteral("FALSE"); }

} // namespace

// ---- records ----------------------------------------------------------------------

QUserMainWindowDBC::DbcLoadJob::~DbcLoadJob()
{
    delete progressDlg;
    progressDlg = nullptr;
    if (progressTimer) {
        progressTimer->stop();
        delete progressTimer;
        progressTimer = nullptr;
    }
}

QUserMainWindowDBC::DecodeBinding::~DecodeBinding()
{
    for (DecodeRow &r : rows)
        delete r.libSig;
}

// ---- construction -------------------------------------------------------------------

void QUserMainWindowDBC::setKemsigLibName(const QString &name) { libNameStore() = name; }

QString QUserMainWindowDBC::kemsigLibName() { return libNameStore(); }

QUserMainWindowDBC::QUserMainWindowDBC(QWidget *parent) : QMainWindow(parent)
{
    windowInit();
}

QUserMainWindowDBC::QUserMainWindowDBC(QUserDeviceAdapter *registry, const QString &id, QWidget *parent)
    : QMainWindow(parent)
{
    windowInit();
    setDevAdapter(registry, id);
}

void QUserMainWindowDBC::windowInit()
{
    registerCanMsgMetaTypes();
    menuIndex = QModelIndex();
    decodeOut.reset(new DbcMessage);
    std::memset(decodeOut.get(), 0, sizeof(DbcMessage));

    chartFlushTimer = new QTimer(this);
    chartFlushTimer->setSingleShot(true);
    connect(chartFlushTimer, &QTimer::timeout, this, &QUserMainWindowDBC::chartFlush);

    work.reset(new QUserDbcWork);
    ui = new Ui_QUserMainWindowDBC;
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    workThread.setWork(work.get());
    workThread.start();
    // The job's end notice is queued before its stop(): the window knows the
    // job has ended before the progress dialog closes.
    connect(work.get(), &QUserWork::notice, this, &QUserMainWindowDBC::slotDbcWorkNotice, Qt::QueuedConnection);

    settingsLoad();
    dbcLibLoad();
    layoutInit();
    msgTreeFill();
    titleUpdate();
}

void QUserMainWindowDBC::titleUpdate()
{
    setWindowTitle(DbcWindowTitle::compose(tr("DBC解析"), titleFile));
}

QUserMainWindowDBC::~QUserMainWindowDBC()
{
    // A load job may still be running with the job record in hand: end the
    // worker's thread (the job finishes first) before anything goes.
    workerStop();
    chartFlushTimer->stop();
    windowRelease();
    qDeleteAll(decodeBindings);
    decodeBindings.clear();
    delete ui;
    ui = nullptr;
}

void QUserMainWindowDBC::workerStop()
{
    if (work) {
        disconnect(work.get(), nullptr, this, nullptr);
        work->reqStop();
    }
    if (workThread.thread) {
        workThread.thread->quit();
        workThread.thread->wait();
        delete workThread.thread;
        workThread.thread = nullptr;
    }
    workThread.work = nullptr;
}

void QUserMainWindowDBC::closeEvent(QCloseEvent *event)
{
    event->accept();
}

QUserDeviceAdapter *QUserMainWindowDBC::devAdapter() const { return adapter.data(); }

void QUserMainWindowDBC::setDevAdapter(QUserDeviceAdapter *registry, const QString &id)
{
    if (adapter && adapter != registry)
        disconnect(adapter.data(), nullptr, this, nullptr);
    adapter = registry;
    deviceId = id;
    if (!registry)
        return;
    connect(registry, &QUserDeviceAdapter::receiveMsg, this,
            QOverload<QString, QVector<QUserCanMsg>>::of(&QUserMainWindowDBC::soltCanMsgRec), Qt::UniqueConnection);
    connect(registry, &QUserDeviceAdapter::sendResultNotify, this,
            QOverload<QString, QUserCanMsg>::of(&QUserMainWindowDBC::soltCanMsgRec), Qt::UniqueConnection);
}

// ---- settings -------------------------------------------------------------------------

void QUserMainWindowDBC::settingsLoad()
{
    logLine(QStringLiteral("Chart Setting Loading..."));
    QUserSysCfg *cfg = QUserSysCfg::instance();
    dbcProtocolType = intKeyLoad(cfg, kProtocolKey, 0);
    chart.seriesType = intKeyLoad(cfg, kSeriesTypeKey, 0) != 0 ? 1 : 0;
    chart.pointsVisible = boolKeyLoad(cfg, kPointsVisibleKey);
    chart.pointsLabelVisible = boolKeyLoad(cfg, kPointsLabelKey);
    // Absent (-1), not a number (0) or outside the range the chart can
    // hold: the default, written back, so that a bad file cannot take every
    // later window down on its first charted value.
    int axis = cfg->getInt(QString::fromLatin1(kAxisXMaxKey));
    if (!DbcChartState::axisXInRange(axis)) {
        if (axis != -1)
            logLine(QStringLiteral("WARNING:axisXMaxValue %1 Out Of Range[%2,%3], %4 Used...")
                        .arg(cfg->getString(QString::fromLatin1(kAxisXMaxKey)))
                        .arg(DbcChartState::kAxisXMin)
                        .arg(DbcChartState::kAxisXMax)
                        .arg(DbcChartState::kAxisXDefault));
        axis = DbcChartState::kAxisXDefault;
        cfg->setInt(QString::fromLatin1(kAxisXMaxKey), axis);
    }
    chart.axisXMaxValue = double(axis);
    chart.sendDataAnalysisEnable = boolKeyLoad(cfg, kSendAnalysisKey);
    splitterRootState = cfg->getSplitterState(QString::fromLatin1(kRootSplitKey));
    splitterRightState = cfg->getSplitterState(QString::fromLatin1(kRightSplitKey));
}

void QUserMainWindowDBC::settingsSave()
{
    logLine(QStringLiteral("Chart Setting Save..."));
    QUserSysCfg *cfg = QUserSysCfg::instance();
    cfg->setInt(QString::fromLatin1(kProtocolKey), dbcProtocolType);
    cfg->setInt(QString::fromLatin1(kSeriesTypeKey), chart.seriesType);
    cfg->setString(QString::fromLatin1(kPointsVisibleKey), boolText(chart.pointsVisible));
    cfg->setString(QString::fromLatin1(kPointsLabelKey), boolText(chart.pointsLabelVisible));
    cfg->setInt(QString::fromLatin1(kAxisXMaxKey), int(chart.axisXMaxValue));
    cfg->setString(QString::fromLatin1(kSendAnalysisKey), boolText(chart.sendDataAnalysisEnable));
    if (splitterRoot)
        cfg->setByteArray(QString::fromLatin1(kRootSplitKey), splitterRoot->saveState());
    if (splitterRight)
        cfg->setByteArray(QString::fromLatin1(kRightSplitKey), splitterRight->saveState());
}

// ---- kemsig binding --------------------------------------------------------------------

void QUserMainWindowDBC::dbcLibLoad()
{
    treeWidget = new QUserTreeWidget;
    treeWidget->setObjectName(QStringLiteral("treeWidget_dbcMsg"));
    tableView = new QUserTableView;
    tableView->setObjectName(QStringLiteral("tableView_listen"));
    tableModel = new QUserTableModelDBC;
    chartViewWidget = new QUserChartView;
    chartViewWidget->setObjectName(QStringLiteral("chartView_signal"));
    decodeHandle = nullptr;

    lib.reset(new QKemsigLib(kemsigLibName()));
    if (!lib->isLoaded()) {
        logLine(QStringLiteral("Kem DBC Lib Load Fail..."));
        return;
    }
    logLine(QStringLiteral("Kem DBC Lib Load Success..."));
    // The window decodes with a handle only when every function it calls is
    // there; otherwise it works unbound.
    if (lib->init && lib->isComplete())
        decodeHandle = lib->init();
    if (!decodeHandle) {
        logLine(QStringLiteral("DBC库初始化设备失败!!!"));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC库初始化设备失败!!!"));
        return;
    }
    lib->setProtocol(decodeHandle, dbcProtocolType == 1 ? KDBC_PROTOCOL_J1939 : KDBC_PROTOCOL_CAN);
}

void QUserMainWindowDBC::windowRelease()
{
    settingsSave();
    loadedMsgs.clear();
    loadedIndex.clear();
    listenMsgMap.clear();
    listenSignals.clear();
    listenIdx.clear();
    qDeleteAll(decodeBindings);
    decodeBindings.clear();
    if (decodeHandle && lib && lib->release)
        lib->release(decodeHandle);
    decodeHandle = nullptr;
    if (lib) {
        lib->unload();
        lib.reset();
    }
    delete treeWidget;
    treeWidget = nullptr;
    delete tableModel;
    tableModel = nullptr;
    delete tableView; // also its scroll bar
    tableView = nullptr;
    // The chart view owns the chart, and the chart its series.
    qDeleteAll(chart.entries);
    chart.entries.clear();
    delete chartViewWidget;
    chartViewWidget = nullptr;
    chart.chart = nullptr;
    chart.axisX = nullptr;
    chart.axisY = nullptr;
}

// ---- panels and wiring -------------------------------------------------------------------

void QUserMainWindowDBC::layoutInit()
{
    // Left: the message tree with its filter.
    QWidget *left = new QWidget;
    left->setObjectName(QStringLiteral("widget_left"));
    QVBoxLayout *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(2, 2, 2, 2);
    QLabel *treeLabel = new QLabel(tr("DBC文件消息总表:"));
    treeLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    leftLayout->addWidget(treeLabel);
    QHBoxLayout *filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(tr("过滤条件:")));
    filterLineEdit = new QLineEdit;
    filterLineEdit->setObjectName(QStringLiteral("lineEdit_fliter"));
    filterLineEdit->setPlaceholderText(tr("输入消息名称或ID(10进制)"));
    filterRow->addWidget(filterLineEdit);
    leftLayout->addLayout(filterRow);
    leftLayout->addWidget(treeWidget);

    treeWidget->setHeaderHidden(true);
    treeWidget->setDragEnabled(true);
    treeWidget->setAcceptDrops(false);
    treeWidget->setDragDropOverwriteMode(true);
    treeWidget->setDragDropMode(QAbstractItemView::DragOnly);
    treeWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    treeMenuPop = new QMenu(this);
    treeMenuPop->setObjectName(QStringLiteral("menu_tree"));
    QAction *aAdd = treeMenuPop->addAction(QIcon(QStringLiteral(":/res/branch_open.png")), tr("添加到监听列表"));
    QAction *aAddAll = treeMenuPop->addAction(QIcon(QStringLiteral(":/res/branch_open.png")), tr("添加所有信号到监听列表"));
    QAction *aClr = treeMenuPop->addAction(QIcon(QStringLiteral(":/res/trash.png")), tr("删除所有信号"));
    QAction *aAttr = treeMenuPop->addAction(QIcon(QStringLiteral(":/res/msg_icon_info.png")), tr("属性"));
    connect(aAdd, &QAction::triggered, this, &QUserMainWindowDBC::soltTreeWidgetPopMenueActAdd);
    connect(aAddAll, &QAction::triggered, this, &QUserMainWindowDBC::soltTreeWidgetPopMenueActAddAll);
    connect(aClr, &QAction::triggered, this, &QUserMainWindowDBC::soltTreeWidgetPopMenueActClr);
    connect(aAttr, &QAction::triggered, this, &QUserMainWindowDBC::soltTreeWidgetPopMenueActAttribute);
    connect(treeWidget, &QWidget::customContextMenuRequested, this, &QUserMainWindowDBC::soltTreeWidgetPopMenue);
    connect(treeWidget, &QTreeWidget::itemDoubleClicked, this, &QUserMainWindowDBC::soltTreeWidgetItemDoubleClick);
    connect(filterLineEdit, &QLineEdit::textChanged, this, &QUserMainWindowDBC::slotDbcMsgFliterChange);

    // Right, top: the chart.
    chartInit();

    // Right, bottom: the listen table beside its own scroll bar.
    QWidget *bottom = new QWidget;
    bottom->setObjectName(QStringLiteral("widget_listen"));
    QVBoxLayout *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(2, 2, 2, 2);
    bottomLayout->addWidget(new QLabel(tr("当前监听信号列表:")));
    QHBoxLayout *tableRow = new QHBoxLayout;
    tableRow->setSpacing(0);
    tableRow->addWidget(tableView);
    tableRow->addWidget(tableView->vScrollBar);
    tableView->vScrollBar->hide();
    bottomLayout->addLayout(tableRow);

    tableModel->setHorizontalHeaderLabels({tr("序号"), tr("信号名称"), tr("信号颜色"), tr("图表显示"), tr("原始值(Hex)"),
                                           tr("物理值"), tr("最小值"), tr("最大值"), tr("时间标志"), tr("报文")});
    tableView->setAcceptDrops(true);
    tableView->setDragDropMode(QAbstractItemView::DropOnly);
    tableView->setDropIndicatorShown(true);
    tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    tableView->horizontalHeader()->setStretchLastSection(true);
    tableView->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    tableView->verticalHeader()->setVisible(false);
    tableView->setAlternatingRowColors(true);
    tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView->setItemDelegateForColumn(QUserTableModelDBC::ColColor, new QUserDbcTableDelegate(tableView));
    tableView->setUserModel(tableModel);
    tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    listenMenuPop = new QMenu(this);
    listenMenuPop->setObjectName(QStringLiteral("menu_listen"));
    QAction *aUp = listenMenuPop->addAction(QIcon(QStringLiteral(":/res/upArrowGreen.png")), tr("信号上移一行"));
    QAction *aDown = listenMenuPop->addAction(QIcon(QStringLiteral(":/res/downArrowGreen.png")), tr("信号下移一行"));
    QAction *aDel = listenMenuPop->addAction(QIcon(QStringLiteral(":/res/errRed.png")), tr("删除当前信号"));
    QAction *aDelAll = listenMenuPop->addAction(QIcon(QStringLiteral(":/res/trash.png")), tr("删除所有信号"));
    connect(aUp, &QAction::triggered, this, &QUserMainWindowDBC::soltListenSigListPopMenueActUp);
    connect(aDown, &QAction::triggered, this, &QUserMainWindowDBC::soltListenSigListPopMenueActDown);
    connect(aDel, &QAction::triggered, this, &QUserMainWindowDBC::soltListenSigListPopMenueActDel);
    connect(aDelAll, &QAction::triggered, this, &QUserMainWindowDBC::soltListenSigListPopMenueActClr);
    connect(tableView, &QWidget::customContextMenuRequested, this, &QUserMainWindowDBC::soltListenSigListPopMenue);
    connect(tableView, &QUserTableView::userDropEvent, this, &QUserMainWindowDBC::slotTabViewDropEvent);
    connect(tableView, &QAbstractItemView::clicked, this, &QUserMainWindowDBC::soltTableViewSignalItemClick);
    connect(tableView, &QAbstractItemView::doubleClicked, this, &QUserMainWindowDBC::soltTableViewSignalItemDoubleClick);

    splitterRight = new QSplitter(Qt::Vertical);
    splitterRight->setObjectName(QStringLiteral("splitter_right"));
    splitterRight->addWidget(chartViewWidget);
    splitterRight->addWidget(bottom);
    splitterRoot = new QSplitter(Qt::Horizontal);
    splitterRoot->setObjectName(QStringLiteral("splitter_root"));
    splitterRoot->addWidget(left);
    splitterRoot->addWidget(splitterRight);
    // Without a saved state the panels grow in the proportions 3 : 10 and
    // 1 : 3; the left panel also starts at 3 : 10, so that the tree's texts
    // show (the right side starts as its contents ask).
    if (splitterRootState.isEmpty() || !splitterRoot->restoreState(splitterRootState)) {
        splitterRoot->setStretchFactor(0, 3);
        splitterRoot->setStretchFactor(1, 10);
        splitterRoot->setSizes({3000, 10000});
    }
    // Never narrower than the empty tree's text (msgTreeFill's), which 3 : 10
    // of the window's opening width cut.
    left->setMinimumWidth(treeWidget->topLevelTextWidth(tr("列表空!请先导入DBC文件!"),
                                                        QFont(QStringLiteral("Calibri"), 10, QFont::Normal)) +
                          leftLayout->contentsMargins().left() + leftLayout->contentsMargins().right());
    if (splitterRightState.isEmpty() || !splitterRight->restoreState(splitterRightState)) {
        splitterRight->setStretchFactor(0, 1);
        splitterRight->setStretchFactor(1, 3);
    }
    ui->horizontalLayout_content->addWidget(splitterRoot);

    ui->actDataStop->setCheckable(true);
    connect(ui->actLoadDbc, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcFileLoad);
    connect(ui->actSave, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcPrjSave);
    connect(ui->actOpen, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcPrjLoad);
    connect(ui->actDataClr, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcSigChartDataClr);
    connect(ui->actDataStop, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcSigChartDataStop);
    connect(ui->actAutoFit, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcSigChartAutoFit);
    connect(ui->actChartSet, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcSigChartSetting);
    connect(ui->actAnalysisSet, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcSigAnalysisSetting);
    connect(ui->actHelp, &QAction::triggered, this, &QUserMainWindowDBC::slotDbcHelp);
}
