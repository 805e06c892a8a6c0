// "编制自动播放列表" and its files: open, save, save as, quit, export and
// import of a day, and what it saves read back by the console's own loader.

#include "weekprogfixture.h"

using namespace Qt::StringLiterals;

class tst_weekprog_files : public QObject, public WeekprogFixture
{
    Q_OBJECT
private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void openEditorReplacesItsWeek_data();
    void openEditorReplacesItsWeek();
    void unsavedWeekStaysWhenItsSaveIsCancelled();
    void unreadableWeekKeepsNothing();
    void saveWithAndWithoutCurrentFile();
    void saveAsCancelled();
    void invalidEntryBlocksSave();
    void quit_data();
    void quit();
    void quitWithTheNameCancelledKeepsTheEdits();
    void importAnsweredYesThenCancelled();
    void exportDay();
    void roundTripThroughTheConsole();
};

void tst_weekprog_files::openEditorReplacesItsWeek_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("unchanged: no question") << false << MsgAnswer::No;
    QTest::newRow("changed, saved first") << true << MsgAnswer::Yes;
    QTest::newRow("changed, discarded") << true << MsgAnswer::No;
}

void tst_weekprog_files::openEditorReplacesItsWeek()
{
    QFETCH(bool, changed);
    QFETCH(MsgAnswer, answer);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    if (changed)
        addEntry(u"13:00:00"_s, u"新的"_s);
    m_rig->dialogs.answers.enqueue(answer);
    // The main window asks the open editor to open the file in use again.
    QCOMPARE(openEditor(&ConsoleState::setEditCurrentWeekFileRequest), m_w.data());
    // The question about the changes comes first; saving them may then name
    // the week's conflicts (its files are not on this machine).
    const QList<FakeDialogs::Shown> &shown = m_rig->dialogs.shown;
    QCOMPARE(shown.isEmpty() ? QStringList()
                             : message(shown.first().text, shown.first().title, shown.first().icon),
             changed ? message(kSaveQuestion, kSaveTitle, MsgIcon::Question) : QStringList());
    // The file's entries replace the list, never added a second time.
    const QStringList file {u"12:00:00"_s, u"07:30:00"_s, u"08:00:00"_s};
    QCOMPARE(times(0), answer == MsgAnswer::Yes ? file + QStringList {u"13:00:00"_s} : file);
    QCOMPARE(times(1), QStringList {u"09:00:00"_s});
    QVERIFY(!modified());
}

void tst_weekprog_files::unsavedWeekStaysWhenItsSaveIsCancelled()
{
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    addEntry(u"13:00:00"_s, u"新的"_s);
    // Open a file, answer Yes to saving the new week, then cancel its name.
    m_rig->dialogs.files.enqueue(m_rig->weekFile);
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    QCOMPARE(openEditor(&ConsoleState::setOpenWeekFileRequest), m_w.data());
    // Raised by the activation, the file dialog and the question answer
    // later, one after the other; the name is asked for by the answer Yes.
    QTRY_COMPARE(m_rig->dialogs.answersUnderway(), 0);
    QCOMPARE(m_rig->dialogs.fileDialogTitles,
             QStringList({u"打开星期播放列表文件"_s, u"文件另存为"_s}));
    QCOMPARE(m_rig->dialogs.fileDialogsWaited, QList<bool>({false, true}));
    QVERIFY(!m_rig->dialogs.shown.constFirst().waited);
    // The week that was never written is not thrown away.
    QCOMPARE(m_w->editor().entryCount(), 1);
    QCOMPARE(m_w->windowTitle(), kEditor);
}

void tst_weekprog_files::unreadableWeekKeepsNothing()
{
    GbkFiles::writeText(m_rig->weekFile,
                        u"00,00,00,星期一,00,00,00,00,00\n"
                        "07:30:00, 1 ,起床,/srv/up.mp3, 80 ,00:01:00,1.,1.,\n"
                        "08:00:00, 一 ,上课,/srv/a.mp3, 80 ,00:01:00,1.,1.,\n"_s);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    QCOMPARE(lastMessage(),
             message(u"所打开的文件格式不对，请重新选择。"_s, u"读文件错误"_s, MsgIcon::Error));
    QCOMPARE(m_w->editor().entryCount(), 0);
    QCOMPARE(m_w->currentFile(), QString());
    QCOMPARE(m_w->windowTitle(), kEditor);
}

