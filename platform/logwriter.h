#pragma once

#include "platform/appfolder.h"

#include <QDateTime>

class Clock;
class Dialogs;

// log.txt: dated lines, only ever appended, GBK with CR LF.
class LogWriter
{
public:
    LogWriter(const AppFolder &folder, const Clock &clock, Dialogs &dialogs);

    // Appends the date and time followed directly by text. A failure shows the
    // system's description under "错误提示"; the entry is then lost.
    void writeLog(const QString &text);

    static QString stamp(const QDateTime &moment);

private:
    QString m_path;
    const Clock &m_clock;
    Dialogs &m_dialogs;
};
