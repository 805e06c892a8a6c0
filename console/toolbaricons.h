#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The icons of the main window's toolbar, drawn by us, by button key: "new",
// "open", "setup", "clock", "reccord", "play", "volup", "voldown", "detail",
// "quit", "emergency". An unknown key gives an empty picture.
namespace ToolbarIcons {
QImage image(const QString &key, int size = 32);
QIcon icon(const QString &key);
} // namespace ToolbarIcons
