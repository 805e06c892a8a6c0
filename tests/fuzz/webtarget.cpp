// Fuzz target for the bodies the web control accepts: whatever the bytes,
// a body is either refused with a 4xx and a JSON error, or it becomes a
// command from the fixed list with a row in range, exactly the command that
// its own re-encoding gives again.

#include "fuzzinput.h"
#include "fuzztargets.h"

#include "web/webpassword.h"
#include "web/webrequestlimits.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace WebRequestLimits;

namespace Fuzz {
namespace {

void checkRefusal(const Refusal &refusal)
{
    check(refusal.status == 400 || refusal.status == 413 || refusal.status == 415,
          "a refusal is 400, 413 or 415");
    check(!refusal.code.isEmpty() && !refusal.message.isEmpty(), "a refusal says why");
    const QJsonDocument doc = QJsonDocument::fromJson(refusalBody(refusal));
    check(doc.isObject() && doc.object().value(QStringLiteral("error")).toString() == refusal.code,
          "a refusal's body is JSON naming its code");
}

} // namespace

int webBodies(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    static const QByteArray types[]
        = {"application/json", "application/json; charset=utf-8", "text/plain", ""};
    const QByteArray type = types[in.byte() % std::size(types)];
    const QByteArray body = size > 1
        ? QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1))
        : QByteArray();

    const Parsed<Command> command = parseCommand(type, body);
    if (!command) {
        checkRefusal(command.refusal);
    } else {
        check(body.size() <= MaxBodyBytes, "a command fits the cap");
        check(isJsonContentType(type), "a command came as JSON");
        const Command c = *command.value;
        const QString name = actionName(c.action);
        check(!name.isEmpty() && actionFromName(name) == c.action, "the action is on the list");
        check(needsRow(c.action) ? (c.row >= 1 && c.row <= MaxRow) : c.row == 0,
              "a row is in range, and only where the action takes one");
        QJsonObject again {{QStringLiteral("action"), name}};
        if (needsRow(c.action))
            again.insert(QStringLiteral("row"), c.row);
        const Parsed<Command> reparsed
            = parseCommand(type, QJsonDocument(again).toJson(QJsonDocument::Compact));
        check(reparsed && *reparsed.value == c, "the command's own encoding gives it back");
    }

    const Parsed<QString> login = parseLogin(type, body);
    if (!login) {
        checkRefusal(login.refusal);
    } else {
        // An empty password is accepted: it is the log-in while no password
        // is set.
        check(login.value->size() <= WebPassword::MaxPasswordLength, "a password is not too long");
        check(isJsonContentType(type), "a log-in came as JSON");
    }
    return 0;
}

} // namespace Fuzz
