#include "console/appsettings.h"
#include "console/consolestate.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "platform/appfolder.h"
#include "support/fakedialogs.h"
#include "support/gbkfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// 2026-12-07 is a Monday, 2026-12-06 a Sunday.
const QDate kMonday(2026, 12, 7);
const QDate kSunday(2026, 12, 6);

QString line(const QString &time, const QString &file = QStringLiteral("/srv/song/a.mp3"),
             const QString &zone = QStringLiteral("1.2."))
{
    return time + QStringLiteral(", 1 ,说明,") + file + QStringLiteral(", 80 ,00:01:00,") + zone
        + QStringLiteral(",1.,\n");
}
QString header(const QString &day)
{
    return QStringLiteral("00,00,00,") + day + QStringLiteral(",00,00,00,00,00\n");
}
} // namespace

class tst_TodaySchedule : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void weekMode_data();
    void weekMode();
    void modelKeepsTimeOrder();
    void emptyListIsFilledAtOnce_data();
    void emptyListIsFilledAtOnce();
    void emptyWeekFileNameIsNoError();
    void readErrorEmptiesTheList_data();
    void readErrorEmptiesTheList();
    void dateModeLooksUpTheDayFile_data();
    void dateModeLooksUpTheDayFile();
    void chosenDateFileServesEveryDay();
    void nextItemText();
    void firstAndLastItem();
    void cancelAndRestore_data();
    void cancelAndRestore();
    void reloadStartsAfresh();
    void progressIsAnnouncedOnce_data();
    void progressIsAnnouncedOnce();
    void passingOverKeepsCancelledRows();

private:
    QString file(const QString &name) const { return m_dir->filePath(name); }
    QStringList times() const;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppFolder> m_folder;
    AppSettings m_settings;
    std::unique_ptr<ConsoleState> m_stateHolder;
    std::unique_ptr<ProgrammeModel> m_model;
    FakeDialogs m_dialogs;
    std::unique_ptr<TodaySchedule> m_today;
};

void tst_TodaySchedule::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_folder = std::make_unique<AppFolder>(m_dir->path());
    m_settings = AppSettings();
    m_settings.WeekFilePath = file(QStringLiteral("table/week/week.txt"));
    m_stateHolder = std::make_unique<ConsoleState>();
    m_model = std::make_unique<ProgrammeModel>();
    m_dialogs.shown.clear();
    m_today = std::make_unique<TodaySchedule>(*m_folder, m_settings, *m_stateHolder, *m_model,
                                              m_dialogs);
}

QStringList tst_TodaySchedule::times() const
{
    QStringList list;
    for (int r = 0; r < m_model->count(); ++r)
        list << m_model->entry(r).time;
    return list;
}

void tst_TodaySchedule::weekMode_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("today's section in time order")
        << header(u"星期一"_s) + line(u"12:00:00"_s) + line(u"07:30:00"_s) + line(u"07:30:00"_s)
            + line(u"08:00:00"_s) + header(u"星期二"_s) + line(u"09:00:00"_s)
        << QStringList {u"07:30:00"_s, u"07:30:00"_s, u"08:00:00"_s, u"12:00:00"_s};
    QTest::newRow("today's table empty")
        << header(u"星期一"_s) + header(u"星期二"_s) + line(u"09:00:00"_s) << QStringList {};
    QTest::newRow("no header for today")
        << header(u"星期二"_s) + line(u"09:00:00"_s) << QStringList {};
}

void tst_TodaySchedule::weekMode()
{
    QFETCH(QString, content);
    QFETCH(QStringList, expected);
    GbkFiles::writeText(m_settings.WeekFilePath, content);
    QVERIFY(m_today->LoadTodaySchedule(kMonday));
    QCOMPARE(times(), expected);
    QVERIFY(m_dialogs.shown.isEmpty());
    for (int r = 0; r < m_model->count(); ++r) {
        QCOMPARE(m_model->cellText(r, ProgrammeModel::PlayedColumn), QStringLiteral("否"));
        QCOMPARE(ProgrammeModel::iconKey(m_model->state(r)), QStringLiteral("clock3"));
        QCOMPARE(m_model->cellText(r, ProgrammeModel::FileNameColumn), QStringLiteral("a.mp3"));
        QCOMPARE(m_model->cellText(r, ProgrammeModel::FileColumn),
                 QStringLiteral("/srv/song/a.mp3"));
    }
    if (expected.isEmpty())
        QCOMPARE(m_today->nextItemText(0), QStringLiteral("\r    所有内容已播放完毕！\r"));
}

