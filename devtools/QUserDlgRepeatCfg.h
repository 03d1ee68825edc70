#pragma once
// Relay set-up of the two-channel classic adapter (USBCAN2): the adapter
// forwards frames between its channels by itself, CAN1 to CAN2, CAN2 to
// CAN1 or both ways. The dialog opens one adapter by index through a
// classic driver of its own (never run as a thread, only its direct
// operations), reads the relay flags and each channel's stored bus timing,
// and writes both channels' timing and the relay flags, or switches the
// relay off. The relay mode takes effect after the adapter restarts.
//
// The main window closes its data tabs, constructs it without parent, runs
// dialogExec (through the frame's prompt seam) and destroys it; nothing is
// read back.

#include "widgets/Dialog.h"
#include "devtools/QUserUsbcan2Settings.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QWidget>

class QKemDev;
class QLineEdit;
class Ui_QUserDlgRepeatCfg;

class QUserDlgRepeatCfg : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgRepeatCfg(QWidget *parent = nullptr);
    ~QUserDlgRepeatCfg() override;

    int dialogExec();

    // State, for the opener and tests.
    Dialog *frame() const { return m_frame.get(); }
    QKemDev *driver() const { return m_drv; }
    bool isOpen() const { return m_open; }
    int relayA() const { return m_relayA; }
    int relayB() const { return m_relayB; }
    // The baud name of a timing pair, or "" when no table entry has it.
    QString baudNameGet(int timing0, int timing1) const;

public slots:
    void slotDevOpen();
    void slotDevClose();
    void slotRelayEnable();
    void slotRelayDisable();
    void slotsComboxBaud1IndexChanged(QString text);
    void slotsComboxBaud2IndexChanged(QString text);
    void slotCancelExit();
    void slotOkExit();

private:
    void uiInit();
    void uiUpdate();
    void baudChanged(QLineEdit *t0, QLineEdit *t1, const QString &text);
    void channelShow(int channel);
    bool timingFieldRead(QLineEdit *e, int *value) const;

    int devOpen();
    void devClose();
    // False, with a box saying that the device must be opened first, while
    // no adapter is open.
    bool openCheck();
    bool relaySet(int a, int b);
    bool relayGet(int *a, int *b);
    bool baudSet(int channel, int timing0, int timing1);
    bool baudParaGet(int channel, int *timing0, int *timing1);

    Ui_QUserDlgRepeatCfg *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    QString m_typeName;
    int m_devIndex = 0;
    bool m_open = false;
    int m_relayA = 0;
    int m_relayB = 0;
    int m_time[2][2] = {{0x00, 0x1C}, {0x00, 0x1C}}; // [channel][timing 0 / 1]
    QHash<QString, BaudRateEntry> m_baudTable;
    QStringList m_baudList;
    QKemDev *m_drv = nullptr;
};
