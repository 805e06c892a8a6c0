#include "console/databackup.h"

#include "platform/targz.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace DataBackup {

namespace {

const char16_t *const kTopFiles[] = {u"config.ini", u"node.txt", u"amp_name.dat", u"rem_list.txt"};
const char16_t *const kFileFolders[] = {u"table/week", u"table/date", u"playlist"};
const char16_t *const kFolders[]
    = {u"table", u"table/week", u"table/date", u"playlist", u"log", u"settings"};
const char16_t kLogFolder[] = u"log";

bool isLogName(const QString &fileName)
{
    static const QRegularExpression day(QStringLiteral("^[0-9]{8}\\.csv$"));
    return day.match(fileName).hasMatch();
}

// A single file name as the folders above may hold: no separator, nothing
// the shell or a later tar would read as a path, no control characters.
bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/')
        || name.contains(u'\\'))
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x20; });
}

QString fileOf(const Places &places, const QString &name)
{
    return name == storeName() ? places.storeFile : places.dataFolder + u'/' + name;
}

// The as-run log of a day, as an archive name.
QString logName(const QDate &day)
{
    return QString::fromUtf16(kLogFolder) + u'/' + day.toString(QStringLiteral("yyyyMMdd"))
        + QStringLiteral(".csv");
}

bool isLog(const QString &name)
{
    return name.startsWith(QString::fromUtf16(kLogFolder) + u'/');
}

// Puts from at to, over a file there, in one step: at no moment is there
// no file at to for the console to find missing and make anew.
bool moveFile(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).path());
    const QByteArray target = QFile::encodeName(to);
    if (std::rename(QFile::encodeName(from).constData(), target.constData()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    // Across file systems (the store may live elsewhere): a copy beside the
    // target first, renamed over it, and only then the original goes.
    const QString copy = to + QStringLiteral(".restoring");
    QFile::remove(copy);
    if (!QFile::copy(from, copy))
        return false;
    if (std::rename(QFile::encodeName(copy).constData(), target.constData()) != 0) {
        QFile::remove(copy);
        return false;
    }
    QFile::remove(from);
    return true;
}

// Size in MB as the operator reads it, rounded up.
QString megabytes(qint64 bytes)
{
    return QString::number((bytes + (qint64(1) << 20) - 1) >> 20);
}

} // namespace

QString storeName()
{
    return QStringLiteral("settings/broadcast.conf");
}

QList<Item> currentFiles(const Places &places, bool withLog)
{
    QList<Item> items;
    const QDir data(places.dataFolder);
    for (const char16_t *top : kTopFiles) {
        const QString name = QString::fromUtf16(top);
        if (QFileInfo(data.filePath(name)).isFile())
            items.append({name, data.filePath(name)});
    }
    QList<QString> folders;
    for (const char16_t *folder : kFileFolders)
        folders.append(QString::fromUtf16(folder));
    if (withLog)
        folders.append(QString::fromUtf16(kLogFolder));
    for (const QString &folder : std::as_const(folders)) {
        const QDir dir(data.filePath(folder));
        const QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString &file : names) {
            if (!isPlainFileName(file) || (folder == kLogFolder && !isLogName(file)))
                continue;
            items.append({folder + u'/' + file, dir.filePath(file)});
        }
    }
    if (!places.storeFile.isEmpty() && QFileInfo(places.storeFile).isFile())
        items.append({storeName(), places.storeFile});
    return items;
}

