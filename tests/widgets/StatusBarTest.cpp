#include "widgets/uiStatusBar.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

uiStatusBarInfo info(quint32 txr, quint32 rxr, quint32 txc, quint32 rxc, const QString &dev)
{
    uiStatusBarInfo i;
    i.txRate = txr;
    i.rxRate = rxr;
    i.txCount = txc;
    i.rxCount = rxc;
    i.devInfo = dev;
    return i;
}

QStringList texts(uiStatusBar &bar)
{
    return {bar.form()->label_devInfo->text(), bar.form()->label_txRate->text(), bar.form()->label_rxRate->text(),
            bar.form()->label_txCnt->text(), bar.form()->label_rxCnt->text()};
}

} // namespace

TEST(StatusBar, FormStartsWithItsOwnTexts)
{
    uiStatusBar bar;
    EXPECT_EQ(bar.objectName(), QStringLiteral("uiStatusBar"));
    EXPECT_EQ(bar.size(), QSize(954, 25));
    EXPECT_EQ(texts(bar), (QStringList{QString::fromUtf8("设备信息"), QString::fromUtf8("发送速率:0帧/秒"),
                                       QString::fromUtf8("接收速率:0帧/秒"), QString::fromUtf8("发送帧数:0帧"),
                                       QString::fromUtf8("接收帧数:0帧")}));
    EXPECT_EQ(bar.form()->pushButton_clr->text(), QString::fromUtf8("清空计数"));
    EXPECT_EQ(bar.form()->pushButton_clr->maximumHeight(), 20);
    // All zero with an empty text right after construction: nothing changes.
    bar.statusUpdate(info(0, 0, 0, 0, QString("")));
    EXPECT_EQ(bar.form()->label_txRate->text(), QString::fromUtf8("发送速率:0帧/秒"));
    EXPECT_EQ(bar.form()->label_rxCnt->text(), QString::fromUtf8("接收帧数:0帧"));
}

TEST(StatusBar, EachLabelIsRewrittenOnlyWhenItsValueChanged)
{
    uiStatusBar bar;
    bar.statusUpdate(info(10, 20, 300, 400, "USBCANFD-0-1"));
    EXPECT_EQ(texts(bar), (QStringList{"USBCANFD-0-1", QString::fromUtf8("发送帧率:10帧/秒"),
                                       QString::fromUtf8("接收帧率:20帧/秒"), QString::fromUtf8("发送帧数:300"),
                                       QString::fromUtf8("接收帧数:400")}));

    // Mark every label; an unchanged value must leave the mark in place.
    const struct {
        uiStatusBarInfo in;
        bool rewritten[5];
    } steps[] = {
        {info(10, 20, 300, 400, "USBCANFD-0-1"), {false, false, false, false, false}},
        {info(10, 20, 300, 400, "TRNA701-0-0"), {true, false, false, false, false}},
        {info(11, 20, 300, 400, "TRNA701-0-0"), {false, true, false, false, false}},
        {info(11, 21, 301, 400, "TRNA701-0-0"), {false, false, true, true, false}},
        {info(11, 21, 301, 402, "TRNA701-0-0"), {false, false, false, false, true}},
    };
    QLabel *labels[] = {bar.form()->label_devInfo, bar.form()->label_txRate, bar.form()->label_rxRate,
                        bar.form()->label_txCnt, bar.form()->label_rxCnt};
    for (const auto &s : steps) {
        for (QLabel *l : labels)
            l->setText(QStringLiteral("mark"));
        bar.statusUpdate(s.in);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(labels[i]->text() != QStringLiteral("mark"), s.rewritten[i]) << "label " << i;
    }
}

TEST(StatusBar, ClearShowsZeroCountsWithoutUnitAndButtonSignals)
{
    uiStatusBar bar;
    QSignalSpy spy(&bar, &uiStatusBar::btnClrClick);
    bar.statusUpdate(info(5, 6, 70, 80, "dev"));
    bar.form()->pushButton_clr->click();
    ASSERT_EQ(spy.count(), 1);
    bar.statusUpdate(info(0, 0, 0, 0, "dev"));
    EXPECT_EQ(bar.form()->label_txCnt->text(), QString::fromUtf8("发送帧数:0"));
    EXPECT_EQ(bar.form()->label_rxCnt->text(), QString::fromUtf8("接收帧数:0"));
    EXPECT_EQ(bar.form()->label_txRate->text(), QString::fromUtf8("发送帧率:0帧/秒"));
    bar.statusUpdate(info(4294967295u, 0, 4294967295u, 0, "dev"));
    EXPECT_EQ(bar.form()->label_txCnt->text(), QString::fromUtf8("发送帧数:4294967295"));
}
