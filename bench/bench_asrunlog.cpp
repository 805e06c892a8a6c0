// What the as-run log costs. First, 100,000 events recorded one by one, each
// line flushed to the system before the next, with no window open and then
// with the log window's table following today: the processor time per event
// and what a day of 100,000 events (a little more than one a second) takes
// of one core. Then the log window opened on that 100,000-line day, offscreen,
// nine times: the day read into the table, and the window built, shown and
// its list painted for the first time; and the filters run over the day.

#include "console/asrunlogmodel.h"
#include "console/frmasrunlog.h"
#include "platform/asrunlog.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>

#include <sys/resource.h>

#include <algorithm>

namespace {

constexpr int kEvents = 100000;
const QDate kDay(2026, 12, 7);

// Processor time of the process so far, user and system, in seconds.
double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The events of a day at a school, in the proportions the console writes
// them: mostly frames, then items played, the rest now and then.
std::pair<QString, QString> event(int i)
{
    switch (i % 10) {
    case 0:
        return {QStringLiteral("播放"),
                QStringLiteral("/srv/广播/音乐/第%1首.mp3，播放时长 00:03:00").arg(i)};
    case 1:
        return {QStringLiteral("遥控键"), QStringLiteral("键码 %1").arg(i % 16)};
    case 2:
        return {QStringLiteral("线路"), QStringLiteral("与分区控制器的连接已恢复")};
    default: {
        QString values;
        for (int t = 1; t <= 12; ++t)
            values += u' ' + QString::number((i + t) % 256);
        return {QStringLiteral("发送"),
                QStringLiteral("代码 0x14 参数 5 0 值%1 | EB 14 05 00 0C 01 02 03 04 05 06 07 08 "
                               "09 0A 0B 0C FF")
                    .arg(values)};
    }
    }
}

struct Figures
{
    double cpuPerEventUs;
    double wallPerEventUs;
};

// Records the day's events spread over 24 hours into the log.
Figures recordDay(AsRunLog &log, FakeClock &clock)
{
    QList<std::pair<QString, QString>> events;
    events.reserve(kEvents);
    for (int i = 0; i < kEvents; ++i)
        events.append(event(i));
    const QDateTime midnight(kDay, QTime(0, 0));
    QElapsedTimer wall;
    const double cpuBefore = cpuSeconds();
    wall.start();
    for (int i = 0; i < kEvents; ++i) {
        clock.set(midnight.addMSecs(qint64(i) * 864)); // 86,400 s / 100,000
        if (!log.record(events.at(i).first, events.at(i).second))
            qFatal("a line could not be written");
    }
    const double wallUs = double(wall.nsecsElapsed()) / 1e3;
    const double cpuUs = (cpuSeconds() - cpuBefore) * 1e6;
    return {cpuUs / kEvents, wallUs / kEvents};
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    FakeClock clock(QDateTime(kDay, QTime(0, 0)));

    out << "recording " << kEvents << " events, each line flushed\n";
    out << "listener | CPU µs per event | wall µs per event | CPU share of a day's load\n";
    QString dayFile;
    for (const bool window : {false, true}) {
        // Each run writes a fresh day file of its own.
        QTemporaryDir runDir;
        AsRunLog log(AppFolder(runDir.path()), clock);
        AsRunLogModel model(log);
        if (window)
            model.load(kDay);
        const Figures f = recordDay(log, clock);
        if (window && model.rowCount() != kEvents)
            qFatal("the table did not follow the log");
        // A day's 100,000 events cost this much processor time in 86,400 s.
        const double share = f.cpuPerEventUs * kEvents / 86400e6 * 100;
        out << (window ? "the window's table" : "none              ") << " | "
            << QString::number(f.cpuPerEventUs, 'f', 2) << " | "
            << QString::number(f.wallPerEventUs, 'f', 2) << " | " << QString::number(share, 'f', 4)
            << " % of one core (goal: at most 5 %)\n";
        if (!window) {
            dayFile = AsRunLog(AppFolder(dir.path()), clock).fileFor(kDay);
            QDir().mkpath(QFileInfo(dayFile).path());
            QFile::copy(log.fileFor(kDay), dayFile);
        }
    }
    out << "day file: " << QFileInfo(dayFile).size() / 1024 << " KiB\n\n";
    out.flush();

    // The window on that day, as the operator opens it at the end of it.
    clock.set(QDateTime(kDay, QTime(23, 59, 59)));
    AsRunLog log(AppFolder(dir.path()), clock);
    FakeDialogs dialogs;
    QList<double> readMs;
    QList<double> shownMs;
    QList<double> kindMs;
    QList<double> textMs;
    for (int run = 0; run < 9; ++run) {
        {
            AsRunLogModel model(log);
            QElapsedTimer t;
            t.start();
            model.load(kDay);
            readMs.append(double(t.nsecsElapsed()) / 1e6);
            if (model.rowCount() != kEvents)
                qFatal("the day did not read whole: %d lines", model.rowCount());
        }
        QElapsedTimer t;
        t.start();
        frmasrunlog w(log, clock, dialogs);
        w.show();
        // The first picture of the window, its list with the newest lines.
        const QImage picture = w.grab().toImage();
        shownMs.append(double(t.nsecsElapsed()) / 1e6);
        if (picture.isNull() || w.model().rowCount() != kEvents)
            qFatal("the window did not show the day");
        t.restart();
        w.model().setKindFilter(QStringLiteral("播放"));
        kindMs.append(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        w.model().setTextFilter(QStringLiteral("第99990首"));
        textMs.append(double(t.nsecsElapsed()) / 1e6);
        if (w.model().rowCount() != 1)
            qFatal("the filters found %d lines", w.model().rowCount());
    }
    out << "the window on a day of " << kEvents << " lines, 9 runs | median ms | slowest ms\n";
    const auto row = [&out](const char *what, const QList<double> &ms) {
        out << what << " | " << QString::number(median(ms), 'f', 1) << " | "
            << QString::number(*std::max_element(ms.cbegin(), ms.cend()), 'f', 1) << "\n";
    };
    row("the day read into the table", readMs);
    row("window built, shown, first painted (goal: at most 200 ms)", shownMs);
    row("a kind chosen", kindMs);
    row("a text sought within it", textMs);
    return 0;
}
