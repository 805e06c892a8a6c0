// How long the event loop is held up when today's list holds 10,000 rows of
// which 5,000 are already past: at the start-up (the load, then the first
// tick passes over the 5,000) and at each reload of the list (the schedule
// editor's save, a new date), with the main window shown offscreen so that
// the list view and the next-item panel follow every change. A 1 ms timer
// runs beside it and keeps the longest gap between its ticks. For
// comparison, the 5,000 rows passed over one by one, each with its own
// change of the list and the panel, as the scheduler did before.

#include "console/consolerig.h"
#include "console/consolestate.h"
#include "console/frmback.h"
#include "console/todayschedule.h"
#include "schedule/schedulefile.h"
#include "stallwatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kRows = 10000;
constexpr int kPast = 5000;
constexpr int kReloads = 10;
const QDate kMonday(2026, 12, 7);

QString stall(double ms)
{
    return QStringLiteral("longest stall of the event loop: %1 ms (goal: at most 20 ms)")
        .arg(ms, 0, 'f', 2);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);

    // Every 8 seconds from midnight: row 5,000 starts at 11:06:32 and its
    // start window ends at 11:06:37; row 5,001 is due at 11:06:40.
    ConsoleRig rig;
    QString lines;
    for (int i = 0; i < kRows; ++i) {
        lines += ConsoleRig::line(QTime(0, 0).addSecs(8 * i).toString(QStringLiteral("HH:mm:ss")),
                                  QStringLiteral("节目%1").arg(i + 1),
                                  QStringLiteral("/srv/song/%1.mp3").arg(i + 1));
    }
    rig.writeWeek(lines);
    rig.clock.set(QDateTime(kMonday, QTime(11, 6, 39)));
    Console &console = rig.start(false);
    frmback window(console);
    window.resize(1024, 700);
    window.show();
    TodaySchedule &today = console.today();
    // quit() would close the window first, and with it the console.
    const auto leave = [] { QCoreApplication::exit(0); };

    // The time from the start of a tick that reloaded or passed over rows
    // until the event loop runs again.
    QList<double> ticks;
    QElapsedTimer tickClock;
    bool busyTick = false;
    QObject::connect(&today, &TodaySchedule::currentIndexChanged, &app, [&] { busyTick = true; });
    QObject::connect(&console, &Console::ticked, &app, [&] {
        tickClock.start();
        busyTick = false;
        QTimer::singleShot(0, &app, [&] {
            if (busyTick)
                ticks.append(tickClock.nsecsElapsed() / 1e6);
        });
    });

    // The start-up: the load sequence, then the first tick of the second
    // ticker passes over the past rows.
    {
        StallWatch watchdog;
        double startUpMs = 0;
        const auto done
            = QObject::connect(&today, &TodaySchedule::currentIndexChanged, &app, [&](int index) {
                  if (index == kPast)
                      QTimer::singleShot(200, &app, leave);
              });
        QTimer::singleShot(0, &app, [&] {
            QElapsedTimer t;
            t.start();
            console.startUp();
            startUpMs = t.nsecsElapsed() / 1e6;
        });
        watchdog.start();
        app.exec();
        watchdog.stop();
        QObject::disconnect(done);
        out << "rows: " << console.today().FirstItemTime() << "-" << console.today().LastItemTime()
            << ", " << kRows
            << " in the list, passed over at the first tick: " << today.currentIndex() << "\n";
        out << "start-up: the load sequence " << QString::number(startUpMs, 'f', 2)
            << " ms, the first tick " << QString::number(ticks.value(0), 'f', 2) << " ms; "
            << stall(watchdog.longestMs()) << "\n";
        out.flush();
        if (today.currentIndex() != kPast)
            return 1;
    }

    // Reloads: the flag is raised as a save of the week file raises it, and
    // the next tick of the second ticker reloads and passes over again.
    {
        ticks.clear();
        StallWatch watchdog;
        int reloads = 0;
        int passedOver = 0;
        const auto counted
            = QObject::connect(&today, &TodaySchedule::listReloaded, &app, [&] { ++reloads; });
        const auto done = QObject::connect(
            &today, &TodaySchedule::currentIndexChanged, &app, [&](int index) {
                if (index != kPast)
                    return;
                ++passedOver;
                if (passedOver == kReloads)
                    QTimer::singleShot(200, &app, leave);
                else
                    QTimer::singleShot(300, &app, [&] { console.state().setReloadSchedule(true); });
            });
        console.state().setReloadSchedule(true);
        watchdog.start();
        app.exec();
        watchdog.stop();
        QObject::disconnect(done);
        QObject::disconnect(counted);
        out << kReloads << " reloads (" << reloads << " announced), each passing over "
            << today.currentIndex() << " rows, the reloading tick: " << medianAndSlowest(ticks)
            << "; " << stall(watchdog.longestMs()) << "\n";
        out.flush();
    }

    // For comparison: the same rows passed over on a freshly loaded list in
    // one step and one by one, each step a change of the list and of the
    // panel; then the view and the panel catch up with what they were told.
    const auto passOver = [&](int step) {
        QList<double> ms;
        for (int run = 0; run < 5; ++run) {
            today.ReloadToday(kMonday);
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            for (int r = 1; r <= kPast; r += step)
                today.rowsPassedOver(r, std::min(r + step - 1, kPast));
            QCoreApplication::processEvents();
            ms.append(t.nsecsElapsed() / 1e6);
        }
        return medianAndSlowest(ms);
    };
    // What of a reload is reading the week file alone.
    QList<double> reads;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        const ScheduleFile::DayRead read
            = ScheduleFile::readDayOfWeekFile(rig.weekFile, QStringLiteral("星期一"));
        reads.append(t.nsecsElapsed() / 1e6);
        if (read.entries.size() != kRows)
            return 1;
    }
    out << "reading the " << kRows << " rows from the week file alone: " << medianAndSlowest(reads)
        << "\n";
    out << "for comparison, " << kPast << " rows passed over in one step: " << passOver(kPast)
        << "; one by one: " << passOver(1) << "\n";
    return 0;
}
