#include "widgets/QUserMessageBox.h"

#include "widgets/Dialog.h"
#include "resources/OrvaneResources.h"
#include "widgets/QUserPrompt.h"

#include <QLabel>
#include <QPauseAnimation>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>

const char *QUserMessageBox::kSuccessStyle =
    "background-color:#30cc30;color:#ffffff;font-size:20px;font-family:'Microsoft YaHei';border:0px";
const char *QUserMessageBox::kFailStyle =
    "background-color:#cc3030;color:#ffffff;font-size:20px;font-family:'Microsoft YaHei';border:0px";

QUserMessageBox::QUserMessageBox(QWidget *parent) : QWidget(parent)
{
    orvaneResourcesInit();
}

QUserMessageBox::~QUserMessageBox()
{
    delete tipLabel.data();
}

int QUserMessageBox::runBox(const QString &title, const QString &text, const QString &icon, bool twoButtons,
                            bool beep, bool returnResult)
{
    orvaneResourcesInit();
    if (beep)
        QUserPrompt::instance()->beep();
    Dialog frame;
    if (twoButtons)
        frame.msgDlgCreatEx(title, text, icon, 0);
    else
        frame.msgDlgCreat(title, text, icon);
    frame.setWindowModality(Qt::ApplicationModal);
    int r = frame.dlgExec();
    return returnResult ? r : 0;
}

int QUserMessageBox::msgCheck(QWidget *, const QString &title, const QString &text)
{
    return runBox(title, text, QStringLiteral(":/res/msg_icon_check.png"), false, false, false);
}

int QUserMessageBox::msgCheckEx(QWidget *, const QString &title, const QString &text, int)
{
    return runBox(title, text, QStringLiteral(":/res/msg_icon_check.png"), true, false, false);
}

int QUserMessageBox::msgQuestion(QWidget *, const QString &title, const QString &text)
{
    return runBox(title, text, QStringLiteral(":/res/msg_icon_question"), false, false, false);
}

int QUserMessageBox::msgQuestionEx(QWidget *, const QString &title, const QString &text, int)
{
    return runBox(title, text, QStringLiteral(":/res/msg_icon_question"), true, false, true);
}

int QUserMessageBox::msgWarning(QWidget *, const QString &title, const QString &text)
{
    return runBox(title, text, QStringLiteral(":/res/msg_icon_warning"), false, true, false);
}

int QUserMessageBox::msgWarningEx(QWidget *, const QString &title, const QString &text, int)
{
    return runBox(title, text, QStringLiteral(":/res/msg_icon_warning"), true, true, false);
}

int QUserMessageBox::msgError(QWidget *, const QString &title, const QString &text)
{
    return runBox(title, text, QStringLiteral(":/res/msg_icon_error"), false, false, false);
}

int QUserMessageBox::msgErrorEx(QWidget *, const QString &title, const QString &text, int)
{
    return runBox(title, text, QStringLiteral(":/res/msg_icon_error"), true, false, false);
}

int QUserMessageBox::tipShow(QWidget *parent, const QString &text, int holdMs, const QString &styleSheet)
{
    if (!parent)
        return 0;
    const int W = parent->width();
    const int H = parent->height();
    int h = 40;
    if (H < 80)
        h = H / 2;

    if (tipLabel.isNull()) {
        // First tip, or the window that held the label is gone.
        QLabel *label = new QLabel(parent);
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setFocusPolicy(Qt::NoFocus);
        tipLabel = label;
    } else if (tipLabel->parentWidget() != parent) {
        // Another window: move the label there, so the tip shows over it.
        tipLabel->setParent(parent);
    }
    QLabel *label = tipLabel.data();
    label->setText(text);
    label->show();

    const int x = W / 2 - W / 4;
    const int y = H / 2 - h / 2;
    const int w = W / 2;

    QPropertyAnimation *open = new QPropertyAnimation(label, "geometry");
    open->setDuration(100);
    open->setStartValue(QRect(x, y, w, 0));
    open->setEndValue(QRect(x, y, w, h));

    QPropertyAnimation *close = new QPropertyAnimation(label, "geometry");
    close->setDuration(100);
    close->setStartValue(QRect(x, y, w, h));
    close->setEndValue(QRect(x, y, w, 0));

    QSequentialAnimationGroup *group = new QSequentialAnimationGroup(parent);
    group->addAnimation(open);
    group->addPause(holdMs);
    group->addAnimation(close);

    label->raise();
    label->setStyleSheet(styleSheet);
    lastGroup = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
    return 0;
}

int QUserMessageBox::tipSuccess(QWidget *parent, const QString &text, int holdMs)
{
    return tipShow(parent, text, holdMs, QString::fromLatin1(kSuccessStyle));
}

int QUserMessageBox::tipFail(QWidget *parent, const QString &text, int holdMs)
{
    return tipShow(parent, text, holdMs, QString::fromLatin1(kFailStyle));
}
