#pragma once
// Modal CAN FD bit-timing calculator: searches the arbitration and the data
// phase for the wanted rates, lets the user pick one row of each and hands
// back the result text with the clock and both packed timing words.

#include "widgets/Dialog.h"

#include <QMap>
#include <QString>
#include <QWidget>

#include <cstdint>

class QTableWidget;
class QTableWidgetItem;
class Ui_QUserDlgFdBaudCalculator;
struct FdBaudParam;

class QUserDlgFdBaudCalculator : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgFdBaudCalculator(QWidget *parent = nullptr);
    ~QUserDlgFdBaudCalculator() override;

    bool devTypeSet(const QString &model);
    int dialogExec();
    QString resultTextGet() const { return resultText; }
    bool resultGet(int &clock, uint32_t &arbWord, uint32_t &dataWord) const;

    Dialog *frame() const { return m_frame.get(); }

private slots:
    void slotOkExit();
    void slotCancelExit();
    void slotBaudCal();
    void slotHelp();
    void slotResultCopy2Clipboard();
    void slotATableWidgetClickHandle(QTableWidgetItem *item);
    void slotDTableWidgetClickHandle(QTableWidgetItem *item);
    void slotCalParaChanged(const QString &text);
    void slotsComboxDevTypeChanged(int index);

private:
    void uiInit();
    void tableInit(QTableWidget *table);
    void tableRowAdd(QTableWidget *table, const FdBaudParam &p);
    void calParaReset();
    void devTypeRefresh();
    bool phaseSearch(int phase);
    void resultShow();

    Ui_QUserDlgFdBaudCalculator *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    bool paraChanged = true;
    QString resultText;
    QString clockText;
    QString arbWordText;
    QString dataWordText;
    bool dataPhaseEnabled = true;
    QMap<QString, QString> clockMap;
};
