// The DBC analysis window: the listened messages (mirrored in the analysis
// handle), the listen list with its per-message index, the operations that
// change them, the project files, and the decoding of received frames.
#include "dbc/QUserMainWindowDBC.h"

#include "dbc/DbcLibText.h"
#include "dbc/DbcPrjFile.h"
#include "dbc/DbcRecord.h"
#include "dbc/DbcSignalPage.h"
#include "dbc/QKemsigLib.h"
#include "dbc/QUserTableModelDBC.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTableView.h"
#include "widgets/QUserTreeWidget.h"

#include <QDataStream>
#include <QDebug>
#include <QFileInfo>
#include <QMenu>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void logLine(const QString &text) { qDebug().noquote() << text; }

// The message name of a tree item text: the text before its first blank.
QString msgNameOf(const QString &text)
{
    const int blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? text : text.left(blank);
}

} // namespace

// ---- listened messages --------------------------------------------------------------------

void QUserMainWindowDBC::listenMsgInsert(const QUserDbcMsg &msg)
{
    logLine(QStringLiteral("Listen Msg<%1> Insert...").arg(msg.strName));
    if (listenMsgMap.contains(msg.strName)) {
        logLine(QStringLiteral("WARNING:Listen Msg Insert Fail,Already Exist..."));
        return;
    }
    listenMsgMap.insert(msg.strName, msg);
    decodeBindingsReset();
    if (!decodeHandle)
        return;
    std::unique_ptr<DbcMessage> rec(new DbcMessage);
    std::memset(rec.get(), 0, sizeof(DbcMessage));
    DbcMessageRecord::toLib(msg, rec.get());
    if (lib->insertMessage(decodeHandle, rec.get()) == 0)
        logLine(QStringLiteral("ERROR:Listen Msg Sync DbcLib Fail,Insert Fail..."));
}

bool QUserMainWindowDBC::listenMsgDel(const QString &name)
{
    logLine(QStringLiteral("Listen Msg<%1> Del...").arg(name));
    auto it = listenMsgMap.constFind(name);
    if (it == listenMsgMap.constEnd())
        return false;
    const quint32 id = it.value().nID;
    listenMsgMap.remove(name);
    decodeBindingsReset();
    if (decodeHandle) {
        if (lib->deleteMessage(decodeHandle, id) == 0)
            logLine(QStringLiteral("ERROR:Listen Msg Delete Fail..."));
        // kemsig removes whatever it keeps under the identifier's key, and
        // another listened message may share that key (a standard and an
        // extended frame of the same number, J1939 groups of different
        // sources): bring the handle back in step with the map.
        listenMsgResync();
    }
    return true;
}

void QUserMainWindowDBC::listenMsgClear()
{
    logLine(QStringLiteral("Listen Msg Clear..."));
    listenMsgMap.clear();
    decodeBindingsReset();
    if (decodeHandle && lib->clrMessage(decodeHandle) == 0)
        logLine(QStringLiteral("ERROR:Listen Msg Sync DbcLib Fail,Clear Fail..."));
}

void QUserMainWindowDBC::listenMsgSync()
{
    logLine(QStringLiteral("ERROR:Listen Msg Sync DbcLib..."));
    if (!decodeHandle) {
        logLine(QStringLiteral("ERROR:Kem DBC LIB is invalid..."));
        return;
    }
    listenMsgResync();
}

void QUserMainWindowDBC::listenMsgResync()
{
    decodeBindingsReset();
    if (!decodeHandle)
        return;
    lib->clrMessage(decodeHandle);
    std::unique_ptr<DbcMessage> rec(new DbcMessage);
    for (const QUserDbcMsg &msg : listenMsgMap) {
        std::memset(rec.get(), 0, sizeof(DbcMessage));
        DbcMessageRecord::toLib(msg, rec.get());
        if (lib->insertMessage(decodeHandle, rec.get()) == 0)
            logLine(QStringLiteral("ERROR:Listen Msg Insert Fail..."));
    }
}

bool QUserMainWindowDBC::listenMsgExists(const QString &name) const
{
    return listenMsgMap.contains(name);
}

