// The office web control under load, in the console's own event loop: 200
// WebSocket clients follow the live feed while an API client makes 50
// requests a second (the status, today's list, and a row cancelled and
// restored again with a session), for a minute. The clients run on a thread
// of their own, so their work is not counted against the console. Measured
// in the console's thread: the longest stall of the event loop, and for
// each item the scheduler starts meanwhile, the time from its start second
// to its first frame written to the port.

#include "console/consolerig.h"
#include "platform/clock.h"
#include "stallwatch.h"
#include "support/gbkfiles.h"
#include "web/webserver.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSockets = 200;
constexpr int kRequestsPerSecond = 50;
constexpr int kSpacing = 8; // seconds between two scheduled items
constexpr int kLead = 5; // seconds from the start of the load to the first item

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// The same lines on every day of the week, so the bench runs on any day.
QString everyDay(const QString &lines)
{
    static const char16_t *names[]
        = {u"星期一", u"星期二", u"星期三", u"星期四", u"星期五", u"星期六", u"星期日"};
    QString week;
    for (const char16_t *name : names)
        week += u"00,00,00,"_s + QString::fromUtf16(name) + u",00,00,00,00,00\n"_s + lines;
    return week;
}

// The browsers and the API client of the office, all on the thread this
// object lives in. Everything is counted there and read once the thread has
// ended.
class OfficeLoad final : public QObject
{
public:
    struct Counts
    {
        int socketsOpen = 0; // connected at some time
        int socketsClosed = 0; // closed by the server
        qint64 statusMessages = 0;
        qint64 todayMessages = 0;
        qint64 otherMessages = 0;
        int requests = 0;
        int notSent = 0; // skipped: too many answers still outstanding
        QMap<int, int> byStatus; // HTTP status of the answers (0: no answer)
        QList<double> answerMs;
        bool loggedIn = false;
    };

    // The counts are copied to result when the load ends.
    OfficeLoad(quint16 port, int row, Counts &result)
        : m_port(port)
        , m_row(row)
        , m_result(result)
    {
    }

    void begin()
    {
        m_nam = new QNetworkAccessManager(this);
        m_nam->setProxy(QNetworkProxy::NoProxy);
        QNetworkReply *reply = m_nam->post(
            request(u"/api/v1/login"_s),
            QJsonDocument(QJsonObject {{u"password"_s, u""_s}}).toJson(QJsonDocument::Compact));
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            reply->deleteLater();
            const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
            m_token = answer.value(u"token").toString().toLatin1();
            m_csrf = answer.value(u"csrf").toString().toLatin1();
            m_counts.loggedIn = !m_token.isEmpty();
            openSockets();
            auto *timer = new QTimer(this);
            timer->setTimerType(Qt::PreciseTimer);
            timer->setInterval(1000 / kRequestsPerSecond);
            connect(timer, &QTimer::timeout, this, [this] { nextRequest(); });
            timer->start();
        });
    }

    // Stops asking, closes every socket, hands the counts over and ends the
    // thread, deleting this object on it.
    void end()
    {
        m_ending = true;
        for (QTimer *timer : findChildren<QTimer *>(Qt::FindDirectChildrenOnly))
            timer->stop();
        for (QWebSocket *socket : std::as_const(m_sockets))
            socket->abort();
        for (QNetworkReply *reply : findChildren<QNetworkReply *>())
            reply->abort();
        m_result = m_counts;
        deleteLater();
        QThread::currentThread()->quit();
    }

