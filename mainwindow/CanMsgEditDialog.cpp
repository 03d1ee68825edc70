#include "mainwindow/CanMsgEditDialog.h"

#include "mainwindow/uiDlgCanMsg.h"

CanMsgEditDialog::CanMsgEditDialog(const QString &title)
    : Dialog(QStringLiteral(":/res/key.png"), QString(), title, FlagTip | FlagTitle | FlagClose)
{
    form = new uiDlgCanMsg(nullptr);
    form->hostSet(this);
    setContent(form);
}

CanMsgEditDialog::~CanMsgEditDialog()
{
    delete form;
    form = nullptr;
}

bool CanMsgEditDialog::setMsg(bool fdEnabled, const QUserCanMsg &msg)
{
    if (!form)
        return false;
    form->msgSet(fdEnabled, msg);
    return true;
}

bool CanMsgEditDialog::getMsg(QUserCanMsg &msg)
{
    if (!form)
        return false;
    form->msgGet(msg);
    return true;
}

bool CanMsgEditDialog::execAccepted()
{
    return dlgExec() == QDialog::Accepted;
}
