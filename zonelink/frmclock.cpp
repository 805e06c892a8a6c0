#include "zonelink/frmclock.h"

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/power.h"
#include "platform/timepicker.h"
#include "zonelink/controllerclock.h"
#include "zonelink/zonelink.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

frmclock::frmclock(const Services &services, QWidget *parent)
    : QWidget(parent)
    , m_s(services)
{
    setObjectName(QStringLiteral("frmclock"));
    setWindowTitle(QStringLiteral("调整系统时间"));

    // One Tab stop; the arrow keys move between its parts.
    DTPicker1 = new DateTimePicker(this);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setAccessibleName(QStringLiteral("DTPicker1"));
    DTPicker1->setDisplayFormat(QStringLiteral("yyyy年MM月dd日 HH时mm分ss秒"));
    DTPicker1->setCalendarPopup(true);
    QFont pickerFont = DTPicker1->font();
    pickerFont.setPointSize(pickerFont.pointSize() + 4);
    DTPicker1->setFont(pickerFont);
    chkadjtime = new QCheckBox(QStringLiteral("调整时钟"), this);
    chkadjtime->setObjectName(QStringLiteral("chkadjtime"));
    cmdok = new QPushButton(QStringLiteral("确 定"), this);
    cmdok->setObjectName(QStringLiteral("cmdok"));
    cmdok->setEnabled(false);
    cmdquit = new QPushButton(QStringLiteral("退 出"), this);
    cmdquit->setObjectName(QStringLiteral("cmdquit"));
    // Enter presses the button that has the focus, as in a dialog.
    cmdok->setAutoDefault(true);
    cmdquit->setAutoDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(chkadjtime);
    buttons->addStretch();
    buttons->addWidget(cmdok);
    buttons->addWidget(cmdquit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(DTPicker1);
    layout->addLayout(buttons);
    setTabOrder(DTPicker1, chkadjtime);
    setTabOrder(chkadjtime, cmdok);
    setTabOrder(cmdok, cmdquit);
    setMinimumWidth(380);

    tmrclock = new QTimer(this);
    tmrclock->setObjectName(QStringLiteral("tmrclock"));
    tmrclock->setInterval(500);
    connect(tmrclock, &QTimer::timeout, this, &frmclock::tmrclock_Timer);
    connect(chkadjtime, &QCheckBox::toggled, this, &frmclock::chkadjtime_Click);
    connect(cmdok, &QPushButton::clicked, this, &frmclock::cmdok_Click);
    connect(cmdquit, &QPushButton::clicked, this, &QWidget::close);
    tmrclock_Timer();
    tmrclock->start();
    cmdquit->setFocus();
}

QString frmclock::refusedText()
{
    return QStringLiteral("系统没有接受新的日期和时间，计算机的时钟没有改变，"
                          "分区控制器的时钟也没有改变。\n"
                          "请检查本程序是否有设置时间的权限，或是否开启了自动网络对时。");
}

void frmclock::tmrclock_Timer()
{
    DTPicker1->setDateTime(m_s.clock.now());
}

void frmclock::chkadjtime_Click()
{
    // While adjusting, the picker holds still and "确 定" may set it.
    const bool adjusting = chkadjtime->isChecked();
    if (adjusting)
        tmrclock->stop();
    else
        tmrclock->start();
    cmdok->setEnabled(adjusting && !m_waiting);
}

void frmclock::cmdok_Click()
{
    if (m_waiting)
        return;
    const QDateTime moment = DTPicker1->dateTime();
    // Date and time go to the system in one step, so a change at midnight
    // cannot land between them. When the system refuses, the controller is
    // not told either: the two clocks never disagree silently. The system
    // answers later; until then "确 定" waits and everything else goes on.
    m_waiting = true;
    cmdok->setEnabled(false);
    const Services s = m_s;
    const QPointer<frmclock> window(this);
    // The answer is acted on even when the window was closed meanwhile, so
    // that the controller follows the PC: it belongs to the link, which
    // lives as long as the console.
    s.power.setSystemDateTime(moment, &s.link, [s, window, moment](bool accepted) {
        if (window) {
            window->m_waiting = false;
            window->cmdok->setEnabled(window->chkadjtime->isChecked());
        }
        if (!accepted) {
            // The answer is no command of the operator's: a notice, which
            // does not hold up the event loop.
            s.dialogs.notify(refusedText(), QStringLiteral("调整系统时间"), MsgIcon::Error,
                             window.data());
            return;
        }
        // The controller follows; the console hears of it and reloads today's list.
        ControllerClock(s.link).followSystemClock(moment, s.saved);
        if (window)
            window->close();
    });
}

void frmclock::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
