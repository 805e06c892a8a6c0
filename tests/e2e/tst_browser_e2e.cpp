// The office page in a real headless Chromium, against the real console and
// the controller simulator: log in, watch the clock run and a scheduled item
// start, stop it with the page's button and its confirmation, and see the
// controller switched off and the console back in automatic work, with the
// command in the as-run log as coming from the web.

#include "e2einstall.h"
#include "support/gbkfiles.h"
#include "support/testmedia.h"
#include "web/webpassword.h"
#include "webdriver.h"

#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// What the test looks for on the page.
namespace Page {
const QString password = u"#password"_s; // the log-in form's password field
const QString logIn = u"#login-button"_s; // its button
const QString logInForm = u"#login"_s; // shown until logged in
const QString console = u"#console"_s; // everything of the console, shown once logged in
const QString notice = u"#notice"_s; // why a log-in or a command failed
const QString clock = u"#clock"_s; // the console's time
const QString mode = u"#mode"_s; // 自动 or 手动
const QString playingTitle = u"#playing-title"_s; // the title of the item playing
const QString stop = u"#stop"_s; // stops the item playing, after a confirmation
// A row of today's list by its number (1-based); its class names its state.
QString row(int n)
{
    return u"#rows [data-row=\"%1\"]"_s.arg(n);
}
const QString waiting = u"waiting"_s;
const QString started = u"done"_s; // started, or passed over
} // namespace Page

const QString kPassword = u"广播-2026"_s;

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

struct ApiAnswer
{
    int status = 0;
    QJsonObject body;
};

} // namespace

class tst_BrowserE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void logIn_data();
    void logIn();
    void clockRuns();
    void itemShownPlaying();
    void stopFromThePage_data();
    void stopFromThePage();
    void consoleStopped();
    void workStaysAutomatic();

private:
    // Polls check every 100 ms until it holds or the time is up.
    bool waitUntil(const std::function<bool()> &check, int timeoutMs);
    ApiAnswer api(const QByteArray &method, const QString &path, const QJsonObject &body = {});
    int webLinesInAsRunLog() const;
    // Whether the page shows the scheduled item as the one playing.
    bool playingShown();

    std::unique_ptr<E2eInstall> m_install;
    WebDriver m_browser;
    QNetworkAccessManager m_nam;
    QDateTime m_start;
    quint16 m_port = 0;
    QString m_token;
    qsizetype m_stopFrom = 0; // the simulator's lines before the stop
    int m_webLinesBefore = 0;
};

void tst_BrowserE2e::initTestCase()
{
    QString why;
    if (!WebDriver::available(&why))
        QSKIP(qPrintable(why));
    QUELLON_NEED_SOUND_SERVER();
    m_nam.setProxy(QNetworkProxy::NoProxy);
    m_install = std::make_unique<E2eInstall>();
    E2eInstall &install = *m_install;

    const QString song = install.path(u"song/上课铃.wav"_s);
    GbkFiles::writeBytes(song, TestMedia::wav(60.0, 440.0, 8000));
    GbkFiles::writeText(install.path(u"node.txt"_s),
                        u"\"一班\",\"1\",\"1\"\n\"二班\",\"2\",\"1\"\n\"操场\",\"17\",\"2\"\n"_s);
    install.writeOneFrequency(2, u"87.5"_s);
    // One item a minute long, due once the console and the browser are up
    // and logged in.
    m_start = sameDayStart(25, 120);
    if (!m_start.isValid())
        QSKIP("too close to midnight for a same-day item");
    GbkFiles::writeText(
        install.path(u"week.txt"_s),
        weekWithOneEntry(m_start, u", 2 ,上课,"_s + song + u", 16000 ,00:01:00,1.17.,3.,5."_s));
    install.writeStore({{u"defaultweekfile"_s, install.path(u"week.txt"_s)},
                        {u"openamptime"_s, u"00:00:02"_s},
                        {u"closeamptime"_s, u"00:00:02"_s}});
    m_port = freePort();
    QVERIFY(m_port != 0);
    {
        // Web control on, on a port of this test's own, with a password.
        QSettings store(install.path(u"config/broadcast/broadcast.conf"_s), QSettings::IniFormat);
        store.setValue(u"operation/web_control"_s, u"True"_s);
        store.setValue(u"operation/web_port"_s, QString::number(m_port));
        store.setValue(u"operation/web_password"_s, WebPassword::hash(kPassword));
        store.sync();
        QCOMPARE(store.status(), QSettings::NoError);
    }
    QVERIFY(install.startSimulator());
    QVERIFY(install.startConsole());

    QVERIFY2(m_browser.start(), qPrintable(m_browser.lastError()));
    const QString url = u"http://127.0.0.1:%1/"_s.arg(m_port);
    QVERIFY2(m_browser.navigate(url), qPrintable(m_browser.lastError()));
    QVERIFY2(waitUntil([this] { return !m_browser.find(Page::password).isEmpty(); }, 10000),
             qPrintable(m_browser.lastError()));
}

void tst_BrowserE2e::cleanupTestCase()
{
    m_browser.quit();
    m_install.reset();
}

