#pragma once

#include <QStringList>

// The serial devices this machine has, for the operator to map a port to:
// /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM* and the stable names under
// /dev/serial/by-id, sorted by name (ttyS2 before ttyS10). devRoot replaces
// "/dev" in tests.
QStringList serialDevicePaths(const QString &devRoot = QStringLiteral("/dev"));
