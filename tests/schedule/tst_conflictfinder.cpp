// Conflicts in a week of entries: two entries of one channel at once, a
// terminal, amplifier or device wanted by two channels at once, files that
// are missing or unreadable, and the watch that keeps them up to date while
// the week is edited (the files looked at on a worker thread).

#include "schedule/conflictfinder.h"
#include "schedule/conflictwatch.h"
#include "schedule/daytablemodel.h"
#include "schedule/weekeditor.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;
using Kind = EntryConflict::Kind;
using ConflictFinder::FileState;

namespace {

ScheduleEntry entry(const QString &time, const QString &plen, int channel, const QString &zone = {},
                    const QString &amp = {}, const QString &device = {},
                    const QString &file = u"/srv/a.mp3"_s)
{
    return {time, qint16(channel), u"上课铃"_s, file, 16000, plen, zone, amp, device};
}

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::SameChannel:
        return u"channel"_s;
    case Kind::Terminal:
        return u"terminal"_s;
    case Kind::Amplifier:
        return u"amp"_s;
    case Kind::Device:
        return u"device"_s;
    case Kind::MissingFile:
        return u"missing"_s;
    case Kind::UnreadableFile:
        return u"unreadable"_s;
    }
    return {};
}

// "1:0-1 terminal 1,5": day, rows, kind and the items, one text a conflict.
QStringList described(const QList<EntryConflict> &conflicts)
{
    QStringList texts;
    for (const EntryConflict &c : conflicts) {
        texts.append(u"%1:%2-%3 %4 %5"_s.arg(c.day)
                         .arg(c.row)
                         .arg(c.otherRow)
                         .arg(kindName(c.kind), c.items.join(u',')));
    }
    return texts;
}

// A disk that answers from a table, and remembers on which threads it was
// asked.
class FakeDisk
{
public:
    explicit FakeDisk(QHash<QString, FileState> states)
        : m_states(std::move(states))
    {
    }
    ConflictFinder::FileInfo info()
    {
        return [this](const QString &path) {
            const QMutexLocker lock(&m_mutex);
            m_threads.insert(QThread::currentThread());
            ++m_asked;
            return m_states.value(path, FileState::Present);
        };
    }
    QSet<QThread *> threads()
    {
        const QMutexLocker lock(&m_mutex);
        return m_threads;
    }
    int asked()
    {
        const QMutexLocker lock(&m_mutex);
        return m_asked;
    }

private:
    QMutex m_mutex;
    QHash<QString, FileState> m_states;
    QSet<QThread *> m_threads;
    int m_asked = 0;
};

} // namespace

class tst_conflictfinder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pairs_data();
    void pairs();
    void window_data();
    void window();
    void weekWithEveryKind();
    void weekWithoutConflicts();
    void texts();
    void listTextNamesAtMostTheLimit();
    void filesOnDisk_data();
    void filesOnDisk();
    void peripheralEntriesPlayNoFile();
    void watchFindsFilesOnAWorkerThread();
    void watchFollowsTheRows();
    void watchTakesChangesMadeDuringACheck();
    void watchLooksAgainAtTheDaysThatChanged();
};

