// The matrix window on the real serial port against the controller simulator
// on a pseudo-terminal: the simulator decodes each route in its log and its
// "state" line ends with the matrix it holds.

#include "console/consolerig.h"
#include "platform/qtserialport.h"
#include "zonelink/frmMatrix.h"
#include "zonelink/zonelink.h"

#include <QProcess>
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
    bool waitSimulator(const QString &text, int timeoutMs = 10000);
    QString lineWith(const QString &text) const;
    void click(const QString &name) { m_window->findChild<QAbstractButton *>(name)->click(); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QtSerialPort> m_port;
    std::unique_ptr<frmMatrix> m_window;
    QProcess m_sim;
    QString m_simOutput;
};

void tst_frmMatrixE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = std::make_unique<QtSerialPort>();
    m_simOutput.clear();
}

void tst_frmMatrixE2e::cleanup()
{
    m_window.reset();
    m_rig.reset();
    m_port.reset();
    if (m_sim.state() != QProcess::NotRunning) {
        m_sim.kill();
        m_sim.waitForFinished();
    }
}

bool tst_frmMatrixE2e::waitSimulator(const QString &text, int timeoutMs)
{
    return QTest::qWaitFor(
        [this, &text] {
            m_simOutput += QString::fromUtf8(m_sim.readAllStandardOutput());
            return m_simOutput.contains(text);
        },
        timeoutMs);
}

QString tst_frmMatrixE2e::lineWith(const QString &text) const
{
    const QStringList lines = m_simOutput.split(u'\n');
    for (const QString &line : lines) {
        if (line.contains(text))
            return line;
    }
    return {};
}

void tst_frmMatrixE2e::simulatorShowsTheRoutes()
{
    const QString link = m_rig->file(u"line"_s);
    m_sim.start(QStringLiteral(ZONESIM_BINARY), {u"--link"_s, link});
    QVERIFY(m_sim.waitForStarted());
    QVERIFY(waitSimulator(u"listening on"_s));
    m_rig->realPort = m_port.get();
    m_rig->store.values.insert(u"ports/com1"_s, link);
    Console &c = m_rig->start();
    QVERIFY(c.link().isOpen());

    // Before the console sets anything the simulator does not know the matrix.
    m_sim.write("state\n");
    QVERIFY(waitSimulator(u"matrix out1←?"_s));
    QVERIFY2(lineWith(u"matrix "_s).startsWith(u"state nodes "_s), qPrintable(m_simOutput));

    m_window = std::make_unique<frmMatrix>(c);
    m_window->show();
    click(u"optIn2_5"_s);
    click(u"cmdEnter_2"_s);
    QVERIFY2(waitSimulator(u"MatrixSet out3←in6 [EB 14 58 00 00 01 25 FE 01]"_s),
             qPrintable(m_simOutput));

    for (int k = 0; k < 8; ++k)
        click(u"optIn%1_%2"_s.arg(k).arg(7 - k));
    click(u"cmdEnterAll"_s);
    QVERIFY2(waitSimulator(u"MatrixSet out1←in8 out2←in7 out3←in6 out4←in5 out5←in4 out6←in3 "
                           "out7←in2 out8←in1 [EB 14 58 00 00 08 07 16 25 34 43 52 61 70 FE 01]"_s),
             qPrintable(m_simOutput));

    m_simOutput.clear();
    m_sim.write("state\n");
    QVERIFY(waitSimulator(u"out8←in1"_s));
    const QString state = lineWith(u"state nodes "_s);
    // The fields before the matrix stay where their readers look for them.
    QVERIFY2(state.startsWith(u"state nodes - amps - devices - clock "_s), qPrintable(state));
    QVERIFY2(state.endsWith(u" matrix out1←in8 out2←in7 out3←in6 out4←in5 out5←in4 out6←in3 "
                            "out7←in2 out8←in1"_s),
             qPrintable(state));
}

QTEST_MAIN(tst_frmMatrixE2e)
#include "tst_frmmatrix_e2e.moc"
