#pragma once
// The windowed table view: shows the model's window of item rows, owns the
// scroll position through its own cache-wide scroll bar (vScrollBar, which
// the host lays out beside the view) and keeps the user's current row as an
// absolute cache row.

#include <QTableView>

class QScrollBar;
class QUserTableModel;

class QUserTableView : public QTableView
{
    Q_OBJECT

public:
    explicit QUserTableView(QWidget *parent = nullptr);
    ~QUserTableView() override;

    void setUserModel(QUserTableModel *model);
    void rowLocate(int row);
    void rowScroll(int row);
    void rowUp();
    void rowDown();
    void pageUp();
    void pageDown();
    void currentRowSync();
    void scrollBarSync();
    bool hasRows() const;

    int currentCacheRow() const { return curRow; }
    int rowHeightPixels() const { return rowHeightPx; }
    int windowRowCount() const { return windowRows; }
    bool barIsHeld() const { return barHeld; }
    bool rowIsMarked() const { return rowMarked; }
    int selectedWindowRow() const { return selWindowRow; }

    QScrollBar *vScrollBar = nullptr;

signals:
    void userDropEvent(QString text, QString html);

public slots:
    void slotRowCountChange(int total);
    void slotTableClicked(const QModelIndex &index);
    void slotTableVScrollBarMoved(int value);
    void slotTableVScrollBarPressed();
    void slotTableVScrollBarReleased();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;

private:
    bool ready() const { return userModel && vScrollBar; }
    int itemRows() const;
    bool currentIndexValid() const;

    QUserTableModel *userModel = nullptr;
    int rowHeightPx = 1;
    int windowRows = 0;
    int curRow = 0;
    int selWindowRow = -1;
    bool rowMarked = false;
    bool barHeld = false;
};
