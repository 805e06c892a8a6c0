#pragma once

#include "platform/appfolder.h"

#include <QDate>
#include <QString>

class Clock;

// The as-run log: one CSV file a day under the application folder
// (log/yyyymmdd.csv, UTF-8, a header line), one line per event that reached
// the outside world or changed what will. Each line is written and flushed
// on its own, so a crash loses nothing already logged; files older than the
// days to keep are removed.
class AsRunLog
{
public:
    static constexpr int kDefaultKeepDays = 90;

    AsRunLog(const AppFolder &folder, const Clock &clock, int keepDays = kDefaultKeepDays);

    // Appends one event of kind with its text, stamped with the clock's time.
    // False when the line could not be written (the console goes on; the
    // event is lost).
    bool record(const QString &kind, const QString &text);

    // Days kept, today included; at least 1.
    void setKeepDays(int days);
    int keepDays() const { return m_keepDays; }
    // Removes the day files that fell out of the days kept; returns how many.
    int prune();

    QString folder() const;
    QString fileFor(const QDate &day) const;
    static QString header();
    // A CSV field: quoted when it holds a comma, a quote or a line break,
    // with quotes doubled; line breaks become blanks so one event stays one
    // line.
    static QString field(const QString &text);

private:
    AppFolder m_folder;
    const Clock &m_clock;
    int m_keepDays;
    QDate m_prunedOn; // pruned once a day, on the first line of the day
};
