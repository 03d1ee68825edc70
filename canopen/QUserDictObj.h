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
    int32_t DefaultValue = 0;
    int32_t LowLimit = 0;
    int32_t HighLimit = 0;
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
    // false (nothing appended, one log line) for other object types.
    bool toString(QList<QStringList> &rows) const;

    static int dataTypeSize(uint16_t dataType);
};

QString objectTypeText(const QUserDictObj &obj);
QString dataTypeText(const QUserDictObj &obj);
QString objectTypeText(uint8_t objectType);
QString dataTypeText(uint16_t dataType);
