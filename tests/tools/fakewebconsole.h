#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

class QTcpServer;

// The console's web control as a client sees it, for testing quellon-ctl:
// it records every request as it arrived and answers as the console does
// (log-in, sessions by bearer token or cookie, CSRF on every command, the
// refusals with their JSON errors), over a list of three rows.
class FakeWebConsole final : public QAbstractHttpServer
{
public:
    struct Received
    {
        QByteArray method;
        QString path;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // The value of a header (names compared without case), and how
        // often it came.
        QByteArray header(const QByteArray &name) const;
        int count(const QByteArray &name) const;
    };

    // How the log-in goes.
    enum class Login {
        Normal,
        Throttled, // 429 too_many_attempts, Retry-After 600
        ForgetsSessions, // a session is gone before the next request
        OtherCsrf, // the CSRF token handed out is not the one checked
    };

    static constexpr char kToken[] = "dG9rZW4tMDEyMzQ1Njc4OS1hYmNkZWZnaGlqa2xtbm8";
    static constexpr char kCsrf[] = "Y3NyZi0wMTIzNDU2Nzg5LWFiY2RlZmdoaWprbG1ub3A";

    FakeWebConsole();

    bool listen();
    quint16 port() const;

    void setPassword(const QString &password) { m_password = password; }
    void setLogin(Login login) { m_login = login; }

    const QList<Received> &received() const { return m_received; }
    // The states of the three rows: waiting, done, cancelled at the start.
    QStringList states() const { return m_states; }

    static QByteArray todayBody(const QStringList &states);
    static QByteArray statusBody();

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    Reply answer(const Received &request);
    Reply command(const QByteArray &body);
    static Reply refusal(int status, const char *code, const QString &message);

    QTcpServer *m_server = nullptr;
    QString m_password;
    Login m_login = Login::Normal;
    bool m_loggedIn = false;
    QStringList m_states {QStringLiteral("waiting"), QStringLiteral("done"),
                          QStringLiteral("cancelled")};
    QList<Received> m_received;
};
