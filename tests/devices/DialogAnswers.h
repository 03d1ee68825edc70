#pragma once
// Answers for the channel-settings dialogs that the devices run through the
// prompt seam: pick an adapter and a channel (or all channels), optionally
// set more fields, and press OK.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <functional>

struct ChannelPick {
    ChannelPick(int dev = 0, int ch = 0, bool allChannels = false, const QString &timing0 = QString(),
                const QString &timing1 = QString(), int protocol = -1)
        : devIndex(dev), channel(ch), all(allChannels), btr0(timing0), btr1(timing1), fdProtocol(protocol)
    {
    }

    int devIndex = 0;
    int channel = 0;
    bool all = false;
    QString btr0;  // classic dialog: timing registers, when not empty
    QString btr1;
    int fdProtocol = -1; // CAN FD dialog: 0 "CAN", 1 "CANFD"; -1 leave as offered
};

inline std::function<int(QDialog *)> pickChannel(ChannelPick p, QStringList *seen = nullptr)
{
    return [p, seen](QDialog *d) {
        auto *dev = d->findChild<QComboBox *>("comboBox_devIndex");
        auto *ch = d->findChild<QComboBox *>("comboBox_chIndex");
        if (!dev || !ch)
            return 0;
        const int di = dev->findText(QString::number(p.devIndex));
        if (di < 0)
            return 0;
        dev->setCurrentIndex(di);
        emit dev->activated(di);
        if (seen) {
            for (int i = 0; i < ch->count(); ++i)
                seen->append(ch->itemText(i));
        }
        const int ci = ch->findText(QString::number(p.channel));
        if (ci >= 0)
            ch->setCurrentIndex(ci);
        if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel"))
            all->setChecked(p.all);
        if (!p.btr0.isEmpty()) {
            if (auto *self = d->findChild<QCheckBox *>("checkBox_selfBaud"))
                self->setChecked(true);
            if (auto *e = d->findChild<QLineEdit *>("lineEdit_btr0"))
                e->setText(p.btr0);
            if (auto *e = d->findChild<QLineEdit *>("lineEdit_btr1"))
                e->setText(p.btr1);
        }
        if (p.fdProtocol >= 0) {
            if (auto *proto = d->findChild<QComboBox *>("comboBox_workProcotol")) {
                proto->setCurrentIndex(p.fdProtocol);
                emit proto->activated(p.fdProtocol);
            }
        }
        auto *ok = d->findChild<QPushButton *>("pushButton_ok");
        if (!ok)
            return 0;
        ok->click();
        return d->result();
    };
}
