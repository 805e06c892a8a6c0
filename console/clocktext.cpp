#include "console/clocktext.h"

QString clockFieldText(const QDateTime &moment)
{
    static const QString weekdays = QStringLiteral("一二三四五六天");
    const int day = moment.date().dayOfWeek(); // Monday 1 .. Sunday 7
    return moment.toString(QStringLiteral(" yyyy年MM月dd日 星期")) + weekdays.at(day - 1)
        + moment.toString(QStringLiteral("  HH:mm:ss"));
}
