#pragma once
// The main window: the ribbon over the form's menus, the data tabs above the
// send panels, the status bar, the device registry and the tool windows it
// opened. One exists at a time; a language switch ends the event loop with
// 1 and the restart loop (MainLoop.h) builds the next one.
//
// Where the parts of the window live:
//   MainWindow.cpp         construction and teardown, language, splitter,
//                          tab and "GLOBAL" properties, theme colour,
//                          the tool-window list
//   MainWindowActions.cpp  the action-to-slot table, the language, help,
//                          shop, download and about slots
//   MainWindowTabs.cpp     the data tabs: made per opened channel, headers,
//                          switched, closed (closing the channel), deleted
//   MainWindowReceive.cpp  the receive road, send results, status bar
//   MainWindowDevices.cpp  device open and close, the device tool launchers
//   MainWindowDisplay.cpp  display settings, stop display, data clearing
//   MainWindowRecord.cpp   receive filter, data save, real-time recording
//   MainWindowLoss.cpp     what closing every channel or tool window would
//                          lose, asked before the device tools and the
//                          language switch close them

#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QModelIndex>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include "core/QUserCanMsg.h"
#include "core/QUserSendTask.h"
#include "mainwindow/QUserWindowSrv.h"
#include "widgets/QUserMessageBox.h"

class QCloseEvent;
class QTimer;
class QTranslator;
class QUserDeviceAdapter;
class QUserMainWindowLayout;
class QUserTableModelCan;
class QUserTableView;
class Ui_MainWindow;
class uiStatusBar;

