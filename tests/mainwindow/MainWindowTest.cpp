// Building and taking apart the main window: the settings it writes at
// start, the folder it makes, its shell, the splitter state, the
// translation it picks, the queued road from the device registry.

#include "tests/mainwindow/MainWindowTestEnv.h"
#include "tests/mainwindow/StubChannelDevice.h"

#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "widgets/QRibbon.h"
#include "widgets/uiStatusBar.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QLibraryInfo>
#include <QMetaType>
#include <QSplitter>
#include <QStatusBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTranslator>

#include <memory>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>

using MainWindowTest = MainWindowEnv;

TEST_F(MainWindowTest, FirstStartWritesTheDefaults)
{
    { MainWindow w; }
    EXPECT_EQ(mwtest::fileValue("sendAllowDis").toString(), "ON");
    EXPECT_EQ(mwtest::fileValue("idMergEnable").toString(), "ON");
    EXPECT_EQ(mwtest::fileValue("timeFormat").toString(), "0");
    EXPECT_EQ(mwtest::fileValue("language").toString(), "ZH");
    EXPECT_EQ(mwtest::fileValue("styleColor").toString(), QRibbon::kBlue);
}

TEST_F(MainWindowTest, StoredValuesAreNeverOverwrittenAtStart)
{
    cfg()->setString("sendAllowDis", "OFF");
    cfg()->setString("idMergEnable", "OFF");
    cfg()->setInt("timeFormat", 2);
    cfg()->setString("language", "EN");
    cfg()->setString("styleColor", QRibbon::kGreen);
    for (int round = 0; round < 2; ++round) {
        { MainWindow w; }
        EXPECT_EQ(mwtest::fileValue("sendAllowDis").toString(), "OFF");
        EXPECT_EQ(mwtest::fileValue("idMergEnable").toString(), "OFF");
        EXPECT_EQ(mwtest::fileValue("timeFormat").toString(), "2");
        EXPECT_EQ(mwtest::fileValue("language").toString(), "EN");
        EXPECT_EQ(mwtest::fileValue("styleColor").toString(), QRibbon::kGreen);
    }
}

TEST_F(MainWindowTest, CacheFolderIsMadeWhenMissing)
{
    ASSERT_FALSE(QFileInfo::exists("cache"));
    { MainWindow w; }
    EXPECT_TRUE(QFileInfo("cache").isDir());
    { MainWindow w; } // there already: nothing to do
    EXPECT_TRUE(QFileInfo("cache").isDir());
}

// Start-up removes the caches a killed session left in "cache/" and keeps
// those of a program that still runs.
TEST_F(MainWindowTest, StartUpRemovesTheCachesOfKilledSessions)
{
    ASSERT_TRUE(QDir().mkpath("cache"));
    const auto spawn = [] {
        const pid_t pid = fork();
        if (pid == 0) {
            for (;;)
                pause();
        }
        return pid;
    };
    const pid_t killed = spawn(), running = spawn();
    ASSERT_GT(killed, 0);
    ASSERT_GT(running, 0);
    ASSERT_EQ(::kill(killed, SIGKILL), 0);
    ASSERT_EQ(waitpid(killed, nullptr, 0), killed);
    const QStringList gone{QStringLiteral("cache/playBackItem-%1-1.dat").arg(killed),
                           QStringLiteral("cache/watchTraceItem-%1-1.dat").arg(killed)};
    const QString kept = QStringLiteral("cache/watchSrcTraceItem-%1-1.dat").arg(running);
    for (const QString &name : gone + QStringList{kept}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    }
    { MainWindow w; }
    for (const QString &name : gone)
        EXPECT_FALSE(QFileInfo::exists(name)) << name.toStdString();
    EXPECT_TRUE(QFileInfo::exists(kept));
    ::kill(running, SIGKILL);
    waitpid(running, nullptr, 0);
}

