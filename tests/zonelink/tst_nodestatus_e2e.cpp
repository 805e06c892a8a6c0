// The terminal status window on the real serial port against the controller
// simulator on a pseudo-terminal: terminals switched on through the
// console's own link answer with their frequency and volume, a wired one
// with 8888, switched-off, missing and mistaken answers leave the row "关",
// and "关闭" switches a terminal off in the simulator.
//
// A terminal answers only once DTR drops after the send delay, and the link
// discards what came before. A pseudo-terminal has no DTR line, so the
// simulator holds each terminal's answer for a while (150 ms), which lands
// it inside the reply window. The mistaken answers are sent through the
// simulator ("send HEX") once the window is open.

#include "console/consolerig.h"
#include "directory/nodefile.h"
#include "platform/qtserialport.h"
#include "support/zonesimprocess.h"
#include "zonelink/frames.h"
#include "zonelink/frmnodestatus.h"
#include "zonelink/statuspoll.h"
#include "zonelink/zonelink.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

class tst_nodestatusE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void statusOfTheTerminals();

private:
    // The row of a node as shown: state, frequency, volume.
    QString shown(const QString &name) const;
    void sendStray();

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QtSerialPort> m_port;
    std::unique_ptr<frmnodestatus> m_window;
    ZoneSimProcess m_sim;
    // The terminal whose reply window is open; -1 when none.
    int m_asking = -1;
    QHash<int, QByteArray> m_strays; // address → bytes sent in its window besides its answer
};

void tst_nodestatusE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = std::make_unique<QtSerialPort>();
}

void tst_nodestatusE2e::cleanup()
{
    m_window.reset();
    m_rig.reset();
    m_port.reset();
    m_sim.stop();
}

void tst_nodestatusE2e::sendStray()
{
    if (m_strays.contains(m_asking))
        m_sim.command("send " + m_strays.take(m_asking).toHex(' '));
}

QString tst_nodestatusE2e::shown(const QString &name) const
{
    auto *list = m_window->findChild<QTreeWidget *>(u"lvwstatus"_s);
    const auto found = list->findItems(name, Qt::MatchExactly, StatusPoll::NameColumn);
    if (found.size() != 1)
        return u"no row %1"_s.arg(name);
    const QTreeWidgetItem *item = found.at(0);
    return item->text(StatusPoll::StateColumn) + u'|' + item->text(StatusPoll::FrequencyColumn)
        + u'|' + item->text(StatusPoll::VolumeColumn);
}

