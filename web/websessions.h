#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>

class Clock;

// The signed-in browsers and API clients. A session is known by a random id
// (the cookie, or the bearer token of the API) and carries a second random
// token that every command must repeat, so a page elsewhere that makes the
// browser send the cookie still cannot command the console.
//
// A session ends when it has not been used for the idle time, or at the
// latest after the longest lifetime, whichever comes first, and when the
// clock is set back to before its start; time is the console's Clock.
class WebSessions
{
public:
    static constexpr int IdleSeconds = 30 * 60;
    static constexpr int LifetimeSeconds = 12 * 60 * 60;
    // Log-ins beyond this many sessions end the longest idle one, so a
    // flood of log-ins cannot fill the memory.
    static constexpr int MaxSessions = 64;
    // 32 random bytes in base64url without padding.
    static constexpr int TokenLength = 43;

    struct Session
    {
        QByteArray id;
        QByteArray csrfToken;
        QDateTime started;
        QDateTime lastUsed;
    };

    explicit WebSessions(const Clock &clock);

    // A new session with a fresh id and token.
    Session start();
    // The session with this id if it is still alive, and marks it used now;
    // nothing when the id is unknown, malformed or its session has ended.
    const Session *use(const QByteArray &id);
    // Whether the session with this id is alive, without marking it used
    // (the live feed asks once a second: watching is not using).
    bool isAlive(const QByteArray &id) const;
    // Whether the token is the one of the live session with this id; the
    // tokens are compared in the same time wherever they differ.
    bool csrfMatches(const QByteArray &id, const QByteArray &token) const;
    void end(const QByteArray &id);
    // Every session ends, as when the password is changed or the web
    // control is switched off.
    void endAll();
    // Sessions still alive now.
    int count() const;

    static QByteArray randomToken();
    static bool looksLikeToken(const QByteArray &text);

private:
    bool expired(const Session &session, const QDateTime &now) const;
    void dropExpired();

    const Clock &m_clock;
    QHash<QByteArray, Session> m_sessions;
};
