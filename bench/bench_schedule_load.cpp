// How long the console takes to read a large week file and fill today's list.
// Prints the median and the slowest of several runs for a few sizes.

#include "benchweek.h"
#include "console/appsettings.h"
#include "console/consolestate.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "platform/appfolder.h"
#include "schedule/schedulefile.h"
#include "support/fakedialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("week.txt"));
    out << "rows today | median ms | slowest ms | file KiB\n";
    for (int rows : {100, 1000, 10000, 100000}) {
        if (!ScheduleFile::writeWeekFile(path, benchWeek(rows, 80)).isEmpty())
            return 1;
        AppSettings settings;
        settings.WeekFilePath = path;
        ConsoleState state;
        ProgrammeModel model;
        FakeDialogs dialogs;
        const AppFolder folder(dir.path());
        TodaySchedule today(folder, settings, state, model, dialogs);
        QList<double> ms;
        for (int run = 0; run < 9; ++run) {
            QElapsedTimer t;
            t.start();
            today.ReloadToday(QDate(2026, 12, 7));
            ms.append(t.nsecsElapsed() / 1e6);
            if (model.count() != rows)
                return 1;
        }
        std::sort(ms.begin(), ms.end());
        out << qSetFieldWidth(10) << rows << qSetFieldWidth(0) << " | " << qSetFieldWidth(9)
            << QString::number(ms.at(ms.size() / 2), 'f', 2) << qSetFieldWidth(0) << " | "
            << qSetFieldWidth(10) << QString::number(ms.last(), 'f', 2) << qSetFieldWidth(0)
            << " | " << QFileInfo(path).size() / 1024 << "\n";
    }
    return 0;
}
