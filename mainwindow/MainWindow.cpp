#include "mainwindow/MainWindow.h"

#include "traffic/windows/QUserCacheSweep.h"

#include "core/QUserDevId.h"
#include "core/QUserSysCfg.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "resources/OrvaneResources.h"
#include "widgets/QRibbon.h"
#include "widgets/QUserTableModel.h"
#include "widgets/QUserTableView.h"
#include "widgets/uiStatusBar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPixmap>
#include <QPropertyAnimation>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QLibraryInfo>
#include <QTranslator>
#include <QVBoxLayout>

const char *MainWindow::kQmChinese = "lanague_cn.qm";
const char *MainWindow::kQmQtChinese = "qtbase_zh_CN";
const char *MainWindow::kQmEnglish = "lanague_en.qm";

namespace {

QUserSysCfg *cfg()
{
    return QUserSysCfg::instance();
}

} // namespace

bool textGroupInsert(QString &text, const QString &sep, int width)
{
    if (width <= 0)
        return true;
    for (int pos = text.length() - width; pos > 0; pos -= width)
        text.insert(pos, sep);
    return true;
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent, Qt::WindowFlags()), ui(new Ui_MainWindow)
{
    // The tab registry (with "GLOBAL") and the message box are members,
    // made before this body runs.
    orvaneResourcesInit();
    ui->setupUi(this);
    translator = nullptr;

    setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);

    languageInit();

    QRibbonOptions ribbon;
    ribbon.title = QStringLiteral("Orvane") + tr("(Orvane 开发组)");
    ribbon.iconPath = QStringLiteral(":/res/can.png");
    QRibbon::install(this, ribbon);

    if (!QDir(QStringLiteral("cache/")).exists())
        QDir().mkdir(QStringLiteral("cache/"));
    // Caches that sessions ended by a crash or a kill left behind go; those
    // of programs still running stay.
    QUserCacheSweep::ownerHold(QStringLiteral("cache"));
    QUserCacheSweep::sweep(QStringLiteral("cache"));

    // Model names offered by the device selection, to the registry's device
    // type keys. The two classic families' names are translatable.
    deviceModelMap.insert(tr("USBCAN1-A"), QStringLiteral("USBCAN1"));
    deviceModelMap.insert(tr("USBCAN1-B"), QStringLiteral("USBCAN1"));
    deviceModelMap.insert(tr("USBCAN2-A"), QStringLiteral("USBCAN2"));
    deviceModelMap.insert(tr("USBCAN2-B"), QStringLiteral("USBCAN2"));
    for (const char *fixed : {"VARIRORODadi", "VURIVUVU1", "USBCANFD2", "TRNA701", "TRNB701", "TRNA702", "TRNB702"})
        deviceModelMap.insert(QString::fromLatin1(fixed), QString::fromLatin1(fixed));

    uiWelcomeTabInit();
    uiActionConnect();
    uiTabDataConnect();
    uiTabBasicSendInit();
    uiTabAdvanceSendInit();
    uiStatusBarInit();

    devAdapter = new QUserDeviceAdapter(this);

    displaySettingsInit();

    mainTimer = new QTimer;
    connect(mainTimer, &QTimer::timeout, this, &MainWindow::soltMainWindowTimeHandle);

    // Frames and send results come from driver and sender threads: both
    // connections are queued, so their argument types are registered first.
    qRegisterMetaType<QVector<QUserCanMsg>>("QVector<QUserCanMsg>");
    connect(devAdapter, SIGNAL(receiveMsg(QString,QVector<QUserCanMsg>)), this,
            SLOT(soltDevRec(QString,QVector<QUserCanMsg>)), Qt::QueuedConnection);
    qRegisterMetaType<QUserCanMsg>("QUserCanMsg");
    connect(devAdapter, SIGNAL(sendResultNotify(QString,QUserCanMsg)), this,
            SLOT(soltDevSendResult(QString,QUserCanMsg)), Qt::QueuedConnection);
    // Queued: the failure is met inside the receive road's batch loop.
    connect(devAdapter, &QUserDeviceAdapter::recordFailed, this, &MainWindow::soltRecordFailed, Qt::QueuedConnection);
    // Queued as the frames are: the box comes after the last frames shown.
    connect(devAdapter, &QUserDeviceAdapter::devLost, this, &MainWindow::soltDevLost, Qt::QueuedConnection);

    mainTimer->start(100);

    show();
    fadeIn();

    uiLayoutRestore();
}

