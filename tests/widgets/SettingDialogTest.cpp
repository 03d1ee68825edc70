#include "widgets/Dialog.h"
#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserDlgSetting.h"
#include "tests/support/QUserPromptScript.h"
#include "tests/widgets/WidgetsTestUtil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

QUserDlgSettingItem textRow(const QString &name, const QString &value, const QString &comment)
{
    QUserDlgSettingItem r;
    r.itemType = QUserDlgSettingItem::Text;
    r.itemName = name;
    r.itemValue = value;
    r.itemComment = comment;
    return r;
}

QUserDlgSettingItem comboRow(const QString &name, const QStringList &items, int index)
{
    QUserDlgSettingItem r;
    r.itemType = QUserDlgSettingItem::Combo;
    r.itemName = name;
    r.comboItems = items;
    r.comboIndex = index;
    r.itemComment = QStringLiteral("combo");
    return r;
}

QUserDlgSettingItem editRow(const QString &name, const QString &text, const QString &placeholder)
{
    QUserDlgSettingItem r;
    r.itemType = QUserDlgSettingItem::Edit;
    r.itemName = name;
    r.itemValue = text;
    r.placeholderText = placeholder;
    return r;
}

QUserDlgSettingItem checkRow(const QString &name, const QString &caption, bool checked)
{
    QUserDlgSettingItem r;
    r.itemType = QUserDlgSettingItem::Check;
    r.itemName = name;
    r.itemValue = caption;
    r.itemChecked = checked;
    return r;
}

QList<QUserDlgSettingItem> sampleRows()
{
    QUserDlgSettingItem odd;
    odd.itemType = 5;
    odd.itemName = QStringLiteral("odd");
    odd.itemValue = QStringLiteral("keep");
    return {textRow(QString::fromUtf8("版本"), "1.1.7", QString::fromUtf8("只读")),
            comboRow(QString::fromUtf8("ID格式"), {"HEX", "DEC"}, 1),
            editRow(QString::fromUtf8("缓存"), "1000000", QString::fromUtf8("帧数")),
            checkRow(QString::fromUtf8("时间"), QString::fromUtf8("硬件时间"), false),
            odd};
}

} // namespace

TEST(SettingsDialog, BuildsTheTableFromTheRows)
{
    QUserDlgSetting dlg;
    EXPECT_EQ(dlg.size(), QSize(518, 276));
    EXPECT_TRUE(dlg.itemsSet(sampleRows()));
    QTableWidget *t = dlg.tableWidget();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->columnCount(), 3);
    EXPECT_EQ(t->rowCount(), 5);
    EXPECT_EQ(t->horizontalHeaderItem(0)->text(), QString::fromUtf8("属性"));
    EXPECT_EQ(t->horizontalHeaderItem(1)->text(), QString::fromUtf8("值"));
    EXPECT_EQ(t->horizontalHeaderItem(2)->text(), QString::fromUtf8("注释"));
    EXPECT_FALSE(t->verticalHeader()->isVisible() && t->isVisible());
    EXPECT_EQ(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(t->selectionBehavior(), QAbstractItemView::SelectRows);

    EXPECT_EQ(t->item(0, 1)->text(), QStringLiteral("1.1.7"));
    EXPECT_EQ(t->item(0, 2)->text(), QString::fromUtf8("只读"));
    auto *combo = qobject_cast<QComboBox *>(t->cellWidget(1, 1));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentIndex(), 1);
    auto *edit = qobject_cast<QLineEdit *>(t->cellWidget(2, 1));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("1000000"));
    EXPECT_EQ(edit->placeholderText(), QString::fromUtf8("帧数"));
    auto *box = qobject_cast<QCheckBox *>(t->cellWidget(3, 1));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromUtf8("硬件时间")) << "the value is the box's caption";
    EXPECT_EQ(t->item(3, 1), nullptr) << "no separate text beside the box";
    // Unknown type: an empty row.
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(t->item(4, c), nullptr);
        EXPECT_EQ(t->cellWidget(4, c), nullptr);
    }
    EXPECT_EQ(dlg.itemsGet()->size(), 5);
    EXPECT_EQ(dlg.itemsGet()->at(1).comboBox.data(), combo);
}

