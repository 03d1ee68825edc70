#include "widgets/Dialog.h"
#include "widgets/QRibbon.h"

#include "resources/OrvaneResources.h"
#include "widgets/QUserPrompt.h"
#include "widgets/WidgetsSysCfg.h"
#include "widgets/uiDlgAboutUs.h"
#include "widgets/uiDlgBasic.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

void Ui_Dialog::setupUi(QDialog *Dialog)
{
    if (Dialog->objectName().isEmpty())
        Dialog->setObjectName(QStringLiteral("Dialog"));
    Dialog->resize(400, 261);

    verticalLayout = new QVBoxLayout(Dialog);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    // One pixel all round for the frame's border line (the theme draws it):
    // without a window frame a dialog would blend into the window behind.
    verticalLayout->setContentsMargins(1, 1, 1, 1);

    widget_main = new QWidget(Dialog);
    widget_main->setObjectName(QStringLiteral("widget_main"));
    widget_main->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    verticalLayout_2 = new QVBoxLayout(widget_main);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->setSpacing(0);
    verticalLayout_2->setContentsMargins(0, 0, 0, 0);

    widget_top = new QWidget(widget_main);
    widget_top->setObjectName(QStringLiteral("widget_top"));
    widget_top->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    widget_top->setMinimumHeight(25);
    widget_top->setMaximumHeight(25);
    horizontalLayout_4 = new QHBoxLayout(widget_top);
    horizontalLayout_4->setObjectName(QStringLiteral("horizontalLayout_4"));
    horizontalLayout_4->setSpacing(0);
    horizontalLayout_4->setContentsMargins(0, 0, 0, 0);

    widget_Tip = new QWidget(widget_top);
    widget_Tip->setObjectName(QStringLiteral("widget_Tip"));
    widget_Tip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    horizontalLayout_3 = new QHBoxLayout(widget_Tip);
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    horizontalLayout_3->setSpacing(0);
    horizontalLayout_3->setContentsMargins(0, 0, 0, 0);
    label_Tip = new QLabel(widget_Tip);
    label_Tip->setObjectName(QStringLiteral("label_Tip"));
    label_Tip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    label_Tip->setMinimumWidth(60);
    label_Tip->setMargin(1);
    horizontalLayout_3->addWidget(label_Tip, 0, Qt::AlignLeft);
    horizontalLayout_4->addWidget(widget_Tip, 1);

    widget_title = new QWidget(widget_top);
    widget_title->setObjectName(QStringLiteral("widget_title"));
    widget_title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    horizontalLayout_2 = new QHBoxLayout(widget_title);
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->setSpacing(0);
    horizontalLayout_2->setContentsMargins(0, 0, 0, 0);
    lab_Title = new QLabel(widget_title);
    lab_Title->setObjectName(QStringLiteral("lab_Title"));
    lab_Title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    lab_Title->setAlignment(Qt::AlignCenter);
    horizontalLayout_2->addWidget(lab_Title);
    horizontalLayout_4->addWidget(widget_title, 2, Qt::AlignHCenter);

    widget_menu = new QWidget(widget_top);
    widget_menu->setObjectName(QStringLiteral("widget_menu"));
    widget_menu->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    horizontalLayout = new QHBoxLayout(widget_menu);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    widget = new QWidget(widget_menu);
    widget->setObjectName(QStringLiteral("widget"));
    horizontalLayout->addWidget(widget);
    auto makeButton = [this](const char *name) {
        QPushButton *b = new QPushButton(widget_menu);
        b->setObjectName(QString::fromLatin1(name));
        b->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Expanding);
        b->setMinimumWidth(31);
        b->setMaximumWidth(31);
        b->setFocusPolicy(Qt::NoFocus);
        horizontalLayout->addWidget(b);
        return b;
    };
    btnMenu_Min = makeButton("btnMenu_Min");
    btnMenu_Max = makeButton("btnMenu_Max");
    btnMenu_Close = makeButton("btnMenu_Close");
    horizontalLayout_4->addWidget(widget_menu, 1);

    verticalLayout_2->addWidget(widget_top);

    widget_content = new QWidget(widget_main);
    widget_content->setObjectName(QStringLiteral("widget_content"));
    verticalLayout_2->addWidget(widget_content);

    verticalLayout->addWidget(widget_main, 1);

    retranslateUi(Dialog);
    QMetaObject::connectSlotsByName(Dialog);
}

