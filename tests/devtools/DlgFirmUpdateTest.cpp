// The firmware update dialog offscreen, its prompts answered through the
// seam: the form, choosing a package, connecting to the simulated CAN FD
// adapter's update target, a whole update, stopping, leaving in the middle,
// and the ends that used to leave the dialog updating for ever.

#include "devtools/QUserDlgFirmUpdate.h"

#include "tests/devtools/DevtoolsSim.h"
#include "tests/devtools/DialogTestUtil.h"
#include "devtools/QFirmUpdateSrv.h"
#include "tests/support/TempWorkDir.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

QByteArray pattern(int n, int seed)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 131 + seed * 17 + (i >> 8)) & 0xFF);
    return b;
}

QByteArray writePackage(const QString &path, int bytes, int seed = 1)
{
    const QByteArray all = pattern(bytes, seed);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(all);
    return all;
}

QString text(const QWidget &d, const char *label)
{
    return kid<QLabel>(&d, label)->text();
}

QPushButton *button(const QWidget &d, const char *name)
{
    return kid<QPushButton>(&d, name);
}

void choosePackage(QUserPromptScript &prompts, QUserDlgFirmUpdate &d, const QString &path)
{
    prompts.answerFile(path);
    d.slotFileSelect();
}

} // namespace

TEST(DlgFirmUpdate, NewDialogForm)
{
    QUserPromptScript prompts;
    QUserDlgFirmUpdate d;
    EXPECT_EQ(d.objectName(), "QUserDlgFirmUpdate");
    EXPECT_EQ(d.size(), QSize(414, 210));
    EXPECT_EQ(d.frame()->windowTitle(), QString::fromUtf8("设备升级"));
    EXPECT_EQ(items(kid<QComboBox>(&d, "comboBox_devType")),
              (QStringList{"VARIRORODadi", "VURIVUVU1", "USBCANFD2", "TRNA701", "TRNB701", "TRNA702", "TRNB702"}));
    EXPECT_EQ(kid<QComboBox>(&d, "comboBox_devIndex")->count(), 32);
    EXPECT_EQ(text(d, "label_devInfo"), QString::fromUtf8("设备信息:未知"));
    EXPECT_EQ(text(d, "label_fileInfo"), QString::fromUtf8("文件信息:未知"));
    EXPECT_EQ(button(d, "pushButton_devCon")->text(), QString::fromUtf8("①连接设备"));
    EXPECT_FALSE(button(d, "pushButton_start")->isEnabled());
    EXPECT_FALSE(kid<QLineEdit>(&d, "lineEdit_filePath")->isEnabled());
    EXPECT_EQ(kid<QProgressBar>(&d, "progressBar_update")->value(), 0);
    d.slotStartUpdate(); // no worker: nothing happens
    EXPECT_FALSE(d.isUpdating());
    EXPECT_TRUE(prompts.records().isEmpty());
}

TEST(DlgFirmUpdate, ChoosingPackages)
{
    TempWorkDir dir;
    QUserPromptScript prompts;
    QUserDlgFirmUpdate d;
    auto *path = kid<QLineEdit>(&d, "lineEdit_filePath");
    choosePackage(prompts, d, QString());
    ASSERT_EQ(prompts.records().size(), 2);
    EXPECT_EQ(prompts.records()[0].title, QString::fromUtf8("选择升级包"));
    EXPECT_EQ(prompts.records()[0].text, "(*.dat)");
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("警告"), QString::fromUtf8("升级包为空!")));
    EXPECT_TRUE(path->text().isEmpty());

    const QString good = QDir::current().absoluteFilePath("fw.v1.2.3.4.dat");
    writePackage(good, 1025);
    choosePackage(prompts, d, good);
    EXPECT_TRUE(d.packageAccepted());
    EXPECT_EQ(path->text(), good);
    EXPECT_EQ(text(d, "label_fileInfo"), QString::fromUtf8("文件信息:大小:1025Byte 硬件版本:V1.2 固件版本:V3.4"));

    const QString small = QDir::current().absoluteFilePath("fw.v2.0.0.1.dat");
    writePackage(small, 1024);
    choosePackage(prompts, d, small);
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("警告"), QString::fromUtf8("文件大小错误!")));
    EXPECT_EQ(path->text(), small) << "the field shows the refused file";
    EXPECT_EQ(d.package().path, good) << "the accepted package stays in force";
    EXPECT_EQ(d.package().hwVersion, 0x0102);
    EXPECT_EQ(text(d, "label_fileInfo"), QString::fromUtf8("文件信息:大小:1025Byte 硬件版本:V1.2 固件版本:V3.4"));
}

