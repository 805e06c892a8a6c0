// The manual control window on the real serial port against the controller
// simulator on a pseudo-terminal: a confirmed tab switches the simulator's
// terminals, amplifier and device on at the channel's frequency, the volume
// reaches the terminals, and closing the window switches them off again.

#include "console/consolerig.h"
#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "platform/qtserialport.h"
#include "support/consolewindows.h"
#include "support/zonesimprocess.h"
#include "zonelink/frmmanual.h"
#include "zonelink/zonelink.h"

#include <QAbstractButton>
#include <QListView>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmmanualE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void simulatorFollowsTheTab();

private:
    // The simulator's answer to "state", up to the clock.
    QString switchedOn();
    void doubleClickRow(const QString &list, const QString &text);
    void click(const QString &name) { m_window->findChild<QAbstractButton *>(name)->click(); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QtSerialPort> m_port;
    std::unique_ptr<frmmanual> m_window;
    ZoneSimProcess m_sim;
};

void tst_frmmanualE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = std::make_unique<QtSerialPort>();
    AmpNames names;
    names.amps = {u"前台"_s, u"后台"_s, {}, {}, {}, {}, {}, {}};
    names.frequencies
        = {u"103.5"_s, u"87.5"_s, u"100"_s, u"90"_s, u"91"_s, u"92"_s, u"93"_s, u"94"_s};
    names.devices = {u"录音机"_s, {}, {}, {}, {}, {}, {}, {}};
    QCOMPARE(writeAmpNameFile(m_rig->file(u"amp_name.dat"_s), names), QString());
    QCOMPARE(writeNodeFile(m_rig->file(u"node.txt"_s),
                           {{u"一楼"_s, u"5"_s, u"1"_s},
                            {u"二楼"_s, u"7"_s, u"1"_s},
                            {u"操场"_s, u"9"_s, u"2"_s}}),
             QString());
}

void tst_frmmanualE2e::cleanup()
{
    m_window.reset();
    m_rig.reset();
    m_port.reset();
    m_sim.stop();
}

QString tst_frmmanualE2e::switchedOn()
{
    m_sim.clearOutput();
    m_sim.command("state");
    if (!m_sim.waitFor(u" clock "_s))
        return {};
    const QString line = m_sim.lineWith(u"state nodes "_s);
    const qsizetype at = line.indexOf(u"state nodes "_s);
    return at >= 0 ? line.mid(at, line.indexOf(u" clock "_s) - at) : QString();
}

void tst_frmmanualE2e::doubleClickRow(const QString &list, const QString &text)
{
    auto *view = m_window->findChild<QListView *>(list);
    const auto found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, text, 1,
                                            Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    const QPoint at = view->visualRect(found.at(0)).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

void tst_frmmanualE2e::simulatorFollowsTheTab()
{
    const QString link = m_rig->file(u"line"_s);
    QVERIFY(m_sim.start(QStringLiteral(ZONESIM_BINARY), link));
    m_rig->realPort = m_port.get();
    m_rig->store.values.insert(u"ports/com1"_s, link);
    Console &c = m_rig->start();
    QVERIFY(c.link().isOpen());
    QCOMPARE(switchedOn(), u"state nodes - amps - devices -"_s);

    m_window = std::make_unique<frmmanual>(manualServices(c));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->findChild<QTabWidget *>(u"SSTabprog"_s)->setCurrentIndex(1); // 节目二, 87.5 MHz
    click(u"chkgrp_0"_s); // 一楼 and 二楼
    doubleClickRow(u"lstsamp"_s, u"功放2(后台)"_s);
    doubleClickRow(u"lstsdevice"_s, u"外设1(录音机)"_s);
    click(u"cmdok"_s);
    QVERIFY2(m_sim.waitFor(u"ZoneOpen 87.5 MHz nodes 5.7."_s), qPrintable(m_sim.output()));
    QCOMPARE(switchedOn(), u"state nodes 5.7. amps 2. devices 1."_s);

    m_window->findChild<QSlider *>(u"sldvol"_s)->setValue(21);
    click(u"cmdvol"_s);
    QVERIFY2(m_sim.waitFor(u"VolumeSet 21 nodes 5.7."_s), qPrintable(m_sim.output()));

    // Closing switches off what the window switched on.
    m_window->close();
    QVERIFY2(m_sim.waitFor(u"ZoneClose nodes 5.7."_s), qPrintable(m_sim.output()));
    QCOMPARE(switchedOn(), u"state nodes - amps - devices -"_s);
}

QTEST_MAIN(tst_frmmanualE2e)
#include "tst_frmmanual_e2e.moc"
