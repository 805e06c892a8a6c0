#include "web/webpassword.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QPasswordDigestor>
#include <QPromise>
#include <QRandomGenerator>
#include <QThreadPool>

#include <memory>
#include <optional>

namespace {

const QString Scheme = QStringLiteral("pbkdf2-sha256");

struct Stored
{
    int iterations = 0;
    QByteArray salt;
    QByteArray hash;
};

QByteArray derive(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, WebPassword::HashBytes);
}

std::optional<QByteArray> decodeBase64(const QString &text)
{
    // Only the characters of standard base64: fromBase64Encoding would
    // otherwise accept text with stray characters in it.
    for (const QChar c : text) {
        const bool ok = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')
            || (c >= u'0' && c <= u'9') || c == u'+' || c == u'/' || c == u'=';
        if (!ok)
            return std::nullopt;
    }
    auto result
        = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return *result;
}

std::optional<Stored> parse(const QString &stored)
{
    const QList<QStringView> parts = QStringView(stored).split(u'$');
    if (parts.size() != 4 || parts[0] != Scheme)
        return std::nullopt;
    // Digits only: toInt would also take a sign or spaces.
    if (parts[1].isEmpty() || parts[1].size() > 7)
        return std::nullopt;
    for (const QChar c : parts[1]) {
        if (!c.isDigit() || c.unicode() > 0x7f)
            return std::nullopt;
    }
    Stored s;
    s.iterations = parts[1].toInt();
    if (s.iterations < WebPassword::MinIterations || s.iterations > WebPassword::MaxIterations)
        return std::nullopt;
    const auto salt = decodeBase64(parts[2].toString());
    const auto hash = decodeBase64(parts[3].toString());
    if (!salt || !hash || salt->size() < 8 || hash->size() != WebPassword::HashBytes)
        return std::nullopt;
    s.salt = *salt;
    s.hash = *hash;
    return s;
}

template<typename T, typename Work> QFuture<T> inBackground(Work work)
{
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)]() {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

bool usablePassword(const QString &password)
{
    return !password.isEmpty() && password.size() <= WebPassword::MaxPasswordLength;
}

// Looks at every byte whatever it finds, so the time taken tells nothing of
// where the first difference lies.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

namespace WebPassword {

QString hash(const QString &password, int iterations)
{
    if (!usablePassword(password) || iterations < MinIterations || iterations > MaxIterations)
        return {};
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(salt.begin(), salt.end());
    const QByteArray digest = derive(password, salt, iterations);
    return Scheme + u'$' + QString::number(iterations) + u'$' + QString::fromLatin1(salt.toBase64())
        + u'$' + QString::fromLatin1(digest.toBase64());
}

bool verify(const QString &password, const QString &stored)
{
    const auto s = parse(stored);
    if (!s || !usablePassword(password))
        return false;
    return sameBytes(derive(password, s->salt, s->iterations), s->hash);
}

QFuture<bool> verifyInBackground(const QString &password, const QString &stored)
{
    return inBackground<bool>([password, stored]() { return verify(password, stored); });
}

QFuture<QString> hashInBackground(const QString &password, int iterations)
{
    return inBackground<QString>([password, iterations]() { return hash(password, iterations); });
}

bool isWellFormed(const QString &stored)
{
    return parse(stored).has_value();
}

} // namespace WebPassword
