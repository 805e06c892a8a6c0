#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

class AsRunLog;
class Console;

// What the console writes to the as-run log, and how a frame reads there.
namespace AsRunEvents {
// Every event of the console that reaches the outside world or changes what
// will, connected to the log.
void connect(Console &console, AsRunLog &log);
// A frame as the log shows it: its code, parameters and values decoded,
// then its bytes ("代码 0x14 参数 5 0 值 1 2 | EB 14 …").
QString describeFrame(const QByteArray &frame);
// The rows the operator cancelled and did not restore, as the day's log
// tells them ("hh:mm:ss file name", as the list shows the file): what a
// restarted console must not take up again.
QSet<QString> rowsLeftCancelled(const QString &dayFile);
} // namespace AsRunEvents
