#include "dbc/DbcPrjFile.h"

#include "dbc/DbcNumberText.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

#include <cmath>

namespace {

const QString kDbcFilePath = QStringLiteral("dbcFilePath");
const QString kMsgList = QStringLiteral("msgList");
const QString kSigList = QStringLiteral("sigList");

QString dec(quint64 v)
{
    return QString::number(v);
}

QString decSigned(qint64 v)
{
    return QString::number(v);
}

// Readers of one key; a missing key leaves the field untouched, a value that
// is not a JSON string reads as empty text and so as 0.
bool has(const QJsonObject &o, const QString &key, QString &text)
{
    const auto it = o.constFind(key);
    if (it == o.constEnd())
        return false;
    text = it.value().toString();
    return true;
}

void readText(const QJsonObject &o, const QString &key, QString &field)
{
    QString t;
    if (has(o, key, t))
        field = t;
}

void readU32(const QJsonObject &o, const QString &key, quint32 &field)
{
    QString t;
    if (has(o, key, t))
        field = DbcNumberText::toUInt32(t);
}

void readI32(const QJsonObject &o, const QString &key, qint32 &field)
{
    QString t;
    if (has(o, key, t))
        field = DbcNumberText::toInt32(t);
}

void readI64(const QJsonObject &o, const QString &key, qint64 &field)
{
    QString t;
    if (has(o, key, t))
        field = DbcNumberText::toInt64(t);
}

// Low 8 bits of an unsigned decimal.
void readU8(const QJsonObject &o, const QString &key, quint8 &field)
{
    QString t;
    if (has(o, key, t))
        field = quint8(DbcNumberText::toUInt32(t) & 0xFFu);
}

// An unsigned decimal as a flag: any non-zero value gives 1.
void readFlag(const QJsonObject &o, const QString &key, quint8 &field)
{
    QString t;
    if (has(o, key, t))
        field = DbcNumberText::toUInt32(t) != 0 ? 1 : 0;
}

void readDouble(const QJsonObject &o, const QString &key, double &field)
{
    QString t;
    if (has(o, key, t))
        field = DbcNumberText::toDouble(t);
}

QJsonArray signalArray(const QVector<QUserDbcSignal> &list)
{
    QJsonArray a;
    for (const QUserDbcSignal &s : list) {
        QJsonObject o;
        DbcPrjFile::signalToJson(s, o);
        a.append(o);
    }
    return a;
}

} // namespace

void DbcPrjFile::setPrjFilePath(const QString &path)
{
    prjPath = path;
    clear();
}

void DbcPrjFile::setDbcFilePath(const QString &path)
{
    dbcPath = path;
}

void DbcPrjFile::getDbcFilePath(QString &path) const
{
    path = dbcPath;
}

void DbcPrjFile::clear()
{
    msgList.clear();
    sigList.clear();
}

void DbcPrjFile::addMessageList(const QVector<QUserDbcMsg> &list)
{
    msgList += list;
}

void DbcPrjFile::getMessageList(QVector<QUserDbcMsg> &list) const
{
    list += msgList;
}

void DbcPrjFile::addSignalList(const QVector<QUserDbcSignal> &list)
{
    sigList += list;
}

void DbcPrjFile::getSignalList(QVector<QUserDbcSignal> &list) const
{
    list += sigList;
}

void DbcPrjFile::addMessageMap(const QMap<QString, QUserDbcMsg> &map)
{
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        msgList.append(it.value());
}

void DbcPrjFile::getMessageMap(QMap<QString, QUserDbcMsg> &map) const
{
    for (const QUserDbcMsg &m : msgList)
        map.insert(m.strName, m);
}