void tst_TodaySchedule::modelKeepsTimeOrder()
{
    const auto entry = [](const char *time, const char *detail) {
        return ScheduleEntry {
            QString::fromLatin1(time), 1, QString::fromLatin1(detail), {}, 0, {}, {}, {}, {}};
    };
    m_model->appendEntry(entry("08:00:00", "old"));
    m_model->appendEntries({entry("08:00:00", "new1"), entry("07:00:00", "a"),
                            entry("23:59:59", "z"), entry("08:00:00", "new2")});
    m_model->appendEntry(entry("08:00:00", "last"));
    QStringList order;
    for (int r = 0; r < m_model->count(); ++r)
        order << m_model->entry(r).time + u' ' + m_model->entry(r).detail;
    QCOMPARE(order,
             (QStringList {u"07:00:00 a"_s, u"08:00:00 old"_s, u"08:00:00 new1"_s,
                           u"08:00:00 new2"_s, u"08:00:00 last"_s, u"23:59:59 z"_s}));
}

void tst_TodaySchedule::emptyListIsFilledAtOnce_data()
{
    // "time detail" as the file gives them, then as the list shows them.
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("in time order")
        << QStringList {u"07:00:00 a"_s, u"08:00:00 b"_s, u"09:00:00 c"_s}
        << QStringList {u"07:00:00 a"_s, u"08:00:00 b"_s, u"09:00:00 c"_s};
    QTest::newRow("out of order") << QStringList {u"09:00:00 c"_s, u"07:00:00 a"_s, u"08:00:00 b"_s}
                                  << QStringList {u"07:00:00 a"_s, u"08:00:00 b"_s,
                                                  u"09:00:00 c"_s};
    // Rows of the same time keep the file's order, sorted or not.
    QTest::newRow("same times") << QStringList {u"08:00:00 b"_s, u"08:00:00 a"_s, u"08:00:00 c"_s}
                                << QStringList {u"08:00:00 b"_s, u"08:00:00 a"_s, u"08:00:00 c"_s};
    QTest::newRow("same times out of order")
        << QStringList {u"09:00:00 z"_s, u"08:00:00 b"_s, u"08:00:00 a"_s}
        << QStringList {u"08:00:00 b"_s, u"08:00:00 a"_s, u"09:00:00 z"_s};
}

void tst_TodaySchedule::emptyListIsFilledAtOnce()
{
    QFETCH(QStringList, given);
    QFETCH(QStringList, shown);
    QList<ScheduleEntry> entries;
    for (const QString &g : std::as_const(given))
        entries.append({g.section(u' ', 0, 0), 1, g.section(u' ', 1), {}, 0, {}, {}, {}, {}});
    QSignalSpy resets(m_model.get(), &ProgrammeModel::modelReset);
    QSignalSpy inserts(m_model.get(), &ProgrammeModel::rowsInserted);
    m_model->appendEntries(entries);
    // One change of the whole list, however many rows it gets.
    QCOMPARE(resets.size(), 1);
    QCOMPARE(inserts.size(), 0);
    QStringList order;
    for (int r = 0; r < m_model->count(); ++r)
        order << m_model->entry(r).time + u' ' + m_model->entry(r).detail;
    QCOMPARE(order, shown);
    QCOMPARE(m_model->state(0), RowState::Waiting);
}

void tst_TodaySchedule::emptyWeekFileNameIsNoError()
{
    m_settings.WeekFilePath.clear();
    m_model->appendEntry({QStringLiteral("06:00:00"), 1, {}, {}, 0, {}, {}, {}, {}});
    QVERIFY(m_today->LoadTodaySchedule(kMonday));
    QCOMPARE(m_model->count(), 1); // the list keeps its rows
    QVERIFY(m_dialogs.shown.isEmpty());
}

void tst_TodaySchedule::readErrorEmptiesTheList_data()
{
    QTest::addColumn<QString>("content"); // null: the file is missing
    QTest::newRow("missing week file") << QString();
    QTest::newRow("text in the volume field") << header(u"星期一"_s) + line(u"07:00:00"_s)
            + QStringLiteral("08:00:00, 1 ,a,b,c, 80 ,,,,\n");
    QTest::newRow("cut short") << header(u"星期一"_s) + line(u"07:00:00"_s)
            + QStringLiteral("08:00:00, 1 ,a");
}