namespace {

class DlgFirmUpdateSim : public WorkDirTest
{
protected:
    void SetUp() override
    {
        if (!ctl.ok())
            GTEST_SKIP() << "test build of kemusb missing";
        ASSERT_EQ(ctl.configure("adapter TRNA701 name=FW\n"), 1);
        ASSERT_EQ(ctl.firmSetup("FW", 0x0102, 0x0305, 4096), 1);
    }

    // A dialog on TRNA701 index 0 with reply times long enough that an
    // answer of the target always comes in time, however loaded the
    // machine (packetMs: the reply time of a data packet).
    std::unique_ptr<QUserDlgFirmUpdate> dialog(int packetMs = kLongWaitMs)
    {
        auto d = std::make_unique<QUserDlgFirmUpdate>();
        d->setWorkerWaits(kLongWaitMs, kLongWaitMs, packetMs);
        chooseText(kid<QComboBox>(d.get(), "comboBox_devType"), "TRNA701");
        return d;
    }

    void connectTo(QUserDlgFirmUpdate &d)
    {
        d.slotConnect();
        ASSERT_TRUE(d.isConnected());
    }

    static constexpr int kLongWaitMs = 10000;

    // Waits for the box that ends an update.
    static bool waitBox(QUserPromptScript &prompts, const char *title, const char *textPart,
                        int ms = 3 * testsupport::kGiveUpMs)
    {
        return devsim::pumpUntil(
            [&] { return hasBox(prompts, QString::fromUtf8(title), QString::fromUtf8(textPart)); }, ms);
    }

    devsim::Controls ctl;
};

} // namespace

TEST_F(DlgFirmUpdateSim, ConnectShowsVersionsAndDisconnectLetsGo)
{
    QUserPromptScript prompts;
    auto d = dialog();
    connectTo(*d);
    EXPECT_EQ(text(*d, "label_devInfo"), QString::fromUtf8("设备信息: 硬件版本:V1.2 固件版本:V3.5"));
    EXPECT_EQ(button(*d, "pushButton_devCon")->text(), QString::fromUtf8("①断开连接"));
    EXPECT_FALSE(kid<QComboBox>(d.get(), "comboBox_devType")->isEnabled());
    EXPECT_FALSE(kid<QComboBox>(d.get(), "comboBox_devIndex")->isEnabled());
    EXPECT_FALSE(button(*d, "pushButton_start")->isEnabled()) << "no package yet";
    EXPECT_EQ(ctl.firmStateOf("FW").updateMode, 1u);

    writePackage("fw.v1.2.3.6.dat", 5000);
    choosePackage(prompts, *d, "fw.v1.2.3.6.dat");
    EXPECT_TRUE(button(*d, "pushButton_start")->isEnabled());
    EXPECT_EQ(button(*d, "pushButton_start")->text(), QString::fromUtf8("③开始"));

    d->slotConnect(); // disconnect
    EXPECT_FALSE(d->isConnected());
    EXPECT_EQ(ctl.firmStateOf("FW").updateMode, 0u) << "the adapter left update mode";
    EXPECT_EQ(ctl.isOpen("FW"), 0);
    EXPECT_TRUE(kid<QComboBox>(d.get(), "comboBox_devType")->isEnabled());
    EXPECT_EQ(text(*d, "label_devInfo"), QString::fromUtf8("设备信息:未知"));
    EXPECT_FALSE(button(*d, "pushButton_start")->isEnabled());
    EXPECT_TRUE(d->packageAccepted());

    // Connecting again reads the versions again.
    ASSERT_EQ(ctl.firmSetup("FW", 0x0102, 0x0400, 4096), 1);
    connectTo(*d);
    EXPECT_EQ(text(*d, "label_devInfo"), QString::fromUtf8("设备信息: 硬件版本:V1.2 固件版本:V4.0"));
    EXPECT_TRUE(button(*d, "pushButton_start")->isEnabled());
}

