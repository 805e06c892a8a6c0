// "编制自动播放列表" driven through its controls: activation, entries,
// arrangement, the pop-up menu, batch commands and lengths, audition.

#include "console/playbackengine.h"
#include "platform/widgetdialogs.h"
#include "weekprogfixture.h"

#include <QMessageBox>
#include <QTimer>

using namespace Qt::StringLiterals;

class tst_weekprog : public QObject, public WeekprogFixture
{
    Q_OBJECT
private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void activation_data();
    void activation();
    void layout();
    void invalidEntryIsRefused_data();
    void invalidEntryIsRefused();
    void rowWithoutSelectionActsOnNothing_data();
    void rowWithoutSelectionActsOnNothing();
    void rowClickAndPreviousEntry();
    void moveDeleteAndCopy();
    void popupMenuOverAList();
    void sortByColumnHeader();
    void quitAsksAfterEveryChange_data();
    void quitAsksAfterEveryChange();
    void threeFilesAtOnce();
    void batchCancelledOrRefused();
    void singleFileLengths_data();
    void singleFileLengths();
    void lateLengthBelongsToNothing();
    void folderAndPeripheralEntries_data();
    void folderAndPeripheralEntries();
    void auditionAndVolume();
    void auditionAndRowVolumeBesideOthers_data();
    void auditionAndRowVolumeBesideOthers();
    void screenshotOfAFilledWeek();
    void deleteAllThroughTheRealBox_data();
    void deleteAllThroughTheRealBox();
};

void tst_weekprog::activation_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("chosen"); // the open dialog's answer
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("day");
    QTest::newRow("new") << u"new"_s << QString() << QStringList() << true << 0 << 0;
    const QStringList openDialog {u"打开星期播放列表文件"_s};
    QTest::newRow("open, chosen") << u"open"_s << u"week"_s << openDialog << true << 4 << 0;
    QTest::newRow("open, cancelled: closes")
        << u"open"_s << QString() << openDialog << false << 0 << 0;
    QTest::newRow("edit current: today's tab")
        << u"edit"_s << QString() << QStringList() << true << 4 << 3;
}

void tst_weekprog::activation()
{
    QFETCH(QString, request);
    QFETCH(QString, chosen);
    QFETCH(QStringList, dialogs);
    QFETCH(bool, open);
    QFETCH(int, entries);
    QFETCH(int, day);
    m_rig->clock.set(QDateTime(QDate(2026, 12, 10), QTime(9, 0))); // a Thursday
    if (!chosen.isEmpty())
        m_rig->dialogs.files.enqueue(m_rig->weekFile);
    ConsoleState &state = m_rig->console().state();
    if (request == u"open")
        state.setNewWeekFileRequest(true); // cleared with the open request
    openEditor(request == u"new"        ? &ConsoleState::setNewWeekFileRequest
                   : request == u"open" ? &ConsoleState::setOpenWeekFileRequest
                                        : &ConsoleState::setEditCurrentWeekFileRequest);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, dialogs);
    if (!dialogs.isEmpty()) {
        QCOMPARE(QDir::cleanPath(m_rig->dialogs.fileDialogFolders.value(0)),
                 QDir::cleanPath(m_rig->file(u"table/week"_s)));
        QCOMPARE(m_rig->dialogs.fileDialogFilters.value(0), u"播放列表文件(*.txt)|*.txt"_s);
    }
    QVERIFY(!state.NewWeekFileRequest());
    QCOMPARE(!m_w.isNull(), open);
    if (!open)
        return;
    const QString file = entries > 0 ? m_rig->weekFile : QString();
    QCOMPARE(m_w->currentFile(), file);
    QCOMPARE(m_w->windowTitle(), file.isEmpty() ? kEditor : kEditor + u"--"_s + file);
    QCOMPARE(m_w->editor().entryCount(), entries);
    QCOMPARE(m_w->currentDay(), day);
    QVERIFY(!modified());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    // An activation without a request changes nothing.
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    m_w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_w.data()));
    settle();
    QCOMPARE(m_w->editor().entryCount(), entries);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, dialogs);
}

