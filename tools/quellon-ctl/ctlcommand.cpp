#include "ctlcommand.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace Ctl {

namespace {

struct VerbInfo
{
    Verb verb;
    const char16_t *name;
    const char16_t *action; // empty for the reads
    bool row;
};

constexpr VerbInfo kVerbs[] = {
    {Verb::Status, u"status", u"", false},
    {Verb::Next, u"next", u"", false},
    {Verb::Today, u"today", u"", false},
    {Verb::Stop, u"stop", u"stop", false},
    {Verb::Cancel, u"cancel", u"cancel", true},
    {Verb::Restore, u"restore", u"restore", true},
    {Verb::Play, u"play", u"play", true},
    {Verb::VolumeUp, u"volume-up", u"volume_up", false},
    {Verb::VolumeDown, u"volume-down", u"volume_down", false},
    {Verb::AllOn, u"all-on", u"all_on", false},
    {Verb::AllOff, u"all-off", u"all_off", false},
};

const VerbInfo &info(Verb verb)
{
    for (const VerbInfo &v : kVerbs)
        if (v.verb == verb)
            return v;
    return kVerbs[0];
}

Parsed usage(const QString &error)
{
    Parsed p;
    p.kind = Parsed::Kind::Usage;
    p.error = error;
    return p;
}

// A whole number in [low, high] written in plain digits ("+3", " 3", "3.0"
// and "0x3" are not numbers a script means).
bool readNumber(const QString &text, int low, int high, int *value)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    const int n = text.toInt();
    if (n < low || n > high)
        return false;
    *value = n;
    return true;
}

} // namespace

bool isTokenText(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 256)
        return false;
    for (char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

QString verbName(Verb verb)
{
    return QString::fromUtf16(info(verb).name);
}

QString actionName(Verb verb)
{
    return QString::fromUtf16(info(verb).action);
}

bool takesRow(Verb verb)
{
    return info(verb).row;
}

bool isRead(Verb verb)
{
    return actionName(verb).isEmpty();
}

Parsed parseArguments(const QStringList &arguments)
{
    Options options;
    bool haveVerb = false;
    bool haveRow = false;
    QString verbText;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        if (arg == u"-h" || arg == u"--help") {
            Parsed p;
            p.kind = Parsed::Kind::Help;
            return p;
        }
        if (arg.startsWith(u"-") && arg.size() > 1) {
            // "--name=value" and "--name value" alike.
            QString name = arg;
            QString value;
            bool inlineValue = false;
            if (const qsizetype eq = arg.indexOf(u'='); arg.startsWith(u"--") && eq > 0) {
                name = arg.left(eq);
                value = arg.mid(eq + 1);
                inlineValue = true;
            }
            if (name == u"--password" || name == u"-p")
                return usage(QStringLiteral("密码不能写在命令行上（本机的其他用户看得到）：请用 "
                                            "--password-file 文件 或环境变量 QUELLON_PASSWORD。"));
            if (name == u"--json") {
                if (inlineValue)
                    return usage(QStringLiteral("--json 不带值。"));
                options.json = true;
                continue;
            }
            const bool known = name == u"--host" || name == u"--port" || name == u"--password-file"
                || name == u"--timeout";
            if (!known)
                return usage(QStringLiteral("未知的选项：%1").arg(name));
            if (!inlineValue) {
                if (i + 1 >= arguments.size())
                    return usage(QStringLiteral("选项 %1 缺少值。").arg(name));
                value = arguments.at(++i);
            }
            if (name == u"--host") {
                QUrl probe;
                probe.setHost(value);
                if (value.isEmpty() || !probe.isValid() || probe.host().isEmpty())
                    return usage(QStringLiteral("主机地址无效：%1").arg(value));
                options.host = value;
            } else if (name == u"--port") {
                int port = 0;
                if (!readNumber(value, 1, 65535, &port))
                    return usage(QStringLiteral("端口应为 1 到 65535 之间的整数：%1").arg(value));
                options.port = quint16(port);
            } else if (name == u"--timeout") {
                int seconds = 0;
                if (!readNumber(value, 1, 600, &seconds))
                    return usage(QStringLiteral("等待时间应为 1 到 600 之间的秒数：%1").arg(value));
                options.timeoutSeconds = seconds;
            } else {
                if (value.isEmpty())
                    return usage(QStringLiteral("--password-file 缺少文件名。"));
                options.passwordFile = value;
            }
            continue;
        }
        if (!haveVerb) {
            verbText = arg;
            bool found = false;
            for (const VerbInfo &v : kVerbs) {
                if (arg == QString::fromUtf16(v.name)) {
                    options.verb = v.verb;
                    found = true;
                }
            }
            if (!found)
                return usage(QStringLiteral("未知的命令：%1").arg(arg));
            haveVerb = true;
            continue;
        }
        if (takesRow(options.verb) && !haveRow) {
            if (!readNumber(arg, 1, kMaxRow, &options.row))
                return usage(QStringLiteral("序号应为从 1 起的整数：%1").arg(arg));
            haveRow = true;
            continue;
        }
        return usage(QStringLiteral("多余的参数：%1").arg(arg));
    }
    if (!haveVerb)
        return usage(QStringLiteral("缺少命令。"));
    if (takesRow(options.verb) && !haveRow)
        return usage(QStringLiteral("命令 %1 需要节目单的序号 N。").arg(verbText));
    Parsed p;
    p.kind = Parsed::Kind::Run;
    p.options = options;
    return p;
}

