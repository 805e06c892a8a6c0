// quellon-ctl's arguments and the requests they make: which are accepted,
// what each sends (method, path, body, headers), and where the password
// comes from.

#include "ctlcommand.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Ctl::Verb;

Q_DECLARE_METATYPE(Ctl::Verb)
Q_DECLARE_METATYPE(Ctl::Parsed::Kind)
Q_DECLARE_METATYPE(Ctl::HeaderList)

class tst_CtlCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void refusedArguments_data();
    void refusedArguments();
    void verbRequest_data();
    void verbRequest();
    void loginBody_data();
    void loginBody();
    void headers_data();
    void headers();
    void url_data();
    void url();
    void passwordFromFile_data();
    void passwordFromFile();
    void passwordSource_data();
    void passwordSource();
    void helpNamesEveryCommand();
};

void tst_CtlCommand::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Ctl::Parsed::Kind>("kind");
    QTest::addColumn<Verb>("verb");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QString>("passwordFile");
    QTest::addColumn<int>("timeout");

    using K = Ctl::Parsed::Kind;
    const QString local = u"127.0.0.1"_s;
    QTest::newRow("status") << QStringList {u"status"_s} << K::Run << Verb::Status << 0 << local
                            << 8530 << false << QString() << 10;
    QTest::newRow("next") << QStringList {u"next"_s} << K::Run << Verb::Next << 0 << local << 8530
                          << false << QString() << 10;
    QTest::newRow("cancel 3") << QStringList {u"cancel"_s, u"3"_s} << K::Run << Verb::Cancel << 3
                              << local << 8530 << false << QString() << 10;
    QTest::newRow("restore 12") << QStringList {u"restore"_s, u"12"_s} << K::Run << Verb::Restore
                                << 12 << local << 8530 << false << QString() << 10;
    QTest::newRow("play, highest row")
        << QStringList {u"play"_s, u"100000"_s} << K::Run << Verb::Play << 100000 << local << 8530
        << false << QString() << 10;
    QTest::newRow("json before") << QStringList {u"--json"_s, u"today"_s} << K::Run << Verb::Today
                                 << 0 << local << 8530 << true << QString() << 10;
    QTest::newRow("json after the row")
        << QStringList {u"cancel"_s, u"2"_s, u"--json"_s} << K::Run << Verb::Cancel << 2 << local
        << 8530 << true << QString() << 10;
    QTest::newRow("host and port")
        << QStringList {u"--host"_s, u"192.168.1.5"_s, u"--port"_s, u"9000"_s, u"volume-up"_s}
        << K::Run << Verb::VolumeUp << 0 << u"192.168.1.5"_s << 9000 << false << QString() << 10;
    QTest::newRow("name=value") << QStringList {u"--host=::1"_s, u"--port=8531"_s, u"all-off"_s}
                                << K::Run << Verb::AllOff << 0 << u"::1"_s << 8531 << false
                                << QString() << 10;
    QTest::newRow("host name") << QStringList {u"all-on"_s, u"--host"_s, u"pa-console.lan"_s}
                               << K::Run << Verb::AllOn << 0 << u"pa-console.lan"_s << 8530 << false
                               << QString() << 10;
    QTest::newRow("password file")
        << QStringList {u"--password-file"_s, u"/run/secret"_s, u"stop"_s} << K::Run << Verb::Stop
        << 0 << local << 8530 << false << u"/run/secret"_s << 10;
    QTest::newRow("timeout") << QStringList {u"--timeout"_s, u"3"_s, u"volume-down"_s} << K::Run
                             << Verb::VolumeDown << 0 << local << 8530 << false << QString() << 3;
    QTest::newRow("help") << QStringList {u"--help"_s} << K::Help << Verb::Status << 0 << local
                          << 8530 << false << QString() << 10;
    QTest::newRow("-h after a command")
        << QStringList {u"cancel"_s, u"-h"_s} << K::Help << Verb::Status << 0 << local << 8530
        << false << QString() << 10;
}

