// Seasonal timetables: which week file runs on a day, how the ranges are
// kept, and the switch at midnight on the scheduler's clock.

#include "console/seasontimetables.h"
#include "schedule/schedulefile.h"
#include "schedulerrig.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const SeasonRange kSummer {u"夏季作息"_s, u"05-01"_s, u"09-30"_s, u"/t/summer.txt"_s};
const SeasonRange kWinter {u"冬季作息"_s, u"10-01"_s, u"04-30"_s, u"/t/winter.txt"_s};
const SeasonRange kExams {u"考试周"_s, u"06-20"_s, u"07-05"_s, u"/t/exams.txt"_s};
const SeasonRange kMissing {u"寒假"_s, u"01-15"_s, u"02-20"_s, u"/t/gone.txt"_s};
const QString kSet = u"/t/week.txt"_s;

} // namespace

class tst_SeasonTimetables : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void choice_data();
    void choice();
    void storeKeepsUsableRanges();
    void switchesAtMidnight();
};

void tst_SeasonTimetables::choice_data()
{
    QTest::addColumn<QList<SeasonRange>>("ranges");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("problem");

    const QList<SeasonRange> year {kSummer, kWinter};
    QTest::newRow("no ranges") << QList<SeasonRange>() << QDate(2026, 7, 1) << kSet << QString()
                               << false;
    QTest::newRow("first day of summer")
        << year << QDate(2026, 5, 1) << kSummer.weekFile << kSummer.name << false;
    QTest::newRow("last day of summer")
        << year << QDate(2026, 9, 30) << kSummer.weekFile << kSummer.name << false;
    QTest::newRow("day after summer")
        << year << QDate(2026, 10, 1) << kWinter.weekFile << kWinter.name << false;
    QTest::newRow("winter over new year's eve")
        << year << QDate(2026, 12, 31) << kWinter.weekFile << kWinter.name << false;
    QTest::newRow("winter on new year's day")
        << year << QDate(2027, 1, 1) << kWinter.weekFile << kWinter.name << false;
    QTest::newRow("last day of winter")
        << year << QDate(2027, 4, 30) << kWinter.weekFile << kWinter.name << false;
    QTest::newRow("outside the only range")
        << QList<SeasonRange> {kSummer} << QDate(2026, 4, 30) << kSet << QString() << false;
    QTest::newRow("two ranges hold the day: the first listed wins")
        << QList<SeasonRange> {kSummer, kExams} << QDate(2026, 6, 25) << kSummer.weekFile
        << kSummer.name << false;
    QTest::newRow("two ranges hold the day, the other order")
        << QList<SeasonRange> {kExams, kSummer} << QDate(2026, 6, 25) << kExams.weekFile
        << kExams.name << false;
    QTest::newRow("unreadable file: the set file runs, with a message")
        << QList<SeasonRange> {kMissing, kWinter} << QDate(2027, 2, 1) << kSet << QString() << true;
    QTest::newRow("unreadable file out of season is no problem")
        << QList<SeasonRange> {kMissing, kWinter} << QDate(2027, 3, 1) << kWinter.weekFile
        << kWinter.name << false;
    QTest::newRow("29 February in a leap year")
        << QList<SeasonRange> {{u"闰日"_s, u"02-29"_s, u"02-29"_s, u"/t/leap.txt"_s}}
        << QDate(2028, 2, 29) << u"/t/leap.txt"_s << u"闰日"_s << false;
    QTest::newRow("a range with a bad date is passed over")
        << QList<SeasonRange> {{u"坏"_s, u"13-01"_s, u"12-31"_s, u"/t/bad.txt"_s}, kSummer}
        << QDate(2026, 7, 1) << kSummer.weekFile << kSummer.name << false;
}

void tst_SeasonTimetables::choice()
{
    QFETCH(QList<SeasonRange>, ranges);
    QFETCH(QDate, day);
    QFETCH(QString, file);
    QFETCH(QString, range);
    QFETCH(bool, problem);
    const auto readable = [](const QString &path) { return path != u"/t/gone.txt"; };
    const SeasonTimetables::Choice choice
        = SeasonTimetables::weekFileFor(day, ranges, kSet, readable);
    QCOMPARE(choice.weekFile, file);
    QCOMPARE(choice.rangeName, range);
    QCOMPARE(!choice.problem.isEmpty(), problem);
    if (problem)
        QVERIFY2(choice.problem.contains(u"寒假") && choice.problem.contains(u"gone.txt"),
                 qPrintable(choice.problem));
}

