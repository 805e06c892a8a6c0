#include "platform/targz.h"

#include <QHash>

#include <zlib.h>

#include <cstring>

namespace TarGz {

namespace {

constexpr qint64 kBlock = 512;

void putText(QByteArray &header, int offset, int length, const QByteArray &text)
{
    std::memcpy(header.data() + offset, text.constData(),
                size_t(std::min<qsizetype>(length, text.size())));
}

void putOctal(QByteArray &header, int offset, int length, qint64 value)
{
    // length - 1 digits and a terminating NUL, as tar writes them.
    QByteArray digits = QByteArray::number(value, 8).rightJustified(length - 1, '0');
    putText(header, offset, length - 1, digits);
}

qint64 padTo512(qint64 size)
{
    return (kBlock - size % kBlock) % kBlock;
}

QByteArray field(const QByteArray &header, int offset, int length)
{
    QByteArray f = header.mid(offset, length);
    const qsizetype nul = f.indexOf('\0');
    return nul < 0 ? f : f.left(nul);
}

// A numeric field: octal digits, blanks and NULs around them; or GNU's
// base-256 form for large values, refused here (nothing of ours is so large).
bool readOctal(const QByteArray &header, int offset, int length, qint64 &value)
{
    const QByteArray text = field(header, offset, length).trimmed();
    if (text.isEmpty()) {
        value = 0;
        return true;
    }
    bool ok = false;
    value = text.toLongLong(&ok, 8);
    return ok && value >= 0;
}

// One pax record set: "len key=value\n" records.
QHash<QByteArray, QByteArray> paxRecords(const QByteArray &data)
{
    QHash<QByteArray, QByteArray> records;
    qsizetype at = 0;
    while (at < data.size()) {
        const qsizetype space = data.indexOf(' ', at);
        if (space < 0)
            break;
        bool ok = false;
        const qsizetype length = data.mid(at, space - at).toLongLong(&ok);
        if (!ok || length <= space - at || at + length > data.size())
            break;
        const QByteArray record = data.mid(space + 1, length - (space - at) - 2);
        const qsizetype eq = record.indexOf('=');
        if (eq > 0)
            records.insert(record.left(eq), record.mid(eq + 1));
        at += length;
    }
    return records;
}

} // namespace

struct Writer::Stream
{
    z_stream z {};
    bool open = false;
};

Writer::Writer(qint64 maxEntrySize, qint64 maxTotal)
    : m_z(std::make_unique<Stream>())
    , m_maxEntry(maxEntrySize)
    , m_maxTotal(maxTotal)
{
}

Writer::~Writer()
{
    if (m_z->open)
        deflateEnd(&m_z->z);
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool Writer::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly)) {
        m_error = m_file.errorString();
        return false;
    }
    // windowBits 15 + 16: a gzip header and trailer around the deflate stream.
    if (deflateInit2(&m_z->z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        m_error = QStringLiteral("zlib");
        m_file.cancelWriting();
        return false;
    }
    m_z->open = true;
    return true;
}

bool Writer::write(const QByteArray &bytes, bool finishStream)
{
    z_stream &z = m_z->z;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    z.avail_in = uInt(bytes.size());
    char out[65536];
    int result = Z_OK;
    do {
        z.next_out = reinterpret_cast<Bytef *>(out);
        z.avail_out = sizeof out;
        result = deflate(&z, finishStream ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR) {
            m_error = QStringLiteral("zlib");
            return false;
        }
        const qint64 produced = qint64(sizeof out) - z.avail_out;
        if (produced > 0 && m_file.write(out, produced) != produced) {
            m_error = m_file.errorString();
            return false;
        }
    } while (z.avail_out == 0 || (finishStream && result != Z_STREAM_END));
    return true;
}

