// Tool windows opened from the main window never outlive its device
// registry: at exit and at a restart the window closes and deletes them
// before the registry goes.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainLoop.h"
#include "mainwindow/MainWindow.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace {

// Stands in for a tool window bound to the registry (DBC send, CANopen,
// playback): its destructor reports whether the registry still stood.
struct ToolLog {
    int destroyed = 0;
    int closed = 0;
    int registryGoneFirst = 0;
};

class StandInTool : public QWidget
{
public:
    StandInTool(QUserDeviceAdapter *registry, ToolLog *log) : QWidget(nullptr), registry(registry), log(log)
    {
        // Bound as the tool windows are: a connection from the registry.
        connect(registry, &QUserDeviceAdapter::receiveMsg, this, [this]() { ++frames; });
    }
    ~StandInTool() override
    {
        ++log->destroyed;
        if (!registry)
            ++log->registryGoneFirst;
    }
    std::function<void()> onClose;
    int frames = 0;

protected:
    void closeEvent(QCloseEvent *e) override
    {
        ++log->closed;
        if (onClose)
            onClose();
        QWidget::closeEvent(e);
    }

private:
    QPointer<QUserDeviceAdapter> registry;
    ToolLog *log;
};

} // namespace

using ToolWindowTest = MainWindowEnv;

TEST_F(ToolWindowTest, ClosedAndDeletedBeforeTheRegistryAtExit)
{
    ToolLog tl;
    QPointer<QWidget> a, b;
    {
        MainWindow w;
        a = new StandInTool(w.devAdapterGet(), &tl);
        b = new StandInTool(w.devAdapterGet(), &tl);
        a->show();
        w.toolWindowAdd(a);
        w.toolWindowAdd(b);
        w.toolWindowAdd(a); // once is enough
        w.toolWindowAdd(nullptr);
        EXPECT_EQ(w.toolWindowCount(), 2);
    }
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());
    EXPECT_EQ(tl.destroyed, 2);
    EXPECT_EQ(tl.closed, 2);
    EXPECT_EQ(tl.registryGoneFirst, 0);
}

TEST_F(ToolWindowTest, WindowsTheUserClosedEarlierAreNoProblem)
{
    ToolLog tl;
    {
        MainWindow w;
        auto *deletesItself = new StandInTool(w.devAdapterGet(), &tl);
        deletesItself->setAttribute(Qt::WA_DeleteOnClose);
        deletesItself->show();
        auto *deletedByOwner = new StandInTool(w.devAdapterGet(), &tl);
        auto *stillOpen = new StandInTool(w.devAdapterGet(), &tl);
        w.toolWindowAdd(deletesItself);
        w.toolWindowAdd(deletedByOwner);
        w.toolWindowAdd(stillOpen);

        deletesItself->close();
        mwtest::flush();
        delete deletedByOwner;
        EXPECT_EQ(tl.destroyed, 2);
        EXPECT_EQ(w.toolWindowCount(), 1);
    }
    EXPECT_EQ(tl.destroyed, 3);
    EXPECT_EQ(tl.registryGoneFirst, 0);
}

TEST_F(ToolWindowTest, AWindowThatOpensAnotherOnCloseTakesThatOneAlong)
{
    ToolLog tl;
    {
        MainWindow w;
        auto *first = new StandInTool(w.devAdapterGet(), &tl);
        MainWindow *mw = &w;
        first->onClose = [mw, &tl]() { mw->toolWindowAdd(new StandInTool(mw->devAdapterGet(), &tl)); };
        w.toolWindowAdd(first);
    }
    EXPECT_EQ(tl.destroyed, 2);
    EXPECT_EQ(tl.registryGoneFirst, 0);
}

TEST_F(ToolWindowTest, LanguageSwitchTakesTheToolWindowsBeforeTheNextWindow)
{
    prompts.answerExec(1);
    ToolLog tl;
    QList<int> destroyedAtBuild;
    int pass = 0;
    const int built = mainWindowLoop(
        [&]() -> QWidget * {
            destroyedAtBuild.append(tl.destroyed);
            return new MainWindow(nullptr);
        },
        [&](QWidget *w) {
            auto *mw = static_cast<MainWindow *>(w);
            const int n = pass++;
            QTimer::singleShot(0, w, [mw, n, &tl]() {
                if (n == 0) {
                    auto *tool = new StandInTool(mw->devAdapterGet(), &tl);
                    tool->show();
                    mw->toolWindowAdd(tool);
                    mw->slotLanguageEn();
                } else {
                    mw->close();
                }
            });
            QTimer::singleShot(testsupport::kGiveUpMs, w, [w]() { w->close(); });
            return QApplication::exec();
        });
    EXPECT_EQ(built, 2);
    EXPECT_EQ(destroyedAtBuild, (QList<int>{0, 1}));
    EXPECT_EQ(tl.registryGoneFirst, 0);
}
