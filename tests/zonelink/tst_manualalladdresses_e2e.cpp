// Every address a terminal can have, by hand, against the controller
// simulator on a pseudo-terminal: 200 terminals on 节目一 and the other 56 on
// 节目二, confirmed together, switch all 256 on; closing the window (deleted
// on closing, as the console opens it) switches all 256 off again, although
// no single frame can carry them.

#include "console/consolerig.h"
#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "platform/qtserialport.h"
#include "support/consolewindows.h"
#include "support/zonesimprocess.h"
#include "zonelink/frmmanual.h"
#include "zonelink/zonelink.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListView>
#include <QPointer>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_manualAllAddressesE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void allAddressesOnTwoTabs();

private:
    // The terminals the simulator's "state" shows on: "0.1.….255." or "-".
    QString nodesOn();
    // Asks again until the simulator shows nodes, or the time is up.
    bool waitForNodes(const QString &nodes, int timeoutMs = 20000);
    // As the operator clicks: the list left behind loses the focus and
    // becomes the one the button acts on.
    void click(const QString &name)
    {
        QTest::mouseClick(m_window->findChild<QAbstractButton *>(name), Qt::LeftButton);
    }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QtSerialPort> m_port;
    QPointer<frmmanual> m_window;
    ZoneSimProcess m_sim;
};

void tst_manualAllAddressesE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = std::make_unique<QtSerialPort>();
    AmpNames names;
    names.amps = {{}, {}, {}, {}, {}, {}, {}, {}};
    names.frequencies
        = {u"103.5"_s, u"87.5"_s, u"100"_s, u"90"_s, u"91"_s, u"92"_s, u"93"_s, u"94"_s};
    names.devices = {{}, {}, {}, {}, {}, {}, {}, {}};
    QCOMPARE(writeAmpNameFile(m_rig->file(u"amp_name.dat"_s), names), QString());
    QList<NodeRecord> nodes;
    for (int a = 0; a < 256; ++a)
        nodes.append({u"终端%1"_s.arg(a), QString::number(a), QString::number(1 + a % 8)});
    QCOMPARE(writeNodeFile(m_rig->file(u"node.txt"_s), nodes), QString());
}

void tst_manualAllAddressesE2e::cleanup()
{
    delete m_window;
    m_rig.reset();
    m_port.reset();
    m_sim.stop();
}

QString tst_manualAllAddressesE2e::nodesOn()
{
    m_sim.clearOutput();
    m_sim.command("state");
    if (!m_sim.waitFor(u" amps "_s))
        return {};
    const QString line = m_sim.lineWith(u"state nodes "_s);
    return line.section(u"state nodes "_s, 1).section(u' ', 0, 0);
}

bool tst_manualAllAddressesE2e::waitForNodes(const QString &nodes, int timeoutMs)
{
    QString last;
    const bool seen = QTest::qWaitFor(
        [&] {
            last = nodesOn();
            return last == nodes;
        },
        timeoutMs);
    if (!seen)
        qWarning() << "the simulator shows" << last;
    return seen;
}

void tst_manualAllAddressesE2e::allAddressesOnTwoTabs()
{
    const QString link = m_rig->file(u"line"_s);
    QVERIFY(m_sim.start(QStringLiteral(ZONESIM_BINARY), link));
    m_rig->realPort = m_port.get();
    m_rig->store.values.insert(u"ports/com1"_s, link);
    Console &c = m_rig->start();
    QVERIFY(c.link().isOpen());
    QCOMPARE(nodesOn(), u"-"_s);

    m_window = new frmmanual(manualServices(c));
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->show();
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    auto *source = m_window->findChild<QListView *>(u"lstsnode"_s);
    QCOMPARE(source->model()->rowCount(), 256);
    // The first 200 of node.txt to 节目一 ...
    source->setFocus();
    source->selectionModel()->select(
        QItemSelection(source->model()->index(0, 0), source->model()->index(199, 0)),
        QItemSelectionModel::ClearAndSelect);
    click(u"cmdadd_selected"_s);
    // ... and the other 56 to 节目二.
    m_window->findChild<QTabWidget *>(u"SSTabprog"_s)->setCurrentIndex(1);
    source->setFocus();
    click(u"cmdaddall"_s);
    QCOMPARE(source->model()->rowCount(), 0);
    QCOMPARE(m_window->findChild<QListView *>(u"lstdnode_0"_s)->model()->rowCount(), 200);
    QCOMPARE(m_window->findChild<QListView *>(u"lstdnode_1"_s)->model()->rowCount(), 56);

    click(u"cmdallok"_s);
    QString all;
    for (int a = 0; a < 256; ++a)
        all += QString::number(a) + u'.';
    QVERIFY(waitForNodes(all));
    QVERIFY(QTest::qWaitFor([this] { return m_window->control().framesUnderway() == 0; }, 20000));
    QCOMPARE(m_window->control().ManualState(1).Zones, all.left(all.indexOf(u"200.")));
    QCOMPARE(m_window->control().ManualState(2).Zones, all.mid(all.indexOf(u"200.")));

    // Closing: every channel's record, 255 terminals to a frame.
    m_sim.clearOutput();
    m_window->close();
    QVERIFY2(m_sim.waitFor(u"ZoneClose nodes 255. ["_s, 20000), qPrintable(m_sim.output()));
    const QStringList closes = m_sim.output().split(u'\n').filter(u"ZoneClose nodes "_s);
    QCOMPARE(closes.size(), 2);
    QVERIFY(
        closes.at(0).contains(u"ZoneClose nodes "_s + all.left(all.indexOf(u"255.")) + u" ["_s));
    QVERIFY(waitForNodes(u"-"_s));
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

QTEST_MAIN(tst_manualAllAddressesE2e)
#include "tst_manualalladdresses_e2e.moc"
