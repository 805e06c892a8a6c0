#include "directory/ampnamefile.h"

#include "platform/fieldreader.h"
#include "platform/textfile.h"

#include <utility>

#include <algorithm>
#include <limits>

bool readAmpNameBlocks(FieldReader &reader, bool withFrequencies,
                       const std::function<void(AmpNamePart, int, const QString &)> &take)
{
    while (!reader.atEnd()) {
        for (AmpNamePart part :
             {AmpNamePart::Amps, AmpNamePart::Frequencies, AmpNamePart::Devices}) {
            const bool wanted = withFrequencies || part != AmpNamePart::Frequencies;
            for (int i = 0; i < 8; ++i) {
                QString field;
                if (!(wanted ? reader.readText(field) : reader.skip()))
                    return false;
                if (wanted)
                    take(part, i, field);
            }
        }
    }
    return true;
}

AmpNamesRead readAmpNameFile(const QString &path)
{
    AmpNamesRead result;
    auto opened = openFieldFile(path, result.error, &result.missing);
    if (!opened)
        return result;
    FieldReader &reader = *opened;
    if (reader.atEnd()) {
        result.error = QStringLiteral("文件是空的");
        return result;
    }
    QStringList *const parts[3]
        = {&result.names.amps, &result.names.frequencies, &result.names.devices};
    const auto keep
        = [&parts](AmpNamePart part, int i, const QString &text) { (*parts[int(part)])[i] = text; };
    result.ok = readAmpNameBlocks(reader, true, keep);
    if (!result.ok)
        result.error = reader.errorText();
    return result;
}

QString writeAmpNameFile(const QString &path, const AmpNames &names)
{
    QByteArray data;
    const std::pair<const QStringList *, QString> parts[] = {
        {&names.amps, QStringLiteral("功放%1的名称")},
        {&names.frequencies, QStringLiteral("节目源%1的频率")},
        {&names.devices, QStringLiteral("外设%1的名称")},
    };
    for (const auto &[part, what] : parts) {
        for (int i = 0; i < 8; ++i) {
            const QString field = part->value(i);
            if (QString problem = quotedFieldProblem(what.arg(i + 1), field); !problem.isEmpty())
                return problem;
            data += quotedRecord({field});
        }
    }
    return saveFileAtomically(path, data);
}

namespace {
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
} // namespace

qint16 frequencyTenths(const QString &text)
{
    // Exact decimal arithmetic: 87.55 must give 876, which binary floating
    // point cannot promise.
    const QString t = text.trimmed();
    qsizetype i = 0;
    const bool negative = i < t.size() && t.at(i) == u'-';
    if (i < t.size() && (t.at(i) == u'+' || t.at(i) == u'-'))
        ++i;
    qint64 tenths = 0;
    bool digits = false;
    for (; i < t.size() && isAsciiDigit(t.at(i)); ++i) {
        tenths = std::min<qint64>(tenths * 10 + (t.at(i).unicode() - u'0'), 10'000'000);
        digits = true;
    }
    tenths *= 10;
    QString beyond; // digits after the tenths
    if (i < t.size() && t.at(i) == u'.') {
        ++i;
        if (i < t.size() && isAsciiDigit(t.at(i))) {
            tenths += t.at(i).unicode() - u'0';
            digits = true;
            ++i;
        }
        for (; i < t.size() && isAsciiDigit(t.at(i)); ++i)
            beyond.append(t.at(i));
    }
    if (!digits)
        return 0;
    // Compare what lies beyond the tenths with one half: "5" followed by zeros
    // is exactly a half and goes to the even neighbour.
    while (beyond.endsWith(u'0'))
        beyond.chop(1);
    if (!beyond.isEmpty()) {
        const bool half = beyond == QStringLiteral("5");
        const bool above = beyond.at(0) > u'5' || (beyond.at(0) == u'5' && !half);
        if (above || (half && tenths % 2 == 1))
            ++tenths;
    }
    if (negative)
        tenths = -tenths;
    return static_cast<qint16>(std::clamp<qint64>(tenths, std::numeric_limits<qint16>::min(),
                                                  std::numeric_limits<qint16>::max()));
}
