// The filter rule editor and the two bit-timing calculator dialogs, run
// offscreen; every modal run is answered by a prompt script.

#include "tests/devtools/DialogTestUtil.h"

#include "devtools/QUserDlgBaudCalculator.h"
#include "devtools/QUserDlgFdBaudCalculator.h"
#include "devtools/QUserDlgFliterSet.h"

#include "tests/support/TempWorkDir.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace {

QUserFliterRule rule(int ext, int range, uint32_t s, uint32_t e)
{
    QUserFliterRule r;
    r.extended = uint8_t(ext);
    r.range = uint8_t(range);
    r.startId = s;
    r.endId = e;
    return r;
}

QStringList row(QTableWidget *t, int r)
{
    QStringList out;
    for (int c = 0; c < t->columnCount(); ++c)
        out << (t->item(r, c) ? t->item(r, c)->text() : QString());
    return out;
}

} // namespace

// The dialog frame reads its theme from "setting/sys.ini" under the working
// directory: every dialog test runs in a fresh one.
class FliterEditor : public WorkDirTest {};
class FdCalculator : public WorkDirTest {};
class ClassicCalculator : public WorkDirTest {};

TEST_F(FliterEditor, AddsRulesAndRefusesBadInput)
{
    struct Case {
        int mode;
        const char *start;
        const char *end;
        const char *error; // nullptr: the rule is added
        QUserFliterRule want;
    };
    const Case cases[] = {
        {0, "7FF", nullptr, nullptr, rule(0, 0, 0x7FF, 0x7FF)},
        {0, "1 23", nullptr, nullptr, rule(0, 0, 0x123, 0x123)},
        {1, "100", "1FF", nullptr, rule(0, 1, 0x100, 0x1FF)},
        {1, "55", "55", nullptr, rule(0, 1, 0x55, 0x55)},
        {2, "1FFFFFFF", nullptr, nullptr, rule(1, 0, 0x1FFFFFFF, 0x1FFFFFFF)},
        {3, "0", "1ABCDEF", nullptr, rule(1, 1, 0, 0x1ABCDEF)},
        {0, "800", nullptr, "起始ID数值错误!!!取值范围:0-7FF", {}},
        {0, "   ", nullptr, "起始ID不能为空!!!", {}},
        {2, "20000000", nullptr, "起始ID数值错误!!!取值范围:0-1FFFFFFF", {}},
        {2, "FFFFFFFF", nullptr, "起始ID数值错误!!!取值范围:0-1FFFFFFF", {}},
        {1, "10", " ", "结束ID不能为空!!!", {}},
        {1, "10", "800", "结束ID数值错误!!!取值范围:0-7FF", {}},
        // a range must not run backwards
        {1, "200", "100", "起始ID不能大于结束ID!!!", {}},
        {3, "1000", "FFF", "起始ID不能大于结束ID!!!", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << " " << c.start);
        QUserPromptScript prompts;
        QUserDlgFliterSet ed;
        ed.dlgInit("滤波设置");
        ed.fliterRulesSet({rule(1, 1, 5, 6)});
        choose(kid<QComboBox>(&ed, "comboBox_mode"), c.mode);
        auto *endEdit = kid<QLineEdit>(&ed, "lineEdit_endId");
        EXPECT_EQ(endEdit->isEnabled(), c.mode == 1 || c.mode == 3);
        EXPECT_EQ(endEdit->text(), (c.mode == 1 || c.mode == 3) ? "0" : "无需设置");
        kid<QLineEdit>(&ed, "lineEdit_startId")->setText(c.start);
        if (c.end)
            endEdit->setText(c.end);
        kid<QPushButton>(&ed, "pushButton_add")->click();
        QVector<QUserFliterRule> got;
        ed.fliterRulesGet(got);
        if (c.error) {
            ASSERT_EQ(prompts.records().size(), 1);
            EXPECT_EQ(prompts.records()[0].title, "错误");
            EXPECT_TRUE(prompts.records()[0].text.contains(QString::fromUtf8(c.error)))
                << prompts.records()[0].text.toStdString();
            EXPECT_EQ(got.size(), 1);
            EXPECT_EQ(kid<QLineEdit>(&ed, "lineEdit_startId")->text(), c.start);
        } else {
            EXPECT_TRUE(prompts.records().isEmpty());
            ASSERT_EQ(got.size(), 2);
            EXPECT_EQ(got[0], rule(1, 1, 5, 6));
            EXPECT_EQ(got[1], c.want);
            EXPECT_EQ(got[1].range, c.want.range);
        }
    }
}

