// The as-run log window and its table: a day's lines newest first, narrowed
// by kind and text, today's new lines on top as they are written, the lines
// shown exported as they are.

#include "console/asrunlogmodel.h"
#include "console/frmasrunlog.h"
#include "platform/asrunlog.h"
#include "platform/asrunreader.h"
#include "support/fakeclock.h"
#include "support/fakedialogs.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
const QDate kToday(2026, 12, 7);

struct Line
{
    const char16_t *time, *kind, *text;
};

// A morning at a school, as the console logs it.
const Line kMorning[] = {
    {u"07:00:00", u"启动", u"控制台启动"},
    {u"07:30:00", u"发送", u"代码 0x14 参数 5 0 值 1 2 | EB 14 05 00 02 01 02 FF"},
    {u"07:30:01", u"播放", u"/srv/铃声/Bell.wav，播放时长 00:00:30"},
    {u"08:00:00", u"发送", u"代码 0x15 参数 5 0 值 1 2 | EB 15 05 00 02 01 02 FF"},
    {u"08:00:05", u"错过", u"1 项的开始时间已过，未播放：08:00:00 至 08:00:00"},
    {u"08:10:00", u"播放", u"Music, \"live\".mp3，播放时长 00:03:00"},
};

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
} // namespace

class tst_frmasrunlog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void newestFirst();
    void filters_data();
    void filters();
    void live_data();
    void live();
    void liveLinesReadAsTheFileDoes();
    void exportsTheShownLines_data();
    void exportsTheShownLines();
    void exportCancelledOrFailed();
    void window();
    void windowFollowsToday();
    void newLinesLeaveOlderLinesInView_data();
    void newLinesLeaveOlderLinesInView();

private:
    void record(const QDateTime &when, const QString &kind, const QString &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<AsRunLog> m_log;
};

void tst_frmasrunlog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_clock = std::make_unique<FakeClock>(QDateTime(kToday.addDays(-1), QTime(17, 0, 0)));
    m_log = std::make_unique<AsRunLog>(AppFolder(m_dir->path()), *m_clock);
    QVERIFY(m_log->record(u"结束"_s, u"程序结束"_s)); // yesterday's one line
    for (const Line &l : kMorning)
        record(QDateTime(kToday, QTime::fromString(QString::fromUtf16(l.time))),
               QString::fromUtf16(l.kind), QString::fromUtf16(l.text));
    m_clock->set(QDateTime(kToday, QTime(9, 0, 0)));
}

void tst_frmasrunlog::cleanup()
{
    m_log.reset();
    m_clock.reset();
    m_dir.reset();
}

void tst_frmasrunlog::record(const QDateTime &when, const QString &kind, const QString &text)
{
    m_clock->set(when);
    QVERIFY(m_log->record(kind, text));
}

void tst_frmasrunlog::newestFirst()
{
    AsRunLogModel model(*m_log);
    model.load(kToday);
    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(model.totalCount(), 6);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), u"时间"_s);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), u"类别"_s);
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), u"内容"_s);
    for (int row = 0; row < 6; ++row) {
        const Line &l = kMorning[5 - row];
        QCOMPARE(model.index(row, 0).data().toString(), QString::fromUtf16(l.time));
        QCOMPARE(model.index(row, 1).data().toString(), QString::fromUtf16(l.kind));
        QCOMPARE(model.index(row, 2).data().toString(), QString::fromUtf16(l.text));
        QCOMPARE(model.entry(row).time, u"2026-12-07 "_s + QString::fromUtf16(l.time));
    }
    QCOMPARE(model.kinds(), (QStringList {u"启动"_s, u"发送"_s, u"播放"_s, u"错过"_s}));
    QVERIFY(!model.missing());
    // Another day, another file.
    model.load(kToday.addDays(-1));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 1).data().toString(), u"结束"_s);
    QCOMPARE(model.kinds(), QStringList {u"结束"_s});
    model.load(kToday.addDays(-2));
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.missing());
    QVERIFY(model.kinds().isEmpty());
}