bool Writer::addEntry(const QString &name, char type, const QByteArray &data, const QString &link,
                      qint64 modified)
{
    // Counted as the reader counts: every header's data, pax records too.
    const qint64 size = type == '0' || type == 'x' ? data.size() : 0;
    if (size > m_maxEntry || m_total + size > m_maxTotal) {
        m_error = QStringLiteral("超过了归档的大小上限");
        return false;
    }
    m_total += size;
    QByteArray path = name.toUtf8();
    if (type == '5' && !path.endsWith('/'))
        path.append('/');
    QByteArray header(kBlock, '\0');
    QByteArray prefix;
    QByteArray shortName = path;
    if (path.size() > 100) {
        // Split at a "/" into prefix (155) and name (100) when it can be;
        // otherwise a pax header carries the whole name.
        qsizetype cut = path.lastIndexOf('/', std::min<qsizetype>(155, path.size() - 2));
        while (cut > 0 && path.size() - cut - 1 > 100)
            cut = -1;
        if (cut > 0) {
            prefix = path.left(cut);
            shortName = path.mid(cut + 1);
        } else {
            QByteArray record = " path=" + path + '\n';
            qsizetype length = record.size();
            length += QByteArray::number(length).size();
            if (QByteArray::number(length).size() + record.size() != length)
                ++length;
            const QByteArray pax = QByteArray::number(length) + record;
            if (!addEntry(QStringLiteral("PaxHeader"), 'x', pax, QString(), modified))
                return false;
            shortName = path.left(100);
        }
    }
    putText(header, 0, 100, shortName);
    putOctal(header, 100, 8, type == '5' ? 0755 : (type == '2' ? 0777 : 0644));
    putOctal(header, 108, 8, 0);
    putOctal(header, 116, 8, 0);
    putOctal(header, 124, 12, type == '0' || type == 'x' ? data.size() : 0);
    putOctal(header, 136, 12, std::max<qint64>(0, modified));
    std::memset(header.data() + 148, ' ', 8);
    header[156] = type;
    putText(header, 157, 100, link.toUtf8());
    putText(header, 257, 6, QByteArray("ustar", 6));
    putText(header, 263, 2, "00");
    putText(header, 345, 155, prefix);
    unsigned sum = 0;
    for (char c : std::as_const(header))
        sum += static_cast<unsigned char>(c);
    putOctal(header, 148, 7, sum);
    header[155] = ' ';
    if (!write(header))
        return false;
    if (type == '0' || type == 'x') {
        if (!write(data) || !write(QByteArray(padTo512(data.size()), '\0')))
            return false;
    }
    return true;
}

bool Writer::addFile(const QString &name, const QByteArray &data, qint64 modified)
{
    return addEntry(name, '0', data, QString(), modified);
}

bool Writer::addFolder(const QString &name, qint64 modified)
{
    return addEntry(name, '5', {}, QString(), modified);
}

bool Writer::addLink(const QString &name, const QString &target)
{
    return addEntry(name, '2', {}, target, 0);
}

bool Writer::finish()
{
    // Two empty blocks end the archive.
    if (!write(QByteArray(2 * kBlock, '\0'), true))
        return false;
    deflateEnd(&m_z->z);
    m_z->open = false;
    if (!m_file.commit()) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

void Writer::abandon()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
    if (m_z->open) {
        deflateEnd(&m_z->z);
        m_z->open = false;
    }
}

struct Reader::Stream
{
    z_stream z {};
    bool open = false;
    bool ended = false;
    QByteArray input;
};

Reader::Reader(qint64 maxEntrySize, qint64 maxTotal)
    : m_z(std::make_unique<Stream>())
    , m_maxEntry(maxEntrySize)
    , m_maxTotal(maxTotal)
{
}

Reader::~Reader()
{
    if (m_z->open)
        inflateEnd(&m_z->z);
}

bool Reader::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}

bool Reader::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(m_file.errorString());
    // windowBits 15 + 32: gzip or zlib, told by the header.
    if (inflateInit2(&m_z->z, 15 + 32) != Z_OK)
        return fail(QStringLiteral("zlib"));
    m_z->open = true;
    return true;
}

