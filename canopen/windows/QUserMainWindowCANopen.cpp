// The frame of the CANopen window: form, construction and page layout,
// binding to a channel, the receive path, the protocol settings dialog, the
// EDS and project flows, the waiting dialogs of the request thread, the help
// box and destruction.
#include "canopen/windows/QUserMainWindowCANopen.h"

#include "canopen/QUserCANopenPrj.h"
#include "canopen/windows/QUserCANopenThread.h"
#include "canopen/QUserCANopenUiSetting.h"
#include "canopen/QUserEdsParser.h"
#include "canopen/windows/QUserTableModelCANopen.h"
#include "canopen/windows/QUserTableModelEDS.h"
#include "core/QUserSysCfg.h"
#include "devices/QUserDevChState.h"
#include "devices/QUserDeviceAdapter.h"
#include "resources/OrvaneResources.h"
#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserLoadingDialog.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTableView.h"
#include "widgets/QUserTreeWidget.h"

#include <QAction>
#include <QCoreApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>

#include <algorithm>

namespace {

// The panes of a splitter may be made small (each keeps at least floor):
// what does not fit then scrolls, or the user moves the handle, instead of
// the window growing past the screen.
void splitterPanesShrinkable(QSplitter *splitter, const QSize &floor)
{
    for (int i = 0; i < splitter->count(); ++i) {
        QWidget *pane = splitter->widget(i);
        const QSize hint = pane->minimumSizeHint();
        pane->setMinimumSize(std::min(std::max(hint.width(), 0), floor.width()),
                             std::min(std::max(hint.height(), 0), floor.height()));
    }
}

// While the user has not moved its handle, the splitter's last pane gets the
// width it needs as far as the first pane's own controls leave room (and at
// least half), the first pane the rest; the first sizes a window is shown
// with are provisional, so this holds for every size until the handle moves.
class LastPaneWidth : public QObject
{
public:
    LastPaneWidth(QSplitter *splitter, int need, int firstNeed)
        : QObject(splitter), splitter(splitter), need(need), firstNeed(firstNeed)
    {
        splitter->installEventFilter(this);
        connect(splitter, &QSplitter::splitterMoved, this, [this] {
            if (!applying)
                this->splitter->removeEventFilter(this);
        });
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && splitter->isVisible() && splitter->count() == 2) {
            const int total = splitter->width() - splitter->handleWidth();
            const int last = std::max(std::min(need, total - firstNeed), total / 2);
            applying = true;
            splitter->setSizes({total - last, last});
            applying = false;
        }
        return false;
    }

private:
    QSplitter *splitter;
    int need;
    int firstNeed;
    bool applying = false;
};

} // namespace

// ---- form ------------------------------------------------------------------------------

void Ui_QUserMainWindowCANopen::setupUi(QMainWindow *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QUserMainWindowCANopen"));
    w->resize(800, 600);
    auto action = [w](const char *name, const char *icon) {
        QAction *a = new QAction(w);
        a->setObjectName(QLatin1String(name));
        a->setIcon(QIcon(QLatin1String(icon)));
        return a;
    };
    actEdsFileLoad = action("actEdsFileLoad", ":/res/database.png");
    actFastOptHelp = action("actFastOptHelp", ":/res/msg_icon_question.png");
    actProSetting = action("actProSetting", ":/res/gear.png");
    actOpen = action("actOpen", ":/res/fold.png");
    actSave = action("actSave", ":/res/save.png");
    actClose = action("actClose", ":/res/msg_icon_error.png");

    centralwidget = new QWidget(w);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    w->setCentralWidget(centralwidget);

    menubar = new QMenuBar(w);
    menubar->setObjectName(QStringLiteral("menubar"));
    menubar->setGeometry(QRect(0, 0, 800, 23));
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
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    w->addToolBar(Qt::RightToolBarArea, toolBar);

    menubar->addAction(menu->menuAction());
    menubar->addAction(menu_3->menuAction());
    menubar->addAction(menu_2->menuAction());
    menu->addAction(actEdsFileLoad);
    menu->addAction(actOpen);
    menu->addAction(actSave);
    menu->addAction(actClose);
    menu_3->addAction(actProSetting);
    menu_2->addAction(actFastOptHelp);
    toolBar->addAction(actEdsFileLoad);
    toolBar->addAction(actOpen);
    toolBar->addAction(actSave);
    toolBar->addAction(actClose);
    toolBar->addAction(actFastOptHelp);

    retranslateUi(w);
}

