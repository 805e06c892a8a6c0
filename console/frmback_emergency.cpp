#include "console/backgroundwidget.h"
#include "console/console.h"
#include "console/emergencybroadcast.h"
#include "console/frmback.h"
#include "console/playerframe.h"
#include "console/toolbaricons.h"
#include "platform/dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>

void frmback::buildEmergency()
{
    m_emergencyAction = new QAction(ToolbarIcons::icon(QStringLiteral("emergency")),
                                    QStringLiteral("紧急广播"), this);
    m_emergencyAction->setObjectName(QStringLiteral("mnuemergency"));
    m_emergencyAction->setProperty("key", QStringLiteral("emergency"));
    m_emergencyAction->setShortcut(Qt::Key_F9);
    m_emergencyAction->setToolTip(QStringLiteral("紧急广播"));
    connect(m_emergencyAction, &QAction::triggered, this, &frmback::emergencyClicked);
    if (auto *play = findChild<QMenu *>(QStringLiteral("mnuplay"))) {
        play->addSeparator();
        play->addAction(m_emergencyAction);
    }
    tbr1->addSeparator();
    tbr1->addAction(m_emergencyAction);

    // The banner stands over the clock and the player: whoever comes to the
    // console sees at once that the rooms hear the emergency, and how long.
    m_emergencyBanner = new QWidget(imgback);
    m_emergencyBanner->setObjectName(QStringLiteral("emergencyBanner"));
    m_emergencyBanner->setAttribute(Qt::WA_StyledBackground);
    m_emergencyBanner->setStyleSheet(
        QStringLiteral("#emergencyBanner { background: #c81414; } QLabel { color: white; }"
                       " QPushButton { background: white; color: #a00000; font-weight: bold;"
                       " padding: 6px 18px; border-radius: 4px; }"));
    auto *row = new QHBoxLayout(m_emergencyBanner);
    row->setContentsMargins(16, 8, 16, 8);
    m_emergencyText = new QLabel(m_emergencyBanner);
    m_emergencyText->setObjectName(QStringLiteral("emergencyText"));
    QFont bannerFont = m_emergencyText->font();
    bannerFont.setPointSize(20);
    bannerFont.setBold(true);
    m_emergencyText->setFont(bannerFont);
    row->addWidget(m_emergencyText, 1);
    auto *endButton = new QPushButton(QStringLiteral("结束紧急广播"), m_emergencyBanner);
    endButton->setObjectName(QStringLiteral("emergencyEnd"));
    row->addWidget(endButton);
    connect(endButton, &QPushButton::clicked, this, [this] { m_console.emergency().end(); });
    m_emergencyBanner->hide();

    EmergencyBroadcast &emergency = m_console.emergency();
    connect(&emergency, &EmergencyBroadcast::started, this, &frmback::showEmergency);
    connect(&emergency, &EmergencyBroadcast::ended, this, &frmback::showEmergency);
    connect(&m_console, &Console::ticked, this, [this] {
        if (m_console.emergency().active())
            showEmergency();
    });
    showEmergency();
}

void frmback::showEmergency()
{
    const EmergencyBroadcast &emergency = m_console.emergency();
    const bool on = emergency.active();
    m_emergencyAction->setText(on ? QStringLiteral("结束紧急广播") : QStringLiteral("紧急广播"));
    m_emergencyAction->setToolTip(m_emergencyAction->text());
    // The toolbar's caption stays short enough for its button.
    m_emergencyAction->setIconText(on ? QStringLiteral("结束广播") : QStringLiteral("紧急广播"));
    if (on) {
        m_emergencyText->setText(QStringLiteral("紧急广播中　已持续 ") + emergency.elapsedText());
        placeEmergencyBanner();
        m_emergencyBanner->raise();
    }
    m_emergencyBanner->setVisible(on);
}

void frmback::placeEmergencyBanner()
{
    if (!m_emergencyBanner)
        return;
    // Below the user name, left of the player: the clock, the player and
    // the list stay in view (a video picture there gives way to it).
    const int left = lbluser->x();
    const int top = lbluser->geometry().bottom() + 8;
    const int width
        = std::max(fraplayer->x() - left - 16, m_emergencyBanner->minimumSizeHint().width());
    m_emergencyBanner->setGeometry(left, top, width, m_emergencyBanner->sizeHint().height());
}

void frmback::emergencyClicked()
{
    if (m_console.emergency().active()) {
        m_console.emergency().end();
        return;
    }
    // The answer comes later from the event loop; by then a start from the
    // web page may have come first, and start() refuses a second one.
    m_console.dialogs().ask(
        QStringLiteral("确定要开始紧急广播吗？\n全部终端、功放和设备将打开，定时节目暂停。"),
        QStringLiteral("紧急广播"), MsgIcon::Exclamation, MsgButtons::YesNo, this,
        [this](MsgAnswer answer) {
            if (answer == MsgAnswer::Yes)
                m_console.emergency().start();
        });
}
