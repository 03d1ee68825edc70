// The CANopen window's "EDS" page (dictionary tree, EDS information, listen
// list, PDO configuration), its projects, its stored settings and its
// teardown, with a device that records what the window hands it.
#include "tests/canopen/WindowRig.h"

#include "canopen/QUserCANopenPrj.h"
#include "core/FileKeyValue.h"
#include "widgets/QUserTableView.h"
#include "widgets/QUserTreeWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>

using namespace cowin;

namespace {

class Eds : public FakeWindowTest
{
protected:
    bool loadEds(const QString &path = cotest::edsPath("drive.eds"))
    {
        prompts.answerFile(path);
        w->slotEdsFileLoad();
        return idle();
    }
    QStringList topItems()
    {
        QStringList out;
        auto *tree = child<QUserTreeWidget>("treeWidgetDict");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            out << tree->topLevelItem(i)->text(0);
        return out;
    }
    QTreeWidgetItem *treeItem(uint32_t index)
    {
        auto *tree = child<QUserTreeWidget>("treeWidgetDict");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i)->text(0).startsWith(QString::asprintf("%04X ", index)))
                return tree->topLevelItem(i);
        return nullptr;
    }
    // Drops a dictionary object on the listen list as a drag would.
    void listenDrop(uint32_t index, int sub = -1)
    {
        QTreeWidgetItem *item = treeItem(index);
        ASSERT_NE(item, nullptr);
        if (sub < 0) {
            w->slotEdsListenObjListTabDropEvent(QString(), item->text(0));
            return;
        }
        for (int i = 0; i < item->childCount(); ++i)
            if (item->child(i)->text(0).startsWith(QString::asprintf("%02X ", sub)))
                w->slotEdsListenObjListTabDropEvent(item->text(0), item->child(i)->text(0));
    }
    QModelIndex listenCell(int row, int column) { return w->listenModel()->index(row, column); }
    QString lastPrompt() const { return prompts.records().isEmpty() ? QString() : prompts.records().last().text; }
    void settleRefresh() { settle(120); }
};

QStringList infoRows(QTableWidget *t)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r)
        out << t->item(r, 0)->text() + "=" + t->item(r, 1)->text();
    return out;
}

} // namespace

// ---- EDS load and information ----------------------------------------------------------

TEST_F(Eds, LoadFillsTreeAndInformation)
{
    EXPECT_EQ(topItems(), QStringList{QStringLiteral("列表空!请先导入EDS文件!")});
    ASSERT_TRUE(loadEds());
    EXPECT_TRUE(opLog().contains(QStringLiteral("加载EDS文件:") + cotest::edsPath("drive.eds")));
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("加载成功")));
    EXPECT_EQ(w->edsFilePath(), cotest::edsPath("drive.eds"));
    EXPECT_EQ(topItems().size(), w->edsParser()->dictObjList.size());
    EXPECT_EQ(topItems().first(), QStringLiteral("1000 Device type"));
    QTreeWidgetItem *identity = treeItem(0x1018);
    ASSERT_NE(identity, nullptr);
    EXPECT_EQ(identity->childCount(), 5);
    EXPECT_TRUE(identity->child(1)->text(0).startsWith(QStringLiteral("01 ")));

    auto *table = child<QTableWidget>("tableWidgetEdsInfo");
    const QStringList file = infoRows(table);
    EXPECT_TRUE(file.contains(QStringLiteral("FileName=drive.eds")));
    EXPECT_TRUE(file.contains(QStringLiteral("CreationTime=01-02-2024 09:00AM")));
    EXPECT_TRUE(file.contains(QStringLiteral("ModificationTime=03-04-2024 10:30AM")));
    child<QComboBox>("comboBoxEdsInfoType")->setCurrentIndex(1);
    const QStringList device = infoRows(table);
    EXPECT_EQ(device.size(), 8);
    EXPECT_TRUE(device.contains(QStringLiteral("Vendorname=Orvane Test")));
    EXPECT_TRUE(device.contains(QStringLiteral("NrOfRXPDO=4")));
}

TEST_F(Eds, LoadFailuresAndEmptyFiles)
{
    prompts.answerFile(QString());
    w->slotEdsFileLoad(); // cancelled: nothing
    EXPECT_EQ(w->requestsOpen(), 0);
    EXPECT_FALSE(opLog().contains(QStringLiteral("加载EDS文件")));

    prompts.answerFile(QDir::current().absoluteFilePath("missing.eds"));
    prompts.answerExec(1);
    w->slotEdsFileLoad();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("加载失败...")));
    EXPECT_EQ(prompts.records().last().title, QStringLiteral("警告"));

    ASSERT_TRUE(cotest::writeAll("empty.eds", "[FileInfo]\nFileName=empty.eds\n"));
    ASSERT_TRUE(loadEds(QDir::current().absoluteFilePath("empty.eds")));
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("EDS文件空!")));
    EXPECT_EQ(topItems(), QStringList{QStringLiteral("列表空!请先导入EDS文件!")});
}

