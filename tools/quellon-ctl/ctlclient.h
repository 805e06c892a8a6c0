#pragma once

#include "ctlreply.h"

#include <QNetworkAccessManager>

#include <functional>

// quellon-ctl's conversation with the console: log in, send the one
// request, log out, then say what happened. Everything waits on the
// event loop; nothing is written to disk, the session lives in memory only.
class CtlClient
{
public:
    using Done = std::function<void(const Ctl::Outcome &)>;

    CtlClient();

    // Calls done once, from the event loop, with what to print and the exit code.
    void run(const Ctl::Options &options, const QString &password, Done done);

private:
    using OnAnswer = std::function<void(const Ctl::Answer &)>;
    using OnFailure = std::function<void(const Ctl::Outcome &)>;

    void send(const Ctl::Request &request, OnAnswer onAnswer, OnFailure onFailure);
    void sendVerb();
    void finish(const Ctl::Outcome &outcome);

    QNetworkAccessManager m_nam;
    Ctl::Options m_options;
    Ctl::Session m_session;
    Done m_done;
};
