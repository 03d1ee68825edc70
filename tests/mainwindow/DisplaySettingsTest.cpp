// The display settings dialog (its seven rows, the keys it stores in
// "sys.ini", read back by Python's configparser, and the current tab's
// model reloading with them), the stop-display toggle and data clearing.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "tests/support/PeerCheck.h"
#include "core/QUserDevId.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "tests/mainwindow/StubChannelDevice.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserTableView.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMap>
#include <QPushButton>
#include <QStandardItem>
#include <QStyle>
#include <QTabWidget>

#include <vector>

namespace {

const char *kCh0 = "USBCANFD2-0-0";
const char *kCh1 = "USBCANFD2-0-1";

// The sys.ini keys as configparser reads them.
QMap<QString, QString> iniKeys()
{
    const peer::Result r = peer::run(peer::script("core_sysini.py"), {QDir::current().absoluteFilePath("setting/sys.ini").toStdString()});
    QMap<QString, QString> keys;
    for (const QByteArray &line : QByteArray::fromStdString(r.output).split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            keys.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    return keys;
}

// What the dialog showed, and a hook to change its editors before OK.
struct Shown {
    QString title;
    QList<QUserDlgSettingItem> rows;
    int idIndex = -2, dataIndex = -2, themeIndex = -2;
    QString idText, dataText;
    bool merge = false, sendShown = false, hwTime = false;
    QString cacheText;
};

std::function<int(QDialog *)> settingsAnswer(Shown *shown, std::function<void(QList<QUserDlgSettingItem> &)> edit,
                                             bool ok = true)
{
    return [shown, edit, ok](QDialog *d) {
        auto *dlg = d->findChild<QUserDlgSetting *>();
        if (!dlg)
            return -1;
        QList<QUserDlgSettingItem> &rows = *dlg->itemsGet();
        shown->title = d->windowTitle();
        shown->rows = rows;
        if (rows.size() == 7 && rows[0].comboBox && rows[1].comboBox && rows[6].comboBox && rows[5].lineEdit) {
            shown->idIndex = rows[0].comboBox->currentIndex();
            shown->dataIndex = rows[1].comboBox->currentIndex();
            shown->idText = rows[0].comboBox->currentText();
            shown->dataText = rows[1].comboBox->currentText();
            shown->merge = rows[2].checkBox->isChecked();
            shown->sendShown = rows[3].checkBox->isChecked();
            shown->hwTime = rows[4].checkBox->isChecked();
            shown->cacheText = rows[5].lineEdit->text();
            shown->themeIndex = rows[6].comboBox->currentIndex();
        }
        if (edit)
            edit(rows);
        if (!ok) {
            dlg->cancelButton()->click();
            return 0;
        }
        dlg->okButton()->click();
        return d->result();
    };
}

} // namespace

class DisplaySettingsTest : public MainWindowEnv
{
protected:
    void SetUp() override
    {
        MainWindowEnv::SetUp();
        w.reset(new MainWindow);
        stub = new StubChannelDevice;
        w->devAdapterGet()->deviceReplace("USBCANFD2", stub);
    }
    void TearDown() override { w.reset(); }
    void openChannels(const QStringList &ids)
    {
        stub->openIds = ids;
        ASSERT_TRUE(w->devOpen("USBCANFD2"));
    }
    void selectTab(const char *id)
    {
        QTabWidget *tabs = w->layoutGet()->tabDataShow;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == getDevIdTextEx(w->languageCodeGet(), QString::fromLatin1(id)))
                tabs->setCurrentIndex(i);
        ASSERT_EQ(w->curTabDevGet(), QString::fromLatin1(id));
    }
    QUserWindowTabData *tab(const char *id) const { return w->tabSrvGet().find(QString::fromLatin1(id)); }

    std::unique_ptr<MainWindow> w;
    StubChannelDevice *stub = nullptr;
};

