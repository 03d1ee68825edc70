#pragma once
// The DBC send window: a tool window of its own that builds frames from a
// DBC database and sends them, one frame per click, to one device channel.
// The user loads a DBC file (parsed by the load worker behind a progress
// dialog), picks messages from the file's message tree into a send list,
// edits the signal values of a send-list message as raw or physical numbers
// and presses the send button of a row. kemsig encodes the signals; the
// frame goes out through the device registry's send-one operation, tagged
// as sent by this window.
//
// The launcher creates it without a parent (it deletes itself when closed),
// calls setDevAdapter with the channel's device id and the registry and
// shows it. The title says what the window is, the file it works on and the
// channel it sends on ("DBC发送 - <file> - <channel>"); the status bar names
// the channel too.

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

#include "core/QUserWork.h"
#include "dbc/QUserDbcMsg.h"
#include "dbc/QUserDbcSendWork.h"
#include "widgets/QUserMessageBox.h"

class QAction;
class QCloseEvent;
class QHBoxLayout;
class QLabel;
class QKemsigLib;
class QLineEdit;
class QMenu;
class QMenuBar;
class QModelIndex;
class QSplitter;
class QStatusBar;
class QThread;
class QToolBar;
class QTreeWidgetItem;
class QVBoxLayout;
class QUserDeviceAdapter;
class QUserTableWidget;
class QUserTreeWidget;
struct DbcDatabase;
struct DbcSignal;

// The window's form (built in code; the object names are fixed).
class Ui_QUserMainWindowDBCSend
{
public:
    QAction *actLoadDbc = nullptr;
    QAction *actOpen = nullptr;
    QAction *actSave = nullptr;
    QAction *actSet = nullptr;
    QAction *actHelp = nullptr;
    QWidget *centralwidget = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout_content = nullptr;
    QMenuBar *menubar = nullptr;
    QMenu *menu_DBC = nullptr;
    QMenu *menuDBC = nullptr;
    QMenu *menu = nullptr;
    QStatusBar *statusbar = nullptr;
    QToolBar *toolBar = nullptr;

    void setupUi(QMainWindow *w);
    void retranslateUi(QMainWindow *w);
};

class QUserMainWindowDBCSend : public QMainWindow
{
    Q_OBJECT
public:
    // Columns of the two tables.
    enum SendListColumn { MsgColIndex = 0, MsgColName, MsgColId, MsgColLen, MsgColData, MsgColSend, MsgColComment };
    enum SigListColumn { SigColIndex = 0, SigColName, SigColRaw, SigColPhysical, SigColUnit, SigColMin, SigColMax };
    // Results of sendListMsgAdd.
    enum AddResult { AddOk = 0, AddExists = -1, AddMissing = -2 };

    explicit QUserMainWindowDBCSend(QWidget *parent = nullptr);
    ~QUserMainWindowDBCSend() override;

    // Binds the window to one device channel of the registry.
    void setDevAdapter(const QString &devId, QUserDeviceAdapter *adapter);

    // Fills the message's identifier text and data text from its signals'
    // raw values; false when kemsig cannot encode it.
    bool dbcMsgEncode(QUserDbcMsg &msg);
    // The identifier text of a message sent under a DBC protocol type (0
    // plain CAN, 1 J1939) with the J1939 source and destination addresses
    // (hexadecimal texts, 8 bits each): "%X", no prefix.
    static QString dbcMsgIdText(quint32 nID, int protocolType, const QString &srcAddr, const QString &dstAddr);
    // True for a J1939 address text the settings accept: one or two
    // hexadecimal digits (00 to FF), blanks around them allowed.
    static bool j1939AddrValid(const QString &text);

    // Loads a DBC file through the worker and takes its messages; returns
    // the job's result (0 when the file messages were replaced).
    int dbcFileLoad(const QString &path);
    // The runner and the result handling of a load job (GUI thread).
    int dbcSendWorkRun(QUserDbcSendWork *work, DbcLoadJob *job);
    void dbcFileLoadResult(DbcLoadJob *job);

    void dbcSettingLoad();
    void dbcSettingSave();

    // The lists.
    void fileMsgTreeUpdate();
    bool dbcMsgFliterMatch(const QUserDbcMsg &msg) const;
    int sendListMsgAdd(const QString &name);
    void sendListTableUpdate();
    void sigListUpdate();
    void sigListValueModify(int row, int column);

    // For the launcher, hosts and tests.
    Ui_QUserMainWindowDBCSend *form() const { return ui; }
    QUserTreeWidget *fileMsgTree() const { return treeWidget; }
    QUserTableWidget *sendListTable() const { return msgTable; }
    QUserTableWidget *sigListTable() const { return sigTable; }
    QLineEdit *filterEdit() const { return fliterEdit; }
    QMenu *treeMenu() const { return treePopMenu; }
    QMenu *sendListMenu() const { return msgPopMenu; }
    QSplitter *rootSplitter() const { return splitterRoot; }
    QSplitter *rightSplitter() const { return splitterRight; }
    const QVector<QUserDbcMsg> &fileMessages() const { return fileMsgList; }
    const QVector<QUserDbcMsg> &sendMessages() const { return sendMsgList; }
    // The send-list row whose signals the signal list shows; -1 when none.
    int currentMsgRow() const { return curMsgRow; }
    QString dbcFilePath() const { return dbcPath; }
    QString devId() const { return deviceId; }
    // The channel the window sends on as the main window's tabs name it
    // (empty before the binding), and the status-bar label that shows it.
    QString channelText() const;
    QLabel *sendChannelLabel() const { return channelLabel; }
    bool canFdAllowed() const { return fdAllowed != 0; }
    int protocolType() const { return dbcProtocolType; }
    int fdSendProtocol() const { return fdSendProcotol; }
    QString srcAddr() const { return j1939SrcAddr; }
    QString dstAddr() const { return j1939DstAddr; }
    bool kemsigBound() const;
    bool hasHandle() const { return dbcHandle != nullptr; }
    QUserDbcSendWork *worker() const { return work; }
    QThread *workerThread() const { return workThread.thread; }
    DbcLoadJob &loadJob() { return job; }
    // True from the request of a load until its job has stopped.
    bool loadBusy() const { return loading; }
    QUserMessageBox *tipBox() { return &msgBox; }
    // True when closing the window would lose work: the send list (its
    // messages, their order and signal values) differs from what the last
    // project save or open left, a new window's empty list included, and is
    // not empty.
    bool editsUnsaved() const;
    // The send-list pop-up index (row -1 when none).
    QPersistentModelIndex sendListPopIndex() const { return msgPopIndex; }
    void setSendListPopIndex(const QModelIndex &index);

