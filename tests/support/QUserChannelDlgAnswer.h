#pragma once
// Answers for the two channel dialogs in tests of the device classes.
//
// The device classes run QUserDlgFd2Set and Usbcan2CfgDialog through their
// Dialog frame, whose dlgExec goes through QUserPrompt. A test installs a
// QUserPromptScript and queues one of these answers before it calls the
// device's open; the answer picks the adapter and channel the way a user
// does (the channel list follows the adapter), optionally ticks "all
// channels", and presses OK or Cancel:
//
//     QUserPromptScript prompts;
//     prompts.answerExec(devdlg::channelAnswer({"1", "0"}));        // adapter 1, channel 0
//     EXPECT_EQ(device.open(...), 0);
//     prompts.answerExec(devdlg::channelAnswer({"0", "0", false, false}));  // Cancel: open gives -5
//
// An adapter or channel that is not listed leaves the dialog's own choice.

#include "tests/support/QUserPromptScript.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QString>

#include <functional>

namespace devdlg {

struct ChannelChoice
{
    QString devIndex;          // adapter index as listed ("" keeps the dialog's choice)
    QString channel;           // channel as listed ("" keeps the dialog's choice)
    bool allChannels = false;  // tick "open all channels"
    bool ok = true;            // OK, else Cancel
};

inline std::function<int(QDialog *)> channelAnswer(ChannelChoice c)
{
    return [c](QDialog *d) {
        auto pick = [d](const char *name, const QString &text) {
            QComboBox *box = d->findChild<QComboBox *>(QString::fromLatin1(name));
            if (!box || text.isEmpty())
                return;
            const int i = box->findText(text);
            if (i < 0)
                return;
            box->setCurrentIndex(i);
            emit box->activated(i);
        };
        pick("comboBox_devIndex", c.devIndex);
        pick("comboBox_chIndex", c.channel);
        if (QCheckBox *all = d->findChild<QCheckBox *>(QStringLiteral("checkBox_allChannel")))
            all->setChecked(c.allChannels);
        if (QPushButton *b = d->findChild<QPushButton *>(c.ok ? QStringLiteral("pushButton_ok")
                                                              : QStringLiteral("pushButton_cancel")))
            b->click();
        return d->result();
    };
}

} // namespace devdlg