TEST_F(DlgFirmUpdateSim, ConnectingToAnAbsentAdapterFailsAndTriesAfresh)
{
    QUserPromptScript prompts;
    auto d = dialog();
    kid<QComboBox>(d.get(), "comboBox_devIndex")->setCurrentIndex(5);
    d->slotConnect();
    EXPECT_FALSE(d->isConnected());
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("错误"), QString::fromUtf8("设备打开失败")));
    QFirmUpdateSrv *first = d->worker();
    ASSERT_NE(first, nullptr) << "the worker is kept";
    kid<QComboBox>(d.get(), "comboBox_devIndex")->setCurrentIndex(0);
    d->slotConnect();
    EXPECT_TRUE(d->isConnected());
    EXPECT_NE(d->worker(), nullptr);

    // A target that does not answer the version query (within 1 s).
    d->slotConnect();
    d->setWorkerWaits(1000, kLongWaitMs, kLongWaitMs);
    ASSERT_EQ(ctl.firmFaults("FW", 0, 1, 0, 0, 0, 0, -1), 1);
    d->slotConnect();
    EXPECT_FALSE(d->isConnected());
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("错误"), QString::fromUtf8("升级请求失败")));
}

TEST_F(DlgFirmUpdateSim, UpdatesThroughTheDialog)
{
    QUserPromptScript prompts;
    auto d = dialog();
    connectTo(*d);
    const QByteArray pkg = writePackage("fw.v1.2.3.6.dat", 1024 + 200 * 1024, 4);
    choosePackage(prompts, *d, "fw.v1.2.3.6.dat");
    button(*d, "pushButton_start")->click();
    EXPECT_TRUE(d->isUpdating());
    EXPECT_EQ(button(*d, "pushButton_start")->text(), QString::fromUtf8("③停止"));
    ASSERT_TRUE(waitBox(prompts, "升级完成", "恭喜您升级成功!\r\n请重启设备!!!"));
    EXPECT_FALSE(d->isUpdating());
    EXPECT_EQ(button(*d, "pushButton_start")->text(), QString::fromUtf8("③开始"));
    EXPECT_EQ(kid<QProgressBar>(d.get(), "progressBar_update")->value(), 100);
    EXPECT_TRUE(ctl.firmImageBytes("FW") == pkg.mid(1024));
}

TEST_F(DlgFirmUpdateSim, HardwareMismatchStartsNothing)
{
    QUserPromptScript prompts;
    auto d = dialog();
    connectTo(*d);
    writePackage("fw.v1.1.3.6.dat", 5000);
    choosePackage(prompts, *d, "fw.v1.1.3.6.dat");
    const uint64_t frames = ctl.firmStateOf("FW").frames;
    d->slotStartUpdate();
    EXPECT_TRUE(hasBox(prompts, QString::fromUtf8("警告"), QString::fromUtf8("升级失败，硬件版本不匹配!!!")));
    EXPECT_FALSE(d->isUpdating());
    QThread::msleep(50);
    EXPECT_EQ(ctl.firmStateOf("FW").frames, frames) << "nothing was sent";
}

// The target leaves packet 1001 of 6432 unanswered: the transfer is
// certainly under way, waiting for that answer, when the user stops it.
TEST_F(DlgFirmUpdateSim, StopDuringTheTransfer)
{
    QUserPromptScript prompts;
    ASSERT_EQ(ctl.firmSetup("FW", 0x0102, 0x0305, 32), 1);
    auto d = dialog(1000);
    connectTo(*d);
    ASSERT_EQ(ctl.firmFaults("FW", 1 + 1000, 1, 0, 0, 0, 0, -1), 1); // the start's reply and 1000 packets'
    writePackage("fw.v1.2.3.6.dat", 1024 + 200 * 1024, 5);
    choosePackage(prompts, *d, "fw.v1.2.3.6.dat");
    d->slotStartUpdate();
    auto *bar = kid<QProgressBar>(d.get(), "progressBar_update");
    ASSERT_TRUE(devsim::pumpUntil([&] { return ctl.firmStateOf("FW").packets == 1001 && bar->value() >= 12; },
                                  testsupport::kGiveUpMs));
    d->slotStartUpdate(); // "③停止"
    EXPECT_FALSE(d->isUpdating());
    EXPECT_EQ(button(*d, "pushButton_start")->text(), QString::fromUtf8("③开始")) << "at once";
    ASSERT_TRUE(waitBox(prompts, "错误", "升级失败，升级取消!!!"));
    EXPECT_EQ(ctl.firmStateOf("FW").packets, 1001u) << "no packet after the stop";
    EXPECT_LT(bar->value(), 100);
    // The progress stays until the next run reports.
    const int kept = bar->value();
    EXPECT_GE(kept, 12);
}