bool QUserMainWindowDBC::listenMsgFind(const QString &name, QUserDbcMsg &out) const
{
    auto it = listenMsgMap.constFind(name);
    if (it == listenMsgMap.constEnd())
        return false;
    out = it.value();
    return true;
}

// ---- listened signals ------------------------------------------------------------------------

bool QUserMainWindowDBC::listenSignalAt(int index, QUserDbcSignal &out) const
{
    if (index < 0 || index >= listenSignals.size())
        return false;
    out = listenSignals.at(index);
    return true;
}

bool QUserMainWindowDBC::listenSignalFind(const QString &msgName, const QString &sigName, QUserDbcSignal &out) const
{
    // The index holds every row of the message, in list order.
    const QVector<int> rows = listenIdx.value(msgName);
    for (int row : rows) {
        if (row >= 0 && row < listenSignals.size() && listenSignals.at(row).strName == sigName) {
            out = listenSignals.at(row);
            return true;
        }
    }
    return false;
}

bool QUserMainWindowDBC::listenSignalExists(const QString &msgName, const QString &sigName) const
{
    auto it = listenIdx.constFind(msgName);
    if (it == listenIdx.constEnd())
        return false;
    for (int row : it.value()) {
        if (row >= 0 && row < listenSignals.size() && listenSignals.at(row).strName == sigName)
            return true;
    }
    return false;
}

void QUserMainWindowDBC::listenModelSync()
{
    logLine(QStringLiteral("Listen Signal Model Sync..."));
    if (!tableModel)
        return;
    tableModel->clear();
    for (const QUserDbcSignal &s : listenSignals)
        tableModel->signalAppend(s);
}

void QUserMainWindowDBC::listenSignalColorSet(int row, const QString &color)
{
    if (row < 0 || row >= listenSignals.size())
        return;
    QUserDbcSignal &s = listenSignals[row];
    s.color = color;
    if (tableModel)
        tableModel->signalSet(row, s);
    chartSignalColorSet(s.msgName, s.strName, color);
}

int QUserMainWindowDBC::tableRowToCacheRow(int tableRow) const
{
    return tableRow + (tableModel ? tableModel->windowStart() : 0);
}

bool QUserMainWindowDBC::dbcSignalFind(const QString &msgName, const QString &sigName, QUserDbcSignal *out) const
{
    if (msgName.isEmpty() || !out)
        return false;
    const int i = loadedIndexOf(msgName); // the first message of that name
    if (i < 0)
        return false;
    const QUserDbcMsg &m = loadedMsgs.at(i);
    for (const QUserDbcSignal &s : m.vSignals) {
        if (s.strName == sigName) {
            *out = s;
            out->msgId = m.nID;
            out->msgName = m.strName;
            return true;
        }
    }
    return false;
}

int QUserMainWindowDBC::listenSignalAdd(const QString &msgName, const QString &sigName)
{
    QUserDbcSignal sig;
    if (!dbcSignalFind(msgName, sigName, &sig))
        return -2;
    if (listenSignalExists(msgName, sigName))
        return -1;
    sig.msgName = msgName;
    const int r = std::rand() % 256;
    const int g = std::rand() % 256;
    const int b = std::rand() % 256;
    sig.color = QStringLiteral("%1,%2,%3").arg(r).arg(g).arg(b);
    listenSignalInsert(sig);
    if (tableModel)
        tableModel->signalAppend(sig);
    return 0;
}

int QUserMainWindowDBC::listenMessageAdd(const QString &msgName)
{
    if (msgName.isEmpty())
        return -2;
    const int index = loadedIndexOf(msgName);
    if (index < 0)
        return -2;
    const QUserDbcMsg *msg = &loadedMsgs.at(index);
    int already = 0;
    const QVector<QUserDbcSignal> sigs = msg->vSignals; // the loop may not outlive a change of the list
    for (const QUserDbcSignal &s : sigs) {
        if (listenSignalAdd(msgName, s.strName) == -1)
            ++already;
    }
    return already == sigs.size() ? -1 : 0;
}

