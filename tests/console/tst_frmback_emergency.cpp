// The main window's emergency broadcast: F9, its menu item and its toolbar
// button ask once and start it; a red banner shows how long it has run; the
// banner's button, the same action again, or the remote's stop end it.

#include "console/emergencybroadcast.h"
#include "console/frmback.h"
#include "consolerig.h"
#include "platform/secondticker.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {
QString shot(const QString &name)
{
    return QCoreApplication::applicationDirPath() + u'/' + name;
}
} // namespace

class tst_frmbackEmergency : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startAsksOnce_data();
    void startAsksOnce();
    void bannerShowsTheElapsedTime();
    void endsFrom_data();
    void endsFrom();

private:
    frmback &start();
    template<class T> T *child(const QString &name)
    {
        T *w = m_window->findChild<T *>(name);
        if (!w)
            qFatal("no %s", qPrintable(name));
        return w;
    }
    QWidget *banner() { return child<QWidget>(u"emergencyBanner"_s); }

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<frmback> m_window;
};

void tst_frmbackEmergency::init()
{
    m_rig = std::make_unique<ConsoleRig>();
}

void tst_frmbackEmergency::cleanup()
{
    m_window.reset();
    m_rig.reset();
}

frmback &tst_frmbackEmergency::start()
{
    Console &c = m_rig->start(false);
    m_window = std::make_unique<frmback>(c);
    c.startUp();
    m_window->resize(1024, 700);
    m_window->show();
    return *m_window;
}

void tst_frmbackEmergency::startAsksOnce_data()
{
    QTest::addColumn<QString>("how"); // "F9", "menu", "toolbar"
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("running");
    QTest::newRow("F9, yes") << u"F9"_s << int(MsgAnswer::Yes) << true;
    QTest::newRow("F9, no") << u"F9"_s << int(MsgAnswer::No) << false;
    QTest::newRow("menu, yes") << u"menu"_s << int(MsgAnswer::Yes) << true;
    QTest::newRow("toolbar, yes") << u"toolbar"_s << int(MsgAnswer::Yes) << true;
    QTest::newRow("toolbar, no") << u"toolbar"_s << int(MsgAnswer::No) << false;
}

void tst_frmbackEmergency::startAsksOnce()
{
    QFETCH(QString, how);
    QFETCH(int, answer);
    QFETCH(bool, running);
    frmback &w = start();
    m_rig->dialogs.answers.enqueue(MsgAnswer(answer));
    QAction *action = child<QAction>(u"mnuemergency"_s);
    QCOMPARE(action->shortcut(), QKeySequence(Qt::Key_F9));
    if (how == u"F9") {
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F9);
    } else if (how == u"menu") {
        QVERIFY(child<QMenu>(u"mnuplay"_s)->actions().contains(action));
        action->trigger();
    } else {
        QToolBar *bar = child<QToolBar>(u"tbr1"_s);
        QVERIFY(bar->actions().contains(action));
        action->trigger();
    }
    // One question, answered from the event loop, never while it is asked.
    QCOMPARE(m_rig->dialogs.shown.size(), 1);
    QCOMPARE(m_rig->dialogs.shown.at(0).waited, false);
    QVERIFY(!m_rig->console().emergency().active());
    QTRY_COMPARE(m_rig->dialogs.answersUnderway(), 0);
    QCOMPARE(m_rig->console().emergency().active(), running);
    QCOMPARE(banner()->isVisible(), running);
    QCOMPARE(action->text(), running ? u"结束紧急广播"_s : u"紧急广播"_s);
}

void tst_frmbackEmergency::bannerShowsTheElapsedTime()
{
    start();
    QVERIFY(!banner()->isVisible());
    m_rig->console().emergency().start();
    QVERIFY(banner()->isVisible());
    QLabel *text = child<QLabel>(u"emergencyText"_s);
    QCOMPARE(text->text(), u"紧急广播中　已持续 00:00"_s);
    m_rig->clock.set(m_rig->clock.now().addSecs(95));
    m_rig->console().timerplayer_Timer();
    QCOMPARE(text->text(), u"紧急广播中　已持续 01:35"_s);
    // It hides neither the clock, nor the player, nor the list.
    for (const QString &name : {u"txttime"_s, u"lvwprog"_s, u"fraplayer"_s, u"lbluser"_s}) {
        QWidget *other = child<QWidget>(name);
        QVERIFY2(!banner()->geometry().intersects(other->geometry()), qPrintable(name));
    }
    QVERIFY(banner()->width() > 300);
    QCOMPARE(child<QAction>(u"mnuemergency"_s)->iconText(), u"结束广播"_s);
    m_window->grab().save(shot(u"frmback_emergency.png"_s));
}

void tst_frmbackEmergency::endsFrom_data()
{
    QTest::addColumn<QString>("how"); // "banner", "action", "key"
    QTest::newRow("the banner's button") << u"banner"_s;
    QTest::newRow("the action again, without a question") << u"action"_s;
    QTest::newRow("the remote's stop key") << u"key"_s;
}

void tst_frmbackEmergency::endsFrom()
{
    QFETCH(QString, how);
    start();
    m_rig->console().emergency().start();
    QCOMPARE(child<QPushButton>(u"emergencyEnd"_s)->text(), u"结束紧急广播"_s);
    if (how == u"banner")
        child<QPushButton>(u"emergencyEnd"_s)->click();
    else if (how == u"action")
        child<QAction>(u"mnuemergency"_s)->trigger();
    else
        m_rig->port.receive(QByteArray(1, char(3)));
    QTRY_VERIFY(!m_rig->console().emergency().active());
    QVERIFY(m_rig->dialogs.shown.isEmpty());
    QVERIFY(!banner()->isVisible());
    QCOMPARE(child<QAction>(u"mnuemergency"_s)->text(), u"紧急广播"_s);
}

QTEST_MAIN(tst_frmbackEmergency)
#include "tst_frmback_emergency.moc"
