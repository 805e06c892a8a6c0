#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class FieldReader;

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

// The three parts of a block, in file order.
enum class AmpNamePart { Amps, Frequencies, Devices };

// Reads blocks of 24 fields until the reader is at its end, handing each
// field to take (its part, its index 0..7, its text) as soon as it is read,
// so that a block cut short has handed over the fields before the cut.
// Frequencies are only stepped over unless withFrequencies. False, with the
// reader's error, at a field that cannot be read.
bool readAmpNameBlocks(FieldReader &reader, bool withFrequencies,
                       const std::function<void(AmpNamePart, int, const QString &)> &take);

// Reads blocks of 24 fields while the file is not at its end; a later block
// overwrites an earlier one.
AmpNamesRead readAmpNameFile(const QString &path);
QString writeAmpNameFile(const QString &path, const AmpNames &names);

// Tenths of a MHz of a frequency text: its leading number times ten, halves
// to the even neighbour; text without a leading number gives 0.
qint16 frequencyTenths(const QString &text);
