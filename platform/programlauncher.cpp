#include "platform/programlauncher.h"

#include <QProcess>
#include <QStandardPaths>

ProgramLauncher::~ProgramLauncher() = default;

QString ProgramLauncher::startFirst(const QStringList &programs)
{
    for (const QString &program : programs) {
        if (startDetached(program, {}))
            return program;
    }
    return {};
}

bool ProcessLauncher::startDetached(const QString &program, const QStringList &arguments)
{
    // Looked up first, so that a missing program fails here and not in a
    // child process that could never report it.
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;
    return QProcess::startDetached(path, arguments);
}
