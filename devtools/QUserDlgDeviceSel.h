#pragma once
// Small modal dialog in which the user picks an adapter model of one device
// class (0 CAN and CAN FD adapters, 1 recording adapters, 2 LIN adapters).
// The last chosen list position of each class is remembered in sys.ini.

#include "widgets/Dialog.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>

#include <QComboBox>
#include <QPushButton>
class Ui_QUserDlgDeviceSel;

class QUserDlgDeviceSel : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgDeviceSel(QWidget *parent = nullptr);
    ~QUserDlgDeviceSel() override;

    int devTypeSet(uint8_t devClass);
    int dialogExec();
    QString devModelGet() const { return m_model; }

    // The model entries of a class, in list order (empty for other classes).
    static QStringList modelList(int devClass);

    Dialog *frame() const { return m_frame.get(); }
    QComboBox *modelCombo() const { return m_modelCombo; }
    QComboBox *typeCombo() const { return m_typeCombo; }

public slots:
    void configureLoad();
    void configureSave();
    void slotOkExit();
    void slotCancelExit();

private:
    void combosFit();

    Ui_QUserDlgDeviceSel *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    // Laid into the frame when run, so guarded: the frame may go first.
    QPointer<QComboBox> m_typeCombo;
    QPointer<QComboBox> m_modelCombo;
    QPointer<QPushButton> m_ok;
    QPointer<QPushButton> m_cancel;
    QString m_model;
    uint8_t m_class = 0;
    int m_canPos = 0;
    int m_linPos = 0;
    int m_recordPos = 0;
};