bool QUserMainWindowDBC::listenSignalInsert(const QUserDbcSignal &sig)
{
    logLine(QStringLiteral("Listen Signal<%1> Insert...").arg(sig.strName));
    listenIdx[sig.msgName].append(listenSignals.size());
    listenSignals.append(sig);
    decodeBindingsReset();
    if (sig.msgName.isEmpty() || loadedIndexOf(sig.msgName) < 0)
        return true;
    if (listenMsgMap.contains(sig.msgName)) {
        // Listened already: stays as it is (no copy of the message needed).
        logLine(QStringLiteral("Listen Msg<%1> Insert...").arg(sig.msgName));
        logLine(QStringLiteral("WARNING:Listen Msg Insert Fail,Already Exist..."));
        return true;
    }
    listenMsgInsert(loadedMsgs.at(loadedIndexOf(sig.msgName)));
    return true;
}

void QUserMainWindowDBC::listenIndexRebuild()
{
    listenIdx.clear();
    for (int i = 0; i < listenSignals.size(); ++i)
        listenIdx[listenSignals.at(i).msgName].append(i);
    decodeBindingsReset();
}

void QUserMainWindowDBC::listenSignalDelete(int row)
{
    logLine(QStringLiteral("Listen Signal<row:%1> Delete...").arg(row));
    if (row < 0 || row >= listenSignals.size())
        return;
    logLine(QStringLiteral("删除信号:row:%1...").arg(row));
    const QString msgName = listenSignals.at(row).msgName;
    chartSignalDel(msgName, listenSignals.at(row).strName);
    if (tableModel)
        tableModel->signalRemove(row);
    listenSignals.remove(row);
    listenIndexRebuild();
    for (const QUserDbcSignal &s : listenSignals) {
        if (s.msgName == msgName)
            return;
    }
    listenMsgDel(msgName);
}

bool QUserMainWindowDBC::listenSignalClear()
{
    logLine(QStringLiteral("Listen Signal Clr..."));
    listenSignals.clear();
    listenIndexRebuild();
    listenMsgClear();
    chartSeriesClearAll();
    if (tableModel)
        tableModel->clear();
    return true;
}

bool QUserMainWindowDBC::listenSignalChartEnable(int row, bool enable)
{
    if (row < 0 || row >= listenSignals.size())
        return false;
    QUserDbcSignal &s = listenSignals[row];
    if ((s.chartEnable != 0) == enable)
        return true;
    s.chartEnable = enable ? 1 : 0;
    if (tableModel)
        tableModel->chartEnableSet(row, enable);
    if (!enable)
        chartSignalDel(s.msgName, s.strName);
    else
        chartSignalAdd(&listenSignals.at(row));
    return true;
}

void QUserMainWindowDBC::listenSignalChartSync()
{
    logLine(QStringLiteral("Listen Signal Chart Sync..."));
    if (chartViewWidget)
        chartAxisXReset();
    chartAxisYFit();
    for (const QUserDbcSignal &s : listenSignals) {
        if (s.chartEnable)
            chartSignalAdd(&s);
    }
}

// ---- slots of the tree, the drop and the listen table -------------------------------------------

void QUserMainWindowDBC::treeItemNames(QTreeWidgetItem *item, QString &msgName, QString &sigName) const
{
    // Top-level items are messages (also one without signals), their
    // children signals.
    if (item->parent()) {
        msgName = msgNameOf(item->parent()->text(0));
        sigName = item->text(0);
    } else {
        msgName = msgNameOf(item->text(0));
        sigName.clear();
    }
}

void QUserMainWindowDBC::signalAddResultShow(int r)
{
    if (r == -2)
        QUserMessageBox::msgWarning(this, tr("提示"), tr("信号不存在!!!"));
    else if (r == -1)
        QUserMessageBox::msgWarning(this, tr("提示"), tr("信号已存在!!!"));
}

