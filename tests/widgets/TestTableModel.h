#pragma once
// A table model over a computed cache of any size, as the frame tables of
// the program are: column 0 the cache index, column 1 a text from it.

#include "widgets/QUserTableModel.h"

#include <QStandardItem>

class TestTableModel : public QUserTableModel
{
public:
    explicit TestTableModel(int rows = 0) : count(rows) { setColumnCount(2); }

    int cacheCount() override { return count; }

    // Appends rows as the frame models do: follow, then refresh and notify.
    void append(int rows)
    {
        count += rows;
        windowFollow(rows);
        if (scrollState()) {
            windowUpdate();
            emit userRowChangeEvent(count);
        }
    }

    int count = 0;
    int fills = 0;

public:
    void windowUpdate() override
    {
        ++fills;
        const int rows = windowRowsWanted();
        if (rowCount() != rows)
            setRowCount(rows);
        for (int r = 0; r < rows; ++r) {
            const int cacheRow = windowStart() + r;
            for (int c = 0; c < 2; ++c) {
                const QString text = c == 0 ? QString::number(cacheRow) : QStringLiteral("frame %1").arg(cacheRow, 8, 16, QLatin1Char('0'));
                if (QStandardItem *it = item(r, c))
                    it->setText(text);
                else
                    setItem(r, c, new QStandardItem(text));
            }
        }
    }
};
