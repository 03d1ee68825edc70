#pragma once
// Dialog: the frameless window frame every dialog of Orvane runs in. A 25 px
// title bar of its own (icon or caption, title, minimise / maximise / close),
// painted in the theme colour, and a content area "widget_content" that
// takes the layout of a content widget.
//
// Content widgets keep their frame in a QUserOwnedFrame: they make it
// (QUserOwnedFrame::make, from dlgInit / dlgInitIcon or the constructor), run
// themselves in it (QUserOwnedFrame::exec, from dlgExec) and end it from
// their OK / Cancel slots (QUserOwnedFrame::done(1) / done(0)). The
// QUserOwnedFrame deletes the frame when the content widget goes; a frame
// that is deleted first (dlgShow frames delete themselves on close) takes the
// content widget with it.

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QString>

class QHBoxLayout;
class QLabel;
class QLayout;
class QPushButton;
class QVBoxLayout;

// The widget tree of the frame (built in code; the names are fixed).
class Ui_Dialog
{
public:
    QVBoxLayout *verticalLayout = nullptr;
    QWidget *widget_main = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QWidget *widget_top = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QWidget *widget_Tip = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QLabel *label_Tip = nullptr;
    QWidget *widget_title = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QLabel *lab_Title = nullptr;
    QWidget *widget_menu = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QWidget *widget = nullptr;
    QPushButton *btnMenu_Min = nullptr;
    QPushButton *btnMenu_Max = nullptr;
    QPushButton *btnMenu_Close = nullptr;
    QWidget *widget_content = nullptr;

    void setupUi(QDialog *Dialog);
    void retranslateUi(QDialog *Dialog);
};

class Dialog : public QDialog
{
    Q_OBJECT

public:
    // Show flags of the title bar parts.
    enum Flag { FlagTip = 1, FlagTitle = 2, FlagMin = 4, FlagMax = 8, FlagClose = 16 };

    explicit Dialog(QWidget *parent);
    Dialog();
    Dialog(const QString &tipText, const QString &titleText, int flags);
    Dialog(const QString &tipIconPath, const QString &unused, const QString &titleText, int flags);
    ~Dialog() override;

    // Message frame: caption title at the left, close button only, a
    // uiDlgBasic body with OK (msgDlgCreat) or OK and Cancel (msgDlgCreatEx).
    void msgDlgCreat(const QString &title, const QString &text, const QString &iconPath);
    void msgDlgCreatEx(const QString &title, const QString &text, const QString &iconPath, int mode);
    // About box frame with a uiDlgAboutUs body.
    void aboutDlgCreat(const QString &tipText, const QString &titleText);

    int setTipVisible(bool visible);
    int setTipText(const QString &text);
    int setTitleVisible(bool visible);
    int setTitleText(const QString &text);
    bool titleShow(const QString &text);
    int titleInit(const QString &tipText, const QString &titleText);
    int setTipIcon(const QString &path);
    int setWindowIconPath(const QString &path);
    bool iconSet(const QString &path);
    int setTopStyleSheet(const QString &style);
    bool topStyleSet(const QString &style);
    int setBtnVisible(int button, bool visible);
    int setContentLayout(QLayout *layout, int w, int h);
    // The one content widget of the frame: laid into a new horizontal
    // layout, the content area sized to the widget's own size.
    void setContent(QWidget *content);
    // setContent, then the modal run (dlgExec).
    int execContent(QWidget *content);

    int dlgExec();
    int dlgShow();
    int dlgOpen();
    int dlgHide();
    int dlgClose();
    int dlgDone(int result);

    // State, for hosts and tests.
    Ui_Dialog *form() const { return ui; }
    bool maximizedState() const { return maximized; }
    bool draggingState() const { return dragging; }
    QRect normalRect() const { return normalGeom; }
    QString tipIconPath() const { return iconPath; }
    // True while the frame's destructor runs (its content is being deleted).
    bool isDestroying() const { return destroying; }

signals:
    void userCloseEvent();

protected:
    bool eventFilter(QObject *obj, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private slots:
    void on_btnMenu_Close_clicked();
    void on_btnMenu_Max_clicked();
    void on_btnMenu_Min_clicked();

private:
    void uiInit();
    void applyFlags(const QString &tip, const QString &title, int flags, bool tipIsIcon);
    void showPixmapTip(const QString &path);
    void fitTipText();
    void toggleMaximize();

    Ui_Dialog *ui = nullptr;
    QPoint dragOffset;
    bool dragging = false;
    bool maximized = false;
    QRect normalGeom;
    QString iconPath = QStringLiteral(":/res/logo.png");
    bool destroying = false;
};

// The frame a content widget made for itself, owned by that content widget.
// Releasing (reset, or the owner's destruction) takes the content widget
// out of the frame first and then deletes the frame, unless the frame is
// itself being destroyed (then the content widget dies with it).
class QUserOwnedFrame
{
public:
    explicit QUserOwnedFrame(QWidget *content) : m_content(content) {}
    ~QUserOwnedFrame() { release(); }

    void reset(Dialog *frame);
    void release();
    // A new frame with the tip icon, title and title-bar flags given.
    void make(const QString &tipIconPath, const QString &title,
              int flags = Dialog::FlagTip | Dialog::FlagTitle | Dialog::FlagClose);
    // Runs the content widget modally in the frame; 0 without a frame.
    int exec();
    // Ends the modal run with a result; nothing without a frame.
    void done(int result);
    Dialog *get() const { return m_frame.data(); }
    Dialog *operator->() const { return m_frame.data(); }
    explicit operator bool() const { return !m_frame.isNull(); }

private:
    QUserOwnedFrame(const QUserOwnedFrame &) = delete;
    QUserOwnedFrame &operator=(const QUserOwnedFrame &) = delete;

    QWidget *m_content;
    QPointer<Dialog> m_frame;
};
