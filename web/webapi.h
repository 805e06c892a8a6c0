#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class Clock;
class ConsoleState;
class EmergencyBroadcast;
class MasterVolume;
class PlaybackEngine;
class ProgrammeModel;
class TodaySchedule;
class ZoneLink;

// The JSON API of the office page: a request (method, path, body) in, a
// status and a JSON object out. It reads the console's own objects and owns
// no socket, so the HTTP front and the tests hand it requests alike.
class WebApi
{
public:
    struct Parts
    {
        const Clock &clock;
        const ProgrammeModel &programme;
        const TodaySchedule &today;
        const PlaybackEngine &playback;
        const MasterVolume &volume;
        const ZoneLink &link;
        const ConsoleState &state; // automatic or manual work
        const EmergencyBroadcast &emergency;
    };

    struct Reply
    {
        int status = 200;
        QJsonObject body;
    };

    // Every path of the API starts with this.
    static QString prefix() { return QStringLiteral("/api/v1/"); }

    explicit WebApi(const Parts &parts);

    // Unknown paths are 404 and known paths asked with another method 405,
    // each with {"error": ...}; nothing a request says is used beyond
    // choosing among the known paths.
    Reply handle(const QByteArray &method, const QString &path, const QByteArray &body) const;

    QJsonObject status() const;
    QJsonObject today() const;

    // A refusal: {"error": code, "message": the operator's words}.
    static Reply error(int status, const QString &code, const QString &message);
    // 404 for a path that is none of the API's.
    static Reply notFound();

private:
    Parts m_p;
};
