#pragma once
// Read-only table of texts in a Dialog frame (help boxes of the tool windows).

#include "widgets/QUserDlgTable.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QUserDlgInfo : public QUserDlgTable
{
    Q_OBJECT

public:
    explicit QUserDlgInfo(QWidget *parent = nullptr);
    ~QUserDlgInfo() override;

    bool infoSet(const QList<QStringList> &rows);

private slots:
    void slotOkExit();
    void slotCancelExit();
};
