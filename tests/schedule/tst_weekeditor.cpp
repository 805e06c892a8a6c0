// The schedule editor's week without a window: the time arithmetic, the
// commands on the day lists, what counts as a change, the checks that keep
// every written file readable by the console, and the files.

#include "platform/gbk.h"
#include "platform/savedfiles.h"
#include "schedule/daytablemodel.h"
#include "schedule/entryfields.h"
#include "schedule/schedulefile.h"
#include "schedule/weekeditor.h"
#include "support/gbkfiles.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(EntryFields::Field)

namespace {

ScheduleEntry entry(const QString &time, const QString &length = u"00:00:30"_s,
                    const QString &detail = u"铃声"_s)
{
    return {time, 1, detail, u"/srv/song/铃声.mp3"_s, 16000, length, u"1.2."_s, u"1."_s, {}};
}

// Start times of a day, in list order.
QStringList times(const WeekEditor &week, int day)
{
    QStringList result;
    for (const ScheduleEntry &e : week.day(day)->entries())
        result << e.time;
    return result;
}

void fill(WeekEditor &week, int day, const QList<ScheduleEntry> &entries)
{
    week.day(day)->setEntries(entries);
}

} // namespace

class tst_weekeditor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void savesAreAnnounced_data();
    void savesAreAnnounced();
    void startAfter_data();
    void startAfter();
    void arrange_data();
    void arrange();
    void move_data();
    void move();
    void copyDay_data();
    void copyDay();
    void modifyAndRemoveNeedASelectedRow();
    void modifiedByCommand_data();
    void modifiedByCommand();
    void entryFromFields();
    void check_data();
    void check();
    void pickerLength_data();
    void pickerLength();
    void importAppendsAndFailedImportAddsNothing();
};

void tst_weekeditor::startAfter_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("expected");
    QTest::newRow("over midnight") << u"23:59:30"_s << u"00:00:30"_s << u"00:00:01"_s;
    QTest::newRow("minutes and seconds") << u"08:00:00"_s << u"00:05:30"_s << u"08:05:31"_s;
    QTest::newRow("no length") << u"08:00:00"_s << u"00:00:00"_s << u"08:00:01"_s;
    QTest::newRow("seconds carry") << u"08:00:00"_s << u"00:00:59"_s << u"08:01:00"_s;
    QTest::newRow("minutes carry") << u"08:59:30"_s << u"00:00:30"_s << u"09:00:01"_s;
    QTest::newRow("hours wrap") << u"23:00:00"_s << u"02:00:00"_s << u"01:00:01"_s;
    QTest::newRow("field no number") << u"xx:10:00"_s << u"00:00:10"_s << u"00:10:11"_s;
}

void tst_weekeditor::startAfter()
{
    QFETCH(QString, time);
    QFETCH(QString, length);
    QFETCH(QString, expected);
    QCOMPARE(WeekEditor::startAfter(time, length), expected);
}

void tst_weekeditor::arrange_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("expected");
    // Lengths are 00:01:00 each, so every rewritten row starts 61 s after the one above.
    QTest::newRow("first row: all but the first")
        << 4 << 0 << QStringList {u"08:00:00"_s, u"08:01:01"_s, u"08:02:02"_s, u"08:03:03"_s};
    QTest::newRow("last row: only the last")
        << 4 << 3 << QStringList {u"08:00:00"_s, u"12:00:00"_s, u"07:00:00"_s, u"07:01:01"_s};
    QTest::newRow("middle row: from there")
        << 4 << 1 << QStringList {u"08:00:00"_s, u"08:01:01"_s, u"08:02:02"_s, u"08:03:03"_s};
    QTest::newRow("from the third")
        << 4 << 2 << QStringList {u"08:00:00"_s, u"12:00:00"_s, u"12:01:01"_s, u"12:02:02"_s};
    QTest::newRow("no row selected")
        << 4 << -1 << QStringList {u"08:00:00"_s, u"12:00:00"_s, u"07:00:00"_s, u"23:00:00"_s};
    QTest::newRow("one row") << 1 << 0 << QStringList {u"08:00:00"_s};
}

