#pragma once
// The DBC analysis window. The user loads a DBC file, picks messages or
// signals from its tree into a listen list, and every frame the program
// receives (and, when enabled, sends) is decoded by kemsig into raw and
// physical values shown in the listen table and, for chart-enabled signals,
// drawn as curves over time.
//
// The window binds kemsig once for its life and keeps one analysis handle on
// the GUI thread holding exactly the listened messages, so only their frames
// decode. DBC files load in a job on the window's worker thread, with a
// library object and handle of the job's own, behind a modal progress
// dialog. The window stays busy from the request of a load until the job has
// reported its end; the job's record is read only after that.
//
// Opening it (the main window's tools launcher): construct it without a
// parent, hand it the device registry and the current device id with
// setDevAdapter (which connects the registry's receiveMsg and
// sendResultNotify to the two soltCanMsgRec slots), and show it. It deletes
// itself when closed. Its title says what it is and the file it works on
// ("DBC解析 - <file>"); it decodes the traffic of every open channel.

#include "dbc/DbcChartState.h"
#include "dbc/QUserDbcMsg.h"
#include "dbc/QUserDbcSignal.h"
#include "dbc/QUserDbcWork.h"
#include "core/QUserCanMsg.h"
#include "kemsig/include/kemsig.h"
#include "widgets/QUserMessageBox.h"

#include <QByteArray>
#include <QHash>
#include <QMainWindow>
#include <QMap>
#include <QModelIndex>
#include <QPointer>
#include <QVector>

#include <atomic>
#include <memory>

class QKemsigLib;
class QLineEdit;
class QMenu;
class QSplitter;
class QTimer;
class QTreeWidgetItem;
class QUserChartView;
class QUserDeviceAdapter;
class QUserProgressDlg;
class QUserTableModelDBC;
class QUserTableView;
class QUserTimer;
class QUserTreeWidget;
class Ui_QUserMainWindowDBC;
struct DbcMessage;
struct DbcSignal;
struct DbcDatabase;

namespace QtCharts {
class QXYSeries;
}

class QUserMainWindowDBC : public QMainWindow
{
    Q_OBJECT

public:
    // The record the load job works on. The window owns it; between the
    // request and the job's end notice only the job touches it.
    struct DbcLoadJob {
        DbcLoadJob() = default;
        ~DbcLoadJob();
        DbcLoadJob(const DbcLoadJob &) = delete;
        DbcLoadJob &operator=(const DbcLoadJob &) = delete;

        int reqType = QUserDbcWork::ReqDbcLoad;
        QUserProgressDlg *progressDlg = nullptr; // owned
        QUserTimer *progressTimer = nullptr;     // owned
        int progressCount = 0;                   // never reset between loads
        QString dbcPath;
        QVector<QUserDbcMsg> messages;
        int result = 0; // DbcFileLoader::Result
        DbcLoadReport report{}; // what kemsig made of the file
        // Read by the job: the library name and the worker's stop flag.
        QString libName;
        const std::atomic<bool> *stop = nullptr;
    };

    explicit QUserMainWindowDBC(QWidget *parent = nullptr);
    QUserMainWindowDBC(QUserDeviceAdapter *adapter, const QString &devId, QWidget *parent = nullptr);
    ~QUserMainWindowDBC() override;

    // ---- the launcher's entry ---------------------------------------------
    // Remembers the registry and the device id of the tab the window was
    // opened for, and connects the registry's receiveMsg and
    // sendResultNotify to the soltCanMsgRec slots (unique connections).
    // Frames of every channel are decoded, whatever the id.
    void setDevAdapter(QUserDeviceAdapter *adapter, const QString &devId);
    QString devId() const { return deviceId; }
    QUserDeviceAdapter *devAdapter() const;

    // The file name the window and its load jobs bind kemsig by ("kemsig.dll"
    // unless a test chose another before constructing the window).
    static void setKemsigLibName(const QString &name);
    static QString kemsigLibName();

    // ---- settings (system configuration) ---------------------------------
    void settingsLoad();
    void settingsSave();

