#include "zonelink/frames.h"

#include <algorithm>

namespace CommandCode {
QString name(int code)
{
    switch (code) {
    case ZoneOpen:
        return QStringLiteral("ZoneOpen");
    case ZoneClose:
        return QStringLiteral("ZoneClose");
    case AmpOpen:
        return QStringLiteral("AmpOpen");
    case AmpClose:
        return QStringLiteral("AmpClose");
    case DeviceOpen:
        return QStringLiteral("DeviceOpen");
    case DeviceClose:
        return QStringLiteral("DeviceClose");
    case ClockSet:
        return QStringLiteral("ClockSet");
    case ShutdownNotice:
        return QStringLiteral("ShutdownNotice");
    case PowerOnTimeSet:
        return QStringLiteral("PowerOnTimeSet");
    case ClockQuery:
        return QStringLiteral("ClockQuery");
    case StatusQuery:
        return QStringLiteral("StatusQuery");
    case VolumeSet:
        return QStringLiteral("VolumeSet");
    case PowerOnTimeQuery:
        return QStringLiteral("PowerOnTimeQuery");
    case MatrixSet:
        return QStringLiteral("MatrixSet");
    default:
        return {};
    }
}
} // namespace CommandCode

namespace {
// A decimal text 0..255 as a byte; leading and trailing blanks are allowed.
std::optional<char> byteOf(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 3)
        return std::nullopt;
    int value = 0;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > 255)
        return std::nullopt;
    return char(value);
}

// The values of a DotList as bytes: an item ends at each stop, consecutive
// stops add nothing, and text after the last stop is dropped.
std::optional<QByteArray> listValues(const QString &list)
{
    QByteArray values;
    QString item;
    for (QChar ch : list) {
        if (ch != u'.') {
            item.append(ch);
            continue;
        }
        if (!item.isEmpty()) {
            const auto v = byteOf(item);
            if (!v)
                return std::nullopt;
            values.append(*v);
            item.clear();
        }
    }
    return values;
}

QByteArray frameOf(char code, char p1, char p2, QByteArrayView values)
{
    QByteArray frame;
    frame.reserve(8 + values.size());
    frame.append(char(0xEB));
    frame.append(char(0x14));
    frame.append(code);
    frame.append(p1);
    frame.append(p2);
    frame.append(char(values.size()));
    frame.append(values);
    frame.append(char(0xFE));
    frame.append(char(0x01));
    return frame;
}
} // namespace

std::optional<QByteArray> BuildFrame(const QString &code, const QString &p1, const QString &p2,
                                     const QString &list)
{
    const auto c = byteOf(code);
    const auto a = byteOf(p1);
    const auto b = byteOf(p2);
    if (!c || !a || !b)
        return std::nullopt;
    const auto values = listValues(list);
    if (!values || values->size() > kMaxFrameValues)
        return std::nullopt;
    return frameOf(*c, *a, *b, *values);
}

std::optional<QByteArray> BuildFrame(int code, int p1, int p2, const QString &list)
{
    return BuildFrame(QString::number(code), QString::number(p1), QString::number(p2), list);
}

std::optional<QList<QByteArray>> BuildFrames(const QString &code, const QString &p1,
                                             const QString &p2, const QString &list)
{
    const auto c = byteOf(code);
    const auto a = byteOf(p1);
    const auto b = byteOf(p2);
    if (!c || !a || !b)
        return std::nullopt;
    const auto values = listValues(list);
    if (!values)
        return std::nullopt;
    const QByteArrayView all(*values);
    QList<QByteArray> frames;
    qsizetype from = 0;
    do {
        const qsizetype n = std::min<qsizetype>(kMaxFrameValues, all.size() - from);
        frames.append(frameOf(*c, *a, *b, all.sliced(from, n)));
        from += n;
    } while (from < all.size());
    return frames;
}

std::optional<QList<QByteArray>> BuildFrames(int code, int p1, int p2, const QString &list)
{
    return BuildFrames(QString::number(code), QString::number(p1), QString::number(p2), list);
}

QString frameList(const QByteArray &frame)
{
    if (frame.size() < 8)
        return {};
    const int n = static_cast<unsigned char>(frame.at(5));
    if (frame.size() != 8 + n)
        return {};
    QString list;
    for (int i = 0; i < n; ++i)
        list += QString::number(static_cast<unsigned char>(frame.at(6 + i))) + u'.';
    return list;
}

QStringList dotListItems(const QString &list)
{
    QStringList items = list.split(u'.');
    if (!items.isEmpty() && items.last().isEmpty())
        items.removeLast();
    return items;
}

QString ListMinus(const QString &a, const QString &b)
{
    if (a.isEmpty())
        return {};
    if (b.isEmpty())
        return a;
    const QStringList other = dotListItems(b);
    QString result;
    for (const QString &item : dotListItems(a)) {
        if (!other.contains(item))
            result += item + u'.';
    }
    return result;
}

QString timeDotList(const QString &hhmmss)
{
    return hhmmss.left(8).split(u':').join(u'.') + u'.';
}

FrequencyParameters splitFrequency(int tenths)
{
    return {QString::number(tenths / 100), QString::number(tenths % 100)};
}

std::optional<StatusReply> parseStatusReply(const QByteArray &bytes, int address)
{
    if (bytes.size() < 12)
        return std::nullopt;
    const auto at = [&bytes](int i) { return int(static_cast<unsigned char>(bytes.at(i))); };
    if (at(2) != 0x41 || at(3) != 0xFF || at(6) != address)
        return std::nullopt;
    return StatusReply {address, at(7) * 100 + at(8), at(9)};
}

qsizetype statusReplyStart(const QByteArray &bytes)
{
    for (qsizetype i = 0; i + 3 < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes.at(i + 2)) == 0x41
            && static_cast<unsigned char>(bytes.at(i + 3)) == 0xFF)
            return i;
    }
    return -1;
}

QByteArray statusReplyBytes(const StatusReply &reply)
{
    QByteArray bytes(12, '\0');
    bytes[2] = char(0x41);
    bytes[3] = char(0xFF);
    bytes[6] = char(reply.address);
    bytes[7] = char(reply.frequency / 100);
    bytes[8] = char(reply.frequency % 100);
    bytes[9] = char(reply.volume);
    return bytes;
}