void tst_TodaySchedule::readErrorEmptiesTheList()
{
    QFETCH(QString, content);
    if (!content.isNull())
        GbkFiles::writeText(m_settings.WeekFilePath, content);
    m_model->appendEntry({QStringLiteral("06:00:00"), 1, {}, {}, 0, {}, {}, {}, {}});
    QVERIFY(!m_today->LoadTodaySchedule(kMonday));
    QCOMPARE(m_model->count(), 0);
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown.at(0).text,
             QStringLiteral("读取文件失败，可能文件设置有误或文件格式不对"));
    QCOMPARE(m_dialogs.shown.at(0).title, QStringLiteral("请检查"));
    QCOMPARE(m_dialogs.shown.at(0).icon, MsgIcon::Error);
}

void tst_TodaySchedule::dateModeLooksUpTheDayFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("beforeListing");
    QTest::addColumn<int>("rows");
    QTest::newRow("yyyymmdd.txt") << "20261206.txt" << true << 2;
    QTest::newRow("capital extension is not found") << "20261206.TXT" << true << 0;
    QTest::newRow("created after start-up is not found") << "20261206.txt" << false << 0;
    QTest::newRow("another day's file") << "20261207.txt" << true << 0;
}

void tst_TodaySchedule::dateModeLooksUpTheDayFile()
{
    QFETCH(QString, name);
    QFETCH(bool, beforeListing);
    QFETCH(int, rows);
    m_settings.WeekMode = false;
    const QString path = file(QStringLiteral("table/date/") + name);
    // The day file holds a header line, which ends its table.
    const QString content
        = line(u"08:00:00"_s) + line(u"07:00:00"_s) + header(u"星期一"_s) + line(u"09:00:00"_s);
    if (beforeListing)
        GbkFiles::writeText(path, content);
    m_today->listDateFolder();
    if (!beforeListing)
        GbkFiles::writeText(path, content);
    QVERIFY(m_today->LoadTodaySchedule(kSunday));
    QCOMPARE(m_model->count(), rows);
    QVERIFY(m_dialogs.shown.isEmpty());
    QVERIFY(m_settings.DateFilePath.isEmpty()); // the name is looked up again next time
}

void tst_TodaySchedule::chosenDateFileServesEveryDay()
{
    m_settings.WeekMode = false;
    m_settings.DateFilePath = QStringLiteral("  ") + file(QStringLiteral("special.txt")) + u' ';
    GbkFiles::writeText(file(QStringLiteral("special.txt")), line(u"10:00:00"_s));
    GbkFiles::writeText(file(QStringLiteral("table/date/20261206.txt")), line(u"08:00:00"_s));
    m_today->listDateFolder();
    for (const QDate &day : {kSunday, kMonday, kMonday.addDays(30)}) {
        m_model->clear();
        QVERIFY(m_today->LoadTodaySchedule(day));
        QCOMPARE(times(), QStringList {QStringLiteral("10:00:00")});
    }
}

void tst_TodaySchedule::nextItemText()
{
    GbkFiles::writeText(m_settings.WeekFilePath,
                        header(u"星期一"_s)
                            + line(u"08:00:00"_s, u"D:\\bell\\上课.mp3"_s, u"3.17.200."_s)
                            + line(u"07:00:00"_s));
    QVERIFY(m_today->LoadTodaySchedule(kMonday));
    QSignalSpy shown(m_today.get(), &TodaySchedule::nextItemChanged);
    m_today->rowsPassedOver(1, 1);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).at(0).toString(),
             QStringLiteral(
                 "\r    播放时间：08:00:00\r    播放文件：上课.mp3  \r    播放分区：3.17.200.\r"));
    QCOMPARE(m_today->nextItemText(2), QStringLiteral("\r    所有内容已播放完毕！\r"));
}

void tst_TodaySchedule::firstAndLastItem()
{
    QCOMPARE(m_today->FirstItemTime(), QString());
    QCOMPARE(m_today->LastItemTime(), QString());
    GbkFiles::writeText(m_settings.WeekFilePath,
                        header(u"星期一"_s) + line(u"17:30:00"_s) + line(u"06:59:59"_s)
                            + line(u"12:00:00"_s));
    QVERIFY(m_today->LoadTodaySchedule(kMonday));
    QCOMPARE(m_today->FirstItemTime(), QStringLiteral("06:59:59"));
    QCOMPARE(m_today->LastItemTime(), QStringLiteral("17:30:00"));
}

