#pragma once
// The CANopen master tool: a top-level window working on one CAN channel of
// an opened adapter. It decodes and logs the channel's CANopen traffic,
// loads an EDS file into a dictionary tree, reads and writes dictionary
// objects by SDO from a listen list, configures the eight PDOs, sends the
// CiA 301 services by hand, drives a CiA 402 axis and keeps quick one-line
// frames; projects (".prj") keep the EDS path, the listen list and the PDO
// configuration. Slow and protocol-timed work runs in its request thread.
//
// The launcher creates it without a parent, binds it to a channel with
// setDevAdapter (which also connects the registry's receiveMsg and
// sendResultNotify to it) and shows it. It deletes itself when closed; the
// registry must outlive it.

#include "canopen/QUserCANopenFrame.h"
#include "canopen/QUserCia402.h"
#include "canopen/QUserDictObj.h"
#include "core/QUserCanMsg.h"

#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVector>

#include <memory>

class QAction;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollArea;
class QSignalMapper;
class QSplitter;
class QStandardItem;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QTextEdit;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class QUserCANopenThread;
class QUserCANopenUiSetting;
class QUserDeviceAdapter;
class QUserEdsParser;
class QUserMessageBox;
class QUserTableModelCANopen;
class QUserTableModelEDS;
class QUserTableView;
class QUserTreeWidget;
struct QUserCANopenReqPara;

// The window's form: actions, menus, tool bar, status bar and the central
// widget (built in code; the object names are fixed).
class Ui_QUserMainWindowCANopen
{
public:
    QAction *actEdsFileLoad = nullptr;
    QAction *actFastOptHelp = nullptr;
    QAction *actProSetting = nullptr;
    QAction *actOpen = nullptr;
    QAction *actSave = nullptr;
    QAction *actClose = nullptr;
    QWidget *centralwidget = nullptr;
    QMenuBar *menubar = nullptr;
    QMenu *menu = nullptr;
    QMenu *menu_3 = nullptr;
    QMenu *menu_2 = nullptr;
    QStatusBar *statusbar = nullptr;
    QToolBar *toolBar = nullptr;

    void setupUi(QMainWindow *w);
    void retranslateUi(QMainWindow *w);
};

class QUserMainWindowCANopen : public QMainWindow
{
    Q_OBJECT
public:
    // Quick-operation rows the settings dialog accepts at most.
    static constexpr unsigned kFastOptMax = 1000;
    // SYNC frames one press of the SYNC button sends at most.
    static constexpr unsigned kSyncCountMax = 32;

    explicit QUserMainWindowCANopen(QWidget *parent = nullptr);
    ~QUserMainWindowCANopen() override;

    // Binds the window to one channel of the registry and connects the
    // registry's two signals to the receive slots (once; the caller does not
    // connect them again). A null registry leaves the window unbound.
    void setDevAdapter(QUserDeviceAdapter *adapter, const QString &devId);
    void setDevAdapter(const QString &devId, QUserDeviceAdapter *adapter) { setDevAdapter(adapter, devId); }
    QString devIdGet() const { return devId; }

    // ---- frame log and operation log ----
    void logSettingLoad();
    // deviceId: the channel the frame came from (node states are kept per
    // channel; the log shows every channel).
    bool canopenLogAppend(const QUserCanMsg &frame, const QString &deviceId = QString());
    void edsLogAppend(int level, const QString &text);

    // ---- request posting (the request thread) ----
    bool reqCanMsgRecPost(const QUserCanMsg &frame);
    bool reqEdsFileLoadPost(const QString &path);
    bool reqPrjLoadPost(const QString &path);
    bool reqPrjSavePost(const QString &path);
    // SDO lists read the node id from the CiA 301 panel; an empty Node-ID
    // field warns and posts nothing (false).
    bool reqSdoWriteListPost(const QVector<QUserDictObj> &list);
    bool reqSdoReadListPost(const QVector<QUserDictObj> &list);
    bool reqSdoTransferPost(const QVector<QUserDictObj> &list);
    bool reqMsgListSendPost(const QVector<QUserCanMsg> &frames);
    // A CiA 402 position move: reads the drive's statusword and mode on the
    // panel's node, then (cia402PosStartFinish) posts the frames the drive
    // needs for its state (QUserCia402::posMoveStart).
    bool reqCia402PosStartPost(const QUserCia402Move &move);

    // ---- node ids of the panels ----
    bool cia301NodeIdGet();
    // The node the CiA 301 panel names (1-127), 0 when it names none; the
    // EDS page resolves node-id formulas for it.
    int edsNodeId() const;
    bool cia402NodeIdGet();
    bool cia402VelInputCheck();
    bool cia402TorInputCheck();
    bool cia402PosInputCheck();
    void cia402PanelRefresh();

    // ---- dictionary, PDO, quick operations ----
    void edsTreeUpdate();
    void edsInfoTableUpdate();
    int dictObjFind(uint32_t index, uint32_t subIndex, bool whole, QUserDictObj &out) const;
    void pdoTreeUpdate();
    void pdoSettingShow();
    void pdoSettingRead();
    bool fastOptMsgCheck(const QString &text) const;
    bool fastOptMsgParse(int row, QUserCanMsg &frame) const;

