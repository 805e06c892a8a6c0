#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The operator's files are in the GBK code page, as the installations have
// always kept them.
QString fromGbk(QByteArrayView bytes);
// The text of GBK bytes, or nothing when they hold a sequence that is not GBK.
std::optional<QString> fromGbkStrict(QByteArrayView bytes);
QByteArray toGbk(QStringView text);
// Whether every character of the text has a GBK code (what has none would be
// written as "?").
bool gbkCanHold(QStringView text);

// Cuts GBK bytes to at most maxBytes without splitting a two-byte character.
QByteArray cutGbk(const QByteArray &bytes, qsizetype maxBytes);
