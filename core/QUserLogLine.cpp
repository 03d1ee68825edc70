#include "core/QUserLogLine.h"

#include <QDebug>
#include <QString>

void logLine(const QString &text)
{
    qDebug() << ">" << text;
}
