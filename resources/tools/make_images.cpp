// Draws the program's icon set and the waiting animation into resources/res
// and resources/image. Run by hand after changing a picture:
//   cmake --build <build> --target orvane_make_images && <build>/bin/orvane_make_images resources
// The generated files are committed; the build does not run this tool.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <climits>
#include <cmath>
#include <functional>
#include <vector>

namespace {

const int S = 64;

QImage canvas()
{
    QImage img(S, S, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void badge(QPainter &p, const QColor &c, bool round)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    if (round)
        p.drawEllipse(QRectF(4, 4, 56, 56));
    else
        p.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);
}

void glyph(QPainter &p, const QString &text, int px, const QColor &c = Qt::white)
{
    QFont f("DejaVu Sans");
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRectF(0, 0, S, S), Qt::AlignCenter, text);
}

QPen whitePen(qreal w)
{
    QPen pen(Qt::white, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    return pen;
}

using Painter = std::function<void(QPainter &)>;

struct Icon {
    const char *path;
    Painter paint;
};

const QColor kBlue(43, 87, 154);
const QColor kGreen(48, 160, 72);
const QColor kRed(204, 48, 48);
const QColor kOrange(232, 150, 20);
const QColor kGrey(96, 104, 116);
const QColor kTeal(24, 140, 150);

std::vector<Icon> icons()
{
    return {
        {"res/logo.png", [](QPainter &p) {
             badge(p, kBlue, false);
             p.setPen(whitePen(6));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QRectF(16, 16, 32, 32));
             p.drawLine(QPointF(44, 44), QPointF(52, 52));
         }},
        {"res/chart.png", [](QPainter &p) {
             badge(p, kTeal, false);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawRect(QRectF(14, 34, 8, 16));
             p.drawRect(QRectF(28, 22, 8, 28));
             p.drawRect(QRectF(42, 14, 8, 36));
         }},
        {"res/gear.png", [](QPainter &p) {
             badge(p, kGrey, false);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             QPainterPath path;
             for (int i = 0; i < 8; ++i) {
                 p.save();
                 p.translate(32, 32);
                 p.rotate(i * 45);
                 p.drawRect(QRectF(-4, -22, 8, 10));
                 p.restore();
             }
             p.drawEllipse(QPointF(32, 32), 14, 14);
             p.setBrush(kGrey);
             p.drawEllipse(QPointF(32, 32), 6, 6);
         }},
        {"res/plane.png", [](QPainter &p) {
             badge(p, kBlue, true);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             QPolygonF poly;
             poly << QPointF(14, 30) << QPointF(50, 16) << QPointF(40, 50) << QPointF(32, 38);
             p.drawPolygon(poly);
         }},
        {"res/can.png", [](QPainter &p) {
             badge(p, kBlue, false);
             glyph(p, "CAN", 18);
         }},
        {"res/msg_icon_check.png", [](QPainter &p) {
             badge(p, kGreen, true);
             p.setPen(whitePen(7));
             p.drawPolyline(QPolygonF() << QPointF(18, 33) << QPointF(28, 43) << QPointF(46, 22));
         }},
        {"res/msg_icon_question.png", [](QPainter &p) {
             badge(p, kBlue, true);
             glyph(p, "?", 40);
         }},
        {"res/msg_icon_warning.png", [](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(kOrange);
             QPainterPath tri;
             tri.moveTo(32, 5);
             tri.lineTo(60, 56);
             tri.lineTo(4, 56);
             tri.closeSubpath();
             p.drawPath(tri);
             p.setPen(whitePen(6));
             p.drawLine(QPointF(32, 22), QPointF(32, 38));
             p.drawPoint(QPointF(32, 48));
         }},
        {"res/msg_icon_error.png", [](QPainter &p) {
             badge(p, kRed, true);
             p.setPen(whitePen(7));
             p.drawLine(QPointF(21, 21), QPointF(43, 43));
             p.drawLine(QPointF(43, 21), QPointF(21, 43));
         }},
        {"res/msg_icon_info.png", [](QPainter &p) {
             badge(p, kBlue, true);
             glyph(p, "i", 40);
         }},
        {"res/trash.png", [](QPainter &p) {
             badge(p, kGrey, false);
             p.setPen(whitePen(4));
             p.setBrush(Qt::NoBrush);
             p.drawLine(QPointF(16, 18), QPointF(48, 18));
             p.drawLine(QPointF(27, 13), QPointF(37, 13));
             p.drawRect(QRectF(20, 22, 24, 28));
         }},
        {"res/languageChina.png", [](QPainter &p) {
             badge(p, kRed, false);
             glyph(p, "中", 32, QColor(255, 222, 0));
         }},
        {"res/languageEnglish.png", [](QPainter &p) {
             badge(p, kBlue, false);
             glyph(p, "EN", 24);
         }},
        {"res/arrowDouble.png", [](QPainter &p) {
             badge(p, kTeal, false);
             p.setPen(whitePen(5));
             p.drawLine(QPointF(14, 24), QPointF(48, 24));
             p.drawPolyline(QPolygonF() << QPointF(40, 16) << QPointF(48, 24) << QPointF(40, 32));
             p.drawLine(QPointF(16, 42), QPointF(50, 42));
             p.drawPolyline(QPolygonF() << QPointF(24, 34) << QPointF(16, 42) << QPointF(24, 50));
         }},
        {"res/search.png", [](QPainter &p) {
             badge(p, kBlue, false);
             p.setPen(whitePen(5));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QRectF(14, 14, 26, 26));
             p.drawLine(QPointF(37, 37), QPointF(50, 50));
         }},
        {"res/cal.png", [](QPainter &p) {
             badge(p, kGrey, false);
             glyph(p, "±", 34);
         }},
        {"res/stop.png", [](QPainter &p) {
             badge(p, kRed, true);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawRect(QRectF(22, 22, 20, 20));
         }},
        {"res/cart.png", [](QPainter &p) {
             badge(p, kOrange, false);
             p.setPen(whitePen(4));
             p.setBrush(Qt::NoBrush);
             p.drawPolyline(QPolygonF() << QPointF(12, 16) << QPointF(20, 16) << QPointF(26, 40) << QPointF(48, 40)
                                        << QPointF(52, 24) << QPointF(22, 24));
             p.drawEllipse(QPointF(28, 48), 3, 3);
             p.drawEllipse(QPointF(46, 48), 3, 3);
         }},
        {"res/file.png", [](QPainter &p) {
             badge(p, kTeal, false);
             p.setPen(whitePen(4));
             p.setBrush(Qt::NoBrush);
             p.drawPolygon(QPolygonF() << QPointF(20, 12) << QPointF(38, 12) << QPointF(46, 20) << QPointF(46, 52)
                                       << QPointF(20, 52));
             p.drawLine(QPointF(26, 30), QPointF(40, 30));
             p.drawLine(QPointF(26, 40), QPointF(40, 40));
         }},
        {"res/download.png", [](QPainter &p) {
             badge(p, kGreen, false);
             p.setPen(whitePen(5));
             p.drawLine(QPointF(32, 12), QPointF(32, 40));
             p.drawPolyline(QPolygonF() << QPointF(22, 30) << QPointF(32, 40) << QPointF(42, 30));
             p.drawLine(QPointF(16, 50), QPointF(48, 50));
         }},
        {"res/save.png", [](QPainter &p) {
             badge(p, kBlue, false);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawRect(QRectF(16, 14, 32, 36));
             p.setBrush(kBlue);
             p.drawRect(QRectF(22, 14, 20, 12));
             p.drawRect(QRectF(22, 34, 20, 12));
         }},
        {"res/record.png", [](QPainter &p) {
             badge(p, kGrey, true);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(240, 60, 60));
             p.drawEllipse(QPointF(32, 32), 14, 14);
         }},
        {"res/play.png", [](QPainter &p) {
             badge(p, kGreen, true);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF() << QPointF(25, 18) << QPointF(47, 32) << QPointF(25, 46));
         }},
        {"res/fliter.png", [](QPainter &p) {
             badge(p, kTeal, false);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF() << QPointF(14, 16) << QPointF(50, 16) << QPointF(36, 32) << QPointF(36, 48)
                                       << QPointF(28, 44) << QPointF(28, 32));
         }},
        {"res/toolsMin.png", [](QPainter &p) {
             badge(p, kGrey, false);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             for (int r = 0; r < 2; ++r)
                 for (int c = 0; c < 2; ++c)
                     p.drawRoundedRect(QRectF(16 + c * 18, 16 + r * 18, 14, 14), 3, 3);
         }},
        {"res/devCan.png", [](QPainter &p) {
             badge(p, kBlue, false);
             glyph(p, "FD", 24);
         }},
        {"res/devLin.png", [](QPainter &p) {
             badge(p, kTeal, false);
             glyph(p, "LIN", 18);
         }},
        {"res/devRecord.png", [](QPainter &p) {
             badge(p, kOrange, false);
             glyph(p, "REC", 16);
         }},
        {"res/foldYellow.png", [](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(214, 150, 20));
             p.drawRoundedRect(QRectF(6, 12, 24, 12), 3, 3);
             p.setBrush(QColor(250, 196, 48));
             p.drawRoundedRect(QRectF(6, 18, 52, 36), 5, 5);
         }},
        {"res/canopen.png", [](QPainter &p) {
             badge(p, kGreen, false);
             glyph(p, "CO", 26);
         }},
        {"res/tools.png", [](QPainter &p) {
             badge(p, kBlue, false);
             p.setPen(whitePen(6));
             p.drawLine(QPointF(20, 44), QPointF(40, 24));
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawEllipse(QPointF(42, 22), 9, 9);
             p.setBrush(kBlue);
             p.drawRect(QRectF(40, 12, 5, 9));
             p.setBrush(Qt::white);
             p.drawEllipse(QPointF(19, 45), 5, 5);
         }},
        // The DBC tools: database, project folder, add-to-list branch, the
        // row moves and the row delete.
        {"res/database.png", [](QPainter &p) {
             badge(p, kTeal, false);
             p.setPen(whitePen(4));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QRectF(18, 12, 28, 10));
             p.drawLine(QPointF(18, 17), QPointF(18, 47));
             p.drawLine(QPointF(46, 17), QPointF(46, 47));
             p.drawArc(QRectF(18, 27, 28, 10), 180 * 16, 180 * 16);
             p.drawArc(QRectF(18, 42, 28, 10), 180 * 16, 180 * 16);
         }},
        {"res/fold.png", [](QPainter &p) {
             badge(p, kOrange, false);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             QPainterPath path;
             path.moveTo(14, 20);
             path.lineTo(28, 20);
             path.lineTo(32, 25);
             path.lineTo(50, 25);
             path.lineTo(50, 46);
             path.lineTo(14, 46);
             path.closeSubpath();
             p.drawPath(path);
         }},
        // The CANopen window.
        {"res/restart.png", [](QPainter &p) {
             badge(p, kBlue, true);
             p.setPen(whitePen(5));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(17, 17, 30, 30), 60 * 16, 290 * 16);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF() << QPointF(36, 10) << QPointF(46, 19) << QPointF(33, 23));
         }},
        {"res/lock.png", [](QPainter &p) {
             badge(p, kRed, false);
             p.setPen(whitePen(5));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(21, 12, 22, 24), 0, 180 * 16);
             p.drawLine(QPointF(21, 24), QPointF(21, 30));
             p.drawLine(QPointF(43, 24), QPointF(43, 30));
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawRoundedRect(QRectF(15, 29, 34, 23), 4, 4);
         }},
        {"res/unlock.png", [](QPainter &p) {
             badge(p, kGreen, false);
             p.setPen(whitePen(5));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(29, 8, 22, 24), 0, 180 * 16);
             p.drawLine(QPointF(51, 20), QPointF(51, 27));
             p.drawLine(QPointF(29, 20), QPointF(29, 30));
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawRoundedRect(QRectF(13, 29, 34, 23), 4, 4);
         }},
        {"res/scale.png", [](QPainter &p) {
             badge(p, kTeal, false);
             p.setPen(whitePen(4));
             p.drawLine(QPointF(18, 18), QPointF(46, 46));
             p.drawPolyline(QPolygonF() << QPointF(18, 30) << QPointF(18, 18) << QPointF(30, 18));
             p.drawPolyline(QPolygonF() << QPointF(34, 46) << QPointF(46, 46) << QPointF(46, 34));
         }},
        {"res/branch_open.png", [](QPainter &p) {
             badge(p, kGreen, true);
             p.setPen(whitePen(6));
             p.drawLine(QPointF(32, 18), QPointF(32, 46));
             p.drawLine(QPointF(18, 32), QPointF(46, 32));
         }},
        {"res/branch_close.png", [](QPainter &p) {
             badge(p, kRed, true);
             p.setPen(whitePen(6));
             p.drawLine(QPointF(18, 32), QPointF(46, 32));
         }},
        {"res/Integral.png", [](QPainter &p) {
             // Copy: two sheets, one over the other.
             badge(p, kBlue, false);
             p.setPen(whitePen(4));
             p.setBrush(Qt::NoBrush);
             p.drawRoundedRect(QRectF(14, 14, 24, 28), 3, 3);
             p.setBrush(kBlue);
             p.drawRoundedRect(QRectF(26, 24, 24, 28), 3, 3);
         }},
        {"res/modify.png", [](QPainter &p) {
             // A pencil.
             badge(p, kTeal, false);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF({QPointF(40, 14), QPointF(50, 24), QPointF(26, 48), QPointF(16, 38)}));
             p.drawPolygon(QPolygonF({QPointF(16, 42), QPointF(22, 48), QPointF(13, 51)}));
         }},
        {"res/recycle.png", [](QPainter &p) {
             // Two arrows chasing each other round a circle.
             badge(p, kGrey, true);
             p.setPen(whitePen(5));
             p.setBrush(Qt::NoBrush);
             const QRectF ring(17, 17, 30, 30);
             p.drawArc(ring, 30 * 16, 140 * 16);
             p.drawArc(ring, 210 * 16, 140 * 16);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF({QPointF(12, 30), QPointF(24, 30), QPointF(18, 38)}));
             p.drawPolygon(QPolygonF({QPointF(40, 34), QPointF(52, 34), QPointF(46, 26)}));
         }},
        {"res/key.png", [](QPainter &p) {
             // A key: ring, shaft, two bits.
             p.setPen(QPen(QColor(214, 160, 32), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QRectF(8, 20, 22, 22));
             p.drawLine(QPointF(30, 31), QPointF(56, 31));
             p.drawLine(QPointF(50, 31), QPointF(50, 41));
             p.drawLine(QPointF(42, 31), QPointF(42, 39));
         }},
        {"res/upArrowGreen.png", [](QPainter &p) {
             badge(p, kGreen, true);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF({QPointF(32, 14), QPointF(50, 34), QPointF(14, 34)}));
             p.drawRect(QRectF(26, 33, 12, 16));
         }},
        {"res/downArrowGreen.png", [](QPainter &p) {
             badge(p, kGreen, true);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF({QPointF(32, 50), QPointF(50, 30), QPointF(14, 30)}));
             p.drawRect(QRectF(26, 15, 12, 16));
         }},
        {"res/errRed.png", [](QPainter &p) {
             badge(p, kRed, true);
             p.setPen(whitePen(6));
             p.drawLine(QPointF(21, 21), QPointF(43, 43));
             p.drawLine(QPointF(43, 21), QPointF(21, 43));
         }},
        // Direction cell of a data tab: CAN FD frames, and CAN FD frames with
        // the bit-rate switch.
        {"res/fd.png", [](QPainter &p) {
             badge(p, kTeal, false);
             glyph(p, "FD", 28);
         }},
        {"res/brs.png", [](QPainter &p) {
             badge(p, kOrange, false);
             glyph(p, "BRS", 20);
         }},
        // Icon of a device channel's data tab.
        {"res/usbDev.png", [](QPainter &p) {
             badge(p, kBlue, false);
             p.setPen(whitePen(4));
             p.setBrush(Qt::NoBrush);
             p.drawLine(QPointF(32, 12), QPointF(32, 50));
             p.drawPolygon(QPolygonF() << QPointF(32, 10) << QPointF(27, 18) << QPointF(37, 18));
             p.drawPolyline(QPolygonF() << QPointF(32, 40) << QPointF(20, 30) << QPointF(20, 24));
             p.drawPolyline(QPolygonF() << QPointF(32, 34) << QPointF(44, 26) << QPointF(44, 20));
             p.setBrush(Qt::white);
             p.drawEllipse(QPointF(32, 50), 4, 4);
             p.drawEllipse(QPointF(20, 22), 3, 3);
             p.drawRect(QRectF(41, 16, 6, 6));
         }},
        {"image/Bar.net.png", [](QPainter &p) {
             badge(p, kBlue, false);
             p.setPen(whitePen(3));
             p.setBrush(Qt::white);
             QPointF a(20, 20), b(44, 20), c(32, 44);
             p.drawLine(a, b);
             p.drawLine(b, c);
             p.drawLine(c, a);
             p.drawEllipse(a, 5, 5);
             p.drawEllipse(b, 5, 5);
             p.drawEllipse(c, 5, 5);
         }},
    };
}