QString checkName(const Places &places, const QString &rawName, bool folder, Target &target)
{
    QString name = rawName;
    if (name.startsWith(u'/'))
        return QStringLiteral("“%1”是绝对路径").arg(rawName);
    while (name.startsWith(QStringLiteral("./")))
        name.remove(0, 2);
    while (name.endsWith(u'/'))
        name.chop(1);
    const QStringList parts = name.split(u'/');
    if (parts.contains(QStringLiteral("..")))
        return QStringLiteral("“%1”指向数据文件夹之外").arg(rawName);
    target = {};
    target.name = name;
    target.folder = folder;
    if (folder) {
        if (name.isEmpty() || name == u".")
            return {};
        for (const char16_t *known : kFolders) {
            if (name == QString::fromUtf16(known))
                return {};
        }
        return QStringLiteral("“%1”不是本控制台的数据文件夹").arg(rawName);
    }
    // The store only where there is one to replace (a console always has).
    bool known = name == storeName() && !places.storeFile.isEmpty();
    for (const char16_t *top : kTopFiles)
        known = known || name == QString::fromUtf16(top);
    if (!known && parts.size() >= 2) {
        const QString file = parts.last();
        const QString parent = name.left(name.size() - file.size() - 1);
        if (isPlainFileName(file)) {
            for (const char16_t *f : kFileFolders)
                known = known || parent == QString::fromUtf16(f);
            known = known || (parent == kLogFolder && isLogName(file));
        }
    }
    if (!known)
        return QStringLiteral("“%1”不是本控制台的数据文件").arg(rawName);
    target.path = fileOf(places, name);
    return {};
}

QString writeBackup(const Places &places, const QString &archive, bool withLog, Progress &progress)
{
    const QList<Item> items = currentFiles(places, withLog);
    // What the restore would refuse to read is not written at all.
    qint64 total = 0;
    for (const Item &item : items) {
        const qint64 size = QFileInfo(item.path).size();
        if (size > TarGz::kMaxEntrySize)
            return QStringLiteral("%1 有 %2 MB，超过了一个文件的上限 %3 MB，无法备份")
                .arg(item.name, megabytes(size), megabytes(TarGz::kMaxEntrySize));
        total += size;
    }
    if (total > TarGz::kMaxTotal)
        return QStringLiteral("数据文件共 %1 MB，超过了备份的上限 %2 MB，无法备份%3")
            .arg(megabytes(total), megabytes(TarGz::kMaxTotal),
                 withLog ? QStringLiteral("；不带运行日志的备份小一些") : QString());
    TarGz::Writer writer;
    if (!writer.open(archive))
        return QStringLiteral("无法写入 %1：%2").arg(archive, writer.errorString());
    int done = 0;
    for (const Item &item : items) {
        if (progress.stop) {
            writer.abandon();
            return QStringLiteral("备份已停止");
        }
        QFile file(item.path);
        if (!file.open(QIODevice::ReadOnly)) {
            writer.abandon();
            return QStringLiteral("无法读取 %1：%2").arg(item.path, file.errorString());
        }
        const QByteArray data = file.readAll();
        const qint64 modified = QFileInfo(file).lastModified().toSecsSinceEpoch();
        if (!writer.addFile(item.name, data, modified)) {
            writer.abandon();
            return QStringLiteral("无法写入 %1：%2").arg(archive, writer.errorString());
        }
        if (progress.report)
            progress.report(++done, int(items.size()));
    }
    if (!writer.finish())
        return QStringLiteral("无法写入 %1：%2").arg(archive, writer.errorString());
    return {};
}

