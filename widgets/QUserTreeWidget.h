#pragma once
// Tree widget whose drags carry the current item's parent text (plain text)
// and its own text (HTML), and which hands drops to its window.

#include <QPixmap>
#include <QTreeWidget>

class QMimeData;

class QUserTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    explicit QUserTreeWidget(QWidget *parent = nullptr);

    // The mime data a drag of the current selection would carry (null when
    // no drag would start). startDrag uses it.
    QMimeData *dragMimeData() const;

    // The width the tree needs to show a top-level item's text whole in
    // the given font: the branch indentation, the item's margins and the
    // frame included (no scroll bar).
    int topLevelTextWidth(const QString &text, const QFont &font) const;

signals:
    void userDropEvent(QDropEvent *event);

protected:
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
};

// The picture of one index of a view as it is seen (clipped to the
// viewport), drawn selected.
QPixmap dragItemPixmap(QAbstractItemView *view, const QModelIndex &index);