bool Reader::fill(qint64 bytes)
{
    z_stream &z = m_z->z;
    char out[65536];
    while (m_buffer.size() < bytes) {
        if (m_z->ended)
            return fail(QStringLiteral("文件不完整"));
        if (z.avail_in == 0) {
            m_z->input = m_file.read(65536);
            if (m_z->input.isEmpty())
                return fail(QStringLiteral("文件不完整"));
            z.next_in = reinterpret_cast<Bytef *>(m_z->input.data());
            z.avail_in = uInt(m_z->input.size());
        }
        z.next_out = reinterpret_cast<Bytef *>(out);
        z.avail_out = sizeof out;
        const int result = inflate(&z, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            return fail(QStringLiteral("不是 gzip 压缩的文件，或已损坏"));
        m_buffer.append(out, qsizetype(sizeof out - z.avail_out));
        if (result == Z_STREAM_END) {
            // Concatenated gzip members read as one stream, as gzip does.
            if (z.avail_in > 0 || !m_file.atEnd())
                inflateReset(&z);
            else
                m_z->ended = true;
        }
    }
    return true;
}

bool Reader::take(qint64 bytes, QByteArray &into)
{
    if (!fill(bytes))
        return false;
    into = m_buffer.left(bytes);
    m_buffer.remove(0, bytes);
    return true;
}

bool Reader::skipPending()
{
    QByteArray ignored;
    while (m_pending > 0) {
        const qint64 step = std::min<qint64>(m_pending, 1 << 16);
        if (!take(step, ignored))
            return false;
        m_pending -= step;
    }
    if (m_padding > 0 && !take(m_padding, ignored))
        return false;
    m_padding = 0;
    return true;
}

bool Reader::next(Entry &entry)
{
    if (m_end || !m_error.isEmpty() || !skipPending())
        return false;
    QByteArray longName;
    QByteArray longLink;
    while (true) {
        QByteArray header;
        if (!take(kBlock, header))
            return false;
        if (header.count('\0') == kBlock) {
            m_end = true;
            return false;
        }
        unsigned sum = 0;
        for (int i = 0; i < kBlock; ++i)
            sum += (i >= 148 && i < 156) ? unsigned(' ') : static_cast<unsigned char>(header[i]);
        qint64 stored = 0;
        if (!readOctal(header, 148, 8, stored) || unsigned(stored) != sum)
            return fail(QStringLiteral("不是 tar 归档，或已损坏"));
        qint64 size = 0;
        if (!readOctal(header, 124, 12, size))
            return fail(QStringLiteral("不是 tar 归档，或已损坏"));
        const char type = header[156];
        if (size > m_maxEntry || m_total + size > m_maxTotal)
            return fail(QStringLiteral("归档中的文件太大"));
        m_total += size;
        if (type == 'x' || type == 'L' || type == 'K' || type == 'g') {
            QByteArray data;
            if (!take(size, data) || !take(padTo512(size), header))
                return false;
            if (type == 'x') {
                const auto records = paxRecords(data);
                longName = records.value("path", longName);
                longLink = records.value("linkpath", longLink);
            } else if (type == 'L') {
                longName = field(data, 0, int(data.size()));
            } else if (type == 'K') {
                longLink = field(data, 0, int(data.size()));
            }
            continue;
        }
        QByteArray name = field(header, 0, 100);
        if (field(header, 257, 5) == "ustar") {
            const QByteArray prefix = field(header, 345, 155);
            if (!prefix.isEmpty())
                name = prefix + '/' + name;
        }
        if (!longName.isEmpty())
            name = longName;
        entry = {};
        entry.name = QString::fromUtf8(name);
        entry.linkTarget
            = QString::fromUtf8(longLink.isEmpty() ? field(header, 157, 100) : longLink);
        switch (type) {
        case '0':
        case '\0':
        case '7':
            entry.type = name.endsWith('/') ? Entry::Type::Folder : Entry::Type::File;
            break;
        case '5':
            entry.type = Entry::Type::Folder;
            break;
        case '1':
        case '2':
            entry.type = Entry::Type::Link;
            break;
        default:
            entry.type = Entry::Type::Other;
        }
        entry.size = entry.type == Entry::Type::File ? size : 0;
        // Whatever the type says, the data blocks follow as the size says.
        m_pending = size;
        m_padding = padTo512(size);
        return true;
    }
}

bool Reader::readData(QByteArray &data)
{
    if (!take(m_pending, data))
        return false;
    m_pending = 0;
    QByteArray ignored;
    if (!take(m_padding, ignored))
        return false;
    m_padding = 0;
    return true;
}

} // namespace TarGz
