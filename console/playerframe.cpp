#include "console/playerframe.h"

#include "console/playbackengine.h"
#include "platform/elidedtext.h"
#include "platform/enterpress.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

namespace {
QToolButton *transportButton(QWidget *parent, const QString &name, const QString &caption,
                             QStyle::StandardPixmap icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(caption);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return b;
}
} // namespace

PlayerFrame::PlayerFrame(PlaybackEngine &engine, QWidget *parent)
    : QGroupBox(QStringLiteral("播放器"), parent)
    , m_engine(engine)
{
    setObjectName(QStringLiteral("fraplayer"));
    setStyleSheet(
        QStringLiteral("#fraplayer { background: rgba(255,255,255,215); border: 1px solid #7890b8;"
                       " border-radius: 4px; margin-top: 1.2em; }"
                       "#fraplayer::title { subcontrol-origin: margin; left: 8px; }"));

    // A long file name keeps its start and its extension in view.
    lblsong = new ElidedLabel(Qt::ElideMiddle, this);
    lblsong->setObjectName(QStringLiteral("lblsong"));
    QFont songFont = lblsong->font();
    songFont.setBold(true);
    lblsong->setFont(songFont);
    lblctime = new QLabel(this);
    lblctime->setObjectName(QStringLiteral("lblctime"));
    lblsonglength = new QLabel(this);
    lblsonglength->setObjectName(QStringLiteral("lblsonglength"));
    lblsonglength->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ProgressBarplay = new QProgressBar(this);
    ProgressBarplay->setObjectName(QStringLiteral("ProgressBarplay"));
    ProgressBarplay->setAccessibleName(QStringLiteral("ProgressBarplay"));
    ProgressBarplay->setRange(0, 100);
    ProgressBarplay->setTextVisible(false);
    ProgressBarplay->setMaximumHeight(12);

    auto *mmcplay = new QWidget(this);
    mmcplay->setObjectName(QStringLiteral("mmcplay"));
    m_play = transportButton(mmcplay, QStringLiteral("mmcplay_play"), QStringLiteral("播放"),
                             QStyle::SP_MediaPlay);
    m_pause = transportButton(mmcplay, QStringLiteral("mmcplay_pause"), QStringLiteral("暂停"),
                              QStyle::SP_MediaPause);
    m_stop = transportButton(mmcplay, QStringLiteral("mmcplay_stop"), QStringLiteral("停止"),
                             QStyle::SP_MediaStop);
    auto *transport = new QHBoxLayout(mmcplay);
    transport->setContentsMargins(0, 0, 0, 0);
    transport->addWidget(m_play);
    transport->addWidget(m_pause);
    transport->addWidget(m_stop);

    auto *cmdopen = new QPushButton(QStringLiteral("打开"), this);
    cmdopen->setObjectName(QStringLiteral("cmdopen"));
    auto *cmdhide = new QPushButton(QStringLiteral("隐藏"), this);
    cmdhide->setObjectName(QStringLiteral("cmdhide"));
    // Enter presses the button that has the focus, as in the other windows.
    cmdopen->setAutoDefault(true);
    cmdhide->setAutoDefault(true);
    for (QToolButton *b : {m_play, m_pause, m_stop})
        pressOnEnter(b);

    Slidervol = new QSlider(Qt::Horizontal, this);
    Slidervol->setObjectName(QStringLiteral("Slidervol"));
    Slidervol->setAccessibleName(QStringLiteral("Slidervol"));
    // The designed range, kept when the mixer cannot be opened.
    Slidervol->setRange(0, 32767);
    Slidervol->setSingleStep(1000);
    Slidervol->setPageStep(1000);
    auto *volumeLabel = new QLabel(QStringLiteral("音量"), this);

    auto *grid = new QGridLayout(this);
    grid->addWidget(lblsong, 0, 0, 1, 3);
    grid->addWidget(lblctime, 1, 0, 1, 2);
    grid->addWidget(lblsonglength, 1, 2);
    grid->addWidget(ProgressBarplay, 2, 0, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(mmcplay);
    buttons->addStretch();
    buttons->addWidget(cmdopen);
    buttons->addWidget(cmdhide);
    grid->addLayout(buttons, 3, 0, 1, 3);
    grid->addWidget(volumeLabel, 4, 0);
    grid->addWidget(Slidervol, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    connect(m_play, &QToolButton::clicked, &m_engine, &PlaybackEngine::playClicked);
    connect(m_pause, &QToolButton::clicked, &m_engine, &PlaybackEngine::pauseClicked);
    connect(m_stop, &QToolButton::clicked, &m_engine, &PlaybackEngine::stopAction);
    connect(cmdopen, &QPushButton::clicked, this, &PlayerFrame::openRequested);
    connect(cmdhide, &QPushButton::clicked, this, &PlayerFrame::hideRequested);
    connect(&m_engine, &PlaybackEngine::changed, this, &PlayerFrame::showEngineState);
    showEngineState();
}

void PlayerFrame::showEngineState()
{
    lblsong->setText(m_engine.title());
    lblctime->setText(m_engine.positionText());
    lblsonglength->setText(m_engine.lengthText());
    ProgressBarplay->setValue(m_engine.progress());
    m_play->setEnabled(m_engine.playEnabled());
    m_pause->setEnabled(m_engine.pauseEnabled());
    m_stop->setEnabled(m_engine.stopEnabled());
}
