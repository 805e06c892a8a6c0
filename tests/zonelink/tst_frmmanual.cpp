// The manual control window on the running console, driven through its
// controls: the lists filled from the files, the focus and double-click
// rules, the group boxes, the confirm buttons, the volume, the closed port
// and the closing frames.

#include "console/consolerig.h"
#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "support/consolewindows.h"
#include "support/gbkfiles.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/frmmanual.h"
#include "zonelink/zonelink.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QListView>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmmanual : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void opening();
    void tabOrder();
    void smallestSizeKeepsEverythingWhole();
    void buttonsFollowTheListLeft();
    void doubleClickAndGroupBoxes();
    void confirmAllEndsWhereItStarted();
    void volumeOfTheTabInView();
    void portNotOpen_data();
    void portNotOpen();
    void closing_data();
    void closing();
    void unsentFramesAreTold_data();
    void unsentFramesAreTold();
    void missingFiles();

private:
    frmmanual &open();
    template<class T = QWidget> T *child(const QString &name) const
    {
        return m_window->findChild<T *>(name);
    }
    // The entries of a list, one text.
    QString texts(const QString &list) const;
    QPoint rowAt(QListView *view, const QString &text) const;
    void clickRow(const QString &list, const QString &text, Qt::KeyboardModifiers modifiers = {});
    void doubleClickRow(const QString &list, const QString &text);
    void click(const QString &control) { QTest::mouseClick(child(control), Qt::LeftButton); }
    void selectTab(int tab);
    QStringList queued() const;
    QStringList portMessages() const;

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmmanual> m_window;
    std::unique_ptr<QSignalSpy> m_queued;
};

void tst_frmmanual::init()
{
    m_window.reset();
    m_queued.reset();
    m_rig = std::make_unique<ConsoleRig>();
    AmpNames names;
    names.amps = {u"前台"_s, u"后台"_s, u"操场"_s, QString(), u"礼堂"_s, {}, {}, u"备用"_s};
    names.frequencies
        = {u"103.5"_s, u"87.5"_s, u"100"_s, u"90"_s, u"91"_s, u"92"_s, u"93"_s, u"94"_s};
    names.devices = {u"录音机"_s, u"电视"_s, {}, {}, {}, {}, {}, {}};
    QCOMPARE(writeAmpNameFile(m_rig->file(u"amp_name.dat"_s), names), QString());
    QCOMPARE(writeNodeFile(m_rig->file(u"node.txt"_s),
                           {{u"一楼"_s, u"5"_s, u"1"_s},
                            {u"二楼"_s, u"7"_s, u"1"_s},
                            {u"操场"_s, u"9"_s, u"2"_s},
                            {u"礼堂"_s, u"200"_s, u"3"_s}}),
             QString());
    GbkFiles::writeText(m_rig->file(u"config.ini"_s), u"[分组名称]\n分组1=教学楼\n分组2=操场\n"_s);
}

frmmanual &tst_frmmanual::open()
{
    Console &c = m_rig->start();
    m_queued = std::make_unique<QSignalSpy>(&c.link(), &ZoneLink::frameQueued);
    m_window = std::make_unique<frmmanual>(manualServices(c));
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    if (!QTest::qWaitForWindowActive(m_window.get()))
        qWarning() << "the window did not become active";
    return *m_window;
}

QString tst_frmmanual::texts(const QString &list) const
{
    const QAbstractItemModel *model = child<QListView>(list)->model();
    QStringList all;
    for (int row = 0; row < model->rowCount(); ++row)
        all << model->index(row, 0).data().toString();
    return all.join(u' ');
}

QPoint tst_frmmanual::rowAt(QListView *view, const QString &text) const
{
    const auto found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, text, 1,
                                            Qt::MatchExactly);
    return found.isEmpty() ? QPoint(-1, -1) : view->visualRect(found.at(0)).center();
}

void tst_frmmanual::clickRow(const QString &list, const QString &text,
                             Qt::KeyboardModifiers modifiers)
{
    auto *view = child<QListView>(list);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, rowAt(view, text));
}

