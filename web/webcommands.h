#pragma once

#include "web/webrequestlimits.h"

#include <optional>

class Console;

// The commands of the office page, carried out through the console's own
// methods, the ones the main window's buttons and the remote keys call, so
// that the main window shows each at once. Each command that is carried out
// is written to the as-run log with the origin 网页 before it acts, so its
// line comes before the frames it sends.
class WebCommands
{
public:
    explicit WebCommands(Console &console);

    // Nothing when the command was carried out; else why not (404
    // unknown_row for a row past today's list, 409 not_possible when the
    // row's state does not allow it or the console is ending).
    std::optional<WebRequestLimits::Refusal> run(const WebRequestLimits::Command &command);

    // The origin written to the as-run log.
    static QString origin() { return QStringLiteral("网页"); }

private:
    void record(const QString &text);
    QString rowText(int row) const;

    Console &m_console;
};