MainWindow::~MainWindow()
{
    if (mainTimer) {
        mainTimer->stop();
        delete mainTimer;
        mainTimer = nullptr;
    }
    // Tool windows hold the registry (and connections to it): they go while
    // everything they may reach still stands.
    toolWindowsClose();
    uiLayoutFree();
    delete ui;
    ui = nullptr;
    if (devAdapter) {
        delete devAdapter;
        devAdapter = nullptr;
    }
    uiStatusBarFree();
    qtTranslatorFree();
    if (translator) {
        QApplication::removeTranslator(translator);
        delete translator;
        translator = nullptr;
    }
    // The message box, the tab registry and the model map are members and go
    // in that order after this body.
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    QApplication::exit(0);
}

void MainWindow::fadeIn()
{
    QGraphicsOpacityEffect *effect = new QGraphicsOpacityEffect(this);
    effect->setOpacity(0.0);
    setGraphicsEffect(effect);
    QPropertyAnimation *anim = new QPropertyAnimation(effect, "opacity", this);
    anim->setDuration(500);
    anim->setStartValue(0.0);
    anim->setEndValue(1.0);
    anim->setEasingCurve(QEasingCurve::Linear);
    anim->start(QAbstractAnimation::DeleteWhenStopped);
}

// ---- language --------------------------------------------------------------

void MainWindow::languageInit()
{
    if (cfg()->getString(QStringLiteral("language")).isEmpty())
        cfg()->setString(QStringLiteral("language"), QStringLiteral("ZH"));
    const QString language = cfg()->getString(QStringLiteral("language"));
    languageLoad(language);
    languageCode = language == QLatin1String("ZH") ? 0 : 1;
}

void MainWindow::languageLoad(const QString &language)
{
    if (translator) {
        QApplication::removeTranslator(translator);
        delete translator;
    }
    qtTranslatorFree();
    translator = new QTranslator;
    const bool english = language == QLatin1String("EN");
    const char *file = english ? kQmEnglish : kQmChinese;
    // Qt's own texts (file choosers, standard buttons) are English; a
    // Chinese session loads Qt's Chinese catalogue beside ours. Installed
    // first, it is asked after ours.
    if (!english)
        qtTranslatorLoad();
    if (translator->load(QString::fromLatin1(file))) {
        QApplication::installTranslator(translator);
        ui->retranslateUi(this);
    } else {
        qDebug() << "语言切换失败...";
    }
}