void QUserMainWindowDBC::soltTreeWidgetPopMenueActAdd()
{
    if (!treeWidget)
        return;
    if (loadedMsgs.isEmpty()) {
        logLine(QStringLiteral("ERROR:Msg List Is Empty..."));
        return;
    }
    QTreeWidgetItem *item = treeWidget->currentItem();
    if (!item)
        return;
    QString msgName, sigName;
    treeItemNames(item, msgName, sigName);
    int r;
    if (item->parent()) {
        logLine(QStringLiteral("添加信号到监听列表..."));
        r = listenSignalAdd(msgName, sigName);
    } else {
        logLine(QStringLiteral("添加消息的所有信号到监听列表..."));
        QUserDbcMsg msg;
        // A message without signals has nothing to listen to.
        if (msgFindByName(msgName, msg) && msg.vSignals.isEmpty())
            r = -2;
        else
            r = listenMessageAdd(msgName);
    }
    signalAddResultShow(r);
}

void QUserMainWindowDBC::soltTreeWidgetPopMenueActAddAll()
{
    logLine(QStringLiteral("添加DBC文件所有信号到监听列表..."));
    if (QUserMessageBox::msgQuestionEx(this, tr("提示"), tr("是否添加所有信号?")) != 1)
        return;
    if (!treeWidget)
        return;
    if (loadedMsgs.isEmpty()) {
        logLine(QStringLiteral("ERROR:Msg List Is Empty..."));
        return;
    }
    const QVector<QUserDbcMsg> msgs = loadedMsgs;
    for (const QUserDbcMsg &m : msgs)
        listenMessageAdd(m.strName);
    msgBox.tipSuccess(this, tr("操作完成!"), 500);
}

void QUserMainWindowDBC::slotTabViewDropEvent(QString parentText, QString itemText)
{
    int r;
    if (!parentText.isEmpty()) {
        r = listenSignalAdd(msgNameOf(parentText), itemText);
    } else {
        const QString msgName = msgNameOf(itemText);
        QUserDbcMsg msg;
        if (msgFindByName(msgName, msg) && msg.vSignals.isEmpty())
            r = -2;
        else
            r = listenMessageAdd(msgName);
    }
    signalAddResultShow(r);
}

void QUserMainWindowDBC::soltTableViewSignalItemClick(const QModelIndex &index)
{
    if (index.column() != QUserTableModelDBC::ColChart || index.row() < 0 || !index.model() || !tableModel)
        return;
    QStandardItem *item = tableModel->item(index.row(), QUserTableModelDBC::ColChart);
    const int state = item ? item->data(Qt::CheckStateRole).toInt() : 0;
    listenSignalChartEnable(tableRowToCacheRow(index.row()), state == Qt::Checked);
}

void QUserMainWindowDBC::soltListenSigListPopMenue(const QPoint &pos)
{
    if (!tableView || !listenMenuPop) {
        logLine(QStringLiteral("ERROR: Listen Sig List PopMenu Not Ready..."));
        return;
    }
    menuIndex = tableView->indexAt(pos);
    listenMenuPop->popup(QCursor::pos());
}

void QUserMainWindowDBC::soltListenSigListPopMenueActUp()
{
    if (!tableModel || tableModel->cacheCount() <= 1)
        return;
    if (menuIndex.row() < 0 || menuIndex.column() < 0 || !menuIndex.model())
        return;
    const int r = tableRowToCacheRow(menuIndex.row());
    if (r <= 0 || r >= listenSignals.size())
        return;
    std::swap(listenSignals[r - 1], listenSignals[r]);
    tableModel->signalSwap(r - 1, r);
    listenIndexRebuild();
}

void QUserMainWindowDBC::soltListenSigListPopMenueActDown()
{
    if (!tableModel || tableModel->cacheCount() <= 1)
        return;
    if (menuIndex.row() < 0 || menuIndex.column() < 0 || !menuIndex.model())
        return;
    const int r = tableRowToCacheRow(menuIndex.row());
    if (r < 0 || r + 1 >= tableModel->cacheCount() || r + 1 >= listenSignals.size())
        return;
    std::swap(listenSignals[r], listenSignals[r + 1]);
    tableModel->signalSwap(r, r + 1);
    listenIndexRebuild();
}