namespace {

// Reads every entry, checks it and hands each file to take (which may be
// empty); the first refused entry ends the reading with its reason.
QString readChecked(const Places &places, const QString &archive, Progress &progress,
                    const std::function<QString(const Target &, const QByteArray &)> &take,
                    QList<PlannedFile> *files)
{
    TarGz::Reader reader;
    if (!reader.open(archive))
        return QStringLiteral("无法打开 %1：%2").arg(archive, reader.errorString());
    QStringList seen;
    TarGz::Entry entry;
    int count = 0;
    while (reader.next(entry)) {
        if (progress.stop)
            return QStringLiteral("已停止");
        if (entry.type == TarGz::Entry::Type::Link)
            return QStringLiteral("归档中的“%1”是链接，不予恢复").arg(entry.name);
        if (entry.type == TarGz::Entry::Type::Other)
            return QStringLiteral("归档中的“%1”不是普通文件，不予恢复").arg(entry.name);
        Target target;
        const QString refused
            = checkName(places, entry.name, entry.type == TarGz::Entry::Type::Folder, target);
        if (!refused.isEmpty())
            return QStringLiteral("归档中%1，不予恢复").arg(refused);
        if (target.folder)
            continue;
        if (seen.contains(target.name))
            return QStringLiteral("归档中“%1”出现了两次，不予恢复").arg(target.name);
        seen.append(target.name);
        QByteArray data;
        if (!reader.readData(data))
            break;
        if (take) {
            const QString problem = take(target, data);
            if (!problem.isEmpty())
                return problem;
        }
        if (files)
            files->append({target.name, entry.size, QFileInfo::exists(target.path)});
        if (progress.report)
            progress.report(++count, 0);
    }
    if (!reader.errorString().isEmpty())
        return QStringLiteral("无法读取 %1：%2").arg(archive, reader.errorString());
    if (seen.isEmpty())
        return QStringLiteral("归档中没有本控制台的数据文件");
    return {};
}

} // namespace

Plan inspect(const Places &places, const QString &archive, const QDate &today, Progress &progress)
{
    Plan plan;
    plan.error = readChecked(places, archive, progress, {}, &plan.files);
    if (!plan.error.isEmpty())
        plan.files.clear();
    const QString todaysLog = logName(today);
    for (PlannedFile &f : plan.files)
        f.kept = f.name == todaysLog;
    plan.holdsLog = std::any_of(plan.files.cbegin(), plan.files.cend(),
                                [](const PlannedFile &f) { return isLog(f.name); });
    if (plan.error.isEmpty()) {
        QStringList brought;
        for (const PlannedFile &f : std::as_const(plan.files))
            brought.append(f.name);
        for (const Item &item : currentFiles(places, plan.holdsLog)) {
            if (!brought.contains(item.name) && item.name != todaysLog)
                plan.removed.append(item.name);
        }
    }
    return plan;
}

Result restore(const Places &places, const QString &archive, const QDateTime &now,
               Progress &progress)
{
    Result result;
    const QDir data(places.dataFolder);
    // Unpacked beside the data files, so that putting each in place is a
    // rename on the same file system.
    const QString staging = data.filePath(
        QStringLiteral(".restore-%1").arg(now.toString(QStringLiteral("yyyyMMddHHmmsszzz"))));
    QDir(staging).removeRecursively();
    // The log of the day is the one the console is writing: a line logged
    // while the files move would make it anew, and the archive's copy would
    // then take its place. It stays as it is, and the archive's is not used.
    const QString todaysLog = logName(now.date());
    QList<Target> staged;
    bool holdsLog = false;
    const auto stage = [&](const Target &target, const QByteArray &bytes) -> QString {
        holdsLog = holdsLog || isLog(target.name);
        if (target.name == todaysLog)
            return {};
        const QString path = staging + u'/' + target.name;
        QDir().mkpath(QFileInfo(path).path());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
        staged.append(target);
        return {};
    };
    result.error = readChecked(places, archive, progress, stage, nullptr);
    if (!result.error.isEmpty()) {
        QDir(staging).removeRecursively();
        return result;
    }

    // The files there now, all of them (the log only when the archive
    // brings one), go into a backup of their own first.
    QString backup = data.filePath(QStringLiteral("backup/恢复前-")
                                   + now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    for (int n = 2; QFileInfo::exists(backup); ++n)
        backup = data.filePath(QStringLiteral("backup/恢复前-%1-%2")
                                   .arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss")))
                                   .arg(n));
    QList<Item> movedAway;
    QList<Target> placed;
    const auto undo = [&] {
        for (const Target &t : std::as_const(placed))
            QFile::remove(t.path);
        bool back = true;
        for (const Item &item : std::as_const(movedAway))
            back = moveFile(backup + u'/' + item.name, item.path) && back;
        // A backup folder that something could not leave stays, so that
        // nothing is lost; an emptied one goes.
        if (back)
            QDir(backup).removeRecursively();
        QDir(staging).removeRecursively();
    };
    for (const Item &item : currentFiles(places, holdsLog)) {
        if (item.name == todaysLog)
            continue;
        if (!moveFile(item.path, backup + u'/' + item.name)) {
            undo();
            result.error = QStringLiteral("无法把 %1 移入备份 %2").arg(item.path, backup);
            return result;
        }
        movedAway.append(item);
    }
    for (const Target &target : std::as_const(staged)) {
        if (!moveFile(staging + u'/' + target.name, target.path)) {
            undo();
            result.error = QStringLiteral("无法放置 %1").arg(target.path);
            return result;
        }
        placed.append(target);
    }
    QDir(staging).removeRecursively();
    result.backupFolder = movedAway.isEmpty() ? QString() : backup;
    return result;
}

} // namespace DataBackup

