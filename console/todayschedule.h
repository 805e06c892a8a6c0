#pragma once

#include "platform/appfolder.h"

#include <QDate>
#include <QObject>
#include <QStringList>

class Dialogs;
class ProgrammeModel;
struct AppSettings;
class ConsoleState;

// Chooses today's schedule file, fills today's list from it and keeps the
// next-item panel.
class TodaySchedule final : public QObject
{
    Q_OBJECT
public:
    TodaySchedule(const AppFolder &folder, const AppSettings &settings, ConsoleState &state,
                  ProgrammeModel &model, Dialogs &dialogs, QObject *parent = nullptr);

    // Takes the names of the date folder's "*.txt" files; later lookups use
    // this listing only.
    void listDateFolder();
    const QStringList &dateFolderListing() const { return m_dateFiles; }

    // Appends the entries of the given day's schedule to the list (it does
    // not empty it). On a read error shows the message as a notice (it is
    // raised by the start-up and by ticks), empties the list and returns false.
    bool LoadTodaySchedule(const QDate &day);
    // Empties and reloads the list, announces listReloaded(), starts the scan
    // afresh and shows the next item.
    bool ReloadToday(const QDate &day);

    // Fills the next-item panel for the row after row index (0 = before the first).
    void ShowNextItem(int index);
    QString nextItemText(int index) const;

    // Smallest and largest start time of the list; empty when it is empty.
    QString FirstItemTime() const;
    QString LastItemTime() const;

    // The list's "取  消" and "恢  复" on a 0-based row.
    void cancelRow(int row);
    void restoreRow(int row);

    // The date file of the given day in the date folder listing, if any.
    QString dateFileFor(const QDate &day) const;

    static QString readErrorText(); // "读取文件失败，可能文件设置有误或文件格式不对"

Q_SIGNALS:
    void nextItemChanged(const QString &text);
    // ReloadToday emptied the list and loaded it again (the remote list is
    // read afresh and its cursor reset on this).
    void listReloaded();

private:
    QString m_dateFolder;
    QStringList m_dateFiles;
    const AppSettings &m_settings;
    ConsoleState &m_state;
    ProgrammeModel &m_model;
    Dialogs &m_dialogs;
};
