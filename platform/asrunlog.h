#pragma once

#include "platform/appfolder.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class Clock;
class QFile;

// The as-run log: one CSV file a day under the application folder
// (log/yyyymmdd.csv, UTF-8, a header line), one line per event that reached
// the outside world or changed what will. Each line is written and flushed
// on its own, so a crash loses nothing already logged; files older than the
// days to keep are removed. Each line written is also announced, so that a
// window showing today follows it without reading the file again.
class AsRunLog final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultKeepDays = 90;

    // Without keepDays the days to keep are not known yet (the settings are
    // read after the first line): nothing is removed until setKeepDays.
    AsRunLog(const AppFolder &folder, const Clock &clock, std::optional<int> keepDays = {});
    ~AsRunLog() override;

    // Appends one event of kind with its text, stamped with the clock's time.
    // False when the line could not be written (the console goes on; the
    // event is lost). The line is in the file (flushed to the system) when
    // this returns.
    bool record(const QString &kind, const QString &text);

    // Days kept, today included; at least 1. The first call (the settings
    // are read) prunes the day at once if that was held back; later ones
    // apply from the first line of the next day, so a shorter keep removes
    // nothing at once.
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
    // The text with its line breaks made blanks, as one line holds it.
    static QString oneLine(const QString &text);
    // How the time of a line is written.
    static QString timeText(const QDateTime &when);

Q_SIGNALS:
    // A line was written: its time, kind and text as given (the file holds
    // them quoted as field() says).
    void recorded(const QDateTime &when, const QString &kind, const QString &text);

private:
    bool openDay(const QDate &day);
    bool fileStillThere() const;

    AppFolder m_folder;
    const Clock &m_clock;
    int m_keepDays;
    bool m_keepKnown; // the days to keep were given: pruning may start
    QDate m_prunedOn; // pruned once a day, on the first line of the day
    // The day's file stays open between lines: opening and closing it for
    // every line cost more than the line itself.
    std::unique_ptr<QFile> m_file;
    QDate m_fileDay;
};
