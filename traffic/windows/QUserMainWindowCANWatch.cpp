#include "traffic/windows/QUserMainWindowCANWatch.h"

#include "core/QUserSysCfg.h"
#include "resources/OrvaneResources.h"
#include "traffic/windows/QUserCanWatchDelegate.h"
#include "traffic/windows/QUserTableModelCANWatch.h"
#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserProgressDlg.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTableView.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

void logLine(const QString &text) { qDebug().noquote() << "QUserMainWindowCANWatch" << ">" << text; }

const char *const kTrue = "true";
const char *const kFalse = "false";

QString boolText(bool on) { return QString::fromLatin1(on ? kTrue : kFalse); }

// A text read as an unsigned number in `base`; 0 when it is empty or no
// such number.
uint32_t unsignedOf(const QString &text, int base)
{
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok, base);
    return ok ? uint32_t(v) : 0u;
}

} // namespace

// ---- form ---------------------------------------------------------------------------

void Ui_QUserMainWindowCANWatch::setupUi(QMainWindow *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QUserMainWindowCANWatch"));
    w->resize(800, 600);
    w->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    actFileLoad = new QAction(w);
    actFileLoad->setObjectName(QStringLiteral("actFileLoad"));
    actFileLoad->setIcon(QIcon(QStringLiteral(":/res/foldYellow.png")));
    actDataClr = new QAction(w);
    actDataClr->setObjectName(QStringLiteral("actDataClr"));
    actDataClr->setIcon(QIcon(QStringLiteral(":/res/trash.png")));
    actHelp = new QAction(w);
    actHelp->setObjectName(QStringLiteral("actHelp"));
    actHelp->setIcon(QIcon(QStringLiteral(":/res/msg_icon_question.png")));
    actSetting = new QAction(w);
    actSetting->setObjectName(QStringLiteral("actSetting"));
    actSetting->setIcon(QIcon(QStringLiteral(":/res/gear.png")));

    centralwidget = new QWidget(w);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    w->setCentralWidget(centralwidget);

    menubar = new QMenuBar(w);
    menubar->setObjectName(QStringLiteral("menubar"));
    menubar->setGeometry(QRect(0, 0, 800, 23));
    menubar->setSizePolicy(QSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));
    menu = new QMenu(menubar);
    menu->setObjectName(QStringLiteral("menu"));
    menu_3 = new QMenu(menubar);
    menu_3->setObjectName(QStringLiteral("menu_3"));
    menu_2 = new QMenu(menubar);
    menu_2->setObjectName(QStringLiteral("menu_2"));
    w->setMenuBar(menubar);

    statusbar = new QStatusBar(w);
    statusbar->setObjectName(QStringLiteral("statusbar"));
    w->setStatusBar(statusbar);

    toolBar = new QToolBar(w);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setSizePolicy(QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    w->addToolBar(Qt::RightToolBarArea, toolBar);

    menubar->addAction(menu->menuAction());
    menubar->addAction(menu_3->menuAction());
    menubar->addAction(menu_2->menuAction());
    menu->addAction(actFileLoad);
    menu_3->addAction(actSetting);
    menu_2->addAction(actHelp);
    toolBar->addAction(actFileLoad);
    toolBar->addAction(actDataClr);

    retranslateUi(w);
    QMetaObject::connectSlotsByName(w);
}

void Ui_QUserMainWindowCANWatch::retranslateUi(QMainWindow *w)
{
    const char *ctx = "QUserMainWindowCANWatch";
    w->setWindowTitle(QCoreApplication::translate(ctx, "MainWindow"));
    actFileLoad->setText(QCoreApplication::translate(ctx, "加载文件"));
    actFileLoad->setToolTip(QCoreApplication::translate(ctx, "加载文件"));
    actDataClr->setText(QCoreApplication::translate(ctx, "清空数据"));
    actDataClr->setToolTip(QCoreApplication::translate(ctx, "清空数据"));
    actHelp->setText(QCoreApplication::translate(ctx, "快捷帮助"));
    actHelp->setToolTip(QCoreApplication::translate(ctx, "快捷帮助"));
    actSetting->setText(QCoreApplication::translate(ctx, "查看设置"));
    actSetting->setToolTip(QCoreApplication::translate(ctx, "查看设置"));
    menu->setTitle(QCoreApplication::translate(ctx, "文件"));
    menu_3->setTitle(QCoreApplication::translate(ctx, "设置"));
    menu_2->setTitle(QCoreApplication::translate(ctx, "帮助"));
    toolBar->setWindowTitle(QCoreApplication::translate(ctx, "toolBar"));
}

