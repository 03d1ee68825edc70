// A gallery of the UI foundation's widgets: builds each one as the program
// would show it and saves a picture of it. Run by
// scripts/screenshots_widgets.sh under Xvfb:
//   orvane_widgets_gallery <output folder>

#include "widgets/Dialog.h"
#include "widgets/QRibbon.h"
#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserDlgProgress.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserLoadingDialog.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/QUserTableModel.h"
#include "widgets/QUserTableView.h"
#include "widgets/uiDlgAboutUs.h"
#include "widgets/uiStatusBar.h"
#include "widgets/QUserProgressDlg.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSequentialAnimationGroup>
#include <QStandardItem>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <cstdio>

namespace {

QString g_out;
int g_failures = 0;

void settle(int ms = 150)
{
    for (int i = 0; i < ms / 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

void save(QWidget *w, const QString &name)
{
    settle();
    QPixmap pix = w->grab();
    const QString path = QDir(g_out).filePath(name + ".png");
    if (pix.isNull() || !pix.save(path)) {
        std::fprintf(stderr, "gallery: could not save %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s %dx%d\n", qPrintable(path), pix.width(), pix.height());
}

// A frame table over a computed cache, as the data tabs show it.
class FrameModel : public QUserTableModel
{
public:
    explicit FrameModel(int rows) : count(rows)
    {
        setColumnCount(7);
        setHorizontalHeaderLabels({QString::fromUtf8("序号"), QString::fromUtf8("时间"), QString::fromUtf8("方向"),
                                   QString::fromUtf8("帧ID"), QString::fromUtf8("类型"), QString::fromUtf8("长度"),
                                   QString::fromUtf8("数据")});
    }
    int cacheCount() override { return count; }
    void windowUpdate() override
    {
        const int rows = windowRowsWanted();
        if (rowCount() != rows)
            setRowCount(rows);
        for (int r = 0; r < rows; ++r) {
            const int i = windowStart() + r;
            const QStringList cells = {
                QString::number(i),
                QStringLiteral("%1.%2").arg(i / 1000).arg(i % 1000, 3, 10, QLatin1Char('0')),
                (i % 3) ? QString::fromUtf8("接收") : QString::fromUtf8("发送"),
                QStringLiteral("%1").arg(0x18FF0000 + (i % 97), 8, 16, QLatin1Char('0')).toUpper(),
                (i % 5) ? QString::fromUtf8("数据帧") : QString::fromUtf8("远程帧"),
                QStringLiteral("8"),
                QStringLiteral("%1 %2 00 11 22 33 44 55").arg(i & 0xFF, 2, 16, QLatin1Char('0')).arg((i >> 8) & 0xFF, 2, 16, QLatin1Char('0')).toUpper(),
            };
            for (int c = 0; c < cells.size(); ++c) {
                if (QStandardItem *it = item(r, c))
                    it->setText(cells[c]);
                else
                    setItem(r, c, new QStandardItem(cells[c]));
            }
        }
    }
    int count;
};

// A main window shaped like the program's: its menus become the ribbon.
QMainWindow *mainWindow(FrameModel *model, QUserTableView **viewOut, uiStatusBar **barOut)
{
    QMainWindow *w = new QMainWindow;
    w->resize(1000, 620);
    QMenuBar *bar = w->menuBar();
    auto add = [w](QMenu *menu, const char *icon, const char *text, bool checkable = false) {
        QAction *a = new QAction(w);
        if (icon)
            a->setIcon(QIcon(QString::fromLatin1(icon)));
        a->setText(QString::fromUtf8(text));
        a->setCheckable(checkable);
        menu->addAction(a);
        return a;
    };
    QMenu *dev = bar->addMenu(QString::fromUtf8("选择设备"));
    add(dev, ":/res/devCan.png", "CAN/FD适配器");
    add(dev, ":/res/devLin.png", "LIN适配器");
    add(dev, ":/res/devRecord.png", "CAN/FD记录仪");
    QMenu *set = bar->addMenu(QString::fromUtf8("设置"));
    add(set, ":/res/plane.png", "显示设置");
    QMenu *lang = bar->addMenu(QString::fromUtf8("语言"));
    add(lang, ":/res/languageChina.png", "简体中文");
    add(lang, ":/res/languageEnglish.png", "English");
    QMenu *tools = bar->addMenu(QString::fromUtf8("工具"));
    add(tools, ":/res/arrowDouble.png", "中继配置");
    add(tools, ":/res/search.png", "波特率侦测");
    tools->addSeparator();
    add(tools, ":/res/cal.png", "波特率计算器");
    add(tools, ":/res/download.png", "设备升级");
    QMenu *help = bar->addMenu(QString::fromUtf8("帮助"));
    add(help, nullptr, "快速使用指南");
    add(help, nullptr, "用户手册");
    add(help, ":/res/cart.png", "产品购买");
    add(help, ":/res/file.png", "资料下载");
    add(help, ":/res/msg_icon_question.png", "软件信息");

    QWidget *central = new QWidget(w);
    QHBoxLayout *layout = new QHBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    QUserTableView *view = new QUserTableView(central);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalHeader()->setVisible(false);
    view->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(view);
    layout->addWidget(view->vScrollBar);
    w->setCentralWidget(central);
    uiStatusBar *status = new uiStatusBar(w);
    w->statusBar()->addPermanentWidget(status, 1);

    QRibbonOptions o;
    o.title = QString::fromUtf8("OrvaneSuite(Orvane 开发组)");
    o.iconPath = QStringLiteral(":/res/can.png");
    QRibbon::install(w, o);
    view->setUserModel(model);
    view->setColumnWidth(0, 70);
    view->setColumnWidth(1, 90);
    view->setColumnWidth(3, 100);
    *viewOut = view;
    *barOut = status;
    return w;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(g_out);
    // The forms name Windows fonts; on this system the CJK font stands in.
    const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
    QFont::insertSubstitution(QStringLiteral("Microsoft YaHei"), cjk);
    QFont::insertSubstitution(QString::fromUtf8("微软雅黑"), cjk);
    QFont appFont(cjk);
    appFont.setPointSize(9);
    QApplication::setFont(appFont);

    // The settings store lives in the working directory: use a scratch one.
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());

    // Main window with the ribbon, the table view over a million rows and the
    // status bar, in each theme.
    FrameModel model(1000000);
    QUserTableView *view = nullptr;
    uiStatusBar *status = nullptr;
    QMainWindow *w = mainWindow(&model, &view, &status);
    w->show();
    settle(300);
    model.rowCountNotify();
    view->rowLocate(123456);
    view->vScrollBar->setValue(123456);
    uiStatusBarInfo info;
    info.devInfo = QStringLiteral("TRNA701-0-0  CAN FD 500K/2M");
    info.txRate = 1000;
    info.rxRate = 2345;
    info.txCount = 56789;
    info.rxCount = 1234567;
    status->statusUpdate(info);

    QRibbon *ribbon = qobject_cast<QRibbon *>(w->menuWidget());
    const QList<QAction *> themes = ribbon->styleMenu()->actions();
    const char *names[] = {"ribbon_blue", "ribbon_green", "ribbon_red"};
    for (int i = 2; i >= 0; --i) {
        themes[i]->trigger();
        save(w, QString::fromLatin1(names[i]));
    }
    save(view->parentWidget(), "table_view");
    save(status, "status_bar");

    // Folded ribbon.
    ribbon->form()->pushButtonMinimum->disconnect(w);
    ribbon->form()->pushButtonMinimum->click();
    settle(400);
    save(w, "ribbon_folded");

    // Tips over the window.
    QUserMessageBox tips;
    tips.tipSuccess(w, QString::fromUtf8("设备打开成功!"), 5000);
    tips.tipAnimation()->setCurrentTime(150);
    save(w, "tip_success");
    tips.tipFail(w, QString::fromUtf8("设备打开失败!"), 5000);
    tips.tipAnimation()->setCurrentTime(150);
    save(w, "tip_fail");

    // Message boxes.
    {
        Dialog box;
        box.msgDlgCreat(QString::fromUtf8("错误"), QString::fromUtf8("设备打开失败!"), ":/res/msg_icon_error");
        box.show();
        save(&box, "msgbox_error");
    }
    {
        Dialog box;
        box.msgDlgCreatEx(QString::fromUtf8("警告"), QString::fromUtf8("重启生效,确定切换语言?"),
                          ":/res/msg_icon_question", 0);
        box.show();
        save(&box, "msgbox_question");
    }
    {
        Dialog box;
        box.msgDlgCreat(QString::fromUtf8("提示"), QString::fromUtf8("配置已保存。"), ":/res/msg_icon_check.png");
        box.show();
        save(&box, "msgbox_check");
    }

    {
        // An English caption is shown whole.
        Dialog box;
        box.msgDlgCreat(QStringLiteral("Information"), QStringLiteral("The configuration was saved."),
                        ":/res/msg_icon_check.png");
        box.show();
        save(&box, "msgbox_english");
    }
    {
        // A tool dialog's title bar with all its buttons, under the theme.
        Dialog tool(QStringLiteral(":/res/chart.png"), QString(), QString::fromUtf8("信号曲线"), 31);
        QLabel *body = new QLabel(QString::fromUtf8("内容区域"));
        body->setAlignment(Qt::AlignCenter);
        QHBoxLayout *layout = new QHBoxLayout;
        layout->addWidget(body);
        tool.setContentLayout(layout, 420, 160);
        tool.show();
        save(&tool, "dialog_title_buttons");
    }

    // Settings dialog as the display settings fill it.
    {
        QUserDlgSetting setting;
        setting.dlgInitIcon(QString::fromUtf8("显示设置"), ":/res/plane.png");
        QList<QUserDlgSettingItem> rows;
        QUserDlgSettingItem r;
        r.itemType = 1;
        r.itemName = QString::fromUtf8("帧ID格式");
        r.comboItems = QStringList{QString::fromUtf8("十六进制"), QString::fromUtf8("十进制")};
        r.comboIndex = 0;
        r.itemComment = QString::fromUtf8("帧ID的显示格式");
        rows << r;
        r = QUserDlgSettingItem();
        r.itemType = 2;
        r.itemName = QString::fromUtf8("缓存帧数");
        r.itemValue = QStringLiteral("1000000");
        r.placeholderText = QString::fromUtf8("最大帧数");
        r.itemComment = QString::fromUtf8("每个通道保留的帧数");
        rows << r;
        r = QUserDlgSettingItem();
        r.itemType = 3;
        r.itemName = QString::fromUtf8("硬件时间");
        r.itemValue = QString::fromUtf8("使用设备时间戳");
        r.itemChecked = true;
        r.itemComment = QString::fromUtf8("时间计算方式");
        rows << r;
        r = QUserDlgSettingItem();
        r.itemType = 0;
        r.itemName = QString::fromUtf8("版本");
        r.itemValue = QStringLiteral("V1.1.7");
        r.itemComment = QString::fromUtf8("只读");
        rows << r;
        setting.itemsSet(rows);
        setting.frameDlg()->setContent(&setting);
        setting.frameDlg()->show();
        save(setting.frameDlg(), "settings_dialog");
        setting.frameDlg()->hide();
    }

    // Info dialog.
    {
        QUserDlgInfo infoDlg;
        infoDlg.dlgInit(QString::fromUtf8("快捷键说明"));
        infoDlg.infoSet({{"F1", QString::fromUtf8("打开帮助")},
                         {"Ctrl+O", QString::fromUtf8("打开DBC文件")},
                         {"Space", QString::fromUtf8("暂停/继续显示")}});
        infoDlg.frameDlg()->setContent(&infoDlg);
        infoDlg.frameDlg()->show();
        save(infoDlg.frameDlg(), "info_dialog");
        infoDlg.frameDlg()->hide();
    }

    // Progress and waiting dialogs, about box.
    {
        QUserDlgProgress progress;
        progress.setTip(QString::fromUtf8("正在侦测波特率..."));
        progress.setValue(42);
        progress.frameDlg()->setContent(&progress);
        progress.frameDlg()->show();
        save(progress.frameDlg(), "progress_dialog");
        progress.frameDlg()->hide();
    }
    {
        // The frameless progress dialog over the main window, as the screen
        // shows it (the window beneath must not show through).
        QUserProgressDlg progress;
        progress.setWindowTitle(QString::fromUtf8("加载"));
        progress.setLabelText(QString::fromUtf8("加载中..."));
        progress.setValue(37);
        progress.resize(300, 110);
        const QRect area = w->geometry();
        progress.move(area.left() + 200, area.top() + 250);
        progress.show();
        settle(300);
        save(&progress, "progress_frameless");
        const QRect shot = progress.frameGeometry().adjusted(-40, -40, 40, 40);
        const QPixmap screen =
            QGuiApplication::primaryScreen()->grabWindow(0, shot.x(), shot.y(), shot.width(), shot.height());
        const QString path = QDir(g_out).filePath("progress_frameless_on_screen.png");
        if (screen.isNull() || !screen.save(path))
            ++g_failures;
        else
            std::printf("%s %dx%d\n", qPrintable(path), screen.width(), screen.height());
        progress.hide();
    }
    {
        QWidget backdrop;
        backdrop.setObjectName("backdrop");
        backdrop.setStyleSheet("QWidget#backdrop{background:#c8d2e0;}");
        backdrop.resize(300, 300);
        QUserLoadingDialog loading(&backdrop);
        loading.setWindowFlags(Qt::Widget);
        loading.move(25, 25);
        backdrop.show();
        loading.show();
        save(&backdrop, "loading_dialog");
    }
    {
        Dialog about;
        about.aboutDlgCreat(QString(), QString::fromUtf8("软件信息"));
        about.show();
        save(&about, "about_box");
    }

    delete w;
    return g_failures == 0 ? 0 : 1;
}
