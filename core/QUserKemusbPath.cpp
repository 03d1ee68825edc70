#include "core/QUserKemusbPath.h"

#include "core/QUserLibPath.h"

#include <QMutex>
#include <QMutexLocker>

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
    return QUserLibPath::platformName(base);
}

QString QUserKemusbPath::resolve(const QString &fileName)
{
    const QString over = pathOverride();
    if (!over.isEmpty())
        return over;
    return QUserLibPath::find(platformName(fileName));
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
