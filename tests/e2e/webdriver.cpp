#include "webdriver.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <sys/types.h>

using namespace Qt::StringLiterals;

namespace {

QString chromiumBinary()
{
    for (const char *name : {"chromium", "chromium-browser", "google-chrome"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

WebDriver::WebDriver()
{
    m_nam.setProxy(QNetworkProxy::NoProxy);
    m_driver.setProcessChannelMode(QProcess::MergedChannels);
}

WebDriver::~WebDriver()
{
    quit();
}

bool WebDriver::available(QString *why)
{
    QString missing;
    if (QStandardPaths::findExecutable(QStringLiteral("chromedriver")).isEmpty())
        missing = QStringLiteral("chromedriver is not installed (package chromium-driver)");
    else if (chromiumBinary().isEmpty())
        missing = QStringLiteral("Chromium is not installed (package chromium)");
    if (why)
        *why = missing;
    return missing.isEmpty();
}

bool WebDriver::start()
{
    if (isRunning())
        return true;
    if (!available(&m_error))
        return false;
    if (!m_profile.isValid()) {
        m_error = QStringLiteral("no folder for the browser profile");
        return false;
    }
    m_port = freePort();
    m_driver.start(QStandardPaths::findExecutable(QStringLiteral("chromedriver")),
                   {QStringLiteral("--port=%1").arg(m_port)});
    if (!m_driver.waitForStarted(5000)) {
        m_error = QStringLiteral("chromedriver did not start: ") + m_driver.errorString();
        return false;
    }
    // chromedriver answers its status once it listens.
    bool ready = QTest::qWaitFor(
        [this] {
            if (m_driver.state() != QProcess::Running)
                return true;
            const Answer a = call("GET", QStringLiteral("/status"));
            return a.status == 200 && a.value.toObject().value(u"ready").toBool();
        },
        10000);
    if (!ready || m_driver.state() != QProcess::Running) {
        m_error = QStringLiteral("chromedriver is not ready: ")
            + QString::fromLocal8Bit(m_driver.readAll());
        quit();
        return false;
    }

    const QJsonArray arguments {
        QStringLiteral("--headless=new"),
        QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--disable-dev-shm-usage"),
        QStringLiteral("--no-proxy-server"),
        QStringLiteral("--no-first-run"),
        QStringLiteral("--window-size=1024,768"),
        QStringLiteral("--user-data-dir=") + m_profile.path(),
    };
    const QJsonObject chromeOptions {{u"binary"_s, chromiumBinary()}, {u"args"_s, arguments}};
    // Dialogs stay open until the test answers them, as a person would.
    const QJsonObject wanted {{u"browserName"_s, u"chrome"_s},
                              {u"unhandledPromptBehavior"_s, u"ignore"_s},
                              {u"goog:chromeOptions"_s, chromeOptions}};
    const int timeout = m_callTimeoutMs;
    m_callTimeoutMs = std::max(timeout, 60000); // the browser's first start
    const Answer a = call("POST", QStringLiteral("/session"),
                          {{u"capabilities"_s, QJsonObject {{u"alwaysMatch"_s, wanted}}}});
    m_callTimeoutMs = timeout;
    const QString id = a.value.toObject().value(u"sessionId").toString();
    if (a.status != 200 || id.isEmpty()) {
        if (m_error.isEmpty() || a.status != 0)
            m_error = QStringLiteral("no browser session: ")
                + a.value.toObject().value(u"message").toString();
        quit();
        return false;
    }
    m_session = id;
    m_error.clear();
    return true;
}

void WebDriver::quit()
{
    if (!m_session.isEmpty() && m_driver.state() == QProcess::Running) {
        const int timeout = m_callTimeoutMs;
        m_callTimeoutMs = 10000;
        call("DELETE", QStringLiteral("/session/") + m_session);
        m_callTimeoutMs = timeout;
    }
    m_session.clear();
    if (m_driver.state() != QProcess::NotRunning) {
        m_driver.terminate();
        if (!m_driver.waitForFinished(3000)) {
            m_driver.kill();
            m_driver.waitForFinished(3000);
        }
    }
    endBrowserProcesses();
}

void WebDriver::endBrowserProcesses()
{
    // Every process of this browser names its profile folder on its command
    // line; one left behind by a driver that went first is ended here.
    if (!m_profile.isValid())
        return;
    const QByteArray marker = m_profile.path().toLocal8Bit();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(marker))
            ::kill(pid_t(pid), SIGKILL);
    }
}

WebDriver::Answer WebDriver::call(const QByteArray &method, const QString &path,
                                  const QJsonObject &body)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/json; charset=utf-8"));
    const QByteArray bytes
        = method == "GET" || method == "DELETE" ? QByteArray() : QJsonDocument(body).toJson();
    QNetworkReply *reply = m_nam.sendCustomRequest(request, method, bytes);
    const bool done = QTest::qWaitFor([reply] { return reply->isFinished(); }, m_callTimeoutMs);
    Answer answer;
    if (!done) {
        reply->abort();
        m_error = QStringLiteral("%1 %2: no answer within %3 ms")
                      .arg(QString::fromLatin1(method), path)
                      .arg(m_callTimeoutMs);
    } else {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.value = QJsonDocument::fromJson(reply->readAll()).object().value(u"value");
        if (answer.status == 0)
            m_error = reply->errorString();
    }
    reply->deleteLater();
    return answer;
}

bool WebDriver::command(const QByteArray &method, const QString &path, const QJsonObject &body,
                        QJsonValue *value)
{
    if (m_session.isEmpty()) {
        m_error = QStringLiteral("no browser session");
        return false;
    }
    const Answer a = call(method, QStringLiteral("/session/") + m_session + path, body);
    if (value)
        *value = a.value;
    if (a.status == 200)
        return true;
    if (a.status != 0) {
        const QJsonObject failure = a.value.toObject();
        m_error = failure.value(u"error").toString() + QStringLiteral(": ")
            + failure.value(u"message").toString().section(u'\n', 0, 0);
    }
    return false;
}

bool WebDriver::navigate(const QString &url)
{
    return command("POST", QStringLiteral("/url"), {{u"url"_s, url}});
}

QString WebDriver::find(const QString &css)
{
    QJsonValue value;
    if (!command("POST", QStringLiteral("/element"),
                 {{u"using"_s, u"css selector"_s}, {u"value"_s, css}}, &value))
        return {};
    return value.toObject().value(elementKey()).toString();
}

bool WebDriver::click(const QString &element)
{
    return command("POST", QStringLiteral("/element/%1/click").arg(element));
}

bool WebDriver::sendKeys(const QString &element, const QString &text)
{
    return command("POST", QStringLiteral("/element/%1/value").arg(element), {{u"text"_s, text}});
}

std::optional<QString> WebDriver::text(const QString &element)
{
    QJsonValue value;
    if (!command("GET", QStringLiteral("/element/%1/text").arg(element), {}, &value))
        return std::nullopt;
    return value.toString();
}

std::optional<QString> WebDriver::textOf(const QString &css)
{
    const QString element = find(css);
    if (element.isEmpty())
        return std::nullopt;
    return text(element);
}

std::optional<bool> WebDriver::displayed(const QString &element)
{
    QJsonValue value;
    if (!command("GET", QStringLiteral("/element/%1/displayed").arg(element), {}, &value))
        return std::nullopt;
    return value.toBool();
}

std::optional<bool> WebDriver::displayedOf(const QString &css)
{
    const QString element = find(css);
    if (element.isEmpty())
        return std::nullopt;
    return displayed(element);
}

std::optional<QJsonValue> WebDriver::property(const QString &element, const QString &name)
{
    QJsonValue value;
    if (!command("GET", QStringLiteral("/element/%1/property/%2").arg(element, name), {}, &value))
        return std::nullopt;
    return value;
}

std::optional<QJsonValue> WebDriver::execute(const QString &script, const QJsonArray &arguments)
{
    QJsonValue value;
    if (!command("POST", QStringLiteral("/execute/sync"),
                 {{u"script"_s, script}, {u"args"_s, arguments}}, &value))
        return std::nullopt;
    return value;
}

std::optional<QString> WebDriver::alertText()
{
    QJsonValue value;
    if (!command("GET", QStringLiteral("/alert/text"), {}, &value))
        return std::nullopt;
    return value.toString();
}

bool WebDriver::acceptAlert()
{
    return command("POST", QStringLiteral("/alert/accept"));
}

bool WebDriver::dismissAlert()
{
    return command("POST", QStringLiteral("/alert/dismiss"));
}
