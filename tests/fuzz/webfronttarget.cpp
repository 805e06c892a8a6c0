// Fuzz target for the web control's HTTP front: the input is what a client
// sends on one connection (requests, whole or in pieces), handed to the Qt
// HTTP server through a connection held in memory, so that every request
// passes Qt's own parser, the routing, the session and CSRF checks and the
// body checks before it may reach a command of the console.
//
// The client cannot read the answers, so it cannot learn a session's tokens:
// "%T" in the input stands for the id of a live session and "%C" for its
// CSRF token. Without "%T" nothing may act on the console; without "%C" no
// command may be carried out. Whatever the bytes, every answer is a whole
// HTTP answer with the security headers, and every refusal is JSON saying
// why.

#include "fuzzinput.h"
#include "fuzztargets.h"
#include "webfuzzrig.h"

#include "console/mastervolume.h"
#include "web/webapi.h"
#include "web/webcommands.h"
#include "web/webfront.h"
#include "web/webloginlimiter.h"
#include "web/webpage.h"
#include "web/websessions.h"

#include <QCoreApplication>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cstring>

namespace Fuzz {
namespace {

// A connection from the loopback that exists only in memory: the bytes
// given to feed() are what the client sent, and what the server writes is
// kept in written.
class MemorySocket final : public QTcpSocket
{
public:
    explicit MemorySocket(QObject *parent)
        : QTcpSocket(parent)
    {
        setPeerAddress(QHostAddress(QHostAddress::LocalHost));
        setPeerPort(50000);
        setLocalAddress(QHostAddress(QHostAddress::LocalHost));
        setLocalPort(8530);
        setSocketState(QAbstractSocket::ConnectedState);
        setOpenMode(QIODevice::ReadWrite);
    }

    void feed(const QByteArray &bytes)
    {
        m_in += bytes;
        Q_EMIT readyRead();
    }
    qint64 bytesAvailable() const override { return m_in.size() + QIODevice::bytesAvailable(); }

    QByteArray written;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, m_in.size());
        std::memcpy(data, m_in.constData(), size_t(n));
        m_in.remove(0, n);
        return n;
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        written.append(data, size);
        return size;
    }

private:
    QByteArray m_in;
};

// A server that listens nowhere: it hands the front one memory connection.
class MemoryServer final : public QTcpServer
{
public:
    void connectClient(QTcpSocket *socket)
    {
        addPendingConnection(socket);
        Q_EMIT newConnection();
    }
};

// What the front wrote: whole answers, each with its status, headers and
// body; false when the bytes are not a sequence of whole answers.
struct Answer
{
    int status = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QByteArray header(const QByteArray &name) const
    {
        for (const auto &h : headers) {
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        }
        return {};
    }
};

bool splitAnswers(const QByteArray &bytes, QList<Answer> &answers)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype end = bytes.indexOf("\r\n\r\n", at);
        if (end < 0 || !bytes.mid(at).startsWith("HTTP/1.1 "))
            return false;
        const QList<QByteArray> lines = bytes.mid(at, end - at).split('\n');
        Answer answer;
        bool ok = false;
        answer.status = lines.first().mid(9, 3).toInt(&ok);
        if (!ok)
            return false;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                return false;
            answer.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        const qsizetype length = answer.header("Content-Length").toLongLong(&ok);
        if (!ok || length < 0 || end + 4 + length > bytes.size())
            return false;
        answer.body = bytes.mid(end + 4, length);
        at = end + 4 + length;
        answers.append(answer);
    }
    return true;
}

void checkAnswer(const Answer &answer)
{
    static const int known[] = {200, 400, 401, 403, 404, 405, 409, 413, 415, 429};
    check(std::find(std::begin(known), std::end(known), answer.status) != std::end(known),
          "an answer's status is one the front gives");
    // Written out here rather than taken from the front, so that a header
    // changed there is caught.
    static const QPair<QByteArray, QByteArray> security[] = {
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Content-Security-Policy",
         "default-src 'self'; connect-src 'self'; frame-ancestors 'none'"},
    };
    for (const auto &h : security)
        check(answer.header(h.first) == h.second, "every answer carries the security headers");
    if (answer.status < 400)
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(answer.body);
    check(answer.header("Content-Type") == "application/json" && doc.isObject(),
          "a refusal is JSON");
    check(!doc.object().value(QStringLiteral("error")).toString().isEmpty()
              && !doc.object().value(QStringLiteral("message")).toString().isEmpty(),
          "a refusal gives its code and says why");
}

