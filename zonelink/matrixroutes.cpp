#include "zonelink/matrixroutes.h"

#include "zonelink/frames.h"
#include "zonelink/zonelink.h"

#include <QStringList>

namespace Matrix {
int routeByte(Route route)
{
    return (route.output - 1) * 16 + (route.input - 1);
}

std::optional<Route> routeOf(int byte)
{
    const int output = byte / 16 + 1;
    const int input = byte % 16 + 1;
    if (byte < 0 || output > kOutputs || input > kInputs)
        return std::nullopt;
    return Route {output, input};
}

QString routeText(Route route)
{
    return QStringLiteral("out%1←in%2").arg(route.output).arg(route.input);
}
} // namespace Matrix

namespace {
bool validInput(int input)
{
    return input >= 0 && input < Matrix::kInputs;
}
} // namespace

MatrixControl::MatrixControl(ZoneLink &link, MatrixRouteTable &routes)
    : m_link(link)
    , m_routes(routes)
{
}

int MatrixControl::storedInput(int output) const
{
    const int input = m_routes.at(std::size_t(output));
    return validInput(input) ? input : 0;
}

QString MatrixControl::oneRouteList(int output, int input)
{
    return QString::number(Matrix::routeByte({output, input + 1})) + u'.';
}

QString MatrixControl::allRoutesList(const MatrixRouteTable &routes)
{
    QString list;
    for (int output = 1; output <= Matrix::kOutputs; ++output)
        list += oneRouteList(output, routes.at(std::size_t(output)));
    return list;
}

bool MatrixControl::confirmOne(int output, int input)
{
    Q_ASSERT(output >= 1 && output <= Matrix::kOutputs && validInput(input));
    if (!m_link.isOpen())
        return false;
    m_routes.at(std::size_t(output)) = qint16(input);
    m_link.announceCommand(QStringLiteral("矩阵"),
                           QStringLiteral("确定 输出 %1 ← 输入 %2").arg(output).arg(input + 1));
    write(oneRouteList(output, input));
    return true;
}

bool MatrixControl::confirmAll(const std::array<int, Matrix::kOutputs> &inputs)
{
    if (!m_link.isOpen())
        return false;
    for (int output = 1; output <= Matrix::kOutputs; ++output) {
        const int input = inputs.at(std::size_t(output - 1));
        Q_ASSERT(validInput(input));
        m_routes.at(std::size_t(output)) = qint16(input);
    }
    QStringList routes;
    for (int output = 1; output <= Matrix::kOutputs; ++output)
        routes << QStringLiteral("%1←%2").arg(output).arg(m_routes.at(std::size_t(output)) + 1);
    m_link.announceCommand(QStringLiteral("矩阵"),
                           QStringLiteral("全部确定 输出←输入 ") + routes.join(u' '));
    write(allRoutesList(m_routes));
    return true;
}

void MatrixControl::write(const QString &list)
{
    // The controller does not answer MatrixSet, so the frame is written
    // without the request-to-send handshake and nothing waits for it.
    m_link.writeCommand(CommandCode::MatrixSet, QStringLiteral("0"), QStringLiteral("0"), list);
}