    // ---- kemsig binding, loading and the message tree -----------------------
    void dbcLibLoad();
    void layoutInit();
    // Loads a DBC file behind the progress dialog. 1 when the job ran to its
    // end (whatever its result); 0 when refused because a load is still in
    // hand, or when the load was cancelled (its result is dropped).
    int dbcFileLoad(const QString &path);
    // Runs the job and returns when its dialog has closed: true when the job
    // has ended, false when refused or cancelled while it runs.
    bool dbcWorkRun(QUserDbcWork *worker, DbcLoadJob *job);
    // The job itself, in the worker thread.
    static void dbcFileLoadJob(DbcLoadJob *job);
    void dbcWorkResult(DbcLoadJob *job);
    void msgTreeFill();
    static bool msgFilterMatch(const QString &filter, const QUserDbcMsg &msg);
    bool msgFindByName(const QString &name, QUserDbcMsg &out) const;
    void windowRelease();

    // ---- listened messages (the analysis handle follows the map) -----------
    void listenMsgInsert(const QUserDbcMsg &msg);
    bool listenMsgDel(const QString &name);
    void listenMsgClear();
    void listenMsgSync();
    bool listenMsgExists(const QString &name) const;
    bool listenMsgFind(const QString &name, QUserDbcMsg &out) const;

    // ---- listened signals -----------------------------------------------------
    bool listenSignalAt(int index, QUserDbcSignal &out) const;
    bool listenSignalFind(const QString &msgName, const QString &sigName, QUserDbcSignal &out) const;
    bool listenSignalExists(const QString &msgName, const QString &sigName) const;
    void listenModelSync();
    void listenSignalColorSet(int row, const QString &color);
    bool dbcSignalFind(const QString &msgName, const QString &sigName, QUserDbcSignal *out) const;
    int listenSignalAdd(const QString &msgName, const QString &sigName);
    int listenMessageAdd(const QString &msgName);
    bool listenSignalInsert(const QUserDbcSignal &sig);
    void listenIndexRebuild();
    void listenSignalDelete(int row);
    bool listenSignalClear();
    bool listenSignalChartEnable(int row, bool enable);
    void listenSignalChartSync();
    // The listen list, and a visible table row as a listen (cache) row.
    const QVector<QUserDbcSignal> &listenSignalList() const { return listenSignals; }
    int tableRowToCacheRow(int tableRow) const;

    // ---- chart --------------------------------------------------------------
    void chartInit();
    void seriesSetup(QtCharts::QXYSeries *series, const QString &color);
    static void seriesColorSet(QtCharts::QXYSeries *series, const QString &color);
    bool chartSignalAdd(const QUserDbcSignal *sig);
    bool chartSeriesUpdate(const QString &msgName, const QString &sigName, qint64 timeMs, double value);
    void chartDataClear();
    void chartAxisYFit();
    void chartSeriesClearAll();
    // Takes new chart settings: stores and saves them and builds every
    // curve again with them.
    void chartSettingsApply(bool pointsVisible, bool labelsVisible, int seriesType, double axisXMax);
    bool chartSignalDel(const QString &msgName, const QString &sigName);
    bool chartSignalColorSet(const QString &msgName, const QString &sigName, const QString &color);
    void chartSeriesRemove(QtCharts::QXYSeries *series);
    int chartSeriesRemoveAllFromChart();
    int chartPointAppend(QtCharts::QXYSeries *series, const QPointF &point);
    int chartSeriesClear(QtCharts::QXYSeries *series);
    int chartAxisXRangeSet(double lower, double upper);
    int chartAxisYRangeSet(double lower, double upper);
    int chartAxisFit();
    int chartAxisXReset();

    // ---- decoding -------------------------------------------------------------
    // Brings the listened signals of one decoded message up to date.
    void signalValueUpdate(QUserDbcMsg &decoded);

