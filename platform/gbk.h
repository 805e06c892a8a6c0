#pragma once

#include <QByteArray>
#include <QString>

// The operator's files are in the GBK code page, as the installations have
// always kept them.
QString fromGbk(QByteArrayView bytes);
QByteArray toGbk(QStringView text);

// Cuts GBK bytes to at most maxBytes without splitting a two-byte character.
QByteArray cutGbk(const QByteArray &bytes, qsizetype maxBytes);