void Ui_QUserMainWindowCANopen::retranslateUi(QMainWindow *w)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("QUserMainWindowCANopen", text); };
    w->setWindowTitle(tr("MainWindow"));
    actEdsFileLoad->setText(tr("加载EDS"));
    actEdsFileLoad->setToolTip(tr("加载EDS"));
    actFastOptHelp->setText(tr("快捷帮助"));
    actProSetting->setText(tr("解析设置"));
    actOpen->setText(tr("打开工程"));
    actSave->setText(tr("保存工程"));
    actSave->setToolTip(tr("保存工程"));
    actClose->setText(tr("关闭工程"));
    menu->setTitle(tr("文件"));
    menu_3->setTitle(tr("设置"));
    menu_2->setTitle(tr("帮助"));
    toolBar->setWindowTitle(tr("toolBar"));
}

// ---- construction and destruction ---------------------------------------------------------

QUserMainWindowCANopen::QUserMainWindowCANopen(QWidget *parent)
    : QMainWindow(parent), ui(new Ui_QUserMainWindowCANopen)
{
    orvaneResourcesInit();
    registerCanMsgMetaTypes();
    uiSetting = std::make_unique<QUserCANopenUiSetting>();
    msgBox = new QUserMessageBox;
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    canopenThreadCreat();
    logSettingLoad();

    connect(ui->actEdsFileLoad, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsFileLoad);
    connect(ui->actProSetting, &QAction::triggered, this, &QUserMainWindowCANopen::slotProcotolParaSet);
    connect(ui->actSave, &QAction::triggered, this, &QUserMainWindowCANopen::slotPrjSave);
    connect(ui->actOpen, &QAction::triggered, this, &QUserMainWindowCANopen::slotPrjLoad);
    connect(ui->actClose, &QAction::triggered, this, &QUserMainWindowCANopen::slotPrjClose);
    connect(ui->actFastOptHelp, &QAction::triggered, this, &QUserMainWindowCANopen::slotFastOptHelp);
    centralWidgetCreat();

    const QString last = QUserSysCfg::instance()->getString(QStringLiteral("canopenPrjFilePath"));
    if (!last.isEmpty() && last != QLatin1String("NULL"))
        reqPrjLoadPost(last);
}

QUserMainWindowCANopen::~QUserMainWindowCANopen()
{
    closing = true;
    uiSetting->fastOptSave();
    // The request thread goes first: it uses the parser, the lists and the
    // registry pointer of this window.
    if (reqThread) {
        reqThread->stop();
        delete reqThread;
        reqThread = nullptr;
    }
    // Requests whose finish notice never reached us.
    for (QUserCANopenReqPara *p : qAsConst(liveParams)) {
        p->parser = nullptr;
        delete p;
    }
    liveParams.clear();
    // The settings read the panels and splitters as they stand and write
    // their files: the widgets are still there.
    uiSetting.reset();
    // From here on no child may call back into this half-destroyed window.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        disconnect(child, nullptr, this, nullptr);
    delete takeCentralWidget();
    delete listenObjModel;
    listenObjModel = nullptr;
    delete msgBox;
    delete ui;
}

QUserEdsParser *QUserMainWindowCANopen::edsParser() const
{
    return uiSetting ? &uiSetting->edsParser : nullptr;
}

void QUserMainWindowCANopen::canopenThreadCreat()
{
    reqThread = new QUserCANopenThread;
    connect(reqThread, &QUserCANopenThread::progressNotice, this,
            &QUserMainWindowCANopen::slotCANopenThreadProgressNotice);
    connect(reqThread, &QUserCANopenThread::dictObjValueChangeNotice, this,
            &QUserMainWindowCANopen::slotCANopenThreadDictObjValueChangeNotice);
    reqThread->start(QThread::InheritPriority);
}