void tst_SeasonTimetables::storeKeepsUsableRanges()
{
    const QList<SeasonRange> kept {kSummer, kWinter};
    QCOMPARE(SeasonTimetables::fromStoreText(SeasonTimetables::toStoreText(kept)), kept);

    // An edited store: ranges that cannot be used are left out, the others
    // kept in their order; text that is not a list gives none.
    QList<SeasonRange> edited {kSummer,
                               {u""_s, u"01-01"_s, u"01-31"_s, u"/t/a.txt"_s},
                               {u"二月"_s, u"02-30"_s, u"03-01"_s, u"/t/b.txt"_s},
                               {u"三月"_s, u"03-01"_s, u"03-31"_s, u""_s},
                               kWinter};
    QCOMPARE(SeasonTimetables::fromStoreText(SeasonTimetables::toStoreText(edited)), kept);
    QVERIFY(SeasonTimetables::fromStoreText(u"{\"name\":1}"_s).isEmpty());
    QVERIFY(SeasonTimetables::fromStoreText(u"[1,"_s).isEmpty());

    QList<SeasonRange> many;
    for (int i = 0; i < SeasonTimetables::MaxRanges + 3; ++i)
        many.append(kSummer);
    QCOMPARE(SeasonTimetables::fromStoreText(SeasonTimetables::toStoreText(many)).size(),
             SeasonTimetables::MaxRanges);
}

void tst_SeasonTimetables::switchesAtMidnight()
{
    // 2026-09-30 is the last day of summer; the winter file runs from the
    // first second of 10-01, when the scheduler reloads the day.
    SchedulerRig rig(QDateTime(QDate(2026, 9, 30), QTime(23, 59, 0)));
    const QString summer = rig.dir.filePath(u"summer.txt"_s);
    const QString winter = rig.dir.filePath(u"winter.txt"_s);
    WeekTables summerWeek;
    WeekTables winterWeek;
    for (DayTable &day : summerWeek)
        day = {entry("08:00:00", 1, u"/srv/summer.mp3"_s)};
    for (DayTable &day : winterWeek)
        day = {entry("08:30:00", 1, u"/srv/winter.mp3"_s)};
    QVERIFY(ScheduleFile::writeWeekFile(summer, summerWeek).isEmpty());
    QVERIFY(ScheduleFile::writeWeekFile(winter, winterWeek).isEmpty());
    rig.setEveryDay({entry("09:00:00", 1, u"/srv/regular.mp3"_s)});
    rig.set(&AppSettings::Seasons,
            QList<SeasonRange> {{u"夏季作息"_s, u"05-01"_s, u"09-30"_s, summer},
                                {u"冬季作息"_s, u"10-01"_s, u"04-30"_s, winter}});
    QSignalSpy changed(rig.today.get(), &TodaySchedule::timetableChanged);
    rig.load();
    QCOMPARE(rig.today->timetable(), u"夏季作息"_s);
    QCOMPARE(rig.model.entry(0).time, u"08:00:00"_s);

    rig.tickThrough(QDateTime(QDate(2026, 9, 30), QTime(23, 59, 59)));
    QCOMPARE(rig.today->timetable(), u"夏季作息"_s);
    rig.tickAt(QDateTime(QDate(2026, 10, 1), QTime(0, 0, 0)));
    QCOMPARE(rig.today->timetable(), u"冬季作息"_s);
    QCOMPARE(rig.model.count(), 1);
    QCOMPARE(rig.model.entry(0).time, u"08:30:00"_s);
    QCOMPARE(changed.count(), 2);
    QVERIFY(rig.dialogs.shown.isEmpty());

    // The winter file goes missing: the next day runs the set week file,
    // says so once, and the caption's name says the regular timetable runs.
    QVERIFY(QFile::remove(winter));
    rig.tickAt(QDateTime(QDate(2026, 10, 2), QTime(0, 0, 0)));
    QCOMPARE(rig.today->timetable(), TodaySchedule::regularTimetable());
    QCOMPARE(rig.model.entry(0).time, u"09:00:00"_s);
    QCOMPARE(rig.dialogs.shown.size(), 1);
    QVERIFY(rig.dialogs.shown.constFirst().text.contains(u"冬季作息"));
}

QTEST_GUILESS_MAIN(tst_SeasonTimetables)
#include "tst_seasontimetables.moc"