void tst_weekprog::layout()
{
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    auto *tabs = child<QTabWidget>(u"SSTabweek"_s);
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    QCOMPARE(captions,
             QStringList({u"星期一"_s, u"星期二"_s, u"星期三"_s, u"星期四"_s, u"星期五"_s,
                          u"星期六"_s, u"星期天"_s}));
    // Six columns shown at their shares of the width, the targets hidden.
    QTreeView *view = list();
    QHeaderView *header = view->header();
    QCOMPARE(header->model()->headerData(3, Qt::Horizontal).toString(), u"           播放文件"_s);
    int width = 0;
    for (int c = 0; c < 9; ++c) {
        QCOMPARE(view->isColumnHidden(c), c >= 6);
        width += c < 6 ? header->sectionSize(c) : 0;
    }
    QCOMPARE(width, view->viewport()->width());
    QVERIFY(header->sectionSize(3) > 3 * header->sectionSize(0));
    QVERIFY(!child<QPushButton>(u"cmdprev"_s)->isEnabled());
    QCOMPARE(child<QComboBox>(u"cmbchannel"_s)->currentIndex(), -1);
    // The targets sit where their frames belong: beside the fields, under the lists.
    auto *panel = m_w->findChild<EntryTargetsPanel *>();
    QVERIFY(panel->geometry().top() > tabs->geometry().bottom());
    QVERIFY(panel->geometry().left() > edit(u"txtfile"_s)->geometry().right());
    // The tab order follows the layout: the fields, the entry commands beside
    // them, the targets, then the row at the bottom.
    const QStringList order {u"DTPicker"_s,  u"cmbchannel"_s, u"txtdetail"_s, u"txtfile"_s,
                             u"cmdchoice"_s, u"cmdhear"_s,    u"Slidervol"_s, u"dtpplen"_s,
                             u"cmdadd"_s,    u"cmdprev"_s,    u"lvwnode"_s,   u"cmbday"_s,
                             u"cmdsave"_s,   u"cmdquit"_s};
    QStringList seen;
    QWidget *w = child<QWidget>(order.first());
    for (int i = 0; i < 200 && seen.size() < order.size(); ++i, w = w->nextInFocusChain()) {
        if (order.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
    }
    QCOMPARE(seen, order);
}

void tst_weekprog::invalidEntryIsRefused_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("shown");
    const QString fields = u"内容概述不能含有英文逗号“,”、双引号“\"”或换行。"_s;
    const QString title = u"输入错误"_s;
    QTest::newRow("add, no channel")
        << u"cmdadd"_s << -1 << u"起床"_s << u"/srv/a.mp3"_s
        << message(u"请选择播放频道！"_s, u"选择提示"_s, MsgIcon::Information);
    QTest::newRow("add, comma") << u"cmdadd"_s << 0 << u"早操,广播"_s << u"/srv/a.mp3"_s
                                << message(fields, title, MsgIcon::Exclamation);
    QTest::newRow("add, not GBK") << u"cmdadd"_s << 0 << u"铃"_s << u"/srv/한.mp3"_s
                                  << message(u"播放文件含有无法保存的字符“한”。"_s, title,
                                             MsgIcon::Exclamation);
    QTest::newRow("modify, quote") << u"cmdmodify"_s << 0 << u"\"早操\""_s << u"/srv/a.mp3"_s
                                   << message(fields, title, MsgIcon::Exclamation);
    QTest::newRow("modify, no channel")
        << u"cmdmodify"_s << -1 << u"起床"_s << u"/srv/a.mp3"_s
        << message(u"请选择播放频道！"_s, u"选择提示"_s, MsgIcon::Information);
}

void tst_weekprog::invalidEntryIsRefused()
{
    QFETCH(QString, button);
    QFETCH(int, channel);
    QFETCH(QString, detail);
    QFETCH(QString, file);
    QFETCH(QStringList, shown);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    clickRow(1);
    const DayTable before = day(0).entries();
    setFields(u"07:00:00"_s, channel, detail, file);
    click(button);
    QCOMPARE(lastMessage(), shown);
    QCOMPARE(day(0).entries(), before);
    QVERIFY(!modified());
}

void tst_weekprog::rowWithoutSelectionActsOnNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("修 改") << u"cmdmodify"_s;
    QTest::newRow("删 除") << u"cmddel"_s;
    QTest::newRow("接前一曲") << u"mnuprev"_s;
    QTest::newRow("连续编排") << u"mnucon"_s;
    QTest::newRow("删    除") << u"mnudel"_s;
}

void tst_weekprog::rowWithoutSelectionActsOnNothing()
{
    QFETCH(QString, command);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    const DayTable before = day(0).entries();
    setFields(u"07:00:00"_s, 1, u"别的"_s, u"/srv/b.mp3"_s);
    QCOMPARE(m_w->selectedRow(), -1);
    if (command.startsWith(u"mnu"))
        trigger(command);
    else
        click(command);
    QCOMPARE(day(0).entries(), before);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    QVERIFY(!modified());
    QCOMPARE(picker(u"DTPicker"_s)->time(), QTime(7, 0));
}

void tst_weekprog::rowClickAndPreviousEntry()
{
    GbkFiles::writeText(m_rig->weekFile,
                        u"00,00,00,星期一,00,00,00,00,00\n"
                        "08:00:00, 2 ,上课,/srv/class.mp3, 1200 ,00:05:30,3.17.200.,1.3.,2.\n"
                        "09:00:00, 4 ,下课,/srv/out.mp3, 900 ,00:00:30,,,\n"_s);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    auto *prev = child<QPushButton>(u"cmdprev"_s);
    clickRow(0);
    QVERIFY(!prev->isEnabled());
    // The clicked row fills the fields; its volume becomes the console's.
    QCOMPARE(fields(), u"08:00:00|1|上课|/srv/class.mp3|1200|00:05:30"_s);
    QCOMPARE(m_rig->console().volume().value(), 1200);
    auto *panel = m_w->findChild<EntryTargetsPanel *>();
    QCOMPARE(panel->BuildZoneField() + panel->BuildAmpField() + panel->BuildDeviceField(),
             u"3.17.200.1.3.2."_s);

    clickRow(1);
    QVERIFY(prev->isEnabled());
    click(u"cmdprev"_s);
    // The picker only: the row changes with "修 改".
    QCOMPARE(fields(), u"08:05:31|3|下课|/srv/out.mp3|900|00:00:30"_s);
    QVERIFY(!prev->isEnabled());
    QCOMPARE(times(0), QStringList({u"08:00:00"_s, u"09:00:00"_s}));
    QVERIFY(!modified());
    click(u"cmdmodify"_s);
    QCOMPARE(times(0), QStringList({u"08:00:00"_s, u"08:05:31"_s}));
    QVERIFY(modified());

    clickRow(1);
    QVERIFY(prev->isEnabled());
    child<QTabWidget>(u"SSTabweek"_s)->setCurrentIndex(2);
    QVERIFY(!prev->isEnabled());
}

