#include "console/toolbaricons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace ToolbarIcons {

namespace {

const QColor kInk(45, 60, 95);

// Everything is drawn on a 32 × 32 grid and scaled.
void page(QPainter &p)
{
    QPainterPath sheet;
    sheet.moveTo(7, 3);
    sheet.lineTo(19, 3);
    sheet.lineTo(25, 9);
    sheet.lineTo(25, 29);
    sheet.lineTo(7, 29);
    sheet.closeSubpath();
    p.setPen(QPen(kInk, 1.4));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setBrush(QColor(220, 228, 240));
    QPainterPath fold;
    fold.moveTo(19, 3);
    fold.lineTo(19, 9);
    fold.lineTo(25, 9);
    p.drawPath(fold);
    p.setPen(QPen(QColor(150, 165, 190), 1.2));
    for (int y : {14, 18, 22})
        p.drawLine(QPointF(10, y), QPointF(22, y));
}

void plusBadge(QPainter &p, QPointF centre, QColor colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(centre, 6.5, 6.5);
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(-3.2, 0), centre + QPointF(3.2, 0));
    p.drawLine(centre + QPointF(0, -3.2), centre + QPointF(0, 3.2));
}

void drawNew(QPainter &p)
{
    page(p);
    plusBadge(p, {23, 23}, QColor(30, 150, 60));
}

void drawOpen(QPainter &p)
{
    p.setPen(QPen(QColor(150, 105, 20), 1.4));
    p.setBrush(QColor(245, 200, 90));
    QPainterPath back;
    back.moveTo(3, 8);
    back.lineTo(12, 8);
    back.lineTo(15, 11);
    back.lineTo(27, 11);
    back.lineTo(27, 26);
    back.lineTo(3, 26);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(252, 222, 130));
    QPainterPath front;
    front.moveTo(3, 26);
    front.lineTo(7, 15);
    front.lineTo(30, 15);
    front.lineTo(27, 26);
    front.closeSubpath();
    p.drawPath(front);
}

void drawSetup(QPainter &p)
{
    const QPointF c(16, 16);
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a = i * M_PI / teeth;
        const double r = i % 2 == 0 ? 13.0 : 10.0;
        const double half = M_PI / teeth / 2.2;
        const QPointF p1 = c + QPointF(r * std::cos(a - half), r * std::sin(a - half));
        const QPointF p2 = c + QPointF(r * std::cos(a + half), r * std::sin(a + half));
        if (i == 0)
            gear.moveTo(p1);
        else
            gear.lineTo(p1);
        gear.lineTo(p2);
    }
    gear.closeSubpath();
    gear.addEllipse(c, 4.5, 4.5);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(QPen(QColor(70, 80, 100), 1.2));
    p.setBrush(QColor(160, 175, 200));
    p.drawPath(gear);
}

void drawClock(QPainter &p)
{
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(240, 246, 255));
    p.drawEllipse(QPointF(16, 16), 13, 13);
    p.setPen(QPen(kInk, 1.2));
    for (int h = 0; h < 12; ++h) {
        const double a = h * M_PI / 6;
        p.drawLine(QPointF(16 + 10.5 * std::sin(a), 16 - 10.5 * std::cos(a)),
                   QPointF(16 + 12 * std::sin(a), 16 - 12 * std::cos(a)));
    }
    p.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 16), QPointF(16, 8));
    p.drawLine(QPointF(16, 16), QPointF(21.5, 19));
    p.setPen(QPen(QColor(200, 40, 40), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 16), QPointF(11, 25));
}