void tst_conflictfinder::pairs_data()
{
    QTest::addColumn<DayTable>("day");
    QTest::addColumn<QStringList>("expected");

    const QString minute = u"00:01:00"_s;
    QTest::newRow("windows that touch do not overlap")
        << DayTable {entry(u"08:00:00"_s, minute, 1, u"1."_s),
                     entry(u"08:01:00"_s, minute, 1, u"1."_s)}
        << QStringList();
    QTest::newRow("one second of overlap, one channel")
        << DayTable {entry(u"08:00:00"_s, u"00:01:01"_s, 1), entry(u"08:01:00"_s, minute, 1)}
        << QStringList {u"0:0-1 channel 1"_s};
    QTest::newRow("one second of overlap, one terminal on two channels")
        << DayTable {entry(u"08:00:00"_s, u"00:01:01"_s, 1, u"7."_s),
                     entry(u"08:01:00"_s, minute, 2, u"7."_s)}
        << QStringList {u"0:0-1 terminal 7"_s};
    QTest::newRow("the same terminal on one channel is no cross-channel conflict")
        << DayTable {entry(u"08:00:00"_s, minute, 3, u"1.2."_s, u"1."_s, u"1."_s),
                     entry(u"08:00:30"_s, minute, 3, u"1.2."_s, u"1."_s, u"1."_s)}
        << QStringList {u"0:0-1 channel 3"_s};
    QTest::newRow("several terminals, two of them shared, in the first row's order")
        << DayTable {entry(u"08:00:00"_s, minute, 1, u"5.2.17.1."_s),
                     entry(u"08:00:30"_s, minute, 2, u"1.9.17.200."_s)}
        << QStringList {u"0:0-1 terminal 17,1"_s};
    QTest::newRow("numbers compared whole: 1 is not 10 or 21")
        << DayTable {entry(u"08:00:00"_s, minute, 1, u"1.2.3."_s, u"1."_s),
                     entry(u"08:00:30"_s, minute, 2, u"10.21.32."_s, u"11."_s)}
        << QStringList();
    QTest::newRow("amplifiers and devices each named")
        << DayTable {entry(u"09:00:00"_s, minute, 1, u"1."_s, u"1.3."_s, u"2.4."_s),
                     entry(u"09:00:10"_s, minute, 4, u"2."_s, u"3.5."_s, u"4."_s)}
        << QStringList {u"0:0-1 amp 3"_s, u"0:0-1 device 4"_s};
    QTest::newRow("terminals, amplifiers and devices all shared")
        << DayTable {entry(u"09:00:00"_s, minute, 1, u"1."_s, u"1."_s, u"1."_s),
                     entry(u"09:00:10"_s, minute, 2, u"1."_s, u"1."_s, u"1."_s)}
        << QStringList {u"0:0-1 terminal 1"_s, u"0:0-1 amp 1"_s, u"0:0-1 device 1"_s};
    QTest::newRow("two channels with nothing in common")
        << DayTable {entry(u"09:00:00"_s, minute, 1, u"1."_s, u"1."_s),
                     entry(u"09:00:10"_s, minute, 2, u"2."_s, u"2."_s)}
        << QStringList();
    QTest::newRow("a later row that starts first")
        << DayTable {entry(u"10:00:30"_s, minute, 2, u"4."_s),
                     entry(u"10:00:00"_s, minute, 1, u"4."_s)}
        << QStringList {u"0:0-1 terminal 4"_s};
    QTest::newRow("a long entry overlaps one that starts and ends inside it")
        << DayTable {entry(u"08:00:00"_s, u"01:00:00"_s, 1, {}, u"2."_s),
                     entry(u"08:30:00"_s, u"00:00:10"_s, 2, {}, u"2."_s),
                     entry(u"09:00:00"_s, minute, 2, {}, u"2."_s)}
        << QStringList {u"0:0-1 amp 2"_s};
    QTest::newRow("no play length holds no second")
        << DayTable {entry(u"08:00:00"_s, u"00:00:00"_s, 1, u"1."_s),
                     entry(u"08:00:00"_s, minute, 1, u"1."_s)}
        << QStringList();
    QTest::newRow("past midnight the window ends with the day")
        << DayTable {entry(u"23:59:30"_s, u"00:05:00"_s, 1, u"1."_s),
                     entry(u"00:00:10"_s, minute, 2, u"1."_s)}
        << QStringList();
    QTest::newRow("three at once make three pairs")
        << DayTable {entry(u"12:00:00"_s, minute, 1), entry(u"12:00:20"_s, minute, 1),
                     entry(u"12:00:40"_s, minute, 1)}
        << QStringList {u"0:0-1 channel 1"_s, u"0:0-2 channel 1"_s, u"0:1-2 channel 1"_s};
    QTest::newRow("a start that is no time takes part in nothing")
        << DayTable {entry(u"8点"_s, u"01:00:00"_s, 1), entry(u"08:00:00"_s, minute, 1)}
        << QStringList();
}

