// The real quellon-ctl against a stand-in for the console's web control on
// a port of its own: the requests it sends (method, path, headers, body, in
// order), what it prints and its exit code, for answers, refusals and a
// console that cannot be reached.

#include "fakewebconsole.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Login = FakeWebConsole::Login;

Q_DECLARE_METATYPE(FakeWebConsole::Login)

namespace {

struct Run
{
    bool ended = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs quellon-ctl with these arguments while this test's event loop keeps
// serving the stand-in. A proxy in the environment must not be used: the
// console is reached directly.
Run runCtl(const QStringList &arguments, const QProcessEnvironment &extra = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"QUELLON_PASSWORD"_s);
    for (const QString &name : {u"http_proxy"_s, u"HTTP_PROXY"_s, u"all_proxy"_s})
        env.insert(name, u"http://127.0.0.1:9"_s);
    for (const QString &key : extra.keys())
        env.insert(key, extra.value(key));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUELLON_CTL_BINARY), arguments);
    Run run;
    run.ended = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    if (!run.ended) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString describe(const FakeWebConsole::Received &r)
{
    return QString::fromLatin1(r.method) + u' ' + r.path + u' ' + QString::fromUtf8(r.body);
}

} // namespace

class tst_QuellonCtlE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void conversation_data();
    void conversation();
    void unreachable_data();
    void unreachable();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
};