void drawRecord(QPainter &p)
{
    // A microphone on its stand, with a red recording dot.
    p.setPen(QPen(kInk, 1.4));
    p.setBrush(QColor(150, 160, 180));
    p.drawRoundedRect(QRectF(11, 3, 10, 16), 5, 5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(7.5, 8, 17, 16), 180 * 16, 180 * 16);
    p.drawLine(QPointF(16, 24), QPointF(16, 28));
    p.drawLine(QPointF(11, 28.5), QPointF(21, 28.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(215, 30, 30));
    p.drawEllipse(QPointF(26, 6), 4, 4);
}

void drawPlay(QPainter &p)
{
    p.setPen(QPen(QColor(20, 110, 40), 1.4));
    p.setBrush(QColor(40, 170, 70));
    p.drawEllipse(QPointF(16, 16), 13.5, 13.5);
    QPainterPath triangle;
    triangle.moveTo(12.5, 9);
    triangle.lineTo(23.5, 16);
    triangle.lineTo(12.5, 23);
    triangle.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(triangle);
}

void speaker(QPainter &p)
{
    QPainterPath cone;
    cone.moveTo(3, 12);
    cone.lineTo(8, 12);
    cone.lineTo(15, 5);
    cone.lineTo(15, 27);
    cone.lineTo(8, 20);
    cone.lineTo(3, 20);
    cone.closeSubpath();
    p.setPen(QPen(kInk, 1.4, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(QColor(120, 140, 175));
    p.drawPath(cone);
}

void drawVolume(QPainter &p, bool up)
{
    speaker(p);
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(10, 10, 12, 12), -50 * 16, 100 * 16);
    if (up)
        p.drawArc(QRectF(7, 6, 20, 20), -50 * 16, 100 * 16);
    const QPointF c(25, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(up ? QColor(30, 150, 60) : QColor(200, 60, 30));
    p.drawEllipse(c, 6, 6);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-3, 0), c + QPointF(3, 0));
    if (up)
        p.drawLine(c + QPointF(0, -3), c + QPointF(0, 3));
}

void drawDetail(QPainter &p)
{
    p.setPen(QPen(kInk, 1.4));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3, 5, 26, 22));
    for (int i = 0; i < 4; ++i) {
        const double y = 10 + i * 5;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 110, 190));
        p.drawRect(QRectF(6, y - 1.5, 3, 3));
        p.setPen(QPen(QColor(110, 120, 140), 1.6));
        p.drawLine(QPointF(11, y), QPointF(26, y));
    }
}

void drawQuit(QPainter &p)
{
    // The power symbol.
    p.setPen(QPen(QColor(190, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 6, 22, 22), 120 * 16, -300 * 16);
    p.drawLine(QPointF(16, 3.5), QPointF(16, 15));
}

void drawEmergency(QPainter &p)
{
    // A red warning triangle with an exclamation mark.
    QPainterPath triangle;
    triangle.moveTo(16, 3);
    triangle.lineTo(30, 28);
    triangle.lineTo(2, 28);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(150, 10, 10), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(215, 30, 30));
    p.drawPath(triangle);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 11), QPointF(16, 19));
    p.drawPoint(QPointF(16, 24));
}

const QHash<QString, std::function<void(QPainter &)>> &painters()
{
    static const QHash<QString, std::function<void(QPainter &)>> all = {
        {QStringLiteral("new"), drawNew},
        {QStringLiteral("open"), drawOpen},
        {QStringLiteral("setup"), drawSetup},
        {QStringLiteral("clock"), drawClock},
        {QStringLiteral("reccord"), drawRecord},
        {QStringLiteral("play"), drawPlay},
        {QStringLiteral("volup"), [](QPainter &p) { drawVolume(p, true); }},
        {QStringLiteral("voldown"), [](QPainter &p) { drawVolume(p, false); }},
        {QStringLiteral("detail"), drawDetail},
        {QStringLiteral("quit"), drawQuit},
        {QStringLiteral("emergency"), drawEmergency},
    };
    return all;
}

} // namespace

QImage image(const QString &key, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    const auto it = painters().constFind(key);
    if (it == painters().cend())
        return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    (*it)(p);
    return img;
}

QIcon icon(const QString &key)
{
    QIcon ic;
    for (int size : {16, 24, 32, 48})
        ic.addPixmap(QPixmap::fromImage(image(key, size)));
    return ic;
}

} // namespace ToolbarIcons