void QUserMainWindowCANopen::centralWidgetCreat()
{
    QWidget *central = ui->centralwidget;
    QHBoxLayout *layout = new QHBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    topTab = new QTabWidget;
    topTab->setObjectName(QStringLiteral("tabWidgetTop"));
    topTab->addTab(canopenPageCreat(), QStringLiteral("CANopen"));
    topTab->addTab(edsPageCreat(), QStringLiteral("EDS"));
    topTab->setCurrentIndex(0);
    layout->addWidget(topTab);
    // The EDS page shows node-id formulas for the node the CiA 301 panel
    // addresses.
    if (listenObjModel)
        listenObjModel->nodeIdSet(edsNodeId());
    if (QLineEdit *node = uiSetting->cia301.w.Cia301NodeId) {
        connect(node, &QLineEdit::textChanged, this, [this] {
            if (listenObjModel)
                listenObjModel->nodeIdSet(edsNodeId());
        });
    }
}

int QUserMainWindowCANopen::edsNodeId() const
{
    QLineEdit *edit = uiSetting ? uiSetting->cia301.w.Cia301NodeId : nullptr;
    if (!edit)
        return 0;
    QString text = edit->text();
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    bool ok = false;
    const uint node = text.toUInt(&ok, 10);
    return ok && node >= 1 && node <= 127 ? int(node) : 0;
}

QWidget *QUserMainWindowCANopen::canopenPageCreat()
{
    QSplitter *splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName(QStringLiteral("splitterCanopenRoot"));
    QWidget *left = new QWidget;
    QVBoxLayout *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    canopenLogTabCreat(leftLayout);
    splitter->addWidget(left);

    rightTab = new QTabWidget;
    rightTab->setObjectName(QStringLiteral("tabWidgetRight"));
    fastOptPage = fastOptPageCreat();
    rightTab->addTab(fastOptPage, tr("快捷操作"));
    rightTab->addTab(cia301PageCreat(), QStringLiteral("CiA301"));
    rightTab->addTab(cia402PageCreat(), QStringLiteral("CiA402"));
    int first = 0;
    int second = 0;
    uiSetting->tabPageIndexGet(first, second);
    if (second >= 0 && second < rightTab->count())
        rightTab->setCurrentIndex(second);
    connect(rightTab, &QTabWidget::currentChanged, this, &QUserMainWindowCANopen::slotRightTabPageSwitch);
    // The pages scroll up and down; across, the pane keeps the smallest
    // width its widest page can take (fields narrower, every label and button
    // whole), so no button of a row lies beyond its edge.
    int need = 0;
    for (int i = 0; i < rightTab->count(); ++i) {
        if (auto *area = qobject_cast<QScrollArea *>(rightTab->widget(i))) {
            if (area->widget())
                need = std::max(need, area->widget()->minimumSizeHint().width()
                                          + area->verticalScrollBar()->sizeHint().width() + 2 * area->frameWidth());
        }
    }
    splitter->addWidget(rightTab);
    splitter->setCollapsible(0, false);
    splitter->setCollapsible(1, false);
    splitterPanesShrinkable(splitter, QSize(160, 80));

    uiSetting->canopenRootSplitter = splitter;
    if (!uiSetting->canopenRootSplitterState.isEmpty()) {
        splitter->restoreState(uiSetting->canopenRootSplitterState);
    } else {
        // The log takes what the window grows or shrinks by; the pages
        // keep their width.
        splitter->setStretchFactor(0, 1);
        splitter->setStretchFactor(1, 0);
        // The log keeps room for its check boxes (its buttons wrap below).
        int logNeed = 16;
        for (QWidget *c : {static_cast<QWidget *>(logPauseChk), static_cast<QWidget *>(logHeartBeatChk)})
            if (c)
                logNeed += c->sizeHint().width() + 8;
        new LastPaneWidth(splitter, need + 8, logNeed);
    }
    return splitter;
}

