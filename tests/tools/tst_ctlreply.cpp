// What quellon-ctl prints for the console's answers and which exit code it
// gives: the texts of the reads and commands, the console's own refusal
// messages, answers it cannot read, and the network failures.

#include "ctlreply.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Ctl::Verb;

Q_DECLARE_METATYPE(Ctl::Verb)

namespace {

const QByteArray kStatus = R"({"clock":"2026-12-07 06:30:00","mode":"auto",
 "link":{"open":true,"device":"/dev/ttyUSB0"},
 "playing":{"active":true,"title":"早操音乐","position":" 12/180","length":"03:00","progress":6},
 "next":{"row":2,"time":"08:00:00","title":"上课铃"},
 "nextText":"\r    播放时间：08:00:00\r    播放文件：上课铃  \r    播放分区：1\r",
 "volume":{"value":7,"minimum":0,"maximum":100}})"_ba;

const QByteArray kQuietStatus = R"({"clock":"2026-12-07 23:00:00","mode":"manual",
 "link":{"open":false,"device":""},
 "playing":{"active":false,"title":"","position":"00/000","length":"00:00","progress":0},
 "next":{},"nextText":"","volume":{"value":0,"minimum":-10,"maximum":10}})"_ba;

const QByteArray kToday = R"({"rows":[
 {"row":1,"time":"07:30:00","detail":"起床","title":"bell.wav","state":"done","stateText":"是"},
 {"row":2,"time":"08:00:00","detail":"","title":"上课铃","state":"waiting","stateText":"否"},
 {"row":10,"time":"12:00:00","detail":"午休","title":"","state":"cancelled","stateText":"是"}]})"_ba;

Ctl::Options optionsFor(Verb verb, int row = 0, bool json = false)
{
    Ctl::Options options;
    options.verb = verb;
    options.row = row;
    options.json = json;
    return options;
}

} // namespace

class tst_CtlReply : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void describe_data();
    void describe();
    void refusals_data();
    void refusals();
    void login_data();
    void login();
    void network_data();
    void network();
};

void tst_CtlReply::describe_data()
{
    QTest::addColumn<Verb>("verb");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("json");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QByteArray ok = R"({"ok":true})"_ba;
    QTest::newRow("status")
        << Verb::Status << 0 << false << 200 << kStatus << 0
        << u"时间：2026-12-07 06:30:00\n运行方式：自动\n线路：已连接（/dev/ttyUSB0）\n"
           u"正在播放：早操音乐（12/180，03:00，6%）\n"
           u"下一项：播放时间：08:00:00，播放文件：上课铃，播放分区：1\n"
           u"音量：7（0–100）\n"_s
        << QString();
    QTest::newRow("status, nothing going on")
        << Verb::Status << 0 << false << 200 << kQuietStatus << 0
        << u"时间：2026-12-07 23:00:00\n运行方式：手动\n线路：未连接\n正在播放：无\n下一项：无\n"
           u"音量：0（-10–10）\n"_s
        << QString();
    QTest::newRow("status without a mode")
        << Verb::Status << 0 << false << 200
        << R"({"clock":"2026-12-07 06:30:00","link":{"open":true,"device":""}})"_ba << 0
        << u"时间：2026-12-07 06:30:00\n线路：已连接\n正在播放：无\n下一项：无\n音量：0（0–0）\n"_s
        << QString();
    QTest::newRow("next") << Verb::Next << 0 << false << 200 << kStatus << 0
                          << u"下一项：播放时间：08:00:00，播放文件：上课铃，播放分区：1\n"_s
                          << QString();
    QTest::newRow("next from the row when there is no panel text")
        << Verb::Next << 0 << false << 200
        << R"({"next":{"row":4,"time":"09:00:00","title":"眼保健操"},"nextText":""})"_ba << 0
        << u"下一项：第 4 项 09:00:00 眼保健操\n"_s << QString();
    QTest::newRow("next: all played")
        << Verb::Next << 0 << false << 200
        << R"({"next":{},"nextText":"\r    所有内容已播放完毕！\r"})"_ba << 0
        << u"下一项：所有内容已播放完毕！\n"_s << QString();
    QTest::newRow("today") << Verb::Today << 0 << false << 200 << kToday << 0
                           << u" 1  07:30:00  已播  起床  bell.wav\n"
                              u" 2  08:00:00  待播  上课铃\n"
                              u"10  12:00:00  已取消  午休\n"_s
                           << QString();
    QTest::newRow("today, empty") << Verb::Today << 0 << false << 200 << R"({"rows":[]})"_ba << 0
                                  << u"今天没有节目。\n"_s << QString();
    QTest::newRow("today --json is the raw answer")
        << Verb::Today << 0 << true << 200 << kToday << 0 << QString::fromUtf8(kToday + '\n')
        << QString();
    QTest::newRow("status --json keeps its line end")
        << Verb::Status << 0 << true << 200 << R"({"clock":"x"})"_ba + '\n'
        << 0 << u"{\"clock\":\"x\"}\n"_s << QString();
    QTest::newRow("stop") << Verb::Stop << 0 << false << 200 << ok << 0 << u"已停止播放。\n"_s
                          << QString();
    QTest::newRow("cancel") << Verb::Cancel << 3 << false << 200 << ok << 0
                            << u"已取消第 3 项。\n"_s << QString();
    QTest::newRow("restore") << Verb::Restore << 12 << false << 200 << ok << 0
                             << u"已恢复第 12 项。\n"_s << QString();
    QTest::newRow("play") << Verb::Play << 2 << false << 200 << ok << 0
                          << u"已开始播放第 2 项。\n"_s << QString();
    QTest::newRow("volume up") << Verb::VolumeUp << 0 << false << 200 << ok << 0
                               << u"音量已调高。\n"_s << QString();
    QTest::newRow("volume down") << Verb::VolumeDown << 0 << false << 200 << ok << 0
                                 << u"音量已调低。\n"_s << QString();
    QTest::newRow("all on") << Verb::AllOn << 0 << false << 200 << ok << 0 << u"已全开。\n"_s
                            << QString();
    QTest::newRow("all off") << Verb::AllOff << 0 << false << 200 << ok << 0 << u"已全关。\n"_s
                             << QString();
    QTest::newRow("command --json")
        << Verb::AllOff << 0 << true << 200 << ok << 0 << u"{\"ok\":true}\n"_s << QString();
    // Answers that do not say the command was done are not taken for done.
    QTest::newRow("command answered without ok")
        << Verb::Stop << 0 << false << 200 << R"({"done":true})"_ba << 1 << QString()
        << u"控制台的回答无法读懂（HTTP 200）。\n"_s;
    QTest::newRow("command answered ok false")
        << Verb::Stop << 0 << true << 200 << R"({"ok":false})"_ba << 1 << QString()
        << u"控制台的回答无法读懂（HTTP 200）。\n"_s;
    QTest::newRow("not JSON") << Verb::Status << 0 << false << 200 << "<html></html>"_ba << 1
                              << QString() << u"控制台的回答无法读懂（HTTP 200）。\n"_s;
    QTest::newRow("JSON array") << Verb::Status << 0 << true << 200 << "[1]"_ba << 1 << QString()
                                << u"控制台的回答无法读懂（HTTP 200）。\n"_s;
    QTest::newRow("today without rows") << Verb::Today << 0 << false << 200 << R"({"x":1})"_ba << 1
                                        << QString() << u"控制台的回答无法读懂（HTTP 200）。\n"_s;
    QTest::newRow("a redirect is not followed")
        << Verb::Status << 0 << false << 302 << QByteArray() << 1 << QString()
        << u"控制台拒绝了请求（HTTP 302）。\n"_s;
}

