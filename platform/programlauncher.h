#pragma once

#include <QStringList>

// Starts another program of the system (the sound recorder, the system
// information tool) on its own, without waiting for it.
class ProgramLauncher
{
public:
    virtual ~ProgramLauncher();
    // True when the program was started.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;

    // Tries the programs in order; returns the one that started, or empty.
    QString startFirst(const QStringList &programs);
};

class ProcessLauncher final : public ProgramLauncher
{
public:
    bool startDetached(const QString &program, const QStringList &arguments) override;
};
