#pragma once
// Firmware update of a CAN FD adapter: pick the model and index and connect
// (the adapter enters update mode and reports its hardware and firmware
// versions), choose a ".dat" package, start or stop the transfer and watch
// progress and result. The transfer runs in a QFirmUpdateSrv made at every
// connect.
//
// The main window closes its data tabs, constructs it without parent, runs
// dialogExec (through the frame's prompt seam) and destroys it; nothing is
// read back. Leaving (exit or destruction) stops a running transfer and
// takes the adapter out of update mode.

#include "widgets/Dialog.h"
#include "devtools/QFirmPackage.h"

#include <QString>
#include <QWidget>

#include <cstdint>

class QFirmUpdateSrv;
class Ui_QUserDlgFirmUpdate;

class QUserDlgFirmUpdate : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgFirmUpdate(QWidget *parent = nullptr);
    ~QUserDlgFirmUpdate() override;

    int dialogExec();

    // State, for the opener and tests.
    Dialog *frame() const { return m_frame.get(); }
    QFirmUpdateSrv *worker() const { return m_worker; }
    bool isConnected() const { return m_connected; }
    bool isUpdating() const { return m_updating; }
    bool packageAccepted() const { return m_pkgOk; }
    const QFirmPackage &package() const { return m_pkg; }
    // Reply time-outs handed to every worker made from now on (tests;
    // 2000, 10000 and 1000 ms otherwise).
    void setWorkerWaits(int versionMs, int startMs, int packetMs);

public slots:
    void slotStartUpdate();
    void slotCancelExit();
    void slotConnect();
    void slotFileSelect();
    void slotUpdateResult(int msgType, int value, QString tipStr);

private:
    void uiInit();
    void uiRefresh();
    void devConnect();
    // Stops a running transfer, puts the adapter out of update mode and
    // closes the link (the worker stays).
    void deviceLetGo();
    void workerRelease();

    Ui_QUserDlgFirmUpdate *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    uint8_t m_pkgOk = 0;
    uint8_t m_connected = 0;
    uint8_t m_updating = 0;
    QFirmUpdateSrv *m_worker = nullptr;
    uint16_t m_devHw = 0;
    uint16_t m_devFw = 0;
    QFirmPackage m_pkg;
    int m_waits[3] = {2000, 10000, 1000};
};