void tst_weekeditor::arrange()
{
    QFETCH(int, rows);
    QFETCH(int, selected);
    QFETCH(QStringList, expected);
    WeekEditor week;
    const QStringList starts {u"08:00:00"_s, u"12:00:00"_s, u"07:00:00"_s, u"23:00:00"_s};
    QList<ScheduleEntry> entries;
    for (int i = 0; i < rows; ++i)
        entries << entry(starts.at(i), u"00:01:00"_s, u"项目"_s + QString::number(i));
    fill(week, 4, entries);
    const bool changed = expected != starts.first(rows);
    QCOMPARE(week.arrangeFrom(4, selected), changed);
    QCOMPARE(times(week, 4), expected);
    // Only the times change; new times must be saved, the same ones need not.
    for (int i = 0; i < rows; ++i)
        QCOMPARE(week.day(4)->entry(i).detail, u"项目"_s + QString::number(i));
    QCOMPARE(week.isModified(), changed);
}

void tst_weekeditor::move_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("newRow");
    QTest::addColumn<QStringList>("expected");
    const QStringList unchanged {u"01:00:00"_s, u"02:00:00"_s, u"03:00:00"_s};
    QTest::newRow("up on the first") << true << 0 << 0 << unchanged;
    QTest::newRow("down on the last") << false << 2 << 2 << unchanged;
    QTest::newRow("up on the second")
        << true << 1 << 0 << QStringList {u"02:00:00"_s, u"01:00:00"_s, u"03:00:00"_s};
    QTest::newRow("down on the second")
        << false << 1 << 2 << QStringList {u"01:00:00"_s, u"03:00:00"_s, u"02:00:00"_s};
    QTest::newRow("up without a row") << true << -1 << -1 << unchanged;
    QTest::newRow("down without a row") << false << -1 << -1 << unchanged;
}

void tst_weekeditor::move()
{
    QFETCH(bool, up);
    QFETCH(int, row);
    QFETCH(int, newRow);
    QFETCH(QStringList, expected);
    WeekEditor week;
    fill(week, 0, {entry(u"01:00:00"_s), entry(u"02:00:00"_s), entry(u"03:00:00"_s)});
    QSignalSpy modified(&week, &WeekEditor::modifiedChanged);
    QCOMPARE(up ? week.moveUp(0, row) : week.moveDown(0, row), newRow);
    QCOMPARE(times(week, 0), expected);
    // The week counts as changed in every case, also when nothing moved.
    QVERIFY(week.isModified());
    QCOMPARE(modified.count(), 1);
}

void tst_weekeditor::copyDay_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("modified");
    QTest::newRow("from another day, after the rows already there")
        << 1 << 3 << QStringList {u"20:00:00"_s, u"06:00:00"_s, u"07:00:00"_s} << true;
    QTest::newRow("onto itself") << 3 << 3 << QStringList {u"20:00:00"_s} << false;
    QTest::newRow("no day chosen") << -1 << 3 << QStringList {u"20:00:00"_s} << false;
    QTest::newRow("from an empty day") << 5 << 3 << QStringList {u"20:00:00"_s} << true;
    QTest::newRow("onto no day") << 1 << 7 << QStringList {u"20:00:00"_s} << false;
    QTest::newRow("onto a day before the first") << 1 << -1 << QStringList {u"20:00:00"_s} << false;
}

void tst_weekeditor::copyDay()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, expected);
    QFETCH(bool, modified);
    WeekEditor week;
    fill(week, 1, {entry(u"06:00:00"_s), entry(u"07:00:00"_s, u"00:02:00"_s, u"早操"_s)});
    fill(week, 3, {entry(u"20:00:00"_s)});
    QCOMPARE(week.copyDay(from, to), modified);
    QCOMPARE(times(week, 3), expected);
    QCOMPARE(week.isModified(), modified);
    if (modified && from == 1) {
        // All nine values are copied, and the source keeps its rows.
        QCOMPARE(week.day(3)->entry(2), week.day(1)->entry(1));
        QCOMPARE(week.day(1)->count(), 2);
    }
}

void tst_weekeditor::modifyAndRemoveNeedASelectedRow()
{
    WeekEditor week;
    // An empty list: Modify appends.
    QVERIFY(week.modify(0, -1, entry(u"07:00:00"_s)));
    QCOMPARE(times(week, 0), QStringList {u"07:00:00"_s});
    week.setModified(false);
    // Rows but none selected: nothing happens.
    QVERIFY(!week.modify(0, -1, entry(u"08:00:00"_s)));
    QVERIFY(!week.remove(0, -1));
    QVERIFY(!week.remove(0, 1));
    QCOMPARE(times(week, 0), QStringList {u"07:00:00"_s});
    QVERIFY(!week.isModified());
    // The selected row is overwritten, then removed.
    QVERIFY(week.modify(0, 0, entry(u"09:00:00"_s)));
    QCOMPARE(times(week, 0), QStringList {u"09:00:00"_s});
    QVERIFY(week.remove(0, 0));
    QCOMPARE(week.day(0)->count(), 0);
}