void tst_conflictfinder::pairs()
{
    QFETCH(DayTable, day);
    QFETCH(QStringList, expected);
    QCOMPARE(described(ConflictFinder::overlaps(0, day)), expected);
    // The same pairs on another day carry that day.
    for (const EntryConflict &c : ConflictFinder::overlaps(5, day))
        QCOMPARE(c.day, 5);
}

void tst_conflictfinder::window_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("plen");
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end");
    QTest::newRow("a minute") << u"08:00:00"_s << u"00:01:00"_s << 28800 << 28860;
    QTest::newRow("no length") << u"08:00:00"_s << u"00:00:00"_s << 28800 << 28800;
    QTest::newRow("a length that is no time") << u"08:00:00"_s << u"lang"_s << 28800 << 28800;
    QTest::newRow("to the end of the day") << u"23:59:00"_s << u"01:00:00"_s << 86340 << 86400;
    QTest::newRow("no start") << u""_s << u"00:01:00"_s << 0 << 0;
}

void tst_conflictfinder::window()
{
    QFETCH(QString, time);
    QFETCH(QString, plen);
    QFETCH(int, begin);
    QFETCH(int, end);
    const ConflictFinder::Window w = ConflictFinder::windowOf(entry(time, plen, 1));
    QCOMPARE(w.begin, begin);
    QCOMPARE(w.end, end);
}

void tst_conflictfinder::weekWithEveryKind()
{
    WeekTables week;
    const QString minute = u"00:01:00"_s;
    week[0] = {entry(u"07:30:00"_s, minute, 1, u"1.2."_s, u"1."_s, {}, u"/srv/up.mp3"_s),
               entry(u"07:30:30"_s, minute, 1, u"3."_s, u"2."_s, {}, u"/srv/up.mp3"_s),
               entry(u"07:30:50"_s, minute, 2, u"2.3."_s, {}, {}, u"/srv/gone.mp3"_s)};
    week[2] = {entry(u"10:00:00"_s, minute, 5, {}, u"4."_s, u"1."_s, u"/srv/locked.mp3"_s),
               entry(u"10:00:59"_s, minute, 6, {}, u"4."_s, u"1."_s, u"外设控制"_s)};
    week[6] = {entry(u"18:00:00"_s, minute, 1, {}, {}, {}, u"/srv/gone.mp3"_s)};

    QStringList expected {u"0:0-1 channel 1"_s, u"0:0-2 terminal 2"_s, u"0:1-2 terminal 3"_s,
                          u"2:0-1 amp 4"_s, u"2:0-1 device 1"_s};
    QCOMPARE(described(ConflictFinder::overlaps(week)), expected);

    FakeDisk disk(
        {{u"/srv/gone.mp3"_s, FileState::Missing}, {u"/srv/locked.mp3"_s, FileState::Unreadable}});
    const QStringList paths = ConflictFinder::playedPaths(week);
    // Each path once, in the week's order; the peripheral-only entry has none.
    QCOMPARE(paths, QStringList({u"/srv/up.mp3"_s, u"/srv/gone.mp3"_s, u"/srv/locked.mp3"_s}));
    const auto states = ConflictFinder::fileStates(paths, disk.info());
    QCOMPARE(disk.asked(), 3);
    QCOMPARE(described(ConflictFinder::fileProblems(week, states)),
             QStringList({u"0:2--1 missing /srv/gone.mp3"_s, u"2:0--1 unreadable /srv/locked.mp3"_s,
                          u"6:0--1 missing /srv/gone.mp3"_s}));
}

