// The keyboard walk through every window of the console: Tab reaches each
// control once, in reading order, and Shift+Tab walks the same way back.
//
// The rule of reading order: the controls sit in a tree of blocks, the
// window, its group boxes, tab pages and other containers, and the rows,
// columns and cells of their layouts. Two controls are compared by the two
// blocks in which their ways part: the block that lies entirely above the
// other comes first; of two blocks that share rows, the one entirely to the
// left comes first; a container comes before what it holds (a tab bar before
// its page). Blocks that overlap both ways are not ordered. So a form is read
// row by row, a column of buttons beside a list after the list, and the
// buttons at the bottom of a window last.
//
// A control is a widget that takes the focus by Tab: a list or a table is one
// stop, a box with an edit field inside it (a combo box, a spin box, a time
// picker) is one stop and one Tab press leaves it. Menus and tool bars are
// outside the chain, as on any desktop.

#include "console/consolerig.h"
#include "console/frmabout.h"
#include "console/frmasrunlog.h"
#include "console/frmback.h"
#include "console/frmsetup.h"
#include "directory/frmnode.h"
#include "directory/frmremote.h"
#include "directory/frmsource.h"
#include "players/frmplaylist.h"
#include "players/frmrec.h"
#include "players/frmvcd.h"
#include "players/recordingsession.h"
#include "schedule/weekprog.h"
#include "support/consolewindows.h"
#include "support/fakemediaplayer.h"
#include "support/fakemediaprobe.h"
#include "support/fakerecorder.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"
#include "zonelink/frmMatrix.h"
#include "zonelink/frmclock.h"
#include "zonelink/frmmanual.h"
#include "zonelink/frmnodestatus.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The options of an exclusive group are one stop, as on any desktop: Tab
// comes to the chosen one and the arrow keys choose. The group is named by
// its first option.
QWidget *groupOf(QWidget *w)
{
    auto *button = qobject_cast<QAbstractButton *>(w);
    if (!button || !button->isCheckable())
        return w;
    if (QButtonGroup *group = button->group())
        return group->exclusive() ? group->buttons().constFirst() : w;
    if (!button->autoExclusive() || !button->parentWidget())
        return w;
    const auto siblings = button->parentWidget()->findChildren<QAbstractButton *>(
        QString(), Qt::FindDirectChildrenOnly);
    for (QAbstractButton *sibling : siblings) {
        if (sibling->isCheckable() && sibling->autoExclusive() && !sibling->group())
            return sibling;
    }
    return w;
}

// The widget that stands for the focus widget in the chain: a tab bar for
// its tab widget, which hands the focus on to it; an option for its group.
QWidget *controlOf(QWidget *w)
{
    while (w && !w->isWindow() && w->parentWidget() && w->parentWidget()->focusProxy() == w)
        w = w->parentWidget();
    return w ? groupOf(w) : w;
}

// Where a control is seen: the widget that ends up with its focus.
QWidget *focusTaker(QWidget *control)
{
    while (control->focusProxy())
        control = control->focusProxy();
    return control;
}

bool onABar(const QWidget *w)
{
    for (const QWidget *p = w; p && !p->isWindow(); p = p->parentWidget()) {
        if (qobject_cast<const QMenuBar *>(p) || qobject_cast<const QToolBar *>(p)
            || qobject_cast<const QMenu *>(p))
            return true;
    }
    return false;
}

// Every visible, enabled control of the window that Tab should reach.
QWidgetList controls(QWidget *window)
{
    QWidgetList result;
    const QWidgetList all = window->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (w->window() != window || !w->isVisible() || !w->isEnabled())
            continue;
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || onABar(w))
            continue;
        QWidget *control = controlOf(w);
        if (!result.contains(control))
            result << control;
    }
    return result;
}

QString nameOf(const QWidget *w)
{
    if (!w)
        return u"(none)"_s;
    if (!w->objectName().isEmpty())
        return w->objectName();
    const QString text = w->property("text").toString();
    return QString::fromLatin1(w->metaObject()->className())
        + (text.isEmpty() ? QString() : u" \""_s + text + u'"');
}

QString names(const QWidgetList &widgets)
{
    QStringList result;
    for (const QWidget *w : widgets)
        result << nameOf(w);
    return result.join(u", "_s);
}

