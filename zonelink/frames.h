#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The command frames of the zone controller: EB 14, code, P1, P2, N, the N
// list values, FE 01. No checksum, no escaping, no acknowledgement.
namespace CommandCode {
inline constexpr int ZoneOpen = 1;
inline constexpr int ZoneClose = 2;
inline constexpr int AmpOpen = 3;
inline constexpr int AmpClose = 4;
inline constexpr int DeviceOpen = 5;
inline constexpr int DeviceClose = 6;
inline constexpr int ClockSet = 7;
inline constexpr int ShutdownNotice = 8;
inline constexpr int PowerOnTimeSet = 9;
inline constexpr int ClockQuery = 11;
inline constexpr int StatusQuery = 12;
inline constexpr int VolumeSet = 13;
inline constexpr int PowerOnTimeQuery = 14;
inline constexpr int MatrixSet = 88;

// "ZoneOpen" for 1 and so on; empty for a code the console never sends.
QString name(int code);
} // namespace CommandCode

// The single-byte key codes of the controller's remote control.
enum class RemoteKey {
    KeyPlay = 1,
    KeyAllOn = 2,
    KeyStop = 3,
    KeyAllOff = 4,
    KeyPrevious = 5,
    KeyVolumeUp = 6,
    KeyNext = 7,
    KeyVolumeDown = 8,
};

// All eight amplifiers or all eight devices.
inline const QString kAllEight = QStringLiteral("1.2.3.4.5.6.7.8.");

// The most list values one frame carries: N is one byte.
inline constexpr int kMaxFrameValues = 255;

// The frame of the code, P1 and P2 (decimal texts 0..255) and the DotList
// list. Nothing when a parameter or list item is not a number 0..255 or the
// list holds more than 255 values: then nothing may be sent.
std::optional<QByteArray> BuildFrame(const QString &code, const QString &p1, const QString &p2,
                                     const QString &list);
std::optional<QByteArray> BuildFrame(int code, int p1, int p2, const QString &list);
// The frames of a command to a list of any length: the values in list order,
// at most 255 to a frame, every frame with the same code, P1 and P2. An empty
// list gives one frame without values. Nothing when a parameter or any one
// value is not a number 0..255: a command is sent whole or not at all, never
// with a value quietly left out.
std::optional<QList<QByteArray>> BuildFrames(const QString &code, const QString &p1,
                                             const QString &p2, const QString &list);
std::optional<QList<QByteArray>> BuildFrames(int code, int p1, int p2, const QString &list);
// The list values a frame carries, as a DotList ("3.17.200."); empty for
// bytes that are no whole frame.
QString frameList(const QByteArray &frame);

// The items of DotList a that are not in DotList b, compared as text.
QString ListMinus(const QString &a, const QString &b);
// The items of a DotList, the empty piece after the last "." left out.
QStringList dotListItems(const QString &list);
// "07:55:00" → "07.55.00.", the list of the clock and power-on commands.
QString timeDotList(const QString &hhmmss);

// The two tuner parameters of a frequency in tenths of a MHz: 1035 → "10", "35".
struct FrequencyParameters
{
    QString FreqHigh;
    QString FreqLow;
};
FrequencyParameters splitFrequency(int tenths);

// A terminal's answer to StatusQuery.
struct StatusReply
{
    int address = 0;
    int frequency = 0; // tenths of a MHz; 8888 for a constant-voltage terminal
    int volume = 0;
    // Wired terminals send 8888 (bytes 88, 88); some are documented as sending
    // the bytes 87, 88 instead. Neither is a broadcast frequency (878.8 MHz is
    // far above the band), so both read as a wired terminal.
    bool constantVoltage() const { return frequency == 8888 || frequency == 8788; }
};
// The reply of the terminal at address, if bytes 2, 3 and 6 say it is one.
std::optional<StatusReply> parseStatusReply(const QByteArray &bytes, int address);
// Where the first reply (of any terminal) begins in bytes read from the line:
// the first place whose bytes 2 and 3 are a reply's; -1 when there is none.
qsizetype statusReplyStart(const QByteArray &bytes);
// The 12 bytes a terminal sends for a reply; the bytes nobody reads are 0.
QByteArray statusReplyBytes(const StatusReply &reply);
