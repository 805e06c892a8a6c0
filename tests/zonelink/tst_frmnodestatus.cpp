// The terminal status window on the running console, worked through its
// controls on the recording fake port: what it shows on opening, the sliders
// reaching the queries, the pop-up menu and "关闭", sorting by heading,
// "全部刷新" with its progress and stop, a port that is not open or is lost,
// and the keyboard. The queries themselves are tested in tst_statuspoll.

#include "console/consolerig.h"
#include "directory/nodefile.h"
#include "zonelink/frames.h"
#include "zonelink/frmnodestatus.h"
#include "zonelink/statuspoll.h"
#include "zonelink/zonelink.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {
// What a terminal sends back: A, FF, its address, frequency and volume.
QByteArray reply(int address, int high, int low, int volume)
{
    QByteArray bytes(12, '\0');
    bytes[2] = char(0x41);
    bytes[3] = char(0xFF);
    bytes[6] = char(address);
    bytes[7] = char(high);
    bytes[8] = char(low);
    bytes[9] = char(volume);
    return bytes;
}

QByteArray statusFrame(int address)
{
    return *BuildFrame(CommandCode::StatusQuery, 0, 0, QString::number(address) + u'.');
}

bool sameIcon(const QIcon &a, const QIcon &b)
{
    return a.pixmap(16).toImage() == b.pixmap(16).toImage();
}
} // namespace

class tst_frmnodestatus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void opening();
    void sliders_data();
    void sliders();
    void slidersReachTheQuery();
    void noSelectionDoesNothing_data();
    void noSelectionDoesNothing();
    void popupMenu();
    void closeSendsZoneClose();
    void headerClickSorts_data();
    void headerClickSorts();
    void refreshAllFollowsProgress();
    void refreshAllCanBeStopped();
    void refreshAllKeepsTheAskedTerminalInSight();
    void portNotOpen_data();
    void portNotOpen();
    void portLostGivesOneNotice_data();
    void portLostGivesOneNotice();
    void closeRefusedIsTold();
    void keyboard();

private:
    void open(bool portPresent = true);
    void clickHeading(int c);
    template<class T = QWidget> T *child(const QString &name) const
    {
        return m_window->findChild<T *>(name);
    }
    QTreeWidget *list() const { return child<QTreeWidget>(u"lvwstatus"_s); }
    QStringList column(int c) const;
    int rowOf(const QString &name) const;
    void select(const QString &name);
    void rightPress(const QString &name);
    QMenu *menu() const { return child<QMenu>(u"mnurefreshmain"_s); }
    void chooseFromMenu(const QString &action);
    // Feeds the replies, by address, 20 ms into each reply window.
    void answer(const QHash<int, QByteArray> &replies);
    bool waitIdle(int timeoutMs = 20000);
    QList<QByteArray> statusWrites() const;

    std::unique_ptr<ConsoleRig> m_rig;
    QPointer<frmnodestatus> m_window;
    std::unique_ptr<QSignalSpy> m_queued;
};

void tst_frmnodestatus::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    QCOMPARE(writeNodeFile(m_rig->file(u"node.txt"_s),
                           {{u"一楼"_s, u"10"_s, u"1"_s},
                            {u"二楼"_s, u"2"_s, u"1"_s},
                            {u"操场"_s, u"9"_s, u"2"_s},
                            {u"礼堂"_s, u"100"_s, u"3"_s}}),
             QString());
}

void tst_frmnodestatus::cleanup()
{
    delete m_window;
    m_queued.reset();
    m_rig.reset();
}

void tst_frmnodestatus::open(bool portPresent)
{
    if (!portPresent)
        m_rig->port.devices.clear();
    Console &c = m_rig->start();
    QCOMPARE(c.link().isOpen(), portPresent);
    m_rig->dialogs.shown.clear(); // the start-up's own notices
    m_rig->port.events.clear();
    m_queued = std::make_unique<QSignalSpy>(&c.link(), &ZoneLink::frameQueued);
    m_window = new frmnodestatus(c.link(), c.dialogs(), c.folder());
    m_window->setAttribute(Qt::WA_DeleteOnClose); // as the main window opens it
    m_window->show();
    QApplication::setActiveWindow(m_window);
    if (!QTest::qWaitForWindowActive(m_window))
        qWarning() << "the window did not become active";
}