// One block of the reading order, in window coordinates.
struct Block
{
    const void *id;
    QRect rect;
};

// The layouts of a widget, outermost first, that hold the child.
bool layoutsHolding(QLayout *layout, const QWidget *child, QList<QLayout *> &chain)
{
    chain << layout;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == child)
            return true;
        if (item->layout() && layoutsHolding(item->layout(), child, chain))
            return true;
    }
    chain.removeLast();
    return false;
}

QList<Block> blocksOf(QWidget *control, QWidget *window)
{
    QList<Block> innerFirst;
    QWidget *child = focusTaker(control);
    innerFirst << Block {child, QRect(child->mapTo(window, QPoint()), child->size())};
    while (child != window) {
        QWidget *parent = child->parentWidget();
        QList<QLayout *> layouts;
        if (parent->layout())
            layoutsHolding(parent->layout(), child, layouts);
        for (auto it = layouts.crbegin(); it != layouts.crend(); ++it) {
            const QRect r = (*it)->geometry();
            innerFirst << Block {*it, QRect(parent->mapTo(window, r.topLeft()), r.size())};
        }
        if (parent != window)
            innerFirst << Block {parent, QRect(parent->mapTo(window, QPoint()), parent->size())};
        child = parent;
    }
    return {innerFirst.crbegin(), innerFirst.crend()};
}

// Whether a comes before b in reading order (see the rule at the top).
bool readsBefore(const QList<Block> &a, const QList<Block> &b)
{
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a.at(i).id == b.at(i).id)
        ++i;
    if (i == a.size() || i == b.size())
        return i == a.size() && i < b.size();
    // A pixel or two of overlap is the frame of a neighbour, not a shared row.
    constexpr int slack = 2;
    const QRect &ra = a.at(i).rect;
    const QRect &rb = b.at(i).rect;
    if (ra.y() + ra.height() <= rb.y() + slack)
        return true;
    if (rb.y() + rb.height() <= ra.y() + slack)
        return false;
    return ra.x() + ra.width() <= rb.x() + slack;
}

// The walk of the focus from the start by one key until it comes back.
struct Walk
{
    QWidgetList visited; // the controls in the order reached, the start first
    QStringList stayed; // the controls a key press did not leave
    QString fault;
};

Walk walk(QWidget *window, QWidget *start, bool forward, qsizetype limit, bool alone)
{
    Walk result;
    focusTaker(start)->setFocus(Qt::OtherFocusReason);
    QWidget *current = controlOf(QApplication::focusWidget());
    if (current != start) {
        result.fault = u"the focus cannot be put on "_s + nameOf(start);
        return result;
    }
    result.visited << current;
    int sameInARow = 0;
    for (qsizetype press = 0; press < limit; ++press) {
        QWidget *focus = QApplication::focusWidget();
        if (forward)
            QTest::keyClick(focus, Qt::Key_Tab);
        else
            QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
        // What the press set going happens before the next, as at the keyboard.
        QCoreApplication::processEvents();
        QWidget *now = controlOf(QApplication::focusWidget());
        if (!now || now->window() != window) {
            result.fault = u"the focus left the window after "_s + nameOf(current);
            return result;
        }
        if (now == current && alone)
            return result; // the one control of the window keeps the focus
        if (now == current) {
            result.stayed << nameOf(now);
            // A time picker stays for each of its parts; more is a trap.
            if (++sameInARow > 5) {
                result.fault = u"the focus stays on "_s + nameOf(now);
                return result;
            }
            continue;
        }
        sameInARow = 0;
        current = now;
        if (now == start)
            return result;
        if (result.visited.contains(now)) {
            result.fault = u"%1 reached again before coming back to %2, after: %3"_s.arg(
                nameOf(now), nameOf(start), names(result.visited));
            return result;
        }
        result.visited << now;
    }
    result.fault
        = u"the focus never came back to %1, went: %2"_s.arg(nameOf(start), names(result.visited));
    return result;
}

// The window under test with what it was made from.
struct Opened
{
    Opened()
    {
        // Names and frequencies that the windows accept as they are: a
        // frequency out of range holds the focus until it is corrected.
        QString amps;
        for (int n = 1; n <= 8; ++n)
            amps += u"\"功放%1\"\n"_s.arg(n);
        for (int n = 1; n <= 8; ++n)
            amps += u"\"%1\"\n"_s.arg(80 + n * 2.5);
        for (int n = 1; n <= 8; ++n)
            amps += u"\"外设%1\"\n"_s.arg(n);
        GbkFiles::writeText(rig->file(u"amp_name.dat"_s), amps);
        rig->start();
    }