void tst_TodaySchedule::cancelAndRestore_data()
{
    QTest::addColumn<int>("from"); // RowState
    QTest::addColumn<bool>("cancel"); // else restore
    QTest::addColumn<int>("to");
    const int waiting = int(RowState::Waiting), done = int(RowState::Done),
              cancelled = int(RowState::Cancelled);
    QTest::newRow("cancel a waiting row") << waiting << true << cancelled;
    QTest::newRow("cancel a done row does nothing") << done << true << done;
    QTest::newRow("restore a cancelled row") << cancelled << false << waiting;
    QTest::newRow("restore a waiting row does nothing") << waiting << false << waiting;
    QTest::newRow("restore a done row does nothing") << done << false << done;
}

void tst_TodaySchedule::cancelAndRestore()
{
    QFETCH(int, from);
    QFETCH(bool, cancel);
    QFETCH(int, to);
    m_model->appendEntry({QStringLiteral("08:00:00"), 1, {}, {}, 0, {}, {}, {}, {}});
    m_model->setState(0, RowState(from));
    cancel ? m_today->cancelRow(0) : m_today->restoreRow(0);
    QCOMPARE(int(m_model->state(0)), to);
    QCOMPARE(m_model->cellText(0, ProgrammeModel::PlayedColumn),
             to == int(RowState::Waiting) ? QStringLiteral("否") : QStringLiteral("是"));
    // A row outside the list, or none selected, changes nothing.
    m_today->cancelRow(-1);
    m_today->restoreRow(5);
    QCOMPARE(int(m_model->state(0)), to);
}

void tst_TodaySchedule::reloadStartsAfresh()
{
    GbkFiles::writeText(m_settings.WeekFilePath,
                        header(u"星期一"_s) + line(u"08:00:00"_s) + line(u"09:00:00"_s)
                            + header(u"星期二"_s) + line(u"10:00:00"_s));
    QVERIFY(m_today->LoadTodaySchedule(kMonday));
    m_today->rowStarted(1);
    QCOMPARE(m_model->state(0), RowState::Done);
    m_stateHolder->setReloadSchedule(true);
    QSignalSpy shown(m_today.get(), &TodaySchedule::nextItemChanged);
    // The remote list hears of every reload once the new rows are in.
    QList<int> rowsWhenReloaded;
    connect(m_today.get(), &TodaySchedule::listReloaded, this,
            [this, &rowsWhenReloaded] { rowsWhenReloaded << m_model->count(); });
    QVERIFY(m_today->ReloadToday(kMonday));
    QCOMPARE(times(), (QStringList {u"08:00:00"_s, u"09:00:00"_s}));
    QCOMPARE(m_model->state(0), RowState::Waiting);
    QCOMPARE(m_today->currentIndex(), 0);
    QVERIFY(!m_stateHolder->ReloadSchedule());
    QCOMPARE(rowsWhenReloaded, QList<int> {2});
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.at(0).at(0).toString().contains(QStringLiteral("08:00:00")));
    // The next day's table comes from the same file when the loader is given that day.
    QVERIFY(m_today->ReloadToday(kMonday.addDays(1)));
    QCOMPARE(times(), QStringList {QStringLiteral("10:00:00")});
    QCOMPARE(rowsWhenReloaded, (QList<int> {2, 1}));
}

void tst_TodaySchedule::progressIsAnnouncedOnce_data()
{
    // Steps: "start r", "pass first last", "over" (start over), "reload".
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("indexChanges");
    QTest::addColumn<int>("panelChanges");
    QTest::addColumn<int>("listChanges"); // dataChanged of the list model
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("nextTime"); // empty: all played
    QTest::addColumn<QString>("states"); // of the four rows: Done or Waiting
    QTest::newRow("a row started") << "start 1" << 1 << 1 << 1 << 1 << "08:00:00"
                                   << "DWWW";
    QTest::newRow("rows passed over") << "pass 1 3" << 1 << 1 << 1 << 3 << "10:00:00"
                                      << "DDDW";
    QTest::newRow("passed over, then a row started")
        << "pass 1 2 start 3" << 2 << 2 << 2 << 3 << "10:00:00"
        << "DDDW";
    QTest::newRow("the last row started") << "start 4" << 1 << 1 << 1 << 4 << ""
                                          << "WWWD";
    QTest::newRow("the same row again") << "start 2 start 2" << 1 << 1 << 1 << 2 << "09:00:00"
                                        << "WDWW";
    QTest::newRow("starting over at the start") << "over" << 0 << 0 << 0 << 0 << "07:00:00"
                                                << "WWWW";
    QTest::newRow("starting over after a start") << "start 2 over" << 2 << 2 << 1 << 0 << "07:00:00"
                                                 << "WDWW";
    QTest::newRow("a reload") << "pass 1 2 reload" << 2 << 2 << 1 << 0 << "07:00:00"
                              << "WWWW";
    QTest::newRow("a reload at the start") << "reload" << 0 << 0 << 0 << 0 << "07:00:00"
                                           << "WWWW";
    QTest::newRow("passing over nothing") << "pass 3 2" << 0 << 0 << 0 << 0 << "07:00:00"
                                          << "WWWW";
}