QWidget *QUserMainWindowCANopen::edsPageCreat()
{
    QSplitter *root = new QSplitter(Qt::Horizontal);
    root->setObjectName(QStringLiteral("splitterEdsRoot"));
    QSplitter *left = new QSplitter(Qt::Vertical);
    left->setObjectName(QStringLiteral("splitterEdsLeft"));
    QSplitter *right = new QSplitter(Qt::Vertical);
    right->setObjectName(QStringLiteral("splitterEdsRight"));

    left->addWidget(dictTreeCreat());
    left->addWidget(edsInfoCreat());
    right->addWidget(listenListCreat());
    QWidget *bottom = new QWidget;
    QHBoxLayout *bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    // The PDO settings scroll when the page is small; the log beside them
    // gives way first.
    QSplitter *bottomSplitter = new QSplitter(Qt::Horizontal);
    bottomSplitter->setObjectName(QStringLiteral("splitterEdsBottom"));
    QScrollArea *pdoArea = new QScrollArea;
    pdoArea->setObjectName(QStringLiteral("scrollAreaPdo"));
    pdoArea->setWidgetResizable(true);
    pdoArea->setFrameShape(QFrame::NoFrame);
    pdoArea->setWidget(pdoPageCreat());
    bottomSplitter->addWidget(pdoArea);
    QWidget *logHost = new QWidget;
    QVBoxLayout *logLayout = new QVBoxLayout(logHost);
    logLayout->setContentsMargins(0, 0, 0, 0);
    edsLogTabCreat(logLayout);
    bottomSplitter->addWidget(logHost);
    bottomSplitter->setStretchFactor(0, 3);
    bottomSplitter->setStretchFactor(1, 1);
    bottomSplitter->setCollapsible(0, false);
    bottomLayout->addWidget(bottomSplitter);
    right->addWidget(bottom);
    root->addWidget(left);
    root->addWidget(right);

    splitterPanesShrinkable(left, QSize(100, 60));
    splitterPanesShrinkable(right, QSize(160, 60));
    splitterPanesShrinkable(bottomSplitter, QSize(120, 60));
    splitterPanesShrinkable(root, QSize(100, 60));
    uiSetting->edsRootSplitter = root;
    uiSetting->edsLeftSplitter = left;
    uiSetting->edsRightSplitter = right;
    if (!uiSetting->edsRootSplitterState.isEmpty())
        root->restoreState(uiSetting->edsRootSplitterState);
    else {
        root->setStretchFactor(0, 1);
        root->setStretchFactor(1, 3);
        root->setSizes({380, 1140});
    }
    if (!uiSetting->edsLeftSplitterState.isEmpty())
        left->restoreState(uiSetting->edsLeftSplitterState);
    else {
        left->setStretchFactor(0, 3);
        left->setStretchFactor(1, 1);
    }
    if (!uiSetting->edsRightSplitterState.isEmpty())
        right->restoreState(uiSetting->edsRightSplitterState);
    else {
        // The listen list gets the larger part: its rows are what the page
        // is used for.
        right->setStretchFactor(0, 3);
        right->setStretchFactor(1, 2);
    }
    return root;
}

void QUserMainWindowCANopen::slotRightTabPageSwitch(int index)
{
    if (index >= 0 && uiSetting)
        uiSetting->tabPageIndexSet(0, index);
}

// ---- binding and receive path -----------------------------------------------------------

void QUserMainWindowCANopen::setDevAdapter(QUserDeviceAdapter *adapter, const QString &id)
{
    if (devAdapter && devAdapter != adapter)
        devAdapter->disconnect(this);
    devId = id;
    devAdapter = adapter;
    if (!adapter) {
        qDebug() << "ERROR:DBC DevAdapter Set Err, Is NULL...";
        return;
    }
    connect(adapter, &QUserDeviceAdapter::receiveMsg, this,
            qOverload<QString, QVector<QUserCanMsg>>(&QUserMainWindowCANopen::slotCanMsgRec), Qt::UniqueConnection);
    connect(adapter, &QUserDeviceAdapter::sendResultNotify, this,
            qOverload<QString, QUserCanMsg>(&QUserMainWindowCANopen::slotCanMsgRec), Qt::UniqueConnection);
    QUserDevChState state;
    if (!adapter->devInfoGet(id, &state)) {
        qDebug() << QStringLiteral("ERROR:DBC DevAdapter Set Err, Dev(%1) Info Get Fail...").arg(id);
        return;
    }
    fdFlag = state.fdEnableGet();
    QLabel *label = new QLabel(tr("当前设备:") + id);
    label->setObjectName(QStringLiteral("labelCurrentDevice"));
    statusBar()->addWidget(label, 0);
}

void QUserMainWindowCANopen::slotCanMsgRec(QString deviceId, QUserCanMsg frame)
{
    frameReceive(deviceId, frame);
}

void QUserMainWindowCANopen::slotCanMsgRec(QString deviceId, QVector<QUserCanMsg> frames)
{
    for (const QUserCanMsg &frame : qAsConst(frames))
        frameReceive(deviceId, frame);
}

