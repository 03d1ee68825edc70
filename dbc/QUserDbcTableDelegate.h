#pragma once
// Draws a colour cell: the item's text "r,g,b" (three decimals 0..255) as a
// solid swatch 2 pixels inside the cell. Used for the signal colours of the
// DBC window and the object colours of the CANopen window.

#include <QStyledItemDelegate>

class QUserDbcTableDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit QUserDbcTableDelegate(QObject *parent = nullptr);

    // Sets the painter's pen and brush to the cell's colour (a text of fewer
    // than three parts sets nothing) and draws the cell's rectangle shrunk by
    // 2 pixels on each side with them. No text, no selection or focus
    // decoration; the painter is not restored.
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
};
