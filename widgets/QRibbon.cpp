#include "widgets/QRibbon.h"

#include "resources/OrvaneResources.h"
#include "widgets/WidgetsSysCfg.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpacerItem>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtMath>

const char *QRibbon::kBlue = "rgb(43, 87, 154)";
const char *QRibbon::kGreen = "rgb(33,115,70)";
const char *QRibbon::kRed = "rgb(183, 71, 42)";

namespace {

// The theme colour as the theme style sheet writes it.
const QString kSheetColour = QStringLiteral("rgb(43,87,154)");
QString g_currentColour = kSheetColour;

QString themeSheet()
{
    orvaneResourcesInit();
    QFile f(QStringLiteral(":/res/theme.qss"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QIcon defaultActionIcon()
{
    static QIcon icon(QStringLiteral(":/image/Bar.net.png"));
    return icon;
}

QString tr(const char *text)
{
    return QApplication::translate("QRibbon", text);
}

} // namespace

void Ui_QRibbon::setupUi(QWidget *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QRibbon"));
    w->resize(994, 146);
    w->setMinimumHeight(146);
    w->setWindowOpacity(1.0);
    w->setAutoFillBackground(false);
    w->setStyleSheet(QString());

    horizontalLayout_3 = new QHBoxLayout(w);
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    horizontalLayout_3->setContentsMargins(0, 0, 0, 0);

    widgetContainer = new QWidget(w);
    widgetContainer->setObjectName(QStringLiteral("widgetContainer"));
    widgetContainer->setMinimumHeight(161);
    widgetContainer->setAutoFillBackground(false);
    widgetContainer->setStyleSheet(themeSheet());

    verticalLayout = new QVBoxLayout(widgetContainer);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);

    horizontalLayoutTitleBar = new QHBoxLayout;
    horizontalLayoutTitleBar->setObjectName(QStringLiteral("horizontalLayoutTitleBar"));
    horizontalLayoutTitleBar->setSpacing(6);
    int l, t, r, b;
    horizontalLayoutTitleBar->getContentsMargins(&l, &t, &r, &b);
    horizontalLayoutTitleBar->setContentsMargins(100, t, 0, b);

    QFont yahei(QStringLiteral("Microsoft YaHei"));
    yahei.setWeight(50);
    labelTitle = new QLabel(widgetContainer);
    labelTitle->setObjectName(QStringLiteral("labelTitle"));
    labelTitle->setFont(yahei);
    labelTitle->setAlignment(Qt::AlignCenter);
    horizontalLayoutTitleBar->addWidget(labelTitle);

    pushButtonStyle = new QPushButton(widgetContainer);
    pushButtonStyle->setObjectName(QStringLiteral("pushButtonStyle"));
    pushButtonStyle->setMinimumSize(32, 32);
    pushButtonStyle->setMaximumSize(64, 32);
    QFont styleFont(QStringLiteral("Microsoft YaHei"));
    styleFont.setPointSize(9);
    pushButtonStyle->setFont(styleFont);
    pushButtonStyle->setStyleSheet(QStringLiteral("font: 9pt Microsoft YaHei;"));
    pushButtonStyle->setFlat(true);
    pushButtonStyle->setAutoDefault(false);
    horizontalLayoutTitleBar->addWidget(pushButtonStyle);

    auto titleButton = [&](const char *name) {
        QPushButton *btn = new QPushButton(widgetContainer);
        btn->setObjectName(QString::fromLatin1(name));
        btn->setMinimumSize(46, 32);
        btn->setMaximumSize(36, 32);
        QFont f;
        f.setFamily(QStringLiteral("Microsoft YaHei"));
        btn->setFont(f);
        btn->setFlat(true);
        btn->setAutoDefault(false);
        horizontalLayoutTitleBar->addWidget(btn);
        return btn;
    };
    pushButtonMinimum = titleButton("pushButtonMinimum");
    pushButtonFullScreen = titleButton("pushButtonFullScreen");
    pushButtonClose = titleButton("pushButtonClose");
    verticalLayout->addLayout(horizontalLayoutTitleBar);

    gridLayout = new QGridLayout;
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(0);
    tabWidgetMenuBar = new QTabWidget(widgetContainer);
    tabWidgetMenuBar->setObjectName(QStringLiteral("tabWidgetMenuBar"));
    tabWidgetMenuBar->setMaximumHeight(6666);
    QFont tabFont(QString::fromUtf8("微软雅黑"));
    tabFont.setPointSize(9);
    tabWidgetMenuBar->setFont(tabFont);
    tabWidgetMenuBar->setElideMode(Qt::ElideNone);
    tabWidgetMenuBar->setTabBarAutoHide(true);
    const char *pages[] = {"tab", "tab_2", "tab_3", "tab_4", "tab_5", "tab_6"};
    for (const char *name : pages) {
        QWidget *page = new QWidget;
        page->setObjectName(QString::fromLatin1(name));
        tabWidgetMenuBar->addTab(page, QString());
    }
    gridLayout->addWidget(tabWidgetMenuBar, 0, 0, 2, 1);
    verticalLayout->addLayout(gridLayout);

    widgetBottomBar = new QWidget(widgetContainer);
    widgetBottomBar->setObjectName(QStringLiteral("widgetBottomBar"));
    widgetBottomBar->setMinimumHeight(1);
    widgetBottomBar->setMaximumHeight(1);
    verticalLayout->addWidget(widgetBottomBar);
    verticalLayout->setStretch(1, 10);
    verticalLayout->setStretch(2, 1);

    horizontalLayout_3->addWidget(widgetContainer);

    retranslateUi(w);
    tabWidgetMenuBar->setCurrentIndex(0);
    QMetaObject::connectSlotsByName(w);
}

void Ui_QRibbon::retranslateUi(QWidget *w)
{
    w->setWindowTitle(tr("Form"));
    labelTitle->setText(tr("这是标题"));
    pushButtonStyle->setText(tr("主题"));
    pushButtonMinimum->setText(QString(QChar(0x25AC)));
    pushButtonFullScreen->setText(QString(QChar(0x2610)));
    pushButtonClose->setText(QStringLiteral("X"));
    const char *titles[] = {"文件", "编辑", "窗体", "视图", "设置", "帮助"};
    for (int i = 0; i < 6 && i < tabWidgetMenuBar->count(); ++i)
        tabWidgetMenuBar->setTabText(i, tr(titles[i]));
}

// ---------------------------------------------------------------------------

QRibbon *QRibbon::install(QMainWindow *window, const QRibbonOptions &options)
{
    if (!window)
        return nullptr;
    if (QRibbon *existing = qobject_cast<QRibbon *>(window->menuWidget()))
        return existing;
    QRibbon *ribbon = new QRibbon(window);
    ribbon->setupFromMenuBar(window, options);
    const QString stored = widgetscfg::getString(QStringLiteral("styleColor"));
    if (stored.isEmpty()) {
        ribbon->setStyleColor(QString::fromLatin1(kBlue));
        widgetscfg::setString(QStringLiteral("styleColor"), QString::fromLatin1(kBlue));
    } else {
        ribbon->setStyleColor(stored);
    }
    return ribbon;
}

QRibbon::QRibbon(QWidget *parent) : QMenuBar(parent)
{
    orvaneResourcesInit();
    ui = new Ui_QRibbon;
    ui->setupUi(this);

    ribbonState = new QRibbonState;
    ribbonState->focusTimer = new QTimer;
    ribbonState->focusTimer->setInterval(100);
    ribbonState->opacityAnim = new QPropertyAnimation;
    ribbonState->heightAnim = new QPropertyAnimation;
    connect(ribbonState->focusTimer, &QTimer::timeout, this, &QRibbon::onLostFocus);

    connect(ui->tabWidgetMenuBar, &QTabWidget::tabBarClicked, this, &QRibbon::clickTab);
    connect(ui->tabWidgetMenuBar, &QTabWidget::currentChanged, this, &QRibbon::onTabChanged);
    connect(ui->pushButtonFullScreen, &QPushButton::clicked, this, &QRibbon::toggleMaximized);
    connect(ui->pushButtonMinimum, &QPushButton::clicked, this, &QRibbon::hideTab);
    connect(ribbonState->heightAnim, &QPropertyAnimation::finished, this, &QRibbon::onHideTabFinished);

    themeMenu = new QMenu;
    themeMenu->setStyleSheet(QStringLiteral("QMenu::item{ color:black }"));
    QActionGroup *group = new QActionGroup(themeMenu);
    group->setExclusive(true);
    struct Choice {
        const char *text;
        const char *colour;
    } choices[] = {{"蓝色", kBlue}, {"绿色", kGreen}, {"红色", kRed}};
    for (const Choice &c : choices) {
        QAction *act = themeMenu->addAction(tr(c.text));
        act->setShortcut(QKeySequence());
        act->setCheckable(true);
        act->setChecked(false);
        group->addAction(act);
        const QString colour = QString::fromLatin1(c.colour);
        connect(act, &QAction::triggered, this, [this, colour]() { themeChosen(colour); });
    }
    ui->pushButtonStyle->setMenu(themeMenu);
    expanded = true;
}

QRibbon::~QRibbon()
{
    if (ribbonState->hostWindow)
        ribbonState->hostWindow->removeEventFilter(this);
    while (ui->tabWidgetMenuBar->count() > 0) {
        QWidget *page = ui->tabWidgetMenuBar->widget(0);
        ui->tabWidgetMenuBar->removeTab(0);
        delete page;
    }
    delete themeMenu;
    delete ribbonState->focusTimer;
    delete ribbonState->opacityAnim;
    delete ribbonState->heightAnim;
    delete ribbonState;
    delete ui;
}

QString QRibbon::currentStyleColor()
{
    return g_currentColour;
}

void QRibbon::themeChosen(const QString &colour)
{
    setStyleColor(colour);
    widgetscfg::setString(QStringLiteral("styleColor"), colour);
}

void QRibbon::setupFromMenuBar(QMainWindow *window, const QRibbonOptions &options)
{
    if (!window)
        return;
    ribbonState->hostWindow = window;
    title = options.title;
    iconPath = options.iconPath;
    showStyleButton = options.showStyleButton;
    startExpanded = options.startExpanded;

    if (!ribbonState->opacityAnim->targetObject()) {
        ribbonState->opacityAnim->setTargetObject(window);
        ribbonState->opacityAnim->setPropertyName("windowOpacity");
        ribbonState->opacityAnim->setStartValue(1.0);
        ribbonState->opacityAnim->setEndValue(1.0);
    }

    QMenuBar *bar = window->menuBar();

    connect(ui->pushButtonMinimum, &QPushButton::clicked, window, &QWidget::showMinimized);
    connect(ui->pushButtonClose, &QPushButton::clicked, window, &QWidget::close);

    while (ui->tabWidgetMenuBar->count() > 0) {
        QWidget *page = ui->tabWidgetMenuBar->widget(0);
        ui->tabWidgetMenuBar->removeTab(0);
        delete page;
    }

    const QList<QAction *> tops = bar->actions();
    for (QAction *a : tops) {
        QList<QAction *> entries;
        if (a->menu())
            entries = a->menu()->actions();
        else
            entries << a;

        QWidget *page = new QWidget;
        QHBoxLayout *layout = new QHBoxLayout(page);
        for (QAction *b : entries) {
            if (b->isSeparator()) {
                QWidget *divider = new QWidget(page);
                divider->setFixedWidth(1);
                divider->setStyleSheet(QStringLiteral("background:rgb(177,177,177)"));
                layout->addWidget(divider);
                continue;
            }
            // The old bar and its menus go with the window's old menu bar:
            // entries they own move to the window so the buttons keep them
            // (left behind, they would be deleted under the buttons).
            if (b->parent() == a->menu() || b->parent() == bar)
                b->setParent(window);
            if (QMenu *sub = b->menu())
                if (sub->parent() == a->menu() || sub->parent() == bar)
                    sub->setParent(window, sub->windowFlags());
            window->addAction(b);

            QToolButton *button = new QToolButton(page);
            button->setText(b->text());
            button->setToolTip(b->text());
            button->setStatusTip(b->text());
            b->setToolTip(b->text());
            b->setStatusTip(b->text());
            button->setIconSize(QSize(40, 40));
            button->setAutoRaise(true);
            QFont f = button->font();
            f.setFamily(QStringLiteral("Microsoft YaHei"));
            button->setFont(f);
            if (b->menu())
                button->setPopupMode(QToolButton::MenuButtonPopup);
            button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
            button->setCheckable(b->isCheckable());
            button->setChecked(b->isChecked());
            if (b->icon().isNull())
                b->setIcon(defaultActionIcon());
            button->setDefaultAction(b);
            layout->addWidget(button);
        }
        layout->setSpacing(6);
        layout->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Minimum));
        ui->tabWidgetMenuBar->addTab(page, a->text());
        QFont tabFont = ui->tabWidgetMenuBar->font();
        tabFont.setFamily(QStringLiteral("Microsoft YaHei"));
        tabFont.setWeight(50);
        tabFont.setPixelSize(16);
        ui->tabWidgetMenuBar->setFont(tabFont);
        bar->removeAction(a);
    }

