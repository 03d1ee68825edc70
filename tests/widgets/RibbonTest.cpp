#include "widgets/QRibbon.h"
#include "core/QUserSysCfg.h"
#include "tests/support/TempWorkDir.h"
#include "tests/support/WaitUntil.h"
#include "tests/widgets/WidgetsTestUtil.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <vector>

namespace {

int occurrences(const QString &text, const QString &what)
{
    return text.count(what, Qt::CaseSensitive);
}

const QString kSheetBlue = QStringLiteral("rgb(43,87,154)");

// Resets the process-wide theme state so that each test starts from the
// theme style sheet's own colour text and an empty application sheet.
void resetTheme()
{
    QRibbon scratch;
    qApp->setStyleSheet(QString());
    scratch.setStyleColor(kSheetBlue);
    qApp->setStyleSheet(QString());
}

struct ThemeGuard {
    ThemeGuard() { resetTheme(); }
    ~ThemeGuard() { qApp->setStyleSheet(QString()); }
};

// A main window with a menu bar as a form would build it.
std::unique_ptr<QMainWindow> formWindow(QAction **checkable = nullptr)
{
    auto w = std::make_unique<QMainWindow>();
    w->resize(900, 600);
    QMenuBar *bar = w->menuBar();
    QMenu *file = bar->addMenu(QString::fromUtf8("选择设备"));
    QAction *open = new QAction(QIcon(":/res/devCan.png"), QString::fromUtf8("CAN/FD适配器"), w.get());
    file->addAction(open);
    file->addSeparator();
    file->addAction(QString::fromUtf8("LIN适配器")); // owned by the menu, no icon
    QMenu *tools = bar->addMenu(QString::fromUtf8("工具"));
    QAction *stop = new QAction(QString::fromUtf8("停止显示"), w.get());
    stop->setCheckable(true);
    stop->setChecked(true);
    tools->addAction(stop);
    if (checkable)
        *checkable = stop;
    QAction *plain = new QAction(QString::fromUtf8("帮助"), w.get());
    bar->addAction(plain); // a top-level entry without menu
    return w;
}

QRibbonOptions mainOptions()
{
    QRibbonOptions o;
    o.title = QString::fromUtf8("OrvaneSuite(测试)");
    o.iconPath = QStringLiteral(":/res/can.png");
    o.showStyleButton = true;
    o.startExpanded = true;
    return o;
}

void finish(QPropertyAnimation *anim)
{
    // Run an animation to its end in its present direction.
    if (anim->state() == QAbstractAnimation::Running)
        anim->setCurrentTime(anim->direction() == QAbstractAnimation::Forward ? anim->duration() : 0);
}

} // namespace

TEST(Ribbon, BuildsOneTabPerMenuWithAButtonPerEntry)
{
    TempWorkDir dir;
    ThemeGuard theme;
    QAction *stop = nullptr;
    auto w = formWindow(&stop);
    QRibbon *ribbon = QRibbon::install(w.get(), mainOptions());
    ASSERT_NE(ribbon, nullptr);
    EXPECT_EQ(w->menuWidget(), ribbon);
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("OrvaneSuite(测试)"));
    EXPECT_EQ(ribbon->form()->labelTitle->text(), QString::fromUtf8("OrvaneSuite(测试)"));

    QTabWidget *tabs = ribbon->form()->tabWidgetMenuBar;
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), QString::fromUtf8("选择设备"));
    EXPECT_EQ(tabs->tabText(1), QString::fromUtf8("工具"));
    EXPECT_EQ(tabs->tabText(2), QString::fromUtf8("帮助"));

    const QList<QToolButton *> first = tabs->widget(0)->findChildren<QToolButton *>();
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first[0]->text(), QString::fromUtf8("CAN/FD适配器"));
    EXPECT_EQ(first[0]->toolTip(), first[0]->text());
    EXPECT_EQ(first[0]->statusTip(), first[0]->text());
    EXPECT_EQ(first[0]->iconSize(), QSize(40, 40));
    EXPECT_EQ(first[0]->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_TRUE(first[0]->autoRaise());
    // The entry without an icon got the shared default one.
    QAction *lin = first[1]->defaultAction();
    ASSERT_NE(lin, nullptr);
    EXPECT_FALSE(lin->icon().isNull());
    EXPECT_EQ(lin->toolTip(), QString::fromUtf8("LIN适配器"));
    // The separator is a 1 px grey divider between them.
    int dividers = 0;
    for (QWidget *child : tabs->widget(0)->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child->styleSheet() == QStringLiteral("background:rgb(177,177,177)")) {
            ++dividers;
            EXPECT_EQ(child->minimumWidth(), 1);
            EXPECT_EQ(child->maximumWidth(), 1);
        }
    EXPECT_EQ(dividers, 1);

    const QList<QToolButton *> second = tabs->widget(1)->findChildren<QToolButton *>();
    ASSERT_EQ(second.size(), 1);
    EXPECT_TRUE(second[0]->isCheckable());
    EXPECT_TRUE(second[0]->isChecked());
    EXPECT_TRUE(w->actions().contains(stop));

    // Entries the old menus owned survive the old bar.
    wt::flush();
    ASSERT_NE(first[1]->defaultAction(), nullptr);
    first[1]->defaultAction()->trigger();
    EXPECT_EQ(first[1]->text(), QString::fromUtf8("LIN适配器"));

    EXPECT_EQ(QRibbon::install(w.get(), mainOptions()), ribbon) << "a second install does nothing";
    EXPECT_EQ(tabs->count(), 3);
}

