#include "tests/support/QUserPromptScript.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>

QUserPromptScript::QUserPromptScript()
{
    m_previous = QUserPrompt::setInstance(this);
}

QUserPromptScript::~QUserPromptScript()
{
    if (QUserPrompt::instance() == this)
        QUserPrompt::setInstance(m_previous);
}

void QUserPromptScript::answerExec(int result)
{
    Answer a;
    a.kind = Exec;
    a.result = result;
    m_answers.append(a);
}

void QUserPromptScript::answerExec(std::function<int(QDialog *)> fn)
{
    Answer a;
    a.kind = Exec;
    a.fn = std::move(fn);
    m_answers.append(a);
}

void QUserPromptScript::answerFile(const QString &path)
{
    Answer a;
    a.kind = OpenFile; // also serves save choosers
    a.paths = QStringList{path};
    m_answers.append(a);
}

void QUserPromptScript::answerFile(const QString &path, const QString &selectedFilter)
{
    Answer a;
    a.kind = OpenFile;
    a.paths = QStringList{path};
    a.filter = selectedFilter;
    m_answers.append(a);
}

void QUserPromptScript::answerFiles(const QStringList &paths)
{
    Answer a;
    a.kind = OpenFiles;
    a.paths = paths;
    m_answers.append(a);
}

void QUserPromptScript::answerDirectory(const QString &path)
{
    Answer a;
    a.kind = Directory;
    a.paths = QStringList{path};
    m_answers.append(a);
}

void QUserPromptScript::answerUrl(bool ok)
{
    Answer a;
    a.kind = Url;
    a.ok = ok;
    m_answers.append(a);
}

int QUserPromptScript::unanswered() const
{
    int n = 0;
    for (const Record &r : m_records)
        if (!r.answered)
            ++n;
    return n;
}

bool QUserPromptScript::take(Kind kind, Answer *out)
{
    if (m_answers.isEmpty())
        return false;
    Kind k = m_answers.first().kind;
    bool fits = k == kind || (kind == SaveFile && k == OpenFile);
    if (!fits)
        return false;
    *out = m_answers.takeFirst();
    return true;
}

QString QUserPromptScript::labelTexts(const QWidget *w)
{
    QStringList texts;
    if (!w)
        return QString();
    const QList<QLabel *> labels = w->findChildren<QLabel *>();
    for (const QLabel *l : labels)
        if (!l->text().isEmpty())
            texts << l->text();
    return texts.join('\n');
}

int QUserPromptScript::exec(QDialog *dlg)
{
    Record r;
    r.kind = Exec;
    if (dlg) {
        r.title = dlg->windowTitle();
        r.text = labelTexts(dlg);
        r.className = QString::fromLatin1(dlg->metaObject()->className());
    }
    Answer a;
    int result = 0;
    // The answer may close what owns the dialog and so delete it, as a
    // real modal run allows.
    const QPointer<QDialog> alive(dlg);
    if (take(Exec, &a)) {
        r.answered = true;
        if (a.fn)
            result = dlg ? a.fn(dlg) : 0;
        else
            result = a.result;
    }
    m_records.append(r);
    if (alive)
        alive->setResult(result);
    return result;
}

QString QUserPromptScript::getOpenFileName(QWidget *, const QString &caption, const QString &dir,
                                           const QString &filter, QString *)
{
    Record r;
    r.kind = OpenFile;
    r.title = caption;
    r.dir = dir;
    r.text = filter;
    Answer a;
    QString out;
    if (take(OpenFile, &a)) {
        r.answered = true;
        out = a.paths.value(0);
    }
    m_records.append(r);
    return out;
}

QStringList QUserPromptScript::getOpenFileNames(QWidget *, const QString &caption, const QString &dir,
                                                const QString &filter, QString *)
{
    Record r;
    r.kind = OpenFiles;
    r.title = caption;
    r.dir = dir;
    r.text = filter;
    Answer a;
    QStringList out;
    if (take(OpenFiles, &a)) {
        r.answered = true;
        out = a.paths;
    }
    m_records.append(r);
    return out;
}

QString QUserPromptScript::getSaveFileName(QWidget *, const QString &caption, const QString &dir,
                                           const QString &filter, QString *selectedFilter)
{
    Record r;
    r.kind = SaveFile;
    r.title = caption;
    r.dir = dir;
    r.text = filter;
    Answer a;
    QString out;
    if (take(SaveFile, &a)) {
        r.answered = true;
        out = a.paths.value(0);
        if (selectedFilter && !a.filter.isEmpty())
            *selectedFilter = a.filter;
    }
    m_records.append(r);
    return out;
}

QString QUserPromptScript::getExistingDirectory(QWidget *, const QString &caption, const QString &dir)
{
    Record r;
    r.kind = Directory;
    r.title = caption;
    r.dir = dir;
    Answer a;
    QString out;
    if (take(Directory, &a)) {
        r.answered = true;
        out = a.paths.value(0);
    }
    m_records.append(r);
    return out;
}

bool QUserPromptScript::openUrl(const QUrl &url)
{
    Record r;
    r.kind = Url;
    r.text = url.toString();
    Answer a;
    bool ok = true;
    if (take(Url, &a)) {
        r.answered = true;
        ok = a.ok;
    }
    m_records.append(r);
    return ok;
}

void QUserPromptScript::beep()
{
    ++m_beeps;
}
