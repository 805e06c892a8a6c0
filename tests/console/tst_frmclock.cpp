// The clock window on the running console with a fake Power: the running
// picker, the adjust box, and "确 定" setting the PC and, once the system
// answered, the controller. The real Power, where no system bus listens,
// answers later too, with a refusal.

#include "consolerig.h"
#include "platform/power.h"
#include "support/consolewindows.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/frmclock.h"
#include "zonelink/zonelink.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDateTimeEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmclock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void runningClock();
    void setsThePcThenTheController();
    void refusedChangeSendsNothing();
    void okWaitsForTheAnswer();
    void answerAfterTheWindowWent_data();
    void answerAfterTheWindowWent();
    void exitSendsNothing();
    void realPowerAnswersLater();
    void realPowerOffReturnsAtOnce();

private:
    frmclock &open();
    template<class T> T *child(const QString &name) { return m_window->findChild<T *>(name); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmclock> m_window;
    std::unique_ptr<QSignalSpy> m_queued;
};

void tst_frmclock::init()
{
    m_window.reset();
    m_queued.reset();
    m_rig = std::make_unique<ConsoleRig>();
}

frmclock &tst_frmclock::open()
{
    Console &c = m_rig->start();
    m_queued = std::make_unique<QSignalSpy>(&c.link(), &ZoneLink::frameQueued);
    m_window = std::make_unique<frmclock>(clockServices(c));
    m_window->show();
    return *m_window;
}

void tst_frmclock::runningClock()
{
    frmclock &w = open();
    QCOMPARE(w.windowTitle(), u"调整系统时间"_s);
    auto *picker = child<QDateTimeEdit>(u"DTPicker1"_s);
    auto *adjust = child<QCheckBox>(u"chkadjtime"_s);
    auto *ok = child<QPushButton>(u"cmdok"_s);
    QCOMPARE(picker->displayFormat(), u"yyyy年MM月dd日 HH时mm分ss秒"_s);
    QCOMPARE(picker->dateTime(), QDateTime(QDate(2026, 12, 7), QTime(6, 30, 0)));
    QVERIFY(!adjust->isChecked());
    QVERIFY(!ok->isEnabled());
    // The picker follows the clock every half second.
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(6, 31, 5)));
    QTRY_COMPARE_WITH_TIMEOUT(picker->dateTime(), QDateTime(QDate(2026, 12, 7), QTime(6, 31, 5)),
                              2000);
    // Adjusting holds it still and enables "确 定"; clearing the box lets it run again.
    adjust->click();
    QVERIFY(ok->isEnabled());
    m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(6, 40, 0)));
    QTest::qWait(700);
    QCOMPARE(picker->time(), QTime(6, 31, 5));
    adjust->click();
    QVERIFY(!ok->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(picker->time(), QTime(6, 40, 0), 2000);
    w.grab().save(QCoreApplication::applicationDirPath() + u"/frmclock.png"_s);
}

void tst_frmclock::setsThePcThenTheController()
{
    frmclock &w = open();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    const QDateTime moment(QDate(2026, 12, 31), QTime(23, 59, 59)); // the last second of a month
    child<QDateTimeEdit>(u"DTPicker1"_s)->setDateTime(moment);
    child<QPushButton>(u"cmdok"_s)->click();
    // The PC gets date and time in one step; the controller waits for its answer.
    QCOMPARE(m_rig->power.clockSettings, QList<QDateTime> {moment});
    QCOMPARE(m_queued->size(), 0);
    QVERIFY(w.isVisible());
    QVERIFY(m_rig->power.answerClock(true));
    // Then the controller gets only the time.
    QCOMPARE(m_queued->size(), 1);
    FrameDecoder decoder;
    const auto pieces = decoder.feed(m_queued->at(0).at(0).toByteArray());
    QCOMPARE(pieces.size(), 1);
    QCOMPARE(pieces.at(0).frame.code, CommandCode::ClockSet);
    QCOMPARE(pieces.at(0).frame.values, (QList<int> {23, 59, 59}));
    QCOMPARE(m_queued->at(0).at(1).toBool(), false); // written, not sent with RTS
    QVERIFY(m_rig->console().state().ReloadSchedule());
    QVERIFY(!w.isVisible());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
}

void tst_frmclock::refusedChangeSendsNothing()
{
    frmclock &w = open();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    child<QPushButton>(u"cmdok"_s)->click();
    QCOMPARE(m_rig->power.clockSettings.size(), 1);
    QVERIFY(m_rig->dialogs.shown.isEmpty()); // nothing is known yet
    QVERIFY(m_rig->power.answerClock(false));
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, frmclock::refusedText());
    QCOMPARE(m_rig->dialogs.shown.at(0).title, u"调整系统时间"_s);
    QCOMPARE(m_rig->dialogs.shown.at(0).icon, MsgIcon::Error);
    // The answer is no command of the operator's: it does not wait.
    QVERIFY(!m_rig->dialogs.shown.at(0).waited);
    QCOMPARE(m_queued->size(), 0);
    QVERIFY(!m_rig->console().state().ReloadSchedule());
    QVERIFY(w.isVisible()); // the operator may try again or leave
    QVERIFY(child<QPushButton>(u"cmdok"_s)->isEnabled());
}

