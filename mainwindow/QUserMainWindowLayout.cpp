#include "mainwindow/QUserMainWindowLayout.h"

#include "core/QUserSysCfg.h"

#include <QSplitter>
#include <QTabWidget>
#include <QWidget>

const char *QUserMainWindowLayout::kSplitterKey = "mainWindowSpliteRate";

QUserMainWindowLayout::~QUserMainWindowLayout()
{
    if (splitter)
        splitterSave();
    splitterState.clear();
}

void QUserMainWindowLayout::splitterRestore()
{
    if (!splitter)
        return;
    const QByteArray state = QUserSysCfg::instance()->getSplitterState(QString::fromLatin1(kSplitterKey));
    // A state the splitter cannot read counts as none.
    if (state.isEmpty() || !splitter->restoreState(state)) {
        splitter->setStretchFactor(0, kDataStretch);
        splitter->setStretchFactor(1, kSendStretch);
        // The splitter has laid the panels out once already (the window is
        // shown): hand the send panels the height they ask for, the data
        // tabs whatever is left, now and at every later resize.
        const int want = sendPanelHeight();
        if (want > 0)
            splitter->setSizes({qMax(1, splitter->height() - want), want});
    }
}

int QUserMainWindowLayout::sendPanelHeight() const
{
    if (!tabSend)
        return splitter && splitter->widget(1) ? splitter->widget(1)->sizeHint().height() : 0;
    // The tab widget asks for its tallest page; the page shown is the one
    // that must fit.
    int tallest = 0;
    for (int i = 0; i < tabSend->count(); ++i)
        tallest = qMax(tallest, tabSend->widget(i)->sizeHint().height());
    const QWidget *shown = tabSend->currentWidget();
    return tabSend->sizeHint().height() - tallest + (shown ? shown->sizeHint().height() : 0);
}

void QUserMainWindowLayout::splitterSave()
{
    if (!splitter)
        return;
    splitterState = splitter->saveState();
    QUserSysCfg::instance()->setByteArray(QString::fromLatin1(kSplitterKey), splitterState);
}
