// The colour-cell and button-cell delegates painted into images.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>

#include "dbc/QUserButtonDelegate.h"
#include "dbc/QUserDbcTableDelegate.h"

namespace {

const QColor kWhite(255, 255, 255);
const QColor kPaper(250, 250, 250); // the image's background before painting
const QColor kBlue(52, 152, 219);
const QColor kGrey(180, 180, 180);

struct Cell {
    QStandardItemModel model{1, 1};
    QModelIndex index;
    explicit Cell(const QString &text)
    {
        model.setItem(0, 0, new QStandardItem(text));
        index = model.index(0, 0);
    }
};

// Paints one cell of the given size at (0, 0) of a fresh image, with the
// painter's pen and brush set beforehand.
QImage paintCell(const QStyledItemDelegate &d, const QModelIndex &index, QSize size,
                 const QPen &pen = QPen(Qt::black), const QBrush &brush = QBrush())
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(kPaper);
    QPainter p(&img);
    p.setPen(pen);
    p.setBrush(brush);
    QStyleOptionViewItem opt;
    opt.rect = QRect(QPoint(0, 0), size);
    opt.state |= QStyle::State_Selected | QStyle::State_HasFocus; // never drawn
    d.paint(&p, opt, index);
    p.end();
    return img;
}

QColor at(const QImage &img, int x, int y)
{
    return img.pixelColor(x, y);
}

// Pixels of exactly this colour inside the rectangle.
int count(const QImage &img, const QRect &r, const QColor &c)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += img.pixelColor(x, y) == c;
    return n;
}

} // namespace

TEST(DbcDelegates, ColourCellIsASwatchTwoPixelsIn)
{
    QUserDbcTableDelegate d;
    Cell cell("255,0,0");
    const QImage img = paintCell(d, cell.index, QSize(40, 20));
    const QColor red(255, 0, 0);
    // Untouched border of 2 pixels at the left and top, 1 at the right and
    // bottom (the 1-pixel outline of a rectangle ends one pixel past it).
    for (int x = 0; x < 40; ++x) {
        EXPECT_EQ(at(img, x, 0), kPaper) << x;
        EXPECT_EQ(at(img, x, 1), kPaper) << x;
        EXPECT_EQ(at(img, x, 19), kPaper) << x;
    }
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(at(img, 0, y), kPaper) << y;
        EXPECT_EQ(at(img, 1, y), kPaper) << y;
        EXPECT_EQ(at(img, 39, y), kPaper) << y;
    }
    // Outline and fill in the colour, and nothing else (no text).
    EXPECT_EQ(count(img, QRect(2, 2, 37, 17), red), 37 * 17);
}

TEST(DbcDelegates, ColourCellTexts)
{
    QUserDbcTableDelegate d;
    struct Case {
        const char *text;
        QColor fill;
    } cases[] = {
        {"0,128,255", QColor(0, 128, 255)},
        {"10, 20 ,30", QColor(10, 20, 30)},
        {"1,2,3,4", QColor(1, 2, 3)},
        {"300,-5,7", QColor(255, 0, 7)}, // held to 0..255
        {"a,b,c", QColor(0, 0, 0)},
    };
    for (const Case &c : cases) {
        Cell cell(c.text);
        const QImage img = paintCell(d, cell.index, QSize(20, 12));
        EXPECT_EQ(at(img, 10, 6), c.fill) << c.text;
        EXPECT_EQ(at(img, 2, 2), c.fill) << c.text;
        EXPECT_EQ(at(img, 1, 1), kPaper) << c.text;
    }

    // Fewer than three parts: no colour is set; the frame is drawn with the
    // painter's current pen and brush.
    for (const char *text : {"10,20", "", "255"}) {
        Cell cell(text);
        const QImage img = paintCell(d, cell.index, QSize(20, 12), QPen(QColor(0, 200, 0)), QBrush(Qt::blue));
        EXPECT_EQ(at(img, 2, 2), QColor(0, 200, 0)) << text;
        EXPECT_EQ(at(img, 10, 6), QColor(0, 0, 255)) << text;
    }

    // An index without a model, or a negative row or column, draws nothing.
    const QImage none = paintCell(d, QModelIndex(), QSize(20, 12), QPen(Qt::red), QBrush(Qt::red));
    EXPECT_EQ(count(none, none.rect(), kPaper), 20 * 12);
}