void tst_weekprog::moveDeleteAndCopy()
{
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    clickRow(1);
    click(u"cmddown"_s);
    QCOMPARE(times(0), QStringList({u"12:00:00"_s, u"08:00:00"_s, u"07:30:00"_s}));
    QCOMPARE(m_w->selectedRow(), 2);
    QVERIFY(list()->hasFocus());
    click(u"cmdup"_s);
    QCOMPARE(m_w->selectedRow(), 1);
    QCOMPARE(times(0), QStringList({u"12:00:00"_s, u"07:30:00"_s, u"08:00:00"_s}));
    // Delete leaves no row selected, so a second press deletes nothing.
    click(u"cmddel"_s);
    QCOMPARE(times(0), QStringList({u"12:00:00"_s, u"08:00:00"_s}));
    click(u"cmddel"_s);
    QCOMPARE(day(0).count(), 2);

    // "复制" from the day chosen in "从星期", after the rows there; not onto itself.
    m_w->cmdsave_Click();
    auto *from = child<QComboBox>(u"cmbday"_s);
    from->setCurrentIndex(0);
    click(u"cmdcopy"_s);
    QVERIFY(!modified());
    from->setCurrentIndex(1);
    click(u"cmdcopy"_s);
    QCOMPARE(times(0), QStringList({u"12:00:00"_s, u"08:00:00"_s, u"09:00:00"_s}));
    QVERIFY(modified());
}

void tst_weekprog::popupMenuOverAList()
{
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    QTreeView *view = list();
    // The right button selects the row under the pointer and shows the menu there.
    const QPoint at = view->visualRect(view->model()->index(1, 0)).center();
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent context(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &context);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, at);
    auto *menu = child<QMenu>(u"mnuitemedit"_s);
    QVERIFY(QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000));
    QStringList captions;
    for (QAction *a : menu->actions())
        captions << a->text();
    QCOMPARE(captions,
             QStringList({u"接前一曲"_s, u"连续编排"_s, u"上    移"_s, u"下    移"_s, u"删    除"_s,
                          u"全部删除"_s}));
    QCOMPARE(m_w->selectedRow(), 1);
    // "接前一曲" from the menu applies at once: 12:00:00 + 00:00:30 + 1 s.
    trigger(u"mnuprev"_s);
    menu->hide();
    QCOMPARE(times(0), QStringList({u"12:00:00"_s, u"12:00:31"_s, u"08:00:00"_s}));
    QCOMPARE(day(0).entry(1).detail, u"起床"_s);
    QVERIFY(modified());

    // "连续编排" from the first row chains the rest; "全部删除" asks first.
    m_w->cmdsave_Click();
    clickRow(0);
    trigger(u"mnucon"_s);
    QCOMPARE(times(0), QStringList({u"12:00:00"_s, u"12:00:31"_s, u"12:01:02"_s}));
    QVERIFY(modified());
    m_w->cmdsave_Click();
    m_rig->dialogs.answers.enqueue(MsgAnswer::Cancel);
    trigger(u"mnudelall"_s);
    QCOMPARE(lastMessage(), message(u"真的要全部删除吗？"_s, u"请确认"_s, MsgIcon::Question));
    QCOMPARE(day(0).count(), 3);
    QVERIFY(!modified());
    m_rig->dialogs.answers.enqueue(MsgAnswer::Ok);
    trigger(u"mnudelall"_s);
    QCOMPARE(day(0).count(), 0);
    QCOMPARE(day(1).count(), 1);
    QVERIFY(modified());
}

void tst_weekprog::sortByColumnHeader()
{
    GbkFiles::writeText(m_rig->weekFile,
                        u"00,00,00,星期一,00,00,00,00,00\n"
                        "08:00:00, 2 ,b,/srv/b.mp3, 80 ,00:05:30,,,\n"
                        "09:00:00, 4 ,a,/srv/a.mp3, 100 ,00:00:30,,,\n"
                        "07:00:00, 1 ,c,/srv/c.mp3, 90 ,00:00:30,,,\n"_s);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    QHeaderView *header = list()->header();
    const auto clickHeader = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
    };
    clickHeader(DayTableModel::VolumeColumn);
    // By text: "100" before "80".
    QCOMPARE(times(0), QStringList({u"09:00:00"_s, u"08:00:00"_s, u"07:00:00"_s}));
    clickHeader(DayTableModel::TimeColumn);
    QCOMPARE(times(0), QStringList({u"07:00:00"_s, u"08:00:00"_s, u"09:00:00"_s}));
    QVERIFY(modified());
    // The sorted order is the order that is saved.
    m_w->cmdsave_Click();
    const DayTable saved = ScheduleFile::readDayOfWeekFile(m_rig->weekFile, u"星期一"_s).entries;
    QCOMPARE(saved, day(0).entries());
}

