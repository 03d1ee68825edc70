// The CANopen window's two logs: the frame log (its page, filters, line
// format, pause, heartbeat display, clear, save and double click) and the
// coloured operation log.
#include "canopen/windows/QUserMainWindowCANopen.h"

#include "canopen/windows/QUserTableModelCANopen.h"
#include "core/QUserSettingRange.h"
#include "core/QUserSysCfg.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTableView.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFontMetrics>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>
#include <QTextStream>
#include <QVBoxLayout>

namespace {

int settingOr(QUserSysCfg *cfg, const char *key, int fallback)
{
    const int v = cfg->getInt(QLatin1String(key));
    return v == -1 ? fallback : v;
}

// The data text as the log shows it: upper case, a blank between bytes
// counted from the end.
void dataAppend(QString &out, const QString &data)
{
    int digits = 0;
    for (QChar c : data)
        if (!c.isSpace())
            ++digits;
    int left = digits;
    for (QChar c : data) {
        if (c.isSpace())
            continue;
        if (left != digits && left % 2 == 0)
            out += QLatin1Char(' ');
        const ushort u = c.unicode();
        out += (u >= 'a' && u <= 'z') ? QChar(u - 32) : c;
        --left;
    }
}

} // namespace

void QUserMainWindowCANopen::logSettingLoad()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    nodeIdFormat = settingOr(cfg, "openNodeIdFormat", 0);
    fliterNodeEn = settingOr(cfg, "openFliterNodeEn", 0);
    // Node addresses are 1-127; the settings dialog stores nothing else.
    fliterBeginNode = cfg->getIntBounded(QStringLiteral("openFliterBeginNode"), 1, 127, 1);
    fliterEndNode = cfg->getIntBounded(QStringLiteral("openFliterEndNode"), 1, 127, 127);
    // A range that ends before it begins would hide every node.
    if (fliterBeginNode > fliterEndNode) {
        settingrange::refusedLog(QStringLiteral("sys.ini"), QStringLiteral("openFliterBeginNode,openFliterEndNode"),
                                 QStringLiteral("%1,%2").arg(fliterBeginNode).arg(fliterEndNode),
                                 QStringLiteral("[1,127]且开始<=结束"), QStringLiteral("默认值1,127"));
        fliterBeginNode = 1;
        fliterEndNode = 127;
    }
    heartBeatShow = settingOr(cfg, "openHeartBeatShow", 1);
    decoder.nodeIdFormatSet(nodeIdFormat);
    // Translated once here, not once per frame.
    logTxText = tr("Tx");
    logRxText = tr("Rx");
    logUnknownText = tr("未知报文");
}

bool QUserMainWindowCANopen::canopenLogAppend(const QUserCanMsg &frame, const QString &deviceId)
{
    decoder.isNmtClassMsg(frame, deviceId);
    const int32_t id = frame.getId();
    if (heartBeatShow == 0 && (uint32_t(id) >> 7) == 14)
        return false;
    if (fliterNodeEn != 0) {
        const int node = id & 0x7F;
        if (node != 0 && (node < fliterBeginNode || node > fliterEndNode))
            return false;
    }
    QString text;
    text.reserve(24 + frame.idText.size() + frame.dataText.size() * 3 / 2);
    text += QLatin1Char('[');
    text += frame.direction == 1 ? logTxText : logRxText;
    text += frame.extended ? QLatin1String(",E,") : QLatin1String(",S,");
    text += frame.remote ? QLatin1String("R,") : QLatin1String("D,");
    for (QChar c : frame.idText)
        if (!c.isSpace())
            text += c;
    text += QLatin1Char(',');
    text += frame.lenText;
    text += QLatin1Char(',');
    dataAppend(text, frame.dataText);
    text += QLatin1String("] ");

    QString description;
    if (!decoder.msgAnalysis(frame, description))
        description = logUnknownText;
    canopenLogModel->logAppend(std::move(text), std::move(description));
    return true;
}

void QUserMainWindowCANopen::slotCANopenLogClr()
{
    if (canopenLogModel)
        canopenLogModel->clear();
}

void QUserMainWindowCANopen::slotLogPauseEn(int state)
{
    if (state == logPaused)
        return;
    logPaused = state;
    if (canopenLogModel)
        canopenLogModel->setScrollState(state == 0);
}

void QUserMainWindowCANopen::slotLogHBeatShowEn(int state)
{
    if (state == heartBeatShow)
        return;
    heartBeatShow = state;
    QUserSysCfg::instance()->setInt(QStringLiteral("openHeartBeatShow"), state);
}

