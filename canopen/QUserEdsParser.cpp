#include "canopen/QUserEdsParser.h"

#include "canopen/QUserEdsNumber.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QTextCodec>

namespace {

void logLine(const QString &text)
{
    qDebug() << ">" << text;
}

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// 1 to 8 hexadecimal digits, nothing else.
bool hexParse(const QString &text, uint32_t &out)
{
    if (text.isEmpty() || text.size() > 8)
        return false;
    uint32_t v = 0;
    for (QChar c : text) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | uint32_t(d);
    }
    out = v;
    return true;
}

// Decimal digits with an optional sign, within [lo, hi].
bool decimalParse(const QString &text, bool allowSign, int64_t lo, int64_t hi, int64_t &out)
{
    int i = 0;
    bool neg = false;
    if (allowSign && i < text.size() && (text[i] == '-' || text[i] == '+')) {
        neg = text[i] == '-';
        ++i;
    }
    if (i >= text.size())
        return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        const ushort u = text[i].unicode();
        if (u < '0' || u > '9')
            return false;
        v = v * 10 + (u - '0');
        if (v > (int64_t(1) << 33))
            return false;
    }
    if (neg)
        v = -v;
    if (v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// The hexadecimal digits of an EDS number, of any length: leading zeros do
// not count, and a value wider than 32 bits keeps its low 32 bits.
bool hexNumberParse(const QString &text, uint32_t &out)
{
    if (text.isEmpty())
        return false;
    uint32_t v = 0;
    for (QChar c : text) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | uint32_t(d);
    }
    out = v;
    return true;
}

bool hexPrefixed(const QString &text)
{
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// An EDS number as the parser reads it ("0x" hexadecimal or signed
// decimal); false when the text is neither.
bool numberRead(const QString &text, uint32_t &out)
{
    if (hexPrefixed(text))
        return hexNumberParse(text.mid(2), out);
    int64_t v = 0;
    if (!decimalParse(text, true, INT32_MIN, UINT32_MAX, v))
        return false;
    out = uint32_t(v);
    return true;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("QObject", text);
}

} // namespace

QUserEdsParser::QUserEdsParser()
{
    pdoListInit();
}

// ---------------------------------------------------------------------------
// Reading

QString QUserEdsParser::textDecode(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QString text = utf8->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return text;
    if (QTextCodec *gb = QTextCodec::codecForName("GB18030"))
        return gb->toUnicode(bytes);
    return QString::fromLocal8Bit(bytes);
}

QList<EdsSection> QUserEdsParser::sectionsSplit(const QString &text)
{
    QList<EdsSection> out;
    bool inSection = false;
    int pos = 0;
    int lineNo = 0;
    const int size = text.size();
    while (pos <= size) {
        ++lineNo;
        int end = pos;
        while (end < size && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QString line = text.mid(pos, end - pos).trimmed();
        // A line ends at LF, CR LF or a lone CR.
        if (end < size && text[end] == '\r' && end + 1 < size && text[end + 1] == '\n')
            ++end;
        pos = end + 1;

        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.size() >= 2 && line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            out.append(EdsSection{line.mid(1, line.size() - 2).trimmed(), QStringList(), lineNo});
            inSection = true;
            continue;
        }
        if (inSection)
            out.last().lines.append(line);
    }
    return out;
}

bool QUserEdsParser::sectionsRead(const QString &path, QList<EdsSection> &out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        logLine(QStringLiteral("Eds File Analysis Err:file <%1> open fail...").arg(path));
        return false;
    }
    out = sectionsSplit(textDecode(file.readAll()));
    return true;
}

bool QUserEdsParser::objectSectionName(const QString &name)
{
    int i = 0;
    while (i < name.size() && hexDigit(name[i]) >= 0)
        ++i;
    if (i == 0)
        return false;
    if (i == name.size())
        return true;
    return name.midRef(i, 3).compare(QLatin1String("sub"), Qt::CaseInsensitive) == 0;
}

