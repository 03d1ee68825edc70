#include "widgets/uiDlgBasic.h"

#include "widgets/Dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

void Ui_uiDlgBasic::setupUi(QWidget *uiDlgBasic)
{
    if (uiDlgBasic->objectName().isEmpty())
        uiDlgBasic->setObjectName(QStringLiteral("uiDlgBasic"));
    uiDlgBasic->resize(318, 139);
    verticalLayout = new QVBoxLayout(uiDlgBasic);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    int l, t, r, b;
    horizontalLayout_2->getContentsMargins(&l, &t, &r, &b);
    horizontalLayout_2->setContentsMargins(l, t, 0, b);
    label_ico = new QLabel(uiDlgBasic);
    label_ico->setObjectName(QStringLiteral("label_ico"));
    horizontalLayout_2->addWidget(label_ico, 0, Qt::AlignHCenter);
    label_info = new QLabel(uiDlgBasic);
    label_info->setObjectName(QStringLiteral("label_info"));
    label_info->setWordWrap(true);
    horizontalLayout_2->addWidget(label_info, 0, Qt::AlignLeft);
    horizontalLayout_2->setStretch(0, 2);
    horizontalLayout_2->setStretch(1, 4);
    verticalLayout->addLayout(horizontalLayout_2);
    horizontalLayout_button = new QHBoxLayout;
    horizontalLayout_button->setObjectName(QStringLiteral("horizontalLayout_button"));
    verticalLayout->addLayout(horizontalLayout_button);
    retranslateUi(uiDlgBasic);
    QMetaObject::connectSlotsByName(uiDlgBasic);
}

void Ui_uiDlgBasic::retranslateUi(QWidget *uiDlgBasic)
{
    uiDlgBasic->setWindowTitle(QStringLiteral("Form"));
    label_ico->setText(QStringLiteral("ICO"));
    label_info->setText(QString::fromUtf8("提示信息"));
}

uiDlgBasic::uiDlgBasic(QWidget *parent) : QWidget(parent)
{
    ui = new Ui_uiDlgBasic;
    ui->setupUi(this);
    ui->label_ico->setText(QString());
    btnOk = new QPushButton(tr("确定"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setMaximumWidth(150);
    ui->horizontalLayout_button->addWidget(btnOk);
    connect(btnOk, &QPushButton::clicked, this, &uiDlgBasic::okExit);
}

uiDlgBasic::uiDlgBasic(int mode) : QWidget(nullptr)
{
    Q_UNUSED(mode);
    ui = new Ui_uiDlgBasic;
    ui->setupUi(this);
    ui->label_ico->setText(QString());
    btnOk = new QPushButton(tr("确定"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(tr("取消"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    ui->horizontalLayout_button->addWidget(btnOk);
    ui->horizontalLayout_button->addWidget(btnCancel);
    connect(btnOk, &QPushButton::clicked, this, &uiDlgBasic::okExit);
    connect(btnCancel, &QPushButton::clicked, this, &uiDlgBasic::cancelExit);
}

uiDlgBasic::~uiDlgBasic()
{
    delete btnOk;
    delete btnCancel;
    delete ui;
}

void uiDlgBasic::setParentDlg(Dialog *dlg)
{
    parentDlg = dlg;
}

namespace {
// The widest a box's text runs before it wraps.
constexpr int kTextMaxWidth = 420;
} // namespace

void uiDlgBasic::msgSet(const QString &text, const QString &iconPath)
{
    QLabel *label = ui->label_info;
    label->setText(text);
    // A short text stays on one line: Chinese wraps between any two
    // characters, and at the form's width a question broke "语言" in two.
    // A longer one wraps within kTextMaxWidth, and the label is as high as
    // its lines.
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(line));
    const int width = qMin(widest + 2, kTextMaxWidth);
    label->setMinimumWidth(width);
    label->setMinimumHeight(label->heightForWidth(width));
    if (iconPath.isEmpty())
        return;
    QPixmap pix(iconPath);
    if (!pix.isNull())
        pix = pix.scaledToWidth(42, Qt::SmoothTransformation);
    ui->label_ico->setMaximumSize(42, 42);
    ui->label_ico->setPixmap(pix);
    if (parentDlg)
        parentDlg->iconSet(iconPath);
}

void uiDlgBasic::okExit()
{
    if (parentDlg)
        parentDlg->dlgDone(1);
}

void uiDlgBasic::cancelExit()
{
    if (parentDlg)
        parentDlg->dlgDone(0);
}
