#include "schedulerrig.h"

#include "schedule/schedulefile.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"

#include <QLoggingCategory>

QString SchedulerRig::Frame::text() const
{
    return QStringLiteral("%1 %2 %3 %4").arg(name).arg(p1).arg(p2).arg(list);
}

ScheduleEntry entry(const char *time, int channel, const QString &file, const char *plen,
                    const char *zone, const char *amp, const char *device, const QString &detail,
                    int volume)
{
    return ScheduleEntry {QString::fromLatin1(time),
                          qint16(channel),
                          detail,
                          file,
                          qint16(volume),
                          QString::fromLatin1(plen),
                          QString::fromLatin1(zone),
                          QString::fromLatin1(amp),
                          QString::fromLatin1(device)};
}

SchedulerRig::SchedulerRig(const QDateTime &start)
    : clock(start)
    , folder(dir.path())
    , settings(store, folder)
{
    // The link is down on purpose: frames are recorded when queued and then
    // dropped, so a simulated day runs at full speed.
    QLoggingCategory::setFilterRules(QStringLiteral("quellon.*=false"));
    playback = std::make_unique<PlaybackEngine>(player, settings.values());
    volume = std::make_unique<MasterVolume>(mixer, dialogs);
    link = std::make_unique<ZoneLink>(port, store, dialogs);
    QObject::connect(link.get(), &ZoneLink::frameQueued, link.get(),
                     [this](const QByteArray &bytes, bool lines) {
                         FrameDecoder decoder;
                         for (const auto &piece : decoder.feed(bytes)) {
                             if (!piece.isFrame)
                                 continue;
                             QString list;
                             for (int v : piece.frame.values)
                                 list += QString::number(v) + u'.';
                             frames.append({clock.now().toString(QStringLiteral("HH:mm:ss")),
                                            CommandCode::name(piece.frame.code), piece.frame.p1,
                                            piece.frame.p2, list, lines, piece.frame.raw});
                         }
                     });
    AppSettings s;
    s.WeekFilePath = dir.filePath(QStringLiteral("week.txt"));
    s.VolumeAdjustTime = QStringLiteral("33:33");
    s.AllNodeList = QStringLiteral("1.2.3.17.");
    for (int n = 1; n <= 8; ++n) {
        s.SourceFrequency[std::size_t(n)] = qint16(870 + 10 * n); // 88.0, 89.0 … MHz
        s.DeviceLeadTime[std::size_t(n)] = QStringLiteral("00:00:00");
    }
    settings.update(s);
    today = std::make_unique<TodaySchedule>(folder, settings.values(), state, model, dialogs);
    log = std::make_unique<LogWriter>(folder, clock, dialogs);
    scheduler = std::make_unique<Scheduler>(Scheduler::Services {
        clock, settings, state, model, *today, *link, *playback, *volume, *log, dialogs});
    endOfDay = std::make_unique<EndOfDay>(EndOfDay::Services {
        clock, settings.values(), state, model, *today, *scheduler, *link, *log, power});

    QObject::connect(scheduler.get(), &Scheduler::filePlayed, scheduler.get(),
                     [this](const QString &file) {
                         actions << QStringLiteral("play ") + file;
                         played << file;
                     });
    QObject::connect(&player, &FakeMediaPlayer::called, &player, [this](const QString &call) {
        if (call == u"stop")
            actions << QStringLiteral("stop");
    });
    QObject::connect(playback.get(), &PlaybackEngine::titleSet, playback.get(),
                     [this](const QString &title) { actions << QStringLiteral("title ") + title; });
    QObject::connect(endOfDay.get(), &EndOfDay::programEnds, endOfDay.get(),
                     [this] { ended = true; });
}

SchedulerRig::~SchedulerRig() = default;

void SchedulerRig::setDeviceLead(int device, const QString &lead)
{
    AppSettings s = settings.values();
    s.DeviceLeadTime[std::size_t(device)] = lead;
    settings.update(s);
}

void SchedulerRig::openLink()
{
    port.devices.insert(QStringLiteral("/dev/ttyS0"));
    link->OpenZonePort(QStringLiteral("com1"));
}

void SchedulerRig::setWeek(const WeekTables &week)
{
    ScheduleFile::writeWeekFile(settings.values().WeekFilePath, week);
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
    today->startOver();
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