// A small GIF89a writer: 16-colour palette, each frame stored with literal
// LZW codes (a clear code every 12 pixels keeps the code width at 5 bits).
class GifWriter
{
public:
    explicit GifWriter(const QVector<QRgb> &palette) : pal(palette) {}

    void frame(const QImage &indexed) { frames.append(indexed); }

    QByteArray bytes(int w, int h, int delayCs) const
    {
        QByteArray out("GIF89a");
        put16(out, w);
        put16(out, h);
        out.append(char(0x80 | 0x30 | 0x03)); // global table, 4 bits colour resolution, 16 entries
        out.append(char(0));
        out.append(char(0));
        for (int i = 0; i < 16; ++i) {
            QRgb c = i < pal.size() ? pal[i] : 0;
            out.append(char(qRed(c)));
            out.append(char(qGreen(c)));
            out.append(char(qBlue(c)));
        }
        // loop forever
        out.append("\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01\x00\x00\x00", 19);
        for (const QImage &f : frames) {
            out.append("\x21\xF9\x04", 3);
            out.append(char(0x09)); // dispose to background, transparent colour present
            put16(out, delayCs);
            out.append(char(0)); // transparent index 0
            out.append(char(0));
            out.append(char(0x2C));
            put16(out, 0);
            put16(out, 0);
            put16(out, w);
            put16(out, h);
            out.append(char(0));
            out.append(char(4)); // minimum code size
            QByteArray lzw = encode(f, w, h);
            for (int i = 0; i < lzw.size(); i += 255) {
                int n = qMin(255, lzw.size() - i);
                out.append(char(n));
                out.append(lzw.mid(i, n));
            }
            out.append(char(0));
        }
        out.append(char(0x3B));
        return out;
    }

private:
    static void put16(QByteArray &b, int v)
    {
        b.append(char(v & 0xFF));
        b.append(char((v >> 8) & 0xFF));
    }