// ---- settings -----------------------------------------------------------------------

void QUserCanWatchBasicOpt::uiToText()
{
    if (chkBoxTxMsgShow)
        txMsgShowText = boolText(chkBoxTxMsgShow->isChecked());
    if (chkBoxRtrMsgShow)
        rtrMsgShowText = boolText(chkBoxRtrMsgShow->isChecked());
    if (chkBoxIdFliterEn)
        idFliterEnText = boolText(chkBoxIdFliterEn->isChecked());
    if (lineEditFliterStartId)
        fliterStartIdText = lineEditFliterStartId->text();
    if (lineEditFliterStopId)
        fliterStopIdText = lineEditFliterStopId->text();
    if (lineEditLocateRow)
        locateRowText = lineEditLocateRow->text();
}

void QUserCanWatchBasicOpt::textToUi()
{
    if (chkBoxTxMsgShow)
        chkBoxTxMsgShow->setChecked(txMsgShowText == QLatin1String(kTrue));
    if (chkBoxRtrMsgShow)
        chkBoxRtrMsgShow->setChecked(rtrMsgShowText == QLatin1String(kTrue));
    if (chkBoxIdFliterEn)
        chkBoxIdFliterEn->setChecked(idFliterEnText == QLatin1String(kTrue));
    if (lineEditFliterStartId)
        lineEditFliterStartId->setText(fliterStartIdText);
    if (lineEditFliterStopId)
        lineEditFliterStopId->setText(fliterStopIdText);
    if (lineEditLocateRow)
        lineEditLocateRow->setText(locateRowText);
}

QUserCanWatchUiCfg::QUserCanWatchUiCfg() { load(); }

QUserCanWatchUiCfg::~QUserCanWatchUiCfg()
{
    save();
    // A tool column never shown belongs to no layout.
    if (toolColumn && !toolColumn->parent())
        delete toolColumn;
    toolColumn = nullptr;
}

QString QUserCanWatchUiCfg::filePath() { return QStringLiteral("setting/CANWatchUi.ini"); }

bool QUserCanWatchUiCfg::load()
{
    if (!store.load(filePath()))
        return false;
    QString v;
    if (store.getValue(QStringLiteral("windowRightTabPageIndex"), v))
        rightTabPageIndex = int(unsignedOf(v, 10));
    if (store.getValue(QStringLiteral("windowLeftTabPageIndex"), v))
        leftTabPageIndex = int(unsignedOf(v, 10));
    store.getValue(QStringLiteral("chkBoxTxMsgShow"), basicOpt.txMsgShowText);
    store.getValue(QStringLiteral("chkBoxRtrMsgShow"), basicOpt.rtrMsgShowText);
    store.getValue(QStringLiteral("chkBoxIdFliterEn"), basicOpt.idFliterEnText);
    store.getValue(QStringLiteral("lineEditFliterStartId"), basicOpt.fliterStartIdText);
    store.getValue(QStringLiteral("lineEditFliterStopId"), basicOpt.fliterStopIdText);
    store.getValue(QStringLiteral("lineEditLocateRow"), basicOpt.locateRowText);
    return true;
}

