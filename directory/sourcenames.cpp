#include "directory/sourcenames.h"

#include "platform/savedfiles.h"
#include "platform/textfile.h"

#include <QDebug>

#include <algorithm>

namespace {

const QString &leadSection()
{
    static const QString section = QStringLiteral("外设提前");
    return section;
}

QString leadKey(int n)
{
    return QStringLiteral("外设%1").arg(n);
}

// The picker shows a time of day; the console reads the same text as a
// duration. A value that is no time of day means no lead, as the console
// takes it at start-up.
QTime leadTimeFromText(const QString &text)
{
    const QString t = text.trimmed();
    for (const QString &format : {QStringLiteral("H:m:s"), QStringLiteral("H:m")}) {
        const QTime time = QTime::fromString(t, format);
        if (time.isValid())
            return time;
    }
    return QTime(0, 0);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

SourceNames::SourceNames(QString ampNamePath, QString configIniPath)
    : m_ampNamePath(std::move(ampNamePath))
    , m_configIni(std::move(configIniPath))
{
}

void SourceNames::load()
{
    const AmpNamesRead read = readAmpNameFile(m_ampNamePath);
    // Whatever was read before a short or broken file ended stays; the rest
    // is empty, and the next save writes the whole file again.
    m_names = read.names;
    m_loadProblem = read.ok || read.missing ? QString() : read.error;
    if (!m_loadProblem.isEmpty())
        qWarning() << "amp_name.dat:" << m_loadProblem;
    for (int n = 1; n <= kCount; ++n)
        m_leadTimes[std::size_t(n - 1)] = leadTimeFromText(
            m_configIni.getString(leadSection(), leadKey(n), QStringLiteral("00:00:00"), 9));
    m_modified = false;
}

QString SourceNames::ampName(int n) const
{
    return m_names.amps.value(n - 1);
}

QString SourceNames::deviceName(int n) const
{
    return m_names.devices.value(n - 1);
}

QString SourceNames::frequency(int n) const
{
    return m_names.frequencies.value(n - 1);
}

QTime SourceNames::leadTime(int n) const
{
    return n >= 1 && n <= kCount ? m_leadTimes[std::size_t(n - 1)] : QTime(0, 0);
}

QString SourceNames::text(Field field) const
{
    switch (field.part) {
    case Part::Amp:
        return ampName(field.number);
    case Part::Frequency:
        return frequency(field.number);
    case Part::Device:
        return deviceName(field.number);
    }
    return {};
}

void SourceNames::change(QString &stored, const QString &text)
{
    if (stored == text)
        return;
    stored = text;
    m_modified = true;
}

void SourceNames::setAmpName(int n, const QString &name)
{
    if (n >= 1 && n <= kCount)
        change(m_names.amps[n - 1], withoutEdgeBlanks(name));
}

void SourceNames::setDeviceName(int n, const QString &name)
{
    if (n >= 1 && n <= kCount)
        change(m_names.devices[n - 1], withoutEdgeBlanks(name));
}

void SourceNames::setFrequency(int n, const QString &text)
{
    // A frequency counts as a change like any other, so that leaving the
    // window never drops a new frequency without asking.
    if (n >= 1 && n <= kCount)
        change(m_names.frequencies[n - 1], text);
}

void SourceNames::setLeadTime(int n, QTime time)
{
    if (n < 1 || n > kCount || !time.isValid())
        return;
    QTime &stored = m_leadTimes[std::size_t(n - 1)];
    // The picker has whole seconds; so has the file.
    const QTime whole(time.hour(), time.minute(), time.second());
    if (stored == whole)
        return;
    stored = whole;
    m_modified = true;
}

QString SourceNames::fieldLabel(Field field)
{
    switch (field.part) {
    case Part::Amp:
        return QStringLiteral("功放%1").arg(field.number);
    case Part::Frequency:
        return QStringLiteral("节目源%1").arg(field.number);
    case Part::Device:
        return QStringLiteral("外设%1").arg(field.number);
    }
    return {};
}

QString SourceNames::unstorableReason(Field *field) const
{
    // In the order of the window, so the first one the operator meets is named.
    for (Part part : {Part::Amp, Part::Device, Part::Frequency}) {
        for (int n = 1; n <= kCount; ++n) {
            const Field f {part, n};
            // A field of the file runs from one double quote to the next, with
            // no way to escape one inside it, and ends at a line break; the
            // file itself ends at a 0x1A and cannot be read with a NUL.
            const TextFault fault = textFault(text(f), TextLayout::Quoted);
            if (fault == TextFault::None)
                continue;
            if (field)
                *field = f;
            const QString what = fieldLabel(f)
                + (part == Part::Frequency ? QStringLiteral("的频率") : QStringLiteral("的名称"));
            if (fault == TextFault::Quote)
                return what + QStringLiteral("含有双引号（\"），无法保存。请删去双引号后再保存。");
            if (fault == TextFault::Control)
                return what
                    + QStringLiteral("含有%1，无法保存。请删去后再保存。")
                          .arg(controlCharacterText(text(f)));
            return what + QStringLiteral("含有系统编码不能保存的字符，无法保存。请修改后再保存。");
        }
    }
    return {};
}

SourceNames::SaveResult SourceNames::save(SavedFiles &saved)
{
    SaveResult result;
    const QString refusal = unstorableReason(&result.field);
    if (!refusal.isEmpty()) {
        result.outcome = SaveResult::Outcome::Refused;
        result.message = refusal;
        return result;
    }
    if (const QString error = writeAmpNameFile(m_ampNamePath, m_names); !error.isEmpty()) {
        result.message = QStringLiteral("无法保存功放、外设名称和节目源频率：%1").arg(error);
        return result;
    }
    result.namesWritten = true;
    for (int n = 1; n <= kCount; ++n) {
        if (const QString error
            = m_configIni.writeString(leadSection(), leadKey(n), leadTimeText(n));
            !error.isEmpty()) {
            result.message = QStringLiteral("无法保存外设提前打开时间：%1").arg(error);
            // amp_name.dat and the lead times before this one did change.
            saved.announce(SavedFiles::Kind::SourceNames, m_ampNamePath);
            return result;
        }
        result.leadTimesWritten = n;
    }
    result.outcome = SaveResult::Outcome::Saved;
    m_modified = false;
    saved.announce(SavedFiles::Kind::SourceNames, m_ampNamePath);
    return result;
}

qint16 SourceNames::frequencyTenthsOf(int n) const
{
    return frequencyTenths(frequency(n));
}

QString SourceNames::leadTimeText(int n) const
{
    return leadTime(n).toString(QStringLiteral("HH:mm:ss"));
}

QString SourceNames::frequencyCharacters()
{
    return QStringLiteral("0123456789.");
}

bool SourceNames::frequencyInRange(const QString &text)
{
    // Exact decimal comparison of the leading number: 69.99 and 110.01 are out.
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == u'+' || t.at(i) == u'-'))
        negative = t.at(i++) == u'-';
    qint64 whole = 0;
    for (; i < t.size() && isAsciiDigit(t.at(i)); ++i)
        whole = std::min<qint64>(whole * 10 + (t.at(i).unicode() - u'0'), 1'000'000);
    bool fraction = false; // any digit other than 0 after the point
    if (i < t.size() && t.at(i) == u'.') {
        for (++i; i < t.size() && isAsciiDigit(t.at(i)); ++i)
            fraction = fraction || t.at(i) != u'0';
    }
    if (negative)
        return false;
    return whole >= 70 && (whole < 110 || (whole == 110 && !fraction));
}
