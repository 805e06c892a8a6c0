#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

// What quellon-ctl was asked to do, and the HTTP requests that do it. Kept
// apart from the network so that every argument and every byte sent can be
// checked without a console.
namespace Ctl {

// The exit codes scripts test.
enum ExitCode {
    Done = 0,
    Refused = 1, // the console answered with a refusal (or an answer we cannot read)
    Usage = 2, // bad arguments, or the password file cannot be read
    NoConnection = 3, // nothing answered: refused, host unknown, closed, no answer in time
};

enum class Verb {
    Status,
    Next,
    Today,
    Stop,
    Cancel,
    Restore,
    Play,
    VolumeUp,
    VolumeDown,
    AllOn,
    AllOff,
};

inline constexpr quint16 kDefaultPort = 8530;
inline constexpr int kDefaultTimeoutSeconds = 10;
// The console numbers rows from 1 and refuses anything past its list; this
// only keeps absurd numbers from being sent at all.
inline constexpr int kMaxRow = 100000;

struct Options
{
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = kDefaultPort;
    QString passwordFile; // empty: QUELLON_PASSWORD, else the empty password
    bool json = false;
    int timeoutSeconds = kDefaultTimeoutSeconds;
    Verb verb = Verb::Status;
    int row = 0; // 1-based, for cancel, restore and play
    bool operator==(const Options &) const = default;
};

struct Parsed
{
    enum class Kind { Run, Help, Usage };
    Kind kind = Kind::Usage;
    Options options;
    QString error; // for Usage: what is wrong, in Chinese
};

// The arguments after the program's name. Options may stand before or
// after the command. A password is never taken from the command line, where
// every user of the machine can read it.
Parsed parseArguments(const QStringList &arguments);

// The text of --help.
QString helpText();

// The verb's name on the command line ("volume-up") and the action's name
// in the console's API ("volume_up"; empty for the reads).
QString verbName(Verb verb);
QString actionName(Verb verb);
bool takesRow(Verb verb);
bool isRead(Verb verb);

struct Request
{
    QByteArray method;
    QString path;
    QByteArray body; // JSON; empty for a GET
    bool session = false; // sends Authorization: Bearer
    bool csrf = false; // sends X-CSRF-Token
    bool operator==(const Request &) const = default;
};

// The session the log-in gave, kept in memory only.
struct Session
{
    QByteArray token;
    QByteArray csrf;
};

// A session or CSRF token as the console makes them (URL-safe base64);
// anything else is never put into a header.
bool isTokenText(const QByteArray &text);

Request loginRequest(const QString &password);
// The request that carries out the verb (status and next both read the status).
Request verbRequest(const Options &options);
// Ends the session at once instead of leaving it to expire.
Request logoutRequest();

using HeaderList = QList<QPair<QByteArray, QByteArray>>;
// The headers a request is sent with, beyond those HTTP itself needs.
HeaderList headersFor(const Request &request, const Session &session);

QUrl urlFor(const Options &options, const Request &request);

// The password: the first line of the file named by --password-file (its
// line end dropped), else the environment's QUELLON_PASSWORD, else empty.
struct Password
{
    bool ok = false;
    QString text;
    QString error; // when not ok, in Chinese
};
Password passwordFromFileContent(const QByteArray &content);
Password readPassword(const Options &options, const QByteArray &environmentPassword,
                      bool environmentHasPassword);

} // namespace Ctl