bool QUserCanWatchUiCfg::save()
{
    basicOpt.uiToText();
    store.setValue(QStringLiteral("windowRightTabPageIndex"), QString::number(rightTabPageIndex));
    store.setValue(QStringLiteral("windowLeftTabPageIndex"), QString::number(leftTabPageIndex));
    store.setValue(QStringLiteral("chkBoxTxMsgShow"), basicOpt.txMsgShowText);
    store.setValue(QStringLiteral("chkBoxRtrMsgShow"), basicOpt.rtrMsgShowText);
    store.setValue(QStringLiteral("chkBoxIdFliterEn"), basicOpt.idFliterEnText);
    store.setValue(QStringLiteral("lineEditFliterStartId"), basicOpt.fliterStartIdText);
    store.setValue(QStringLiteral("lineEditFliterStopId"), basicOpt.fliterStopIdText);
    store.setValue(QStringLiteral("lineEditLocateRow"), basicOpt.locateRowText);
    QDir().mkpath(QStringLiteral("setting"));
    return store.save(filePath());
}

void QUserCanWatchUiCfg::tabIndexGet(int *right, int *left) const
{
    if (right)
        *right = rightTabPageIndex;
    if (left)
        *left = leftTabPageIndex;
}

// ---- window ---------------------------------------------------------------------------

QUserMainWindowCANWatch::QUserMainWindowCANWatch(QWidget *parent) : QMainWindow(parent)
{
    orvaneResourcesInit();
    ui = new Ui_QUserMainWindowCANWatch;
    work = std::make_unique<QUserCanWatchWork>();
    QUserCanWatchWork::newCachePaths(&req.srcCachePath, &req.cachePath);
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    workThread.setWork(work.get());
    workThread.start();
    connect(work.get(), QOverload<>::of(&QUserWork::stop), this, &QUserMainWindowCANWatch::slotWorkStop,
            Qt::QueuedConnection);
    actionsConnect();
    layoutInit();
    countLabel = new QLabel;
    countLabel->setObjectName(QStringLiteral("labelFrameCount"));
    statusBar()->addPermanentWidget(countLabel);
}

QUserMainWindowCANWatch::~QUserMainWindowCANWatch()
{
    // A job may be running on the worker's thread with the record and the
    // caches in hand (also one the user has cancelled and that has not seen
    // the flag yet). Ask it to stop, end the thread and wait for it; only
    // then do the caches, the record and the worker go.
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
    if (cfg.tableModel)
        cfg.tableModel->cacheFileClose();
    delete ui;
    ui = nullptr;
    QFile::remove(req.srcCachePath);
    QFile::remove(req.cachePath);
    // Then the record (with its progress dialog) and the worker; the
    // settings are saved while the widgets still stand.
}

