#include "ctlreply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace Ctl {

namespace {

QString line(const QString &text)
{
    return text + u'\n';
}

QString rawJson(const QByteArray &body)
{
    const QString text = QString::fromUtf8(body);
    return text.endsWith(u'\n') ? text : line(text);
}

std::optional<QJsonObject> jsonObject(const QByteArray &body)
{
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

Outcome unreadable(const Answer &answer)
{
    return {
        Refused, {}, line(QStringLiteral("控制台的回答无法读懂（HTTP %1）。").arg(answer.status))};
}

QString consoleAddress(const Options &options)
{
    const QString host = options.host.contains(u':') ? u'[' + options.host + u']' : options.host;
    return host + u':' + QString::number(options.port);
}

QString modeText(const QString &mode)
{
    if (mode == u"auto")
        return QStringLiteral("自动");
    if (mode == u"manual")
        return QStringLiteral("手动");
    return mode;
}

QString stateWord(const QJsonObject &row)
{
    const QString state = row.value(u"state").toString();
    if (state == u"waiting")
        return QStringLiteral("待播");
    if (state == u"done")
        return QStringLiteral("已播");
    if (state == u"cancelled")
        return QStringLiteral("已取消");
    return row.value(u"stateText").toString(state);
}

// The next-item panel's text comes in lines split by CR and indented; one
// line of its parts reads better in a terminal.
QString nextText(const QJsonObject &status)
{
    QStringList parts;
    const QString text = status.value(u"nextText").toString();
    for (const QString &part : text.split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            parts.append(trimmed);
    }
    if (!parts.isEmpty())
        return parts.join(QStringLiteral("，"));
    const QJsonObject next = status.value(u"next").toObject();
    if (next.contains(u"row"))
        return QStringLiteral("第 %1 项 %2 %3")
            .arg(next.value(u"row").toInt())
            .arg(next.value(u"time").toString(), next.value(u"title").toString())
            .trimmed();
    return QStringLiteral("无");
}

QString statusText(const QJsonObject &status)
{
    QString text = line(QStringLiteral("时间：") + status.value(u"clock").toString());
    if (status.contains(u"mode"))
        text += line(QStringLiteral("运行方式：") + modeText(status.value(u"mode").toString()));
    const QJsonObject link = status.value(u"link").toObject();
    if (link.value(u"open").toBool()) {
        const QString device = link.value(u"device").toString();
        text += line(device.isEmpty() ? QStringLiteral("线路：已连接")
                                      : QStringLiteral("线路：已连接（%1）").arg(device));
    } else {
        text += line(QStringLiteral("线路：未连接"));
    }
    const QJsonObject playing = status.value(u"playing").toObject();
    if (playing.value(u"active").toBool()) {
        text += line(QStringLiteral("正在播放：%1（%2，%3，%4%）")
                         .arg(playing.value(u"title").toString(),
                              playing.value(u"position").toString().trimmed(),
                              playing.value(u"length").toString())
                         .arg(playing.value(u"progress").toInt()));
    } else {
        text += line(QStringLiteral("正在播放：无"));
    }
    text += line(QStringLiteral("下一项：") + nextText(status));
    const QJsonObject volume = status.value(u"volume").toObject();
    text += line(QStringLiteral("音量：%1（%2–%3）")
                     .arg(volume.value(u"value").toInt())
                     .arg(volume.value(u"minimum").toInt())
                     .arg(volume.value(u"maximum").toInt()));
    return text;
}

QString todayText(const QJsonArray &rows)
{
    if (rows.isEmpty())
        return line(QStringLiteral("今天没有节目。"));
    // Numbers right-aligned to the widest, so the times line up.
    int width = 1;
    for (const QJsonValue &value : rows)
        width
            = std::max(width, int(QString::number(value.toObject().value(u"row").toInt()).size()));
    QString text;
    for (const QJsonValue &value : rows) {
        const QJsonObject row = value.toObject();
        QStringList cells {QString::number(row.value(u"row").toInt()).rightJustified(width),
                           row.value(u"time").toString(), stateWord(row)};
        for (const QString &cell :
             {row.value(u"detail").toString(), row.value(u"title").toString()})
            if (!cell.isEmpty())
                cells.append(cell);
        text += line(cells.join(QStringLiteral("  ")));
    }
    return text;
}

QString doneText(const Options &options)
{
    switch (options.verb) {
    case Verb::Stop:
        return QStringLiteral("已停止播放。");
    case Verb::Cancel:
        return QStringLiteral("已取消第 %1 项。").arg(options.row);
    case Verb::Restore:
        return QStringLiteral("已恢复第 %1 项。").arg(options.row);
    case Verb::Play:
        return QStringLiteral("已开始播放第 %1 项。").arg(options.row);
    case Verb::VolumeUp:
        return QStringLiteral("音量已调高。");
    case Verb::VolumeDown:
        return QStringLiteral("音量已调低。");
    case Verb::AllOn:
        return QStringLiteral("已全开。");
    case Verb::AllOff:
        return QStringLiteral("已全关。");
    default:
        return {};
    }
}

} // namespace

LoginResult readLogin(const Options &options, const Answer &answer)
{
    LoginResult result;
    if (answer.status < 200 || answer.status > 299) {
        result.failure = refusal(options, answer);
        return result;
    }
    const std::optional<QJsonObject> body = jsonObject(answer.body);
    if (!body) {
        result.failure = unreadable(answer);
        return result;
    }
    Session session {body->value(u"token").toString().toLatin1(),
                     body->value(u"csrf").toString().toLatin1()};
    if (!isTokenText(session.token) || !isTokenText(session.csrf)) {
        result.failure = unreadable(answer);
        return result;
    }
    result.session = session;
    return result;
}

Outcome describe(const Options &options, const Answer &answer)
{
    if (answer.status < 200 || answer.status > 299)
        return refusal(options, answer);
    const std::optional<QJsonObject> body = jsonObject(answer.body);
    if (!body)
        return unreadable(answer);
    if (!isRead(options.verb) && body->value(u"ok") != QJsonValue(true))
        return unreadable(answer);
    if (options.verb == Verb::Today && !body->value(u"rows").isArray())
        return unreadable(answer);
    if (options.json)
        return {Done, rawJson(answer.body), {}};
    switch (options.verb) {
    case Verb::Status:
        return {Done, statusText(*body), {}};
    case Verb::Next:
        return {Done, line(QStringLiteral("下一项：") + nextText(*body)), {}};
    case Verb::Today:
        return {Done, todayText(body->value(u"rows").toArray()), {}};
    default:
        return {Done, line(doneText(options)), {}};
    }
}

Outcome refusal(const Options &options, const Answer &answer)
{
    const std::optional<QJsonObject> body = jsonObject(answer.body);
    QString message;
    if (body) {
        message = body->value(u"message").toString();
        if (message.isEmpty())
            message = body->value(u"error").toString();
    }
    if (message.isEmpty())
        message = QStringLiteral("控制台拒绝了请求（HTTP %1）。").arg(answer.status);
    bool number = false;
    const int seconds = answer.retryAfter.trimmed().toInt(&number);
    // The console's own message usually says it already.
    if (number && seconds > 0 && !message.contains(QString::number(seconds)))
        message += QStringLiteral("（%1 秒后可再试）").arg(seconds);
    Outcome outcome {Refused, {}, line(message)};
    if (options.json && body)
        outcome.out = rawJson(answer.body);
    return outcome;
}

Outcome cannotConnect(const Options &options, QNetworkReply::NetworkError error)
{
    QString why;
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        why = QStringLiteral("连接被拒绝。控制台的“网络控制”打开了吗？");
        break;
    case QNetworkReply::HostNotFoundError:
        why = QStringLiteral("找不到该主机。");
        break;
    case QNetworkReply::RemoteHostClosedError:
        why = QStringLiteral("对方没有回答就关闭了连接。");
        break;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return noAnswer(options);
    default:
        why = QStringLiteral("网络错误 %1。").arg(int(error));
        break;
    }
    return {NoConnection,
            {},
            line(QStringLiteral("无法连接到控制台 %1：%2").arg(consoleAddress(options), why))};
}

Outcome noAnswer(const Options &options)
{
    return {NoConnection,
            {},
            line(QStringLiteral("控制台 %1 在 %2 秒内没有回答。")
                     .arg(consoleAddress(options))
                     .arg(options.timeoutSeconds))};
}

} // namespace Ctl
