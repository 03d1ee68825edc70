#pragma once
// The table model of the DBC window's listen list: one row per listened
// signal with its name, chart colour, chart switch, latest raw and physical
// value, limits and the time of the latest value. It owns deep copies of the
// signals, takes value updates by row and, like every table model here, fills
// only the window of rows the view shows and refreshes it at most ten times a
// second (a refresh within 100 ms of the previous one only arms a 100 ms
// single-shot timer).
//
// Rows are cache rows (0 = first listened signal). Every row operation
// returns -1 for a row outside 0..count-1 (and then changes nothing), else 0.

#include "dbc/QUserDbcSignal.h"
#include "widgets/QUserTableModel.h"

#include <QVector>

class QTimer;

class QUserTableModelDBC : public QUserTableModel
{
    Q_OBJECT

public:
    enum Column {
        ColIndex = 0,
        ColName,
        ColColor,
        ColChart,
        ColRaw,
        ColPhysical,
        ColMin,
        ColMax,
        ColTime,
        ColFrame,
        ColumnCount
    };

    QUserTableModelDBC();
    ~QUserTableModelDBC() override;

    int cacheCount() override;
    int count() const { return rows.size(); }

    // Appends a deep copy; no duplicate test. Always 1.
    int signalAppend(const QUserDbcSignal &sig);
    // Overwrites every field of the row's signal; refreshes when the row is
    // in the window.
    int signalSet(int row, const QUserDbcSignal &sig);
    int signalRemove(int row);
    // Exchanges two rows (the window passes neighbours).
    int signalSwap(int rowA, int rowB);
    // Sets the chart flag only, without a refresh (the view's check box
    // already shows the click).
    int chartEnableSet(int row, bool on);
    // Each sets one field and asks for a refresh.
    int timeSet(int row, qint64 ms);
    int rawValueSet(int row, qint64 raw);
    int physicalValueSet(int row, double value);
    // The three fields of one decoded value at once, with one refresh
    // request: the receive path's setter.
    int valuesSet(int row, qint64 ms, qint64 raw, double value);

    // Deletes every row; returns the count it had.
    int clearAll();
    // clearAll, then tells the view the count is 0. Always 1.
    int clear();

    // The stored signal of a row (null outside the rows); for the window's
    // checks and tests.
    const QUserDbcSignal *signalAt(int row) const;
    // Number of window refreshes done so far (the throttle's work).
    int refreshCount() const { return refreshes; }
    bool refreshPending() const;

public slots:
    void windowUpdate() override;

private:
    bool rowValid(int row) const { return row >= 0 && row < rows.size(); }
    bool inWindow(int row) const;
    void refreshIfShown(int row);
    void rowFill(int tableRow, int cacheRow);
    QStandardItem *cell(int tableRow, int column);

    QVector<QUserDbcSignal *> rows;
    qint64 lastRefresh = 0;
    QTimer *refreshTimer = nullptr;
    int refreshes = 0;
};
