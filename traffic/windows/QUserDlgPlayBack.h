#pragma once
// The playback dialog: the user picks an ASC or BLF file, the worker turns it
// into the playback cache while an application-modal progress dialog runs,
// and then replays it onto the channel given by devSet, a step of frames per
// interval, once or in a cycle. A modeless frame of its own; closing it stops
// the worker, ends its thread and removes the cache.

#include "traffic/windows/QPlayBackWork.h"
#include "widgets/Dialog.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpacerItem;
class QThread;
class QVBoxLayout;
class QUserDeviceAdapter;

// The widget tree of the dialog (built in code; the names are fixed).
class Ui_QUserDlgPlayBack
{
public:
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QLabel *label = nullptr;
    QLineEdit *lineEdit_path = nullptr;
    QPushButton *pushButton_load = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QLabel *label_msg = nullptr;
    QHBoxLayout *horizontalLayout_5 = nullptr;
    QLabel *label_2 = nullptr;
    QLineEdit *lineEdit_time = nullptr;
    QLabel *label_4 = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QHBoxLayout *horizontalLayout_6 = nullptr;
    QLabel *label_5 = nullptr;
    QLineEdit *lineEdit_step = nullptr;
    QLabel *label_6 = nullptr;
    QSpacerItem *horizontalSpacer_2 = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QLabel *label_3 = nullptr;
    QProgressBar *progressBar = nullptr;
    QHBoxLayout *horizontalLayout_7 = nullptr;
    QCheckBox *checkBox_autoStop = nullptr;
    QCheckBox *checkBox_cycle = nullptr;
    QFrame *line = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QPushButton *pushButton_start = nullptr;
    QPushButton *pushButton_stop = nullptr;
    QPushButton *pushButton_cancel = nullptr;
    QSpacerItem *verticalSpacer = nullptr;

    void setupUi(QWidget *QUserDlgPlayBack);
    void retranslateUi(QWidget *QUserDlgPlayBack);
};

class QUserDlgPlayBack : public QWidget
{
    Q_OBJECT
public:
    explicit QUserDlgPlayBack(QWidget *parent = nullptr);
    ~QUserDlgPlayBack() override;

    // The channel to replay onto and the registry that reaches it.
    bool devSet(const QString &devId, QUserDeviceAdapter *adapter);
    // Lays the dialog into its frame and shows it modeless; the frame
    // deletes itself, and this dialog with it, when it is closed.
    int dialogShow();
    // Reads interval and step from the form; a box says what is wrong.
    bool sendParamCheck();
    // Issues the request of the record's type; a load returns when its
    // progress dialog closes.
    int workRun();

    // For hosts and tests.
    Ui_QUserDlgPlayBack *form() const { return ui; }
    Dialog *frameDlg() const { return frame.get(); }
    QUserPlayBackParam &param() { return job; }
    QPlayBackWork *worker() const { return work.get(); }
    QThread *workerThread() const { return workThread.thread; }
    // A load or a send requested and not yet reported ended.
    bool jobPending() const { return loading || job.running; }

public slots:
    void slotFileLoadGet();
    void slotFileSendStart();
    void slotFileSendStop();
    void slotChkBoxStateChanged(int state);
    void slotPlayBackWorkNoticeHandle(void *param, int phase, int value);
    void slotDlgClose();
    void slotCancelExit();
    void slotOkExit();

private:
    void buttonRefresh();
    void loadEndShow();
    void sendEndShow();

    Ui_QUserDlgPlayBack *ui = nullptr;
    QUserOwnedFrame frame{this};
    int progressValue = 0;
    std::unique_ptr<QPlayBackWork> work;
    QUserPlayBackParam job;
    QUserWorkThread workThread;
    bool loading = false;   // a load was requested and has not reported its end
    bool loadEnded = false; // the running load's end notice has arrived
};