void tst_weekprog_files::saveWithAndWithoutCurrentFile()
{
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    addEntry(u"07:00:00"_s, u"起床"_s);
    ConsoleState &state = m_rig->console().state();
    // A file that cannot be written is told; the week stays changed and unnamed.
    m_rig->dialogs.files.enqueue(m_rig->file(u"missing/folder/week.txt"_s));
    click(u"cmdsave"_s);
    QCOMPARE(lastMessage().value(1), u"写文件错误"_s);
    QVERIFY(modified());
    QCOMPARE(m_w->windowTitle(), kEditor);
    QVERIFY(!state.ReloadSchedule());
    m_rig->dialogs.fileDialogTitles.clear();

    const QString chosen = m_rig->file(u"table/week/新学期"_s);
    QDir().mkpath(m_rig->file(u"table/week"_s));
    m_rig->dialogs.files.enqueue(chosen);
    click(u"cmdsave"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"文件另存为"_s});
    QCOMPARE(QDir::cleanPath(m_rig->dialogs.fileDialogFolders.value(0)),
             QDir::cleanPath(m_rig->file(u"table/week"_s)));
    QCOMPARE(m_rig->dialogs.fileDialogFilters.value(0), u"播放列表文件(*.txt)|*.txt"_s);
    // The default extension is added.
    const QString saved = chosen + u".txt"_s;
    QCOMPARE(m_w->currentFile(), saved);
    QCOMPARE(m_w->windowTitle(), kEditor + u"--"_s + saved);
    QVERIFY(state.ReloadSchedule());
    QVERIFY(!modified());
    QCOMPARE(mondayInFile(saved), 1);

    // With a file, Save writes it without asking.
    state.setReloadSchedule(false);
    addEntry(u"08:00:00"_s, u"上课"_s);
    click(u"cmdsave"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles.size(), 1);
    QCOMPARE(mondayInFile(saved), 2);
    QVERIFY(state.ReloadSchedule());
    QVERIFY(!modified());
}

void tst_weekprog_files::saveAsCancelled()
{
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    const QByteArray before = GbkFiles::readBytes(m_rig->weekFile);
    addEntry(u"13:00:00"_s, u"午休"_s);
    click(u"cmdsaveas"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"文件另存为"_s});
    // Nothing written, so nothing counts as saved: the file and the caption
    // as they were, the edits still marked as changed, nothing to reload.
    QCOMPARE(GbkFiles::readBytes(m_rig->weekFile), before);
    QCOMPARE(m_w->currentFile(), m_rig->weekFile);
    QCOMPARE(m_w->windowTitle(), kEditor + u"--"_s + m_rig->weekFile);
    QVERIFY(modified());
    QVERIFY(!m_rig->console().state().ReloadSchedule());

    // Save as with a name writes there and makes it the week's file.
    const QString other = m_rig->file(u"table/week/copy.txt"_s);
    m_rig->dialogs.files.enqueue(other);
    click(u"cmdsaveas"_s);
    QCOMPARE(m_w->windowTitle(), kEditor + u"--"_s + other);
    QCOMPARE(mondayInFile(other), 4);
    QCOMPARE(GbkFiles::readBytes(m_rig->weekFile), before);
}

