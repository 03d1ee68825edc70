#pragma once
// Settings dialog of the recording adapters TRND701 and TRND702. It loads
// the adapter library itself under the name "KemControl.dll", opens the
// adapter (device index 0) outside the device registry, shows one page per
// channel with its record settings and record filters, writes them to the
// adapter and reads them back, and manages the storage card: format,
// capacity, device information and a read/write speed test. Results go to
// the log pane of the current page.
//
// The main window runs it as: construct without parent, dlgInit("TRND702",
// tr("配置"), {QByteArray()}), dialogExec (through the frame's prompt seam),
// destroy.

#include "widgets/Dialog.h"
#include "devtools/QUserRecordChPage.h"
#include "devtools/QUserWaitResultTask.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QWidget>

#include <functional>

class QLibrary;
class Ui_QUserDlgFdRecordSet;

class QUserDlgFdRecordSet : public QWidget, public QUserRecordWaitOwner
{
    Q_OBJECT

public:
    explicit QUserDlgFdRecordSet(QWidget *parent = nullptr);
    ~QUserDlgFdRecordSet() override;

    void dlgInit(const QString &devName, const QString &title, const QList<QByteArray> &list);
    int dialogExec();

    // Adapter commands on the direct-transfer channel (reply counts, or -1).
    int devCmdSend(uint8_t command, const uint8_t *payload, int payloadLen, uint8_t *reply, int capacity);
    int devStatusQuery(uint8_t sub, uint8_t *reply, int *capacity) override;
    int diskCapGet();
    int devTimeSync();
    int devTimeGet(QString &text);
    int diskFormatRun();
    int diskWRTestRun();

    // Settings between pages and adapter.
    void uiToRecordCfg();
    void recordCfgToUi();
    int recordCfgWrite();
    int recordCfgRead();
    void recordCfgValidate();
    void uiRefresh();

    // State, for the opener and tests.
    bool isOpen() const { return m_open; }
    int devType() const { return m_devType; }
    int presetRow() const { return m_presetRow; }
    uint32_t clockMHz() const { return m_clock; }
    QString devName() const { return m_devName; }
    int pageCount() const { return m_pages.size(); }
    QUserRecordChPage *page(int i) const { return m_pages.value(i); }
    QUserRecordChPage *currentPage() const;
    uint32_t readSpeed() const { return m_readSpeed; }
    uint32_t writeSpeed() const { return m_writeSpeed; }
    bool libraryLoaded() const;
    Dialog *frame() const { return m_frame.get(); }

    // Test seams: the wait task's clock (null: the system clock), the local
    // time the time sync sends, and a call right after a wait task started.
    void setWaitClock(QUserWaitClock *clock) { m_waitClock = clock; }
    void setNowSource(std::function<QDateTime()> now) { m_now = std::move(now); }
    void setTaskStartHook(std::function<void(QThread *)> hook) { m_taskStartHook = std::move(hook); }

signals:
    void diskFormatThreadTaskExit(int code);

public slots:
    void slotOkExit();
    void slotCancelExit();

private slots:
    void slotsComboxDevOpen();
    void slotsComboxDevClose();
    void slotsComboxDevWrite();
    void slotsComboxDevRead();
    void slotsComboxDevTypeChanged(int index);
    void slotsTabPageChanged(int index);
    void slotsComboxWorkProChanged(int index);
    void slotsComboxAbaudChanged(int index);
    void slotsComboxDbaudChanged(int index);
    void slotsCheckboxSelfBaudStateChange(int state);
    void slotsCheckboxFliterEnStateChange(int state);
    void slotFliterSet();
    void slotBaudCal();
    void slotsDiskFormat();
    void slotsDiskCapGet();
    void slotsDevInfoGet();
    void slotsDiskWRTest();

private:
    void diskSpeedSet(uint32_t readMBs, uint32_t writeMBs) override;
    void diskTaskExit(int code) override;

    bool devOpen();
    void devClose(bool quiet);
    int diskOpRun(uint8_t sub);
    bool intervalsCheck();
    // Every custom timing field the write would pack within its range;
    // else a box naming the channel, phase and field, and false.
    bool timingFieldsCheck();
    void modelSet(int pos);
    void pagesSync();
    void pagesAdd();
    void pagesRemove();
    void pagesClear();
    QUserRecordChPage *senderPage() const;
    void logInfo(const QString &text);
    void logError(const QString &text);
    void *kcan(const char *name) const;

    Ui_QUserDlgFdRecordSet *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    QLibrary *m_lib = nullptr;
    QString m_devName;
    bool m_open = false;
    bool m_filling = false;
    int m_devType = 62;
    int m_devIndex = 0;
    int m_presetRow = 1;
    uint32_t m_clock = 200;
    uint32_t m_readSpeed = 0;
    uint32_t m_writeSpeed = 0;
    QList<QUserRecordChPage *> m_pages;

    QUserWaitClock *m_waitClock = nullptr;
    std::function<QDateTime()> m_now;
    std::function<void(QThread *)> m_taskStartHook;
};