void QUserMainWindowCANopen::slotLogTabItemDoubleClick(QModelIndex index)
{
    if (index.row() < 0 || index.column() < 0 || !index.model() || !canopenLogView)
        return;
    canopenLogView->resizeRowToContents(index.row());
}

void QUserMainWindowCANopen::slotLogTabSelectionChanged(QModelIndex) {}

void QUserMainWindowCANopen::slotCANopenLogSave()
{
    if (!canopenLogModel)
        return;
    QList<QUserTableModelCANopen::Entry> entries;
    canopenLogModel->logExport(entries);
    const QString path =
        QUserPrompt::instance()->getSaveFileName(this, tr("另存为"), QStringLiteral("../"), QStringLiteral("txt(*.txt)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate)) {
        qDebug() << metaObject()->className() << ">" << tr("错误:文件<%1>创建失败").arg(path);
        QUserMessageBox::msgWarning(this, tr("错误"), tr("保存失败!"));
        return;
    }
    {
        QTextStream out(&file);
        out.setCodec("UTF-8");
        const QString number = tr("序号:");
        const QString message = tr("报文:");
        const QString analysis = tr("解析:");
        for (int i = 0; i < entries.size(); ++i)
            out << number << i << ' ' << message << entries[i].first << analysis << entries[i].second << "\r\n";
    }
    QUserMessageBox::msgCheck(this, tr("提示"), tr("保存成功!"));
    file.close();
}

namespace {

// A row of controls, left group and right group; when the row is narrower
// than both groups need, the right group moves to a second line instead of
// being cut.
class WrappingRow : public QObject
{
public:
    WrappingRow(QWidget *host, const QList<QWidget *> &left, const QList<QWidget *> &right)
        : QObject(host), host(host), left(left), right(right)
    {
        QVBoxLayout *lines = new QVBoxLayout(host);
        lines->setContentsMargins(0, 0, 0, 0);
        first = new QHBoxLayout;
        second = new QHBoxLayout;
        lines->addLayout(first);
        lines->addLayout(second);
        for (QWidget *w : left)
            first->addWidget(w);
        first->addStretch();
        second->addStretch();
        place(false);
        host->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize) {
            int need = 0;
            for (QWidget *w : left + right)
                need += w->sizeHint().width() + first->spacing();
            const bool wrap = host->width() < need;
            if (wrap != wrapped)
                place(wrap);
        }
        return false;
    }

private:
    void place(bool wrap)
    {
        wrapped = wrap;
        for (QWidget *w : right) {
            first->removeWidget(w);
            second->removeWidget(w);
            (wrap ? second : first)->addWidget(w);
        }
    }

    QWidget *host;
    QList<QWidget *> left;
    QList<QWidget *> right;
    QHBoxLayout *first = nullptr;
    QHBoxLayout *second = nullptr;
    bool wrapped = true;
};

// The frame log's columns and row height follow its width. Where the frame
// text and the longest descriptions fit side by side on one line, rows are
// one line high. In a narrower log (the window at the size it opens with)
// both texts wrap: the width is split between the frame and the
// description columns so that the rows need the fewest lines, and the rows
// are that high, so a description shows whole instead of running off the
// view. A log too narrow for that in four lines keeps one-line rows and
// scrolls across. The rows keep one height (the log's window of
// rows counts on it); it changes before the view takes its new size. The
// texts are measured in the font the view has when it is resized (a style
// sheet may give it another than it had when it was made).
class LogRowsFit : public QObject
{
public:
    static constexpr int kMaxLines = 4;

    LogRowsFit(QTableView *view, const QString &frameRef, const QStringList &descRefs)
        : QObject(view), view(view), frameRef(frameRef), descRefs(descRefs)
    {
        oneLineHeight = view->verticalHeader()->defaultSectionSize();
        view->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            fit(static_cast<QResizeEvent *>(event)->size().width() - 2 * view->frameWidth());
        return false;
    }

private:
    int linesAt(const QFontMetrics &fm, const QString &text, int width) const
    {
        // Two pixels to spare: the cell lays out in its own rectangle.
        const int h = fm.boundingRect(QRect(0, 0, qMax(1, width - margin - 2), 1 << 20), Qt::TextWordWrap, text).height();
        return qMax(1, (h + fm.lineSpacing() / 2) / fm.lineSpacing());
    }
    int descLines(const QFontMetrics &fm, int width) const
    {
        int lines = 1;
        for (const QString &d : descRefs)
            lines = qMax(lines, linesAt(fm, d, width));
        return lines;
    }
    void fit(int width)
    {
        // The search below lays out the texts a few hundred times: once per
        // width and font.
        const QString fontKey = view->font().key();
        if (width == fitWidth && fontKey == fitFont && view->columnWidth(0) == fitNumber)
            return;
        fitWidth = width;
        fitFont = fontKey;
        fitNumber = view->columnWidth(0);
        const QFontMetrics fm(view->font());
        margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
        const int number = view->columnWidth(0);
        const int frameOne = fm.horizontalAdvance(frameRef) + margin + 4;
        int descWidest = 0;
        for (const QString &d : descRefs)
            descWidest = qMax(descWidest, fm.horizontalAdvance(d));
        int lines = 1;
        int frame = frameOne;
        int desc = descWidest + margin + 4;
        if (number + frameOne + desc > width) {
            // The split that needs the fewest lines; among equals the widest
            // description column.
            lines = 1 << 20;
            for (int f = 40; f <= frameOne; f += 4) {
                const int d = width - number - f;
                if (d < 40)
                    break;
                const int need = qMax(linesAt(fm, frameRef, f), descLines(fm, d));
                if (need <= lines) {
                    if (need < lines || d > desc || lines == (1 << 20)) {
                        lines = need;
                        frame = f;
                        desc = d;
                    }
                }
            }
            if (lines > kMaxLines) {
                // Too narrow to show the texts whole in rows of a sensible
                // height: one line each, the log scrolls across to them.
                lines = 1;
                frame = frameOne;
                desc = qMax(300, descWidest + margin + 4);
                applySizes(fm, frame, desc, lines);
                return;
            }
            // The frame column as narrow as that many lines allow, and a
            // byte wider where the descriptions still fit: other frames
            // break their lines at other places than the one measured.
            while (frame > 40 && linesAt(fm, frameRef, frame - 4) <= lines) {
                frame -= 4;
                desc += 4;
            }
            const int slack = fm.horizontalAdvance(QStringLiteral("DD "));
            if (desc - slack >= 40 && descLines(fm, desc - slack) <= lines) {
                frame += slack;
                desc -= slack;
            }
        }
        applySizes(fm, frame, desc, lines);
    }
    void applySizes(const QFontMetrics &fm, int frame, int desc, int lines)
    {
        view->setColumnWidth(1, frame);
        view->setColumnWidth(2, desc);
        const int height = oneLineHeight + (lines - 1) * fm.lineSpacing();
        if (height != view->verticalHeader()->defaultSectionSize())
            view->verticalHeader()->setDefaultSectionSize(height);
    }

    QTableView *view;
    QString frameRef;
    QStringList descRefs;
    int margin = 0;
    int oneLineHeight = 0;
    int fitWidth = -1;
    int fitNumber = -1;
    QString fitFont;
};

} // namespace

