// The adapter model table against everything that takes model facts from
// it: the device registry, the two device classes and the CAN FD driver, the
// device selection dialog's lists, the CAN FD settings' clock and the CAN FD
// calculator's clock. A model added to the table and missed by a consumer,
// or a consumer that keeps a list of its own, shows here.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QSet>

#include "core/QUserAdapterModels.h"
#include "devices/QKemFdDev.h"
#include "devices/QUserDevChState.h"
#include "devices/QUserDeviceAdapter.h"
#include "devices/QUserDeviceUSBCAN2.h"
#include "devices/QUserDeviceUSBCANFD2.h"
#include "devtools/QUserDlgDeviceSel.h"
#include "devtools/QUserDlgFdBaudCalculator.h"
#include "devtools/QUserFd2Settings.h"
#include "tests/devices/PrintQt.h"
#include "tests/support/TempWorkDir.h"

namespace {

using QUserAdapterModels::kModels;

QString nameOf(const QUserAdapterModel &m)
{
    return QString::fromLatin1(m.name);
}

QString clockShown(QUserDlgFdBaudCalculator &cal)
{
    auto *clk = cal.findChild<QComboBox *>(QStringLiteral("comboBox_mainClk"));
    return clk ? clk->currentText() : QStringLiteral("<no clock list>");
}

} // namespace

class AdapterModels : public WorkDirTest {};

TEST_F(AdapterModels, RowsAreWellFormed)
{
    QSet<QString> seen;
    for (const QUserAdapterModel &m : kModels) {
        const QString name = nameOf(m);
        SCOPED_TRACE(m.name);
        EXPECT_FALSE(seen.contains(name));
        seen.insert(name);
        // A device id is "<type name>-<index>-<channel>": a "-" in a name would split it.
        EXPECT_FALSE(name.isEmpty());
        EXPECT_FALSE(name.contains('-'));
        EXPECT_EQ(QUserAdapterModels::byName(name), &m);
        EXPECT_GE(m.selectClass, -1);
        EXPECT_LE(m.selectClass, 2);
        switch (m.family) {
        case QUserAdapterFamily::Classic:
            EXPECT_EQ(m.typeNumber, 4);
            EXPECT_EQ(m.clockMHz, 16);
            EXPECT_FALSE(m.fdCapable);
            EXPECT_NE(m.editions[0], nullptr); // listed by their editions
            break;
        case QUserAdapterFamily::CanFd:
            EXPECT_TRUE(m.typeNumber == 41 || (m.typeNumber >= 64 && m.typeNumber <= 67)) << m.typeNumber;
            EXPECT_TRUE(m.clockMHz == 60 || m.clockMHz == 80) << m.clockMHz;
            EXPECT_GE(m.channels, 1);
            EXPECT_LE(m.channels, 8);
            break;
        case QUserAdapterFamily::Recorder:
            EXPECT_TRUE(m.typeNumber == 61 || m.typeNumber == 62) << m.typeNumber;
            break;
        case QUserAdapterFamily::Lin:
            EXPECT_EQ(m.typeNumber, 0);
            break;
        }
    }
    // Lookups by type number keep the table's order.
    const auto t41 = QUserAdapterModels::byTypeNumber(41);
    ASSERT_EQ(t41.size(), 3u);
    EXPECT_STREQ(t41[0]->name, "VARIRORODadi");
    EXPECT_STREQ(t41[2]->name, "USBCANFD2");
    EXPECT_EQ(QUserAdapterModels::byTypeNumber(4).size(), 2u);
    ASSERT_EQ(QUserAdapterModels::byTypeNumber(67).size(), 1u);
    EXPECT_STREQ(QUserAdapterModels::byTypeNumber(67)[0]->name, "TRNB702");
    EXPECT_TRUE(QUserAdapterModels::byTypeNumber(99).empty());
}

// The registry makes one device per classic and CAN FD row, of the family's
// class, and each device builds its state table with the row's channels.
TEST_F(AdapterModels, RegistryAndDeviceClassesFollowTheTable)
{
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    int devices = 0;
    for (const QUserAdapterModel &m : kModels) {
        const QString name = nameOf(m);
        SCOPED_TRACE(m.name);
        QUserDevice *dev = reg.device(name);
        const QString lastChannel = QStringLiteral("%1-31-%2").arg(name).arg(m.channels - 1);
        const QString pastChannels = QStringLiteral("%1-0-%2").arg(name).arg(m.channels);
        QUserDevChState st;
        switch (m.family) {
        case QUserAdapterFamily::Classic: {
            ++devices;
            ASSERT_NE(qobject_cast<QUserDeviceUSBCAN2 *>(dev), nullptr);
            EXPECT_EQ(static_cast<QUserDeviceUSBCAN2 *>(dev)->channelCount(), m.channels);
            EXPECT_EQ(dev->devInfoGet(lastChannel, &st), 1);
            EXPECT_EQ(dev->devInfoGet(pastChannels, &st), 0);
            break;
        }
        case QUserAdapterFamily::CanFd:
            ++devices;
            ASSERT_NE(qobject_cast<QUserDeviceUSBCANFD2 *>(dev), nullptr);
            EXPECT_EQ(QUserDeviceUSBCANFD2::channelCount(name), m.channels);
            EXPECT_EQ(QUserDeviceUSBCANFD2::typeNumber(name), m.typeNumber);
            EXPECT_EQ(QUserDeviceUSBCANFD2::fdCapable(name), m.fdCapable);
            EXPECT_EQ(QKemFdDev::typeNumber(name), m.typeNumber);
            EXPECT_EQ(QUserFd2Settings::modelClockOf(name), m.clockMHz);
            EXPECT_EQ(dev->devInfoGet(lastChannel, &st), 1);
            EXPECT_EQ(dev->devInfoGet(pastChannels, &st), 0);
            break;
        case QUserAdapterFamily::Recorder:
        case QUserAdapterFamily::Lin:
            EXPECT_EQ(dev, nullptr);
            break;
        }
    }
    EXPECT_EQ(devices, 9);
}