TEST_F(MainWindowTest, CacheThatCannotBeMadeIsNoObstacle)
{
    QFile blocker("cache");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MainWindow w;
    EXPECT_TRUE(QFileInfo("cache").isFile());
    EXPECT_EQ(prompts.records().size(), 0);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindowTest, ShellAfterConstruction)
{
    MainWindow w;
    QUserMainWindowLayout *l = w.layoutGet();
    ASSERT_NE(l, nullptr);

    // Welcome tab: the only tab, closable, its picture as an icon button.
    ASSERT_EQ(l->tabDataShow->count(), 1);
    EXPECT_EQ(l->tabDataShow->tabText(0), "欢迎界面");
    EXPECT_TRUE(l->tabDataShow->tabsClosable());
    QToolButton *logo = l->tabDataShow->widget(0)->findChild<QToolButton *>();
    ASSERT_NE(logo, nullptr);
    const QPixmap picture(":/res/kemLogo.png");
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(logo->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(logo->size(), picture.size());
    EXPECT_EQ(logo->iconSize(), picture.size());
    EXPECT_TRUE(w.curTabDevGet().isEmpty());
    EXPECT_EQ(w.curTabDataGet(), nullptr);
    EXPECT_EQ(w.curTabViewGet(), nullptr);

    // Data tabs over send panels in a vertical splitter inside the central widget.
    ASSERT_NE(l->splitter, nullptr);
    EXPECT_EQ(l->splitter->orientation(), Qt::Vertical);
    ASSERT_EQ(l->splitter->count(), 2);
    EXPECT_EQ(l->splitter->widget(0), l->tabDataShow);
    EXPECT_EQ(l->splitter->widget(1), l->tabSend);
    EXPECT_TRUE(w.formGet()->centralwidget->isAncestorOf(l->splitter));

    // Ribbon over the form, status bar with its widget, both timers running.
    EXPECT_NE(qobject_cast<QRibbon *>(w.menuWidget()), nullptr);
    EXPECT_EQ(w.statusBar()->maximumHeight(), 30);
    ASSERT_NE(w.statusBarWidgetGet(), nullptr);
    EXPECT_TRUE(w.statusBar()->isAncestorOf(w.statusBarWidgetGet()));
    ASSERT_NE(w.statusBarTimerGet(), nullptr);
    EXPECT_TRUE(w.statusBarTimerGet()->isActive());
    EXPECT_EQ(w.statusBarTimerGet()->interval(), 100);
    ASSERT_NE(w.mainTimerGet(), nullptr);
    EXPECT_TRUE(w.mainTimerGet()->isActive());
    EXPECT_EQ(w.mainTimerGet()->interval(), 100);
    EXPECT_NE(w.devAdapterGet(), nullptr);
    EXPECT_EQ(w.corner(Qt::BottomLeftCorner), Qt::LeftDockWidgetArea);
    EXPECT_EQ(w.corner(Qt::BottomRightCorner), Qt::RightDockWidgetArea);

    // Shown, fading in from transparent.
    EXPECT_TRUE(w.isVisible());
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(w.graphicsEffect());
    ASSERT_NE(effect, nullptr);
    EXPECT_LT(effect->opacity(), 1.0);
    QTRY_COMPARE_WITH_TIMEOUT(effect->opacity(), 1.0, 5000);

    // Model names to the registry's type keys, the adapters' own names.
    const QMap<QString, QString> &models = w.deviceModelMapGet();
    EXPECT_EQ(models.size(), 11);
    EXPECT_EQ(models.value("USBCAN2-A"), "USBCAN2");
    EXPECT_EQ(models.value("USBCAN1-B"), "USBCAN1");
    EXPECT_EQ(models.value("USBCANFD2"), "USBCANFD2");
    EXPECT_EQ(models.value("TRNB702"), "TRNB702");
}

TEST_F(MainWindowTest, WelcomeTabClosesAlone)
{
    MainWindow w;
    QTabWidget *tabs = w.layoutGet()->tabDataShow;
    w.soltTabDataShowClose(-1);
    EXPECT_EQ(tabs->count(), 1);
    w.soltTabDataShowClose(0);
    EXPECT_EQ(tabs->count(), 0);
    EXPECT_TRUE(w.curTabDevGet().isEmpty());
    EXPECT_TRUE(log.contains("Tab 0 Close..."));
    mwtest::flush();
}

// A first start (nothing stored) places the window as the program entry
// does, at half of a common screen: the send panel shows every row and its
// buttons, however large the window; the data tabs take the rest.
TEST_F(MainWindowTest, FirstStartShowsTheWholeSendPanel)
{
    for (const QSize screen : {QSize(1920, 1040), QSize(2560, 1400), QSize(3840, 2100)}) {
        SCOPED_TRACE(screen.width());
        cfg()->setByteArray("mainWindowSpliteRate", QByteArray());
        MainWindow w;
        w.resize(screen / 2);
        w.show();
        QApplication::processEvents();
        QUserMainWindowLayout *l = w.layoutGet();
        QSplitter *s = l->splitter;
        const QList<int> sizes = s->sizes();
        ASSERT_EQ(sizes.size(), 2);
        EXPECT_GE(sizes[1], l->sendPanelHeight()) << "the send panel has the height it asks for";
        EXPECT_GE(sizes[0], 120) << "the data tabs keep room for a few rows";
        EXPECT_GE(sizes[0], s->height() - sizes[1] - s->handleWidth()) << "and take all the rest";
        // The panel's last row, with the Start and Stop buttons, is on screen.
        for (QWidget *b : {static_cast<QWidget *>(l->basic.start), static_cast<QWidget *>(l->basic.stop)}) {
            EXPECT_TRUE(b->isVisible());
            EXPECT_EQ(b->visibleRegion().boundingRect(), b->rect()) << b->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowTest, SplitterKeepsItsState)
{
    QByteArray saved;
    QList<int> split;
    {
        MainWindow w;
        QSplitter *s = w.layoutGet()->splitter;
        QApplication::processEvents(); // laid out
        const QList<int> now = s->sizes();
        ASSERT_EQ(now.size(), 2);
        split = {now[0] + now[1] - 100, 100};
        s->setSizes(split);
        saved = s->saveState();
    }
    EXPECT_EQ(cfg()->getByteArray("mainWindowSpliteRate"), saved);

    MainWindow again;
    QSplitter *s = again.layoutGet()->splitter;
    EXPECT_EQ(s->saveState(), saved);
    // The same share for the data tabs, whatever height the splitter has.
    const QList<int> restored = s->sizes();
    ASSERT_EQ(restored.size(), 2);
    ASSERT_GT(restored[0] + restored[1], 0);
    EXPECT_NEAR(double(restored[0]) / (restored[0] + restored[1]), double(split[0]) / (split[0] + split[1]), 0.01);
}

TEST_F(MainWindowTest, UnreadableSplitterStateGivesTheFirstStartSplit)
{
    cfg()->setByteArray("mainWindowSpliteRate", QByteArray("not a splitter state"));
    MainWindow w;
    w.resize(960, 520);
    QApplication::processEvents();
    QUserMainWindowLayout *l = w.layoutGet();
    EXPECT_GE(l->splitter->sizes().value(1), l->sendPanelHeight());
}

// Qt's own dialogs (file choosers, standard buttons) speak the session's
// language too: Chinese sessions load Qt's Chinese catalogue beside ours;
// English sessions keep Qt's own English (any other stored value loads the
// Chinese files). The catalogue goes with the window.
TEST_F(MainWindowTest, QtsOwnTextsFollowTheLanguage)
{
    withTranslations();
    const QString qtCatalogue =
        QLibraryInfo::location(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm");
    if (!QFileInfo::exists(qtCatalogue))
        GTEST_SKIP() << "Qt's translations are not installed (scripts/deps.sh installs them)";
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    const auto yes = [] {
        QDialogButtonBox box(QDialogButtonBox::Yes);
        return box.button(QDialogButtonBox::Yes)->text().remove(QLatin1Char('&'));
    };
    ASSERT_EQ(cancel(), "Cancel");
    const struct {
        const char *language;
        const char *cancel;
        const char *yes;
    } cases[] = {{"ZH", "取消", "是"}, {"EN", "Cancel", "Yes"}, {"DE", "取消", "是"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.language);
        cfg()->setString("language", c.language);
        {
            MainWindow w;
            EXPECT_EQ(cancel(), QString::fromUtf8(c.cancel));
            EXPECT_TRUE(yes().startsWith(QString::fromUtf8(c.yes))) << yes().toStdString();
        }
        EXPECT_EQ(cancel(), "Cancel") << "removed with the window";
    }
}

TEST_F(MainWindowTest, RegistryFramesArriveQueuedFromOtherThreads)
{
    MainWindow w;
    EXPECT_NE(QMetaType::type("QUserCanMsg"), 0);
    EXPECT_NE(QMetaType::type("QVector<QUserCanMsg>"), 0);
    QUserDeviceAdapter *reg = w.devAdapterGet();
    auto *stub = new StubChannelDevice;
    stub->openIds = QStringList{"USBCANFD2-0-0"};
    reg->deviceReplace("USBCANFD2", stub);
    ASSERT_TRUE(w.devOpen("USBCANFD2"));
    QUserWindowTabData *tab = w.tabSrvGet().find("USBCANFD2-0-0");
    ASSERT_NE(tab, nullptr);
    const int basicUpdates = w.layoutGet()->basic.refreshes;
    std::thread driver([reg]() {
        QVector<QUserCanMsg> batch(3);
        emit reg->receiveMsg(QStringLiteral("USBCANFD2-0-0"), batch);
        QUserCanMsg state;
        state.status = MsgStatusBasicStart;
        emit reg->sendResultNotify(QStringLiteral("USBCANFD2-0-0"), state);
    });
    driver.join();
    // Queued: nothing reached the window before its thread ran events.
    EXPECT_EQ(tab->rxCntGet(), 0u);
    EXPECT_EQ(w.layoutGet()->basic.refreshes, basicUpdates);
    QApplication::processEvents();
    EXPECT_EQ(tab->rxCntGet(), 3u);
    EXPECT_EQ(tab->model->listCount(), 3);
    EXPECT_EQ(w.layoutGet()->basic.refreshes, basicUpdates + 1);
    EXPECT_FALSE(log.contains("Cannot queue arguments"));
}

TEST_F(MainWindowTest, TranslationChosenByTheStoredLanguage)
{
    struct Case {
        const char *name;
        const char *stored;     // nullptr: no "language" key yet
        const char *qmPresent;  // the one file copied in, nullptr: both
        const char *storedAfter;
        int code;
        const char *loaded;     // file of the installed translator, nullptr: none
        const char *clearText;  // text of the clear action
    } const cases[] = {
        {"missing key", nullptr, nullptr, "ZH", 0, "lanague_cn.qm", "数据清空"},
        {"ZH", "ZH", nullptr, "ZH", 0, "lanague_cn.qm", "数据清空"},
        {"EN", "EN", nullptr, "EN", 1, "lanague_en.qm", "Clear"},
        {"other value", "FR", nullptr, "FR", 1, "lanague_cn.qm", "数据清空"},
        {"EN without its file", "EN", "lanague_cn.qm", "EN", 1, nullptr, "数据清空"},
        {"ZH without its file", "ZH", "lanague_en.qm", "ZH", 0, nullptr, "数据清空"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempWorkDir dir;
        cfg()->reload();
        if (c.qmPresent) {
            ASSERT_TRUE(mwtest::copyQm(c.qmPresent));
        } else {
            ASSERT_TRUE(mwtest::copyQm("lanague_cn.qm"));
            ASSERT_TRUE(mwtest::copyQm("lanague_en.qm"));
        }
        if (c.stored)
            cfg()->setString("language", c.stored);
        log.lines.clear();

        MainWindow w;
        EXPECT_EQ(cfg()->getString("language"), c.storedAfter);
        EXPECT_EQ(w.languageCodeGet(), c.code);
        ASSERT_NE(w.translatorGet(), nullptr);
        if (c.loaded) {
            EXPECT_FALSE(w.translatorGet()->isEmpty());
            EXPECT_EQ(QFileInfo(w.translatorGet()->filePath()).fileName(), c.loaded);
            EXPECT_FALSE(log.contains("语言切换失败..."));
        } else {
            EXPECT_TRUE(w.translatorGet()->isEmpty());
            EXPECT_TRUE(log.contains("语言切换失败..."));
        }
        EXPECT_EQ(w.formGet()->actionDataClr->text(), c.clearText);
    }
}

TEST_F(MainWindowTest, EnglishWindowHasNoChineseActionText)
{
    withTranslations();
    cfg()->setString("language", "EN");
    MainWindow w;
    auto chinese = [](const QString &t) {
        for (const QChar ch : t)
            if (ch.unicode() >= 0x4E00 && ch.unicode() <= 0x9FFF)
                return true;
        return false;
    };
    const QList<QAction *> actions = w.findChildren<QAction *>();
    int checked = 0;
    for (QAction *a : actions) {
        if (a->objectName().isEmpty() || a->objectName() == "actionLanguageChina")
            continue; // the Chinese entry names its language in it
        SCOPED_TRACE(a->objectName().toStdString());
        EXPECT_FALSE(chinese(a->text())) << a->text().toStdString();
        EXPECT_FALSE(chinese(a->toolTip())) << a->toolTip().toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 21);
    // The menus became the ribbon's tabs.
    QTabWidget *ribbonTabs = qobject_cast<QRibbon *>(w.menuWidget())->form()->tabWidgetMenuBar;
    ASSERT_EQ(ribbonTabs->count(), 5);
    EXPECT_EQ(ribbonTabs->tabText(0), "Device");
    for (int i = 0; i < ribbonTabs->count(); ++i)
        EXPECT_FALSE(chinese(ribbonTabs->tabText(i))) << ribbonTabs->tabText(i).toStdString();
    EXPECT_FALSE(chinese(w.windowTitle())) << w.windowTitle().toStdString();
    EXPECT_EQ(w.layoutGet()->tabDataShow->tabText(0), "Welcome");
}

TEST_F(MainWindowTest, TranslationLoadedAgainAfterTheRibbonTookTheMenuBar)
{
    withTranslations();
    MainWindow w;
    mwtest::flush(); // the replaced menu bar is gone
    w.languageLoad("EN");
    EXPECT_EQ(w.formGet()->actionDataClr->text(), "Clear");
    EXPECT_EQ(w.formGet()->menu->title(), "Device");
    w.languageLoad("ZH");
    EXPECT_EQ(w.formGet()->actionDataClr->text(), "数据清空");
    EXPECT_EQ(w.formGet()->menu_4->title(), "帮助");
}

TEST_F(MainWindowTest, DestructionReleasesTheTranslatorAndSavesTheSplitter)
{
    withTranslations();
    {
        MainWindow w;
        ASSERT_FALSE(w.translatorGet()->isEmpty());
        EXPECT_EQ(QCoreApplication::translate("MainWindow", "欢迎界面"), "欢迎界面");
    }
    // No translator of a destroyed window is left installed: an English
    // window built next translates with its own.
    cfg()->setString("language", "EN");
    EXPECT_FALSE(cfg()->getByteArray("mainWindowSpliteRate").isEmpty());
    MainWindow en;
    EXPECT_EQ(QCoreApplication::translate("MainWindow", "欢迎界面"), "Welcome");
}

TEST_F(MainWindowTest, TabAndGlobalProperties)
{
    MainWindow w;
    // The welcome tab is no channel: the current tab's properties are absent.
    EXPECT_FALSE(w.curTabIntSet("scroll", 3));
    EXPECT_EQ(w.curTabIntGet("scroll"), 0);
    EXPECT_FALSE(w.curTabStrSet("scrollState", "top"));
    EXPECT_TRUE(w.curTabStrGet("scrollState").isNull());
    // "GLOBAL" always exists.
    EXPECT_EQ(w.globalIntGet("n"), 0);
    EXPECT_TRUE(w.globalStrGet("s").isNull());
    EXPECT_TRUE(w.globalIntSet("n", 7));
    EXPECT_TRUE(w.globalStrSet("s", "x"));
    EXPECT_EQ(w.globalIntGet("n"), 7);
    EXPECT_EQ(w.globalStrGet("s"), "x");
    EXPECT_TRUE(w.globalIntSet("n", -1));
    EXPECT_EQ(w.globalIntGet("n"), -1);
}

TEST_F(MainWindowTest, ThemeColourIsStored)
{
    MainWindow w;
    EXPECT_EQ(w.styleColorGet(), QRibbon::kBlue); // the ribbon's default
    EXPECT_TRUE(w.styleColorSet(QRibbon::kRed));
    EXPECT_EQ(w.styleColorGet(), QRibbon::kRed);
    EXPECT_EQ(mwtest::fileValue("styleColor").toString(), QRibbon::kRed);
    EXPECT_FALSE(w.styleColorSet(QString()));
    EXPECT_EQ(w.styleColorGet(), QRibbon::kRed);
}

TEST_F(MainWindowTest, AdvancedListOperationsWithoutTheirTable)
{
    MainWindow w;
    EXPECT_EQ(w.tabAdvRowCount(), 0);
    EXPECT_FALSE(w.tabAdvRowRemove(0));
    EXPECT_FALSE(w.tabAdvRowRemove(-1));
    w.tabAdvListClear();
    QUserCanMsg msg;
    EXPECT_FALSE(w.tabAdvMenuRowMsgGet(msg)); // no menu opened yet
}

TEST(TextGroupInsert, GroupsFromTheEnd)
{
    struct Case {
        const char *in;
        const char *sep;
        int width;
        const char *out;
    } const cases[] = {
        {"12345678", " ", 2, "12 34 56 78"},
        {"1234567", " ", 2, "1 23 45 67"},
        {"12", " ", 2, "12"},
        {"1", " ", 2, "1"},
        {"", " ", 2, ""},
        {"abcdef", "-", 3, "abc-def"},
        {"1234567", ",", 3, "1,234,567"},
        {"abc", " ", 0, "abc"}, // no width: unchanged
    };
    for (const Case &c : cases) {
        QString text = QString::fromUtf8(c.in);
        EXPECT_TRUE(textGroupInsert(text, QString::fromUtf8(c.sep), c.width));
        EXPECT_EQ(text, QString::fromUtf8(c.out)) << c.in;
    }
}