void tst_conflictfinder::weekWithoutConflicts()
{
    // A school day: bells on channel 1 one after the other, music on channel
    // 2 in other rooms at the same time, the same rooms later on channel 2.
    DayTable day {
        entry(u"07:30:00"_s, u"00:01:00"_s, 1, u"1.2.3."_s, u"1."_s, u"1."_s),
        entry(u"07:31:00"_s, u"00:01:00"_s, 1, u"1.2.3."_s, u"1."_s, u"1."_s),
        entry(u"07:30:00"_s, u"00:30:00"_s, 2, u"4.5.10."_s, u"2."_s, u"2."_s),
        entry(u"08:00:00"_s, u"00:10:00"_s, 2, u"1.2.3."_s, u"1."_s, u"1."_s),
        entry(u"08:05:00"_s, u"00:00:00"_s, 3, u"1."_s, u"1."_s, u"1."_s, u"外设控制"_s),
    };
    WeekTables week;
    week.fill(day);
    QCOMPARE(ConflictFinder::overlaps(week), QList<EntryConflict>());
    FakeDisk disk({});
    const auto states = ConflictFinder::fileStates(ConflictFinder::playedPaths(week), disk.info());
    QCOMPARE(ConflictFinder::fileProblems(week, states), QList<EntryConflict>());
}

void tst_conflictfinder::texts()
{
    const DayTable day {entry(u"07:30:00"_s, u"00:01:00"_s, 3, u"1.2."_s),
                        entry(u"07:30:30"_s, u"00:01:00"_s, 3, u"1.2."_s),
                        entry(u"07:30:40"_s, u"00:01:00"_s, 4, u"2.1."_s, u"1."_s)};
    const QList<EntryConflict> found = ConflictFinder::overlaps(1, day);
    QCOMPARE(found.size(), 3);
    QCOMPARE(found.at(0).text(), u"第 1 项与第 2 项同在节目三，播放时间重叠"_s);
    QCOMPARE(found.at(0).textFor(0, day), u"与第 2 项（07:30:30）同在节目三，播放时间重叠"_s);
    QCOMPARE(found.at(0).textFor(1, day), u"与第 1 项（07:30:00）同在节目三，播放时间重叠"_s);
    QCOMPARE(found.at(1).text(), u"第 1 项与第 3 项在不同节目同时占用终端 1、2"_s);
    QCOMPARE(found.at(2).textFor(2, day), u"与第 2 项（07:30:30）在不同节目同时占用终端 1、2"_s);
    QCOMPARE(found.at(0).partnerOf(2), -1);

    const EntryConflict missing {4, 6, -1, Kind::MissingFile, {u"/srv/a.mp3"_s}};
    QCOMPARE(missing.text(), u"第 7 项播放文件不存在：/srv/a.mp3"_s);
    QCOMPARE(missing.textFor(6, {}), u"播放文件不存在：/srv/a.mp3"_s);
    const EntryConflict locked {4, 0, -1, Kind::UnreadableFile, {u"/srv/b.mp3"_s}};
    QCOMPARE(locked.text(), u"第 1 项播放文件无法读取：/srv/b.mp3"_s);
    const EntryConflict amp {0, 0, 1, Kind::Amplifier, {u"3"_s}};
    QCOMPARE(amp.text(), u"第 1 项与第 2 项在不同节目同时占用功放 3"_s);
    const EntryConflict device {0, 0, 1, Kind::Device, {u"8"_s}};
    QCOMPARE(device.text(), u"第 1 项与第 2 项在不同节目同时占用外设 8"_s);
}

void tst_conflictfinder::listTextNamesAtMostTheLimit()
{
    QList<EntryConflict> conflicts;
    for (int r = 0; r < 5; ++r)
        conflicts.append({6, r, r + 1, Kind::SameChannel, {u"1"_s}});
    QCOMPARE(ConflictFinder::listText(conflicts, 2),
             u"星期天：第 1 项与第 2 项同在节目一，播放时间重叠\n"
             "星期天：第 2 项与第 3 项同在节目一，播放时间重叠\n"
             "……另有 3 处"_s);
    QCOMPARE(ConflictFinder::listText(conflicts.mid(0, 1), 2),
             u"星期天：第 1 项与第 2 项同在节目一，播放时间重叠"_s);
}