void tst_weekeditor::modifiedByCommand_data()
{
    // Monday (0) holds 08:00:00 and 07:00:00, Tuesday (1) 09:00:00, Wednesday
    // (2) two rows chained and in time order; the other days are empty.
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("day");
    QTest::addColumn<bool>("modified");
    QTest::newRow("add") << u"add"_s << 0 << true;
    QTest::newRow("modify") << u"modify"_s << 0 << true;
    QTest::newRow("delete") << u"delete"_s << 0 << true;
    QTest::newRow("up") << u"up"_s << 0 << true;
    QTest::newRow("down") << u"down"_s << 0 << true;
    QTest::newRow("copy") << u"copy"_s << 0 << true;
    QTest::newRow("delete all") << u"deleteAll"_s << 0 << true;
    QTest::newRow("delete all, empty day") << u"deleteAll"_s << 3 << false;
    QTest::newRow("arrangement") << u"arrange"_s << 0 << true;
    QTest::newRow("arrangement, chained already") << u"arrange"_s << 2 << false;
    QTest::newRow("arrangement, empty day") << u"arrange"_s << 3 << false;
    QTest::newRow("sort") << u"sort"_s << 0 << true;
    QTest::newRow("sort, in order already") << u"sort"_s << 2 << false;
    QTest::newRow("sort, empty day") << u"sort"_s << 3 << false;
    QTest::newRow("import") << u"import"_s << 0 << true;
    QTest::newRow("import, no entry in the file") << u"importEmpty"_s << 0 << false;
    QTest::newRow("import, unreadable file") << u"importBad"_s << 0 << false;
}

void tst_weekeditor::modifiedByCommand()
{
    QFETCH(QString, command);
    QFETCH(int, day);
    QFETCH(bool, modified);
    QTemporaryDir dir;
    const QString dateFile = dir.filePath(u"20261207.txt"_s);
    GbkFiles::writeText(dateFile, u"10:00:00, 2 ,新闻,/srv/news.mp3, 90 ,00:10:00,3.,,\n"_s);
    const QString emptyFile = dir.filePath(u"20261208.txt"_s);
    GbkFiles::writeText(emptyFile, QString());
    const QString badFile = dir.filePath(u"20261209.txt"_s);
    GbkFiles::writeText(badFile, u"10:00:00, x ,新闻,/srv/news.mp3, 90 ,00:10:00,3.,,\n"_s);
    WeekEditor week;
    fill(week, 0, {entry(u"08:00:00"_s), entry(u"07:00:00"_s)});
    fill(week, 1, {entry(u"09:00:00"_s)});
    fill(week, 2, {entry(u"06:00:00"_s), entry(u"06:00:31"_s)});
    const WeekTables before = week.tables();
    if (command == u"add")
        week.add(day, entry(u"10:00:00"_s));
    else if (command == u"modify")
        week.modify(day, 1, entry(u"10:00:00"_s));
    else if (command == u"delete")
        week.remove(day, 1);
    else if (command == u"up")
        week.moveUp(day, 1);
    else if (command == u"down")
        week.moveDown(day, 0);
    else if (command == u"copy")
        week.copyDay(1, day);
    else if (command == u"deleteAll")
        QCOMPARE(week.removeAll(day), modified);
    else if (command == u"arrange")
        QCOMPARE(week.arrangeFrom(day, 0), modified);
    else if (command == u"sort")
        QCOMPARE(week.sort(day, DayTableModel::TimeColumn), modified);
    else if (command == u"import")
        QCOMPARE(week.importDay(day, dateFile), QString());
    else if (command == u"importEmpty")
        QCOMPARE(week.importDay(day, emptyFile), QString());
    else if (command == u"importBad")
        QVERIFY(!week.importDay(day, badFile).isEmpty());
    else
        QFAIL("not a command of this test");
    QCOMPARE(week.isModified(), modified);
    // Whatever changed a row must be saved or asked about.
    if (week.tables() != before)
        QVERIFY(week.isModified());
}

