#pragma once
// Draws a button cell: the item's text is a state, ":" and a label; the
// state "true" draws an available (blue) button, anything else a grey one,
// each with the label centred in white. Used for the write and read actions
// of the CANopen window's dictionary table.

#include <QStyledItemDelegate>

class QUserButtonDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit QUserButtonDelegate(QObject *parent = nullptr);

    // Splits the text at its first ":" (without one, state and label are
    // both the whole text) and draws a rounded button in the cell, left and
    // top 2 pixels in, right and bottom 4 pixels in. No selection or focus
    // decoration; the painter is not restored.
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

    // The state and label of a button text.
    static void splitText(const QString &text, QString &state, QString &label);
};
