#include "web/websessions.h"

#include "platform/clock.h"

#include <QRandomGenerator>

#include <array>

WebSessions::WebSessions(const Clock &clock)
    : m_clock(clock)
{
}

QByteArray WebSessions::randomToken()
{
    std::array<quint32, 8> words {};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray raw(reinterpret_cast<const char *>(words.data()),
                         static_cast<qsizetype>(sizeof(words)));
    return raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool WebSessions::looksLikeToken(const QByteArray &text)
{
    if (text.size() != TokenLength)
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool WebSessions::expired(const Session &session, const QDateTime &now) const
{
    // Milliseconds since the epoch: a change of the local time (summer time,
    // the operator setting the clock back) neither ends nor lengthens a
    // session by the hour.
    const qint64 t = now.toMSecsSinceEpoch();
    return t - session.lastUsed.toMSecsSinceEpoch() >= qint64(IdleSeconds) * 1000
        || t - session.started.toMSecsSinceEpoch() >= qint64(LifetimeSeconds) * 1000
        || t < session.started.toMSecsSinceEpoch();
}

void WebSessions::dropExpired()
{
    const QDateTime now = m_clock.now();
    m_sessions.removeIf([&](const auto &it) { return expired(it.value(), now); });
}

WebSessions::Session WebSessions::start()
{
    dropExpired();
    while (m_sessions.size() >= MaxSessions) {
        auto oldest = m_sessions.begin();
        for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it) {
            if (it->lastUsed < oldest->lastUsed)
                oldest = it;
        }
        m_sessions.erase(oldest);
    }
    Session s;
    s.id = randomToken();
    s.csrfToken = randomToken();
    s.started = m_clock.now();
    s.lastUsed = s.started;
    m_sessions.insert(s.id, s);
    return s;
}

const WebSessions::Session *WebSessions::use(const QByteArray &id)
{
    if (!looksLikeToken(id))
        return nullptr;
    auto it = m_sessions.find(id);
    if (it == m_sessions.end())
        return nullptr;
    const QDateTime now = m_clock.now();
    if (expired(*it, now)) {
        m_sessions.erase(it);
        return nullptr;
    }
    it->lastUsed = now;
    return &*it;
}

bool WebSessions::isAlive(const QByteArray &id) const
{
    const auto it = m_sessions.constFind(id);
    return it != m_sessions.constEnd() && !expired(*it, m_clock.now());
}

bool WebSessions::csrfMatches(const QByteArray &id, const QByteArray &token) const
{
    if (!looksLikeToken(id) || !looksLikeToken(token))
        return false;
    const auto it = m_sessions.constFind(id);
    if (it == m_sessions.constEnd() || expired(*it, m_clock.now()))
        return false;
    // Both are TokenLength long here.
    unsigned char diff = 0;
    for (qsizetype i = 0; i < TokenLength; ++i)
        diff |= static_cast<unsigned char>(it->csrfToken[i] ^ token[i]);
    return diff == 0;
}

void WebSessions::end(const QByteArray &id)
{
    m_sessions.remove(id);
}

void WebSessions::endAll()
{
    m_sessions.clear();
}

int WebSessions::count() const
{
    const QDateTime now = m_clock.now();
    int n = 0;
    for (const Session &s : m_sessions) {
        if (!expired(s, now))
            ++n;
    }
    return n;
}
