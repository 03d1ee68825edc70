#include "dbc/QUserButtonDelegate.h"

#include <QPainter>
#include <QWidget>

QUserButtonDelegate::QUserButtonDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void QUserButtonDelegate::splitText(const QString &text, QString &state, QString &label)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        state = text;
        label = text;
        return;
    }
    state = text.left(colon);
    label = text.mid(colon + 1);
}

void QUserButtonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    if (!painter)
        return;
    const QString text = index.model() ? index.data(Qt::DisplayRole).toString() : QString();
    QString state;
    QString label;
    splitText(text, state, label);
    const bool available = state == QLatin1String("true");
    painter->setBrush(QBrush(available ? QColor(52, 152, 219) : QColor(180, 180, 180), Qt::SolidPattern));
    painter->setPen(QColor(Qt::white));
    const QRect r = option.rect.adjusted(2, 2, -4, -4);
    painter->drawRoundedRect(r, 2.0, 2.0, Qt::AbsoluteSize);
    painter->drawText(r, Qt::AlignCenter, label);
}

void QUserButtonDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                               const QModelIndex &) const
{
    if (editor)
        editor->setGeometry(option.rect);
}
