// The demonstration topology that the run command starts on when no adapter
// is attached: both adapters open with the settings their dialogs offer,
// and their channels receive a live mix at once.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "tests/support/PeerCheck.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"

#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QSet>

namespace {

// The channel dialog as a user leaves it: every channel, offered settings, OK.
int allChannelsOk(QDialog *d)
{
    if (auto *all = d->findChild<QCheckBox *>("checkBox_allChannel"))
        all->setChecked(true);
    auto *ok = d->findChild<QPushButton *>("pushButton_ok");
    if (!ok)
        return 0;
    ok->click();
    return d->result();
}

struct Seen {
    int frames = 0;
    QSet<QString> stdIds, extIds;
    int fd64brs = 0;
    QHash<QString, QSet<QString>> dataById;
};

} // namespace

TEST(DemoTopology, BothAdaptersShowALiveMixAtOnce)
{
    const QString topology = QStringLiteral(ORVANE_SOURCE_DIR_DEFAULT) + "/resources/sim/demo.topology";
    ASSERT_TRUE(QFileInfo::exists(topology));
    if (!QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so"))
        GTEST_SKIP() << "libkemusb.so not built";
    TempWorkDir dir;
    qputenv("KEMUSB_BACKEND", "sim");
    qputenv("KEMUSB_SIM_CONFIG", QFile::encodeName(topology));
    QKemLib::setPathOverride(QString());

    QObject owner;
    QUserDeviceAdapter reg(&owner);
    QHash<QString, Seen> seen;
    QObject::connect(&reg, &QUserDeviceAdapter::receiveMsg, &reg, [&](QString id, QVector<QUserCanMsg> l) {
        Seen &s = seen[id];
        for (const QUserCanMsg &m : l) {
            ++s.frames;
            const QString key = m.idText.trimmed();
            (m.extended ? s.extIds : s.stdIds).insert(key);
            if (m.protocol == 2 && m.lenText == "64")
                ++s.fd64brs;
            s.dataById[key].insert(m.dataText);
        }
    });

    QUserPromptScript prompts;
    prompts.answerExec(allChannelsOk);
    prompts.answerExec(allChannelsOk);
    QStringList fdIds, classicIds;
    ASSERT_EQ(reg.devOpen("USBCANFD2", fdIds), 0);
    ASSERT_EQ(reg.devOpen("USBCAN2", classicIds), 0);
    EXPECT_EQ(fdIds, (QStringList{"USBCANFD2-0-0", "USBCANFD2-0-1"}));
    EXPECT_EQ(classicIds, (QStringList{"USBCAN2-0-0", "USBCAN2-0-1"}));

    // What the nodes send in a second and a half; a loaded machine may take
    // longer to bring it in.
    const auto enough = [&] {
        for (const QString &id : fdIds + classicIds) {
            const Seen &s = seen.value(id);
            int changing = 0;
            for (auto it = s.dataById.begin(); it != s.dataById.end(); ++it)
                changing += it.value().size() > 3;
            if (s.frames <= 100 || s.stdIds.size() < 2 || s.extIds.size() < 1 || changing < 3)
                return false;
        }
        for (const QString &id : fdIds)
            if (seen.value(id).fd64brs <= 10)
                return false;
        return true;
    };
    QTest::qWait(1500);
    EXPECT_TRUE(QTest::qWaitFor(enough, testsupport::kGiveUpMs));

    for (const QString &id : fdIds + classicIds) {
        SCOPED_TRACE(id.toStdString());
        const Seen &s = seen.value(id);
        // Many frames a second, standard and extended identifiers.
        EXPECT_GT(s.frames, 100);
        EXPECT_GE(s.stdIds.size(), 2);
        EXPECT_GE(s.extIds.size(), 1);
        // Data that changes from frame to frame.
        int changing = 0;
        for (auto it = s.dataById.begin(); it != s.dataById.end(); ++it)
            changing += it.value().size() > 3;
        EXPECT_GE(changing, 3);
    }
    for (const QString &id : fdIds)
        EXPECT_GT(seen.value(id).fd64brs, 10) << id.toStdString(); // 64-byte frames with bit-rate switch

    for (const QString &id : fdIds)
        reg.devClose("USBCANFD2", id);
    for (const QString &id : classicIds)
        reg.devClose("USBCAN2", id);
    qunsetenv("KEMUSB_BACKEND");
    qunsetenv("KEMUSB_SIM_CONFIG");
}
