#pragma once

#include "console/appsettings.h"
#include "console/consolesettings.h"
#include "console/consolestate.h"
#include "console/endofday.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/scheduler.h"
#include "console/todayschedule.h"
#include "platform/appfolder.h"
#include "platform/logwriter.h"
#include "schedule/scheduleentry.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakemediaplayer.h"
#include "support/fakemixer.h"
#include "support/fakepower.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "zonelink/zonelink.h"

#include <QTemporaryDir>

// The scheduler and the end of the day on a clock the test moves, with the
// frames recorded as they are queued and what reaches the player recorded.
// No window takes part.
class SchedulerRig final
{
public:
    struct Frame
    {
        QString at; // "hh:mm:ss" of the fake clock
        QString name; // "ZoneOpen" …
        int p1 = 0;
        int p2 = 0;
        QString list; // DotList
        bool lineHandling = true;
        QByteArray raw;
        QString text() const; // "ZoneOpen 10 35 1.2."
    };

    explicit SchedulerRig(const QDateTime &start);
    ~SchedulerRig();

    // Writes a week file whose every day holds these entries (or one per day).
    void setWeek(const WeekTables &week);
    void setEveryDay(const DayTable &entries);
    // Loads the day as the start-up does.
    void load();

    // Changes one setting in memory, as a window that saved it would.
    template<class T> void set(T AppSettings::*field, const T &value)
    {
        AppSettings s = settings.values();
        s.*field = value;
        settings.update(s);
    }
    void setDeviceLead(int device, const QString &lead);

    // Sets the clock and runs one automatic tick.
    void tickAt(const QTime &time);
    void tickAt(const QDateTime &moment);
    // Ticks every second from the present moment up to and including until.
    void tickThrough(const QDateTime &until);

    // Opens the link on a working port: frames then take their real time on
    // the wire and complete only as the event loop runs.
    void openLink();

    QStringList framesText(qsizetype from = 0) const;
    QStringList framesAt(const QString &hhmmss) const;

    int slider() const { return volume->value(); }
    QString status() const { return state.equipmentStatus(); }

    QTemporaryDir dir;
    FakeClock clock;
    AppFolder folder;
    MemoryUserStore store;
    ConsoleSettings settings;
    ConsoleState state;
    ProgrammeModel model;
    FakeDialogs dialogs;
    FakeMediaPlayer player;
    FakeMixer mixer;
    FakeSerialPort port; // no device until openLink(): every frame is dropped once recorded
    FakePower power;
    std::unique_ptr<PlaybackEngine> playback;
    std::unique_ptr<MasterVolume> volume;
    std::unique_ptr<ZoneLink> link;
    std::unique_ptr<TodaySchedule> today;
    std::unique_ptr<LogWriter> log;
    std::unique_ptr<Scheduler> scheduler;
    std::unique_ptr<EndOfDay> endOfDay;

    QList<Frame> frames;
    QStringList actions; // "play FILE", "stop", "title T", in order
    QStringList played; // files, in order
    bool ended = false; // the end of the day ended the program
};

ScheduleEntry entry(const char *time, int channel, const QString &file,
                    const char *plen = "00:01:00", const char *zone = "1.2.",
                    const char *amp = "1.", const char *device = "",
                    const QString &detail = QStringLiteral("节目"), int volume = 20000);
