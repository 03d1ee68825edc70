#pragma once
// Reader of CANopen electronic data sheets (the INI-like EDS text) into the
// object dictionary, plus the eight PDO records the PDO configuration edits
// and the SDO transfer lists that write them to a device or read them back.
//
// The reader is tolerant: a line or section it does not understand is skipped
// with one debug line ("> ..."), and the rest of the file still loads.

#include "canopen/QUserDictObj.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

struct EdsFileInfo
{
    QString FileName;
    QString FileVersion;
    QString FileRevision;
    QString EDSVersion;
    QString Description;
    QString CreationTime;
    QString CreationDate;
    QString CreatedBy;
    QString ModificationTime;
    QString ModificationDate;
    QString ModifiedBy;
};

struct EdsDeviceInfo
{
    QString VendorName;
    QString VendorNumber;
    QString ProductName;
    QString ProductNumber;
    QString RevisionNumber;
    QString OrderCode;
    bool LSS_Supported = false;
    uint32_t NrOfRXPDO = 0;
    uint32_t NrOfTXPDO = 0;
};

// One section of the file as read: its name and its lines (blank lines and
// ";" comment lines left out), in file order; line: the header's line
// number (from 1).
struct EdsSection
{
    QString name;
    QStringList lines;
    int line = 0;
};

// What the last load could not read: the sections of objects, sub-objects
// and of the file and device information that were dropped or read only in
// part (a line that is no "key=value", an object section without one
// attribute the dictionary knows, a sub-object before its object, an
// object name that is no index). The other sections of an EDS
// (MandatoryObjects, Comments, ...) are not the dictionary's and never count.
struct EdsLoadReport
{
    int sections = 0;
    int damaged = 0;
    QString firstDamaged;     // name of the first damaged section
    int firstDamagedLine = 0; // line of its header
};

class QUserEdsParser
{
public:
    QUserEdsParser();

    EdsFileInfo fileInfo;
    EdsDeviceInfo deviceInfo;
    QList<QUserDictObj> dictObjList;   // one root per object, first appearance order
    QList<QUserDictObj> rxPdoList;     // RPDO1..RPDO4
    QList<QUserDictObj> txPdoList;     // TPDO1..TPDO4

    EdsLoadReport loadReport; // of the last loadFile

    // ---- loading ----
    // Reads the file in place of what was loaded before: dictionary, file and
    // device information start empty (the PDO records are kept: they are the
    // user's configuration, not the file's). False, with the parser
    // unchanged, when the file cannot be opened or nothing of it could be
    // read (no object, no file or device information); loadReport tells the
    // sections that could not be read either way.
    bool loadFile(const QString &path);
    // Decodes file bytes: UTF-8 when they are valid UTF-8, else GB18030 (the
    // code page EDS files of this program's users are written in).
    static QString textDecode(const QByteArray &bytes);
    // Cuts a text into sections. A section header is a line that, trimmed,
    // starts with "[" and ends with "]"; its name is the trimmed text between
    // them. Blank lines and lines starting with ";" are dropped; lines before
    // the first header belong to no section and are dropped too.
    static QList<EdsSection> sectionsSplit(const QString &text);
    static bool sectionsRead(const QString &path, QList<EdsSection> &out);

    bool edsSegAnalysis(const QString &name, const QStringList &lines);
    // key "=" value, both trimmed; false (and a log line) unless the line has
    // exactly one "=".
    static bool attributeGet(const QString &line, QString &key, QString &value);
    // "0x..." unsigned hexadecimal (leading zeros do not count; a wider
    // value keeps its low 32 bits; returned as signed), else signed decimal;
    // 0 for anything else (so "$NODEID+0x180" gives 0). The rule of the
    // codes and flags (ObjectType, DataType, ObjFlags); values, limits and
    // defaults read by the object's data type (valueParse).
    static int32_t numberParse(const QString &text);
    // A DefaultValue, LowLimit or HighLimit text for an object of dataType:
    // hexadecimal numbers and node-id formulas ($NODEID as 0) as the type
    // reads their bits (QUserDictObj::typedValue: 0xFFFE of an INTEGER16 is
    // -2), a decimal number as written (its sign is its own); 0 when it is
    // no number. *formula gets the text when it names the node id, else
    // empty.
    static int64_t valueParse(const QString &text, uint16_t dataType, QString *formula = nullptr);
    // The same rule for counts: hexadecimal with "0x", or unsigned decimal.
    static uint32_t countParse(const QString &text);
    // A flag such as PDOMapping: a number by the rule above is true when not
    // 0 ("0x0" is false); any other text, an empty one included, is true.
    static bool flagParse(const QString &text);
    static bool textBetween(const QString &text, int start, QChar open, QChar close, int &end, QString &out);