void QUserMainWindowCANopen::frameReceive(const QString &deviceId, const QUserCanMsg &frame)
{
    // Send-state notices of the senders carry tags below 100.
    if (frame.direction == 1 && (frame.status < 100 || frame.status > 200))
        return;
    canopenLogAppend(frame, deviceId);
    cia402StateCheck();
    // Only our own channel's answers may complete our SDO transfers; the log
    // shows every channel.
    if (frame.direction == 0 && !devId.isEmpty() && deviceId == devId)
        reqCanMsgRecPost(frame);
}

// ---- protocol settings ------------------------------------------------------------------

void QUserMainWindowCANopen::slotProcotolParaSet()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    QUserDlgSetting dlg;
    dlg.dlgInitIcon(tr("CANopen设置"), QStringLiteral(":/res/gear.png"));
    QList<QUserDlgSettingItem> rows;
    QUserDlgSettingItem r1;
    r1.itemType = QUserDlgSettingItem::Edit;
    r1.itemName = tr("快捷操作数量:");
    r1.itemValue = QString::number(uiSetting->fastOptList.size());
    r1.itemComment = tr("快捷指令数量");
    rows << r1;
    QUserDlgSettingItem r2;
    r2.itemType = QUserDlgSettingItem::Combo;
    r2.itemName = tr("节点显示格式:");
    r2.comboItems = QStringList{tr("十六进制"), tr("十进制")};
    r2.comboIndex = std::max(0, cfg->getInt(QStringLiteral("openNodeIdFormat")));
    r2.itemComment = tr("控制报文解析里的节点ID的显示格式");
    rows << r2;
    QUserDlgSettingItem r3;
    r3.itemType = QUserDlgSettingItem::Check;
    r3.itemName = tr("节点过滤:");
    r3.itemValue = tr("使能 ");
    const int en = cfg->getInt(QStringLiteral("openFliterNodeEn"));
    r3.itemChecked = en != 0 && en != -1;
    r3.itemComment = tr("只接收指定的节点报文");
    rows << r3;
    QUserDlgSettingItem r4;
    r4.itemType = QUserDlgSettingItem::Edit;
    r4.itemName = tr("开始节点:");
    r4.itemValue = QString::number(fliterBeginNode);
    r4.itemComment = tr("节点过滤功能的开始节点(1-127)");
    rows << r4;
    QUserDlgSettingItem r5;
    r5.itemType = QUserDlgSettingItem::Edit;
    r5.itemName = tr("结束节点:");
    r5.itemValue = QString::number(fliterEndNode);
    r5.itemComment = tr("节点过滤功能的结束节点(1-127)");
    rows << r5;
    dlg.itemsSet(rows);
    if (dlg.dlgExec() != 1)
        return;
    const QList<QUserDlgSettingItem> got = *dlg.itemsGet();
    if (got.size() < 5)
        return;

    const QString countText = got[0].itemValue.trimmed();
    if (!countText.isEmpty()) {
        bool ok = false;
        const uint n = countText.toUInt(&ok, 10);
        if (ok && n > kFastOptMax) {
            // Each row is a row of widgets: a count without bound would
            // build them until memory runs out.
            QUserMessageBox::msgWarning(this, tr("错误"), tr("快捷操作数量范围:1-%1").arg(kFastOptMax));
        } else if (ok && n != 0 && int(n) != uiSetting->fastOptList.size()) {
            uiSetting->fastOptSave();
            uiSetting->fastOptCountSet(int(n));
            fastOptPageRebuild();
        }
    }
    const int format = got[1].comboIndex;
    if (format != cfg->getInt(QStringLiteral("openNodeIdFormat")))
        cfg->setInt(QStringLiteral("openNodeIdFormat"), format);
    cfg->setInt(QStringLiteral("openFliterNodeEn"), got[2].itemChecked ? 1 : 0);

    auto nodeRead = [](const QString &text, int empty) {
        const QString t = text.trimmed();
        if (t.isEmpty())
            return empty;
        bool ok = false;
        const int v = t.toInt(&ok, 10);
        return ok ? v : 0;
    };
    const int begin = nodeRead(got[3].itemValue, 1);
    const int end = nodeRead(got[4].itemValue, 127);
    if (begin >= 1 && begin <= 127 && end >= 1 && end <= 127 && begin <= end) {
        cfg->setInt(QStringLiteral("openFliterBeginNode"), begin);
        cfg->setInt(QStringLiteral("openFliterEndNode"), end);
    } else {
        QUserMessageBox::msgError(this, tr("错误"), tr("1.节点地址范围:1-127\r\n2.开始节点必须小于等于结束节点"));
    }
    logSettingLoad();
}

