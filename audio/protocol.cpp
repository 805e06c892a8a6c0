#include "audio/protocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace audioproto {

namespace {
bool needsEscape(unsigned char c)
{
    return c == '%' || c <= ' ' || c == 0x7f;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

const std::string kEmpty;
} // namespace

const std::string &Message::arg(std::size_t i) const
{
    return i < args.size() ? args[i] : kEmpty;
}

std::optional<std::int64_t> Message::number(std::size_t i) const
{
    const std::string &text = arg(i);
    std::int64_t value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

std::optional<double> Message::fraction(std::size_t i) const
{
    // Digits, at most one point, nothing else: no locale, no exponent, no sign.
    const std::string &text = arg(i);
    double whole = 0;
    double scale = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == '.' && scale == 0) {
            scale = 1;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (scale == 0) {
                whole = whole * 10 + (c - '0');
            } else {
                scale /= 10;
                whole += (c - '0') * scale;
            }
        } else {
            return std::nullopt;
        }
        if (whole > 1e12)
            return std::nullopt;
    }
    if (!digits)
        return std::nullopt;
    return whole;
}

std::string escape(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (needsEscape(c)) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string encode(const Message &message)
{
    std::string line = message.verb;
    for (const std::string &a : message.args) {
        line += ' ';
        line += escape(a);
    }
    line += '\n';
    return line;
}

std::string encode(std::string_view verb, std::initializer_list<std::string_view> args)
{
    std::string line(verb);
    for (const std::string_view a : args) {
        line += ' ';
        line += escape(a);
    }
    line += '\n';
    return line;
}

std::optional<Message> decode(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    Message m;
    std::size_t start = 0;
    bool first = true;
    while (start <= line.size()) {
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos)
            end = line.size();
        const std::string_view field = line.substr(start, end - start);
        if (first) {
            // A verb is a plain word: what it held otherwise could not be
            // written back as it was read.
            const auto word = [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                    || c == '_' || c == '-';
            };
            if (field.empty() || !std::all_of(field.begin(), field.end(), word))
                return std::nullopt;
            m.verb = std::string(field);
            first = false;
        } else {
            std::optional<std::string> text = unescape(field);
            if (!text)
                return std::nullopt;
            m.args.push_back(std::move(*text));
        }
        start = end + 1;
    }
    return m;
}

std::string formatFraction(double value)
{
    if (!std::isfinite(value) || value < 0)
        value = 0;
    // Thousandths are finer than any volume step; the point is always ".".
    const auto thousandths = static_cast<long long>(std::llround(value * 1000));
    std::string text = std::to_string(thousandths / 1000);
    const long long rest = thousandths % 1000;
    if (rest != 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, ".%03lld", rest);
        text += digits;
        while (text.back() == '0')
            text.pop_back();
    }
    return text;
}

void LineReader::append(std::string_view bytes)
{
    m_buffer.append(bytes);
}

std::optional<std::string> LineReader::next()
{
    for (;;) {
        const std::size_t end = m_buffer.find('\n', m_scan);
        if (end == std::string::npos) {
            m_scan = m_buffer.size();
            if (m_buffer.size() > kMaxLine) {
                // Too long already: what came so far is thrown away and the
                // rest of the line with it.
                if (!m_skipping)
                    ++m_dropped;
                m_skipping = true;
                m_buffer.clear();
                m_scan = 0;
            }
            return std::nullopt;
        }
        std::string line = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 1);
        m_scan = 0;
        if (m_skipping) {
            m_skipping = false;
            continue;
        }
        if (line.size() > kMaxLine) {
            ++m_dropped;
            continue;
        }
        return line;
    }
}

} // namespace audioproto