TEST(SettingsDialog, ComboIndexOutOfRangeSelectsTheFirstEntryMinusOneNone)
{
    const struct {
        int given;
        int shown;
    } cases[] = {{0, 0}, {2, 2}, {3, 0}, {7, 0}, {-1, -1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.given);
        QUserDlgSetting dlg;
        dlg.itemsSet({comboRow("c", {"a", "b", "c"}, c.given)});
        EXPECT_EQ(dlg.itemsGet()->at(0).comboBox->currentIndex(), c.shown);
        dlg.itemsRead();
        EXPECT_EQ(dlg.itemsGet()->at(0).comboIndex, c.shown);
    }
}

TEST(SettingsDialog, OkReadsTheEditorsBack)
{
    QUserPromptScript prompts;
    QUserDlgSetting dlg;
    dlg.dlgInit(QString::fromUtf8("显示设置"));
    dlg.itemsSet(sampleRows());
    prompts.answerExec([&dlg](QDialog *frame) {
        frame->show();
        QList<QUserDlgSettingItem> &rows = *dlg.itemsGet();
        rows[1].comboBox->setCurrentIndex(0);
        rows[2].lineEdit->setText("500");
        rows[3].checkBox->setChecked(true);
        dlg.okButton()->click();
        return frame->result();
    });
    EXPECT_EQ(dlg.dlgExec(), 1);
    const QList<QUserDlgSettingItem> &rows = *dlg.itemsGet();
    EXPECT_EQ(rows[1].comboIndex, 0);
    EXPECT_EQ(rows[1].itemValue, QStringLiteral("HEX"));
    EXPECT_EQ(rows[2].itemValue, QStringLiteral("500"));
    EXPECT_TRUE(rows[3].itemChecked);
    EXPECT_EQ(rows[0].itemValue, QStringLiteral("1.1.7"));
    EXPECT_EQ(rows[4].itemValue, QStringLiteral("keep")) << "nothing read for unknown types";
    EXPECT_EQ(prompts.last().title, QString::fromUtf8("显示设置"));
}

TEST(SettingsDialog, CancelOrCloseKeepsTheGivenValues)
{
    for (int how = 0; how < 2; ++how) {
        SCOPED_TRACE(how);
        QUserPromptScript prompts;
        QUserDlgSetting dlg;
        dlg.dlgInit("s");
        dlg.itemsSet(sampleRows());
        prompts.answerExec([&dlg, how](QDialog *frame) {
            frame->show();
            QList<QUserDlgSettingItem> &rows = *dlg.itemsGet();
            rows[1].comboBox->setCurrentIndex(0);
            rows[2].lineEdit->setText("changed");
            if (how == 0)
                dlg.cancelButton()->click();
            else
                static_cast<Dialog *>(frame)->form()->btnMenu_Close->click();
            return frame->result();
        });
        EXPECT_EQ(dlg.dlgExec(), 0);
        EXPECT_EQ(dlg.itemsGet()->at(1).comboIndex, 1);
        EXPECT_EQ(dlg.itemsGet()->at(2).itemValue, QStringLiteral("1000000"));
    }
}

TEST(SettingsDialog, OkAndCancelWithoutFrameDoNothing)
{
    QUserDlgSetting dlg;
    dlg.itemsSet({editRow("e", "x", "")});
    dlg.itemsGet()->first().lineEdit->setText("y");
    dlg.okButton()->click();
    EXPECT_EQ(dlg.itemsGet()->first().itemValue, QStringLiteral("x"));
    EXPECT_EQ(dlg.dlgExec(), 0);
}

