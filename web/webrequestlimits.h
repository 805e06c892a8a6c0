#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// What a request's body may be before anything acts on it. A command names
// its action from a fixed list and a row by its number; no text from the
// request is passed on, so none can reach a file, a path or the wire.
namespace WebRequestLimits {

// Larger bodies are refused unread: a command is a few dozen bytes.
inline constexpr qsizetype MaxBodyBytes = 4096;
// Rows are numbered from 1 as the operator sees them in today's list; the
// list itself says later whether the row exists.
inline constexpr int MaxRow = 100000;

enum class Action {
    Stop, // stop the item playing
    Cancel, // cancel a row of today's list
    Restore, // restore a cancelled row
    Play, // play a row by hand
    VolumeUp,
    VolumeDown,
    AllOn, // the remote keys' "all on"
    AllOff, // the remote keys' "all off"
    EmergencyStart, // 紧急广播
    EmergencyEnd, // 结束紧急广播
};

struct Command
{
    Action action = Action::Stop;
    int row = 0; // 0 for actions without a row
    bool operator==(const Command &) const = default;
};

// Why a request was refused: the HTTP status, a code for programs and a
// message for the operator.
struct Refusal
{
    int status = 400;
    QString code;
    QString message;
    bool operator==(const Refusal &) const = default;
};

template<typename T> struct Parsed
{
    std::optional<T> value;
    Refusal refusal; // meaningful when value is empty
    explicit operator bool() const { return value.has_value(); }
};

// The action's name in the API ("stop", "cancel", ...) and back; names
// outside the list give nothing.
QString actionName(Action action);
std::optional<Action> actionFromName(QStringView name);
bool needsRow(Action action);

// Whether the Content-Type says JSON (parameters such as charset allowed).
// Commands demand it: a form on another site cannot send it without the
// browser asking the console first.
bool isJsonContentType(const QByteArray &contentType);

// Whether a Host header names this computer itself: localhost or a
// loopback address, with or without a port. Without a password anything on
// this computer may log in, a browser's page of any site included: a site
// whose name it makes resolve to 127.0.0.1 still sends its own name here.
bool isLoopbackHost(const QByteArray &host);

// A command body: {"action": "<name>"} or {"action": "<name>", "row": N},
// nothing else. Refuses bodies too large, not JSON, not an object, with
// other members, an unknown action, a row missing, out of range, not a
// whole number, or given to an action that takes none.
Parsed<Command> parseCommand(const QByteArray &contentType, const QByteArray &body);

// A log-in body: {"password": "<text>"}. The password only goes to the
// hash; it is refused when too long. It may be empty: that is the log-in
// while no password is set.
Parsed<QString> parseLogin(const QByteArray &contentType, const QByteArray &body);

// The JSON body of a refusal: {"error": code, "message": message}.
QByteArray refusalBody(const Refusal &refusal);

} // namespace WebRequestLimits
