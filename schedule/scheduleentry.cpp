#include "schedule/scheduleentry.h"

QString entryFieldText(const ScheduleEntry &e, int field)
{
    switch (field) {
    case TimeField:
        return e.time;
    case ChannelField:
        return QString::number(e.channel);
    case DetailField:
        return e.detail;
    case FileNameField:
        return e.filename;
    case VolumeField:
        return QString::number(e.volume);
    case PlayLengthField:
        return e.plen;
    case ZoneField:
        return e.zone;
    case AmpField:
        return e.amp;
    case DeviceField:
        return e.device;
    default:
        return {};
    }
}

namespace Weekdays {

namespace {
const std::array<QString, 7> &names()
{
    static const std::array<QString, 7> list = {
        QStringLiteral("星期一"), QStringLiteral("星期二"), QStringLiteral("星期三"),
        QStringLiteral("星期四"), QStringLiteral("星期五"), QStringLiteral("星期六"),
        QStringLiteral("星期日"),
    };
    return list;
}
} // namespace

QString fileName(int index)
{
    return index >= 0 && index < 7 ? names()[std::size_t(index)] : QString();
}

int indexOf(const QString &name)
{
    for (std::size_t i = 0; i < names().size(); ++i) {
        if (names()[i] == name)
            return int(i);
    }
    return -1;
}

QString nameForDayOfWeek(int dayOfWeek)
{
    return fileName(dayOfWeek - 1);
}

bool looksLikeHeader(const QString &filename)
{
    return filename.startsWith(QStringLiteral("星期"));
}

} // namespace Weekdays
