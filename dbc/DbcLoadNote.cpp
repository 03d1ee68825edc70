#include "dbc/DbcLoadNote.h"

#include "dbc/QKemsigLib.h"

#include <QCoreApplication>
#include <QDebug>
#include <QStringList>

#include <cstring>

namespace DbcLoadNote {

DbcLoadReport read(const QKemsigLib &lib, DbcDatabase *db)
{
    DbcLoadReport r;
    std::memset(&r, 0, sizeof r);
    if (lib.getLoadReport && db && lib.getLoadReport(db, &r) == 0)
        std::memset(&r, 0, sizeof r);
    return r;
}

bool nothingRead(const DbcLoadReport &r)
{
    return r.nDamagedLines > 0 && r.nReadLines == 0;
}

QString encodingName(quint32 encoding)
{
    switch (encoding) {
    case KDBC_ENCODING_ASCII:
        return QStringLiteral("ASCII");
    case KDBC_ENCODING_UTF8:
        return QStringLiteral("UTF-8");
    case KDBC_ENCODING_UTF8_BOM:
        return QStringLiteral("UTF-8 BOM");
    case KDBC_ENCODING_GBK:
        return QStringLiteral("GBK");
    case KDBC_ENCODING_CP1252:
        return QStringLiteral("CP1252");
    default:
        return QString::number(encoding);
    }
}

void log(const QString &path, const DbcLoadReport &r)
{
    qDebug().noquote() << QStringLiteral("DBC文件<%1>编码:%2").arg(path, encodingName(r.nEncoding));
    if (r.nDamagedLines)
        qDebug().noquote() << QStringLiteral("WARNING:DBC文件<%1>共%2行无法解析,第一处在第%3行...")
                                  .arg(path)
                                  .arg(r.nDamagedLines)
                                  .arg(r.nFirstDamagedLine);
    if (r.nExtMuxLines)
        qDebug().noquote() << QStringLiteral("WARNING:DBC文件<%1>含扩展多路复用(SG_MUL_VAL_,第%2行起),未解析...")
                                  .arg(path)
                                  .arg(r.nFirstExtMuxLine);
}

QString windowText(const DbcLoadReport &r)
{
    QStringList parts;
    if (r.nDamagedLines)
        parts << QCoreApplication::translate("DbcLoadNote", "DBC文件有%1行无法解析,已跳过(第一处:第%2行)。")
                     .arg(r.nDamagedLines)
                     .arg(r.nFirstDamagedLine);
    if (r.nExtMuxLines)
        parts << QCoreApplication::translate(
            "DbcLoadNote", "文件含扩展多路复用(SG_MUL_VAL_),未解析:多路复用信号只按其m/M标记显示。");
    return parts.join(QLatin1Char('\n'));
}

} // namespace DbcLoadNote