namespace {

// Every piece of work running, of any task, for the program's end to wait for.
struct RunningWork
{
    std::mutex mutex;
    std::condition_variable ended;
    QList<DataBackup::Progress *> progress;
};

RunningWork &runningWork()
{
    static RunningWork running;
    return running;
}

} // namespace

struct BackupTask::Shared
{
    DataBackup::Progress progress;
    std::atomic<int> done {0};
    std::atomic<int> total {0};
    QString result; // written by the work before its thread ends
};

BackupTask::BackupTask(QObject *parent)
    : QObject(parent)
    , m_poll(new QTimer(this))
{
    // The work only counts; the count is read here a few times a second,
    // so nothing crosses threads but two numbers and the result at the end.
    m_poll->setInterval(100);
    connect(m_poll, &QTimer::timeout, this, &BackupTask::showProgress);
}

BackupTask::~BackupTask()
{
    // The work sees the request at its next file and ends by itself; its
    // thread goes when it has ended, without holding up this one.
    if (m_shared)
        m_shared->progress.stop = true;
}

void BackupTask::showProgress()
{
    if (!m_shared)
        return;
    const int done = m_shared->done;
    const int total = m_shared->total;
    if (done != m_shown) {
        m_shown = done;
        Q_EMIT progressed(done, total);
    }
}

bool BackupTask::start(std::function<QString(DataBackup::Progress &)> work)
{
    if (m_shared)
        return false;
    auto shared = std::make_shared<Shared>();
    m_shared = shared;
    m_shown = -1;
    Shared *raw = shared.get();
    shared->progress.report = [raw](int done, int total) {
        raw->done = done;
        raw->total = total;
    };
    RunningWork &running = runningWork();
    {
        const std::lock_guard lock(running.mutex);
        running.progress.append(&shared->progress);
    }
    QThread *thread = QThread::create([shared, work, &running] {
        shared->result = work(shared->progress);
        const std::lock_guard lock(running.mutex);
        running.progress.removeOne(&shared->progress);
        running.ended.notify_all();
    });
    // Delivered in this thread once the work has ended; gone with this object.
    connect(thread, &QThread::finished, this, [this, shared] {
        if (m_shared != shared)
            return;
        showProgress();
        m_poll->stop();
        const bool stopped = shared->progress.stop;
        m_shared.reset();
        Q_EMIT finished(shared->result, stopped);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
    m_poll->start();
    return true;
}

void BackupTask::stop()
{
    if (m_shared)
        m_shared->progress.stop = true;
}

void BackupTask::finishAll()
{
    RunningWork &running = runningWork();
    std::unique_lock lock(running.mutex);
    for (DataBackup::Progress *progress : std::as_const(running.progress))
        progress->stop = true;
    running.ended.wait(lock, [&running] { return running.progress.isEmpty(); });
}
