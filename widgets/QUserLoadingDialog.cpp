#include "widgets/QUserLoadingDialog.h"

#include "resources/OrvaneResources.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QPushButton>

QUserLoadingDialog::QUserLoadingDialog(QWidget *parent) : QDialog(parent)
{
    orvaneResourcesInit();
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    uiInit();
}

QUserLoadingDialog::~QUserLoadingDialog()
{
    delete movie;
    delete movieLabel;
    delete tipsLabel;
    delete cancelBtn;
    delete bgFrame;
}

void QUserLoadingDialog::uiInit()
{
    setFixedSize(250, 250);
    bgFrame = new QFrame(this);
    bgFrame->setGeometry(10, 10, 230, 230);

    movie = new QMovie(QStringLiteral(":/res/loading.gif"));
    movie->setScaledSize(QSize(120, 120));
    movieLabel = new QLabel(bgFrame);
    movieLabel->setGeometry(55, 10, 120, 120);
    movieLabel->setScaledContents(true);
    movieLabel->setMovie(movie);
    movie->start();

    tipsLabel = new QLabel(bgFrame);
    tipsLabel->setGeometry(5, 130, 220, 50);
    tipsLabel->setAlignment(Qt::AlignCenter);
    tipsLabel->setObjectName(QStringLiteral("tips"));
    tipsLabel->setText(QString::fromUtf8("加载中,请稍候..."));
    tipsLabel->setStyleSheet(QStringLiteral(
        "QLabel#tips{font-family:\"Microsoft YaHei\";font-size: 15px;color: #333333;}"));

    cancelBtn = new QPushButton(bgFrame);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn->setGeometry(25, 180, 180, 35);
    cancelBtn->setText(QString::fromUtf8("取消等待"));
    cancelBtn->setEnabled(true);
    connect(cancelBtn, &QPushButton::clicked, this, &QUserLoadingDialog::cancelBtnClicked);

    QGraphicsDropShadowEffect *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(32, 101, 165, 255));
    shadow->setBlurRadius(10);
    setGraphicsEffect(shadow);
}

void QUserLoadingDialog::setTipsText(const QString &text)
{
    tipsLabel->setText(text);
}

void QUserLoadingDialog::setCancelBtnShow(bool show)
{
    cancelBtn->setVisible(show);
    cancelBtn->setEnabled(show);
}

void QUserLoadingDialog::moveToCenter(QWidget *widget)
{
    if (!widget)
        return;
    move(widget->x() + (widget->width() - width()) / 2, widget->y() + (widget->height() - height()) / 2);
}

void QUserLoadingDialog::cancelBtnClicked()
{
    emit cancelWaiting();
    done(-1);
}

void QUserLoadingDialog::userExitReq(int code)
{
    exitCode = code;
    done(0);
}

void QUserLoadingDialog::reject()
{
    // Esc: a card that waits for its job to end stays until it does.
    if (closable)
        QDialog::reject();
}

void QUserLoadingDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragging = true;
        dragOffset = event->globalPos() - pos();
        event->accept();
    }
}

void QUserLoadingDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - dragOffset);
        event->accept();
    }
}

void QUserLoadingDialog::mouseReleaseEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    dragging = false;
}

void QUserLoadingDialog::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::white);
    painter.setPen(Qt::transparent);
    painter.drawRoundedRect(QRect(9, 9, width() - 18, height() - 18), 8, 8, Qt::AbsoluteSize);
    painter.end();
    QDialog::paintEvent(event);
}
