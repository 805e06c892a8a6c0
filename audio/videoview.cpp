#include "audio/videoview.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
void prepare(QWidget *w)
{
    // The engine paints the picture; Qt paints only the black behind it.
    w->setAttribute(Qt::WA_NativeWindow);
    w->setAttribute(Qt::WA_DontCreateNativeAncestors);
    QPalette black = w->palette();
    black.setColor(QPalette::Window, Qt::black);
    w->setPalette(black);
    w->setAutoFillBackground(true);
}
} // namespace

VideoView::VideoView(MediaPlayer &player, QWidget *area, QObject *parent)
    : QObject(parent)
    , m_player(&player)
    , m_area(area)
{
    prepare(area);
    auto *screen = new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint);
    screen->setObjectName(QStringLiteral("mp_fullscreen"));
    screen->setWindowTitle(area->window()->windowTitle());
    prepare(screen);
    m_screen = screen;
    if (drawsPictures())
        player.setVideoWindows(area->winId(), screen->winId());
    // The area goes with its window; the engine must not draw into it then.
    connect(area, &QObject::destroyed, this, [this] {
        if (m_player)
            m_player->setVideoWindows(0, 0);
    });
    connect(&player, &MediaPlayer::videoChanged, this, &VideoView::follow);
    follow();
}

VideoView::~VideoView()
{
    if (m_player)
        m_player->setVideoWindows(0, 0);
    delete m_screen; // a window of its own, without a parent
}

bool VideoView::drawsPictures()
{
    return QGuiApplication::platformName() == u"xcb";
}

bool VideoView::isShowingFullScreen() const
{
    return m_screen && m_screen->isVisible();
}

void VideoView::follow()
{
    // A picture is shown while a video plays or pauses, not after it stopped.
    if (!m_player)
        return;
    const bool video = m_player->showsVideo();
    const bool full = video && m_player->isFullScreen();
    if (m_screen) {
        if (full) {
            if (m_area) {
                if (QScreen *screen = m_area->screen())
                    m_screen->setGeometry(screen->geometry());
            }
            m_screen->showFullScreen();
            m_screen->raise();
        } else {
            m_screen->hide();
        }
    }
    if (m_area)
        m_area->setVisible(video && !full);
}
