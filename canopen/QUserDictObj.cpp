#include "canopen/QUserDictObj.h"

#include "canopen/QUserEdsNumber.h"

#include <QDateTime>
#include <QDebug>

namespace {

// The CiA 301 data types the dictionary knows. size: the bytes the
// transfers and PDO mappings take (64 for everything outside 1..8, a fixed
// answer of this program); bits: the width of an integer type's value.
struct DataTypeFacts
{
    uint16_t code;
    const char *name;
    int size;
    int bits;
    bool isSigned;
};

// clang-format off
const DataTypeFacts kDataTypes[] = {
    {0x01, "BOOLEAN", 1, 8, false},
    {0x02, "INTEGER8", 1, 8, true},
    {0x03, "INTEGER16", 2, 16, true},
    {0x04, "INTEGER32", 4, 32, true},
    {0x05, "UNSIGNED8", 1, 8, false},
    {0x06, "UNSIGNED16", 2, 16, false},
    {0x07, "UNSIGNED32", 4, 32, false},
    {0x08, "REAL32", 4, 0, false},
    {0x09, "VISIBLE_STRING", 64, 0, false},
    {0x0A, "OCTET_STRING", 64, 0, false},
    {0x0B, "UNICODE_STRING", 64, 0, false},
    {0x0C, "TIME_OF_DAY", 64, 0, false},
    {0x0D, "TIME_DIFFERENCE", 64, 0, false},
    {0x10, nullptr, 64, 24, true},  // INTEGER24
    {0x12, nullptr, 64, 40, true},  // INTEGER40
    {0x13, nullptr, 64, 48, true},  // INTEGER48
    {0x14, nullptr, 64, 56, true},  // INTEGER56
    {0x15, nullptr, 64, 64, true},  // INTEGER64
    {0x16, nullptr, 64, 24, false}, // UNSIGNED24
    {0x18, nullptr, 64, 40, false}, // UNSIGNED40
    {0x19, nullptr, 64, 48, false}, // UNSIGNED48
    {0x1A, nullptr, 64, 56, false}, // UNSIGNED56
    {0x1B, nullptr, 64, 64, false}, // UNSIGNED64
};
// clang-format on

const DataTypeFacts *facts(uint16_t code)
{
    for (const DataTypeFacts &f : kDataTypes)
        if (f.code == code)
            return &f;
    return nullptr;
}

// A formula's value for a node, or the stored number for a plain one.
int64_t valueFor(uint16_t dataType, int64_t stored, const QString &formula, int node)
{
    if (formula.isEmpty())
        return stored;
    int64_t v = 0;
    if (!edsnumber::parse(formula, node, v))
        return stored;
    return QUserDictObj::typedValue(dataType, v);
}

} // namespace

int QUserDictObj::dataTypeSize(uint16_t dataType)
{
    const DataTypeFacts *f = facts(dataType);
    return f ? f->size : 64;
}

int QUserDictObj::dataTypeBits(uint16_t dataType)
{
    const DataTypeFacts *f = facts(dataType);
    return f ? f->bits : 0;
}

bool QUserDictObj::dataTypeSigned(uint16_t dataType)
{
    const DataTypeFacts *f = facts(dataType);
    return f && f->isSigned;
}

int64_t QUserDictObj::typedValue(uint16_t dataType, int64_t raw)
{
    const int bits = dataTypeBits(dataType);
    if (bits == 0)
        return int64_t(int32_t(uint32_t(uint64_t(raw))));
    if (bits >= 64)
        return raw;
    const uint64_t mask = (uint64_t(1) << bits) - 1;
    const uint64_t v = uint64_t(raw) & mask;
    if (dataTypeSigned(dataType) && (v >> (bits - 1)))
        return int64_t(v | ~mask);
    return int64_t(v);
}

QString QUserDictObj::typedText(uint16_t dataType, int64_t value)
{
    if (dataType == 0x1B)
        return QString::number(qulonglong(value));
    return QString::number(qlonglong(value));
}

QString QUserDictObj::typedTextWithHex(uint16_t dataType, int64_t value)
{
    const int bits = dataTypeBits(dataType);
    if (bits > 32) {
        const uint64_t mask = bits >= 64 ? UINT64_MAX : (uint64_t(1) << bits) - 1;
        return typedText(dataType, value)
            + QString::asprintf("(0x%0*llX)", bits / 4, (unsigned long long)(uint64_t(value) & mask));
    }
    return typedText(dataType, value) + QString::asprintf("(0x%08X)", uint32_t(uint64_t(value)));
}

int64_t QUserDictObj::defaultValueFor(int node) const
{
    return valueFor(DataType, DefaultValue, DefaultValueFormula, node);
}

int64_t QUserDictObj::lowLimitFor(int node) const
{
    return valueFor(DataType, LowLimit, LowLimitFormula, node);
}

int64_t QUserDictObj::highLimitFor(int node) const
{
    return valueFor(DataType, HighLimit, HighLimitFormula, node);
}

QUserDictObj QUserDictObj::resolvedFor(int node) const
{
    QUserDictObj out(*this);
    out.DefaultValue = defaultValueFor(node);
    out.LowLimit = lowLimitFor(node);
    out.HighLimit = highLimitFor(node);
    out.DefaultValueFormula.clear();
    out.LowLimitFormula.clear();
    out.HighLimitFormula.clear();
    for (QUserDictObj &child : out.childList)
        child = child.resolvedFor(node);
    return out;
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

bool QUserDictObj::toString(QList<QStringList> &rows, int node) const
{
    // A formula as the EDS writes it, and what it comes to for the node.
    auto number = [this, node](int64_t stored, const QString &formula, int64_t resolved) {
        if (formula.isEmpty())
            return typedTextWithHex(DataType, stored);
        if (node == 0)
            return formula;
        return formula + QStringLiteral(" = ") + typedTextWithHex(DataType, resolved);
    };
    const QString name = QStringLiteral("ParameterName");
    if (ObjectType == 7) {
        rows << QStringList{name, ParameterName}
             << QStringList{QStringLiteral("Index"), QString::asprintf("0x%04X", index)}
             << QStringList{QStringLiteral("SubIndex"), QString::asprintf("0x%02X", subIndex)}
             << QStringList{QStringLiteral("ObjectType"), objectTypeText(*this)}
             << QStringList{QStringLiteral("DataType"), dataTypeText(*this)}
             << QStringList{QStringLiteral("LowLimit"), number(LowLimit, LowLimitFormula, lowLimitFor(node))}
             << QStringList{QStringLiteral("HighLimit"), number(HighLimit, HighLimitFormula, highLimitFor(node))}
             << QStringList{QStringLiteral("DefaultValue"),
                            number(DefaultValue, DefaultValueFormula, defaultValueFor(node))}
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
    const DataTypeFacts *f = facts(dataType);
    return f && f->name ? QString::fromLatin1(f->name) : QString();
}

QString objectTypeText(const QUserDictObj &obj)
{
    return objectTypeText(obj.ObjectType);
}

QString dataTypeText(const QUserDictObj &obj)
{
    return dataTypeText(obj.DataType);
}