void tst_QuellonCtlE2e::conversation_data()
{
    QTest::addColumn<QStringList>("args"); // %FILE% is the password file
    QTest::addColumn<QString>("consolePassword");
    QTest::addColumn<QString>("environment"); // QUELLON_PASSWORD; null: unset
    QTest::addColumn<QString>("file"); // the password file's content
    QTest::addColumn<Login>("login");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // exactly; null: only "must not be empty" on success
    QTest::addColumn<QString>("err"); // a part of it; empty: nothing on it
    QTest::addColumn<QStringList>("requests"); // "METHOD path body", in order
    QTest::addColumn<QStringList>("states"); // the rows' states afterwards

    const QString login = uR"(POST /api/v1/login {"password":""})"_s;
    const QString logout = u"POST /api/v1/logout {}"_s;
    const QString status = u"GET /api/v1/status "_s;
    const QString today = u"GET /api/v1/today "_s;
    const QStringList start {u"waiting"_s, u"done"_s, u"cancelled"_s};
    const auto command = [](const char *body) -> QString {
        return u"POST /api/v1/command "_s + QString::fromLatin1(body);
    };

    QTest::newRow("status")
        << QStringList {u"status"_s} << QString() << QString() << QString() << Login::Normal << 0
        << u"时间：2026-12-08 09:15:00\n运行方式：自动\n线路：已连接（/dev/ttyS0）\n"
           u"正在播放：无\n下一项：播放时间：09:30:00，播放文件：课间操，播放分区：1\n"
           u"音量：5（0–31）\n"_s
        << QString() << QStringList {login, status, logout} << start;
    QTest::newRow("next") << QStringList {u"next"_s} << QString() << QString() << QString()
                          << Login::Normal << 0
                          << u"下一项：播放时间：09:30:00，播放文件：课间操，播放分区：1\n"_s
                          << QString() << QStringList {login, status, logout} << start;
    QTest::newRow("today") << QStringList {u"today"_s} << QString() << QString() << QString()
                           << Login::Normal << 0
                           << u"1  09:30:00  待播  课间操\n2  10:00:00  已播  上课铃\n"
                              u"3  12:00:00  已取消  午休音乐\n"_s
                           << QString() << QStringList {login, today, logout} << start;
    QTest::newRow("today --json") << QStringList {u"--json"_s, u"today"_s} << QString() << QString()
                                  << QString() << Login::Normal << 0
                                  << QString::fromUtf8(FakeWebConsole::todayBody(start) + '\n')
                                  << QString() << QStringList {login, today, logout} << start;
    QTest::newRow("cancel, password from the environment")
        << QStringList {u"cancel"_s, u"1"_s} << u"广播室 2026"_s << u"广播室 2026"_s << QString()
        << Login::Normal << 0 << u"已取消第 1 项。\n"_s << QString()
        << QStringList {uR"(POST /api/v1/login {"password":"广播室 2026"})"_s,
                        command(R"({"action":"cancel","row":1})"), logout}
        << QStringList {u"cancelled"_s, u"done"_s, u"cancelled"_s};
    QTest::newRow("restore, password from a file")
        << QStringList {u"--password-file"_s, u"%FILE%"_s, u"restore"_s, u"3"_s} << u"secret"_s
        << u"from-env"_s << u"secret\n"_s << Login::Normal << 0 << u"已恢复第 3 项。\n"_s
        << QString()
        << QStringList {uR"(POST /api/v1/login {"password":"secret"})"_s,
                        command(R"({"action":"restore","row":3})"), logout}
        << QStringList {u"waiting"_s, u"done"_s, u"waiting"_s};
    QTest::newRow("play") << QStringList {u"play"_s, u"2"_s} << QString() << QString() << QString()
                          << Login::Normal << 0 << u"已开始播放第 2 项。\n"_s << QString()
                          << QStringList {login, command(R"({"action":"play","row":2})"), logout}
                          << start;
    QTest::newRow("stop") << QStringList {u"stop"_s} << QString() << QString() << QString()
                          << Login::Normal << 0 << u"已停止播放。\n"_s << QString()
                          << QStringList {login, command(R"({"action":"stop"})"), logout} << start;
    QTest::newRow("volume-up") << QStringList {u"volume-up"_s} << QString() << QString()
                               << QString() << Login::Normal << 0 << u"音量已调高。\n"_s
                               << QString()
                               << QStringList {login, command(R"({"action":"volume_up"})"), logout}
                               << start;
    QTest::newRow("volume-down") << QStringList {u"volume-down"_s} << QString() << QString()
                                 << QString() << Login::Normal << 0 << u"音量已调低。\n"_s
                                 << QString()
                                 << QStringList {login, command(R"({"action":"volume_down"})"),
                                                 logout}
                                 << start;
    QTest::newRow("all-on") << QStringList {u"all-on"_s} << QString() << QString() << QString()
                            << Login::Normal << 0 << u"已全开。\n"_s << QString()
                            << QStringList {login, command(R"({"action":"all_on"})"), logout}
                            << start;
    QTest::newRow("all-off --json")
        << QStringList {u"all-off"_s, u"--json"_s} << QString() << QString() << QString()
        << Login::Normal << 0 << u"{\"ok\":true}\n"_s << QString()
        << QStringList {login, command(R"({"action":"all_off"})"), logout} << start;

    // Refusals: the console's message, exit code 1, nothing changed.
    QTest::newRow("409: cancel a row already played")
        << QStringList {u"cancel"_s, u"2"_s} << QString() << QString() << QString() << Login::Normal
        << 1 << QString() << u"第 2 项不能取消"_s
        << QStringList {login, command(R"({"action":"cancel","row":2})"), logout} << start;
    QTest::newRow("409 --json: the error on the output")
        << QStringList {u"--json"_s, u"restore"_s, u"1"_s} << QString() << QString() << QString()
        << Login::Normal << 1 << u"{\"error\":\"not_possible\",\"message\":\"第 1 项没有取消\"}\n"_s
        << u"第 1 项没有取消"_s
        << QStringList {login, command(R"({"action":"restore","row":1})"), logout} << start;
    QTest::newRow("404: a row past the list")
        << QStringList {u"play"_s, u"9"_s} << QString() << QString() << QString() << Login::Normal
        << 1 << QString() << u"节目单没有第 9 项"_s
        << QStringList {login, command(R"({"action":"play","row":9})"), logout} << start;
    QTest::newRow("401: wrong password, nothing else sent")
        << QStringList {u"stop"_s} << u"right"_s << u"wrong"_s << QString() << Login::Normal << 1
        << QString() << u"密码不对"_s
        << QStringList {uR"(POST /api/v1/login {"password":"wrong"})"_s} << start;
    QTest::newRow("429: too many attempts")
        << QStringList {u"status"_s} << QString() << QString() << QString() << Login::Throttled << 1
        << QString() << u"登录尝试过多，请稍后再试（600 秒后可再试）"_s << QStringList {login}
        << start;
    QTest::newRow("401: the session is gone")
        << QStringList {u"cancel"_s, u"1"_s} << QString() << QString() << QString()
        << Login::ForgetsSessions << 1 << QString() << u"请先登录"_s
        << QStringList {login, command(R"({"action":"cancel","row":1})"), logout} << start;
    QTest::newRow("403: CSRF token refused")
        << QStringList {u"stop"_s} << QString() << QString() << QString() << Login::OtherCsrf << 1
        << QString() << u"CSRF"_s << QStringList {login, command(R"({"action":"stop"})"), logout}
        << start;
}

