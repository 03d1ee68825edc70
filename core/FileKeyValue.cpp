#include "core/FileKeyValue.h"

#include "core/QUserLogLine.h"
#include "core/QUserSettingRange.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

template <typename F>
bool forEachLine(const QString &path, F f)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        QString line = in.readLine();
        if (line.endsWith('\r'))
            line.chop(1);
        f(line);
    }
    return true;
}

} // namespace

FileKeyValue::FileKeyValue() = default;

bool FileKeyValue::setValue(const QString &key, const QString &value)
{
    single.insert(key, value);
    return true;
}

bool FileKeyValue::getValue(const QString &key, QString &value) const
{
    settingrange::readNote(source, key);
    if (single.isEmpty())
        return false;
    auto it = single.constFind(key);
    if (it == single.constEnd())
        return false;
    value = it.value();
    return true;
}

bool FileKeyValue::clear()
{
    single.clear();
    return true;
}

bool FileKeyValue::checkLine(const QString &key, const QString &value, const QString &check)
{
    return check.size() == key.size() + value.size() && check.startsWith(key) && check.endsWith(value);
}

bool FileKeyValue::parseLine(const QString &line, QString &key, QString &value)
{
    const int firstComma = line.indexOf(',');
    if (firstComma < 0)
        return false;
    const QStringRef k = line.leftRef(firstComma);
    const QStringRef rest = line.midRef(firstComma + 1);
    // rest = value "," key value  =>  |rest| = 2|value| + 1 + |key|. The
    // value's length comes from the line's length, not from the next comma:
    // cut at the next comma, a value holding "," would fail its check.
    const int twice = rest.size() - 1 - k.size();
    if (twice < 0 || twice % 2 != 0)
        return false;
    const int vlen = twice / 2;
    const QStringRef v = rest.left(vlen);
    if (rest.at(vlen) != QLatin1Char(','))
        return false;
    const QStringRef check = rest.mid(vlen + 1);
    if (!check.startsWith(k) || check.mid(k.size()) != v)
        return false;
    key = k.toString();
    value = v.toString();
    return true;
}

bool FileKeyValue::load(const QString &path)
{
    source = QFileInfo(path).fileName();
    single.clear();
    return forEachLine(path, [this](const QString &line) {
        QString k, v;
        if (parseLine(line, k, v))
            single.insert(k, v);
    });
}

bool FileKeyValue::isFileChanged(const QString &path) const
{
    QMap<QString, QString> onDisk;
    const bool read = forEachLine(path, [&onDisk](const QString &line) {
        QString k, v;
        if (parseLine(line, k, v))
            onDisk.insert(k, v);
    });
    if (!read)
        return true;
    for (auto it = onDisk.constBegin(); it != onDisk.constEnd(); ++it) {
        auto mine = single.constFind(it.key());
        if (mine == single.constEnd() || mine.value() != it.value())
            return true;
    }
    for (auto it = single.constBegin(); it != single.constEnd(); ++it)
        if (!onDisk.contains(it.key()))
            return true;
    return false;
}

bool FileKeyValue::save(const QString &path)
{
    if (!isFileChanged(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        logLine(QStringLiteral("FileKeyValue File <%1> Save Fail...").arg(path));
        return false;
    }
    QByteArray data;
    for (auto it = single.constBegin(); it != single.constEnd(); ++it) {
        const QString line = it.key() + ',' + it.value() + ',' + it.key() + it.value() + QStringLiteral("\r\n");
        data += line.toUtf8();
    }
    const bool ok = file.write(data) == data.size();
    file.close();
    if (!ok)
        logLine(QStringLiteral("FileKeyValue File <%1> Save Fail...").arg(path));
    return ok;
}

bool FileKeyValue::addMultiValue(const QString &key, const QString &value)
{
    multi.insert(key, value);
    return true;
}

bool FileKeyValue::getMultiValue(const QString &key, QStringList &values) const
{
    settingrange::readNote(source, key);
    values = multi.values(key);
    return true;
}

bool FileKeyValue::clearMultiValue()
{
    multi.clear();
    return true;
}

bool FileKeyValue::removeMultiValue(const QString &key)
{
    multi.remove(key);
    return true;
}

bool FileKeyValue::loadMulti(const QString &path)
{
    source = QFileInfo(path).fileName();
    multi.clear();
    return forEachLine(path, [this](const QString &line) {
        const int comma = line.indexOf(',');
        if (comma < 0)
            return;
        multi.insert(line.left(comma), line.mid(comma + 1));
    });
}

bool FileKeyValue::saveMulti(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        logLine(QStringLiteral("FileKeyValue Setting File <%1> Save Fail...").arg(path));
        return false;
    }
    QByteArray data;
    const QList<QString> keys = multi.uniqueKeys();
    for (const QString &key : keys) {
        const QList<QString> values = multi.values(key); // newest first
        for (const QString &v : values)
            data += (key + ',' + v + QStringLiteral("\r\n")).toUtf8();
    }
    const bool ok = file.write(data) == data.size();
    file.close();
    if (!ok)
        logLine(QStringLiteral("FileKeyValue Setting File <%1> Save Fail...").arg(path));
    return ok;
}
