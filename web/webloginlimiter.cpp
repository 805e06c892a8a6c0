#include "web/webloginlimiter.h"

#include "platform/clock.h"

#include <algorithm>

namespace {

constexpr qint64 WindowMs = qint64(WebLoginLimiter::WindowSeconds) * 1000;

} // namespace

WebLoginLimiter::WebLoginLimiter(const Clock &clock)
    : m_clock(clock)
{
}

QString WebLoginLimiter::key(const QHostAddress &address)
{
    // An IPv4 client on a dual-stack socket arrives as ::ffff:a.b.c.d; it is
    // the same client as a.b.c.d and must share one count.
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        return QHostAddress(v4).toString();
    QHostAddress plain = address;
    // The scope (interface) of a link-local address does not make another client.
    plain.setScopeId(QString());
    return plain.toString();
}

QList<WebLoginLimiter::Count> WebLoginLimiter::countsOf(const QHostAddress &address)
{
    const QString own = key(address);
    QList<Count> counts {{own, MaxFailures}};
    bool isV4 = false;
    address.toIPv4Address(&isV4);
    if (!isV4 && address.protocol() == QAbstractSocket::IPv6Protocol) {
        Q_IPV6ADDR bytes = address.toIPv6Address();
        for (int i = 8; i < 16; ++i)
            bytes[i] = 0;
        counts.append({QHostAddress(bytes).toString() + QStringLiteral("/64"), MaxPrefixFailures});
    }
    return counts;
}

QList<qint64> WebLoginLimiter::recentFailures(const QString &k, qint64 now) const
{
    const auto it = m_failures.find(k);
    if (it == m_failures.end())
        return {};
    // A failure "in the future" means the clock was set back: from now on
    // it counts as having happened now, so the change neither clears a ban
    // nor makes it last until the clock reaches the old time again.
    for (qint64 &t : *it)
        t = std::min(t, now);
    QList<qint64> recent;
    for (const qint64 t : std::as_const(*it)) {
        if (now - t < WindowMs)
            recent.append(t);
    }
    return recent;
}

bool WebLoginLimiter::allowed(const QHostAddress &address) const
{
    return secondsUntilAllowed(address) == 0;
}

int WebLoginLimiter::secondsUntilAllowed(const QHostAddress &address) const
{
    const qint64 now = m_clock.now().toMSecsSinceEpoch();
    int wait = 0;
    for (const Count &count : countsOf(address))
        wait = std::max(wait, secondsUntilAllowed(count, now));
    return wait;
}

int WebLoginLimiter::secondsUntilAllowed(const Count &count, qint64 now) const
{
    const QList<qint64> recent = recentFailures(count.key, now);
    if (recent.size() < count.limit) {
        // Checks still running count as failures: ask again in a moment.
        return recent.size() + m_pending.value(count.key) < count.limit ? 0 : 1;
    }
    // Allowed again once only limit - 1 of them remain in the window.
    const qint64 freedAt = recent[recent.size() - count.limit] + WindowMs;
    return int((freedAt - now + 999) / 1000);
}

void WebLoginLimiter::recordFailure(const QHostAddress &address)
{
    const qint64 now = m_clock.now().toMSecsSinceEpoch();
    for (const Count &count : countsOf(address)) {
        QList<qint64> recent = recentFailures(count.key, now);
        recent.append(now);
        // Only the last few matter for the decision.
        while (recent.size() > count.limit)
            recent.removeFirst();
        m_failures.insert(count.key, recent);
    }
    if (m_failures.size() > MaxAddresses)
        forgetOld(now);
}

void WebLoginLimiter::recordSuccess(const QHostAddress &address)
{
    m_failures.remove(key(address));
}

bool WebLoginLimiter::begin(const QHostAddress &address)
{
    if (!allowed(address))
        return false;
    for (const Count &count : countsOf(address))
        ++m_pending[count.key];
    return true;
}

void WebLoginLimiter::finish(const QHostAddress &address, bool success)
{
    for (const Count &count : countsOf(address)) {
        auto it = m_pending.find(count.key);
        if (it != m_pending.end() && --*it <= 0)
            m_pending.erase(it);
    }
    if (success)
        recordSuccess(address);
    else
        recordFailure(address);
}

void WebLoginLimiter::forgetOld(qint64 now)
{
    m_failures.removeIf([&](const auto &it) {
        return std::none_of(it.value().begin(), it.value().end(),
                            [&](qint64 t) { return now - t < WindowMs; });
    });
    // Addresses under a ban go last: failing once from many other addresses
    // must not wipe out the ban of the one that guessed.
    const auto banned = [&](const QList<qint64> &times) { return times.size() >= MaxFailures; };
    while (m_failures.size() > MaxAddresses) {
        auto victim = m_failures.begin();
        for (auto it = m_failures.begin(); it != m_failures.end(); ++it) {
            const bool itBanned = banned(*it);
            const bool victimBanned = banned(*victim);
            if ((victimBanned && !itBanned)
                || (victimBanned == itBanned && it->last() < victim->last()))
                victim = it;
        }
        m_failures.erase(victim);
    }
}