    std::unique_ptr<ConsoleRig> rig = std::make_unique<ConsoleRig>();
    FakeMediaPlayer player;
    FakeMediaProbe probe;
    FakeRecorder recorder;
    std::unique_ptr<QWidget> window;

    ~Opened()
    {
        // The window goes before the console and the fakes it shows.
        window.reset();
        rig.reset();
    }
};

using Builder = std::function<QWidget *(Opened &)>;

QWidget *mainWindow(Opened &o, bool player)
{
    // Made after the console's start-up, as a window may be.
    auto *w = new frmback(o.rig->console());
    w->resize(1024, 768);
    if (w->findChild<QWidget *>(u"fraplayer"_s)->isVisibleTo(w) != player)
        w->findChild<QAction *>(u"mnushowplayer"_s)->trigger();
    return w;
}

QHash<QString, Builder> builders()
{
    return {
        {u"frmback"_s, [](Opened &o) { return mainWindow(o, true); }},
        {u"frmback without player"_s, [](Opened &o) { return mainWindow(o, false); }},
        {u"frmsetup"_s, [](Opened &o) { return new frmsetup(setupServices(o.rig->console())); }},
        {u"frmAbout"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmAbout(c.launcher(), c.dialogs());
         }},
        {u"frmnode"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmnode(c.dialogs(), c.folder(), c.settings().configIni(), c.savedFiles());
         }},
        {u"frmsource"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmsource(c.dialogs(), c.folder(), c.savedFiles());
         }},
        {u"frmremote"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmremote(c.dialogs(), c.folder(), c.savedFiles());
         }},
        {u"frmmanual"_s, [](Opened &o) { return new frmmanual(manualServices(o.rig->console())); }},
        {u"frmnodestatus"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmnodestatus(c.link(), c.dialogs(), c.folder());
         }},
        {u"frmbackup"_s,
         [](Opened &o) {
             return new frmbackup(
                 backupServices(o.rig->console(), o.rig->file(u"config/broadcast.conf"_s)));
         }},
        {u"frmrestore"_s,
         [](Opened &o) {
             return new frmrestore(
                 backupServices(o.rig->console(), o.rig->file(u"config/broadcast.conf"_s)));
         }},
        {u"frmclock"_s, [](Opened &o) { return new frmclock(clockServices(o.rig->console())); }},
        {u"frmMatrix"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmMatrix(c.link(), c.state().MatrixRoutes, c.dialogs());
         }},
        {u"weekprog"_s,
         [](Opened &o) {
             // Opened on the week file in use, as "编辑当前星期文件" does.
             Console &c = o.rig->console();
             c.state().setEditCurrentWeekFileRequest(true);
             return new weekprog(weekprogServices(c));
         }},
        {u"frmplaylist"_s,
         [](Opened &o) {
             return new frmplaylist(playlistServices(o.rig->console()), o.player, o.probe);
         }},
        {u"frmrec"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmrec(c.dialogs(), c.folder(), o.recorder, o.player, o.rig->mixer);
         }},
        {u"frmvcd"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmvcd(c.dialogs(), c.folder(), o.player);
         }},
        {u"frmvcd with a file"_s,
         [](Opened &o) {
             // A file open: the transport buttons take part too.
             Console &c = o.rig->console();
             auto *w = new frmvcd(c.dialogs(), c.folder(), o.player);
             o.rig->dialogs.files.enqueue(o.rig->file(u"a.dat"_s));
             w->findChild<QPushButton *>(u"cmdopen"_s)->click();
             return w;
         }},
        {u"frmasrunlog"_s,
         [](Opened &o) {
             Console &c = o.rig->console();
             return new frmasrunlog(c.asRunLog(), c.clock(), c.dialogs());
         }},
    };
}

using Step = std::function<void(Opened &, QWidget *)>;

