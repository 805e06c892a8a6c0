// How long finding the conflicts of a week of 7 × 1,000 entries takes: the
// overlaps and the file problems of the whole week (the disk stubbed by a
// table, since looking at the files runs on a worker thread and is not the
// window's cost), and what the editor's window pays after one entry changed
// (ConflictWatch taking the change in). Two weeks: the bells of benchWeek,
// scattered over the day, and a crowded one with every entry within school
// hours. Prints the median and the slowest of several runs.

#include "benchweek.h"
#include "schedule/conflictfinder.h"
#include "schedule/conflictwatch.h"
#include "schedule/daytablemodel.h"
#include "schedule/weekeditor.h"
#include "stallwatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>

#include <random>

namespace {

constexpr int kPerDay = 1000;
constexpr int kRuns = 21;

// 1,000 entries a day between 08:00 and 16:00 on channels 1 to 8, 30 s to
// 5 min long, each to three of 60 terminals, one of 8 amplifiers and maybe
// a device; one file in fifty is missing.
WeekTables crowdedWeek()
{
    std::mt19937 random(24);
    const auto below = [&random](int n) { return int(random() % unsigned(n)); };
    WeekTables week;
    for (DayTable &day : week) {
        for (int i = 0; i < kPerDay; ++i) {
            QString zone;
            for (int k = 0; k < 3; ++k)
                zone += QString::number(1 + below(60)) + u'.';
            const bool device = below(4) == 0;
            day.append({TimeText::fromSeconds(8 * 3600 + below(8 * 3600)), qint16(1 + below(8)),
                        QStringLiteral("课间音乐"),
                        QStringLiteral("/srv/song/%1.mp3").arg(below(50)), 16000,
                        TimeText::fromSeconds(30 + below(270)), zone,
                        QString::number(1 + below(8)) + u'.',
                        device ? QString::number(1 + below(8)) + u'.' : QString()});
        }
    }
    return week;
}

ConflictFinder::FileState stubDisk(const QString &path)
{
    return path.endsWith(QStringLiteral("/0.mp3")) ? ConflictFinder::FileState::Missing
                                                   : ConflictFinder::FileState::Present;
}

void measure(QTextStream &out, const QString &name, const WeekTables &week)
{
    const QHash<QString, ConflictFinder::FileState> states
        = ConflictFinder::fileStates(ConflictFinder::playedPaths(week), &stubDisk);
    QList<double> finder;
    qsizetype found = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer t;
        t.start();
        QList<EntryConflict> conflicts = ConflictFinder::overlaps(week);
        conflicts.append(ConflictFinder::fileProblems(week, states));
        finder.append(double(t.nsecsElapsed()) / 1e6);
        found = conflicts.size();
    }
    out << name << ": " << found << " conflicts\n";
    out << "  the week checked (overlaps and files): " << medianAndSlowest(finder) << "\n";

    // In the editor: the week loaded, then one entry changed at a time and
    // the change taken in, as the window does after each command.
    WeekEditor editor;
    for (int d = 0; d < WeekEditor::DayCount; ++d)
        editor.day(d)->setEntries(week[std::size_t(d)]);
    ConflictWatch watch(editor, &stubDisk);
    watch.refresh();
    QList<double> change;
    for (int run = 0; run < kRuns; ++run) {
        ScheduleEntry e = editor.day(run % 7)->entry(run);
        e.time = TimeText::fromSeconds(TimeValue(e.time) + 1);
        editor.modify(run % 7, run, e);
        QElapsedTimer t;
        t.start();
        watch.refresh();
        change.append(double(t.nsecsElapsed()) / 1e6);
    }
    out << "  one entry changed in the editor, taken in: " << medianAndSlowest(change) << "\n";
    // The last look at the files still running is let finish.
    if (watch.isCheckingFiles()) {
        QEventLoop loop;
        QObject::connect(&watch, &ConflictWatch::filesChecked, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << "7 x " << kPerDay << " entries, " << kRuns << " runs\n";
    measure(out, QStringLiteral("bells scattered over the day"), benchWeek(kPerDay, 16000));
    measure(out, QStringLiteral("crowded school hours"), crowdedWeek());
    return 0;
}