// A data packet that fails five times ends the update with a failure box;
// the dialog is ready for another run instead of updating for ever.
TEST_F(DlgFirmUpdateSim, FifthFailedAttemptEndsTheUpdate)
{
    QUserPromptScript prompts;
    auto d = dialog(1000);
    connectTo(*d);
    writePackage("fw.v1.2.3.6.dat", 1024 + 20000, 6);
    choosePackage(prompts, *d, "fw.v1.2.3.6.dat");
    ASSERT_EQ(ctl.firmFaults("FW", 2, 5, 0, 0, 0, 0, -1), 1); // start and packet 0 answered, then silence
    d->slotStartUpdate();
    ASSERT_TRUE(waitBox(prompts, "错误", "升级失败，数据包发送失败!!!"));
    EXPECT_FALSE(d->isUpdating());
    EXPECT_EQ(button(*d, "pushButton_start")->text(), QString::fromUtf8("③开始"));
    EXPECT_FALSE(d->worker()->isBusy());
    // And the next run goes through.
    ASSERT_EQ(ctl.firmFaults("FW", 0, 0, 0, 0, 0, 0, -1), 1);
    d->slotStartUpdate();
    EXPECT_TRUE(waitBox(prompts, "升级完成", "恭喜您升级成功!"));
}

// The package is measured again at the start: one that lost its image since
// it was chosen is refused with a message and nothing is sent.
TEST_F(DlgFirmUpdateSim, PackageShrunkSinceItWasChosenIsRefused)
{
    QUserPromptScript prompts;
    auto d = dialog();
    connectTo(*d);
    writePackage("fw.v1.2.3.6.dat", 5000);
    choosePackage(prompts, *d, "fw.v1.2.3.6.dat");
    for (int size : {1024, 10}) {
        writePackage("fw.v1.2.3.6.dat", size);
        const int boxes = prompts.records().size();
        d->slotStartUpdate();
        EXPECT_FALSE(d->isUpdating()) << size;
        ASSERT_EQ(prompts.records().size(), boxes + 1) << size;
        EXPECT_EQ(prompts.records().last().title, QString::fromUtf8("警告"));
        EXPECT_TRUE(prompts.records().last().text.contains(QString::fromUtf8("文件大小错误!")));
    }
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(ctl.firmStateOf("FW").starts, 0u);
}

// The target leaves packet 701 unanswered, so the transfer is waiting for
// that answer when the user leaves: the run stops there, the packet is not
// tried again and none follows.
TEST_F(DlgFirmUpdateSim, LeavingDuringATransferStopsItAndLetsTheAdapterGo)
{
    ASSERT_EQ(ctl.firmSetup("FW", 0x0102, 0x0305, 32), 1);
    writePackage("fw.v1.2.3.6.dat", 1024 + 200 * 1024, 8);
    for (bool viaExit : {true, false}) {
        SCOPED_TRACE(viaExit ? "exit" : "destruction");
        QUserPromptScript prompts;
        auto d = dialog(1000);
        connectTo(*d);
        ASSERT_EQ(ctl.firmFaults("FW", 1 + 700, 1, 0, 0, 0, 0, -1), 1);
        choosePackage(prompts, *d, "fw.v1.2.3.6.dat");
        const uint64_t before = ctl.firmStateOf("FW").packets;
        d->slotStartUpdate();
        auto *bar = kid<QProgressBar>(d.get(), "progressBar_update");
        ASSERT_TRUE(devsim::pumpUntil(
            [&] { return ctl.firmStateOf("FW").packets == before + 701 && bar->value() >= 10; },
            testsupport::kGiveUpMs));
        if (viaExit) {
            button(*d, "pushButton_cancel")->click();
            EXPECT_EQ(d->worker(), nullptr);
        } else {
            d.reset();
        }
        const auto st = ctl.firmStateOf("FW");
        EXPECT_EQ(st.updateMode, 0u) << "the update-mode request with 0 went out";
        EXPECT_EQ(st.packets, before + 701) << "the transfer stopped";
        EXPECT_EQ(ctl.isOpen("FW"), 0);
    }
}