void tst_TodaySchedule::progressIsAnnouncedOnce()
{
    QFETCH(QString, steps);
    QFETCH(int, indexChanges);
    QFETCH(int, panelChanges);
    QFETCH(int, listChanges);
    QFETCH(int, index);
    QFETCH(QString, nextTime);
    QFETCH(QString, states);
    GbkFiles::writeText(m_settings.WeekFilePath,
                        header(u"星期一"_s) + line(u"07:00:00"_s) + line(u"08:00:00"_s)
                            + line(u"09:00:00"_s) + line(u"10:00:00"_s));
    QVERIFY(m_today->LoadTodaySchedule(kMonday));
    m_today->startOver();
    QSignalSpy indexes(m_today.get(), &TodaySchedule::currentIndexChanged);
    QSignalSpy panels(m_today.get(), &TodaySchedule::nextItemChanged);
    QSignalSpy rows(m_model.get(), &ProgrammeModel::dataChanged);
    // What a change announces is what the owner holds by then.
    connect(m_today.get(), &TodaySchedule::currentIndexChanged, this,
            [this](int now) { QCOMPARE(now, m_today->currentIndex()); });
    connect(m_today.get(), &TodaySchedule::nextItemChanged, this,
            [this](const QString &now) { QCOMPARE(now, m_today->nextItem()); });
    const QStringList words = steps.split(u' ');
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words.at(i) == u"start") {
            m_today->rowStarted(words.at(++i).toInt());
        } else if (words.at(i) == u"pass") {
            const int first = words.at(++i).toInt();
            m_today->rowsPassedOver(first, words.at(++i).toInt());
        } else if (words.at(i) == u"over") {
            m_today->startOver();
        } else if (words.at(i) == u"reload") {
            QVERIFY(m_today->ReloadToday(kMonday));
        } else {
            QFAIL("not a step of this test");
        }
    }
    QCOMPARE(indexes.size(), indexChanges);
    QCOMPARE(panels.size(), panelChanges);
    QCOMPARE(rows.size(), listChanges);
    QCOMPARE(m_today->currentIndex(), index);
    QCOMPARE(m_today->nextItem(), m_today->nextItemText(index));
    if (nextTime.isEmpty())
        QCOMPARE(m_today->nextItem(), QStringLiteral("\r    所有内容已播放完毕！\r"));
    else
        QVERIFY(m_today->nextItem().contains(u"播放时间："_s + nextTime));
    QString got;
    for (int r = 0; r < m_model->count(); ++r)
        got += m_model->state(r) == RowState::Done ? u'D' : u'W';
    QCOMPARE(got, states);
}

void tst_TodaySchedule::passingOverKeepsCancelledRows()
{
    for (const char *time : {"07:00:00", "08:00:00", "09:00:00", "10:00:00", "11:00:00"})
        m_model->appendEntry({QString::fromLatin1(time), 1, {}, {}, 0, {}, {}, {}, {}});
    m_today->rowStarted(2);
    m_today->cancelRow(2);
    QSignalSpy rows(m_model.get(), &ProgrammeModel::dataChanged);
    m_today->rowsPassedOver(1, 4);
    QCOMPARE(rows.size(), 1);
    // One change covering the range; the cancelled row stays cancelled.
    QCOMPARE(rows.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(rows.at(0).at(1).toModelIndex().row(), 3);
    QCOMPARE(m_model->state(0), RowState::Done);
    QCOMPARE(m_model->state(1), RowState::Done);
    QCOMPARE(m_model->state(2), RowState::Cancelled);
    QCOMPARE(m_model->state(3), RowState::Done);
    QCOMPARE(m_model->state(4), RowState::Waiting);
    QCOMPARE(m_today->currentIndex(), 4);
    QVERIFY(m_today->nextItem().contains(u"11:00:00"_s));
}

QTEST_MAIN(tst_TodaySchedule)
#include "tst_todayschedule.moc"
