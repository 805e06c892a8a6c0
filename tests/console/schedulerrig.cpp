#include "schedulerrig.h"

#include "schedule/schedulefile.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"

#include <QLoggingCategory>

QString SchedulerRig::Frame::text() const
{
    return QStringLiteral("%1 %2 %3 %4").arg(name).arg(p1).arg(p2).arg(list);
}

ScheduleEntry entry(const char *time, int channel, const QString &file, const char *plen, const char *zone,
                    const char *amp, const char *device, const QString &detail, int volume)
{
    return ScheduleEntry {QString::fromLatin1(time), qint16(channel), detail, file, qint16(volume),
                          QString::fromLatin1(plen), QString::fromLatin1(zone), QString::fromLatin1(amp),
                          QString::fromLatin1(device)};
}

SchedulerRig::SchedulerRig(const QDateTime &start)
    : clock(start)
    , folder(dir.path())
{
    // The link is down on purpose: frames are recorded when queued and then
    // dropped, so a simulated day runs at full speed.
    QLoggingCategory::setFilterRules(QStringLiteral("quellon.*=false"));
    link = std::make_unique<ZoneLink>(port, store, dialogs);
    QObject::connect(link.get(), &ZoneLink::frameQueued, link.get(), [this](const QByteArray &bytes, bool lines) {
        FrameDecoder decoder;
        for (const auto &piece : decoder.feed(bytes)) {
            if (!piece.isFrame)
                continue;
            QString list;
            for (int v : piece.frame.values)
                list += QString::number(v) + u'.';
            frames.append({clock.now().toString(QStringLiteral("HH:mm:ss")), CommandCode::name(piece.frame.code),
                           piece.frame.p1, piece.frame.p2, list, lines, piece.frame.raw});
        }
    });
    settings.WeekFilePath = dir.filePath(QStringLiteral("week.txt"));
    settings.VolumeAdjustTime = QStringLiteral("33:33");
    settings.AllNodeList = QStringLiteral("1.2.3.17.");
    for (int n = 1; n <= 8; ++n) {
        settings.SourceFrequency[std::size_t(n)] = qint16(870 + 10 * n); // 88.0, 89.0 … MHz
        settings.DeviceLeadTime[std::size_t(n)] = QStringLiteral("00:00:00");
    }
    today = std::make_unique<TodaySchedule>(folder, settings, state, model, dialogs);
    log = std::make_unique<LogWriter>(folder, clock, dialogs);
    scheduler = std::make_unique<Scheduler>(
        Scheduler::Services {clock, settings, state, model, *today, *link, *this, *log, dialogs});
    endOfDay = std::make_unique<EndOfDay>(EndOfDay::Services {clock, settings, state, model, *today, *scheduler,
                                                              *link, *this, *log, power});
}

SchedulerRig::~SchedulerRig() = default;

void SchedulerRig::setWeek(const WeekTables &week)
{
    ScheduleFile::writeWeekFile(settings.WeekFilePath, week);
}

void SchedulerRig::setEveryDay(const DayTable &entries)
{
    WeekTables week;
    for (DayTable &day : week)
        day = entries;
    setWeek(week);
}

void SchedulerRig::load()
{
    model.clear();
    today->LoadTodaySchedule(clock.now().date());
    state.CurrentIndex = 0;
}

void SchedulerRig::tickAt(const QTime &time)
{
    tickAt(QDateTime(clock.now().date(), time));
}

void SchedulerRig::tickAt(const QDateTime &moment)
{
    clock.set(moment);
    scheduler->tick();
}

void SchedulerRig::tickThrough(const QDateTime &until)
{
    while (clock.now() < until)
        tickAt(clock.now().addSecs(1));
}

QStringList SchedulerRig::framesText(qsizetype from) const
{
    QStringList texts;
    for (qsizetype i = from; i < frames.size(); ++i)
        texts << frames.at(i).text();
    return texts;
}

QStringList SchedulerRig::framesAt(const QString &hhmmss) const
{
    QStringList texts;
    for (const Frame &f : frames) {
        if (f.at == hhmmss)
            texts << f.text();
    }
    return texts;
}

void SchedulerRig::playsong(const QString &sfilename, const QString &)
{
    actions << QStringLiteral("play ") + sfilename;
    played << sfilename;
}
