#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The file browser of the playlist player: the drives are the mounted file
// systems the operator keeps files on, and the file list shows the sound
// files of one folder.
struct PlaylistDrive
{
    QString root; // where it is mounted
    QString text; // what the drive list shows
};

// The mounted file systems, "/" first, without the system's own pseudo file
// systems (proc, sysfs, tmpfs and the like) and without mounts of single
// files.
QList<PlaylistDrive> playlistDrives();
// The drive a folder is on: the mounted file system that holds it.
QString playlistDriveOf(const QString &folder);
// Empty when the drive's root can be listed, otherwise why not.
QString playlistDriveProblem(const QString &root);

// The file types the file list shows.
QStringList playlistFilePatterns();
// The files of folder the file list shows, in name order.
QStringList playlistFilesIn(const QString &folder);
// The folder, a separator and the name; no second separator after a root.
QString playlistFilePath(const QString &folder, const QString &name);