private:
    QNetworkRequest request(const QString &path) const
    {
        QNetworkRequest r(QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path)));
        r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        if (!m_token.isEmpty())
            r.setRawHeader("Authorization", "Bearer " + m_token);
        if (!m_csrf.isEmpty())
            r.setRawHeader("X-CSRF-Token", m_csrf);
        return r;
    }

    void openSockets()
    {
        for (int i = 0; i < kSockets; ++i) {
            auto *socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
            connect(socket, &QWebSocket::connected, this, [this] { ++m_counts.socketsOpen; });
            connect(socket, &QWebSocket::disconnected, this, [this] {
                if (!m_ending)
                    ++m_counts.socketsClosed;
            });
            connect(socket, &QWebSocket::textMessageReceived, this, [this](const QString &text) {
                const QString type
                    = QJsonDocument::fromJson(text.toUtf8()).object().value(u"type").toString();
                if (type == u"status")
                    ++m_counts.statusMessages;
                else if (type == u"today")
                    ++m_counts.todayMessages;
                else
                    ++m_counts.otherMessages;
            });
            QNetworkRequest r(QUrl(u"ws://127.0.0.1:%1/ws"_s.arg(m_port)));
            if (!m_token.isEmpty())
                r.setRawHeader("Authorization", "Bearer " + m_token);
            socket->open(r);
            m_sockets.append(socket);
        }
    }

    void nextRequest()
    {
        if (m_inFlight >= 2 * kRequestsPerSecond) {
            ++m_counts.notSent;
            return;
        }
        QNetworkReply *reply = nullptr;
        const auto command = [this](const QString &action) {
            const QJsonObject body {{u"action"_s, action}, {u"row"_s, m_row}};
            return m_nam->post(request(u"/api/v1/command"_s),
                               QJsonDocument(body).toJson(QJsonDocument::Compact));
        };
        switch (m_counts.requests++ % 4) {
        case 0:
            reply = m_nam->get(request(u"/api/v1/status"_s));
            break;
        case 1:
            reply = m_nam->get(request(u"/api/v1/today"_s));
            break;
        case 2:
            reply = command(u"cancel"_s);
            break;
        default:
            reply = command(u"restore"_s);
            break;
        }
        ++m_inFlight;
        QElapsedTimer sent;
        sent.start();
        connect(reply, &QNetworkReply::finished, this, [this, reply, sent] {
            --m_inFlight;
            reply->deleteLater();
            if (m_ending)
                return;
            ++m_counts.byStatus[reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()];
            m_counts.answerMs.append(double(sent.nsecsElapsed()) / 1e6);
        });
    }

    quint16 m_port;
    int m_row;
    QNetworkAccessManager *m_nam = nullptr;
    QByteArray m_token;
    QByteArray m_csrf;
    QList<QWebSocket *> m_sockets;
    int m_inFlight = 0;
    bool m_ending = false;
    Counts m_counts;
    Counts &m_result;
};