void tst_CtlReply::describe()
{
    QFETCH(Verb, verb);
    QFETCH(int, row);
    QFETCH(bool, json);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Ctl::Outcome outcome = Ctl::describe(optionsFor(verb, row, json), {status, body, {}});
    QCOMPARE(outcome.out, out);
    QCOMPARE(outcome.err, err);
    QCOMPARE(outcome.exitCode, exitCode);
}

void tst_CtlReply::refusals_data()
{
    QTest::addColumn<bool>("json");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("retryAfter");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QByteArray notPossible = R"({"error":"not_possible","message":"该节目不能取消"})"_ba;
    QTest::newRow("409: the console's message")
        << false << 409 << notPossible << QByteArray() << QString() << u"该节目不能取消\n"_s;
    QTest::newRow("409 --json: the raw answer as well")
        << true << 409 << notPossible << QByteArray() << QString::fromUtf8(notPossible + '\n')
        << u"该节目不能取消\n"_s;
    QTest::newRow("404 unknown row")
        << false << 404 << R"({"error":"unknown_row","message":"没有第 9 项"})"_ba << QByteArray()
        << QString() << u"没有第 9 项\n"_s;
    QTest::newRow("401 without a message: the code")
        << false << 401 << R"({"error":"no_session"})"_ba << QByteArray() << QString()
        << u"no_session\n"_s;
    QTest::newRow("403 csrf") << false << 403 << R"({"error":"csrf","message":"请重新登录"})"_ba
                              << QByteArray() << QString() << u"请重新登录\n"_s;
    QTest::newRow("429 says when to try again")
        << false << 429 << R"({"error":"too_many_attempts","message":"尝试次数过多"})"_ba
        << " 600"_ba << QString() << u"尝试次数过多（600 秒后可再试）\n"_s;
    QTest::newRow("429 whose message says it already")
        << false << 429 << R"({"error":"too_many_attempts","message":"请 600 秒后再试"})"_ba
        << "600"_ba << QString() << u"请 600 秒后再试\n"_s;
    QTest::newRow("429 with a date in Retry-After")
        << false << 429 << R"({"error":"too_many_attempts","message":"尝试次数过多"})"_ba
        << "Tue, 08 Dec 2026 11:00:00 GMT"_ba << QString() << u"尝试次数过多\n"_s;
    QTest::newRow("500 without a body") << false << 500 << QByteArray() << QByteArray() << QString()
                                        << u"控制台拒绝了请求（HTTP 500）。\n"_s;
    QTest::newRow("404 --json, not JSON: nothing on the output")
        << true << 404 << "Not Found"_ba << QByteArray() << QString()
        << u"控制台拒绝了请求（HTTP 404）。\n"_s;
}

