#pragma once

#include <QString>

#include <array>
#include <optional>

class ZoneLink;

// The controller's 8 × 8 audio matrix: each output is fed from one input.
namespace Matrix {
inline constexpr int kOutputs = 8;
inline constexpr int kInputs = 8;

// One route, output and input counted from 1 as the operator counts them.
struct Route
{
    int output = 1;
    int input = 1;
    friend bool operator==(const Route &, const Route &) = default;
};

// The byte of a route on the wire: the output in the high four bits, the
// input in the low four, both counted from 0. Out3 ← in6 is 0x25.
int routeByte(Route route);
// The route a byte names; nothing when either half is not one of the eight.
std::optional<Route> routeOf(int byte);
// "out3←in6", for logs.
QString routeText(Route route);
} // namespace Matrix

// What the console last chose for outputs [1..8] (index 0 unused): the input
// counted from 0. It lives as long as the program; the controller is never
// asked, so after a start every output reads input 1.
using MatrixRouteTable = std::array<qint16, 9>;

// Chooses routes: remembers them in the table and writes MatrixSet to the
// controller. Inputs are given as the option index of the window, 0..7.
class MatrixControl
{
public:
    MatrixControl(ZoneLink &link, MatrixRouteTable &routes);

    // The input index stored for output 1..8; a value outside 0..7 (which
    // the console never stores) reads as input 1.
    int storedInput(int output) const;

    // One output's "确 定": stores the input and writes a one-route MatrixSet.
    // False, with nothing stored or sent, when the port is not open: a route
    // that never reached the controller must not be shown as chosen.
    bool confirmOne(int output, int input);
    // "全部确定": stores all eight (outputs 1..8 in order) and writes one
    // MatrixSet with every route. Same rule for a closed port.
    bool confirmAll(const std::array<int, Matrix::kOutputs> &inputs);

    // The DotList of MatrixSet for one output ("37." for out3 ← in6) and for
    // all eight outputs as the table holds them.
    static QString oneRouteList(int output, int input);
    static QString allRoutesList(const MatrixRouteTable &routes);

private:
    void write(const QString &list);

    ZoneLink &m_link;
    MatrixRouteTable &m_routes;
};
