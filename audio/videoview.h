#pragma once

#include "platform/mediaplayer.h"
#include <QObject>

#include <QPointer>
#include <QWidget>

// Where a player's pictures appear: a video area inside a window, or a
// window of their own over the whole screen. Both are native windows whose
// ids the player hands to the engine, which draws into them; this object
// shows the one the player's state calls for and hides the other.
//
// Platforms without native windows (the tests' offscreen platform) give the
// player no ids: it then decodes the pictures without drawing them, and the
// areas are still shown and hidden as on a desktop.
class VideoView final : public QObject
{
    Q_OBJECT
public:
    VideoView(MediaPlayer &player, QWidget *area, QObject *parent = nullptr);
    ~VideoView() override;

    QWidget *area() const { return m_area; }
    // The full-screen window, made with the view and hidden until needed.
    QWidget *screenWindow() const { return m_screen; }
    bool isShowingFullScreen() const;

    // Whether the engine can draw into windows of this platform.
    static bool drawsPictures();

private:
    void follow();

    QPointer<MediaPlayer> m_player;
    QPointer<QWidget> m_area;
    QPointer<QWidget> m_screen;
};