void tst_frmasrunlog::filters_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("times"); // shown, top first
    const QStringList all {u"08:10:00"_s, u"08:00:05"_s, u"08:00:00"_s,
                           u"07:30:01"_s, u"07:30:00"_s, u"07:00:00"_s};
    QTest::newRow("none") << QString() << QString() << all;
    QTest::newRow("kind") << u"发送"_s << QString() << QStringList {u"08:00:00"_s, u"07:30:00"_s};
    QTest::newRow("kind not that day") << u"线路"_s << QString() << QStringList {};
    QTest::newRow("text") << QString() << u"bell"_s << QStringList {u"07:30:01"_s};
    QTest::newRow("text in any case")
        << QString() << u"MUSIC, \"LIVE\""_s << QStringList {u"08:10:00"_s};
    QTest::newRow("text in the frame bytes")
        << QString() << u"eb 15"_s << QStringList {u"08:00:00"_s};
    QTest::newRow("text in the time")
        << QString() << u"07:30"_s << QStringList {u"07:30:01"_s, u"07:30:00"_s};
    QTest::newRow("text names a kind") << QString() << u"错过"_s << QStringList {u"08:00:05"_s};
    QTest::newRow("text found by several")
        << QString() << u"播放时长"_s << QStringList {u"08:10:00"_s, u"07:30:01"_s};
    QTest::newRow("kind and text") << u"播放"_s << u"00:03"_s << QStringList {u"08:10:00"_s};
    // 08:00:05's text holds "08:00:00", but it is no frame.
    QTest::newRow("kind and text, the text elsewhere")
        << u"发送"_s << u"至 08:00"_s << QStringList {};
    QTest::newRow("text nowhere") << QString() << u"铃声2"_s << QStringList {};
}

void tst_frmasrunlog::filters()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QStringList, times);
    AsRunLogModel model(*m_log);
    model.load(kToday);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setKindFilter(kind);
    model.setTextFilter(text);
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.index(row, 0).data().toString();
    QCOMPARE(shown, times);
    QCOMPARE(model.totalCount(), 6);
    // The filters go back to every line.
    model.setKindFilter({});
    model.setTextFilter({});
    QCOMPARE(model.rowCount(), 6);
    QVERIFY(resets.count() >= (kind.isEmpty() ? 0 : 2) + (text.isEmpty() ? 0 : 2));
}

void tst_frmasrunlog::live_data()
{
    QTest::addColumn<int>("dayShown"); // days before today
    QTest::addColumn<QString>("kindFilter");
    QTest::addColumn<QString>("textFilter");
    QTest::addColumn<QString>("kind"); // of the line recorded
    QTest::addColumn<bool>("shown"); // the line comes on top
    QTest::addColumn<bool>("counted"); // the day has one line more
    QTest::newRow("today") << 0 << QString() << QString() << u"线路"_s << true << true;
    QTest::newRow("today, the kind chosen")
        << 0 << u"线路"_s << QString() << u"线路"_s << true << true;
    QTest::newRow("today, another kind chosen")
        << 0 << u"播放"_s << QString() << u"线路"_s << false << true;
    QTest::newRow("today, the text sought")
        << 0 << QString() << u"中断"_s << u"线路"_s << true << true;
    QTest::newRow("today, another text sought")
        << 0 << QString() << u"bell"_s << u"线路"_s << false << true;
    QTest::newRow("yesterday") << 1 << QString() << QString() << u"线路"_s << false << false;
}

void tst_frmasrunlog::live()
{
    QFETCH(int, dayShown);
    QFETCH(QString, kindFilter);
    QFETCH(QString, textFilter);
    QFETCH(QString, kind);
    QFETCH(bool, shown);
    QFETCH(bool, counted);
    AsRunLogModel model(*m_log);
    model.load(kToday.addDays(-dayShown));
    model.setKindFilter(kindFilter);
    model.setTextFilter(textFilter);
    const int rowsBefore = model.rowCount();
    const int totalBefore = model.totalCount();
    const QString topBefore = model.index(0, 2).data().toString();
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy kinds(&model, &AsRunLogModel::kindsChanged);
    record(QDateTime(kToday, QTime(9, 1, 2)), kind, u"与分区控制器的连接中断"_s);
    QCOMPARE(model.rowCount(), rowsBefore + (shown ? 1 : 0));
    QCOMPARE(model.totalCount(), totalBefore + (counted ? 1 : 0));
    QCOMPARE(inserted.count(), shown ? 1 : 0);
    if (shown) {
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        QCOMPARE(model.index(0, 0).data().toString(), u"09:01:02"_s);
        QCOMPARE(model.index(0, 1).data().toString(), kind);
        QCOMPARE(model.index(0, 2).data().toString(), u"与分区控制器的连接中断"_s);
        if (rowsBefore > 0)
            QCOMPARE(model.index(1, 2).data().toString(), topBefore);
    } else if (rowsBefore > 0) {
        QCOMPARE(model.index(0, 2).data().toString(), topBefore);
    }
    // A kind new to the day joins the kinds to choose from.
    QCOMPARE(model.kinds().contains(kind), counted);
    QCOMPARE(kinds.count(), counted ? 1 : 0);
    // What is shown is what the file reads back with the same filters.
    AsRunLogModel fresh(*m_log);
    fresh.load(model.day());
    fresh.setKindFilter(kindFilter);
    fresh.setTextFilter(textFilter);
    QCOMPARE(fresh.rowCount(), model.rowCount());
    QCOMPARE(fresh.totalCount(), model.totalCount());
}

