#pragma once

#include "zonelink/matrixroutes.h"

#include <QObject>
#include <QStringList>

// Flags of the running console that several parts read and change, each
// through a setter that announces the change, and the audio matrix the
// matrix window keeps here for the whole run. How far the day has gone lives
// in TodaySchedule, the remote list and its cursor in RemoteList, the
// channels in Scheduler and the manual playback in PlaybackEngine.
class ConsoleState final : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Today's list is reloaded at the next tick (raised by the settings, the
    // editor's save and the clock window).
    bool ReloadSchedule() const { return m_reloadSchedule; }
    void setReloadSchedule(bool on);

    // What the schedule editor is asked to do when it is next activated.
    bool NewWeekFileRequest() const { return m_newWeekFileRequest; }
    bool OpenWeekFileRequest() const { return m_openWeekFileRequest; }
    bool EditCurrentWeekFileRequest() const { return m_editCurrentWeekFileRequest; }
    void setNewWeekFileRequest(bool on);
    void setOpenWeekFileRequest(bool on);
    void setEditCurrentWeekFileRequest(bool on);
    void clearEditorRequests();

    // Manual work status: the scheduler is paused.
    bool ManualMode() const { return m_manualMode; }
    void setManualMode(bool on);

    // Status-bar panel "status": the state of the equipment.
    QString equipmentStatus() const { return m_equipmentStatus; }
    void setEquipmentStatus(const QString &text);

    // Status-bar panel "sound": empty until the sound engine had to be
    // replaced, then when and how often.
    QString soundStatus() const { return m_soundStatus; }
    void setSoundStatus(const QString &text);

    // The audio matrix as last chosen, for the whole run.
    MatrixRouteTable MatrixRoutes {};

Q_SIGNALS:
    void reloadScheduleChanged(bool on);
    void editorRequestsChanged();
    void manualModeChanged(bool on);
    void equipmentStatusChanged(const QString &text);
    void soundStatusChanged(const QString &text);

private:
    bool m_reloadSchedule = false;
    bool m_newWeekFileRequest = false;
    bool m_openWeekFileRequest = false;
    bool m_editCurrentWeekFileRequest = false;
    bool m_manualMode = false;
    QString m_equipmentStatus = QStringLiteral("外设状态：");
    QString m_soundStatus;
};