void tst_weekprog::quitAsksAfterEveryChange_data()
{
    // The week: Monday (tab 0) 12:00:00, 07:30:00, 08:00:00; Tuesday (1)
    // 09:00:00; Wednesday (2) 08:00:00 and 08:00:31, chained and in order;
    // the other days empty. Each command runs on the saved week.
    QTest::addColumn<QString>("command"); // a button, a menu item, "header" (a click on 播放时间)
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("row"); // clicked before the command; -1 for none
    QTest::addColumn<int>("from"); // "从星期" for "复制"
    QTest::addColumn<QString>("answers"); // the command's own questions: ok, cancel, yes, no
    QTest::addColumn<QString>("chosen"); // the file dialog: date, empty, bad, two, song, folder
    QTest::addColumn<bool>("marked"); // the expected Modified
    const auto row = [](const char *name, const QString &command, int tab, int clicked, int from,
                        const QString &answers, const QString &chosen, bool marked) {
        QTest::newRow(name) << command << tab << clicked << from << answers << chosen << marked;
    };
    row("增 加", u"cmdadd"_s, 0, -1, -1, {}, {}, true);
    row("修 改", u"cmdmodify"_s, 0, 1, -1, {}, {}, true);
    row("修 改 with no row selected", u"cmdmodify"_s, 0, -1, -1, {}, {}, false);
    row("修 改 on an empty day", u"cmdmodify"_s, 3, -1, -1, {}, {}, true);
    row("删 除", u"cmddel"_s, 0, 1, -1, {}, {}, true);
    row("删 除 with no row selected", u"cmddel"_s, 0, -1, -1, {}, {}, false);
    row("删    除 (menu)", u"mnudel"_s, 0, 2, -1, {}, {}, true);
    row("上 移", u"cmdup"_s, 0, 1, -1, {}, {}, true);
    row("下 移", u"cmddown"_s, 0, 1, -1, {}, {}, true);
    row("上    移 (menu)", u"mnuup"_s, 0, 2, -1, {}, {}, true);
    row("下    移 (menu)", u"mnudown"_s, 0, 0, -1, {}, {}, true);
    // Nothing moves, yet the week counts as changed, as it always did.
    row("上 移 on the first row", u"cmdup"_s, 0, 0, -1, {}, {}, true);
    row("接前一曲: the picker only", u"cmdprev"_s, 0, 1, -1, {}, {}, false);
    row("接前一曲 (menu)", u"mnuprev"_s, 0, 1, -1, {}, {}, true);
    row("连续编排", u"mnucon"_s, 0, 0, -1, {}, {}, true);
    row("连续编排 on chained times", u"mnucon"_s, 2, 0, -1, {}, {}, false);
    row("连续编排 on an empty day", u"mnucon"_s, 3, -1, -1, {}, {}, false);
    row("全部删除", u"mnudelall"_s, 0, 0, -1, u"ok"_s, {}, true);
    row("全部删除 cancelled", u"mnudelall"_s, 0, 0, -1, u"cancel"_s, {}, false);
    row("全部删除 on an empty day", u"mnudelall"_s, 3, -1, -1, {}, {}, false);
    row("复制", u"cmdcopy"_s, 0, -1, 1, {}, {}, true);
    row("复制 onto itself", u"cmdcopy"_s, 0, -1, 0, {}, {}, false);
    row("复制 with no day chosen", u"cmdcopy"_s, 0, -1, -1, {}, {}, false);
    // An empty day copied adds nothing, yet counts as a change, as it always did.
    row("复制 from an empty day", u"cmdcopy"_s, 0, -1, 4, {}, {}, true);
    row("sort", u"header"_s, 0, -1, -1, {}, {}, true);
    row("sort in order already", u"header"_s, 2, -1, -1, {}, {}, false);
    row("sort an empty day", u"header"_s, 3, -1, -1, {}, {}, false);
    row("调日期, emptied, a file", u"cmdLoadDate"_s, 0, -1, -1, u"yes"_s, u"date"_s, true);
    row("调日期, kept, a file", u"cmdLoadDate"_s, 0, -1, -1, u"no"_s, u"date"_s, true);
    row("调日期, emptied, cancelled", u"cmdLoadDate"_s, 0, -1, -1, u"yes"_s, {}, true);
    row("调日期, kept, cancelled", u"cmdLoadDate"_s, 0, -1, -1, u"no"_s, {}, false);
    row("调日期, kept, a file without entries", u"cmdLoadDate"_s, 0, -1, -1, u"no"_s, u"empty"_s,
        false);
    row("调日期, kept, an unreadable file", u"cmdLoadDate"_s, 0, -1, -1, u"no"_s, u"bad"_s, false);
    row("调日期 on an empty day, emptied, cancelled", u"cmdLoadDate"_s, 3, -1, -1, u"yes"_s, {},
        false);
    row("选  择 two files", u"cmdmulfile"_s, 0, -1, -1, {}, u"two"_s, true);
    row("选  择 cancelled", u"cmdmulfile"_s, 0, -1, -1, {}, {}, false);
    row("单选: the fields only", u"cmdchoice"_s, 0, -1, -1, {}, u"song"_s, false);
    row("顺序播: the fields only", u"cmdsequence"_s, 0, -1, -1, {}, u"folder"_s, false);
    row("存日期: the week unchanged", u"cmdSaveAsDate"_s, 0, -1, -1, {}, u"date"_s, false);
}