void Ui_Dialog::retranslateUi(QDialog *Dialog)
{
    Dialog->setWindowTitle(QStringLiteral("Dialog"));
    label_Tip->setText(QStringLiteral("Tip"));
    lab_Title->setText(QString::fromUtf8("标题"));
    btnMenu_Min->setText(QStringLiteral("1"));
    btnMenu_Max->setText(QStringLiteral("2"));
    btnMenu_Close->setText(QStringLiteral("3"));
}

// ---------------------------------------------------------------------------

namespace {
// The padding and minimum height are the buttons' own: the application's
// theme pads push buttons, which would leave a 31 px title button no room
// for its glyph.
const char *kButtonStyle =
    "QPushButton{background:transparent;margin:0px;border:0px solid #fff;outline:none;"
    "padding:0px;min-height:0px;}"
    "QPushButton:hover{background:rgba(0,0,0,40);}"
    "QPushButton:pressed{background:rgba(0,0,0,80);padding-top:3px;}";
const char *kCloseStyle =
    "QPushButton{background:transparent;margin:0px;border:0px solid #fff;outline:none;"
    "padding:0px;min-height:0px;}"
    "QPushButton:hover{background:rgba(232,17,35,255);}"
    "QPushButton:pressed{background:rgba(232,17,35,200);padding-top:3px;}";
} // namespace

Dialog::Dialog(QWidget *parent) : QDialog(parent)
{
    orvaneResourcesInit();
    ui = new Ui_Dialog;
    ui->setupUi(this);
    setWindowIcon(QIcon(iconPath));
    uiInit();
}

Dialog::Dialog() : Dialog(static_cast<QWidget *>(nullptr))
{
    ui->label_Tip->setVisible(false);
    ui->lab_Title->setVisible(true);
    ui->btnMenu_Min->setVisible(true);
    ui->btnMenu_Max->setVisible(true);
    ui->btnMenu_Close->setVisible(true);
}

Dialog::Dialog(const QString &tipText, const QString &titleText, int flags)
    : Dialog(static_cast<QWidget *>(nullptr))
{
    applyFlags(tipText, titleText, flags, false);
}

Dialog::Dialog(const QString &tipIconPath, const QString &unused, const QString &titleText, int flags)
    : Dialog(static_cast<QWidget *>(nullptr))
{
    Q_UNUSED(unused);
    applyFlags(tipIconPath, titleText, flags, true);
}

Dialog::~Dialog()
{
    // The content widgets go first, while the frame is still whole; their
    // owners see isDestroying() and leave the frame alone.
    destroying = true;
    delete ui->widget_main;
    ui->widget_main = nullptr;
    delete ui;
}

void Dialog::applyFlags(const QString &tip, const QString &title, int flags, bool tipIsIcon)
{
    ui->label_Tip->setVisible(false);
    ui->lab_Title->setVisible(false);
    ui->btnMenu_Min->setVisible(false);
    ui->btnMenu_Max->setVisible(false);
    ui->btnMenu_Close->setVisible(false);
    if (flags & FlagTip) {
        ui->label_Tip->setVisible(true);
        if (tipIsIcon)
            setTipIcon(tip);
        else
            setTipText(tip);
    }
    if (flags & FlagTitle) {
        ui->lab_Title->setVisible(true);
        setTitleText(title);
    }
    if (flags & FlagMin)
        ui->btnMenu_Min->setVisible(true);
    if (flags & FlagMax)
        ui->btnMenu_Max->setVisible(true);
    if (flags & FlagClose)
        ui->btnMenu_Close->setVisible(true);
}

