#pragma once
// QUserPromptScript: a scripted answerer for QUserPrompt (see QUserPrompt.h)
// for tests. It installs itself in its constructor and puts the previous
// answerer back in its destructor. Answers are consumed in the order they
// were queued, one per prompt, whatever the kind of prompt; a prompt whose
// next answer is of another kind counts as unanswered and leaves that answer
// queued.

#include "widgets/QUserPrompt.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QUserPromptScript : public QUserPrompt
{
public:
    enum Kind { Exec, OpenFile, OpenFiles, SaveFile, Directory, Url };

    // One prompt as the code under test raised it.
    struct Record {
        Kind kind = Exec;
        QString title;       // window title of the dialog, or the chooser's caption
        QString text;        // modal runs: the texts of the dialog's labels, joined by "\n";
                             // choosers: the filter; openUrl: the URL
        QString dir;         // choosers: the start folder
        QString className;   // modal runs: the dialog's class name
        bool answered = false;
    };

    QUserPromptScript();
    ~QUserPromptScript() override;

    // The next modal run returns result without running.
    void answerExec(int result);
    // The next modal run calls fn with the dialog (not shown, not in a loop)
    // and returns what fn returns; fn may click buttons or call done().
    void answerExec(std::function<int(QDialog *)> fn);
    void answerFile(const QString &path);            // next open or save chooser ("" = cancelled)
    // The same, with the filter the user picked (given back through the
    // chooser's selectedFilter).
    void answerFile(const QString &path, const QString &selectedFilter);
    void answerFiles(const QStringList &paths);      // next multi-file chooser
    void answerDirectory(const QString &path);       // next folder chooser
    void answerUrl(bool ok);                         // next openUrl

    const QList<Record> &records() const { return m_records; }
    Record last() const { return m_records.isEmpty() ? Record() : m_records.last(); }
    int unanswered() const;
    int pending() const { return m_answers.size(); }
    int beeps() const { return m_beeps; }

    int exec(QDialog *dlg) override;
    QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                            const QString &filter, QString *selectedFilter) override;
    QStringList getOpenFileNames(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter, QString *selectedFilter) override;
    QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                            const QString &filter, QString *selectedFilter) override;
    QString getExistingDirectory(QWidget *parent, const QString &caption, const QString &dir) override;
    bool openUrl(const QUrl &url) override;
    void beep() override;

    // Texts of every label inside w, in child order, joined by "\n".
    static QString labelTexts(const QWidget *w);

private:
    struct Answer {
        Kind kind;
        int result = 0;
        std::function<int(QDialog *)> fn;
        QStringList paths;
        QString filter;
        bool ok = true;
    };
    bool take(Kind kind, Answer *out);

    QUserPrompt *m_previous = nullptr;
    QList<Answer> m_answers;
    QList<Record> m_records;
    int m_beeps = 0;
};
