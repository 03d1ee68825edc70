#pragma once
// The process-wide store of the program's global settings, kept in
// "setting/sys.ini" (QSettings INI format, keys in the general section).
// Every key is held in memory as text; every change is written through to
// the file at once. Use it from the GUI thread only.

#include <QByteArray>
#include <QHash>
#include <QString>

class QSettings;

class QUserSysCfg
{
public:
    // Builds and loads the store on the first call; later calls return the
    // same object. The store lives until the process exits.
    static QUserSysCfg *instance();

    // Loads "setting/sys.ini" under the current working directory, creating
    // it with "Company" = "KEM" when it does not exist. Public so that a
    // private store can be built (tests); the program uses instance().
    QUserSysCfg();
    ~QUserSysCfg();
    QUserSysCfg(const QUserSysCfg &) = delete;
    QUserSysCfg &operator=(const QUserSysCfg &) = delete;

    // Cached text; a null string when the key is absent.
    QString getString(const QString &key) const;
    // False (nothing changes) when key or value is empty.
    bool setString(const QString &key, const QString &value);
    // -1 when absent; otherwise the cached text as decimal (0 when no number).
    int getInt(const QString &key) const;
    bool setInt(const QString &key, int value);
    // A number that sizes memory, sets a count, a period or a time-out: the
    // cached text when it is a whole number in [lo, hi]; def when the key is
    // absent, and def with a log line when the text is anything else.
    int getIntBounded(const QString &key, int lo, int hi, int def) const;
    // Byte arrays bypass the cache in both directions.
    QByteArray getByteArray(const QString &key) const;
    bool setByteArray(const QString &key, const QByteArray &value);
    // A splitter state: the byte array when its size list fits in it, else
    // empty (and a log line), so that the caller lays out its defaults.
    QByteArray getSplitterState(const QString &key) const;

    // Reads "setting/sys.ini" of the current working directory afresh,
    // forgetting every cached key (tests start from an empty store this way).
    void reload();

    void createDefault();
    bool writeValue(const QString &key, const QString &value);

    // Path of the file the store keeps (absolute).
    QString filePath() const { return path; }

private:
    void load();

    QSettings *settings = nullptr;
    QHash<QString, QString> cache;
    QString path;
};
