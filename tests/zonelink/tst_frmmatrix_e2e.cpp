// The matrix window on the real serial port against the controller simulator
// on a pseudo-terminal: the simulator decodes each route in its log and its
// "state" line ends with the matrix it holds.

#include "console/consolerig.h"
#include "platform/qtserialport.h"
#include "support/zonesimprocess.h"
#include "zonelink/frmMatrix.h"
#include "zonelink/zonelink.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmMatrixE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void simulatorShowsTheRoutes();

private:
    void click(const QString &name) { m_window->findChild<QAbstractButton *>(name)->click(); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QtSerialPort> m_port;
    std::unique_ptr<frmMatrix> m_window;
    ZoneSimProcess m_sim;
};

void tst_frmMatrixE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = std::make_unique<QtSerialPort>();
}

void tst_frmMatrixE2e::cleanup()
{
    m_window.reset();
    m_rig.reset();
    m_port.reset();
    m_sim.stop();
}

void tst_frmMatrixE2e::simulatorShowsTheRoutes()
{
    const QString link = m_rig->file(u"line"_s);
    QVERIFY(m_sim.start(QStringLiteral(ZONESIM_BINARY), link));
    m_rig->realPort = m_port.get();
    m_rig->store.values.insert(u"ports/com1"_s, link);
    Console &c = m_rig->start();
    QVERIFY(c.link().isOpen());

    // Before the console sets anything the simulator does not know the matrix.
    m_sim.command("state");
    QVERIFY(m_sim.waitFor(u"matrix out1←?"_s));
    QVERIFY2(m_sim.lineWith(u"matrix "_s).startsWith(u"state nodes "_s),
             qPrintable(m_sim.output()));

    m_window = std::make_unique<frmMatrix>(c.link(), c.state().MatrixRoutes, c.dialogs());
    m_window->show();
    click(u"optIn2_5"_s);
    click(u"cmdEnter_2"_s);
    QVERIFY2(m_sim.waitFor(u"MatrixSet out3←in6 [EB 14 58 00 00 01 25 FE 01]"_s),
             qPrintable(m_sim.output()));

    for (int k = 0; k < 8; ++k)
        click(u"optIn%1_%2"_s.arg(k).arg(7 - k));
    click(u"cmdEnterAll"_s);
    QVERIFY2(m_sim.waitFor(u"MatrixSet out1←in8 out2←in7 out3←in6 out4←in5 out5←in4 out6←in3 "
                           "out7←in2 out8←in1 [EB 14 58 00 00 08 07 16 25 34 43 52 61 70 FE 01]"_s),
             qPrintable(m_sim.output()));

    m_sim.clearOutput();
    m_sim.command("state");
    QVERIFY(m_sim.waitFor(u"out8←in1"_s));
    const QString state = m_sim.lineWith(u"state nodes "_s);
    // The fields before the matrix stay where their readers look for them.
    QVERIFY2(state.startsWith(u"state nodes - amps - devices - clock "_s), qPrintable(state));
    QVERIFY2(state.endsWith(u" matrix out1←in8 out2←in7 out3←in6 out4←in5 out5←in4 out6←in3 "
                            "out7←in2 out8←in1"_s),
             qPrintable(state));
}

QTEST_MAIN(tst_frmMatrixE2e)
#include "tst_frmmatrix_e2e.moc"
