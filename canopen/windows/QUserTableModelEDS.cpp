#include "canopen/windows/QUserTableModelEDS.h"

#include "core/QUserCanMsg.h"

#include <QCoreApplication>
#include <QMimeData>
#include <QStandardItem>
#include <QTimer>

namespace {
const int kRefreshMs = 100;

QString trm(const char *text)
{
    return QCoreApplication::translate("QUserTableModelEDS", text);
}
} // namespace

QUserTableModelEDS::QUserTableModelEDS() : QUserTableModel(nullptr)
{
    m_windowStart = 0;
    m_windowSize = 20;
    lastRefreshMs = getCurrentMs();
    timer = new QTimer;
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &QUserTableModelEDS::windowUpdate);
}

QUserTableModelEDS::~QUserTableModelEDS()
{
    timer->stop();
    delete timer;
    timer = nullptr;
    for (QUserDictObj *o : rows)
        delete o;
    rows.clear();
    keyIndex.clear();
}

QUserDictObj *QUserTableModelEDS::dictObjAt(int row) const
{
    if (row < 0 || row >= int(rows.size()))
        return nullptr;
    return rows[size_t(row)];
}

bool QUserTableModelEDS::dictObjContains(const QUserDictObj &obj) const
{
    return keyIndex.contains(obj.dictObjKey());
}

bool QUserTableModelEDS::rowVisible(int row) const
{
    return m_windowStart <= row && row <= m_windowStart + m_windowSize;
}

int QUserTableModelEDS::dictObjAdd(const QUserDictObj &obj)
{
    if (dictObjContains(obj))
        return 0;
    keyIndex.insert(obj.dictObjKey(), int(rows.size()));
    rows.push_back(new QUserDictObj(obj));
    windowFollow(1);
    const int row = int(rows.size()) - 1;
    if (rowVisible(row) || rowVisible(int(rows.size())))
        windowUpdate();
    if (m_scrollState) {
        windowUpdate();
        emit userRowChangeEvent(int(rows.size()));
    }
    return 1;
}

int QUserTableModelEDS::dictObjRemove(int row)
{
    if (row < 0 || row >= int(rows.size()))
        return -1;
    QUserDictObj *obj = rows[size_t(row)];
    keyIndex.remove(obj->dictObjKey());
    delete obj;
    rows.erase(rows.begin() + row);
    for (auto it = keyIndex.begin(); it != keyIndex.end(); ++it)
        if (it.value() > row)
            it.value() -= 1;
    if (rowVisible(row) || rowVisible(row + 1))
        windowUpdate();
    emit userRowChangeEvent(int(rows.size()));
    return 0;
}

int QUserTableModelEDS::dictObjSwap(int rowA, int rowB)
{
    const int n = int(rows.size());
    if (rowA < 0 || rowA >= n || rowB < 0 || rowB >= n)
        return -1;
    std::swap(rows[size_t(rowA)], rows[size_t(rowB)]);
    keyIndex[rows[size_t(rowA)]->dictObjKey()] = rowA;
    keyIndex[rows[size_t(rowB)]->dictObjKey()] = rowB;
    if (rowVisible(rowA) || rowVisible(rowB) || rowVisible(rowB + 1))
        windowUpdate();
    return 0;
}

int QUserTableModelEDS::dictObjValueUpdate(unsigned index, unsigned subIndex, bool isWrite, unsigned value,
                                           int sizeIndicated)
{
    const uint32_t key = (uint32_t(index) << 16) + uint32_t(subIndex);
    const auto it = keyIndex.constFind(key);
    if (it == keyIndex.constEnd())
        return 0;
    const int row = it.value();
    QUserDictObj *obj = rows[size_t(row)];
    if (!isWrite) {
        // An answer that left its size to the object carries four bytes, the
        // ones beyond the object's size being whatever the node had there.
        const int size = obj->dataTypeSize();
        if (sizeIndicated == 0 && size >= 1 && size < 4)
            value &= (1u << (8 * size)) - 1u;
        obj->curValue = value;
    }
    obj->updateTimeSet();
    if (rowVisible(row) || rowVisible(row + 1))
        windowUpdate();
    return 0;
}