bool DbcPrjFile::signalToJson(const QUserDbcSignal &s, QJsonObject &o)
{
    o.insert(QStringLiteral("msgId"), dec(s.msgId));
    o.insert(QStringLiteral("msgName"), s.msgName);
    o.insert(QStringLiteral("color"), s.color);
    o.insert(QStringLiteral("chartEnable"), dec(s.chartEnable));
    o.insert(QStringLiteral("nStartBit"), decSigned(s.nStartBit));
    o.insert(QStringLiteral("nLen"), dec(s.nLen));
    o.insert(QStringLiteral("nFactor"), DbcNumberText::g16(s.nFactor));
    o.insert(QStringLiteral("nOffset"), DbcNumberText::g16(s.nOffset));
    o.insert(QStringLiteral("nMin"), DbcNumberText::g16(s.nMin));
    o.insert(QStringLiteral("nMax"), DbcNumberText::g16(s.nMax));
    o.insert(QStringLiteral("nRawValue"), decSigned(s.nRawValue));
    o.insert(QStringLiteral("nPhysicalValue"), DbcNumberText::g16(s.nPhysicalValue));
    o.insert(QStringLiteral("isSigned"), dec(s.isSigned));
    o.insert(QStringLiteral("isMotorola"), dec(s.isMotorola));
    o.insert(QStringLiteral("multiplexerType"), dec(s.multiplexerType));
    o.insert(QStringLiteral("valType"), dec(s.valType));
    o.insert(QStringLiteral("multiplexerValue"), dec(s.multiplexerValue));
    o.insert(QStringLiteral("unit"), s.unit);
    o.insert(QStringLiteral("strName"), s.strName);
    o.insert(QStringLiteral("strComment"), s.strComment);
    QJsonArray pairs;
    for (auto it = s.valDesPair.constBegin(); it != s.valDesPair.constEnd(); ++it) {
        QJsonObject p;
        p.insert(QStringLiteral("value"), DbcNumberText::f16(it.key()));
        p.insert(QStringLiteral("desc"), it.value());
        pairs.append(p);
    }
    o.insert(QStringLiteral("valDesPair"), pairs);
    return true;
}

bool DbcPrjFile::messageToJson(const QUserDbcMsg &m, QJsonObject &o)
{
    o.insert(QStringLiteral("nID"), dec(m.nID));
    o.insert(QStringLiteral("nSize"), dec(m.nSize));
    o.insert(QStringLiteral("nCycleTime"), DbcNumberText::g16(m.nCycleTime));
    o.insert(QStringLiteral("nExtend"), dec(m.nExtend));
    o.insert(QStringLiteral("vSignals"), signalArray(m.vSignals));
    o.insert(QStringLiteral("strName"), m.strName);
    o.insert(QStringLiteral("strComment"), m.strComment);
    return true;
}

bool DbcPrjFile::valDesPairFromJson(const QJsonObject &o, QUserDbcSignal &s)
{
    // A pair without "value" (or with a value that does not read) goes under
    // 0. A NaN value cannot be a key of an ordered map; such a pair is left
    // out.
    double value = 0.0;
    readDouble(o, QStringLiteral("value"), value);
    if (std::isnan(value))
        return true;
    s.valDesPair.insert(value, o.value(QStringLiteral("desc")).toString());
    return true;
}

bool DbcPrjFile::signalFromJson(const QJsonObject &o, QUserDbcSignal &s)
{
    readU32(o, QStringLiteral("msgId"), s.msgId);
    readText(o, QStringLiteral("msgName"), s.msgName);
    readText(o, QStringLiteral("color"), s.color);
    readFlag(o, QStringLiteral("chartEnable"), s.chartEnable);
    readI32(o, QStringLiteral("nStartBit"), s.nStartBit);
    readU32(o, QStringLiteral("nLen"), s.nLen);
    readDouble(o, QStringLiteral("nFactor"), s.nFactor);
    readDouble(o, QStringLiteral("nOffset"), s.nOffset);
    readDouble(o, QStringLiteral("nMin"), s.nMin);
    readDouble(o, QStringLiteral("nMax"), s.nMax);
    readI64(o, QStringLiteral("nRawValue"), s.nRawValue);
    readDouble(o, QStringLiteral("nPhysicalValue"), s.nPhysicalValue);
    readFlag(o, QStringLiteral("isSigned"), s.isSigned);
    readFlag(o, QStringLiteral("isMotorola"), s.isMotorola);
    readU8(o, QStringLiteral("multiplexerType"), s.multiplexerType);
    readU8(o, QStringLiteral("valType"), s.valType);
    readU32(o, QStringLiteral("multiplexerValue"), s.multiplexerValue);
    readText(o, QStringLiteral("unit"), s.unit);
    readText(o, QStringLiteral("strName"), s.strName);
    readText(o, QStringLiteral("strComment"), s.strComment);
    const QJsonValue pairs = o.value(QStringLiteral("valDesPair"));
    if (pairs.isArray()) {
        for (const QJsonValue &p : pairs.toArray())
            if (p.isObject())
                valDesPairFromJson(p.toObject(), s);
    }
    return true;
}