void tst_weekprog::quitAsksAfterEveryChange()
{
    QFETCH(QString, command);
    QFETCH(int, tab);
    QFETCH(int, row);
    QFETCH(int, from);
    QFETCH(QString, answers);
    QFETCH(QString, chosen);
    QFETCH(bool, marked);
    const QString length = u",00:00:30,1.2.,1.,\n"_s;
    GbkFiles::writeText(
        m_rig->weekFile,
        u"00,00,00,星期一,00,00,00,00,00\n"_s + ConsoleRig::line(u"12:00:00"_s, u"午间"_s)
            + ConsoleRig::line(u"07:30:00"_s, u"起床"_s)
            + ConsoleRig::line(u"08:00:00"_s, u"上课"_s) + u"00,00,00,星期二,00,00,00,00,00\n"_s
            + ConsoleRig::line(u"09:00:00"_s, u"周二"_s) + u"00,00,00,星期三,00,00,00,00,00\n"_s
            + ConsoleRig::line(u"08:00:00"_s, u"早操"_s)
            + ConsoleRig::line(u"08:00:31"_s, u"早读"_s));
    const QString dates = m_rig->file(u"table/date/"_s);
    GbkFiles::writeText(dates + u"20261208.txt"_s, ConsoleRig::line(u"10:00:00"_s, u"新闻"_s));
    GbkFiles::writeText(dates + u"20261209.txt"_s, QString());
    GbkFiles::writeText(dates + u"20261210.txt"_s, u"10:00:00, x ,新闻,/srv/a.mp3, 9"_s + length);
    const QStringList two {u"/srv/song/1.mp3"_s, u"/srv/song/2.mp3"_s};
    for (const QString &path : two)
        m_rig->probe.durations.insert(path, 30000);

    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    QCOMPARE(times(2), QStringList({u"08:00:00"_s, u"08:00:31"_s}));
    click(u"cmdsave"_s);
    QVERIFY(!modified());
    const QByteArray saved = GbkFiles::readBytes(m_rig->weekFile);

    child<QTabWidget>(u"SSTabweek"_s)->setCurrentIndex(tab);
    // Fields that make a good entry; a clicked row puts its own in them.
    setFields(u"13:00:00"_s, 0, u"新的"_s, u"/srv/new.mp3"_s);
    if (row >= 0)
        clickRow(row);
    edit(u"txtdetail"_s)->setText(u"改过"_s);
    child<QComboBox>(u"cmbday"_s)->setCurrentIndex(from);
    for (const QString &answer : answers.split(u' ', Qt::SkipEmptyParts)) {
        m_rig->dialogs.answers.enqueue(answer == u"ok"           ? MsgAnswer::Ok
                                           : answer == u"cancel" ? MsgAnswer::Cancel
                                           : answer == u"yes"    ? MsgAnswer::Yes
                                                                 : MsgAnswer::No);
    }
    if (chosen == u"two")
        m_rig->dialogs.fileLists.enqueue(two);
    else if (chosen == u"date")
        m_rig->dialogs.files.enqueue(dates + u"20261208.txt"_s);
    else if (chosen == u"empty")
        m_rig->dialogs.files.enqueue(dates + u"20261209.txt"_s);
    else if (chosen == u"bad")
        m_rig->dialogs.files.enqueue(dates + u"20261210.txt"_s);
    else if (chosen == u"song")
        m_rig->dialogs.files.enqueue(two.first());
    else if (chosen == u"folder")
        m_rig->dialogs.files.enqueue(m_rig->dir.path());
    const WeekTables before = m_w->editor().tables();

    if (command == u"header") {
        QHeaderView *header = list()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
    } else if (command.startsWith(u"mnu")) {
        trigger(command);
    } else {
        click(command);
    }
    // The lengths of chosen files come later.
    QVERIFY(QTest::qWaitFor(
        [this] {
            return !child<QProgressDialog>(u"prglengths"_s) && !QApplication::overrideCursor();
        },
        5000));
    settle();
    QVERIFY(m_rig->dialogs.answers.isEmpty());
    QVERIFY(m_rig->dialogs.files.isEmpty() && m_rig->dialogs.fileLists.isEmpty());
    const bool changed = m_w->editor().tables() != before;
    const bool wasModified = modified();

    // "退 出": the question comes exactly when there is something to lose.
    m_rig->dialogs.shown.clear();
    m_rig->dialogs.answers.enqueue(MsgAnswer::No);
    click(u"cmdquit"_s);
    QCOMPARE(lastMessage(),
             marked ? message(kSaveQuestion, kSaveTitle, MsgIcon::Question) : QStringList());
    QCOMPARE(m_rig->dialogs.shown.size(), marked ? 1 : 0);
    QCOMPARE(wasModified, marked);
    // A day that changed is never left to be lost.
    if (changed)
        QVERIFY(wasModified);
    settle();
    QVERIFY(m_w.isNull());
    QCOMPARE(GbkFiles::readBytes(m_rig->weekFile), saved);
}

void tst_weekprog::threeFilesAtOnce()
{
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    const QStringList files {u"/srv/song/c.mp3"_s, u"/srv/song/a.wav"_s, u"/srv/song/b.mid"_s};
    m_rig->probe.durations.insert(files.at(0), 59600);
    m_rig->probe.durations.insert(files.at(1), 120000);
    // The third one's length is unknown.
    m_rig->dialogs.fileLists.enqueue(files);
    setFields(u"06:30:00"_s, 4, u"音乐"_s, u"/srv/song/old.mp3"_s, 7000, u"00:09:00"_s);
    click(u"cmdmulfile"_s);
    QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"请选择播放文件"_s});
    auto *progress = child<QProgressDialog>(u"prglengths"_s);
    QVERIFY(progress && progress->isVisible());
    QVERIFY(QTest::qWaitFor([this] { return !child<QProgressDialog>(u"prglengths"_s); }, 5000));
    QCOMPARE(m_rig->probe.asked, files);
    // In the dialog's order, all at the same time with the same fields.
    const QStringList lengths {u"00:00:59"_s, u"00:02:00"_s, u"00:00:00"_s};
    QCOMPARE(day(0).count(), 3);
    for (int i = 0; i < 3; ++i) {
        const ScheduleEntry &e = day(0).entry(i);
        QCOMPARE(e.filename, files.at(i));
        QCOMPARE(e.plen, lengths.at(i));
        const ScheduleEntry shared {u"06:30:00"_s, 5,  u"音乐"_s, e.filename, 7000,
                                    e.plen,        {}, {},        {}};
        QCOMPARE(e, shared);
    }
    QCOMPARE(edit(u"txtfile"_s)->text(), QString());
    QCOMPARE(picker(u"dtpplen"_s)->time(), QTime(0, 0));
    QVERIFY(modified());
}