bool tst_BrowserE2e::waitUntil(const std::function<bool()> &check, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!check()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(100);
    }
    return true;
}

ApiAnswer tst_BrowserE2e::api(const QByteArray &method, const QString &path,
                              const QJsonObject &body)
{
    QNetworkRequest request(QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (!m_token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + m_token.toLatin1());
    QNetworkReply *reply = m_nam.sendCustomRequest(
        request, method, method == "GET" ? QByteArray() : QJsonDocument(body).toJson());
    ApiAnswer answer;
    if (QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000)) {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = QJsonDocument::fromJson(reply->readAll()).object();
    }
    reply->abort();
    reply->deleteLater();
    return answer;
}

int tst_BrowserE2e::webLinesInAsRunLog() const
{
    QFile log(m_install->path(u"log/"_s + m_start.date().toString(u"yyyyMMdd"_s) + u".csv"_s));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return int(QString::fromUtf8(log.readAll()).split(u'\n').filter(u"网页"_s).size());
}

void tst_BrowserE2e::logIn_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("admitted");
    // A wrong password first: the form stays, says why, and shows nothing
    // of the console.
    QTest::newRow("wrong password") << u"广播-2025"_s << false;
    QTest::newRow("right password") << kPassword << true;
}

void tst_BrowserE2e::logIn()
{
    QFETCH(QString, typed);
    QFETCH(bool, admitted);
    const QString field = m_browser.find(Page::password);
    QVERIFY2(!field.isEmpty(), qPrintable(m_browser.lastError()));
    QVERIFY(m_browser
                .execute(u"arguments[0].value = '';"_s,
                         {QJsonObject {{WebDriver::elementKey(), field}}})
                .has_value());
    QVERIFY2(m_browser.sendKeys(field, typed), qPrintable(m_browser.lastError()));
    QVERIFY2(m_browser.click(m_browser.find(Page::logIn)), qPrintable(m_browser.lastError()));
    if (admitted) {
        QVERIFY2(
            waitUntil(
                [this] { return !m_browser.textOf(Page::clock).value_or(QString()).isEmpty(); },
                10000),
            qPrintable(m_browser.lastError()));
        QCOMPARE(m_browser.displayedOf(Page::logInForm), std::optional<bool>(false));
        QCOMPARE(m_browser.displayedOf(Page::console), std::optional<bool>(true));
    } else {
        QVERIFY2(
            waitUntil(
                [this] { return !m_browser.textOf(Page::notice).value_or(QString()).isEmpty(); },
                10000),
            qPrintable(m_browser.lastError()));
        QCOMPARE(m_browser.displayedOf(Page::logInForm), std::optional<bool>(true));
        QCOMPARE(m_browser.displayedOf(Page::console), std::optional<bool>(false));
        QVERIFY(m_browser.textOf(Page::clock).value_or(u"(gone)"_s).isEmpty());
    }
}

void tst_BrowserE2e::clockRuns()
{
    static const QRegularExpression time(u"^\\d\\d:\\d\\d:\\d\\d$"_s);
    QString first;
    QVERIFY2(waitUntil(
                 [&] {
                     first = m_browser.textOf(Page::clock).value_or(QString());
                     return time.match(first).hasMatch();
                 },
                 3000),
             qPrintable(first));
    // The feed brings a new time every second, the console's own.
    QString second;
    QVERIFY2(waitUntil(
                 [&] {
                     second = m_browser.textOf(Page::clock).value_or(QString());
                     return second != first;
                 },
                 3000),
             qPrintable(first));
    QVERIFY2(time.match(second).hasMatch(), qPrintable(second));
    const QTime shown = QTime::fromString(second, u"HH:mm:ss"_s);
    QVERIFY2(qAbs(shown.secsTo(QTime::currentTime())) <= 2, qPrintable(second));
}

void tst_BrowserE2e::itemShownPlaying()
{
    const QString row = Page::row(1);
    QVERIFY2(!m_browser.find(row).isEmpty(), qPrintable(m_browser.lastError()));
    const auto rowClass = [&] {
        const QString element = m_browser.find(row);
        return m_browser.property(element, u"className"_s).value_or(QJsonValue()).toString();
    };
    QVERIFY2(rowClass().contains(Page::waiting), qPrintable(rowClass()));
    QVERIFY(!m_browser.textOf(Page::playingTitle).value_or(QString()).contains(u"上课"_s));
    QVERIFY(QDateTime::currentDateTime() < m_start); // still before the item
    QVERIFY2(waitUntil([&] { return rowClass().contains(Page::started); },
                       int(QDateTime::currentDateTime().msecsTo(m_start)) + 15000),
             qPrintable(rowClass()));
    QVERIFY(m_install->waitSimulator(u"ZoneOpen 87.5 MHz nodes 1.17."_s, 10000));
    QVERIFY2(waitUntil([&] { return playingShown(); }, 10000),
             qPrintable(m_browser.textOf(Page::playingTitle).value_or(u"(none)"_s)));
}