void tst_frmnodestatus::clickHeading(int c)
{
    QHeaderView *header = list()->header();
    const QPoint at(header->sectionViewportPosition(c) + header->sectionSize(c) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

QStringList tst_frmnodestatus::column(int c) const
{
    QStringList cells;
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        cells << list()->topLevelItem(i)->text(c);
    return cells;
}

int tst_frmnodestatus::rowOf(const QString &name) const
{
    return int(column(StatusPoll::NameColumn).indexOf(name));
}

void tst_frmnodestatus::select(const QString &name)
{
    QTreeWidgetItem *item = list()->topLevelItem(rowOf(name));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      list()->visualItemRect(item).center());
    QCOMPARE(list()->selectedItems(), QList<QTreeWidgetItem *> {item});
}

void tst_frmnodestatus::rightPress(const QString &name)
{
    QTreeWidgetItem *item = list()->topLevelItem(rowOf(name));
    QTest::mousePress(list()->viewport(), Qt::RightButton, {},
                      list()->visualItemRect(item).center());
    QTRY_VERIFY_WITH_TIMEOUT(menu()->isVisible(), 5000);
}

void tst_frmnodestatus::chooseFromMenu(const QString &action)
{
    auto *a = m_window->findChild<QAction *>(action);
    QVERIFY(a);
    QTest::mouseClick(menu(), Qt::LeftButton, {}, menu()->actionGeometry(a).center());
    QTRY_VERIFY_WITH_TIMEOUT(!menu()->isVisible(), 5000);
}

void tst_frmnodestatus::answer(const QHash<int, QByteArray> &replies)
{
    connect(&m_window->poll(), &StatusPoll::replyWindowOpened, m_window, [this, replies](int at) {
        const QByteArray bytes = replies.value(m_window->poll().row(at).address.toInt());
        if (!bytes.isEmpty())
            QTimer::singleShot(20, m_window, [this, bytes] { m_rig->port.receive(bytes); });
    });
}

bool tst_frmnodestatus::waitIdle(int timeoutMs)
{
    return QTest::qWaitFor(
        [this] {
            return m_window && !m_window->poll().busy()
                && m_rig->console().link().queuedFrames() == 0;
        },
        timeoutMs);
}

QList<QByteArray> tst_frmnodestatus::statusWrites() const
{
    QList<QByteArray> frames;
    for (const QByteArray &w : m_rig->port.writes()) {
        if (w.size() > 2 && w.at(2) == CommandCode::StatusQuery)
            frames << w;
    }
    return frames;
}

void tst_frmnodestatus::opening()
{
    open();
    QCOMPARE(m_window->windowTitle(), u"终端状态检查报告"_s);
    QTreeWidget *lvw = list();
    QCOMPARE(lvw->accessibleName(), u"lvwstatus"_s);
    QCOMPARE(lvw->columnCount(), 7);
    // Headings with their spaces; heading and cells aligned alike.
    const QStringList headings {u" 状态"_s, u" 序号 "_s, u"    节点名称"_s, u"频率(MHz)"_s,
                                u"音量"_s,  u"地址"_s,   u"分组"_s};
    const QList<Qt::Alignment> alignments {Qt::AlignLeft,    Qt::AlignRight,   Qt::AlignLeft,
                                           Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter,
                                           Qt::AlignHCenter};
    const QList<double> shares {1.0 / 10, 1.0 / 10, 1.0 / 4, 1.0 / 7, 1.0 / 10, 1.0 / 10, 1.0 / 10};
    for (int c = 0; c < 7; ++c) {
        QCOMPARE(lvw->headerItem()->text(c), headings.at(c));
        const auto horizontal = [](int a) { return Qt::Alignment(a) & Qt::AlignHorizontal_Mask; };
        QCOMPARE(horizontal(lvw->headerItem()->textAlignment(c)), alignments.at(c));
        for (int r = 0; r < 4; ++r)
            QCOMPARE(horizontal(lvw->topLevelItem(r)->textAlignment(c)), alignments.at(c));
        QVERIFY2(qAbs(lvw->header()->sectionSize(c) - lvw->width() * shares.at(c)) <= 1.0,
                 qPrintable(QString::number(c)));
    }
    // The rows of node.txt in file order, every one "关".
    QCOMPARE(column(0), (QStringList {u"关"_s, u"关"_s, u"关"_s, u"关"_s}));
    QCOMPARE(column(1), (QStringList {u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
    QCOMPARE(column(2), (QStringList {u"一楼"_s, u"二楼"_s, u"操场"_s, u"礼堂"_s}));
    QCOMPARE(column(3), QStringList(4));
    QCOMPARE(column(4), QStringList(4));
    QCOMPARE(column(5), (QStringList {u"10"_s, u"2"_s, u"9"_s, u"100"_s}));
    QCOMPARE(column(6), (QStringList {u"1"_s, u"1"_s, u"2"_s, u"3"_s}));
    for (int r = 0; r < 4; ++r)
        QVERIFY(sameIcon(lvw->topLevelItem(r)->icon(0), frmnodestatus::closeIcon()));
    QVERIFY(!sameIcon(frmnodestatus::openIcon(), frmnodestatus::closeIcon()));
    QVERIFY(lvw->selectedItems().isEmpty());

    auto *bar = child<QProgressBar>(u"pgbnode"_s);
    QCOMPARE(bar->maximum(), 4);
    QCOMPARE(bar->value(), 0);
    QStringList captions;
    for (const QString &name : {u"cmdrefresh_sel"_s, u"cmdrefreshall"_s, u"cmdexit"_s})
        captions << child<QPushButton>(name)->text();
    QCOMPARE(captions, (QStringList {u"选中刷新"_s, u"全部刷新"_s, u"退 出"_s}));
    QCOMPARE(child<QLabel>(u"lblsendwait"_s)->text(), u"发送延时"_s);
    QCOMPARE(child<QLabel>(u"lblwait"_s)->text(), u"接收延时"_s);
    // Controls without a caption are named for accessibility, labels are not.
    for (const QString &name : {u"pgbnode"_s, u"sldsendwait"_s, u"sldwait"_s})
        QCOMPARE(child(name)->accessibleName(), name);
    for (const QString &name : {u"lblsendwait"_s, u"lblwait"_s})
        QVERIFY(child(name)->accessibleName().isEmpty());
    QVERIFY(!menu()->isVisible());
    QCOMPARE(m_queued->size(), 0); // opening asks nothing
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    // "退 出" closes the window and sends nothing.
    child<QPushButton>(u"cmdexit"_s)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window, 5000);
    QCOMPARE(m_queued->size(), 0);
}

void tst_frmnodestatus::sliders_data()
{
    QTest::addColumn<QString>("slider");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("initial");
    QTest::addColumn<QString>("initialText");
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("send delay") << u"sldsendwait"_s << u"lblsendwaitms"_s << 6 << u"80 ms"_s
                                << QList<int> {0, 10, 3}
                                << QStringList {u"50 ms"_s, u"100 ms"_s, u"65 ms"_s};
    QTest::newRow("reply window") << u"sldwait"_s << u"lblwaitms"_s << 1 << u"300 ms"_s
                                  << QList<int> {0, 10, 3}
                                  << QStringList {u"200 ms"_s, u"1200 ms"_s, u"500 ms"_s};
}

void tst_frmnodestatus::sliders()
{
    QFETCH(QString, slider);
    QFETCH(QString, label);
    QFETCH(int, initial);
    QFETCH(QString, initialText);
    QFETCH(QList<int>, values);
    QFETCH(QStringList, texts);
    open();
    auto *s = child<QSlider>(slider);
    QCOMPARE(s->minimum(), 0);
    QCOMPARE(s->maximum(), 10);
    QCOMPARE(s->value(), initial);
    QCOMPARE(child<QLabel>(label)->text(), initialText);
    for (int i = 0; i < values.size(); ++i) {
        s->setValue(values.at(i));
        QCOMPARE(child<QLabel>(label)->text(), texts.at(i));
    }
}

void tst_frmnodestatus::slidersReachTheQuery()
{
    open();
    // Both above their initial values, so the wait on the line tells.
    child<QSlider>(u"sldsendwait"_s)->setValue(10);
    child<QSlider>(u"sldwait"_s)->setValue(4);
    select(u"二楼"_s);
    child<QPushButton>(u"cmdrefresh_sel"_s)->click();
    QVERIFY(waitIdle());
    QCOMPARE(statusWrites(), QList<QByteArray> {statusFrame(2)});
    qint64 drained = -1, dropped = -1, cleared = -1, raised = -1;
    for (const FakeSerialPort::Event &e : std::as_const(m_rig->port.events)) {
        if (e.what == u"drained" && drained < 0)
            drained = e.ms;
        else if (e.what == u"dtr off" && drained >= 0)
            dropped = e.ms;
        else if (e.what == u"clear" && dropped >= 0)
            cleared = e.ms;
        else if (e.what == u"dtr on" && cleared >= 0)
            raised = e.ms;
    }
    QVERIFY(drained >= 0 && dropped >= 0 && cleared >= 0 && raised >= 0);
    QVERIFY2(dropped - drained >= 100, qPrintable(QString::number(dropped - drained)));
    QVERIFY2(raised - cleared >= 600, qPrintable(QString::number(raised - cleared)));
}

void tst_frmnodestatus::noSelectionDoesNothing_data()
{
    QTest::addColumn<bool>("portPresent");
    QTest::addColumn<QString>("command");
    for (const bool present : {true, false}) {
        const char *port = present ? "port open" : "port closed";
        QTest::addRow("选中刷新, %s", port) << present << u"cmdrefresh_sel"_s;
        QTest::addRow("menu 刷新, %s", port) << present << u"mnurefresh"_s;
        QTest::addRow("menu 关闭, %s", port) << present << u"mnu_sclose"_s;
    }
}

void tst_frmnodestatus::noSelectionDoesNothing()
{
    QFETCH(bool, portPresent);
    QFETCH(QString, command);
    open(portPresent);
    QSignalSpy busy(&m_window->poll(), &StatusPoll::busyChanged);
    if (auto *button = child<QPushButton>(command))
        button->click();
    else
        m_window->findChild<QAction *>(command)->trigger();
    QTest::qWait(50);
    QCOMPARE(m_queued->size(), 0);
    QVERIFY(busy.isEmpty());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    QCOMPARE(column(0), (QStringList {u"关"_s, u"关"_s, u"关"_s, u"关"_s}));
}

void tst_frmnodestatus::popupMenu()
{
    open();
    rightPress(u"操场"_s);
    // The row under the pointer is the one the commands act on.
    QCOMPARE(list()->selectedItems(), QList<QTreeWidgetItem *> {list()->topLevelItem(2)});
    const QList<QAction *> actions = menu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(0)->text(), u"刷新"_s);
    QCOMPARE(actions.at(0)->objectName(), u"mnurefresh"_s);
    QVERIFY(actions.at(1)->isSeparator());
    QCOMPARE(actions.at(2)->text(), u"关闭"_s);
    QCOMPARE(actions.at(2)->objectName(), u"mnu_sclose"_s);
    // "刷新" asks the row under the pointer.
    answer({{9, reply(9, 8, 75, 12)}});
    child<QSlider>(u"sldwait"_s)->setValue(0);
    chooseFromMenu(u"mnurefresh"_s);
    QVERIFY(waitIdle());
    QCOMPARE(statusWrites(), QList<QByteArray> {statusFrame(9)});
    QCOMPARE(list()->topLevelItem(2)->text(0), u"开"_s);
    QCOMPARE(list()->topLevelItem(2)->text(3), u"87.5"_s);
    QCOMPARE(list()->topLevelItem(2)->text(4), u"12"_s);
    QVERIFY(sameIcon(list()->topLevelItem(2)->icon(0), frmnodestatus::openIcon()));
}

void tst_frmnodestatus::closeSendsZoneClose()
{
    open();
    child<QSlider>(u"sldwait"_s)->setValue(0);
    answer({{2, reply(2, 10, 35, 9)}});
    select(u"二楼"_s);
    child<QPushButton>(u"cmdrefresh_sel"_s)->click();
    QVERIFY(waitIdle());
    QTreeWidgetItem *item = list()->topLevelItem(1);
    QCOMPARE(item->text(0), u"开"_s);
    m_rig->port.events.clear();
    m_queued->clear();

    rightPress(u"二楼"_s);
    chooseFromMenu(u"mnu_sclose"_s);
    QVERIFY(waitIdle());
    const QByteArray close = QByteArray::fromHex("EB 14 02 00 00 01 02 FE 01");
    QCOMPARE(m_queued->size(), 1);
    QCOMPARE(m_queued->at(0).at(0).toByteArray(), close);
    QVERIFY(m_queued->at(0).at(1).toBool()); // with line handling
    QCOMPARE(m_rig->port.writes(), QList<QByteArray> {close});
    QCOMPARE(m_rig->port.events.first().what, u"rts on"_s);
    QVERIFY(statusWrites().isEmpty()); // no query follows
    QCOMPARE(item->text(0), u"关"_s);
    QVERIFY(item->text(3).isEmpty());
    QVERIFY(item->text(4).isEmpty());
    QVERIFY(sameIcon(item->icon(0), frmnodestatus::closeIcon()));
    QCOMPARE(column(0), (QStringList {u"关"_s, u"关"_s, u"关"_s, u"关"_s}));
}

void tst_frmnodestatus::headerClickSorts_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QStringList>("shown"); // the last clicked column, top to bottom
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::newRow("addresses by value")
        << QList<int> {StatusPoll::AddressColumn} << QStringList {u"2"_s, u"9"_s, u"10"_s, u"100"_s}
        << Qt::AscendingOrder;
    QTest::newRow("second click reverses")
        << QList<int> {StatusPoll::AddressColumn, StatusPoll::AddressColumn}
        << QStringList {u"100"_s, u"10"_s, u"9"_s, u"2"_s} << Qt::DescendingOrder;
    QTest::newRow("another heading after one click")
        << QList<int> {StatusPoll::AddressColumn, StatusPoll::SerialColumn}
        << QStringList {u"4"_s, u"3"_s, u"2"_s, u"1"_s} << Qt::DescendingOrder;
    QTest::newRow("another heading after two clicks")
        << QList<int> {StatusPoll::AddressColumn, StatusPoll::AddressColumn,
                       StatusPoll::SerialColumn}
        << QStringList {u"1"_s, u"2"_s, u"3"_s, u"4"_s} << Qt::AscendingOrder;
    QTest::newRow("third click on one heading")
        << QList<int> {StatusPoll::AddressColumn, StatusPoll::AddressColumn,
                       StatusPoll::AddressColumn}
        << QStringList {u"2"_s, u"9"_s, u"10"_s, u"100"_s} << Qt::AscendingOrder;
}

void tst_frmnodestatus::headerClickSorts()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QStringList, shown);
    QFETCH(Qt::SortOrder, order);
    open();
    select(u"操场"_s);
    QHeaderView *header = list()->header();
    for (const int c : clicks)
        clickHeading(c);
    QCOMPARE(column(clicks.last()), shown);
    QCOMPARE(header->sortIndicatorSection(), clicks.last());
    QCOMPARE(header->sortIndicatorOrder(), order);
    // The selection stays with its terminal.
    QCOMPARE(list()->selectedItems().size(), 1);
    QCOMPARE(list()->selectedItems().at(0)->text(StatusPoll::NameColumn), u"操场"_s);
    QCOMPARE(m_queued->size(), 0);
}