void tst_frmasrunlog::liveLinesReadAsTheFileDoes()
{
    AsRunLogModel model(*m_log);
    model.load(kToday);
    record(QDateTime(kToday, QTime(9, 0, 1)), u"保存"_s, u"/srv/a,b/\"周一\".txt"_s);
    record(QDateTime(kToday, QTime(9, 0, 2)), u"遥控键"_s, u"键码 3\r\n第二行"_s);
    record(QDateTime(kToday, QTime(9, 0, 2)), u"类,别"_s, QString());
    AsRunLogModel fresh(*m_log);
    fresh.load(kToday);
    QCOMPARE(model.rowCount(), 9);
    QCOMPARE(fresh.rowCount(), model.rowCount());
    for (int row = 0; row < model.rowCount(); ++row)
        QCOMPARE(model.entry(row), fresh.entry(row));
    QCOMPARE(model.kinds(), fresh.kinds());
}

void tst_frmasrunlog::exportsTheShownLines_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("times"); // of the lines exported, in order
    QTest::newRow("all") << QString() << QString()
                         << QStringList {u"08:10:00"_s, u"08:00:05"_s, u"08:00:00"_s,
                                         u"07:30:01"_s, u"07:30:00"_s, u"07:00:00"_s};
    QTest::newRow("a kind") << u"播放"_s << QString() << QStringList {u"08:10:00"_s, u"07:30:01"_s};
    QTest::newRow("a text") << QString() << u"0x14"_s << QStringList {u"07:30:00"_s};
    QTest::newRow("nothing shown") << u"发送"_s << u"bell"_s << QStringList {};
}

void tst_frmasrunlog::exportsTheShownLines()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QStringList, times);
    FakeDialogs dialogs;
    frmasrunlog w(*m_log, *m_clock, dialogs);
    if (!kind.isEmpty()) {
        auto *kinds = w.findChild<QComboBox *>(u"cbokind"_s);
        QVERIFY(kinds->findText(kind) > 0);
        kinds->setCurrentIndex(kinds->findText(kind));
    }
    w.findChild<QLineEdit *>(u"txtfind"_s)->setText(text);
    QCOMPARE(w.model().rowCount(), times.size());
    const QString target = m_dir->filePath(u"export/早上"_s);
    QVERIFY(QDir().mkpath(m_dir->filePath(u"export"_s)));
    dialogs.files.enqueue(target);
    QTest::mouseClick(w.findChild<QPushButton *>(u"cmdexport"_s), Qt::LeftButton);
    QCOMPARE(dialogs.fileDialogContexts.value(0).data(), &w);
    QCOMPARE(dialogs.fileDialogFilters.value(0), u"CSV文件|*.csv"_s);
    // The lines are those of the day's file, byte for byte, in the order shown.
    const QStringList dayLines = fileLines(m_log->fileFor(kToday));
    QStringList expected {AsRunLog::header()};
    for (const QString &time : times) {
        for (const QString &line : dayLines) {
            if (line.startsWith(u"2026-12-07 "_s + time + u','))
                expected << line;
        }
    }
    QCOMPARE(fileLines(target + u".csv"_s), expected);
    QVERIFY(dialogs.shown.isEmpty());
}

