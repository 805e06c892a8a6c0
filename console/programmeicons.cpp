#include "console/programmeicons.h"

#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ProgrammeIcons {

QImage image(const QString &key, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    if (key == u"clock3") {
        // A clock face showing three o'clock.
        p.setPen(QPen(QColor(40, 70, 140), 1.4));
        p.setBrush(QColor(235, 242, 255));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(QColor(20, 20, 20), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(8, 3.8));
        p.drawLine(QPointF(8, 8), QPointF(11.8, 8));
    } else if (key == u"checkmark") {
        QPainterPath tick;
        tick.moveTo(2.5, 8.5);
        tick.lineTo(6.5, 12.5);
        tick.lineTo(13.5, 3.5);
        p.setPen(QPen(QColor(20, 140, 40), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
    } else if (key == u"remove") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
        p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
    }
    return img;
}

QIcon icon(const QString &key)
{
    // Pixmaps need a GUI application; a console-only test run gets no icon.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return {};
    static QHash<QString, QIcon> cache;
    auto it = cache.find(key);
    if (it == cache.end()) {
        QIcon ic;
        for (int size : {16, 24, 32})
            ic.addPixmap(QPixmap::fromImage(image(key, size)));
        it = cache.insert(key, ic);
    }
    return *it;
}

} // namespace ProgrammeIcons
