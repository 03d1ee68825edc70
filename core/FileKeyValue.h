#pragma once
// Small settings files in "setting/". Two independent parts:
//  - single-valued: one value per key, ordered by key; each line is
//    key "," value "," key+value (the third field checks the first two),
//    CR LF; written only when the file's content differs.
//  - multi-valued: any number of values per key; each line is key "," value,
//    CR LF; written every time. A key's values are kept newest first.

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

class FileKeyValue
{
public:
    FileKeyValue();

    bool setValue(const QString &key, const QString &value);
    bool getValue(const QString &key, QString &value) const;
    bool clear();
    bool load(const QString &path);
    // True when the file is up to date afterwards; false when it had to be
    // written and could not be.
    bool save(const QString &path);
    bool isFileChanged(const QString &path) const;
    static bool checkLine(const QString &key, const QString &value, const QString &check);
    // Reads one single-valued line. The key is the first field; the rest of
    // the line must be value "," key value, which fixes the value's length,
    // so a value holding "," survives.
    static bool parseLine(const QString &line, QString &key, QString &value);

    bool addMultiValue(const QString &key, const QString &value);
    bool getMultiValue(const QString &key, QStringList &values) const;
    bool clearMultiValue();
    bool removeMultiValue(const QString &key);
    bool loadMulti(const QString &path);
    bool saveMulti(const QString &path);

    const QMap<QString, QString> &singleValues() const { return single; }

private:
    QString source; // file name of the last load, for the read watch
    QMap<QString, QString> single;
    QMultiHash<QString, QString> multi;
};
