#include "canopen/QUserCANopenPrj.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSaveFile>

namespace {

const char kEdsFilePath[] = "edsFilePath";
const char kListen[] = "listenDictObjList";
const char kRxPdo[] = "RxPdoDictObjList";
const char kTxPdo[] = "TxPdoDictObjList";

QString u(uint32_t v)
{
    return QString::number(v);
}

QString s(int64_t v)
{
    return QString::number(qlonglong(v));
}

QString b(bool v)
{
    return v ? QStringLiteral("1") : QStringLiteral("0");
}

// Unsigned decimal text (32 bits); 0 for anything else, a JSON number included.
uint32_t readU(const QJsonValue &v)
{
    bool ok = false;
    const uint32_t n = v.toString().toUInt(&ok, 10);
    return ok ? n : 0;
}

// Signed decimal text (64 bits: the EDS values of the wide types); 0 for
// anything else.
int64_t readS(const QJsonValue &v)
{
    bool ok = false;
    const qlonglong n = v.toString().toLongLong(&ok, 10);
    return ok ? int64_t(n) : 0;
}

QJsonArray listToJson(const QList<QUserDictObj> &list)
{
    QJsonArray array;
    for (const QUserDictObj &obj : list) {
        QJsonObject json;
        if (QUserCANopenPrj::dictObjToJson(obj, json))
            array.append(json);
    }
    return array;
}

void jsonToList(const QJsonValue &value, QList<QUserDictObj> &out)
{
    if (!value.isArray())
        return;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            continue;
        QUserDictObj obj;
        if (QUserCANopenPrj::jsonToDictObj(element.toObject(), obj))
            out.append(obj);
    }
}

} // namespace

int QUserCANopenPrj::prjFilePathSet(const QString &path)
{
    prjPath = path;
    listenList.clear();
    rxPdoList.clear();
    txPdoList.clear();
    return 0;
}

bool QUserCANopenPrj::edsFilePathSet(const QString &path)
{
    edsPath = path;
    return true;
}

int QUserCANopenPrj::edsFilePathGet(QString &path) const
{
    path = edsPath;
    return 0;
}

int QUserCANopenPrj::listenDictObjListGet(QList<QUserDictObj> &out) const
{
    out += listenList;
    return 0;
}

int QUserCANopenPrj::rxPdoDictObjListGet(QList<QUserDictObj> &out) const
{
    out += rxPdoList;
    return 0;
}

int QUserCANopenPrj::txPdoDictObjListGet(QList<QUserDictObj> &out) const
{
    out += txPdoList;
    return 0;
}

bool QUserCANopenPrj::dictObjToJson(const QUserDictObj &o, QJsonObject &json)
{
    json.insert(QStringLiteral("isRoot"), b(o.isRoot));
    json.insert(QStringLiteral("index"), u(o.index));
    json.insert(QStringLiteral("subIndex"), u(o.subIndex));
    json.insert(QStringLiteral("SubNumber"), u(o.SubNumber));
    json.insert(QStringLiteral("ParameterName"), o.ParameterName);
    json.insert(QStringLiteral("ObjectType"), u(o.ObjectType));
    json.insert(QStringLiteral("DataType"), u(o.DataType));
    json.insert(QStringLiteral("DefaultValue"), s(o.DefaultValue));
    json.insert(QStringLiteral("LowLimit"), s(o.LowLimit));
    json.insert(QStringLiteral("HighLimit"), s(o.HighLimit));
    json.insert(QStringLiteral("curValue"), u(o.curValue));
    json.insert(QStringLiteral("AccessType"), o.AccessType);
    json.insert(QStringLiteral("PDOMapping"), b(o.PDOMapping));
    json.insert(QStringLiteral("ObjFlags"), u(o.ObjFlags));
    json.insert(QStringLiteral("color"), o.color);
    QJsonArray children;
    for (const QUserDictObj &child : o.childList) {
        QJsonObject c;
        dictObjToJson(child, c);
        children.append(c);
    }
    json.insert(QStringLiteral("childList"), children);
    json.insert(QStringLiteral("cobID"), u(o.cobID));
    json.insert(QStringLiteral("transmissionType"), u(o.transmissionType));
    json.insert(QStringLiteral("syncStartValue"), u(o.syncStartValue));
    json.insert(QStringLiteral("inhibitTime"), u(o.inhibitTime));
    json.insert(QStringLiteral("eventTime"), u(o.eventTime));
    // The file keeps bit 31 of the COB-ID entry: "1" means the PDO is not valid.
    json.insert(QStringLiteral("pdoEnable"), b(!o.pdoEnable));
    if (o.mapBitLength)
        json.insert(QStringLiteral("mapBitLength"), u(o.mapBitLength));
    return true;
}

