#include "widgets/QUserDlgInfo.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

QUserDlgInfo::QUserDlgInfo(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QUserDlgInfo"));
    resize(537, 297);
    setWindowTitle(QStringLiteral("Form"));
}

QUserDlgInfo::~QUserDlgInfo()
{
    clearContent();
    frame.release();
}

void QUserDlgInfo::dlgInit(const QString &title)
{
    dlgInitIcon(title, QStringLiteral(":/res/chart.png"));
}

void QUserDlgInfo::dlgInitIcon(const QString &title, const QString &iconPath)
{
    frame.reset(new Dialog(iconPath, QString(), title, 19));
}

int QUserDlgInfo::dlgExec()
{
    if (!frame)
        return 0;
    QHBoxLayout *layout = new QHBoxLayout;
    layout->addWidget(this);
    frame->setContentLayout(layout, width(), height());
    return frame->dlgExec();
}

void QUserDlgInfo::slotOkExit()
{
    if (frame)
        frame->dlgDone(1);
}

void QUserDlgInfo::slotCancelExit()
{
    if (frame)
        frame->dlgDone(0);
}

void QUserDlgInfo::clearContent()
{
    for (QLayout *l : layouts)
        delete l;
    layouts.clear();
    delete table;
    table = nullptr;
}

bool QUserDlgInfo::infoSet(const QList<QStringList> &rows)
{
    QVBoxLayout *layout = new QVBoxLayout;
    clearContent();
    layouts.append(layout);

    table = new QTableWidget;
    table->setColumnCount(rows.isEmpty() ? 0 : rows.first().size());
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setVisible(false);
    table->verticalHeader()->setVisible(false);
    table->setAlternatingRowColors(true);
    table->setSortingEnabled(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    const int cols = table->columnCount();
    for (const QStringList &row : rows) {
        const int r = table->rowCount();
        table->insertRow(r);
        for (int c = 0; c < row.size() && c < cols; ++c)
            table->setItem(r, c, new QTableWidgetItem(row.at(c)));
    }

    layout->addWidget(table);
    setLayout(layout);
    table->resizeRowsToContents();
    table->resizeColumnsToContents();
    return true;
}
