// One language at a time: an English session opens the main window and
// every window and dialog it launches while a translator of its own records
// each Chinese text that is looked up and has no English. Texts looked up
// under a context or from a table the update script cannot see are found
// here, where they are looked up.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTranslator>

#include <functional>

namespace {

// Consulted after the program's own translator (installed first, asked
// last): it sees what that one had no text for, and every lookup made before
// the program installed its own.
class MissRecorder : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *disambiguation = nullptr,
                      int n = -1) const override
    {
        const QString found = QTranslator::translate(context, source, disambiguation, n);
        const QString text = QString::fromUtf8(source ? source : "");
        if (found.isEmpty() && hasChinese(text))
            misses.insert(QStringLiteral("%1 | %2").arg(QString::fromLatin1(context ? context : ""), text));
        return found;
    }

    static bool hasChinese(const QString &text)
    {
        for (const QChar c : text)
            if (c.unicode() >= 0x2E80)
                return true;
        return false;
    }

    mutable QSet<QString> misses;
};

// Shows a modal dialog the way a user sees it, then leaves it.
int showAndLeave(QDialog *d)
{
    d->show();
    QApplication::processEvents();
    d->hide();
    return 0;
}

} // namespace

using EnglishTextsTest = MainWindowEnv;

TEST_F(EnglishTextsTest, EveryTextLookedUpWhileOpeningTheWindowsHasItsEnglish)
{
    ASSERT_TRUE(mwtest::copyQm("lanague_en.qm"));
    cfg()->setString("language", "EN");
    MissRecorder recorder;
    ASSERT_TRUE(recorder.load(QStringLiteral("lanague_en.qm")));
    QCoreApplication::installTranslator(&recorder);
    {
        MainWindow w;
        w.show();
        QApplication::processEvents();
        Ui_MainWindow &ui = *w.formGet();
        // The tools that need a channel get one: a data tab made current.
        QTabWidget *tabs = w.layoutGet()->tabDataShow;
        tabs->setCurrentIndex(tabs->addTab(new QWidget, QStringLiteral("USBCANFD2-0-0")));

        const std::function<void()> opens[] = {
            [&] { w.soltDevCanSelect(); },
            [&] { w.soltDevLinSelect(); },
            [&] { w.soltDevRecordSelect(); },
            [&] { ui.actionShowSet->trigger(); },
            [&] { ui.actionAboutUs->trigger(); },
            [&] { w.soltTabDataFliterSet(); },
            [&] { w.soltTools(); },
            [&] { w.soltCANwatch(); },
            [&] { w.soltDbcAnalysis(); },
            [&] { w.soltDbcSend(); },
            [&] { w.soltCANopenAnalysis(); },
            [&] { w.soltTabDataPlay(); },
            [&] { w.slotRepeatCfg(); },
            [&] { w.slotBaudChk(); },
            [&] { w.slotBaudAssistor(); },
            [&] { w.slotDevFirmUpdate(); },
            [&] { w.slotLanguageZh(); },
        };
        const std::function<void()> selections[] = {[&] { w.soltDevCanSelect(); }, [&] { w.soltDevRecordSelect(); }};
        // Every modal run on the way is shown and left, except a device
        // selection asked to pick a model: it confirms that one, so the
        // model's channel settings dialog runs (and is left) next.
        int pickModel = -1;
        std::function<int(QDialog *)> leave = [&](QDialog *d) {
            prompts.answerExec(leave);
            auto *models = d->findChild<QComboBox *>(QStringLiteral("comboBox_model"));
            auto *ok = d->findChild<QPushButton *>(QStringLiteral("pushButton_ok"));
            if (models && ok && pickModel >= 0 && pickModel < models->count()) {
                models->setCurrentIndex(pickModel);
                pickModel = -1;
                d->show();
                QApplication::processEvents();
                ok->click();
                return d->result();
            }
            return showAndLeave(d);
        };
        prompts.answerExec(leave);
        for (const auto &open : opens) {
            open();
            QApplication::processEvents();
        }
        for (const auto &select : selections) {
            for (int model = 0; model < 12; ++model) {
                pickModel = model;
                select();
                QApplication::processEvents();
            }
        }
        pickModel = -1;
        // In the tool windows, every action of their ribbons and tool bars:
        // their settings and help dialogs run (and are left), their file
        // choosers are cancelled.
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top == &w || !top->isVisible() || !qobject_cast<QMainWindow *>(top))
                continue;
            const QList<QAction *> actions = top->findChildren<QAction *>();
            for (QAction *a : actions) {
                if (a->menu() || a->isSeparator() || !a->isEnabled())
                    continue;
                a->trigger();
                QApplication::processEvents();
            }
        }
        // The viewer, the DBC windows, the CANopen window and playback are
        // open; the selection, settings, filter, launcher, about and
        // question dialogs ran.
        EXPECT_GE(w.toolWindowCount(), 5);
        EXPECT_GE(prompts.records().size(), 8);
        mwtest::flush();
    }
    mwtest::flush();
    QCoreApplication::removeTranslator(&recorder);

    QStringList found = recorder.misses.values();
    found.sort();
    std::string list;
    for (const QString &m : found)
        list += "  " + m.toStdString() + "\n";
    EXPECT_TRUE(found.isEmpty()) << found.size() << " texts have no English:\n" << list;
}
