#include "web/webrequestlimits.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace WebRequestLimits;

Q_DECLARE_METATYPE(WebRequestLimits::Action)

static const QByteArray Json("application/json");

class tst_WebRequestLimits : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void commands_data();
    void commands();
    void refusedCommands_data();
    void refusedCommands();
    void contentType_data();
    void contentType();
    void logins_data();
    void logins();
    void actionNames();
    void refusalBodyIsJson();
};

void tst_WebRequestLimits::commands_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("row");

    QTest::newRow("stop") << QByteArray(R"({"action":"stop"})") << Action::Stop << 0;
    QTest::newRow("cancel") << QByteArray(R"({"action":"cancel","row":3})") << Action::Cancel << 3;
    QTest::newRow("restore, row first")
        << QByteArray(R"({ "row": 12, "action": "restore" })") << Action::Restore << 12;
    QTest::newRow("play, row as 7.0")
        << QByteArray(R"({"action":"play","row":7.0})") << Action::Play << 7;
    QTest::newRow("play the last row allowed")
        << (R"({"action":"play","row":)" + QByteArray::number(MaxRow) + "}") << Action::Play
        << MaxRow;
    QTest::newRow("volume up") << QByteArray(R"({"action":"volume_up"})") << Action::VolumeUp << 0;
    QTest::newRow("volume down") << QByteArray(R"({"action":"volume_down"})") << Action::VolumeDown
                                 << 0;
    QTest::newRow("all on") << QByteArray(R"({"action":"all_on"})") << Action::AllOn << 0;
    QTest::newRow("all off") << QByteArray("{\"action\":\"all_off\"}\r\n") << Action::AllOff << 0;
    QTest::newRow("escaped name") << QByteArray(R"({"action":"st\u006fp"})") << Action::Stop << 0;
}

void tst_WebRequestLimits::commands()
{
    QFETCH(QByteArray, body);
    QFETCH(Action, action);
    QFETCH(int, row);
    const Parsed<Command> parsed = parseCommand(Json, body);
    QVERIFY2(parsed, qPrintable(parsed.refusal.code));
    QCOMPARE(*parsed.value, (Command {action, row}));
}

void tst_WebRequestLimits::refusedCommands_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("code");

    const QByteArray padded = R"({"action":"stop","x":")" + QByteArray(MaxBodyBytes, 'a') + "\"}";
    QTest::newRow("too large") << Json << padded << 413 << u"too_large"_s;
    QTest::newRow("too large and not JSON")
        << QByteArray("text/plain") << QByteArray(MaxBodyBytes + 1, '{') << 413 << u"too_large"_s;
    QTest::newRow("form post") << QByteArray("application/x-www-form-urlencoded")
                               << QByteArray("action=stop") << 415 << u"not_json"_s;
    QTest::newRow("no content type")
        << QByteArray() << QByteArray(R"({"action":"stop"})") << 415 << u"not_json"_s;
    QTest::newRow("text/plain with JSON")
        << QByteArray("text/plain") << QByteArray(R"({"action":"stop"})") << 415 << u"not_json"_s;
    QTest::newRow("empty") << Json << QByteArray() << 400 << u"malformed_json"_s;
    QTest::newRow("cut short") << Json << QByteArray(R"({"action":"stop")") << 400
                               << u"malformed_json"_s;
    QTest::newRow("array") << Json << QByteArray(R"(["stop"])") << 400 << u"malformed_json"_s;
    QTest::newRow("bare string") << Json << QByteArray(R"("stop")") << 400 << u"malformed_json"_s;
    QTest::newRow("trailing garbage")
        << Json << QByteArray(R"({"action":"stop"}x)") << 400 << u"malformed_json"_s;
    QTest::newRow("deep nesting") << Json << (QByteArray(1500, '[') + QByteArray(1500, ']')) << 400
                                  << u"malformed_json"_s;
    QTest::newRow("extra member") << Json << QByteArray(R"({"action":"stop","file":"/etc/x"})")
                                  << 400 << u"unknown_field"_s;
    QTest::newRow("no action") << Json << QByteArray(R"({"row":3})") << 400 << u"unknown_action"_s;
    QTest::newRow("unknown action")
        << Json << QByteArray(R"({"action":"shutdown"})") << 400 << u"unknown_action"_s;
    QTest::newRow("action in capitals")
        << Json << QByteArray(R"({"action":"STOP"})") << 400 << u"unknown_action"_s;
    QTest::newRow("action with blank")
        << Json << QByteArray(R"({"action":"stop "})") << 400 << u"unknown_action"_s;
    QTest::newRow("action not a string")
        << Json << QByteArray(R"({"action":1})") << 400 << u"unknown_action"_s;
    QTest::newRow("action as list")
        << Json << QByteArray(R"({"action":["stop"]})") << 400 << u"unknown_action"_s;
    QTest::newRow("row missing") << Json << QByteArray(R"({"action":"cancel"})") << 400
                                 << u"row_missing"_s;
    QTest::newRow("row given to stop")
        << Json << QByteArray(R"({"action":"stop","row":1})") << 400 << u"row_not_allowed"_s;
    QTest::newRow("row null to volume")
        << Json << QByteArray(R"({"action":"volume_up","row":null})") << 400
        << u"row_not_allowed"_s;
    QTest::newRow("row zero") << Json << QByteArray(R"({"action":"cancel","row":0})") << 400
                              << u"bad_row"_s;
    QTest::newRow("row negative") << Json << QByteArray(R"({"action":"cancel","row":-2})") << 400
                                  << u"bad_row"_s;
    QTest::newRow("row fraction") << Json << QByteArray(R"({"action":"cancel","row":2.5})") << 400
                                  << u"bad_row"_s;
    QTest::newRow("row too large")
        << Json << (R"({"action":"play","row":)" + QByteArray::number(MaxRow + 1) + "}") << 400
        << u"bad_row"_s;
    QTest::newRow("row huge") << Json << QByteArray(R"({"action":"play","row":1e300})") << 400
                              << u"bad_row"_s;
    QTest::newRow("row as text") << Json << QByteArray(R"({"action":"play","row":"3"})") << 400
                                 << u"bad_row"_s;
    QTest::newRow("row as path") << Json
                                 << QByteArray(R"({"action":"play","row":"../../etc/passwd"})")
                                 << 400 << u"bad_row"_s;
    QTest::newRow("row null") << Json << QByteArray(R"({"action":"play","row":null})") << 400
                              << u"bad_row"_s;
    QTest::newRow("row true") << Json << QByteArray(R"({"action":"play","row":true})") << 400
                              << u"bad_row"_s;
}