// The server reads one request a time and asks for the next through the
// event loop, which never runs under the fuzzer: the queued calls are
// delivered here until the connection's bytes stop going down.
void serveQueued(const QPointer<MemorySocket> &socket)
{
    qint64 left = -1;
    while (socket && socket->state() == QAbstractSocket::ConnectedState
           && socket->bytesAvailable() != left) {
        left = socket->bytesAvailable();
        QCoreApplication::sendPostedEvents();
    }
}

// Qt warns on every input that the memory server listens nowhere, and
// libFuzzer would spend its time writing that out: warnings are dropped
// while an input runs, worse goes on to whoever handled it before.
QtMessageHandler g_previousHandler = nullptr;

void quietWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if ((type == QtCriticalMsg || type == QtFatalMsg) && g_previousHandler)
        g_previousHandler(type, context, message);
}

// The page's files, as the server serves them.
bool servePage(const QHttpServerRequest &request, QTcpSocket *socket)
{
    if (request.method() != QHttpServerRequest::Method::Get)
        return false;
    const auto file = WebPage::find(request.url().path());
    if (!file)
        return false;
    QHttpServerResponder responder = WebFront::responderFor(request, socket);
    WebFront::writeAnswer(responder, 200, file->contentType, file->body);
    return true;
}

} // namespace

int webFront(const std::uint8_t *data, std::size_t size)
{
    WebFuzzRig &rig = WebFuzzRig::instance();
    Console &console = rig.console();
    static const WebApi api({console.clock(), console.programme(), console.today(),
                             console.playback(), console.volume(), console.link(), console.state(),
                             console.emergency()});
    static WebCommands commands(console);
    rig.reset();
    g_previousHandler = qInstallMessageHandler(quietWarnings);
    const QList<RowState> before = rig.states();
    const int volumeBefore = console.volume().value();

    // A fresh front, sessions and log-in limiter for each input: what one
    // input did (a log-in, failed guesses) must not decide the next.
    WebSessions sessions(console.clock());
    WebLoginLimiter limiter(console.clock());
    const WebSessions::Session session = sessions.start();
    int commandsSeen = 0;
    auto front = std::make_unique<WebFront>(
        WebFront::Parts {api,
                         sessions,
                         limiter,
                         [] { return QString(); },
                         [&commandsSeen](const WebRequestLimits::Command &command) {
                             ++commandsSeen;
                             return commands.run(command);
                         },
                         {}});
    front->setPageHandler(servePage);
    auto *server = new MemoryServer;
    front->bind(server);
    QPointer<MemorySocket> socket = new MemorySocket(server);
    server->connectClient(socket);

    Input in(data, size);
    // The client's bytes arrive in pieces of this size.
    const qsizetype piece = qsizetype(in.byte()) + 1;
    QByteArray sent = size > 1
        ? QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1))
        : QByteArray();
    const bool namesSession = sent.contains("%T");
    const bool repeatsCsrf = sent.contains("%C");
    sent.replace("%T", session.id).replace("%C", session.csrfToken);
    for (qsizetype at = 0;
         at < sent.size() && socket && socket->state() == QAbstractSocket::ConnectedState;
         at += piece) {
        socket->feed(sent.mid(at, piece));
        serveQueued(socket);
    }

    QByteArray written;
    if (socket) {
        written = socket->written;
        // The connection ends; a request half read goes with it.
        if (socket->isTransactionStarted())
            socket->commitTransaction();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->disconnectFromHost();
    }
    front.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qInstallMessageHandler(g_previousHandler);

    QList<Answer> answers;
    check(splitAnswers(written, answers), "the front writes whole HTTP answers");
    for (const Answer &answer : std::as_const(answers))
        checkAnswer(answer);

    const MasterVolume &volume = console.volume();
    check(volume.minimum() <= volume.value() && volume.value() <= volume.maximum(),
          "the volume stays in its range");
    const QList<RowState> after = rig.states();
    check(!after.contains(RowState::Done), "no command marks a row done");
    check(rig.officeLines() <= commandsSeen, "only a command carried out is logged");
    if (!namesSession) {
        // Without a session only the log-in and the page's files answer.
        for (const Answer &answer : std::as_const(answers)) {
            if (answer.status != 200 || answer.header("Content-Type") != "application/json")
                continue;
            const QJsonObject body = QJsonDocument::fromJson(answer.body).object();
            check(body.contains(QStringLiteral("token")) && body.contains(QStringLiteral("csrf")),
                  "without a session nothing but a log-in is answered from the API");
        }
    }
    if (!namesSession || !repeatsCsrf) {
        check(commandsSeen == 0, "no command runs without a session and its CSRF token");
        check(rig.officeLines() == 0, "nothing is logged without a session and its CSRF token");
        check(after == before, "no row changes without a session and its CSRF token");
        check(volume.value() == volumeBefore,
              "the volume does not change without a session and its CSRF token");
    }
    return 0;
}

} // namespace Fuzz