// Inserts sep before every group of width characters counted from the end
// (positions length - width, length - 2 * width, ... while above 0).
bool textGroupInsert(QString &text, const QString &sep, int width);

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Translation files, looked for in the working directory.
    static const char *kQmChinese;
    // Qt's own Chinese catalogue, loaded beside ours in Chinese sessions.
    static const char *kQmQtChinese;
    static const char *kQmEnglish;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Construction and teardown steps.
    void languageInit();
    void languageLoad(const QString &language);
    // Qt's Chinese catalogue, installed beside the program's translation.
    void qtTranslatorLoad();
    void qtTranslatorFree();
    void displaySettingsInit();
    void uiWelcomeTabInit();
    void uiActionConnect();
    void uiTabDataConnect();
    bool uiStatusBarInit();
    bool uiStatusBarFree();
    void uiLayoutFree();
    void uiLayoutRestore();

    // Properties of the current data tab and of the "GLOBAL" entry.
    QString curTabDevGet() const;
    int curTabIntGet(const QString &key) const;
    bool curTabIntSet(const QString &key, int value);
    QString curTabStrGet(const QString &key) const;
    bool curTabStrSet(const QString &key, const QString &value);
    int globalIntGet(const QString &key) const;
    bool globalIntSet(const QString &key, int value);
    QString globalStrGet(const QString &key) const;
    bool globalStrSet(const QString &key, const QString &value);
    QUserWindowTabData *curTabDataGet() const;
    QUserTableView *curTabViewGet() const;
    void curTabModelReload();

    // Data tabs, one per open channel (MainWindowTabs.cpp).
    bool tabCreat(const QString &devId);
    bool tabDataHeaderSet(QUserTableView *view, QUserTableModelCan *model);
    bool tabDelete(int index);
    // Closes every tab, the welcome tab too, and with them every channel.
    void tabAllClose();

    // Receive road and send results (MainWindowReceive.cpp).
    bool tabMsgAppend(const QString &devId, const QUserCanMsg &msg);
    void advSendResultHandle(const QString &devId, const QUserCanMsg &msg);

    // Device open and close (MainWindowDevices.cpp). devOpen takes a device
    // type key of the registry; devClose is false when the channel did not
    // close (it is reported to the user).
    bool devOpen(const QString &typeKey);
    bool devClose(const QString &devId);

    // The device tools the ribbon launches. devToolExec builds a tool's
    // dialog without parent, runs it modally, destroys it and gives its
    // result.
    enum DevTool { DevToolFirmUpdate, DevToolRepeatCfg, DevToolBaudChk, DevToolBaudCalc, DevToolRecordSet };
    int devToolExec(DevTool tool);

    // The advanced send list (the table exists once its panel is built).
    void tabAdvListClear();
    int tabAdvRowCount() const;
    bool tabAdvRowRemove(int row);
    bool tabAdvMenuRowMsgGet(QUserCanMsg &msg);
    bool tabAdvRowMsgGet(int row, QUserCanMsg &msg);

    // The current tab's scroll state (MainWindowDisplay.cpp): stored as
    // "scrollState" in the tab registry and given to the tab's model; on
    // clears the view's selection.
    void tabScrollStateSet(bool on);
    void tabScrollStateApply();

    // Theme colour ("styleColor").
    bool styleColorSet(const QString &colour);
    QString styleColorGet() const;

    // Send panels: built once by the constructor, refreshed from the
    // current channel.
    bool uiTabBasicSendInit();
    bool uiTabAdvanceSendInit();
    void uiTabBasicSendUpdate();
    void uiTabAdvSendUpdate();
    // The advanced panel's failure mode is its first entry "失败停止".
    bool tabAdvFailStopGet() const;
    // Basic panel (MainWindowBasicSend.cpp): checks the panel and writes it
    // into the task (false after showing why); the protocol choice written
    // into the channel's live task.
    bool tabBasicSendParaCheck(QUserSendTask *task);
    void tabBasicProcotolApply();
    // Advanced panel (MainWindowAdvSend.cpp): rows and the task.
    bool tabAdvRowMsgSet(int row, const QUserCanMsg &msg);
    bool tabAdvRowAppend(const QUserCanMsg &msg);
    void tabAdvSendParaGet(QUserSendTask &task);
    void tabAdvSendParaShow(const QUserSendTask &task);
    void tabAdvSendParaSync();
    bool tabAdvSendParaCheck();
    bool tabDevSelectCheck();

    // Tool windows (playback, DBC, DBC send, CANopen, trace viewer) opened
    // from this window: the window closes and deletes every one still open
    // before it deletes the device registry, so none outlives the registry
    // it was bound to, at a language switch or at exit. A window the user
    // closed (and deleted) before is simply gone from the list.
    void toolWindowAdd(QWidget *window);
    int toolWindowCount() const;
    void toolWindowsClose();

    // What the window holds, for the parts built on it.
    Ui_MainWindow *formGet() const { return ui; }
    QUserMainWindowLayout *layoutGet() const { return layout; }
    QUserWindowSrv &tabSrvGet() { return tabSrv; }
    QUserDeviceAdapter *devAdapterGet() const { return devAdapter; }
    QUserMessageBox &msgBoxGet() { return msgBox; }
    uiStatusBar *statusBarWidgetGet() const { return statusBarWidget; }
    QTimer *mainTimerGet() const { return mainTimer; }
    QTimer *statusBarTimerGet() const { return statusBarTimer; }
    QTranslator *translatorGet() const { return translator; }
    quint8 languageCodeGet() const { return languageCode; }
    const QMap<QString, QString> &deviceModelMapGet() const { return deviceModelMap; }

