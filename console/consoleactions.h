#pragma once

#include <QString>

// What the scheduler, the end of the day and the remote keys need of the
// main window, so that they can be tested without it.
class ConsoleActions
{
public:
    virtual ~ConsoleActions();
    virtual void playsong(const QString &sfilename, const QString &splaylen) = 0;
    // The player's Stop action.
    virtual void stopPlayer() = 0;
    virtual void setPlayerTitle(const QString &title) = 0;
    virtual void setManualPlayback(bool on) = 0;
    // Manual work status after a remote play: ManualMode, ManualPlayback, the ticks, the panel.
    virtual void enterRemoteManualMode() = 0;
    // Stops the player, clears ManualPlayback and returns to automatic work status.
    virtual void stopForRemote() = 0;
    virtual int volumeSliderValue() const = 0;
    virtual void setVolumeSliderValue(int value) = 0;
    // Status-bar panel "status".
    virtual void setEquipmentStatus(const QString &text) = 0;
    // The program ends (after the automatic shutdown).
    virtual void endProgram() = 0;
};