bool tst_BrowserE2e::playingShown()
{
    return m_browser.textOf(Page::playingTitle).value_or(QString()).contains(u"上课"_s);
}

void tst_BrowserE2e::stopFromThePage_data()
{
    QTest::addColumn<bool>("confirmed");
    // Refused at the confirmation first: nothing may happen.
    QTest::newRow("refused") << false;
    QTest::newRow("confirmed") << true;
}

void tst_BrowserE2e::stopFromThePage()
{
    QFETCH(bool, confirmed);
    // The start's repeats (one every two seconds, three of them) are over
    // before the stop, so the frames below are the stop's alone.
    QTest::qWait(
        int(std::max<qint64>(0, QDateTime::currentDateTime().msecsTo(m_start.addSecs(8)))));
    m_install->readSimulator();
    m_stopFrom = m_install->simulatorLines().size();
    m_webLinesBefore = webLinesInAsRunLog();
    const QString stop = m_browser.find(Page::stop);
    QVERIFY2(!stop.isEmpty(), qPrintable(m_browser.lastError()));
    QVERIFY2(m_browser.click(stop), qPrintable(m_browser.lastError()));
    // Nothing happens before the operator answers.
    QVERIFY2(waitUntil([this] { return m_browser.alertText().has_value(); }, 5000),
             qPrintable(m_browser.lastError()));
    const QString question = m_browser.alertText().value_or(QString());
    QVERIFY2(question.contains(u"停止"_s), qPrintable(question));
    QTest::qWait(500);
    m_install->readSimulator();
    QVERIFY(m_install->framesSince(m_stopFrom).isEmpty());
    QVERIFY2(confirmed ? m_browser.acceptAlert() : m_browser.dismissAlert(),
             qPrintable(m_browser.lastError()));

    if (!confirmed) {
        QTest::qWait(2000);
        m_install->readSimulator();
        QVERIFY2(m_install->framesSince(m_stopFrom).isEmpty(),
                 qPrintable(m_install->framesSince(m_stopFrom).join(u'\n')));
        QVERIFY(playingShown());
        QCOMPARE(webLinesInAsRunLog(), m_webLinesBefore);
        return;
    }

    // What the item switched on goes off at once, long before its minute.
    QVERIFY(m_install->waitSimulator(u"ZoneClose nodes 1.17."_s, 5000));
    QVERIFY(m_install->waitSimulator(u"DeviceClose"_s, 5000));
    QVERIFY(m_install->waitSimulator(u"AmpClose"_s, 5000));
    const QStringList frames = m_install->framesSince(m_stopFrom);
    QVERIFY2(frames.filter(u"DeviceClose 5."_s).size() == 1, qPrintable(frames.join(u'\n')));
    QVERIFY2(frames.filter(u"AmpClose 3."_s).size() == 1, qPrintable(frames.join(u'\n')));
    QVERIFY2(frames.filter(u"Open"_s).isEmpty(), qPrintable(frames.join(u'\n')));
    QVERIFY(QDateTime::currentDateTime() < m_start.addSecs(30));

    // The page follows: nothing is playing any more.
    QVERIFY2(waitUntil([this] { return !playingShown(); }, 5000),
             qPrintable(m_browser.textOf(Page::playingTitle).value_or(u"(none)"_s)));
}

void tst_BrowserE2e::consoleStopped()
{
    // The simulator agrees that everything is off, and stays so.
    QTest::qWait(2000);
    m_install->simulatorCommand(u"state"_s);
    QVERIFY(m_install->waitSimulator(u"state nodes - amps - devices -"_s));

    // The API, with a session of its own, sees the console stopped.
    const ApiAnswer login = api("POST", u"/api/v1/login"_s, {{u"password"_s, kPassword}});
    QCOMPARE(login.status, 200);
    m_token = login.body.value(u"token").toString();
    QVERIFY(!m_token.isEmpty());
    const ApiAnswer status = api("GET", u"/api/v1/status"_s);
    QCOMPARE(status.status, 200);
    const QJsonObject playing = status.body.value(u"playing").toObject();
    QVERIFY2(playing.contains(u"active"), QJsonDocument(status.body).toJson().constData());
    QCOMPARE(playing.value(u"active").toBool(true), false);

    // The stop is in the as-run log, as coming from the web.
    QTRY_VERIFY_WITH_TIMEOUT(webLinesInAsRunLog() > m_webLinesBefore, 5000);
}

void tst_BrowserE2e::workStaysAutomatic()
{
    // A stop from the page is the remote's stop key: the work status is
    // automatic afterwards, so the next items still start by themselves.
    // The API says so and the page shows it.
    const ApiAnswer status = api("GET", u"/api/v1/status"_s);
    QCOMPARE(status.status, 200);
    QVERIFY2(status.body.value(u"mode").toString() == u"auto",
             QJsonDocument(status.body).toJson().constData());
    QCOMPARE(m_browser.textOf(Page::mode).value_or(u"(gone)"_s), u"自动"_s);
}

QTEST_GUILESS_MAIN(tst_BrowserE2e)
#include "tst_browser_e2e.moc"
