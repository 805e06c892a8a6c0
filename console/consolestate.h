#pragma once

#include <QStringList>

// State of the console shared by its windows, held once by the main window.
struct ConsoleState
{
    bool ReloadSchedule = false; // today's list is reloaded at the next tick
    bool OpenWeekFileRequest = false;
    bool NewWeekFileRequest = false;
    bool EditCurrentWeekFileRequest = false;
    bool ManualMode = false; // the scheduler is paused

    qint16 CurrentIndex = 0; // last row started or passed over, 1-based; 0 = none
    qint16 RemoteCursor = 0; // 1-based position the remote keys step through
    QStringList RemoteSongs; // rem_list.txt in play order

    // The frequency parameters of the last zone-open command.
    QString FreqHigh;
    QString FreqLow;

    qsizetype RemoteSongCount() const { return RemoteSongs.size(); }
};