void tst_frmnodestatus::refreshAllFollowsProgress()
{
    open();
    frmnodestatus &w = *m_window;
    child<QSlider>(u"sldsendwait"_s)->setValue(0);
    child<QSlider>(u"sldwait"_s)->setValue(0);
    answer({{9, reply(9, 10, 0, 30)}, {100, reply(100, 88, 88, 5)}});
    auto *bar = child<QProgressBar>(u"pgbnode"_s);
    auto *all = child<QPushButton>(u"cmdrefreshall"_s);
    auto *selected = child<QPushButton>(u"cmdrefresh_sel"_s);
    QList<int> progress;
    QList<int> progressAtWindow;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) { progress << v; });
    connect(&w.poll(), &StatusPoll::replyWindowOpened, this,
            [&] { progressAtWindow << bar->value(); });
    all->click();
    QCOMPARE(all->text(), u"停止"_s);
    QVERIFY(all->isEnabled());
    QVERIFY(!selected->isEnabled());
    QCOMPARE(w.cursor().shape(), Qt::BusyCursor);
    QVERIFY(waitIdle());
    QCOMPARE(
        statusWrites(),
        (QList<QByteArray> {statusFrame(10), statusFrame(2), statusFrame(9), statusFrame(100)}));
    QCOMPARE(progress, (QList<int> {1, 2, 3, 4}));
    QCOMPARE(progressAtWindow, (QList<int> {1, 2, 3, 4}));
    QCOMPARE(bar->value(), 4); // it keeps its last value
    QCOMPARE(all->text(), u"全部刷新"_s);
    QVERIFY(selected->isEnabled());
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(column(0), (QStringList {u"关"_s, u"关"_s, u"开"_s, u"开"_s}));
    QCOMPARE(column(3), (QStringList {QString(), QString(), u"100.0"_s, u"定压"_s}));
    QCOMPARE(column(4), (QStringList {QString(), QString(), u"30"_s, QString()}));
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmnodestatus::refreshAllKeepsTheAskedTerminalInSight()
{
    QList<NodeRecord> nodes;
    for (int i = 1; i <= 16; ++i)
        nodes.append({u"教室%1"_s.arg(i), QString::number(i), u"1"_s});
    QCOMPARE(writeNodeFile(m_rig->file(u"node.txt"_s), nodes), QString());
    open();
    frmnodestatus &w = *m_window;
    // A few rows in sight, so that the poll has to move the list along.
    w.resize(w.minimumSize());
    child<QSlider>(u"sldsendwait"_s)->setValue(0);
    child<QSlider>(u"sldwait"_s)->setValue(0);
    QTreeWidget *lvw = list();
    QVERIFY(lvw->visualItemRect(lvw->topLevelItem(15)).top() > lvw->viewport()->height());
    QStringList asked;
    QStringList outOfSight;
    connect(&w.poll(), &StatusPoll::replyWindowOpened, this, [&](int position) {
        QTreeWidgetItem *item = lvw->topLevelItem(position);
        asked << item->text(StatusPoll::NameColumn);
        if (!lvw->viewport()->rect().contains(lvw->visualItemRect(item)))
            outOfSight << item->text(StatusPoll::NameColumn);
    });
    child<QPushButton>(u"cmdrefreshall"_s)->click();
    QVERIFY(waitIdle());
    QCOMPARE(asked.size(), 16);
    QCOMPARE(outOfSight, QStringList());
    // The operator's selection is left alone.
    QVERIFY(lvw->selectedItems().isEmpty());
}

