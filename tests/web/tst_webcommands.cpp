// The office page's commands through the HTTP API on the console rig: each
// acts through the console's own objects (today's rows, the volume, the
// player, the frames on the link) as the main window's buttons and the
// remote keys do, is written to the as-run log as 网页, and none acts while
// the program is ending.

#include "console/consolestate.h"
#include "console/emergencybroadcast.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/scheduler.h"
#include "console/todayschedule.h"
#include "consolerig.h"
#include "platform/asrunlog.h"
#include "platform/secondticker.h"
#include "support/gbkfiles.h"
#include "web/webserver.h"
#include "webclient.h"
#include "webrigstate.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString stateName(RowState state)
{
    switch (state) {
    case RowState::Waiting:
        return u"waiting"_s;
    case RowState::Done:
        return u"done"_s;
    case RowState::Cancelled:
        return u"cancelled"_s;
    }
    return {};
}

} // namespace

class tst_WebCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void commands_data();
    void commands();
    void nothingWhileEnding_data();
    void nothingWhileEnding();
    void emergency_data();
    void emergency();

private:
    void start();
    QStringList states();
    // The codes of the frames the link queued since the spy began.
    static QList<int> codes(const QSignalSpy &queued);

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<WebServer> m_server;
    std::unique_ptr<WebClient> m_client;
    QString m_song;
};

void tst_WebCommands::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    const quint16 port = freePort();
    QVERIFY(port != 0);
    m_rig->store.values.insert(u"operation/web_port"_s, QString::number(port));
    m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    m_song = m_rig->file(u"song/上课.wav"_s);
    GbkFiles::writeBytes(m_song, QByteArray("RIFF"));
    m_rig->writeWeek(ConsoleRig::line(u"07:30:00"_s, u"起床"_s, m_song, 12000)
                     + ConsoleRig::line(u"08:00:00"_s, u"上课"_s, m_song, 14000)
                     + ConsoleRig::line(u"12:00:00"_s, u"午间"_s, m_song, 16000));
    m_client = std::make_unique<WebClient>();
    m_client->setPort(port);
}

void tst_WebCommands::cleanup()
{
    m_client.reset();
    m_server.reset();
    m_rig.reset();
}

void tst_WebCommands::start()
{
    m_server = std::make_unique<WebServer>(m_rig->start());
    m_server->follow();
    QVERIFY(m_server->isListening());
}

QStringList tst_WebCommands::states()
{
    QStringList list;
    const ProgrammeModel &model = m_rig->console().programme();
    for (int row = 0; row < model.count(); ++row)
        list << stateName(model.state(row));
    return list;
}

QList<int> tst_WebCommands::codes(const QSignalSpy &queued)
{
    QList<int> list;
    for (const auto &args : queued) {
        FrameDecoder decoder;
        for (const auto &piece : decoder.feed(args.at(0).toByteArray())) {
            if (piece.isFrame)
                list << piece.frame.code;
        }
    }
    return list;
}