TEST_F(FliterEditor, TableKindsDeleteAndCancel)
{
    QUserPromptScript prompts;
    const QVector<QUserFliterRule> given = {rule(0, 0, 0x10, 0x10), rule(0, 1, 0x20, 0x30),
                                            rule(1, 1, 0x40, 0x40), rule(1, 0, 0x100, 0x1FF)};
    QUserDlgFliterSet ed;
    ed.dlgInit("数据过滤设置");
    ed.fliterRulesSet(given);
    auto *t = kid<QTableWidget>(&ed, "tableWidget");
    ASSERT_EQ(t->rowCount(), 4);
    EXPECT_EQ(row(t, 0), QStringList({"0", "标准帧明确ID", "0x00000010", "0x00000010"}));
    EXPECT_EQ(row(t, 1), QStringList({"1", "标准帧组ID", "0x00000020", "0x00000030"}));
    EXPECT_EQ(row(t, 2), QStringList({"2", "扩展帧明确ID", "0x00000040", "0x00000040"}));
    EXPECT_EQ(row(t, 3), QStringList({"3", "扩展帧组ID", "0x00000100", "0x000001FF"}));
    EXPECT_EQ(t->currentRow(), 3);

    t->setCurrentCell(1, 2);
    kid<QPushButton>(&ed, "pushButton_del")->click();
    ASSERT_EQ(t->rowCount(), 3);
    EXPECT_EQ(row(t, 1), QStringList({"1", "扩展帧明确ID", "0x00000040", "0x00000040"}));
    EXPECT_EQ(t->currentRow(), 2);
    QVector<QUserFliterRule> got;
    ed.fliterRulesGet(got);
    EXPECT_EQ(got, QVector<QUserFliterRule>({given[0], given[2], given[3]}));
    EXPECT_EQ(got[1].range, 1); // kept as handed in

    t->setCurrentCell(-1, -1);
    kid<QPushButton>(&ed, "pushButton_del")->click();
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_TRUE(prompts.records()[0].text.contains("先选中待删除的行!!!"));

    // A modal run ended with Cancel or OK gives 0 or 1.
    prompts.answerExec([](QDialog *d) {
        kid<QPushButton>(d, "pushButton_cancel")->click();
        return d->result();
    });
    EXPECT_EQ(ed.dialogExec(), 0);
    EXPECT_EQ(ed.frame()->windowTitle(), "数据过滤设置");
    prompts.answerExec([](QDialog *d) {
        kid<QPushButton>(d, "pushButton_ok")->click();
        return d->result();
    });
    EXPECT_EQ(ed.dialogExec(), 1);

    QUserDlgFliterSet empty;
    empty.dlgInit("x");
    QVector<QUserFliterRule> none = {rule(0, 0, 1, 1)};
    empty.fliterRulesGet(none);
    EXPECT_TRUE(none.isEmpty());
}

namespace {

struct FdCalc {
    QUserDlgFdBaudCalculator cal;
    QLineEdit *result() { return kid<QLineEdit>(&cal, "lineEdit_result"); }
    QPushButton *ok() { return kid<QPushButton>(&cal, "pushButton_ok"); }
    QTableWidget *ta() { return kid<QTableWidget>(&cal, "tableWidget_a"); }
    QTableWidget *td() { return kid<QTableWidget>(&cal, "tableWidget_d"); }
    void calc() { kid<QPushButton>(&cal, "pushButton_cal")->click(); }
};

} // namespace

