#pragma once
// Channel dialog of the classic adapters (USBCAN1, USBCAN2): free adapter
// and channel, bit rate as the two bus-timing registers (named rates or
// typed), acceptance filter mode, code and mask, work mode. The choices are
// kept in "./<type>Set.ini" and handed back in a QUserUsbcan2Cfg.
//
// The classic device class uses the host Usbcan2CfgDialog: construct with
// the title, cfgSet, dialogExec (through the frame's prompt seam), on 1
// cfgGet, destroy.

#include "widgets/Dialog.h"
#include "devtools/QUserFd2Cfg.h"
#include "devtools/QUserUsbcan2Settings.h"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QVector>
#include <QWidget>

class Ui_uiDlgUsbcan2Cfg;

class uiDlgUsbcan2Cfg : public QWidget
{
    Q_OBJECT

public:
    explicit uiDlgUsbcan2Cfg(QWidget *parent = nullptr);
    ~uiDlgUsbcan2Cfg() override;

    // usage[d]: one byte per channel of adapter d, non-zero while open.
    void devSet(const QString &name, const QVector<QByteArray> &usage);
    void dlgSet(Dialog *frame) { m_frame = frame; }
    void cfgRead(QUserUsbcan2Cfg *cfg);

    const QUserUsbcan2Settings &settings() const { return m_cfg; }

private slots:
    void okExit();
    void cancelExit();
    void slotsComboxDevIndexChanged(int index);
    void slotsComboxBaudIndexChanged(int index);
    void slotsCheckboxSelfBaudStateChange(int state);

private:
    void uiInit();
    void cfgToUi();
    void cfgFromUi();
    void devListUpdate(int pos);
    bool fieldsCheck();

    Ui_uiDlgUsbcan2Cfg *ui = nullptr;
    QPointer<Dialog> m_frame;
    QHash<QString, BaudRateEntry> m_baudTable;
    QVector<QByteArray> m_usage;
    QUserUsbcan2Settings m_cfg;
};

class Usbcan2CfgDialog
{
public:
    explicit Usbcan2CfgDialog(const QString &title);
    ~Usbcan2CfgDialog();

    void cfgSet(const QString &name, const QVector<QByteArray> &usage);
    int dialogExec();
    void cfgGet(QUserUsbcan2Cfg *cfg);

    uiDlgUsbcan2Cfg *form() const { return m_form; }
    Dialog *frame() const { return m_frame; }

private:
    Usbcan2CfgDialog(const Usbcan2CfgDialog &) = delete;
    Usbcan2CfgDialog &operator=(const Usbcan2CfgDialog &) = delete;

    uiDlgUsbcan2Cfg *m_form = nullptr;
    Dialog *m_frame = nullptr;
};