// Names outside the table: the CAN FD classes serve them as "any other name"
// (one channel, type 41, CAN FD, 60 MHz), the classic class with one channel;
// no list offers them and the calculator keeps the clock it shows.
TEST_F(AdapterModels, NamesOutsideTheTable)
{
    for (const char *name : {"NOSUCH", "", "trnb702", "TRNB702 ", "USBCAN2-A"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(QUserAdapterModels::byName(name), nullptr);
        EXPECT_EQ(QUserDeviceUSBCANFD2::channelCount(name), 1);
        EXPECT_EQ(QUserDeviceUSBCANFD2::typeNumber(name), 41);
        EXPECT_TRUE(QUserDeviceUSBCANFD2::fdCapable(name));
        EXPECT_EQ(QKemFdDev::typeNumber(name), 41);
        EXPECT_EQ(QUserFd2Settings::modelClockOf(name), 60);
        EXPECT_EQ(QUserDeviceUSBCAN2(name).channelCount(), 1);
    }
    // A model of the other family counts as outside it.
    EXPECT_EQ(QUserDeviceUSBCANFD2::typeNumber("USBCAN2"), 41);
    EXPECT_EQ(QUserDeviceUSBCAN2("TRNB702").channelCount(), 1);
    EXPECT_EQ(QUserFd2Settings::modelClockOf("TRND702"), 60);

    QUserDlgFdBaudCalculator cal;
    cal.devTypeSet("TRND702");
    ASSERT_EQ(clockShown(cal), "200");
    cal.devTypeSet("NOSUCH");
    EXPECT_EQ(clockShown(cal), "200");

    EXPECT_EQ(QUserAdapterModels::bySelectionText("NOSUCH"), nullptr);
    for (int c = 0; c < 3; ++c)
        EXPECT_FALSE(QUserDlgDeviceSel::modelList(c).contains("NOSUCH"));
    EXPECT_TRUE(QUserDlgDeviceSel::modelList(3).isEmpty());
}

// Every entry of a selection list stands for a row of that class, and every
// row of a class is offered, by its editions or by its name.
TEST_F(AdapterModels, SelectionListsHoldExactlyTheRowsOfTheirClass)
{
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const QStringList list = QUserDlgDeviceSel::modelList(c);
        QSet<const QUserAdapterModel *> offered;
        for (const QString &text : list) {
            const QUserAdapterModel *m = QUserAdapterModels::bySelectionText(text);
            ASSERT_NE(m, nullptr) << text.toStdString();
            EXPECT_EQ(m->selectClass, c) << text.toStdString();
            offered.insert(m);
        }
        for (const QUserAdapterModel &m : kModels)
            EXPECT_EQ(offered.contains(&m), m.selectClass == c) << m.name;
    }
    EXPECT_STREQ(QUserAdapterModels::bySelectionText("USBCAN1-B")->name, "USBCAN1");
    EXPECT_STREQ(QUserAdapterModels::bySelectionText("USBCAN2-A")->name, "USBCAN2");
    EXPECT_EQ(QUserDlgDeviceSel::modelList(1), QStringList({"TRND702"}));
    EXPECT_EQ(QUserDlgDeviceSel::modelList(2), QStringList({"TRNC701"}));
}

// The CAN FD calculator shows each CAN FD and recording model's clock, and
// every model its own list offers has a row.
TEST_F(AdapterModels, CalculatorClocksAreTheTablesClocks)
{
    for (const QUserAdapterModel &m : kModels) {
        if (m.family != QUserAdapterFamily::CanFd && m.family != QUserAdapterFamily::Recorder)
            continue;
        SCOPED_TRACE(m.name);
        QUserDlgFdBaudCalculator cal;
        cal.devTypeSet(nameOf(m));
        EXPECT_EQ(clockShown(cal), QString::number(m.clockMHz));
    }
    QUserDlgFdBaudCalculator cal;
    auto *models = cal.findChild<QComboBox *>(QStringLiteral("comboBox_devType"));
    ASSERT_NE(models, nullptr);
    ASSERT_GT(models->count(), 0);
    for (int i = 0; i < models->count(); ++i) {
        const QUserAdapterModel *m = QUserAdapterModels::byName(models->itemText(i));
        ASSERT_NE(m, nullptr) << models->itemText(i).toStdString();
        models->setCurrentIndex(i);
        EXPECT_EQ(clockShown(cal), QString::number(m->clockMHz)) << m->name;
    }
}