void tst_frmclock::okWaitsForTheAnswer()
{
    open();
    auto *ok = child<QPushButton>(u"cmdok"_s);
    child<QCheckBox>(u"chkadjtime"_s)->click();
    ok->click();
    QVERIFY(!ok->isEnabled());
    // Neither a second press nor the adjust box asks the system again meanwhile.
    ok->click();
    m_window->cmdok_Click();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    QVERIFY(!ok->isEnabled());
    QCOMPARE(m_rig->power.clockSettings.size(), 1);
    QCOMPARE(m_rig->power.clockAnswersWaiting(), 1);
}

void tst_frmclock::answerAfterTheWindowWent_data()
{
    QTest::addColumn<bool>("destroyed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("closed, accepted") << false << true;
    QTest::newRow("destroyed, accepted") << true << true;
    QTest::newRow("closed, refused") << false << false;
    QTest::newRow("destroyed, refused") << true << false;
}

void tst_frmclock::answerAfterTheWindowWent()
{
    QFETCH(bool, destroyed);
    QFETCH(bool, accepted);
    open();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    child<QDateTimeEdit>(u"DTPicker1"_s)->setTime(QTime(7, 15, 0));
    child<QPushButton>(u"cmdok"_s)->click();
    child<QPushButton>(u"cmdquit"_s)->click();
    if (destroyed)
        m_window.reset();
    QVERIFY(m_rig->power.answerClock(accepted));
    // The PC took the time or not: the controller follows it all the same,
    // and a refusal is still told.
    QCOMPARE(m_queued->size(), accepted ? 1 : 0);
    QCOMPARE(m_rig->console().state().ReloadSchedule(), accepted);
    QCOMPARE(m_rig->dialogs.shown.size(), accepted ? 0 : 1);
    if (accepted) {
        FrameDecoder decoder;
        const auto pieces = decoder.feed(m_queued->at(0).at(0).toByteArray());
        QCOMPARE(pieces.at(0).frame.values, (QList<int> {7, 15, 0}));
    }
}

void tst_frmclock::exitSendsNothing()
{
    frmclock &w = open();
    child<QCheckBox>(u"chkadjtime"_s)->click();
    child<QPushButton>(u"cmdquit"_s)->click();
    QVERIFY(!w.isVisible());
    QVERIFY(m_rig->power.clockSettings.isEmpty());
    QCOMPARE(m_queued->size(), 0);
}

void tst_frmclock::realPowerAnswersLater()
{
    // Where nothing listens on the system bus (as main() makes sure).
    QVERIFY(!QDBusConnection::systemBus().isConnected());
    LogindPower power;
    QObject context;
    int answers = 0;
    bool accepted = true;
    auto gone = std::make_unique<QObject>();
    int answersToGone = 0;
    const QDateTime moment(QDate(2026, 12, 7), QTime(6, 30, 0));
    power.setSystemDateTime(moment, gone.get(), [&answersToGone](bool) { ++answersToGone; });
    gone.reset();
    power.setSystemDateTime(moment, &context, [&](bool a) {
        ++answers;
        accepted = a;
    });
    // Not inside the call: the answer comes from the event loop.
    QCOMPARE(answers, 0);
    QTRY_COMPARE(answers, 1);
    QVERIFY(!accepted); // no answer is no success
    QCOMPARE(answersToGone, 0);

    // The window on the real Power: "确 定" returns at once, and the refusal
    // comes as a notice once the answer is there.
    Console console(Console::Services {m_rig->clock, m_rig->dialogs, m_rig->store, m_rig->player,
                                       m_rig->mixer, m_rig->port, power, m_rig->launcher,
                                       m_rig->probe, AppFolder(m_rig->dir.path())});
    console.startUp();
    QSignalSpy queued(&console.link(), &ZoneLink::frameQueued);
    m_rig->dialogs.shown.clear();
    frmclock w(clockServices(console));
    w.show();
    w.findChild<QCheckBox *>(u"chkadjtime"_s)->click();
    auto *ok = w.findChild<QPushButton *>(u"cmdok"_s);
    ok->click();
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    QVERIFY(!ok->isEnabled());
    QTRY_COMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).text, frmclock::refusedText());
    QVERIFY(ok->isEnabled());
    QVERIFY(w.isVisible());
    QCOMPARE(queued.size(), 0);
}

void tst_frmclock::realPowerOffReturnsAtOnce()
{
    QVERIFY(!QDBusConnection::systemBus().isConnected());
    static int refusals = 0;
    refusals = 0;
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (type == QtWarningMsg && text.startsWith(u"power off refused"_s))
                ++refusals;
            else
                previous(type, context, text);
        });
    LogindPower power;
    power.powerOff();
    // The refusal is logged from the event loop, not inside the call.
    QCOMPARE(refusals, 0);
    QTRY_COMPARE(refusals, 1);
    qInstallMessageHandler(previous);
}

int main(int argc, char *argv[])
{
    // The real Power in this test talks to no system bus at all: the address
    // points at a socket that does not exist, whatever the caller set.
    QTemporaryDir nowhere;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(nowhere.path()) + "/none");
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tst_frmclock test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_frmclock.moc"