TEST_F(DisplaySettingsTest, FreshStoreShowsTheFormatsInForceAndStoresOnlyTheAlwaysStoredRows)
{
    REQUIRE_PEER_MODULES("configparser");
    Shown shown;
    prompts.answerExec(settingsAnswer(&shown, nullptr));
    w->formGet()->actionShowSet->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(prompts.last().title, "显示设置");
    ASSERT_EQ(shown.rows.size(), 7);
    const char *names[] = {"ID格式:", "数据格式:", "合并相同ID:", "显示发送帧:", "硬件时间:", "最大帧数量:", "软件主题:"};
    const int kinds[] = {1, 1, 3, 3, 3, 2, 1};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(shown.rows.at(i).itemName, QString::fromUtf8(names[i])) << i;
        EXPECT_EQ(shown.rows.at(i).itemType, kinds[i]) << i;
    }
    EXPECT_EQ(shown.rows.at(6).comboItems, (QStringList{"蓝色", "绿色", "红色"}));
    // Absent formats are hexadecimal in the tables: the lists say so.
    EXPECT_EQ(shown.idIndex, 0);
    EXPECT_EQ(shown.dataIndex, 0);
    EXPECT_EQ(shown.idText, "十六进制");
    EXPECT_EQ(shown.dataText, "十六进制");
    EXPECT_TRUE(shown.merge);     // written "ON" at start-up
    EXPECT_TRUE(shown.sendShown); // likewise
    EXPECT_FALSE(shown.hwTime);
    EXPECT_EQ(shown.themeIndex, 0);

    const QMap<QString, QString> keys = iniKeys();
    EXPECT_FALSE(keys.contains("msgIdFormat"));
    EXPECT_FALSE(keys.contains("msgDataFormat"));
    EXPECT_EQ(keys.value("idMergEnable"), "ON");
    EXPECT_EQ(keys.value("sendAllowDis"), "ON");
    EXPECT_EQ(keys.value("msgHardWareTimeEn"), "FALSE");
    // No tab ever wrote a size: the row shows the default the tabs use, and
    // OK keeps it (not the 10 frames an unreadable size becomes).
    EXPECT_EQ(shown.cacheText, "1000000");
    EXPECT_EQ(keys.value("msgCacheSize"), "1000000");
    EXPECT_EQ(keys.value("styleColor"), "rgb(43, 87, 154)");
}

