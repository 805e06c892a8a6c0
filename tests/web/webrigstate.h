#pragma once

#include "consolerig.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>

// What a refused request must leave as it was: the frames on the wire and
// in the link's queue, every file of the application folder (the as-run log
// among them), today's rows, the volume and the player.
struct WebRigState
{
    explicit WebRigState(ConsoleRig &rig);

    QList<QByteArray> frames; // the port's writes, then "queued N"
    QMap<QString, QByteArray> files; // relative path -> content
    QStringList rows; // the state of each row
    int volume = 0;
    QStringList player; // the player's calls
};
