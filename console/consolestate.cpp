#include "console/consolestate.h"

void ConsoleState::setReloadSchedule(bool on)
{
    if (m_reloadSchedule == on)
        return;
    m_reloadSchedule = on;
    Q_EMIT reloadScheduleChanged(on);
}

void ConsoleState::setNewWeekFileRequest(bool on)
{
    if (m_newWeekFileRequest == on)
        return;
    m_newWeekFileRequest = on;
    Q_EMIT editorRequestsChanged();
}

void ConsoleState::setOpenWeekFileRequest(bool on)
{
    if (m_openWeekFileRequest == on)
        return;
    m_openWeekFileRequest = on;
    Q_EMIT editorRequestsChanged();
}

void ConsoleState::setEditCurrentWeekFileRequest(bool on)
{
    if (m_editCurrentWeekFileRequest == on)
        return;
    m_editCurrentWeekFileRequest = on;
    Q_EMIT editorRequestsChanged();
}

void ConsoleState::clearEditorRequests()
{
    const bool any = m_newWeekFileRequest || m_openWeekFileRequest || m_editCurrentWeekFileRequest;
    m_newWeekFileRequest = m_openWeekFileRequest = m_editCurrentWeekFileRequest = false;
    if (any)
        Q_EMIT editorRequestsChanged();
}

void ConsoleState::setManualMode(bool on)
{
    if (m_manualMode == on)
        return;
    m_manualMode = on;
    Q_EMIT manualModeChanged(on);
}

void ConsoleState::setEquipmentStatus(const QString &text)
{
    if (m_equipmentStatus == text)
        return;
    m_equipmentStatus = text;
    Q_EMIT equipmentStatusChanged(text);
}

void ConsoleState::setSoundStatus(const QString &text)
{
    if (m_soundStatus == text)
        return;
    m_soundStatus = text;
    Q_EMIT soundStatusChanged(text);
}