// The format lists show what the tables use for every stored value: 1 is
// decimal, anything else hexadecimal; only a choice other than that is
// stored.
TEST_F(DisplaySettingsTest, FormatListsShowTheFormatTheTablesUse)
{
    struct Case {
        const char *stored; // null: absent
        int shown;
        int choose;         // -1: untouched
        const char *after;  // null: absent
    } const cases[] = {
        {nullptr, 0, -1, nullptr}, {nullptr, 0, 1, "1"}, {"1", 1, -1, "1"},
        {"1", 1, 0, "0"},          {"0", 0, -1, "0"},    {"7", 0, -1, "7"},
        {"-1", 0, 1, "1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "absent");
        SCOPED_TRACE(c.choose);
        // The absent cases come first, on the fresh store.
        for (const char *key : {"msgIdFormat", "msgDataFormat"}) {
            if (c.stored)
                cfg()->setString(key, c.stored);
            else
                ASSERT_TRUE(cfg()->getString(key).isNull());
        }
        Shown shown;
        const int choose = c.choose;
        prompts.answerExec(settingsAnswer(&shown, [choose](QList<QUserDlgSettingItem> &rows) {
            if (choose >= 0) {
                rows[0].comboBox->setCurrentIndex(choose);
                rows[1].comboBox->setCurrentIndex(choose);
            }
        }));
        w->formGet()->actionShowSet->trigger();
        EXPECT_EQ(shown.idIndex, c.shown);
        EXPECT_EQ(shown.dataIndex, c.shown);
        for (const char *key : {"msgIdFormat", "msgDataFormat"}) {
            SCOPED_TRACE(key);
            if (c.after)
                EXPECT_EQ(cfg()->getString(key), c.after);
            else
                EXPECT_TRUE(cfg()->getString(key).isEmpty());
        }
    }
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(DisplaySettingsTest, EveryRowStoredAndTheCurrentModelReloads)
{
    REQUIRE_PEER_MODULES("configparser");
    cfg()->setString("idMergEnable", "OFF");
    cfg()->setString("msgHardWareTimeEn", "FALSE");
    openChannels({kCh0, kCh1});
    selectTab(kCh0);
    QUserTableModelCan *model = tab(kCh0)->model;
    ASSERT_FALSE(model->mergeMode());
    Shown shown;
    prompts.answerExec(settingsAnswer(&shown, [](QList<QUserDlgSettingItem> &rows) {
        rows[0].comboBox->setCurrentIndex(1);
        rows[1].comboBox->setCurrentIndex(1);
        rows[2].checkBox->setChecked(true);
        rows[3].checkBox->setChecked(false);
        rows[4].checkBox->setChecked(true);
        rows[5].lineEdit->setText("500");
        rows[6].comboBox->setCurrentIndex(1);
    }));
    w->formGet()->actionShowSet->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);

    const QMap<QString, QString> keys = iniKeys();
    EXPECT_EQ(keys.value("msgIdFormat"), "1");
    EXPECT_EQ(keys.value("msgDataFormat"), "1");
    EXPECT_EQ(keys.value("idMergEnable"), "ON");
    EXPECT_EQ(keys.value("sendAllowDis"), "OFF");
    EXPECT_EQ(keys.value("msgHardWareTimeEn"), "TRUE");
    EXPECT_EQ(keys.value("msgCacheSize"), "500");
    EXPECT_EQ(keys.value("styleColor"), "rgb(33,115,70)");

    // The current tab took them at once: merged, 11 columns; the other tab
    // keeps its list and its 10 columns until it reloads.
    EXPECT_TRUE(model->mergeMode());
    EXPECT_EQ(model->idFormat(), 1);
    EXPECT_EQ(model->dataFormat(), 1);
    EXPECT_TRUE(model->hardwareTime());
    EXPECT_EQ(model->cacheLimit(), 500);
    EXPECT_EQ(model->columnCount(), QUserTableModelCan::kMergeColumns);
    EXPECT_FALSE(tab(kCh1)->model->mergeMode());
    EXPECT_EQ(tab(kCh1)->model->columnCount(), QUserTableModelCan::kListColumns);
    EXPECT_EQ(model->idCellText(0x1AB), "427");

    // Sent frames are no longer shown, in any tab.
    QUserCanMsg sent("000001AB ", false, false, "2", "0102");
    sent.status = MsgTagDbcSend;
    ASSERT_TRUE(w->devAdapterGet()->devSendMsg(kCh1, sent));
    mwtest::flush();
    EXPECT_EQ(tab(kCh1)->model->listCount(), 0);
}

TEST_F(DisplaySettingsTest, CacheSizeAndThemeEdgesAndCancel)
{
    struct Case {
        const char *typed;
        int stored;
    } const cases[] = {{"0", 10}, {"-5", 10}, {"abc", 10}, {"4294967295", 10}, {"500", 500}, {"", 500}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        Shown shown;
        const QString typed = QString::fromLatin1(c.typed);
        prompts.answerExec(settingsAnswer(&shown, [typed](QList<QUserDlgSettingItem> &rows) { rows[5].lineEdit->setText(typed); }));
        w->formGet()->actionShowSet->trigger();
        EXPECT_EQ(mwtest::fileValue("msgCacheSize").toInt(), c.stored);
    }

    // The theme compares texts exactly: without blanks it is not the blue one.
    cfg()->setString("styleColor", "rgb(43,87,154)");
    Shown shown;
    prompts.answerExec(settingsAnswer(&shown, nullptr));
    w->formGet()->actionShowSet->trigger();
    EXPECT_EQ(shown.themeIndex, 2);
    EXPECT_EQ(mwtest::fileValue("styleColor").toString(), "rgb(183, 71, 42)");

    // Cancel stores nothing, whatever was changed in the rows.
    prompts.answerExec(settingsAnswer(
        &shown,
        [](QList<QUserDlgSettingItem> &rows) {
            rows[0].comboBox->setCurrentIndex(1);
            rows[5].lineEdit->setText("77");
            rows[6].comboBox->setCurrentIndex(0);
        },
        false));
    w->formGet()->actionShowSet->trigger();
    EXPECT_FALSE(cfg()->getString("msgIdFormat") == "1");
    EXPECT_EQ(mwtest::fileValue("msgCacheSize").toInt(), 500);
    EXPECT_EQ(mwtest::fileValue("styleColor").toString(), "rgb(183, 71, 42)");
    EXPECT_EQ(prompts.unanswered(), 0);
}

TEST_F(DisplaySettingsTest, StopDisplayHoldsTheTableAndClearingLetsItRunAgain)
{
    openChannels({kCh0});
    selectTab(kCh0);
    QUserTableModelCan *model = tab(kCh0)->model;
    QUserTableView *view = tab(kCh0)->view;
    QAction *stop = w->formGet()->actionStop;
    QVector<QUserCanMsg> batch;
    for (int i = 0; i < 30; ++i) {
        QUserCanMsg m(QString::asprintf("%08X", 0x100 + i), false, false, "1", "AA");
        m.hostTime = getCurrentMs();
        batch.append(m);
    }
    // The rows have caught up once no rebuild is due any more.
    const auto caughtUp = [model] {
        QElapsedTimer t;
        t.start();
        QTest::qWait(2 * QUserTableModelCan::kRefreshMs + 50);
        while (model->refreshTimerGet()->isActive() && t.elapsed() < testsupport::kGiveUpMs)
            QTest::qWait(10);
        return !model->refreshTimerGet()->isActive();
    };
    w->soltDevRec(kCh0, batch);
    ASSERT_TRUE(caughtUp());

    stop->trigger(); // ticked: display stopped
    EXPECT_TRUE(stop->isChecked());
    EXPECT_FALSE(model->scrollState());
    EXPECT_EQ(tab(kCh0)->strGet("scrollState"), "OFF");
    EXPECT_EQ(log.lines.filter("tip: 自动滚动已关闭!").size(), 1);
    EXPECT_TRUE(log.contains("自动滚动已停止!"));
    // Frames keep coming in but the rows stand still.
    const qint64 rebuilds = model->rebuildCount();
    w->soltDevRec(kCh0, batch);
    EXPECT_TRUE(caughtUp());
    EXPECT_EQ(model->rebuildCount(), rebuilds);
    EXPECT_EQ(model->cacheCount() > 0, true);
    view->selectRow(0);
    ASSERT_TRUE(view->selectionModel()->hasSelection());

    stop->trigger(); // unticked: running again, the selection goes
    EXPECT_TRUE(model->scrollState());
    EXPECT_EQ(tab(kCh0)->strGet("scrollState"), "ON");
    EXPECT_FALSE(view->selectionModel()->hasSelection());
    EXPECT_EQ(log.lines.filter("tip: 自动滚动已开启!").size(), 1);

    // Stopped, then cleared: empty, unticked, following new frames again.
    stop->trigger();
    w->formGet()->actionDataClr->trigger();
    EXPECT_FALSE(stop->isChecked());
    EXPECT_TRUE(model->scrollState());
    EXPECT_EQ(model->listCount(), 0);
    EXPECT_EQ(model->mergeCount(), 0);
    EXPECT_EQ(tab(kCh0)->rxCntGet(), 0u);
    const qint64 before = model->rebuildCount();
    w->soltDevRec(kCh0, batch);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->rebuildCount() > before; }, testsupport::kGiveUpMs));
    EXPECT_EQ(prompts.records().size(), 0);
}

