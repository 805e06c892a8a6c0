#pragma once

#include "ctlcommand.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QString>

#include <optional>

// What quellon-ctl prints for the console's answers, and its exit code.
namespace Ctl {

struct Outcome
{
    int exitCode = Done;
    QString out; // standard output
    QString err; // standard error
    bool operator==(const Outcome &) const = default;
};

// One HTTP answer as it arrived.
struct Answer
{
    int status = 0;
    QByteArray body;
    QByteArray retryAfter; // the Retry-After header, if any
};

struct LoginResult
{
    std::optional<Session> session;
    Outcome failure; // when there is no session
};

// The log-in's answer: the session's token and CSRF token, or why not.
LoginResult readLogin(const Options &options, const Answer &answer);

// The answer to the verb's request: a short text in Chinese (or the raw
// JSON with --json), exit code 0; a refusal, exit code 1.
Outcome describe(const Options &options, const Answer &answer);

// A 4xx or 5xx answer: the console's own message, exit code 1.
Outcome refusal(const Options &options, const Answer &answer);

// Nothing answered: the connection failed, or no answer came in time.
Outcome cannotConnect(const Options &options, QNetworkReply::NetworkError error);
Outcome noAnswer(const Options &options);

} // namespace Ctl