void QUserMainWindowCANopen::canopenLogTabCreat(QBoxLayout *parentLayout)
{
    QVBoxLayout *box = new QVBoxLayout;
    canopenLogView = new QUserTableView(this);
    canopenLogView->setObjectName(QStringLiteral("tableViewCanopenLog"));
    canopenLogModel = new QUserTableModelCANopen(this);
    canopenLogModel->setObjectName(QStringLiteral("canopenLogModel"));

    QUserTableView *v = canopenLogView;
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->resizeRowsToContents();
    v->resizeColumnsToContents();
    v->setWordWrap(true);
    v->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    v->horizontalHeader()->setStretchLastSection(true);
    v->horizontalHeader()->setVisible(true);
    v->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    v->verticalHeader()->setVisible(false);
    v->setAlternatingRowColors(true);
    v->setSortingEnabled(false);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->verticalScrollBar()->setEnabled(false);
    v->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setFocusPolicy(Qt::WheelFocus);
    v->setUserModel(canopenLogModel);

    canopenLogModel->setColumnCount(3);
    canopenLogModel->setHorizontalHeaderLabels({tr("序号"), tr("报文"), tr("解析")});
    // The number and the frame text as wide as they need (a full eight-byte
    // frame), so that the description starts within a narrow log too.
    const QFontMetrics fm(v->font());
    v->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("0000000")) + 12);
    v->setColumnWidth(1, fm.horizontalAdvance(QStringLiteral("[Rx,S,D,00000585,8,4B 41 60 00 37 02 00 00]")) + 16);
    v->setColumnWidth(2, 300);
    // The frame and description columns and the row height then follow the
    // log's width, measured on the longest of the usual descriptions in the
    // language in force.
    {
        QStringList refs;
        const QPair<const char *, const char *> frames[] = {
            {"00000705 ", "05"},               {"00000185 ", "1122334455667788"}, {"00000585 ", "4B41600037020000"},
            {"00000605 ", "2B4060000F000000"}, {"00000085 ", "1081000000000000"}, {"00000000 ", "0105"},
        };
        for (const auto &f : frames) {
            const QString data = QString::fromLatin1(f.second);
            QString d;
            if (decoder.msgAnalysis(QUserCanMsg(QString::fromLatin1(f.first), false, false,
                                                QString::number(data.size() / 2), data),
                                    d))
                refs << d;
        }
        // An eight-byte frame of wide digits stands for every such frame.
        new LogRowsFit(v, QStringLiteral("[Rx,S,D,00000CCD,8,DD CC BB DD CC BB DD CC] "), refs);
    }

    QHBoxLayout *tableRow = new QHBoxLayout;
    tableRow->setSpacing(0);
    tableRow->addWidget(v);
    if (v->vScrollBar) {
        tableRow->addWidget(v->vScrollBar);
        v->vScrollBar->setVisible(true);
    }
    box->addLayout(tableRow);

    QWidget *controlsHost = new QWidget;
    logPauseChk = new QCheckBox(tr("暂停刷新"));
    logPauseChk->setObjectName(QStringLiteral("checkBoxLogPause"));
    logHeartBeatChk = new QCheckBox(tr("显示心跳报文"));
    logHeartBeatChk->setObjectName(QStringLiteral("checkBoxLogHeartBeat"));
    logHeartBeatChk->setChecked(heartBeatShow != 0);
    logClrBtn = new QPushButton(tr("清屏"));
    logClrBtn->setObjectName(QStringLiteral("pushButtonLogClear"));
    logSaveBtn = new QPushButton(tr("保存"));
    logSaveBtn->setObjectName(QStringLiteral("pushButtonLogSave"));
    new WrappingRow(controlsHost, {logPauseChk, logHeartBeatChk}, {logClrBtn, logSaveBtn});
    box->addWidget(controlsHost);

    connect(v, &QAbstractItemView::clicked, this, &QUserMainWindowCANopen::slotLogTabSelectionChanged);
    connect(v, &QAbstractItemView::doubleClicked, this, &QUserMainWindowCANopen::slotLogTabItemDoubleClick);
    connect(logPauseChk, &QCheckBox::stateChanged, this, &QUserMainWindowCANopen::slotLogPauseEn);
    connect(logHeartBeatChk, &QCheckBox::stateChanged, this, &QUserMainWindowCANopen::slotLogHBeatShowEn);
    connect(logClrBtn, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCANopenLogClr);
    connect(logSaveBtn, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCANopenLogSave);
    parentLayout->addLayout(box);
}

