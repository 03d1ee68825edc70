#include "core/QUserKemusbPath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

namespace {

QMutex overrideMutex;
QString overridePath;

// Names under which the program loads the adapter library.
bool isAdapterLibrary(const QString &base)
{
    return base.compare(QLatin1String("kemusb"), Qt::CaseInsensitive) == 0 ||
           base.compare(QLatin1String("KemControl"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString QUserKemusbPath::platformName(const QString &fileName)
{
    QString base = fileName;
    if (base.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        base.chop(4);
    if (isAdapterLibrary(base))
        base = QStringLiteral("kemusb");
#if defined(Q_OS_WIN)
    return base + QStringLiteral(".dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("lib") + base + QStringLiteral(".dylib");
#else
    return QStringLiteral("lib") + base + QStringLiteral(".so");
#endif
}

QString QUserKemusbPath::resolve(const QString &fileName)
{
    const QString over = pathOverride();
    if (!over.isEmpty())
        return over;
    const QString name = platformName(fileName);
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
        const QString p = d + QLatin1Char('/') + name;
        if (QFileInfo::exists(p))
            return p;
    }
    return name;
}

void QUserKemusbPath::setPathOverride(const QString &path)
{
    QMutexLocker lock(&overrideMutex);
    overridePath = path;
}

QString QUserKemusbPath::pathOverride()
{
    QMutexLocker lock(&overrideMutex);
    return overridePath;
}
