#include "schedule/timetext.h"

#include <QStringList>

namespace TimeText {

int seconds(const QString &text)
{
    const QStringList parts = text.trimmed().split(u':');
    if (parts.size() < 2 || parts.size() > 3)
        return -1;
    int fields[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &p = parts.at(i);
        if (p.isEmpty() || p.size() > 2)
            return -1;
        for (QChar c : p) {
            if (c < u'0' || c > u'9')
                return -1;
        }
        fields[i] = p.toInt();
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59)
        return -1;
    return fields[0] * 3600 + fields[1] * 60 + fields[2];
}

bool isClockText(QStringView text)
{
    if (text.size() != 8 || text[2] != u':' || text[5] != u':')
        return false;
    int fields[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const QChar tens = text[3 * i];
        const QChar ones = text[3 * i + 1];
        if (tens < u'0' || tens > u'9' || ones < u'0' || ones > u'9')
            return false;
        fields[i] = (tens.unicode() - u'0') * 10 + (ones.unicode() - u'0');
    }
    return fields[0] <= 23 && fields[1] <= 59 && fields[2] <= 59;
}

QString fromSeconds(int seconds)
{
    constexpr int day = 24 * 3600;
    seconds %= day;
    if (seconds < 0)
        seconds += day;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QChar(u'0'))
        .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
        .arg(seconds % 60, 2, 10, QChar(u'0'));
}

QString normalized(const QString &text, const QString &fallback)
{
    const int s = seconds(text);
    return s < 0 ? fallback : fromSeconds(s);
}

} // namespace TimeText

int TimeValue(const QString &text)
{
    return TimeText::seconds(text);
}

QString ClockText(int seconds)
{
    return TimeText::fromSeconds(seconds < 0 ? -seconds : seconds);
}
