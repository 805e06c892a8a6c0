#include "platform/asrunlog.h"

#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

AsRunLog::AsRunLog(const AppFolder &folder, const Clock &clock, int keepDays)
    : m_folder(folder)
    , m_clock(clock)
    , m_keepDays(std::max(1, keepDays))
{
}

void AsRunLog::setKeepDays(int days)
{
    m_keepDays = std::max(1, days);
}

QString AsRunLog::folder() const
{
    return m_folder.file(QStringLiteral("\\log"));
}

QString AsRunLog::fileFor(const QDate &day) const
{
    return QDir(folder()).filePath(day.toString(QStringLiteral("yyyyMMdd")) + u".csv");
}

QString AsRunLog::header()
{
    return QStringLiteral("时间,类别,内容");
}

QString AsRunLog::field(const QString &text)
{
    QString value = text;
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    if (!value.contains(u',') && !value.contains(u'"'))
        return value;
    value.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + value + u'"';
}

bool AsRunLog::record(const QString &kind, const QString &text)
{
    const QDateTime now = m_clock.now();
    if (m_prunedOn != now.date()) {
        m_prunedOn = now.date();
        prune();
    }
    if (!QDir().mkpath(folder()))
        return false;
    QFile file(fileFor(now.date()));
    const bool fresh = !file.exists() || file.size() == 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QByteArray line;
    if (fresh)
        line += header().toUtf8() + '\n';
    line += (now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + u',' + field(kind) + u','
             + field(text))
                .toUtf8()
        + '\n';
    // One write of whole lines, flushed as the file closes: a crash leaves
    // every earlier line whole.
    const bool written = file.write(line) == line.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

int AsRunLog::prune()
{
    const QDate oldestKept = m_clock.now().date().addDays(1 - m_keepDays);
    const QRegularExpression dayFile(QStringLiteral("^(\\d{8})\\.csv$"));
    int removed = 0;
    const QDir dir(folder());
    const QStringList names = dir.entryList({QStringLiteral("*.csv")}, QDir::Files);
    for (const QString &name : names) {
        const QRegularExpressionMatch m = dayFile.match(name);
        if (!m.hasMatch())
            continue; // not a day file of ours: an operator's export, say
        const QDate day = QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd"));
        if (day.isValid() && day < oldestKept && QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}