// ---- EDS file and EDS information ---------------------------------------------------------

void QUserMainWindowCANopen::slotEdsFileLoad()
{
    const QString path =
        QUserPrompt::instance()->getOpenFileName(this, tr("选择EDS文件"), QString(), QStringLiteral("EDS File(*.eds)"));
    if (path.isEmpty())
        return;
    reqEdsFileLoadPost(path);
}

void QUserMainWindowCANopen::edsLoadFinish(QUserCANopenReqPara *p)
{
    // Sections that could not be read are named, whatever came of the load.
    const EdsLoadReport &report = edsParser()->loadReport;
    const QString damaged = report.damaged == 0 ? QString()
                                                : tr("%1个段无法读取,第一个:[%2](第%3行)")
                                                      .arg(report.damaged)
                                                      .arg(report.firstDamaged)
                                                      .arg(report.firstDamagedLine);
    if (p->result != 0) {
        edsLogAppend(2, tr("加载失败...") + damaged);
        QUserMessageBox::msgWarning(this, tr("警告"), tr("加载失败...") + damaged);
    } else {
        edsPath = p->filePath;
        if (edsParser()->dictObjList.isEmpty())
            edsLogAppend(1, tr("EDS文件") + tr("空!") + damaged);
        else if (!damaged.isEmpty())
            edsLogAppend(1, tr("加载完成") + QStringLiteral(",") + damaged);
        else
            edsLogAppend(0, tr("加载成功"));
        edsInfoTableUpdate();
        edsTreeUpdate();
    }
    p->parser = nullptr;
}

void QUserMainWindowCANopen::slotEdsFileInfoTypeChange(int)
{
    edsInfoTableUpdate();
}

void QUserMainWindowCANopen::edsInfoTableUpdate()
{
    if (!edsInfoTable || !edsInfoTypeCombo)
        return;
    edsInfoTable->setRowCount(0);
    const QUserEdsParser *parser = edsParser();
    QList<QPair<QString, QString>> rows;
    if (edsInfoTypeCombo->currentText() == tr("文件信息")) {
        const EdsFileInfo &f = parser->fileInfo;
        rows << qMakePair(QStringLiteral("FileName"), f.FileName)
             << qMakePair(QStringLiteral("Description"), f.Description)
             << qMakePair(QStringLiteral("FileVersion"), f.FileVersion)
             << qMakePair(QStringLiteral("FileRevision"), f.FileRevision)
             << qMakePair(QStringLiteral("CreatedBy"), f.CreatedBy)
             << qMakePair(QStringLiteral("CreationTime"), f.CreationDate + QLatin1Char(' ') + f.CreationTime)
             << qMakePair(QStringLiteral("ModifiedBy"), f.ModifiedBy)
             << qMakePair(QStringLiteral("ModificationTime"),
                          f.ModificationDate + QLatin1Char(' ') + f.ModificationTime);
    } else {
        const EdsDeviceInfo &d = parser->deviceInfo;
        rows << qMakePair(QStringLiteral("Vendorname"), d.VendorName)
             << qMakePair(QStringLiteral("VendorNumber"), d.VendorNumber)
             << qMakePair(QStringLiteral("ProductName"), d.ProductName)
             << qMakePair(QStringLiteral("ProductNumber"), d.ProductNumber)
             << qMakePair(QStringLiteral("RevisionNumber"), d.RevisionNumber)
             << qMakePair(QStringLiteral("OrderCode"), d.OrderCode)
             << qMakePair(QStringLiteral("NrOfRXPDO"), QString::number(d.NrOfRXPDO))
             << qMakePair(QStringLiteral("NrOfTXPDO"), QString::number(d.NrOfTXPDO));
    }
    for (const auto &row : qAsConst(rows)) {
        const int r = edsInfoTable->rowCount();
        edsInfoTable->insertRow(r);
        edsInfoTable->setItem(r, 0, new QTableWidgetItem(row.first));
        QTableWidgetItem *value = new QTableWidgetItem(row.second);
        value->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        edsInfoTable->setItem(r, 1, value);
        edsInfoTable->resizeRowsToContents();
    }
}