// Rows used to own their editors: a copy of a row deleted the editors the
// dialog still showed, and the dialog deleted them again.
TEST(SettingsDialog, RowCopiesNeverOwnTheEditors)
{
    std::unique_ptr<QList<QUserDlgSettingItem>> copies;
    {
        QUserDlgSetting dlg;
        dlg.itemsSet(sampleRows());
        {
            QList<QUserDlgSettingItem> tmp = *dlg.itemsGet();
            QUserDlgSettingItem single = tmp.at(1);
            EXPECT_EQ(single.comboBox.data(), dlg.itemsGet()->at(1).comboBox.data());
        } // copies destroyed here
        ASSERT_FALSE(dlg.itemsGet()->at(1).comboBox.isNull());
        ASSERT_FALSE(dlg.itemsGet()->at(2).lineEdit.isNull());
        dlg.itemsGet()->at(1).comboBox->setCurrentIndex(0); // still alive
        dlg.itemsRead();
        EXPECT_EQ(dlg.itemsGet()->at(1).comboIndex, 0);
        copies = std::make_unique<QList<QUserDlgSettingItem>>(*dlg.itemsGet());
        // Setting the rows again replaces every editor.
        QPointer<QComboBox> old = dlg.itemsGet()->at(1).comboBox;
        dlg.itemsSet(*copies);
        EXPECT_TRUE(old.isNull());
        EXPECT_EQ(dlg.tableWidget()->rowCount(), 5);
        EXPECT_EQ(dlg.itemsGet()->at(1).comboBox->currentIndex(), 0);
    }
    // Copies that outlive the dialog hold null editors, not dangling ones.
    EXPECT_TRUE(copies->at(1).comboBox.isNull());
    EXPECT_TRUE(copies->at(2).lineEdit.isNull());
    EXPECT_TRUE(copies->at(3).checkBox.isNull());
    EXPECT_EQ(copies->at(1).itemValue, QStringLiteral("HEX"));
}

TEST(SettingsDialog, ButtonsSitRightOfAStretchUnderTheTable)
{
    QUserDlgSetting dlg;
    dlg.itemsSet(sampleRows());
    dlg.resize(518, 276);
    dlg.show();
    QApplication::processEvents();
    EXPECT_TRUE(dlg.okButton()->isVisible());
    EXPECT_GT(dlg.okButton()->y(), dlg.tableWidget()->y());
    EXPECT_LT(dlg.okButton()->x(), dlg.cancelButton()->x());
    EXPECT_GT(dlg.okButton()->x(), dlg.width() / 2);
    EXPECT_EQ(dlg.okButton()->text(), QString::fromUtf8("确定"));
    EXPECT_EQ(dlg.cancelButton()->text(), QString::fromUtf8("取消"));
    // A second set keeps the buttons.
    dlg.itemsSet({textRow("a", "b", "c")});
    QApplication::processEvents();
    EXPECT_TRUE(dlg.okButton()->isVisible());
    EXPECT_EQ(dlg.okButton()->parentWidget(), &dlg);
}

// ---------------------------------------------------------------------------

TEST(InfoDialog, RowsFillTheReadOnlyTable)
{
    QUserDlgInfo info;
    EXPECT_EQ(info.size(), QSize(537, 297));
    EXPECT_TRUE(info.infoSet({{"F1", QString::fromUtf8("帮助"), "x"},
                              {"F2"},
                              {"F3", "b", "c", "dropped"}}));
    QTableWidget *t = info.tableWidget();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->columnCount(), 3);
    EXPECT_EQ(t->rowCount(), 3);
    EXPECT_EQ(t->item(0, 1)->text(), QString::fromUtf8("帮助"));
    EXPECT_EQ(t->item(1, 0)->text(), QStringLiteral("F2"));
    EXPECT_EQ(t->item(1, 1), nullptr);
    EXPECT_EQ(t->item(1, 2), nullptr);
    EXPECT_EQ(t->item(2, 2)->text(), QStringLiteral("c"));
    EXPECT_EQ(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(t->horizontalHeader()->isHidden());
    EXPECT_TRUE(t->verticalHeader()->isHidden());
    EXPECT_TRUE(t->alternatingRowColors());

    QPointer<QTableWidget> old = t;
    EXPECT_TRUE(info.infoSet({}));
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(info.tableWidget()->columnCount(), 0);
    EXPECT_EQ(info.tableWidget()->rowCount(), 0);
}

TEST(InfoDialog, RunsInItsFrame)
{
    QUserPromptScript prompts;
    prompts.answerExec([](QDialog *frame) {
        frame->show();
        QMetaObject::invokeMethod(frame->findChild<QUserDlgInfo *>(), "slotOkExit");
        return frame->result();
    });
    QUserDlgInfo info;
    info.dlgInitIcon(QString::fromUtf8("帮助"), ":/res/gear.png");
    info.infoSet({{"a", "b"}});
    EXPECT_EQ(info.dlgExec(), 1);
    EXPECT_EQ(info.frameDlg()->tipIconPath(), QStringLiteral(":/res/gear.png"));
    EXPECT_EQ(prompts.unanswered(), 0);
}