    // ---- state, for hosts and tests ---------------------------------------------
    Ui_QUserMainWindowDBC *form() const { return ui; }
    QUserTreeWidget *msgTree() const { return treeWidget; }
    QMenu *treeMenu() const { return treeMenuPop; }
    QMenu *listenMenu() const { return listenMenuPop; }
    QLineEdit *filterEdit() const { return filterLineEdit; }
    QUserTableView *listenTable() const { return tableView; }
    QUserTableModelDBC *listenModel() const { return tableModel; }
    QUserChartView *chartView() const { return chartViewWidget; }
    const DbcChartState &chartState() const { return chart; }
    QSplitter *rootSplitter() const { return splitterRoot; }
    QSplitter *rightSplitter() const { return splitterRight; }
    QUserMessageBox &messageBox() { return msgBox; }
    bool chartFlushPending() const;
    QUserDbcWork *worker() const { return work.get(); }
    QThread *workerThread() const { return workThread.thread; }
    DbcLoadJob &loadJob() { return job; }
    bool isBound() const { return decodeHandle != nullptr; }
    DbcDatabase *analysisHandle() const { return decodeHandle; }
    QKemsigLib *kemsig() const { return lib.get(); }
    int protocolType() const { return dbcProtocolType; }
    const QVector<QUserDbcMsg> &dbcMessages() const { return loadedMsgs; }
    const QMap<QString, QUserDbcMsg> &listenMessages() const { return listenMsgMap; }
    const QMap<QString, QVector<int>> &listenIndex() const { return listenIdx; }
    QString dbcFilePath() const { return dbcPath; }
    QString msgFilterText() const { return filterText; }
    QModelIndex listenMenuIndex() const { return menuIndex; }
    void setListenMenuIndex(const QModelIndex &index) { menuIndex = index; }
    // True when closing the window would lose work: the listen list (its
    // signals, their order, colours and chart switches) differs from what
    // the last project save or open left, a new window's empty list
    // included, and is not empty.
    bool editsUnsaved() const;
    // A load requested and not yet taken over (its end notice not handled).
    bool isLoadBusy() const { return loadBusy; }
    // The job of that load has not yet reported its end.
    bool isLoadJobRunning() const { return loadBusy && !loadEnded; }

public slots:
    void slotDbcFileLoad();
    void slotDbcMsgFliterChange(const QString &text);
    void slotDbcPrjSave();
    void slotDbcPrjLoad();
    void slotDbcHelp();
    void slotDbcSigChartDataClr();
    void slotDbcSigChartDataStop();
    void slotDbcSigChartAutoFit();
    void slotDbcSigChartSetting();
    void slotDbcSigAnalysisSetting();
    void slotTabViewDropEvent(QString parentText, QString itemText);
    void soltTreeWidgetPopMenue(const QPoint &pos);
    void soltTreeWidgetPopMenueActAdd();
    void soltTreeWidgetPopMenueActAddAll();
    void soltTreeWidgetPopMenueActClr();
    void soltTreeWidgetPopMenueActAttribute();
    void soltTreeWidgetItemDoubleClick(QTreeWidgetItem *item, int column);
    void soltListenSigListPopMenue(const QPoint &pos);
    void soltListenSigListPopMenueActUp();
    void soltListenSigListPopMenueActDown();
    void soltListenSigListPopMenueActDel();
    void soltListenSigListPopMenueActClr();
    void soltTableViewSignalItemClick(const QModelIndex &index);
    void soltTableViewSignalItemDoubleClick(const QModelIndex &index);
    // One frame reported sent (the registry's sendResultNotify): senders'
    // state reports and failed sends are not frames and are skipped.
    void soltCanMsgRec(QString devId, QUserCanMsg msg);
    // Received frames (the registry's receiveMsg), in order.
    void soltCanMsgRec(QString devId, QVector<QUserCanMsg> msgs);
    void slotDbcWorkTimeout(void *job);

private slots:
    void slotDbcWorkNotice(void *job, int phase, int value);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // What the receive path keeps per decoded message name, so that a frame
    // costs no text conversions: the listened message's name, whether it is
    // in the listen map, and for each listen row of it the decoded signal
    // slot, the row's signal definition as kemsig reads it and its chart
    // entry. Rebuilt lazily after any change of the lists or the chart.
    struct DecodeRow {
        int row = 0;
        int slot = 0;
        DbcSignal *libSig = nullptr; // owned by the binding
        DbcChartSeries *chartEntry = nullptr;
    };
    struct DecodeBinding {
        DecodeBinding() = default;
        ~DecodeBinding();
        DecodeBinding(const DecodeBinding &) = delete;
        DecodeBinding &operator=(const DecodeBinding &) = delete;
        QString msgName;
        bool listened = false;
        QVector<DecodeRow> rows;
    };