    window->setWindowFlags(window->windowFlags() | Qt::FramelessWindowHint);
    window->setWindowIcon(QIcon(iconPath));
    connect(window, &QWidget::windowTitleChanged, this, &QRibbon::setWindowTitle);
    window->setWindowTitle(title);
    ui->labelTitle->setText(title);

    ui->pushButtonStyle->setVisible(showStyleButton);
    window->installEventFilter(this);

    if (bar != this) {
        bar->setParent(nullptr);
        window->setMenuBar(this);
        bar->deleteLater();
    }

    ribbonState->normalGeometry = window->normalGeometry();
    window->show();
    show();

    if (!startExpanded)
        hideTab();
}

void QRibbon::setStyleColor(const QString &colour)
{
    QStringList parts;
    if (QMainWindow *w = ribbonState->hostWindow) {
        if (!w->styleSheet().isEmpty()) {
            parts << w->styleSheet();
            w->setStyleSheet(QString());
        }
    }
    if (!ui->widgetContainer->styleSheet().isEmpty()) {
        const QString own = ui->widgetContainer->styleSheet();
        ui->widgetContainer->setStyleSheet(QString());
        // Every ribbon carries the same theme. A copy that the application
        // holds already (in the present colour) is not added again, or the
        // sheet would grow with every window, and a later copy in the
        // sheet's own colour would override the colour chosen.
        QString applied = own;
        applied.replace(kSheetColour, g_currentColour, Qt::CaseSensitive);
        if (!(qApp && qApp->styleSheet().contains(applied)))
            parts << own;
    }
    if (qApp && !qApp->styleSheet().isEmpty())
        parts << qApp->styleSheet();
    QString sheet = parts.join(QLatin1Char('\n'));
    sheet.replace(g_currentColour, colour, Qt::CaseSensitive);
    if (qApp)
        qApp->setStyleSheet(sheet);
    g_currentColour = colour;
}

