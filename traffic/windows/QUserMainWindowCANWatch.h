#pragma once
// The offline trace viewer: a top-level window that loads one ASC or BLF
// file into caches of its own, shows the frames in a paged table, filters
// them (transmitted frames, remote frames, an identifier range), jumps to a
// row, and saves the frames shown as a new ASC or BLF file. Every load,
// filter and save runs on the window's worker thread while an
// application-modal progress dialog waits; "取消" stops the job, and the
// window takes no new request until the job has stopped. The filter and
// locate controls persist in "setting/CANWatchUi.ini", the table's formats
// in the system configuration ("cw_msgIdFormat", "cw_msgDataFormat").
// Closing the window stops a running job, waits for the worker's thread and
// then removes the caches.

#include "core/FileKeyValue.h"
#include "traffic/windows/QUserCanWatchWork.h"
#include "widgets/QUserMessageBox.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QThread;
class QToolBar;
class QVBoxLayout;
class QUserTableModelCANWatch;
class QUserTableView;

// The form of the window (built in code; the names are fixed).
class Ui_QUserMainWindowCANWatch
{
public:
    QAction *actFileLoad = nullptr;
    QAction *actDataClr = nullptr;
    QAction *actHelp = nullptr;
    QAction *actSetting = nullptr;
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

// The controls of the page "基本操作" and their persisted texts: "true" or
// "false" for a check box, the content of a line edit.
struct QUserCanWatchBasicOpt
{
    QPointer<QCheckBox> chkBoxTxMsgShow;
    QPointer<QCheckBox> chkBoxRtrMsgShow;
    QPointer<QCheckBox> chkBoxIdFliterEn;
    QPointer<QLineEdit> lineEditFliterStartId;
    QPointer<QLineEdit> lineEditFliterStopId;
    QPointer<QLineEdit> lineEditLocateRow;
    QPointer<QPushButton> btnFliter;
    QPointer<QPushButton> btnLocate;
    QString txMsgShowText;
    QString rtrMsgShowText;
    QString idFliterEnText;
    QString fliterStartIdText;
    QString fliterStopIdText;
    QString locateRowText;

    // Controls into texts, and texts into controls (existing controls only).
    void uiToText();
    void textToUi();
};

// Widget handles of the window and the persisted control states. Saves the
// settings file when it is destroyed (before the window's widgets go).
class QUserCanWatchUiCfg
{
public:
    QUserCanWatchUiCfg();
    ~QUserCanWatchUiCfg();
    QUserCanWatchUiCfg(const QUserCanWatchUiCfg &) = delete;
    QUserCanWatchUiCfg &operator=(const QUserCanWatchUiCfg &) = delete;

    // "setting/CANWatchUi.ini" under the working folder.
    static QString filePath();
    bool load();
    bool save();
    void tabIndexGet(int *right, int *left) const;

    int rightTabPageIndex = 0;
    int leftTabPageIndex = 0;
    QPointer<QTabWidget> dataTab;
    QPointer<QTabWidget> toolTab;
    QHBoxLayout *mainLayout = nullptr;
    QVBoxLayout *dataColumn = nullptr;
    QVBoxLayout *toolColumn = nullptr;
    QPointer<QUserTableView> tableView;
    QPointer<QUserTableModelCANWatch> tableModel;
    QPointer<QCheckBox> advToolShow;
    QPointer<QPushButton> btnClear;
    QPointer<QPushButton> btnSave;
    int advToolState = 0;
    QUserCanWatchBasicOpt basicOpt;
    FileKeyValue store;
};

class QUserMainWindowCANWatch : public QMainWindow
{
    Q_OBJECT
public:
    explicit QUserMainWindowCANWatch(QWidget *parent = nullptr);
    ~QUserMainWindowCANWatch() override;

    // For hosts and tests.
    Ui_QUserMainWindowCANWatch *form() const { return ui; }
    QUserCanWatchUiCfg &uiCfg() { return cfg; }
    QUserCanWatchWork *worker() const { return work.get(); }
    QThread *workerThread() const { return workThread.thread; }
    QUserCanWatchReq &request() { return req; }
    QUserMessageBox &tipsBox() { return tips; }
    // A request was issued and its job has not ended yet (also after
    // "取消", until the job has seen the stop flag).
    bool isBusy() const { return busy; }
    // The job of the last request has not reported its end (its stop()).
    bool jobRunning() const { return !jobEnded; }
    // The status bar's count of the frames loaded (and shown, after a
    // filter); empty before the first load and after "清空数据".
    QLabel *frameCountLabel() const { return countLabel; }
    // Frames of the last load, -1 when nothing is loaded.
    int64_t loadedFrames() const { return loaded; }

public slots:
    void slotAdvToolShowEn(int state);
    void slotWatchItemLoad();
    void slotWatchItemCacheClr();
    void slotWatchItemSave();
    void slotWatchSetting();
    void slotWatchWorkTimeout(void *request);
    void slotBasicMsgFliter();
    void slotBasicRowLocate();
    void slotHelp();

private slots:
    // The worker's stop(): the job of the last request has ended.
    void slotWorkStop();

private:
    void actionsConnect();
    void layoutInit();
    void dataAreaInit();
    void toolAreaInit();
    QWidget *basicOptPageInit();
    // Issues the request in the record and waits in the progress dialog.
    // -1 when a job is still running (nothing is issued).
    int workStart();
    // After the job of a request has ended: the table shows the filtered
    // cache anew and the user hears how it went.
    void workFinish();
    void busyShow();
    // The frame count in the status bar: loaded, and shown when a filter
    // left out some of them.
    void frameCountShow(int64_t shown);

    Ui_QUserMainWindowCANWatch *ui = nullptr;
    QUserCanWatchUiCfg cfg;
    std::unique_ptr<QUserCanWatchWork> work;
    QUserCanWatchReq req;
    QUserWorkThread workThread;
    QUserMessageBox tips;
    bool busy = false;     // a request issued, its job not yet ended
    bool jobEnded = true;  // the worker's stop() for the last request has come
    bool inModal = false;  // the progress dialog's modal run is under way
    bool toolColumnShown = false;
    QLabel *countLabel = nullptr;
    int64_t loaded = -1;
};