TEST_F(FdCalculator, DefaultsGiveTheWorkedResult)
{
    QUserPromptScript prompts;
    FdCalc c;
    c.cal.devTypeSet("TRNB701");
    EXPECT_EQ(c.result()->text(), "Click[计算]按钮计算波特率!");
    EXPECT_FALSE(c.ok()->isEnabled());
    c.calc();
    EXPECT_TRUE(prompts.records().isEmpty());
    EXPECT_EQ(c.result()->text(), "1000.000Kbps(70.0%),5000.000Kbps(75.0%),(60,0080050C,00000207)");
    EXPECT_EQ(c.cal.resultTextGet(), c.result()->text());
    EXPECT_TRUE(c.ok()->isEnabled());
    EXPECT_EQ(c.ta()->rowCount(), 16);
    EXPECT_EQ(c.td()->rowCount(), 5);
    EXPECT_EQ(row(c.ta(), 0), QStringList({"0", "0080050C", "2", "12", "5", "70.0%", "1000.000Kbps", "0.00%"}));
    int clock = 0;
    uint32_t a = 0, d = 0;
    EXPECT_TRUE(c.cal.resultGet(clock, a, d));
    EXPECT_EQ(clock, 60);
    EXPECT_EQ(a, 0x0080050Cu);
    EXPECT_EQ(d, 0x00000207u);

    // A click on another data row rebuilds the text from it.
    c.td()->setCurrentCell(4, 1);
    emit c.td()->itemClicked(c.td()->item(4, 1));
    EXPECT_EQ(c.result()->text(), "1000.000Kbps(70.0%),5000.000Kbps(75.0%),(60,0080050C,00800001)");
    EXPECT_TRUE(c.ok()->isEnabled());
    c.cal.resultGet(clock, a, d);
    EXPECT_EQ(d, 0x00800001u);

    // Any parameter change makes the result stale.
    kid<QLineEdit>(&c.cal, "lineEdit_aBaud")->setText("500");
    EXPECT_EQ(c.ta()->rowCount(), 0);
    EXPECT_EQ(c.td()->rowCount(), 0);
    EXPECT_FALSE(c.ok()->isEnabled());

    // A prescaler above 512 sets the word's top bit; it comes back whole.
    kid<QLineEdit>(&c.cal, "lineEdit_aBaud")->setText("10");
    c.calc();
    const auto found = c.ta()->findItems("95C00205", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    c.ta()->setCurrentItem(found[0]);
    emit c.ta()->itemClicked(found[0]);
    c.cal.resultGet(clock, a, d);
    EXPECT_EQ(a, 0x95C00205u);
    EXPECT_TRUE(c.cal.resultTextGet().contains("(60,95C00205,"));

    // "保存并退出" ends the run with 1.
    c.calc();
    prompts.answerExec([](QDialog *dlg) {
        kid<QPushButton>(dlg, "pushButton_ok")->click();
        return dlg->result();
    });
    EXPECT_EQ(c.cal.dialogExec(), 1);
    EXPECT_EQ(c.cal.frame()->windowTitle(), "FD波特率计算器");
}

TEST_F(FdCalculator, ModelsClocksAndTheArbitrationOnlyModel)
{
    QUserPromptScript prompts;
    struct Case { const char *model; const char *clock; bool data; };
    for (const Case &m : {Case{"TRND702", "200", true}, Case{"TRNA702", "80", true}, Case{"TRNB702", "80", true},
                          Case{"USBCANFD2", "60", true}, Case{"TRNA701", "60", false}}) {
        FdCalc c;
        c.cal.devTypeSet(m.model);
        EXPECT_EQ(kid<QComboBox>(&c.cal, "comboBox_mainClk")->currentText(), m.clock) << m.model;
        EXPECT_EQ(kid<QGroupBox>(&c.cal, "gBox_dBaud")->isEnabled(), m.data) << m.model;
    }
    FdCalc c;
    c.cal.devTypeSet("TRNA701");
    c.calc();
    EXPECT_EQ(c.result()->text(), "1000.000Kbps(70.0%),1000.000Kbps(70.0%),(60,0080050C,0080050C)");
    EXPECT_EQ(c.td()->rowCount(), 0);
    EXPECT_TRUE(prompts.records().isEmpty());
}

TEST_F(FdCalculator, ErrorsLeaveNoResult)
{
    struct Case { const char *aRate; const char *dRate; const char *error; };
    const Case cases[] = {
        {"", "5000", "仲裁域波特率不能为空"},
        {"1000", " ", "数据域波特率不能为空"},
        {"abc", "5000", "仲裁域参数计算失败,请调整参数再尝试!!!"},
        {"1", "5000", "仲裁域参数计算失败,请调整参数再尝试!!!"},
        {"1000", "77777", "数据域参数计算失败,请调整参数再尝试!!!"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.error);
        QUserPromptScript prompts;
        FdCalc c;
        c.cal.devTypeSet("TRNB701");
        kid<QLineEdit>(&c.cal, "lineEdit_aBaud")->setText(k.aRate);
        kid<QLineEdit>(&c.cal, "lineEdit_dBaud")->setText(k.dRate);
        c.calc();
        ASSERT_EQ(prompts.records().size(), 1);
        EXPECT_EQ(prompts.records()[0].title, "错误");
        EXPECT_TRUE(prompts.records()[0].text.contains(QString::fromUtf8(k.error)));
        EXPECT_FALSE(c.ok()->isEnabled());
        EXPECT_TRUE(c.cal.resultTextGet().isEmpty());
    }

    QUserPromptScript prompts;
    FdCalc c;
    QApplication::clipboard()->setText("old");
    kid<QPushButton>(&c.cal, "pushButton_cpy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "");
    kid<QPushButton>(&c.cal, "pushButton_help")->click();
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_TRUE(prompts.records()[0].text.contains("6.TSEG2>=同步跳转宽度(SJW)."));
}

TEST_F(ClassicCalculator, TablesOfBothPagesAndTheWarning)
{
    QUserPromptScript prompts;
    QUserDlgBaudCalculator cal;
    auto *tabs = kid<QTabWidget>(&cal, "tabInfo");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "RAVIRO1/2");
    EXPECT_EQ(tabs->tabText(1), "PEAK");
    EXPECT_FALSE(kid<QLineEdit>(&cal, "lineEdit_clock")->isEnabled());

    kid<QLineEdit>(&cal, "lineEdit_baud")->setText(" 1 0 00 ");
    kid<QPushButton>(&cal, "pushButton_cal")->click();
    QTableWidget *u = cal.usbcanTable();
    ASSERT_EQ(u->rowCount(), 6);
    EXPECT_EQ(row(u, 0), QStringList({"0", "0x00", "0x32", "50.0%", "1000.000KHz", "0.00%"}));
    EXPECT_EQ(row(u, 3), QStringList({"3", "0x00", "0x05", "87.0%", "1000.000KHz", "0.00%"}));
    EXPECT_EQ(row(u, 5), QStringList({"5", "0x01", "0x01", "75.0%", "1000.000KHz", "0.00%"}));
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records()[0].title, "提示");

    tabs->setCurrentIndex(1);
    kid<QPushButton>(&cal, "pushButton_cal")->click();
    QTableWidget *p = cal.peakTable();
    ASSERT_EQ(p->rowCount(), 6);
    const char *peak[] = {"0x0032", "0x0023", "0x0014", "0x0005", "0x0110", "0x0101"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(p->item(i, 1)->text(), peak[i]);
    EXPECT_EQ(u->rowCount(), 6); // each page keeps its own results

    kid<QLineEdit>(&cal, "lineEdit_baud")->setText("");
    kid<QPushButton>(&cal, "pushButton_cal")->click();
    EXPECT_EQ(p->rowCount(), 0);
    EXPECT_EQ(prompts.records().last().title, "警告");
    EXPECT_TRUE(prompts.records().last().text.contains("计算结果空,请检查参数!"));
    EXPECT_EQ(prompts.beeps(), 1);

    kid<QLineEdit>(&cal, "lineEdit_baud")->setText("250");
    EXPECT_EQ(cal.calcUsbcanBtr(16000000, 250000, 1, 50), 14);
    EXPECT_EQ(u->item(0, 1)->text(), "0x01");
    EXPECT_EQ(u->item(0, 2)->text(), "0x76");

    prompts.answerExec([](QDialog *d) {
        kid<QPushButton>(d, "pushButton_exit")->click();
        return d->result();
    });
    EXPECT_EQ(cal.dialogExec(), 0);
    EXPECT_EQ(cal.frame()->windowTitle(), "波特率计算器");
}
