#pragma once
// The content of the CAN message editor: protocol, frame format, frame type,
// identifier, length, comment and data of one frame. It never refuses OK;
// its rules act while the user edits and when the message is read back:
//   - the length follows the data when a message is shown, and the data is
//     fitted (padded with 00 or cut) to the chosen length;
//   - a remote frame gets length 0 and no data; CAN FD has no remote frames;
//   - the identifier is masked to 11 or 29 bits by the frame type;
//   - a protocol change shows the message handed in again (edits made
//     before it are dropped) with the new protocol's length list;
//   - commas in the comment become full-width commas "，" as they are typed
//     (the list file separates its fields with commas).
// CanMsgEditDialog hosts it in a dialog frame.

#include <QWidget>

#include "core/QUserCanMsg.h"

class Dialog;
class Ui_uiDlgCanMsg;

class uiDlgCanMsg : public QWidget
{
    Q_OBJECT

public:
    explicit uiDlgCanMsg(QWidget *parent = nullptr);
    ~uiDlgCanMsg() override;

    // The frame that OK and Cancel end (not owned).
    void hostSet(Dialog *frame) { host = frame; }

    // Shows a copy of msg; fdEnabled: the channel allows CAN FD.
    void msgSet(bool fdEnabled, const QUserCanMsg &msg);
    // Writes the edited fields into msg; the others are left as they are.
    void msgGet(QUserCanMsg &msg);

    Ui_uiDlgCanMsg *form() const { return ui; }

private slots:
    void slotComboxFormatIndexChanged(int index);
    void slotComboxProcotolChanged(int index);
    void slotComboxLenIndexChanged(int index);
    void slotNoteEdited(const QString &text);
    void okExit();
    void cancelExit();

private:
    void uiInit();
    void signalConnect();
    void signalDisconnect();
    void uiUpdate();
    void lenListUpdate();
    void dataFit();

    Ui_uiDlgCanMsg *ui = nullptr;
    Dialog *host = nullptr;
    bool fdEnabled = false;
    int quiet = 0; // nesting of signalDisconnect
    QUserCanMsg msg;
};
