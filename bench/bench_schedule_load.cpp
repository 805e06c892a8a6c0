// How long the console takes to read a large week file and fill today's list.
// Prints the median and the slowest of several runs for a few sizes.

#include "console/appsettings.h"
#include "console/consolestate.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "platform/appfolder.h"
#include "platform/dialogs.h"
#include "schedule/schedulefile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

class SilentDialogs final : public Dialogs
{
public:
    MsgAnswer message(const QString &, const QString &, MsgIcon, MsgButtons) override
    {
        return MsgAnswer::Ok;
    }
    QString openFileName(const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return {};
    }
    QString saveFileName(const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return {};
    }
    void notify(const QString &, const QString &, MsgIcon) override { }
    QStringList openFileNames(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString chooseFolder(const QString &, const QString &) override { return {}; }
    void beep() override { }
};

WeekTables makeWeek(int entriesPerDay)
{
    WeekTables week;
    for (int day = 0; day < 7; ++day) {
        for (int i = 0; i < entriesPerDay; ++i) {
            const int second = (i * 7919) % 86400; // scattered over the day
            week[std::size_t(day)].append({QStringLiteral("%1:%2:%3")
                                               .arg(second / 3600, 2, 10, QChar(u'0'))
                                               .arg(second / 60 % 60, 2, 10, QChar(u'0'))
                                               .arg(second % 60, 2, 10, QChar(u'0')),
                                           qint16(1 + i % 8), QStringLiteral("上课铃"),
                                           QStringLiteral("/srv/song/上课铃.mp3"), 80,
                                           QStringLiteral("00:00:30"),
                                           QStringLiteral("1.2.3.4.5.6.7.8.9.10."),
                                           QStringLiteral("1.2."), QStringLiteral("1.")});
        }
    }
    return week;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("week.txt"));
    out << "rows today | median ms | slowest ms | file KiB\n";
    for (int rows : {100, 1000, 10000, 100000}) {
        if (!ScheduleFile::writeWeekFile(path, makeWeek(rows)).isEmpty())
            return 1;
        AppSettings settings;
        settings.WeekFilePath = path;
        ConsoleState state;
        ProgrammeModel model;
        SilentDialogs dialogs;
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