void tst_conflictfinder::filesOnDisk_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("state");
    QTest::newRow("a file") << u"a.mp3"_s << int(FileState::Present);
    QTest::newRow("a folder") << u"music"_s << int(FileState::Present);
    QTest::newRow("a missing file") << u"gone.mp3"_s << int(FileState::Missing);
    QTest::newRow("a file in a missing folder") << u"nowhere/a.mp3"_s << int(FileState::Missing);
}

void tst_conflictfinder::filesOnDisk()
{
    QFETCH(QString, name);
    QFETCH(int, state);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"music"_s));
    QFile file(dir.filePath(u"a.mp3"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(int(ConflictFinder::fileOnDisk(dir.filePath(name))), state);
}

void tst_conflictfinder::peripheralEntriesPlayNoFile()
{
    QVERIFY(!ConflictFinder::playsFile(entry(u"08:00:00"_s, {}, 1, {}, {}, {}, u"外设控制"_s)));
    QVERIFY(!ConflictFinder::playsFile(entry(u"08:00:00"_s, {}, 1, {}, {}, {}, {})));
    QVERIFY(ConflictFinder::playsFile(entry(u"08:00:00"_s, {}, 1, {}, {}, {}, u"/srv/x"_s)));
    WeekTables week;
    week[3] = {entry(u"08:00:00"_s, u"00:01:00"_s, 1, {}, {}, {}, u"外设控制"_s)};
    // Even a disk that has nothing finds no fault with it.
    const QHash<QString, FileState> nothing {{u"外设控制"_s, FileState::Missing}};
    QCOMPARE(ConflictFinder::fileProblems(week, nothing), QList<EntryConflict>());
}

void tst_conflictfinder::watchFindsFilesOnAWorkerThread()
{
    WeekEditor editor;
    editor.add(0, entry(u"08:00:00"_s, u"00:01:00"_s, 1, {}, {}, {}, u"/srv/gone.mp3"_s));
    editor.add(0, entry(u"08:00:30"_s, u"00:01:00"_s, 1));
    FakeDisk disk({{u"/srv/gone.mp3"_s, FileState::Missing}});
    ConflictWatch watch(editor, disk.info());
    QSignalSpy checked(&watch, &ConflictWatch::filesChecked);
    QThread *deliveredOn = nullptr;
    connect(&watch, &ConflictWatch::filesChecked, this,
            [&deliveredOn] { deliveredOn = QThread::currentThread(); });
    // Nothing is known before the event loop runs.
    QCOMPARE(watch.summary(), QString());
    QVERIFY(checked.wait(5000));
    QCOMPARE(described(watch.conflicts()),
             QStringList({u"0:0-1 channel 1"_s, u"0:0--1 missing /srv/gone.mp3"_s}));
    QCOMPARE(watch.summary(), u"2 处冲突"_s);
    QCOMPARE(watch.conflictsOf(0, 1).size(), 1);
    QCOMPARE(watch.conflicts(1).size(), 0);
    // Asked away from the window's thread, answered on it.
    QVERIFY(!disk.threads().isEmpty());
    QVERIFY(!disk.threads().contains(QThread::currentThread()));
    QCOMPARE(deliveredOn, QThread::currentThread());
}

void tst_conflictfinder::watchFollowsTheRows()
{
    WeekEditor editor;
    FakeDisk disk({{u"/srv/gone.mp3"_s, FileState::Missing}});
    ConflictWatch watch(editor, disk.info());
    QSignalSpy changed(&watch, &ConflictWatch::conflictsChanged);
    QSignalSpy checked(&watch, &ConflictWatch::filesChecked);
    QVERIFY(checked.wait(5000));
    QCOMPARE(watch.summary(), QString());

    editor.add(2, entry(u"08:00:00"_s, u"00:01:00"_s, 1, u"1."_s));
    editor.add(2, entry(u"08:00:30"_s, u"00:01:00"_s, 2, u"1."_s));
    // The overlap is there once the change's event has run, files or not.
    QTRY_COMPARE(described(watch.conflicts()), QStringList({u"2:0-1 terminal 1"_s}));
    // Moving the later entry clear of the first ends the conflict.
    ScheduleEntry later = editor.day(2)->entry(1);
    later.time = u"08:01:00"_s;
    editor.modify(2, 1, later);
    QTRY_COMPARE(watch.conflicts().size(), 0);
    // refresh() takes a change in at once.
    editor.add(2, entry(u"08:00:10"_s, u"00:01:00"_s, 1, {}, {}, {}, u"/srv/gone.mp3"_s));
    watch.refresh();
    QCOMPARE(described(watch.conflicts()), QStringList({u"2:0-2 channel 1"_s}));
    QTRY_VERIFY(!watch.isCheckingFiles());
    QCOMPARE(described(watch.conflicts()),
             QStringList({u"2:0-2 channel 1"_s, u"2:2--1 missing /srv/gone.mp3"_s}));
    QVERIFY(changed.size() >= 3);
    // A new week drops them all.
    editor.clear();
    QTRY_COMPARE(watch.summary(), QString());
    // The disk is asked until the last look has come back.
    QTRY_VERIFY(!watch.isCheckingFiles());
}

void tst_conflictfinder::watchTakesChangesMadeDuringACheck()
{
    WeekEditor editor;
    // A disk as slow as a network share: the first look is still running
    // when the second file is added.
    QHash<QString, FileState> states {{u"/srv/one.mp3"_s, FileState::Missing},
                                      {u"/srv/two.mp3"_s, FileState::Missing}};
    const ConflictFinder::FileInfo slow = [states](const QString &path) {
        QThread::msleep(100);
        return states.value(path, FileState::Present);
    };
    ConflictWatch watch(editor, slow);
    editor.add(0, entry(u"08:00:00"_s, u"00:01:00"_s, 1, {}, {}, {}, u"/srv/one.mp3"_s));
    QTRY_VERIFY(watch.isCheckingFiles());
    editor.add(0, entry(u"09:00:00"_s, u"00:01:00"_s, 1, {}, {}, {}, u"/srv/two.mp3"_s));
    QTRY_VERIFY_WITH_TIMEOUT(!watch.isCheckingFiles(), 5000);
    QCOMPARE(described(watch.conflicts()),
             QStringList({u"0:0--1 missing /srv/one.mp3"_s, u"0:1--1 missing /srv/two.mp3"_s}));
}

void tst_conflictfinder::watchLooksAgainAtTheDaysThatChanged()
{
    WeekEditor editor;
    for (int d : {0, 3}) {
        editor.add(d, entry(u"08:00:00"_s, u"00:01:00"_s, 1));
        editor.add(d, entry(u"08:00:30"_s, u"00:01:00"_s, 1));
    }
    FakeDisk disk({});
    ConflictWatch watch(editor, disk.info());
    watch.refresh();
    QCOMPARE(described(watch.conflicts()),
             QStringList({u"0:0-1 channel 1"_s, u"3:0-1 channel 1"_s}));
    // Thursday's pair taken apart, a new pair on Sunday: Monday's stays.
    ScheduleEntry later = editor.day(3)->entry(1);
    later.time = u"09:00:00"_s;
    editor.modify(3, 1, later);
    editor.add(6, entry(u"10:00:00"_s, u"00:01:00"_s, 2, u"4."_s));
    editor.add(6, entry(u"10:00:59"_s, u"00:01:00"_s, 3, u"4."_s));
    watch.refresh();
    QCOMPARE(described(watch.conflicts()),
             QStringList({u"0:0-1 channel 1"_s, u"6:0-1 terminal 4"_s}));
    // Monday sorted: its rows change places, and so do its conflict's rows.
    editor.add(0, entry(u"07:00:00"_s, u"00:01:00"_s, 2));
    editor.sort(0, DayTableModel::TimeColumn);
    watch.refresh();
    QCOMPARE(described(watch.conflicts(0)), QStringList({u"0:1-2 channel 1"_s}));
    QTRY_VERIFY(!watch.isCheckingFiles());
}

QTEST_GUILESS_MAIN(tst_conflictfinder)
#include "tst_conflictfinder.moc"
