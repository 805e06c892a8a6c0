#pragma once

#include "console/appsettings.h"
#include "console/consoleactions.h"
#include "console/consolestate.h"
#include "console/endofday.h"
#include "console/programmemodel.h"
#include "console/scheduler.h"
#include "console/todayschedule.h"
#include "platform/appfolder.h"
#include "platform/logwriter.h"
#include "schedule/scheduleentry.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"
#include "support/fakepower.h"
#include "support/fakeserialport.h"
#include "support/memoryuserstore.h"
#include "zonelink/zonelink.h"

#include <QTemporaryDir>

// The scheduler and the end of the day on a clock the test moves, with the
// frames recorded as they are queued and the window's actions recorded.
class SchedulerRig final : public ConsoleActions
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
    ~SchedulerRig() override;

    // Writes a week file whose every day holds these entries (or one per day).
    void setWeek(const WeekTables &week);
    void setEveryDay(const DayTable &entries);
    // Loads the day as the start-up does.
    void load();

    // Sets the clock and runs one automatic tick.
    void tickAt(const QTime &time);
    void tickAt(const QDateTime &moment);
    // Ticks every second from the present moment up to and including until.
    void tickThrough(const QDateTime &until);

    QStringList framesText(qsizetype from = 0) const;
    QStringList framesAt(const QString &hhmmss) const;

    // ConsoleActions
    void playsong(const QString &sfilename, const QString &splaylen) override;
    void stopPlayer() override { actions << QStringLiteral("stop"); }
    void setPlayerTitle(const QString &title) override { actions << QStringLiteral("title ") + title; }
    void setManualPlayback(bool on) override { manualPlayback = on; }
    void enterRemoteManualMode() override {}
    void stopForRemote() override {}
    int volumeSliderValue() const override { return slider; }
    void setVolumeSliderValue(int value) override { slider = value; }
    void setEquipmentStatus(const QString &text) override { status = text; }
    void endProgram() override { ended = true; }

    QTemporaryDir dir;
    FakeClock clock;
    AppFolder folder;
    AppSettings settings;
    ConsoleState state;
    ProgrammeModel model;
    FakeDialogs dialogs;
    MemoryUserStore store;
    FakeSerialPort port; // no device: every frame is dropped once recorded
    FakePower power;
    std::unique_ptr<ZoneLink> link;
    std::unique_ptr<TodaySchedule> today;
    std::unique_ptr<LogWriter> log;
    std::unique_ptr<Scheduler> scheduler;
    std::unique_ptr<EndOfDay> endOfDay;

    QList<Frame> frames;
    QStringList actions; // "play FILE", "stop", "title T"
    QStringList played; // files, in order
    int slider = 0;
    bool manualPlayback = true;
    QString status;
    bool ended = false;
};

ScheduleEntry entry(const char *time, int channel, const QString &file, const char *plen = "00:01:00",
                    const char *zone = "1.2.", const char *amp = "1.", const char *device = "",
                    const QString &detail = QStringLiteral("节目"), int volume = 20000);
