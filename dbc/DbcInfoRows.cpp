// The property rows of messages, last frames and signals, shown in the
// read-only info table of the DBC windows. Labels and words go through the
// translation catalogue (context "QObject"); numbers do not.
#include "dbc/DbcNumberText.h"
#include "dbc/QUserDbcMsg.h"
#include "dbc/QUserDbcSignal.h"

#include "core/QUserCanMsg.h"

#include <QDateTime>
#include <QObject>

namespace {

void addRow(QList<QStringList> &rows, const QString &label, const QString &value)
{
    rows.append(QStringList{label, value});
}

// Decimal of all 32 bits, then the 29-bit identifier in hex.
QString idText(quint32 id)
{
    return QString::number(id) + QObject::tr(" 十六进制:") + QString::asprintf("0x%X", id & 0x1FFFFFFFu);
}

QString frameTypeText(quint8 extended)
{
    return extended ? QObject::tr("扩展帧") : QObject::tr("标准帧");
}

QString signalTypeText(quint8 type)
{
    switch (type) {
    case 0:
        return QObject::tr("普通信号");
    case 1:
        return QObject::tr("复用信号");
    case 2:
        return QObject::tr("复用器开关");
    default:
        return QObject::tr("未知");
    }
}

} // namespace

int QUserDbcMsg::infoRows(QList<QStringList> &rows) const
{
    addRow(rows, QObject::tr("消息名称:"), strName);
    addRow(rows, QObject::tr("消息ID:"), idText(nID));
    addRow(rows, QObject::tr("消息长度:"), QString::number(nSize) + QObject::tr(" 字节"));
    addRow(rows, QObject::tr("包含信号数量:"), QString::number(vSignals.size()) + QObject::tr(" 个"));
    addRow(rows, QObject::tr("帧类型:"), frameTypeText(nExtend));
    addRow(rows, QObject::tr("消息注释:"), strComment);
    return 1;
}

int QUserDbcMsg::frameInfoRows(QList<QStringList> &rows) const
{
    addRow(rows, QObject::tr("消息名称:"), strName);
    addRow(rows, QObject::tr("帧时间:"),
           QDateTime::fromMSecsSinceEpoch(nFrameTime).toString(QStringLiteral("hh:mm:ss:zzz")));
    QString id = strFrameId.isEmpty() ? QObject::tr("待定") : QObject::tr("0x") + strFrameId.toUpper();
    id += QObject::tr(" <实际传输计算所得ID>");
    addRow(rows, QObject::tr("帧ID:"), id);
    addRow(rows, QObject::tr("帧类型:"), frameTypeText(nExtend));
    addRow(rows, QObject::tr("数据长度:"), QString::number(strData.size() / 2) + QObject::tr(" 字节"));
    QString data = strData;
    insertSeparator(data, QStringLiteral(" "), 2);
    addRow(rows, QObject::tr("数据内容:"), data);
    return 1;
}

int QUserDbcSignal::infoRows(QList<QStringList> &rows) const
{
    addRow(rows, QObject::tr("所属消息:"), msgName);
    addRow(rows, QObject::tr("消息ID:"), idText(msgId));
    addRow(rows, QObject::tr("信号名称:"), strName);
    addRow(rows, QObject::tr("起始位:"), QString::number(nStartBit));
    addRow(rows, QObject::tr("位长度:"), QString::number(nLen));
    addRow(rows, QObject::tr("转换因子:"), DbcNumberText::g16(nFactor));
    addRow(rows, QObject::tr("转换偏移:"), DbcNumberText::g16(nOffset));
    addRow(rows, QObject::tr("最小值:"), DbcNumberText::g16(nMin));
    addRow(rows, QObject::tr("最大值:"), DbcNumberText::g16(nMax));
    if (!valDesPair.isEmpty()) {
        QStringList items;
        for (auto it = valDesPair.constBegin(); it != valDesPair.constEnd(); ++it)
            items.append(DbcNumberText::g16(it.key()) + QLatin1Char(':') + it.value());
        addRow(rows, QObject::tr("值描述:"), items.join(QStringLiteral("\r\n")));
    }
    if (!unit.isEmpty())
        addRow(rows, QObject::tr("单位:"), unit);
    addRow(rows, QObject::tr("字节顺序:"), isMotorola ? QObject::tr("Motorola") : QObject::tr("Intel"));
    addRow(rows, QObject::tr("信号类型:"), signalTypeText(multiplexerType));
    if (multiplexerType == 1)
        addRow(rows, QObject::tr("复用器开关值:"), QString::number(multiplexerValue));
    addRow(rows, QObject::tr("信号注释:"), strComment);
    return 1;
}
