// The DBC windows at the size they open with, in Chinese and in English:
// every text of the chart (title, axis titles, tick labels) and the empty
// message tree's text shows whole.
#include "tests/dbc/DbcWindowSupport.h"

#include "dbc/QUserChartView.h"
#include "dbc/QUserMainWindowDBCSend.h"
#include "widgets/QUserTableWidget.h"
#include "widgets/QUserTreeWidget.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QStyle>
#include <QTranslator>
#include <QTreeWidgetItem>

#include <memory>

namespace {

using namespace dbcwin;

struct Language {
    const char *name;
    const char *qm; // null: the texts as written
};

class OpeningSize : public DbcWindowTest, public testing::WithParamInterface<Language>
{
protected:
    void SetUp() override
    {
        DbcWindowTest::SetUp();
        if (GetParam().qm) {
            ASSERT_TRUE(translator.load(QString::fromStdString(peer::binDir()) + "/" + GetParam().qm));
            QApplication::installTranslator(&translator);
        }
    }
    void TearDown() override
    {
        QApplication::removeTranslator(&translator);
        DbcWindowTest::TearDown();
    }
    QTranslator translator;
};

// The texts Qt Charts cut to fit ("120...", "Signal va...").
QStringList cutChartTexts(QUserChartView *view)
{
    QStringList cut;
    for (QGraphicsItem *item : view->scene()->items()) {
        auto *text = dynamic_cast<QGraphicsTextItem *>(item);
        if (text && text->isVisible() && text->toPlainText().contains("..."))
            cut << text->toPlainText();
    }
    return cut;
}

// Room the tree gives its first item's text, less what the text needs.
int treeTextRoom(QTreeWidget *tree)
{
    QTreeWidgetItem *item = tree->topLevelItem(0);
    if (!item)
        return -1;
    const QRect r = tree->visualItemRect(item);
    const int margin = tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1;
    const int room = qMin(r.right() + 1, tree->viewport()->width()) - r.left() - 2 * margin;
    return room - QFontMetrics(item->font(0)).horizontalAdvance(item->text(0));
}

TEST_P(OpeningSize, AnalysisWindowShowsItsChartAndTreeTextsWhole)
{
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    w->show();
    settle(300);
    EXPECT_EQ(w->size(), QSize(800, 600));
    const QStringList cut = cutChartTexts(w->chartView());
    EXPECT_TRUE(cut.isEmpty()) << qPrintable(cut.join(" | "));
    EXPECT_GE(treeTextRoom(w->msgTree()), 0) << qPrintable(w->msgTree()->topLevelItem(0)->text(0));
}

// Headers of a table narrower than their texts (the last one stretches).
QStringList cutHeaders(QTableWidget *t)
{
    QStringList cut;
    QHeaderView *h = t->horizontalHeader();
    for (int i = 0; i + 1 < h->count(); ++i) {
        const QString text = t->horizontalHeaderItem(i)->text();
        if (h->sectionSize(i) < h->fontMetrics().horizontalAdvance(text) + 8)
            cut << text;
    }
    return cut;
}

TEST_P(OpeningSize, SendWindowShowsItsTreeAndHeaderTextsWhole)
{
    QUserMainWindowDBCSend w;
    w.show();
    settle(300);
    EXPECT_GE(treeTextRoom(w.fileMsgTree()), 0) << qPrintable(w.fileMsgTree()->topLevelItem(0)->text(0));
    for (QTableWidget *t : {w.sendListTable(), w.sigListTable()}) {
        const QStringList cut = cutHeaders(t);
        EXPECT_TRUE(cut.isEmpty()) << qPrintable(cut.join(" | "));
    }
}

// The chart keeps its labels whole when the user makes it small.
TEST_P(OpeningSize, ChartLabelsStayWholeInASmallWindow)
{
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    w->show();
    w->resize(640, 480);
    settle(300);
    const QStringList cut = cutChartTexts(w->chartView());
    EXPECT_TRUE(cut.isEmpty()) << qPrintable(cut.join(" | "));
}

INSTANTIATE_TEST_SUITE_P(Languages, OpeningSize,
                         testing::Values(Language{"Chinese", nullptr}, Language{"English", "lanague_en.qm"}),
                         [](const testing::TestParamInfo<Language> &i) { return std::string(i.param.name); });

} // namespace
