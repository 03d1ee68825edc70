#pragma once
// Baud-rate detection: opens a classic adapter (USBCAN1, USBCAN2) through a
// classic driver of its own, independent of the device registry, lets the
// driver try candidate bus timings on one channel over a frequency range
// (or the standard rates only) and lists every candidate as it is tried:
// bit rate, outcome (black while under test, green found, red not), TIME0
// and TIME1. The first start in a dialog shows the progress of preparing
// the candidate file.
//
// The main window constructs it without parent, runs dialogExec (through the
// frame's prompt seam) and destroys it; nothing is read back.

#include "widgets/Dialog.h"
#include "devices/QUserBaudChk.h"

#include <QString>
#include <QWidget>

class QKemDev;
class QUserDlgProgress;
class Ui_QUserDlgBaudChk;

class QUserDlgBaudChk : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgBaudChk(QWidget *parent = nullptr);
    ~QUserDlgBaudChk() override;

    int dialogExec();

    // State, for the opener and tests.
    Dialog *frame() const { return m_frame.get(); }
    QKemDev *driver() const { return m_drv; }
    QUserDlgProgress *prepDialog() const { return m_prep; }
    bool isOpen() const { return m_open; }
    bool isDetecting() const { return m_detecting; }
    bool isStarted() const { return m_started; }

signals:
    void initProgressSignal(int msgType, int value);

public slots:
    void slotsDeviceOpen();
    void slotsDeviceClose();
    void slotsBaudStart();
    void slotsBaudStop();
    void slotsComboxDevTypeChanged(QString text);
    void slotsBaudChkResult(QString devId, QUserBaudChkMsg msg);
    void slotCancelExit();
    void slotOkExit();

private:
    void enablingApply();
    void rowWrite(const QUserBaudChkMsg &msg);
    bool isClassicType() const;
    // Asks a running detection to stop and waits until the driver's thread
    // has ended: nothing may close the adapter or destroy the driver under it.
    void driverHalt();
    bool freqRead(bool start, int *value);

    Ui_QUserDlgBaudChk *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    QKemDev *m_drv = nullptr;
    QUserDlgProgress *m_prep = nullptr;
    int m_devIndex = 0;
    int m_channel = 0;
    QString m_typeName;
    bool m_open = false;
    bool m_detecting = false;
    bool m_started = false;
};