    bool fileInfoAnalysis(const QStringList &lines);
    bool deviceInfoAnalysis(const QStringList &lines);
    bool dictObjAnalysis(QUserDictObj &obj, const QStringList &lines);
    bool objSegAnalysis(uint32_t index, const QStringList &lines);
    bool subObjSegAnalysis(uint32_t index, uint32_t subIndex, const QStringList &lines);
    bool dictObjAdd(const QUserDictObj &obj);

    // ---- lookups (copy into out; false leaves out untouched) ----
    bool dictObjGet(uint32_t index, uint32_t subIndex, QUserDictObj &out) const;
    bool rootObjGet(uint32_t index, QUserDictObj &out) const;
    bool objGet(uint32_t index, uint32_t subIndex, QUserDictObj &out) const;
    bool dictObjLookup(uint32_t index, uint32_t subIndex, bool root, QUserDictObj &out) const;

    // ---- PDO records and their SDO lists ----
    void pdoListInit();
    // The SDO downloads that configure all eight PDOs on a device, PDO by PDO
    // (RPDO1..4, then TPDO1..4), each in the order CiA 301 asks for:
    //   COB-ID with bit 31 set (PDO invalid), transmission type, inhibit
    //   time, event timer, SYNC start value, mapping count 0, the mapping
    //   entries, the number of entries written, and last, for a PDO that is
    //   to run, the COB-ID with bit 31 clear.
    // Only sub-objects the dictionary has and marks writable are listed. A
    // PDO whose COB-ID cannot be used (pdoCobIdUsable) stays invalid; each
    // such case, and each mapping cut short, adds a line to *notes.
    bool pdoDownloadListGet(QVector<QUserDictObj> &out, QStringList *notes = nullptr) const;
    // The SDO uploads that read the eight PDOs back (communication objects,
    // then mapping objects); only readable sub-objects are listed.
    bool pdoUploadListGet(QVector<QUserDictObj> &out) const;
    // Rebuilds both PDO lists from an executed upload list.
    bool pdoListFromUpload(const QVector<QUserDictObj> &results);
    bool pdoMapEntryApply(QUserDictObj &pdo, const QUserDictObj &item) const;
    bool pdoCommParaApply(QUserDictObj &pdo, const QUserDictObj &item) const;

    // Parts of the lists above, per PDO list (rx: 0x1400/0x1600, tx: 0x1800/0x1A00).
    bool pdoCommParaUploadListGet(const QList<QUserDictObj> &pdos, bool rx, QVector<QUserDictObj> &out) const;
    bool pdoMapParaUploadListGet(const QList<QUserDictObj> &pdos, bool rx, QVector<QUserDictObj> &out) const;
    bool pdoDownloadOneGet(const QUserDictObj &pdo, int n, bool rx, QVector<QUserDictObj> &out, QStringList *notes) const;

    // A COB-ID (bits 0-30 as the record keeps them) a PDO may run on: its
    // identifier not 0, whatever bit 30 (no RTR on a TPDO, reserved on an
    // RPDO) says; an 11-bit one (bit 29 clear) fits 11 bits and lies
    // outside the identifiers CiA 301 keeps for other services (0x000-0x07F,
    // 0x101-0x180, 0x581-0x5FF, 0x601-0x67F, 0x6E0-0x6FF, 0x701-0x7FF).
    static bool pdoCobIdUsable(uint32_t cobId);
    // Mapping entry of a mapped record: index, sub-index and bit length as
    // bit fields; false when the bit length is not 1..64.
    static bool pdoMapEntryCompose(const QUserDictObj &mapped, uint32_t &entry);

    // True for a section name meant as an object or sub-object: hexadecimal
    // digits, alone or followed by "sub" (any case) and whatever follows.
    static bool objectSectionName(const QString &name);

private:
    // Lines refused and sub-objects without their object in the section
    // being read (loadFile counts a section with any as damaged).
    int segTrouble = 0;
};