void Dialog::uiInit()
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint);
    normalGeom = geometry();
    maximized = false;
    dragging = false;

    showPixmapTip(iconPath);
    ui->lab_Title->installEventFilter(this);
    ui->label_Tip->installEventFilter(this);

    // Before the main window has stored a theme the title bar takes the
    // default one, so its white title never stands on a white background.
    QString themeColor = widgetscfg::getString(QStringLiteral("styleColor"));
    if (themeColor.trimmed().isEmpty())
        themeColor = QString::fromLatin1(QRibbon::kBlue);
    ui->widget_top->setStyleSheet(QStringLiteral("QWidget{color:White;background:%1}").arg(themeColor));

    ui->btnMenu_Min->setText(QString(QChar(0x25AC)));
    ui->btnMenu_Max->setText(QString(QChar(0x2610)));
    ui->btnMenu_Close->setText(QStringLiteral("X"));
    ui->btnMenu_Min->setStyleSheet(QString::fromLatin1(kButtonStyle));
    ui->btnMenu_Max->setStyleSheet(QString::fromLatin1(kButtonStyle));
    ui->btnMenu_Close->setStyleSheet(QString::fromLatin1(kCloseStyle));
}

void Dialog::showPixmapTip(const QString &path)
{
    QPixmap pix(path);
    if (!pix.isNull())
        pix = pix.scaledToWidth(24, Qt::SmoothTransformation);
    ui->label_Tip->setMaximumSize(24, 24);
    ui->label_Tip->setPixmap(pix);
}

void Dialog::msgDlgCreat(const QString &title, const QString &text, const QString &iconPath)
{
    applyFlags(title, QString(), FlagTip | FlagClose, false);
    uiDlgBasic *body = new uiDlgBasic(static_cast<QWidget *>(nullptr));
    body->setParentDlg(this);
    body->msgSet(text, iconPath);
    setContent(body);
}

void Dialog::msgDlgCreatEx(const QString &title, const QString &text, const QString &iconPath, int mode)
{
    applyFlags(title, QString(), FlagTip | FlagClose, false);
    uiDlgBasic *body = new uiDlgBasic(mode);
    body->setParentDlg(this);
    body->msgSet(text, iconPath);
    setContent(body);
}

void Dialog::aboutDlgCreat(const QString &tipText, const QString &titleText)
{
    applyFlags(tipText, titleText, FlagTip | FlagTitle | FlagClose, false);
    uiDlgAboutUs *about = new uiDlgAboutUs(nullptr);
    about->setParentDlg(this);
    setContent(about);
}

int Dialog::setTipVisible(bool visible)
{
    ui->label_Tip->setVisible(visible);
    return 0;
}

int Dialog::setTipText(const QString &text)
{
    ui->label_Tip->setText(text);
    fitTipText();
    setWindowTitle(text);
    return 0;
}

// A caption takes the width of its text (at least the form's 60 px): the
// 24 x 24 limit is the icon's, and a caption cut to it shows "Warnin".
void Dialog::fitTipText()
{
    QLabel *l = ui->label_Tip;
    if (l->text().isEmpty())
        return;
    l->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    l->setMinimumWidth(qMax(60, l->minimumSizeHint().width()));
}

int Dialog::setTitleVisible(bool visible)
{
    ui->lab_Title->setVisible(visible);
    return 0;
}

int Dialog::setTitleText(const QString &text)
{
    ui->lab_Title->setText(text);
    setWindowTitle(text);
    return 0;
}

bool Dialog::titleShow(const QString &text)
{
    setTitleVisible(true);
    setTitleText(text);
    return true;
}

int Dialog::titleInit(const QString &tipText, const QString &titleText)
{
    applyFlags(tipText, titleText, FlagTip | FlagTitle | FlagMin | FlagMax | FlagClose, false);
    return 0;
}

int Dialog::setTipIcon(const QString &path)
{
    iconPath = path;
    showPixmapTip(path);
    setWindowIcon(QIcon(path));
    return 0;
}

int Dialog::setWindowIconPath(const QString &path)
{
    setWindowIcon(QIcon(path));
    return 0;
}

bool Dialog::iconSet(const QString &path)
{
    setWindowIconPath(path);
    return true;
}

