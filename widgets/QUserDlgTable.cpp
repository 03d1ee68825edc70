#include "widgets/QUserDlgTable.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

QUserDlgTable::~QUserDlgTable()
{
    tableClear();
}

void QUserDlgTable::dlgInit(const QString &title)
{
    dlgInitIcon(title, QStringLiteral(":/res/chart.png"));
}

void QUserDlgTable::dlgInitIcon(const QString &title, const QString &iconPath)
{
    frame.make(iconPath, title);
}

int QUserDlgTable::dlgExec()
{
    return frame.exec();
}

QVBoxLayout *QUserDlgTable::tableStart()
{
    tableClear();
    QVBoxLayout *layout = new QVBoxLayout;
    layouts.append(layout);
    table = new QTableWidget;
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setVisible(false);
    table->setAlternatingRowColors(true);
    table->setSortingEnabled(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return layout;
}

void QUserDlgTable::tableClear()
{
    for (QLayout *l : layouts)
        delete l;
    layouts.clear();
    delete table;
    table = nullptr;
}
