#pragma once
// The ".prj" project file of the DBC windows: the DBC file path, a message
// list and a signal list, as one indented UTF-8 JSON object. Every number is
// stored as a JSON string holding its text (decimal, or the g16 / f16 forms
// of DbcNumberText), never as a JSON number.
//
// A save writes a new file beside the old one and replaces it only when the
// whole text was written, so a failed or interrupted save leaves the previous
// project as it was. A load that fails changes nothing.

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QVector>

#include "dbc/QUserDbcMsg.h"
#include "dbc/QUserDbcSignal.h"

class QByteArray;

class DbcPrjFile
{
public:
    // Results of save and load.
    enum Result {
        Ok = 0,
        SaveFailed = -1,    // cannot be opened, written or put in place
        OpenFailed = -2,    // cannot be opened for reading
        NotJson = -3,       // not a JSON document (also a truncated one)
        NotObject = -4,     // the document is not a JSON object
        BadMemberType = -5  // "dbcFilePath" not a string, or "msgList" / "sigList" not an array
    };

    DbcPrjFile() = default;

    // Stores the project path and empties both lists.
    void setPrjFilePath(const QString &path);
    QString prjFilePath() const { return prjPath; }

    void setDbcFilePath(const QString &path);
    void getDbcFilePath(QString &path) const;
    QString dbcFilePath() const { return dbcPath; }

    // Empties both lists.
    void clear();

    // Append copies, in order; the target of a get is not emptied first.
    void addMessageList(const QVector<QUserDbcMsg> &list);
    void getMessageList(QVector<QUserDbcMsg> &list) const;
    void addSignalList(const QVector<QUserDbcSignal> &list);
    void getSignalList(QVector<QUserDbcSignal> &list) const;
    // Appends the map's messages in ascending name order.
    void addMessageMap(const QMap<QString, QUserDbcMsg> &map);
    // map[strName] <- each message of the list in order (a later message of
    // the same name replaces an earlier one).
    void getMessageMap(QMap<QString, QUserDbcMsg> &map) const;

    const QVector<QUserDbcMsg> &messageList() const { return msgList; }
    const QVector<QUserDbcSignal> &signalList() const { return sigList; }

    // Writes the project file; Ok or SaveFailed (logged as
    // "DBC Prj File <path> Save Fail...").
    int save();
    // Reads a project file; Ok, or one of the errors above with the DBC path
    // and both lists as they were.
    int load(const QString &path);
    // The same from the file's bytes (the part of load after reading).
    int loadBytes(const QByteArray &bytes);

    // The whole document as save writes it.
    QByteArray toJsonBytes() const;

    // One record to and from its JSON object. The readers start from the
    // record as given (callers pass a freshly constructed one); a key that
    // the object lacks leaves that field as it was.
    static bool messageToJson(const QUserDbcMsg &msg, QJsonObject &obj);
    static bool signalToJson(const QUserDbcSignal &sig, QJsonObject &obj);
    static bool messageFromJson(const QJsonObject &obj, QUserDbcMsg &msg);
    static bool signalFromJson(const QJsonObject &obj, QUserDbcSignal &sig);
    static bool valDesPairFromJson(const QJsonObject &obj, QUserDbcSignal &sig);

private:
    QString prjPath;
    QString dbcPath;
    QVector<QUserDbcMsg> msgList;
    QVector<QUserDbcSignal> sigList;
};