int Dialog::setTopStyleSheet(const QString &style)
{
    ui->widget_top->setStyleSheet(style);
    return 0;
}

bool Dialog::topStyleSet(const QString &style)
{
    setTopStyleSheet(style);
    return true;
}

int Dialog::setBtnVisible(int button, bool visible)
{
    switch (button) {
    case 0:
        ui->btnMenu_Min->setVisible(visible);
        break;
    case 1:
        ui->btnMenu_Max->setVisible(visible);
        break;
    case 2:
        ui->btnMenu_Close->setVisible(visible);
        break;
    default:
        break;
    }
    return 0;
}

int Dialog::setContentLayout(QLayout *layout, int w, int h)
{
    if (QLayout *old = ui->widget_content->layout())
        delete old; // the widgets it held stay children of widget_content
    if (layout)
        ui->widget_content->setLayout(layout);
    resize(w, h + ui->widget_main->height());
    return 0;
}

void Dialog::setContent(QWidget *content)
{
    QHBoxLayout *layout = new QHBoxLayout;
    layout->addWidget(content);
    setContentLayout(layout, content->width(), content->height());
}

int Dialog::execContent(QWidget *content)
{
    setContent(content);
    return dlgExec();
}

int Dialog::dlgExec()
{
    return QUserPrompt::instance()->exec(this);
}

int Dialog::dlgShow()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    show();
    return 0;
}

int Dialog::dlgOpen()
{
    open();
    return 0;
}

int Dialog::dlgHide()
{
    hide();
    return 0;
}

int Dialog::dlgClose()
{
    close();
    return 0;
}

int Dialog::dlgDone(int result)
{
    done(result);
    return 0;
}

void Dialog::toggleMaximize()
{
    if (maximized) {
        setGeometry(normalGeom);
        ui->btnMenu_Max->setToolTip(QString::fromUtf8("最大化"));
    } else {
        normalGeom = geometry();
        QScreen *screen = QGuiApplication::primaryScreen();
        if (screen)
            setGeometry(screen->availableGeometry());
        ui->btnMenu_Max->setToolTip(QString::fromUtf8("还原"));
    }
    maximized = !maximized;
}

bool Dialog::eventFilter(QObject *obj, QEvent *event)
{
    if (obj == ui->lab_Title && event->type() == QEvent::MouseButtonDblClick) {
        toggleMaximize();
        return true;
    }
    // A style sheet or font that reaches the caption changes its width.
    if (obj == ui->label_Tip && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        fitTipText();
    return QDialog::eventFilter(obj, event);
}

void Dialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragging = true;
        dragOffset = event->globalPos() - pos();
        event->accept();
    }
}

void Dialog::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging && (event->buttons() & Qt::LeftButton) && !maximized) {
        move(event->globalPos() - dragOffset);
        event->accept();
    }
}

void Dialog::mouseReleaseEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    dragging = false;
}

void Dialog::on_btnMenu_Close_clicked()
{
    close();
    emit userCloseEvent();
}

void Dialog::on_btnMenu_Max_clicked()
{
    toggleMaximize();
}

void Dialog::on_btnMenu_Min_clicked()
{
    showMinimized();
}

// ---------------------------------------------------------------------------

void QUserOwnedFrame::reset(Dialog *frame)
{
    release();
    m_frame = frame;
}

void QUserOwnedFrame::make(const QString &tipIconPath, const QString &title, int flags)
{
    reset(new Dialog(tipIconPath, QString(), title, flags));
}

int QUserOwnedFrame::exec()
{
    return m_frame ? m_frame->execContent(m_content) : 0;
}

void QUserOwnedFrame::done(int result)
{
    if (m_frame)
        m_frame->dlgDone(result);
}

void QUserOwnedFrame::release()
{
    Dialog *frame = m_frame.data();
    m_frame.clear();
    if (!frame || frame->isDestroying())
        return;
    if (m_content && frame->isAncestorOf(m_content))
        m_content->setParent(nullptr);
    delete frame;
}
