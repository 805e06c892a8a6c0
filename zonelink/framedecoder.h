#pragma once

#include <QByteArray>
#include <QList>

// Splits a byte stream into command frames, as the controller reads it.
// Bytes that do not start a frame are handed back as stray bytes.
class FrameDecoder
{
public:
    struct Frame
    {
        int code = 0;
        int p1 = 0;
        int p2 = 0;
        QList<int> values;
        QByteArray raw;
    };
    struct Piece
    {
        bool isFrame = false;
        Frame frame; // when isFrame
        QByteArray stray; // otherwise
    };

    // Adds bytes and returns what they completed.
    QList<Piece> feed(const QByteArray &bytes);
    bool midFrame() const { return !m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
};