bool QUserEdsParser::loadFile(const QString &path)
{
    QList<EdsSection> sections;
    loadReport = EdsLoadReport();
    if (!sectionsRead(path, sections))
        return false;
    // Kept for a file of which nothing can be read.
    const EdsFileInfo oldFile = fileInfo;
    const EdsDeviceInfo oldDevice = deviceInfo;
    const QList<QUserDictObj> oldDict = dictObjList;
    fileInfo = EdsFileInfo();
    deviceInfo = EdsDeviceInfo();
    dictObjList.clear();
    bool infoRead = false;
    loadReport.sections = sections.size();
    for (const EdsSection &s : qAsConst(sections)) {
        segTrouble = 0;
        const bool ok = edsSegAnalysis(s.name, s.lines);
        const bool info = s.name == QLatin1String("FileInfo") || s.name == QLatin1String("DeviceInfo");
        infoRead = infoRead || (ok && info);
        // An empty information section loses nothing; an empty object
        // section loses its object.
        const bool damaged = info ? segTrouble > 0 : objectSectionName(s.name) && (!ok || segTrouble > 0);
        if (!damaged)
            continue;
        if (loadReport.damaged++ == 0) {
            loadReport.firstDamaged = s.name;
            loadReport.firstDamagedLine = s.line;
        }
    }
    segTrouble = 0;
    if (loadReport.damaged)
        logLine(QStringLiteral("Eds File Analysis Warning:<%1> %2 of %3 seg(s) unreadable, first <[%4] line %5>")
                    .arg(path)
                    .arg(loadReport.damaged)
                    .arg(loadReport.sections)
                    .arg(loadReport.firstDamaged)
                    .arg(loadReport.firstDamagedLine));
    if (dictObjList.isEmpty() && !infoRead) {
        logLine(QStringLiteral("Eds File Analysis Err:<%1> nothing readable, not loaded...").arg(path));
        fileInfo = oldFile;
        deviceInfo = oldDevice;
        dictObjList = oldDict;
        return false;
    }
    return true;
}

bool QUserEdsParser::edsSegAnalysis(const QString &name, const QStringList &lines)
{
    if (name.isEmpty() || lines.isEmpty())
        return false;
    if (name == QLatin1String("FileInfo"))
        return fileInfoAnalysis(lines);
    if (name == QLatin1String("DeviceInfo"))
        return deviceInfoAnalysis(lines);
    uint32_t index = 0;
    if (hexParse(name, index)) {
        if (index <= 0xFFFF)
            return objSegAnalysis(index, lines);
    } else {
        const int sub = name.indexOf(QLatin1String("sub"), 4, Qt::CaseInsensitive);
        if (sub >= 4) {
            if (name.size() < 8)
                return false;
            uint32_t subIndex = 0;
            if (!hexParse(name.mid(sub + 3), subIndex) || subIndex > 0xFF)
                return false;
            uint32_t idx = 0;
            if (!hexParse(name.left(4), idx))
                idx = 0;
            return subObjSegAnalysis(idx, subIndex, lines);
        }
    }
    logLine(QStringLiteral("Eds File Analysis Warning:Unkown seg:<%1>").arg(name));
    return false;
}

bool QUserEdsParser::attributeGet(const QString &line, QString &key, QString &value)
{
    const QStringList parts = line.split(QLatin1Char('='), Qt::KeepEmptyParts);
    if (parts.size() != 2) {
        logLine(QStringLiteral("Eds File Analysis Err:Attribute get fail...<%1>").arg(line));
        return false;
    }
    key = parts[0].trimmed();
    value = parts[1].trimmed();
    return true;
}

int32_t QUserEdsParser::numberParse(const QString &text)
{
    if (hexPrefixed(text)) {
        uint32_t v = 0;
        return hexNumberParse(text.mid(2), v) ? int32_t(v) : 0;
    }
    int64_t v = 0;
    return decimalParse(text, true, INT32_MIN, INT32_MAX, v) ? int32_t(v) : 0;
}

int64_t QUserEdsParser::valueParse(const QString &text, uint16_t dataType, QString *formula)
{
    int64_t v = 0;
    bool node = false;
    bool decimal = false;
    if (!edsnumber::parse(text, 0, v, &node, &decimal)) {
        if (formula)
            formula->clear();
        return 0;
    }
    if (formula)
        *formula = node ? text : QString();
    // A decimal number is a value with its sign and stays as written;
    // hexadecimal digits are the bits of the type.
    return decimal ? v : QUserDictObj::typedValue(dataType, v);
}

uint32_t QUserEdsParser::countParse(const QString &text)
{
    if (hexPrefixed(text)) {
        uint32_t v = 0;
        return hexNumberParse(text.mid(2), v) ? v : 0;
    }
    int64_t v = 0;
    return decimalParse(text, false, 0, UINT32_MAX, v) ? uint32_t(v) : 0;
}