// ---- operation log ----------------------------------------------------------------------

void QUserMainWindowCANopen::edsLogTabCreat(QBoxLayout *parentLayout)
{
    edsLogTab = new QTabWidget;
    edsLogTab->setObjectName(QStringLiteral("tabWidgetEdsLog"));
    QWidget *page = new QWidget;
    QVBoxLayout *layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    edsLogEdit = new QTextEdit;
    edsLogEdit->setObjectName(QStringLiteral("textEditEdsLog"));
    edsLogEdit->setReadOnly(true);
    layout->addWidget(edsLogEdit);
    QHBoxLayout *row = new QHBoxLayout;
    row->addStretch();
    edsLogClrBtn = new QPushButton(tr("清空日志"));
    edsLogClrBtn->setObjectName(QStringLiteral("pushButtonEdsLogClear"));
    QFont font(QStringLiteral("Microsoft YaHei"), 12);
    edsLogClrBtn->setMinimumWidth(QFontMetrics(font).horizontalAdvance(edsLogClrBtn->text()));
    row->addWidget(edsLogClrBtn);
    layout->addLayout(row);
    connect(edsLogClrBtn, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotEdsLogClr);
    edsLogTab->addTab(page, tr("日志输出"));
    parentLayout->addWidget(edsLogTab);
}

void QUserMainWindowCANopen::edsLogAppend(int level, const QString &text)
{
    if (!edsLogEdit)
        return;
    QColor color(Qt::black);
    if (level == 1)
        color = Qt::blue;
    else if (level == 2)
        color = Qt::red;
    edsLogEdit->setTextColor(color);
    edsLogEdit->append(QStringLiteral("[") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                       + QStringLiteral("] ") + text);
    edsLogEdit->moveCursor(QTextCursor::End);
    edsLogEdit->ensureCursorVisible();
}

void QUserMainWindowCANopen::slotEdsLogClr()
{
    if (edsLogEdit)
        edsLogEdit->clear();
}