    void windowInit();
    // The title from the file last loaded or saved.
    void titleUpdate();
    void frameDecode(const QUserCanMsg &msg);
    DecodeBinding *decodeBindingFor(const DbcMessage &decoded);
    void decodeBindingsReset();
    void rowValueUpdate(const DecodeRow &r, qint64 timeMs, quint64 bits);
    bool chartEntryUpdate(DbcChartSeries *entry, qint64 timeMs, double value);
    void chartRefresh(qint64 nowMs);
    void chartFlush();
    DbcChartSeries *chartEntryFind(const QString &msgName, const QString &sigName) const;
    void listenMsgResync();
    int loadedIndexOf(const QString &name) const;
    void loadedIndexRebuild();
    void treeItemNames(QTreeWidgetItem *item, QString &msgName, QString &sigName) const;
    void signalAddResultShow(int r);
    void workerStop();
    // What a project keeps of the listen list, to compare with what the
    // last save or open left (empty for an empty list).
    QByteArray listenState() const;

    Ui_QUserMainWindowDBC *ui = nullptr;
    QUserTreeWidget *treeWidget = nullptr;
    QMenu *treeMenuPop = nullptr;
    QUserChartView *chartViewWidget = nullptr;
    QUserTableView *tableView = nullptr;
    QUserTableModelDBC *tableModel = nullptr;
    QSplitter *splitterRoot = nullptr;
    QSplitter *splitterRight = nullptr;
    QByteArray splitterRootState;
    QByteArray splitterRightState;
    QModelIndex menuIndex;
    QMenu *listenMenuPop = nullptr;
    QLineEdit *filterLineEdit = nullptr;
    std::unique_ptr<QKemsigLib> lib;
    DbcDatabase *decodeHandle = nullptr;
    QString dbcPath;
    // The name of the DBC or project file the title shows.
    QString titleFile;
    int dbcProtocolType = 0;
    QVector<QUserDbcMsg> loadedMsgs;
    QHash<QString, int> loadedIndex; // name -> first loaded message of that name
    QMap<QString, QUserDbcMsg> listenMsgMap;
    QVector<QUserDbcSignal> listenSignals;
    QMap<QString, QVector<int>> listenIdx;
    QString filterText;
    QUserMessageBox msgBox;
    DbcChartState chart;
    std::unique_ptr<QUserDbcWork> work;
    DbcLoadJob job;
    QUserWorkThread workThread;

    QPointer<QUserDeviceAdapter> adapter;
    QString deviceId;
    bool loadBusy = false;      // a load requested and not yet taken over
    bool loadEnded = false;     // its job has reported its end
    bool loadCancelled = false; // its dialog closed before the job ended
    std::unique_ptr<DbcMessage> decodeOut; // KDBC_Decode's output record
    // Draws the points still waiting when their refresh is due and no
    // further value comes to do it (single shot).
    QTimer *chartFlushTimer = nullptr;
    QHash<QByteArray, DecodeBinding *> decodeBindings;
    // listenState() after the last project save or open.
    QByteArray savedListen;
    // J1939 transport: the size the last announcement (request to send or
    // broadcast announce) gave each connection, by the announcing frame's
    // low 16 bits, as the analysis handle keys its sessions. A completed
    // group carries that many bytes, whatever length its DBC message has.
    QHash<quint16, quint32> j1939Announced;
};
