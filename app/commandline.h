#pragma once

#include <QString>

#include <optional>

// Reads the options of the command line before any window or sound engine
// exists, so that --version and --help answer on a machine without a
// display. Returns the exit code when the program should end there (the
// version or the usage was asked for, or an option was not understood);
// nothing when the console should start.
struct StartOptions
{
    // --data-folder: where the data files are, whatever the installation.
    QString dataFolder;
};
std::optional<int> answerCommandLine(int argc, char *argv[], StartOptions &options);
