#include "mainwindow/QUserWindowSrv.h"

#include "mainwindow/QUserTableModelCan.h"
#include "widgets/QUserTableView.h"

#include <QDebug>
#include <QTimer>

const char *QUserWindowSrv::kGlobal = "GLOBAL";

QUserWindowTabData::QUserWindowTabData() : QObject(nullptr)
{
    rateTimer = new QTimer;
    connect(rateTimer, &QTimer::timeout, this, &QUserWindowTabData::msgRateTimeTask);
    rateTimer->start(1000);
}

QUserWindowTabData::~QUserWindowTabData()
{
    delete model;
    model = nullptr;
    delete rateTimer;
    rateTimer = nullptr;
}

void QUserWindowTabData::cntClr()
{
    txRate = txCount = txCountAtTick = 0;
    rxRate = rxCount = rxCountAtTick = 0;
}

bool QUserWindowTabData::intSet(const QString &key, int value)
{
    intProps.insert(key, value);
    return true;
}

bool QUserWindowTabData::strSet(const QString &key, const QString &value)
{
    strProps.insert(key, value);
    return true;
}

void QUserWindowTabData::msgRateTimeTask()
{
    // Unsigned differences: a counter that wrapped between two ticks still
    // gives the frames of that second.
    txRate = txCount - txCountAtTick;
    txCountAtTick = txCount;
    rxRate = rxCount - rxCountAtTick;
    rxCountAtTick = rxCount;
}

QUserWindowSrv::QUserWindowSrv()
{
    tabCreat(QString::fromLatin1(kGlobal));
}

QUserWindowSrv::~QUserWindowSrv()
{
    clear();
}

bool QUserWindowSrv::tabCreat(const QString &name)
{
    if (name.isEmpty()) {
        qDebug() << "ERROR:QUserWindowSrv Function tabCreat fail, para err...";
        return false;
    }
    if (tabs.contains(name)) {
        qDebug() << "WARNING:QUserWindowSrv tabCreat, tab already exist...";
        return true;
    }
    tabs.insert(name, new QUserWindowTabData);
    return true;
}

bool QUserWindowSrv::tabCreat(const QString &name, QUserTableView *&view, QUserTableModelCan *&model)
{
    if (name.isEmpty() || tabs.contains(name))
        return tabCreat(name);
    QUserWindowTabData *data = new QUserWindowTabData;
    data->view = new QUserTableView;
    data->model = new QUserTableModelCan;
    view = data->view;
    model = data->model;
    tabs.insert(name, data);
    return true;
}

bool QUserWindowSrv::tabDelete(const QString &name)
{
    QUserWindowTabData *data = tabs.take(name);
    if (!data) {
        qDebug() << "ERROR:QUserWindowSrv tabDelete fail, tab not exist...";
        return false;
    }
    delete data;
    return true;
}

void QUserWindowSrv::clear()
{
    for (QUserWindowTabData *data : qAsConst(tabs)) {
        delete data->view;
        data->view = nullptr;
        delete data;
    }
    tabs.clear();
}

int QUserWindowSrv::tabIntGet(const QString &name, const QString &key) const
{
    const QUserWindowTabData *data = find(name);
    return data ? data->intGet(key) : 0;
}

bool QUserWindowSrv::tabIntSet(const QString &name, const QString &key, int value)
{
    QUserWindowTabData *data = find(name);
    return data ? data->intSet(key, value) : false;
}

QString QUserWindowSrv::tabStrGet(const QString &name, const QString &key) const
{
    const QUserWindowTabData *data = find(name);
    return data ? data->strGet(key) : QString();
}

bool QUserWindowSrv::tabStrSet(const QString &name, const QString &key, const QString &value)
{
    QUserWindowTabData *data = find(name);
    return data ? data->strSet(key, value) : false;
}
