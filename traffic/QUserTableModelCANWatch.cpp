#include "traffic/QUserTableModelCANWatch.h"

#include "core/QFClassUserCanMsg.h"
#include "core/QUserCanMsg.h"
#include "core/QUserSysCfg.h"
#include "resources/OrvaneResources.h"

#include <QDateTime>
#include <QIcon>
#include <QStandardItem>
#include <QTimer>

#include <climits>

namespace {

const QIcon &protocolIcon(int protocol)
{
    static const QIcon none;
    static const QIcon fd(QStringLiteral(":/res/fd.png"));
    static const QIcon brs(QStringLiteral(":/res/brs.png"));
    if (protocol == 1)
        return fd;
    if (protocol == 2)
        return brs;
    return none;
}

void setCell(QStandardItemModel *model, int row, int column, const QString &text)
{
    if (QStandardItem *it = model->item(row, column)) {
        if (it->text() != text)
            it->setText(text);
    } else {
        model->setItem(row, column, new QStandardItem(text));
    }
}

} // namespace

QUserTableModelCANWatch::QUserTableModelCANWatch(QObject *parent) : QUserTableModel(parent)
{
    orvaneResourcesInit();
    m_windowSize = 20;
    m_windowStart = 0;
    loadSettings();
    timer = new QTimer;
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &QUserTableModelCANWatch::windowUpdate);
    m_scrollState = true;
    m_pause = false;
    lastRefresh = getCurrentMs();
}

QUserTableModelCANWatch::~QUserTableModelCANWatch()
{
    timer->stop();
    delete timer;
    timer = nullptr;
    if (cache)
        cache->close();
}

void QUserTableModelCANWatch::loadSettings()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    lang = cfg->getString(QStringLiteral("language")) == QLatin1String("ZH") ? 0 : 1;
    idFmt = cfg->getInt(QStringLiteral("cw_msgIdFormat"));
    dataFmt = cfg->getInt(QStringLiteral("cw_msgDataFormat"));
}

bool QUserTableModelCANWatch::isCacheOpen() const { return cache && cache->isOpened(); }

int QUserTableModelCANWatch::cacheCount()
{
    if (!cache)
        return 0;
    const uint64_t n = cache->getMsgCount();
    return n > uint64_t(INT_MAX) ? INT_MAX : int(n);
}

bool QUserTableModelCANWatch::cacheFileOpen(const QString &path)
{
    if (!cache)
        cache = std::make_unique<QFClassUserCanMsg>();
    cache->open(true, path);
    windowUpdate();
    emit userRowChangeEvent(cacheCount());
    return true;
}

bool QUserTableModelCANWatch::cacheFileClose()
{
    if (cache) {
        cache->close();
        cache.reset();
    }
    m_windowStart = 0;
    windowUpdate();
    emit userRowChangeEvent(0);
    loadSettings();
    return true;
}

bool QUserTableModelCANWatch::msgRead(int64_t index, QUserCanMsg *msg)
{
    if (!cache || index < 0 || !msg)
        return false;
    return cache->readMsg(uint64_t(index), msg);
}

int QUserTableModelCANWatch::msgListGet(QUserCanMsg *list)
{
    const int n = cacheCount();
    if (!list)
        return 0;
    for (int i = 0; i < n; ++i)
        cache->readMsg(uint64_t(i), &list[i]);
    return n;
}

void QUserTableModelCANWatch::windowUpdate()
{
    if (getElapsedMs(lastRefresh) < RefreshMs) {
        if (!timer->isActive())
            timer->start(RefreshMs);
        return;
    }
    windowRebuild();
}

QString QUserTableModelCANWatch::idCellText(const QUserCanMsg &msg) const
{
    if (idFmt == 1) {
        bool ok = false;
        const uint v = msg.idText.trimmed().toUInt(&ok, 16);
        return QString::number(ok ? v : 0u);
    }
    return QStringLiteral("0x") + msg.idText.toUpper();
}

QString QUserTableModelCANWatch::dataCellText(const QUserCanMsg &msg) const
{
    if (dataFmt == 1) {
        uint8_t bytes[64];
        const int n = hexTextToBytes(msg.dataText, bytes, 64);
        QString out;
        out.reserve(n * 4);
        for (int i = 0; i < n; ++i) {
            out += QString::number(bytes[i]);
            out += QLatin1Char(' ');
        }
        return out;
    }
    QString out = msg.dataText;
    insertSeparator(out, QStringLiteral(" "), 2);
    return out;
}

void QUserTableModelCANWatch::windowRebuild()
{
    lastRefresh = getCurrentMs();
    if (timer->isActive())
        timer->stop();
    const int64_t count = cacheCount();
    int rows = int(qMin<int64_t>(m_windowSize, count - m_windowStart));
    if (rows < 0)
        rows = 0;
    if (rowCount() != rows)
        setRowCount(rows);
    if (columnCount() < ColumnCount)
        setColumnCount(ColumnCount);
    QUserCanMsg msg;
    for (int r = 0; r < rows; ++r) {
        const int64_t i = int64_t(m_windowStart) + r;
        // The first record that does not read ends the rebuild; the rows
        // after it keep what they showed.
        if (!cache || !cache->readMsg(uint64_t(i), &msg))
            break;
        setCell(this, r, 0, QString::number(i));
        setCell(this, r, 1, getDirText(lang, msg.direction == 1));
        const QIcon &icon = protocolIcon(msg.protocol);
        if (item(r, 1)->icon().cacheKey() != icon.cacheKey())
            item(r, 1)->setIcon(icon);
        setCell(this, r, 2, QDateTime::fromMSecsSinceEpoch(msg.hostTime).toString(QStringLiteral("hh:mm:ss:zzz")));
        setCell(this, r, 3, idCellText(msg));
        setCell(this, r, 4, getFrameFormatText(lang, msg.remote == 1));
        setCell(this, r, 5, getFrameTypeText(lang, msg.extended == 1));
        setCell(this, r, 6, msg.lenText);
        setCell(this, r, 7, dataCellText(msg));
    }
}