void tst_weekeditor::entryFromFields()
{
    EntryFields::Input input {u"07:30:00"_s,     7,         u"  起床铃 "_s,
                              u" /srv/up.mp3"_s, 32767,     u"00:01:00"_s,
                              u"3.17.200."_s,    u"1.3."_s, u"2."_s};
    // The description loses its edge blanks at once, so what is saved is what
    // is shown; a path is kept as the file system spells it. Channel 8 is
    // entry 7.
    QCOMPARE(EntryFields::entry(input),
             (ScheduleEntry {u"07:30:00"_s, 8, u"起床铃"_s, u" /srv/up.mp3"_s, 32767, u"00:01:00"_s,
                             u"3.17.200."_s, u"1.3."_s, u"2."_s}));
    // No channel, and a volume beyond 16 bits kept out of range, not wrapped.
    input.channelIndex = -1;
    QCOMPARE(EntryFields::check(EntryFields::entry(input)).field, EntryFields::Field::Channel);
    input.channelIndex = 0;
    input.volume = 40000;
    QCOMPARE(EntryFields::check(EntryFields::entry(input)).field, EntryFields::Field::Volume);
}

void tst_weekeditor::check_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<EntryFields::Field>("expected");
    using F = EntryFields::Field;
    QTest::newRow("a good entry") << u"none"_s << QString() << F::None;
    QTest::newRow("time one digit") << u"time"_s << u"7:30:00"_s << F::Time;
    QTest::newRow("time 24 h") << u"time"_s << u"24:00:00"_s << F::Time;
    QTest::newRow("time empty") << u"time"_s << QString() << F::Time;
    // Eight characters, but the console would refuse the day it stands in.
    QTest::newRow("time with a leading blank") << u"time"_s << u" 8:30:00"_s << F::Time;
    QTest::newRow("time last second") << u"time"_s << u"23:59:59"_s << F::None;
    QTest::newRow("channel 0") << u"channel"_s << u"0"_s << F::Channel;
    QTest::newRow("channel 9") << u"channel"_s << u"9"_s << F::Channel;
    QTest::newRow("channel 8") << u"channel"_s << u"8"_s << F::None;
    QTest::newRow("detail comma") << u"detail"_s << u"早操,广播"_s << F::Detail;
    QTest::newRow("detail quote") << u"detail"_s << u"\"早操"_s << F::Detail;
    QTest::newRow("detail line break") << u"detail"_s << u"早\n操"_s << F::Detail;
    QTest::newRow("detail CR") << u"detail"_s << u"早\r操"_s << F::Detail;
    QTest::newRow("detail not GBK") << u"detail"_s << u"한국어"_s << F::Detail;
    QTest::newRow("detail emoji") << u"detail"_s << u"铃😀"_s << F::Detail;
    QTest::newRow("detail full-width comma") << u"detail"_s << u"早操，广播"_s << F::None;
    QTest::newRow("detail empty") << u"detail"_s << QString() << F::None;
    QTest::newRow("file comma") << u"file"_s << u"/srv/a,b.mp3"_s << F::FileName;
    QTest::newRow("file not GBK") << u"file"_s << u"/srv/ñ.mp3"_s << F::FileName;
    QTest::newRow("file weekday") << u"file"_s << u"星期一"_s << F::FileName;
    QTest::newRow("file peripheral") << u"file"_s << u"外设控制"_s << F::None;
    QTest::newRow("volume negative") << u"volume"_s << u"-1"_s << F::Volume;
    QTest::newRow("volume top") << u"volume"_s << u"32767"_s << F::None;
    QTest::newRow("volume zero") << u"volume"_s << u"0"_s << F::None;
    QTest::newRow("length 24 h") << u"plen"_s << u"24:00:00"_s << F::PlayLength;
    QTest::newRow("length text") << u"plen"_s << u"abc"_s << F::PlayLength;
    QTest::newRow("zone 255") << u"zone"_s << u"0.255."_s << F::None;
    QTest::newRow("zone 256") << u"zone"_s << u"3.256."_s << F::Zone;
    QTest::newRow("zone no dot") << u"zone"_s << u"3.17"_s << F::Zone;
    QTest::newRow("zone empty item") << u"zone"_s << u"3..17."_s << F::Zone;
    QTest::newRow("zone letter") << u"zone"_s << u"a."_s << F::Zone;
    QTest::newRow("zone empty") << u"zone"_s << QString() << F::None;
    QTest::newRow("amp 9") << u"amp"_s << u"1.9."_s << F::Amp;
    QTest::newRow("amp 0") << u"amp"_s << u"0."_s << F::Amp;
    QTest::newRow("device 8") << u"device"_s << u"8."_s << F::None;
    QTest::newRow("device minus") << u"device"_s << u"-1."_s << F::Device;
}