// A file with sections that could not be read does not say "加载成功": it
// counts them and names the first with its line; one of which nothing can be
// read is a failed load, and the dictionary loaded before stays.
TEST_F(Eds, DamagedFilesSayWhatCouldNotBeRead)
{
    ASSERT_TRUE(loadEds(cotest::edsPath("cases_lf.eds")));
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("加载完成,4个段无法读取,第一个:[1018sub2](第15行)")))
        << qPrintable(opLog());
    EXPECT_FALSE(opLog().endsWith(QStringLiteral("加载成功")));
    EXPECT_EQ(topItems().size(), w->edsParser()->dictObjList.size());

    ASSERT_TRUE(loadEds());
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("加载成功")));
    const int objects = w->edsParser()->dictObjList.size();

    ASSERT_TRUE(cotest::writeAll("garbage.eds", "[1000\nnot an eds\n[1001sub]\nDataType 7\n"));
    prompts.answerFile(QDir::current().absoluteFilePath("garbage.eds"));
    prompts.answerExec(1);
    w->slotEdsFileLoad();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("加载失败...1个段无法读取,第一个:[1001sub](第3行)")))
        << qPrintable(opLog());
    EXPECT_EQ(prompts.records().last().title, QStringLiteral("警告"));
    EXPECT_EQ(w->edsParser()->dictObjList.size(), objects);
    EXPECT_EQ(w->edsFilePath(), cotest::edsPath("drive.eds"));
    EXPECT_EQ(topItems().size(), objects);
}

// The listen list shows limits as the object's data type reads them (an
// INTEGER16 written 0x8000..0x7FFF is -32768..32767, an UNSIGNED32's
// 0xFFFFFFFF is 4294967295), and node-id formulas for the node the CiA 301
// panel names; without a node, as written. The attribute box keeps the
// formula and shows its value.
TEST_F(Eds, LimitsByDataTypeAndNodeIdFormulas)
{
    child<QLineEdit>("lineEditCia301NodeId")->setText("5");
    ASSERT_TRUE(loadEds(cotest::edsPath("values.eds")));
    listenDrop(0x2001);
    listenDrop(0x2008);
    listenDrop(0x2010);
    settleRefresh();
    QUserTableModelEDS *m = w->listenModel();
    auto cell = [&](uint32_t index, int column) {
        return m->item(m->rowOfKey(index << 16) - m->windowStart(), column)->text();
    };
    EXPECT_EQ(cell(0x2001, QUserTableModelEDS::ColLow), "-32768");
    EXPECT_EQ(cell(0x2001, QUserTableModelEDS::ColHigh), "32767");
    EXPECT_EQ(cell(0x2008, QUserTableModelEDS::ColLow), "0");
    EXPECT_EQ(cell(0x2008, QUserTableModelEDS::ColHigh), "4294967295");
    EXPECT_EQ(cell(0x2010, QUserTableModelEDS::ColLow), "389");
    EXPECT_EQ(cell(0x2010, QUserTableModelEDS::ColHigh), "389");
    child<QLineEdit>("lineEditCia301NodeId")->setText("6");
    EXPECT_EQ(cell(0x2010, QUserTableModelEDS::ColLow), "390");
    child<QLineEdit>("lineEditCia301NodeId")->setText("");
    EXPECT_EQ(cell(0x2010, QUserTableModelEDS::ColLow), "0x180+$NODEID");
    EXPECT_EQ(cell(0x2010, QUserTableModelEDS::ColHigh), "$NodeId+384");
    child<QLineEdit>("lineEditCia301NodeId")->setText("5");

    QStringList rows;
    prompts.answerExec([&](QDialog *d) {
        if (auto *t = d->findChild<QTableWidget *>())
            for (int r = 0; r < t->rowCount(); ++r)
                rows << t->item(r, 0)->text() + "=" + t->item(r, 1)->text();
        return 1;
    });
    w->slotEdsTreeWidgetItemDoubleClick(treeItem(0x1800)->child(1), 0);
    EXPECT_TRUE(rows.contains(QStringLiteral("DefaultValue=$NODEID+0x180 = 389(0x00000185)"))) << qPrintable(rows.join('|'));

    // A project keeps numbers: the formulas as node 5 sees them.
    const QString path = QDir::current().absoluteFilePath("values.prj");
    prompts.answerFile(path);
    w->slotPrjSave();
    ASSERT_TRUE(idle());
    QUserCANopenPrj prj;
    ASSERT_EQ(prj.prjLoad(path), 0);
    QList<QUserDictObj> listen;
    prj.listenDictObjListGet(listen);
    ASSERT_EQ(listen.size(), 3);
    EXPECT_EQ(listen[2].LowLimit, 389);
    EXPECT_EQ(listen[2].HighLimit, 389);
    EXPECT_EQ(listen[2].DefaultValue, 389);
    EXPECT_EQ(listen[0].LowLimit, -32768);
}