void tst_CtlCommand::parse()
{
    QFETCH(QStringList, args);
    QFETCH(Ctl::Parsed::Kind, kind);
    QFETCH(Verb, verb);
    QFETCH(int, row);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, json);
    QFETCH(QString, passwordFile);
    QFETCH(int, timeout);
    const Ctl::Parsed parsed = Ctl::parseArguments(args);
    QVERIFY2(parsed.kind == kind, qPrintable(parsed.error));
    QVERIFY(parsed.error.isEmpty());
    if (kind != Ctl::Parsed::Kind::Run)
        return;
    QCOMPARE(parsed.options.verb, verb);
    QCOMPARE(parsed.options.row, row);
    QCOMPARE(parsed.options.host, host);
    QCOMPARE(int(parsed.options.port), port);
    QCOMPARE(parsed.options.json, json);
    QCOMPARE(parsed.options.passwordFile, passwordFile);
    QCOMPARE(parsed.options.timeoutSeconds, timeout);
}

void tst_CtlCommand::refusedArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says"); // part of the message

    QTest::newRow("nothing") << QStringList {} << u"缺少命令"_s;
    QTest::newRow("unknown command") << QStringList {u"reboot"_s} << u"reboot"_s;
    QTest::newRow("command in capitals") << QStringList {u"STATUS"_s} << u"STATUS"_s;
    QTest::newRow("the API's name") << QStringList {u"volume_up"_s} << u"volume_up"_s;
    QTest::newRow("cancel without a row") << QStringList {u"cancel"_s} << u"cancel"_s;
    QTest::newRow("play without a row") << QStringList {u"--json"_s, u"play"_s} << u"play"_s;
    QTest::newRow("row 0") << QStringList {u"cancel"_s, u"0"_s} << u"0"_s;
    QTest::newRow("row past the limit") << QStringList {u"play"_s, u"100001"_s} << u"100001"_s;
    QTest::newRow("negative row") << QStringList {u"restore"_s, u"-1"_s} << u"-1"_s;
    QTest::newRow("row with a sign") << QStringList {u"cancel"_s, u"+3"_s} << u"+3"_s;
    QTest::newRow("row with a fraction") << QStringList {u"cancel"_s, u"3.0"_s} << u"3.0"_s;
    QTest::newRow("row in hex") << QStringList {u"cancel"_s, u"0x3"_s} << u"0x3"_s;
    QTest::newRow("row of letters") << QStringList {u"cancel"_s, u"three"_s} << u"three"_s;
    QTest::newRow("two rows") << QStringList {u"cancel"_s, u"3"_s, u"4"_s} << u"4"_s;
    QTest::newRow("row to stop") << QStringList {u"stop"_s, u"3"_s} << u"3"_s;
    QTest::newRow("two commands") << QStringList {u"status"_s, u"today"_s} << u"today"_s;
    QTest::newRow("password option")
        << QStringList {u"--password"_s, u"secret"_s, u"status"_s} << u"QUELLON_PASSWORD"_s;
    QTest::newRow("password=") << QStringList {u"status"_s, u"--password=secret"_s}
                               << u"--password-file"_s;
    QTest::newRow("-p") << QStringList {u"-p"_s, u"secret"_s, u"status"_s} << u"QUELLON_PASSWORD"_s;
    QTest::newRow("port 0") << QStringList {u"--port"_s, u"0"_s, u"status"_s} << u"65535"_s;
    QTest::newRow("port too high") << QStringList {u"--port=65536"_s, u"status"_s} << u"65536"_s;
    QTest::newRow("port of letters")
        << QStringList {u"--port"_s, u"http"_s, u"status"_s} << u"http"_s;
    QTest::newRow("host without a value") << QStringList {u"status"_s, u"--host"_s} << u"--host"_s;
    QTest::newRow("empty host") << QStringList {u"--host="_s, u"status"_s} << u"主机"_s;
    QTest::newRow("host with a path")
        << QStringList {u"--host"_s, u"a/b"_s, u"status"_s} << u"a/b"_s;
    QTest::newRow("host with a space")
        << QStringList {u"--host"_s, u"a b"_s, u"status"_s} << u"a b"_s;
    QTest::newRow("empty password file")
        << QStringList {u"--password-file="_s, u"status"_s} << u"--password-file"_s;
    QTest::newRow("timeout 0") << QStringList {u"--timeout"_s, u"0"_s, u"status"_s} << u"0"_s;
    QTest::newRow("unknown option") << QStringList {u"--verbose"_s, u"status"_s} << u"--verbose"_s;
    QTest::newRow("json with a value") << QStringList {u"--json=1"_s, u"status"_s} << u"--json"_s;
}

