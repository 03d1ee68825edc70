#include "widgets/uiDlgAboutUs.h"

#include "widgets/Dialog.h"
#include "resources/OrvaneResources.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

void Ui_uiDlgAboutUs::setupUi(QWidget *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("uiDlgAboutUs"));
    w->resize(332, 187);
    verticalLayout = new QVBoxLayout(w);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    label_logo = new QLabel(w);
    label_logo->setObjectName(QStringLiteral("label_logo"));
    verticalLayout->addWidget(label_logo, 0, Qt::AlignHCenter);
    label_softName = new QLabel(w);
    label_softName->setObjectName(QStringLiteral("label_softName"));
    verticalLayout->addWidget(label_softName, 0, Qt::AlignHCenter);
    label_owner = new QLabel(w);
    label_owner->setObjectName(QStringLiteral("label_owner"));
    verticalLayout->addWidget(label_owner, 0, Qt::AlignHCenter);
    label_contact = new QLabel(w);
    label_contact->setObjectName(QStringLiteral("label_contact"));
    verticalLayout->addWidget(label_contact, 0, Qt::AlignHCenter);
    horizontalLayout = new QHBoxLayout;
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer);
    pushButton_ok = new QPushButton(w);
    pushButton_ok->setObjectName(QStringLiteral("pushButton_ok"));
    horizontalLayout->addWidget(pushButton_ok);
    verticalLayout->addLayout(horizontalLayout);
    retranslateUi(w);
    QMetaObject::connectSlotsByName(w);
}

void Ui_uiDlgAboutUs::retranslateUi(QWidget *w)
{
    w->setWindowTitle(QStringLiteral("Form"));
    label_logo->setText(QStringLiteral("LOGO"));
    label_softName->setText(QStringLiteral("TextLabel"));
    label_owner->setText(QStringLiteral("TextLabel"));
    label_contact->setText(QStringLiteral("TextLabel"));
    pushButton_ok->setText(QApplication::translate("uiDlgAboutUs", "确定"));
}

QString uiDlgAboutUs::helpPageUrl()
{
    return QStringLiteral("https://orvane.example.org/help");
}

QString uiDlgAboutUs::versionText()
{
    return QStringLiteral("V1.1.7");
}

uiDlgAboutUs::uiDlgAboutUs(QWidget *parent) : QWidget(parent)
{
    orvaneResourcesInit();
    ui = new Ui_uiDlgAboutUs;
    ui->setupUi(this);
    contentInit();
}

uiDlgAboutUs::~uiDlgAboutUs()
{
    delete ui;
}

void uiDlgAboutUs::contentInit()
{
    QPixmap logo(QStringLiteral(":/res/logo.png"));
    if (!logo.isNull())
        logo = logo.scaledToWidth(52, Qt::SmoothTransformation);
    ui->label_logo->setMaximumSize(52, 52);
    ui->label_logo->setPixmap(logo);

    ui->label_softName->setOpenExternalLinks(true);
    ui->label_softName->setText(QStringLiteral("<style> a {text-decoration: none} </style> <a href=\"")
                                + helpPageUrl() + QStringLiteral("\">Orvane ") + versionText()
                                + tr("(点击下载最新版本)"));

    ui->label_owner->setText(tr("Orvane 开发组"));
    ui->label_contact->setText(tr("CAN/CAN FD 总线分析与测试工具"));

    connect(ui->pushButton_ok, &QPushButton::clicked, this, &uiDlgAboutUs::okExit);
}

void uiDlgAboutUs::setParentDlg(Dialog *dlg)
{
    parentDlg = dlg;
}

void uiDlgAboutUs::okExit()
{
    if (parentDlg)
        parentDlg->dlgDone(1);
}