    // ---- completion handlers (from the progress slot) ----
    void edsLoadFinish(QUserCANopenReqPara *p);
    void prjLoadFinish(QUserCANopenReqPara *p);
    void prjSaveFinish(QUserCANopenReqPara *p);
    void sdoReqFinish(QUserCANopenReqPara *p);
    void cia402PosStartFinish(QUserCANopenReqPara *p);

    // ---- for the launcher and the tests ----
    Ui_QUserMainWindowCANopen *form() const { return ui; }
    QUserCANopenUiSetting *uiSettings() const { return uiSetting.get(); }
    QUserEdsParser *edsParser() const;
    QUserTableModelCANopen *logModel() const { return canopenLogModel; }
    QUserTableModelEDS *listenModel() const { return listenObjModel; }
    QUserCANopenThread *requestThread() const { return reqThread; }
    const QUserCANopenFrame &frameDecoder() const { return decoder; }
    QString edsFilePath() const { return edsPath; }
    // Requests posted whose finish notice has not been handled yet.
    int requestsOpen() const { return liveParams.size(); }
    int cia402ShownState() const { return cia402.nodeState; }
    QTextEdit *operationLog() const { return edsLogEdit; }

public slots:
    void slotEdsFileLoad();
    void slotFastOptHelp();
    void slotFastOptSend(int row);
    void slotPrjSave();
    void slotPrjLoad();
    void slotPrjClose();
    void slotEdsLogClr();
    void slotCANopenLogClr();
    void slotLogPauseEn(int state);
    void slotLogHBeatShowEn(int state);
    void slotCANopenLogSave();
    void slotProcotolParaSet();
    void slotCanMsgRec(QString deviceId, QUserCanMsg frame);
    void slotCanMsgRec(QString deviceId, QVector<QUserCanMsg> frames);
    void slotCia301NmtSend();
    void slotCia301NmtGuardStatusGet();
    void slotCia301NmtGuardStatusAck();
    void slotCia301SyncSend();
    void slotCia301EmergSend();
    void slotCia301PdoSend();
    void slotCia301RemotePdoSend();
    void slotCia301SdoFastWrite();
    void slotCia301SdoFastRead();
    void slotCia301TimeSync();
    void slotRightTabPageSwitch(int index);
    void slotCia402NmtStart();
    void slotCia402NmtStop();
    void slotCia402NmtRestart();
    void slotCia402VelStart();
    void slotCia402VelStop();
    void slotCia402TorStart();
    void slotCia402TorStop();
    void slotCia402PosAbsMoveStart();
    void slotCia402PosAbsMoveStop();
    void slotCia402PosRelMoveStart();
    void slotCia402PosRelMoveStop();
    void slotLogTabItemDoubleClick(QModelIndex index);
    void slotLogTabSelectionChanged(QModelIndex index);
    void slotCANopenThreadProgressNotice(void *param, int stage, int value);
    void slotCANopenThreadDictObjValueChangeNotice(uint index, uint subIndex, bool isWrite, uint value,
                                                   uint sizeIndicated = 4);
    void slotEdsFileInfoTypeChange(int index);
    void slotEdsDictObjListFliterChange(QString text);
    void slotEdsTreeWidgetItemDoubleClick(QTreeWidgetItem *item, int column);
    void slotEdsTreeWidgetPopMenue(QPoint pos);
    void slotEdsTreeWidgetPopMenueActAdd();
    void slotEdsTreeWidgetPopMenueActClr();
    void slotEdsTreeWidgetPopMenueActAttribute();
    void slotEdsListenObjListTabDropEvent(QString parentText, QString itemText);
    void slotEdsListenObjTabItemClick(QModelIndex index);
    void slotEdsListenObjTabItemDoubleClick(QModelIndex index);
    void slotEdsListenObjTabItemChanged(QStandardItem *item);
    void slotEdsListenObjListTabPopMenue(QPoint pos);
    void slotEdsListenObjListTabPopMenueActUp();
    void slotEdsListenObjListTabPopMenueActDown();
    void slotEdsListenObjListTabPopMenueActDel();
    void slotEdsListenObjListTabPopMenueActClr();
    void slotEdsPdoTreeDropEvent(QDropEvent *event);
    void slotEdsPdoTreeWidgetItemClicked(QTreeWidgetItem *item, int column);
    void slotEdsPdoTreeWidgetPopMenue(QPoint pos);
    void slotEdsPdoTreePopMenueActUp();
    void slotEdsPdoTreePopMenueActDown();
    void slotEdsPdoTreePopMenueActDel();
    void slotEdsPdoTreePopMenueActClr();
    void slotEdsPdoSetComboxPdoTypeChanged(QString text);
    void slotEdsPdoSettingLoadFromDevice();
    void slotEdsPdoSettingSaveToDevice();
    void slotEdsPdoSettingEdited(QString text);
    void slotEdsPdoSettingChkBoxStateChanged(int state);

private:
    friend class QUserCANopenWindowAccess; // tests