void tst_frmnodestatus::refreshAllCanBeStopped()
{
    open();
    frmnodestatus &w = *m_window;
    auto *all = child<QPushButton>(u"cmdrefreshall"_s);
    // "停止" is clicked while the first terminal's window is open.
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(&w.poll(), &StatusPoll::replyWindowOpened, this, [&, once] {
        disconnect(*once);
        all->click();
    });
    all->click();
    QVERIFY(QTest::qWaitFor([&] { return w.poll().stopping(); }, 5000));
    QVERIFY(!all->isEnabled()); // the window of the terminal asked is still waited out
    QCOMPARE(all->text(), u"停止"_s);
    QVERIFY(waitIdle());
    QCOMPARE(statusWrites(), QList<QByteArray> {statusFrame(10)});
    QCOMPARE(all->text(), u"全部刷新"_s);
    QVERIFY(all->isEnabled());
    QCOMPARE(child<QProgressBar>(u"pgbnode"_s)->value(), 1);
    QVERIFY(m_rig->dialogs.shown.isEmpty()); // stopping is no failure
}

void tst_frmnodestatus::portNotOpen_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("选中刷新") << u"cmdrefresh_sel"_s;
    QTest::newRow("全部刷新") << u"cmdrefreshall"_s;
    QTest::newRow("menu 刷新") << u"mnurefresh"_s;
    QTest::newRow("menu 关闭") << u"mnu_sclose"_s;
}