void click(QWidget *window, const QString &name)
{
    auto *button = window->findChild<QAbstractButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

// What the operator does first, once the window is up, so that controls
// enabled only then take part too.
QHash<QString, Step> firstSteps()
{
    return {
        {u"frmclock adjusting"_s, [](Opened &, QWidget *w) { click(w, u"chkadjtime"_s); }},
        {u"frmplaylist playing, timed"_s,
         [](Opened &o, QWidget *w) {
             const QString song = o.rig->file(u"a.wav"_s);
             QFile file(song);
             QVERIFY(file.open(QIODevice::WriteOnly));
             file.write(TestMedia::wav(1.0));
             file.close();
             static_cast<frmplaylist *>(w)->playlist().append({song});
             click(w, u"cmdplay"_s);
             click(w, u"chkfromto"_s);
         }},
        {u"frmrec with a take"_s,
         [](Opened &o, QWidget *w) {
             click(w, u"mmcrec_record"_s);
             o.recorder.advance(1500);
             click(w, u"mmcrec_stop"_s);
             o.recorder.complete();
             auto *recorder = static_cast<frmrec *>(w);
             QTRY_COMPARE(recorder->session().mode(), RecordingSession::Mode::Stopped);
         }},
        {u"weekprog on a later row"_s,
         [](Opened &, QWidget *w) {
             // "接前一曲" is there from the second row on.
             auto *editor = static_cast<weekprog *>(w);
             auto *view
                 = w->findChild<QTreeView *>(u"lvw_"_s + QString::number(editor->currentDay()));
             QVERIFY(view && view->model()->rowCount() >= 2);
             const QRect row = view->visualRect(view->model()->index(1, 0));
             QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
         }},
    };
}

// Lets the window take in what it queued on showing (notices, requests).
void settle()
{
    bool done = false;
    QMetaObject::invokeMethod(
        qApp, [&done] { done = true; }, Qt::QueuedConnection);
    QVERIFY(QTest::qWaitFor([&done] { return done; }, 5000));
}

// Counts the requests to close a window, granted or not.
class CloseCounter final : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            ++count;
        return false;
    }
};

void showAndSettle(Opened &opened)
{
    QWidget *w = opened.window.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w));
    settle();
    // Notices the window gave on opening are answered by the fake at once.
    QVERIFY(QTest::qWaitFor([&opened] { return opened.rig->dialogs.answersUnderway() == 0; }));
}

void showPage(QWidget *w, const QString &tabs, int pages, int page)
{
    if (tabs.isEmpty())
        return;
    auto *tabWidget = w->findChild<QTabWidget *>(tabs);
    QVERIFY(tabWidget);
    // A page added later gets its own row.
    QCOMPARE(tabWidget->count(), pages);
    tabWidget->setCurrentIndex(page);
    settle(); // the page just shown is laid out
}

// Opens the window of a row as the operator finds it: up and active, its
// opening notices answered, the first steps taken, the page of the row in
// view (chosen last: the editor turns to today's page on opening).
void openRow(Opened &opened, const QString &window, const QString &tabs, int pages, int page)
{
    const QString base = window.section(u' ', 0, 0);
    QVERIFY(builders().contains(window) || builders().contains(base));
    opened.window.reset(builders().value(window, builders().value(base))(opened));
    showAndSettle(opened);
    if (QTest::currentTestFailed())
        return;
    if (const Step step = firstSteps().value(window))
        step(opened, opened.window.get());
    showPage(opened.window.get(), tabs, pages, page);
}

// The windows, their states and pages, each with the fewest controls it has
// in view: a window that comes up short was not built as the console builds
// it. Only the rows of the windows taken are added.
void addWindowRows(const std::function<bool(const QString &window, int least)> &take)
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("tabs"); // the window's tab widget, whose page is in view
    QTest::addColumn<int>("pages"); // how many it has
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("least"); // the fewest controls it has in view

    const std::pair<QString, int> plain[] {
        {u"frmback"_s, 5},
        {u"frmback without player"_s, 1},
        {u"frmAbout"_s, 2},
        {u"frmnode"_s, 8},
        {u"frmsource"_s, 10},
        {u"frmremote"_s, 4},
        {u"frmnodestatus"_s, 6},
        {u"frmbackup"_s, 5},
        {u"frmrestore"_s, 4},
        {u"frmclock"_s, 3},
        {u"frmMatrix"_s, 18},
        {u"frmplaylist"_s, 10},
        {u"frmrec"_s, 5},
        {u"frmvcd"_s, 1},
        {u"frmvcd with a file"_s, 3},
        {u"frmasrunlog"_s, 8},
        {u"frmclock adjusting"_s, 4},
        {u"frmplaylist playing, timed"_s, 25},
        {u"frmrec with a take"_s, 8},
        {u"weekprog on a later row"_s, 50},
    };
    for (const auto &[name, least] : plain) {
        if (take(name, least))
            QTest::newRow(qPrintable(name)) << name << QString() << 0 << -1 << least;
    }
    const struct
    {
        QString window;
        QString tabs;
        int pages;
        int least;
    } tabbed[] = {
        {u"frmsetup"_s, u"SSTab1"_s, 6, 4},
        {u"frmmanual"_s, u"SSTabprog"_s, 8, 24},
        {u"weekprog"_s, u"SSTabweek"_s, 7, 12},
    };
    for (const auto &w : tabbed) {
        for (int page = 0; page < w.pages && take(w.window, w.least); ++page)
            QTest::addRow("%s %d", qPrintable(w.window), page)
                << w.window << w.tabs << w.pages << page << w.least;
    }
}

} // namespace