    static QByteArray encode(const QImage &img, int w, int h)
    {
        QByteArray out;
        quint32 acc = 0;
        int bits = 0;
        auto put = [&](int code) {
            acc |= quint32(code) << bits;
            bits += 5;
            while (bits >= 8) {
                out.append(char(acc & 0xFF));
                acc >>= 8;
                bits -= 8;
            }
        };
        const int clear = 16, eoi = 17;
        int run = 0;
        put(clear);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (run == 12) {
                    put(clear);
                    run = 0;
                }
                put(img.pixelIndex(x, y) & 0x0F);
                ++run;
            }
        }
        put(eoi);
        if (bits > 0)
            out.append(char(acc & 0xFF));
        return out;
    }

    QVector<QRgb> pal;
    QList<QImage> frames;
};

void writeLoadingGif(const QString &path)
{
    const int w = 64, h = 64, n = 12;
    QVector<QRgb> pal;
    pal << qRgb(255, 255, 255); // 0: transparent
    for (int i = 1; i < 16; ++i) {
        int t = (i - 1) * 255 / 14; // 1 = full theme blue, 15 = very light
        pal << qRgb(43 + (230 - 43) * t / 255, 87 + (236 - 87) * t / 255, 154 + (246 - 154) * t / 255);
    }
    GifWriter gif(pal);
    for (int f = 0; f < n; ++f) {
        QImage rgb(w, h, QImage::Format_ARGB32);
        rgb.fill(Qt::transparent);
        QPainter p(&rgb);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        for (int k = 0; k < n; ++k) {
            int age = (f - k + n) % n; // 0 = head of the spinner
            int shade = qMin(15, 1 + age * 14 / (n - 1));
            p.setBrush(QColor(pal[shade]));
            qreal a = k * 2 * M_PI / n - M_PI / 2;
            p.drawEllipse(QPointF(32 + 22 * qCos(a), 32 + 22 * qSin(a)), 5, 5);
        }
        p.end();
        QImage idx(w, h, QImage::Format_Indexed8);
        idx.setColorCount(16);
        for (int i = 0; i < 16; ++i)
            idx.setColor(i, pal[i]);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                QRgb c = rgb.pixel(x, y);
                int best = 0;
                if (qAlpha(c) > 0) {
                    int bestD = INT_MAX;
                    for (int i = 1; i < 16; ++i) {
                        int d = qAbs(qRed(c) - qRed(pal[i])) + qAbs(qGreen(c) - qGreen(pal[i]))
                                + qAbs(qBlue(c) - qBlue(pal[i]));
                        if (d < bestD) {
                            bestD = d;
                            best = i;
                        }
                    }
                }
                idx.setPixel(x, y, uint(best));
            }
        gif.frame(idx);
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(gif.bytes(w, h, 8));
}