void tst_frmnodestatus::portNotOpen()
{
    QFETCH(QString, command);
    open(false);
    select(u"操场"_s);
    if (auto *button = child<QPushButton>(command))
        button->click();
    else
        m_window->findChild<QAction *>(command)->trigger();
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    const FakeDialogs::Shown message = m_rig->dialogs.shown.at(0);
    QCOMPARE(message.text, frmnodestatus::portClosedText());
    QVERIFY(message.text.contains(u"串行口没有打开"_s));
    QCOMPARE(message.title, u"终端状态检查报告"_s);
    QCOMPARE(message.icon, MsgIcon::Exclamation);
    QVERIFY(message.waited); // the operator's own command
    QCOMPARE(m_queued->size(), 0);
    QVERIFY(!m_window->poll().busy());
    QCOMPARE(child<QPushButton>(u"cmdrefreshall"_s)->text(), u"全部刷新"_s);
}

void tst_frmnodestatus::portLostGivesOneNotice_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("loseAt"); // the port event after which the device goes
    QTest::newRow("全部刷新, lost in the first window") << u"cmdrefreshall"_s << u"clear"_s;
    QTest::newRow("关闭, lost before the frame") << u"mnu_sclose"_s << u"rts on"_s;
}

void tst_frmnodestatus::portLostGivesOneNotice()
{
    QFETCH(QString, command);
    QFETCH(QString, loseAt);
    open();
    select(u"一楼"_s);
    m_rig->port.loseDeviceAt = loseAt;
    if (auto *button = child<QPushButton>(command))
        button->click();
    else
        m_window->findChild<QAction *>(command)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_rig->dialogs.shown.size(), 1, 5000);
    QVERIFY(waitIdle());
    QTest::qWait(100);
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    const FakeDialogs::Shown message = m_rig->dialogs.shown.at(0);
    QCOMPARE(message.text, frmnodestatus::portClosedText());
    QCOMPARE(message.title, u"终端状态检查报告"_s);
    QVERIFY(!message.waited); // raised by the link: no nested event loop
    QCOMPARE(child<QPushButton>(u"cmdrefreshall"_s)->text(), u"全部刷新"_s);
    QVERIFY(child<QPushButton>(u"cmdrefreshall"_s)->isEnabled());
    QVERIFY(child<QPushButton>(u"cmdrefresh_sel"_s)->isEnabled());
    QCOMPARE(column(0), (QStringList {u"关"_s, u"关"_s, u"关"_s, u"关"_s}));
}

