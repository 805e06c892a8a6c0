#include "console/endofday.h"

#include "console/appsettings.h"
#include "console/consolestate.h"
#include "console/programmemodel.h"
#include "console/scheduler.h"
#include "console/todayschedule.h"
#include "platform/clock.h"
#include "platform/logwriter.h"
#include "platform/power.h"
#include "schedule/timetext.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QLoggingCategory>

#include <memory>

Q_LOGGING_CATEGORY(lcEndOfDay, "quellon.endofday")

EndOfDay::EndOfDay(const Services &s, QObject *parent)
    : QObject(parent)
    , m_s(s)
{
    timercomm.setObjectName(QStringLiteral("timercomm"));
    timercomm.setInterval(5000);
    Timershutdown.setObjectName(QStringLiteral("Timershutdown"));
    Timershutdown.setInterval(2000);
    connect(&timercomm, &QTimer::timeout, this, &EndOfDay::timercomm_Timer);
    connect(&Timershutdown, &QTimer::timeout, this, &EndOfDay::Timershutdown_Timer);
}

void EndOfDay::start()
{
    timercomm.start();
}

void EndOfDay::stop()
{
    m_stopped = true;
    timercomm.stop();
    Timershutdown.stop();
}

QString EndOfDay::powerOnList(const QString &firstItemTime)
{
    if (firstItemTime.isEmpty())
        return QStringLiteral("05.00.00.");
    return timeDotList(ClockText(TimeValue(firstItemTime) - 5 * 60));
}

void EndOfDay::timercomm_Timer()
{
    if (m_stopped)
        return;
    if (!m_s.settings.AutoShutdown)
        return;
    if (m_s.scheduler.outputsActive() || m_s.state.ManualMode() || m_s.scheduler.AmpLeadSent())
        return;
    const QString now = m_s.clock.now().toString(QStringLiteral("HH:mm:ss"));
    if (!(m_s.today.LastItemTime() < now))
        return;
    timercomm.stop();
    qCInfo(lcEndOfDay) << "the day is over at" << now;
    // The next steps follow once the three closes are on the wire; all the
    // terminals may take more than one frame, and the link answers for a
    // command after its last.
    const QString zero = QStringLiteral("0");
    auto unsent = std::make_shared<int>(0);
    const auto count = [unsent](bool sent) {
        if (!sent)
            ++*unsent;
    };
    m_s.link.sendCommand(CommandCode::ZoneClose, zero, zero, m_s.settings.AllNodeList, this, count);
    m_s.link.sendCommand(CommandCode::DeviceClose, zero, zero, kAllEight, this, count);
    m_s.link.sendCommand(CommandCode::AmpClose, zero, zero, kAllEight, this,
                         [this, count, unsent](bool sent) {
                             count(sent);
                             closedEverything(*unsent == 0);
                         });
}

void EndOfDay::write(int code, const QString &list)
{
    m_s.link.writeCommand(code, QStringLiteral("0"), QStringLiteral("0"), list, this,
                          [code](bool sent) {
                              if (!sent)
                                  qCWarning(lcEndOfDay) << CommandCode::name(code)
                                                        << "did not reach the zone controller";
                          });
}

void EndOfDay::closedEverything(bool allSent)
{
    if (m_stopped)
        return;
    // The day ends all the same: the PC powers off as planned even when the
    // controller could not be told, and the status and the log say so.
    if (allSent) {
        m_s.state.setEquipmentStatus(QStringLiteral("外设状态：功放和分区控制已关闭"));
    } else {
        qCWarning(lcEndOfDay) << "the switch-off did not reach the zone controller";
        m_s.state.setEquipmentStatus(QStringLiteral("外设状态：关闭命令未能发送到分区控制器"));
    }
    // Tomorrow's schedule is loaded by giving its date; the system clock stays as it is.
    m_s.model.clear();
    m_s.today.LoadTodaySchedule(m_s.clock.now().date().addDays(1));
    const QString list = powerOnList(m_s.today.FirstItemTime());
    if (m_s.settings.AutoSetPowerOnTime)
        write(CommandCode::PowerOnTimeSet, list);
    qCInfo(lcEndOfDay) << "power on tomorrow at" << list << "- shutting down in 80 s";
    Timershutdown.start();
}

void EndOfDay::Timershutdown_Timer()
{
    if (m_stopped)
        return;
    ++ShutdownTicks;
    if (ShutdownTicks == 30) {
        write(CommandCode::ShutdownNotice, QString());
        m_s.state.setEquipmentStatus(QStringLiteral("外设状态：即将关闭计算机"));
    } else if (ShutdownTicks == 35) {
        write(CommandCode::ClockSet,
              timeDotList(m_s.clock.now().toString(QStringLiteral("HH:mm:ss"))));
    } else if (ShutdownTicks == 40) {
        Timershutdown.stop();
        m_s.log.writeLog(QStringLiteral(",系统正常关机!"));
        m_s.power.powerOff();
        Q_EMIT programEnds();
    }
}
