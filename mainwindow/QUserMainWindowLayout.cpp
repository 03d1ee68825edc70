#include "mainwindow/QUserMainWindowLayout.h"

#include "core/QUserSysCfg.h"

#include <QSplitter>

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
    }
}

void QUserMainWindowLayout::splitterSave()
{
    if (!splitter)
        return;
    splitterState = splitter->saveState();
    QUserSysCfg::instance()->setByteArray(QString::fromLatin1(kSplitterKey), splitterState);
}
