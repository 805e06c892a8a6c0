#pragma once

#include <QIcon>
#include <QString>

// The three small icons of today's list, drawn by us: "clock3" (waiting),
// "checkmark" (done) and "remove" (cancelled).
namespace ProgrammeIcons {
QIcon icon(const QString &key);
QImage image(const QString &key, int size = 16);
} // namespace ProgrammeIcons
