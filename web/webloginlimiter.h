#pragma once

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>

class Clock;

// Slows down the guessing of the web password: a client address with
// MaxFailures failed log-ins within the window is refused until the oldest
// of them is older than the window. A success clears the address's record.
// An IPv6 client picks its own address out of its network's 64-bit prefix
// at will, so the addresses of one prefix also share a larger count of
// MaxPrefixFailures. Time is the console's Clock.
class WebLoginLimiter
{
public:
    static constexpr int MaxFailures = 5;
    static constexpr int MaxPrefixFailures = 20;
    static constexpr int WindowSeconds = 10 * 60;
    // Addresses remembered at most; beyond, those not refused are forgotten
    // first, the one whose last failure is oldest before the others.
    static constexpr int MaxAddresses = 1024;

    explicit WebLoginLimiter(const Clock &clock);

    // Whether a log-in from this address may be tried now.
    bool allowed(const QHostAddress &address) const;
    // Seconds until allowed() turns true (0 when it is already).
    int secondsUntilAllowed(const QHostAddress &address) const;
    void recordFailure(const QHostAddress &address);
    void recordSuccess(const QHostAddress &address);

    // For a check that ends later (the password is checked on a worker
    // thread): false when the address may not try now; else the attempt
    // counts as a failure until finish() says how it went, so a burst of
    // requests sent before the first answer cannot add up to more guesses.
    bool begin(const QHostAddress &address);
    void finish(const QHostAddress &address, bool success);

private:
    // A record the address counts in, and its number of failures allowed.
    struct Count
    {
        QString key;
        int limit;
    };
    static QList<Count> countsOf(const QHostAddress &address);
    static QString key(const QHostAddress &address);
    int secondsUntilAllowed(const Count &count, qint64 now) const;
    QList<qint64> recentFailures(const QString &key, qint64 now) const;
    void forgetOld(qint64 now);

    const Clock &m_clock;
    // Failure times in milliseconds since the epoch, oldest first; a look
    // at an address brings its times back to now after the clock was set
    // back, hence mutable.
    mutable QHash<QString, QList<qint64>> m_failures;
    QHash<QString, int> m_pending;
};
