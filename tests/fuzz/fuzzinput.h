#pragma once

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace Fuzz {

// Hands out the input's bytes; past the end, zeros.
class Input
{
public:
    Input(const std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool atEnd() const { return m_at >= m_size; }
    unsigned byte() { return m_at < m_size ? m_data[m_at++] : 0u; }

    // A text of up to maxLength characters, drawn from what files meet:
    // ASCII (control characters, commas and quotes among it), Chinese,
    // characters GBK has and characters it has not.
    QString text(int maxLength)
    {
        static const char16_t chinese[] = u"上课铃操场一班二楼广播体操音乐星期";
        static const char16_t gbkOthers[] = {0x00E9, 0x20AC, 0x3000, 0x00B7, 0x2014};
        static const char16_t notGbk[] = {0x0E01, 0xFEFF, 0x00A0, 0x0401 + 0x100};
        const int length = int(byte()) % (maxLength + 1);
        QString out;
        for (int i = 0; i < length; ++i) {
            const unsigned c = byte();
            if (c < 0x80)
                out += QChar(char16_t(c));
            else if (c < 0xC0)
                out += QChar(chinese[c % (std::size(chinese) - 1)]);
            else if (c < 0xE0)
                out += QChar(gbkOthers[c % std::size(gbkOthers)]);
            else if (c < 0xF8)
                out += QChar(notGbk[c % std::size(notGbk)]);
            else
                out += QString::fromUcs4(U"\U0001F600", 1); // outside the BMP
        }
        return out;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// Targets whose objects make timers want an application object; under
// libFuzzer there is none yet (its events never run: the targets drive
// everything themselves). The console's log lines are kept quiet.
inline void needApplication()
{
    static const bool ready = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("quellon.*=false"));
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "fuzz";
            static char *argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
        return true;
    }();
    Q_UNUSED(ready);
}

} // namespace Fuzz
