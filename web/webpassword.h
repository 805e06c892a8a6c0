#pragma once

#include <QFuture>
#include <QString>

// The password of the web page, kept in the user store only as a salted,
// deliberately slow hash, so a copy of the store does not give the password
// away:
//
//     pbkdf2-sha256$<iterations>$<salt, base64>$<hash, base64>
//
// The iteration count travels with the hash, so it can be raised later
// without making the passwords already set unusable.
namespace WebPassword {

// Enough to make guessing offline costly (a fifth of a second here): far
// too long for the event loop, so the console hashes and checks on a worker
// thread (verifyInBackground) and the limiter keeps guesses few.
inline constexpr int DefaultIterations = 200000;
// Stored texts with fewer or more iterations than these are refused: too
// few are no protection, too many would let an edited store hang a log-in.
inline constexpr int MinIterations = 1000;
inline constexpr int MaxIterations = 1000000;
inline constexpr int SaltBytes = 16;
inline constexpr int HashBytes = 32;
// Longer passwords are refused rather than hashed: no one types them, and a
// huge one would only cost time.
inline constexpr int MaxPasswordLength = 256;

// The stored text for this password with a fresh random salt; empty when the
// password cannot be used (empty or too long) or the count is out of range.
QString hash(const QString &password, int iterations = DefaultIterations);

// Whether the password matches the stored text. A stored text that is not
// exactly of the form above matches nothing. The comparison of the hashes
// takes the same time wherever they differ.
bool verify(const QString &password, const QString &stored);

// verify() on a worker thread of the global pool, so a log-in never stalls
// the event loop. Take the result with .then(context, ...), which runs on
// the context's thread and not at all once the context is gone.
QFuture<bool> verifyInBackground(const QString &password, const QString &stored);
// hash() likewise, for setting a password.
QFuture<QString> hashInBackground(const QString &password, int iterations = DefaultIterations);

// Whether the stored text is of the form above (a password is set).
bool isWellFormed(const QString &stored);

} // namespace WebPassword