void tst_QuellonCtlE2e::conversation()
{
    QFETCH(QStringList, args);
    QFETCH(QString, consolePassword);
    QFETCH(QString, environment);
    QFETCH(QString, file);
    QFETCH(Login, login);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, states);

    FakeWebConsole console;
    QVERIFY(console.listen());
    console.setPassword(consolePassword);
    console.setLogin(login);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString passwordFile = dir.filePath(u"password"_s);
    if (!file.isNull()) {
        QFile f(passwordFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file.toUtf8());
    }
    args.replaceInStrings(u"%FILE%"_s, passwordFile);
    args << u"--port"_s << QString::number(console.port());
    QProcessEnvironment extra;
    if (!environment.isNull())
        extra.insert(u"QUELLON_PASSWORD"_s, environment);

    const Run run = runCtl(args, extra);
    QVERIFY(run.ended);
    QCOMPARE(run.out, out);
    if (err.isEmpty())
        QCOMPARE(run.err, QString());
    else
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
    QCOMPARE(run.exitCode, exitCode);

    QStringList sent;
    for (const FakeWebConsole::Received &r : console.received())
        sent.append(describe(r));
    QCOMPARE(sent, requests);
    QCOMPARE(console.states(), states);

    // Every request: to this console, no cookie (the session is the bearer
    // token alone), JSON declared on every POST; the token on all but the
    // log-in, the CSRF token the log-in gave on every POST after it; the
    // password only ever in the log-in's body.
    const QByteArray csrf
        = login == Login::OtherCsrf ? "b3RoZXItY3NyZg"_ba : QByteArray(FakeWebConsole::kCsrf);
    for (const FakeWebConsole::Received &r : console.received()) {
        const QString what = describe(r);
        QCOMPARE(r.header("Host"), "127.0.0.1:"_ba + QByteArray::number(console.port()));
        QVERIFY2(r.count("Cookie") == 0, qPrintable(what));
        const bool isLogin = r.path == u"/api/v1/login";
        if (r.method == "POST")
            QCOMPARE(r.header("Content-Type"), "application/json"_ba);
        else
            QVERIFY(r.body.isEmpty());
        QCOMPARE(r.count("Authorization"), isLogin ? 0 : 1);
        if (!isLogin)
            QCOMPARE(r.header("Authorization"), "Bearer "_ba + FakeWebConsole::kToken);
        const bool command = r.method == "POST" && !isLogin;
        QCOMPARE(r.count("X-CSRF-Token"), command ? 1 : 0);
        if (command)
            QCOMPARE(r.header("X-CSRF-Token"), csrf);
        if (!consolePassword.isEmpty() && !isLogin) {
            QVERIFY(!r.body.contains(consolePassword.toUtf8()));
            for (const auto &header : r.headers)
                QVERIFY(!header.second.contains(consolePassword.toUtf8()));
        }
    }
}

void tst_QuellonCtlE2e::unreachable_data()
{
    QTest::addColumn<QString>("peer"); // closed, silent, hangs up
    QTest::addColumn<QString>("err");
    QTest::newRow("nothing listens") << u"closed"_s << u"连接被拒绝"_s;
    QTest::newRow("accepts, never answers") << u"silent"_s << u"在 1 秒内没有回答"_s;
    QTest::newRow("hangs up at once") << u"hangs up"_s << u"无法连接到控制台 127.0.0.1:"_s;
}

void tst_QuellonCtlE2e::unreachable()
{
    QFETCH(QString, peer);
    QFETCH(QString, err);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    QList<QTcpSocket *> held;
    if (peer == u"closed") {
        server.close();
    } else {
        connect(&server, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                if (peer == u"silent")
                    held.append(socket); // read nothing, answer nothing
                else
                    socket->abort();
            }
        });
    }
    const Run run
        = runCtl({u"--timeout"_s, u"1"_s, u"--port"_s, QString::number(port), u"cancel"_s, u"1"_s});
    QVERIFY(run.ended);
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
}

void tst_QuellonCtlE2e::refusedBeforeSending_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("err");
    QTest::newRow("password on the command line")
        << QStringList {u"--password"_s, u"secret"_s, u"stop"_s} << u"QUELLON_PASSWORD"_s;
    QTest::newRow("password file missing")
        << QStringList {u"--password-file"_s, u"/nonexistent/quellon-password"_s, u"stop"_s}
        << u"/nonexistent/quellon-password"_s;
    QTest::newRow("row 0") << QStringList {u"cancel"_s, u"0"_s} << u"序号"_s;
    QTest::newRow("unknown command") << QStringList {u"shutdown"_s} << u"shutdown"_s;
    QTest::newRow("no command") << QStringList {} << u"--help"_s;
}

void tst_QuellonCtlE2e::refusedBeforeSending()
{
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    FakeWebConsole console;
    QVERIFY(console.listen());
    const Run run = runCtl(args + QStringList {u"--port"_s, QString::number(console.port())});
    QVERIFY(run.ended);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
    QVERIFY(console.received().isEmpty());
}

QTEST_GUILESS_MAIN(tst_QuellonCtlE2e)
#include "tst_quellonctl_e2e.moc"
