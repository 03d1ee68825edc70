#pragma once
// Modal editor of one list of acceptance-filter rules (single identifiers
// or identifier ranges, standard or extended frames). The opener hands a
// list in, runs the editor and, on 1, takes the edited list back; the
// editor reads and writes no file.

#include "widgets/Dialog.h"
#include "core/QUserFliterCfg.h" // QUserFliterRule

#include <QVector>
#include <QWidget>

class Ui_QUserDlgFliterSet;

class QUserDlgFliterSet : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgFliterSet(QWidget *parent = nullptr);
    ~QUserDlgFliterSet() override;

    void dlgInit(const QString &title);
    void fliterRulesSet(const QVector<QUserFliterRule> &rules);
    int dialogExec();
    void fliterRulesGet(QVector<QUserFliterRule> &rules) const;

    Dialog *frame() const { return m_frame.get(); }

private slots:
    void slotOkExit();
    void slotCancelExit();
    void slotFliterAdd();
    void slotFliterDel();
    void slotsComboxModeChanged(int index);

private:
    void tableRebuild();
    bool idRead(bool end, uint32_t *value);

    Ui_QUserDlgFliterSet *ui = nullptr;
    QUserOwnedFrame m_frame{this};
    QVector<QUserFliterRule> m_rules;
    uint8_t m_rangeMode = 0;
    uint8_t m_extMode = 0;
};