void QUserMainWindowDBC::soltListenSigListPopMenueActDel()
{
    if (!tableModel || tableModel->cacheCount() <= 0)
        return;
    const int r = tableRowToCacheRow(menuIndex.row());
    if (menuIndex.row() < 0 || r < 0 || r >= tableModel->cacheCount())
        return;
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否删除该信号?")) != 1)
        return;
    listenSignalDelete(r);
}

void QUserMainWindowDBC::soltListenSigListPopMenueActClr()
{
    if (!tableModel || tableModel->cacheCount() <= 0)
        return;
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否删除所有信号?")) != 1)
        return;
    listenSignalClear();
}

// ---- project files ----------------------------------------------------------------------------

QByteArray QUserMainWindowDBC::listenState() const
{
    // The decoded values change with every frame: they are no edit.
    QByteArray state;
    if (listenSignals.isEmpty())
        return state;
    QDataStream out(&state, QIODevice::WriteOnly);
    for (const QUserDbcSignal &sig : listenSignals)
        out << sig.msgName << sig.strName << sig.color << sig.chartEnable;
    return state;
}

bool QUserMainWindowDBC::editsUnsaved() const
{
    const QByteArray now = listenState();
    return !now.isEmpty() && now != savedListen;
}

void QUserMainWindowDBC::slotDbcPrjSave()
{
    const QString path =
        QUserPrompt::instance()->getSaveFileName(this, tr("保存"), QStringLiteral("../"), QStringLiteral("PRJ File(*.prj);"));
    if (path.isEmpty())
        return;
    DbcPrjFile prj;
    prj.setPrjFilePath(path);
    prj.setDbcFilePath(dbcPath);
    prj.addMessageMap(listenMsgMap);
    prj.addSignalList(listenSignals);
    if (prj.save() != DbcPrjFile::Ok) {
        // The previous file, if any, is still there (the project file
        // replaces it only when the new one is complete).
        logLine(QStringLiteral("DBC Prj File %1 Save Fail...").arg(path));
        QUserMessageBox::msgError(this, tr("错误"), tr("保存失败!"));
        return;
    }
    logLine(QStringLiteral("DBC Prj File %1<msg:%2,sig:%3> Save Success...")
                .arg(path)
                .arg(listenMsgMap.size())
                .arg(listenSignals.size()));
    savedListen = listenState();
    titleFile = QFileInfo(path).fileName();
    titleUpdate();
    msgBox.tipSuccess(this, tr("保存成功!"), 1000);
}

void QUserMainWindowDBC::slotDbcPrjLoad()
{
    if (loadBusy) {
        logLine(QStringLiteral("WARNING:DBC File Load Busy..."));
        msgBox.tipFail(this, tr("加载中..."), 1000);
        return;
    }
    const QString path =
        QUserPrompt::instance()->getOpenFileName(this, tr("打开工程"), QString(), QStringLiteral("PRJ File(*.prj)"));
    if (path.isEmpty())
        return;
    DbcPrjFile prj;
    if (prj.load(path) != DbcPrjFile::Ok) {
        QUserMessageBox::msgWarning(this, tr("打开工程"), tr("打开失败,文件解析错误!"));
        return;
    }
    listenMsgMap.clear();
    if (!prj.signalList().isEmpty())
        prj.getMessageMap(listenMsgMap);
    listenSignals = prj.signalList();
    listenIndexRebuild(); // lookups by message use the index
    dbcPath = prj.dbcFilePath();
    // The curves of the list being replaced go with it.
    chartSeriesClearAll();

    dbcFileLoad(dbcPath);
    msgTreeFill();
    logLine(QStringLiteral("DBC Prj File %1<msg:%2,sig:%3> Load Success...")
                .arg(path)
                .arg(listenMsgMap.size())
                .arg(listenSignals.size()));

    listenMsgSync();
    listenIndexRebuild();
    listenModelSync();
    listenSignalChartSync();
    savedListen = listenState();
    titleFile = QFileInfo(path).fileName();
    titleUpdate();
    msgBox.tipSuccess(this, tr("打开成功!"), 1000);
}

// ---- decoding ------------------------------------------------------------------------------------

