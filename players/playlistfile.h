#pragma once

#include <QString>
#include <QStringList>

// Playlist files: GBK text with CR LF line ends, one full path per line,
// written plainly, or between double quotes when it has a blank at an end.
// Reading takes each line whole, so a path with a comma comes back as it went
// out; files of the old console read the same.
struct PlaylistRead
{
    bool ok = false;
    QStringList paths;
    QString error; // the system's description when !ok
};

PlaylistRead readPlaylistFile(const QString &path);
// Writes atomically: the empty text on success, otherwise why not (an entry
// that playlistEntryProblem refuses, before anything is written, or the
// failure's description) and the old file is untouched.
QString writePlaylistFile(const QString &path, const QStringList &paths);
// The path a line of a playlist file stands for: blanks around the line
// dropped, and a pair of double quotes around the whole line taken off (files
// made by hand or by tools that quote, and paths with a blank at an end).
// Empty for a blank line.
QString playlistLineEntry(QString line);
// Why a playlist file could not give the path back unchanged, in words that
// follow "路径" ("含有换行", "含有控制字符（0x1A）", "含有GBK编码没有的字符",
// "前后带有双引号"); empty when it can.
QString playlistEntryProblem(const QString &path);

// The entry's type: the last three characters of its path in upper case.
QString playlistEntryType(const QString &path);
// The CD track of a .cda entry: the numeric value of the two characters just
// before ".cda" (5 for a name ending in 05.cda); 0 when they hold none.
int cdTrackNumber(const QString &path);

// "mm:ss"; the minutes run past two digits when they must.
QString minutesSeconds(qint64 milliseconds);
// The total playing time shown after "播放总时长：", e.g. "03分05秒".
QString totalTimeText(qint64 seconds);