TEST_F(DisplaySettingsTest, WelcomeTabViewControlsTouchNoTab)
{
    openChannels({kCh0});
    w->layoutGet()->tabDataShow->setCurrentIndex(0);
    ASSERT_TRUE(w->curTabDevGet().isEmpty());
    w->formGet()->actionStop->trigger();
    w->formGet()->actionDataClr->trigger();
    EXPECT_TRUE(tab(kCh0)->strGet("scrollState").isEmpty());
    EXPECT_TRUE(tab(kCh0)->model->scrollState());
    EXPECT_FALSE(w->formGet()->actionStop->isChecked());
}

// The merge mode changed while another tab was current: that tab keeps its
// list until it reloads, and when its clearing reloads it, its headers come
// along with its model's mode (not the list headers over merged rows).
TEST_F(DisplaySettingsTest, HeadersFollowTheirOwnModelWhenAnotherTabReloads)
{
    cfg()->setString("idMergEnable", "OFF");
    openChannels({kCh0, kCh1});
    selectTab(kCh0);
    Shown shown;
    prompts.answerExec(settingsAnswer(&shown, [](QList<QUserDlgSettingItem> &rows) { rows[2].checkBox->setChecked(true); }));
    w->formGet()->actionShowSet->trigger();
    ASSERT_EQ(prompts.unanswered(), 0);
    QUserTableModelCan *other = tab(kCh1)->model;
    ASSERT_FALSE(other->mergeMode());
    ASSERT_EQ(other->columnCount(), QUserTableModelCan::kListColumns);

    selectTab(kCh1);
    w->formGet()->actionDataClr->trigger();
    const QStringList merged{"序号", "传输方向", "状态", "时间标志", "周期(us)", "数量", "帧ID", "帧格式", "帧类型", "长度", "数据"};
    for (QUserTableModelCan *m : {tab(kCh0)->model, other}) {
        EXPECT_TRUE(m->mergeMode());
        ASSERT_EQ(m->columnCount(), QUserTableModelCan::kMergeColumns);
        QStringList headers;
        for (int c = 0; c < m->columnCount(); ++c)
            headers << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        EXPECT_EQ(headers, merged);
    }

    // And back: the list mode set from the now current tab reaches only it.
    prompts.answerExec(settingsAnswer(&shown, [](QList<QUserDlgSettingItem> &rows) { rows[2].checkBox->setChecked(false); }));
    w->formGet()->actionShowSet->trigger();
    EXPECT_FALSE(other->mergeMode());
    EXPECT_EQ(other->columnCount(), QUserTableModelCan::kListColumns);
    EXPECT_EQ(other->headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(), "帧ID");
    EXPECT_TRUE(tab(kCh0)->model->mergeMode());
    EXPECT_EQ(tab(kCh0)->model->columnCount(), QUserTableModelCan::kMergeColumns);
}

