// The main window's actions: which slot each one reaches, and the slots of
// the language, help, shop, download and about actions.

#include "mainwindow/MainWindow.h"

#include "core/QUserSysCfg.h"
#include "mainwindow/MainWindowForm.h"
#include "widgets/Dialog.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/QUserPrompt.h"
#include "widgets/uiDlgAboutUs.h"

#include <QAction>
#include <QApplication>
#include <QToolBar>
#include <QUrl>

namespace {

struct ActionSlot {
    QAction *Ui_MainWindow::*action;
    void (MainWindow::*slot)();
};

// In the order the actions are connected.
const ActionSlot kActionSlots[] = {
    {&Ui_MainWindow::actionDataClr, &MainWindow::soltTabDataShowClr},
    {&Ui_MainWindow::actFliter, &MainWindow::soltTabDataFliterSet},
    {&Ui_MainWindow::actionStop, &MainWindow::soltTabDataShowStop},
    {&Ui_MainWindow::actSave, &MainWindow::soltTabDataSave},
    {&Ui_MainWindow::actRecord, &MainWindow::soltTabDataRecord},
    {&Ui_MainWindow::actPlay, &MainWindow::soltTabDataPlay},
    {&Ui_MainWindow::actTools, &MainWindow::soltTools},
    {&Ui_MainWindow::actionShowSet, &MainWindow::uiTabDataShowSet},
    {&Ui_MainWindow::actDevCAN, &MainWindow::soltDevCanSelect},
    {&Ui_MainWindow::actDevLIN, &MainWindow::soltDevLinSelect},
    {&Ui_MainWindow::actDevRecord, &MainWindow::soltDevRecordSelect},
    {&Ui_MainWindow::actionFastHelp, &MainWindow::soltFastHelpFileOpen},
    {&Ui_MainWindow::actionHelp, &MainWindow::soltHelpFileOpen},
    {&Ui_MainWindow::actionShopping, &MainWindow::soltGoShopping},
    {&Ui_MainWindow::actionFileDownload, &MainWindow::soltFileDownload},
    {&Ui_MainWindow::actionAboutUs, &MainWindow::uiDlgAbout},
    {&Ui_MainWindow::actionLanguageChina, &MainWindow::slotLanguageZh},
    {&Ui_MainWindow::actionLanguageEnglish, &MainWindow::slotLanguageEn},
    {&Ui_MainWindow::actionRepeatCfg, &MainWindow::slotRepeatCfg},
    {&Ui_MainWindow::actionFreqChk, &MainWindow::slotBaudChk},
    {&Ui_MainWindow::actionCalculator, &MainWindow::slotBaudAssistor},
    {&Ui_MainWindow::actionFirmUpdate, &MainWindow::slotDevFirmUpdate},
};

QString shopPageUrl()
{
    return QStringLiteral("https://orvane.example.org/shop");
}

QString downloadPageUrl()
{
    return QStringLiteral("https://orvane.example.org/download");
}

} // namespace

void MainWindow::uiActionConnect()
{
    ui->toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const ActionSlot &as : kActionSlots)
        connect(ui->*as.action, &QAction::triggered, this, as.slot);
}

// ---- language --------------------------------------------------------------

void MainWindow::slotLanguageZh()
{
    languageSwitch(QStringLiteral("ZH"));
}

void MainWindow::slotLanguageEn()
{
    languageSwitch(QStringLiteral("EN"));
}

void MainWindow::languageSwitch(const QString &language)
{
    // Asked even when that language is already the current one. The
    // restart closes every device and tool window: one question says what
    // that loses too.
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), languageQuestionText(), 0) != 1)
        return;
    QUserSysCfg::instance()->setString(QStringLiteral("language"), language);
    QApplication::exit(1);
}

// ---- pages and the about box -----------------------------------------------

void MainWindow::pageOpen(const QString &url)
{
    if (!QUserPrompt::instance()->openUrl(QUrl(url)))
        QUserMessageBox::msgError(this, tr("错误"), tr("权限不足,调用系统应用失败!"));
}

void MainWindow::soltFastHelpFileOpen()
{
    pageOpen(uiDlgAboutUs::helpPageUrl());
}

void MainWindow::soltHelpFileOpen()
{
    pageOpen(uiDlgAboutUs::helpPageUrl());
}

void MainWindow::soltGoShopping()
{
    pageOpen(shopPageUrl());
}

void MainWindow::soltFileDownload()
{
    pageOpen(downloadPageUrl());
}

void MainWindow::uiDlgAbout()
{
    Dialog frame;
    frame.aboutDlgCreat(QString(), tr("软件信息"));
    frame.dlgExec();
}
