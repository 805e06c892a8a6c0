// From an item's start second to its first frame at the controller: the real
// console and the real simulator on a pseudo-terminal, 24 items 8 s apart.
// Also the console's CPU use over a minute with nothing due.

#include "../tests/e2e/e2einstall.h"
#include "support/gbkfiles.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <unistd.h>

namespace {
constexpr int kItems = 24;
constexpr int kSpacing = 8;

QString weekWith(const QStringList &todayLines)
{
    static const char16_t *names[]
        = {u"星期一", u"星期二", u"星期三", u"星期四", u"星期五", u"星期六", u"星期日"};
    QString week;
    for (int d = 1; d <= 7; ++d) {
        week += QStringLiteral("00,00,00,") + QString::fromUtf16(names[d - 1])
            + QStringLiteral(",00,00,00,00,00\n");
        if (d == QDate::currentDate().dayOfWeek())
            week += todayLines.join(QString());
    }
    return week;
}

// CPU seconds (user + system) of a process so far.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    return (fields.value(13).toLongLong() + fields.value(14).toLongLong())
        / double(sysconf(_SC_CLK_TCK));
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    E2eInstall install;
    const QDateTime first = QDateTime::currentDateTime().addSecs(12);
    if (first.addSecs(kItems * kSpacing + 120).date() != first.date()) {
        out << "too close to midnight; run again after it\n";
        return 1;
    }
    QStringList lines;
    QList<QDateTime> starts;
    for (int i = 0; i < kItems; ++i) {
        const QDateTime start = first.addSecs(i * kSpacing);
        starts.append(
            QDateTime(start.date(),
                      QTime(start.time().hour(), start.time().minute(), start.time().second())));
        // The two channels use terminals of their own, so a start's ZoneClose
        // (of the channel's previous terminals, none by then) is told apart
        // from the close at an item's end.
        lines << start.toString(QStringLiteral("HH:mm:ss"))
                + (i % 2 ? QStringLiteral(", 2 ,测量,外设控制, 0 ,00:00:01,4.5.6.,2.,2.\n")
                         : QStringLiteral(", 1 ,测量,外设控制, 0 ,00:00:01,1.2.3.,1.,1.\n"));
    }
    GbkFiles::writeText(install.path(QStringLiteral("week.txt")), weekWith(lines));
    install.writeStore(
        {{QStringLiteral("defaultweekfile"), install.path(QStringLiteral("week.txt"))},
         {QStringLiteral("openamptime"), QStringLiteral("00:00:00")},
         {QStringLiteral("closeamptime"), QStringLiteral("00:00:02")}});
    if (!install.startSimulator() || !install.startConsole()) {
        out << "could not start the simulator or the console\n";
        return 1;
    }
    out << "measuring " << kItems << " starts, one every " << kSpacing << " s ...\n";
    out.flush();
    QList<double> latencies;
    for (int i = 0; i < kItems; ++i) {
        // A start is ZoneClose then ZoneOpen; the ZoneClose is its first frame.
        // (The repeats send ZoneOpen alone.)
        QString line;
        while (line.isEmpty()
               && install.waitSimulator(QStringLiteral("ZoneOpen"), (kSpacing + 20) * 1000)) {
            const QString before = install.simulatorLines().value(install.simulatorMatch() - 1);
            if (before.contains(QStringLiteral("ZoneClose nodes  [")))
                line = before;
        }
        if (line.isEmpty())
            break;
        const QTime arrived
            = QTime::fromString(line.section(u' ', 0, 0), QStringLiteral("HH:mm:ss.zzz"));
        latencies.append(starts.at(i).time().msecsTo(arrived));
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.size() < kItems) {
        out << "only " << latencies.size() << " of " << kItems << " starts were seen\n";
        return 1;
    }
    out << "start latency, start second to the first frame at the simulator (ms): median "
        << latencies.at(latencies.size() / 2) << ", 95th percentile "
        << latencies.at(latencies.size() * 95 / 100) << ", min " << latencies.first() << ", max "
        << latencies.last() << "\n";

    // Idle: nothing more is due today.
    QTest::qWait(15000); // the last item's closes
    const qint64 pid = install.consolePid();
    const double before = cpuSeconds(pid);
    QTest::qWait(60000);
    const double used = cpuSeconds(pid) - before;
    out << "idle CPU over 60 s: " << QString::number(used, 'f', 2) << " s ("
        << QString::number(used / 60 * 100, 'f', 2) << " % of one core)\n";
    return 0;
}
