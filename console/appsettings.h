#pragma once

#include "console/seasontimetables.h"

#include <QList>
#include <QString>

#include <array>

// The settings every window reads, loaded once at start-up. Arrays indexed by
// channel, device or group number keep index 0 unused so that the numbers of
// the operator's world index them directly.
struct AppSettings
{
    // From the per-user store, section "setting".
    QString BackImagePath = QStringLiteral("clouds.bmp");
    QString UserName = QStringLiteral("新用户");
    bool ShowWholeList = true;
    bool WeekMode = true;
    QString DateFilePath;
    QString WeekFilePath;
    bool AutoShutdown = false;
    bool AutoSetPowerOnTime = true;
    QString ComPort = QStringLiteral("com1");
    QString AmpOpenLead = QStringLiteral("00:00:05");
    QString AmpCloseDelay = QStringLiteral("00:01:00");
    bool AmpNoOpen = false;
    bool AmpOpenAll = false;
    bool AmpOpenChoice = true;
    bool RemoteScope = false;

    // From section "DisplayMode" of config.ini.
    QString VolumeAdjustTime = QStringLiteral("33:33");
    QString TerminalVolume = QStringLiteral("22");
    bool ShowVideo = false;

    // The console's own running options, kept in the store's section
    // "operation" beside the keys above, which stay as they are.
    int AsRunKeepDays = 90; // days of as-run log kept, today included
    bool SuperviseTerminals = false; // query the terminals that should be on
    bool StartAtLogin = false; // the desktop starts the console at log-in
    bool WebControlEnabled = false; // 网络控制: the web page and API, off unless switched on
    quint16 WebControlPort = 8530; // the port it listens on
    // Seasonal timetables: in week mode, the week file of the first range
    // holding the day runs instead of WeekFilePath (none by default).
    QList<SeasonRange> Seasons;
    // The web password as WebPassword's salted hash ("pbkdf2-sha256$…");
    // empty while none is set. Never the password itself.
    QString WebPasswordHash;
    // 允许局域网访问: listen on every address, not only the loopback; it
    // counts only while a password is set.
    bool WebNetworkAllowed = false;
    // 紧急广播: every terminal is switched to this programme channel's
    // frequency (1..8) and the file plays in a loop, or, with EmergencyLineIn,
    // no file plays and the sound card's line input is what the rooms hear.
    int EmergencyChannel = 1;
    QString EmergencyFile;
    bool EmergencyLineIn = false;

    // Start-up tables.
    QString AllNodeList; // DotList of every node address of node.txt
    std::array<qint16, 9> SourceFrequency {}; // tenths of a MHz, [1..8]
    std::array<QString, 9> DeviceLeadTime; // "hh:mm:ss", [1..8]
    std::array<QString, 9> GroupNames; // [1..8]
};