TEST(DbcDelegates, ButtonCellColourAndLabel)
{
    QUserButtonDelegate d;
    const QSize size(80, 24);
    const QRect inner(4, 4, 70, 14); // inside the button, clear of its white outline
    auto render = [&](const QString &text) {
        Cell cell(text);
        return paintCell(d, cell.index, size);
    };

    struct Case {
        QString text;
        QColor fill;
        bool labelled;
    } cases[] = {
        {QString::fromUtf8("true:写入"), kBlue, true},
        {QString::fromUtf8("false:不支持"), kGrey, true},
        {"TRUE:x", kGrey, true},
        {"true", kBlue, true},
        {"true:a:b", kBlue, true},
        {"true:", kBlue, false},
        {"", kGrey, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QImage img = render(c.text);
        // Button: 2 pixels in at the left and top, 4 at the right and bottom
        // (the outline ends one past its rectangle).
        EXPECT_EQ(at(img, 1, 12), kPaper);
        EXPECT_EQ(at(img, 40, 1), kPaper);
        EXPECT_EQ(at(img, 77, 12), kPaper);
        EXPECT_EQ(at(img, 40, 21), kPaper);
        EXPECT_EQ(at(img, 40, 2), kWhite); // white outline
        EXPECT_EQ(at(img, 3, 12), c.fill);
        EXPECT_EQ(at(img, 72, 5), c.fill);
        const int white = count(img, inner, kWhite);
        if (c.labelled)
            EXPECT_GT(white, 5) << "label drawn in white";
        else
            EXPECT_EQ(white, 0);
        EXPECT_GT(count(img, inner, c.fill), 70 * 14 / 2);
    }

    // The label is the text after the first ":", or the whole text.
    EXPECT_EQ(render("TRUE:x"), render("false:x"));
    EXPECT_NE(render("false:x"), render("false:y"));
    EXPECT_EQ(render("true"), render("true:true"));
    EXPECT_NE(render("true:a:b"), render("true:a"));
    EXPECT_EQ(render("maybe"), render("maybe:maybe"));

    QString state, label;
    QUserButtonDelegate::splitText("true:a:b", state, label);
    EXPECT_EQ(state, "true");
    EXPECT_EQ(label, "a:b");
    QUserButtonDelegate::splitText("plain", state, label);
    EXPECT_EQ(state, "plain");
    EXPECT_EQ(label, "plain");
}

TEST(DbcDelegates, EditorsTakeTheCellRectangle)
{
    QUserDbcTableDelegate colour;
    QUserButtonDelegate button;
    QStyleOptionViewItem opt;
    opt.rect = QRect(13, 7, 60, 22);
    for (QStyledItemDelegate *d : {static_cast<QStyledItemDelegate *>(&colour),
                                   static_cast<QStyledItemDelegate *>(&button)}) {
        QLineEdit editor;
        d->updateEditorGeometry(&editor, opt, QModelIndex());
        EXPECT_EQ(editor.geometry(), opt.rect);
    }
}

// In a table view, as the windows use them: one delegate per column.
TEST(DbcDelegates, PaintInATableView)
{
    QStandardItemModel model(1, 3);
    model.setItem(0, 0, new QStandardItem("0,200,0"));
    model.setItem(0, 1, new QStandardItem(QString::fromUtf8("true:读取")));
    model.setItem(0, 2, new QStandardItem("false:x"));
    QTableView view;
    auto *colour = new QUserDbcTableDelegate(&view);
    auto *button = new QUserButtonDelegate(&view);
    view.setModel(&model);
    view.setItemDelegateForColumn(0, colour);
    view.setItemDelegateForColumn(1, button);
    view.setItemDelegateForColumn(2, button);
    view.resize(400, 120);
    view.show();
    const QImage img = view.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const auto centre = [&](int col) {
        const QRect r = view.visualRect(model.index(0, col));
        return QPoint(r.left() + 3, r.center().y());
    };
    const qreal dpr = img.devicePixelRatio();
    auto pixel = [&](QPoint p) { return img.pixelColor(int(p.x() * dpr), int(p.y() * dpr)); };
    EXPECT_EQ(pixel(centre(0)), QColor(0, 200, 0));
    EXPECT_EQ(pixel(centre(1)), kBlue);
    EXPECT_EQ(pixel(centre(2)), kGrey);
}