// "停止显示" is one tick for all tabs, and says what the current one does:
// at every switch it takes the state of the tab now current.
TEST_F(DisplaySettingsTest, StopTickFollowsTheCurrentTab)
{
    openChannels({kCh0, kCh1});
    QAction *stop = w->formGet()->actionStop;
    selectTab(kCh0);
    stop->trigger();
    ASSERT_FALSE(tab(kCh0)->model->scrollState());
    selectTab(kCh1);
    EXPECT_FALSE(stop->isChecked()) << "tab 1 still runs";
    EXPECT_TRUE(tab(kCh1)->model->scrollState());
    selectTab(kCh0);
    EXPECT_TRUE(stop->isChecked()) << "tab 0 is still stopped";
    // Unticking now runs tab 0 again, not tab 1.
    stop->trigger();
    EXPECT_TRUE(tab(kCh0)->model->scrollState());
    selectTab(kCh1);
    stop->trigger();
    EXPECT_FALSE(tab(kCh1)->model->scrollState());
    EXPECT_TRUE(tab(kCh0)->model->scrollState());
    w->layoutGet()->tabDataShow->setCurrentIndex(0); // the welcome tab
    ASSERT_TRUE(w->curTabDevGet().isEmpty());
    EXPECT_FALSE(stop->isChecked());
    selectTab(kCh1);
    EXPECT_TRUE(stop->isChecked());
}

