// The CANopen window at the size it opens with (half of a 1920x1080 or of a
// 1366x768 screen): it takes that size, the controls of the right-hand
// pages and of the frame log are whole, the listen list's columns fit a
// reopened project, and the help box shows every line.
#include "tests/canopen/WindowRig.h"

#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserTableView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

using namespace cowin;

namespace {

class Layout : public FakeWindowTest
{
protected:
    // The font the program is drawn with on the desktop (as the screenshots
    // are), not the test platform's default.
    void SetUp() override
    {
        savedFont = QApplication::font();
        QFont font(QStringLiteral("WenQuanYi Micro Hei"));
        font.setPointSize(9);
        QApplication::setFont(font);
        FakeWindowTest::SetUp();
    }
    void TearDown() override
    {
        FakeWindowTest::TearDown();
        QApplication::setFont(savedFont);
    }
    QFont savedFont;
    void show(const QSize &size)
    {
        w->resize(size);
        w->show();
        settle(150);
    }
    // The part of a widget that lies outside the viewport it is seen through
    // (0: whole), horizontally.
    static int cutAcross(QWidget *widget, QWidget *viewport)
    {
        const QPoint left = widget->mapTo(viewport, QPoint(0, 0));
        const int right = left.x() + widget->width();
        return std::max(0, -left.x()) + std::max(0, right - viewport->width());
    }
};

} // namespace

TEST_F(Layout, OpensAtHalfOfTheSmallScreen)
{
    for (const QSize &size : {QSize(683, 384), QSize(960, 540)}) {
        SCOPED_TRACE(size.width());
        show(size);
        EXPECT_EQ(w->size(), size);
    }
}

// At half of a 1920x1080 screen every button and field of the three
// right-hand pages lies within the page across (the pages scroll only up
// and down), and the log's own controls are whole.
TEST_F(Layout, RightPagesAndLogControlsAreWholeAcross)
{
    show(QSize(960, 540));
    auto *right = child<QTabWidget>("tabWidgetRight");
    for (int page = 0; page < right->count(); ++page) {
        right->setCurrentIndex(page);
        settle(50);
        auto *area = qobject_cast<QScrollArea *>(right->widget(page));
        ASSERT_NE(area, nullptr);
        SCOPED_TRACE(area->objectName().toStdString());
        EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0) << "nothing to scroll across";
        for (QWidget *c : area->widget()->findChildren<QWidget *>()) {
            if (!c->isVisibleTo(area->widget()) || (!qobject_cast<QAbstractButton *>(c) && !qobject_cast<QLineEdit *>(c)))
                continue;
            EXPECT_EQ(cutAcross(c, area->viewport()), 0) << c->objectName().toStdString();
        }
    }
    QWidget *logPane = child<QSplitter>("splitterCanopenRoot")->widget(0);
    for (const char *name : {"checkBoxLogPause", "checkBoxLogHeartBeat", "pushButtonLogClear", "pushButtonLogSave"}) {
        QWidget *c = child<QWidget>(name);
        EXPECT_EQ(cutAcross(c, logPane), 0) << name;
        EXPECT_GE(c->width(), c->sizeHint().width()) << name;
    }
    // The description column starts inside the log.
    auto *log = child<QUserTableView>("tableViewCanopenLog");
    EXPECT_LT(log->columnViewportPosition(2) + 40, log->viewport()->width());
}

// On the small screen the log's buttons go below its check boxes rather
// than being cut.
TEST_F(Layout, LogControlsWrapWhenNarrow)
{
    show(QSize(683, 384));
    QWidget *logPane = child<QSplitter>("splitterCanopenRoot")->widget(0);
    for (const char *name : {"checkBoxLogPause", "checkBoxLogHeartBeat", "pushButtonLogClear", "pushButtonLogSave"}) {
        QWidget *c = child<QWidget>(name);
        EXPECT_EQ(cutAcross(c, logPane), 0) << name;
        EXPECT_GE(c->width(), c->sizeHint().width()) << name;
    }
}

// A reopened project fills the listen list after its columns were sized for
// an empty list: they fit what was loaded ("0x1..." otherwise); so do they
// for objects dropped on it.
TEST_F(Layout, ListenColumnsFitAReopenedProject)
{
    prompts.answerFile(cotest::edsPath("drive.eds"));
    w->slotEdsFileLoad();
    ASSERT_TRUE(idle());
    for (const char *text : {"1018 ", "6041 ", "2001 "}) {
        auto *tree = child<QTreeWidget>("treeWidgetDict");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i)->text(0).startsWith(QLatin1String(text)))
                w->slotEdsListenObjListTabDropEvent(QString(), tree->topLevelItem(i)->text(0));
    }
    // Dropped objects: the columns fit them at once too.
    {
        auto *view = child<QUserTableView>("tableViewListen");
        EXPECT_GE(view->columnWidth(QUserTableModelEDS::ColName),
                  static_cast<QAbstractItemView *>(view)->sizeHintForColumn(QUserTableModelEDS::ColName));
    }
    const QString path = QDir::current().absoluteFilePath("layout.prj");
    prompts.answerFile(path);
    w->slotPrjSave();
    ASSERT_TRUE(idle());
    delete w;
    w = newWindow();
    show(QSize(960, 540));
    child<QTabWidget>("tabWidgetTop")->setCurrentIndex(1);
    ASSERT_TRUE(idle());
    ASSERT_TRUE(waitUntil([&] { return w->listenModel()->cacheCount() > 3; }));
    settle(150);
    auto *view = child<QUserTableView>("tableViewListen");
    for (int c : {QUserTableModelEDS::ColIndex, QUserTableModelEDS::ColSubIndex, QUserTableModelEDS::ColName}) {
        SCOPED_TRACE(c);
        EXPECT_GE(view->columnWidth(c), static_cast<QAbstractItemView *>(view)->sizeHintForColumn(c));
    }
}

// The help box is as large as its table and every row as high as its lines:
// the last line (where the Node-ID comes from) is shown.
TEST_F(Layout, HelpShowsEveryLine)
{
    bool checked = false;
    prompts.answerExec([&](QDialog *d) {
        auto *info = d->findChild<QUserDlgInfo *>();
        EXPECT_NE(info, nullptr);
        if (!info)
            return 1;
        d->show();
        settle(100);
        QTableWidget *t = info->tableWidget();
        int height = 0;
        for (int r = 0; r < t->rowCount(); ++r) {
            const QString text = t->item(r, 1)->text();
            const int lines = text.count(QLatin1Char('\n')) + 1;
            EXPECT_GE(t->rowHeight(r), lines * t->fontMetrics().lineSpacing()) << r;
            height += t->rowHeight(r);
        }
        EXPECT_GE(t->viewport()->height(), height) << "the last row is not cut off";
        EXPECT_TRUE(t->item(1, 1)->text().contains(QStringLiteral("Node-ID")));
        checked = true;
        return 1;
    });
    w->slotFastOptHelp();
    EXPECT_TRUE(checked);
}
