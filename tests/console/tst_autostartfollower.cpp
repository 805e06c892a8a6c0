// The autostart entry follows the setting "start at log-in": switched on or
// off by the settings dialog, checked at start-up, a failure told once.

#include "console/autostartfollower.h"
#include "console/consolesettings.h"
#include "platform/autostart.h"
#include "support/fakedialogs.h"
#include "support/memoryuserstore.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
class RecordingAutostart final : public Autostart
{
public:
    QString setEnabled(bool on) override
    {
        calls.append(on);
        if (problem.isEmpty())
            enabled = on;
        return problem;
    }
    bool isEnabled() const override { return enabled; }

    QList<bool> calls;
    bool enabled = false;
    QString problem;
};
} // namespace

class tst_AutostartFollower : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void followsTheSetting_data();
    void followsTheSetting();
    void failureIsToldOncePerChange();
};

void tst_AutostartFollower::followsTheSetting_data()
{
    QTest::addColumn<bool>("stored"); // the setting read at start-up
    QTest::addColumn<QList<bool>>("changes"); // values the dialog applies, in turn
    QTest::addColumn<QList<bool>>("calls"); // what the entry was told, in turn

    QTest::newRow("off at start, switched on")
        << false << QList<bool> {true} << QList<bool> {false, true};
    QTest::newRow("on at start: entry checked, then switched off")
        << true << QList<bool> {false} << QList<bool> {true, false};
    // Other settings change too; the entry is not rewritten for them.
    QTest::newRow("unrelated changes leave it")
        << true << QList<bool> {true, true} << QList<bool> {true};
    QTest::newRow("on, off, on") << false << QList<bool> {true, false, true}
                                 << QList<bool> {false, true, false, true};
}

void tst_AutostartFollower::followsTheSetting()
{
    QFETCH(bool, stored);
    QFETCH(QList<bool>, changes);
    QFETCH(QList<bool>, calls);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    MemoryUserStore store;
    ConsoleSettings settings(store, AppFolder(dir.path()));
    FakeDialogs dialogs;
    RecordingAutostart autostart;
    AutostartFollower follower(settings, autostart, dialogs);
    QVERIFY(autostart.calls.isEmpty());

    AppSettings values = settings.values();
    values.StartAtLogin = stored;
    settings.update(values);
    Q_EMIT settings.loaded(false);
    for (bool on : changes) {
        values.StartAtLogin = on;
        settings.update(values);
    }
    // The first update before the load: the follower has not been told yet
    // what the store says, so it sets the entry then; the load checks it.
    QList<bool> expected {stored};
    expected += calls;
    QCOMPARE(autostart.calls, expected);
    QCOMPARE(autostart.enabled, changes.isEmpty() ? stored : changes.last());
    QVERIFY(dialogs.shown.isEmpty());
}

void tst_AutostartFollower::failureIsToldOncePerChange()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    MemoryUserStore store;
    ConsoleSettings settings(store, AppFolder(dir.path()));
    FakeDialogs dialogs;
    RecordingAutostart autostart;
    autostart.problem = u"无法写入自动启动项 /x/quellon.desktop，登录后不会自动启动"_s;
    AutostartFollower follower(settings, autostart, dialogs);

    AppSettings values = settings.values();
    values.StartAtLogin = true;
    settings.update(values);
    settings.update(values); // another setting changed
    QCOMPARE(autostart.calls, QList<bool> {true});
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.first().text, autostart.problem);
    QVERIFY(!dialogs.shown.first().waited); // a notice: the ticks go on
}

QTEST_GUILESS_MAIN(tst_AutostartFollower)
#include "tst_autostartfollower.moc"
