// "编制自动播放列表" and what in the week would clash on air: the line that
// sums the conflicts up, the marks on the rows, the jump from a mark to the
// other entry, and the question before a week with conflicts is written.

#include "schedule/conflictwatch.h"
#include "schedule/weekprogmarks.h"
#include "weekprogfixture.h"

#include <QColor>
#include <QFile>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
const QString kConflictTitle = u"播放冲突"_s;
}

class tst_weekprog_conflicts : public QObject, public WeekprogFixture
{
    Q_OBJECT
private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void summaryAndMarks_data();
    void summaryAndMarks();
    void marksFollowEdits();
    void doubleClickJumpsToTheOtherEntry_data();
    void doubleClickJumpsToTheOtherEntry();
    void saveAsksOnce_data();
    void saveAsksOnce();
    void quitWithConflictsAnsweredNoStays();
    void exportOfADayNamesItsConflicts();
    void picture();

private:
    QString present(const QString &name);
    // Writes the week, opens it as the file in use and waits until its files
    // have been looked at.
    void openWeek(const WeekTables &week);
    QVariant cell(int row, int role) { return list()->model()->index(row, 0).data(role); }
    QLabel *summary() { return child<QLabel>(u"lblconflicts"_s); }
    void doubleClickRow(int row);
    void waitForFiles() { QTRY_VERIFY_WITH_TIMEOUT(!m_w->conflicts().isCheckingFiles(), 5000); }
};

