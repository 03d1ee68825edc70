#include "core/QUserLibPath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QStringList>

#include <mutex>

QString QUserLibPath::platformName(const QString &fileName)
{
    QString base = fileName;
    if (base.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        base.chop(4);
#if defined(Q_OS_WIN)
    return base + QStringLiteral(".dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("lib") + base + QStringLiteral(".dylib");
#else
    return QStringLiteral("lib") + base + QStringLiteral(".so");
#endif
}

QString QUserLibPath::find(const QString &platformFile)
{
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs << QCoreApplication::applicationDirPath();
    const QByteArray bin = qgetenv("ORVANE_BINARY_DIR");
    if (!bin.isEmpty())
        dirs << QString::fromLocal8Bit(bin) + QStringLiteral("/bin");
#ifdef ORVANE_BUILD_BIN_DIR
    dirs << QStringLiteral(ORVANE_BUILD_BIN_DIR);
#endif
    for (const QString &d : dirs) {
        const QString p = d + QLatin1Char('/') + platformFile;
        if (QFileInfo::exists(p))
            return p;
    }
    return platformFile;
}

bool QUserLibPath::keepLoaded(const QString &path)
{
    // Never destroyed: these loads last as long as the process.
    static std::mutex *lock = new std::mutex;
    static QHash<QString, QLibrary *> *kept = new QHash<QString, QLibrary *>;
    std::lock_guard<std::mutex> guard(*lock);
    if (kept->contains(path))
        return true;
    auto *lib = new QLibrary(path);
    if (!lib->load()) {
        delete lib;
        return false;
    }
    kept->insert(path, lib);
    return true;
}