void tst_frmasrunlog::exportCancelledOrFailed()
{
    FakeDialogs dialogs;
    frmasrunlog w(*m_log, *m_clock, dialogs);
    auto *exportButton = w.findChild<QPushButton *>(u"cmdexport"_s);
    // Cancelled: nothing written, nothing said.
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(dialogs.fileDialogTitles.size(), 1);
    QVERIFY(dialogs.shown.isEmpty());
    // A folder that is not there: the operator is told, over this window.
    const QString target = m_dir->filePath(u"gone/day.csv"_s);
    dialogs.files.enqueue(target);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QVERIFY(!QFile::exists(target));
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY2(dialogs.shown.at(0).text.contains(target), qPrintable(dialogs.shown.at(0).text));
    QCOMPARE(dialogs.shown.at(0).context.data(), &w);
    // A file already there is replaced whole, never appended to.
    const QString existing = m_dir->filePath(u"old.csv"_s);
    QFile old(existing);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    dialogs.files.enqueue(existing);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(fileLines(existing).size(), 7);
}

void tst_frmasrunlog::window()
{
    // A line cut short where yesterday's file ends, as a crash leaves it.
    {
        QFile f(m_log->fileFor(kToday.addDays(-1)));
        QVERIFY(f.open(QIODevice::Append));
        f.write("2026-12-06 17:00:01,播放,\"cut");
    }
    FakeDialogs dialogs;
    frmasrunlog w(*m_log, *m_clock, dialogs);
    QCOMPARE(w.objectName(), u"frmasrunlog"_s);
    QCOMPARE(w.windowTitle(), u"运行日志"_s);
    auto *day = w.findChild<QDateTimeEdit *>(u"dtpday"_s);
    auto *kinds = w.findChild<QComboBox *>(u"cbokind"_s);
    auto *find = w.findChild<QLineEdit *>(u"txtfind"_s);
    auto *view = w.findChild<QTreeView *>(u"lvwlog"_s);
    auto *count = w.findChild<QLabel *>(u"lblcount"_s);
    QVERIFY(day && kinds && find && view && count);
    QCOMPARE(find->placeholderText(), u"查找…"_s);
    // Today, as the clock has it, every line.
    QCOMPARE(day->date(), kToday);
    QVERIFY(day->calendarPopup());
    QCOMPARE(view->model()->rowCount(), 6);
    QCOMPARE(count->text(), u"共 6 条"_s);
    QStringList kindItems;
    for (int i = 0; i < kinds->count(); ++i)
        kindItems << kinds->itemText(i);
    QCOMPARE(kindItems, (QStringList {u"全部类别"_s, u"启动"_s, u"发送"_s, u"播放"_s, u"错过"_s}));

    // Narrowed: the count says how many of the day's.
    kinds->setCurrentIndex(kinds->findText(u"发送"_s));
    QCOMPARE(view->model()->rowCount(), 2);
    QCOMPARE(count->text(), u"共 2 条（全天 6 条）"_s);
    QTest::keyClicks(find, u"0x15"_s);
    QCOMPARE(view->model()->rowCount(), 1);
    QCOMPARE(view->model()->index(0, 0).data().toString(), u"08:00:00"_s);
    find->clear();

    // The day before: its kinds, the chosen kind kept though it has none.
    QTest::mouseClick(w.findChild<QPushButton *>(u"cmdprevday"_s), Qt::LeftButton);
    QCOMPARE(day->date(), kToday.addDays(-1));
    QCOMPARE(kinds->currentText(), u"发送"_s);
    QCOMPARE(view->model()->rowCount(), 0);
    kinds->setCurrentIndex(0);
    QCOMPARE(view->model()->rowCount(), 1);
    QCOMPARE(count->text(), u"共 1 条，1 行已损坏，未显示"_s);
    // A line written now belongs to today, not to the day shown.
    record(QDateTime(kToday, QTime(9, 5, 0)), u"线路"_s, u"与分区控制器的连接已恢复"_s);
    QCOMPARE(view->model()->rowCount(), 1);
    QCOMPARE(count->text(), u"共 1 条，1 行已损坏，未显示"_s);
    // Two days before: no file.
    QTest::mouseClick(w.findChild<QPushButton *>(u"cmdprevday"_s), Qt::LeftButton);
    QCOMPARE(count->text(), u"共 0 条（这一天没有记录）"_s);
    QCOMPARE(kinds->count(), 1);

    // Back to today: the line written meanwhile is there, on top, and so
    // are the lines that follow.
    day->setDate(kToday);
    QCOMPARE(view->model()->rowCount(), 7);
    QCOMPARE(view->model()->index(0, 1).data().toString(), u"线路"_s);
    record(QDateTime(kToday, QTime(9, 6, 0)), u"遥控键"_s, u"键码 3"_s);
    QCOMPARE(view->model()->rowCount(), 8);
    QCOMPARE(view->model()->index(0, 2).data().toString(), u"键码 3"_s);
    QCOMPARE(count->text(), u"共 8 条"_s);
    QVERIFY(kinds->findText(u"遥控键"_s) > 0);
    QTest::mouseClick(w.findChild<QPushButton *>(u"cmdnextday"_s), Qt::LeftButton);
    QCOMPARE(day->date(), kToday.addDays(1));
    QCOMPARE(count->text(), u"共 0 条（这一天没有记录）"_s);

    // Escape closes, as "关闭" does.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    w.show();
    QTest::mouseClick(w.findChild<QPushButton *>(u"cmdclose"_s), Qt::LeftButton);
    QVERIFY(!w.isVisible());
}

