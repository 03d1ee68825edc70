// The tool dialogs at the size they open with, in Chinese and in English:
// every list shows its entry whole, every field its text, every table
// header its title.
#include "devtools/QUserDlgBaudCalculator.h"
#include "devtools/QUserDlgBaudChk.h"
#include "devtools/QUserDlgDeviceSel.h"
#include "devtools/QUserDlgFirmUpdate.h"
#include "devtools/QUserDlgFliterSet.h"
#include "tests/devtools/DialogTestUtil.h"
#include "tests/support/PeerCheck.h"
#include "tests/support/QUserPromptScript.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QTranslator>

#include <functional>

#include <gtest/gtest.h>

namespace {

struct Language {
    const char *name;
    const char *qm; // null: the texts as written
};

class DialogOpeningSize : public testing::TestWithParam<Language>
{
protected:
    void SetUp() override
    {
        if (GetParam().qm) {
            ASSERT_TRUE(translator.load(QString::fromStdString(peer::binDir()) + "/" + GetParam().qm));
            QApplication::installTranslator(&translator);
        }
    }
    void TearDown() override { QApplication::removeTranslator(&translator); }
    QTranslator translator;
};

// The lists, fields and table headers of a shown dialog narrower than
// their texts need.
QStringList cutTexts(QDialog *d)
{
    QStringList cut;
    for (QComboBox *c : d->findChildren<QComboBox *>())
        if (c->isVisible() && c->width() < c->sizeHint().width())
            cut << QStringLiteral("%1 (%2 < %3)").arg(c->objectName()).arg(c->width()).arg(c->sizeHint().width());
    for (QLineEdit *e : d->findChildren<QLineEdit *>()) {
        if (!e->isVisible() || e->parent()->inherits("QComboBox"))
            continue;
        const int need = e->fontMetrics().horizontalAdvance(e->text()) + 8;
        if (e->width() < need)
            cut << QStringLiteral("%1 \"%2\" (%3 < %4)").arg(e->objectName(), e->text()).arg(e->width()).arg(need);
    }
    for (QTableWidget *t : d->findChildren<QTableWidget *>()) {
        QHeaderView *h = t->horizontalHeader();
        for (int i = 0; i + 1 < h->count(); ++i) // the last one stretches
            if (h->sectionSize(i) < h->fontMetrics().horizontalAdvance(t->horizontalHeaderItem(i)->text()) + 8)
                cut << QStringLiteral("%1 \"%2\"").arg(t->objectName(), t->horizontalHeaderItem(i)->text());
    }
    return cut;
}

TEST_P(DialogOpeningSize, ListsShowTheirEntriesWhole)
{
    struct Case {
        const char *what;
        std::function<int()> run;
    };
    const Case cases[] = {
        {"firmware update", [] { QUserDlgFirmUpdate d; return d.dialogExec(); }},
        {"baud detect", [] { QUserDlgBaudChk d; return d.dialogExec(); }},
        {"bit rate calculator", [] { QUserDlgBaudCalculator d; return d.dialogExec(); }},
        {"device selection, CAN/FD adapters",
         [] {
             QUserDlgDeviceSel d;
             d.devTypeSet(0);
             return d.dialogExec();
         }},
        {"device selection, recorders",
         [] {
             QUserDlgDeviceSel d;
             d.devTypeSet(1);
             return d.dialogExec();
         }},
        {"device selection, LIN adapters",
         [] {
             QUserDlgDeviceSel d;
             d.devTypeSet(2);
             return d.dialogExec();
         }},
        {"filter",
         [] {
             QUserDlgFliterSet d;
             d.dlgInit(QApplication::translate("MainWindow", "数据过滤设置"));
             return d.dialogExec();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QUserPromptScript prompts;
        QStringList cut{"not shown"};
        prompts.answerExec([&cut](QDialog *d) {
            d->show();
            QApplication::processEvents();
            cut = cutTexts(d);
            return 0;
        });
        c.run();
        EXPECT_TRUE(cut.isEmpty()) << qPrintable(cut.join(", "));
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogOpeningSize,
                         testing::Values(Language{"Chinese", nullptr}, Language{"English", "lanague_en.qm"}),
                         [](const testing::TestParamInfo<Language> &i) { return std::string(i.param.name); });

} // namespace