void tst_WebCommands::commands_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("before"); // "morning", "row 2 cancelled", "row 1 playing"
    QTest::addColumn<bool>("cookie"); // the session by cookie, else by bearer token
    QTest::addColumn<QList<int>>("frames"); // codes queued by the command
    QTest::addColumn<QStringList>("states"); // of the rows after it
    QTest::addColumn<QString>("volume"); // "same", "up", "down" or a value
    QTest::addColumn<QString>("player"); // a call the player had, or empty: none
    QTest::addColumn<QString>("logged"); // the as-run line of origin 网页

    using namespace CommandCode;
    const QStringList waiting {u"waiting"_s, u"waiting"_s, u"waiting"_s};
    QTest::newRow("cancel") << R"({"action":"cancel","row":2})"_ba << u"morning"_s << false
                            << QList<int> {}
                            << QStringList {u"waiting"_s, u"cancelled"_s, u"waiting"_s} << u"same"_s
                            << QString() << u"取消第 2 行 08:00:00 上课.wav"_s;
    QTest::newRow("cancel by cookie")
        << R"({"action":"cancel","row":3})"_ba << u"morning"_s << true << QList<int> {}
        << QStringList {u"waiting"_s, u"waiting"_s, u"cancelled"_s} << u"same"_s << QString()
        << u"取消第 3 行 12:00:00 上课.wav"_s;
    QTest::newRow("restore") << R"({"action":"restore","row":2})"_ba << u"row 2 cancelled"_s
                             << false << QList<int> {} << waiting << u"same"_s << QString()
                             << u"恢复第 2 行 08:00:00 上课.wav"_s;
    QTest::newRow("play a row") << R"({"action":"play","row":3})"_ba << u"morning"_s << false
                                << QList<int> {} << waiting << u"16000"_s
                                << u"load "_s + u"%SONG%"_s << u"播放第 3 行 12:00:00 上课.wav"_s;
    QTest::newRow("volume up") << R"({"action":"volume_up"})"_ba << u"morning"_s << false
                               << QList<int> {} << waiting << u"up"_s << QString() << u"增大音量"_s;
    QTest::newRow("volume down") << R"({"action":"volume_down"})"_ba << u"morning"_s << true
                                 << QList<int> {} << waiting << u"down"_s << QString()
                                 << u"减小音量"_s;
    QTest::newRow("all on") << R"({"action":"all_on"})"_ba << u"morning"_s << false
                            << QList<int> {ZoneOpen, AmpOpen, DeviceOpen} << waiting << u"same"_s
                            << QString() << u"全部打开"_s;
    QTest::newRow("all off") << R"({"action":"all_off"})"_ba << u"morning"_s << false
                             << QList<int> {ZoneClose, AmpClose, DeviceClose} << waiting
                             << u"same"_s << QString() << u"全部关闭"_s;
    // The item playing stops and what it switched on closes now, zones first.
    QTest::newRow("stop the item playing")
        << R"({"action":"stop"})"_ba << u"row 1 playing"_s << false
        << QList<int> {ZoneClose, DeviceClose, AmpClose}
        << QStringList {u"done"_s, u"waiting"_s, u"waiting"_s} << u"same"_s << u"stop"_s
        << u"停止播放，关闭播放中的设备"_s;
    QTest::newRow("stop with nothing playing")
        << R"({"action":"stop"})"_ba << u"morning"_s << false << QList<int> {} << waiting
        << u"same"_s << u"stop"_s << u"停止播放，关闭播放中的设备"_s;
}

void tst_WebCommands::commands()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, before);
    QFETCH(bool, cookie);
    QFETCH(QList<int>, frames);
    QFETCH(QStringList, states);
    QFETCH(QString, volume);
    QFETCH(QString, player);
    QFETCH(QString, logged);
    start();
    Console &console = m_rig->console();
    // The test moves the clock and ticks by hand: no tick of its own in
    // between sends a repeat.
    console.secondTicker().stop();
    if (before == u"row 2 cancelled") {
        console.today().cancelRow(1);
    } else if (before == u"row 1 playing") {
        m_rig->clock.set(QDateTime(QDate(2026, 12, 7), QTime(7, 30, 0)));
        console.timerplayer_Timer();
    }
    QVERIFY(QTest::qWaitFor([&] { return console.link().queuedFrames() == 0; }, 5000));
    // The file plays once the item's frames are out.
    if (before == u"row 1 playing") {
        QVERIFY(console.playback().isPlaying());
        QVERIFY(console.scheduler().outputsActive());
    }
    const WebClient::Session s = m_client->logIn();
    QVERIFY(s.ok());
    const WebClient::Headers headers = cookie
        ? WebClient::Headers {{"Cookie", "quellon_session=" + s.token}, {"X-CSRF-Token", s.csrf}}
        : WebClient::bearer(s);
    const int volumeBefore = console.volume().value();
    QSignalSpy queued(&console.link(), &ZoneLink::frameQueued);
    QSignalSpy recorded(&console.asRunLog(), &AsRunLog::recorded);
    m_rig->player.calls.clear();

    const WebClient::Result result = m_client->postJson(u"/api/v1/command"_s, body, headers);
    QCOMPARE(result.status, 200);
    QCOMPARE(result.body, (QJsonObject {{u"ok"_s, true}}));
    // The console shows it as soon as the answer is there.
    QCOMPARE(codes(queued), frames);
    QCOMPARE(this->states(), states);
    const int now = console.volume().value();
    if (volume == u"same")
        QCOMPARE(now, volumeBefore);
    else if (volume == u"up")
        QCOMPARE(now, MasterVolume::upFrom(volumeBefore));
    else if (volume == u"down")
        QCOMPARE(now, MasterVolume::downFrom(volumeBefore));
    else
        QCOMPARE(now, volume.toInt());
    player.replace(u"%SONG%"_s, m_song);
    if (player.isEmpty())
        QCOMPARE(m_rig->player.calls, QStringList {});
    else
        QVERIFY2(m_rig->player.calls.contains(player), qPrintable(m_rig->player.calls.join(u'|')));
    if (before == u"row 1 playing") {
        QVERIFY(!console.playback().isPlaying());
        QVERIFY(!console.scheduler().outputsActive());
        QVERIFY(!console.state().ManualMode());
    }
    // The command's own line comes first, before what it set off.
    QVERIFY(!recorded.isEmpty());
    QCOMPARE(recorded.first().at(1).toString(), u"网页"_s);
    QCOMPARE(recorded.first().at(2).toString(), logged);
    // And it is in the day's file.
    const QString day = console.asRunLog().fileFor(m_rig->clock.now().date());
    QFile file(day);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(file.readAll()).contains(u",网页,"_s + logged));
}