// ---- projects ---------------------------------------------------------------------------

void QUserMainWindowCANopen::slotPrjLoad()
{
    const QString path =
        QUserPrompt::instance()->getOpenFileName(this, tr("打开工程"), QString(), QStringLiteral("PRJ File(*.prj)"));
    if (path.isEmpty())
        return;
    reqPrjLoadPost(path);
}

void QUserMainWindowCANopen::prjLoadFinish(QUserCANopenReqPara *p)
{
    if (p->result != 0 || !p->project) {
        edsLogAppend(2, tr("加载失败"));
        QUserMessageBox::msgWarning(this, tr("警告"), tr("加载失败"));
        delete p->project;
        p->project = nullptr;
        return;
    }
    QUserCANopenPrj *prj = p->project;
    if (listenObjModel) {
        listenObjModel->clear();
        QList<QUserDictObj> listen;
        prj->listenDictObjListGet(listen);
        for (const QUserDictObj &obj : qAsConst(listen))
            listenObjModel->dictObjAdd(obj);
        // The columns fit what was loaded, not the empty list they were
        // sized for ("0x1..." otherwise).
        listenObjModel->rowsFill();
        if (listenView)
            listenView->resizeColumnsToContents();
    }
    QUserEdsParser *parser = edsParser();
    QList<QUserDictObj> rx;
    prj->rxPdoDictObjListGet(rx);
    parser->rxPdoList = rx;
    QList<QUserDictObj> tx;
    prj->txPdoDictObjListGet(tx);
    parser->txPdoList = tx;
    pdoTreeUpdate();
    pdoSettingShow();
    qDebug() << QStringLiteral("CANOPEN Prj File %1<msg:%2,sig:%3> Load Success...")
                    .arg(p->filePath)
                    .arg(tx.size())
                    .arg(tx.size());
    edsLogAppend(0, tr("加载成功"));
    QUserSysCfg::instance()->setString(QStringLiteral("canopenPrjFilePath"), p->filePath);
    setWindowTitle(QFileInfo(p->filePath).fileName());

    QString eds;
    prj->edsFilePathGet(eds);
    if (!eds.isEmpty()) {
        edsLogAppend(0, tr("检测到EDS文件..."));
        reqEdsFileLoadPost(eds);
    }
    delete p->project;
    p->project = nullptr;
}

void QUserMainWindowCANopen::slotPrjSave()
{
    const QString path =
        QUserPrompt::instance()->getSaveFileName(this, tr("保存"), QStringLiteral("../"), QStringLiteral("PRJ File(*.prj);"));
    if (path.isEmpty())
        return;
    reqPrjSavePost(path);
}

void QUserMainWindowCANopen::prjSaveFinish(QUserCANopenReqPara *p)
{
    if (p->result != 0) {
        edsLogAppend(2, tr("保存失败"));
        QUserMessageBox::msgWarning(this, tr("警告"), tr("保存失败"));
    } else {
        setWindowTitle(QFileInfo(p->filePath).fileName());
        QUserSysCfg::instance()->setString(QStringLiteral("canopenPrjFilePath"), p->filePath);
        edsLogAppend(0, tr("保存成功!"));
        msgBox->tipSuccess(this, tr("保存成功!"), 1000);
    }
    delete p->project;
    p->project = nullptr;
    delete p->listenList;
    p->listenList = nullptr;
    delete p->rxPdoList;
    p->rxPdoList = nullptr;
    delete p->txPdoList;
    p->txPdoList = nullptr;
}

void QUserMainWindowCANopen::slotPrjClose()
{
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否关闭当前工程?")) != 1)
        return;
    if (edsInfoTable)
        edsInfoTable->setRowCount(0);
    if (dictTree)
        dictTree->clear();
    QUserEdsParser *parser = edsParser();
    for (QUserDictObj &pdo : parser->rxPdoList)
        pdo.childList.clear();
    for (QUserDictObj &pdo : parser->txPdoList)
        pdo.childList.clear();
    pdoTreeUpdate();
    if (listenObjModel)
        listenObjModel->clear();
    setWindowTitle(QStringLiteral("CANopen"));
    QUserSysCfg::instance()->setString(QStringLiteral("canopenPrjFilePath"), QStringLiteral("NULL"));
}