void tst_frmnodestatus::closeRefusedIsTold()
{
    open();
    child<QSlider>(u"sldwait"_s)->setValue(0);
    answer({{2, reply(2, 10, 35, 9)}});
    select(u"二楼"_s);
    child<QPushButton>(u"cmdrefresh_sel"_s)->click();
    QVERIFY(waitIdle());
    QCOMPARE(list()->topLevelItem(1)->text(0), u"开"_s);
    // The port stays open but does not take the frame.
    m_rig->port.writeLimits = {-1};
    rightPress(u"二楼"_s);
    chooseFromMenu(u"mnu_sclose"_s);
    QTRY_COMPARE_WITH_TIMEOUT(m_rig->dialogs.shown.size(), 1, 5000);
    QVERIFY(waitIdle());
    const FakeDialogs::Shown message = m_rig->dialogs.shown.at(0);
    QCOMPARE(message.text, frmnodestatus::closeNotSentText(u"二楼"_s));
    QCOMPARE(message.title, u"终端状态检查报告"_s);
    QVERIFY(!message.waited); // told from the link's completion: no nested event loop
    QCOMPARE(list()->topLevelItem(1)->text(0), u"开"_s); // nothing reached the terminal
}

void tst_frmnodestatus::keyboard()
{
    open();
    QCOMPARE(QApplication::focusWidget(), list());
    // Tab follows the layout: list, sliders, buttons.
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        order << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(order.join(u' '),
             u"lvwstatus sldsendwait sldwait cmdrefresh_sel cmdrefreshall cmdexit"_s);
    // Enter presses the button that has the focus.
    select(u"二楼"_s);
    child<QSlider>(u"sldwait"_s)->setValue(0);
    child(u"cmdrefresh_sel"_s)->setFocus();
    QCOMPARE(QApplication::focusWidget(), child(u"cmdrefresh_sel"_s));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(m_window->poll().busy());
    QVERIFY(waitIdle());
    QCOMPARE(statusWrites(), QList<QByteArray> {statusFrame(2)});
    // The menu key opens the pop-up menu at the current row.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), list()->mapToGlobal(QPoint()));
    QApplication::sendEvent(list(), &key);
    QTRY_VERIFY_WITH_TIMEOUT(menu()->isVisible(), 5000);
    QVERIFY(menu()->geometry().top() > list()->mapToGlobal(QPoint()).y());
    QTest::keyClick(menu(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!menu()->isVisible(), 5000);
    // Escape closes the window, and closing sends nothing.
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    list()->setFocus();
    QCOMPARE(QApplication::focusWidget(), list());
    m_queued->clear();
    QTest::keyClick(list(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window, 5000);
    QCOMPARE(m_queued->size(), 0);
}

QTEST_MAIN(tst_frmnodestatus)
#include "tst_frmnodestatus.moc"
