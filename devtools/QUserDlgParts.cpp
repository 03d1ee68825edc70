#include "devtools/QUserDlgParts.h"

#include "widgets/QUserMessageBox.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>

namespace dlgparts {

void resultTableSetup(QTableWidget *t, const QStringList &headers, const QList<int> &widths)
{
    t->setColumnCount(headers.size());
    t->setHorizontalHeaderLabels(headers);
    for (int i = 0; i < widths.size(); ++i)
        t->setColumnWidth(i, widths[i]);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setAlternatingRowColors(true);
    t->setSortingEnabled(false);
    t->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setVisible(true);
    t->verticalHeader()->setVisible(false);
}

bool channelChosen(QWidget *dlg, const QComboBox *devIndex, const QComboBox *chIndex)
{
    bool devOk = false, chOk = false;
    devIndex->currentText().toInt(&devOk);
    chIndex->currentText().toInt(&chOk);
    if (devOk && chOk)
        return true;
    QUserMessageBox::msgError(dlg, QCoreApplication::translate("QUserDlgParts", "错误"),
                              QCoreApplication::translate("QUserDlgParts", "没有可打开的通道!!!"));
    return false;
}

void headersFit(QTableWidget *t)
{
    QHeaderView *h = t->horizontalHeader();
    h->ensurePolished();
    for (int i = 0; i < h->count(); ++i) {
        const QTableWidgetItem *item = t->horizontalHeaderItem(i);
        if (!item)
            continue;
        const int need = h->fontMetrics().horizontalAdvance(item->text()) +
                         2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h) + 4;
        if (h->sectionSize(i) < need)
            h->resizeSection(i, need);
    }
}

void comboFitEntries(QComboBox *combo)
{
    if (!combo)
        return;
    combo->ensurePolished();
    combo->setMinimumWidth(qMax(combo->minimumWidth(), combo->sizeHint().width()));
}

} // namespace dlgparts
