#pragma once
// The trace viewer table's item delegate. It paints as the standard one
// does; what it adds is a quick size hint. The table sizes its rows to
// their contents, so every repaint after a scroll step asks for the size of
// every cell on screen, and the standard answer lays the cell's text out in
// full (shaping every character) only to count its lines: that was a good
// part of a scroll step. The cells' texts are short words (numbers,
// identifiers, the direction and frame texts) and, in the data column,
// words of one byte each, so the lines are counted from the widths of the
// words, each measured once; the height follows from the height the
// standard delegate gives a one-line cell of the same column, so the rows
// come out exactly as tall as the standard answer makes them.
//
// Painting a cell the standard way lays its text out three times (to place
// it, to see whether it must be elided, to draw it); a cell without an
// icon is painted here with one layout: the style's background and
// selection, the text in the palette's colour within the same margins,
// wrapped at words, and the focus frame. Cells with an icon are painted
// the standard way.
//
// With setGridLines the delegate also draws the table's grid, a line of
// the style's grid colour at each cell's right and bottom edge, for a view
// whose own grid is off: the view draws its vertical grid lines pixel by
// pixel across the whole viewport, which cost more than all the text of a
// repaint. The cells keep the size and the place they had with the view's
// grid (the size hint counts the line, the content stays off it).

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QStyledItemDelegate>

#include <memory>

class QUserCanWatchDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit QUserCanWatchDelegate(QObject *parent = nullptr);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Whether the delegate draws the grid (the view's own grid then off).
    void setGridLines(bool on) { grid = on; }
    bool gridLines() const { return grid; }

    // The lines a text wraps into at word boundaries within width pixels,
    // with the words' widths in font (what the text layout does when it
    // wraps words: blanks at a line's end take no room, a word wider than
    // the line stands alone on it).
    int lineCount(const QString &text, const QFont &font, int width) const;

private:
    QSize hintOf(const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void paintCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;

    bool grid = false;
    qreal wordWidth(const QStringRef &word, const QFontMetricsF &fm) const;

    // The font the caches below belong to.
    void fontCheck(const QFont &font) const;
    mutable QFont cachedFont;
    mutable std::unique_ptr<QFontMetricsF> metrics;
    mutable qreal spaceWidth = 0;
    mutable QHash<QString, qreal> words;
    // Height of a one-line cell by column (with or without an icon).
    mutable QHash<int, int> oneLine;
    // Heights of texts beyond ASCII, by text, width and icon.
    mutable QHash<QString, int> others;
};
