#pragma once
// One object-dictionary record: an EDS object or sub-object, a listen-list
// entry, an item of an SDO transfer list, or one of the eight PDO records
// (RPDO1..RPDO4, TPDO1..TPDO4). A plain value type; children are copied by
// value. Field names double as the member names of the CANopen project file.

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

class QUserDictObj
{
public:
    bool isRoot = false;          // an object (section named by four hex digits)
    bool isRead = true;           // SDO list item: true upload, false download of curValue
    uint32_t index = 0;
    uint32_t subIndex = 0;
    uint32_t SubNumber = 0;
    QString ParameterName;
    uint8_t ObjectType = 0;
    uint16_t DataType = 0;
    uint32_t curValue = 0;
    // The EDS numbers as the object's data type reads them (signed types
    // sign-extended from their width, unsigned ones zero-extended, UNSIGNED64
    // as its 64 bits); other types keep the low 32 bits as a signed number. A
    // value written as a node-id formula ("$NODEID+0x180") holds the value
    // for node 0 here and its text below: *For(node) resolves it.
    int64_t DefaultValue = 0;
    int64_t LowLimit = 0;
    int64_t HighLimit = 0;
    QString AccessType = QStringLiteral("ro");
    bool PDOMapping = false;
    uint32_t ObjFlags = 0;
    QString color;
    QString updateTime;
    QList<QUserDictObj> childList;

    // PDO record fields.
    uint32_t cobID = 0;           // bits 0-30 of the COB-ID entry
    uint8_t transmissionType = 0;
    uint8_t syncStartValue = 0;
    uint16_t inhibitTime = 0;
    uint16_t eventTime = 0;
    // True when the PDO is valid, i.e. it runs on the device: bit 31 of the
    // COB-ID entry is clear. The project file keeps the bit itself under
    // "pdoEnable" (the project code converts), so a new record, whose bit 31
    // is clear, reads true; the PDO records start as not valid
    // (QUserEdsParser::pdoListInit).
    bool pdoEnable = true;
    uint32_t mapCount = 0;        // sub-index 0 of the mapping object as uploaded

    // A mapped object inside a PDO record: the bit length the mapping entry
    // carries (the low byte of the entry). 0: taken from the data type.
    uint8_t mapBitLength = 0;

    // The EDS texts of DefaultValue, LowLimit and HighLimit when they name
    // the node id ($NODEID, CiA 306); empty for plain numbers. Not stored in
    // project files (those keep numbers).
    QString DefaultValueFormula;
    QString LowLimitFormula;
    QString HighLimitFormula;

    // The three values for one node (1-127; 0 leaves $NODEID as 0).
    int64_t defaultValueFor(int node) const;
    int64_t lowLimitFor(int node) const;
    int64_t highLimitFor(int node) const;
    // The copy a given node sees: the formulas resolved into the numbers
    // (and dropped), for lists that leave the EDS behind (project files).
    QUserDictObj resolvedFor(int node) const;

    // (index << 16) + subIndex.
    uint32_t dictObjKey() const { return (index << 16) + subIndex; }
    // Bytes by DataType: 1..8 as CiA 301 sizes them, 64 for every other code.
    int dataTypeSize() const;
    // Bits the object takes in a PDO: mapBitLength when set, else 8 bytes per
    // byte of dataTypeSize (so 512 for types outside 1..8).
    int mapBits() const;
    // Readable: the access text holds r (either case), or is "const".
    bool isReadable() const;
    // Writable: the access text holds w (either case).
    bool isWritable() const;
    // updateTime = local time "hh:mm:ss:zzz".
    bool updateTimeSet();
    // Appends the attribute rows (name, value) of a VAR, ARRAY or RECORD;
    // false (nothing appended, one log line) for other object types. A
    // node-id formula shows as written, then "=" and its value for `node`
    // (only the text when node is 0).
    bool toString(QList<QStringList> &rows, int node = 0) const;

    static int dataTypeSize(uint16_t dataType);

    // ---- values by data type (CiA 301 codes) ----
    // Bits of an integer type (BOOLEAN 1 byte wide: 8), 0 for the others.
    static int dataTypeBits(uint16_t dataType);
    static bool dataTypeSigned(uint16_t dataType);
    // The number the low bits of raw mean for the type: the integer types
    // sign- or zero-extended from their width (UNSIGNED64 as its 64 bits),
    // any other type the low 32 bits as a signed number.
    static int64_t typedValue(uint16_t dataType, int64_t raw);
    // Decimal text of a typed value (UNSIGNED64 unsigned).
    static QString typedText(uint16_t dataType, int64_t value);
    // "%d(0x%08X)" of a typed value: the hexadecimal part as wide as the
    // type when it is wider than 32 bits, else 8 digits.
    static QString typedTextWithHex(uint16_t dataType, int64_t value);
};

QString objectTypeText(const QUserDictObj &obj);
QString dataTypeText(const QUserDictObj &obj);
QString objectTypeText(uint8_t objectType);
QString dataTypeText(uint16_t dataType);