bool QUserEdsParser::flagParse(const QString &text)
{
    uint32_t v = 0;
    return numberRead(text, v) ? v != 0 : true;
}

bool QUserEdsParser::textBetween(const QString &text, int start, QChar open, QChar close, int &end, QString &out)
{
    const int a = text.indexOf(open, start < 0 ? 0 : start);
    if (a < 0)
        return false;
    const int b = text.indexOf(close, a + 1);
    if (b < 0)
        return false;
    out = text.mid(a + 1, b - a - 1);
    end = b;
    return true;
}

bool QUserEdsParser::fileInfoAnalysis(const QStringList &lines)
{
    struct Field {
        const char *key;
        QString EdsFileInfo::*member;
    };
    static const Field fields[] = {
        {"FileName", &EdsFileInfo::FileName},
        {"FileVersion", &EdsFileInfo::FileVersion},
        {"FileRevision", &EdsFileInfo::FileRevision},
        {"EDSVersion", &EdsFileInfo::EDSVersion},
        {"Description", &EdsFileInfo::Description},
        {"CreationTime", &EdsFileInfo::CreationTime},
        {"CreationDate", &EdsFileInfo::CreationDate},
        {"CreatedBy", &EdsFileInfo::CreatedBy},
        {"ModificationTime", &EdsFileInfo::ModificationTime},
        {"ModificationDate", &EdsFileInfo::ModificationDate},
        {"ModifiedBy", &EdsFileInfo::ModifiedBy},
    };
    for (const QString &line : lines) {
        QString key, value;
        if (!attributeGet(line, key, value)) {
            ++segTrouble;
            continue;
        }
        bool known = false;
        for (const Field &f : fields) {
            if (key == QLatin1String(f.key)) {
                fileInfo.*(f.member) = value;
                known = true;
                break;
            }
        }
        if (!known)
            logLine(QStringLiteral("Eds File Analysis Warning:                    Unkown File Info Attribute:<%1:%2>")
                        .arg(key, value));
    }
    return true;
}

bool QUserEdsParser::deviceInfoAnalysis(const QStringList &lines)
{
    struct Field {
        const char *key;
        QString EdsDeviceInfo::*member;
    };
    static const Field fields[] = {
        {"VendorName", &EdsDeviceInfo::VendorName},
        {"VendorNumber", &EdsDeviceInfo::VendorNumber},
        {"ProductName", &EdsDeviceInfo::ProductName},
        {"ProductNumber", &EdsDeviceInfo::ProductNumber},
        {"RevisionNumber", &EdsDeviceInfo::RevisionNumber},
        {"OrderCode", &EdsDeviceInfo::OrderCode},
    };
    for (const QString &line : lines) {
        QString key, value;
        if (!attributeGet(line, key, value)) {
            ++segTrouble;
            continue;
        }
        bool known = false;
        for (const Field &f : fields) {
            if (key == QLatin1String(f.key)) {
                deviceInfo.*(f.member) = value;
                known = true;
                break;
            }
        }
        if (known)
            continue;
        if (key == QLatin1String("NrOfRXPDO"))
            deviceInfo.NrOfRXPDO = countParse(value);
        else if (key == QLatin1String("NrOfTXPDO"))
            deviceInfo.NrOfTXPDO = countParse(value);
        else if (key == QLatin1String("LSS_Supported"))
            deviceInfo.LSS_Supported = countParse(value) != 0;
        else
            logLine(QStringLiteral("Eds File Analysis Warning:Unkown Device Info Attribute:<%1:%2>").arg(key, value));
    }
    return true;
}

