#include "platform/fieldreader.h"

#include "platform/gbk.h"
#include "platform/textfile.h"

#include <limits>

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}
} // namespace

FieldReader::FieldReader(QByteArray data)
    : m_data(std::move(data))
{
    // A DOS end-of-file mark ends the data.
    const qsizetype eofMark = m_data.indexOf('\x1a');
    if (eofMark >= 0)
        m_data.truncate(eofMark);
}

bool FieldReader::atEnd() const
{
    if (m_afterComma)
        return false;
    for (qsizetype i = m_pos; i < m_data.size(); ++i) {
        const char c = m_data.at(i);
        if (!isBlank(c) && !isLineEnd(c))
            return false;
    }
    return true;
}

void FieldReader::skipBlanks()
{
    while (m_pos < m_data.size() && isBlank(m_data.at(m_pos)))
        ++m_pos;
}

bool FieldReader::atLineEnd() const
{
    return m_pos >= m_data.size() || isLineEnd(m_data.at(m_pos));
}

void FieldReader::consumeSeparator()
{
    m_afterComma = false;
    if (m_pos >= m_data.size())
        return;
    const char c = m_data.at(m_pos);
    if (c == ',') {
        ++m_pos;
        m_afterComma = true;
    } else if (c == '\r') {
        ++m_pos;
        if (m_pos < m_data.size() && m_data.at(m_pos) == '\n')
            ++m_pos;
        ++m_line;
    } else if (c == '\n') {
        ++m_pos;
        ++m_line;
    }
}

bool FieldReader::fail(const QString &what)
{
    m_error = QStringLiteral("第%1行：%2").arg(m_fieldLine).arg(what);
    return false;
}

bool FieldReader::readRaw(QByteArray &raw, bool &quoted)
{
    quoted = false;
    skipBlanks();
    if (!m_afterComma) {
        // At the start of a record or after a line end: blank lines hold no field.
        while (m_pos < m_data.size() && isLineEnd(m_data.at(m_pos))) {
            consumeSeparator();
            skipBlanks();
        }
        if (m_pos >= m_data.size()) {
            m_fieldLine = m_line;
            return fail(QStringLiteral("读取超出文件尾"));
        }
    }
    m_fieldLine = m_line;
    if (m_pos < m_data.size() && m_data.at(m_pos) == '"') {
        quoted = true;
        const qsizetype close = m_data.indexOf('"', m_pos + 1);
        const qsizetype end = close < 0 ? m_data.size() : close;
        raw = m_data.mid(m_pos + 1, end - m_pos - 1);
        // Line ends inside the quotes: CR LF, LF or a lone CR each count once.
        m_line += int(raw.count('\n') + raw.count('\r') - raw.count("\r\n"));
        m_pos = close < 0 ? end : close + 1;
        // Whatever stands between the closing quote and the separator is dropped.
        while (m_pos < m_data.size() && m_data.at(m_pos) != ',' && !isLineEnd(m_data.at(m_pos)))
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < m_data.size() && m_data.at(m_pos) != ',' && !isLineEnd(m_data.at(m_pos)))
            ++m_pos;
        qsizetype end = m_pos;
        while (end > start && isBlank(m_data.at(end - 1)))
            --end;
        raw = m_data.mid(start, end - start);
    }
    consumeSeparator();
    return true;
}

bool FieldReader::readText(QString &field)
{
    QByteArray raw;
    bool quoted = false;
    if (!readRaw(raw, quoted))
        return false;
    // Schedule files repeat the same short texts on thousands of rows (times,
    // lengths, target lists, paths): a text met again is shared, not decoded
    // and stored once more. A small table, one text a slot, keeps this cheap.
    SharedText *slot = nullptr;
    if (!raw.isEmpty() && raw.size() <= 128) {
        const auto first = static_cast<unsigned char>(raw.front());
        const auto last = static_cast<unsigned char>(raw.back());
        const std::size_t index
            = (std::size_t(raw.size()) * 131 + first * 31 + last) % m_shared.size();
        slot = &m_shared[index];
        if (slot->bytes == raw) {
            field = slot->text;
            return true;
        }
    }
    if (raw.contains('\0'))
        return fail(QStringLiteral("内容中有空字符（NUL），不是正确的文本"));
    std::optional<QString> text = fromGbkStrict(raw);
    if (!text)
        return fail(QStringLiteral("内容中有不是GBK编码的字节，不是正确的文本"));
    if (slot)
        *slot = {raw, *text};
    field = std::move(*text);
    return true;
}

bool FieldReader::skip()
{
    QByteArray raw;
    bool quoted = false;
    return readRaw(raw, quoted);
}

bool FieldReader::readInt16(qint16 &value)
{
    QByteArray raw;
    bool quoted = false;
    if (!readRaw(raw, quoted))
        return false;
    const QByteArray text = raw.trimmed();
    if (text.isEmpty()) {
        value = 0;
        return true;
    }
    qsizetype i = (text.at(0) == '+' || text.at(0) == '-') ? 1 : 0;
    if (i == text.size())
        return fail(QStringLiteral("“%1”不是数字").arg(fromGbk(text)));
    for (qsizetype k = i; k < text.size(); ++k) {
        if (text.at(k) < '0' || text.at(k) > '9')
            return fail(QStringLiteral("“%1”不是数字").arg(fromGbk(text)));
    }
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint16>::min()
        || number > std::numeric_limits<qint16>::max())
        return fail(QStringLiteral("数字“%1”超出范围").arg(fromGbk(text)));
    value = static_cast<qint16>(number);
    return true;
}

std::optional<FieldReader> openFieldFile(const QString &path, QString &error, bool *missing)
{
    const FileRead file = readWholeFile(path);
    if (missing)
        *missing = file.missing;
    if (!file.ok) {
        error = file.error;
        return std::nullopt;
    }
    return FieldReader(file.data);
}