void tst_CtlCommand::refusedArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    const Ctl::Parsed parsed = Ctl::parseArguments(args);
    QVERIFY(parsed.kind == Ctl::Parsed::Kind::Usage);
    QVERIFY2(parsed.error.contains(says), qPrintable(parsed.error));
}

void tst_CtlCommand::verbRequest_data()
{
    QTest::addColumn<Verb>("verb");
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("csrf");

    const QString command = u"/api/v1/command"_s;
    QTest::newRow("status") << Verb::Status << 0 << "GET"_ba << u"/api/v1/status"_s << ""_ba
                            << false;
    QTest::newRow("next reads the status")
        << Verb::Next << 0 << "GET"_ba << u"/api/v1/status"_s << ""_ba << false;
    QTest::newRow("today") << Verb::Today << 0 << "GET"_ba << u"/api/v1/today"_s << ""_ba << false;
    QTest::newRow("stop") << Verb::Stop << 0 << "POST"_ba << command << R"({"action":"stop"})"_ba
                          << true;
    QTest::newRow("cancel") << Verb::Cancel << 3 << "POST"_ba << command
                            << R"({"action":"cancel","row":3})"_ba << true;
    QTest::newRow("restore") << Verb::Restore << 17 << "POST"_ba << command
                             << R"({"action":"restore","row":17})"_ba << true;
    QTest::newRow("play") << Verb::Play << 100000 << "POST"_ba << command
                          << R"({"action":"play","row":100000})"_ba << true;
    QTest::newRow("volume up") << Verb::VolumeUp << 0 << "POST"_ba << command
                               << R"({"action":"volume_up"})"_ba << true;
    QTest::newRow("volume down") << Verb::VolumeDown << 0 << "POST"_ba << command
                                 << R"({"action":"volume_down"})"_ba << true;
    QTest::newRow("all on") << Verb::AllOn << 0 << "POST"_ba << command
                            << R"({"action":"all_on"})"_ba << true;
    QTest::newRow("all off") << Verb::AllOff << 0 << "POST"_ba << command
                             << R"({"action":"all_off"})"_ba << true;
}

void tst_CtlCommand::verbRequest()
{
    QFETCH(Verb, verb);
    QFETCH(int, row);
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(bool, csrf);
    Ctl::Options options;
    options.verb = verb;
    options.row = row;
    const Ctl::Request request = Ctl::verbRequest(options);
    QCOMPARE(request.method, method);
    QCOMPARE(request.path, path);
    QCOMPARE(request.body, body);
    QVERIFY(request.session);
    QCOMPARE(request.csrf, csrf);
}

void tst_CtlCommand::loginBody_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("empty") << QString();
    QTest::newRow("plain") << u"secret"_s;
    QTest::newRow("quotes and backslashes") << uR"(a"b\c}{)"_s;
    QTest::newRow("Chinese") << u"广播室密码"_s;
    QTest::newRow("spaces kept") << u" pass word "_s;
}

