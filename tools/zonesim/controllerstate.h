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

    // Takes bytes from the line; returns the bytes to send back.
    QByteArray receive(const QByteArray &bytes);
    // Log lines since the last call.
    QStringList takeLog();

    const Terminal &terminal(int address) const { return m_terminals.at(std::size_t(address)); }
    bool amplifierOn(int n) const { return m_amps.at(std::size_t(n - 1)); }
    bool deviceOn(int n) const { return m_devices.at(std::size_t(n - 1)); }
    int matrixInput(int output) const { return m_matrix.at(std::size_t(output)); }
    QString clockText() const;
    QString powerOnTime() const { return m_powerOn; }
    QString summary() const; // one line: what is on

private:
    QByteArray apply(const FrameDecoder::Frame &f);
    void log(const QString &line);

    std::function<QDateTime()> m_now;
    FrameDecoder m_decoder;
    std::array<Terminal, 256> m_terminals {};
    std::array<bool, 8> m_amps {};
    std::array<bool, 8> m_devices {};
    std::array<int, 8> m_matrix {{-1, -1, -1, -1, -1, -1, -1, -1}};
    qint64 m_clockOffsetSecs = 0;
    QString m_powerOn; // "hh:mm:ss", empty when none is set
    QSet<int> m_configured;
    QSet<int> m_constantVoltage;
    QStringList m_log;
};
