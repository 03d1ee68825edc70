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

#include <QHash>
#include <QStyledItemDelegate>

class QUserCanWatchDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit QUserCanWatchDelegate(QObject *parent = nullptr);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The lines a text wraps into at word boundaries within width pixels,
    // with the words' widths in font (what the text layout does when it
    // wraps words: blanks at a line's end take no room, a word wider than
    // the line stands alone on it).
    int lineCount(const QString &text, const QFont &font, int width) const;

private:
    qreal wordWidth(const QStringRef &word, const QFontMetricsF &fm) const;

    mutable QString fontKey;
    mutable QHash<QString, qreal> words;
    // Height of a one-line cell by column (with or without an icon).
    mutable QHash<int, int> oneLine;
    // Heights of texts beyond ASCII, by text, width and icon.
    mutable QHash<QString, int> others;
};
