#pragma once

// Read-only table of texts in a Dialog frame (help boxes of the tool windows).

#include "widgets/Dialog.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QLayout;
class QTableWidget;

class QUserDlgInfo : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgInfo(QWidget *parent = nullptr);
    ~QUserDlgInfo() override;

    void dlgInit(const QString &title);
    void dlgInitIcon(const QString &title, const QString &iconPath);
    int dlgExec();
    bool infoSet(const QList<QStringList> &rows);

    Dialog *frameDlg() const { return frame.get(); }
    QTableWidget *tableWidget() const { return table; }

private slots:
    void slotOkExit();
    void slotCancelExit();

private:
    void clearContent();

    QUserOwnedFrame frame{this};
    QList<QLayout *> layouts;
    QTableWidget *table = nullptr;
};
