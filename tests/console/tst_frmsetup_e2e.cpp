// The settings dialog's clock buttons and serial test on the real serial
// port, against the controller simulator on a pseudo-terminal, and against a
// line where no controller answers.

#include "console/frmsetup.h"
#include "consolerig.h"
#include "platform/qtserialport.h"
#include "support/consolewindows.h"
#include "zonelink/zonelink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class tst_frmsetupE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void setTimeNoThenYes();
    void readFillsBothPickers();
    void noControllerGivesBothMessages();
    void testEchoesAndKeysStillWork();
    void enterInTheTestFieldSends();
    void setBeforeAnyReadSendsNothing();

private:
    bool startSimulator();
    bool waitSimulator(const QString &text, int timeoutMs = 5000);
    void openDialog(const QString &device);
    template<class T> T *child(const QString &name) { return m_dialog->findChild<T *>(name); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QtSerialPort> m_port;
    std::unique_ptr<frmsetup> m_dialog;
    QProcess m_sim;
    QString m_simOutput;
    int m_silentLine = -1; // the master side of a line nobody answers on
};

void tst_frmsetupE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = std::make_unique<QtSerialPort>();
    m_simOutput.clear();
}

void tst_frmsetupE2e::cleanup()
{
    m_dialog.reset();
    m_rig.reset();
    m_port.reset();
    if (m_sim.state() != QProcess::NotRunning) {
        m_sim.kill();
        m_sim.waitForFinished();
    }
    if (m_silentLine >= 0) {
        ::close(m_silentLine);
        m_silentLine = -1;
    }
}

bool tst_frmsetupE2e::startSimulator()
{
    const QString link = m_rig->file(u"line"_s);
    m_sim.start(QStringLiteral(ZONESIM_BINARY), {u"--link"_s, link});
    if (!m_sim.waitForStarted() || !waitSimulator(u"listening on"_s))
        return false;
    openDialog(link);
    return true;
}

bool tst_frmsetupE2e::waitSimulator(const QString &text, int timeoutMs)
{
    return QTest::qWaitFor(
        [this, &text] {
            m_simOutput += QString::fromUtf8(m_sim.readAllStandardOutput());
            return m_simOutput.contains(text);
        },
        timeoutMs);
}

void tst_frmsetupE2e::openDialog(const QString &device)
{
    m_rig->realPort = m_port.get();
    m_rig->store.values.insert(u"ports/com1"_s, device);
    Console &c = m_rig->start();
    QVERIFY(c.link().isOpen());
    m_dialog = std::make_unique<frmsetup>(setupServices(c));
    m_dialog->show();
}

void tst_frmsetupE2e::setTimeNoThenYes()
{
    QVERIFY(startSimulator());
    child<QTimeEdit>(u"DTPRTC"_s)->setTime(QTime(9, 8, 7));
    child<QTimeEdit>(u"DTP_AUTO_OPEN"_s)->setTime(QTime(6, 45, 0));
    m_rig->dialogs.answers.enqueue(MsgAnswer::No);
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    child<QPushButton>(u"cmd_set_time"_s)->click();
    QVERIFY(waitSimulator(u"PowerOnTimeSet"_s));
    QTest::qWait(300);
    m_simOutput += QString::fromUtf8(m_sim.readAllStandardOutput());
    QVERIFY2(!m_simOutput.contains(u"ClockSet"_s), qPrintable(m_simOutput));
    QVERIFY2(m_simOutput.contains(u"06:45:00"_s) || m_simOutput.contains(u"6.45.0."_s),
             qPrintable(m_simOutput));
}

void tst_frmsetupE2e::readFillsBothPickers()
{
    QVERIFY(startSimulator());
    // A fresh controller has no power-on time.
    child<QTimeEdit>(u"DTPRTC"_s)->setTime(QTime(0, 0, 0));
    child<QPushButton>(u"cmdreadtime"_s)->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_rig->dialogs.shown.size(), 1, 5000);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, u"未设置自动开机时间。"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Information);
    QVERIFY(child<QTimeEdit>(u"DTPRTC"_s)->time() != QTime(0, 0, 0));
    // No power-on time was read: the picker still shows none.
    QCOMPARE(child<QTimeEdit>(u"DTP_AUTO_OPEN"_s)->text(), u"--:--:--"_s);
    // Both times set, both read back.
    child<QTimeEdit>(u"DTPRTC"_s)->setTime(QTime(9, 8, 7));
    child<QTimeEdit>(u"DTP_AUTO_OPEN"_s)->setTime(QTime(6, 45, 0));
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    child<QPushButton>(u"cmd_set_time"_s)->click();
    QVERIFY(waitSimulator(u"PowerOnTimeSet"_s));
    child<QTimeEdit>(u"DTPRTC"_s)->setTime(QTime(0, 0, 0));
    child<QTimeEdit>(u"DTP_AUTO_OPEN"_s)->setTime(QTime(0, 0, 0));
    auto *read = child<QPushButton>(u"cmdreadtime"_s);
    read->click();
    QVERIFY(!read->isEnabled()); // one reading at a time
    QTRY_VERIFY_WITH_TIMEOUT(read->isEnabled(), 5000);
    const QTime clock = child<QTimeEdit>(u"DTPRTC"_s)->time();
    QVERIFY2(clock >= QTime(9, 8, 7) && clock <= QTime(9, 8, 30), qPrintable(clock.toString()));
    QCOMPARE(child<QTimeEdit>(u"DTP_AUTO_OPEN"_s)->time(), QTime(6, 45, 0));
    QCOMPARE(m_rig->dialogs.shown.size(), 3); // the two questions, nothing more
}