void tst_frmmanual::doubleClickRow(const QString &list, const QString &text)
{
    auto *view = child<QListView>(list);
    const QPoint at = rowAt(view, text);
    // As the window system delivers it: the second press arrives as the double-click.
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

void tst_frmmanual::selectTab(int tab)
{
    QTabBar *bar = child<QTabWidget>(u"SSTabprog"_s)->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
    QCOMPARE(bar->currentIndex(), tab);
}

QStringList tst_frmmanual::queued() const
{
    QStringList frames;
    for (const QList<QVariant> &signal : *m_queued) {
        const auto pieces = FrameDecoder().feed(signal.at(0).toByteArray());
        const FrameDecoder::Frame &f = pieces.value(0).frame;
        QString list;
        for (const int value : f.values)
            list += QString::number(value) + u'.';
        frames << u"%1%2 %3 %4 %5"_s.arg(signal.at(1).toBool() ? QString() : u"write "_s,
                                         CommandCode::name(f.code), QString::number(f.p1),
                                         QString::number(f.p2), list);
    }
    return frames;
}

QStringList tst_frmmanual::portMessages() const
{
    QStringList texts;
    for (const FakeDialogs::Shown &shown : m_rig->dialogs.shown) {
        if (shown.text.startsWith(frmmanual::portClosedText()))
            texts << shown.text;
    }
    return texts;
}

void tst_frmmanual::opening()
{
    frmmanual &w = open();
    QCOMPARE(w.windowTitle(), u"播放控制中心"_s);
    auto *tabs = child<QTabWidget>(u"SSTabprog"_s);
    QStringList captions;
    for (int t = 0; t < tabs->count(); ++t)
        captions << tabs->tabText(t);
    QCOMPARE(captions.join(u' '), u"节目一 节目二 节目三 节目四 节目五 节目六 节目七 节目八"_s);
    QCOMPARE(
        texts(u"lstsamp"_s),
        u"功放1(前台) 功放2(后台) 功放3(操场) 功放4() 功放5(礼堂) 功放6() 功放7() 功放8(备用)"_s);
    QCOMPARE(texts(u"lstsdevice"_s),
             u"外设1(录音机) 外设2(电视) 外设3() 外设4() 外设5() 外设6() 外设7() 外设8()"_s);
    QCOMPARE(texts(u"lstsnode"_s), u"一楼 二楼 操场 礼堂"_s);
    QCOMPARE(child(u"frasource"_s)->property("title").toString(), u"待选功放、外设、终端"_s);
    // Every list takes several entries at once and is named for accessibility.
    QStringList lists {u"lstsamp"_s, u"lstsdevice"_s, u"lstsnode"_s};
    for (int t = 0; t < 8; ++t)
        lists << u"lstdamp_%1"_s.arg(t) << u"lstddevice_%1"_s.arg(t) << u"lstdnode_%1"_s.arg(t);
    for (const QString &name : lists) {
        QCOMPARE(child<QListView>(name)->accessibleName(), name);
        QCOMPARE(child<QListView>(name)->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(name.startsWith(u"lsts") || texts(name).isEmpty());
    }
    QCOMPARE(child(u"chkgrp_0"_s)->toolTip(), u"分组1: 教学楼"_s);
    QCOMPARE(child(u"chkgrp_1"_s)->toolTip(), u"分组2: 操场"_s);
    QCOMPARE(child(u"chkgrp_7"_s)->toolTip(), u"分组8: 分组8"_s);
    auto *volume = child<QSlider>(u"sldvol"_s);
    QCOMPARE(
        QList<int>({volume->minimum(), volume->maximum(), volume->value(), volume->pageStep()}),
        QList<int>({0, 32, 8, 5}));
    const QStringList controls {u"chkgrp_0"_s,        u"chkgrp_7"_s,  u"lblvol"_s,
                                u"cmdadd_selected"_s, u"cmdaddall"_s, u"cmddel_selected"_s,
                                u"cmddelall"_s,       u"cmdok"_s,     u"cmdallok"_s,
                                u"cmdvol"_s,          u"cmdexit"_s};
    QStringList shown;
    for (const QString &name : controls)
        shown << child(name)->property("text").toString();
    QCOMPARE(
        shown.join(u'|'),
        u"组1|组8|音量|增加选中|增加全部|删除选中|删除全部|当前确定|全部确定|调节音量|退  出"_s);
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmmanual::tabOrder()
{
    open();
    auto *tabs = child<QTabWidget>(u"SSTabprog"_s);
    tabs->setCurrentIndex(3);
    child(u"lstsamp"_s)->setFocus();
    QStringList order;
    for (int i = 0; i < 25; ++i) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        order << (focus == tabs->tabBar() ? tabs->objectName() : focus->objectName());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    // Left to right, then the row below; only the lists of the tab in view
    // take part. From the last button Tab comes back to the first list.
    QCOMPARE(order.join(u' '),
             u"lstsamp lstsdevice lstsnode cmdadd_selected cmdaddall cmddel_selected cmddelall "
             u"SSTabprog lstdamp_3 lstddevice_3 lstdnode_3 chkgrp_0 chkgrp_1 chkgrp_2 chkgrp_3 "
             u"chkgrp_4 chkgrp_5 chkgrp_6 chkgrp_7 sldvol cmdvol cmdok cmdallok cmdexit lstsamp"_s);
    // And Shift+Tab from the tab bar goes back to the buttons beside the source lists.
    tabs->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), u"cmddelall"_s);
}

void tst_frmmanual::smallestSizeKeepsEverythingWhole()
{
    frmmanual &w = open();
    w.resize(200, 100);
    QVERIFY(QTest::qWaitFor([&w] { return w.size() == w.minimumSize(); }, 5000));
    const QRect window = w.rect();
    // All eight tabs in sight, none behind the edge of the window.
    QTabBar *bar = child<QTabWidget>(u"SSTabprog"_s)->tabBar();
    for (int t = 0; t < bar->count(); ++t) {
        const QRect tab = bar->tabRect(t);
        QVERIFY2(window.contains(QRect(bar->mapTo(&w, tab.topLeft()), tab.size())),
                 qPrintable(bar->tabText(t)));
    }
    // Every button, box and the slider whole, captions not cut.
    for (QWidget *control : w.findChildren<QWidget *>()) {
        if (!qobject_cast<QAbstractButton *>(control) && !qobject_cast<QSlider *>(control))
            continue;
        const QRect at(control->mapTo(&w, QPoint()), control->size());
        QVERIFY2(window.contains(at), qPrintable(control->objectName()));
        QVERIFY2(control->width() >= control->minimumSizeHint().width(),
                 qPrintable(control->objectName()));
    }
}

void tst_frmmanual::buttonsFollowTheListLeft()
{
    open();
    click(u"cmdaddall"_s); // no list used yet: nothing moves
    QCOMPARE(texts(u"lstsamp"_s).count(u"功放"_s), 8);
    QCOMPARE(texts(u"lstdamp_0"_s) + texts(u"lstdnode_0"_s), QString());

    clickRow(u"lstsnode"_s, u"礼堂"_s);
    clickRow(u"lstsnode"_s, u"二楼"_s, Qt::ControlModifier);
    click(u"cmdadd_selected"_s);
    QCOMPARE(texts(u"lstdnode_0"_s), u"二楼 礼堂"_s);
    QCOMPARE(texts(u"lstsnode"_s), u"一楼 操场"_s);

    // The amplifier list is left for the button: all of it goes to the tab in view.
    selectTab(5);
    clickRow(u"lstsamp"_s, u"功放3(操场)"_s);
    click(u"cmdaddall"_s);
    QCOMPARE(texts(u"lstsamp"_s), QString());
    // A destination list left for "删除选中" hands back only its selection.
    clickRow(u"lstdamp_5"_s, u"功放4()"_s);
    click(u"cmddel_selected"_s);
    QCOMPARE(texts(u"lstsamp"_s), u"功放4()"_s);
    // "增加全部" still acts on the source list left last, now on 节目七.
    selectTab(6);
    click(u"cmdaddall"_s);
    QCOMPARE(texts(u"lstdamp_6"_s), u"功放4()"_s);
    click(u"cmddelall"_s);
    QCOMPARE(texts(u"lstdamp_6"_s), QString());
    QCOMPARE(texts(u"lstsamp"_s), u"功放4()"_s);
    QCOMPARE(texts(u"lstdnode_0"_s), u"二楼 礼堂"_s);
    QCOMPARE(queued(), QStringList()); // moving sends nothing
}

void tst_frmmanual::doubleClickAndGroupBoxes()
{
    open();
    selectTab(2);
    doubleClickRow(u"lstsdevice"_s, u"外设2(电视)"_s);
    doubleClickRow(u"lstsdevice"_s, u"外设1(录音机)"_s);
    QCOMPARE(texts(u"lstddevice_2"_s), u"外设2(电视) 外设1(录音机)"_s);
    doubleClickRow(u"lstddevice_2"_s, u"外设2(电视)"_s);
    QCOMPARE(texts(u"lstddevice_2"_s), u"外设1(录音机)"_s);
    QVERIFY(texts(u"lstsdevice"_s).endsWith(u"外设8() 外设2(电视)"_s));

    auto *group1 = child<QCheckBox>(u"chkgrp_0"_s);
    clickRow(u"lstsnode"_s, u"操场"_s); // a selection the box replaces
    click(u"chkgrp_0"_s);
    QCOMPARE(texts(u"lstdnode_2"_s), u"一楼 二楼"_s);
    QCOMPARE(texts(u"lstsnode"_s), u"操场 礼堂"_s);
    // The boxes are not per tab; unchecking on another tab leaves 节目三 alone.
    selectTab(1);
    QVERIFY(group1->isChecked());
    click(u"chkgrp_0"_s);
    QVERIFY(!group1->isChecked());
    QCOMPARE(texts(u"lstdnode_2"_s), u"一楼 二楼"_s);
    selectTab(2);
    click(u"chkgrp_0"_s); // all its terminals are taken: nothing moves
    QCOMPARE(texts(u"lstsnode"_s), u"操场 礼堂"_s);
    click(u"chkgrp_0"_s);
    QCOMPARE(texts(u"lstdnode_2"_s), QString());
    QCOMPARE(texts(u"lstsnode"_s), u"操场 礼堂 一楼 二楼"_s);
    QCOMPARE(queued(), QStringList());
}

void tst_frmmanual::confirmAllEndsWhereItStarted()
{
    frmmanual &w = open();
    doubleClickRow(u"lstsnode"_s, u"一楼"_s);
    doubleClickRow(u"lstsdevice"_s, u"外设1(录音机)"_s);
    selectTab(4);
    doubleClickRow(u"lstsnode"_s, u"操场"_s);
    doubleClickRow(u"lstsamp"_s, u"功放1(前台)"_s);
    selectTab(2);

    QSignalSpy selected(child<QTabWidget>(u"SSTabprog"_s), &QTabWidget::currentChanged);
    click(u"cmdallok"_s);
    QCOMPARE(queued(),
             (QStringList {u"DeviceOpen 0 0 1."_s, u"ZoneOpen 10 35 5."_s, u"AmpOpen 0 0 1."_s,
                           u"ZoneOpen 9 10 9."_s}));
    // Every tab was selected in turn, and the one in view before is back.
    QList<int> order;
    for (const auto &signal : selected)
        order << signal.at(0).toInt();
    QCOMPARE(order, (QList<int> {0, 1, 2, 3, 4, 5, 6, 7, 2}));
    QCOMPARE(child<QTabWidget>(u"SSTabprog"_s)->currentIndex(), 2);
    // The wait cursor stays while the frames go out.
    QCOMPARE(w.cursor().shape(), Qt::WaitCursor);
    QVERIFY(QTest::qWaitFor([&w] { return w.cursor().shape() == Qt::ArrowCursor; }, 20000));
    QCOMPARE(w.control().ManualState(5).Amps, u"1."_s);
}

void tst_frmmanual::volumeOfTheTabInView()
{
    frmmanual &w = open();
    selectTab(1);
    doubleClickRow(u"lstsnode"_s, u"礼堂"_s);
    // Enter presses the button that has the focus, as in a dialog.
    child(u"cmdok"_s)->setFocus();
    QTest::keyClick(child(u"cmdok"_s), Qt::Key_Return);
    QCOMPARE(queued(), QStringList {u"ZoneOpen 8 75 200."_s});
    QVERIFY(w.isVisible());
    m_queued->clear();
    doubleClickRow(u"lstsnode"_s, u"一楼"_s);
    auto *volume = child<QSlider>(u"sldvol"_s);
    volume->setFocus();
    QTest::keyClick(volume, Qt::Key_PageUp);
    QCOMPARE(child(u"lblvolvalue"_s)->property("text").toString(), u"13"_s);
    click(u"cmdvol"_s);
    // Also the terminal not yet confirmed; written without line handling.
    QCOMPARE(queued(), QStringList {u"write VolumeSet 13 0 200.5."_s});
    selectTab(7);
    click(u"cmdvol"_s); // an empty tab has nothing to adjust
    QCOMPARE(queued().size(), 1);
}

void tst_frmmanual::portNotOpen_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("当前确定") << u"cmdok"_s;
    QTest::newRow("全部确定") << u"cmdallok"_s;
    QTest::newRow("调节音量") << u"cmdvol"_s;
}

