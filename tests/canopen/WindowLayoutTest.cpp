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
#include <QTranslator>
#include <QStyle>

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

// At half of a 1920x1080 screen, in Chinese and in English, the frame log
// shows every description and every eight-byte frame whole: the columns lie
// within the log across, the texts wrap within their rows, and the newest
// row is in view (the rows are as high as the texts need there).
TEST_F(Layout, LogShowsDescriptionsWholeAtTheOpeningSize)
{
    // The fixture's font, and the desktop's default one (Latin letters of
    // DejaVu Sans, wider, with the CJK font behind them).
    const struct {
        const char *family;
        bool english;
    } cases[] = {{"WenQuanYi Micro Hei", false}, {"WenQuanYi Micro Hei", true}, {"DejaVu Sans", false}, {"DejaVu Sans", true}};
    for (const auto &c : cases) {
        const bool english = c.english;
        SCOPED_TRACE(c.family);
        SCOPED_TRACE(english ? "English" : "Chinese");
        QFont font(QString::fromLatin1(c.family));
        font.setPointSize(9);
        QApplication::setFont(font);
        QTranslator translator;
        if (english) {
            ASSERT_TRUE(translator.load(QString::fromStdString(peer::binDir()) + "/lanague_en.qm"));
            QApplication::installTranslator(&translator);
        }
        delete w;
        w = newWindow();
        show(QSize(960, 540));
        const QList<QPair<uint32_t, QByteArray>> frames = {
            {0x705, QByteArray::fromHex("05")},
            {0x185, QByteArray::fromHex("1122334455667788")},
            {0x000, QByteArray::fromHex("0105")},
            {0x080, QByteArray()},
            {0x100, QByteArray::fromHex("0000000000000000")},
            {0x205, QByteArray::fromHex("0F00")},
            {0x605, QByteArray::fromHex("2B40600F00000000")},
            {0x585, QByteArray::fromHex("4B41600037020000")},
            {0x585, QByteArray::fromHex("4301100092010000")},
            {0x085, QByteArray::fromHex("1081000000000000")},
            {0x1A0, QByteArray::fromHex("11223344B1C3C900")},
            {0x0C9, QByteArray::fromHex("F1BC00000000DD94")},
        };
        for (const auto &f : frames)
            w->slotCanMsgRec(kDev, QVector<QUserCanMsg>{rx(f.first, f.second)});
        settle(300);
        auto *log = child<QUserTableView>("tableViewCanopenLog");
        QAbstractItemModel *model = log->model();
        ASSERT_GT(model->rowCount(), 0);
        const QFontMetrics fm(log->font());
        const int margin = 2 * (log->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, log) + 1);
        auto lines = [&](const QString &text, int width) {
            const int h = fm.boundingRect(QRect(0, 0, width - margin, 1 << 20), Qt::TextWordWrap, text).height();
            return (h + fm.lineSpacing() / 2) / fm.lineSpacing();
        };
        for (int c = 0; c < 3; ++c)
            EXPECT_LE(log->columnViewportPosition(c) + log->columnWidth(c), log->viewport()->width()) << "column " << c;
        // Every frame fed is among the rows, the newest last and in view.
        ASSERT_EQ(w->logModel()->cacheCount(), frames.size());
        const int last = model->rowCount() - 1;
        EXPECT_LE(log->visualRect(model->index(last, 0)).bottom(), log->viewport()->height());
        EXPECT_EQ(model->index(last, 2).data().toString(), w->logModel()->entryAt(frames.size() - 1)->second);
        const int room = (log->rowHeight(0) - 4) / fm.lineSpacing();
        for (int i = 0; i < w->logModel()->cacheCount(); ++i) {
            const QString frame = w->logModel()->entryAt(i)->first.trimmed();
            const QString text = w->logModel()->entryAt(i)->second;
            SCOPED_TRACE(text.toStdString());
            EXPECT_LE(lines(text, log->columnWidth(2)), room);
            EXPECT_LE(lines(frame, log->columnWidth(1)), room) << frame.toStdString();
        }
        QApplication::removeTranslator(&translator);
    }
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
