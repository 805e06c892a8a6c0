#include "testmedia.h"

#include <QProcess>
#include <QStringList>
#include <QtEndian>

#include <cmath>

namespace TestMedia {

namespace {
void put32(QByteArray &b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
void put16(QByteArray &b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void putBig32(QByteArray &b, quint32 v)
{
    char c[4];
    qToBigEndian(v, c);
    b.append(c, 4);
}
quint8 bcd(int n)
{
    return quint8(((n / 10) << 4) | (n % 10));
}
} // namespace

QByteArray wav(double seconds, double frequency, int sampleRate)
{
    const int samples = int(seconds * sampleRate);
    QByteArray pcm;
    pcm.reserve(samples * 2);
    for (int i = 0; i < samples; ++i)
        put16(pcm,
              quint16(qint16(std::lround(8000 * std::sin(2 * M_PI * frequency * i / sampleRate)))));
    QByteArray out("RIFF");
    put32(out, quint32(36 + pcm.size()));
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);
    put16(out, 1);
    put32(out, quint32(sampleRate));
    put32(out, quint32(sampleRate * 2));
    put16(out, 2);
    put16(out, 16);
    out += "data";
    put32(out, quint32(pcm.size()));
    return out + pcm;
}

QByteArray sweptWav(int seconds, int sampleRate)
{
    // The phase is the integral of the frequency: 2 pi (300 t + 50 t^2).
    const int samples = seconds * sampleRate;
    QByteArray out = wav(0, 440.0, sampleRate);
    QByteArray pcm;
    pcm.reserve(samples * 2);
    for (int i = 0; i < samples; ++i) {
        const double t = double(i) / sampleRate;
        const double phase = 2 * M_PI * (300.0 * t + 50.0 * t * t);
        put16(pcm, quint16(qint16(std::lround(8000 * std::sin(phase)))));
    }
    // The header of an empty file, its lengths set to the samples'.
    qToLittleEndian(quint32(36 + pcm.size()), out.data() + 4);
    qToLittleEndian(quint32(pcm.size()), out.data() + 40);
    return out + pcm;
}

QByteArray midi()
{
    QByteArray track;
    track += QByteArray::fromHex("00FF510307A120"); // 500000 µs a quarter note
    track += QByteArray::fromHex("00C000"); // piano
    for (int note : {60, 64, 67, 72}) {
        track += char(0x00);
        track += char(0x90);
        track += char(note);
        track += char(0x60);
        track += char(0x60); // 96 ticks later
        track += char(0x80);
        track += char(note);
        track += char(0x40);
    }
    track += QByteArray::fromHex("00FF2F00");
    QByteArray out("MThd");
    putBig32(out, 6);
    out += QByteArray::fromHex("0000"
                               "0001"
                               "0060"); // format 0, one track, 96 ticks a quarter
    out += "MTrk";
    putBig32(out, quint32(track.size()));
    return out + track;
}

QByteArray cdxa(const QByteArray &programStream)
{
    constexpr int pack = 2324;
    QByteArray sectors;
    for (qsizetype offset = 0, n = 0; offset < programStream.size(); offset += pack, ++n) {
        QByteArray data = programStream.mid(offset, pack);
        data.append(QByteArray(pack - data.size(), '\0'));
        const int lba = int(n) + 150;
        QByteArray sector;
        sector += char(0x00);
        sector += QByteArray(10, char(0xFF));
        sector += char(0x00);
        sector += char(bcd(lba / (75 * 60)));
        sector += char(bcd(lba / 75 % 60));
        sector += char(bcd(lba % 75));
        sector += char(0x02); // mode 2
        sector += QByteArray::fromHex("0101620F0101620F"); // form 2 subheader, twice
        sector += data;
        sector += QByteArray(4, '\0'); // EDC
        sectors += sector;
    }
    QByteArray fmt("fmt ");
    put32(fmt, 16);
    fmt += QByteArray(16, '\0');
    QByteArray out("RIFF");
    put32(out, quint32(4 + fmt.size() + 8 + sectors.size()));
    out += "CDXA";
    out += fmt;
    out += "data";
    put32(out, quint32(sectors.size()));
    return out + sectors;
}

bool ffmpeg(const QStringList &arguments, QString *error)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            QStringList {QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error")}
                + arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = p.errorString() + u' ' + QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

bool soundServerRunning()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(5000) && pactl.exitCode() == 0;
}

} // namespace TestMedia
