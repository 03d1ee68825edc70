// The DBC analysis window: loading DBC files on the worker thread behind the
// progress dialog, and the filterable message tree.
#include "dbc/QUserMainWindowDBC.h"

#include "core/QUserTimer.h"
#include "dbc/DbcFileLoader.h"
#include "dbc/DbcLoadNote.h"
#include "dbc/QKemsigLib.h"
#include "widgets/QUserProgressDlg.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTreeWidget.h"

#include <QDebug>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QPointer>

namespace {

void logLine(const QString &text) { qDebug().noquote() << text; }

} // namespace

void QUserMainWindowDBC::slotDbcFileLoad()
{
    logLine(QStringLiteral("加载DBC文件..."));
    if (loadBusy) {
        logLine(QStringLiteral("WARNING:DBC File Load Busy..."));
        msgBox.tipFail(this, tr("加载中..."), 1000);
        return;
    }
    const QString path =
        QUserPrompt::instance()->getOpenFileName(this, tr("选择DBC文件"), QString(), QStringLiteral("DBC File(*.dbc)"));
    if (path.isEmpty()) {
        logLine(QStringLiteral("DBC文件加载失败,路径空!!!"));
        return;
    }
    dbcFileLoad(path);
}

int QUserMainWindowDBC::dbcFileLoad(const QString &path)
{
    if (loadBusy) {
        logLine(QStringLiteral("WARNING:DBC File Load Busy..."));
        msgBox.tipFail(this, tr("加载中..."), 1000);
        return 0;
    }
    job.dbcPath = path;
    job.reqType = QUserDbcWork::ReqDbcLoad;
    if (!dbcWorkRun(work.get(), &job))
        return 0;
    dbcWorkResult(&job);
    loadBusy = false;
    if (job.result == DbcFileLoader::Loaded) {
        dbcPath = path;
        titleFile = QFileInfo(path).fileName();
        titleUpdate();
        msgTreeFill();
        // Lines that could not be read, extended multiplexing that is not:
        // the load says so before it says it succeeded.
        const QString note = DbcLoadNote::windowText(job.report);
        if (!note.isEmpty())
            QUserMessageBox::msgWarning(this, tr("提示"), note);
        msgBox.tipSuccess(this, tr("DBC文件加载成功!"), 500);
    }
    return 1;
}

bool QUserMainWindowDBC::dbcWorkRun(QUserDbcWork *worker, DbcLoadJob *rec)
{
    if (!worker || !rec || loadBusy)
        return false;
    if (!rec->progressDlg) {
        QUserProgressDlg *pd = new QUserProgressDlg;
        // The dialog arms a timer at construction that would show it later.
        pd->reset();
        pd->setObjectName(QStringLiteral("progressDlg_dbcLoad"));
        pd->setWindowFlags(pd->windowFlags() | Qt::FramelessWindowHint);
        pd->setAttribute(Qt::WA_TranslucentBackground);
        pd->setMinimumDuration(0);
        pd->reset();
        pd->setWindowIcon(QIcon(QStringLiteral(":/res/msg_icon_info.png")));
        pd->setRange(0, 100);
        pd->setMinimumWidth(200);
        pd->setCancelButtonText(tr("取消"));
        pd->setAutoClose(false);
        connect(worker, &QUserWork::progressValue, pd, &QProgressDialog::setValue, Qt::QueuedConnection);
        rec->progressDlg = pd;
    }
    QUserProgressDlg *pd = rec->progressDlg;
    pd->reset(); // the cancel state of an earlier run
    pd->setWindowModality(Qt::ApplicationModal);
    pd->setRange(0, 100);
    pd->setValue(0);
    if (rec->reqType == QUserDbcWork::ReqDbcLoad) {
        pd->setWindowTitle(tr("加载中..."));
        pd->setLabelText(tr("加载中..."));
        if (!rec->progressTimer)
            rec->progressTimer = new QUserTimer(rec);
        connect(rec->progressTimer, &QUserTimer::timeout, this, &QUserMainWindowDBC::slotDbcWorkTimeout,
                Qt::UniqueConnection);
        rec->progressTimer->start(500);
    }
    const QRect g = geometry();
    pd->move(g.x() + g.width() / 2 - pd->width() / 2, g.y() + g.height() / 2 - pd->height() / 2);

    loadBusy = true;
    loadEnded = false;
    loadCancelled = false;
    rec->libName = kemsigLibName();
    rec->stop = &worker->stopRequested;
    worker->reqRun(rec->reqType, rec);
    const QPointer<QUserMainWindowDBC> self(this);
    QUserPrompt::instance()->exec(pd);
    if (!self)
        return false;
    if (!loadEnded) {
        // The dialog closed (cancel) while the job still runs and writes the
        // record: ask it to stop and stay busy until its end notice; the
        // record is not read, and what the job made is dropped.
        loadCancelled = true;
        worker->reqStop();
        pd->hide();
        logLine(QStringLiteral("WARNING:DBC File Load Cancel,Wait Job End..."));
        return false;
    }
    return true;
}

void QUserMainWindowDBC::slotDbcWorkNotice(void *rec, int phase, int)
{
    if (rec != &job || phase != 1)
        return;
    loadEnded = true;
    if (!loadCancelled) {
        // The runner takes the result over when its dialog closes. Closed
        // here, with the end notice, and not by a delivery of its own: that
        // could come behind the next run's start and cancel it.
        if (job.progressTimer)
            job.progressTimer->stop();
        if (job.progressDlg)
            job.progressDlg->cancel();
        return;
    }
    // A cancelled load has ended: drop what it made and become free.
    loadCancelled = false;
    loadBusy = false;
    if (job.progressTimer)
        job.progressTimer->stop();
    if (job.progressDlg)
        job.progressDlg->hide();
    job.messages.clear();
    logLine(QStringLiteral("DBC File Load Cancelled,Result<%1> Dropped...").arg(job.result));
}