void tst_WebCommands::nothingWhileEnding_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("stop") << R"({"action":"stop"})"_ba;
    QTest::newRow("cancel") << R"({"action":"cancel","row":1})"_ba;
    QTest::newRow("play") << R"({"action":"play","row":2})"_ba;
    QTest::newRow("volume up") << R"({"action":"volume_up"})"_ba;
    QTest::newRow("all on") << R"({"action":"all_on"})"_ba;
    QTest::newRow("all off") << R"({"action":"all_off"})"_ba;
}

void tst_WebCommands::nothingWhileEnding()
{
    QFETCH(QByteArray, body);
    start();
    const WebClient::Session s = m_client->logIn();
    QVERIFY(s.ok());
    m_rig->console().endProgram();
    const WebRigState before(*m_rig);
    const WebClient::Result result
        = m_client->postJson(u"/api/v1/command"_s, body, WebClient::bearer(s));
    QCOMPARE(result.status, 409);
    QCOMPARE(result.body[u"error"_s].toString(), u"not_possible"_s);
    QTest::qWait(50);
    const WebRigState after(*m_rig);
    QCOMPARE(after.frames, before.frames);
    QCOMPARE(after.files, before.files);
    QCOMPARE(after.rows, before.rows);
    QCOMPARE(after.volume, before.volume);
    QCOMPARE(after.player, before.player);
}

void tst_WebCommands::emergency_data()
{
    QTest::addColumn<bool>("running"); // an emergency runs before the command
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("runningAfter");
    QTest::addColumn<QString>("logged"); // the 网页 line, or empty: none
    QTest::newRow("start") << false << R"({"action":"emergency_start"})"_ba << 200 << true
                           << u"开始紧急广播"_s;
    QTest::newRow("end") << true << R"({"action":"emergency_end"})"_ba << 200 << false
                         << u"结束紧急广播"_s;
    QTest::newRow("end with none running")
        << false << R"({"action":"emergency_end"})"_ba << 409 << false << QString();
    QTest::newRow("a second start")
        << true << R"({"action":"emergency_start"})"_ba << 409 << true << QString();
    // While it runs, the page can only end it.
    QTest::newRow("all off while it runs")
        << true << R"({"action":"all_off"})"_ba << 409 << true << QString();
    QTest::newRow("stop while it runs")
        << true << R"({"action":"stop"})"_ba << 409 << true << QString();
    QTest::newRow("volume down while it runs")
        << true << R"({"action":"volume_down"})"_ba << 409 << true << QString();
}

void tst_WebCommands::emergency()
{
    QFETCH(bool, running);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, logged);
    start();
    Console &console = m_rig->console();
    console.secondTicker().stop();
    if (running)
        QVERIFY(console.emergency().start());
    const WebClient::Session s = m_client->logIn();
    QVERIFY(s.ok());
    const int volumeBefore = console.volume().value();
    QSignalSpy queued(&console.link(), &ZoneLink::frameQueued);
    QSignalSpy recorded(&console.asRunLog(), &AsRunLog::recorded);
    const WebClient::Result result
        = m_client->postJson(u"/api/v1/command"_s, body, WebClient::bearer(s));
    QCOMPARE(result.status, status);
    QTEST(console.emergency().active(), "runningAfter");
    if (status != 200) {
        QCOMPARE(result.body[u"error"_s].toString(), u"not_possible"_s);
        QCOMPARE(codes(queued), QList<int> {});
        QCOMPARE(console.volume().value(), volumeBefore);
        QVERIFY(recorded.isEmpty());
        return;
    }
    // Something went to the wire, after the command's own line.
    QVERIFY(!codes(queued).isEmpty());
    QCOMPARE(recorded.first().at(1).toString(), u"网页"_s);
    QCOMPARE(recorded.first().at(2).toString(), logged);
}

QTEST_MAIN(tst_WebCommands)
#include "tst_webcommands.moc"