QString helpText()
{
    return QStringLiteral(
        "用法：quellon-ctl [选项] 命令\n"
        "\n"
        "在脚本或终端里读取和操作广播控制台。控制台须在 系统设置 → 运行维护 中打开“网络控制”。\n"
        "\n"
        "命令：\n"
        "  status          时间、运行方式、线路、正在播放的节目、下一项和音量\n"
        "  next            下一项\n"
        "  today           今天的节目单（每行前的序号即下列命令中的 N）\n"
        "  stop            停止正在播放的节目\n"
        "  cancel N        取消第 N 项\n"
        "  restore N       恢复已取消的第 N 项\n"
        "  play N          立即播放第 N 项\n"
        "  volume-up       调高音量\n"
        "  volume-down     调低音量\n"
        "  all-on          全开\n"
        "  all-off         全关\n"
        "\n"
        "选项：\n"
        "  --host H              控制台的地址（默认 127.0.0.1）\n"
        "  --port P              端口（默认 8530）\n"
        "  --password-file F     从文件 F 的第一行读取密码\n"
        "  --json                打印控制台回答的原始 JSON\n"
        "  --timeout S           每个请求最多等待 S 秒（默认 10）\n"
        "  -h, --help            显示本帮助\n"
        "\n"
        "密码不能写在命令行上：请用 --password-file，或环境变量 QUELLON_PASSWORD；\n"
        "两者都没有时以空密码登录（控制台未设密码时如此）。\n"
        "\n"
        "退出码：0 完成；1 控制台拒绝（打印其说明）；2 用法错误；3 无法连接。\n");
}

Request loginRequest(const QString &password)
{
    const QJsonObject body {{QStringLiteral("password"), password}};
    return {QByteArrayLiteral("POST"), QStringLiteral("/api/v1/login"),
            QJsonDocument(body).toJson(QJsonDocument::Compact), false, false};
}

Request verbRequest(const Options &options)
{
    switch (options.verb) {
    case Verb::Status:
    case Verb::Next:
        return {QByteArrayLiteral("GET"), QStringLiteral("/api/v1/status"), {}, true, false};
    case Verb::Today:
        return {QByteArrayLiteral("GET"), QStringLiteral("/api/v1/today"), {}, true, false};
    default:
        break;
    }
    QJsonObject body {{QStringLiteral("action"), actionName(options.verb)}};
    if (takesRow(options.verb))
        body.insert(QStringLiteral("row"), options.row);
    return {QByteArrayLiteral("POST"), QStringLiteral("/api/v1/command"),
            QJsonDocument(body).toJson(QJsonDocument::Compact), true, true};
}

Request logoutRequest()
{
    return {QByteArrayLiteral("POST"), QStringLiteral("/api/v1/logout"), QByteArrayLiteral("{}"),
            true, true};
}

HeaderList headersFor(const Request &request, const Session &session)
{
    HeaderList headers {{QByteArrayLiteral("Accept"), QByteArrayLiteral("application/json")}};
    if (request.method == "POST")
        headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
    if (request.session && isTokenText(session.token))
        headers.append({QByteArrayLiteral("Authorization"), "Bearer " + session.token});
    if (request.csrf && isTokenText(session.csrf))
        headers.append({QByteArrayLiteral("X-CSRF-Token"), session.csrf});
    return headers;
}

QUrl urlFor(const Options &options, const Request &request)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(options.host);
    url.setPort(options.port);
    url.setPath(request.path);
    return url;
}

Password passwordFromFileContent(const QByteArray &content)
{
    QByteArray line = content;
    if (const qsizetype end = line.indexOf('\n'); end >= 0)
        line.truncate(end);
    if (line.endsWith('\r'))
        line.chop(1);
    Password p;
    p.text = QString::fromUtf8(line);
    if (p.text.toUtf8() != line) {
        p.error = QStringLiteral("密码文件不是 UTF-8 文本。");
        return p;
    }
    p.ok = true;
    return p;
}

Password readPassword(const Options &options, const QByteArray &environmentPassword,
                      bool environmentHasPassword)
{
    if (options.passwordFile.isEmpty()) {
        Password p;
        p.ok = true;
        if (environmentHasPassword)
            p.text = QString::fromUtf8(environmentPassword);
        return p;
    }
    QFile file(options.passwordFile);
    if (!file.open(QIODevice::ReadOnly)) {
        Password p;
        p.error = QStringLiteral("无法读取密码文件 %1：%2")
                      .arg(options.passwordFile, file.errorString());
        return p;
    }
    // A password is one short line; a large file is not a password file.
    constexpr qint64 kMaxBytes = 4096;
    const QByteArray content = file.read(kMaxBytes + 1);
    if (content.size() > kMaxBytes) {
        Password p;
        p.error = QStringLiteral("密码文件过大：%1").arg(options.passwordFile);
        return p;
    }
    return passwordFromFileContent(content);
}

} // namespace Ctl