class tst_tabchain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyControlOnceInReadingOrder_data();
    void everyControlOnceInReadingOrder();
    void escapeClosesFromEveryControl_data();
    void escapeClosesFromEveryControl();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
};

void tst_tabchain::everyControlOnceInReadingOrder_data()
{
    addWindowRows([](const QString &, int) { return true; });
}

void tst_tabchain::everyControlOnceInReadingOrder()
{
    QFETCH(QString, window);
    QFETCH(QString, tabs);
    QFETCH(int, pages);
    QFETCH(int, page);
    QFETCH(int, least);

    Opened opened;
    openRow(opened, window, tabs, pages, page);
    if (QTest::currentTestFailed())
        return;
    QWidget *w = opened.window.get();
    QVERIFY(QApplication::activeWindow() == w);

    const QWidgetList expected = controls(w);
    QVERIFY2(expected.size() >= least, qPrintable(names(expected)));
    QHash<const QWidget *, QList<Block>> blocks;
    for (QWidget *c : expected)
        blocks.insert(c, blocksOf(c, w));

    // The walk starts at the control that nothing comes before, the top left
    // one of those.
    QWidget *start = nullptr;
    for (QWidget *c : expected) {
        const bool first = std::none_of(expected.cbegin(), expected.cend(), [&](QWidget *other) {
            return other != c && readsBefore(blocks.value(other), blocks.value(c));
        });
        const QPoint at = c->mapTo(w, QPoint());
        const auto above = [&](QWidget *s) {
            const QPoint other = s->mapTo(w, QPoint());
            return at.y() < other.y() || (at.y() == other.y() && at.x() < other.x());
        };
        if (first && (!start || above(start)))
            start = c;
    }
    QVERIFY2(start, qPrintable(u"no control comes first: "_s + names(expected)));

    const qsizetype limit = 4 * expected.size() + 10;
    const bool alone = expected.size() == 1;
    const Walk forth = walk(w, start, true, limit, alone);
    const Walk back = walk(w, start, false, limit, alone);
    QVERIFY2(forth.fault.isEmpty(), qPrintable(u"Tab: "_s + forth.fault));
    QVERIFY2(back.fault.isEmpty(), qPrintable(u"Shift+Tab: "_s + back.fault));

    const QStringList stayed = forth.stayed + back.stayed;
    QVERIFY2(stayed.isEmpty(), qPrintable(u"a key press stayed on: "_s + stayed.join(u", "_s)));

    QWidgetList missed;
    for (QWidget *c : expected) {
        if (!forth.visited.contains(c))
            missed << c;
    }
    QVERIFY2(missed.isEmpty(), qPrintable(u"Tab never reaches: "_s + names(missed)));
    QWidgetList strays;
    for (QWidget *c : forth.visited) {
        if (!expected.contains(c))
            strays << c;
    }
    QVERIFY2(strays.isEmpty(), qPrintable(u"Tab reaches what is no control: "_s + names(strays)));

    QStringList outOfOrder;
    for (qsizetype i = 0; i < forth.visited.size(); ++i) {
        for (qsizetype j = i + 1; j < forth.visited.size(); ++j) {
            QWidget *early = forth.visited.at(i);
            QWidget *late = forth.visited.at(j);
            if (readsBefore(blocks.value(late), blocks.value(early)))
                outOfOrder << nameOf(late) + u" reads before "_s + nameOf(early);
        }
    }
    QVERIFY2(
        outOfOrder.isEmpty(),
        qPrintable(u"Tab order: "_s + names(forth.visited) + u"\n"_s + outOfOrder.join(u'\n')));

    // Shift+Tab: the start, then the same controls the other way round.
    QWidgetList reversed {start};
    for (qsizetype i = forth.visited.size() - 1; i > 0; --i)
        reversed << forth.visited.at(i);
    QCOMPARE(names(back.visited), names(reversed));
}

