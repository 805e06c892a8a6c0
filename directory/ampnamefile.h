#pragma once

#include <QString>
#include <QStringList>

// amp_name.dat: 24 quoted fields, one a line: eight amplifier names, the
// frequencies of the eight programme sources in MHz as typed, eight device names.
struct AmpNames
{
    QStringList amps = QStringList(8);
    QStringList frequencies = QStringList(8);
    QStringList devices = QStringList(8);
};

struct AmpNamesRead
{
    bool ok = false; // a complete block was read and nothing broke
    bool missing = false;
    AmpNames names; // fields read before a failure stay filled, the rest are empty
    QString error;
};

// Reads blocks of 24 fields while the file is not at its end; a later block
// overwrites an earlier one.
AmpNamesRead readAmpNameFile(const QString &path);
QString writeAmpNameFile(const QString &path, const AmpNames &names);

// Tenths of a MHz of a frequency text: its leading number times ten, halves
// to the even neighbour; text without a leading number gives 0.
qint16 frequencyTenths(const QString &text);
