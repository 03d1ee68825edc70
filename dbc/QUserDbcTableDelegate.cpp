#include "dbc/QUserDbcTableDelegate.h"

#include <QPainter>
#include <QStringList>
#include <QWidget>

QUserDbcTableDelegate::QUserDbcTableDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void QUserDbcTableDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    if (!painter || index.row() < 0 || index.column() < 0 || !index.model())
        return;
    const QStringList parts = index.data(Qt::DisplayRole).toString().split(QLatin1Char(','));
    if (parts.size() >= 3) {
        // Components outside 0..255 are held to the nearest bound instead of
        // making an invalid colour.
        const int r = qBound(0, parts.at(0).trimmed().toInt(), 255);
        const int g = qBound(0, parts.at(1).trimmed().toInt(), 255);
        const int b = qBound(0, parts.at(2).trimmed().toInt(), 255);
        const QColor c(r, g, b, 255);
        painter->setBrush(QBrush(c, Qt::SolidPattern));
        painter->setPen(c);
    }
    painter->drawRect(option.rect.adjusted(2, 2, -2, -2));
}

void QUserDbcTableDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                                 const QModelIndex &) const
{
    if (editor)
        editor->setGeometry(option.rect);
}