void tst_nodestatusE2e::statusOfTheTerminals()
{
    QCOMPARE(writeNodeFile(m_rig->file(u"node.txt"_s),
                           {{u"一楼"_s, u"1"_s, u"1"_s},
                            {u"二楼"_s, u"2"_s, u"1"_s},
                            {u"三楼"_s, u"3"_s, u"2"_s},
                            {u"礼堂"_s, u"4"_s, u"2"_s},
                            {u"操场"_s, u"5"_s, u"3"_s},
                            {u"门卫"_s, u"9"_s, u"3"_s}}),
             QString());
    // 1..5 are installed, 4 is a wired one; 9 is not installed.
    const QString link = m_rig->file(u"line"_s);
    QVERIFY(m_sim.start(QStringLiteral(ZONESIM_BINARY), link,
                        {u"--terminals"_s, u"1-5"_s, u"--cv"_s, u"4"_s}));
    m_rig->realPort = m_port.get();
    m_rig->store.values.insert(u"ports/com1"_s, link);
    Console &c = m_rig->start();
    QVERIFY(c.link().isOpen());

    // The console switches terminals on as its schedule would: 5 stays off.
    ZoneLink &zone = c.link();
    zone.sendCommand(CommandCode::ZoneOpen, u"10"_s, u"35"_s, u"1.4.9."_s);
    zone.sendCommand(CommandCode::ZoneOpen, u"10"_s, u"0"_s, u"2."_s);
    zone.sendCommand(CommandCode::ZoneOpen, u"8"_s, u"75"_s, u"3."_s);
    zone.writeCommand(CommandCode::VolumeSet, u"25"_s, u"0"_s, u"2."_s);
    QVERIFY2(m_sim.waitFor(u"VolumeSet 25 nodes 2."_s), qPrintable(m_sim.output()));
    m_sim.command("state");
    QVERIFY2(m_sim.waitFor(u"state nodes 1.2.3.4.9. "_s), qPrintable(m_sim.output()));

    m_window = std::make_unique<frmnodestatus>(c.link(), c.dialogs(), c.folder());
    m_window->show();
    StatusPoll &poll = m_window->poll();
    connect(&poll, &StatusPoll::replyWindowOpened, this, [this, &poll](int position) {
        m_asking = poll.row(position).address.toInt();
        sendStray();
    });
    // Mistaken answers: terminal 1's reply in terminal 5's window, and
    // eleven bytes of a reply for 9 in its own.
    const QByteArray foreign = statusReplyBytes({1, 1035, 20});
    const QByteArray shortReply = statusReplyBytes({9, 1035, 20}).left(11);
    m_strays.insert(5, foreign);
    m_strays.insert(9, shortReply);

    // Short waits keep the test quick: 50 ms and a window of 500 ms a
    // terminal, which the simulator's answer at 150 ms falls well inside.
    m_window->findChild<QSlider *>(u"sldsendwait"_s)->setValue(0);
    m_window->findChild<QSlider *>(u"sldwait"_s)->setValue(3);
    auto *all = m_window->findChild<QPushButton *>(u"cmdrefreshall"_s);
    all->click();
    QCOMPARE(all->text(), u"停止"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!poll.busy(), 20000);
    QCOMPARE(all->text(), u"全部刷新"_s);
    QCOMPARE(m_window->findChild<QProgressBar *>(u"pgbnode"_s)->value(), 6);
    QVERIFY2(m_sim.output().contains(u"StatusQuery node 5 -> no answer"_s),
             qPrintable(m_sim.output()));
    QVERIFY2(m_sim.output().contains(u"StatusQuery node 9 -> no answer"_s),
             qPrintable(m_sim.output()));

    // The mistaken answers did reach the line.
    QVERIFY2(m_sim.output().contains(u"sent 00 00 41 FF 00 00 01 0A 23 14 00 00\n"_s),
             qPrintable(m_sim.output()));
    QVERIFY2(m_sim.output().contains(u"sent 00 00 41 FF 00 00 09 0A 23 14 00\n"_s),
             qPrintable(m_sim.output()));

    QCOMPARE(shown(u"一楼"_s), u"开|103.5|20"_s);
    QCOMPARE(shown(u"二楼"_s), u"开|100.0|25"_s);
    QCOMPARE(shown(u"三楼"_s), u"开|87.5|20"_s);
    QCOMPARE(shown(u"礼堂"_s), u"开|定压|"_s);
    QCOMPARE(shown(u"操场"_s), u"关||"_s); // installed, off; another's answer in its window
    QCOMPARE(shown(u"门卫"_s), u"关||"_s); // on, not installed; eleven bytes in its window
    QVERIFY(m_rig->dialogs.shown.isEmpty());

    // "关闭" on 一楼: ZoneClose for it, and the simulator has it off.
    auto *list = m_window->findChild<QTreeWidget *>(u"lvwstatus"_s);
    QTreeWidgetItem *first = list->findItems(u"一楼"_s, Qt::MatchExactly, 2).at(0);
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, list->visualItemRect(first).center());
    auto *menu = m_window->findChild<QMenu *>(u"mnurefreshmain"_s);
    QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 5000);
    auto *close = m_window->findChild<QAction *>(u"mnu_sclose"_s);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(close).center());
    QVERIFY2(m_sim.waitFor(u"ZoneClose nodes 1. [EB 14 02 00 00 01 01 FE 01]"_s),
             qPrintable(m_sim.output()));
    QTRY_COMPARE_WITH_TIMEOUT(shown(u"一楼"_s), u"关||"_s, 5000);
    m_sim.clearOutput();
    m_sim.command("state");
    QVERIFY2(m_sim.waitFor(u"state nodes 2.3.4.9. "_s), qPrintable(m_sim.output()));

    // Asked again, it gives no answer.
    m_window->findChild<QPushButton *>(u"cmdrefresh_sel"_s)->click();
    QTRY_VERIFY_WITH_TIMEOUT(poll.busy(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!poll.busy(), 10000);
    QVERIFY2(m_sim.waitFor(u"StatusQuery node 1 -> no answer"_s), qPrintable(m_sim.output()));
    QCOMPARE(shown(u"一楼"_s), u"关||"_s);
    QCOMPARE(shown(u"二楼"_s), u"开|100.0|25"_s);
}

QTEST_MAIN(tst_nodestatusE2e)
#include "tst_nodestatus_e2e.moc"