    // The library file the next windows bind ("kemsig.dll"); tests name one
    // that is missing.
    static void setLibFileName(const QString &name);
    static QString libFileName();

public slots:
    void soltMsgListItemBtnSendClick();

    void slotDbcFileLoad();
    void slotDbcMsgFliterChange(const QString &text);
    void slotDbcPrjSave();
    void slotDbcPrjLoad();
    void slotDbcSetting();
    void slotDbcHelp();
    void slotDbcSendWorkTimeout(void *job);

    void soltFileMsgTreeWidgetPopMenue(const QPoint &pos);
    void soltFileMsgTreeWidgetPopMenueActAdd();
    void soltFileMsgTreeWidgetPopMenueActAddAll();
    void soltFileMsgTreeWidgetPopMenueActClr();
    void soltFileMsgTreeWidgetPopMenueActAttribute();
    void soltFileMsgTreeWidgetItemDoubleClick(QTreeWidgetItem *item, int column);
    void slotMsgTabDropEvent(const QString &text, const QString &html);
    void soltMsgListPopMenue(const QPoint &pos);
    void soltMsgListPopMenueActUp();
    void soltMsgListPopMenueActDown();
    void soltMsgListPopMenueActDel();
    void soltMsgListPopMenueActClr();
    void soltMsgListItemClick(const QModelIndex &index);
    void soltMsgListItemSelChanged();
    void soltMsgListItemDoubleClick(const QModelIndex &index);
    void soltSigListItemDoubleClick(const QModelIndex &index);
    void soltSigListCellDoubleClicked(int row, int column);
    void soltSigListCellChanged(int row, int column);

protected:
    // Refused while a load runs: the job holds the window's record.
    void closeEvent(QCloseEvent *event) override;

private:
    void listWidgetsCreate();
    // The title from the file last loaded or saved and the bound channel.
    void titleUpdate();
    void kemsigBind();
    void windowLayout();
    void sendListRowWrite(int row, const QUserDbcMsg &msg);
    void sigListRowWrite(int row, const QUserDbcSignal &sig);
    void sigValueCellsWrite(int row, const QUserDbcSignal &sig, bool rawRed, bool physRed);
    bool signalRecord(const QUserDbcSignal &sig, DbcSignal *rec) const;
    // After an edit of signal `row` of m: sets the switch to that signal's
    // page when it belongs to another one, and rewrites the switch's cells.
    void switchFollow(QUserDbcMsg &m, int row);
    bool fileMsgFind(const QString &name, QUserDbcMsg &out) const;
    void sendListClear();
    void loadBusyWait(DbcLoadJob *job);
    static QString nameOf(const QString &itemText);
    // What a project keeps of the send list, to compare with what the last
    // save or open left (empty for an empty list).
    QByteArray sendListState() const;

    Ui_QUserMainWindowDBCSend *ui = nullptr;
    QUserTreeWidget *treeWidget = nullptr;
    QMenu *treePopMenu = nullptr;
    QUserTableWidget *msgTable = nullptr;
    QMenu *msgPopMenu = nullptr;
    QUserTableWidget *sigTable = nullptr;
    QLineEdit *fliterEdit = nullptr;
    QSplitter *splitterRoot = nullptr;
    QSplitter *splitterRight = nullptr;
    QByteArray spliteRootRate;
    QByteArray spliteRightRate;
    QPersistentModelIndex msgPopIndex;
    std::unique_ptr<QKemsigLib> kemsig;
    DbcDatabase *dbcHandle = nullptr;
    QString dbcPath;
    // The name of the DBC or project file the title shows.
    QString titleFile;
    QLabel *channelLabel = nullptr;
    QVector<QUserDbcMsg> fileMsgList;
    QVector<QUserDbcMsg> sendMsgList;
    // The current message is kept as its send-list row, never as an address
    // into the list (which moves when the list grows).
    int curMsgRow = -1;
    int editRow = -1;
    int editColumn = -1;
    bool sigListWriting = false;
    QString fliterText;
    QUserMessageBox msgBox;
    quint8 fdAllowed = 0;
    QString deviceId;
    QUserDeviceAdapter *devAdapter = nullptr;
    QString j1939SrcAddr;
    QString j1939DstAddr;
    int fdSendProcotol = 2;
    int dbcProtocolType = 0;
    QUserDbcSendWork *work = nullptr;
    DbcLoadJob job;
    QUserWorkThread workThread;
    bool loading = false;
    bool jobStopped = true;
    // sendListState() after the last project save or open.
    QByteArray savedSendList;
};