// ---- request notices ----------------------------------------------------------------------

void QUserMainWindowCANopen::slotCANopenThreadProgressNotice(void *param, int stage, int)
{
    auto *p = static_cast<QUserCANopenReqPara *>(param);
    if (!p || !liveParams.contains(p))
        return;
    if (stage == 0) {
        if (p->kind != QUserCANopenThread::ReqCanMsgRec && !p->waitDialog) {
            QUserLoadingDialog *dlg = new QUserLoadingDialog(this);
            dlg->setTipsText(tr("操作中,请等待..."));
            dlg->setCancelBtnShow(false);
            dlg->setModal(true);
            dlg->moveToCenter(this);
            dlg->show();
            p->waitDialog = dlg;
        }
        return;
    }
    if (stage != 1)
        return;
    switch (p->kind) {
    case QUserCANopenThread::ReqEdsFileLoad:
        edsLoadFinish(p);
        break;
    case QUserCANopenThread::ReqPrjLoad:
        prjLoadFinish(p);
        break;
    case QUserCANopenThread::ReqPrjSave:
        prjSaveFinish(p);
        break;
    case QUserCANopenThread::ReqSdoTransfer:
    case QUserCANopenThread::KindPdoDownload:
    case QUserCANopenThread::KindPdoUpload:
        sdoReqFinish(p);
        break;
    case QUserCANopenThread::KindCia402PosStart:
        cia402PosStartFinish(p);
        break;
    default:
        break;
    }
    paraFree(p);
}

void QUserMainWindowCANopen::paraFree(QUserCANopenReqPara *p)
{
    liveParams.remove(p);
    p->parser = nullptr; // never ours to free
    delete p;
}

// ---- help -------------------------------------------------------------------------------

void QUserMainWindowCANopen::slotFastOptHelp()
{
    const QString sep = QStringLiteral("\r\n");
    const QStringList fast{
        tr("格式:帧类型+帧ID+帧数据"),
        tr("用例模板:") + QStringLiteral("S,D,123,00 01 02 03 04 05 06 07"),
        tr("用例解析:") + tr("标准帧,数据帧,ID=0x123,数据:00 01 02 03 04 05 06 07"),
        tr("帧格式:") + tr("S=标准帧 E=扩展帧"),
        tr("帧类型:") + tr("D=数据帧 R=远程帧"),
        tr("数字格式:") + tr("ID和数据都使用16进制格式,数据每1字节用1个空格隔开"),
    };
    const QStringList eds{
        tr("用途:通过EDS文件直接对设备进行字典对象操作"),
        tr("用法:导入EDS文件后,用鼠标拖拽左侧栏的字典对象到监听列表即可操作"),
        tr("字典对象值修改:鼠标双击监听表格里的单元格->改值->写入"),
        tr("重要事项:操作前先在CiA301页面设置好目标Node-ID"),
    };
    QUserDlgInfo dlg;
    dlg.dlgInitIcon(tr("快捷帮助"), QStringLiteral(":/res/msg_icon_info.png"));
    dlg.infoSet({QStringList{tr("快捷操作页面"), fast.join(sep)}, QStringList{tr("EDS页面"), eds.join(sep)}});
    // Every line whole: the text column as wide as its longest line (within
    // reason, wrapping beyond), the rows as high as their lines, and the box
    // as large as the table.
    if (QTableWidget *t = dlg.tableWidget()) {
        t->setWordWrap(true);
        t->setTextElideMode(Qt::ElideNone);
        t->resizeColumnToContents(0);
        const QFontMetrics fm(t->font());
        int longest = 0;
        for (const QString &line : fast + eds)
            longest = std::max(longest, fm.horizontalAdvance(line));
        t->setColumnWidth(1, std::min(longest + 16, 720));
        t->resizeRowsToContents();
        int height = 2 * t->frameWidth();
        for (int r = 0; r < t->rowCount(); ++r)
            height += t->rowHeight(r);
        const int width = t->columnWidth(0) + t->columnWidth(1) + 2 * t->frameWidth();
        dlg.resize(std::max(dlg.width(), width + 40), std::max(dlg.height(), height + 40));
    }
    dlg.dlgExec();
}
