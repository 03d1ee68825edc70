#include "canopen/QUserDictObj.h"

#include <QDateTime>
#include <QDebug>

int QUserDictObj::dataTypeSize(uint16_t dataType)
{
    switch (dataType) {
    case 1: // BOOLEAN
    case 2: // INTEGER8
    case 5: // UNSIGNED8
        return 1;
    case 3: // INTEGER16
    case 6: // UNSIGNED16
        return 2;
    case 4: // INTEGER32
    case 7: // UNSIGNED32
    case 8: // REAL32
        return 4;
    default:
        return 64;
    }
}

int QUserDictObj::dataTypeSize() const
{
    return dataTypeSize(DataType);
}

int QUserDictObj::mapBits() const
{
    return mapBitLength ? int(mapBitLength) : 8 * dataTypeSize();
}

bool QUserDictObj::isReadable() const
{
    return AccessType.contains(QLatin1Char('r'), Qt::CaseInsensitive)
        || AccessType.trimmed().compare(QLatin1String("const"), Qt::CaseInsensitive) == 0;
}

bool QUserDictObj::isWritable() const
{
    return AccessType.contains(QLatin1Char('w'), Qt::CaseInsensitive);
}

bool QUserDictObj::updateTimeSet()
{
    updateTime = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss:zzz"));
    return true;
}

static QString signedWithHex(int32_t v)
{
    return QString::asprintf("%d(0x%08X)", v, uint32_t(v));
}

bool QUserDictObj::toString(QList<QStringList> &rows) const
{
    const QString name = QStringLiteral("ParameterName");
    if (ObjectType == 7) {
        rows << QStringList{name, ParameterName}
             << QStringList{QStringLiteral("Index"), QString::asprintf("0x%04X", index)}
             << QStringList{QStringLiteral("SubIndex"), QString::asprintf("0x%02X", subIndex)}
             << QStringList{QStringLiteral("ObjectType"), objectTypeText(*this)}
             << QStringList{QStringLiteral("DataType"), dataTypeText(*this)}
             << QStringList{QStringLiteral("LowLimit"), signedWithHex(LowLimit)}
             << QStringList{QStringLiteral("HighLimit"), signedWithHex(HighLimit)}
             << QStringList{QStringLiteral("DefaultValue"), signedWithHex(DefaultValue)}
             << QStringList{QStringLiteral("AccessType"), AccessType}
             << QStringList{QStringLiteral("PDOMapping"), PDOMapping ? QStringLiteral("true") : QStringLiteral("false")}
             << QStringList{QStringLiteral("ObjFlags"), QString::asprintf("0x%08X", ObjFlags)};
        return true;
    }
    if (ObjectType == 8 || ObjectType == 9) {
        rows << QStringList{name, ParameterName}
             << QStringList{QStringLiteral("Index"), QString::asprintf("0x%04X", index)}
             << QStringList{QStringLiteral("ObjectType"), objectTypeText(*this)}
             << QStringList{QStringLiteral("SubNumber"), QString::asprintf("%d", int(SubNumber))};
        return true;
    }
    qDebug() << ">"
             << QStringLiteral("Eds File Analysis Err:OBJ Convert To String Fail...<ObjectType:%1>")
                    .arg(QString::asprintf("0x%04X", unsigned(ObjectType)));
    return false;
}

QString objectTypeText(uint8_t objectType)
{
    switch (objectType) {
    case 0: return QStringLiteral("NULL");
    case 2: return QStringLiteral("DOMAIN");
    case 5: return QStringLiteral("DEFTYPE");
    case 6: return QStringLiteral("DEFSTRUCT");
    case 7: return QStringLiteral("VAR");
    case 8: return QStringLiteral("ARRAY");
    case 9: return QStringLiteral("RECORD");
    default: return QString();
    }
}

QString dataTypeText(uint16_t dataType)
{
    static const char *const names[] = {
        nullptr,          "BOOLEAN",      "INTEGER8",     "INTEGER16",      "INTEGER32",
        "UNSIGNED8",      "UNSIGNED16",   "UNSIGNED32",   "REAL32",         "VISIBLE_STRING",
        "OCTET_STRING",   "UNICODE_STRING", "TIME_OF_DAY", "TIME_DIFFERENCE",
    };
    if (dataType == 0 || dataType >= sizeof names / sizeof names[0])
        return QString();
    return QString::fromLatin1(names[dataType]);
}

QString objectTypeText(const QUserDictObj &obj)
{
    return objectTypeText(obj.ObjectType);
}

QString dataTypeText(const QUserDictObj &obj)
{
    return dataTypeText(obj.DataType);
}