TEST(Ribbon, TitleFollowsTheWindowTitle)
{
    TempWorkDir dir;
    ThemeGuard theme;
    auto w = formWindow();
    QRibbon *ribbon = QRibbon::install(w.get(), mainOptions());
    w->setWindowTitle(QStringLiteral("Trace"));
    EXPECT_EQ(ribbon->form()->labelTitle->text(), QStringLiteral("Trace"));
    w->setWindowTitle(QString());
    EXPECT_TRUE(ribbon->form()->labelTitle->text().isEmpty());
    ribbon->setWindowTitle(QStringLiteral("Again"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Again"));
}

TEST(Ribbon, CurrentTabClickFoldsToSixtyTwoPixelsAndBack)
{
    TempWorkDir dir;
    ThemeGuard theme;
    auto w = formWindow();
    QRibbon *ribbon = QRibbon::install(w.get(), mainOptions());
    QApplication::processEvents();
    const int unfolded = ribbon->height();
    EXPECT_TRUE(ribbon->isExpanded());
    QTabWidget *tabs = ribbon->form()->tabWidgetMenuBar;
    QPropertyAnimation *anim = ribbon->state().heightAnim;

    emit tabs->tabBarClicked(tabs->currentIndex());
    EXPECT_FALSE(ribbon->isExpanded());
    EXPECT_EQ(anim->endValue().toInt(), QRibbon::kFoldedHeight);
    EXPECT_EQ(anim->duration(), 250);
    finish(anim);
    QApplication::processEvents();
    EXPECT_EQ(ribbon->minimumHeight(), 62);
    EXPECT_EQ(ribbon->height(), 62);
    EXPECT_EQ(ribbon->form()->widgetBottomBar->minimumHeight(), 0);

    // Any tab of a folded ribbon unfolds it.
    emit tabs->tabBarClicked(1);
    EXPECT_TRUE(ribbon->isExpanded());
    finish(anim);
    QApplication::processEvents();
    EXPECT_EQ(ribbon->minimumHeight(), unfolded);
    EXPECT_EQ(ribbon->form()->widgetBottomBar->minimumHeight(), 1);

    // Another tab of an unfolded ribbon: the fold starts, the tab change turns it back.
    emit tabs->tabBarClicked(2);
    tabs->setCurrentIndex(2);
    EXPECT_TRUE(ribbon->isExpanded());
    EXPECT_EQ(anim->direction(), QAbstractAnimation::Backward);
    EXPECT_TRUE(QTest::qWaitFor([&] { return anim->state() == QAbstractAnimation::Stopped; }, testsupport::kGiveUpMs));
    EXPECT_EQ(ribbon->minimumHeight(), unfolded);

    // The minimise button folds the ribbon too.
    ribbon->form()->pushButtonMinimum->click();
    EXPECT_FALSE(ribbon->isExpanded());
}

TEST(Ribbon, ToolWindowsHideTheThemeButtonAndStartFolded)
{
    TempWorkDir dir;
    ThemeGuard theme;
    auto w = formWindow();
    QRibbonOptions o = mainOptions();
    o.title = QString::fromUtf8("DBC分析");
    o.iconPath = ":/res/chart.png";
    o.showStyleButton = false;
    o.startExpanded = false;
    QRibbon *ribbon = QRibbon::install(w.get(), o);
    EXPECT_TRUE(ribbon->form()->pushButtonStyle->isHidden());
    EXPECT_FALSE(ribbon->isExpanded());
    finish(ribbon->state().heightAnim);
    EXPECT_EQ(ribbon->minimumHeight(), 62);

    auto main = formWindow();
    QRibbon *mainRibbon = QRibbon::install(main.get(), mainOptions());
    EXPECT_FALSE(mainRibbon->form()->pushButtonStyle->isHidden());
    EXPECT_EQ(mainRibbon->form()->pushButtonStyle->menu(), mainRibbon->styleMenu());
    EXPECT_TRUE(mainRibbon->isExpanded());
}

TEST(RibbonTheme, ContainerSheetCarriesTheThemeColourTwentyFiveTimes)
{
    ThemeGuard theme;
    QRibbon ribbon;
    const QString sheet = ribbon.form()->widgetContainer->styleSheet();
    EXPECT_EQ(occurrences(sheet, kSheetBlue), 25);
    EXPECT_EQ(occurrences(sheet, QStringLiteral("rgb(43, 87, 154)")), 0);
    for (const char *selector : {"QTableView.QUserTableView", "QTableWidget.QTableWidget", "QUserTableWidget",
                                 "QUserDbcTableView", "QWidget#widgetContainer", "QTabWidget#tabWidgetMenuBar"})
        EXPECT_TRUE(sheet.contains(QLatin1String(selector))) << selector;
}

TEST(RibbonTheme, FirstChangeRecoloursAllOccurrencesLaterRibbonsAddNoSecondCopy)
{
    TempWorkDir dir;
    ThemeGuard theme;
    auto w = formWindow();
    QRibbon *first = new QRibbon(w.get());
    first->setupFromMenuBar(w.get(), mainOptions());
    w->setStyleSheet(QStringLiteral("QMainWindow{border:1px solid rgb(43,87,154);}"));

    first->setStyleColor(QString::fromLatin1(QRibbon::kGreen));
    const QString app = qApp->styleSheet();
    EXPECT_EQ(occurrences(app, QStringLiteral("rgb(33,115,70)")), 26) << "25 in the theme + the window's own";
    EXPECT_EQ(occurrences(app, kSheetBlue), 0);
    EXPECT_TRUE(first->form()->widgetContainer->styleSheet().isEmpty());
    EXPECT_TRUE(w->styleSheet().isEmpty());
    EXPECT_EQ(QRibbon::currentStyleColor(), QStringLiteral("rgb(33,115,70)"));

    // A ribbon installed while the current colour is green brings the same
    // theme: the application holds it already, so no second copy (with its
    // own blue texts, which would override the colour chosen) is added.
    auto tool = formWindow();
    QRibbon *second = new QRibbon(tool.get());
    second->setupFromMenuBar(tool.get(), mainOptions());
    second->setStyleColor(QString::fromLatin1(QRibbon::kRed));
    const QString after = qApp->styleSheet();
    EXPECT_EQ(occurrences(after, QStringLiteral("rgb(183, 71, 42)")), 26);
    EXPECT_EQ(occurrences(after, kSheetBlue), 0);
    EXPECT_EQ(occurrences(after, QStringLiteral("rgb(33,115,70)")), 0);
    EXPECT_EQ(after.size(), app.size() + 26 * (int(strlen("rgb(183, 71, 42)")) - int(strlen("rgb(33,115,70)"))));
}

// Every window installs a ribbon of its own; the theme those ribbons carry
// is one text, and a copy the application holds already is not added
// again, whatever the colour chosen in between.
TEST(RibbonTheme, RepeatedSetUpsDoNotGrowTheApplicationSheet)
{
    TempWorkDir dir;
    ThemeGuard theme;
    // The store is process-wide: start from the default colour.
    QUserSysCfg::instance()->setString("styleColor", QString::fromLatin1(QRibbon::kBlue));
    auto main = formWindow();
    QRibbon *ribbon = QRibbon::install(main.get(), mainOptions());
    const int once = qApp->styleSheet().size();
    ASSERT_GT(once, 0);
    QRibbonOptions tool = mainOptions();
    tool.showStyleButton = false;
    tool.startExpanded = false;
    std::vector<std::unique_ptr<QMainWindow>> tools;
    for (int i = 0; i < 4; ++i) {
        tools.push_back(formWindow());
        QRibbon::install(tools.back().get(), tool);
        EXPECT_EQ(qApp->styleSheet().size(), once) << "tool window " << i;
    }
    ribbon->styleMenu()->actions()[1]->trigger(); // green
    const int green = qApp->styleSheet().size();
    for (int i = 0; i < 3; ++i) {
        tools.push_back(formWindow());
        QRibbon::install(tools.back().get(), tool);
        EXPECT_EQ(qApp->styleSheet().size(), green) << "tool window after the change " << i;
    }
    EXPECT_EQ(occurrences(qApp->styleSheet(), QStringLiteral("rgb(33,115,70)")), 25);
    EXPECT_EQ(occurrences(qApp->styleSheet(), kSheetBlue), 0) << "no blue copy comes back";
}

TEST(RibbonTheme, ThemeMenuRecoloursAndStoresTheChoice)
{
    TempWorkDir dir;
    ThemeGuard theme;
    auto w = formWindow();
    QRibbon *ribbon = new QRibbon(w.get());
    ribbon->setupFromMenuBar(w.get(), mainOptions());
    const QList<QAction *> choices = ribbon->styleMenu()->actions();
    ASSERT_EQ(choices.size(), 3);
    EXPECT_EQ(choices[0]->text(), QString::fromUtf8("蓝色"));
    EXPECT_EQ(choices[1]->text(), QString::fromUtf8("绿色"));
    EXPECT_EQ(choices[2]->text(), QString::fromUtf8("红色"));
    for (QAction *a : choices) {
        EXPECT_TRUE(a->isCheckable());
        EXPECT_FALSE(a->isChecked());
    }
    choices[1]->trigger();
    EXPECT_EQ(QUserSysCfg::instance()->getString("styleColor"), QStringLiteral("rgb(33,115,70)"));
    EXPECT_EQ(occurrences(qApp->styleSheet(), QStringLiteral("rgb(33,115,70)")), 25);
    choices[2]->trigger();
    EXPECT_FALSE(choices[1]->isChecked()) << "the choices are exclusive";
    EXPECT_EQ(QUserSysCfg::instance()->getString("styleColor"), QStringLiteral("rgb(183, 71, 42)"));
    EXPECT_EQ(occurrences(qApp->styleSheet(), QStringLiteral("rgb(183, 71, 42)")), 25);
    choices[0]->trigger();
    EXPECT_EQ(QUserSysCfg::instance()->getString("styleColor"), QStringLiteral("rgb(43, 87, 154)"));
    EXPECT_EQ(occurrences(qApp->styleSheet(), QStringLiteral("rgb(43, 87, 154)")), 25);
}

TEST(RibbonTheme, InstallAppliesTheStoredColourOrWritesTheDefault)
{
    TempWorkDir dir;
    ThemeGuard theme;
    if (!QUserSysCfg::instance()->getString("styleColor").isEmpty()) {
        // The store is process-wide; under ctest every test has a process
        // of its own and this branch is not taken.
        QUserSysCfg::instance()->setString("styleColor", QString::fromLatin1(QRibbon::kGreen));
        auto w = formWindow();
        QRibbon::install(w.get(), mainOptions());
        EXPECT_EQ(occurrences(qApp->styleSheet(), QStringLiteral("rgb(33,115,70)")), 25);
        return;
    }
    auto w = formWindow();
    QRibbon::install(w.get(), mainOptions());
    EXPECT_EQ(QUserSysCfg::instance()->getString("styleColor"), QStringLiteral("rgb(43, 87, 154)"));
    EXPECT_EQ(occurrences(qApp->styleSheet(), QStringLiteral("rgb(43, 87, 154)")), 25);
}

// ---------------------------------------------------------------------------
// Window handling from the title band

namespace {
struct DragHost : ::testing::Test {
    void SetUp() override
    {
        dir = std::make_unique<TempWorkDir>();
        theme = std::make_unique<ThemeGuard>();
        w = formWindow();
        ribbon = QRibbon::install(w.get(), mainOptions());
        w->setGeometry(200, 150, 800, 500);
        QApplication::processEvents();
        w->activateWindow();
    }
    void TearDown() override
    {
        w.reset();
        theme.reset();
        dir.reset();
    }
    QPoint band() const { return QPoint(300, 5); }
    std::unique_ptr<TempWorkDir> dir;
    std::unique_ptr<ThemeGuard> theme;
    std::unique_ptr<QMainWindow> w;
    QRibbon *ribbon = nullptr;
};
} // namespace

TEST_F(DragHost, DragInTheTitleBandMovesTheWindow)
{
    const QPoint start = w->pos();
    const QPoint g = ribbon->mapToGlobal(band());
    wt::press(ribbon, band(), g);
    EXPECT_TRUE(ribbon->state().dragging);
    wt::move(ribbon, band() + QPoint(40, 30), g + QPoint(40, 30));
    EXPECT_EQ(w->pos(), start + QPoint(40, 30));
    wt::move(ribbon, band() + QPoint(-10, 5), g + QPoint(-10, 5));
    EXPECT_EQ(w->pos(), start + QPoint(-10, 5)) << "moves continue from the first press";
    wt::release(ribbon, band(), g + QPoint(-10, 5));
    EXPECT_FALSE(ribbon->state().dragging);
    EXPECT_FALSE(w->isMaximized());

    // Below the band nothing starts.
    const QPoint low(300, ribbon->form()->labelTitle->height() + 20);
    wt::press(ribbon, low, ribbon->mapToGlobal(low));
    EXPECT_FALSE(ribbon->state().dragging);
    wt::release(ribbon, low, ribbon->mapToGlobal(low));
}

TEST_F(DragHost, ReleaseNearTheScreenTopMaximisesOnlyAfterARealDrag)
{
    const QPoint g = ribbon->mapToGlobal(band());
    // At most 3 px: no maximise, even at the top.
    wt::press(ribbon, band(), QPoint(g.x(), 1));
    wt::release(ribbon, band(), QPoint(g.x() + 2, 2));
    EXPECT_FALSE(w->isMaximized());

    wt::press(ribbon, band(), g);
    wt::move(ribbon, band(), QPoint(g.x() + 5, 2));
    wt::release(ribbon, band(), QPoint(g.x() + 5, 2));
    EXPECT_TRUE(w->isMaximized());
    EXPECT_EQ(ribbon->form()->pushButtonFullScreen->text(), QString(QChar(0x29C9)));
}

TEST_F(DragHost, WindowAboveTheScreenTopIsPulledBack)
{
    const QPoint g = ribbon->mapToGlobal(band());
    wt::press(ribbon, band(), g);
    wt::move(ribbon, band(), g + QPoint(0, -400));
    EXPECT_LT(w->y(), 0);
    wt::release(ribbon, band(), QPoint(g.x(), 40));
    EXPECT_EQ(w->y(), 0);
    EXPECT_FALSE(w->isMaximized());
}

TEST_F(DragHost, DraggingAMaximisedWindowRestoresItAtTheTop)
{
    const QRect normal = w->normalGeometry();
    ribbon->toggleMaximized();
    ASSERT_TRUE(w->isMaximized());
    const QPoint g = ribbon->mapToGlobal(band());
    wt::press(ribbon, band(), g);
    wt::move(ribbon, band(), g + QPoint(1, 0));
    EXPECT_TRUE(w->isMaximized()) << "a 1 px move does not restore";
    wt::move(ribbon, band(), g + QPoint(20, 10));
    EXPECT_FALSE(w->isMaximized());
    EXPECT_EQ(w->y(), 0);
    EXPECT_EQ(w->size(), normal.size());
    wt::release(ribbon, band(), g + QPoint(20, 10));
}

TEST_F(DragHost, DoubleClickAndButtonToggleMaximised)
{
    const QPoint g = ribbon->mapToGlobal(band());
    wt::doubleClick(ribbon, band(), g);
    EXPECT_TRUE(w->isMaximized());
    EXPECT_EQ(ribbon->form()->pushButtonFullScreen->text(), QString(QChar(0x29C9)));
    ribbon->form()->pushButtonFullScreen->click();
    EXPECT_FALSE(w->isMaximized());
    EXPECT_EQ(ribbon->form()->pushButtonFullScreen->text(), QString(QChar(0x2610)));
}

TEST_F(DragHost, CloseButtonClosesTheWindow)
{
    ASSERT_TRUE(w->isVisible());
    ribbon->form()->pushButtonClose->click();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(DragHost, WatchdogEndsADragWhenTheWindowLosesActivation)
{
    QApplication::setActiveWindow(w.get());
    const QPoint g = ribbon->mapToGlobal(band());
    wt::press(ribbon, band(), g);
    ASSERT_TRUE(ribbon->state().dragging);
    EXPECT_TRUE(ribbon->state().focusTimer->isActive());
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_FALSE(w->isActiveWindow());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ribbon->state().dragging; }, testsupport::kGiveUpMs));
    EXPECT_FALSE(ribbon->state().focusTimer->isActive());
    EXPECT_DOUBLE_EQ(w->windowOpacity(), 1.0);
    const QPoint before = w->pos();
    wt::move(ribbon, band() + QPoint(50, 50), g + QPoint(50, 50));
    EXPECT_EQ(w->pos(), before) << "no drag after the watchdog ended it";
}