bool QUserEdsParser::dictObjAnalysis(QUserDictObj &obj, const QStringList &lines)
{
    bool any = false;
    // The values are read once the data type is known, wherever it stands.
    QString low, high, def;
    bool haveLow = false, haveHigh = false, haveDef = false;
    for (const QString &line : lines) {
        QString key, value;
        if (!attributeGet(line, key, value)) {
            ++segTrouble;
            continue;
        }
        bool known = true;
        if (key == QLatin1String("ParameterName")) {
            obj.ParameterName = value;
        } else if (key == QLatin1String("SubNumber")) {
            obj.SubNumber = countParse(value);
        } else if (key == QLatin1String("ObjectType")) {
            obj.ObjectType = uint8_t(numberParse(value));
        } else if (key == QLatin1String("DataType")) {
            obj.DataType = uint16_t(numberParse(value));
        } else if (key == QLatin1String("LowLimit")) {
            low = value;
            haveLow = true;
        } else if (key == QLatin1String("HighLimit")) {
            high = value;
            haveHigh = true;
        } else if (key == QLatin1String("AccessType")) {
            obj.AccessType = value;
        } else if (key == QLatin1String("DefaultValue")) {
            def = value;
            haveDef = true;
        } else if (key == QLatin1String("PDOMapping")) {
            obj.PDOMapping = flagParse(value);
        } else if (key == QLatin1String("ObjFlags")) {
            obj.ObjFlags = uint32_t(numberParse(value));
        } else {
            known = false;
        }
        if (known)
            any = true;
        else
            logLine(QStringLiteral("Eds File Analysis Warning:Unkown DictObj Attribute:<%1:%2>").arg(key, value));
    }
    if (haveLow)
        obj.LowLimit = valueParse(low, obj.DataType, &obj.LowLimitFormula);
    if (haveHigh)
        obj.HighLimit = valueParse(high, obj.DataType, &obj.HighLimitFormula);
    if (haveDef)
        obj.DefaultValue = valueParse(def, obj.DataType, &obj.DefaultValueFormula);
    return any;
}

bool QUserEdsParser::objSegAnalysis(uint32_t index, const QStringList &lines)
{
    QUserDictObj obj;
    obj.isRoot = true;
    obj.index = index;
    obj.subIndex = 0;
    const bool ok = dictObjAnalysis(obj, lines);
    if (ok)
        dictObjAdd(obj);
    return ok;
}

bool QUserEdsParser::subObjSegAnalysis(uint32_t index, uint32_t subIndex, const QStringList &lines)
{
    QUserDictObj obj;
    obj.isRoot = false;
    obj.index = index;
    obj.subIndex = subIndex;
    const bool ok = dictObjAnalysis(obj, lines);
    if (ok)
        dictObjAdd(obj);
    return ok;
}

bool QUserEdsParser::dictObjAdd(const QUserDictObj &obj)
{
    if (obj.isRoot) {
        for (QUserDictObj &root : dictObjList) {
            if (root.index == obj.index) {
                root = obj;
                return true;
            }
        }
        dictObjList.append(obj);
        return true;
    }
    for (QUserDictObj &root : dictObjList) {
        if (root.index == obj.index) {
            root.childList.append(obj);
            return true;
        }
    }
    ++segTrouble;
    logLine(QStringLiteral("Eds File Analysis Err:dict obj<0x%1,%2> add fail...")
                .arg(QString::number(obj.index, 16))
                .arg(obj.subIndex));
    return false;
}

// ---------------------------------------------------------------------------
// Lookups

bool QUserEdsParser::dictObjGet(uint32_t index, uint32_t subIndex, QUserDictObj &out) const
{
    for (const QUserDictObj &root : dictObjList) {
        if (root.index != index)
            continue;
        for (const QUserDictObj &child : root.childList) {
            if (child.subIndex == subIndex) {
                out = child;
                return true;
            }
        }
    }
    return false;
}

bool QUserEdsParser::rootObjGet(uint32_t index, QUserDictObj &out) const
{
    for (const QUserDictObj &root : dictObjList) {
        if (root.index == index) {
            out = root;
            return true;
        }
    }
    return false;
}

bool QUserEdsParser::objGet(uint32_t index, uint32_t subIndex, QUserDictObj &out) const
{
    if (subIndex == 0 && rootObjGet(index, out))
        return true;
    return dictObjGet(index, subIndex, out);
}

bool QUserEdsParser::dictObjLookup(uint32_t index, uint32_t subIndex, bool root, QUserDictObj &out) const
{
    return root ? rootObjGet(index, out) : dictObjGet(index, subIndex, out);
}

// ---------------------------------------------------------------------------
// PDO records

void QUserEdsParser::pdoListInit()
{
    rxPdoList.clear();
    txPdoList.clear();
    for (int i = 1; i <= 4; ++i) {
        QUserDictObj rx;
        rx.ParameterName = QStringLiteral("RPDO%1").arg(i);
        rx.pdoEnable = false;
        rxPdoList.append(rx);
        QUserDictObj tx;
        tx.ParameterName = QStringLiteral("TPDO%1").arg(i);
        tx.pdoEnable = false;
        txPdoList.append(tx);
    }
}

