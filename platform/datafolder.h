#pragma once

#include <QString>

// Where the console keeps its data files (schedules, node.txt, config.ini,
// the as-run log). A portable installation keeps them beside the
// executable, as a school that copies the console onto a stick expects; an
// installed console (its executable in /usr/lib/quellon, which the operator
// cannot write) keeps them in the operator's own data folder.
struct DataFolderFacts
{
    // The folder of the executable, and what the file system says of it.
    QString executableFolder;
    bool executableFolderWritable = false;
    // The folder is an installation's: it holds a file "portable", or data
    // files (config.ini, node.txt, amp_name.dat, rem_list.txt, table/, log/).
    bool executableFolderHoldsData = false;
    // --data-folder, as given (relative to the working folder); empty when absent.
    QString option;
    QString workingFolder;
    // $XDG_DATA_HOME (empty when unset) and $HOME.
    QString xdgDataHome;
    QString home;
};

struct DataFolderChoice
{
    enum class Kind { Option, Portable, User };
    Kind kind = Kind::Portable;
    QString path; // absolute, without a trailing separator
    // For the operator (Chinese), empty when all is well: a portable folder
    // that this user cannot write keeps its data, but nothing is saved.
    QString warning;
};

// The rule, apart from the file system so that each case can be tried:
// the option wins; then an executable folder that holds data (with a
// warning when this user cannot write it); then
// $XDG_DATA_HOME/quellon, or ~/.local/share/quellon when it is unset or not
// absolute (as the XDG base directory rules say).
DataFolderChoice chooseDataFolder(const DataFolderFacts &facts);

// The facts of this process: its executable's folder, the option, the
// environment.
DataFolderFacts dataFolderFacts(const QString &executableFolder, const QString &option);

// The files a fresh data folder starts with: the package ships them in
// share/quellon/seed beside its lib/quellon.
QString seedFolderFor(const QString &executableFolder);

// Creates the data folder when it does not exist and copies into it what
// the seed holds; a folder that already exists is left as it is, so files
// the operator removed do not come back. Returns what went wrong (Chinese),
// empty when the folder is there.
QString prepareDataFolder(const QString &folder, const QString &seedFolder);
