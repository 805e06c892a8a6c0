#include "players/playlistbrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

using namespace Qt::StringLiterals;

namespace {
bool isSystemMount(const QStorageInfo &volume)
{
    static const QList<QByteArray> pseudo {
        "proc",       "sysfs",      "devpts", "devtmpfs",    "tmpfs",    "cgroup",   "cgroup2",
        "securityfs", "pstore",     "bpf",    "debugfs",     "tracefs",  "configfs", "fusectl",
        "mqueue",     "hugetlbfs",  "autofs", "binfmt_misc", "efivarfs", "ramfs",    "nsfs",
        "squashfs",   "rpc_pipefs", "nfsd",   "selinuxfs"};
    if (pseudo.contains(volume.fileSystemType()))
        return true;
    const QString root = volume.rootPath();
    for (const auto prefix : {u"/proc", u"/sys", u"/dev", u"/run", u"/boot", u"/snap"}) {
        const QString p = QString::fromUtf16(prefix);
        if ((root == p || root.startsWith(p + u'/')) && !root.startsWith(u"/run/media/"_s))
            return true;
    }
    return false;
}
} // namespace

QList<PlaylistDrive> playlistDrives()
{
    QList<PlaylistDrive> drives;
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (roots.contains(root) || !volume.isValid() || !QFileInfo(root).isDir())
            continue;
        if (root != u"/" && isSystemMount(volume))
            continue;
        roots << root;
        QString text = root;
        const QString name = volume.name();
        if (!name.isEmpty() && name != root)
            text += u"  ["_s + name + u']';
        drives.append({root, text});
    }
    std::sort(drives.begin(), drives.end(), [](const PlaylistDrive &a, const PlaylistDrive &b) {
        return a.root < b.root; // "/" sorts first
    });
    if (drives.isEmpty() || drives.constFirst().root != u"/")
        drives.prepend({u"/"_s, u"/"_s});
    return drives;
}

QString playlistDriveOf(const QString &folder)
{
    const QStorageInfo volume(folder);
    return volume.isValid() ? volume.rootPath() : u"/"_s;
}

QString playlistDriveProblem(const QString &root)
{
    const QFileInfo info(root);
    if (!info.exists() || !info.isDir())
        return u"驱动器 %1 不存在或已被移除。"_s.arg(root);
    const QStorageInfo volume(root);
    if (!volume.isValid() || !volume.isReady() || volume.rootPath() != QDir(root).absolutePath())
        return u"驱动器 %1 没有准备好（没有插入光盘或磁盘？）。"_s.arg(root);
    if (!info.isReadable() || !info.isExecutable())
        return u"没有读取驱动器 %1 的权限。"_s.arg(root);
    return {};
}

QStringList playlistFilePatterns()
{
    return {u"*.wav"_s, u"*.mid"_s, u"*.mp3"_s, u"*.dat"_s, u"*.cda"_s, u"*.wma"_s};
}

QStringList playlistFilesIn(const QString &folder)
{
    // Name filters match whatever the letter case, as on the old system.
    return QDir(folder).entryList(playlistFilePatterns(), QDir::Files | QDir::Readable,
                                  QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
}

QString playlistFilePath(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? QString(folder + name) : QString(folder + u'/' + name);
}
