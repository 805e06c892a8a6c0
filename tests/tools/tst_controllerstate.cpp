// The simulated controller's terminals as status queries find them: on or
// off, configured or not, and silent on command, the way a terminal with a
// broken receiver stops answering while the rest goes on.

#include "tools/zonesim/controllerstate.h"
#include "zonelink/frames.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QByteArray frame(int code, int p1, int p2, const QString &list)
{
    return *BuildFrame(code, p1, p2, list);
}
} // namespace

class tst_ControllerState : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statusAnswers_data();
    void statusAnswers();
    void silenceLeavesTheRestAlone();
};

void tst_ControllerState::statusAnswers_data()
{
    // Steps before the query of terminal 7: "open", "close", "silence",
    // "answer"; whether it answers, and the end of the log line.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<QString>("logged");
    QTest::newRow("off") << QStringList {} << false << u"node 7 -> no answer"_s;
    QTest::newRow("on") << QStringList {u"open"_s} << true << u"node 7 -> "_s;
    QTest::newRow("on, then closed")
        << QStringList {u"open"_s, u"close"_s} << false << u"node 7 -> no answer"_s;
    QTest::newRow("on and silent")
        << QStringList {u"open"_s, u"silence"_s} << false << u"node 7 -> no answer (silent)"_s;
    QTest::newRow("silent, then opened")
        << QStringList {u"silence"_s, u"open"_s} << false << u"node 7 -> no answer (silent)"_s;
    QTest::newRow("silent, then answering again")
        << QStringList {u"open"_s, u"silence"_s, u"answer"_s} << true << u"node 7 -> "_s;
}

void tst_ControllerState::statusAnswers()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, answers);
    QFETCH(QString, logged);
    ControllerState controller;
    controller.setConfiguredTerminals({7, 8});
    for (const QString &step : steps) {
        if (step == u"open")
            controller.receive(frame(CommandCode::ZoneOpen, 10, 35, u"7."_s));
        else if (step == u"close")
            controller.receive(frame(CommandCode::ZoneClose, 0, 0, u"7."_s));
        else
            controller.setSilent(7, step == u"silence");
    }
    QCOMPARE(controller.silent(7), steps.contains(u"silence"_s) && !steps.contains(u"answer"_s));
    controller.takeLog();
    QVERIFY(controller.receive(frame(CommandCode::StatusQuery, 0, 0, u"7."_s)).isEmpty());
    const QByteArray answer = controller.takeTerminalAnswers();
    QCOMPARE(!answer.isEmpty(), answers);
    if (answers) {
        const std::optional<StatusReply> reply = parseStatusReply(answer, 7);
        QVERIFY(reply);
        QCOMPARE(reply->frequency, 1035);
    }
    const QStringList log = controller.takeLog();
    QCOMPARE(log.size(), qsizetype(1));
    const QString line = log.first();
    QVERIFY2(answers ? line.contains(logged) && !line.contains(u"no answer"_s)
                     : line.contains(logged + u" ["_s),
             qPrintable(line));
}

void tst_ControllerState::silenceLeavesTheRestAlone()
{
    ControllerState controller;
    controller.setConfiguredTerminals({7, 8});
    controller.receive(frame(CommandCode::ZoneOpen, 10, 35, u"7.8."_s));
    controller.setSilent(7, true);
    // A silent terminal still obeys: it is switched off and on as told.
    controller.receive(frame(CommandCode::ZoneClose, 0, 0, u"7."_s));
    QVERIFY(!controller.terminal(7).on);
    controller.receive(frame(CommandCode::ZoneOpen, 10, 35, u"7."_s));
    QVERIFY(controller.terminal(7).on);
    controller.receive(frame(CommandCode::StatusQuery, 0, 0, u"8."_s));
    QVERIFY(parseStatusReply(controller.takeTerminalAnswers(), 8));
    controller.receive(frame(CommandCode::StatusQuery, 0, 0, u"7."_s));
    QVERIFY(controller.takeTerminalAnswers().isEmpty());
}

QTEST_GUILESS_MAIN(tst_ControllerState)
#include "tst_controllerstate.moc"