void tst_frmsetupE2e::noControllerGivesBothMessages()
{
    // A line with nobody at the other end: a pseudo-terminal that is never read.
    m_silentLine = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(m_silentLine >= 0);
    QVERIFY(::grantpt(m_silentLine) == 0 && ::unlockpt(m_silentLine) == 0);
    openDialog(QString::fromLocal8Bit(::ptsname(m_silentLine)));
    QElapsedTimer clock;
    clock.start();
    child<QPushButton>(u"cmdreadtime"_s)->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_rig->dialogs.shown.size(), 1, 5000);
    const qint64 first = clock.elapsed();
    QCOMPARE(m_rig->dialogs.shown.at(0).text, u"没有读取到主机的时间。"_s);
    QTRY_COMPARE_WITH_TIMEOUT(m_rig->dialogs.shown.size(), 2, 5000);
    const qint64 second = clock.elapsed();
    QCOMPARE(m_rig->dialogs.shown.at(1).text, u"没有读取到自动开机时间。"_s);
    // Each waited out its reply time; neither waits for the operator.
    QVERIFY2(first >= 190, qPrintable(QString::number(first)));
    QVERIFY2(second - first >= 190, qPrintable(QString::number(second - first)));
    QVERIFY(!m_rig->dialogs.shown.at(0).waited);
    QVERIFY(!m_rig->dialogs.shown.at(1).waited);
}

void tst_frmsetupE2e::testEchoesAndKeysStillWork()
{
    QVERIFY(startSimulator());
    child<QLineEdit>(u"txtsend"_s)->setText(u"Quellon 测试 123"_s);
    child<QLineEdit>(u"txtreceive"_s)->setText(u"old"_s);
    child<QPushButton>(u"cmdtest"_s)->click();
    QCOMPARE(child<QLineEdit>(u"txtreceive"_s)->text(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>(u"txtreceive"_s)->text(), u"Quellon 测试 123"_s,
                              5000);
    // The echo did not reach the remote keys ("Q" would be no key; "1" would
    // play), and a key sent afterwards still works.
    QVERIFY(m_rig->player.calls.isEmpty());
    m_sim.write("key 2\n");
    QVERIFY(waitSimulator(u"ZoneOpen"_s));
}

void tst_frmsetupE2e::enterInTheTestFieldSends()
{
    QVERIFY(startSimulator());
    m_rig->store.writes.clear();
    child<QTabWidget>(u"SSTab1"_s)->setCurrentIndex(3);
    QApplication::setActiveWindow(m_dialog.get());
    auto *send = child<QLineEdit>(u"txtsend"_s);
    send->setFocus();
    QTest::keyClicks(send, u"Enter 42"_s);
    QTest::keyClick(send, Qt::Key_Return);
    // The simulator gets the text and echoes it; the dialog stays open and
    // nothing was applied.
    QVERIFY(waitSimulator(u"echo 45"_s)); // "E", the first byte
    QTRY_COMPARE_WITH_TIMEOUT(child<QLineEdit>(u"txtreceive"_s)->text(), u"Enter 42"_s, 5000);
    QVERIFY(m_dialog->isVisible());
    QVERIFY(m_rig->store.writes.isEmpty());
}

void tst_frmsetupE2e::setBeforeAnyReadSendsNothing()
{
    QVERIFY(startSimulator());
    child<QPushButton>(u"cmd_set_time"_s)->click(); // its refusal is answered OK
    // Time enough for both frames and the pause between them.
    QTest::qWait(500);
    m_simOutput += QString::fromUtf8(m_sim.readAllStandardOutput());
    QVERIFY2(!m_simOutput.contains(u"ClockSet"_s), qPrintable(m_simOutput));
    QVERIFY2(!m_simOutput.contains(u"PowerOnTimeSet"_s), qPrintable(m_simOutput));
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QVERIFY(m_rig->dialogs.shown.at(0).text.startsWith(u"控制主机时间和自动开机时间"_s));
    // A read fills both pickers; then the same button sends both.
    child<QPushButton>(u"cmdreadtime"_s)->click();
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(u"cmdreadtime"_s)->isEnabled(), 5000);
    QVERIFY(child<QTimeEdit>(u"DTPRTC"_s)->text() != u"--:--:--"_s);
    child<QTimeEdit>(u"DTP_AUTO_OPEN"_s)->setTime(QTime(6, 45, 0));
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    m_rig->dialogs.answers.enqueue(MsgAnswer::Yes);
    child<QPushButton>(u"cmd_set_time"_s)->click();
    QVERIFY(waitSimulator(u"PowerOnTimeSet"_s));
    QVERIFY2(m_simOutput.contains(u"ClockSet"_s), qPrintable(m_simOutput));
}

QTEST_MAIN(tst_frmsetupE2e)
#include "tst_frmsetup_e2e.moc"