TEST_F(Eds, TreeFilterMatchesIndexOrName)
{
    ASSERT_TRUE(loadEds());
    auto *filter = child<QLineEdit>("lineEditDictFliter");
    struct Case {
        const char *text;
        QStringList starts;
    };
    const Case cases[] = {
        {"1a", {"1A00", "1A01", "1A02", "1A03"}},
        {"1A0", {"1A00", "1A01", "1A02", "1A03"}},
        {"Error", {"1001", "603F"}},
        {"statusword", {"6041"}},
        {"nothing like it", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        filter->setText(c.text);
        QStringList got;
        for (const QString &t : topItems())
            got << t.left(4);
        EXPECT_EQ(got, c.starts);
    }
    filter->setText(QString());
    EXPECT_EQ(topItems().size(), w->edsParser()->dictObjList.size());
}

// ---- listen list -------------------------------------------------------------------------

TEST_F(Eds, DropsAddObjectsOrTheirSubObjectsOnce)
{
    ASSERT_TRUE(loadEds());
    listenDrop(0x2001);
    listenDrop(0x1018); // five sub-objects
    QUserTableModelEDS *m = w->listenModel();
    ASSERT_EQ(m->cacheCount(), 6);
    EXPECT_EQ(m->dictObjAt(0)->index, 0x2001u);
    QSet<QString> colours;
    for (int i = 1; i < 6; ++i) {
        EXPECT_EQ(m->dictObjAt(i)->index, 0x1018u);
        EXPECT_EQ(m->dictObjAt(i)->subIndex, uint32_t(i - 1));
        EXPECT_EQ(m->dictObjAt(i)->color.split(',').size(), 3);
        colours.insert(m->dictObjAt(i)->color);
    }
    EXPECT_GT(colours.size(), 1);
    const int prompted = prompts.records().size();
    listenDrop(0x1018);
    listenDrop(0x1018, 2);
    EXPECT_EQ(prompts.records().size(), prompted + 6);
    EXPECT_TRUE(lastPrompt().contains(QStringLiteral("对象已存在!")));
    EXPECT_EQ(m->cacheCount(), 6);

    // The tree's menu adds the current item the same way.
    auto *tree = child<QUserTreeWidget>("treeWidgetDict");
    tree->setCurrentItem(treeItem(0x6041));
    w->slotEdsTreeWidgetPopMenueActAdd();
    EXPECT_EQ(m->cacheCount(), 7);
    EXPECT_EQ(m->dictObjAt(6)->index, 0x6041u);
}

TEST_F(Eds, ReadAndWriteCellsPostTransfersOnlyWhereAllowed)
{
    ASSERT_TRUE(loadEds());
    child<QLineEdit>("lineEditCia301NodeId")->setText("5");
    listenDrop(0x2001); // rw
    listenDrop(0x2003); // ro
    listenDrop(0x2004); // wo
    settleRefresh();
    w->slotEdsListenObjTabItemClick(listenCell(0, QUserTableModelEDS::ColRead));
    ASSERT_TRUE(waitUntil([&] { return dev->sentCount() == 1; }));
    EXPECT_EQ(dataOf(sentFrames()[0]).toHex().toUpper(), QByteArray("4001200000000000"));
    EXPECT_TRUE(opLog().contains(QStringLiteral("SDO Read [2001,00][Manufacturer word]")));
    w->slotEdsListenObjTabItemClick(listenCell(1, QUserTableModelEDS::ColWrite)); // ro
    w->slotEdsListenObjTabItemClick(listenCell(2, QUserTableModelEDS::ColRead));  // wo
    w->slotEdsListenObjTabItemClick(listenCell(0, QUserTableModelEDS::ColName));
    settle(50);
    EXPECT_FALSE(opLog().contains(QStringLiteral("[2003,00]")));
    EXPECT_FALSE(opLog().contains(QStringLiteral("[2004,00]")));

    // Editing the hexadecimal cell sets the value without sending; the
    // write cell then sends it.
    ASSERT_TRUE(idle(2000));
    const int sent = dev->sentCount();
    w->slotEdsListenObjTabItemDoubleClick(listenCell(0, QUserTableModelEDS::ColValueHex));
    w->listenModel()->item(0, QUserTableModelEDS::ColValueHex)->setText("FF");
    EXPECT_EQ(w->listenModel()->dictObjAt(0)->curValue, 255u);
    EXPECT_EQ(dev->sentCount(), sent);
    w->slotEdsListenObjTabItemClick(listenCell(0, QUserTableModelEDS::ColWrite));
    ASSERT_TRUE(waitUntil([&] { return dev->sentCount() == sent + 1; }));
    EXPECT_EQ(dataOf(sentFrames().last()).toHex().toUpper(), QByteArray("2B012000FF000000"));
    EXPECT_TRUE(opLog().contains(QStringLiteral("SDO Write [2001,00][Manufacturer word]->0x00FF")));
    // A decimal edit of another cell than the one opened changes nothing.
    w->slotEdsListenObjTabItemDoubleClick(listenCell(0, QUserTableModelEDS::ColValueDec));
    w->listenModel()->item(0, QUserTableModelEDS::ColValueHex)->setText("1");
    EXPECT_EQ(w->listenModel()->dictObjAt(0)->curValue, 255u);
    w->listenModel()->item(0, QUserTableModelEDS::ColValueDec)->setText("-2");
    EXPECT_EQ(w->listenModel()->dictObjAt(0)->curValue, 0xFFFFFFFEu);
}

// An empty Node-ID field names no node: the SDO requests warn and send
// nothing, and leave no transfer line behind.
TEST_F(Eds, EmptyNodeIdSendsNothing)
{
    ASSERT_TRUE(loadEds());
    child<QLineEdit>("lineEditCia301NodeId")->setText("5");
    listenDrop(0x2001);
    settleRefresh();
    w->slotEdsListenObjTabItemClick(listenCell(0, QUserTableModelEDS::ColRead)); // node 5 is now "the last"
    ASSERT_TRUE(waitUntil([&] { return dev->sentCount() == 1; }));
    ASSERT_TRUE(idle(2000));
    const int sent = dev->sentCount();
    w->slotEdsLogClr();
    child<QLineEdit>("lineEditCia301NodeId")->setText(" ");
    const int prompted = prompts.records().size();
    w->slotEdsListenObjTabItemClick(listenCell(0, QUserTableModelEDS::ColRead));
    w->slotEdsPdoSettingLoadFromDevice();
    w->slotEdsPdoSettingSaveToDevice();
    EXPECT_FALSE(w->reqSdoReadListPost({w->edsParser()->dictObjList.first()}));
    ASSERT_EQ(prompts.records().size(), prompted + 4);
    for (int i = prompted; i < prompted + 4; ++i)
        EXPECT_TRUE(prompts.records()[i].text.contains(QStringLiteral("Node-Id不能为空!")));
    settle(300);
    EXPECT_EQ(w->requestsOpen(), 0);
    EXPECT_EQ(dev->sentCount(), sent);
    EXPECT_FALSE(opLog().contains(QStringLiteral("SDO Read")));
}

TEST_F(Eds, ListenMenuMovesDeletesAndClears)
{
    ASSERT_TRUE(loadEds());
    for (uint32_t i : {0x2000u, 0x2001u, 0x2002u})
        listenDrop(i);
    settleRefresh();
    QUserTableModelEDS *m = w->listenModel();
    auto order = [&] {
        QString s;
        for (int i = 0; i < m->cacheCount(); ++i)
            s += QString::number(m->dictObjAt(i)->index & 0xF);
        return s;
    };
    auto menuAt = [&](int row) { w->uiSettings()->listenMenuRow = row; };
    menuAt(0);
    w->slotEdsListenObjListTabPopMenueActUp();
    EXPECT_EQ(order(), "012");
    menuAt(2);
    w->slotEdsListenObjListTabPopMenueActDown();
    EXPECT_EQ(order(), "012");
    menuAt(1);
    w->slotEdsListenObjListTabPopMenueActUp();
    EXPECT_EQ(order(), "102");
    w->slotEdsListenObjListTabPopMenueActDown();
    EXPECT_EQ(order(), "120");
    prompts.answerExec(0);
    w->slotEdsListenObjListTabPopMenueActDel();
    EXPECT_EQ(order(), "120");
    prompts.answerExec(1);
    w->slotEdsListenObjListTabPopMenueActDel();
    EXPECT_EQ(order(), "10");
    EXPECT_TRUE(lastPrompt().contains(QStringLiteral("是否删除该信号?")));
    prompts.answerExec(1);
    w->slotEdsListenObjListTabPopMenueActClr();
    EXPECT_EQ(m->cacheCount(), 0);
    const int prompted = prompts.records().size();
    w->slotEdsListenObjListTabPopMenueActClr(); // empty: no question
    EXPECT_EQ(prompts.records().size(), prompted);
}

TEST_F(Eds, AttributeBoxesShowTheObject)
{
    ASSERT_TRUE(loadEds());
    listenDrop(0x6041);
    settleRefresh();
    QStringList cells;
    prompts.answerExec([&](QDialog *d) {
        if (auto *t = d->findChild<QTableWidget *>())
            for (int r = 0; r < t->rowCount(); ++r)
                cells << t->item(r, 0)->text() + "=" + t->item(r, 1)->text();
        return 1;
    });
    w->slotEdsListenObjTabItemDoubleClick(listenCell(0, QUserTableModelEDS::ColName));
    EXPECT_EQ(prompts.records().last().title, QStringLiteral("Statusword"));
    EXPECT_TRUE(cells.contains(QStringLiteral("Index=0x6041"))) << qPrintable(cells.join('|'));
    prompts.answerExec(1);
    w->slotEdsTreeWidgetItemDoubleClick(treeItem(0x1018)->child(1), 0);
    EXPECT_EQ(prompts.records().last().title, QStringLiteral("Vendor-ID"));
}

// ---- PDO configuration ------------------------------------------------------------------

namespace {

class Pdo : public Eds
{
protected:
    void SetUp() override
    {
        Eds::SetUp();
        ASSERT_TRUE(loadEds());
        w->resize(1400, 900);
        w->show();
        child<QTabWidget>("tabWidgetTop")->setCurrentIndex(1);
        settle(50);
        tree = child<QUserTreeWidget>("treeWidgetPdo");
    }
    QTreeWidgetItem *pdoItem(const QString &name)
    {
        const QList<QTreeWidgetItem *> found = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    // Drops dictionary object index (sub-object sub when >= 0) on a PDO item.
    void pdoDrop(uint32_t index, int sub, const QString &pdo)
    {
        QTreeWidgetItem *target = pdoItem(pdo);
        ASSERT_NE(target, nullptr) << qPrintable(pdo);
        QTreeWidgetItem *obj = treeItem(index);
        ASSERT_NE(obj, nullptr);
        QMimeData mime;
        if (sub < 0) {
            mime.setText(QString());
            mime.setHtml(obj->text(0));
        } else {
            mime.setText(obj->text(0));
            mime.setHtml(obj->child(sub)->text(0));
        }
        tree->scrollToItem(target);
        const QPoint at = tree->visualItemRect(target).center();
        QDropEvent ev(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        w->slotEdsPdoTreeDropEvent(&ev);
    }
    QStringList mapped(bool rx, int n) const
    {
        QStringList out;
        const QList<QUserDictObj> &list = rx ? w->edsParser()->rxPdoList : w->edsParser()->txPdoList;
        for (const QUserDictObj &o : list[n - 1].childList)
            out << QString::asprintf("%04X", o.index);
        return out;
    }
    QUserTreeWidget *tree = nullptr;
};

} // namespace

TEST_F(Pdo, MappingRules)
{
    struct Case {
        uint32_t index;
        QString pdo;
        const char *refusal; // null: mapped
    };
    const Case cases[] = {
        {0x2002, "TPDO1", nullptr},
        {0x2002, "TPDO1", nullptr},
        {0x2000, "TPDO1", "此PDO最大只支持8个字节的数据"},
        {0x2003, "RPDO2", "只读属性的对象只能映射到TPDO中"},
        {0x2003, "TPDO2", nullptr},
        {0x1017, "TPDO2", "该对象不支持映射!"},
        {0x6040, "RPDO1", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(QString::number(c.index, 16) + " " + c.pdo));
        const int prompted = prompts.records().size();
        pdoDrop(c.index, -1, c.pdo);
        if (c.refusal) {
            ASSERT_EQ(prompts.records().size(), prompted + 1);
            EXPECT_EQ(prompts.records().last().title, QStringLiteral("警告"));
            EXPECT_TRUE(lastPrompt().contains(QString::fromUtf8(c.refusal))) << qPrintable(lastPrompt());
        } else {
            EXPECT_EQ(prompts.records().size(), prompted);
        }
    }
    EXPECT_EQ(mapped(false, 1), (QStringList{"2002", "2002"}));
    EXPECT_EQ(mapped(false, 2), QStringList{"2003"});
    EXPECT_EQ(mapped(true, 1), QStringList{"6040"});
    // The tree shows the mapping under its PDO.
    QTreeWidgetItem *tpdo1 = pdoItem("TPDO1");
    ASSERT_EQ(tpdo1->childCount(), 2);
    EXPECT_TRUE(tpdo1->child(0)->text(0).startsWith(QStringLiteral("[2002,00][")));
    // Dropping onto a mapping row maps into its PDO.
    pdoDrop(0x2000, -1, tpdo1->child(0)->text(0));
    EXPECT_TRUE(lastPrompt().contains(QStringLiteral("8个字节")));
}

TEST_F(Pdo, TreeMenuMovesDeletesAndClears)
{
    for (uint32_t i : {0x2000u, 0x2001u, 0x6060u})
        pdoDrop(i, -1, "TPDO3");
    auto select = [&](int row) { tree->setCurrentItem(pdoItem("TPDO3")->child(row)); };
    select(0);
    w->slotEdsPdoTreePopMenueActUp();
    EXPECT_EQ(mapped(false, 3), (QStringList{"2000", "2001", "6060"}));
    select(2);
    w->slotEdsPdoTreePopMenueActDown(); // last row: order stays, tree rebuilt
    EXPECT_EQ(mapped(false, 3), (QStringList{"2000", "2001", "6060"}));
    select(2);
    w->slotEdsPdoTreePopMenueActUp();
    EXPECT_EQ(mapped(false, 3), (QStringList{"2000", "6060", "2001"}));
    select(0);
    w->slotEdsPdoTreePopMenueActDel();
    EXPECT_EQ(mapped(false, 3), (QStringList{"6060", "2001"}));
    pdoDrop(0x6040, -1, "RPDO4");
    w->slotEdsPdoTreePopMenueActClr();
    EXPECT_TRUE(mapped(false, 3).isEmpty());
    EXPECT_TRUE(mapped(true, 4).isEmpty());
}

TEST_F(Pdo, SettingsShowAndReadBack)
{
    auto *type = child<QComboBox>("comboBoxPdoType");
    auto *trans = child<QComboBox>("comboBoxPdoTransType");
    auto *enable = child<QCheckBox>("checkBoxPdoEnable");
    auto *cob = child<QLineEdit>("lineEditPdoCobId");
    auto *inhibit = child<QLineEdit>("lineEditPdoInhibit");
    auto *event = child<QLineEdit>("lineEditPdoEvent");
    auto *syncStart = child<QLineEdit>("lineEditPdoSyncStart");
    QUserDictObj &tpdo1 = w->edsParser()->txPdoList[0];
    tpdo1.transmissionType = 254;
    tpdo1.cobID = 0x185;
    tpdo1.inhibitTime = 10;
    tpdo1.eventTime = 100;
    type->setCurrentText("TPDO1");
    w->pdoSettingShow();
    EXPECT_EQ(cob->text(), QStringLiteral("185"));
    EXPECT_EQ(trans->currentIndex(), 4);
    EXPECT_TRUE(inhibit->isEnabled());
    EXPECT_EQ(event->text(), QStringLiteral("100"));
    EXPECT_FALSE(syncStart->isEnabled());

    trans->setCurrentIndex(1); // cyclic synchronous
    EXPECT_EQ(tpdo1.transmissionType, 1);
    EXPECT_FALSE(inhibit->isEnabled());
    EXPECT_TRUE(syncStart->isEnabled());
    enable->setChecked(!enable->isChecked()); // the next read-back
    EXPECT_EQ(tpdo1.inhibitTime, 0);
    EXPECT_EQ(tpdo1.eventTime, 0);

    // A type the combo does not name stays as it is.
    tpdo1.transmissionType = 5;
    w->pdoSettingShow();
    EXPECT_EQ(trans->currentText(), QStringLiteral("未知类型"));
    cob->setText("1A5");
    emit cob->textEdited("1A5");
    EXPECT_EQ(tpdo1.cobID, 0x1A5u);
    EXPECT_EQ(tpdo1.transmissionType, 5);

    // A click on a PDO in the tree selects it.
    w->slotEdsPdoTreeWidgetItemClicked(pdoItem("RPDO3"), 0);
    EXPECT_EQ(type->currentText(), QStringLiteral("RPDO3"));
}

TEST_F(Pdo, TransfersNeedAnEds)
{
    w->edsParser()->dictObjList.clear();
    child<QLineEdit>("lineEditCia301NodeId")->setText("5");
    prompts.answerExec(1);
    prompts.answerExec(1);
    w->slotEdsPdoSettingLoadFromDevice();
    w->slotEdsPdoSettingSaveToDevice();
    EXPECT_EQ(opLog().count(QStringLiteral("错误:请先导入EDS文件!!!")), 2);
    EXPECT_EQ(dev->sentCount(), 0);
    EXPECT_EQ(w->requestsOpen(), 0);
}

// ---- projects ---------------------------------------------------------------------------

TEST_F(Eds, ProjectSaveReopenAndClose)
{
    ASSERT_TRUE(loadEds());
    listenDrop(0x2001);
    listenDrop(0x6041);
    w->edsParser()->txPdoList[0].cobID = 0x185;
    QUserDictObj mapped;
    ASSERT_TRUE(w->edsParser()->objGet(0x2002, 0, mapped));
    w->edsParser()->txPdoList[0].childList.append(mapped);
    const QString path = QDir::current().absoluteFilePath("drive.prj");
    prompts.answerFile(path);
    w->slotPrjSave();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().contains(QStringLiteral("保存工程文件:") + path));
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("保存成功!")));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("drive.prj"));
    EXPECT_EQ(QUserSysCfg::instance()->getString("canopenPrjFilePath"), path);
    delete w;

    // The next window opens the project again: lists first, then its EDS.
    w = newWindow();
    ASSERT_TRUE(idle());
    ASSERT_TRUE(waitUntil([&] { return !w->edsParser()->dictObjList.isEmpty(); }));
    const QString log = opLog();
    const QStringList order{QStringLiteral("加载工程文件:") + path, QStringLiteral("加载成功"),
                            QStringLiteral("检测到EDS文件..."),
                            QStringLiteral("加载EDS文件:") + cotest::edsPath("drive.eds"), QStringLiteral("加载成功")};
    int at = 0;
    for (const QString &line : order) {
        const int found = log.indexOf(line, at);
        ASSERT_GE(found, 0) << qPrintable(line) << "\n" << qPrintable(log);
        at = found + line.size();
    }
    EXPECT_EQ(w->windowTitle(), QStringLiteral("drive.prj"));
    ASSERT_EQ(w->listenModel()->cacheCount(), 2);
    EXPECT_EQ(w->listenModel()->dictObjAt(1)->index, 0x6041u);
    EXPECT_EQ(w->edsParser()->txPdoList[0].cobID, 0x185u);
    ASSERT_EQ(w->edsParser()->txPdoList[0].childList.size(), 1);
    EXPECT_EQ(w->edsParser()->txPdoList[0].childList[0].index, 0x2002u);

    // Closing keeps the dictionary and forgets the project.
    prompts.answerExec(1);
    w->slotPrjClose();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("CANopen"));
    EXPECT_EQ(w->listenModel()->cacheCount(), 0);
    EXPECT_TRUE(w->edsParser()->txPdoList[0].childList.isEmpty());
    EXPECT_FALSE(w->edsParser()->dictObjList.isEmpty());
    EXPECT_EQ(QUserSysCfg::instance()->getString("canopenPrjFilePath"), QStringLiteral("NULL"));
    delete w;
    w = newWindow();
    settle(100);
    EXPECT_EQ(w->requestsOpen(), 0);
    EXPECT_FALSE(opLog().contains(QStringLiteral("加载工程文件")));
}