bool QUserEdsParser::pdoCobIdUsable(uint32_t cobId)
{
    // Bit 31 (valid) is the caller's, bit 30 (RTR not allowed on a TPDO,
    // reserved on an RPDO) does not make an identifier unusable.
    cobId &= 0x3FFFFFFFu;
    if (cobId == 0)
        return false;
    if (cobId & 0x20000000u)
        return (cobId & 0x1FFFFFFFu) != 0;
    if (cobId > 0x7FF)
        return false;
    struct Range {
        uint32_t lo, hi;
    };
    static const Range restricted[] = {
        {0x000, 0x07F}, {0x101, 0x180}, {0x581, 0x5FF}, {0x601, 0x67F}, {0x6E0, 0x6FF}, {0x701, 0x7FF},
    };
    for (const Range &r : restricted)
        if (cobId >= r.lo && cobId <= r.hi)
            return false;
    return true;
}

bool QUserEdsParser::pdoMapEntryCompose(const QUserDictObj &mapped, uint32_t &entry)
{
    const int bits = mapped.mapBits();
    if (bits < 1 || bits > 64)
        return false;
    entry = ((mapped.index & 0xFFFFu) << 16) | ((mapped.subIndex & 0xFFu) << 8) | uint32_t(bits);
    return true;
}

bool QUserEdsParser::pdoDownloadOneGet(const QUserDictObj &p, int n, bool rx, QVector<QUserDictObj> &out,
                                       QStringList *notes) const
{
    const uint32_t comm = (rx ? 0x1400u : 0x1800u) + uint32_t(n);
    const uint32_t map = (rx ? 0x1600u : 0x1A00u) + uint32_t(n);
    const QString name = p.ParameterName.isEmpty()
        ? QStringLiteral("%1%2").arg(rx ? QStringLiteral("RPDO") : QStringLiteral("TPDO")).arg(n + 1)
        : p.ParameterName;
    auto note = [notes](const QString &text) {
        if (notes)
            notes->append(text);
    };
    auto writeItem = [this, &out](uint32_t index, uint32_t sub, uint32_t value) {
        QUserDictObj item;
        if (!dictObjGet(index, sub, item) || !item.isWritable())
            return false;
        item.isRead = false;
        item.curValue = value;
        out.append(item);
        return true;
    };

    const uint32_t cobId = p.cobID & 0x7FFFFFFFu;
    // The PDO stops first: mapping and most parameters may only change
    // while it is invalid.
    const bool haveCobId = writeItem(comm, 1, cobId | 0x80000000u);
    writeItem(comm, 2, p.transmissionType);
    writeItem(comm, 3, p.inhibitTime);
    writeItem(comm, 5, p.eventTime);
    writeItem(comm, 6, p.syncStartValue);

    QUserDictObj mapRoot;
    if (rootObjGet(map, mapRoot)) {
        const bool haveCount = writeItem(map, 0, 0);
        int written = 0;
        int bits = 0;
        for (int k = 1; k <= p.childList.size(); ++k) {
            const QUserDictObj &e = p.childList.at(k - 1);
            uint32_t entry = 0;
            if (!pdoMapEntryCompose(e, entry) || bits + e.mapBits() > 64) {
                note(QCoreApplication::translate("QObject", "%1映射对象[%2,%3]超出PDO长度,其后的映射未写入")
                         .arg(name)
                         .arg(QString::asprintf("%04X", e.index & 0xFFFFu))
                         .arg(QString::asprintf("%02X", e.subIndex & 0xFFu)));
                break;
            }
            if (!writeItem(map, uint32_t(k), entry)) {
                note(QCoreApplication::translate("QObject", "%1映射对象%2个,设备只提供%3个映射位置")
                         .arg(name)
                         .arg(p.childList.size())
                         .arg(k - 1));
                break;
            }
            bits += e.mapBits();
            ++written;
        }
        if (haveCount)
            writeItem(map, 0, uint32_t(written));
    }

    if (p.pdoEnable && haveCobId) {
        if (pdoCobIdUsable(cobId))
            writeItem(comm, 1, cobId);
        else
            note(tr("%1的COB-ID(0x%2)不可用,PDO保持无效").arg(name).arg(QString::number(cobId, 16).toUpper()));
    }
    return true;
}

bool QUserEdsParser::pdoDownloadListGet(QVector<QUserDictObj> &out, QStringList *notes) const
{
    for (int n = 0; n < rxPdoList.size(); ++n)
        pdoDownloadOneGet(rxPdoList.at(n), n, true, out, notes);
    for (int n = 0; n < txPdoList.size(); ++n)
        pdoDownloadOneGet(txPdoList.at(n), n, false, out, notes);
    return true;
}

