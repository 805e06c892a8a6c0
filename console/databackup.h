#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

// One archive of the console's data files, and putting such an archive
// back. The data files are the schedules (table/week, table/date), the
// directories (node.txt, amp_name.dat, rem_list.txt), config.ini, the
// playlists, the operator's settings store and, when asked, the as-run log.
// The tunes and pictures are not: they are large and stay where they are.
namespace DataBackup {

struct Places
{
    QString dataFolder;
    QString storeFile; // the per-user settings store, wherever it lives
};

// The store's name inside an archive.
QString storeName();

// The data files there are now, as archive names and paths on disk.
struct Item
{
    QString name;
    QString path;
};
QList<Item> currentFiles(const Places &places, bool withLog);

// Whether an archive name is one of ours; when it is, where it goes.
// Leading "./" is taken away (tar -C folder . writes names so).
struct Target
{
    QString name; // normalised
    QString path; // empty for a folder entry
    bool folder = false;
};
// An empty error when the entry may be restored.
QString checkName(const Places &places, const QString &rawName, bool folder, Target &target);

// Shared between the window and the work in the background: the work
// reports how far it is, the window may ask it to stop.
struct Progress
{
    std::atomic<bool> stop {false};
    std::function<void(int done, int total)> report;
};

// Writes every data file into one .tar.gz at archive. Returns what went
// wrong (empty when done); a stopped or failed backup leaves no archive.
QString writeBackup(const Places &places, const QString &archive, bool withLog, Progress &progress);

struct PlannedFile
{
    QString name;
    qint64 size = 0;
    bool replaces = false; // a file of that name is there now
    // The as-run log of the restore's day: the console is writing it, so
    // the one there now stays and the archive's is not put in its place.
    bool kept = false;
};
struct Plan
{
    QString error; // the archive is refused, and why
    QList<PlannedFile> files;
    bool holdsLog = false;
    // Data files there now that the archive does not bring: they go into
    // the backup folder too, so that the data is the archive's alone.
    QStringList removed;
};
// Reads the whole archive and checks every entry: no absolute name, no
// "..", no link or special file, only our data files. today: the day a
// restore would be made, whose as-run log is left alone.
Plan inspect(const Places &places, const QString &archive, const QDate &today, Progress &progress);

struct Result
{
    QString error;
    QString backupFolder; // where the files that were there went
};
// Unpacks the archive beside the data files, checks it again on the way,
// moves the files there now into backup/恢复前-<time> of the data folder
// and then puts the archive's files in place. On an error the files that
// were there come back and the error is returned.
Result restore(const Places &places, const QString &archive, const QDateTime &now,
               Progress &progress);

} // namespace DataBackup

// Runs one piece of the work above on a thread of its own, so the window
// goes on; reports come back to the window's thread.
class BackupTask final : public QObject
{
    Q_OBJECT
public:
    explicit BackupTask(QObject *parent = nullptr);
    ~BackupTask() override;

    // work gets the progress to report to and to watch; its result text is
    // given to finished. One piece of work at a time.
    bool start(std::function<QString(DataBackup::Progress &)> work);
    void stop();
    bool isRunning() const { return bool(m_shared); }

    // Asks every piece of work still running, of any task, to stop and
    // waits until each has ended. It blocks: only for the program's end,
    // once the event loop is over.
    static void finishAll();

Q_SIGNALS:
    void progressed(int done, int total);
    void finished(const QString &result, bool stopped);

private:
    void showProgress();

    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QTimer *m_poll;
    int m_shown = -1;
};
