#pragma once

#include "platform/programlauncher.h"

// Records the programs asked for; only those listed in `installed` start.
class FakeLauncher final : public ProgramLauncher
{
public:
    bool startDetached(const QString &program, const QStringList &) override
    {
        asked.append(program);
        return installed.contains(program);
    }

    QStringList installed;
    QStringList asked;
};