public slots:
    void slotTabDataShowSelSwitch(int index);
    void soltTabDataShowClose(int index);
    void uiTabDataShowSet();
    void soltTabDataShowClr();
    void soltTabDataFliterSet();
    void soltTabDataShowStop();
    void soltTabDataSave();
    void soltTabDataRecord();
    void soltTabDataPlay();
    void soltDbcAnalysis();
    void soltDbcSend();
    void soltTools();
    void soltCANopenAnalysis();
    void soltCANwatch();
    void slotLanguageZh();
    void slotLanguageEn();
    void slotRepeatCfg();
    void slotBaudChk();
    void slotBaudAssistor();
    void slotDevFirmUpdate();
    void soltFastHelpFileOpen();
    void soltHelpFileOpen();
    void soltGoShopping();
    void soltFileDownload();
    void uiDlgAbout();
    void soltDevCanSelect();
    void soltDevLinSelect();
    void soltDevRecordSelect();
    void soltDataDisplayTableItemDoubleClick(QModelIndex index);
    void soltDataDisplayTableSelectionChanged(QModelIndex index);
    void soltDevRec(QString devId, QVector<QUserCanMsg> msgs);
    void soltDevSendResult(QString devId, QUserCanMsg msg);
    void soltTabBasicSendStart();
    void soltTabBasicSendStop();
    void soltTabBasicProcotolChange(int index);
    void soltTabBasicDataLenChange(int index);
    void soltTabAdvanceSendPopMenue(QPoint pos);
    void soltTabAdvanceSendPopMenueActAdd();
    void soltTabAdvanceSendPopMenueActCopy();
    void soltTabAdvanceSendPopMenueActDel();
    void soltTabAdvanceSendPopMenueActEdit();
    void soltTabAdvanceSendPopMenueActUp();
    void soltTabAdvanceSendPopMenueActDown();
    void soltTabAdvanceSendPopMenueActClr();
    void soltTabAdvanceSendCellChange(int row, int column);
    void soltTabAdvanceSendCellDoubleClick(int row, int column);
    void soltTabAdvSendStart();
    void soltTabAdvSendStop();
    void soltTabAdvFileLoad();
    void soltTabAdvFileSave();
    void slotStatusBarTimeTask();
    void slotStatusBarBtnClrClick();
    void soltMainWindowTimeHandle();
    // A channel's recording stopped by a failed write or a stalled disk:
    // an error box (MainWindowRecord.cpp).
    void soltRecordFailed(QString devId, QString text);
    // An adapter left the host (MainWindowDevices.cpp): one box names it.
    void soltDevLost(QString typeName, int devIndex, QStringList devIds, QStringList recordStopped);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void welcomePageInit(QWidget *page);
    void fadeIn();
    void languageSwitch(const QString &language);
    void pageOpen(const QString &url);
    // The floating tips over the window, each also written to the log.
    void tipOk(const QString &text, int holdMs);
    void tipBad(const QString &text, int holdMs);
    // A device tool's launcher after its log line.
    void devToolLaunch(DevTool tool, bool takesAdapter);
    // What closing would lose (MainWindowLoss.cpp): one line per channel
    // whose tab holds frames or that records, one per DBC window with
    // edits no project file has.
    QStringList channelLossLines() const;
    QStringList toolWindowLossLines() const;
    // A tool that takes the adapter asks first when closing every channel
    // loses something; true to go on.
    bool devToolCloseConfirm(DevTool tool);
    // The language question, with what the restart loses when it does.
    QString languageQuestionText() const;
    // The warning of a failed transmission on a channel.
    void sendFailWarn(const QString &devId);
    // The shown part of the receive road for one frame of a tab.
    bool tabMsgShow(QUserWindowTabData *data, const QString &devId, const QUserCanMsg &msg, bool recording);

    Ui_MainWindow *ui = nullptr;
    QTimer *mainTimer = nullptr;
    QMap<QString, QString> deviceModelMap;
    QUserMainWindowLayout *layout = nullptr;
    QUserWindowSrv tabSrv;
    QUserDeviceAdapter *devAdapter = nullptr;
    QTimer *statusBarTimer = nullptr;
    uiStatusBar *statusBarWidget = nullptr;
    QTranslator *translator = nullptr;
    QTranslator *qtTranslator = nullptr;
    quint8 languageCode = 0;
    QUserMessageBox msgBox;

    QList<QPointer<QWidget>> toolWindows;
    // Channels whose send-failure warning is open now.
    QSet<QString> sendFailBoxOpen;
};
