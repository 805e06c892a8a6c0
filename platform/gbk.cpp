#include "platform/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <utility>

namespace {

// Finding the converter by name is the dearest part of a short field, so
// each thread keeps one of each. Every call hands over a whole text; both are
// stateless, so a half character at the end is an error rather than held back
// for the next call, and a converter that met an error is replaced, so no
// error is carried into the next call either.
struct GbkConverters
{
    QStringDecoder decoder {"GBK", QStringConverter::Flag::Stateless};
    QStringEncoder encoder {"GBK", QStringConverter::Flag::Stateless};
};

GbkConverters &converters()
{
    thread_local GbkConverters c;
    return c;
}

// The text of the bytes, and whether the decoder met bytes that are not GBK.
std::pair<QString, bool> decode(QByteArrayView bytes)
{
    QStringDecoder &decoder = converters().decoder;
    QString text = decoder.decode(bytes);
    // Stateless: a lead byte at the very end is an error too, not held back.
    const bool error = decoder.hasError();
    if (error)
        decoder = QStringDecoder("GBK", QStringConverter::Flag::Stateless);
    return {text, error};
}

std::pair<QByteArray, bool> encode(QStringView text)
{
    QStringEncoder &encoder = converters().encoder;
    QByteArray bytes = encoder.encode(text);
    const bool error = encoder.hasError();
    if (error)
        encoder = QStringEncoder("GBK", QStringConverter::Flag::Stateless);
    return {bytes, error};
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

} // namespace

QString fromGbk(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return decode(bytes).first;
}

std::optional<QString> fromGbkStrict(QByteArrayView bytes)
{
    // Times, numbers and most paths are plain ASCII, which GBK leaves as it is.
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    auto [text, error] = decode(bytes);
    // Bytes that come back the same when encoded again are sure.
    if (error || toGbk(text) != bytes)
        return std::nullopt;
    return text;
}

QByteArray toGbk(QStringView text)
{
    return encode(text).first;
}

bool gbkCanHold(QStringView text)
{
    const auto [bytes, error] = encode(text);
    return !error && fromGbk(bytes) == text;
}

QByteArray cutGbk(const QByteArray &bytes, qsizetype maxBytes)
{
    if (bytes.size() <= maxBytes)
        return bytes;
    // Walk character by character: a lead byte above 0x80 starts a pair.
    qsizetype pos = 0;
    while (pos < maxBytes) {
        const auto c = static_cast<unsigned char>(bytes.at(pos));
        const qsizetype width = (c > 0x80 && c < 0xFF) ? 2 : 1;
        if (pos + width > maxBytes)
            break;
        pos += width;
    }
    return bytes.left(pos);
}
