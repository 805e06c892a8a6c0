// The autostart entry follows the operator's switching of "start at log-in"
// in the settings dialog; at start-up an entry there is left as it is (an
// entry in place is mended only when it is missing or starts nothing), and
// a failure is told once.

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
    bool startsAProgram() const override { return enabled && usable; }

    QList<bool> calls;
    bool enabled = false;
    bool usable = true; // what the entry starts is there
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
    QTest::addColumn<QString>("entry"); // at start-up: "none", "working" or "broken"
    QTest::addColumn<QList<bool>>("changes"); // values the dialog applies, in turn
    QTest::addColumn<QList<bool>>("calls"); // what the entry was told, in turn

    // The start-up leaves an entry alone, whoever wrote it and whatever it
    // starts (a one-off start with another data folder included).
    QTest::newRow("off at start: an entry there stays")
        << false << u"working"_s << QList<bool> {} << QList<bool> {};
    QTest::newRow("on at start: a working entry is not rewritten")
        << true << u"working"_s << QList<bool> {} << QList<bool> {};
    // ... unless it cannot start the console at all.
    QTest::newRow("on at start, entry missing: written")
        << true << u"none"_s << QList<bool> {} << QList<bool> {true};
    QTest::newRow("on at start, its program gone: written again")
        << true << u"broken"_s << QList<bool> {} << QList<bool> {true};
    QTest::newRow("off at start, entry broken: left")
        << false << u"broken"_s << QList<bool> {} << QList<bool> {};
    QTest::newRow("off at start, switched on")
        << false << u"none"_s << QList<bool> {true} << QList<bool> {true};
    QTest::newRow("on at start, switched off")
        << true << u"working"_s << QList<bool> {false} << QList<bool> {false};
    // Other settings change too; the entry is not rewritten for them.
    QTest::newRow("unrelated changes leave it")
        << true << u"working"_s << QList<bool> {true, true} << QList<bool> {};
    QTest::newRow("on, off, on") << false << u"none"_s << QList<bool> {true, false, true}
                                 << QList<bool> {true, false, true};
}

void tst_AutostartFollower::followsTheSetting()
{
    QFETCH(bool, stored);
    QFETCH(QString, entry);
    QFETCH(QList<bool>, changes);
    QFETCH(QList<bool>, calls);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    MemoryUserStore store;
    ConsoleSettings settings(store, AppFolder(dir.path()));
    FakeDialogs dialogs;
    RecordingAutostart autostart;
    autostart.enabled = entry != u"none";
    autostart.usable = entry == u"working";
    const bool wasEnabled = autostart.enabled;
    AutostartFollower follower(settings, autostart, dialogs);
    QVERIFY(autostart.calls.isEmpty());

    // Values in memory before the load are not the operator's: they are
    // not followed.
    AppSettings values = settings.values();
    values.StartAtLogin = stored;
    settings.update(values);
    Q_EMIT settings.loaded(false);
    for (bool on : changes) {
        values.StartAtLogin = on;
        settings.update(values);
    }
    QCOMPARE(autostart.calls, calls);
    QCOMPARE(autostart.enabled, calls.isEmpty() ? wasEnabled : calls.last());
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
    Q_EMIT settings.loaded(false);

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