void MainWindow::qtTranslatorLoad()
{
    // Where Qt keeps its catalogues, then a "translations" folder beside the
    // program (a deployed copy).
    const QStringList places = {QLibraryInfo::location(QLibraryInfo::TranslationsPath),
                                QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
    auto *qt = new QTranslator;
    for (const QString &dir : places) {
        if (qt->load(QString::fromLatin1(kQmQtChinese), dir)) {
            QApplication::installTranslator(qt);
            qtTranslator = qt;
            return;
        }
    }
    delete qt;
    qDebug() << "Qt translation" << kQmQtChinese << "not found...";
}

void MainWindow::qtTranslatorFree()
{
    if (!qtTranslator)
        return;
    QApplication::removeTranslator(qtTranslator);
    delete qtTranslator;
    qtTranslator = nullptr;
}

// ---- settings and shell ----------------------------------------------------

void MainWindow::displaySettingsInit()
{
    if (cfg()->getString(QStringLiteral("sendAllowDis")).isEmpty())
        cfg()->setString(QStringLiteral("sendAllowDis"), QStringLiteral("ON"));
    if (cfg()->getString(QStringLiteral("idMergEnable")).isEmpty())
        cfg()->setString(QStringLiteral("idMergEnable"), QStringLiteral("ON"));
    if (cfg()->getInt(QStringLiteral("timeFormat")) == -1)
        cfg()->setInt(QStringLiteral("timeFormat"), 0);
}

void MainWindow::welcomePageInit(QWidget *page)
{
    QHBoxLayout *box = new QHBoxLayout(page);
    QToolButton *logo = new QToolButton(page);
    logo->setObjectName(QStringLiteral("welcomeLogo"));
    logo->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // A picture, not a control: no hover frame.
    logo->setStyleSheet(QStringLiteral("QToolButton, QToolButton:hover { background: transparent; border: none; }"));
    const QPixmap image(QStringLiteral(":/res/kemLogo.png"));
    logo->setIcon(QIcon(image));
    // Its full width always; in a low window (a first start at half of a
    // small screen gives the send panels their height) the picture's
    // transparent top and bottom give way, so the data tabs never push the
    // send panels below their rows.
    logo->setFixedWidth(image.width());
    logo->setMaximumHeight(image.height());
    logo->setMinimumHeight(0);
    logo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    logo->setIconSize(image.size());
    box->addWidget(logo);
}

void MainWindow::uiWelcomeTabInit()
{
    layout = new QUserMainWindowLayout;
    layout->tabDataShow = new QTabWidget;
    layout->tabDataShow->setObjectName(QStringLiteral("tabDataShow"));
    QWidget *welcome = new QWidget;
    welcome->setObjectName(QStringLiteral("welcomePage"));
    welcomePageInit(welcome);
    layout->tabDataShow->addTab(welcome, tr("欢迎界面"));
    layout->tabDataShow->setTabsClosable(true);
    layout->tabSend = new QTabWidget;
    layout->tabSend->setObjectName(QStringLiteral("tabSend"));
    layout->splitter = new QSplitter(Qt::Vertical);
    layout->splitter->setObjectName(QStringLiteral("mainSplitter"));
    layout->splitter->addWidget(layout->tabDataShow);
    layout->splitter->addWidget(layout->tabSend);
    QVBoxLayout *box = new QVBoxLayout;
    box->addWidget(layout->splitter);
    ui->centralwidget->setLayout(box);
    // The window is drawn through its fade-in effect, where unpainted
    // ground would show black: the central widget paints its own.
    ui->centralwidget->setAutoFillBackground(true);
}

void MainWindow::uiTabDataConnect()
{
    connect(layout->tabDataShow, &QTabWidget::currentChanged, this, &MainWindow::slotTabDataShowSelSwitch);
    connect(layout->tabDataShow, &QTabWidget::tabCloseRequested, this, &MainWindow::soltTabDataShowClose);
}

bool MainWindow::uiStatusBarInit()
{
    statusBarTimer = new QTimer;
    statusBarWidget = new uiStatusBar;
    statusBar()->setMaximumHeight(30);
    statusBar()->addPermanentWidget(statusBarWidget, 0);
    statusBar()->setSizeGripEnabled(true);
    connect(statusBarTimer, &QTimer::timeout, this, &MainWindow::slotStatusBarTimeTask);
    connect(statusBarWidget, &uiStatusBar::btnClrClick, this, &MainWindow::slotStatusBarBtnClrClick);
    statusBarTimer->start(100);
    return true;
}

bool MainWindow::uiStatusBarFree()
{
    delete statusBarTimer;
    statusBarTimer = nullptr;
    delete statusBarWidget;
    statusBarWidget = nullptr;
    return true;
}

void MainWindow::uiLayoutFree()
{
    if (!layout)
        return;
    delete layout; // writes the splitter state
    layout = nullptr;
}

void MainWindow::uiLayoutRestore()
{
    if (layout)
        layout->splitterRestore();
}

// ---- tab and "GLOBAL" properties -------------------------------------------

QString MainWindow::curTabDevGet() const
{
    if (!layout || !layout->tabDataShow || layout->tabDataShow->count() == 0)
        return QString();
    const int index = layout->tabDataShow->currentIndex();
    if (index < 0)
        return QString();
    const QString label = layout->tabDataShow->tabText(index);
    if (label == tr("欢迎界面"))
        return QString();
    return parseDevIdText(label);
}

int MainWindow::curTabIntGet(const QString &key) const
{
    return tabSrv.tabIntGet(curTabDevGet(), key);
}

bool MainWindow::curTabIntSet(const QString &key, int value)
{
    return tabSrv.tabIntSet(curTabDevGet(), key, value);
}

QString MainWindow::curTabStrGet(const QString &key) const
{
    return tabSrv.tabStrGet(curTabDevGet(), key);
}

bool MainWindow::curTabStrSet(const QString &key, const QString &value)
{
    return tabSrv.tabStrSet(curTabDevGet(), key, value);
}

int MainWindow::globalIntGet(const QString &key) const
{
    return tabSrv.tabIntGet(QString::fromLatin1(QUserWindowSrv::kGlobal), key);
}

bool MainWindow::globalIntSet(const QString &key, int value)
{
    return tabSrv.tabIntSet(QString::fromLatin1(QUserWindowSrv::kGlobal), key, value);
}

QString MainWindow::globalStrGet(const QString &key) const
{
    return tabSrv.tabStrGet(QString::fromLatin1(QUserWindowSrv::kGlobal), key);
}

bool MainWindow::globalStrSet(const QString &key, const QString &value)
{
    return tabSrv.tabStrSet(QString::fromLatin1(QUserWindowSrv::kGlobal), key, value);
}

QUserWindowTabData *MainWindow::curTabDataGet() const
{
    const QString name = curTabDevGet();
    if (name.isEmpty())
        return nullptr;
    return tabSrv.find(name);
}

QUserTableView *MainWindow::curTabViewGet() const
{
    QUserWindowTabData *data = curTabDataGet();
    return data ? data->view : nullptr;
}

// ---- advanced send list ----------------------------------------------------

void MainWindow::tabAdvListClear()
{
    if (!layout || !layout->tabAdvSendTable)
        return;
    layout->tabAdvSendTable->clearContents();
    layout->tabAdvSendTable->setRowCount(0);
}

int MainWindow::tabAdvRowCount() const
{
    return layout && layout->tabAdvSendTable ? layout->tabAdvSendTable->rowCount() : 0;
}

bool MainWindow::tabAdvRowRemove(int row)
{
    if (row < 0 || row >= tabAdvRowCount())
        return false;
    layout->tabAdvSendTable->removeRow(row);
    return true;
}

bool MainWindow::tabAdvMenuRowMsgGet(QUserCanMsg &msg)
{
    if (!layout || !layout->tabAdvSendMenuIndex.isValid())
        return false;
    return tabAdvRowMsgGet(layout->tabAdvSendMenuIndex.row, msg);
}

// ---- theme colour ----------------------------------------------------------

bool MainWindow::styleColorSet(const QString &colour)
{
    return cfg()->setString(QStringLiteral("styleColor"), colour);
}

QString MainWindow::styleColorGet() const
{
    return cfg()->getString(QStringLiteral("styleColor"));
}

// ---- tool windows ----------------------------------------------------------

void MainWindow::toolWindowAdd(QWidget *window)
{
    if (!window)
        return;
    for (const QPointer<QWidget> &known : qAsConst(toolWindows))
        if (known == window)
            return;
    toolWindows.append(QPointer<QWidget>(window));
}

int MainWindow::toolWindowCount() const
{
    int open = 0;
    for (const QPointer<QWidget> &w : toolWindows)
        if (w)
            ++open;
    return open;
}

void MainWindow::toolWindowsClose()
{
    // Taken out before closing: a closing window may register another,
    // which the next round takes.
    while (!toolWindows.isEmpty()) {
        const QList<QPointer<QWidget>> windows = toolWindows;
        toolWindows.clear();
        for (const QPointer<QWidget> &w : windows) {
            if (!w)
                continue;
            w->close();
            // A window that deletes itself on close has only posted that.
            delete w.data();
        }
    }
}

// ---- small slots -----------------------------------------------------------

void MainWindow::soltMainWindowTimeHandle()
{
}

void MainWindow::soltDataDisplayTableItemDoubleClick(QModelIndex index)
{
    if (index.row() < 0 || index.column() < 0 || !index.model())
        return;
    if (QUserTableView *view = curTabViewGet())
        view->resizeRowToContents(index.row());
}

void MainWindow::soltDataDisplayTableSelectionChanged(QModelIndex)
{
}

void MainWindow::soltTabAdvanceSendCellChange(int, int)
{
}
