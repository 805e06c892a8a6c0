#include "ctlclient.h"

#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QTimer>

using namespace Ctl;

CtlClient::CtlClient()
{
    // The console is on this machine or on the school's network, reached
    // directly: a proxy would only see the password go past.
    m_nam.setProxy(QNetworkProxy::NoProxy);
}

void CtlClient::run(const Options &options, const QString &password, Done done)
{
    m_options = options;
    m_done = std::move(done);
    send(
        loginRequest(password),
        [this](const Answer &answer) {
            const LoginResult login = readLogin(m_options, answer);
            if (!login.session) {
                finish(login.failure);
                return;
            }
            m_session = *login.session;
            sendVerb();
        },
        [this](const Outcome &failure) { finish(failure); });
}

void CtlClient::sendVerb()
{
    send(
        verbRequest(m_options),
        [this](const Answer &answer) {
            const Outcome outcome = describe(m_options, answer);
            // The session is ended whatever the answer; a failed log-out
            // changes nothing of what the command did.
            const auto end = [this, outcome](const auto &) { finish(outcome); };
            send(logoutRequest(), end, end);
        },
        [this](const Outcome &failure) { finish(failure); });
}

void CtlClient::send(const Request &request, OnAnswer onAnswer, OnFailure onFailure)
{
    QNetworkRequest req(urlFor(m_options, request));
    for (const auto &[name, value] : headersFor(request, m_session))
        req.setRawHeader(name, value);
    // The session travels in the Authorization header alone: the cookie the
    // log-in sets is neither kept nor sent back.
    req.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    req.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    // A redirect is an answer of its own, never followed with the token.
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = request.method == "GET"
        ? m_nam.get(req)
        : m_nam.sendCustomRequest(req, request.method, request.body);

    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    auto timedOut = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    timer->start(m_options.timeoutSeconds * 1000);

    QObject::connect(
        reply, &QNetworkReply::finished, &m_nam, [this, reply, timedOut, onAnswer, onFailure] {
            reply->deleteLater();
            const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
            if (*timedOut) {
                onFailure(noAnswer(m_options));
            } else if (status.isValid() && status.toInt() > 0) {
                onAnswer({status.toInt(), reply->readAll(),
                          reply->rawHeader(QByteArrayLiteral("Retry-After"))});
            } else {
                onFailure(cannotConnect(m_options, reply->error()));
            }
        });
}

void CtlClient::finish(const Outcome &outcome)
{
    m_session = {};
    if (m_done)
        std::exchange(m_done, nullptr)(outcome);
}
