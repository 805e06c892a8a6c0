#pragma once

#include <QImage>
#include <QWidget>

// The client area of the main window: the background picture stretched over
// the whole area, with the window's controls placed on top of it.
class BackgroundWidget final : public QWidget
{
    Q_OBJECT
public:
    explicit BackgroundWidget(QWidget *parent = nullptr);

    // Shows the picture at path; an unreadable picture leaves the area empty
    // and returns false.
    bool setPicture(const QString &path);
    bool hasPicture() const { return !m_picture.isNull(); }

Q_SIGNALS:
    void resized();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QImage m_picture;
};
