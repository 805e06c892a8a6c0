#include "zonelink/framedecoder.h"

QList<FrameDecoder::Piece> FrameDecoder::feed(const QByteArray &bytes)
{
    QList<Piece> pieces;
    m_buffer += bytes;
    const auto u = [this](qsizetype i) { return int(static_cast<unsigned char>(m_buffer.at(i))); };
    QByteArray stray;
    const auto flushStray = [&] {
        if (!stray.isEmpty()) {
            pieces.append(Piece {false, {}, stray});
            stray.clear();
        }
    };
    while (!m_buffer.isEmpty()) {
        // A frame starts with EB 14; anything else is a stray byte.
        if (u(0) != 0xEB || (m_buffer.size() > 1 && u(1) != 0x14)) {
            stray += m_buffer.at(0);
            m_buffer.remove(0, 1);
            continue;
        }
        if (m_buffer.size() < 6)
            break;
        const int n = u(5);
        const qsizetype length = 8 + n;
        if (m_buffer.size() < length)
            break;
        if (u(length - 2) != 0xFE || u(length - 1) != 0x01) {
            // Not a frame after all: give up its first byte and look again.
            stray += m_buffer.at(0);
            m_buffer.remove(0, 1);
            continue;
        }
        flushStray();
        Frame f;
        f.code = u(2);
        f.p1 = u(3);
        f.p2 = u(4);
        for (int i = 0; i < n; ++i)
            f.values.append(u(6 + i));
        f.raw = m_buffer.left(length);
        m_buffer.remove(0, length);
        pieces.append(Piece {true, f, {}});
    }
    flushStray();
    return pieces;
}
