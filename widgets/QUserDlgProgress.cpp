#include "widgets/QUserDlgProgress.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

void Ui_QUserDlgProgress::setupUi(QWidget *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QUserDlgProgress"));
    w->resize(441, 71);
    verticalLayout = new QVBoxLayout(w);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    label_tip = new QLabel(w);
    label_tip->setObjectName(QStringLiteral("label_tip"));
    verticalLayout->addWidget(label_tip, 0, Qt::AlignHCenter);
    progressBar = new QProgressBar(w);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    verticalLayout->addWidget(progressBar);
    retranslateUi(w);
    QMetaObject::connectSlotsByName(w);
}

void Ui_QUserDlgProgress::retranslateUi(QWidget *w)
{
    w->setWindowTitle(QStringLiteral("Form"));
    label_tip->setText(QStringLiteral("TextLabel"));
}

QUserDlgProgress::QUserDlgProgress(QWidget *parent) : QWidget(parent)
{
    ui = new Ui_QUserDlgProgress;
    ui->setupUi(this);
    frame.make(QStringLiteral(":/res/plane.png"), tr("执行进度"));
    refresh();
}

QUserDlgProgress::~QUserDlgProgress()
{
    frame.release();
    delete ui;
}

int QUserDlgProgress::dlgExec()
{
    return frame.exec();
}

int QUserDlgProgress::dlgShow()
{
    if (frame)
        frame->dlgShow();
    return 0;
}

int QUserDlgProgress::dlgHide()
{
    if (frame)
        frame->dlgHide();
    return 0;
}

int QUserDlgProgress::dlgDone()
{
    frame.done(0);
    return 0;
}

bool QUserDlgProgress::setTitle(const QString &text)
{
    if (frame)
        frame->titleShow(text);
    return true;
}

bool QUserDlgProgress::setTip(const QString &text)
{
    ui->label_tip->setText(text);
    return true;
}

bool QUserDlgProgress::setAutoClose(bool on)
{
    autoClose = on;
    refresh();
    return true;
}

bool QUserDlgProgress::setRange(int min, int max)
{
    if (min >= max)
        return false;
    minValue = min;
    maxValue = max;
    refresh();
    return true;
}

bool QUserDlgProgress::setValue(int value)
{
    curValue = value;
    refresh();
    return true;
}

void QUserDlgProgress::slotProgressValueChange(int code, int value)
{
    if (code == CodeValue) {
        curValue = value;
        refresh();
    } else if (code == CodeFinished) {
        frame.done(1);
    }
}

void QUserDlgProgress::refresh()
{
    ui->progressBar->setRange(minValue, maxValue);
    // The bar ignores values outside its range; show overshoots at the end.
    ui->progressBar->setValue(qBound(minValue, curValue, maxValue));
    if (autoClose && maxValue <= curValue)
        frame.done(1);
}
