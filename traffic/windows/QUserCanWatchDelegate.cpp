#include "traffic/windows/QUserCanWatchDelegate.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>
#include <QStyle>
#include <QtMath>

QUserCanWatchDelegate::QUserCanWatchDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

qreal QUserCanWatchDelegate::wordWidth(const QStringRef &word, const QFontMetricsF &fm) const
{
    const QString key = word.toString();
    auto it = words.constFind(key);
    if (it != words.constEnd())
        return it.value();
    // Words of a cell are few and repeat (a byte has 256 of them): the
    // cache stays small; a flood of distinct words starts it over.
    if (words.size() > 4096)
        words.clear();
    const qreal w = fm.horizontalAdvance(key);
    words.insert(key, w);
    return w;
}

void QUserCanWatchDelegate::fontCheck(const QFont &font) const
{
    // Compared as a font, not by its key text, which is made anew on every
    // call: this runs for every cell of every repaint.
    if (metrics && font == cachedFont)
        return;
    cachedFont = font;
    metrics = std::make_unique<QFontMetricsF>(font);
    spaceWidth = metrics->horizontalAdvance(QLatin1Char(' '));
    words.clear();
    oneLine.clear();
    others.clear();
}

int QUserCanWatchDelegate::lineCount(const QString &text, const QFont &font, int width) const
{
    fontCheck(font);
    const QFontMetricsF &fm = *metrics;
    const qreal space = spaceWidth;
    int lines = 1;
    qreal used = -1; // nothing on the line yet
    int pendingBlanks = 0;
    const int n = text.size();
    int i = 0;
    while (i < n) {
        if (text.at(i) == QLatin1Char(' ')) {
            ++pendingBlanks;
            ++i;
            continue;
        }
        int j = i;
        while (j < n && text.at(j) != QLatin1Char(' '))
            ++j;
        const qreal w = wordWidth(text.midRef(i, j - i), fm);
        if (used < 0) {
            used = pendingBlanks * space + w;
        } else if (used + pendingBlanks * space + w <= width) {
            used += pendingBlanks * space + w;
        } else {
            ++lines;
            used = w;
        }
        pendingBlanks = 0;
        i = j;
    }
    return lines;
}

QSize QUserCanWatchDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // The view counts a line of its own grid into each row; the line drawn
    // here takes the same pixel.
    QSize s = hintOf(option, index);
    if (grid)
        s.rheight() += 1;
    return s;
}

QSize QUserCanWatchDelegate::hintOf(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool plain = !(opt.features & QStyleOptionViewItem::HasCheckIndicator) && opt.rect.width() > 0
                       && opt.decorationPosition == QStyleOptionViewItem::Left && !opt.text.contains(QLatin1Char('\n'))
                       && !opt.text.contains(QChar(QChar::LineSeparator))
                       && !opt.text.startsWith(QLatin1Char(' '));
    if (!plain)
        return QStyledItemDelegate::sizeHint(option, index);
    const bool icon = opt.features & QStyleOptionViewItem::HasDecoration;
    fontCheck(opt.font);
    // Texts beyond ASCII (the direction and frame texts in Chinese) may
    // break between any two ideographs: the standard answer, kept, as
    // they are few and repeat on every row.
    bool ascii = true;
    for (const QChar c : qAsConst(opt.text)) {
        if (c.unicode() > 0x7E) {
            ascii = false;
            break;
        }
    }
    if (!ascii) {
        const QString key = opt.text + QLatin1Char('\x1f') + QString::number(opt.rect.width())
                            + (icon ? QLatin1Char('i') : QLatin1Char('t'));
        auto known = others.constFind(key);
        if (known != others.constEnd())
            return QSize(opt.rect.width(), known.value());
        if (others.size() > 1024)
            others.clear();
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        others.insert(key, size.height());
        return size;
    }
    const int key = index.column() * 2 + (icon ? 1 : 0);
    auto it = oneLine.constFind(key);
    int base;
    if (it != oneLine.constEnd()) {
        base = it.value();
    } else {
        // The standard answer for this column with a text of one line.
        QStyleOptionViewItem one = opt;
        one.text = QStringLiteral("0");
        const QWidget *w = opt.widget;
        QStyle *style = w ? w->style() : QApplication::style();
        base = style->sizeFromContents(QStyle::CT_ItemViewItem, &one, QSize(), w).height();
        oneLine.insert(key, base);
    }
    const bool wraps = (opt.features & QStyleOptionViewItem::WrapText) && opt.text.contains(QLatin1Char(' '));
    if (!wraps)
        return QSize(opt.rect.width(), base);
    if (icon)
        return QStyledItemDelegate::sizeHint(option, index);
    const QWidget *w = opt.widget;
    QStyle *style = w ? w->style() : QApplication::style();
    const int textMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, w) + 1;
    const int width = opt.rect.width() - 2 * textMargin;
    const int lines = lineCount(opt.text, opt.font, width);
    if (lines <= 1)
        return QSize(opt.rect.width(), base);
    // Each further line adds one line of the text layout.
    const qreal line = metrics->height();
    const int text1 = qCeil(line);
    const int textN = qCeil(line * lines);
    return QSize(opt.rect.width(), base + (textN - text1));
}

void QUserCanWatchDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!grid) {
        paintCell(painter, option, index);
        return;
    }
    // The cell as the view lays it out with its grid on: one pixel less at
    // the right and at the bottom, where the line goes.
    QStyleOptionViewItem inner = option;
    inner.rect.adjust(0, 0, -1, -1);
    paintCell(painter, inner, index);
    const QWidget *w = option.widget;
    QStyle *style = w ? w->style() : QApplication::style();
    const QColor color = QColor::fromRgba(QRgb(style->styleHint(QStyle::SH_Table_GridLineColor, &option, w)));
    const QRect r = option.rect;
    painter->fillRect(QRect(r.right(), r.top(), 1, r.height()), color);
    painter->fillRect(QRect(r.left(), r.bottom(), r.width() - 1, 1), color);
}

void QUserCanWatchDelegate::paintCell(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if ((opt.features & (QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator))
        || (opt.state & QStyle::State_Editing)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget *w = opt.widget;
    QStyle *style = w ? w->style() : QApplication::style();
    painter->save();
    painter->setClipRect(opt.rect);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, w);
    if (!opt.text.isEmpty()) {
        QPalette::ColorGroup cg = (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        if (cg == QPalette::Normal && !(opt.state & QStyle::State_Active))
            cg = QPalette::Inactive;
        painter->setPen(opt.palette.color(cg, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                   : QPalette::Text));
        painter->setFont(opt.font);
        const int textMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, w) + 1;
        const QRect textRect = opt.rect.adjusted(textMargin, 0, -textMargin, 0);
        QTextOption to(QStyle::visualAlignment(opt.direction, opt.displayAlignment));
        to.setWrapMode((opt.features & QStyleOptionViewItem::WrapText) ? QTextOption::WordWrap
                                                                       : QTextOption::ManualWrap);
        to.setTextDirection(opt.direction);
        painter->drawText(QRectF(textRect), opt.text, to);
    }
    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &opt, w);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        const QPalette::ColorGroup fg = (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        focus.backgroundColor =
            opt.palette.color(fg, (opt.state & QStyle::State_Selected) ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, w);
    }
    painter->restore();
}
