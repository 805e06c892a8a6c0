#include "console/backgroundwidget.h"

#include <QPainter>

BackgroundWidget::BackgroundWidget(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
}

bool BackgroundWidget::setPicture(const QString &path)
{
    QImage picture;
    const bool ok = !path.isEmpty() && picture.load(path);
    m_picture = ok ? picture : QImage();
    update();
    return ok;
}

void BackgroundWidget::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), m_picture);
}

void BackgroundWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Q_EMIT resized();
}
