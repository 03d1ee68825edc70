#pragma once
// What every main-window test stands on: a fresh working directory whose
// "setting/sys.ini" the process-wide configuration store reads afresh, the
// translations copied in (or left out), a scripted prompt answerer, and the
// debug log collected.

#include "tests/support/TempWorkDir.h"

#include "core/QUserSysCfg.h"
#include "tests/support/QUserPromptScript.h"
#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <string>

namespace mwtest {

inline QString binDir()
{
    const char *d = std::getenv("ORVANE_BINARY_DIR");
    return QString::fromLocal8Bit(d ? d : ORVANE_BINARY_DIR_DEFAULT) + QStringLiteral("/bin");
}

// Copies a built translation file into the working directory.
inline bool copyQm(const char *name)
{
    return QFile::copy(binDir() + QLatin1Char('/') + QLatin1String(name), QLatin1String(name));
}

// Collects the debug log while it lives.
class LogCapture
{
public:
    LogCapture() { previous = qInstallMessageHandler(&LogCapture::handler); current() = this; }
    ~LogCapture()
    {
        qInstallMessageHandler(previous);
        current() = nullptr;
    }
    bool contains(const QString &text) const
    {
        for (const QString &l : lines)
            if (l.contains(text))
                return true;
        return false;
    }
    QStringList lines;

private:
    static LogCapture *&current()
    {
        static LogCapture *c = nullptr;
        return c;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &text)
    {
        // Lines of other threads (recording writers, senders, drivers) join
        // the list on the GUI thread, the only one that reads it: they show
        // once the test's event loop has run.
        QCoreApplication *app = QCoreApplication::instance();
        if (app && QThread::currentThread() != app->thread()) {
            QMetaObject::invokeMethod(
                app, [text] { append(text); }, Qt::QueuedConnection);
            return;
        }
        append(text);
    }
    static void append(const QString &text)
    {
        if (current())
            current()->lines.append(text);
    }
    QtMessageHandler previous = nullptr;
};

// Reads a key straight from the file, past the store's cache.
inline QVariant fileValue(const QString &key)
{
    QSettings s(QStringLiteral("setting/sys.ini"), QSettings::IniFormat);
    return s.value(key);
}

// Runs posted events, deferred deletes included.
inline void flush()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace mwtest

// The fixture: the working directory goes last, after everything that may
// still write into it.
class MainWindowEnv : public ::testing::Test
{
protected:
    void SetUp() override { QUserSysCfg::instance()->reload(); }
    void withTranslations()
    {
        ASSERT_TRUE(mwtest::copyQm("lanague_cn.qm"));
        ASSERT_TRUE(mwtest::copyQm("lanague_en.qm"));
    }
    QUserSysCfg *cfg() { return QUserSysCfg::instance(); }

    TempWorkDir workDir;
    QUserPromptScript prompts;
    mwtest::LogCapture log;
};