void QUserMainWindowCANWatch::actionsConnect()
{
    connect(ui->actFileLoad, &QAction::triggered, this, &QUserMainWindowCANWatch::slotWatchItemLoad);
    connect(ui->actDataClr, &QAction::triggered, this, &QUserMainWindowCANWatch::slotWatchItemCacheClr);
    connect(ui->actSetting, &QAction::triggered, this, &QUserMainWindowCANWatch::slotWatchSetting);
    connect(ui->actHelp, &QAction::triggered, this, &QUserMainWindowCANWatch::slotHelp);
    ui->toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

void QUserMainWindowCANWatch::layoutInit()
{
    if (!cfg.mainLayout)
        cfg.mainLayout = new QHBoxLayout(ui->centralwidget);
    for (QVBoxLayout **column : {&cfg.dataColumn, &cfg.toolColumn}) {
        if (*column) {
            cfg.mainLayout->removeItem(*column);
            delete *column;
        }
        *column = new QVBoxLayout;
    }
    toolColumnShown = false;
    dataAreaInit();
    toolAreaInit();
    cfg.mainLayout->addLayout(cfg.dataColumn, 3);
    if (cfg.advToolState != 0) {
        cfg.toolTab->setVisible(true);
        cfg.mainLayout->addLayout(cfg.toolColumn, 1);
        toolColumnShown = true;
    } else {
        cfg.toolTab->setVisible(false);
    }
}

void QUserMainWindowCANWatch::dataAreaInit()
{
    cfg.dataTab = new QTabWidget(this);
    cfg.dataTab->setIconSize(QSize(20, 20));
    QUserTableView *view = new QUserTableView(this);
    QUserTableModelCANWatch *model = new QUserTableModelCANWatch(this);
    cfg.tableView = view;
    cfg.tableModel = model;

    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->setWordWrap(true);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setVisible(true);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setStretchLastSection(true);
    view->verticalHeader()->setVisible(false);
    view->setAlternatingRowColors(true);
    view->setSortingEnabled(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalScrollBar()->setEnabled(false);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setFocusPolicy(Qt::WheelFocus);

    QWidget *page = new QWidget;
    QHBoxLayout *pageLayout = new QHBoxLayout(page);
    pageLayout->addWidget(view);
    pageLayout->addWidget(view->vScrollBar);
    view->vScrollBar->setVisible(true);
    view->setUserModel(model);
    auto *delegate = new QUserCanWatchDelegate(view);
    delegate->setGridLines(true);
    view->setShowGrid(false);
    view->setItemDelegate(delegate);
    // The bar runs over window starts, so its end shows the last full page
    // and the thumb is as long as a page is of the table.
    connect(model, &QUserTableModelCANWatch::scrollRangeChange, view, [view](int maximum) {
        if (view->vScrollBar)
            view->vScrollBar->setRange(0, maximum);
    });

    model->setColumnCount(QUserTableModelCANWatch::ColumnCount);
    model->setHorizontalHeaderLabels({tr("序号"), tr("传输方向"), tr("时间"), tr("帧ID"), tr("帧格式"), tr("帧类型"),
                                      tr("长度"), tr("数据")});
    const int widths[QUserTableModelCANWatch::ColumnCount] = {90, 70, 100, 120, 70, 70, 35, 500};
    for (int c = 0; c < QUserTableModelCANWatch::ColumnCount; ++c)
        view->setColumnWidth(c, widths[c]);

    cfg.dataTab->addTab(page, tr("CAN报文"));
    cfg.dataColumn->addWidget(cfg.dataTab);

    QHBoxLayout *row = new QHBoxLayout;
    cfg.advToolShow = new QCheckBox(tr("显示高级工具"));
    cfg.advToolShow->setChecked(cfg.advToolState != 0);
    cfg.btnClear = new QPushButton(tr("清空数据"));
    cfg.btnSave = new QPushButton(tr("保存"));
    row->addWidget(cfg.advToolShow);
    row->addStretch();
    row->addWidget(cfg.btnClear);
    row->addWidget(cfg.btnSave);
    cfg.dataColumn->addLayout(row);
    connect(cfg.advToolShow.data(), &QCheckBox::stateChanged, this, &QUserMainWindowCANWatch::slotAdvToolShowEn);
    connect(cfg.btnClear.data(), &QPushButton::clicked, this, &QUserMainWindowCANWatch::slotWatchItemCacheClr);
    connect(cfg.btnSave.data(), &QPushButton::clicked, this, &QUserMainWindowCANWatch::slotWatchItemSave);
}

void QUserMainWindowCANWatch::toolAreaInit()
{
    cfg.toolTab = new QTabWidget(this);
    cfg.toolTab->addTab(basicOptPageInit(), tr("基本操作"));
    cfg.toolColumn->addWidget(cfg.toolTab);
    cfg.toolTab->setCurrentIndex(cfg.leftTabPageIndex);
}

QWidget *QUserMainWindowCANWatch::basicOptPageInit()
{
    QUserCanWatchBasicOpt &opt = cfg.basicOpt;
    QWidget *page = new QWidget;
    QHBoxLayout *pageLayout = new QHBoxLayout(page);
    QScrollArea *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setAlignment(Qt::AlignRight);
    pageLayout->addWidget(scroll);

    QWidget *content = new QWidget;
    content->setAutoFillBackground(true);
    QPalette pal = content->palette();
    pal.setColor(QPalette::Window, Qt::white);
    content->setPalette(pal);
    QVBoxLayout *column = new QVBoxLayout(content);

    QGroupBox *fliterBox = new QGroupBox(tr("报文过滤"));
    QVBoxLayout *fliterLayout = new QVBoxLayout(fliterBox);
    QHBoxLayout *flags = new QHBoxLayout;
    opt.chkBoxTxMsgShow = new QCheckBox(tr("显示发送帧"));
    opt.chkBoxRtrMsgShow = new QCheckBox(tr("显示远程帧"));
    flags->addWidget(opt.chkBoxTxMsgShow);
    flags->addWidget(opt.chkBoxRtrMsgShow);
    fliterLayout->addLayout(flags);
    QHBoxLayout *idEnable = new QHBoxLayout;
    opt.chkBoxIdFliterEn = new QCheckBox(tr("ID过滤使能"));
    idEnable->addWidget(opt.chkBoxIdFliterEn);
    fliterLayout->addLayout(idEnable);
    QHBoxLayout *range = new QHBoxLayout;
    const QRegularExpression hexId(QStringLiteral("[A-Fa-f0-9]{8}"));
    opt.lineEditFliterStartId = new QLineEdit;
    opt.lineEditFliterStartId->setValidator(new QRegularExpressionValidator(hexId, opt.lineEditFliterStartId));
    opt.lineEditFliterStopId = new QLineEdit;
    opt.lineEditFliterStopId->setValidator(new QRegularExpressionValidator(hexId, opt.lineEditFliterStopId));
    range->addWidget(new QLabel(tr("开始ID:0x")));
    range->addWidget(opt.lineEditFliterStartId);
    range->addWidget(new QLabel(tr("结束ID:0x")));
    range->addWidget(opt.lineEditFliterStopId);
    fliterLayout->addLayout(range);
    QHBoxLayout *run = new QHBoxLayout;
    opt.btnFliter = new QPushButton(tr("执行"));
    run->addStretch();
    run->addWidget(opt.btnFliter);
    fliterLayout->addLayout(run);
    connect(opt.btnFliter.data(), &QPushButton::clicked, this, &QUserMainWindowCANWatch::slotBasicMsgFliter);
    column->addWidget(fliterBox);

    QGroupBox *locateBox = new QGroupBox(tr("报文定位"));
    QHBoxLayout *locate = new QHBoxLayout(locateBox);
    opt.lineEditLocateRow = new QLineEdit;
    opt.lineEditLocateRow->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{8}")), opt.lineEditLocateRow));
    opt.btnLocate = new QPushButton(tr("跳转"));
    locate->addWidget(new QLabel(tr("跳转到第")));
    locate->addWidget(opt.lineEditLocateRow);
    locate->addWidget(new QLabel(tr("行")));
    locate->addWidget(opt.btnLocate);
    connect(opt.btnLocate.data(), &QPushButton::clicked, this, &QUserMainWindowCANWatch::slotBasicRowLocate);
    column->addWidget(locateBox);

    // Eight digits is all the edits take: as wide as that.
    for (QLineEdit *edit : {opt.lineEditFliterStartId.data(), opt.lineEditFliterStopId.data(),
                            opt.lineEditLocateRow.data()}) {
        const int w = edit->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDDDD")) + 12;
        edit->setMinimumWidth(w);
        edit->setMaximumWidth(w);
    }
    opt.textToUi();
    column->addStretch();
    scroll->setWidget(content);
    // The column takes a quarter of the window, but never so little that
    // the controls are cut off.
    scroll->setMinimumWidth(content->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width()
                            + 2 * scroll->frameWidth());
    return page;
}

void QUserMainWindowCANWatch::slotAdvToolShowEn(int state)
{
    if (state == cfg.advToolState)
        return;
    cfg.advToolState = state;
    if (state != 0) {
        cfg.toolTab->setVisible(true);
        if (!toolColumnShown) {
            cfg.mainLayout->addLayout(cfg.toolColumn, 1);
            toolColumnShown = true;
        }
        cfg.mainLayout->setStretchFactor(cfg.toolColumn, 1);
    } else {
        cfg.toolTab->setVisible(false);
        if (toolColumnShown) {
            cfg.mainLayout->removeItem(cfg.toolColumn);
            // Out of the layout it must belong to none, to go back in later.
            cfg.toolColumn->setParent(nullptr);
            toolColumnShown = false;
        }
    }
}

// ---- requests -----------------------------------------------------------------------

void QUserMainWindowCANWatch::busyShow()
{
    const bool idle = !busy;
    ui->actFileLoad->setEnabled(idle);
    ui->actDataClr->setEnabled(idle);
    if (cfg.btnClear)
        cfg.btnClear->setEnabled(idle);
    if (cfg.btnSave)
        cfg.btnSave->setEnabled(idle);
    if (cfg.basicOpt.btnFliter)
        cfg.basicOpt.btnFliter->setEnabled(idle);
}

int QUserMainWindowCANWatch::workStart()
{
    // The job of an earlier request, cancelled, may still be running: it
    // owns the record and the caches until its stop() has come. A request
    // issued now would clear its stop flag and let it run on, and the table
    // would show a half-made cache as a finished one.
    if (busy)
        return -1;
    if (!req.progressDlg) {
        req.progressDlg = new QUserProgressDlg;
        req.progressDlg->setWindowFlags(Qt::FramelessWindowHint);
        req.progressDlg->setAttribute(Qt::WA_TranslucentBackground);
        req.progressDlg->setMinimumDuration(0);
        req.progressDlg->setWindowIcon(QIcon(QStringLiteral(":/res/msg_icon_info.png")));
        req.progressDlg->setRange(0, 100);
        req.progressDlg->setMinimumWidth(200);
        req.progressDlg->setCancelButtonText(tr("取消"));
        req.progressDlg->setAutoClose(false);
        connect(work.get(), &QUserWork::progressValue, req.progressDlg, &QProgressDialog::setValue,
                Qt::QueuedConnection);
    }
    QUserProgressDlg *pd = req.progressDlg;
    pd->reset(); // clears the cancel state of an earlier request
    pd->setWindowModality(Qt::ApplicationModal);
    pd->setRange(0, 100);
    pd->setValue(0);
    const QString text = req.reqType == QUserCanWatchReq::ReqLoad ? tr("加载中...") : tr("处理中...");
    pd->setWindowTitle(text);
    pd->setLabelText(text);
    const QRect g = geometry();
    const int cx = g.left() + (g.right() - g.left() + 1) / 2;
    const int cy = g.top() + (g.bottom() - g.top() + 1) / 2;
    pd->move(cx - pd->width() / 2, cy - pd->height() / 2);

    busy = true;
    jobEnded = false;
    busyShow();
    work->reqRun(req.reqType, &req);
    const QPointer<QUserMainWindowCANWatch> self(this);
    inModal = true;
    QUserPrompt::instance()->exec(pd);
    if (!self)
        return 0; // the window was closed from within the modal run
    inModal = false;
    if (!jobEnded) {
        // "取消": the job stops before its next batch or record. The window
        // stays busy until it has; workFinish runs when its stop() comes.
        work->reqStop();
        pd->hide();
        statusBar()->showMessage(tr("正在取消..."));
        return 0;
    }
    workFinish();
    return 0;
}

void QUserMainWindowCANWatch::slotWorkStop()
{
    if (jobEnded)
        return;
    jobEnded = true;
    if (inModal) {
        // The modal run ends; workStart goes on from there.
        if (req.progressDlg)
            req.progressDlg->cancel();
        return;
    }
    if (busy)
        workFinish();
}

void QUserMainWindowCANWatch::workFinish()
{
    if (req.progressDlg)
        req.progressDlg->hide();
    busy = false;
    busyShow();
    statusBar()->clearMessage();
    if (cfg.tableModel) {
        cfg.tableModel->cacheFileClose();
        cfg.tableModel->cacheFileOpen(req.cachePath);
        // The cache the table let go of is freed off this thread.
        work->retiredRelease();
        // The table starts at its first row again, and so do the thumb
        // and the current row: the bar's old place belongs to the table
        // before, and the next wheel step would jump there.
        cfg.tableModel->windowRebuild();
        if (cfg.tableView) {
            // Nothing is marked, as after the first load.
            cfg.tableView->rowLocate(0);
            cfg.tableView->clearSelection();
            if (cfg.tableView->vScrollBar)
                cfg.tableView->vScrollBar->setValue(0);
        }
    }
    if (req.reqType == QUserCanWatchReq::ReqLoad)
        loaded = req.recordCount;
    if (req.reqType != QUserCanWatchReq::ReqSave)
        frameCountShow(req.recordCount);
    switch (req.result) {
    case QUserCanWatchReq::ResultCreateFail:
        QUserMessageBox::msgError(this, tr("错误"), tr("文件创建失败!"));
        break;
    case QUserCanWatchReq::ResultCacheFail:
        QUserMessageBox::msgError(this, tr("错误"), tr("缓存文件读写失败!"));
        break;
    case QUserCanWatchReq::ResultWriteFail:
        QUserMessageBox::msgError(this, tr("错误"), tr("文件写入失败!"));
        break;
    default:
        // A file cut short and damaged says both.
        if (req.reqType == QUserCanWatchReq::ReqLoad && req.notTrace)
            QUserMessageBox::msgError(this, tr("错误"),
                                      tr("文件%1不是可读取的记录文件(ASC/BLF)!").arg(QFileInfo(req.path).fileName()));
        else if (req.reqType == QUserCanWatchReq::ReqLoad && req.damagedCount > 0 && req.endedEarly)
            QUserMessageBox::msgWarning(this, tr("警告"),
                                        tr("文件已损坏且提前结束(文件不完整),跳过了%1处损坏的数据,已读取%2帧。")
                                            .arg(req.damagedCount)
                                            .arg(req.recordCount));
        else if (req.reqType == QUserCanWatchReq::ReqLoad && req.damagedCount > 0)
            QUserMessageBox::msgWarning(this, tr("警告"),
                                        tr("文件已损坏,跳过了%1处损坏的数据,已读取%2帧。")
                                            .arg(req.damagedCount)
                                            .arg(req.recordCount));
        else if (req.reqType == QUserCanWatchReq::ReqLoad && req.endedEarly)
            QUserMessageBox::msgWarning(this, tr("警告"),
                                        tr("文件提前结束(文件不完整),已读取%1帧。").arg(req.recordCount));
        else
            tips.tipSuccess(this, tr("操作完成!"), 500);
        break;
    }
    if (req.skippedCount > 0)
        QUserMessageBox::msgWarning(this, tr("警告"), tr("跳过%1条无法读取的数据。").arg(req.skippedCount));
}

void QUserMainWindowCANWatch::slotWatchItemLoad()
{
    if (busy)
        return;
    logLine(QStringLiteral("加载文件..."));
    const QString path = QUserPrompt::instance()->getOpenFileName(this, tr("加载文件"), QString(),
                                                                  QStringLiteral("Record File(*.blf *asc)"));
    if (path.isEmpty())
        return;
    req.path = path;
    req.reqType = QUserCanWatchReq::ReqLoad;
    workStart();
}

void QUserMainWindowCANWatch::slotWatchItemCacheClr()
{
    // A running job writes the caches.
    if (busy)
        return;
    // Freeing the pages of a large cache is left to the worker's reaper.
    work->retire(req.srcCachePath);
    work->retire(req.cachePath);
    if (cfg.tableModel)
        cfg.tableModel->cacheFileClose();
    QFile::remove(req.srcCachePath);
    QFile::remove(req.cachePath);
    work->retiredRelease();
    loaded = -1;
    frameCountShow(0);
}

void QUserMainWindowCANWatch::frameCountShow(int64_t shown)
{
    if (!countLabel)
        return;
    if (loaded < 0) {
        countLabel->clear();
        return;
    }
    const QLocale grouped(QLocale::English);
    if (shown == loaded)
        countLabel->setText(tr("已加载%1帧").arg(grouped.toString(qlonglong(loaded))));
    else
        countLabel->setText(
            tr("已加载%1帧,显示%2帧").arg(grouped.toString(qlonglong(loaded)), grouped.toString(qlonglong(shown))));
}

void QUserMainWindowCANWatch::slotWatchItemSave()
{
    if (busy)
        return;
    const QString path = QUserPrompt::instance()->getSaveFileName(this, tr("另存为"), QStringLiteral("../"),
                                                                  QStringLiteral("BLF File(*.blf);;ASC File(*.asc)"));
    if (path.isEmpty())
        return;
    req.path = path;
    req.reqType = QUserCanWatchReq::ReqSave;
    workStart();
}

void QUserMainWindowCANWatch::slotBasicMsgFliter()
{
    if (busy)
        return;
    QUserCanWatchBasicOpt &opt = cfg.basicOpt;
    opt.uiToText();
    req.showTx = opt.txMsgShowText == QLatin1String(kTrue);
    req.showRemote = opt.rtrMsgShowText == QLatin1String(kTrue);
    req.idRangeEnable = opt.idFliterEnText == QLatin1String(kTrue);
    req.startId = unsignedOf(opt.fliterStartIdText, 16);
    req.stopId = unsignedOf(opt.fliterStopIdText, 16);
    req.reqType = QUserCanWatchReq::ReqFliter;
    workStart();
}

void QUserMainWindowCANWatch::slotBasicRowLocate()
{
    if (!cfg.tableView || !cfg.basicOpt.lineEditLocateRow)
        return;
    const uint32_t row = unsignedOf(cfg.basicOpt.lineEditLocateRow->text(), 10);
    cfg.tableView->rowLocate(row > uint32_t(INT_MAX) ? INT_MAX : int(row));
}

void QUserMainWindowCANWatch::slotWatchWorkTimeout(void *request)
{
    auto *r = static_cast<QUserCanWatchReq *>(request);
    if (r && r->progressDlg) {
        r->progressDlg->setValue(r->step);
        ++r->step;
    }
}

void QUserMainWindowCANWatch::slotWatchSetting()
{
    logLine(QStringLiteral("TabData Display Setting..."));
    QUserSysCfg *sys = QUserSysCfg::instance();
    const int idFormat = sys->getInt(QStringLiteral("cw_msgIdFormat"));
    const int dataFormat = sys->getInt(QStringLiteral("cw_msgDataFormat"));
    const QStringList choices = {tr("十六进制"), tr("十进制")};
    // The box shows the format in effect: the table takes 1 as decimal and
    // any other value (-1 for a key not yet written) as hexadecimal.
    const auto shownIndex = [](int format) { return format == 1 ? 1 : 0; };
    QUserDlgSettingItem idRow;
    idRow.itemType = QUserDlgSettingItem::Combo;
    idRow.itemName = tr("ID格式:");
    idRow.comboItems = choices;
    idRow.comboIndex = shownIndex(idFormat);
    idRow.itemComment = tr("控制表格内部的ID显示格式");
    QUserDlgSettingItem dataRow;
    dataRow.itemType = QUserDlgSettingItem::Combo;
    dataRow.itemName = tr("数据格式:");
    dataRow.comboItems = choices;
    dataRow.comboIndex = shownIndex(dataFormat);
    dataRow.itemComment = tr("控制表格内部的数据显示格式");

    QUserDlgSetting dlg;
    dlg.dlgInitIcon(tr("设置"), QStringLiteral(":/res/gear.png"));
    dlg.itemsSet({idRow, dataRow});
    if (dlg.dlgExec() != 1)
        return;
    const QList<QUserDlgSettingItem> *rows = dlg.itemsGet();
    if (rows->size() < 2)
        return;
    if (rows->at(0).comboIndex != idFormat)
        sys->setInt(QStringLiteral("cw_msgIdFormat"), rows->at(0).comboIndex);
    if (rows->at(1).comboIndex != dataFormat)
        sys->setInt(QStringLiteral("cw_msgDataFormat"), rows->at(1).comboIndex);
}

void QUserMainWindowCANWatch::slotHelp()
{
    QUserDlgInfo info;
    info.dlgInitIcon(tr("快捷操作"), QStringLiteral(":/res/msg_icon_info.png"));
    info.infoSet({QStringList{tr("支持文件:"), QStringLiteral("BLF/ASC")}});
    info.dlgExec();
}
