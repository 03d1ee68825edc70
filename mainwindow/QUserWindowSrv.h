#pragma once
// The registry of the data tabs: one QUserWindowTabData per open channel,
// keyed by its device id, and the entry "GLOBAL" that is never shown and
// only carries window-wide properties. A tab data keeps the channel's view
// and frame model, its traffic counters with a one-second rate tick, and
// small integer and text properties.
//
// "GLOBAL" has neither view nor frame model: nothing shows it, and a frame
// model is the largest thing a tab owns.

#include <QHash>
#include <QObject>
#include <QString>

class QTimer;
class QUserTableModelCan;
class QUserTableView;

class QUserWindowTabData : public QObject
{
    Q_OBJECT

public:
    QUserWindowTabData();
    ~QUserWindowTabData() override;

    // The tab's table view: it lives in the tab's page, not owned here.
    QUserTableView *view = nullptr;
    // The tab's frame model, owned.
    QUserTableModelCan *model = nullptr;

    void txCntAdd(quint32 n) { txCount += n; }
    void rxCntAdd(quint32 n) { rxCount += n; }
    quint32 txCntGet() const { return txCount; }
    quint32 rxCntGet() const { return rxCount; }
    quint32 txRateGet() const { return txRate; }
    quint32 rxRateGet() const { return rxRate; }
    void cntClr();

    int intGet(const QString &key) const { return intProps.value(key, 0); }
    bool intSet(const QString &key, int value);
    QString strGet(const QString &key) const { return strProps.value(key); }
    bool strSet(const QString &key, const QString &value);

    QTimer *rateTimerGet() const { return rateTimer; }

public slots:
    // The rates are the counts of the second that just ended.
    void msgRateTimeTask();

private:
    QHash<QString, int> intProps;
    QHash<QString, QString> strProps;
    quint32 txRate = 0;
    quint32 txCount = 0;
    quint32 txCountAtTick = 0;
    quint32 rxRate = 0;
    quint32 rxCount = 0;
    quint32 rxCountAtTick = 0;
    QTimer *rateTimer = nullptr;
};

class QUserWindowSrv
{
public:
    static const char *kGlobal;

    // Starts with the "GLOBAL" entry.
    QUserWindowSrv();
    ~QUserWindowSrv();
    QUserWindowSrv(const QUserWindowSrv &) = delete;
    QUserWindowSrv &operator=(const QUserWindowSrv &) = delete;

    // Adds an entry with a new view and a new frame model (neither has a
    // parent) and hands both out. False for an empty name; true, with
    // nothing made and the out values untouched, when the name exists.
    bool tabCreat(const QString &name, QUserTableView *&view, QUserTableModelCan *&model);
    // Adds an entry without view or model (the "GLOBAL" entry); the same
    // results.
    bool tabCreat(const QString &name);
    // Deletes the entry with its model; false when absent.
    bool tabDelete(const QString &name);
    QUserWindowTabData *find(const QString &name) const { return tabs.value(name, nullptr); }
    // Deletes every entry, each view before its tab data.
    void clear();
    int count() const { return tabs.size(); }

    int tabIntGet(const QString &name, const QString &key) const;
    bool tabIntSet(const QString &name, const QString &key, int value);
    QString tabStrGet(const QString &name, const QString &key) const;
    bool tabStrSet(const QString &name, const QString &key, const QString &value);

private:
    QHash<QString, QUserWindowTabData *> tabs;
};