    // construction and pages
    void canopenThreadCreat();
    void centralWidgetCreat();
    QWidget *canopenPageCreat();
    QWidget *edsPageCreat();
    void canopenLogTabCreat(QBoxLayout *parentLayout);
    void edsLogTabCreat(QBoxLayout *parentLayout);
    QWidget *fastOptPageCreat();
    void fastOptPageRebuild();
    QWidget *cia301PageCreat();
    QWidget *cia402PageCreat();
    QWidget *dictTreeCreat();
    QWidget *edsInfoCreat();
    QWidget *listenListCreat();
    QWidget *pdoPageCreat();

    // helpers
    void frameReceive(const QString &deviceId, const QUserCanMsg &frame);
    void cia402StateCheck();
    int cia402PanelNode() const;
    bool cia402FieldCheck(QLineEdit *edit, const QString &word);
    void cia402ListPost(const QVector<QUserCanMsg> &list);
    bool sendOne(QUserCanMsg &frame);
    QUserCANopenReqPara *paraNew(int kind);
    bool reqPost(int type, QUserCANopenReqPara *p);
    bool sdoListPost(const QVector<QUserDictObj> &list, int kind);
    void paraFree(QUserCANopenReqPara *p);
    void listenObjAdd(QUserDictObj obj);
    void dictObjAttributeShow(const QUserDictObj &obj, bool warnOnFail);
    bool treeItemKey(QTreeWidgetItem *item, uint32_t &index, uint32_t &subIndex, bool &whole) const;
    QList<QUserDictObj> *pdoListOf(const QString &text, int &n) const;
    QUserDictObj *pdoEntryOf(QTreeWidgetItem *item) const;
    int pdoMapItemFind(QTreeWidgetItem *item, QUserDictObj *&pdo) const;
    bool pdoMapCheck(const QUserDictObj &pdo, const QUserDictObj &obj, bool rx);
    void pdoSettingConnect(bool on);
    void splitterStatesTake();

    Ui_QUserMainWindowCANopen *ui = nullptr;
    QString devId;
    QPointer<QUserDeviceAdapter> devAdapter;
    uint8_t fdFlag = 0;
    std::unique_ptr<QUserCANopenUiSetting> uiSetting;
    QUserMessageBox *msgBox = nullptr;
    QUserCANopenFrame decoder;
    QUserCia402 cia402;
    QUserCANopenThread *reqThread = nullptr;
    QSet<QUserCANopenReqPara *> liveParams;
    QString edsPath;
    bool closing = false;

    // frame log
    int nodeIdFormat = 0;
    int fliterNodeEn = 0;
    int fliterBeginNode = 1;
    int fliterEndNode = 127;
    int heartBeatShow = 1;
    int logPaused = 0;
    QString logTxText;
    QString logRxText;
    QString logUnknownText;
    QUserTableView *canopenLogView = nullptr;
    QUserTableModelCANopen *canopenLogModel = nullptr;
    QCheckBox *logPauseChk = nullptr;
    QCheckBox *logHeartBeatChk = nullptr;
    QPushButton *logClrBtn = nullptr;
    QPushButton *logSaveBtn = nullptr;
    QTabWidget *edsLogTab = nullptr;
    QTextEdit *edsLogEdit = nullptr;
    QPushButton *edsLogClrBtn = nullptr;

    // pages
    QTabWidget *topTab = nullptr;
    QTabWidget *rightTab = nullptr;
    QWidget *fastOptPage = nullptr;
    QSignalMapper *fastOptMapper = nullptr;

    // CiA 402 panel
    QToolButton *cia402StateBtn = nullptr;
    QPushButton *velStartBtn = nullptr;
    QPushButton *torStartBtn = nullptr;
    int cia402ShownNode = 1;

    // dictionary page
    QLineEdit *dictFliterEdit = nullptr;
    QUserTreeWidget *dictTree = nullptr;
    QMenu *dictTreeMenu = nullptr;
    QComboBox *edsInfoTypeCombo = nullptr;
    QTableWidget *edsInfoTable = nullptr;
    QUserTableView *listenView = nullptr;
    QUserTableModelEDS *listenObjModel = nullptr;
    QMenu *listenMenu = nullptr;

    // PDO page
    QComboBox *pdoTypeCombo = nullptr;
    QCheckBox *pdoEnableChk = nullptr;
    QLineEdit *pdoCobIdEdit = nullptr;
    QComboBox *pdoTransTypeCombo = nullptr;
    QLineEdit *pdoInhibitEdit = nullptr;
    QLineEdit *pdoEventEdit = nullptr;
    QLineEdit *pdoSyncStartEdit = nullptr;
    QUserTreeWidget *pdoTree = nullptr;
    QMenu *pdoTreeMenu = nullptr;
    QPushButton *pdoUploadBtn = nullptr;
    QPushButton *pdoDownloadBtn = nullptr;
};