QString percentile(QList<double> values, int p)
{
    if (values.isEmpty())
        return u"-"_s;
    std::sort(values.begin(), values.end());
    return QString::number(
        values.at(std::min<qsizetype>(values.size() - 1, values.size() * p / 100)), 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    const int seconds = argc > 1 ? std::max(10, atoi(argv[1])) : 60;

    // Items every 8 s through the run on the real clock, each on its own
    // terminals (no amplifier lead: the start's ZoneClose is the first
    // frame of its second), and a row late in the evening for the API to
    // cancel and restore.
    const QDateTime first
        = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + kLead + 2);
    if (first.addSecs(seconds + 60).date() != first.date()
        || first.addSecs(seconds + 60).time() >= QTime(23, 59, 0)) {
        out << "too close to midnight; run again after it\n";
        return 1;
    }
    QList<QDateTime> starts;
    QString lines;
    for (QDateTime at = first; at < first.addSecs(seconds - 2); at = at.addSecs(kSpacing)) {
        starts.append(at);
        lines += at.toString(u"HH:mm:ss"_s)
            + (starts.size() % 2 ? u", 1 ,测量,外设控制, 0 ,00:00:01,1.2.3.,1.,1.\n"_s
                                 : u", 2 ,测量,外设控制, 0 ,00:00:01,4.5.6.,2.,2.\n"_s);
    }
    lines += u"23:59:30, 1 ,晚间,外设控制, 0 ,00:00:01,7.,1.,1.\n"_s;
    const int commandRow = int(starts.size()) + 1;

    ConsoleRig rig;
    GbkFiles::writeText(rig.weekFile, everyDay(lines));
    rig.setting(u"openamptime"_s, u"00:00:00"_s);
    rig.setting(u"closeamptime"_s, u"00:00:02"_s);
    const quint16 port = freePort();
    rig.store.values.insert(u"operation/web_control"_s, u"True"_s);
    rig.store.values.insert(u"operation/web_port"_s, QString::number(port));
    rig.port.clock = [] { return QDateTime::currentMSecsSinceEpoch(); };

    SystemClock clock;
    Console console(Console::Services {clock, rig.dialogs, rig.store, rig.player, rig.mixer,
                                       rig.port, rig.power, rig.launcher, rig.probe,
                                       AppFolder(rig.dir.path())});
    console.startUp();
    WebServer web(console);
    web.follow();
    if (!web.isListening()) {
        out << "the web server does not listen\n";
        return 1;
    }
    out << "web server on port " << web.port() << "; " << starts.size() << " items, one every "
        << kSpacing << " s; " << kSockets << " WebSocket clients and " << kRequestsPerSecond
        << " API requests a second for " << seconds << " s ...\n";
    out.flush();

    QThread clients;
    OfficeLoad::Counts c;
    auto *load = new OfficeLoad(web.port(), commandRow, c);
    load->moveToThread(&clients);
    QObject::connect(&clients, &QThread::finished, load, [] {});
    clients.start();
    QMetaObject::invokeMethod(load, [load] { load->begin(); });

    StallWatch watchdog;
    const qint64 began = QDateTime::currentMSecsSinceEpoch();
    // Beside the watchdog, each gap over 10 ms with when it ended, to tell
    // the clients connecting from the steady load.
    QList<std::pair<double, double>> gaps; // seconds into the run, ms
    QTimer gapTimer;
    QElapsedTimer sinceStart;
    qint64 lastTick = 0;
    gapTimer.setTimerType(Qt::PreciseTimer);
    gapTimer.setInterval(1);
    QObject::connect(&gapTimer, &QTimer::timeout, &app, [&] {
        const qint64 now = sinceStart.nsecsElapsed();
        if (now - lastTick > 10'000'000)
            gaps.append({double(now) / 1e9, double(now - lastTick) / 1e6});
        lastTick = now;
    });
    sinceStart.start();
    gapTimer.start();
    QTimer::singleShot(seconds * 1000, &app, [&] {
        watchdog.stop();
        gapTimer.stop();
        QMetaObject::invokeMethod(load, [load] { load->end(); });
        QCoreApplication::exit(0);
    });
    watchdog.start();
    app.exec();
    clients.wait();
    const double stallMs = watchdog.longestMs();

    // The first write at or after each start second (within two seconds) is
    // that start's first frame.
    QList<double> lateness;
    int missed = 0;
    for (const QDateTime &start : std::as_const(starts)) {
        const qint64 second = start.toMSecsSinceEpoch();
        if (second < began || second > began + qint64(seconds) * 1000)
            continue;
        const auto it = std::find_if(rig.port.events.cbegin(), rig.port.events.cend(),
                                     [second](const FakeSerialPort::Event &e) {
                                         return e.what == u"write" && e.ms >= second;
                                     });
        if (it == rig.port.events.cend() || it->ms > second + 2000)
            ++missed;
        else
            lateness.append(double(it->ms - second));
    }

    out << "logged in: " << (c.loggedIn ? "yes" : "no") << "; sockets connected " << c.socketsOpen
        << " of " << kSockets << ", closed by the server " << c.socketsClosed << "\n";
    out << "feed messages received: " << c.statusMessages << " status, " << c.todayMessages
        << " today, " << c.otherMessages << " other\n";
    out << "API requests: " << c.requests << " sent, " << c.notSent
        << " not sent (too many outstanding); answers by status:";
    for (auto it = c.byStatus.cbegin(); it != c.byStatus.cend(); ++it)
        out << " " << it.key() << "×" << it.value();
    out << "; answer time median " << percentile(c.answerMs, 50) << " ms, 95th percentile "
        << percentile(c.answerMs, 95) << " ms\n";
    out << "items started under the load: " << lateness.size() << " (" << missed
        << " without a frame); first frame after the start second: median "
        << percentile(lateness, 50) << " ms, slowest "
        << (lateness.isEmpty()
                ? u"-"_s
                : QString::number(*std::max_element(lateness.cbegin(), lateness.cend())))
        << " ms (goal: at most 110 ms)\n";
    out << "longest stall of the event loop: " << QString::number(stallMs, 'f', 2)
        << " ms (goal: at most 20 ms)\n";
    out << "gaps over 10 ms: " << gaps.size();
    std::sort(gaps.begin(), gaps.end(),
              [](const auto &a, const auto &b) { return a.second > b.second; });
    for (qsizetype i = 0; i < std::min<qsizetype>(gaps.size(), 5); ++i)
        out << (i ? ", " : "; longest ") << QString::number(gaps.at(i).second, 'f', 1) << " ms at "
            << QString::number(gaps.at(i).first, 'f', 1) << " s";
    out << "\n";
    return 0;
}
