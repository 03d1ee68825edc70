// Pictures of the DBC foundation as the windows will show it: a listen table
// with colour cells, a dictionary table with button cells, the chart view
// with its read-out, and the property rows of a message and a signal in the
// info dialog. Run by scripts/screenshots_dbc.sh under Xvfb:
//   orvane_dbc_gallery <output folder>

#include "dbc/QUserButtonDelegate.h"
#include "dbc/QUserChartView.h"
#include "dbc/QUserDbcMsg.h"
#include "dbc/QUserDbcTableDelegate.h"
#include "widgets/QUserDlgInfo.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QTableView>
#include <QThread>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QSplineSeries>
#include <QtCharts/QValueAxis>

#include <cmath>
#include <cstdio>

using namespace QtCharts;

namespace {

QString g_out;
int g_failures = 0;

void settle(int ms = 150)
{
    for (int i = 0; i < ms / 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

void save(QWidget *w, const QString &name)
{
    settle();
    const QPixmap pix = w->grab();
    const QString path = QDir(g_out).filePath(name + ".png");
    if (pix.isNull() || !pix.save(path)) {
        std::fprintf(stderr, "gallery: could not save %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s %dx%d\n", qPrintable(path), pix.width(), pix.height());
}

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

void listenTable()
{
    QStandardItemModel model(4, 6);
    model.setHorizontalHeaderLabels({u("序号"), u("信号名称"), u("信号颜色"), u("图表显示"), u("原始值(Hex)"), u("物理值")});
    const char *names[] = {"转速", "水温", "EngSpeed", "档位"};
    const char *colours[] = {"255,0,0", "0,170,0", "52,152,219", "10,20"};
    for (int r = 0; r < 4; ++r) {
        model.setItem(r, 0, new QStandardItem(QString::number(r)));
        model.setItem(r, 1, new QStandardItem(u(names[r])));
        model.setItem(r, 2, new QStandardItem(u(colours[r])));
        model.setItem(r, 3, new QStandardItem(r % 2 ? u("是") : u("否")));
        model.setItem(r, 4, new QStandardItem(QString::number(0x2710 + r, 16).toUpper()));
        model.setItem(r, 5, new QStandardItem(QString::number(2500.25 + r)));
    }
    QTableView view;
    view.setModel(&model);
    view.setItemDelegateForColumn(2, new QUserDbcTableDelegate(&view));
    view.resize(620, 180);
    view.show();
    save(&view, "dbc_listen_table");
}

void dictionaryTable()
{
    QStandardItemModel model(4, 4);
    model.setHorizontalHeaderLabels({u("索引"), u("名称"), u("写入"), u("读取")});
    const char *rows[][4] = {{"1000", "设备类型", "false:不支持", "true:读取"},
                             {"1017", "生产者心跳时间", "true:写入", "true:读取"},
                             {"6040", "控制字", "true:写入", "false:不支持"},
                             {"6041", "状态字", "false:不支持", "true:a:b"}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            model.setItem(r, c, new QStandardItem(u(rows[r][c])));
    QTableView view;
    view.setModel(&model);
    auto *buttons = new QUserButtonDelegate(&view);
    view.setItemDelegateForColumn(2, buttons);
    view.setItemDelegateForColumn(3, buttons);
    view.resize(520, 180);
    view.show();
    save(&view, "dbc_button_cells");
}

void chartView()
{
    auto *chart = new QChart;
    auto *x = new QValueAxis;
    auto *y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    auto *a = new QSplineSeries;
    a->setName(u("转速"));
    a->setColor(QColor(255, 0, 0));
    auto *b = new QLineSeries;
    b->setName(u("水温"));
    b->setColor(QColor(0, 170, 0));
    for (int i = 0; i <= 60; ++i) {
        a->append(i * 1000, 40 * std::sin(i / 6.0));
        b->append(i * 1000, i - 30);
    }
    chart->addSeries(a);
    chart->addSeries(b);
    for (QAbstractSeries *s : {static_cast<QAbstractSeries *>(a), static_cast<QAbstractSeries *>(b)}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    QUserChartView view(chart);
    view.resize(800, 450);
    view.setAxisXRange(0, 60000);
    view.setAxisYRange(-50, 50);
    view.show();
    settle();
    // A move over the plot makes the read-out, a wheel step zooms in.
    const QPoint p(400, 220);
    QMouseEvent move(QEvent::MouseMove, p, view.viewport()->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    save(&view, "dbc_chart_readout");
    QWheelEvent wheel(QPointF(p), QPointF(view.viewport()->mapToGlobal(p)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    save(&view, "dbc_chart_zoomed");
}

void propertyRows()
{
    QUserDbcMsg m;
    m.strName = u("发动机状态");
    m.nID = 0x98FF0001u;
    m.nSize = 8;
    m.nExtend = 1;
    m.strComment = u("发动机的状态报文");
    QUserDbcSignal s;
    s.msgName = m.strName;
    s.msgId = m.nID;
    s.strName = u("模式");
    s.nStartBit = 24;
    s.nLen = 4;
    s.nFactor = 0.1;
    s.nOffset = -40;
    s.nMin = 0;
    s.nMax = 15;
    s.unit = u("档");
    s.multiplexerType = 1;
    s.multiplexerValue = 3;
    s.valDesPair.insert(0, u("关闭"));
    s.valDesPair.insert(1, u("运行"));
    s.valDesPair.insert(2, u("故障"));
    s.strComment = u("工作模式");
    m.vSignals.append(s);
    m.setFrame(1700000000123LL, "18ff0001", true, "0102030405060708");
    QList<QStringList> rows;
    m.infoRows(rows);
    m.frameInfoRows(rows);
    s.infoRows(rows);

    QUserDlgInfo dlg;
    dlg.dlgInit(u("属性"));
    dlg.infoSet(rows);
    QHBoxLayout *layout = new QHBoxLayout;
    layout->addWidget(&dlg);
    dlg.frameDlg()->setContentLayout(layout, 520, 640);
    dlg.frameDlg()->show();
    save(dlg.frameDlg(), "dbc_property_rows");
    dlg.frameDlg()->hide();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(g_out);
    listenTable();
    dictionaryTable();
    chartView();
    propertyRows();
    return g_failures ? 1 : 0;
}