bool QUserCANopenPrj::jsonToDictObj(const QJsonObject &json, QUserDictObj &o)
{
    for (auto it = json.constBegin(); it != json.constEnd(); ++it) {
        const QString &k = it.key();
        const QJsonValue v = it.value();
        if (k == QLatin1String("isRoot"))
            o.isRoot = readU(v) != 0;
        else if (k == QLatin1String("index"))
            o.index = readU(v);
        else if (k == QLatin1String("subIndex"))
            o.subIndex = readU(v);
        else if (k == QLatin1String("SubNumber"))
            o.SubNumber = readU(v);
        else if (k == QLatin1String("ParameterName"))
            o.ParameterName = v.toString();
        else if (k == QLatin1String("ObjectType"))
            o.ObjectType = uint8_t(readU(v));
        else if (k == QLatin1String("DataType"))
            o.DataType = uint16_t(readU(v));
        else if (k == QLatin1String("DefaultValue"))
            o.DefaultValue = readS(v);
        else if (k == QLatin1String("LowLimit"))
            o.LowLimit = readS(v);
        else if (k == QLatin1String("HighLimit"))
            o.HighLimit = readS(v);
        else if (k == QLatin1String("curValue"))
            o.curValue = readU(v);
        else if (k == QLatin1String("AccessType"))
            o.AccessType = v.toString();
        else if (k == QLatin1String("PDOMapping"))
            o.PDOMapping = readU(v) != 0;
        else if (k == QLatin1String("ObjFlags"))
            o.ObjFlags = readU(v);
        else if (k == QLatin1String("color"))
            o.color = v.toString();
        else if (k == QLatin1String("childList"))
            jsonToList(v, o.childList);
        else if (k == QLatin1String("cobID"))
            o.cobID = readU(v);
        else if (k == QLatin1String("transmissionType"))
            o.transmissionType = uint8_t(readU(v));
        else if (k == QLatin1String("syncStartValue"))
            o.syncStartValue = uint8_t(readU(v));
        else if (k == QLatin1String("inhibitTime"))
            o.inhibitTime = uint16_t(readU(v));
        else if (k == QLatin1String("eventTime"))
            o.eventTime = uint16_t(readU(v));
        else if (k == QLatin1String("pdoEnable"))
            o.pdoEnable = readU(v) == 0;
        else if (k == QLatin1String("mapBitLength"))
            o.mapBitLength = uint8_t(readU(v));
    }
    return true;
}

QByteArray QUserCANopenPrj::prjText() const
{
    QJsonObject root;
    root.insert(QLatin1String(kEdsFilePath), edsPath);
    root.insert(QLatin1String(kListen), listToJson(listenList));
    root.insert(QLatin1String(kRxPdo), listToJson(rxPdoList));
    root.insert(QLatin1String(kTxPdo), listToJson(txPdoList));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

int QUserCANopenPrj::prjSave()
{
    const QByteArray text = prjText();
    // The text goes to a temporary file that replaces the project file only
    // once all of it is on disk; a failed write leaves the old file alone.
    // (The write error of the final flush is not seen by commit() itself.)
    QSaveFile file(prjPath);
    bool ok = !prjPath.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(text) == text.size()
        && file.flush() && file.error() == QFileDevice::NoError;
    if (!ok && file.isOpen())
        file.cancelWriting();
    if (file.isOpen())
        ok = file.commit() && ok;
    if (!ok) {
        qDebug() << ">" << QStringLiteral("CANOPEN Prj File %1 Save Fail...").arg(prjPath);
        return -1;
    }
    return 0;
}

int QUserCANopenPrj::prjLoad(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return LoadOpenFail;
    const QByteArray text = file.readAll();
    file.close();

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    const QJsonObject root = doc.object();
    const bool isProject = error.error == QJsonParseError::NoError && doc.isObject()
        && (root.contains(QLatin1String(kEdsFilePath)) || root.contains(QLatin1String(kListen))
            || root.contains(QLatin1String(kRxPdo)) || root.contains(QLatin1String(kTxPdo)));
    if (!isProject) {
        qDebug() << ">" << QStringLiteral("CANOPEN Prj File %1 Is Not A Project...").arg(path);
        return LoadNotProject;
    }

    QList<QUserDictObj> listen, rx, tx;
    QString eds = edsPath;
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (it.key() == QLatin1String(kEdsFilePath))
            eds = it.value().toString();
        else if (it.key() == QLatin1String(kListen))
            jsonToList(it.value(), listen);
        else if (it.key() == QLatin1String(kRxPdo))
            jsonToList(it.value(), rx);
        else if (it.key() == QLatin1String(kTxPdo))
            jsonToList(it.value(), tx);
    }
    edsPath = eds;
    listenList = listen;
    rxPdoList = rx;
    txPdoList = tx;
    return LoadOk;
}
