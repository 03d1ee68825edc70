#pragma once
// The modal waiting card: animation, tip text, optional cancel button.
// Owners run it through QUserPrompt::instance()->exec(&dlg) and connect the
// worker's end signal to userExitReq(int).

#include <QDialog>
#include <QPoint>

class QFrame;
class QLabel;
class QMovie;
class QPushButton;

class QUserLoadingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit QUserLoadingDialog(QWidget *parent = nullptr);
    ~QUserLoadingDialog() override;

    void setTipsText(const QString &text);
    void setCancelBtnShow(bool show);
    // Off: neither Esc nor the window's close (which rejects) leaves the
    // card; only the job's end (userExitReq) or the cancel button does. On
    // by default.
    void setClosable(bool on) { closable = on; }
    bool isClosable() const { return closable; }
    void moveToCenter(QWidget *widget);
    int userExitCode() const { return exitCode; }

    QLabel *tipsLabelWidget() const { return tipsLabel; }
    QPushButton *cancelButton() const { return cancelBtn; }
    QMovie *movieObject() const { return movie; }

signals:
    void cancelWaiting();

private slots:
    void cancelBtnClicked();
    void userExitReq(int code);

public slots:
    void reject() override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void uiInit();

    QFrame *bgFrame = nullptr;
    QLabel *movieLabel = nullptr;
    QMovie *movie = nullptr;
    QLabel *tipsLabel = nullptr;
    QPushButton *cancelBtn = nullptr;
    QPoint dragOffset;
    bool dragging = false;
    int exitCode = 0; // 0 until a job reports its end
    bool closable = true;
};