void tst_weekprog::batchCancelledOrRefused()
{
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    const QStringList files {u"/srv/1.mp3"_s, u"/srv/2.mp3"_s, u"/srv/3.mp3"_s};
    for (const QString &f : files)
        m_rig->probe.durations.insert(f, 1000);
    m_rig->dialogs.fileLists.enqueue(files);
    setFields(u"06:30:00"_s, 0, u"音乐"_s, QString());
    // The operator cancels as soon as the first entry is in.
    connect(m_w->editor().day(0), &QAbstractItemModel::rowsInserted, this, [this] {
        if (auto *progress = child<QProgressDialog>(u"prglengths"_s))
            QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
    });
    click(u"cmdmulfile"_s);
    QVERIFY(QTest::qWaitFor([this] { return !child<QProgressDialog>(u"prglengths"_s); }, 5000));
    settle();
    QCOMPARE(day(0).count(), 1);
    QCOMPARE(day(0).entry(0).filename, files.at(0));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // Without a channel the batch does not start.
    m_rig->dialogs.fileDialogTitles.clear();
    child<QComboBox>(u"cmbchannel"_s)->setCurrentIndex(-1);
    click(u"cmdmulfile"_s);
    QCOMPARE(lastMessage().value(0), u"请选择播放频道！"_s);
    QVERIFY(m_rig->dialogs.fileDialogTitles.isEmpty());

    // A file whose path the schedule file cannot hold stops the batch before it starts.
    child<QComboBox>(u"cmbchannel"_s)->setCurrentIndex(0);
    m_rig->probe.asked.clear();
    m_rig->dialogs.fileLists.enqueue({u"/srv/4.mp3"_s, u"/srv/5,6.mp3"_s});
    click(u"cmdmulfile"_s);
    QCOMPARE(lastMessage(),
             message(u"/srv/5,6.mp3\n播放文件不能含有英文逗号“,”、双引号“\"”或换行。"_s,
                     u"输入错误"_s, MsgIcon::Exclamation));
    settle();
    QVERIFY(m_rig->probe.asked.isEmpty());
    QCOMPARE(day(0).count(), 1);
}

void tst_weekprog::singleFileLengths_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("file"); // "" for a file chosen in the dialog
    QTest::addColumn<QString>("expected"); // "" for nothing asked
    QTest::newRow("单选") << u"cmdchoice"_s << QString() << u"00:00:59"_s;
    QTest::newRow("全曲") << u"cmdwhole"_s << u"song.mp3"_s << u"00:00:59"_s;
    QTest::newRow("两次") << u"cmd2time"_s << u"song.mp3"_s << u"00:01:58"_s;
    QTest::newRow("三次") << u"cmd3time"_s << u"song.mp3"_s << u"00:02:57"_s;
    QTest::newRow("全曲 on a folder") << u"cmdwhole"_s << u"song"_s << QString();
    QTest::newRow("两次 on a missing file") << u"cmd2time"_s << u"none.mp3"_s << QString();
    QTest::newRow("三次 on the peripheral marker") << u"cmd3time"_s << u"外设控制"_s << QString();
}

void tst_weekprog::singleFileLengths()
{
    QFETCH(QString, button);
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    const QString song = m_rig->file(u"song.mp3"_s);
    GbkFiles::writeBytes(song, QByteArray("ID3"));
    QDir().mkpath(m_rig->file(u"song"_s));
    m_rig->probe.durations.insert(song, 59600);
    m_rig->probe.durations.insert(m_rig->file(u"song"_s), 59600);
    picker(u"dtpplen"_s)->setTime(QTime(0, 0, 7));
    if (file.isEmpty()) {
        m_rig->dialogs.files.enqueue(song);
        click(button);
        QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList {u"请选择一个播放文件"_s});
        QCOMPARE(edit(u"txtfile"_s)->text(), song);
    } else {
        edit(u"txtfile"_s)->setText(file == u"外设控制" ? file : m_rig->file(file));
        click(button);
    }
    QVERIFY(QTest::qWaitFor([] { return !QApplication::overrideCursor(); }, 5000));
    settle();
    QCOMPARE(picker(u"dtpplen"_s)->time().toString(u"HH:mm:ss"_s),
             expected.isEmpty() ? u"00:00:07"_s : expected);
    QCOMPARE(m_rig->probe.asked.isEmpty(), expected.isEmpty());
    QCOMPARE(m_w->editor().entryCount(), 0);
}

void tst_weekprog::lateLengthBelongsToNothing()
{
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    const QString song = m_rig->file(u"song.mp3"_s);
    GbkFiles::writeBytes(song, QByteArray("ID3"));
    m_rig->probe.durations.insert(song, 59600);
    QLineEdit *file = edit(u"txtfile"_s);
    file->setText(song);
    click(u"cmdwhole"_s);
    // The operator moves on to another file before the length is known.
    file->setText(u"/srv/other.mp3"_s);
    QVERIFY(QTest::qWaitFor([] { return !QApplication::overrideCursor(); }, 5000));
    QCOMPARE(m_rig->probe.asked, QStringList {song});
    QCOMPARE(picker(u"dtpplen"_s)->time(), QTime(0, 0));

    // A second length asked for before the first is known replaces it.
    file->setText(song);
    click(u"cmdwhole"_s);
    click(u"cmd3time"_s);
    QVERIFY(QTest::qWaitFor([] { return !QApplication::overrideCursor(); }, 5000));
    settle();
    QCOMPARE(picker(u"dtpplen"_s)->time(), QTime(0, 2, 57));
}

void tst_weekprog::folderAndPeripheralEntries_data()
{
    QTest::addColumn<QString>("button"); // "" for the targets' "外  设"
    QTest::addColumn<QString>("marker");
    QTest::newRow("顺序播") << u"cmdsequence"_s << u"顺序播"_s;
    QTest::newRow("随机播") << u"CmdRand"_s << u"随机播"_s;
    QTest::newRow("外  设") << QString() << u"外设控制"_s;
}

