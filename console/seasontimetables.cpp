#include "console/seasontimetables.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSeasons, "quellon.seasons")

namespace SeasonTimetables {

namespace {

// Month and day of "MM-dd" as one number (month * 100 + day), or -1.
int monthDay(QStringView text)
{
    if (!isMonthDay(text))
        return -1;
    return text.left(2).toInt() * 100 + text.mid(3, 2).toInt();
}

} // namespace

bool isMonthDay(QStringView text)
{
    if (text.size() != 5 || text.at(2) != u'-')
        return false;
    for (const int i : {0, 1, 3, 4}) {
        if (text.at(i) < u'0' || text.at(i) > u'9')
            return false;
    }
    const int month = text.left(2).toInt();
    const int day = text.mid(3, 2).toInt();
    // 2024 is a leap year, so 02-29 is a day of the year.
    return QDate(2024, month, day).isValid();
}

bool holds(const SeasonRange &range, const QDate &day)
{
    const int from = monthDay(range.from);
    const int to = monthDay(range.to);
    if (from < 0 || to < 0 || !day.isValid())
        return false;
    const int today = day.month() * 100 + day.day();
    if (from <= to)
        return today >= from && today <= to;
    return today >= from || today <= to;
}

QString problemOf(const SeasonRange &range)
{
    if (range.name.trimmed().isEmpty())
        return QStringLiteral("作息名称不能为空");
    if (!isMonthDay(range.from) || !isMonthDay(range.to))
        return QStringLiteral("日期应写成“月-日”，例如 05-01");
    if (range.weekFile.trimmed().isEmpty())
        return QStringLiteral("请选择周播放文件");
    return {};
}

Choice weekFileFor(const QDate &day, const QList<SeasonRange> &ranges, const QString &setWeekFile,
                   const std::function<bool(const QString &)> &readable)
{
    for (const SeasonRange &range : ranges) {
        if (!problemOf(range).isEmpty() || !holds(range, day))
            continue;
        if (readable(range.weekFile))
            return {range.weekFile, range.name, {}};
        // Only the first range that holds the day is ever meant: a later
        // one would run a timetable nobody chose for this day.
        return {setWeekFile,
                {},
                QStringLiteral("“%1”的周播放文件无法读取：%2，今天改用设定的周播放文件。")
                    .arg(range.name, QFileInfo(range.weekFile).fileName())};
    }
    return {setWeekFile, {}, {}};
}

QString toStoreText(const QList<SeasonRange> &ranges)
{
    QJsonArray list;
    for (const SeasonRange &range : ranges) {
        list.append(QJsonObject {{QStringLiteral("name"), range.name},
                                 {QStringLiteral("from"), range.from},
                                 {QStringLiteral("to"), range.to},
                                 {QStringLiteral("file"), range.weekFile}});
    }
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

QList<SeasonRange> fromStoreText(const QString &text)
{
    QList<SeasonRange> ranges;
    if (text.trimmed().isEmpty())
        return ranges;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!doc.isArray()) {
        qCWarning(lcSeasons) << "seasonal timetables unreadable:"
                             << (doc.isNull() ? error.errorString() : QStringLiteral("not a list"));
        return ranges;
    }
    for (const QJsonValue &value : doc.array()) {
        const QJsonObject o = value.toObject();
        const SeasonRange range {
            o.value(QStringLiteral("name")).toString(), o.value(QStringLiteral("from")).toString(),
            o.value(QStringLiteral("to")).toString(), o.value(QStringLiteral("file")).toString()};
        if (!problemOf(range).isEmpty()) {
            qCWarning(lcSeasons) << "seasonal timetable left out:" << range.name
                                 << problemOf(range);
            continue;
        }
        if (ranges.size() == MaxRanges)
            break;
        ranges.append(range);
    }
    return ranges;
}

} // namespace SeasonTimetables
