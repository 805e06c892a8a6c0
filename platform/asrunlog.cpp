#include "platform/asrunlog.h"

#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

#include <algorithm>

AsRunLog::AsRunLog(const AppFolder &folder, const Clock &clock, std::optional<int> keepDays)
    : m_folder(folder)
    , m_clock(clock)
    , m_keepDays(std::max(1, keepDays.value_or(kDefaultKeepDays)))
    , m_keepKnown(keepDays.has_value())
{
}

AsRunLog::~AsRunLog() = default;

void AsRunLog::setKeepDays(int days)
{
    m_keepDays = std::max(1, days);
    if (m_keepKnown)
        return;
    // Known at last (the settings are read): the day's pruning, held back
    // until now, is done at once.
    m_keepKnown = true;
    const QDate today = m_clock.now().date();
    if (m_prunedOn != today) {
        m_prunedOn = today;
        prune();
    }
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

QString AsRunLog::oneLine(const QString &text)
{
    QString value = text;
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

QString AsRunLog::field(const QString &text)
{
    QString value = oneLine(text);
    if (!value.contains(u',') && !value.contains(u'"'))
        return value;
    value.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + value + u'"';
}

QString AsRunLog::timeText(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool AsRunLog::fileStillThere() const
{
    // The operator (or a restore of a backup) may have removed or replaced
    // the day's file while it was open: lines written to the old one would
    // be lost from sight. The path must still lead to the file held open.
    struct stat byPath = {};
    struct stat held = {};
    if (::stat(QFile::encodeName(m_file->fileName()).constData(), &byPath) != 0
        || ::fstat(m_file->handle(), &held) != 0)
        return false;
    return byPath.st_dev == held.st_dev && byPath.st_ino == held.st_ino;
}

bool AsRunLog::openDay(const QDate &day)
{
    m_file.reset();
    if (!QDir().mkpath(folder()))
        return false;
    auto file = std::make_unique<QFile>(fileFor(day));
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    if (file->size() == 0) {
        const QByteArray header = AsRunLog::header().toUtf8() + '\n';
        if (file->write(header) != header.size() || !file->flush())
            return false;
    }
    m_file = std::move(file);
    m_fileDay = day;
    return true;
}

bool AsRunLog::record(const QString &kind, const QString &text)
{
    const QDateTime now = m_clock.now();
    if (m_keepKnown && m_prunedOn != now.date()) {
        m_prunedOn = now.date();
        prune();
    }
    if ((!m_file || m_fileDay != now.date() || !fileStillThere()) && !openDay(now.date()))
        return false;
    const QByteArray line
        = (timeText(now) + u',' + field(kind) + u',' + field(text)).toUtf8() + '\n';
    // One write of a whole line, handed to the system before record returns:
    // a crash of the console leaves every earlier line whole.
    if (m_file->write(line) != line.size() || !m_file->flush()) {
        m_file.reset(); // the next line tries a fresh open
        return false;
    }
    Q_EMIT recorded(now, kind, text);
    return true;
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
