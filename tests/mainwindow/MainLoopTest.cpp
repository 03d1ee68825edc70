// The restart loop: where it puts the window, and which event-loop codes
// build the window again.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "mainwindow/MainLoop.h"
#include "mainwindow/MainWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <functional>

TEST(MainLoopPlace, HalfTheAreaAtAQuarterWithoutTheOrigin)
{
    struct Case {
        QRect available;
        QSize size;
        QPoint at;
    } const cases[] = {
        {QRect(0, 0, 1920, 1040), QSize(960, 520), QPoint(480, 260)},
        {QRect(100, 50, 1920, 1040), QSize(960, 520), QPoint(480, 260)}, // origin not added
        {QRect(0, 0, 1366, 705), QSize(683, 352), QPoint(341, 176)},      // divisions truncate
    };
    for (const Case &c : cases) {
        QWidget w;
        mainWindowPlace(&w, c.available);
        EXPECT_EQ(w.size(), c.size);
        EXPECT_EQ(w.pos(), c.at);
    }
}

class MainLoopTest : public MainWindowEnv
{
protected:
    // Runs the loop over real main windows; `step` acts on the window of
    // pass n (counted from 0) once its event loop runs. A watchdog closes a
    // window that nothing ended.
    int runLoop(const std::function<void(MainWindow *, int)> &step)
    {
        int pass = 0;
        return mainWindowLoop([]() -> QWidget * { return new MainWindow(nullptr); },
                              [&](QWidget *w) {
                                  MainWindow *mw = qobject_cast<MainWindow *>(w);
                                  placed.append(w->geometry());
                                  const int n = pass++;
                                  QTimer::singleShot(0, w, [mw, n, &step]() { step(mw, n); });
                                  QTimer::singleShot(testsupport::kGiveUpMs, w, [w]() { w->close(); });
                                  return QApplication::exec();
                              });
    }
    QList<QRect> placed;
};

TEST_F(MainLoopTest, SwitchRebuildsTheWindowAndCloseEndsTheProgram)
{
    withTranslations();
    prompts.answerExec(1); // yes to the language question
    QList<quint8> codes;
    const int built = runLoop([&](MainWindow *w, int n) {
        codes.append(w->languageCodeGet());
        if (n == 0)
            w->slotLanguageEn();
        else
            w->close();
    });
    EXPECT_EQ(built, 2);
    EXPECT_EQ(codes, (QList<quint8>{0, 1}));
    EXPECT_EQ(cfg()->getString("language"), "EN");
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records().at(0).title, "警告");
    EXPECT_TRUE(prompts.records().at(0).text.contains("重启生效,确定切换语言?"));

    // Every window was placed from the primary screen's available area: at
    // a quarter of it, half its height (the width may not go below what
    // the window needs).
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(placed.size(), 2);
    for (const QRect &g : qAsConst(placed)) {
        EXPECT_EQ(g.topLeft(), QPoint(avail.width() / 4, avail.height() / 4));
        EXPECT_EQ(g.height(), avail.height() / 2);
        EXPECT_GE(g.width(), avail.width() / 2);
    }
}

TEST_F(MainLoopTest, AnswersToTheLanguageQuestion)
{
    struct Case {
        const char *name;
        bool english;   // which language action
        int answer;     // 1 OK, 0 Cancel
        int built;      // windows built until the close
        const char *stored;
    } const cases[] = {
        {"cancel leaves everything", true, 0, 1, "ZH"},
        {"the active language again still restarts", false, 1, 2, "ZH"},
        {"the other language restarts", true, 1, 2, "EN"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempWorkDir dir;
        cfg()->reload();
        QUserPromptScript script;
        script.answerExec(c.answer);
        const int built = runLoop([&](MainWindow *w, int n) {
            if (n == 0) {
                if (c.english)
                    w->slotLanguageEn();
                else
                    w->slotLanguageZh();
                if (c.answer == 1)
                    return; // the loop ends with 1
            }
            QTimer::singleShot(0, w, &QWidget::close);
        });
        EXPECT_EQ(built, c.built);
        EXPECT_EQ(cfg()->getString("language"), c.stored);
        EXPECT_EQ(script.unanswered(), 0);
    }
}