// An identifier sent every 20 ms keeps showing 20000 µs across the display
// settings dialog: frames that arrive while it is open, and the hardware
// time it switches on or off, change nothing of the time between the last
// two frames.
TEST_F(DisplaySettingsTest, PeriodIsTheTimeBetweenTheLastTwoFramesAcrossTheDialog)
{
    openChannels({kCh0});
    selectTab(kCh0);
    QUserTableModelCan *model = tab(kCh0)->model;
    ASSERT_TRUE(model->mergeMode());
    const int64_t t0 = 1700000000000;
    int n = 0;
    // The adapter's stamps run on a clock of their own (µs since it started).
    auto feed = [&](int count) {
        QVector<QUserCanMsg> batch;
        for (int k = 0; k < count; ++k, ++n) {
            QUserCanMsg m("000000C9 ", false, false, "8", "0102030405060708");
            m.direction = 0;
            m.hostTime = t0 + n * 20;
            m.devTime = 31000000 + uint64_t(n) * 20000;
            batch << m;
        }
        w->soltDevRec(kCh0, batch);
    };
    auto shownPeriod = [&] {
        model->windowRebuild();
        return model->item(0, 4) ? model->item(0, 4)->text() : QString();
    };
    feed(20);
    EXPECT_EQ(shownPeriod(), "20000");
    for (bool hw : {true, false, true}) {
        SCOPED_TRACE(hw);
        Shown shown;
        prompts.answerExec(settingsAnswer(&shown, [&](QList<QUserDlgSettingItem> &rows) {
            feed(2); // arriving while the dialog is open
            rows[4].checkBox->setChecked(hw);
        }));
        w->formGet()->actionShowSet->trigger();
        ASSERT_EQ(prompts.unanswered(), 0);
        ASSERT_EQ(model->hardwareTime(), hw);
        EXPECT_EQ(shownPeriod(), "20000") << "right after the dialog";
        for (int k = 0; k < 3; ++k) {
            feed(1);
            EXPECT_EQ(shownPeriod(), "20000") << "frame " << k << " after the dialog";
        }
    }
}

// The number columns of a data tab show their numbers whole at the widths
// the tab opens with, in both languages: a 7-digit count and period (and
// eight digits), a 32-bit device stamp, the headers.
TEST_F(DisplaySettingsTest, NumberColumnsFitTheirNumbersInBothLanguages)
{
    ASSERT_TRUE(mwtest::copyQm("lanague_en.qm"));
    for (const char *language : {"ZH", "EN"}) {
        SCOPED_TRACE(language);
        w.reset();
        cfg()->setString("language", language);
        w.reset(new MainWindow);
        stub = new StubChannelDevice;
        w->devAdapterGet()->deviceReplace("USBCANFD2", stub);
        w->show();
        for (const char *merge : {"ON", "OFF"}) {
            SCOPED_TRACE(merge);
            cfg()->setString("idMergEnable", merge);
            stub->openIds = QStringList{kCh0};
            ASSERT_TRUE(w->devOpen("USBCANFD2"));
            QUserTableView *view = tab(kCh0)->view;
            QUserTableModelCan *model = tab(kCh0)->model;
            QApplication::processEvents();
            // What a cell leaves for its text: the style's focus-frame margin
            // and one pixel on either side.
            const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
            const QFontMetrics cell = view->fontMetrics();
            const QFontMetrics header = view->horizontalHeader()->fontMetrics();
            struct Column {
                int column;
                const char *widest;
            };
            const std::vector<Column> columns =
                model->mergeMode() ? std::vector<Column>{{0, "9999999"}, {4, "1000000"}, {4, "99999999"}, {5, "9999999"},
                                                         {5, "10000000"}}
                                   : std::vector<Column>{{0, "9999999"}, {4, "4294967295"}};
            for (const Column &c : columns) {
                SCOPED_TRACE(c.widest);
                EXPECT_LE(cell.horizontalAdvance(QString::fromLatin1(c.widest)) + margin, view->columnWidth(c.column))
                    << "column " << c.column;
                const QString title = model->headerData(c.column, Qt::Horizontal, Qt::DisplayRole).toString();
                EXPECT_LE(header.horizontalAdvance(title) + margin, view->columnWidth(c.column)) << title.toStdString();
            }
            // Closed again for the other mode.
            w->tabAllClose();
        }
    }
}
