#pragma once
// QUserPrompt: the one door through which Orvane asks the user something
// modally or hands something to the desktop.
//
// Every modal run (a Dialog frame's dlgExec, message boxes, content dialogs,
// the waiting dialog), every file or folder chooser and every "open this web
// page / file in the system's application" goes through the object returned
// by QUserPrompt::instance(). In the program that object is the default
// QUserPrompt, which simply does the real thing (QDialog::exec,
// QFileDialog::getOpenFileName, QDesktopServices::openUrl, ...), so
// production behaviour is exactly the plain Qt call.
//
// Using it in code (instead of the plain Qt call):
//
//     int r = QUserPrompt::instance()->exec(&myDialog);               // modal run
//     QString f = QUserPrompt::instance()->getOpenFileName(this, tr("打开"), dir, "DBC (*.dbc)");
//     QString s = QUserPrompt::instance()->getSaveFileName(this, tr("保存"), dir, "ASC (*.asc)");
//     QString d = QUserPrompt::instance()->getExistingDirectory(this, tr("目录"), dir);
//     if (!QUserPrompt::instance()->openUrl(QUrl("https://..."))) ...
//     QUserPrompt::instance()->beep();
//
// Dialog::dlgExec and the QUserMessageBox boxes already use it, so content
// widgets that run through their frame need nothing more.
//
// Using it in tests: create a QUserPromptScript (QUserPromptScript.h) on the
// stack. It installs itself for its lifetime and restores the previous
// answerer when it goes. Queue one answer per expected prompt, in order:
//
//     QUserPromptScript prompts;
//     prompts.answerExec(1);                                   // next modal run returns 1
//     prompts.answerExec([](QDialog *d) { ...click...; return d->result(); });
//     prompts.answerFile("/tmp/x.dbc");                        // next file chooser
//     prompts.answerUrl(false);                                // next openUrl fails
//     ... code under test ...
//     EXPECT_EQ(prompts.unanswered(), 0);
//     EXPECT_EQ(prompts.records().at(0).title, "错误");
//
// A modal run without a queued answer returns 0 (as if the user closed the
// window), a chooser without one returns an empty text (cancelled), openUrl
// returns true; each is counted in unanswered(). No modal loop is ever
// entered while a script is installed, so tests cannot hang.
//
// All of this is GUI-thread only.

#include <QString>
#include <QStringList>
#include <QUrl>

class QDialog;
class QWidget;

class QUserPrompt
{
public:
    QUserPrompt() = default;
    virtual ~QUserPrompt();

    // The answerer now installed (the default one when none was set).
    static QUserPrompt *instance();
    // Installs p (not owned); nullptr restores the default. Returns the
    // answerer that was installed before.
    static QUserPrompt *setInstance(QUserPrompt *p);

    // Runs dlg modally and returns its result code (QDialog::exec).
    virtual int exec(QDialog *dlg);

    virtual QString getOpenFileName(QWidget *parent, const QString &caption,
                                    const QString &dir = QString(),
                                    const QString &filter = QString(),
                                    QString *selectedFilter = nullptr);
    virtual QStringList getOpenFileNames(QWidget *parent, const QString &caption,
                                         const QString &dir = QString(),
                                         const QString &filter = QString(),
                                         QString *selectedFilter = nullptr);
    virtual QString getSaveFileName(QWidget *parent, const QString &caption,
                                    const QString &dir = QString(),
                                    const QString &filter = QString(),
                                    QString *selectedFilter = nullptr);
    virtual QString getExistingDirectory(QWidget *parent, const QString &caption,
                                         const QString &dir = QString());

    // Opens a web page or a local file in the system's application;
    // false when the desktop refused.
    virtual bool openUrl(const QUrl &url);

    // The system beep of the warning boxes.
    virtual void beep();

private:
    QUserPrompt(const QUserPrompt &) = delete;
    QUserPrompt &operator=(const QUserPrompt &) = delete;
};