// The welcome page's picture: the program's name over a bus line with its
// nodes, on a transparent ground.
void writeWelcomeLogo(const QString &path)
{
    const int w = 420, h = 160;
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Badge at the left.
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(8, 20, 96, 96), 20, 20);
    p.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 68), QPointF(88, 68));
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    for (int x : {34, 56, 78}) {
        p.drawRect(QRectF(x - 3, 40, 6, 28));
        p.drawEllipse(QPointF(x, 38), 7, 7);
    }
    // Name and line.
    QFont f("DejaVu Sans");
    f.setPixelSize(58);
    f.setBold(true);
    p.setFont(f);
    p.setPen(kBlue);
    p.drawText(QRectF(122, 14, w - 126, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orvane"));
    f.setPixelSize(20);
    f.setBold(false);
    p.setFont(f);
    p.setPen(kGrey);
    p.drawText(QRectF(124, 88, w - 128, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("CAN  \u00b7  CAN FD"));
    p.setPen(QPen(kTeal, 3));
    p.drawLine(QPointF(124, 132), QPointF(w - 12, 132));
    p.setBrush(kTeal);
    p.setPen(Qt::NoPen);
    for (int x = 150; x < w - 20; x += 64)
        p.drawEllipse(QPointF(x, 132), 5, 5);
    p.end();
    img.save(path, "PNG");
}

// The combo boxes' drop-down arrow: a dark triangle pointing down, drawn at
// twice the size the theme shows it, so it stays sharp on high-DPI screens.
void writeComboArrow(const QString &path)
{
    const int w = 20, h = 12;
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(64, 64, 64));
    p.drawPolygon(QPolygonF() << QPointF(1, 1) << QPointF(w - 1, 1) << QPointF(w / 2.0, h - 1));
    p.end();
    img.save(path, "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir dir(root);
    dir.mkpath("res");
    dir.mkpath("image");
    for (const Icon &icon : icons()) {
        QImage img = canvas();
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        icon.paint(p);
        p.end();
        img.save(dir.filePath(QString::fromLatin1(icon.path)), "PNG");
    }
    writeLoadingGif(dir.filePath("res/loading.gif"));
    writeWelcomeLogo(dir.filePath("res/kemLogo.png"));
    writeComboArrow(dir.filePath("res/comboArrow.png"));
    return 0;
}
