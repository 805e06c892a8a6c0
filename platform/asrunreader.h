#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

// One line of an as-run day file read back: its time as written
// ("yyyy-MM-dd HH:mm:ss"), its kind and its text, unquoted.
struct AsRunEntry
{
    QString time;
    QString kind;
    QString text;

    friend bool operator==(const AsRunEntry &, const AsRunEntry &) = default;
};

// A day file read back, oldest line first.
struct AsRunDay
{
    QList<AsRunEntry> entries;
    bool missing = false; // no file for that day: nothing was logged
    int damaged = 0; // lines that could not be read (cut short, garbled)
    QString error; // the system's description when the file could not be read
};

// Reads a day file of the as-run log at once. A line cut short (the console
// stopped in the middle of writing it, or the disk gave out) or garbled is
// counted as damaged and the lines around it are kept; a last line without
// its line end is kept when it reads whole.
AsRunDay readAsRunDay(const QString &path);
// The same from the file's bytes.
AsRunDay parseAsRunDay(QByteArrayView data);