void tst_weekprog::folderAndPeripheralEntries()
{
    QFETCH(QString, button);
    QFETCH(QString, marker);
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    setFields(u"10:00:00"_s, 0, u"旧的"_s, u"/srv/old.mp3"_s, 5000, u"00:20:00"_s);
    const QString folder = m_rig->file(u"song"_s);
    if (button.isEmpty()) {
        Q_EMIT m_w->findChild<EntryTargetsPanel *>()->peripheralOnlyRequested();
    } else {
        click(button); // cancelled: nothing changes
        QCOMPARE(edit(u"txtfile"_s)->text(), u"/srv/old.mp3"_s);
        m_rig->dialogs.files.enqueue(folder);
        click(button);
        QCOMPARE(m_rig->dialogs.fileDialogTitles, QStringList({u"请选择目录"_s, u"请选择目录"_s}));
    }
    const QString file = button.isEmpty() ? marker : folder;
    QCOMPARE(edit(u"txtfile"_s)->text(), file);
    QCOMPARE(edit(u"txtdetail"_s)->text(), marker);
    QCOMPARE(picker(u"dtpplen"_s)->time(), QTime(0, 20));
    QCOMPARE(m_w->editor().entryCount(), 0); // the entry comes with "增 加"
    click(u"cmdadd"_s);
    QCOMPARE(day(0).entry(0).filename, file);
    QCOMPARE(day(0).entry(0).detail, marker);
}

void tst_weekprog::auditionAndVolume()
{
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    // The slider is a view of the console's volume and moving it sets it.
    auto *slider = child<QSlider>(u"Slidervol"_s);
    m_rig->console().volume().setValue(1234);
    QCOMPARE(slider->value(), 1234);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageUp);
    QCOMPARE(m_rig->console().volume().value(), 2234);

    const QString song = m_rig->file(u"song.mp3"_s);
    GbkFiles::writeBytes(song, QByteArray("ID3"));
    edit(u"txtfile"_s)->setText(song);
    auto *hear = child<QPushButton>(u"cmdhear"_s);
    QCOMPARE(hear->text(), u"试  听"_s);
    m_rig->player.calls.clear();
    click(u"cmdhear"_s);
    QCOMPARE(m_rig->player.calls, QStringList {u"load "_s + song});
    QCOMPARE(hear->text(), u"停止"_s);
    // While the audition holds the player, the press stops it.
    m_rig->player.calls.clear();
    click(u"cmdhear"_s);
    QCOMPARE(hear->text(), u"试听"_s);
    QVERIFY(m_rig->player.calls.contains(u"stop"_s));
}

void tst_weekprog::auditionAndRowVolumeBesideOthers_data()
{
    // The steps: hear (press "试  听"), schedule (an item plays), hand (the
    // operator plays a file), pause, play, stop (the player's bar), end (the
    // file runs out), other (the player plays past the console's playback).
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("caption"); // of cmdhear then
    QTest::addColumn<bool>("follows"); // a clicked row's volume becomes the console's
    QTest::addColumn<QString>("press"); // what the next press asks of the player
    const auto row
        = [](const char *name, const QString &steps, const QString &caption, bool follows,
             const QString &press) { QTest::newRow(name) << steps << caption << follows << press; };
    const QString auditions = u"load song.mp3"_s;
    row("nothing plays", QString(), u"试  听"_s, true, auditions);
    row("the audition plays", u"hear"_s, u"停止"_s, true, u"stop|normal size"_s);
    row("the scheduler takes over", u"hear schedule"_s, u"试听"_s, false, auditions);
    row("the operator takes over", u"hear hand"_s, u"试听"_s, false, auditions);
    row("Play on the player's bar", u"hear pause play"_s, u"试听"_s, false, auditions);
    row("a stop is no take-over", u"hear stop"_s, u"停止"_s, true, QString());
    row("the end of the file is no take-over", u"hear end"_s, u"停止"_s, true, QString());
    // The press leaves the item that plays now alone.
    row("an item after the end of the file", u"hear end schedule"_s, u"停止"_s, false, QString());
    row("the operator's file is paused", u"hand pause"_s, u"试  听"_s, true, auditions);
    row("a file nobody here started plays", u"other"_s, u"试  听"_s, true, auditions);
}

void tst_weekprog::auditionAndRowVolumeBesideOthers()
{
    QFETCH(QString, steps);
    QFETCH(QString, caption);
    QFETCH(bool, follows);
    QFETCH(QString, press);
    QVERIFY(openEditor(&ConsoleState::setNewWeekFileRequest));
    const QString song = m_rig->file(u"song.mp3"_s);
    const QString item = m_rig->file(u"item.mp3"_s);
    GbkFiles::writeBytes(song, QByteArray("ID3"));
    GbkFiles::writeBytes(item, QByteArray("ID3"));
    setFields(u"08:00:00"_s, 0, u"上课"_s, song, 1200);
    click(u"cmdadd"_s);
    edit(u"txtfile"_s)->setText(song);
    MasterVolume &volume = m_rig->console().volume();
    volume.setValue(20000);
    PlaybackEngine &playback = m_rig->console().playback();
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        if (step == u"hear")
            click(u"cmdhear"_s);
        else if (step == u"schedule")
            playback.playsong(item, u"0"_s, PlayerHolder::Schedule);
        else if (step == u"hand")
            m_rig->console().playFileByHand(item);
        else if (step == u"pause")
            playback.pauseClicked();
        else if (step == u"play")
            playback.playClicked();
        else if (step == u"stop")
            playback.stopAction();
        else if (step == u"end")
            m_rig->player.finish();
        else if (step == u"other")
            m_rig->player.loadAndPlay(item);
        else
            QFAIL("not a step of this test");
    }
    auto *hear = child<QPushButton>(u"cmdhear"_s);
    QCOMPARE(hear->text(), caption);

    // The slider always shows the row; the console's volume only when no
    // broadcast would be turned down by it.
    auto *slider = child<QSlider>(u"Slidervol"_s);
    QCOMPARE(volume.value(), 20000);
    clickRow(0);
    QCOMPARE(slider->value(), 1200);
    QCOMPARE(volume.value(), follows ? 1200 : 20000);

    m_rig->player.calls.clear();
    click(u"cmdhear"_s);
    QCOMPARE(m_rig->player.calls.replaceInStrings(m_rig->dir.path() + u'/', QString()).join(u'|'),
             press);
    const bool auditioning = press.startsWith(u"load");
    QCOMPARE(hear->text(), auditioning ? u"停止"_s : u"试听"_s);
    // Only a new audition copies the slider to the console's volume.
    QCOMPARE(volume.value(), auditioning || follows ? 1200 : 20000);
    // The operator's own move of the slider always sets it.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageUp);
    QCOMPARE(volume.value(), 2200);
}