bool DbcPrjFile::messageFromJson(const QJsonObject &o, QUserDbcMsg &m)
{
    readU32(o, QStringLiteral("nID"), m.nID);
    readU32(o, QStringLiteral("nSize"), m.nSize);
    readDouble(o, QStringLiteral("nCycleTime"), m.nCycleTime);
    readU8(o, QStringLiteral("nExtend"), m.nExtend);
    readText(o, QStringLiteral("strName"), m.strName);
    readText(o, QStringLiteral("strComment"), m.strComment);
    const QJsonValue sigs = o.value(QStringLiteral("vSignals"));
    if (sigs.isArray()) {
        for (const QJsonValue &v : sigs.toArray()) {
            if (!v.isObject())
                continue;
            QUserDbcSignal s;
            signalFromJson(v.toObject(), s);
            m.vSignals.append(s);
        }
    }
    return true;
}

QByteArray DbcPrjFile::toJsonBytes() const
{
    QJsonObject top;
    top.insert(kDbcFilePath, dbcPath);
    QJsonArray msgs;
    for (const QUserDbcMsg &m : msgList) {
        QJsonObject o;
        messageToJson(m, o);
        msgs.append(o);
    }
    top.insert(kMsgList, msgs);
    top.insert(kSigList, signalArray(sigList));
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

int DbcPrjFile::save()
{
    const QByteArray bytes = toJsonBytes();
    QSaveFile f(prjPath);
    bool ok = f.open(QIODevice::WriteOnly);
    if (ok)
        ok = f.write(bytes) == bytes.size();
    if (ok)
        ok = f.commit();
    else if (f.isOpen())
        f.cancelWriting();
    if (!ok) {
        qDebug().noquote() << QStringLiteral("DBC Prj File %1 Save Fail...").arg(prjPath);
        return SaveFailed;
    }
    return Ok;
}

int DbcPrjFile::load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return OpenFailed;
    const QByteArray bytes = f.readAll();
    f.close();
    return loadBytes(bytes);
}

int DbcPrjFile::loadBytes(const QByteArray &bytes)
{
    // A byte order mark, as some editors write one, is not part of the JSON.
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &err);
    if (err.error != QJsonParseError::NoError)
        return NotJson;
    if (!doc.isObject())
        return NotObject;
    const QJsonObject top = doc.object();

    const auto pathIt = top.constFind(kDbcFilePath);
    const auto msgIt = top.constFind(kMsgList);
    const auto sigIt = top.constFind(kSigList);
    if ((pathIt != top.constEnd() && !pathIt.value().isString())
        || (msgIt != top.constEnd() && !msgIt.value().isArray())
        || (sigIt != top.constEnd() && !sigIt.value().isArray()))
        return BadMemberType;

    QVector<QUserDbcMsg> msgs;
    if (msgIt != top.constEnd()) {
        for (const QJsonValue &v : msgIt.value().toArray()) {
            if (!v.isObject())
                continue;
            QUserDbcMsg m;
            messageFromJson(v.toObject(), m);
            msgs.append(m);
        }
    }
    QVector<QUserDbcSignal> sigs;
    if (sigIt != top.constEnd()) {
        for (const QJsonValue &v : sigIt.value().toArray()) {
            if (!v.isObject())
                continue;
            QUserDbcSignal s;
            signalFromJson(v.toObject(), s);
            sigs.append(s);
        }
    }

    if (pathIt != top.constEnd())
        dbcPath = pathIt.value().toString();
    msgList = msgs;
    sigList = sigs;
    return Ok;
}
