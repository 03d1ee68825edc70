#pragma once
// A CANopen project: the EDS file path, the listen list and the receive and
// transmit PDO records, kept as one JSON document (".prj"). Every number is
// written as a JSON string of its decimal text.

#include "canopen/QUserDictObj.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVector>

class QUserCANopenPrj
{
public:
    // prjLoad results.
    enum LoadResult { LoadOk = 0, LoadOpenFail = -2, LoadNotProject = -3 };

    int prjFilePathSet(const QString &path);          // also empties the three lists; 0
    bool edsFilePathSet(const QString &path);
    int edsFilePathGet(QString &path) const;
    QString prjFilePath() const { return prjPath; }

    void listenDictObjListSet(const QList<QUserDictObj> &list) { listenList = list; }
    void rxPdoDictObjListSet(const QList<QUserDictObj> &list) { rxPdoList = list; }
    void txPdoDictObjListSet(const QList<QUserDictObj> &list) { txPdoList = list; }
    int listenDictObjListGet(QList<QUserDictObj> &out) const;
    int rxPdoDictObjListGet(QList<QUserDictObj> &out) const;
    int txPdoDictObjListGet(QList<QUserDictObj> &out) const;
    // QVector forms for callers that keep their lists in vectors.
    void listenDictObjListSet(const QVector<QUserDictObj> &list) { listenList = list.toList(); }
    void rxPdoDictObjListSet(const QVector<QUserDictObj> &list) { rxPdoList = list.toList(); }
    void txPdoDictObjListSet(const QVector<QUserDictObj> &list) { txPdoList = list.toList(); }

    // Writes the project file at the project file path through a temporary
    // file that replaces it only when complete: 0 written; -1 (with a log
    // line) when it cannot be written, the previous file left as it was.
    int prjSave();
    // Reads a project file: 0 done; -2 the file cannot be opened; -3 its
    // content is not a project (not JSON, not an object, or an object with
    // none of the four project members). On failure nothing changes.
    int prjLoad(const QString &path);

    static bool dictObjToJson(const QUserDictObj &obj, QJsonObject &json);
    static bool jsonToDictObj(const QJsonObject &json, QUserDictObj &obj);
    // The whole document as written (indented JSON, UTF-8).
    QByteArray prjText() const;

private:
    QString prjPath;
    QString edsPath;
    QList<QUserDictObj> listenList;
    QList<QUserDictObj> rxPdoList;
    QList<QUserDictObj> txPdoList;
};
