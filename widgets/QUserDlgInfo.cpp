#include "widgets/QUserDlgInfo.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

QUserDlgInfo::QUserDlgInfo(QWidget *parent) : QUserDlgTable(parent)
{
    setObjectName(QStringLiteral("QUserDlgInfo"));
    resize(537, 297);
    setWindowTitle(QStringLiteral("Form"));
}

QUserDlgInfo::~QUserDlgInfo()
{
    tableClear();
    frame.release();
}

void QUserDlgInfo::slotOkExit()
{
    frame.done(1);
}

void QUserDlgInfo::slotCancelExit()
{
    frame.done(0);
}

bool QUserDlgInfo::infoSet(const QList<QStringList> &rows)
{
    QVBoxLayout *layout = tableStart();
    table->setColumnCount(rows.isEmpty() ? 0 : rows.first().size());
    table->horizontalHeader()->setVisible(false);

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
