#pragma once

#include <QDateTime>
#include <QString>

// The text of the clock field: " 2026年12月07日 星期一  08:00:05".
QString clockFieldText(const QDateTime &moment);