void tst_weekeditor::check()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(EntryFields::Field, expected);
    ScheduleEntry e = entry(u"07:30:00"_s);
    if (field == u"time")
        e.time = value;
    else if (field == u"channel")
        e.channel = qint16(value.toInt());
    else if (field == u"detail")
        e.detail = value;
    else if (field == u"file")
        e.filename = value;
    else if (field == u"volume")
        e.volume = qint16(value.toInt());
    else if (field == u"plen")
        e.plen = value;
    else if (field == u"zone")
        e.zone = value;
    else if (field == u"amp")
        e.amp = value;
    else if (field == u"device")
        e.device = value;
    const EntryFields::Problem problem = EntryFields::check(e);
    QCOMPARE(problem.field, expected);
    QCOMPARE(problem.text.isEmpty(), expected == EntryFields::Field::None);
    if (expected == EntryFields::Field::None) {
        // What passes is read back by the console exactly as written.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"day.txt"_s);
        QCOMPARE(ScheduleFile::writeDateFile(path, {e, e}), QString());
        const ScheduleFile::DayRead read = ScheduleFile::readDateFile(path);
        QVERIFY(read.ok);
        QCOMPARE(read.entries, DayTable({e, e}));
    }
}

void tst_weekeditor::pickerLength_data()
{
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a length") << u"00:01:58"_s << u"00:01:58"_s;
    QTest::newRow("the longest") << u"23:59:59"_s << u"23:59:59"_s;
    QTest::newRow("a day") << u"24:00:00"_s << u"23:59:59"_s;
    QTest::newRow("three times ten hours") << u"30:00:00"_s << u"23:59:59"_s;
    QTest::newRow("unknown") << QString() << u"00:00:00"_s;
}

void tst_weekeditor::pickerLength()
{
    QFETCH(QString, length);
    QFETCH(QString, expected);
    QCOMPARE(EntryFields::pickerLength(length), expected);
}

void tst_weekeditor::importAppendsAndFailedImportAddsNothing()
{
    QTemporaryDir dir;
    const QString good = dir.filePath(u"20261207.txt"_s);
    GbkFiles::writeText(good,
                        u"10:00:00, 2 ,新闻,/srv/news.mp3, 90 ,00:10:00,3.,,\n"
                        "11:00:00, 2 ,音乐,/srv/music.mp3, 90 ,00:10:00,3.,,\n"_s);
    const QString bad = dir.filePath(u"bad.txt"_s);
    GbkFiles::writeText(bad,
                        u"10:00:00, 2 ,新闻,/srv/news.mp3, 90 ,00:10:00,3.,,\n"
                        "11:00:00, x ,音乐,/srv/music.mp3, 90 ,00:10:00,3.,,\n"_s);
    WeekEditor week;
    fill(week, 4, {entry(u"06:00:00"_s)});
    QCOMPARE(week.importDay(4, good), QString());
    QCOMPARE(times(week, 4), QStringList({u"06:00:00"_s, u"10:00:00"_s, u"11:00:00"_s}));
    QVERIFY(!week.importDay(4, bad).isEmpty());
    QCOMPARE(week.day(4)->count(), 3);
    QCOMPARE(week.entryCount(), 3); // the other days got nothing
}

void tst_weekeditor::savesAreAnnounced_data()
{
    QTest::addColumn<bool>("week"); // the week, or Monday as a date file
    QTest::addColumn<bool>("writable"); // the folder exists
    QTest::newRow("week file") << true << true;
    QTest::newRow("week file, no folder") << true << false;
    QTest::newRow("date file") << false << true;
    QTest::newRow("date file, no folder") << false << false;
}

void tst_weekeditor::savesAreAnnounced()
{
    QFETCH(bool, week);
    QFETCH(bool, writable);
    QTemporaryDir dir;
    const QString path = dir.filePath(writable ? u"saved.txt"_s : u"gone/saved.txt"_s);
    WeekEditor editor;
    SavedFiles saved;
    QSignalSpy announced(&saved, &SavedFiles::saved);
    const QString error = week ? editor.saveWeek(path, saved) : editor.saveDay(0, path, saved);
    QCOMPARE(error.isEmpty(), writable);
    QCOMPARE(QFileInfo::exists(path), writable);
    // Once for a file written, never for one that was not.
    QCOMPARE(announced.size(), writable ? 1 : 0);
    if (writable) {
        QCOMPARE(announced.at(0).at(0).value<SavedFiles::Kind>(),
                 week ? SavedFiles::Kind::WeekSchedule : SavedFiles::Kind::DateSchedule);
        QCOMPARE(announced.at(0).at(1).toString(), path);
    }
}

QTEST_GUILESS_MAIN(tst_weekeditor)
#include "tst_weekeditor.moc"