QString tst_weekprog_conflicts::present(const QString &name)
{
    const QString path = m_rig->file(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qWarning("could not make a file");
    return path;
}

namespace {
ScheduleEntry row(const QString &time, int channel, const QString &zone, const QString &file,
                  const QString &plen = u"00:01:00"_s)
{
    return {time, qint16(channel), u"上课铃"_s, file, 16000, plen, zone, u"1."_s, QString()};
}
} // namespace

void tst_weekprog_conflicts::openWeek(const WeekTables &week)
{
    QVERIFY(ScheduleFile::writeWeekFile(m_rig->weekFile, week).isEmpty());
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    waitForFiles();
}

void tst_weekprog_conflicts::doubleClickRow(int r)
{
    QTreeView *view = list();
    const QModelIndex index = view->model()->index(r, 0);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

void tst_weekprog_conflicts::summaryAndMarks_data()
{
    QTest::addColumn<bool>("clash"); // the second row shares terminal 3 with the first
    QTest::addColumn<bool>("missing"); // the fourth row's file is gone
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("marked");
    QTest::newRow("none") << false << false << QString() << QList<int>();
    QTest::newRow("two channels on one terminal")
        << true << false << u"2 处冲突"_s << QList<int> {0, 1};
    QTest::newRow("a missing file") << false << true << u"1 处冲突"_s << QList<int> {3};
    QTest::newRow("both") << true << true << u"3 处冲突"_s << QList<int> {0, 1, 3};
}

void tst_weekprog_conflicts::summaryAndMarks()
{
    QFETCH(bool, clash);
    QFETCH(bool, missing);
    QFETCH(QString, text);
    QFETCH(QList<int>, marked);
    const QString song = present(u"song.mp3"_s);
    WeekTables week;
    // Monday, today: amplifier 1 is shared by rows 0 and 1 either way; they
    // play at once on channels 1 and 2 only when they clash.
    week[0] = {row(u"08:00:00"_s, 1, u"3.4."_s, song),
               row(clash ? u"08:00:30"_s : u"08:01:00"_s, 2, u"3."_s, song),
               row(u"09:00:00"_s, 1, u"3."_s, song),
               row(u"10:00:00"_s, 1, u"3."_s, missing ? m_rig->file(u"gone.mp3"_s) : song)};
    week[1] = {row(u"08:00:00"_s, 1, u"3."_s, song)};
    openWeek(week);
    QCOMPARE(m_w->currentDay(), 0);

    QCOMPARE(summary()->text(), text);
    QCOMPARE(summary()->isVisible(), !text.isEmpty());
    for (int r = 0; r < 4; ++r) {
        const bool mark = marked.contains(r);
        QCOMPARE(cell(r, Qt::DecorationRole).isValid(), mark);
        QCOMPARE(cell(r, Qt::BackgroundRole).isValid(), mark);
        // An unmarked cell's tip is its text, as before.
        QCOMPARE(cell(r, Qt::ToolTipRole).toString().startsWith(u"冲突"_s), mark);
    }
    if (clash) {
        QCOMPARE(cell(0, Qt::ToolTipRole).toString(),
                 u"冲突：\n与第 2 项（08:00:30）在不同节目同时占用终端 3\n"
                 "与第 2 项（08:00:30）在不同节目同时占用功放 1"_s);
        QCOMPARE(cell(1, ConflictMarks::PartnersRole).value<QList<int>>(), QList<int> {0});
    }
    if (missing)
        QCOMPARE(cell(3, Qt::ToolTipRole).toString(),
                 u"冲突：\n播放文件不存在："_s + m_rig->file(u"gone.mp3"_s));
    auto *tabs = child<QTabWidget>(u"SSTabweek"_s);
    QCOMPARE(tabs->tabIcon(0).isNull(), text.isEmpty());
    QVERIFY(tabs->tabIcon(1).isNull());
    // The captions of the tabs stay the days' names.
    QCOMPARE(tabs->tabText(0), u"星期一"_s);
}

void tst_weekprog_conflicts::marksFollowEdits()
{
    const QString song = present(u"song.mp3"_s);
    WeekTables week;
    week[0] = {row(u"08:00:00"_s, 1, u"3."_s, song), row(u"08:00:30"_s, 1, u"5."_s, song)};
    openWeek(week);
    QCOMPARE(summary()->text(), u"1 处冲突"_s);
    // The second entry a little earlier: the same conflict, and the tip
    // names the time the entry has now.
    clickRow(1);
    picker(u"DTPicker"_s)->setTime(QTime(8, 0, 20));
    click(u"cmdmodify"_s);
    QTRY_COMPARE(cell(0, Qt::ToolTipRole).toString(),
                 u"冲突：\n与第 2 项（08:00:20）同在节目一，播放时间重叠"_s);
    QCOMPARE(summary()->text(), u"1 处冲突"_s);
    // The second entry moved after the first: the conflict is gone.
    picker(u"DTPicker"_s)->setTime(QTime(8, 1, 0));
    click(u"cmdmodify"_s);
    QTRY_COMPARE(summary()->text(), QString());
    QVERIFY(!summary()->isVisible());
    QVERIFY(!cell(0, Qt::DecorationRole).isValid());
    // A new entry that plays a file that is not there is marked once the
    // files have been looked at.
    setFields(u"12:00:00"_s, 0, u"午间"_s, m_rig->file(u"nowhere.mp3"_s));
    click(u"cmdadd"_s);
    waitForFiles();
    QCOMPARE(summary()->text(), u"1 处冲突"_s);
    QVERIFY(cell(2, Qt::DecorationRole).isValid());
    // Deleting it clears the line again.
    clickRow(2);
    click(u"cmddel"_s);
    QTRY_COMPARE(summary()->text(), QString());
}

void tst_weekprog_conflicts::doubleClickJumpsToTheOtherEntry_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("to the later entry") << 0 << 2;
    QTest::newRow("back to the earlier one") << 2 << 0;
    QTest::newRow("the next after it") << 1 << 3;
    QTest::newRow("the first of several after it") << 3 << 6;
    QTest::newRow("round to the first when none is after it") << 6 << 1;
    QTest::newRow("an unmarked row stays") << 4 << 4;
    QTest::newRow("a missing file has no other entry") << 5 << 5;
}

void tst_weekprog_conflicts::doubleClickJumpsToTheOtherEntry()
{
    QFETCH(int, from);
    QFETCH(int, to);
    const QString song = present(u"song.mp3"_s);
    WeekTables week;
    week[0] = {row(u"08:00:00"_s, 1, u"1."_s, song),
               row(u"09:00:00"_s, 2, u"7."_s, song),
               row(u"08:00:30"_s, 1, u"2."_s, song, u"00:00:10"_s),
               row(u"09:00:10"_s, 3, u"7."_s, song),
               row(u"11:00:00"_s, 4, u"9."_s, song),
               row(u"12:00:00"_s, 5, u"9."_s, m_rig->file(u"gone.mp3"_s)),
               row(u"09:00:20"_s, 6, u"7."_s, song)};
    // Rows 1, 3 and 6 play at once on three channels and share terminal 7
    // and amplifier 1 (all rows have it): three pairs of two conflicts.
    // Rows 0 and 2 play on channel 1 at once.
    openWeek(week);
    QCOMPARE(m_w->conflicts().conflicts(0).size(), 8);
    doubleClickRow(from);
    QCOMPARE(m_w->selectedRow(), to);
    // The entry jumped to is in the fields, as after a click on it.
    QCOMPARE(picker(u"DTPicker"_s)->time().toString(u"HH:mm:ss"_s),
             m_w->editor().day(0)->entry(to).time);
    QCOMPARE(child<QComboBox>(u"cmbchannel"_s)->currentIndex() + 1,
             int(m_w->editor().day(0)->entry(to).channel));
}

void tst_weekprog_conflicts::saveAsksOnce_data()
{
    QTest::addColumn<bool>("conflicts");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("written");
    QTest::newRow("conflicts, Yes saves") << true << MsgAnswer::Yes << true;
    QTest::newRow("conflicts, No returns to the editor") << true << MsgAnswer::No << false;
    QTest::newRow("no conflict, no question") << false << MsgAnswer::No << true;
}

void tst_weekprog_conflicts::saveAsksOnce()
{
    QFETCH(bool, conflicts);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, written);
    const QString song = present(u"song.mp3"_s);
    WeekTables week;
    week[0] = {row(u"08:00:00"_s, 1, u"1."_s, song), row(u"08:00:30"_s, 2, u"2."_s, song)};
    week[4] = {row(u"07:00:00"_s, 3, u"1."_s, m_rig->file(u"gone.mp3"_s))};
    if (!conflicts) {
        week[0][1].amp.clear();
        week[4][0].filename = song;
    }
    openWeek(week);
    // One more entry, so that what is written can be told from what was.
    setFields(u"13:00:00"_s, 0, u"午间"_s, song);
    click(u"cmdadd"_s);
    QVERIFY(modified());
    m_rig->dialogs.shown.clear();
    if (conflicts)
        m_rig->dialogs.answers.enqueue(answer);
    click(u"cmdsave"_s);
    if (conflicts) {
        QCOMPARE(m_rig->dialogs.shown.size(), 1);
        QCOMPARE(lastMessage(),
                 message(u"本周的播放列表有 2 处冲突：\n"
                         "星期一：第 1 项与第 2 项在不同节目同时占用功放 1\n"
                         "星期五：第 1 项播放文件不存在："_s
                             + m_rig->file(u"gone.mp3"_s) + u"\n\n仍然保存吗？"_s,
                         kConflictTitle, MsgIcon::Question));
        QCOMPARE(m_rig->dialogs.shown.last().buttons, MsgButtons::YesNo);
    } else {
        QVERIFY(m_rig->dialogs.shown.isEmpty());
    }
    QCOMPARE(mondayInFile(m_rig->weekFile), written ? 3 : 2);
    QCOMPARE(modified(), !written);
    QCOMPARE(m_rig->console().state().ReloadSchedule(), written);
    // The editor stays open with the week either way.
    QVERIFY(m_w->isVisible());
    QCOMPARE(m_w->editor().entryCount(), 4);
}

