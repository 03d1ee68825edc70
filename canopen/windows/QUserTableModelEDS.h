#pragma once
// The listen list of the CANopen window: deep copies of the dictionary
// objects the user watches, with their values in decimal and hexadecimal,
// limits, chart colour, last update time and a write and a read button per
// row. A key index finds the row of an SDO answer at once. Only the visible
// window of rows has items; refreshes run at most once per 100 ms. GUI
// thread only.

#include "canopen/QUserDictObj.h"
#include "widgets/QUserTableModel.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class QMimeData;
class QTimer;

class QUserTableModelEDS : public QUserTableModel
{
    Q_OBJECT
public:
    enum Column {
        ColRow = 0,
        ColIndex = 1,
        ColSubIndex = 2,
        ColName = 3,
        ColColor = 4,
        ColTime = 5,
        ColValueDec = 6,
        ColValueHex = 7,
        ColLow = 8,
        ColHigh = 9,
        ColWrite = 10,
        ColRead = 11,
        ColNote = 12,
        ColumnCount = 13,
    };

    QUserTableModelEDS();
    ~QUserTableModelEDS() override;

    int cacheCount() override { return int(rows.size()); }
    QUserDictObj *dictObjAt(int row) const;
    bool dictObjContains(const QUserDictObj &obj) const;
    int dictObjAdd(const QUserDictObj &obj);
    int dictObjRemove(int row);
    int dictObjSwap(int rowA, int rowB);
    // sizeIndicated: the bytes the SDO answer said it carries (1-4), 0 when it
    // left the size to the object (0x42): the value is then cut to the
    // object's own size.
    int dictObjValueUpdate(unsigned index, unsigned subIndex, bool isWrite, unsigned value, int sizeIndicated = 4);
    int clearAll();
    int clear();
    // The row of a key, -1 when it is not listed.
    int rowOfKey(uint32_t key) const { return keyIndex.value(key, -1); }

    // The twelve cell texts of an object, column 0 given by the row; node:
    // the node id the limits' node-id formulas are resolved for (0: none,
    // a formula shows as written).
    static QStringList cellTexts(const QUserDictObj &obj, int row, int node = 0);
    static QString limitText(const QUserDictObj &obj, bool high, int node);
    // The value in decimal as its data type reads it: the signed types
    // sign-extended from their size, the unsigned ones from their size
    // unsigned; other types as a signed 32-bit number.
    static QString valueDecimalText(const QUserDictObj &obj);
    // True while the model itself writes the cells (not a user edit).
    bool isFilling() const { return filling; }
    // The node the window addresses (1-127, 0 none): the limits follow it.
    void nodeIdSet(int node);
    int nodeIdGet() const { return nodeId; }

    // Drags from the dictionary tree may land on the list.
    QStringList mimeTypes() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    Qt::DropActions supportedDropActions() const override;

    // Fills the visible window of rows now (windowUpdate waits out the
    // refresh interval).
    void rowsFill();

public slots:
    void windowUpdate() override;

private:
    bool rowVisible(int row) const;

    QMap<uint32_t, int> keyIndex;
    std::vector<QUserDictObj *> rows;
    int64_t lastRefreshMs = 0;
    QTimer *timer = nullptr;
    bool filling = false;
    int nodeId = 0;
};