void tst_tabchain::escapeClosesFromEveryControl_data()
{
    // Every window but the main one has a button that closes it (退出, 关闭,
    // 取消, or the about box's 确定); Escape does the same, wherever the
    // focus: the window is closed, or asks first as its button would (the
    // recorder with a take not saved).
    addWindowRows([](const QString &window, int) { return !window.startsWith(u"frmback"); });
}

void tst_tabchain::escapeClosesFromEveryControl()
{
    QFETCH(QString, window);
    QFETCH(QString, tabs);
    QFETCH(int, pages);
    QFETCH(int, page);

    Opened opened;
    openRow(opened, window, tabs, pages, page);
    if (QTest::currentTestFailed())
        return;
    QWidget *w = opened.window.get();
    CloseCounter closes;
    w->installEventFilter(&closes);
    const QWidgetList all = controls(w);
    QVERIFY(!all.isEmpty());
    QStringList kept;
    for (QWidget *c : all) {
        if (!w->isVisible()) {
            showAndSettle(opened);
            showPage(w, tabs, pages, page);
        }
        // Closing may have left it out of use (the playlist stopped).
        QWidget *taker = focusTaker(c);
        if (!taker->isVisible() || !taker->isEnabled())
            continue;
        taker->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), taker);
        const int before = closes.count;
        QTest::keyClick(taker, Qt::Key_Escape);
        settle();
        QVERIFY(QTest::qWaitFor([&opened] { return opened.rig->dialogs.answersUnderway() == 0; }));
        if (closes.count == before)
            kept << nameOf(c);
    }
    QVERIFY2(kept.isEmpty(),
             qPrintable(u"Escape does not close the window from: "_s + kept.join(u", "_s)));
}

void tst_tabchain::enterPressesTheFocusedButton_data()
{
    // The windows with a button in view: the main window without its player
    // and the VCD window without a file have none or one, and are taken in
    // their fuller states.
    addWindowRows([](const QString &, int least) { return least >= 2; });
}

void tst_tabchain::enterPressesTheFocusedButton()
{
    QFETCH(QString, window);
    QFETCH(QString, tabs);
    QFETCH(int, pages);
    QFETCH(int, page);

    Opened opened;
    openRow(opened, window, tabs, pages, page);
    if (QTest::currentTestFailed())
        return;
    QWidget *w = opened.window.get();
    QList<QPointer<QAbstractButton>> buttons;
    for (QWidget *c : controls(w)) {
        auto *button = qobject_cast<QAbstractButton *>(focusTaker(c));
        if (button && !button->isCheckable())
            buttons << button;
    }
    QVERIFY(!buttons.isEmpty());
    // Each button is pressed for real: what it does is done on the fakes. A
    // button that closes the window has it shown again for the next.
    QStringList ignored;
    for (const QPointer<QAbstractButton> &button : std::as_const(buttons)) {
        if (!w->isVisible()) {
            showAndSettle(opened);
            showPage(w, tabs, pages, page);
        }
        // A press before may have left it out of use (a recording started).
        if (!button || !button->isVisible() || !button->isEnabled())
            continue;
        button->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), button.data());
        QSignalSpy clicked(button.data(), &QAbstractButton::clicked);
        QTest::keyClick(button.data(), Qt::Key_Return);
        settle();
        QVERIFY(QTest::qWaitFor([&opened] { return opened.rig->dialogs.answersUnderway() == 0; }));
        if (clicked.count() != 1)
            ignored << nameOf(button);
    }
    QVERIFY2(ignored.isEmpty(),
             qPrintable(u"Enter does not press the focused button: "_s + ignored.join(u", "_s)));
}

QTEST_MAIN(tst_tabchain)
#include "tst_tabchain.moc"