void tst_weekprog_files::invalidEntryBlocksSave()
{
    // A week written by someone else with an entry the console would refuse.
    GbkFiles::writeText(m_rig->weekFile,
                        u"00,00,00,星期一,00,00,00,00,00\n"
                        "08:00:00, 2 ,上课,/srv/class.mp3, 80 ,00:05:30,,,\n"
                        "00,00,00,星期五,00,00,00,00,00\n"
                        "09:00:00, 1 ,下课,/srv/out.mp3, 80 ,00:00:30,1.300.,,\n"_s);
    const QByteArray before = GbkFiles::readBytes(m_rig->weekFile);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    addEntry(u"10:00:00"_s, u"新的"_s);
    m_rig->console().state().setReloadSchedule(false);
    click(u"cmdsave"_s);
    QCOMPARE(lastMessage(),
             message(u"星期五第 1 项：接收终端“1.300.”不对，终端地址应为 0 至 255。\n"
                     "文件没有保存。"_s,
                     u"输入错误"_s, MsgIcon::Exclamation));
    // The offending row is shown; nothing is written and the change stands.
    QCOMPARE(m_w->currentDay(), 4);
    QCOMPARE(m_w->selectedRow(), 0);
    QCOMPARE(GbkFiles::readBytes(m_rig->weekFile), before);
    QVERIFY(modified());
    QVERIFY(!m_rig->console().state().ReloadSchedule());
    // Quitting with Yes keeps the window open with the edits.
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    QVERIFY(!m_w->close());
    QVERIFY(m_w->isVisible());
}

void tst_weekprog_files::quit_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("escape");
    QTest::newRow("changed, Yes") << true << MsgAnswer::Yes << false;
    QTest::newRow("changed, No") << true << MsgAnswer::No << false;
    QTest::newRow("changed, Escape, No") << true << MsgAnswer::No << true;
    QTest::newRow("unchanged") << false << MsgAnswer::Yes << false;
}

void tst_weekprog_files::quit()
{
    QFETCH(bool, changed);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, escape);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    if (changed)
        addEntry(u"13:00:00"_s, u"午休"_s);
    m_rig->dialogs.answers.enqueue(answer);
    if (escape)
        QTest::keyClick(child<QPushButton>(u"cmdadd"_s), Qt::Key_Escape);
    else
        click(u"cmdquit"_s);
    QCOMPARE(lastMessage(),
             changed ? message(kSaveQuestion, kSaveTitle, MsgIcon::Question) : QStringList());
    settle();
    QVERIFY(m_w.isNull());
    QCOMPARE(mondayInFile(m_rig->weekFile), changed && answer == MsgAnswer::Yes ? 4 : 3);
}

void tst_weekprog_files::quitWithTheNameCancelledKeepsTheEdits()
{
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    addEntry(u"13:00:00"_s, u"午休"_s);
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes); // save, then no name given
    click(u"cmdquit"_s);
    settle();
    QVERIFY(!m_w.isNull());
    QVERIFY(m_w->isVisible());
    QVERIFY(modified());
    QCOMPARE(day(0).count(), 1);
}

void tst_weekprog_files::importAnsweredYesThenCancelled()
{
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    click(u"cmdLoadDate"_s);
    QCOMPARE(m_rig->dialogs.shown.value(0).buttons, MsgButtons::YesNo);
    QCOMPARE(lastMessage(), message(u"删除当前的记录吗?"_s, u"载入日期文件"_s, MsgIcon::Question));
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"加载日期文件"_s});
    QCOMPARE(QDir::cleanPath(m_rig->dialogs.fileDialogFolders.value(0)),
             QDir::cleanPath(m_rig->file(u"table/date"_s)));
    // The list was emptied at once and stays empty; the other days keep theirs.
    // The emptied day is a change to save or to be asked about.
    QCOMPARE(day(0).count(), 0);
    QCOMPARE(day(1).count(), 1);
    QVERIFY(modified());
}

void tst_weekprog_files::exportDay()
{
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    addEntry(u"13:00:00"_s, u"午休"_s);
    const QString date = m_rig->file(u"table/date/20261208"_s);
    QDir().mkpath(m_rig->file(u"table/date"_s));
    m_rig->dialogs.files.enqueue(date);
    click(u"cmdSaveAsDate"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"保存日期文件"_s});
    QCOMPARE(QDir::cleanPath(m_rig->dialogs.fileDialogFolders.value(0)),
             QDir::cleanPath(m_rig->file(u"table/date"_s)));
    QCOMPARE(lastMessage(), message(u"保存成功!"_s, u"保存日期文件"_s, MsgIcon::Information));
    // The console reads the day back; the week, its file and its caption
    // are untouched.
    const ScheduleFile::DayRead read = ScheduleFile::readDateFile(date + u".txt"_s);
    QVERIFY(read.ok);
    QCOMPARE(read.entries, day(0).entries());
    QCOMPARE(m_w->currentFile(), m_rig->weekFile);
    QVERIFY(modified());
}

