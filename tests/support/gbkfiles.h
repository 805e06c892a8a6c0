#pragma once

#include <QByteArray>
#include <QString>

// Small helpers for tests that lay out files on disk.
namespace GbkFiles {
// Writes text as GBK with every LF turned into CR LF; creates folders.
void writeText(const QString &path, const QString &text);
void writeBytes(const QString &path, const QByteArray &bytes);
QByteArray readBytes(const QString &path);
QString readText(const QString &path); // GBK, CR LF kept
} // namespace GbkFiles
