#include "controllerstate.h"

#include "zonelink/frames.h"
#include "zonelink/matrixroutes.h"

#include <utility>

namespace {
QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}
QString dotList(const QList<int> &values)
{
    QString text;
    for (int v : values)
        text += QString::number(v) + u'.';
    return text;
}
QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QChar(u'0'));
}
} // namespace

ControllerState::ControllerState(std::function<QDateTime()> now)
    : m_now(std::move(now))
{
}

QString ControllerState::clockText() const
{
    return m_now().addSecs(m_clockOffsetSecs).toString(QStringLiteral("HH:mm:ss"));
}

void ControllerState::log(const QString &line)
{
    m_log.append(m_now().toString(QStringLiteral("HH:mm:ss.zzz")) + u' ' + line);
}

QStringList ControllerState::takeLog()
{
    QStringList lines;
    lines.swap(m_log);
    return lines;
}

QByteArray ControllerState::receive(const QByteArray &bytes)
{
    QByteArray out;
    for (const FrameDecoder::Piece &piece : m_decoder.feed(bytes)) {
        if (piece.isFrame) {
            out += apply(piece.frame);
        } else {
            // Bytes that are no frame come straight back (the serial line test).
            log(QStringLiteral("echo %1").arg(hex(piece.stray)));
            out += piece.stray;
        }
    }
    return out;
}

void ControllerState::setSilent(int address, bool silent)
{
    if (silent)
        m_silent.insert(address);
    else
        m_silent.remove(address);
}

QByteArray ControllerState::takeTerminalAnswers()
{
    return std::exchange(m_terminalAnswers, {});
}

QByteArray ControllerState::apply(const FrameDecoder::Frame &f)
{
    const QString raw = u'[' + hex(f.raw) + u']';
    const QString list = dotList(f.values);
    QString what = CommandCode::name(f.code);
    QByteArray reply;
    switch (f.code) {
    case CommandCode::ZoneOpen:
        for (int a : f.values)
            m_terminals[std::size_t(a)]
                = {true, f.p1 * 100 + f.p2, m_terminals[std::size_t(a)].volume};
        what += QStringLiteral(" %1.%2 MHz nodes %3")
                    .arg(f.p1 * 10 + f.p2 / 10)
                    .arg(f.p2 % 10)
                    .arg(list);
        break;
    case CommandCode::ZoneClose:
        for (int a : f.values)
            m_terminals[std::size_t(a)].on = false;
        what += QStringLiteral(" nodes %1").arg(list);
        break;
    case CommandCode::AmpOpen:
    case CommandCode::AmpClose:
    case CommandCode::DeviceOpen:
    case CommandCode::DeviceClose: {
        auto &bank = (f.code <= CommandCode::AmpClose) ? m_amps : m_devices;
        const bool on = f.code == CommandCode::AmpOpen || f.code == CommandCode::DeviceOpen;
        for (int n : f.values) {
            if (n >= 1 && n <= 8)
                bank[std::size_t(n - 1)] = on;
        }
        what += u' ' + list;
        break;
    }
    case CommandCode::ClockSet:
        if (f.values.size() == 3) {
            const int wanted = f.values.at(0) * 3600 + f.values.at(1) * 60 + f.values.at(2);
            const QTime pc = m_now().time();
            m_clockOffsetSecs = wanted - (pc.hour() * 3600 + pc.minute() * 60 + pc.second());
        }
        what += QStringLiteral(" %1").arg(list);
        break;
    case CommandCode::PowerOnTimeSet:
        if (f.values.size() == 3)
            m_powerOn = twoDigits(f.values.at(0)) + u':' + twoDigits(f.values.at(1)) + u':'
                + twoDigits(f.values.at(2));
        what += QStringLiteral(" %1").arg(list);
        break;
    case CommandCode::ShutdownNotice:
        break;
    case CommandCode::ClockQuery:
        reply = clockText().toLatin1();
        what += QStringLiteral(" -> %1").arg(QString::fromLatin1(reply));
        break;
    case CommandCode::PowerOnTimeQuery:
        reply = (m_powerOn.isEmpty() ? QStringLiteral("??:??:??") : m_powerOn).toLatin1();
        what += QStringLiteral(" -> %1").arg(QString::fromLatin1(reply));
        break;
    case CommandCode::StatusQuery: {
        const int a = f.values.value(0, -1);
        if (a >= 0 && m_silent.contains(a)) {
            what += QStringLiteral(" node %1 -> no answer (silent)").arg(a);
        } else if (a >= 0 && m_configured.contains(a) && m_terminals[std::size_t(a)].on) {
            const int freq
                = m_constantVoltage.contains(a) ? 8888 : m_terminals[std::size_t(a)].frequency;
            const QByteArray answer
                = statusReplyBytes({a, freq, m_terminals[std::size_t(a)].volume});
            what += QStringLiteral(" node %1 -> %2").arg(a).arg(hex(answer));
            m_terminalAnswers += answer;
        } else {
            what += QStringLiteral(" node %1 -> no answer").arg(a);
        }
        break;
    }
    case CommandCode::VolumeSet:
        for (int a : f.values)
            m_terminals[std::size_t(a)].volume = f.p1;
        what += QStringLiteral(" %1 nodes %2").arg(f.p1).arg(list);
        break;
    case CommandCode::MatrixSet: {
        // Each byte decoded, so the log shows what the operator chose; a byte
        // naming no output or input changes nothing and says so.
        QStringList routes;
        for (int value : f.values) {
            if (const auto route = Matrix::routeOf(value)) {
                m_matrix[std::size_t(route->output - 1)] = route->input - 1;
                routes.append(Matrix::routeText(*route));
            } else {
                routes.append(QStringLiteral("no-route(%1)").arg(value));
            }
        }
        what += u' ' + (routes.isEmpty() ? QStringLiteral("-") : routes.join(u' '));
        break;
    }
    default:
        what = QStringLiteral("Unknown code %1 P1 %2 P2 %3 list %4")
                   .arg(f.code)
                   .arg(f.p1)
                   .arg(f.p2)
                   .arg(list);
        break;
    }
    log(what + u' ' + raw);
    return reply;
}

QString ControllerState::summary() const
{
    QString nodes;
    for (int a = 0; a < 256; ++a) {
        if (m_terminals[std::size_t(a)].on)
            nodes += QString::number(a) + u'.';
    }
    QString amps, devices;
    for (int n = 1; n <= 8; ++n) {
        if (m_amps[std::size_t(n - 1)])
            amps += QString::number(n) + u'.';
        if (m_devices[std::size_t(n - 1)])
            devices += QString::number(n) + u'.';
    }
    const QString on = QStringLiteral("state nodes %1 amps %2 devices %3 clock %4 poweron %5")
                           .arg(nodes.isEmpty() ? QStringLiteral("-") : nodes,
                                amps.isEmpty() ? QStringLiteral("-") : amps,
                                devices.isEmpty() ? QStringLiteral("-") : devices, clockText(),
                                m_powerOn.isEmpty() ? QStringLiteral("??:??:??") : m_powerOn);
    return on + u' ' + matrixSummary();
}

QString ControllerState::matrixSummary() const
{
    QStringList routes;
    for (int output = 1; output <= Matrix::kOutputs; ++output) {
        const int input = matrixInput(output);
        routes.append(input > 0 ? Matrix::routeText({output, input})
                                : QStringLiteral("out%1←?").arg(output));
    }
    return QStringLiteral("matrix ") + routes.join(u' ');
}