TEST_F(Eds, ProjectFailures)
{
    ASSERT_TRUE(cotest::writeAll("bad.prj", "not json"));
    prompts.answerFile(QDir::current().absoluteFilePath("bad.prj"));
    prompts.answerExec(1);
    w->slotPrjLoad();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("加载失败")));
    EXPECT_EQ(prompts.records().last().title, QStringLiteral("警告"));

    prompts.answerFile(QDir::current().absoluteFilePath("no/such/dir/x.prj"));
    prompts.answerExec(1);
    w->slotPrjSave();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("保存失败")));
    EXPECT_TRUE(QUserSysCfg::instance()->getString("canopenPrjFilePath").isNull());
}

// ---- stored settings and teardown -------------------------------------------------------------

TEST_F(Eds, SettingsSurviveCloseAndReopen)
{
    child<QLineEdit>("lineEditCia301NodeId")->setText("5");
    child<QComboBox>("comBoxNmtType")->setCurrentIndex(2);
    child<QComboBox>("comBoxPdoType")->setCurrentText("RPDO2");
    child<QComboBox>("comBoxRemotePdoType")->setCurrentText("TPDO3");
    child<QLineEdit>("lineEditSdoFastWriteIndex")->setText("6040");
    child<QLineEdit>("lineEditCia402NodeId")->setText("7");
    child<QLineEdit>("lineEditVelDstSpeed")->setText("-300");
    child<QLineEdit>("linEditPosRelDst")->setText("250");
    child<QTabWidget>("tabWidgetRight")->setCurrentIndex(2);
    child<QSplitter>("splitterCanopenRoot")->setSizes({300, 500});
    const QByteArray splitter = child<QSplitter>("splitterCanopenRoot")->saveState();
    delete w;

    FileKeyValue ini;
    ASSERT_TRUE(ini.load(QUserCANopenUiSetting::uiFilePath()));
    auto value = [&](const char *key) {
        QString v;
        ini.getValue(QLatin1String(key), v);
        return v;
    };
    EXPECT_EQ(value("windowLeftTabPageIndex"), "2");
    EXPECT_EQ(value("windowRightTabPageIndex"), "0");
    EXPECT_EQ(value("comBoxPdoType"), "RPDO2");
    EXPECT_EQ(value("comBoxRemotePdoType"), "TPDO3");
    EXPECT_EQ(QUserSysCfg::instance()->getByteArray("openCanSpliteRootRate"), splitter);

    w = newWindow();
    EXPECT_EQ(child<QLineEdit>("lineEditCia301NodeId")->text(), QStringLiteral("5"));
    EXPECT_EQ(child<QComboBox>("comBoxNmtType")->currentIndex(), 2);
    EXPECT_EQ(child<QComboBox>("comBoxPdoType")->currentText(), QStringLiteral("RPDO2"));
    EXPECT_EQ(child<QComboBox>("comBoxRemotePdoType")->currentText(), QStringLiteral("TPDO3"));
    EXPECT_EQ(child<QLineEdit>("lineEditSdoFastWriteIndex")->text(), QStringLiteral("6040"));
    EXPECT_EQ(child<QLineEdit>("lineEditCia402NodeId")->text(), QStringLiteral("7"));
    EXPECT_EQ(child<QLineEdit>("lineEditVelDstSpeed")->text(), QStringLiteral("-300"));
    EXPECT_EQ(child<QLineEdit>("linEditPosRelDst")->text(), QStringLiteral("250"));
    EXPECT_EQ(child<QTabWidget>("tabWidgetRight")->currentIndex(), 2);
    EXPECT_EQ(child<QSplitter>("splitterCanopenRoot")->saveState(), splitter);

    // Closing without a change leaves the file as it is.
    const QByteArray before = cotest::readAll(QUserCANopenUiSetting::uiFilePath());
    delete w;
    w = newWindow();
    delete w;
    w = nullptr;
    EXPECT_EQ(cotest::readAll(QUserCANopenUiSetting::uiFilePath()), before);
}