void QRibbon::setStyleButtonMenuVisible(bool visible)
{
    themeMenu->setVisible(visible);
}

void QRibbon::setWindowTitle(const QString &text)
{
    if (QMainWindow *w = ribbonState->hostWindow)
        if (w->windowTitle() != text)
            w->setWindowTitle(text);
    ui->labelTitle->setText(text);
}

void QRibbon::toggleMaximized()
{
    QMainWindow *w = ribbonState->hostWindow;
    if (!w)
        return;
    if (w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        w->setWindowState(Qt::WindowActive);
    else
        w->setWindowState(Qt::WindowMaximized | Qt::WindowActive);
}

void QRibbon::hideTab()
{
    QPropertyAnimation *anim = ribbonState->heightAnim;
    if (!anim->targetObject()) {
        anim->setTargetObject(this);
        anim->setPropertyName("minimumHeight");
        anim->setStartValue(height());
        anim->setEndValue(kFoldedHeight);
        anim->setEasingCurve(QEasingCurve::Linear);
    }
    if (anim->state() == QAbstractAnimation::Running)
        anim->stop();
    anim->setDirection(QAbstractAnimation::Forward);
    anim->start();
    expanded = false;
}

void QRibbon::unfold()
{
    QPropertyAnimation *anim = ribbonState->heightAnim;
    if (anim->targetObject()) {
        anim->setDirection(QAbstractAnimation::Backward);
        anim->start();
    }
    expanded = true;
}

void QRibbon::clickTab()
{
    if (!expanded)
        unfold();
    else
        hideTab();
}

void QRibbon::onTabChanged()
{
    if (!expanded)
        unfold();
}

void QRibbon::expandTab()
{
    unfold();
}

void QRibbon::onHideTabFinished()
{
    const bool unfolded = ribbonState->heightAnim->direction() == QAbstractAnimation::Backward;
    ui->widgetBottomBar->setMinimumHeight(unfolded ? 1 : 0);
}

void QRibbon::onLostFocus()
{
    QMainWindow *w = ribbonState->hostWindow;
    if (!w)
        return;
    if (!ribbonState->dragging) {
        ribbonState->focusTimer->stop();
        return;
    }
    if (!w->isActiveWindow()) {
        ribbonState->dragging = false;
        w->setWindowOpacity(1.0);
        ribbonState->focusTimer->stop();
    }
}

bool QRibbon::titleBandContains(int y) const
{
    return y <= ui->labelTitle->height() + 9;
}

void QRibbon::mousePressEvent(QMouseEvent *event)
{
    QMainWindow *w = ribbonState->hostWindow;
    if (w && event->button() == Qt::LeftButton && titleBandContains(qRound(event->localPos().y()))) {
        ribbonState->dragging = true;
        ribbonState->focusTimer->start();
        ribbonState->normalGeometry = w->normalGeometry();
        ribbonState->pressX = qRound(event->screenPos().x());
        ribbonState->pressY = qRound(event->screenPos().y());
        const QPoint topLeft = w->frameGeometry().topLeft();
        ribbonState->windowX = topLeft.x();
        ribbonState->windowY = topLeft.y();
        QPropertyAnimation *op = ribbonState->opacityAnim;
        if (op->state() == QAbstractAnimation::Running)
            op->stop();
        if (!qFuzzyCompare(w->windowOpacity(), op->endValue().toReal())) {
            op->setDuration(250);
            op->setDirection(QAbstractAnimation::Forward);
            op->start();
        }
    }
    QMenuBar::mousePressEvent(event);
}

void QRibbon::mouseMoveEvent(QMouseEvent *event)
{
    QMainWindow *w = ribbonState->hostWindow;
    if (!w || !ribbonState->dragging)
        return;
    const int gx = qRound(event->screenPos().x());
    const int gy = qRound(event->screenPos().y());
    const int dx = gx - ribbonState->pressX;
    const int dy = gy - ribbonState->pressY;
    if (!(w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        w->move(ribbonState->windowX + dx, ribbonState->windowY + dy);
    } else if (qAbs(dx) + qAbs(dy) > 1) {
        QRect g = w->normalGeometry();
        const int localX = qRound(event->localPos().x());
        const int left = int(localX - g.width() * (double(gx) / double(qMax(1, w->width()))));
        g.moveTopLeft(QPoint(left, 0));
        w->setWindowState(Qt::WindowActive);
        w->setGeometry(g);
        const QPoint topLeft = w->frameGeometry().topLeft();
        ribbonState->windowX = topLeft.x();
        ribbonState->windowY = topLeft.y();
    }
}

void QRibbon::mouseReleaseEvent(QMouseEvent *event)
{
    QMainWindow *w = ribbonState->hostWindow;
    if (w && event->button() == Qt::LeftButton) {
        ribbonState->dragging = false;
        const int gx = qRound(event->screenPos().x());
        const int gy = qRound(event->screenPos().y());
        const int dx = gx - ribbonState->pressX;
        const int dy = gy - ribbonState->pressY;
        const bool big = w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
        if (!big && qAbs(dx) + qAbs(dy) > 3 && gy < 3) {
            w->setGeometry(ribbonState->normalGeometry);
            w->setWindowState(Qt::WindowMaximized | Qt::WindowActive);
        } else if (w->y() < 0) {
            w->move(w->x(), 0);
        }
    }
    if (w) {
        QPropertyAnimation *op = ribbonState->opacityAnim;
        if (op->state() == QAbstractAnimation::Running)
            op->stop();
        if (!qFuzzyCompare(w->windowOpacity(), op->startValue().toReal())) {
            op->setDuration(150);
            op->setDirection(QAbstractAnimation::Backward);
            op->start();
        }
    }
    QMenuBar::mouseReleaseEvent(event);
}

void QRibbon::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (titleBandContains(qRound(event->localPos().y()))) {
        toggleMaximized();
        return;
    }
    QMenuBar::mouseDoubleClickEvent(event);
}

bool QRibbon::eventFilter(QObject *obj, QEvent *event)
{
    QMainWindow *w = ribbonState ? ribbonState->hostWindow : nullptr;
    if (w && obj == w && event->type() == QEvent::WindowStateChange) {
        const bool big = w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
        ui->pushButtonFullScreen->setText(big ? QString(QChar(0x29C9)) : QString(QChar(0x2610)));
    }
    return QMenuBar::eventFilter(obj, event);
}