void tst_frmmanual::portNotOpen()
{
    QFETCH(QString, button);
    m_rig->port.devices.clear();
    frmmanual &w = open();
    doubleClickRow(u"lstsnode"_s, u"一楼"_s);
    selectTab(3);
    doubleClickRow(u"lstsnode"_s, u"二楼"_s);
    click(button);
    // One message, also for all eight tabs; nothing queued, nothing recorded.
    QCOMPARE(portMessages(), QStringList {frmmanual::portClosedText()});
    QVERIFY(m_rig->dialogs.shown.last().waited);
    QCOMPARE(queued(), QStringList());
    QVERIFY(!w.control().hasRecord());
    QCOMPARE(child<QTabWidget>(u"SSTabprog"_s)->currentIndex(), 3);
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
}

void tst_frmmanual::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("portLost");
    QTest::newRow("退  出") << u"button"_s << false;
    QTest::newRow("Escape") << u"escape"_s << false;
    QTest::newRow("window closed") << u"close"_s << false;
    QTest::newRow("port lost") << u"button"_s << true;
}

void tst_frmmanual::closing()
{
    QFETCH(QString, how);
    QFETCH(bool, portLost);
    frmmanual &w = open();
    doubleClickRow(u"lstsamp"_s, u"功放2(后台)"_s);
    doubleClickRow(u"lstsnode"_s, u"二楼"_s);
    click(u"cmdok"_s);
    selectTab(6);
    doubleClickRow(u"lstsdevice"_s, u"外设8()"_s);
    doubleClickRow(u"lstsnode"_s, u"一楼"_s);
    click(u"cmdok"_s);
    doubleClickRow(u"lstsnode"_s, u"操场"_s); // never confirmed
    // The confirms are out, then the port may go.
    QVERIFY(QTest::qWaitFor([&w] { return w.control().framesUnderway() == 0; }, 20000));
    m_queued->clear();
    if (portLost)
        m_rig->port.loseDevice();
    if (how == u"button")
        click(u"cmdexit"_s);
    else if (how == u"escape")
        QTest::keyClick(&w, Qt::Key_Escape);
    else
        w.close();
    QVERIFY(!w.isVisible());
    const QStringList closes {u"AmpClose 0 0 2."_s, u"DeviceClose 0 0 8."_s,
                              u"ZoneClose 0 0 7.5."_s};
    QCOMPARE(queued(), closes);
    // Without the port the operator learns that they stay on; the closing is not held up.
    const QStringList told = portMessages();
    QCOMPARE(told.size(), portLost ? 1 : 0);
    if (portLost) {
        QCOMPARE(told.at(0),
                 frmmanual::unsentText({u"关闭功放 2."_s, u"关闭外设 8."_s, u"关闭终端 7.5."_s},
                                       false, true));
        QVERIFY(told.at(0).endsWith(u"本窗口打开的功放、外设和终端没有全部关闭。"_s));
        QVERIFY(!m_rig->dialogs.shown.last().waited);
    }

    // The record went with the window: a new one starts empty and closes
    // nothing of the old one's, on any tab.
    m_window = std::make_unique<frmmanual>(manualServices(m_rig->console()));
    m_window->show();
    QCOMPARE(texts(u"lstsamp"_s).count(u"功放"_s), 8);
    click(u"cmdallok"_s);
    m_window->close();
    QCOMPARE(queued(), closes);
}