void tst_weekprog_conflicts::quitWithConflictsAnsweredNoStays()
{
    const QString song = present(u"song.mp3"_s);
    WeekTables week;
    week[0] = {row(u"08:00:00"_s, 1, u"1."_s, song), row(u"08:00:30"_s, 1, u"2."_s, song)};
    openWeek(week);
    setFields(u"13:00:00"_s, 0, u"午间"_s, song);
    click(u"cmdadd"_s);
    m_rig->dialogs.shown.clear();
    // Save the changes: Yes; write them with the conflict: No.
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    m_rig->dialogs.answers.enqueue(MsgAnswer::No);
    click(u"cmdquit"_s);
    QCOMPARE(m_rig->dialogs.shown.size(), 2);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, kSaveQuestion);
    QCOMPARE(m_rig->dialogs.shown.at(1).title, kConflictTitle);
    QVERIFY(m_w);
    QVERIFY(m_w->isVisible());
    QVERIFY(modified());
    QCOMPARE(mondayInFile(m_rig->weekFile), 2);
}

void tst_weekprog_conflicts::exportOfADayNamesItsConflicts()
{
    const QString song = present(u"song.mp3"_s);
    WeekTables week;
    week[0] = {row(u"08:00:00"_s, 1, u"1."_s, song), row(u"08:00:30"_s, 1, u"2."_s, song)};
    week[1] = {row(u"07:00:00"_s, 3, u"1."_s, m_rig->file(u"gone.mp3"_s))};
    openWeek(week);
    m_rig->dialogs.shown.clear();
    m_rig->dialogs.answers.enqueue(MsgAnswer::No);
    click(u"cmdSaveAsDate"_s);
    // Only Monday's conflict is named, and No writes nothing.
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(lastMessage(),
             message(u"星期一的播放列表有 1 处冲突：\n"
                     "星期一：第 1 项与第 2 项同在节目一，播放时间重叠\n\n仍然保存吗？"_s,
                     kConflictTitle, MsgIcon::Question));
    QVERIFY(m_rig->dialogs.fileDialogTitles.isEmpty());
}