void tst_CtlCommand::loginBody()
{
    QFETCH(QString, password);
    const Ctl::Request request = Ctl::loginRequest(password);
    QCOMPARE(request.method, "POST"_ba);
    QCOMPARE(request.path, u"/api/v1/login"_s);
    QVERIFY(!request.session);
    QVERIFY(!request.csrf);
    // The body is exactly one member whose value is the password as typed.
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(request.body, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(doc.object().keys(), QStringList {u"password"_s});
    QCOMPARE(doc.object().value(u"password").toString(), password);
}

void tst_CtlCommand::headers_data()
{
    QTest::addColumn<QString>("request"); // login, read, command, logout
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<Ctl::HeaderList>("expected");

    const QByteArray token = "tok_abcdefghijklmnopqrstuvwxyz0123456789-ABC"_ba;
    const QPair<QByteArray, QByteArray> accept {"Accept"_ba, "application/json"_ba};
    const QPair<QByteArray, QByteArray> json {"Content-Type"_ba, "application/json"_ba};
    const QPair<QByteArray, QByteArray> bearer {"Authorization"_ba, "Bearer " + token};
    const QPair<QByteArray, QByteArray> csrf {"X-CSRF-Token"_ba, "csrf-0123456789"_ba};

    QTest::newRow("login: no session yet")
        << u"login"_s << QByteArray() << Ctl::HeaderList {accept, json};
    QTest::newRow("read: bearer only") << u"read"_s << token << Ctl::HeaderList {accept, bearer};
    QTest::newRow("command: bearer and csrf")
        << u"command"_s << token << Ctl::HeaderList {accept, json, bearer, csrf};
    QTest::newRow("logout: bearer and csrf")
        << u"logout"_s << token << Ctl::HeaderList {accept, json, bearer, csrf};
    // A token that could end a header line or start another is never sent.
    QTest::newRow("token with a line break")
        << u"command"_s << "abc\r\nX-Evil: 1"_ba << Ctl::HeaderList {accept, json, csrf};
    QTest::newRow("token with a space") << u"read"_s << "abc def"_ba << Ctl::HeaderList {accept};
}

void tst_CtlCommand::headers()
{
    QFETCH(QString, request);
    QFETCH(QByteArray, token);
    QFETCH(Ctl::HeaderList, expected);
    Ctl::Options options;
    Ctl::Request r;
    if (request == u"login") {
        r = Ctl::loginRequest(u"x"_s);
    } else if (request == u"read") {
        options.verb = Verb::Today;
        r = Ctl::verbRequest(options);
    } else if (request == u"command") {
        options.verb = Verb::Cancel;
        options.row = 2;
        r = Ctl::verbRequest(options);
    } else {
        r = Ctl::logoutRequest();
    }
    const Ctl::Session session {token, "csrf-0123456789"_ba};
    QCOMPARE(Ctl::headersFor(r, session), expected);
}

void tst_CtlCommand::url_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("url");
    QTest::newRow("default") << u"127.0.0.1"_s << 8530 << u"http://127.0.0.1:8530/api/v1/today"_s;
    QTest::newRow("name") << u"pa.school.lan"_s << 80 << u"http://pa.school.lan:80/api/v1/today"_s;
    QTest::newRow("IPv6 in brackets") << u"::1"_s << 8531 << u"http://[::1]:8531/api/v1/today"_s;
}

void tst_CtlCommand::url()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, url);
    Ctl::Options options;
    options.host = host;
    options.port = quint16(port);
    options.verb = Verb::Today;
    QCOMPARE(Ctl::urlFor(options, Ctl::verbRequest(options)).toString(), url);
}

