#include "core/QUserLibPath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

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
