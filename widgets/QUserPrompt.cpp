#include "widgets/QUserPrompt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>

namespace {
QUserPrompt *g_installed = nullptr;

QUserPrompt *defaultPrompt()
{
    static QUserPrompt def;
    return &def;
}
} // namespace

QUserPrompt::~QUserPrompt()
{
    if (g_installed == this)
        g_installed = nullptr;
}

QUserPrompt *QUserPrompt::instance()
{
    return g_installed ? g_installed : defaultPrompt();
}

QUserPrompt *QUserPrompt::setInstance(QUserPrompt *p)
{
    QUserPrompt *before = g_installed;
    g_installed = p;
    return before;
}

int QUserPrompt::exec(QDialog *dlg)
{
    return dlg ? dlg->exec() : 0;
}

QString QUserPrompt::getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                                     const QString &filter, QString *selectedFilter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter, selectedFilter);
}

QStringList QUserPrompt::getOpenFileNames(QWidget *parent, const QString &caption, const QString &dir,
                                          const QString &filter, QString *selectedFilter)
{
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter, selectedFilter);
}

QString QUserPrompt::getSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                     const QString &filter, QString *selectedFilter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
}

QString QUserPrompt::getExistingDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

bool QUserPrompt::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

void QUserPrompt::beep()
{
    QApplication::beep();
}