void tst_CtlCommand::passwordFromFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("password");
    QTest::newRow("line from echo") << "secret\n"_ba << true << u"secret"_s;
    QTest::newRow("no line end") << "secret"_ba << true << u"secret"_s;
    QTest::newRow("CR LF") << "secret\r\n"_ba << true << u"secret"_s;
    QTest::newRow("first line only") << "secret\nsecond\n"_ba << true << u"secret"_s;
    QTest::newRow("spaces are part of it") << " secret \n"_ba << true << u" secret "_s;
    QTest::newRow("empty file") << ""_ba << true << QString();
    QTest::newRow("UTF-8") << "广播室\n"_ba << true << u"广播室"_s;
    QTest::newRow("not UTF-8") << "\xb9\xe3\xb2\xa5\n"_ba << false << QString();
}

void tst_CtlCommand::passwordFromFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    QFETCH(QString, password);
    const Ctl::Password p = Ctl::passwordFromFileContent(content);
    QCOMPARE(p.ok, ok);
    QCOMPARE(p.error.isEmpty(), ok);
    if (ok)
        QCOMPARE(p.text, password);
}

void tst_CtlCommand::passwordSource_data()
{
    QTest::addColumn<QString>("file"); // "" none, "missing", or the file's content
    QTest::addColumn<bool>("envSet");
    QTest::addColumn<QByteArray>("env");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("password");
    QTest::newRow("neither: empty password")
        << QString() << false << QByteArray() << true << QString();
    QTest::newRow("environment") << QString() << true << "from-env"_ba << true << u"from-env"_s;
    QTest::newRow("environment set empty")
        << QString() << true << QByteArray() << true << QString();
    QTest::newRow("file wins over the environment")
        << u"from-file\n"_s << true << "from-env"_ba << true << u"from-file"_s;
    QTest::newRow("missing file is an error, not the environment")
        << u"missing"_s << true << "from-env"_ba << false << QString();
    QTest::newRow("file too large")
        << QString(5000, u'x') << false << QByteArray() << false << QString();
}

void tst_CtlCommand::passwordSource()
{
    QFETCH(QString, file);
    QFETCH(bool, envSet);
    QFETCH(QByteArray, env);
    QFETCH(bool, ok);
    QFETCH(QString, password);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Ctl::Options options;
    if (file == u"missing") {
        options.passwordFile = dir.filePath(u"none"_s);
    } else if (!file.isEmpty()) {
        options.passwordFile = dir.filePath(u"password"_s);
        QFile f(options.passwordFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file.toUtf8());
    }
    const Ctl::Password p = Ctl::readPassword(options, env, envSet);
    QCOMPARE(p.ok, ok);
    if (ok)
        QCOMPARE(p.text, password);
    else
        QVERIFY(p.error.contains(options.passwordFile));
}

void tst_CtlCommand::helpNamesEveryCommand()
{
    const QString help = Ctl::helpText();
    for (Verb verb :
         {Verb::Status, Verb::Next, Verb::Today, Verb::Stop, Verb::Cancel, Verb::Restore,
          Verb::Play, Verb::VolumeUp, Verb::VolumeDown, Verb::AllOn, Verb::AllOff}) {
        const QString name = Ctl::verbName(verb);
        QVERIFY2(help.contains(u"  "_s + name + (Ctl::takesRow(verb) ? u" N"_s : u" "_s)),
                 qPrintable(name));
        // And the name printed is the one the parser takes.
        QStringList args {name};
        if (Ctl::takesRow(verb))
            args.append(u"1"_s);
        const Ctl::Parsed parsed = Ctl::parseArguments(args);
        QVERIFY(parsed.kind == Ctl::Parsed::Kind::Run);
        QCOMPARE(parsed.options.verb, verb);
    }
    for (const QString &option : {u"--host"_s, u"--port"_s, u"--password-file"_s, u"--json"_s,
                                  u"--timeout"_s, u"QUELLON_PASSWORD"_s})
        QVERIFY2(help.contains(option), qPrintable(option));
}

QTEST_APPLESS_MAIN(tst_CtlCommand)
#include "tst_ctlcommand.moc"
