#include "web/webrequestlimits.h"

#include "web/webpassword.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace WebRequestLimits {

namespace {

struct NamedAction
{
    Action action;
    const char16_t *name;
};

constexpr std::array<NamedAction, 10> Actions {{
    {Action::Stop, u"stop"},
    {Action::Cancel, u"cancel"},
    {Action::Restore, u"restore"},
    {Action::Play, u"play"},
    {Action::VolumeUp, u"volume_up"},
    {Action::VolumeDown, u"volume_down"},
    {Action::AllOn, u"all_on"},
    {Action::AllOff, u"all_off"},
    {Action::EmergencyStart, u"emergency_start"},
    {Action::EmergencyEnd, u"emergency_end"},
}};

Refusal refuse(int status, const QString &code, const QString &message)
{
    return Refusal {status, code, message};
}

// The checks every body goes through first: size, type, one JSON object.
std::optional<Refusal> readObject(const QByteArray &contentType, const QByteArray &body,
                                  QJsonObject &object)
{
    if (body.size() > MaxBodyBytes)
        return refuse(413, QStringLiteral("too_large"), QStringLiteral("请求过大"));
    if (!isJsonContentType(contentType))
        return refuse(415, QStringLiteral("not_json"), QStringLiteral("请求须为 JSON 格式"));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return refuse(400, QStringLiteral("malformed_json"),
                      QStringLiteral("请求不是有效的 JSON 对象"));
    object = doc.object();
    return std::nullopt;
}

std::optional<Refusal> onlyMembers(const QJsonObject &object,
                                   std::initializer_list<QStringView> allowed)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (std::find(allowed.begin(), allowed.end(), QStringView(it.key())) == allowed.end())
            return refuse(400, QStringLiteral("unknown_field"),
                          QStringLiteral("请求含有未知的字段"));
    }
    return std::nullopt;
}

} // namespace

QString actionName(Action action)
{
    for (const NamedAction &a : Actions) {
        if (a.action == action)
            return QString::fromUtf16(a.name);
    }
    return {};
}

std::optional<Action> actionFromName(QStringView name)
{
    for (const NamedAction &a : Actions) {
        if (name == QStringView(a.name))
            return a.action;
    }
    return std::nullopt;
}

bool needsRow(Action action)
{
    return action == Action::Cancel || action == Action::Restore || action == Action::Play;
}

bool isJsonContentType(const QByteArray &contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    const QByteArray type = contentType.left(semicolon < 0 ? contentType.size() : semicolon);
    return type.trimmed().compare("application/json", Qt::CaseInsensitive) == 0;
}

bool isLoopbackHost(const QByteArray &hostHeader)
{
    QByteArray host = hostHeader.trimmed().toLower();
    if (host.startsWith('[')) {
        // [v6 address] or [v6 address]:port
        const qsizetype close = host.indexOf(']');
        if (close < 0)
            return false;
        const QByteArray rest = host.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return false;
        host = host.mid(1, close - 1);
    } else if (const qsizetype colon = host.indexOf(':'); colon >= 0) {
        host.truncate(colon);
    }
    if (host == "localhost" || host == "localhost.")
        return true;
    QHostAddress address;
    if (!address.setAddress(QString::fromLatin1(host)))
        return false;
    return address.isLoopback();
}

Parsed<Command> parseCommand(const QByteArray &contentType, const QByteArray &body)
{
    Parsed<Command> result;
    QJsonObject object;
    if (auto refusal = readObject(contentType, body, object)) {
        result.refusal = *refusal;
        return result;
    }
    if (auto refusal = onlyMembers(object, {u"action", u"row"})) {
        result.refusal = *refusal;
        return result;
    }
    const QJsonValue name = object.value(QStringLiteral("action"));
    const std::optional<Action> action
        = name.isString() ? actionFromName(name.toString()) : std::nullopt;
    if (!action) {
        result.refusal
            = refuse(400, QStringLiteral("unknown_action"), QStringLiteral("没有这个命令"));
        return result;
    }
    const QJsonValue row = object.value(QStringLiteral("row"));
    Command command {*action, 0};
    if (!needsRow(*action)) {
        if (!row.isUndefined()) {
            result.refusal
                = refuse(400, QStringLiteral("row_not_allowed"), QStringLiteral("此命令不带行号"));
            return result;
        }
    } else if (row.isUndefined()) {
        result.refusal = refuse(400, QStringLiteral("row_missing"), QStringLiteral("缺少行号"));
        return result;
    } else {
        // JSON numbers arrive as doubles: only whole numbers in range, never
        // a text that looks like one.
        const double n = row.isDouble() ? row.toDouble() : std::nan("");
        if (!(n >= 1 && n <= MaxRow) || std::floor(n) != n) {
            result.refusal = refuse(400, QStringLiteral("bad_row"), QStringLiteral("行号无效"));
            return result;
        }
        command.row = int(n);
    }
    result.value = command;
    return result;
}

Parsed<QString> parseLogin(const QByteArray &contentType, const QByteArray &body)
{
    Parsed<QString> result;
    QJsonObject object;
    if (auto refusal = readObject(contentType, body, object)) {
        result.refusal = *refusal;
        return result;
    }
    if (auto refusal = onlyMembers(object, {u"password"})) {
        result.refusal = *refusal;
        return result;
    }
    const QJsonValue password = object.value(QStringLiteral("password"));
    // An empty password is a password all the same: it is the one that
    // opens the console while none is set (and the loopback alone listens).
    if (!password.isString()) {
        result.refusal
            = refuse(400, QStringLiteral("password_missing"), QStringLiteral("缺少密码"));
        return result;
    }
    if (password.toString().size() > WebPassword::MaxPasswordLength) {
        result.refusal
            = refuse(400, QStringLiteral("password_too_long"), QStringLiteral("密码过长"));
        return result;
    }
    result.value = password.toString();
    return result;
}

QByteArray refusalBody(const Refusal &refusal)
{
    const QJsonObject object {{QStringLiteral("error"), refusal.code},
                              {QStringLiteral("message"), refusal.message}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace WebRequestLimits