// The window goes while its thread is in the middle of a transfer and a
// frame list: destruction stops the thread first, and nothing is sent
// after it.
TEST_F(Eds, DestructionStopsTheRequestThreadFirst)
{
    child<QLineEdit>("lineEditCia301NodeId")->setText("5");
    QUserDictObj o;
    o.index = 0x2001;
    o.DataType = 6;
    QVector<QUserCanMsg> frames;
    QUserCanMsg sync;
    w->frameDecoder().syncMsgCreat(sync);
    // 10000 frames 10 ms apart: the list would take 100 s.
    for (int i = 0; i < 10000; ++i)
        frames.append(sync);
    ASSERT_TRUE(w->reqSdoTransferPost({o}));
    ASSERT_TRUE(w->reqMsgListSendPost(frames));
    ASSERT_TRUE(waitUntil([&] { return dev->sentCount() >= 3; }));
    QPointer<QUserCANopenThread> thread(w->requestThread());
    QElapsedTimer t;
    t.start();
    delete w;
    w = nullptr;
    EXPECT_LT(t.elapsed(), 30000); // the list in hand stops at its next frame
    EXPECT_TRUE(thread.isNull());
    const int sent = dev->sentCount();
    EXPECT_LT(sent, 10000);
    settle(300);
    EXPECT_EQ(dev->sentCount(), sent);
}
