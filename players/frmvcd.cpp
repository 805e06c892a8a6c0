#include "players/frmvcd.h"

#include "audio/videoview.h"
#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "platform/mediaplayer.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
QPushButton *transportButton(QWidget *parent, const QString &name, const QString &caption,
                             QStyle::StandardPixmap icon)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setIcon(parent->style()->standardIcon(icon));
    // Enter presses the focused button, as on every button of the window.
    b->setAutoDefault(true);
    return b;
}
} // namespace

frmvcd::frmvcd(Dialogs &dialogs, const AppFolder &folder, MediaPlayer &player, QWidget *parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_folder(folder)
    , m_player(&player)
{
    setObjectName(u"frmvcd"_s);
    setWindowTitle(u"VCD播放器"_s);
    buildControls();
    // The picture is drawn inside picvcd.
    m_view = new VideoView(player, m_video, this);
    connect(m_player, &MediaPlayer::playingChanged, this, &frmvcd::showState);
    connect(m_player, &MediaPlayer::endOfStream, this, [this] {
        m_paused = false;
        showState();
    });
    connect(m_player, &MediaPlayer::failed, this, [this](const QString &reason) {
        // The device keeps its error; the window shows it in the control.
        m_error = u"无法播放："_s + reason;
        m_file.clear();
        m_paused = false;
        showState();
    });
    showState();
}

frmvcd::~frmvcd() = default;

void frmvcd::buildControls()
{
    picvcd = new QFrame(this);
    picvcd->setObjectName(u"picvcd"_s);
    picvcd->setAccessibleName(u"picvcd"_s);
    picvcd->setFrameShape(QFrame::StyledPanel);
    picvcd->setStyleSheet(u"#picvcd { background: black; }"_s);
    // A VCD picture is 352 by 288 (PAL) or 240 (NTSC) and shown at 4:3.
    picvcd->setMinimumSize(352, 264);
    m_video = new QWidget(picvcd);
    m_video->setObjectName(u"picvcd_video"_s);
    auto *pictureLayout = new QVBoxLayout(picvcd);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->addWidget(m_video);

    auto *mmcvcd = new QWidget(this);
    mmcvcd->setObjectName(u"mmcvcd"_s);
    m_play = transportButton(mmcvcd, u"mmcvcd_play"_s, u"播放"_s, QStyle::SP_MediaPlay);
    m_pause = transportButton(mmcvcd, u"mmcvcd_pause"_s, u"暂停"_s, QStyle::SP_MediaPause);
    m_stop = transportButton(mmcvcd, u"mmcvcd_stop"_s, u"停止"_s, QStyle::SP_MediaStop);
    m_errorLabel = new QLabel(mmcvcd);
    m_errorLabel->setObjectName(u"mmcvcd_error"_s);
    m_errorLabel->setStyleSheet(u"color: #b00000;"_s);
    m_errorLabel->setWordWrap(true);
    auto *transport = new QGridLayout(mmcvcd);
    transport->setContentsMargins(0, 0, 0, 0);
    transport->addWidget(m_play, 0, 0);
    transport->addWidget(m_pause, 0, 1);
    transport->addWidget(m_stop, 0, 2);
    transport->setColumnStretch(3, 1);
    transport->addWidget(m_errorLabel, 1, 0, 1, 4);
    connect(m_play, &QPushButton::clicked, this, &frmvcd::playClicked);
    connect(m_pause, &QPushButton::clicked, this, &frmvcd::pauseClicked);
    connect(m_stop, &QPushButton::clicked, this, &frmvcd::stopClicked);

    cmdopen = new QPushButton(u"打开"_s, this);
    cmdopen->setObjectName(u"cmdopen"_s);
    cmdopen->setAutoDefault(true);
    connect(cmdopen, &QPushButton::clicked, this, &frmvcd::cmdopen_Click);

    auto *row = new QHBoxLayout;
    row->addWidget(mmcvcd, 1);
    row->addWidget(cmdopen, 0, Qt::AlignTop);
    auto *column = new QVBoxLayout(this);
    column->addWidget(picvcd, 1);
    column->addLayout(row);

    setTabOrder(m_play, m_pause);
    setTabOrder(m_pause, m_stop);
    setTabOrder(m_stop, cmdopen);
    cmdopen->setFocus();
    resize(480, 420);
}

void frmvcd::showState()
{
    const bool playing = m_player->isPlaying();
    m_play->setEnabled(!m_file.isEmpty() && !playing);
    m_pause->setEnabled(playing);
    m_stop->setEnabled(playing || m_paused);
    m_errorLabel->setText(m_error);
    m_errorLabel->setVisible(!m_error.isEmpty());
}

void frmvcd::cmdopen_Click()
{
    const QString path = m_dialogs.openFileName(u"请选择一个VCD文件"_s, m_folder.file(u"\\song"_s),
                                                u"VCD格式文件(*.dat)|*.dat"_s, QString(), this);
    if (path.isEmpty())
        return;
    m_error.clear();
    m_file = path;
    // Opened and held at its first picture: the operator starts it with Play.
    m_player->loadAndPlay(path);
    m_player->pause();
    m_paused = true;
    showState();
}

void frmvcd::playClicked()
{
    if (m_file.isEmpty())
        return;
    m_paused = false;
    m_player->play();
    showState();
}

void frmvcd::pauseClicked()
{
    if (!m_player->isPlaying())
        return;
    m_player->pause();
    m_paused = true;
    showState();
}

void frmvcd::stopClicked()
{
    m_player->stop();
    m_paused = false;
    showState();
}

void frmvcd::closeEvent(QCloseEvent *event)
{
    m_player->stop();
    m_paused = false;
    event->accept();
}

void frmvcd::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
