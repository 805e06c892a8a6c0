// The cost of one scheduler tick with 10,000 rows in today's list.
// Prints the median, 95th percentile and slowest tick over a stretch of the
// day, and the first tick, which passes over every row already gone by.

#include "console/appsettings.h"
#include "console/consolesettings.h"
#include "console/consolestate.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/scheduler.h"
#include "console/todayschedule.h"
#include "platform/appfolder.h"
#include "platform/clock.h"
#include "platform/logwriter.h"
#include "platform/mediaplayer.h"
#include "platform/mixer.h"
#include "platform/serialport.h"
#include "platform/userstore.h"
#include "schedule/schedulefile.h"
#include "support/fakedialogs.h"
#include "zonelink/zonelink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {
class SetClock final : public Clock
{
public:
    QDateTime now() const override { return moment; }
    QDateTime moment;
};
// A port that never opens: frames are built, queued and dropped, as when the
// controller is away. The bytes on the wire are not what this measures.
class ClosedPort final : public SerialPort
{
public:
    OpenResult open(const QString &) override { return OpenResult::NoSuchDevice; }
    void close() override { }
    bool isOpen() const override { return false; }
    QString errorText() const override { return {}; }
    qint64 write(const QByteArray &) override { return -1; }
    qint64 pendingOutput() const override { return 0; }
    qint64 bytesAvailable() const override { return 0; }
    QByteArray readAll() override { return {}; }
    void clearInput() override { }
    bool setRequestToSend(bool) override { return false; }
    bool setDataTerminalReady(bool) override { return false; }
};
class NoStore final : public UserStore
{
public:
    QString value(const QString &, const QString &, const QString &d) const override { return d; }
    void setValue(const QString &, const QString &, const QString &) override { }
};
class SilentPlayer final : public MediaPlayer
{
public:
    void loadAndPlay(const QString &) override { }
    bool hasSource() const override { return false; }
    void play() override { }
    void pause() override { }
    void stop() override { }
    bool isPlaying() const override { return false; }
    double positionSeconds() const override { return 0; }
    double durationSeconds() const override { return 0; }
    void setFullScreen(bool) override { }
    bool isFullScreen() const override { return false; }
};
class NoMixer final : public Mixer
{
public:
    int open() override { return -1; }
    std::optional<Range> speakerRange() const override { return {}; }
    std::optional<Range> micRange() const override { return {}; }
    bool setSpeakerVolume(long) override { return false; }
    bool setMicVolume(long) override { return false; }
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("quellon.*=false"));
    QTextStream out(stdout);
    constexpr int rows = 10000;
    QTemporaryDir dir;
    const QDate day(2026, 12, 7);
    DayTable today;
    for (int i = 0; i < rows; ++i) {
        const int second = int(qint64(i) * 86000 / rows);
        today.append({QTime(0, 0).addSecs(second).toString(QStringLiteral("HH:mm:ss")),
                      qint16(1 + i % 8), QStringLiteral("节目"),
                      QStringLiteral("/srv/%1.mp3").arg(i), 20000, QStringLiteral("00:00:05"),
                      QStringLiteral("1.2.3.4.5.6.7.8.9.10."), QStringLiteral("1."),
                      QStringLiteral("2.")});
    }
    WeekTables week;
    week[0] = today;
    NoStore store;
    const AppFolder folder(dir.path());
    ConsoleSettings settings(store, folder);
    AppSettings values;
    values.WeekFilePath = dir.filePath(QStringLiteral("week.txt"));
    ScheduleFile::writeWeekFile(values.WeekFilePath, week);
    values.AllNodeList = QStringLiteral("1.2.3.");
    settings.update(values);
    SetClock clock;
    clock.moment = QDateTime(day, QTime(9, 0));
    ConsoleState state;
    ProgrammeModel model;
    FakeDialogs dialogs;
    ClosedPort port;
    SilentPlayer player;
    NoMixer mixer;
    PlaybackEngine playback(player, settings.values());
    MasterVolume volume(mixer, dialogs);
    ZoneLink link(port, store, dialogs);
    TodaySchedule schedule(folder, settings.values(), state, model, dialogs);
    LogWriter log(folder, clock, dialogs);
    Scheduler scheduler(
        {clock, settings, state, model, schedule, link, playback, volume, log, dialogs});
    int plays = 0;
    QObject::connect(&scheduler, &Scheduler::filePlayed, &scheduler, [&plays] { ++plays; });
    schedule.LoadTodaySchedule(day);

    QElapsedTimer t;
    t.start();
    scheduler.tick();
    const double first = t.nsecsElapsed() / 1000.0;

    QList<double> us;
    constexpr int ticks = 3600; // an hour of the day, every second
    for (int i = 1; i <= ticks; ++i) {
        clock.moment = clock.moment.addSecs(1);
        t.restart();
        scheduler.tick();
        us.append(t.nsecsElapsed() / 1000.0);
    }
    std::sort(us.begin(), us.end());
    out << "rows: " << rows << ", ticks: " << ticks
        << " (09:00:01-10:00:00), items started: " << plays << "\n";
    out << "first tick (passes over " << schedule.currentIndex()
        << " rows): " << QString::number(first, 'f', 1) << " us\n";
    out << "tick median: " << QString::number(us.at(us.size() / 2), 'f', 1)
        << " us, 95th percentile: " << QString::number(us.at(us.size() * 95 / 100), 'f', 1)
        << " us, slowest: " << QString::number(us.last(), 'f', 1) << " us\n";
    return 0;
}