void tst_CtlReply::refusals()
{
    QFETCH(bool, json);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, retryAfter);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Ctl::Options options = optionsFor(Verb::Cancel, 9, json);
    const Ctl::Outcome outcome = Ctl::describe(options, {status, body, retryAfter});
    QCOMPARE(outcome.exitCode, int(Ctl::Refused));
    QCOMPARE(outcome.out, out);
    QCOMPARE(outcome.err, err);
    // A log-in refused reads the same.
    const Ctl::LoginResult login = Ctl::readLogin(options, {status, body, retryAfter});
    QVERIFY(!login.session);
    QCOMPARE(login.failure, outcome);
}

void tst_CtlReply::login_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QByteArray>("csrf");

    const QByteArray token = "Zm9vYmFyYmF6cXV4cXV1eHF1dXpxdXV6cXV1enF1dXo"_ba;
    const QByteArray csrf = "c2VjcmV0LWNzcmYtdG9rZW4tMDEyMzQ1Njc4OV9hYmM"_ba;
    QTest::newRow("session") << R"({"token":")" + token + R"(","csrf":")" + csrf
            + R"(","idleSeconds":1800})"
                             << true << token << csrf;
    QTest::newRow("no csrf") << R"({"token":")" + token + R"("})" << false << QByteArray()
                             << QByteArray();
    QTest::newRow("no token") << R"({"csrf":")" + csrf + R"("})" << false << QByteArray()
                              << QByteArray();
    QTest::newRow("token with a line break")
        << R"({"token":"abc\r\nX-Evil: 1","csrf":")" + csrf + R"("})" << false << QByteArray()
        << QByteArray();
    QTest::newRow("token not a string")
        << R"({"token":12,"csrf":")" + csrf + R"("})" << false << QByteArray() << QByteArray();
    QTest::newRow("not JSON") << "welcome"_ba << false << QByteArray() << QByteArray();
}

void tst_CtlReply::login()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, token);
    QFETCH(QByteArray, csrf);
    const Ctl::LoginResult result = Ctl::readLogin(optionsFor(Verb::Status), {200, body, {}});
    QCOMPARE(result.session.has_value(), accepted);
    if (accepted) {
        QCOMPARE(result.session->token, token);
        QCOMPARE(result.session->csrf, csrf);
    } else {
        QCOMPARE(result.failure.exitCode, int(Ctl::Refused));
        QCOMPARE(result.failure.err, u"控制台的回答无法读懂（HTTP 200）。\n"_s);
    }
}

void tst_CtlReply::network_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QNetworkReply::NetworkError>("error");
    QTest::addColumn<QString>("err");

    QTest::newRow("refused") << u"127.0.0.1"_s << QNetworkReply::ConnectionRefusedError
                             << u"无法连接到控制台 127.0.0.1:8530：连接被拒绝。"
                                u"控制台的“网络控制”打开了吗？\n"_s;
    QTest::newRow("unknown host") << u"pa.invalid"_s << QNetworkReply::HostNotFoundError
                                  << u"无法连接到控制台 pa.invalid:8530：找不到该主机。\n"_s;
    QTest::newRow("closed, IPv6") << u"::1"_s << QNetworkReply::RemoteHostClosedError
                                  << u"无法连接到控制台 [::1]:8530：对方没有回答就关闭了连接。\n"_s;
    QTest::newRow("timed out") << u"127.0.0.1"_s << QNetworkReply::TimeoutError
                               << u"控制台 127.0.0.1:8530 在 10 秒内没有回答。\n"_s;
    QTest::newRow("other") << u"127.0.0.1"_s << QNetworkReply::NetworkSessionFailedError
                           << u"无法连接到控制台 127.0.0.1:8530：网络错误 %1。\n"_s.arg(
                                  int(QNetworkReply::NetworkSessionFailedError));
}

void tst_CtlReply::network()
{
    QFETCH(QString, host);
    QFETCH(QNetworkReply::NetworkError, error);
    QFETCH(QString, err);
    Ctl::Options options = optionsFor(Verb::Status, 0, true);
    options.host = host;
    const Ctl::Outcome outcome = Ctl::cannotConnect(options, error);
    QCOMPARE(outcome.exitCode, int(Ctl::NoConnection));
    QCOMPARE(outcome.err, err);
    QVERIFY(outcome.out.isEmpty());
}

QTEST_APPLESS_MAIN(tst_CtlReply)
#include "tst_ctlreply.moc"