void tst_frmasrunlog::windowFollowsToday()
{
    // Opened after midnight: the new day, which has no lines yet, and a line
    // for it appears as it is written.
    m_clock->set(QDateTime(kToday.addDays(1), QTime(0, 0, 1)));
    FakeDialogs dialogs;
    frmasrunlog w(*m_log, *m_clock, dialogs);
    QCOMPARE(w.findChild<QDateTimeEdit *>(u"dtpday"_s)->date(), kToday.addDays(1));
    QCOMPARE(w.model().rowCount(), 0);
    QVERIFY(m_log->record(u"启动"_s, u"控制台启动"_s));
    QCOMPARE(w.model().rowCount(), 1);
    QCOMPARE(w.findChild<QLabel *>(u"lblcount"_s)->text(), u"共 1 条"_s);
    // Left open over midnight, it goes on with the new day.
    auto *day = w.findChild<QDateTimeEdit *>(u"dtpday"_s);
    record(QDateTime(kToday.addDays(2), QTime(0, 0, 0)), u"发送"_s, u"代码 0x02 参数 0 0"_s);
    QCOMPARE(day->date(), kToday.addDays(2));
    QCOMPARE(w.model().rowCount(), 1);
    QCOMPARE(w.model().index(0, 1).data().toString(), u"发送"_s);
    record(QDateTime(kToday.addDays(2), QTime(0, 0, 1)), u"播放"_s, u"bell.wav"_s);
    QCOMPARE(w.model().rowCount(), 2);
    // A day the operator went back to stays, whatever is written meanwhile.
    QTest::mouseClick(w.findChild<QPushButton *>(u"cmdprevday"_s), Qt::LeftButton);
    record(QDateTime(kToday.addDays(3), QTime(0, 0, 0)), u"发送"_s, u"代码 0x02 参数 0 0"_s);
    QCOMPARE(day->date(), kToday.addDays(1));
    QCOMPARE(w.model().rowCount(), 1);
}

void tst_frmasrunlog::newLinesLeaveOlderLinesInView_data()
{
    QTest::addColumn<int>("scrolledTo"); // the row at the top of the list
    QTest::newRow("at the top") << 0;
    QTest::newRow("scrolled down") << 40;
}

void tst_frmasrunlog::newLinesLeaveOlderLinesInView()
{
    QFETCH(int, scrolledTo);
    for (int i = 0; i < 100; ++i)
        record(QDateTime(kToday, QTime(9, 0, 0).addSecs(i)), u"遥控键"_s, u"键码 %1"_s.arg(i));
    FakeDialogs dialogs;
    frmasrunlog w(*m_log, *m_clock, dialogs);
    w.resize(700, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *view = w.findChild<QTreeView *>(u"lvwlog"_s);
    view->scrollTo(view->model()->index(scrolledTo, 0), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    const auto topText = [view] { return view->indexAt(QPoint(1, 1)).siblingAtColumn(2).data(); };
    const QVariant before = topText();
    QCOMPARE(before.toString(), u"键码 %1"_s.arg(99 - scrolledTo));
    record(QDateTime(kToday, QTime(9, 2, 0)), u"遥控键"_s, u"新的一行"_s);
    record(QDateTime(kToday, QTime(9, 2, 1)), u"遥控键"_s, u"又一行"_s);
    QCoreApplication::processEvents();
    QCOMPARE(topText().toString(), scrolledTo == 0 ? u"又一行"_s : before.toString());
}

QTEST_MAIN(tst_frmasrunlog)
#include "tst_frmasrunlog.moc"
