#pragma once

#include <QObject>
#include <QString>

// What the cores wrote to disk (or, for the clock, set in the system),
// announced after each save that succeeded, so that whoever keeps a copy in
// memory reads it again: the running console listens. A save that was
// refused or failed announces nothing. Windows only call their core's save.
class SavedFiles final : public QObject
{
    Q_OBJECT
public:
    enum class Kind {
        NodeDirectory, // node.txt
        SourceNames, // amp_name.dat (names, frequencies) and the devices' lead times
        RemoteList, // rem_list.txt
        WeekSchedule, // a week file
        DateSchedule, // a date file
        SystemClock, // the PC's date and time were set; the path is empty
    };
    Q_ENUM(Kind)

    using QObject::QObject;

    void announce(Kind kind, const QString &path);

Q_SIGNALS:
    void saved(SavedFiles::Kind kind, const QString &path);
};
