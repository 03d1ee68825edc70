// What the theme style sheet makes visible, drawn in each of the three theme
// colours: a checked tool-bar action looks checked, a combo box shows its
// drop-down arrow, a dialog frame has a line around it.

#include "widgets/Dialog.h"
#include "widgets/QRibbon.h"
#include "tests/support/TempWorkDir.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QMainWindow>
#include <QRegularExpression>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <string>

namespace {

const QString kSheetBlue = QStringLiteral("rgb(43,87,154)");

QColor colourOf(const char *rgbText)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("rgb\\((\\d+),\\s*(\\d+),\\s*(\\d+)\\)")).match(QLatin1String(rgbText));
    return m.hasMatch() ? QColor(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) : QColor();
}

// The application carries the theme in the given colour, as the main
// window's ribbon leaves it.
void applyTheme(const char *colour)
{
    {
        QRibbon scratch;
        qApp->setStyleSheet(QString());
        scratch.setStyleColor(kSheetBlue);
        qApp->setStyleSheet(QString());
    }
    QRibbon ribbon;
    ribbon.setStyleColor(QString::fromLatin1(colour));
}

int pixelsOf(const QImage &img, const QColor &c, const QRect &area = QRect())
{
    const QRect r = area.isNull() ? img.rect() : area & img.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (QColor(img.pixel(x, y)).rgb() == c.rgb())
                ++n;
    return n;
}

int darkPixels(const QImage &img, const QRect &area)
{
    const QRect r = area & img.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (QColor(img.pixel(x, y)).lightness() < 110)
                ++n;
    return n;
}

class ThemeLook : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override { applyTheme(GetParam()); }
    void TearDown() override { qApp->setStyleSheet(QString()); }
    QColor theme() const { return colourOf(GetParam()); }
    TempWorkDir dir;
};

} // namespace

TEST_P(ThemeLook, CheckedToolBarActionsLookChecked)
{
    QMainWindow w;
    QToolBar *bar = new QToolBar(&w);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    w.addToolBar(Qt::RightToolBarArea, bar);
    QAction *record = bar->addAction(QIcon(QStringLiteral(":/res/record.png")), QString::fromUtf8("实时保存"));
    record->setCheckable(true);
    w.resize(300, 300);
    w.show();
    QApplication::processEvents();
    QWidget *button = bar->widgetForAction(record);
    ASSERT_NE(button, nullptr);

    const QImage off = button->grab().toImage();
    const QSize offSize = button->sizeHint();
    record->setChecked(true);
    QApplication::processEvents();
    const QImage on = button->grab().toImage();
    EXPECT_EQ(button->sizeHint(), offSize) << "toggling moves nothing in the tool bar";
    EXPECT_NE(on, off) << "checked and unchecked look different";
    EXPECT_EQ(pixelsOf(off, theme()), 0);
    EXPECT_GE(pixelsOf(on, theme()), button->width() * button->height() / 3)
        << "the theme colour marks the checked action";
}

TEST_P(ThemeLook, ComboBoxesShowADropDownArrow)
{
    QComboBox box;
    box.addItems({QString::fromUtf8("正常发送"), QString::fromUtf8("单次发送")});
    box.resize(140, 26);
    box.show();
    QApplication::processEvents();
    const QImage img = box.grab().toImage();
    // The drop-down area at the right, inside the border.
    const QRect dropDown(img.width() - 18, 3, 16, img.height() - 6);
    EXPECT_GE(darkPixels(img, dropDown), 12) << "an arrow is drawn";
}

TEST_P(ThemeLook, MessageBoxesHaveABorder)
{
    Dialog frame;
    frame.msgDlgCreat(QString::fromUtf8("警告"), QString::fromUtf8("重启生效,确定切换语言?"),
                      QStringLiteral(":/res/msg_icon_warning.png"));
    frame.show();
    QApplication::processEvents();
    const QImage img = frame.grab().toImage();
    ASSERT_GT(img.width(), 10);
    ASSERT_GT(img.height(), 10);
    const int w = img.width();
    const int h = img.height();
    // Every side, away from the corners.
    EXPECT_EQ(pixelsOf(img, theme(), QRect(0, 4, 1, h - 8)), h - 8) << "left";
    EXPECT_EQ(pixelsOf(img, theme(), QRect(w - 1, 4, 1, h - 8)), h - 8) << "right";
    EXPECT_EQ(pixelsOf(img, theme(), QRect(4, h - 1, w - 8, 1)), w - 8) << "bottom";
    EXPECT_EQ(pixelsOf(img, theme(), QRect(4, 0, w - 8, 1)), w - 8) << "top";
}

namespace {
std::string colourName(const ::testing::TestParamInfo<const char *> &info)
{
    static const char *const names[] = {"Blue", "Green", "Red"};
    return names[info.index % 3];
}
} // namespace

INSTANTIATE_TEST_SUITE_P(EachColour, ThemeLook, ::testing::Values(QRibbon::kBlue, QRibbon::kGreen, QRibbon::kRed),
                         colourName);
