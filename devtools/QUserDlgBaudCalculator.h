#pragma once
// Modal bit-timing calculator for classic CAN controllers with BTR0/BTR1
// (16 MHz clock): lists every register pair that meets a rate, an error
// bound and a minimum sample point, as two bytes ("RAVIRO1/2") or as one
// 16-bit register value ("PEAK"). Nothing is handed back.

#include "widgets/Dialog.h"

#include <QWidget>

#include <cstdint>

class QTableWidget;
class Ui_QUserDlgBaudCalculator;

class QUserDlgBaudCalculator : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgBaudCalculator(QWidget *parent = nullptr);
    ~QUserDlgBaudCalculator() override;

    int dialogExec();

    // The searches of the two pages (clock Hz, target bit/s, percent, percent);
    // each fills its own table and returns the number of hits.
    int32_t calcUsbcanBtr(int32_t clock, int32_t target, int32_t maxErr, int32_t minSample);
    int32_t calcPeakBtr(int32_t clock, int32_t target, int32_t maxErr, int32_t minSample);

    Dialog *frame() const { return m_frame.get(); }
    QTableWidget *usbcanTable() const { return tableUsbcan; }
    QTableWidget *peakTable() const { return tablePeak; }

private slots:
    void slotOkExit();
    void slotCancelExit();
    void slotCalculate();
    void slotTabSelSwitch(int index);

private:
    void uiInit();
    int32_t search(bool peak, int32_t clock, int32_t target, int32_t maxErr, int32_t minSample);

    Ui_QUserDlgBaudCalculator *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    QTableWidget *tableUsbcan = nullptr;
    QTableWidget *tablePeak = nullptr;
    int32_t maxErr = 0;
    int32_t minSample = 0;
    int32_t target = 0;
    int32_t clock = 0;
};
