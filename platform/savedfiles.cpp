#include "platform/savedfiles.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSaved, "quellon.saved")

void SavedFiles::announce(Kind kind, const QString &path)
{
    qCInfo(lcSaved) << "saved" << kind << path;
    Q_EMIT saved(kind, path);
}
