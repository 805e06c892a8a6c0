// Terminal supervision in the running console: it follows the stored option
// and the settings applied, asks the terminals of an item the scheduler
// started once the switch-on repeats are over, and a terminal that stays
// silent shows in the main window's status bar and in the as-run log. With
// the option off the line carries the scheduler's frames only.

#include "console/frmback.h"
#include "console/terminalsupervisor.h"
#include "consolerig.h"
#include "platform/secondticker.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QFile>
#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
bool isStatusQuery(const QByteArray &frame)
{
    return frame.size() > 2 && static_cast<unsigned char>(frame.at(2)) == CommandCode::StatusQuery;
}
} // namespace

class tst_SupervisionConsole : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void followsTheOption_data();
    void followsTheOption();
    void silentTerminalsOfAPlayingItem_data();
    void silentTerminalsOfAPlayingItem();

private:
    void startWindow();
    // One automatic tick at 08:00:00 + s, then the line left to finish.
    bool tickAt(int s);

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmback> m_window;
};

void tst_SupervisionConsole::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_SupervisionConsole::cleanup()
{
    m_window.reset();
    m_rig.reset();
}

void tst_SupervisionConsole::startWindow()
{
    Console &c = m_rig->start(false);
    m_window = std::make_unique<frmback>(c);
    c.startUp();
    // The test gives the ticks, on its own clock.
    c.secondTicker().stop();
    m_window->resize(1024, 700);
    m_window->show();
}

bool tst_SupervisionConsole::tickAt(int s)
{
    Console &c = m_rig->console();
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(8, 0)).addSecs(s));
    c.timerplayer_Timer();
    // The fake port takes its bytes in real time.
    return QTest::qWaitFor(
        [&c] { return c.link().queuedFrames() == 0 && !c.supervisor().queryUnderway(); }, 5000);
}

void tst_SupervisionConsole::followsTheOption_data()
{
    QTest::addColumn<QString>("stored"); // empty: not stored
    QTest::addColumn<bool>("onAtStart");
    QTest::newRow("not stored") << QString() << false;
    QTest::newRow("stored off") << u"False"_s << false;
    QTest::newRow("stored on") << u"True"_s << true;
}

void tst_SupervisionConsole::followsTheOption()
{
    QFETCH(QString, stored);
    QFETCH(bool, onAtStart);
    if (!stored.isEmpty())
        m_rig->store.values.insert(u"operation/supervise_terminals"_s, stored);
    Console &c = m_rig->start();
    QCOMPARE(c.supervisor().enabled(), onAtStart);
    // The settings dialog switches it either way, at once.
    AppSettings values = c.settings().values();
    values.SuperviseTerminals = !onAtStart;
    QVERIFY(c.applySettings(values).isEmpty());
    QCOMPARE(c.supervisor().enabled(), !onAtStart);
    values.SuperviseTerminals = onAtStart;
    c.applySettings(values);
    QCOMPARE(c.supervisor().enabled(), onAtStart);
}

void tst_SupervisionConsole::silentTerminalsOfAPlayingItem_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("option on") << true;
    QTest::newRow("option off") << false;
}

void tst_SupervisionConsole::silentTerminalsOfAPlayingItem()
{
    QFETCH(bool, on);
    m_rig->store.values.insert(u"operation/supervise_terminals"_s, on ? u"True"_s : u"False"_s);
    startWindow();
    auto *panel = m_window->findChild<QLabel *>(u"StatusBar1_supervision"_s);
    QVERIFY(panel);
    QVERIFY(panel->isHidden());
    // The item of 08:00:00 plays 30 s on terminals 1 and 2; the fake
    // controller never answers a query. Four queries, 5 s apart, ask each
    // terminal twice.
    for (int s = 0; s <= 22; ++s)
        QVERIFY2(tickAt(s), qPrintable(QString::number(s)));
    const QList<QByteArray> writes = m_rig->port.writes();
    QList<QByteArray> queries;
    qsizetype firstQuery = -1;
    qsizetype lastOther = -1;
    for (qsizetype i = 0; i < writes.size(); ++i) {
        if (isStatusQuery(writes.at(i))) {
            queries.append(writes.at(i));
            if (firstQuery < 0)
                firstQuery = i;
        } else {
            lastOther = i;
        }
    }
    QVERIFY(lastOther >= 0); // the scheduler did start the item
    const QString logFile = m_rig->file(u"log/20261207.csv"_s);
    QFile f(logFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    const QStringList alarms = lines.filter(u",巡检,"_s);
    if (!on) {
        QVERIFY(queries.isEmpty());
        QVERIFY(alarms.isEmpty());
        QVERIFY(panel->isHidden());
        return;
    }
    QCOMPARE(queries,
             (QList<QByteArray> {*BuildFrame(CommandCode::StatusQuery, 0, 0, u"1."_s),
                                 *BuildFrame(CommandCode::StatusQuery, 0, 0, u"2."_s),
                                 *BuildFrame(CommandCode::StatusQuery, 0, 0, u"1."_s),
                                 *BuildFrame(CommandCode::StatusQuery, 0, 0, u"2."_s)}));
    // Not before the switch-on repeats were through.
    QVERIFY(firstQuery > lastOther);
    QCOMPARE(alarms.size(), qsizetype(2));
    QVERIFY2(alarms.at(0).endsWith(u",巡检,终端 1 连续两次未应答状态查询，告警"_s),
             qPrintable(alarms.at(0)));
    QVERIFY2(alarms.at(1).endsWith(u",巡检,终端 2 连续两次未应答状态查询，告警"_s),
             qPrintable(alarms.at(1)));
    QVERIFY(!panel->isHidden());
    QCOMPARE(panel->text(), u"巡检告警：终端 1、2 未应答"_s);
    // Switched off in the settings, the alarm goes from the status bar.
    AppSettings values = m_rig->console().settings().values();
    values.SuperviseTerminals = false;
    m_rig->console().applySettings(values);
    QVERIFY(panel->isHidden());
}

QTEST_MAIN(tst_SupervisionConsole)
#include "tst_supervisionconsole.moc"
