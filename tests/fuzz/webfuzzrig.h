#pragma once

#include "console/programmemodel.h"
#include "consolerig.h"

#include <QList>

namespace Fuzz {

// The console the web targets command: on fakes, with a short day of four
// rows whose volumes reach both ends of the range. Built once per process,
// since building it reads files and costs far more than a command; reset()
// brings it back to the same state before each input, so that inputs stay
// independent.
class WebFuzzRig
{
public:
    static WebFuzzRig &instance();

    void reset();
    Console &console() { return rig.console(); }
    QList<RowState> states();
    // Lines the as-run log took with the office's origin since reset().
    int officeLines() const { return m_officeLines; }

    ConsoleRig rig;

private:
    WebFuzzRig();
    int m_officeLines = 0;
};

} // namespace Fuzz