void QUserMainWindowDBC::soltCanMsgRec(QString, QUserCanMsg msg)
{
    // This slot takes the registry's sendResultNotify, which carries the
    // senders' state reports (status 0 to 3, records that are no frames)
    // beside the frames that went out, and frames whose send failed: neither
    // was on the bus.
    if (msg.status >= MsgStatusBasicStart && msg.status <= MsgStatusAdvEnd)
        return;
    if (msg.sendFailed)
        return;
    frameDecode(msg);
}

void QUserMainWindowDBC::soltCanMsgRec(QString, QVector<QUserCanMsg> msgs)
{
    for (const QUserCanMsg &m : msgs)
        frameDecode(m);
}

void QUserMainWindowDBC::frameDecode(const QUserCanMsg &msg)
{
    if (!decodeHandle)
        return;
    if (msg.direction == 1 && !chart.sendDataAnalysisEnable)
        return;
    int r;
    quint32 frameId = 0;
    quint32 dataLen = 0;
    quint8 data[8] = {};
    if (msg.protocol == 0) {
        KCAN_CAN_OBJ obj;
        msgToCanObj(msg, obj);
        frameId = obj.ID;
        dataLen = std::min<quint32>(obj.DataLen, 8);
        std::memcpy(data, obj.Data, sizeof data);
        r = lib->decode(decodeHandle, &obj, 0, decodeOut.get());
    } else {
        KCAN_CANFD_OBJ obj;
        msgToCanFdObj(msg, obj);
        frameId = obj.ID;
        dataLen = std::min<quint32>(obj.DataLen, 64);
        std::memcpy(data, obj.Data, sizeof data);
        r = lib->decode(decodeHandle, &obj, 1, decodeOut.get());
    }
    // A remote frame asks for data and carries none: its length code is
    // the length asked for, and its zero bytes are no signal's value.
    if (msg.remote)
        dataLen = 0;
    const quint32 j1939Key = (frameId & 0x1FF0000u) >> 8;
    if (dbcProtocolType == 1 && j1939Key == 0xEC00 && (data[0] == 16 || data[0] == 32))
        j1939Announced.insert(quint16(frameId & 0xFFFF), quint32(data[1]) | (quint32(data[2]) << 8));
    if (r < 0)
        return;
    // A J1939 transport data frame completes a group of up to 1792 bytes:
    // the decoded data is the group's, as many bytes as its announcement
    // gave, which may be fewer than its DBC message has.
    if (dbcProtocolType == 1 && j1939Key == 0xEB00)
        dataLen = std::min<quint32>(j1939Announced.value(quint16(frameId & 0xFFFF), 0), KDBC_J1939_MAX_BYTES);
    DecodeBinding *b = decodeBindingFor(*decodeOut);
    if (!b)
        return;
    const qint64 now = getCurrentMs();
    if (b->listened) {
        auto it = listenMsgMap.find(b->msgName);
        if (it != listenMsgMap.end())
            it.value().setFrame(msg.hostTime, msg.idText, msg.extended != 0, msg.dataText);
    }
    const quint32 n = std::min<quint32>(decodeOut->nSignalCount, KDBC_MAX_SIGNALS);
    // The frame carries the plain signals, the switch and the page its
    // switch value selects; a field past the frame's data is not in it.
    // Rows of signals it does not carry keep their last value and time.
    const int sw = DbcSignalPage::switchSlot(*decodeOut);
    const bool haveSwitch = sw >= 0 && quint32(sw) < n && DbcSignalPage::fieldFits(decodeOut->sSignals[sw], dataLen);
    const quint64 page = haveSwitch ? decodeOut->sSignals[sw].nRawValue : 0;
    for (const DecodeRow &row : b->rows) {
        if (quint32(row.slot) >= n)
            continue;
        const DbcSignal &d = decodeOut->sSignals[row.slot];
        if (!DbcSignalPage::fieldFits(d, dataLen))
            continue;
        if (sw >= 0 && d.multiplexerType == KDBC_MUX_MULTIPLEXED
            && (!haveSwitch || !DbcSignalPage::onPage(d.multiplexerType, quint32(d.multiplexerValue), page)))
            continue;
        rowValueUpdate(row, now, d.nRawValue);
    }
}

