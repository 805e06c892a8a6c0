#include "platform/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

QString fromGbk(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

std::optional<QString> fromGbkStrict(QByteArrayView bytes)
{
    // Times, numbers and most paths are plain ASCII, which GBK leaves as it is.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder("GBK");
    QString text = decoder.decode(bytes);
    // A lead byte cut off at the end is held back by the decoder rather than
    // flagged; bytes that come back the same when encoded again are sure.
    if (decoder.hasError() || toGbk(text) != bytes)
        return std::nullopt;
    return text;
}

QByteArray toGbk(QStringView text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

bool gbkCanHold(QStringView text)
{
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(text);
    return !encoder.hasError() && fromGbk(bytes) == text;
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
