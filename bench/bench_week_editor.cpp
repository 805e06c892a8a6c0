// How long the schedule editor takes to open a week of 7 × 1,000 entries:
// the week read into its seven lists alone, and the whole opening as the
// main window asks for it (the window built, shown, the request taken, the
// file read and the window painted). Prints the median and the slowest of
// several runs.

#include "benchweek.h"
#include "console/consolerig.h"
#include "schedule/schedulefile.h"
#include "schedule/weekeditor.h"
#include "schedule/weekprog.h"
#include "stallwatch.h"
#include "support/consolewindows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kPerDay = 1000;
constexpr int kRuns = 9;

// Runs what the window queued while it was shown (the request is taken
// after the show event) and returns.
void runQueuedEvents()
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);

    ConsoleRig rig;
    if (!ScheduleFile::writeWeekFile(rig.weekFile, benchWeek(kPerDay, 16000)).isEmpty())
        return 1;
    Console &console = rig.start();
    out << "week file: " << 7 * kPerDay << " entries, " << QFileInfo(rig.weekFile).size() / 1024
        << " KiB\n";

    QList<double> read;
    for (int run = 0; run < kRuns; ++run) {
        WeekEditor editor;
        QElapsedTimer t;
        t.start();
        if (!editor.loadWeek(rig.weekFile).isEmpty() || editor.entryCount() != 7 * kPerDay)
            return 1;
        read.append(t.nsecsElapsed() / 1e6);
    }
    out << "read into the seven lists: " << medianAndSlowest(read, 1) << "\n";

    QList<double> opening;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer t;
        t.start();
        console.state().setEditCurrentWeekFileRequest(true);
        auto *editor = new weekprog(weekprogServices(console));
        editor->show();
        runQueuedEvents();
        (void)editor->grab(); // the first paint of the filled list
        opening.append(t.nsecsElapsed() / 1e6);
        if (editor->editor().entryCount() != 7 * kPerDay)
            return 1;
        delete editor;
    }
    out << "opened in the editor (built, shown, read, painted): " << medianAndSlowest(opening, 1)
        << "\n";
    return 0;
}