void QUserMainWindowDBC::slotDbcWorkTimeout(void *rec)
{
    DbcLoadJob *j = static_cast<DbcLoadJob *>(rec);
    if (!j || !j->progressDlg)
        return;
    j->progressDlg->setValue(j->progressCount);
    ++j->progressCount;
}

void QUserMainWindowDBC::dbcFileLoadJob(DbcLoadJob *rec)
{
    if (!rec)
        return;
    rec->result = DbcFileLoader::load(rec->dbcPath, KDBC_PROTOCOL_CAN, rec->messages, rec->stop,
                                      rec->libName.isEmpty() ? QStringLiteral("kemsig.dll") : rec->libName,
                                      &rec->report);
}

void QUserMainWindowDBC::dbcWorkResult(DbcLoadJob *rec)
{
    if (rec->progressDlg)
        rec->progressDlg->hide();
    switch (rec->result) {
    case DbcFileLoader::Loaded:
        loadedMsgs.swap(rec->messages);
        loadedIndexRebuild();
        break;
    case DbcFileLoader::EmptyPath:
        logLine(QStringLiteral("DBC文件加载失败,路径空!!!"));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC文件加载失败,路径空!!!"));
        break;
    case DbcFileLoader::LibLoadFailed:
        logLine(QStringLiteral("DBC库加载失败!!!"));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC库加载失败!!!"));
        break;
    case DbcFileLoader::InitFailed:
        logLine(QStringLiteral("DBC库初始化设备失败!!!"));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC库初始化设备失败!!!"));
        break;
    case DbcFileLoader::ParseFailed:
        logLine(QStringLiteral("DBC文件<%1>解析失败!!!").arg(rec->dbcPath));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC文件解析失败!!!"));
        break;
    default:
        break;
    }
    rec->messages.clear();
    if (rec->progressTimer)
        rec->progressTimer->stop();
    msgBox.tipSuccess(this, tr("操作完成!"), 500);
}

// ---- message tree -------------------------------------------------------------------------

void QUserMainWindowDBC::msgTreeFill()
{
    if (!treeWidget)
        return;
    treeWidget->clear();
    if (loadedMsgs.isEmpty()) {
        QTreeWidgetItem *item = new QTreeWidgetItem(QStringList(tr("列表空!请先导入DBC文件!")));
        item->setFont(0, QFont(QStringLiteral("Calibri"), 10, QFont::Normal));
        treeWidget->addTopLevelItem(item);
        return;
    }
    const QFont bold(QStringLiteral("Calibri"), 10, QFont::Bold);
    QList<QTreeWidgetItem *> tops;
    tops.reserve(loadedMsgs.size());
    for (const QUserDbcMsg &msg : loadedMsgs) {
        if (!msgFilterMatch(filterText, msg))
            continue;
        QTreeWidgetItem *top =
            new QTreeWidgetItem(QStringList(msg.strName + QLatin1Char(' ') + QString::number(msg.nID)));
        top->setFont(0, bold);
        QList<QTreeWidgetItem *> children;
        children.reserve(msg.vSignals.size());
        for (const QUserDbcSignal &sig : msg.vSignals)
            children.append(new QTreeWidgetItem(QStringList(sig.strName)));
        top->addChildren(children);
        tops.append(top);
    }
    treeWidget->addTopLevelItems(tops);
}

bool QUserMainWindowDBC::msgFilterMatch(const QString &filter, const QUserDbcMsg &msg)
{
    if (filter.isEmpty())
        return true;
    bool isNumber = false;
    filter.toDouble(&isNumber);
    if (isNumber)
        return QString::number(msg.nID).contains(filter, Qt::CaseSensitive);
    return msg.strName.contains(filter, Qt::CaseInsensitive);
}

void QUserMainWindowDBC::slotDbcMsgFliterChange(const QString &text)
{
    filterText = text;
    msgTreeFill();
}

void QUserMainWindowDBC::loadedIndexRebuild()
{
    loadedIndex.clear();
    loadedIndex.reserve(loadedMsgs.size());
    for (int i = 0; i < loadedMsgs.size(); ++i) {
        if (!loadedIndex.contains(loadedMsgs.at(i).strName))
            loadedIndex.insert(loadedMsgs.at(i).strName, i);
    }
}

int QUserMainWindowDBC::loadedIndexOf(const QString &name) const
{
    return loadedIndex.value(name, -1);
}

bool QUserMainWindowDBC::msgFindByName(const QString &name, QUserDbcMsg &out) const
{
    const int i = loadedIndexOf(name);
    if (i < 0)
        return false;
    out = loadedMsgs.at(i);
    return true;
}

void QUserMainWindowDBC::soltTreeWidgetPopMenue(const QPoint &)
{
    if (!treeWidget || !treeMenuPop) {
        logLine(QStringLiteral("ERROR: PopMenu Not Ready..."));
        return;
    }
    treeMenuPop->popup(QCursor::pos());
}

void QUserMainWindowDBC::soltTreeWidgetPopMenueActClr()
{
    logLine(QStringLiteral("清空DBC文件信号列表..."));
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否删除所有信号?")) != 1)
        return;
    loadedMsgs.clear();
    loadedIndexRebuild();
    msgTreeFill();
}
