#include "mainwindow/QUserDlgTools.h"

#include "resources/OrvaneResources.h"

#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QIcon>
#include <QListWidget>
#include <QPropertyAnimation>

// The main window opens the tool of the text chosen (MainWindowTools.cpp).
const QUserDlgTools::Tool QUserDlgTools::kTools[4] = {
    {QT_TRANSLATE_NOOP("QUserDlgTools", "DBC解析"), ":/res/chart.png"},
    {QT_TRANSLATE_NOOP("QUserDlgTools", "DBC发送"), ":/res/chart.png"},
    {QT_TRANSLATE_NOOP("QUserDlgTools", "CANopen"), ":/res/canopen.png"},
    {QT_TRANSLATE_NOOP("QUserDlgTools", "文件查看器"), ":/res/can.png"},
};

void Ui_QUserDlgTools::setupUi(QWidget *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QUserDlgTools"));
    w->resize(648, 353);
    w->setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred));
    retranslateUi(w);
    QMetaObject::connectSlotsByName(w);
}

void Ui_QUserDlgTools::retranslateUi(QWidget *w)
{
    w->setWindowTitle(QCoreApplication::translate("QUserDlgTools", "Form"));
}

QUserDlgTools::QUserDlgTools(QWidget *parent) : QWidget(parent)
{
    orvaneResourcesInit();
    ui = new Ui_QUserDlgTools;
    ui->setupUi(this);
    uiInit();
}

QUserDlgTools::~QUserDlgTools()
{
    delete ui;
    ui = nullptr;
    frame.release();
}

void QUserDlgTools::uiInit()
{
    frame.reset(new Dialog(QStringLiteral(":/res/tools.png"), QString(), tr("工具集"), 19));

    list = new QListWidget;
    list->setSelectionRectVisible(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setViewMode(QListView::IconMode);
    list->setDragEnabled(false);
    list->setMovement(QListView::Static);
    list->setEnabled(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSpacing(5);

    QHBoxLayout *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list);

    for (const Tool &t : kTools) {
        auto *item = new QListWidgetItem;
        item->setData(Qt::DisplayRole, tr(t.text));
        item->setData(Qt::DecorationRole, QIcon(QString::fromLatin1(t.icon)));
        list->addItem(item);
    }

    connect(frame.get(), &Dialog::userCloseEvent, this, &QUserDlgTools::slotDlgClose);
    connect(list, &QListWidget::itemClicked, this, &QUserDlgTools::slotItemClicked);

    auto *effect = new QGraphicsOpacityEffect(this);
    effect->setOpacity(0.0);
    setGraphicsEffect(effect);
    auto *fade = new QPropertyAnimation(effect, "opacity", this);
    fade->setDuration(300);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::Linear);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

int QUserDlgTools::dlgExec()
{
    if (!frame)
        return 0;
    QHBoxLayout *layout = new QHBoxLayout;
    layout->addWidget(this);
    frame->setContentLayout(layout, width(), height());
    frame->dlgExec();
    return 0;
}

void QUserDlgTools::slotItemClicked(QListWidgetItem *item)
{
    // A disabled item takes no click.
    if (!item || !(item->flags() & Qt::ItemIsEnabled))
        return;
    selText = item->data(Qt::DisplayRole).toString();
    if (frame)
        frame->dlgDone(0);
}

void QUserDlgTools::slotDlgClose()
{
    if (frame)
        frame->dlgDone(0);
}

void QUserDlgTools::slotCancelExit()
{
    if (frame)
        frame->dlgDone(0);
}

void QUserDlgTools::slotOkExit()
{
    if (frame)
        frame->dlgDone(1);
}
