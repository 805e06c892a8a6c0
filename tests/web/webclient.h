#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QString>

// A client of the console's web server for the tests: one request at a
// time, waited for on the test's event loop, with the answer's status,
// headers and JSON body.
class WebClient
{
public:
    struct Result
    {
        int status = 0;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray raw;
        QJsonObject body;
        bool json = false; // the body is one JSON object
        QByteArray header(const QByteArray &name) const;
    };
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    WebClient();

    void setPort(quint16 port) { m_port = port; }
    // No cookie jar: a test sends the cookie it means to.
    Result request(const QByteArray &method, const QString &path, const QByteArray &body = {},
                   const Headers &headers = {});
    // POST with Content-Type application/json.
    Result postJson(const QString &path, const QByteArray &body, const Headers &headers = {});

    struct Session
    {
        QByteArray token;
        QByteArray csrf;
        bool ok() const { return !token.isEmpty(); }
    };
    Session logIn(const QString &password = {});
    // The headers of a command in a session: bearer token and CSRF token.
    static Headers bearer(const Session &session);

private:
    QNetworkAccessManager m_nam;
    quint16 m_port = 0;
};
