#pragma once

#include "platform/appfolder.h"

#include <QDate>
#include <QObject>
#include <QStringList>

class Dialogs;
class ProgrammeModel;
struct AppSettings;
class ConsoleState;

// Chooses today's schedule file, fills today's list from it and keeps how far
// the day has gone: the last row started or passed over (CurrentIndex) and
// the next-item panel that shows the row after it. Only the intents below
// move them, and each change is announced once.
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
    // Empties and reloads the list, announces listReloaded(), then starts
    // over.
    bool ReloadToday(const QDate &day);

    // CurrentIndex: the last row started or passed over, 1-based; 0 = none.
    // The scan of a tick begins at the row after it.
    int currentIndex() const { return m_currentIndex; }
    // What the next-item panel shows: the row after currentIndex().
    QString nextItem() const { return m_nextItem; }
    // The panel's text for the row after row index (0 = before the first).
    QString nextItemText(int index) const;

    // The list as loaded is new to the day: nothing of it has started or
    // been passed over, and the panel shows its first row.
    void startOver();
    // The scheduler started row (1-based): it is marked done before its first
    // frame leaves, so that no later tick starts it again.
    void rowStarted(int row);
    // The scheduler passed over rows first..last (1-based) whose start was
    // missed: their waiting rows are marked done in one change of the list,
    // and the panel moves once, past last.
    void rowsPassedOver(int first, int last);

    // Smallest and largest start time of the list; empty when it is empty.
    QString FirstItemTime() const;
    QString LastItemTime() const;

    // The list's "取  消" and "恢  复" on a 0-based row.
    void cancelRow(int row);
    void restoreRow(int row);

    // The seasonal timetable the list was last loaded from ("夏季作息"),
    // "常规作息" when timetables are set but none holds the day, and empty
    // when none are set or date mode runs.
    QString timetable() const { return m_timetable; }
    static QString regularTimetable(); // "常规作息"

    // The date file of the given day in the date folder listing, if any.
    QString dateFileFor(const QDate &day) const;

    static QString readErrorText(); // "读取文件失败，可能文件设置有误或文件格式不对"

Q_SIGNALS:
    void currentIndexChanged(int index);
    void nextItemChanged(const QString &text);
    // ReloadToday emptied the list and loaded it again (the remote list is
    // read afresh and its cursor reset on this).
    void listReloaded();
    // The operator took a waiting row (0-based) out of today's run, or put a
    // cancelled one back.
    void rowCancelled(int row);
    void rowRestored(int row);
    // The list is now loaded from another timetable (see timetable()).
    void timetableChanged(const QString &name);

private:
    void setCurrentIndex(int index);
    void setTimetable(const QString &name);
    // The week file for the day: the set one, or a seasonal timetable's.
    QString weekFileFor(const QDate &day);
    // ShowNextItem: fills the panel for the row after currentIndex().
    void ShowNextItem();

    QString m_dateFolder;
    QStringList m_dateFiles;
    QString m_timetable;
    const AppSettings &m_settings;
    ConsoleState &m_state;
    ProgrammeModel &m_model;
    Dialogs &m_dialogs;
    int m_currentIndex = 0;
    QString m_nextItem;
};