QUserMainWindowDBC::DecodeBinding *QUserMainWindowDBC::decodeBindingFor(const DbcMessage &decoded)
{
    const size_t nameLen = strnlen(decoded.strName, sizeof decoded.strName);
    const QByteArray key = QByteArray::fromRawData(decoded.strName, int(nameLen));
    auto it = decodeBindings.constFind(key);
    if (it != decodeBindings.constEnd())
        return it.value();

    DecodeBinding *b = new DecodeBinding;
    b->msgName = QString::fromUtf8(decoded.strName, int(nameLen));
    b->listened = listenMsgMap.contains(b->msgName);
    const QVector<int> rows = listenIdx.value(b->msgName);
    const quint32 n = std::min<quint32>(decoded.nSignalCount, KDBC_MAX_SIGNALS);
    for (int row : rows) {
        if (row < 0 || row >= listenSignals.size())
            continue;
        const QUserDbcSignal &ls = listenSignals.at(row);
        const QByteArray name = DbcLibText::signalNameKey(ls.strName);
        for (quint32 i = 0; i < n; ++i) {
            if (std::strncmp(decoded.sSignals[i].strName, name.constData(), sizeof decoded.sSignals[i].strName) != 0)
                continue;
            DecodeRow r;
            r.row = row;
            r.slot = int(i);
            r.libSig = new DbcSignal;
            std::memset(r.libSig, 0, sizeof(DbcSignal));
            DbcSignalRecord::toLib(ls, r.libSig);
            r.chartEntry = chartEntryFind(ls.msgName, ls.strName);
            b->rows.append(r);
        }
    }
    decodeBindings.insert(QByteArray(decoded.strName, int(nameLen)), b);
    return b;
}

void QUserMainWindowDBC::decodeBindingsReset()
{
    qDeleteAll(decodeBindings);
    decodeBindings.clear();
}

void QUserMainWindowDBC::rowValueUpdate(const DecodeRow &r, qint64 timeMs, quint64 bits)
{
    QUserDbcSignal &ls = listenSignals[r.row];
    ls.nChartTime = timeMs;
    ls.nRawValue = DbcSignalRecord::rawFromLib(ls.isSigned != 0, ls.nLen, bits);
    ls.nPhysicalValue = lib->calcPhysicalValue(r.libSig, bits);
    if (tableModel)
        tableModel->valuesSet(r.row, timeMs, ls.nRawValue, ls.nPhysicalValue);
    if (r.chartEntry)
        chartEntryUpdate(r.chartEntry, timeMs, ls.nPhysicalValue);
}

void QUserMainWindowDBC::signalValueUpdate(QUserDbcMsg &decoded)
{
    auto idx = listenIdx.constFind(decoded.strName);
    if (idx == listenIdx.constEnd())
        return;
    const QVector<int> rows = idx.value();
    // Only what the message's frame carries: the plain signals, the switch
    // and the signals of the page it selects.
    const QVector<int> carried = DbcSignalPage::carried(decoded);
    for (int row : rows) {
        if (row < 0 || row >= listenSignals.size())
            continue;
        for (int i : carried) {
            const QUserDbcSignal &s = decoded.vSignals.at(i);
            QUserDbcSignal &ls = listenSignals[row];
            if (s.strName != ls.strName)
                continue;
            ls.nChartTime = s.nChartTime;
            if (tableModel)
                tableModel->timeSet(row, ls.nChartTime);
            ls.nRawValue = s.nRawValue;
            DbcSignal def;
            std::memset(&def, 0, sizeof def);
            DbcSignalRecord::toLib(ls, &def);
            ls.nPhysicalValue = lib ? lib->calcPhysicalValue(&def, def.nRawValue) : 0.0;
            if (tableModel) {
                tableModel->rawValueSet(row, ls.nRawValue);
                tableModel->physicalValueSet(row, ls.nPhysicalValue);
            }
            chartSeriesUpdate(ls.msgName, ls.strName, ls.nChartTime, ls.nPhysicalValue);
        }
    }
}