int QUserTableModelEDS::clearAll()
{
    const int before = int(rows.size());
    for (QUserDictObj *o : rows)
        delete o;
    rows.clear();
    keyIndex.clear();
    m_windowStart = 0;
    windowUpdate();
    return before;
}

int QUserTableModelEDS::clear()
{
    clearAll();
    emit userRowChangeEvent(0);
    windowUpdate();
    return 1;
}

QString QUserTableModelEDS::valueDecimalText(const QUserDictObj &obj)
{
    // The value is 32 bits wide: wider types show it as a signed number.
    if (QUserDictObj::dataTypeBits(obj.DataType) > 32)
        return QString::number(int32_t(obj.curValue));
    return QUserDictObj::typedText(obj.DataType, QUserDictObj::typedValue(obj.DataType, obj.curValue));
}

QString QUserTableModelEDS::limitText(const QUserDictObj &obj, bool high, int node)
{
    const QString &formula = high ? obj.HighLimitFormula : obj.LowLimitFormula;
    // Without a node to resolve it for, the formula is shown as written.
    if (!formula.isEmpty() && node == 0)
        return formula;
    return QUserDictObj::typedText(obj.DataType, high ? obj.highLimitFor(node) : obj.lowLimitFor(node));
}

QStringList QUserTableModelEDS::cellTexts(const QUserDictObj &obj, int row, int node)
{
    const bool canWrite = obj.isWritable();
    const bool canRead = obj.isReadable();
    return {
        QString::number(row),
        QString::asprintf("0x%04X", obj.index),
        QString::asprintf("0x%02X", obj.subIndex),
        obj.ParameterName,
        obj.color,
        obj.updateTime,
        valueDecimalText(obj),
        QString::asprintf("%08X", obj.curValue),
        limitText(obj, false, node),
        limitText(obj, true, node),
        canWrite ? QStringLiteral("true:") + trm("写入") : QStringLiteral("false:") + trm("不支持"),
        canRead ? QStringLiteral("true:") + trm("读取") : QStringLiteral("false:") + trm("不支持"),
    };
}

void QUserTableModelEDS::nodeIdSet(int node)
{
    if (node == nodeId)
        return;
    nodeId = node;
    rowsFill();
}

void QUserTableModelEDS::windowUpdate()
{
    if (getElapsedMs(lastRefreshMs) < kRefreshMs) {
        if (!timer->isActive())
            timer->start(kRefreshMs);
        return;
    }
    lastRefreshMs = getCurrentMs();
    if (timer->isActive())
        timer->stop();
    rowsFill();
}

void QUserTableModelEDS::rowsFill()
{
    const int n = windowRowsWanted();
    if (rowCount() != n)
        setRowCount(n);
    // Cell changes made by the fill itself are not user edits.
    filling = true;
    for (int r = 0; r < n; ++r) {
        const int i = m_windowStart + r;
        const QUserDictObj *obj = dictObjAt(i);
        if (!obj)
            break;
        const QStringList cells = cellTexts(*obj, i, nodeId);
        for (int c = 0; c < cells.size(); ++c) {
            QStandardItem *it = item(r, c);
            if (!it) {
                it = new QStandardItem;
                it->setEditable(c == ColValueDec || c == ColValueHex);
                setItem(r, c, it);
            }
            if (c == ColColor) {
                if (cells[c].split(QLatin1Char(',')).size() > 1) {
                    if (it->text() != cells[c])
                        it->setText(cells[c]);
                    it->setTextAlignment(Qt::AlignCenter);
                }
                continue;
            }
            if (it->text() != cells[c])
                it->setText(cells[c]);
        }
    }
    filling = false;
}

QStringList QUserTableModelEDS::mimeTypes() const
{
    return {QStringLiteral("application/x-qabstractitemmodeldatalist"), QStringLiteral("text/plain"),
            QStringLiteral("text/html")};
}

bool QUserTableModelEDS::canDropMimeData(const QMimeData *data, Qt::DropAction, int, int, const QModelIndex &) const
{
    return data && (data->hasHtml() || data->hasText());
}

bool QUserTableModelEDS::dropMimeData(const QMimeData *, Qt::DropAction, int, int, const QModelIndex &)
{
    // The view hands drops to the window; the model itself takes nothing.
    return false;
}

Qt::DropActions QUserTableModelEDS::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}
