#include "schedule/entryfields.h"

#include "platform/gbk.h"
#include "platform/textfile.h"
#include "schedule/timetext.h"

using namespace Qt::StringLiterals;

namespace EntryFields {

namespace {

// The first character of a text that GBK cannot hold, for the message; the
// whole text if no single character is to blame.
QStringView unencodable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A character outside the basic plane is one surrogate pair.
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView character = text.sliced(i, n);
        if (!gbkCanHold(character))
            return character;
        i += n - 1;
    }
    return text;
}

// What the file format cannot carry in a text field; the empty text when the
// field is fine. The file's writer refuses the same texts (TextFault), in
// words of its own.
QString textProblem(const QString &text, const QString &what)
{
    switch (textFault(text, TextLayout::Unquoted)) {
    case TextFault::None:
        return {};
    case TextFault::Comma:
    case TextFault::Quote:
    case TextFault::LineBreak:
        return what + u"不能含有英文逗号“,”、双引号“\"”或换行。"_s;
    case TextFault::Control:
        // Shown as a blank in the field, but the console would stop reading
        // the file at it (0x1A) or refuse the day (NUL).
        return what + u"含有"_s + controlCharacterText(text) + u"，无法保存。"_s;
    case TextFault::NotGbk:
        return what + u"含有无法保存的字符“"_s + unencodable(text) + u"”。"_s;
    }
    return {};
}

// A DotList of numbers from low to high, each followed by ".".
bool isDotList(const QString &text, int low, int high)
{
    if (text.isEmpty())
        return true;
    if (!text.endsWith(u'.'))
        return false;
    const QStringList items = text.first(text.size() - 1).split(u'.');
    for (const QString &item : items) {
        if (item.isEmpty() || item.size() > 3)
            return false;
        for (QChar c : item) {
            if (c < u'0' || c > u'9')
                return false;
        }
        const int value = item.toInt();
        if (value < low || value > high)
            return false;
    }
    return true;
}

} // namespace

QString channelHintText()
{
    return u"请选择播放频道！"_s;
}

QString channelHintTitle()
{
    return u"选择提示"_s;
}

QString problemTitle()
{
    return u"输入错误"_s;
}

bool isTimeOfDay(const QString &text)
{
    return TimeText::isClockText(text);
}

ScheduleEntry entry(const Input &input)
{
    ScheduleEntry e;
    e.time = input.time;
    e.channel
        = qint16(input.channelIndex >= 0 && input.channelIndex < 8 ? input.channelIndex + 1 : 0);
    e.detail = withoutEdgeBlanks(input.detail);
    // A path is what the file system says, blanks at its ends included; the
    // file keeps them.
    e.filename = input.file;
    // A value beyond the 16 bits is kept out of range rather than wrapped
    // into a valid looking one: the check refuses it.
    e.volume = qint16(input.volume >= 0 && input.volume <= kVolumeMaximum ? input.volume : -1);
    e.plen = input.length;
    e.zone = input.zone;
    e.amp = input.amp;
    e.device = input.device;
    return e;
}

Problem check(const ScheduleEntry &e)
{
    if (!isTimeOfDay(e.time))
        return {Field::Time, u"播放时间“"_s + e.time + u"”不对，应为 00:00:00 至 23:59:59。"_s};
    if (e.channel < 1 || e.channel > 8)
        return {Field::Channel, channelHintText()};
    if (const QString text = textProblem(e.detail, u"内容概述"_s); !text.isEmpty())
        return {Field::Detail, text};
    if (const QString text = textProblem(e.filename, u"播放文件"_s); !text.isEmpty())
        return {Field::FileName, text};
    // The console ends a day's table at a file name that starts like a
    // weekday header; the entries after it would never play.
    if (Weekdays::looksLikeHeader(e.filename))
        return {Field::FileName, u"播放文件不能以“星期”开头。"_s};
    if (e.volume < 0 || e.volume > kVolumeMaximum)
        return {Field::Volume, u"音量大小应为 0 至 %1。"_s.arg(kVolumeMaximum)};
    if (!isTimeOfDay(e.plen))
        return {Field::PlayLength,
                u"播放时长“"_s + e.plen + u"”不对，应为 00:00:00 至 23:59:59。"_s};
    if (!isDotList(e.zone, 0, 255))
        return {Field::Zone, u"接收终端“"_s + e.zone + u"”不对，终端地址应为 0 至 255。"_s};
    if (!isDotList(e.amp, 1, 8))
        return {Field::Amp, u"功放选择“"_s + e.amp + u"”不对，功放应为 1 至 8。"_s};
    if (!isDotList(e.device, 1, 8))
        return {Field::Device, u"外设选择“"_s + e.device + u"”不对，外设应为 1 至 8。"_s};
    return {};
}

QString pickerLength(const QString &lengthText)
{
    if (isTimeOfDay(lengthText))
        return lengthText;
    // Hours beyond a day are the only way a length can fail the picker.
    const QStringList parts = lengthText.split(u':');
    bool ok = parts.size() == 3;
    if (ok)
        parts.first().toInt(&ok);
    return ok ? u"23:59:59"_s : u"00:00:00"_s;
}

} // namespace EntryFields