void tst_frmmanual::unsentFramesAreTold_data()
{
    QTest::addColumn<QString>("when");
    QTest::addColumn<QStringList>("commands"); // told, in one notice; empty: no notice
    QTest::addColumn<bool>("closing");
    QTest::newRow("a confirm's frame refused")
        << u"confirm"_s << QStringList {u"打开终端 7."_s} << false;
    QTest::newRow("a closing frame refused, the window kept")
        << u"close"_s << QStringList {u"关闭终端 5.7."_s} << true;
    QTest::newRow("a closing frame refused after the window is gone")
        << u"deleted"_s << QStringList {u"关闭终端 5.7."_s} << true;
    QTest::newRow("the program ends with closing frames queued")
        << u"program ends"_s << QStringList {} << true;
    QTest::newRow("the program ends after the window is gone")
        << u"deleted, program ends"_s << QStringList {} << true;
}

void tst_frmmanual::unsentFramesAreTold()
{
    QFETCH(QString, when);
    QFETCH(QStringList, commands);
    QFETCH(bool, closing);
    frmmanual &w = open();
    doubleClickRow(u"lstsnode"_s, u"一楼"_s);
    if (when == u"confirm") {
        // 一楼 goes out on tab 1, 二楼 on tab 2 is refused by the port.
        m_rig->port.writeLimits = {100000, -1};
        click(u"cmdok"_s);
        selectTab(1);
        doubleClickRow(u"lstsnode"_s, u"二楼"_s);
        click(u"cmdok"_s);
    } else {
        doubleClickRow(u"lstsnode"_s, u"二楼"_s);
        click(u"cmdok"_s);
        QVERIFY(QTest::qWaitFor([&w] { return w.control().framesUnderway() == 0; }, 20000));
        m_rig->port.writeLimits = {-1};
    }
    QPointer<const ManualControl> control = &w.control();
    if (when.startsWith(u"deleted")) {
        // As the console opens it: deleted once closed.
        w.setAttribute(Qt::WA_DeleteOnClose);
        QSignalSpy gone(&w, &QObject::destroyed);
        w.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(gone.size(), 1);
        (void)m_window.release(); // deleted by now
    } else if (when != u"confirm") {
        w.close();
    }
    if (when.endsWith(u"program ends"))
        m_rig->console().endProgram();
    QVERIFY(QTest::qWaitFor([&] { return !control || control->framesUnderway() == 0; }, 20000));
    QTest::qWait(20);
    QStringList notices;
    for (const FakeDialogs::Shown &shown : m_rig->dialogs.shown) {
        QCOMPARE(shown.title, u"播放控制中心"_s);
        QVERIFY(!shown.waited); // a notice: nothing waits for the operator
        notices << shown.text;
    }
    if (commands.isEmpty())
        QCOMPARE(notices, QStringList());
    else
        QCOMPARE(notices, QStringList {frmmanual::unsentText(commands, true, closing)});
    // A control handed over on closing goes once its frames are out.
    if (when.startsWith(u"deleted"))
        QTRY_VERIFY_WITH_TIMEOUT(!control, 5000);
}

void tst_frmmanual::missingFiles()
{
    QFile::remove(m_rig->file(u"node.txt"_s));
    QFile::remove(m_rig->file(u"amp_name.dat"_s));
    open();
    QVERIFY(QTest::qWaitFor([this] { return !m_rig->dialogs.shown.isEmpty(); }, 5000));
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text,
             u"找不到 amp_name.dat，功放和外设没有名称。\n找不到 node.txt，没有可选的终端。"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"播放控制中心"_s);
    // The amplifiers and devices are there without their names.
    QVERIFY(texts(u"lstsamp"_s).startsWith(u"功放1() 功放2() 功放3() 功放4()"_s));
    QCOMPARE(texts(u"lstsdevice"_s).count(u"外设"_s), 8);
    QCOMPARE(texts(u"lstsnode"_s), QString());
}

QTEST_MAIN(tst_frmmanual)
#include "tst_frmmanual.moc"
