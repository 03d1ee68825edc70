#include "core/QUserSysCfg.h"

#include "core/QUserLogLine.h"
#include "core/QUserSettingRange.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRegExp>
#include <QSettings>

#include <atomic>
#include <memory>

QUserSysCfg *QUserSysCfg::instance()
{
    static std::atomic<QUserSysCfg *> ptr{nullptr};
    static std::unique_ptr<QUserSysCfg> owner;
    static QMutex mutex;
    QUserSysCfg *p = ptr.load(std::memory_order_acquire);
    if (p)
        return p;
    QMutexLocker lock(&mutex);
    p = ptr.load(std::memory_order_relaxed);
    if (!p) {
        owner.reset(new QUserSysCfg);
        p = owner.get();
        ptr.store(p, std::memory_order_release);
    }
    return p;
}

QUserSysCfg::QUserSysCfg()
{
    load();
}

QUserSysCfg::~QUserSysCfg()
{
    if (settings)
        settings->sync();
    delete settings;
}

void QUserSysCfg::load()
{
    settings = nullptr;
    cache.clear();
    path = QDir::current().absoluteFilePath(QStringLiteral("setting/sys.ini"));

    if (!QFileInfo(path).isFile()) {
        logLine(QStringLiteral("系统配置文件不存在,自动创建..."));
        createDefault();
    } else {
        logLine(QStringLiteral("系统配置文件读取成功..."));
    }

    if (!settings)
        settings = new QSettings(path, QSettings::IniFormat);

    const QStringList keys = settings->allKeys();
    for (const QString &key : keys) {
        if (key.isEmpty())
            continue;
        const QString value = settings->value(key).toString();
        cache.insert(key, value);
        logLine(QStringLiteral("%1:%2").arg(key, value));
    }
}

void QUserSysCfg::reload()
{
    if (settings)
        settings->sync();
    delete settings;
    settings = nullptr;
    load();
}

void QUserSysCfg::createDefault()
{
    if (settings)
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    settings = new QSettings(path, QSettings::IniFormat);
    settings->setValue(QStringLiteral("Company"), QStringLiteral("KEM"));
    settings->sync();
}

bool QUserSysCfg::writeValue(const QString &key, const QString &value)
{
    if (!settings) {
        logLine(QStringLiteral("错误:系统变量<%1>设置失败,文件句柄为空...").arg(key));
        return false;
    }
    settings->setValue(key, value);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

QString QUserSysCfg::getString(const QString &key) const
{
    settingrange::readNote(QStringLiteral("sys.ini"), key);
    auto it = cache.constFind(key);
    return it == cache.constEnd() ? QString() : it.value();
}

bool QUserSysCfg::setString(const QString &key, const QString &value)
{
    if (key.isEmpty() || value.isEmpty())
        return false;
    cache.insert(key, value);
    writeValue(key, value);
    return true;
}

int QUserSysCfg::getInt(const QString &key) const
{
    settingrange::readNote(QStringLiteral("sys.ini"), key);
    auto it = cache.constFind(key);
    if (it == cache.constEnd())
        return -1;
    QString text = it.value();
    text.remove(QRegExp(QStringLiteral("\\s")));
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : 0;
}

int QUserSysCfg::getIntBounded(const QString &key, int lo, int hi, int def) const
{
    settingrange::readNote(QStringLiteral("sys.ini"), key);
    auto it = cache.constFind(key);
    if (it == cache.constEnd())
        return def;
    QString text = it.value();
    text.remove(QRegExp(QStringLiteral("\\s")));
    return settingrange::boundedInt(QStringLiteral("sys.ini"), key, text, lo, hi, def);
}

bool QUserSysCfg::setInt(const QString &key, int value)
{
    if (key.isEmpty())
        return false;
    const QString text = QString::number(value);
    cache.insert(key, text);
    writeValue(key, text);
    return true;
}

QByteArray QUserSysCfg::getByteArray(const QString &key) const
{
    settingrange::readNote(QStringLiteral("sys.ini"), key);
    if (!settings) {
        logLine(QStringLiteral("错误:系统变量<%1>获取失败,文件句柄为空...").arg(key));
        return QByteArray();
    }
    return settings->value(key).toByteArray();
}

QByteArray QUserSysCfg::getSplitterState(const QString &key) const
{
    return settingrange::splitterState(QStringLiteral("sys.ini"), key, getByteArray(key));
}

bool QUserSysCfg::setByteArray(const QString &key, const QByteArray &value)
{
    if (!settings) {
        logLine(QStringLiteral("错误:系统变量<%1>设置失败,文件句柄为空...").arg(key));
        return false;
    }
    settings->setValue(key, value);
    settings->sync();
    return true;
}
