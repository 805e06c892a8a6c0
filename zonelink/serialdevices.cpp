#include "zonelink/serialdevices.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace {
// ttyS2 before ttyS10: names compare by their text and then by the number
// they end in.
bool nameBefore(const QString &a, const QString &b)
{
    static const QRegularExpression trailing(QStringLiteral("^(.*?)(\\d+)$"));
    const QRegularExpressionMatch ma = trailing.match(a);
    const QRegularExpressionMatch mb = trailing.match(b);
    if (ma.hasMatch() && mb.hasMatch() && ma.captured(1) == mb.captured(1))
        return ma.captured(2).toULongLong() < mb.captured(2).toULongLong();
    return a < b;
}
} // namespace

QStringList serialDevicePaths(const QString &devRoot)
{
    QStringList paths;
    const QDir dev(devRoot);
    for (const QString &name : dev.entryList(
             {QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
             QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        paths.append(dev.filePath(name));
    }
    const QDir byId(dev.filePath(QStringLiteral("serial/by-id")));
    for (const QString &name : byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        paths.append(byId.filePath(name));
    std::sort(paths.begin(), paths.end(), nameBefore);
    return paths;
}
