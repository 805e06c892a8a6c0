#pragma once

#include "zonelink/framedecoder.h"

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

// The zone controller as the simulator plays it: it takes the bytes the
// console sends, keeps the state of terminals, amplifiers, devices, matrix,
// clock and power-on time, answers the three queries and echoes bytes that
// are not frames. Each frame gives one readable log line.
class ControllerState
{
public:
    struct Terminal
    {
        bool on = false;
        int frequency = 0; // tenths of a MHz
        int volume = 20;
    };

    // now: the PC's time, for the controller's clock.
    explicit ControllerState(std::function<QDateTime()> now = &QDateTime::currentDateTime);

    // Terminals that answer status queries; constant-voltage ones answer 8888.
    void setConfiguredTerminals(const QSet<int> &addresses) { m_configured = addresses; }
    void setConstantVoltage(const QSet<int> &addresses) { m_constantVoltage = addresses; }
    // A terminal that goes silent (a broken receiver, say) no longer answers
    // status queries, whatever else it is told; it answers again once back.
    void setSilent(int address, bool silent);
    bool silent(int address) const { return m_silent.contains(address); }

    // Takes bytes from the line; returns the bytes the controller sends back
    // at once (clock texts, echoed bytes).
    QByteArray receive(const QByteArray &bytes);
    // Status replies the last bytes asked for. They come from the terminals,
    // which answer only after the PC has released the line (DTR down after its
    // send delay), so the simulator sends them a little later.
    QByteArray takeTerminalAnswers();
    // Log lines since the last call.
    QStringList takeLog();

    const Terminal &terminal(int address) const { return m_terminals.at(std::size_t(address)); }
    bool amplifierOn(int n) const { return m_amps.at(std::size_t(n - 1)); }
    bool deviceOn(int n) const { return m_devices.at(std::size_t(n - 1)); }
    // The input (1..8) that feeds output 1..8; 0 while the console has not set it.
    int matrixInput(int output) const { return m_matrix.at(std::size_t(output - 1)) + 1; }
    QString clockText() const;
    QString powerOnTime() const { return m_powerOn; }
    // One line: what is on, the clock, the power-on time, then the matrix.
    // Readers take its fields from the front; new fields go at the end.
    QString summary() const;
    QString matrixSummary() const; // "matrix out1←in1 out2←? …"

private:
    QByteArray apply(const FrameDecoder::Frame &f);
    void log(const QString &line);

    std::function<QDateTime()> m_now;
    QByteArray m_terminalAnswers;
    FrameDecoder m_decoder;
    std::array<Terminal, 256> m_terminals {};
    std::array<bool, 8> m_amps {};
    std::array<bool, 8> m_devices {};
    std::array<int, 8> m_matrix {{-1, -1, -1, -1, -1, -1, -1, -1}}; // 0-based input, -1 unset
    qint64 m_clockOffsetSecs = 0;
    QString m_powerOn; // "hh:mm:ss", empty when none is set
    QSet<int> m_configured;
    QSet<int> m_constantVoltage;
    QSet<int> m_silent;
    QStringList m_log;
};
