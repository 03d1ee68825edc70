#pragma once
// The CAN message editor as the advanced send panel runs it: a dialog frame
// (tip icon, title, close button) around one uiDlgCanMsg. Made on the
// caller's stack for one edit: setMsg, execAccepted, and on true getMsg.

#include "widgets/Dialog.h"

#include "core/QUserCanMsg.h"

class uiDlgCanMsg;

class CanMsgEditDialog : public Dialog
{
    Q_OBJECT

public:
    explicit CanMsgEditDialog(const QString &title);
    ~CanMsgEditDialog() override;

    bool setMsg(bool fdEnabled, const QUserCanMsg &msg);
    bool getMsg(QUserCanMsg &msg);
    // Runs the editor modally (through the prompt seam); true when it ended
    // with OK.
    bool execAccepted();

    uiDlgCanMsg *content() const { return form; }

private:
    uiDlgCanMsg *form = nullptr;
};
