#include "widgets/QUserTableView.h"
#include "widgets/QUserTableWidget.h"
#include "widgets/QUserTreeWidget.h"
#include "tests/widgets/WidgetsTestUtil.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The handlers are protected; tests reach them through member pointers.
class TableWidgetProbe : public QUserTableWidget
{
public:
    using QUserTableWidget::dropEvent;
};
class TreeProbe : public QUserTreeWidget
{
public:
    using QUserTreeWidget::dropEvent;
};

struct Tree {
    QUserTreeWidget tree;
    QTreeWidgetItem *top = nullptr;
    QTreeWidgetItem *child = nullptr;
    Tree()
    {
        tree.setColumnCount(2);
        top = new QTreeWidgetItem(&tree, QStringList{"EngineData", "0x0CF00400"});
        child = new QTreeWidgetItem(top, QStringList{"EngSpeed", "rpm"});
        new QTreeWidgetItem(top, QStringList{QString::fromUtf8("油门"), "%"});
        tree.expandAll();
    }
    void pick(QTreeWidgetItem *item)
    {
        tree.clearSelection();
        tree.setCurrentItem(item);
        item->setSelected(true);
    }
};

} // namespace

TEST(TreeDrag, PayloadCarriesParentTextAndItemText)
{
    const struct {
        const char *name;
        int which; // 0 top, 1 child, 2 second child
        QString text, html;
    } cases[] = {
        {"top-level item", 0, QString(), "EngineData"},
        {"child item", 1, "EngineData", "EngSpeed"},
        {"CJK child", 2, "EngineData", QString::fromUtf8("油门")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Tree t;
        QTreeWidgetItem *items[] = {t.top, t.child, t.top->child(1)};
        t.pick(items[c.which]);
        std::unique_ptr<QMimeData> mime(t.tree.dragMimeData());
        ASSERT_NE(mime, nullptr);
        EXPECT_EQ(mime->text(), c.text);
        EXPECT_TRUE(mime->hasText());
        EXPECT_EQ(mime->html(), c.html);
        // The standard item-model encoding is kept beside the texts.
        EXPECT_TRUE(mime->hasFormat("application/x-qabstractitemmodeldatalist"));
    }
}

TEST(TreeDrag, NoSelectionOrNoCurrentItemStartsNothing)
{
    Tree t;
    t.tree.clearSelection();
    EXPECT_EQ(t.tree.dragMimeData(), nullptr);
    t.tree.setCurrentItem(nullptr);
    t.child->setSelected(true);
    ASSERT_EQ(t.tree.currentItem(), nullptr);
    ASSERT_FALSE(t.tree.selectedItems().isEmpty());
    EXPECT_EQ(t.tree.dragMimeData(), nullptr);
}

TEST(TreeDrag, DropIsHandedToTheWindowAndNothingInserted)
{
    Tree t;
    QList<QDropEvent *> seen;
    QObject::connect(&t.tree, &QUserTreeWidget::userDropEvent, [&](QDropEvent *e) { seen << e; });
    QMimeData mime;
    mime.setText("x");
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    void (QUserTreeWidget::*handler)(QDropEvent *) = &TreeProbe::dropEvent;
    (t.tree.*handler)(&drop);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.at(0), &drop);
    EXPECT_EQ(t.tree.topLevelItemCount(), 1);
}

TEST(TreeDrag, PixmapShowsOnlyTheVisiblePartOfTheItem)
{
    QUserTreeWidget tree;
    for (int i = 0; i < 40; ++i)
        new QTreeWidgetItem(&tree, QStringList{QStringLiteral("signal %1").arg(i)});
    tree.resize(200, 150);
    tree.show();
    QApplication::processEvents();
    const QRect vp(0, 0, tree.viewport()->width(), tree.viewport()->height());

    // A fully visible item.
    QModelIndex first = tree.model()->index(0, 0);
    QPixmap whole = dragItemPixmap(&tree, first);
    EXPECT_EQ(whole.size(), tree.visualRect(first).intersected(vp).size());

    // Scroll half a row: the first item is cut by the viewport's top edge.
    tree.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    const int rowH = tree.visualRect(first).height();
    ASSERT_GT(rowH, 4);
    tree.verticalScrollBar()->setValue(rowH / 2);
    QApplication::processEvents();
    const QRect cutRect = tree.visualRect(first);
    ASSERT_LT(cutRect.top(), 0);
    QPixmap part = dragItemPixmap(&tree, first);
    EXPECT_EQ(part.height(), cutRect.bottom() + 1);
    EXPECT_EQ(part.size(), cutRect.intersected(vp).size());
    EXPECT_LT(part.height(), rowH);

    // Scrolled out entirely: an empty picture.
    QModelIndex last = tree.model()->index(39, 0);
    EXPECT_FALSE(tree.visualRect(last).intersects(vp));
    EXPECT_TRUE(dragItemPixmap(&tree, last).isNull());
}

TEST(TableWidget, DropEmitsTextThenHtmlAndInsertsNothing)
{
    QUserTableWidget table;
    table.setColumnCount(2);
    QSignalSpy spy(&table, &QUserTableWidget::userDropEvent);
    Tree t;
    t.pick(t.child);
    std::unique_ptr<QMimeData> mime(t.tree.dragMimeData());
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    void (QUserTableWidget::*handler)(QDropEvent *) = &TableWidgetProbe::dropEvent;
    (table.*handler)(&drop);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("EngineData"));
    EXPECT_EQ(spy.at(0).at(1).toString(), QStringLiteral("EngSpeed"));
    EXPECT_EQ(table.rowCount(), 0);
    EXPECT_EQ(table.parent(), nullptr);
}

TEST(TableWidget, KeyAndWheelReachTheWindowBeforeTheTableHandlesThem)
{
    QUserTableWidget table;
    table.setRowCount(200);
    table.setColumnCount(1);
    for (int r = 0; r < 200; ++r)
        table.setItem(r, 0, new QTableWidgetItem(QString::number(r)));
    table.resize(200, 200);
    table.show();
    table.setCurrentCell(5, 0);

    int rowAtKey = -1;
    QObject::connect(&table, &QUserTableWidget::userKeyPressEvent, [&](QKeyEvent *e) {
        EXPECT_EQ(e->key(), Qt::Key_Down);
        rowAtKey = table.currentRow();
    });
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(rowAtKey, 5) << "the signal runs before the table moves";
    EXPECT_EQ(table.currentRow(), 6);

    int barAtWheel = -1;
    QObject::connect(&table, &QUserTableWidget::userWheelEvent, [&](QWheelEvent *) {
        barAtWheel = table.verticalScrollBar()->value();
    });
    const int before = table.verticalScrollBar()->value();
    QWheelEvent wheel(QPointF(10, 10), QPointF(table.mapToGlobal(QPoint(10, 10))), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(table.viewport(), &wheel);
    EXPECT_EQ(barAtWheel, before);
    EXPECT_GT(table.verticalScrollBar()->value(), before) << "then it scrolls as usual";
}
