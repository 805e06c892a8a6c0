#include "platform/logwriter.h"

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"

#include <QFile>

LogWriter::LogWriter(const AppFolder &folder, const Clock &clock, Dialogs &dialogs)
    : m_path(folder.file(QStringLiteral("\\log.txt")))
    , m_clock(clock)
    , m_dialogs(dialogs)
{
}

QString LogWriter::stamp(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void LogWriter::writeLog(const QString &text)
{
    QFile file(m_path);
    const QByteArray line = toGbk(QString(stamp(m_clock.now()) + text)) + "\r\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size()
        || !file.flush()) {
        // Entries are written by ticks: the message must not hold them up.
        m_dialogs.notify(file.errorString(), QStringLiteral("错误提示"), MsgIcon::Error, nullptr);
    }
}