void tst_weekprog_files::roundTripThroughTheConsole()
{
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    auto *tabs = child<QTabWidget>(u"SSTabweek"_s);
    auto *panel = m_w->findChild<EntryTargetsPanel *>();
    for (int d : {0, 1}) {
        tabs->setCurrentIndex(d);
        m_rig->dialogs.answers.enqueue(MsgAnswer::Ok);
        trigger(u"mnudelall"_s);
    }
    const QList<std::pair<int, ScheduleEntry>> week {
        {0,
         {u"07:30:00"_s, 1, u"起床铃"_s, u"/srv/bell/起床.mp3"_s, 16000, u"00:01:00"_s,
          u"3.17.200."_s, u"1.3."_s, QString()}},
        {0,
         {u"12:00:00"_s, 8, u"午间新闻 “快讯”"_s, u"/srv/news/午间.wav"_s, 32767, u"00:15:00"_s,
          QString(), u"2."_s, u"1.8."_s}},
        {2,
         {u"08:00:00"_s, 3, u"早操"_s, u"/srv/早操"_s, 0, u"00:20:00"_s, u"5."_s, QString(),
          QString()}},
        {6,
         {u"23:59:59"_s, 2, u"外设控制"_s, u"外设控制"_s, 100, u"00:00:00"_s, QString(), QString(),
          u"4."_s}},
    };
    for (const auto &[d, e] : week) {
        tabs->setCurrentIndex(d);
        setFields(e.time, e.channel - 1, e.detail, e.filename, e.volume, e.plen);
        panel->loadTargets(e.zone, e.amp, e.device);
        click(u"cmdadd"_s);
        // Add empties the file and the length for the next entry.
        QCOMPARE(edit(u"txtfile"_s)->text() + picker(u"dtpplen"_s)->text(), u"00:00:00"_s);
    }
    ConsoleState &state = m_rig->console().state();
    state.setReloadSchedule(false);
    click(u"cmdsave"_s);
    QVERIFY(state.ReloadSchedule());

    // Every day as entered, by the console's own reader.
    for (int d = 0; d < 7; ++d) {
        DayTable expected;
        for (const auto &[entryDay, e] : week) {
            if (entryDay == d)
                expected << e;
        }
        const ScheduleFile::DayRead read
            = ScheduleFile::readDayOfWeekFile(m_rig->weekFile, Weekdays::fileName(d));
        QVERIFY(read.ok);
        QCOMPARE(read.entries, expected);
    }
    const QByteArray bytes = GbkFiles::readBytes(m_rig->weekFile);
    QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
    QCOMPARE(bytes.count("\r\n"), 7 + 4);
    QVERIFY(bytes.startsWith(toGbk(u"00,00,00,星期一,00,00,00,00,00\r\n"
                                   u"07:30:00, 1 ,起床铃,/srv/bell/起床.mp3, 16000 ,"
                                   u"00:01:00,3.17.200.,1.3.,\r\n")));

    // The console takes the saved week at its next tick (a Monday).
    m_rig->console().timerplayer_Timer();
    QVERIFY(!state.ReloadSchedule());
    const ProgrammeModel &today = m_rig->console().programme();
    QStringList details;
    for (int i = 0; i < today.count(); ++i)
        details << today.entry(i).detail;
    details.sort();
    QCOMPARE(details, QStringList({u"午间新闻 “快讯”"_s, u"起床铃"_s}));
}

QTEST_MAIN(tst_weekprog_files)
#include "tst_weekprog_files.moc"