void tst_weekprog::screenshotOfAFilledWeek()
{
    const QStringList details = u"起床铃 早操音乐 早读 上课铃 下课铃 眼保健操 课间操 午餐音乐 "
                                u"午休 下午上课铃 新闻联播 晚自习"_s.split(u' ');
    WeekTables tables;
    for (int d = 0; d < 7; ++d) {
        for (int i = 0; i < (d < 5 ? 12 : 3); ++i) {
            tables[std::size_t(d)]
                << ScheduleEntry {QTime(6, 30).addSecs(i * 4100).toString(u"HH:mm:ss"_s),
                                  qint16(1 + i % 3),
                                  details.at(i),
                                  u"/srv/校园广播/"_s + details.at(i) + u".mp3"_s,
                                  qint16(12000 + i * 1000),
                                  u"00:0%1:30"_s.arg(1 + i % 5),
                                  u"1.2.3."_s,
                                  u"1."_s,
                                  QString()};
        }
    }
    QCOMPARE(ScheduleFile::writeWeekFile(m_rig->weekFile, tables), QString());
    GbkFiles::writeText(m_rig->file(u"node.txt"_s),
                        u"\"教学楼一层\",\"1\",\"1\"\n\"教学楼二层\",\"2\",\"1\"\n"
                        "\"操场\",\"3\",\"2\"\n\"食堂\",\"4\",\"3\"\n"_s);
    QVERIFY(openEditor(&ConsoleState::setEditCurrentWeekFileRequest));
    QCOMPARE(m_w->editor().entryCount(), 5 * 12 + 2 * 3);
    clickRow(3);
    // At its smallest nothing is squeezed: the layout fits the minimum size.
    QVERIFY(m_w->minimumSizeHint().width() <= m_w->minimumWidth());
    QVERIFY(m_w->minimumSizeHint().height() <= m_w->minimumHeight());
    for (const QSize size : {m_w->minimumSize(), QSize(1120, 780)}) {
        m_w->resize(size);
        settle();
        m_w->grab().save(QCoreApplication::applicationDirPath()
                         + u"/weekprog_%1.png"_s.arg(size.width()));
    }
}

void tst_weekprog::deleteAllThroughTheRealBox_data()
{
    QTest::addColumn<QString>("press"); // a button of the box, or a key
    QTest::addColumn<int>("left"); // entries left on the day
    QTest::newRow("确定") << u"ok"_s << 0;
    QTest::newRow("取消") << u"cancel"_s << 3;
    QTest::newRow("Enter: 确定") << u"Return"_s << 0;
    QTest::newRow("Escape: 取消") << u"Escape"_s << 3;
}

void tst_weekprog::deleteAllThroughTheRealBox()
{
    // Through the message box the operator sees, not the fake: the fake
    // once answered OK where the real box gave Cancel, and "全部删除" never
    // deleted.
    QFETCH(QString, press);
    QFETCH(int, left);
    GbkFiles::writeText(m_rig->weekFile,
                        u"00,00,00,星期一,00,00,00,00,00\n"
                        "08:00:00, 1 ,a,/srv/a.mp3, 80 ,00:00:30,,,\n"
                        "09:00:00, 1 ,b,/srv/b.mp3, 80 ,00:00:30,,,\n"
                        "10:00:00, 1 ,c,/srv/c.mp3, 80 ,00:00:30,,,\n"_s);
    Console &c = m_rig->console();
    WidgetDialogs real(m_main.get());
    c.state().setEditCurrentWeekFileRequest(true);
    m_w = new weekprog(weekprog::Services {real, c.folder(), c.clock(), c.probe(), c.volume(),
                                           c.playback(), c.state(), c.settings(), c.savedFiles()});
    m_w->show();
    QTRY_VERIFY(!c.state().EditCurrentWeekFileRequest());
    child<QTabWidget>(u"SSTabweek"_s)->setCurrentIndex(0);
    QCOMPARE(day(0).count(), 3);

    QString asked;
    QTimer operatorHand;
    connect(&operatorHand, &QTimer::timeout, this, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible())
                continue;
            operatorHand.stop();
            asked = box->text();
            QCOMPARE(box->parentWidget(), m_w.data()); // over the editor, not the main window
            if (press == u"ok")
                box->button(QMessageBox::Ok)->click();
            else if (press == u"cancel")
                box->button(QMessageBox::Cancel)->click();
            else
                QTest::keyClick(box, press == u"Return" ? Qt::Key_Return : Qt::Key_Escape);
            return;
        }
    });
    operatorHand.start(5);
    trigger(u"mnudelall"_s);
    QCOMPARE(asked, u"真的要全部删除吗？"_s);
    QCOMPARE(day(0).count(), left);
    QCOMPARE(modified(), left == 0);
}

QTEST_MAIN(tst_weekprog)
#include "tst_weekprog.moc"