bool QUserEdsParser::pdoCommParaUploadListGet(const QList<QUserDictObj> &pdos, bool rx, QVector<QUserDictObj> &out) const
{
    const uint32_t base = rx ? 0x1400u : 0x1800u;
    static const uint32_t subs[] = {1, 2, 3, 5, 6};
    for (int n = 0; n < pdos.size(); ++n) {
        for (uint32_t s : subs) {
            QUserDictObj item;
            if (!dictObjGet(base + uint32_t(n), s, item) || !item.isReadable())
                continue;
            item.isRead = true;
            out.append(item);
        }
    }
    return true;
}

bool QUserEdsParser::pdoMapParaUploadListGet(const QList<QUserDictObj> &pdos, bool rx, QVector<QUserDictObj> &out) const
{
    const uint32_t base = rx ? 0x1600u : 0x1A00u;
    for (int n = 0; n < pdos.size(); ++n) {
        QUserDictObj root;
        if (!rootObjGet(base + uint32_t(n), root))
            continue;
        for (uint32_t s = 0; s <= 8; ++s) {
            QUserDictObj item;
            if (!dictObjGet(base + uint32_t(n), s, item) || !item.isReadable())
                continue;
            item.isRead = true;
            out.append(item);
        }
    }
    return true;
}

bool QUserEdsParser::pdoUploadListGet(QVector<QUserDictObj> &out) const
{
    pdoCommParaUploadListGet(rxPdoList, true, out);
    pdoCommParaUploadListGet(txPdoList, false, out);
    pdoMapParaUploadListGet(rxPdoList, true, out);
    pdoMapParaUploadListGet(txPdoList, false, out);
    return true;
}

bool QUserEdsParser::pdoCommParaApply(QUserDictObj &p, const QUserDictObj &item) const
{
    const uint32_t v = item.curValue;
    switch (item.subIndex) {
    case 1:
        p.cobID = v & 0x7FFFFFFFu;
        p.pdoEnable = (v & 0x80000000u) == 0;
        break;
    case 2: p.transmissionType = uint8_t(v); break;
    case 3: p.inhibitTime = uint16_t(v); break;
    case 5: p.eventTime = uint16_t(v); break;
    case 6: p.syncStartValue = uint8_t(v); break;
    default: break;
    }
    return true;
}

bool QUserEdsParser::pdoMapEntryApply(QUserDictObj &p, const QUserDictObj &item) const
{
    if (item.subIndex == 0) {
        p.mapCount = item.curValue;
        return true;
    }
    const uint32_t v = item.curValue;
    if (v > 0xFFFF && p.mapCount > uint32_t(p.childList.size())) {
        const uint32_t index = v >> 16;
        const uint32_t sub = (v >> 8) & 0xFF;
        const uint32_t bits = v & 0xFF;
        QUserDictObj mapped;
        if (!objGet(index, sub, mapped)) {
            mapped = QUserDictObj();
            mapped.index = index;
            mapped.subIndex = sub;
            mapped.ParameterName = tr("未知");
            const uint32_t bytes = bits / 8;
            mapped.DataType = bytes < 2 ? 5 : (bytes < 4 ? 6 : 7);
        }
        // The device's own bit length stays with the entry when the data
        // type alone would give another one.
        mapped.mapBitLength = 0;
        if (int(bits) != mapped.mapBits())
            mapped.mapBitLength = uint8_t(bits);
        p.childList.append(mapped);
    }
    return false;
}

bool QUserEdsParser::pdoListFromUpload(const QVector<QUserDictObj> &results)
{
    pdoListInit();
    for (const QUserDictObj &item : results) {
        const uint32_t i = item.index;
        if (i >= 0x1400 && i <= 0x1403)
            pdoCommParaApply(rxPdoList[int(i - 0x1400)], item);
        else if (i >= 0x1800 && i <= 0x1803)
            pdoCommParaApply(txPdoList[int(i - 0x1800)], item);
        else if (i >= 0x1600 && i <= 0x1603)
            pdoMapEntryApply(rxPdoList[int(i - 0x1600)], item);
        else if (i >= 0x1A00 && i <= 0x1A03)
            pdoMapEntryApply(txPdoList[int(i - 0x1A00)], item);
    }
    return true;
}
