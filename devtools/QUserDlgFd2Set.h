#pragma once
// CAN FD channel settings dialog, shown by the CAN FD device class before it
// opens an adapter: free adapter and channel, protocol, ISO, work mode,
// preset or custom bit timing (through the calculator) and acceptance
// filter rules (through the filter editor). OK saves the per-type settings
// file and leaves the choices for devCfgGet.
//
// The device class runs it as: construct, fdSupportSet, dlgInit,
// dialogExec (through the frame's prompt seam), on 1 devCfgGet, destroy.

#include "widgets/Dialog.h"
#include "devtools/QUserFd2Cfg.h"
#include "devtools/QUserFd2Settings.h"

#include <QVector>
#include <QWidget>

class Ui_QUserDlgFd2Set;

class QUserDlgFd2Set : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgFd2Set(QWidget *parent = nullptr);
    ~QUserDlgFd2Set() override;

    int fdSupportSet(bool support);
    // openTable[adapter][channel]: true while that channel is open.
    void dlgInit(const QString &devName, const QString &title, const QVector<QVector<bool>> &openTable);
    int dialogExec();
    int devCfgGet(QUserFd2Cfg *cfg);

    void cfgFileLoad() { m_cfg.cfgFileLoad(); }
    void cfgFileSave() { m_cfg.cfgFileSave(); }
    const QUserFd2Settings &settings() const { return m_cfg; }
    Dialog *frame() const { return m_frame.get(); }

private slots:
    void slotOkExit();
    void slotCancelExit();
    void slotBaudCal();
    void slotFliterSet();
    void slotsComboxDevIndexChanged(int index);
    void slotsComboxWorkProChanged(int index);
    void slotsComboxAbaudChanged(int index);
    void slotsComboxDbaudChanged(int index);
    void slotsCheckboxSelfBaudStateChange(int state);
    void slotsCheckboxFliterEnStateChange(int state);

private:
    void rateListsFill();
    void devIndexListSet(int pos);
    void uiStateUpdate();
    void cfgTextToUi();
    void uiToCfgText();

    Ui_QUserDlgFd2Set *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    QUserFd2Settings m_cfg;
    QVector<QVector<bool>> m_openTable;
};
