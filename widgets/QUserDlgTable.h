#pragma once
// The shared part of the table dialogs (QUserDlgInfo, QUserDlgSetting): a
// content widget in a Dialog frame of its own whose content is one table.
// dlgInit makes the frame with the chart icon (dlgInitIcon with another),
// dlgExec runs the widget in it modally (0 before dlgInit), and the
// subclass's OK and Cancel slots end the run (frame.done).

#include "widgets/Dialog.h"

#include <QList>
#include <QString>
#include <QWidget>

class QLayout;
class QTableWidget;
class QVBoxLayout;

class QUserDlgTable : public QWidget
{
    Q_OBJECT

public:
    explicit QUserDlgTable(QWidget *parent = nullptr) : QWidget(parent) {}
    ~QUserDlgTable() override;

    void dlgInit(const QString &title);
    void dlgInitIcon(const QString &title, const QString &iconPath);
    int dlgExec();

    Dialog *frameDlg() const { return frame.get(); }
    QTableWidget *tableWidget() const { return table; }

protected:
    // New content: the layouts and table of the last content go, and a new
    // vertical layout (returned) and table take their place. The table is
    // read-only, selects whole rows, alternates its row colours, does not
    // sort, stretches its last column and has no row numbers.
    QVBoxLayout *tableStart();
    // Deletes the content's layouts and its table (with every cell editor).
    void tableClear();

    QUserOwnedFrame frame{this};
    QTableWidget *table = nullptr;

private:
    QList<QLayout *> layouts;
};