void tst_WebRequestLimits::refusedCommands()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, code);
    const Parsed<Command> parsed = parseCommand(contentType, body);
    QVERIFY(!parsed);
    QCOMPARE(parsed.refusal.status, status);
    QCOMPARE(parsed.refusal.code, code);
    QVERIFY(!parsed.refusal.message.isEmpty());
}

void tst_WebRequestLimits::contentType_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("json");

    QTest::newRow("plain") << QByteArray("application/json") << true;
    QTest::newRow("charset") << QByteArray("application/json; charset=utf-8") << true;
    QTest::newRow("capitals") << QByteArray("Application/JSON") << true;
    QTest::newRow("blanks") << QByteArray(" application/json ;charset=UTF-8") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("form") << QByteArray("multipart/form-data; boundary=x") << false;
    QTest::newRow("text") << QByteArray("text/plain;application/json") << false;
    QTest::newRow("prefix") << QByteArray("application/jsonx") << false;
    QTest::newRow("other json type") << QByteArray("application/json-patch+json") << false;
}

void tst_WebRequestLimits::contentType()
{
    QFETCH(QByteArray, contentType);
    QFETCH(bool, json);
    QCOMPARE(isJsonContentType(contentType), json);
}

void tst_WebRequestLimits::logins_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code"); // empty: accepted

    QTest::newRow("ascii") << QByteArray(R"({"password":"office"})") << u"office"_s << QString();
    QTest::newRow("chinese") << QByteArray(R"({"password":"广播\u5ba4"})") << u"广播室"_s
                             << QString();
    QTest::newRow("missing") << QByteArray("{}") << QString() << u"password_missing"_s;
    // The log-in while no password is set.
    QTest::newRow("empty") << QByteArray(R"({"password":""})") << QString() << QString();
    QTest::newRow("number") << QByteArray(R"({"password":1234})") << QString()
                            << u"password_missing"_s;
    QTest::newRow("too long") << (R"({"password":")" + QByteArray(257, 'x') + "\"}") << QString()
                              << u"password_too_long"_s;
    QTest::newRow("extra member") << QByteArray(R"({"password":"x","user":"admin"})") << QString()
                                  << u"unknown_field"_s;
    QTest::newRow("not JSON") << QByteArray("password=x") << QString() << u"malformed_json"_s;
}

void tst_WebRequestLimits::logins()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, password);
    QFETCH(QString, code);
    const Parsed<QString> parsed = parseLogin(Json, body);
    QCOMPARE(bool(parsed), code.isEmpty());
    if (parsed)
        QCOMPARE(*parsed.value, password);
    else
        QCOMPARE(parsed.refusal.code, code);
}

void tst_WebRequestLimits::actionNames()
{
    const QStringList names {u"stop"_s,         u"cancel"_s,    u"restore"_s,
                             u"play"_s,         u"volume_up"_s, u"volume_down"_s,
                             u"all_on"_s,       u"all_off"_s,   u"emergency_start"_s,
                             u"emergency_end"_s};
    QSet<int> actions;
    for (const QString &name : names) {
        const std::optional<Action> action = actionFromName(name);
        QVERIFY2(action, qPrintable(name));
        QCOMPARE(actionName(*action), name);
        actions.insert(int(*action));
    }
    QCOMPARE(actions.size(), names.size());
    QCOMPARE(actionFromName(u"Stop"), std::nullopt);
    QCOMPARE(actionFromName(u""), std::nullopt);
}

void tst_WebRequestLimits::refusalBodyIsJson()
{
    const Refusal refusal {400, u"bad_row"_s, u"行号无效"_s};
    const QJsonDocument doc = QJsonDocument::fromJson(refusalBody(refusal));
    QVERIFY(doc.isObject());
    QCOMPARE(doc.object().value(u"error"_s).toString(), u"bad_row"_s);
    QCOMPARE(doc.object().value(u"message"_s).toString(), u"行号无效"_s);
    QCOMPARE(doc.object().size(), 2);
}

QTEST_GUILESS_MAIN(tst_WebRequestLimits)
#include "tst_webrequestlimits.moc"
