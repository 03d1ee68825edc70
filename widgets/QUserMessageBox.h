#pragma once
// Message boxes (static, modal, run through QUserPrompt) and the floating
// green / red tips over a window (instance operations).

#include <QPointer>
#include <QWidget>

#include <QLabel>
#include <QSequentialAnimationGroup>

class QUserMessageBox : public QWidget
{
    Q_OBJECT

public:
    explicit QUserMessageBox(QWidget *parent = nullptr);
    ~QUserMessageBox() override;

    static int msgCheck(QWidget *parent, const QString &title, const QString &text);
    static int msgCheckEx(QWidget *parent, const QString &title, const QString &text, int mode = 0);
    static int msgQuestion(QWidget *parent, const QString &title, const QString &text);
    static int msgQuestionEx(QWidget *parent, const QString &title, const QString &text, int mode = 0);
    static int msgWarning(QWidget *parent, const QString &title, const QString &text);
    static int msgWarningEx(QWidget *parent, const QString &title, const QString &text, int mode = 0);
    static int msgError(QWidget *parent, const QString &title, const QString &text);
    static int msgErrorEx(QWidget *parent, const QString &title, const QString &text, int mode = 0);

    int tipShow(QWidget *parent, const QString &text, int holdMs, const QString &styleSheet);
    int tipSuccess(QWidget *parent, const QString &text, int holdMs);
    int tipFail(QWidget *parent, const QString &text, int holdMs);

    // The tip label (null before the first tip or after its window went).
    QLabel *tipLabelWidget() const { return tipLabel.data(); }
    // The animation group of the last tip while it runs.
    QSequentialAnimationGroup *tipAnimation() const { return lastGroup.data(); }

    static const char *kSuccessStyle;
    static const char *kFailStyle;

private:
    static int runBox(const QString &title, const QString &text, const QString &icon, bool twoButtons,
                      bool beep, bool returnResult);

    // Guarded: the window the label lives in may be destroyed before us (it
    // deletes the label); a plain pointer would show the next tip through a
    // deleted label.
    QPointer<QLabel> tipLabel;
    QPointer<QSequentialAnimationGroup> lastGroup;
};