void tst_weekprog_conflicts::picture()
{
    QVERIFY(QDir().mkpath(m_rig->file(u"铃声"_s)));
    const QString up = present(u"铃声/起床铃.mp3"_s);
    const QString exercise = present(u"铃声/早操.mp3"_s);
    const QString bell = present(u"铃声/上课铃.mp3"_s);
    const QString news = present(u"铃声/校园新闻.mp3"_s);
    const auto item = [](const QString &time, int channel, const QString &detail,
                         const QString &file, const QString &zone, const QString &plen) {
        return ScheduleEntry {time, qint16(channel), detail, file, 16000, plen, zone, u"1."_s, {}};
    };
    WeekTables week;
    week[0] = {item(u"06:30:00"_s, 1, u"起床铃"_s, up, u"1.2.3."_s, u"00:01:00"_s),
               item(u"06:30:30"_s, 2, u"早操音乐"_s, exercise, u"3.4."_s, u"00:15:00"_s),
               item(u"08:00:00"_s, 1, u"上课铃"_s, bell, u"1.2.3."_s, u"00:00:45"_s),
               item(u"08:00:40"_s, 1, u"校园新闻"_s, news, u"1.2.3."_s, u"00:10:00"_s),
               item(u"08:45:00"_s, 1, u"下课铃"_s, m_rig->file(u"铃声/下课铃.mp3"_s), u"1.2.3."_s,
                    u"00:00:45"_s),
               item(u"12:00:00"_s, 3, u"午间音乐"_s, exercise, u"5."_s, u"00:30:00"_s)};
    week[2] = {item(u"08:00:00"_s, 1, u"上课铃"_s, m_rig->file(u"旧铃声/上课铃.mp3"_s), u"1."_s,
                    u"00:00:45"_s)};
    openWeek(week);
    QCOMPARE(summary()->text(), u"5 处冲突"_s);
    clickRow(1);
    const QImage image = m_w->grab().toImage();
    QVERIFY(!image.isNull());
    image.save(QCoreApplication::applicationDirPath() + u"/weekprog_conflicts.png"_s);
}

QTEST_MAIN(tst_weekprog_conflicts)
#include "tst_weekprog_conflicts.moc"
